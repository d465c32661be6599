// The utilities actions against a scripted controller on the virtual clock:
// the bytes sent, the status texts, the result fields and the files written.
#include "tests/common/fakerig.h"
#include "utilities/actions.h"

#include <QTemporaryDir>
#include <QFileInfo>
#include <QtTest>

#include <csignal>
#include <functional>
#include <optional>

#include <sys/resource.h>

using namespace utilities;
using wire::Ms;

namespace {

// A controller that answers each command line through a script; no answer
// (std::nullopt) means it stays silent.
struct Rig : testing::FakeRig {
    using Script = std::function<std::optional<QByteArray>(const QByteArray &line)>;

    UtilitiesSettings settings;
    FieldMap fields;
    QDateTime pcNow{QDate(2024, 3, 17), QTime(14, 5, 9)};
    Actions actions{state, link, settings, ui, fields, ui, [this] { return pcNow; }};
    QByteArrayList lines;  // every line received, the wake-up's empty ones included
    Script script = [](const QByteArray &) { return std::optional<QByteArray>(); };

    Rig() { applyUtilitiesDefaults(settings); }

    void listen()
    {
        peer().onWrite = [this](const QByteArray &bytes) {
            m_partial += bytes;
            qsizetype cr;
            while ((cr = m_partial.indexOf('\r')) >= 0) {
                const QByteArray line = m_partial.left(cr);
                m_partial.remove(0, cr + 1);
                lines.append(line);
                if (line.isEmpty())
                    continue;
                if (const auto answer = script(line))
                    peer().deliver(*answer + '\r', Ms{2});
            }
        };
    }
    bool upSerial()
    {
        const bool up = connectSerial();
        listen();
        return up;
    }
    bool upTcp()
    {
        const bool up = connectTcp();
        listen();
        return up;
    }
    // The command lines, without the wake-up's empty lines.
    QByteArrayList commands() const
    {
        QByteArrayList out;
        for (const QByteArray &l : lines)
            if (!l.isEmpty())
                out.append(l);
        return out;
    }

private:
    QByteArray m_partial;
};

Rig::Script replyAll(const QByteArray &reply)
{
    return [reply](const QByteArray &) { return std::optional<QByteArray>(reply); };
}

QByteArray readFile(const QString &path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("<missing>");
}

void writeFile(const QString &path, const QByteArray &data)
{
    QFile f(path);
    QVERIFY(f.open(QIODevice::WriteOnly));
    f.write(data);
}

} // namespace

class TstActions : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void singleExchanges_data();
    void singleExchanges();
    void notConnected();
    void sendFailure_data();
    void sendFailure();
    void refusedWhileBusy();
    void accessDownload_data();
    void accessDownload();
    void accessDownloadUnreadable();
    void accessUpload_data();
    void accessUpload();
    void accessUploadUncreatable();
    void accessUploadWriteFailureKeepsOldFile();
    void quittingLeavesNoHalfFile();
    void scheduleDownload_data();
    void scheduleDownload();
    void scheduleUploadFull();
    void scheduleUploadTimeout();
    void hsTest_data();
    void hsTest();
    void hsTestWrongLink();
    void sortedTestFile();

private:
    QTemporaryDir m_dir;
};

void TstActions::singleExchanges_data()
{
    QTest::addColumn<int>("index");
    QTest::addColumn<QString>("id");
    QTest::addColumn<QString>("hours");
    QTest::addColumn<bool>("add");
    QTest::addColumn<QByteArray>("reply");  // empty: silent
    QTest::addColumn<QByteArrayList>("sent");
    QTest::addColumn<QString>("status");
    QTest::addColumn<QString>("field");
    QTest::addColumn<QString>("value");

    const QString none;
    QTest::newRow("version") << 0 << none << "00" << true << QByteArray("5200 V 02.14") << QByteArrayList{"V"}
                             << "Version received" << "Text1(0)" << "5200 V 02.14";
    QTest::newRow("version silent") << 0 << none << "00" << true << QByteArray() << QByteArrayList{"V"}
                                    << "No response from controller" << "Text1(0)" << "";
    QTest::newRow("add") << 3 << "12345" << "00" << true << QByteArray("A") << QByteArrayList{"AN00012345"}
                         << "ID added" << none << none;
    QTest::newRow("add refused") << 3 << "12345" << "00" << true << QByteArray("a")
                                 << QByteArrayList{"AN00012345"} << "ID not added" << none << none;
    QTest::newRow("add as typed") << 3 << " 7 " << "00" << true << QByteArray("A") << QByteArrayList{"AN000 7 "}
                                  << "ID added" << none << none;
    QTest::newRow("add blank") << 3 << "" << "00" << true << QByteArray("A") << QByteArrayList{}
                               << "ID to be added is blank" << none << none;
    QTest::newRow("add silent") << 3 << "1" << "00" << true << QByteArray() << QByteArrayList{"AN0001"}
                                << "No response from controller" << none << none;
    QTest::newRow("delete") << 2 << "12345" << "00" << true << QByteArray("D") << QByteArrayList{"R12345"}
                            << "ID deleted" << none << none;
    QTest::newRow("delete not found") << 2 << "12345" << "00" << true << QByteArray("DD")
                                      << QByteArrayList{"R12345"} << "ID not found" << none << none;
    QTest::newRow("delete blank") << 2 << "" << "00" << true << QByteArray("D") << QByteArrayList{}
                                  << "ID to be deleted is blank" << none << none;
    QTest::newRow("time get") << 6 << none << "00" << true << QByteArray("2403151405095") << QByteArrayList{"t"}
                              << "Time received" << "Text1(1)" << "2024-03-15 14:05:09";
    QTest::newRow("time get silent") << 6 << none << "00" << true << QByteArray() << QByteArrayList{"t"}
                                     << "No response from controller" << "Text1(1)" << "";
    // The PC clock stands at Sunday 2024-03-17 14:05:09.
    QTest::newRow("time set now") << 5 << none << "00" << true << QByteArray("O")
                                  << QByteArrayList{"+2403171405097"} << "Time set" << none << none;
    QTest::newRow("time set 0") << 5 << none << "0" << false << QByteArray("O")
                                << QByteArrayList{"+2403171405097"} << "Time set" << none << none;
    QTest::newRow("time set sub 24") << 5 << none << "24" << false << QByteArray("O")
                                     << QByteArrayList{"+2403161405096"} << "Time set" << none << none;
    QTest::newRow("time set add 10") << 5 << none << "10" << true << QByteArray("O")
                                     << QByteArrayList{"+2403180005091"} << "Time set" << none << none;
    QTest::newRow("time set 00005") << 5 << none << "00005" << true << QByteArray("O")
                                    << QByteArrayList{"+2403171905097"} << "Time set" << none << none;
    QTest::newRow("time set refused") << 5 << none << "00" << true << QByteArray("o")
                                      << QByteArrayList{"+2403171405097"} << "Time not set" << none << none;
    QTest::newRow("time set silent") << 5 << none << "00" << true << QByteArray()
                                     << QByteArrayList{"+2403171405097"} << "No response from controller" << none
                                     << none;
    QTest::newRow("hours 25") << 5 << none << "25" << true << QByteArray("O") << QByteArrayList{}
                              << "Invalid hours to add/subtract" << none << none;
    QTest::newRow("hours empty") << 5 << none << "" << true << QByteArray("O") << QByteArrayList{}
                                 << "Invalid hours to add/subtract" << none << none;
    QTest::newRow("hours text") << 5 << none << "1x" << true << QByteArray("O") << QByteArrayList{}
                                << "Invalid hours to add/subtract" << none << none;
    QTest::newRow("memory") << 7 << none << "00" << true << QByteArray("000010000200003000040000500006")
                            << QByteArrayList{"z"} << "Memory data received" << "Label1(16)" << "00004";
    QTest::newRow("memory silent") << 7 << none << "00" << true << QByteArray() << QByteArrayList{"z"}
                                   << "No response from controller" << none << none;
    QTest::newRow("heading") << 1 << none << "00" << true << QByteArray("A") << QByteArrayList{} << none << none
                             << none;
    QTest::newRow("status line") << 24 << none << "00" << true << QByteArray("A") << QByteArrayList{} << none
                                 << none << none;
}

void TstActions::singleExchanges()
{
    QFETCH(int, index);
    QFETCH(QString, id);
    QFETCH(QString, hours);
    QFETCH(bool, add);
    QFETCH(QByteArray, reply);
    QFETCH(QByteArrayList, sent);
    QFETCH(QString, status);
    QFETCH(QString, field);
    QFETCH(QString, value);

    for (const bool tcp : {false, true}) {
        Rig rig;
        QVERIFY(tcp ? rig.upTcp() : rig.upSerial());
        rig.settings.Text1_2 = id;
        rig.settings.Text2 = hours;
        rig.settings.add = add;
        rig.script = [reply](const QByteArray &) {
            return reply.isEmpty() ? std::nullopt : std::optional<QByteArray>(reply);
        };
        rig.actions.click(index);
        // Every click wakes the controller first.
        QCOMPARE(rig.lines.mid(0, 2), (QByteArrayList{"", ""}));
        QCOMPARE(rig.commands(), sent);
        QCOMPARE(rig.ui.status(), status);
        if (!field.isEmpty()) {
            QVERIFY(rig.fields.values.contains(field));
            QCOMPARE(rig.fields.value(field), value);
        }
        QVERIFY(!rig.state.linkBusy);
    }
}

void TstActions::notConnected()
{
    Rig rig;
    for (int index = 0; index <= 24; ++index) {
        rig.ui.statuses.clear();
        rig.actions.click(index);
        QCOMPARE(rig.ui.statuses, QStringList{"Not Connected"});
    }
    QVERIFY(rig.serial.stream.writes.isEmpty());
    QVERIFY(rig.tcp.stream.writes.isEmpty());
    QVERIFY(rig.ui.dialogs.isEmpty());
}

void TstActions::sendFailure_data()
{
    QTest::addColumn<int>("index");
    QTest::addColumn<QStringList>("statuses");
    const QStringList noResponse{"No response from controller"};
    QTest::newRow("version") << 0 << noResponse;
    QTest::newRow("set time") << 5 << noResponse;
    QTest::newRow("get time") << 6 << noResponse;
    QTest::newRow("memory") << 7 << noResponse;
    QTest::newRow("add") << 3 << QStringList{};
    QTest::newRow("delete") << 2 << QStringList{};
}

void TstActions::sendFailure()
{
    QFETCH(int, index);
    QFETCH(QStringList, statuses);
    Rig rig;
    QVERIFY(rig.upTcp());
    rig.settings.Text1_2 = QStringLiteral("1");
    rig.tcp.stream.open = false;  // the socket has gone; the caption still says Connected
    const Ms before = rig.waiter.now();
    QCOMPARE(rig.actions.click(index), Outcome::Failed);
    QCOMPARE(rig.ui.statuses, statuses);
    QVERIFY(rig.waiter.now() - before < wire::kReplyTimeout);  // no wait for a reply
}

void TstActions::refusedWhileBusy()
{
    Rig rig;
    QVERIFY(rig.upSerial());
    rig.script = replyAll("5200");
    // A second click arrives while the first waits for its reply.
    int nested = 0;
    Outcome nestedOutcome = Outcome::Done;
    rig.waiter.setOnPass([&] {
        if (rig.state.linkBusy && nested++ == 0)
            nestedOutcome = rig.actions.click(GetControllerTime);
    });
    QCOMPARE(rig.actions.click(GetFirmwareIdentification), Outcome::Done);
    QCOMPARE(nestedOutcome, Outcome::Failed);
    QCOMPARE(rig.commands(), QByteArrayList{"V"});
    QCOMPARE(rig.ui.status(), QStringLiteral("Version received"));
    QVERIFY(!rig.state.linkBusy);
    // The HS test is refused the same way.
    rig.state.linkBusy = true;
    QCOMPARE(rig.actions.download2(), Outcome::Failed);
    QVERIFY(!rig.fields.values.contains(QStringLiteral("Text4")));
}

void TstActions::accessDownload_data()
{
    QTest::addColumn<QByteArray>("file");
    QTest::addColumn<bool>("adHoc");
    QTest::addColumn<bool>("schedule");
    QTest::addColumn<int>("failAt");       // record answered wrongly (0: none)
    QTest::addColumn<QByteArray>("wrong");  // that answer; empty: silent
    QTest::addColumn<QByteArrayList>("sent");
    QTest::addColumn<QString>("status");

    QTest::newRow("ad hoc, empty line skipped")
        << QByteArray("12345\r\n\r\n678\r\n") << true << false << 0 << QByteArray()
        << QByteArrayList{"AN0000000000012345", "AN00000000000678"} << " 2 Records downloaded";
    QTest::newRow("sorted") << QByteArray("12345\r\n678") << false << false << 0 << QByteArray()
                            << QByteArrayList{"AS0000000000012345", "AS00000000000678"} << " 2 Records downloaded";
    QTest::newRow("ad hoc schedule") << QByteArray("12345\r\n") << true << true << 0 << QByteArray()
                                     << QByteArrayList{"AN1230000000045"} << " 1 Records downloaded";
    QTest::newRow("sorted schedule") << QByteArray("12345\r\n") << false << true << 0 << QByteArray()
                                     << QByteArrayList{"AS12345"} << " 1 Records downloaded";
    QTest::newRow("short line with schedule") << QByteArray("12\r\n") << true << true << 0 << QByteArray()
                                              << QByteArrayList{"AN1200000000"} << " 1 Records downloaded";
    QTest::newRow("written on Linux") << QByteArray("12345\n\n678\n") << true << false << 0 << QByteArray()
                                      << QByteArrayList{"AN0000000000012345", "AN00000000000678"}
                                      << " 2 Records downloaded";
    QTest::newRow("empty file") << QByteArray() << true << false << 0 << QByteArray() << QByteArrayList{}
                                << " 0 Records downloaded";
    QTest::newRow("empty lines only") << QByteArray("\r\n\r\n") << true << false << 0 << QByteArray()
                                      << QByteArrayList{} << " 0 Records downloaded";
    QTest::newRow("lower-case a stops") << QByteArray("1\r\n2\r\n3\r\n") << true << false << 2 << QByteArray("a")
                                        << QByteArrayList{"AN000000000001", "AN000000000002"}
                                        << "Invalid response from controller 002";
    QTest::newRow("A with more accepted") << QByteArray("1\r\n2\r\n") << true << false << 1 << QByteArray("AX")
                                          << QByteArrayList{"AN000000000001", "AN000000000002"}
                                          << " 2 Records downloaded";
    QTest::newRow("silent stops") << QByteArray("1\r\n2\r\n3\r\n") << true << false << 2 << QByteArray()
                                  << QByteArrayList{"AN000000000001", "AN000000000002"} << "Controller timeout";
}

void TstActions::accessDownload()
{
    QFETCH(QByteArray, file);
    QFETCH(bool, adHoc);
    QFETCH(bool, schedule);
    QFETCH(int, failAt);
    QFETCH(QByteArray, wrong);
    QFETCH(QByteArrayList, sent);
    QFETCH(QString, status);

    const QString path = m_dir.filePath(QStringLiteral("download.txt"));
    writeFile(path, file);
    Rig rig;
    QVERIFY(rig.upSerial());
    rig.settings.adHoc = adHoc;
    rig.settings.includesSchedule = schedule;
    rig.ui.nextPath = path;
    int record = 0;
    rig.script = [&](const QByteArray &) -> std::optional<QByteArray> {
        if (++record == failAt)
            return wrong.isEmpty() ? std::nullopt : std::optional<QByteArray>(wrong);
        return QByteArray("A");
    };
    rig.actions.click(DownloadAccessList);
    QCOMPARE(rig.commands(), sent);
    QCOMPARE(rig.ui.status(), status);
    QCOMPARE(rig.fields.value(QStringLiteral("Label3")), QStringLiteral("14:05:09"));
    // The end time is written only when the whole file went through.
    QCOMPARE(rig.fields.values.contains(QStringLiteral("Label4")), status.endsWith(QLatin1String("downloaded")));
    if (sent.size() >= 2 && status.endsWith(QLatin1String("downloaded")))
        QVERIFY(rig.ui.statuses.contains(QStringLiteral("Downloading record:  2")));
}

void TstActions::accessDownloadUnreadable()
{
    for (const QString &path : {m_dir.filePath(QStringLiteral("missing.txt")), m_dir.path()}) {
        Rig rig;
        QVERIFY(rig.upSerial());
        rig.script = replyAll("A");
        rig.ui.nextPath = path;
        QCOMPARE(rig.actions.click(DownloadAccessList), Outcome::Failed);
        QVERIFY2(rig.ui.status().startsWith(QLatin1String("Cannot open file ")) ||
                     rig.ui.status().startsWith(QLatin1String("Cannot read file ")),
                 qPrintable(rig.ui.status()));
        QVERIFY(rig.commands().isEmpty());
    }
    // A cancelled dialog ends without a word.
    Rig rig;
    QVERIFY(rig.upSerial());
    rig.ui.nextPath.reset();
    QCOMPARE(rig.actions.click(DownloadAccessList), Outcome::Cancelled);
    QVERIFY(rig.ui.statuses.isEmpty());
    QCOMPARE(rig.ui.lastFilter.initialName, QStringLiteral("download.txt"));
    QCOMPARE(rig.ui.lastFilter.defaultSuffix, QStringLiteral("txt"));
    QCOMPARE(rig.actions.click(DownloadSchedules), Outcome::Cancelled);
    QCOMPARE(rig.ui.lastFilter.initialName, QStringLiteral("schedule.txt"));
}

void TstActions::accessUpload_data()
{
    QTest::addColumn<bool>("adHoc");
    QTest::addColumn<bool>("schedule");
    QTest::addColumn<bool>("deleted");
    QTest::addColumn<QByteArrayList>("records");  // controller's answers to u/s, in order; "" : silent
    QTest::addColumn<QByteArray>("file");         // "<missing>": no file
    QTest::addColumn<QString>("status");

    QTest::newRow("ad hoc") << true << false << false << QByteArrayList{"000123", "042456", "END"}
                            << QByteArray("123\r\n456\r\n") << "Records uploaded:  2";
    QTest::newRow("with schedule") << false << true << false << QByteArrayList{"000123", "042456", "END"}
                                   << QByteArray("000123\r\n042456\r\n") << "Records uploaded:  2";
    QTest::newRow("deleted skipped, counted")
        << true << false << false << QByteArrayList{"999001234", "000555", "END"} << QByteArray("555\r\n")
        << "Records uploaded:  2";
    QTest::newRow("deleted kept") << true << false << true << QByteArrayList{"999001234", "END"}
                                  << QByteArray("001234\r\n") << "Records uploaded:  1";
    QTest::newRow("deleted kept whole") << true << true << true << QByteArrayList{"999001234", "END"}
                                        << QByteArray("999001234\r\n") << "Records uploaded:  1";
    QTest::newRow("END at once") << true << false << false << QByteArrayList{"END"} << QByteArray("")
                                 << QString();
    QTest::newRow("END with blank is a record")
        << true << true << false << QByteArrayList{"END ", "end", "END"} << QByteArray("END \r\nend\r\n")
        << "Records uploaded:  2";
    QTest::newRow("short reply unchanged") << true << false << false << QByteArrayList{"12", "END"}
                                           << QByteArray("12\r\n") << "Records uploaded:  1";
    QTest::newRow("silent keeps records") << true << false << false << QByteArrayList{"000111", ""}
                                          << QByteArray("111\r\n") << "No response from controller";
}

void TstActions::accessUpload()
{
    QFETCH(bool, adHoc);
    QFETCH(bool, schedule);
    QFETCH(bool, deleted);
    QFETCH(QByteArrayList, records);
    QFETCH(QByteArray, file);
    QFETCH(QString, status);

    const QString path = m_dir.filePath(QStringLiteral("upload-%1.txt").arg(QTest::currentDataTag()));
    Rig rig;
    QVERIFY(rig.upTcp());
    rig.settings.adHoc = adHoc;
    rig.settings.includesSchedule = schedule;
    rig.settings.inclDeleted = deleted;
    rig.ui.nextPath = path;
    qsizetype next = 0;
    rig.script = [&](const QByteArray &line) -> std::optional<QByteArray> {
        if (line == "z")
            return QByteArray("000010000200003000040000500006");
        if (line == "ur" || line == "sr")
            return QByteArray("OK");
        if (next >= records.size() || records.at(next).isEmpty())
            return std::nullopt;
        return records.at(next++);
    };
    rig.actions.click(UploadAccessList);
    const QByteArray step = adHoc ? "u" : "s";
    QCOMPARE(rig.commands().mid(0, 2), (QByteArrayList{"z", adHoc ? "ur" : "sr"}));
    QCOMPARE(rig.commands().mid(2), QByteArrayList(records.size(), step));
    QCOMPARE(readFile(path), file);
    QCOMPARE(rig.ui.status(), status);
    QCOMPARE(rig.ui.lastDefaultName, QStringLiteral("upload.txt"));
}

void TstActions::accessUploadUncreatable()
{
    struct Case {
        const char *name;
        QByteArray zReply, rewindReply;  // empty: silent
        QString status;
        QByteArrayList sent;
    };
    const QString path = m_dir.filePath(QStringLiteral("never.txt"));
    const Case cases[] = {
        {"silent on z", QByteArray(), QByteArray("OK"), "No response from controller", {"z"}},
        {"silent on ur", QByteArray("0"), QByteArray(), "No response from controller", {"z", "ur"}},
        {"ur refused", QByteArray("0"), QByteArray("ok"), "invalid response from controller 004", {"z", "ur"}},
    };
    for (const Case &c : cases) {
        Rig rig;
        QVERIFY(rig.upSerial());
        rig.ui.nextPath = path;
        rig.script = [&](const QByteArray &line) -> std::optional<QByteArray> {
            const QByteArray r = line == "z" ? c.zReply : c.rewindReply;
            return r.isEmpty() ? std::nullopt : std::optional<QByteArray>(r);
        };
        QCOMPARE(rig.actions.click(UploadAccessList), Outcome::Failed);
        QCOMPARE(rig.ui.status(), c.status);
        QCOMPARE(rig.commands(), c.sent);
        QVERIFY2(!QFile::exists(path), c.name);
    }
    // A file that cannot be created costs the controller nothing.
    Rig rig;
    QVERIFY(rig.upSerial());
    rig.script = replyAll("OK");
    rig.ui.nextPath = m_dir.filePath(QStringLiteral("no/such/dir/upload.txt"));
    QCOMPARE(rig.actions.click(UploadAccessList), Outcome::Failed);
    QVERIFY(rig.ui.status().startsWith(QLatin1String("Cannot create file ")));
    QVERIFY(rig.commands().isEmpty());
    rig.lines.clear();
    QCOMPARE(rig.actions.click(UploadSchedules), Outcome::Failed);
    QVERIFY(rig.ui.status().startsWith(QLatin1String("Cannot create file ")));
    QVERIFY(rig.commands().isEmpty());
}

void TstActions::accessUploadWriteFailureKeepsOldFile()
{
    // A file-size limit stands in for a full disk: the writes fail part-way.
    const QString path = m_dir.filePath(QStringLiteral("full.txt"));
    writeFile(path, "old\r\n");
    Rig rig;
    QVERIFY(rig.upSerial());
    rig.ui.nextPath = path;
    int records = 0;
    rig.script = [&](const QByteArray &line) -> std::optional<QByteArray> {
        if (line == "u")
            return ++records > 200 ? QByteArray("END") : QByteArray(400, '1');
        return QByteArray("OK");
    };
    std::signal(SIGXFSZ, SIG_IGN);
    rlimit old{};
    QCOMPARE(getrlimit(RLIMIT_FSIZE, &old), 0);
    rlimit small = old;
    small.rlim_cur = 20000;
    QCOMPARE(setrlimit(RLIMIT_FSIZE, &small), 0);
    const Outcome outcome = rig.actions.click(UploadAccessList);
    setrlimit(RLIMIT_FSIZE, &old);
    QCOMPARE(outcome, Outcome::Failed);
    QVERIFY2(rig.ui.status().startsWith(QLatin1String("Cannot write file ")), qPrintable(rig.ui.status()));
    // The transfer stopped at the failure, and the old file is untouched.
    QVERIFY(records < 200);
    QCOMPARE(readFile(path), QByteArray("old\r\n"));
}

void TstActions::quittingLeavesNoHalfFile()
{
    for (const int action : {int(UploadAccessList), int(UploadSchedules)}) {
        const QString path = m_dir.filePath(QStringLiteral("quit-%1.txt").arg(action));
        writeFile(path, "before\r\n");
        Rig rig;
        QVERIFY(rig.upTcp());
        rig.ui.nextPath = path;
        int answered = 0;
        rig.script = [&](const QByteArray &line) -> std::optional<QByteArray> {
            if (line == "z" || line == "ur")
                return QByteArray("OK");
            if (++answered == 3)
                rig.waiter.requestQuit();  // the main window closes mid-transfer
            return line == "u" ? QByteArray("000123") : QByteArray(64, '0');
        };
        QCOMPARE(rig.actions.click(action), Outcome::Failed);
        QCOMPARE(readFile(path), QByteArray("before\r\n"));
        QVERIFY(!rig.state.linkBusy);
        QVERIFY(rig.ui.messages.isEmpty());
    }
}

void TstActions::scheduleDownload_data()
{
    QTest::addColumn<QByteArray>("file");
    QTest::addColumn<QByteArray>("scReply");
    QTest::addColumn<int>("failAt");
    QTest::addColumn<QByteArray>("wrong");
    QTest::addColumn<QByteArrayList>("sent");
    QTest::addColumn<QString>("status");

    const QByteArray two = "001108001700\r\n\r\n002208001700\r\n";
    QTest::newRow("two lines and a gap") << two << QByteArray("A") << 0 << QByteArray()
                                         << QByteArrayList{"SC", "SA001108001700", "SA002208001700"}
                                         << " 3 Records downloaded";
    QTest::newRow("written on Linux") << QByteArray("001108001700\n\n002208001700\n") << QByteArray("A") << 0
                                      << QByteArray() << QByteArrayList{"SC", "SA001108001700", "SA002208001700"}
                                      << " 3 Records downloaded";
    QTest::newRow("empty file still clears") << QByteArray() << QByteArray("A") << 0 << QByteArray()
                                             << QByteArrayList{"SC"} << " 0 Records downloaded";
    QTest::newRow("third invalid, first empty") << QByteArray("\r\n001108001700\r\n00110800170\r\n")
                                                << QByteArray("A") << 0 << QByteArray() << QByteArrayList{}
                                                << "Invalid data in file rec #  3";
    QTest::newRow("hour 24") << QByteArray("001124001700\r\n") << QByteArray("A") << 0 << QByteArray()
                             << QByteArrayList{} << "Invalid data in file rec #  1";
    QTest::newRow("SC refused") << two << QByteArray("a") << 0 << QByteArray() << QByteArrayList{"SC"}
                                << "Invalid response from controller 008";
    QTest::newRow("SC silent") << two << QByteArray() << 0 << QByteArray() << QByteArrayList{"SC"}
                               << "No response from controller";
    QTest::newRow("SA refused") << two << QByteArray("A") << 1 << QByteArray("AA")
                                << QByteArrayList{"SC", "SA001108001700"} << "Invalid response from controller 010";
    QTest::newRow("SA silent") << two << QByteArray("A") << 2 << QByteArray()
                               << QByteArrayList{"SC", "SA001108001700", "SA002208001700"} << "Controller timeout";
}

void TstActions::scheduleDownload()
{
    QFETCH(QByteArray, file);
    QFETCH(QByteArray, scReply);
    QFETCH(int, failAt);
    QFETCH(QByteArray, wrong);
    QFETCH(QByteArrayList, sent);
    QFETCH(QString, status);

    const QString path = m_dir.filePath(QStringLiteral("schedule.txt"));
    writeFile(path, file);
    Rig rig;
    QVERIFY(rig.upSerial());
    rig.ui.nextPath = path;
    int record = 0;
    rig.script = [&](const QByteArray &line) -> std::optional<QByteArray> {
        QByteArray r = "A";
        if (line == "SC")
            r = scReply;
        else if (++record == failAt)
            r = wrong;
        return r.isEmpty() ? std::nullopt : std::optional<QByteArray>(r);
    };
    rig.actions.click(DownloadSchedules);
    QCOMPARE(rig.ui.statuses.value(0), QStringLiteral("Checking file - please wait"));
    QCOMPARE(rig.commands(), sent);
    QCOMPARE(rig.ui.status(), status);
}

namespace {
QByteArray scheduleReply(int schedule)
{
    QByteArray reply;
    for (int day = 1; day <= 8; ++day)
        reply += QByteArray::number(schedule % 24).rightJustified(2, '0') + QByteArray::number(day).rightJustified(2, '0')
            + "2359";
    return reply;
}
} // namespace

void TstActions::scheduleUploadFull()
{
    const QString path = m_dir.filePath(QStringLiteral("schedules-up.txt"));
    Rig rig;
    QVERIFY(rig.upTcp());
    rig.ui.nextPath = path;
    rig.script = [](const QByteArray &line) { return std::optional<QByteArray>(scheduleReply(line.mid(2).toInt())); };
    QCOMPARE(rig.actions.click(UploadSchedules), Outcome::Done);
    const QByteArrayList sent = rig.commands();
    QCOMPARE(sent.size(), 200);
    QCOMPARE(sent.first(), QByteArray("SR001"));
    QCOMPARE(sent.last(), QByteArray("SR200"));
    const QByteArray file = readFile(path);
    QCOMPARE(file.count("\r\n"), 1600);
    QVERIFY(file.startsWith("001101012359\r\n001201022359\r\n"));
    QVERIFY(file.endsWith("200808082359\r\n"));
    QCOMPARE(rig.ui.status(), QStringLiteral("Schedules uploaded:  200"));
}

void TstActions::scheduleUploadTimeout()
{
    const QString path = m_dir.filePath(QStringLiteral("schedules-part.txt"));
    Rig rig;
    QVERIFY(rig.upSerial());
    rig.ui.nextPath = path;
    rig.script = [](const QByteArray &line) -> std::optional<QByteArray> {
        const int n = line.mid(2).toInt();
        return n == 5 ? std::nullopt : std::optional<QByteArray>(scheduleReply(n));
    };
    const Ms start = rig.waiter.now();
    QCOMPARE(rig.actions.click(UploadSchedules), Outcome::Failed);
    QVERIFY(rig.waiter.now() - start >= wire::kReplyTimeout);
    QCOMPARE(rig.commands().size(), 5);
    QCOMPARE(rig.ui.status(), QStringLiteral("No response from controller"));
    QCOMPARE(readFile(path).count("\r\n"), 32);  // schedules 1 to 4 stay
}

void TstActions::hsTest_data()
{
    QTest::addColumn<int>("failAt");
    QTest::addColumn<QByteArrayList>("answers");  // at record failAt; "" : silent
    QTest::addColumn<int>("records");
    QTest::addColumn<QString>("shown");
    QTest::newRow("all A") << 0 << QByteArrayList{} << 999 << "A\nok";
    QTest::newRow("scan then A") << 999 << QByteArrayList{"a0042", "A"} << 999 << "scan: a0042\nA\nok";
    QTest::newRow("bad") << 3 << QByteArrayList{"N"} << 3 << "N\nbad";
    QTest::newRow("timeout") << 10 << QByteArrayList{""} << 10 << "timeout";
}

void TstActions::hsTest()
{
    QFETCH(int, failAt);
    QFETCH(QByteArrayList, answers);
    QFETCH(int, records);
    QFETCH(QString, shown);
    Rig rig;
    QVERIFY(rig.upTcp());
    rig.tcp.stream.onWrite = [&](const QByteArray &bytes) {
        QVERIFY(bytes.endsWith('\r'));
        const int n = bytes.mid(16, 3).toInt();
        rig.lines.append(bytes);
        const QByteArrayList replies = n == failAt ? answers : QByteArrayList{"A"};
        int delay = 1;
        for (const QByteArray &r : replies)
            if (!r.isEmpty())
                rig.tcp.stream.deliver(r + '\r', Ms{delay++});
    };
    rig.actions.download2();
    QCOMPARE(rig.lines.size(), records);
    QCOMPARE(rig.lines.first().size(), 123);
    QCOMPARE(rig.fields.value(QStringLiteral("Text4")), shown);
    QVERIFY(!rig.state.linkBusy);
}

void TstActions::hsTestWrongLink()
{
    Rig serialRig;
    QVERIFY(serialRig.upSerial());
    QCOMPARE(serialRig.actions.download2(), Outcome::Failed);
    QCOMPARE(serialRig.fields.value(QStringLiteral("Text4")), QStringLiteral("HS test needs a TCP/IP link"));
    QVERIFY(serialRig.serial.stream.writes.isEmpty());
    QVERIFY(serialRig.tcp.stream.writes.isEmpty());

    Rig idle;
    wire::selectMode(idle.comm, idle.state, wire::CommSettings::Mode::Tcp);
    QCOMPARE(idle.actions.download2(), Outcome::Failed);
    QCOMPARE(idle.fields.value(QStringLiteral("Text4")), QStringLiteral("Not Connected"));
    QVERIFY(idle.tcp.stream.writes.isEmpty());
}

void TstActions::sortedTestFile()
{
    Rig rig;
    const QString path = m_dir.filePath(QStringLiteral("accesssorted.txt"));
    rig.ui.nextPath = path;
    QCOMPARE(rig.actions.writeSortedTestFile(), Outcome::Done);
    QCOMPARE(rig.ui.lastDefaultName, QStringLiteral("accesssorted.txt"));
    const QByteArray file = readFile(path);
    QVERIFY(file.startsWith("000001\r\n000002\r\n"));
    QVERIFY(file.endsWith("001000\r\n63193\r\n"));
    QVERIFY(rig.serial.stream.writes.isEmpty());

    rig.ui.nextPath = m_dir.filePath(QStringLiteral("no/dir/accesssorted.txt"));
    QCOMPARE(rig.actions.writeSortedTestFile(), Outcome::Failed);
    QVERIFY(rig.ui.status().startsWith(QLatin1String("Cannot create file ")));

    rig.ui.nextPath.reset();
    rig.ui.statuses.clear();
    QCOMPARE(rig.actions.writeSortedTestFile(), Outcome::Cancelled);
    QVERIFY(rig.ui.statuses.isEmpty());
}

QTEST_GUILESS_MAIN(TstActions)
#include "tst_actions.moc"
