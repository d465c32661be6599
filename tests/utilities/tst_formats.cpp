// Record and file formats of the access lists and schedules, and the texts
// built from controller replies. Expected bytes are written out here, not
// taken from the code under test.
#include "core/inputfile.h"
#include "tests/common/rows.h"
#include "utilities/formats.h"

#include <QTest>
#include <QTimeZone>

using namespace utilities;

class TstFormats : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void fileLines_data()
    {
        QTest::addColumn<QByteArray>("data");
        QTest::addColumn<QByteArrayList>("lines");
        QTest::newRow("empty") << QByteArray() << QByteArrayList{};
        QTest::newRow("crlf, empty line kept")
            << QByteArray("12345\r\n\r\n678\r\n") << QByteArrayList{"12345", "", "678"};
        QTest::newRow("first line empty") << QByteArray("\r\nA\r\n") << QByteArrayList{"", "A"};
        // A lone line feed also ends a line: files written on Linux are read as
        // their lines, not as one ID with line feeds inside.
        QTest::newRow("mixed endings") << QByteArray("1\r\n2\n3\r4") << QByteArrayList{"1", "2", "3", "4"};
        QTest::newRow("lf then cr") << QByteArray("a\n\rb") << QByteArrayList{"a", "", "b"};
        QTest::newRow("cr cr lf") << QByteArray("a\r\r\nb") << QByteArrayList{"a", "", "b"};
        QTest::newRow("blanks and nul kept")
            << QByteArray(" 1\0002 \r\n", 7) << QByteArrayList{QByteArray(" 1\0002 ", 5)};
    }

    // The input reader's line limit counts the lines the transfers read.
    void fileLines()
    {
        QCOMPARE(splitFileLines(FETCHED(QByteArray, data)), FETCHED(QByteArrayList, lines));
        QCOMPARE(core::countLines(FETCHED(QByteArray, data)), FETCHED(QByteArrayList, lines).size());
    }

    void scheduleLines_data()
    {
        QTest::addColumn<QByteArray>("line");
        QTest::addColumn<bool>("valid");
        const struct {
            const char *name, *line;
            bool valid;
        } rows[] = {
            {"plain", "001108001700", true},
            {"limits", "200823592359", true},
            {"end before start", "007317000800", true},
            {"all zero times", "001100000000", true},
            {"14 digits", "00110800170000", false},
            {"11 digits", "00110800170", false},
            {"schedule 000", "000108001700", false},
            {"schedule 201", "201108001700", false},
            {"day 0", "001008001700", false},
            {"day 9", "001908001700", false},
            {"start hour 24", "001124001700", false},
            {"end hour 24", "001108002400", false},
            {"start minute 60", "001108601700", false},
            {"end minute 60", "001108001760", false},
            {"sign in schedule", "+01108001700", false},
            {"blank in time", "00110800 700", false},
            {"letter at end", "00110800170x", false},
        };
        for (const auto &r : rows)
            QTest::newRow(r.name) << QByteArray(r.line) << r.valid;
    }

    void scheduleLines() { QCOMPARE(isValidScheduleLine(FETCHED(QByteArray, line)), FETCHED(bool, valid)); }

    void scheduleReply()
    {
        QCOMPARE(scheduleReadCommand(7), QByteArray("SR007"));
        QCOMPARE(scheduleReadCommand(200), QByteArray("SR200"));
        const QByteArray reply = "0800170009001800100019001100200012002100130022001400230015002359";
        QCOMPARE(scheduleFileLines(7, reply),
                 (QByteArrayList{"007108001700", "007209001800", "007310001900", "007411002000", "007512002100",
                                 "007613002200", "007714002300", "007815002359"}));
        // A short reply leaves the later entries short or empty.
        QCOMPARE(scheduleFileLines(1, "0800170009"),
                 (QByteArrayList{"001108001700", "001209", "0013", "0014", "0015", "0016", "0017", "0018"}));
    }

    void hsRecord()
    {
        const QByteArray first = hsTestRecord(1);
        QCOMPARE(first.size(), 122);
        QCOMPARE(first,
                 QByteArray("A000000000000000001011"
                            "10011008001001101500100111080010011115001001120800100112150010011308001001131500"
                            "10011408001001141500"));
        QVERIFY(hsTestRecord(999).startsWith("A000000000000000999011"));
    }

    void hours_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<int>("hours"); // -1: refused
        const std::pair<const char *, int> accepted[] = {
            {"00", 0}, {"0", 0}, {"24", 24}, {"00005", 5}, {"0000000000000000000024", 24}};
        for (const auto &[text, hours] : accepted)
            QTest::addRow("'%s'", text) << QString::fromLatin1(text) << hours;
        for (const char *text : {"25", "000025", "100", "", "  ", "1a", "-1", "1.5", "99999999999999999999"})
            QTest::addRow("'%s'", text) << QString::fromLatin1(text) << -1;
    }

    void hours() { QCOMPARE(parseHours(FETCHED(QString, text)).value_or(-1), FETCHED(int, hours)); }

    void setTime_data()
    {
        QTest::addColumn<QDateTime>("now");
        QTest::addColumn<int>("hours");
        QTest::addColumn<bool>("add");
        QTest::addColumn<QByteArray>("command");
        const auto utc = [](int y, int mo, int d, int h, int mi, int s) {
            return QDateTime(QDate(y, mo, d), QTime(h, mi, s), Qt::UTC);
        };
        const auto row = [](const char *name, const QDateTime &now, int hours, bool add, const char *command) {
            QTest::newRow(name) << now << hours << add << QByteArray(command);
        };
        row("sunday is 7", utc(2024, 3, 17, 14, 5, 9), 0, true, "+2403171405097");
        row("monday is 1", utc(2024, 3, 18, 0, 0, 0), 0, true, "+2403180000001");
        row("add 10 into monday", utc(2024, 3, 17, 14, 5, 9), 10, true, "+2403180005091");
        row("subtract 24 month end", utc(2024, 3, 1, 8, 30, 0), 24, false, "+2402290830004");
        row("subtract 24 year end", utc(2025, 1, 1, 23, 59, 59), 24, false, "+2412312359592");
        row("add 24 year end", utc(2099, 12, 31, 1, 2, 3), 24, true, "+0001010102035");
        // The PC's local clock in a zone with daylight saving: the hours move the
        // wall clock, so "24" is the same time on the next or previous day.
        // Clocks go forward on 2024-03-31 and back on 2024-10-27.
        const QTimeZone berlin("Europe/Berlin");
        const auto local = [&](int mo, int d, int h) { return QDateTime(QDate(2024, mo, d), QTime(h, 0, 0), berlin); };
        row("dst subtract 24 after spring", local(3, 31, 12), 24, false, "+2403301200006");
        row("dst add 24 over spring", local(3, 30, 12), 24, true, "+2403311200007");
        row("dst subtract 24 after autumn", local(10, 27, 12), 24, false, "+2410261200006");
        row("dst add 3 over autumn", local(10, 27, 1), 3, true, "+2410270400007");
    }

    void setTime()
    {
        QFETCH(QDateTime, now);
        if (QByteArray(QTest::currentDataTag()).startsWith("dst") && now.timeZone().id() != "Europe/Berlin")
            QSKIP("no time zone data for Europe/Berlin");
        QCOMPARE(setTimeCommand(now, FETCHED(int, hours), FETCHED(bool, add)), FETCHED(QByteArray, command));
    }

    void replyTexts()
    {
        QCOMPARE(formatControllerTime("240315140509"), QStringLiteral("2024-03-15 14:05:09"));
        QCOMPARE(formatControllerTime("2403151405095"), QStringLiteral("2024-03-15 14:05:09")); // weekday dropped
        QCOMPARE(formatControllerTime("2403"), QStringLiteral("2024-03- ::"));
        QCOMPARE(formatControllerTime(QByteArray()), QStringLiteral("20-- ::"));
        const auto fields = [](const QByteArray &reply) {
            const auto got = memoryFields(reply);
            return QStringList(got.begin(), got.end());
        };
        QCOMPARE(fields("000010000200003000040000500006"),
                 (QStringList{"00001", "00002", "00003", "00004", "00005", "00006"}));
        QCOMPARE(fields("0000100002000"), (QStringList{"00001", "00002", "000", "", "", ""}));
        QCOMPARE(clockCaption(QDateTime(QDate(2024, 3, 5), QTime(7, 8, 9))),
                 QStringLiteral("Current Date/Time: 2024-03-05  07:08:09"));
    }
};

QTEST_GUILESS_MAIN(TstFormats)
#include "tst_formats.moc"
