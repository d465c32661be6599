#include "cli/commands.h"
#include "loopback/loopbacktest.h"

namespace cli {

namespace {
const QString kPasses = QStringLiteral("--passes");

class NoCaption final : public core::StatusLine {
public:
    void setStatus(const QString &) override {}
};
} // namespace

QString checkLoopback(const Arguments &arguments)
{
    if (!wholeNumber(arguments, kPasses, 1, loopback::kDefaultPasses))
        return QStringLiteral("--passes takes a whole number from 1");
    return {};
}

// loopback [--passes N]: the echo test; prints its list lines, exit 1 on any
// bad echo, time-out or lost link.
int runLoopback(Context &c)
{
    const int passes = wholeNumber(c.args, kPasses, 1, loopback::kDefaultPasses).value_or(loopback::kDefaultPasses);

    NoCaption caption;
    loopback::LoopbackTest test(c.link, c.out, caption);
    // Ctrl-C asks the test to stop, as "Stop Loopback Test" would: the
    // end-of-test line still comes.
    c.stop = [&test] { test.requestStop(); };
    const loopback::Outcome outcome = test.run(passes);
    c.stop = nullptr;
    c.learn(test.figures());
    if (outcome == loopback::Outcome::Refused || outcome == loopback::Outcome::LinkLost)
        return kExitFailure;
    return test.badEchoes() + test.timeouts() > 0 ? kExitFailure : kExitOk;
}

} // namespace cli
