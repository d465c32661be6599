// The simulator's access data, checked through its line handler: what it
// stores, what it answers, and its fault switches.
#include "sim/data_module.h"

#include <QtTest>

namespace {
// Runs lines through a fresh module; "-" stands for silence.
QByteArrayList talk(const QByteArrayList &lines, const QStringList &options = {})
{
    sim::DataModule module;
    QCommandLineParser parser;
    module.addOptions(parser);
    if (!parser.parse(QStringList{QStringLiteral("tarnic-sim")} + options))
        return {"bad options"};
    QString error;
    if (!module.configure(parser, &error))
        return {error.toLatin1()};
    QByteArrayList replies;
    for (const QByteArray &line : lines) {
        bool handled = false;
        bool silent = false;
        const QByteArray r = module.handle(line, &handled, &silent);
        replies.append(!handled ? QByteArray("<other>") : silent ? QByteArray("-") : r);
    }
    return replies;
}
} // namespace

class TstSimData : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void exchanges_data();
    void exchanges();
    void clock();
};

void TstSimData::exchanges_data()
{
    QTest::addColumn<QByteArrayList>("lines");
    QTest::addColumn<QStringList>("options");
    QTest::addColumn<QByteArrayList>("replies");
    QTest::newRow("ad hoc both record shapes")
        << QByteArrayList{"AN0420000000012345", "AN000777", "ur", "u", "u", "u"} << QStringList{}
        << QByteArrayList{"A", "A", "OK", "04212345", "000777", "END"};
    QTest::newRow("delete leaves a 999 entry")
        << QByteArrayList{"AN000777", "R777", "R777", "R1", "ur", "u", "z"} << QStringList{}
        << QByteArrayList{"A", "D", "N", "N", "OK", "999777", "199990000110000000006000000000"};
    QTest::newRow("sorted keeps order")
        << QByteArrayList{"AS00000000000300", "AS12399", "AS00000000000100", "sr", "s", "s", "s", "s"}
        << QStringList{} << QByteArrayList{"A", "A", "A", "OK", "12399", "000100", "000300", "END"};
    QTest::newRow("capacity") << QByteArrayList{"AN0001", "AN0002", "AN0001", "z"}
                              << QStringList{QStringLiteral("--adhoc-capacity"), QStringLiteral("1")}
                              << QByteArrayList{"A", "F", "A", "000000000110000000006000000000"};
    QTest::newRow("schedules") << QByteArrayList{"SA007208001700", "SR007", "SC", "SR007"} << QStringList{}
                               << QByteArrayList{"A", QByteArray("00000000") + "08001700" + QByteArray(48, '0'), "A",
                                                 QByteArray(64, '0')};
    QTest::newRow("schedule checks") << QByteArrayList{"SA201108001700", "SA001908001700", "SA001124001700",
                                                       "SA00110800170", "SR000", "SR201", "SRabc"}
                                     << QStringList{} << QByteArrayList{"E", "E", "E", "E", "E", "E", "E"};
    QTest::newRow("faults at record") << QByteArrayList{"AN0001", "z", "AN0002", "AN0003", "AN0004"}
                                      << QStringList{QStringLiteral("--wrong-at-record"), QStringLiteral("2"),
                                                     QStringLiteral("--silent-at-record"), QStringLiteral("3")}
                                      << QByteArrayList{"A", "199990000110000000006000000000", "E", "-", "A"};
    QTest::newRow("test record and others") << QByteArrayList{"A000000000000000001011", "X001", "V"} << QStringList{}
                                            << QByteArrayList{"A", "<other>", "<other>"};
    QTest::newRow("set clock checks") << QByteArrayList{"+2402300000001", "+240315140509", "+2403151405098",
                                                        "+2403151405095"}
                                      << QStringList{} << QByteArrayList{"E", "E", "E", "O"};
}

void TstSimData::exchanges()
{
    QFETCH(QByteArrayList, lines);
    QFETCH(QStringList, options);
    QFETCH(QByteArrayList, replies);
    QCOMPARE(talk(lines, options), replies);
}

void TstSimData::clock()
{
    // A clock set a day back reads a day back, with its own weekday.
    const QDateTime target = QDateTime::currentDateTime().addDays(-1);
    const QByteArray set = "+" + target.toString(QStringLiteral("yyMMddHHmmss")).toLatin1()
        + QByteArray::number(target.date().dayOfWeek());
    const QByteArrayList replies = talk({set, "t"});
    QCOMPARE(replies.value(0), QByteArray("O"));
    const QByteArray got = replies.value(1);
    QCOMPARE(got.size(), 13);
    const QDateTime read = QDateTime::fromString(QStringLiteral("20") + QString::fromLatin1(got.left(12)),
                                                 QStringLiteral("yyyyMMddHHmmss"));
    QVERIFY(qAbs(read.secsTo(target)) <= 2);
    QCOMPARE(got.right(1).toInt(), read.date().dayOfWeek());
}

QTEST_GUILESS_MAIN(TstSimData)
#include "tst_sim_data.moc"
