// Each operation, run in this process on the real transports and event loop,
// against tarnic-sim over a pseudo-terminal and over TCP. A row first meets a
// controller that goes away part-way: the operation ends with its own text,
// the link shows "Disconnected" and is free, no file stays open and an upload
// keeps only the records that came. The same program then runs the operation
// against a controller that works, and what that controller received is
// checked byte for byte.
#include "config/program.h"
#include "flash/download.h"
#include "loopback/loopbacktest.h"
#include "terminal/session.h"
#include "tests/common/files.h"
#include "tests/common/liverig.h"
#include "tests/common/openfiles.h"
#include "tests/common/rows.h"
#include "tests/common/simprocess.h"
#include "tests/common/slowpty.h"
#include "tests/config/defaultlines.h"
#include "utilities/actions.h"
#include "utilities/clicks.h"

#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

using namespace std::chrono_literals;

namespace {

enum class Op { Flash, BootExt, Program, AccessList, Schedules, HsTest, Loopback, Terminal };

// 300 IDs, ascending (a sorted list keeps its order), each with a schedule.
QByteArray accessFile()
{
    QByteArray out;
    for (int i = 0; i < 300; ++i)
        out += QByteArray::number(i % 200 + 1).rightJustified(3, '0') + QByteArray::number(4000000 + i * 37) + "\r\n";
    return out;
}

// Every day of all 200 schedules, each with times of its own.
QByteArray scheduleFile()
{
    QByteArray out;
    const auto two = [](int n) { return QByteArray::number(n).rightJustified(2, '0'); };
    for (int s = 1; s <= 200; ++s)
        for (int d = 1; d <= 8; ++d)
            out += QByteArray::number(s * 10 + d).rightJustified(4, '0') + two((s + d) % 24) + two(s * 7 % 60)
                + two(s * d % 24) + two((s + d * 13) % 60) + "\r\n";
    return out;
}

// The program's side and the simulator it talks to; start() replaces the
// simulator and connects again.
struct Run : testing::LiveRig {
    Run(Op op, bool tcp) : op(op), tcp(tcp)
    {
        config::applyConfigDefaults(settings);
        utilities::applyUtilitiesDefaults(utilitySettings);
        utilitySettings.adHoc = tcp;
        utilitySettings.includesSchedule = true;
        testing::writeFile(down,
                           op == Op::Flash           ? testing::bulkPayload(20045)
                               : op == Op::BootExt   ? testing::bulkPayload(10070)
                               : op == Op::Schedules ? scheduleFile()
                                                     : accessFile());
    }

    bool start(const QStringList &fault)
    {
        link.DisconnectLink();
        ui = testing::Recorder();
        ++starts;
        sim = std::make_unique<testing::SimProcess>();
        return sim->start(QStringList{"--pty", "--tcp", "0", "--save-image", saved(), "--config-log", configLog()}
                          + fault)
            && connectTo(*sim, tcp);
    }
    QString saved() const { return dir.filePath(QStringLiteral("image%1.bin").arg(starts)); }
    QString configLog() const { return dir.filePath(QStringLiteral("config%1.log").arg(starts)); }

    // Runs the operation; returns everything the technician was shown.
    QStringList perform()
    {
        switch (op) {
        case Op::Flash:
        case Op::BootExt: {
            flash::FlashDownload dl(op == Op::Flash ? flash::Kind::Flash : flash::Kind::BootExt, link, ui, ui);
            dl.setPauseOverride(50ms);
            dl.doflashdl(down);
            break;
        }
        case Op::Program: {
            config::SinglePane panes(ui);
            config::ProgramContext context{state, link, settings, panes, ui};
            config::do_program(context);
            break;
        }
        case Op::AccessList:
        case Op::Schedules: {
            utilities::Actions actions(link, ui);
            utilities::Clicks clicks(actions, utilitySettings, ui);
            const bool lists = op == Op::AccessList;
            ui.nextPath = down;
            if (clicks.click(lists ? utilities::DownloadAccessList : utilities::DownloadSchedules)
                == utilities::Outcome::Done) {
                ui.nextPath = up;
                clicks.click(lists ? utilities::UploadAccessList : utilities::UploadSchedules);
            }
            break;
        }
        case Op::HsTest:
            ui.lines += utilities::Actions(link, ui).download2().value.split(u'\n');
            break;
        case Op::Loopback: {
            testing::Recorder progress;
            loopback::LoopbackTest(link, ui, progress).run(1);
            break;
        }
        case Op::Terminal:
            return typeV();
        }
        return ui.statuses + ui.lines + ui.messages;
    }

    // Types V in terminal mode and waits for the reply to show.
    QStringList typeV()
    {
        terminal::Session session(state, link, ui);
        QTimer::singleShot(100, [&] {
            session.character('V');
            session.character('\r');
        });
        QStringList rows;
        QElapsedTimer since;
        since.start();
        QTimer poll;
        QObject::connect(&poll, &QTimer::timeout, [&] {
            rows.clear();
            for (int row = 1; row <= 22; ++row)
                rows << session.grid().rowText(row).trimmed();
            state.terminalStop = !rows.filter(QStringLiteral("Controller")).isEmpty() || since.elapsed() > 30000;
        });
        poll.start(20);
        session.enter();
        state.terminalStop = false;
        return ui.statuses + rows;
    }

    // What reached the working controller, against what was sent.
    void checkReceived()
    {
        switch (op) {
        case Op::Flash:
        case Op::BootExt:
            QCOMPARE(testing::readFile(saved()), testing::readFile(down));
            break;
        case Op::Program: { // the controller's own record of what it was told
            QByteArray expected;
            for (const QByteArray &c : testing::defaultConfigLines()) {
                const qsizetype key = c.startsWith("X059") ? 5 : 4;
                if (c.startsWith('X'))
                    expected += c.left(key) + '\t' + c.mid(key) + '\n';
            }
            QCOMPARE(testing::readFile(configLog()),
                     expected + "badidlog\t1\nlookup\t3\nmode\t4\nrelaytime\t05\nseriallog\t0\n");
            break;
        }
        case Op::AccessList:
        case Op::Schedules:
            QCOMPARE(testing::readFile(up), testing::readFile(down));
            break;
        default: // the replies or the echoes were shown
            break;
        }
    }

    const Op op;
    const bool tcp;
    QTemporaryDir dir;
    const QString down = dir.filePath(QStringLiteral("down.txt"));
    const QString up = dir.filePath(QStringLiteral("up.txt"));
    int starts = 0;
    std::unique_ptr<testing::SimProcess> sim;
    config::Settings settings;
    utilities::UtilitiesSettings utilitySettings;
};

} // namespace

Q_DECLARE_METATYPE(Op)

class TstE2eOperations : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void run_data();
    void run();
};

void TstE2eOperations::run_data()
{
    QTest::addColumn<Op>("op");
    QTest::addColumn<bool>("tcp");
    QTest::addColumn<QStringList>("fault");
    QTest::addColumn<QString>("faultShown");
    QTest::addColumn<int>("linesKept"); // in the upload file after the fault
    QTest::addColumn<QString>("doneShown");
    // The fault is the simulator's option and its number.
    const auto row = [](const char *name, Op op, bool tcp, const char *fault, int n, const QString &faultShown,
                        int linesKept, const QString &doneShown) {
        QTest::newRow(name) << op << tcp << QStringList{QLatin1String(fault), QString::number(n)} << faultShown
                            << linesKept << doneShown;
    };
    const QString done = QStringLiteral("Download complete");
    const QString serialError = QStringLiteral("Download Error, error code %1");
    const QString tcpError = QStringLiteral("Download Error");
    row("flash pty, dropped in the break-in", Op::Flash, false, "--drop-after-bytes", 3, serialError.arg(1), 0, done);
    row("flash tcp, dropped inside block 4", Op::Flash, true, "--boot-drop-mid", 4, tcpError, 0, done);
    row("extension pty, dropped at ack 2", Op::BootExt, false, "--boot-drop-at", 2, serialError.arg(2), 0, done);
    row("extension tcp, dropped at the fill", Op::BootExt, true, "--boot-drop-at", 204, tcpError, 0, done);
    // Commands 1 and 2 are "x" and "V"; the run's own follow.
    const QString complete = QStringLiteral("Programming Complete");
    row("program pty, dropped at X001", Op::Program, false, "--drop-at-command", 3, "Error 001", 0, complete);
    row("program tcp, dropped at X005", Op::Program, true, "--drop-at-command", 4, "Error 005", 0, complete);
    // Records are counted over the simulator's life: the upload's follow the
    // download's.
    const QString timeout = QStringLiteral("Controller timeout");
    const QString silent = QStringLiteral("No response from controller");
    const QString ids = QStringLiteral("Records uploaded:  300");
    const QString days = QStringLiteral("Schedules uploaded:  200");
    row("access list pty, dropped in the download", Op::AccessList, false, "--drop-at-record", 10, timeout, 0, ids);
    row("access list tcp, dropped in the upload", Op::AccessList, true, "--drop-at-record", 310, silent, 9, ids);
    row("schedules pty, dropped in the upload", Op::Schedules, false, "--drop-at-record", 1700, silent, 99 * 8, days);
    row("schedules tcp, dropped in the download", Op::Schedules, true, "--drop-at-record", 800, timeout, 0, days);
    // Over TCP only: on a serial link it is refused before anything is sent.
    row("HS test tcp", Op::HsTest, true, "--drop-after-bytes", 500, "timeout", 0, "ok");
    // After the 5-second settle.
    const QString lost = QStringLiteral("Disconnected");
    row("loopback pty", Op::Loopback, false, "--drop-after-bytes", 200, lost, 0, " 256: end of test");
    row("loopback tcp", Op::Loopback, true, "--drop-after-bytes", 200, lost, 0, " 256: end of test");
    const QString reply = QStringLiteral("V[0D]5200 Series Controller V 02.14[0D]");
    row("terminal pty", Op::Terminal, false, "--drop-at-command", 1, lost, 0, reply);
    row("terminal tcp", Op::Terminal, true, "--drop-at-command", 1, lost, 0, reply);
}

void TstE2eOperations::run()
{
    Run r(FETCHED(Op, op), FETCHED(bool, tcp));
    QVERIFY(r.start(FETCHED(QStringList, fault)));
    QStringList shown = r.perform();
    QVERIFY2(shown.contains(FETCHED(QString, faultShown)), qPrintable(shown.join(u'|')));
    QCOMPARE(r.link.statusCaption(), QStringLiteral("Disconnected"));
    QVERIFY(!r.link.busy());
    QVERIFY(!testing::holdsOpen(r.down) && !testing::holdsOpen(r.up));
    const QByteArray kept = testing::readFile(r.up);
    QCOMPARE(kept.count("\r\n"), FETCHED(int, linesKept));
    QVERIFY(testing::readFile(r.down).startsWith(kept));

    QVERIFY(r.start({}));
    shown = r.perform();
    QVERIFY2(shown.contains(FETCHED(QString, doneShown)), qPrintable(shown.join(u'|')));
    QVERIFY(shown.filter(QRegularExpression(QStringLiteral("rror|timeout|Disconnected"))).isEmpty());
    r.checkReceived();
}

QTEST_GUILESS_MAIN(TstE2eOperations)
#include "tst_e2e_operations.moc"
