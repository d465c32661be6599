// The utilities actions against a scripted controller on the virtual clock:
// the bytes sent, the status texts, the result fields and the files written.
#include "core/numbers.h"
#include "tests/common/fakerig.h"
#include "tests/common/files.h"
#include "tests/common/rows.h"
#include "utilities/actions.h"
#include "utilities/clicks.h"

#include <QTemporaryDir>
#include <QTest>

#include <csignal>
#include <functional>
#include <optional>

#include <sys/resource.h>

using namespace utilities;
using wire::Ms;

namespace {

// An empty answer stands for silence.
std::optional<QByteArray> answer(const QByteArray &reply)
{
    return reply.isEmpty() ? std::nullopt : std::optional<QByteArray>(reply);
}

// What the actions put on view, one "kind=value" line a call.
struct Shown final : utilities::Display {
    QStringList lines;
    void showIdentification(const QString &text) override { lines.append("identification=" + text); }
    void showControllerTime(const QString &text) override { lines.append("time=" + text); }
    void showMemoryUsage(const MemoryUsage &m) override
    {
        const QStringList fields{m.adHocAvailable, m.adHocUsed, m.logAvailable, m.logUsed, m.mainAvailable, m.mainUsed};
        lines.append("memory=" + fields.join(' '));
    }
    void showTransferStart(const QString &time) override { lines.append("start=" + time); }
    void showTransferEnd(const QString &time) override { lines.append("end=" + time); }
    void showHsTest(const QString &text) override { lines.append("hs=" + text); }
};

// A controller that answers each command line through a script.
struct Rig : testing::FakeRig {
    using Script = std::function<std::optional<QByteArray>(const QByteArray &line)>;

    UtilitiesSettings settings;
    Shown shown;
    QDateTime pcNow{QDate(2024, 3, 17), QTime(14, 5, 9)}; // a Sunday
    Actions actions{link, ui, shown, [this] { return pcNow; }};
    Clicks clicks{actions, settings, ui};
    QByteArrayList lines; // every line received, the wake-up's empty ones included
    QByteArrayList sent;  // the command lines alone
    Script script = [](const QByteArray &) { return std::optional<QByteArray>(); };

    Rig() { applyUtilitiesDefaults(settings); }
    bool up(bool tcp)
    {
        const bool connected = tcp ? connectTcp() : connectSerial();
        peer().onWrite = [this](const QByteArray &bytes) {
            m_partial += bytes;
            for (qsizetype cr; (cr = m_partial.indexOf('\r')) >= 0;) {
                const QByteArray line = m_partial.left(cr);
                m_partial.remove(0, cr + 1);
                lines.append(line);
                if (line.isEmpty())
                    continue;
                sent.append(line);
                if (const auto reply = script(line))
                    peer().deliver(*reply + '\r', Ms{2});
            }
        };
        return connected;
    }
    void replyAll(const QByteArray &reply)
    {
        script = [reply](const QByteArray &) { return answer(reply); };
    }

private:
    QByteArray m_partial;
};

struct Exchange {
    int index;
    QByteArray reply; // empty: silent
    QByteArrayList sent;
    QString status;
    QString shown = {}; // the last "kind=value" put on view
    QString id = {};
    QString hours = QStringLiteral("00");
    bool add = true;
};

struct Download {
    int action;
    QByteArray file;
    int failAt;       // command answered wrongly (0: none)
    QByteArray wrong; // that answer; empty: silent
    QByteArrayList sent;
    QString status;
    bool adHoc = true;
    bool schedule = false;
};

struct Upload {
    QByteArrayList answers; // to z, the rewind, then each u/s; "" : silent
    QByteArray file;        // "<missing>": no file
    QString status;
    bool adHoc = true;
    bool schedule = false;
    bool deleted = false;
};

} // namespace

Q_DECLARE_METATYPE(Exchange)
Q_DECLARE_METATYPE(Download)
Q_DECLARE_METATYPE(Upload)

class TstActions : public QObject {
    Q_OBJECT
    QTemporaryDir m_dir;

private Q_SLOTS:
    void singleExchanges_data()
    {
        QTest::addColumn<Exchange>("c");
        const QString silent = QStringLiteral("No response from controller");
        QTest::newRow("version") << Exchange{
            0, "5200 V 02.14", {"V"}, "Version received", "identification=5200 V 02.14"};
        QTest::newRow("version silent") << Exchange{0, "", {"V"}, silent, "identification="};
        QTest::newRow("add") << Exchange{3, "A", {"AN00012345"}, "ID added", {}, "12345"};
        QTest::newRow("add refused") << Exchange{3, "a", {"AN00012345"}, "ID not added", {}, "12345"};
        QTest::newRow("add as typed") << Exchange{3, "A", {"AN000 7 "}, "ID added", {}, " 7 "};
        QTest::newRow("add blank") << Exchange{3, "A", {}, "ID to be added is blank"};
        QTest::newRow("delete") << Exchange{2, "D", {"R12345"}, "ID deleted", {}, "12345"};
        QTest::newRow("delete not found") << Exchange{2, "DD", {"R12345"}, "ID not found", {}, "12345"};
        QTest::newRow("delete blank") << Exchange{2, "D", {}, "ID to be deleted is blank"};
        QTest::newRow("time get") << Exchange{6, "2403151405095", {"t"}, "Time received", "time=2024-03-15 14:05:09"};
        QTest::newRow("time get silent") << Exchange{6, "", {"t"}, silent, "time="};
        QTest::newRow("time set now") << Exchange{5, "O", {"+2403171405097"}, "Time set"};
        QTest::newRow("time set sub 24") << Exchange{5, "O", {"+2403161405096"}, "Time set", {}, {}, "24", false};
        QTest::newRow("time set 00005") << Exchange{5, "O", {"+2403171905097"}, "Time set", {}, {}, "00005"};
        QTest::newRow("time set refused") << Exchange{5, "o", {"+2403171405097"}, "Time not set"};
        QTest::newRow("time set silent") << Exchange{5, "", {"+2403171405097"}, silent};
        QTest::newRow("hours 25") << Exchange{5, "O", {}, "Invalid hours to add/subtract", {}, {}, "25"};
        const QString memory = QStringLiteral("memory=00001 00002 00003 00004 00005 00006");
        QTest::newRow("memory") << Exchange{7, "000010000200003000040000500006", {"z"}, "Memory data received", memory};
        QTest::newRow("memory silent") << Exchange{7, "", {"z"}, silent};
        QTest::newRow("heading") << Exchange{1, "A", {}, {}};
        QTest::newRow("status line") << Exchange{24, "A", {}, {}};
    }

    void singleExchanges()
    {
        QFETCH(Exchange, c);
        for (const bool tcp : {false, true}) {
            Rig rig;
            QVERIFY(rig.up(tcp));
            rig.settings.adHocId = c.id;
            rig.settings.hours = c.hours;
            rig.settings.add = c.add;
            rig.replyAll(c.reply);
            rig.clicks.click(c.index);
            // Every click wakes the controller first.
            QCOMPARE(rig.lines.mid(0, 2), (QByteArrayList{"", ""}));
            QCOMPARE(rig.sent, c.sent);
            QCOMPARE(rig.ui.status(), c.status);
            QCOMPARE(rig.shown.lines.value(rig.shown.lines.size() - 1), c.shown);
            QVERIFY(!rig.link.busy());
        }
    }

    // Without a link every action says so and sends nothing; the HS test
    // also needs TCP.
    void notConnected()
    {
        Rig rig;
        Rig serial;
        QVERIFY(serial.up(false));
        for (int index = 0; index <= 24; ++index) {
            rig.ui.statuses.clear();
            rig.clicks.click(index);
            QCOMPARE(rig.ui.statuses, QStringList{"Not Connected"});
        }
        rig.comm.mode = wire::CommSettings::Mode::Tcp;
        const Result<QString> hs = rig.actions.download2();
        QCOMPARE(hs.outcome, Outcome::Failed);
        QCOMPARE(hs.value, QStringLiteral("Not Connected"));
        const Result<QString> needsTcp = serial.actions.download2();
        QCOMPARE(needsTcp.outcome, Outcome::Failed);
        QCOMPARE(needsTcp.value, QStringLiteral("HS test needs a TCP/IP link"));
        for (Rig *r : {&rig, &serial})
            QVERIFY(r->serial.stream.writes.isEmpty() && r->tcp.stream.writes.isEmpty());
        QVERIFY(rig.ui.dialogs.isEmpty());
    }

    void sendFailure()
    {
        const QStringList silent{"No response from controller"};
        const std::pair<int, QStringList> cases[] = {{GetFirmwareIdentification, silent},
                                                     {SetControllerTime, silent},
                                                     {GetControllerTime, silent},
                                                     {ShowMemoryUsage, silent},
                                                     {AdHocAdd, {}},
                                                     {AdHocDelete, {}}};
        for (const auto &[index, statuses] : cases) {
            Rig rig;
            QVERIFY(rig.up(true));
            rig.settings.adHocId = QStringLiteral("1");
            rig.tcp.stream.open = false; // the socket has gone; the caption still says Connected
            const Ms before = rig.waiter.now();
            QCOMPARE(rig.clicks.click(index), Outcome::Failed);
            QCOMPARE(rig.ui.statuses, statuses);
            QVERIFY(rig.waiter.now() - before < wire::kReplyTimeout); // no wait for a reply
        }
    }

    void refusedWhileBusy()
    {
        Rig rig;
        QVERIFY(rig.up(false));
        rig.replyAll("5200");
        // A second click arrives while the first waits for its reply.
        int nested = 0;
        Outcome nestedOutcome = Outcome::Done;
        rig.waiter.setOnPass([&] {
            if (rig.link.busy() && nested++ == 0)
                nestedOutcome = rig.clicks.click(GetControllerTime);
        });
        QCOMPARE(rig.clicks.click(GetFirmwareIdentification), Outcome::Done);
        QCOMPARE(nestedOutcome, Outcome::Failed);
        QCOMPARE(rig.sent, QByteArrayList{"V"});
        QCOMPARE(rig.ui.status(), QStringLiteral("Version received"));
        QVERIFY(!rig.link.busy());
        // The HS test is refused the same way.
        rig.shown.lines.clear();
        wire::LinkClaim other(rig.link);
        QCOMPARE(rig.actions.download2().outcome, Outcome::Failed);
        QVERIFY(rig.shown.lines.isEmpty());
    }

    void downloads_data()
    {
        QTest::addColumn<Download>("c");
        const int list = DownloadAccessList;
        const QByteArrayList two{"AN0000000000012345", "AN00000000000678"};
        const QByteArrayList ones{"AN000000000001", "AN000000000002"};
        const QString done2 = QStringLiteral(" 2 Records downloaded");
        QTest::newRow("empty line skipped") << Download{list, "12345\r\n\r\n678\r\n", 0, "", two, done2};
        QTest::newRow("written on Linux") << Download{list, "12345\n\n678\n", 0, "", two, done2};
        const QString done1 = QStringLiteral(" 1 Records downloaded");
        QTest::newRow("sorted") << Download{list, "12345\r\n", 0, "", {"AS0000000000012345"}, done1, false};
        QTest::newRow("ad hoc schedule") << Download{list, "12345\r\n", 0, "", {"AN1230000000045"}, done1, true, true};
        QTest::newRow("sorted schedule") << Download{list, "12345\r\n", 0, "", {"AS12345"}, done1, false, true};
        QTest::newRow("id as typed") << Download{list, " a-b \r\n", 0, "", {"AN00000000000 a-b "}, done1};
        QTest::newRow("schedule alone") << Download{list, "007\r\n", 0, "", {"AN00700000000"}, done1, true, true};
        // Too short for a schedule: sent as it stands, the ID empty.
        QTest::newRow("short ad hoc") << Download{list, "12\r\n", 0, "", {"AN1200000000"}, done1, true, true};
        QTest::newRow("short sorted") << Download{list, "1\r\n", 0, "", {"AS1"}, done1, false, true};
        QTest::newRow("empty lines only") << Download{list, "\r\n\r\n", 0, "", {}, " 0 Records downloaded"};
        QTest::newRow("lower-case a stops")
            << Download{list, "1\r\n2\r\n3\r\n", 2, "a", ones, "Invalid response from controller 002"};
        QTest::newRow("A with more accepted") << Download{list, "1\r\n2\r\n", 1, "AX", ones, done2};
        QTest::newRow("silent stops") << Download{list, "1\r\n2\r\n3\r\n", 2, "", ones, "Controller timeout"};
        const int sched = DownloadSchedules;
        const QByteArray gap = "001108001700\r\n\r\n002208001700\r\n";
        const QByteArrayList all{"SC", "SA001108001700", "SA002208001700"};
        QTest::newRow("schedules with a gap") << Download{sched, gap, 0, "", all, " 3 Records downloaded"};
        QTest::newRow("empty schedules still clear") << Download{sched, "", 0, "", {"SC"}, " 0 Records downloaded"};
        QTest::newRow("schedule 3 invalid, first empty")
            << Download{sched, "\r\n001108001700\r\n00110800170\r\n", 0, "", {}, "Invalid data in file rec #  3"};
        QTest::newRow("schedule 2 of 3 invalid") << Download{
            sched, "001108001700\r\n201108001700\r\n000000000000\r\n", 0, "", {}, "Invalid data in file rec #  2"};
        QTest::newRow("SC refused") << Download{sched, gap, 1, "a", {"SC"}, "Invalid response from controller 008"};
        QTest::newRow("SC silent") << Download{sched, gap, 1, "", {"SC"}, "No response from controller"};
        const QString refused10 = QStringLiteral("Invalid response from controller 010");
        QTest::newRow("SA refused") << Download{sched, gap, 2, "AA", all.mid(0, 2), refused10};
        QTest::newRow("SA silent") << Download{sched, gap, 3, "", all, "Controller timeout"};
    }

    void downloads()
    {
        QFETCH(Download, c);
        const QString path = m_dir.filePath(QStringLiteral("download.txt"));
        QVERIFY(testing::writeFile(path, c.file));
        Rig rig;
        QVERIFY(rig.up(false));
        int command = 0;
        rig.script = [&](const QByteArray &) { return answer(++command == c.failAt ? c.wrong : "A"); };
        const Transfer moved = c.action == DownloadSchedules
            ? rig.actions.download_schedule(path)
            : rig.actions.download_accesslist(path, {.adHoc = c.adHoc, .includesSchedule = c.schedule});
        QCOMPARE(rig.sent, c.sent);
        QCOMPARE(rig.ui.status(), c.status);
        const bool whole = c.status.endsWith(QLatin1String("downloaded"));
        QCOMPARE(moved.outcome, whole ? Outcome::Done : Outcome::Failed);
        if (whole)
            QCOMPARE(core::signReserving(moved.value) + QStringLiteral(" Records downloaded"), c.status);
        if (c.action == DownloadSchedules) {
            QCOMPARE(rig.ui.statuses.value(0), QStringLiteral("Checking file - please wait"));
            return;
        }
        // The end time is shown only when the whole file went through.
        const QStringList times{"start=14:05:09", "end=14:05:09"};
        QCOMPARE(rig.shown.lines, times.mid(0, whole ? 2 : 1));
        if (c.sent.size() >= 2 && whole)
            QVERIFY(rig.ui.statuses.contains(QStringLiteral("Downloading record:  2")));
    }

    void fileFaultsSendNothing()
    {
        const QString missing = m_dir.filePath(QStringLiteral("missing.txt"));
        const QString uncreatable = m_dir.filePath(QStringLiteral("no/such/dir/upload.txt"));
        const std::pair<int, QString> cases[] = {{DownloadAccessList, missing},
                                                 {DownloadAccessList, m_dir.path()},
                                                 {DownloadSchedules, missing},
                                                 {UploadAccessList, uncreatable},
                                                 {UploadSchedules, uncreatable}};
        for (const auto &[action, path] : cases) {
            Rig rig;
            QVERIFY(rig.up(false));
            rig.replyAll("OK");
            rig.ui.nextPath = path;
            // A file to send that cannot be taken is refused; one to write, failed.
            const bool upload = action == UploadAccessList || action == UploadSchedules;
            QCOMPARE(rig.clicks.click(action), upload ? Outcome::Failed : Outcome::Refused);
            QVERIFY2(rig.ui.status().contains(QRegularExpression(QStringLiteral("^Cannot (read|create) file "))),
                     qPrintable(rig.ui.status()));
            QVERIFY(rig.sent.isEmpty());
            // A cancelled dialog ends without a word.
            rig.ui.nextPath.reset();
            rig.ui.statuses.clear();
            QCOMPARE(rig.clicks.click(action), Outcome::Cancelled);
            QVERIFY(rig.ui.statuses.isEmpty() && rig.sent.isEmpty());
        }
    }

    void accessUpload_data()
    {
        QTest::addColumn<Upload>("c");
        // After the answers to z and the rewind.
        const auto then = [](const QByteArrayList &records) { return QByteArrayList{"0", "OK"} + records; };
        const QByteArrayList two = then({"000123", "042456", "END"});
        const QString up2 = QStringLiteral("Records uploaded:  2");
        const QString up1 = QStringLiteral("Records uploaded:  1");
        QTest::newRow("ad hoc") << Upload{two, "123\r\n456\r\n", up2};
        QTest::newRow("sorted with schedule") << Upload{two, "000123\r\n042456\r\n", up2, false, true};
        QTest::newRow("999 skipped, counted") << Upload{then({"999001234", "000555", "END"}), "555\r\n", up2};
        QTest::newRow("999 kept") << Upload{then({"999001234", "END"}), "999001234\r\n", up1, true, true, true};
        QTest::newRow("998 not deleted") << Upload{then({"998001234", "END"}), "001234\r\n", up1};
        QTest::newRow("999 kept, plain") << Upload{then({"999001234", "END"}), "001234\r\n", up1, true, false, true};
        QTest::newRow("just a schedule, or less") << Upload{then({"123", "12", "END"}), "\r\n12\r\n", up2};
        QTest::newRow("END at once") << Upload{then({"END"}), "", {}};
        QTest::newRow("END with blank is a record")
            << Upload{then({"END ", "end", "END"}), "END \r\nend\r\n", up2, true, true};
        QTest::newRow("silent keeps records") << Upload{then({"000111", ""}), "111\r\n", "No response from controller"};
        // Nothing came, so no file is made.
        QTest::newRow("silent on z") << Upload{{""}, "<missing>", "No response from controller"};
        QTest::newRow("silent on ur") << Upload{{"0", ""}, "<missing>", "No response from controller"};
        QTest::newRow("ur refused") << Upload{{"0", "ok"}, "<missing>", "invalid response from controller 004"};
    }

    void accessUpload()
    {
        QFETCH(Upload, c);
        const QString path = m_dir.filePath(QStringLiteral("upload-%1.txt").arg(QTest::currentDataTag()));
        Rig rig;
        QVERIFY(rig.up(true));
        rig.settings.adHoc = c.adHoc;
        rig.settings.includesSchedule = c.schedule;
        rig.settings.inclDeleted = c.deleted;
        rig.ui.nextPath = path;
        qsizetype next = 0;
        rig.script = [&](const QByteArray &) { return answer(c.answers.value(next++)); };
        rig.clicks.click(UploadAccessList);
        QByteArrayList expected{"z", c.adHoc ? "ur" : "sr"};
        while (expected.size() < c.answers.size())
            expected.append(c.adHoc ? "u" : "s");
        QCOMPARE(rig.sent, expected.mid(0, c.answers.size()));
        QCOMPARE(QFile::exists(path) ? testing::readFile(path) : QByteArray("<missing>"), c.file);
        QCOMPARE(rig.ui.status(), c.status);
        QCOMPARE(rig.ui.lastDefaultName, QStringLiteral("upload.txt"));
    }

    // An upload that ends part-way (the disk full, the main window closed)
    // stops there and leaves the old file as it was.
    void failedUploadKeepsOldFile_data()
    {
        QTest::addColumn<int>("action");
        QTest::addColumn<bool>("diskFull"); // else the program quits at the third record
        QTest::newRow("disk full") << int(UploadAccessList) << true;
        QTest::newRow("quit, access list") << int(UploadAccessList) << false;
        QTest::newRow("quit, schedules") << int(UploadSchedules) << false;
    }

    void failedUploadKeepsOldFile()
    {
        QFETCH(bool, diskFull);
        const QString path = m_dir.filePath(QStringLiteral("old-%1.txt").arg(QTest::currentDataTag()));
        QVERIFY(testing::writeFile(path, "old\r\n"));
        Rig rig;
        QVERIFY(rig.up(!diskFull));
        rig.ui.nextPath = path;
        int records = 0;
        rig.script = [&](const QByteArray &line) {
            if (line == "z" || line == "ur")
                return answer("OK");
            if (++records == 3 && !diskFull)
                rig.waiter.requestQuit();
            return answer(records > 200 ? QByteArray("END") : line == "u" ? QByteArray(400, '1') : QByteArray(64, '0'));
        };
        // A file-size limit stands in for a full disk: the writes fail part-way.
        rlimit old{};
        QCOMPARE(getrlimit(RLIMIT_FSIZE, &old), 0);
        rlimit small = old;
        small.rlim_cur = diskFull ? 20000 : old.rlim_cur;
        std::signal(SIGXFSZ, SIG_IGN);
        QCOMPARE(setrlimit(RLIMIT_FSIZE, &small), 0);
        const Outcome outcome = rig.clicks.click(FETCHED(int, action));
        setrlimit(RLIMIT_FSIZE, &old);
        QCOMPARE(outcome, Outcome::Failed);
        QVERIFY(records < 200);
        QCOMPARE(testing::readFile(path), QByteArray("old\r\n"));
        QVERIFY(!rig.link.busy());
        QVERIFY(rig.ui.messages.isEmpty());
        if (diskFull)
            QVERIFY2(rig.ui.status().startsWith(QLatin1String("Cannot write file ")), qPrintable(rig.ui.status()));
    }

    void scheduleUpload_data()
    {
        QTest::addColumn<int>("silentAt"); // schedule met by silence (0: none)
        QTest::addColumn<QByteArray>("lastLine");
        QTest::addColumn<QString>("status");
        QTest::newRow("all 200") << 0 << QByteArray("200808082359") << "Schedules uploaded:  200";
        QTest::newRow("silent at 5, 1 to 4 stay") << 5 << QByteArray("004804082359") << "No response from controller";
    }

    void scheduleUpload()
    {
        QFETCH(int, silentAt);
        QFETCH(QString, status);
        const QString path = m_dir.filePath(QStringLiteral("schedules-%1.txt").arg(silentAt));
        Rig rig;
        QVERIFY(rig.up(!silentAt));
        rig.ui.nextPath = path;
        rig.script = [&](const QByteArray &line) {
            const int n = line.mid(2).toInt();
            QByteArray reply; // day d of schedule n: (n % 24):0d to 23:59
            for (int day = 1; day <= 8 && n != silentAt; ++day)
                reply += QByteArray::number(n % 24).rightJustified(2, '0') + '0' + QByteArray::number(day) + "2359";
            return answer(reply);
        };
        const Ms start = rig.waiter.now();
        QCOMPARE(rig.clicks.click(UploadSchedules), silentAt ? Outcome::Failed : Outcome::Done);
        QCOMPARE(rig.waiter.now() - start >= wire::kReplyTimeout, silentAt != 0);
        const int sent = silentAt ? silentAt : 200;
        QCOMPARE(rig.sent.size(), sent);
        QCOMPARE(rig.sent.first(), QByteArray("SR001"));
        QCOMPARE(rig.sent.last(), "SR" + QByteArray::number(sent).rightJustified(3, '0'));
        const QByteArray file = testing::readFile(path);
        QCOMPARE(file.count("\r\n"), (silentAt ? silentAt - 1 : 200) * 8);
        QVERIFY(file.startsWith("001101012359\r\n001201022359\r\n"));
        QVERIFY(file.endsWith(FETCHED(QByteArray, lastLine) + "\r\n"));
        QCOMPARE(rig.ui.status(), status);
    }

    void hsTest_data()
    {
        QTest::addColumn<int>("failAt");
        QTest::addColumn<QByteArrayList>("answers"); // at record failAt; "" : silent
        QTest::addColumn<int>("records");
        QTest::addColumn<QString>("shown");
        QTest::newRow("all A") << 0 << QByteArrayList{} << 999 << "A\nok";
        QTest::newRow("scan then A") << 999 << QByteArrayList{"a0042", "A"} << 999 << "scan: a0042\nA\nok";
        QTest::newRow("bad") << 3 << QByteArrayList{"N"} << 3 << "N\nbad";
        QTest::newRow("timeout") << 10 << QByteArrayList{""} << 10 << "timeout";
    }

    void hsTest()
    {
        QFETCH(QString, shown);
        Rig rig;
        QVERIFY(rig.up(true));
        rig.tcp.stream.onWrite = [&](const QByteArray &bytes) {
            QVERIFY(bytes.endsWith('\r'));
            const int n = bytes.mid(16, 3).toInt();
            rig.lines.append(bytes);
            const QByteArrayList replies =
                n == FETCHED(int, failAt) ? FETCHED(QByteArrayList, answers) : QByteArrayList{"A"};
            int delay = 1;
            for (const QByteArray &r : replies)
                if (!r.isEmpty())
                    rig.tcp.stream.deliver(r + '\r', Ms{delay++});
        };
        const Result<QString> ended = rig.actions.download2();
        QCOMPARE(rig.lines.size(), FETCHED(int, records));
        QCOMPARE(rig.lines.first().size(), 123);
        QCOMPARE(ended.value, shown);
        QCOMPARE(rig.shown.lines.last(), "hs=" + shown);
        QVERIFY(!rig.link.busy());
    }

    void sortedTestFile()
    {
        Rig rig;
        rig.ui.nextPath = m_dir.filePath(QStringLiteral("accesssorted.txt"));
        QCOMPARE(rig.clicks.writeSortedTestFile(), Outcome::Done);
        QCOMPARE(rig.ui.lastDefaultName, QStringLiteral("accesssorted.txt"));
        QCOMPARE(rig.ui.status(), QStringLiteral("Sorted test file written to ") + *rig.ui.nextPath);
        const QByteArray file = testing::readFile(*rig.ui.nextPath);
        QCOMPARE(file.count("\r\n"), 1001);
        QVERIFY(file.startsWith("000001\r\n000002\r\n") && file.endsWith("001000\r\n63193\r\n"));
        QVERIFY(rig.serial.stream.writes.isEmpty());
        rig.ui.nextPath = m_dir.filePath(QStringLiteral("no/dir/accesssorted.txt"));
        QCOMPARE(rig.clicks.writeSortedTestFile(), Outcome::Failed);
        QVERIFY(rig.ui.status().startsWith(QLatin1String("Cannot create file ")));
    }
};

QTEST_GUILESS_MAIN(TstActions)
#include "tst_actions.moc"
