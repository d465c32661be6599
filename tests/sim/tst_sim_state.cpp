// The simulator's state file as a technician or a test writes it, the
// identification a flash image gives a controller, and what an ID-size change
// clears.
#include "sim/boot_module.h"
#include "sim/controller.h"
#include "sim/module.h"
#include "sim/state.h"
#include "tests/common/rows.h"

#include <QTest>

class TstSimState : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void reader_data();
    void reader();
    void identification_data();
    void identification();
    void idSizeChange_data();
    void idSizeChange();
};

void TstSimState::reader_data()
{
    QTest::addColumn<QByteArray>("file");
    QTest::addColumn<QString>("error"); // part of the problem told; none for a good file
    const auto row = [](const char *name, const QByteArray &file, const char *error) {
        QTest::newRow(name) << file << QString::fromUtf8(error);
    };
    // Controller 2 of 3 unless the row says otherwise.
    const auto controller = [&](const char *name, const QByteArray &object, const char *error) {
        row(name, R"({"controllers": {"2": )" + object + "}}", error);
    };
    controller("every field",
               R"({"ad_hoc":["0001234","999777"],"clock_offset":-86400,"schedules":["001108001700","200823590000"],)"
               R"("sorted":["000é\u0000x"],"version":"QL 5200 V 9.9"})",
               "");
    controller("none", "{}", "");
    row("not JSON", "{", "not JSON: ");
    row("a list", "[]", R"(expected {"controllers": {"1": {...}, ...}})");
    row("a second key", R"({"controllers": {}, "x": 1})", "expected");
    row("index 0", R"({"controllers": {"0": {}}})", R"("0" is not a controller index from 1 to 3)");
    row("index 4", R"({"controllers": {"4": {}}})", R"("4" is not)");
    row("index 01", R"({"controllers": {"01": {}}})", R"("01" is not)");
    controller("not an object", "[]", "controller 2: must be an object");
    controller("unknown field", R"({"clock_ofset": 1})", R"(controller 2: unknown field "clock_ofset")");
    controller("version, CR", R"({"version": "V\r1"})", R"("version" must be text of one byte a character)");
    controller("version, euro", R"({"version": "\u20ac"})", R"("version" must be text)");
    controller("version, number", R"({"version": 1})", R"("version" must be text)");
    controller("clock, fraction", R"({"clock_offset": 1.5})", R"("clock_offset" must be a whole number)");
    controller("clock, text", R"({"clock_offset": "1"})", R"("clock_offset" must be)");
    controller("clock, too far", R"({"clock_offset": 1e12})", R"("clock_offset" must be)");
    controller("ad hoc, not a list", R"({"ad_hoc": "0001"})", R"("ad_hoc" must be a list of records)");
    controller("ad hoc, no ID", R"({"ad_hoc": ["0001", "000"]})", R"("ad_hoc" record 2 is not a schedule)");
    controller("sorted, an ID twice", R"({"sorted": ["0001", "9991"]})", R"("sorted" record 2 repeats ID 1)");
    controller("schedules, day 9", R"({"schedules": ["001908001700"]})", R"("schedules" entry 1 is not SSSDHHMMhhmm)");
    controller("schedules, minute 60", R"({"schedules": ["001108601700"]})", "entry 1 is not");
    controller("schedules, 201", R"({"schedules": ["201108001700"]})", "entry 1 is not");
    controller("schedules, a number", R"({"schedules": [1]})", "entry 1 is not");
    controller("schedules, a day twice", R"({"schedules": ["001108001700", "001100000000"]})",
               R"("schedules" entry 2 sets schedule 001 day 1 again)");
}

void TstSimState::reader()
{
    QFETCH(QByteArray, file);
    QFETCH(QString, error);
    sim::SiteState site;
    QString problem;
    QCOMPARE(sim::parseState(file, 3, &site, &problem), error.isEmpty());
    QVERIFY2(problem.contains(error), qPrintable(problem));
    // A complete controller is written back as it was read.
    if (error.isEmpty() && file.contains("version"))
        QVERIFY(file.contains(sim::stateJson(site.at(2))));
}

void TstSimState::identification_data()
{
    QTest::addColumn<QByteArray>("trailer"); // NUL-padded to 44 bytes
    QTest::addColumn<QByteArray>("current");
    QTest::addColumn<QByteArray>("identification");
    const QByteArray old = "5200 Series Controller V 02.14";
    QTest::newRow("text") << QByteArray("QL 5200 V 3.01") << old << QByteArray("QL 5200 V 3.01");
    QTest::newRow("blanks after") << QByteArray("QL 5200 V 3.01").leftJustified(44) << old
                                  << QByteArray("QL 5200 V 3.01");
    QTest::newRow("44 letters") << QByteArray(44, 'Q') << old << QByteArray(44, 'Q');
    QTest::newRow("empty") << QByteArray("\0QLQLQLQLQLQLQLQLQLQL", 21) << old
                           << QByteArray("5200 Series Controller V 3920aec4");
    QTest::newRow("a control character") << QByteArray("QL 5200\x01 V 1") << QByteArray("QL V 1 V 2")
                                         << QByteArray("QL V 1 V 79e3b50b");
    QTest::newRow("past ASCII, no V") << QByteArray("QL 5200 V 1\xe9") << QByteArray("QL")
                                      << QByteArray("QL V db1817f0");
}

void TstSimState::identification()
{
    const QByteArray image = "abcdef" + FETCHED(QByteArray, trailer).leftJustified(44, '\0');
    QCOMPARE(sim::BootModule::identification(image, FETCHED(QByteArray, current)), FETCHED(QByteArray, identification));
}

void TstSimState::idSizeChange_data()
{
    QTest::addColumn<QByteArray>("line");
    QTest::addColumn<bool>("cleared");
    QTest::newRow("the ID-size command") << QByteArray("\\20") << true;
    QTest::newRow("another stand-alone setting") << QByteArray("|1") << false;
}

// A new ID size lays the controller's memory out afresh: its lists and
// schedules are gone.
void TstSimState::idSizeChange()
{
    sim::SiteState site;
    QString error;
    QVERIFY(sim::parseState(
        R"({"controllers": {"1": {"ad_hoc": ["0011"], "sorted": ["0012"], "schedules": ["001108001700"]}}})", 1, &site,
        &error));
    QCommandLineParser parser;
    auto modules = sim::makeModules();
    for (auto &m : modules)
        m->addOptions(parser);
    QVERIFY(parser.parse({QStringLiteral("tarnic-sim")}));
    sim::Controller controller{{}};
    sim::Module::Placement placement;
    placement.state = &site.at(1);
    for (auto &m : modules) {
        QVERIFY(m->configure(parser, &error));
        m->place(placement);
        m->install(controller);
    }
    QByteArray replies;
    controller.send = [&replies](const QByteArray &bytes) { replies += bytes; };
    controller.feed(FETCHED(QByteArray, line) + '\r');
    QCOMPARE(replies, QByteArray("OK\r"));
    sim::ControllerState held;
    for (const auto &m : modules)
        m->snapshot(held);
    // Each list as the snapshot gives it: none would not count as cleared.
    const auto empty = [](const auto &list) { return list && list->empty(); };
    QCOMPARE(empty(held.adHoc), FETCHED(bool, cleared));
    QCOMPARE(empty(held.sorted), FETCHED(bool, cleared));
    QCOMPARE(empty(held.schedules), FETCHED(bool, cleared));
}

QTEST_GUILESS_MAIN(TstSimState)
#include "tst_sim_state.moc"
