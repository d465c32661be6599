// tarnic-sim's command-line and boot-code parser with every module installed,
// fed arbitrary bytes in arbitrary chunks, sometimes with a new connection in
// between.
#include "fuzz/fuzzinput.h"
#include "sim/controller.h"
#include "sim/module.h"

#include <QCoreApplication>

#include <cstdlib>

// libFuzzer fixes this signature.
extern "C" int LLVMFuzzerInitialize(int *argc, char ***argv) // NOLINT(readability-non-const-parameter)
{
    static QCoreApplication app(*argc, *argv);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    fuzz::Input in(data, size);
    auto modules = sim::makeModules();
    QCommandLineParser parser;
    for (auto &m : modules)
        m->addOptions(parser);
    if (!parser.parse({QStringLiteral("tarnic-sim")}))
        std::abort();
    QString error;
    for (auto &m : modules)
        if (!m->configure(parser, &error))
            std::abort();

    sim::Controller controller{{}};
    for (auto &m : modules)
        m->install(controller);
    qsizetype sent = 0;
    bool dropped = false;
    controller.send = [&](const QByteArray &bytes) { sent += bytes.size(); };
    controller.drop = [&] { dropped = true; };

    while (!in.empty()) {
        const uint8_t h = in.byte();
        if (h == 0xff) {
            controller.resetSession();
            continue;
        }
        controller.feed(in.bytes(h % 64U + 1));
    }
    (void)sent;
    (void)dropped;
    return 0;
}
