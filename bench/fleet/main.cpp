// bench-fleet: one flash image to many simulated controllers at once, against
// one controller's time.
//  - the anchor: a shell-style fan-out, one `tarnic-cli flash` process per
//    controller started at once (default 100), against paced controllers;
//  - the fleet runner: `tarnic-cli fleet INVENTORY --parallel 1000 -- flash`
//    against 1,000 paced controllers;
//  - 16 unpaced controllers through the fleet runner with --parallel 8;
//  - what the journal costs: `fleet --parallel 1000 -- version` over 1,000
//    paced controllers and a flash fleet of 100, each run once with the
//    journal and once without;
//  - plan and apply: `plan --parallel 1000` over 1,000 paced controllers in
//    state (firmware and clock managed) against `fleet --parallel 1000 --
//    version` over the same, and `apply --waves 100%` where one in ten needs
//    the image, against one controller's flash.
// For each run: the wall time against one controller's, the CPU seconds of
// the runner (every process of it) and, apart, of the simulator, and the
// largest proportional set size of the runner's processes summed, per
// controller. The simulator serves every controller of a run from one
// process.
#include "bench/common/loadaverage.h"
#include "journal/journal.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QTemporaryDir>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <fcntl.h>
#include <map>
#include <spawn.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>
#include <vector>

extern char **environ; // NOLINT(readability-redundant-declaration): posix_spawn wants it

using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;

namespace {

double seconds(const timeval &t) { return static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_usec) / 1e6; }

// The fields of /proc/PID/stat after the command name, from the state on.
QList<QByteArray> statFields(pid_t pid)
{
    QFile f(QStringLiteral("/proc/%1/stat").arg(pid));
    if (!f.open(QIODevice::ReadOnly))
        return {};
    const QByteArray stat = f.readAll();
    return stat.mid(stat.lastIndexOf(')') + 2).split(' ');
}

// CPU seconds (user and system) a live process has used so far.
double processCpu(pid_t pid)
{
    const QList<QByteArray> f = statFields(pid);
    if (f.size() < 13)
        return 0;
    return static_cast<double>(f.at(11).toLongLong() + f.at(12).toLongLong())
        / static_cast<double>(::sysconf(_SC_CLK_TCK));
}

// Proportional set size in KiB; 0 once the process is gone.
qint64 pssKiB(pid_t pid)
{
    QFile f(QStringLiteral("/proc/%1/smaps_rollup").arg(pid));
    if (!f.open(QIODevice::ReadOnly))
        return 0;
    for (const QByteArray &line : f.readAll().split('\n'))
        if (line.startsWith("Pss:"))
            return line.mid(4).trimmed().split(' ').constFirst().toLongLong();
    return 0;
}

// The processes started and every process below them.
std::vector<pid_t> family(const std::vector<pid_t> &roots)
{
    std::multimap<pid_t, pid_t> children;
    for (const QString &name : QDir(QStringLiteral("/proc")).entryList(QDir::Dirs)) {
        bool ok = false;
        const pid_t pid = name.toInt(&ok);
        const QList<QByteArray> f = ok ? statFields(pid) : QList<QByteArray>();
        if (f.size() > 1)
            children.emplace(f.at(1).toInt(), pid);
    }
    std::vector<pid_t> all = roots;
    for (size_t i = 0; i < all.size(); ++i) {
        const auto [from, to] = children.equal_range(all[i]);
        for (auto it = from; it != to; ++it)
            all.push_back(it->second);
    }
    return all;
}

// One tarnic-sim serving a number of controllers.
struct Simulator {
    ~Simulator()
    {
        process.terminate();
        process.waitForFinished(5000);
    }
    bool start(const QString &path, int controllers, int baud, const QStringList &more = {})
    {
        process.start(path,
                      QStringList{QStringLiteral("--tcp"), QStringLiteral("0"), QStringLiteral("--controllers"),
                                  QString::number(controllers), QStringLiteral("--pace"), QString::number(baud)}
                          + more);
        QByteArray seen;
        while (ports.size() < controllers) {
            if (!process.waitForReadyRead(30000)) {
                std::fprintf(stderr, "tarnic-sim: %s\n", process.readAllStandardError().constData());
                return false;
            }
            seen += process.readAllStandardOutput();
            const qsizetype end = seen.lastIndexOf('\n') + 1;
            for (const QByteArray &line : seen.left(end).split('\n'))
                if (line.startsWith("tcp: "))
                    ports.append(line.mid(line.lastIndexOf(':') + 1).toUShort());
            seen.remove(0, end);
        }
        return true;
    }
    double cpu() const { return processCpu(static_cast<pid_t>(process.processId())); }
    QProcess process;
    QList<quint16> ports;
};

struct Figures {
    double wall = 0;
    double runnerCpu = 0;
    double simCpu = 0;
    qint64 pssKiB = 0; // the largest sum seen
    int failed = 0;
};

// Starts every command at once, as a shell loop with "&" and a "wait" would,
// and waits for them all; the runner's figures cover each command's
// processes and their children.
Figures fanOut(const std::vector<QStringList> &commands, const Simulator &sim, const QString &logDir)
{
    Figures fig;
    const double simCpu = sim.cpu();
    const auto start = Clock::now();
    std::vector<pid_t> running;
    for (size_t i = 0; i < commands.size(); ++i) {
        std::vector<QByteArray> words;
        for (const QString &w : commands[i])
            words.push_back(w.toLocal8Bit());
        std::vector<char *> argv;
        argv.reserve(words.size() + 1);
        for (QByteArray &w : words)
            argv.push_back(w.data());
        argv.push_back(nullptr);
        const QByteArray log = QDir(logDir).filePath(QStringLiteral("%1.log").arg(i)).toLocal8Bit();
        posix_spawn_file_actions_t io;
        posix_spawn_file_actions_init(&io);
        posix_spawn_file_actions_addopen(&io, STDOUT_FILENO, log.constData(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        posix_spawn_file_actions_adddup2(&io, STDOUT_FILENO, STDERR_FILENO);
        pid_t pid = 0;
        if (posix_spawn(&pid, argv.front(), &io, nullptr, argv.data(), environ) == 0)
            running.push_back(pid);
        else
            ++fig.failed;
        posix_spawn_file_actions_destroy(&io);
    }
    const std::vector<pid_t> roots = running;
    auto nextSample = Clock::now();
    while (!running.empty()) {
        if (Clock::now() >= nextSample) {
            qint64 sum = 0;
            for (const pid_t pid : family(running))
                sum += pssKiB(pid);
            fig.pssKiB = std::max(fig.pssKiB, sum);
            nextSample = Clock::now() + 1s;
        }
        std::this_thread::sleep_for(20ms);
        for (auto it = running.begin(); it != running.end();) {
            int status = 0;
            rusage usage{};
            if (::wait4(*it, &status, WNOHANG, &usage) != *it) {
                ++it;
                continue;
            }
            fig.runnerCpu += seconds(usage.ru_utime) + seconds(usage.ru_stime);
            if (!WIFEXITED(status) || WEXITSTATUS(status) != 0)
                ++fig.failed;
            it = running.erase(it);
        }
    }
    fig.wall = std::chrono::duration<double>(Clock::now() - start).count();
    fig.simCpu = sim.cpu() - simCpu;
    return fig;
}

// The controllers a fleet's report lists as not ok, with their last status.
void printFailures(const QString &report)
{
    QFile f(report);
    if (!f.open(QIODevice::ReadOnly))
        return;
    for (const auto &v : QJsonDocument::fromJson(f.readAll()).object().value(QLatin1String("controllers")).toArray()) {
        const QJsonObject c = v.toObject();
        // A fleet's report says ok; apply's says what state each ended in.
        const QString state = c.value(QLatin1String("state")).toString();
        if (!c.value(QLatin1String("ok")).toBool() && state != QLatin1String("applied")
            && state != QLatin1String("in state"))
            std::printf("  %s %s: %s%s\n", qPrintable(c.value(QLatin1String("name")).toString()), qPrintable(state),
                        qPrintable(c.value(QLatin1String("status")).toString()),
                        qPrintable(c.value(QLatin1String("message")).toString()));
    }
}

// single: the time to compare with (one controller's unless reference names
// another), 0 for none.
void print(const char *what, int controllers, const Figures &f, double single, const char *reference = "one")
{
    const QString against = single > 0
        ? QStringLiteral(" against %1 s for %3 (%2 x)")
              .arg(single, 0, 'f', 1)
              .arg(f.wall / single, 0, 'f', 3)
              .arg(QLatin1String(reference))
        : QStringLiteral(", %1 controllers per second").arg(controllers / f.wall, 0, 'f', 2);
    std::printf("%s, %d controllers: %.1f s%s; runner %.2f CPU s, simulator %.2f CPU s; runner memory %.1f MB PSS "
                "(%.2f MB per controller)%s\n",
                what, controllers, f.wall, qPrintable(against), f.runnerCpu, f.simCpu,
                static_cast<double>(f.pssKiB) / 1024.0, static_cast<double>(f.pssKiB) / 1024.0 / controllers,
                f.failed ? qPrintable(QStringLiteral("  (%1 FAILED)").arg(f.failed)) : "");
    std::fflush(stdout);
}

std::vector<QStringList> oneEach(const QString &cli, const Simulator &sim, const QString &image)
{
    std::vector<QStringList> commands;
    for (const quint16 port : sim.ports)
        commands.push_back(
            {cli, QStringLiteral("--tcp"), QStringLiteral("127.0.0.1:%1").arg(port), QStringLiteral("flash"), image});
    return commands;
}

// The inventory for a simulator's controllers: c0001, c0002, ..., with more
// columns (",firmware,...") holding desired for every row.
QString writeInventory(const QString &path, const Simulator &sim, const QByteArray &columns = {},
                       const QByteArray &desired = {})
{
    QFile f(path);
    if (!f.open(QIODevice::WriteOnly))
        return {};
    f.write("name,link" + columns + '\n');
    for (qsizetype i = 0; i < sim.ports.size(); ++i)
        f.write(QStringLiteral("c%1,tcp:127.0.0.1:%2").arg(i + 1, 4, 10, QLatin1Char('0')).arg(sim.ports[i]).toLatin1()
                + desired + '\n');
    return path;
}

// The journal's own time for the records of a run: each record appended
// again into a fresh journal, one transaction apiece as the runner commits
// them, after the files its started record names are hashed again. Seconds,
// or a negative number when a journal cannot be opened.
double journalSeconds(const QString &written, const QString &fresh, qsizetype *count)
{
    QString error;
    const auto from = journal::Journal::open(written, journal::Journal::Access::Read, &error);
    const auto to = journal::Journal::open(fresh, journal::Journal::Access::Write, &error);
    const std::vector<journal::Record> records = from ? from->records(&error) : std::vector<journal::Record>{};
    if (!from || !to || !error.isEmpty()) {
        std::fprintf(stderr, "journal: %s\n", qPrintable(error));
        return -1;
    }
    *count = static_cast<qsizetype>(records.size());
    Clock::duration spent{};
    for (journal::Record r : records) {
        const auto start = Clock::now();
        const QJsonArray hashed = r.kind == journal::kStarted ? r.files : QJsonArray();
        for (const auto &f : hashed) {
            QFile file(f.toObject().value(QLatin1String("path")).toString());
            QCryptographicHash sha(QCryptographicHash::Sha256);
            if (file.open(QIODevice::ReadOnly))
                sha.addData(&file);
        }
        if (!to->append(r, &error))
            std::fprintf(stderr, "journal: %s\n", qPrintable(error));
        spent += Clock::now() - start;
    }
    return std::chrono::duration<double>(spent).count();
}

// plan over a site in state against a version fleet over it, and apply where
// one controller in ten needs the image against one controller's flash.
bool planAndApply(const QString &cli, const QString &simPath, int controllers, int baud, const QByteArray &image,
                  const QTemporaryDir &dir, double oneFlash)
{
    const QByteArray newVersion = "QL 5200 V 3.0";
    const QString newImage = dir.filePath(QStringLiteral("fw-new.bin"));
    QFile f(newImage);
    if (!f.open(QIODevice::WriteOnly)
        || f.write(image.chopped(44) + newVersion.leftJustified(44, '\0')) != image.size())
        return false;
    f.close();
    const QString logs = dir.filePath(QStringLiteral("logs"));
    const QByteArray columns = ",firmware,firmware_version,clock";
    {
        Simulator s;
        if (!s.start(simPath, controllers, baud))
            return false;
        // The simulator's own identification: every controller is in state.
        const QString site = writeInventory(dir.filePath(QStringLiteral("plan.csv")), s, columns,
                                            "," + newImage.toLocal8Bit() + ",5200 Series Controller V 02.14,5");
        const QStringList runner{cli, QStringLiteral("--no-journal")};
        const QStringList parallel{QStringLiteral("--parallel"), QString::number(controllers)};
        const Figures version = fanOut(
            {runner + QStringList{QStringLiteral("fleet"), site} + parallel + QStringList{"--", "version"}}, s, logs);
        print("tarnic-cli fleet --parallel 1000 -- version", controllers, version, 0);
        const Figures plan = fanOut({runner + QStringList{QStringLiteral("plan"), site} + parallel}, s, logs);
        print("tarnic-cli plan --parallel 1000, firmware and clock", controllers, plan, version.wall,
              "fleet -- version");
    }
    // One in ten answers the old identification.
    QStringList current;
    for (int i = 1; i <= controllers; ++i)
        if (i % 10 != 1)
            current << QStringLiteral("\"%1\": {\"version\": \"%2\"}").arg(i).arg(QLatin1String(newVersion));
    const QString stateFile = dir.filePath(QStringLiteral("state.json"));
    QFile sf(stateFile);
    if (!sf.open(QIODevice::WriteOnly)
        || sf.write(QStringLiteral("{\"controllers\": {%1}}").arg(current.join(QStringLiteral(", "))).toLatin1()) < 0)
        return false;
    sf.close();
    Simulator s;
    if (!s.start(simPath, controllers, baud, {QStringLiteral("--state"), stateFile}))
        return false;
    const QString site = writeInventory(dir.filePath(QStringLiteral("apply.csv")), s, columns,
                                        "," + newImage.toLocal8Bit() + "," + newVersion + ",5");
    const QString report = dir.filePath(QStringLiteral("apply.json"));
    const Figures apply =
        fanOut({{cli, QStringLiteral("--no-journal"), QStringLiteral("apply"), site, QStringLiteral("--parallel"),
                 QString::number(controllers), QStringLiteral("--waves"), QStringLiteral("100%"),
                 QStringLiteral("--report"), report}},
               s, logs);
    print("tarnic-cli apply --waves 100%, one in ten flashed", controllers, apply, oneFlash);
    printFailures(report);
    return true;
}

} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral("One flash image to many simulated controllers at once."));
    parser.addHelpOption();
    parser.addOption({QStringLiteral("sim"), QStringLiteral("tarnic-sim to run."), QStringLiteral("PATH"),
                      QStringLiteral(TARNIC_SIM_PATH)});
    parser.addOption({QStringLiteral("cli"), QStringLiteral("tarnic-cli to run."), QStringLiteral("PATH"),
                      QStringLiteral(TARNIC_CLI_PATH)});
    parser.addOption({QStringLiteral("size"), QStringLiteral("Image size in bytes."), QStringLiteral("BYTES"),
                      QStringLiteral("16384")});
    parser.addOption({QStringLiteral("baud"), QStringLiteral("Line rate of the paced controllers."),
                      QStringLiteral("BAUD"), QStringLiteral("9600")});
    parser.addOption({QStringLiteral("processes"), QStringLiteral("Controllers of the shell-style fan-out."),
                      QStringLiteral("N"), QStringLiteral("100")});
    parser.addOption({QStringLiteral("fleet"), QStringLiteral("Controllers of the fleet run."), QStringLiteral("N"),
                      QStringLiteral("1000")});
    parser.addOption({QStringLiteral("skip-anchor"), QStringLiteral("Leave out the shell-style fan-out.")});
    parser.addOption({QStringLiteral("journal-only"), QStringLiteral("Measure only what the journal costs.")});
    parser.addOption({QStringLiteral("plan-only"), QStringLiteral("Measure only plan and apply.")});
    parser.process(app);
    const QString sim = parser.value(QStringLiteral("sim"));
    const QString cli = parser.value(QStringLiteral("cli"));
    const int baud = parser.value(QStringLiteral("baud")).toInt();
    const int processes = parser.value(QStringLiteral("processes")).toInt();
    const int fleet = parser.value(QStringLiteral("fleet")).toInt();

    QTemporaryDir dir;
    const QString image = dir.filePath(QStringLiteral("fw.bin"));
    QFile file(image);
    const qsizetype size = parser.value(QStringLiteral("size")).toLongLong();
    QByteArray bytes(size, '\0');
    for (qsizetype i = 0; i < size; ++i)
        bytes[i] = static_cast<char>((i * 131 + (i >> 8)) & 0xff);
    if (!file.open(QIODevice::WriteOnly) || file.write(bytes) != size)
        return 1;
    file.close();
    const QString logs = dir.filePath(QStringLiteral("logs"));
    QDir().mkpath(logs);

    std::printf("load average %s\n", bench::loadAverage().constData());
    Simulator one;
    if (!one.start(sim, 1, baud))
        return 1;
    const Figures single = fanOut(oneEach(cli, one, image), one, logs);
    print("one tarnic-cli flash", 1, single, single.wall);

    if (!parser.isSet(QStringLiteral("skip-anchor")) && !parser.isSet(QStringLiteral("journal-only"))
        && !parser.isSet(QStringLiteral("plan-only"))) {
        Simulator many;
        if (!many.start(sim, processes, baud))
            return 1;
        print("shell-style fan-out of tarnic-cli flash", processes, fanOut(oneEach(cli, many, image), many, logs),
              single.wall);
    }

    // journal: the file the runner records into; empty for none.
    const auto fleetRun = [&](const QString &what, int controllers, int controllerBaud, int parallel,
                              const QStringList &command, const QString &journal) {
        Simulator s;
        if (!s.start(sim, controllers, controllerBaud))
            return Figures{};
        const QString inventory = writeInventory(dir.filePath(QStringLiteral("fleet-%1.csv").arg(controllers)), s);
        const QString report = dir.filePath(QStringLiteral("report-%1.json").arg(controllers));
        const QStringList recording = journal.isEmpty() ? QStringList{QStringLiteral("--no-journal")}
                                                        : QStringList{QStringLiteral("--journal"), journal};
        const Figures f =
            fanOut({QStringList{cli} + recording
                    + QStringList{QStringLiteral("fleet"), inventory, QStringLiteral("--parallel"),
                                  QString::number(parallel), QStringLiteral("--report"), report, QStringLiteral("--")}
                    + command},
                   s, logs);
        print(qPrintable(what), controllers, f, controllerBaud > 0 ? single.wall : 0);
        printFailures(report);
        return f;
    };
    const QStringList flash{QStringLiteral("flash"), image};
    if (parser.isSet(QStringLiteral("plan-only")))
        return planAndApply(cli, sim, fleet, baud, bytes, dir, single.wall) ? 0 : 1;
    if (!parser.isSet(QStringLiteral("journal-only"))) {
        fleetRun(QStringLiteral("tarnic-cli fleet --parallel 1000"), fleet, baud, 1000, flash, {});
        fleetRun(QStringLiteral("tarnic-cli fleet --parallel 8, unpaced"), 16, 0, 8, flash, {});
    }

    // What journalling costs: its own write and commit time against the
    // run's wall time, and the same run without a journal beside it.
    const auto journalCost = [&](const QString &what, int count, const QStringList &command) {
        const QString journal = dir.filePath(QStringLiteral("journal-%1.db").arg(count));
        const Figures with = fleetRun(what + QStringLiteral(", journal"), count, baud, count, command, journal);
        const Figures without = fleetRun(what + QStringLiteral(", no journal"), count, baud, count, command, {});
        qsizetype records = 0;
        const double spent = journalSeconds(journal, dir.filePath(QStringLiteral("replay-%1.db").arg(count)), &records);
        std::printf("  journal: %lld records, %.1f ms writing and committing (%.0f us a record), %.3f %% of the "
                    "run's %.1f s; without the journal the run took %.1f s\n",
                    static_cast<long long>(records), spent * 1e3, records ? spent * 1e6 / records : 0.0,
                    with.wall > 0 ? spent * 100 / with.wall : 0.0, with.wall, without.wall);
        std::fflush(stdout);
    };
    journalCost(QStringLiteral("tarnic-cli fleet --parallel 1000 -- version"), fleet, {QStringLiteral("version")});
    journalCost(QStringLiteral("tarnic-cli fleet --parallel 100 -- flash"), 100, flash);
    if (!parser.isSet(QStringLiteral("journal-only")) && !planAndApply(cli, sim, fleet, baud, bytes, dir, single.wall))
        return 1;
    std::printf("load average %s\n", bench::loadAverage().constData());
    return 0;
}
