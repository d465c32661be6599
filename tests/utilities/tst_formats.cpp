// Record and file formats of the access lists and schedules, and the texts
// built from controller replies. Expected bytes are written out here, not
// taken from the code under test.
#include "utilities/formats.h"

#include <QTimeZone>
#include <QtTest>

using namespace utilities;

class TstFormats : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void fileLines_data();
    void fileLines();
    void accessRecords_data();
    void accessRecords();
    void uploadLines_data();
    void uploadLines();
    void endMarker();
    void sortedTestFile();
    void scheduleLines_data();
    void scheduleLines();
    void firstInvalidLine_data();
    void firstInvalidLine();
    void scheduleReply();
    void hsRecord();
    void hours_data();
    void hours();
    void setTime_data();
    void setTime();
    void setTimeDaylightSaving_data();
    void setTimeDaylightSaving();
    void controllerTime_data();
    void controllerTime();
    void memory_data();
    void memory();
    void clock();
};

void TstFormats::fileLines_data()
{
    QTest::addColumn<QByteArray>("data");
    QTest::addColumn<QByteArrayList>("lines");
    QTest::newRow("empty") << QByteArray() << QByteArrayList{};
    QTest::newRow("crlf") << QByteArray("12345\r\n\r\n678\r\n") << QByteArrayList{"12345", "", "678"};
    QTest::newRow("cr only") << QByteArray("1\r2\r") << QByteArrayList{"1", "2"};
    // A lone line feed also ends a line: files written on Linux are read as
    // their lines, not as one ID with line feeds inside.
    QTest::newRow("lf only") << QByteArray("1\n2\n") << QByteArrayList{"1", "2"};
    QTest::newRow("mixed endings") << QByteArray("1\r\n2\n3\r4") << QByteArrayList{"1", "2", "3", "4"};
    QTest::newRow("lf then cr") << QByteArray("a\n\rb") << QByteArrayList{"a", "", "b"};
    QTest::newRow("empty lf lines") << QByteArray("\n\nx\n") << QByteArrayList{"", "", "x"};
    QTest::newRow("no final terminator") << QByteArray("1\r\n2") << QByteArrayList{"1", "2"};
    QTest::newRow("first line empty") << QByteArray("\r\nA\r\n") << QByteArrayList{"", "A"};
    QTest::newRow("only empty lines") << QByteArray("\r\n\r\n\r\n") << QByteArrayList{"", "", ""};
    QTest::newRow("cr cr lf") << QByteArray("a\r\r\nb") << QByteArrayList{"a", "", "b"};
    QTest::newRow("blanks kept") << QByteArray(" 12 \r\n") << QByteArrayList{" 12 "};
    QTest::newRow("nul kept") << QByteArray("1\0002\r\n", 5) << QByteArrayList{QByteArray("1\0002", 3)};
}

void TstFormats::fileLines()
{
    QFETCH(QByteArray, data);
    QFETCH(QByteArrayList, lines);
    QCOMPARE(splitFileLines(data), lines);
}

void TstFormats::accessRecords_data()
{
    QTest::addColumn<QByteArray>("line");
    QTest::addColumn<bool>("adHoc");
    QTest::addColumn<bool>("schedule");
    QTest::addColumn<QByteArray>("record");
    QTest::newRow("ad hoc plain") << QByteArray("12345") << true << false << QByteArray("AN0000000000012345");
    QTest::newRow("sorted plain") << QByteArray("12345") << false << false << QByteArray("AS0000000000012345");
    QTest::newRow("ad hoc schedule") << QByteArray("12345") << true << true << QByteArray("AN1230000000045");
    QTest::newRow("sorted schedule") << QByteArray("12345") << false << true << QByteArray("AS12345");
    QTest::newRow("id unchanged") << QByteArray(" a-b ") << true << false << QByteArray("AN00000000000 a-b ");
    QTest::newRow("three chars") << QByteArray("007") << true << true << QByteArray("AN00700000000");
    // Too short for a schedule: sent as it stands, the ID empty.
    QTest::newRow("short ad hoc") << QByteArray("12") << true << true << QByteArray("AN1200000000");
    QTest::newRow("short sorted") << QByteArray("1") << false << true << QByteArray("AS1");
}

void TstFormats::accessRecords()
{
    QFETCH(QByteArray, line);
    QFETCH(bool, adHoc);
    QFETCH(bool, schedule);
    QFETCH(QByteArray, record);
    QCOMPARE(accessRecord(line, adHoc, schedule), record);
}

void TstFormats::uploadLines_data()
{
    QTest::addColumn<QByteArray>("reply");
    QTest::addColumn<bool>("schedule");
    QTest::addColumn<bool>("deleted");
    QTest::addColumn<bool>("written");
    QTest::addColumn<QByteArray>("line");
    QTest::newRow("plain") << QByteArray("000123456") << false << false << true << QByteArray("123456");
    QTest::newRow("with schedule") << QByteArray("042123456") << true << false << true << QByteArray("042123456");
    QTest::newRow("deleted skipped") << QByteArray("999001234") << false << false << false << QByteArray();
    QTest::newRow("deleted skipped sched") << QByteArray("999001234") << true << false << false << QByteArray();
    QTest::newRow("deleted kept plain") << QByteArray("999001234") << false << true << true << QByteArray("001234");
    QTest::newRow("deleted kept whole") << QByteArray("999001234") << true << true << true << QByteArray("999001234");
    QTest::newRow("998 not deleted") << QByteArray("998001234") << false << false << true << QByteArray("001234");
    QTest::newRow("just a schedule") << QByteArray("123") << false << false << true << QByteArray("");
    // Too short to hold a schedule: written unchanged, not as an empty line.
    QTest::newRow("short") << QByteArray("12") << false << false << true << QByteArray("12");
    QTest::newRow("empty reply") << QByteArray() << false << false << true << QByteArray();
}

void TstFormats::uploadLines()
{
    QFETCH(QByteArray, reply);
    QFETCH(bool, schedule);
    QFETCH(bool, deleted);
    QFETCH(bool, written);
    QFETCH(QByteArray, line);
    const auto out = uploadLine(reply, schedule, deleted);
    QCOMPARE(out.has_value(), written);
    if (written)
        QCOMPARE(*out, line);
}

void TstFormats::endMarker()
{
    QVERIFY(isEndMarker("END"));
    QVERIFY(!isEndMarker("END "));
    QVERIFY(!isEndMarker("end"));
    QVERIFY(!isEndMarker("ENDS"));
}

void TstFormats::sortedTestFile()
{
    const QByteArray file = utilities::sortedTestFile();
    const QByteArrayList lines = file.split('\n');
    QCOMPARE(lines.size(), 1002);  // 1001 lines and what follows the last LF
    QCOMPARE(lines.at(0), QByteArray("000001\r"));
    QCOMPARE(lines.at(999), QByteArray("001000\r"));
    QCOMPARE(lines.at(1000), QByteArray("63193\r"));
    QVERIFY(lines.at(1001).isEmpty());
}

void TstFormats::scheduleLines_data()
{
    QTest::addColumn<QByteArray>("line");
    QTest::addColumn<bool>("valid");
    QTest::newRow("plain") << QByteArray("001108001700") << true;
    QTest::newRow("limits") << QByteArray("200823592359") << true;
    QTest::newRow("end before start") << QByteArray("007317000800") << true;
    QTest::newRow("all zero times") << QByteArray("001100000000") << true;
    QTest::newRow("14 digits") << QByteArray("00110800170000") << false;
    QTest::newRow("11 digits") << QByteArray("00110800170") << false;
    QTest::newRow("schedule 000") << QByteArray("000108001700") << false;
    QTest::newRow("schedule 201") << QByteArray("201108001700") << false;
    QTest::newRow("day 0") << QByteArray("001008001700") << false;
    QTest::newRow("day 9") << QByteArray("001908001700") << false;
    QTest::newRow("start hour 24") << QByteArray("001124001700") << false;
    QTest::newRow("end hour 24") << QByteArray("001108002400") << false;
    QTest::newRow("start minute 60") << QByteArray("001108601700") << false;
    QTest::newRow("end minute 60") << QByteArray("001108001760") << false;
    QTest::newRow("blank in schedule") << QByteArray(" 01108001700") << false;
    QTest::newRow("letter in day") << QByteArray("001A08001700") << false;
    QTest::newRow("blank in time") << QByteArray("00110800 700") << false;
    QTest::newRow("letter at end") << QByteArray("00110800170x") << false;
    QTest::newRow("sign in schedule") << QByteArray("+01108001700") << false;
}

void TstFormats::scheduleLines()
{
    QFETCH(QByteArray, line);
    QFETCH(bool, valid);
    QCOMPARE(isValidScheduleLine(line), valid);
}

void TstFormats::firstInvalidLine_data()
{
    QTest::addColumn<QByteArray>("file");
    QTest::addColumn<int>("bad");
    QTest::newRow("empty file") << QByteArray() << 0;
    QTest::newRow("valid with gap") << QByteArray("001108001700\r\n\r\n002208001700\r\n") << 0;
    QTest::newRow("third bad, first empty") << QByteArray("\r\n001108001700\r\n00110800170\r\n") << 3;
    QTest::newRow("first of two bad") << QByteArray("001108001700\r\n201108001700\r\n000000000000\r\n") << 2;
    QTest::newRow("last line unterminated") << QByteArray("001108001700\r\n0011080017") << 2;
}

void TstFormats::firstInvalidLine()
{
    QFETCH(QByteArray, file);
    QFETCH(int, bad);
    QCOMPARE(firstInvalidScheduleLine(splitFileLines(file)), bad);
}

void TstFormats::scheduleReply()
{
    QCOMPARE(scheduleReadCommand(7), QByteArray("SR007"));
    QCOMPARE(scheduleReadCommand(200), QByteArray("SR200"));
    const QByteArray reply = "0800170009001800100019001100200012002100130022001400230015002359";
    const QByteArrayList lines = scheduleFileLines(7, reply);
    QCOMPARE(lines, (QByteArrayList{"007108001700", "007209001800", "007310001900", "007411002000",
                                    "007512002100", "007613002200", "007714002300", "007815002359"}));
    // A short reply leaves the later entries short or empty.
    QCOMPARE(scheduleFileLines(1, "0800170009"),
             (QByteArrayList{"001108001700", "001209", "0013", "0014", "0015", "0016", "0017", "0018"}));
}

void TstFormats::hsRecord()
{
    const QByteArray first = hsTestRecord(1);
    QCOMPARE(first.size(), 122);
    QCOMPARE(first, QByteArray("A000000000000000001011"
                               "10011008001001101500100111080010011115001001120800100112150010011308001001131500"
                               "10011408001001141500"));
    QVERIFY(hsTestRecord(999).startsWith("A000000000000000999011"));
}

void TstFormats::hours_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<int>("hours");  // -1: refused
    QTest::newRow("00") << "00" << 0;
    QTest::newRow("0") << "0" << 0;
    QTest::newRow("24") << "24" << 24;
    QTest::newRow("007") << "007" << 7;
    QTest::newRow("25") << "25" << -1;
    QTest::newRow("empty") << "" << -1;
    QTest::newRow("blanks") << "  " << -1;
    QTest::newRow("letters") << "1a" << -1;
    QTest::newRow("negative") << "-1" << -1;
    QTest::newRow("huge") << "99999999999999999999" << -1;
    QTest::newRow("leading zeros 5") << "00005" << 5;
    QTest::newRow("leading zeros 24") << "0000000000000000000024" << 24;
    QTest::newRow("leading zeros 25") << "000025" << -1;
    QTest::newRow("many zeros") << "000000" << 0;
    QTest::newRow("three digits") << "100" << -1;
    QTest::newRow("fraction") << "1.5" << -1;
}

void TstFormats::hours()
{
    QFETCH(QString, text);
    QFETCH(int, hours);
    const auto got = parseHours(text);
    QCOMPARE(got.value_or(-1), hours);
}

void TstFormats::setTime_data()
{
    QTest::addColumn<QDateTime>("now");
    QTest::addColumn<int>("hours");
    QTest::addColumn<bool>("add");
    QTest::addColumn<QByteArray>("command");
    const QDateTime sunday(QDate(2024, 3, 17), QTime(14, 5, 9), Qt::UTC);
    const QDateTime monday(QDate(2024, 3, 18), QTime(0, 0, 0), Qt::UTC);
    QTest::newRow("sunday is 7") << sunday << 0 << true << QByteArray("+2403171405097");
    QTest::newRow("monday is 1") << monday << 0 << true << QByteArray("+2403180000001");
    QTest::newRow("add 10 into monday") << sunday << 10 << true << QByteArray("+2403180005091");
    QTest::newRow("subtract 24 month end")
        << QDateTime(QDate(2024, 3, 1), QTime(8, 30, 0), Qt::UTC) << 24 << false << QByteArray("+2402290830004");
    QTest::newRow("subtract 24 year end")
        << QDateTime(QDate(2025, 1, 1), QTime(23, 59, 59), Qt::UTC) << 24 << false << QByteArray("+2412312359592");
    QTest::newRow("add 24 year end")
        << QDateTime(QDate(2099, 12, 31), QTime(1, 2, 3), Qt::UTC) << 24 << true << QByteArray("+0001010102035");
    QTest::newRow("subtract 1 midnight")
        << QDateTime(QDate(2024, 1, 1), QTime(0, 30, 0), Qt::UTC) << 1 << false << QByteArray("+2312312330007");
}

void TstFormats::setTime()
{
    QFETCH(QDateTime, now);
    QFETCH(int, hours);
    QFETCH(bool, add);
    QFETCH(QByteArray, command);
    const QByteArray got = setTimeCommand(now, hours, add);
    QCOMPARE(got, command);
    QCOMPARE(got.size(), 14);
}

// The PC's local clock in a zone with daylight saving: the hours move the
// wall clock, so "24" is the same time on the next or previous day.
void TstFormats::setTimeDaylightSaving_data()
{
    QTest::addColumn<QDateTime>("now");
    QTest::addColumn<int>("hours");
    QTest::addColumn<bool>("add");
    QTest::addColumn<QByteArray>("command");
    const QTimeZone berlin("Europe/Berlin");
    // Clocks go forward on 2024-03-31 and back on 2024-10-27.
    QTest::newRow("subtract 24 after spring change")
        << QDateTime(QDate(2024, 3, 31), QTime(12, 0, 0), berlin) << 24 << false << QByteArray("+2403301200006");
    QTest::newRow("add 24 over spring change")
        << QDateTime(QDate(2024, 3, 30), QTime(12, 0, 0), berlin) << 24 << true << QByteArray("+2403311200007");
    QTest::newRow("subtract 24 after autumn change")
        << QDateTime(QDate(2024, 10, 27), QTime(12, 0, 0), berlin) << 24 << false << QByteArray("+2410261200006");
    QTest::newRow("add 3 over autumn change")
        << QDateTime(QDate(2024, 10, 27), QTime(1, 0, 0), berlin) << 3 << true << QByteArray("+2410270400007");
}

void TstFormats::setTimeDaylightSaving()
{
    QFETCH(QDateTime, now);
    QFETCH(int, hours);
    QFETCH(bool, add);
    QFETCH(QByteArray, command);
    if (!now.timeZone().isValid() || now.timeZone().id() != "Europe/Berlin")
        QSKIP("no time zone data for Europe/Berlin");
    QCOMPARE(setTimeCommand(now, hours, add), command);
}

void TstFormats::controllerTime_data()
{
    QTest::addColumn<QByteArray>("reply");
    QTest::addColumn<QString>("shown");
    QTest::newRow("twelve") << QByteArray("240315140509") << "2024-03-15 14:05:09";
    QTest::newRow("weekday ignored") << QByteArray("2403151405095") << "2024-03-15 14:05:09";
    QTest::newRow("not validated") << QByteArray("ab0315xx0509") << "20ab-03-15 xx:05:09";
    QTest::newRow("short") << QByteArray("2403") << "2024-03- ::";
    QTest::newRow("empty") << QByteArray() << "20-- ::";
}

void TstFormats::controllerTime()
{
    QFETCH(QByteArray, reply);
    QFETCH(QString, shown);
    QCOMPARE(formatControllerTime(reply), shown);
}

void TstFormats::memory_data()
{
    QTest::addColumn<QByteArray>("reply");
    QTest::addColumn<QStringList>("fields");
    QTest::newRow("full") << QByteArray("000010000200003000040000500006")
                          << QStringList{"00001", "00002", "00003", "00004", "00005", "00006"};
    QTest::newRow("short") << QByteArray("0000100002000") << QStringList{"00001", "00002", "000", "", "", ""};
    QTest::newRow("empty") << QByteArray() << QStringList{"", "", "", "", "", ""};
}

void TstFormats::memory()
{
    QFETCH(QByteArray, reply);
    QFETCH(QStringList, fields);
    const auto got = memoryFields(reply);
    QCOMPARE(QStringList(got.begin(), got.end()), fields);
}

void TstFormats::clock()
{
    QCOMPARE(clockCaption(QDateTime(QDate(2024, 3, 5), QTime(7, 8, 9))),
             QStringLiteral("Current Date/Time: 2024-03-05  07:08:09"));
}

QTEST_GUILESS_MAIN(TstFormats)
#include "tst_formats.moc"
