// The inventory reader and the per-controller command line of a fleet.
#include "cli/fleet/commandline.h"
#include "cli/fleet/fleetoptions.h"
#include "fleet/inventory.h"

#include <QTest>

#include <algorithm>

using fleet::Controller;

namespace {
struct Row {
    const char *name, *text, *expected;
};
struct Row3 {
    const char *name, *a, *b, *c;
};
} // namespace

class TestFleetInventory : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void parse_data();
    void parse();
    void sharedLinks_data();
    void sharedLinks();
    void commandLine_data();
    void commandLine();
    void options_data();
    void options();
};

void TestFleetInventory::parse_data()
{
    QTest::addColumn<QString>("text");
    // Each controller as "NAME LINK-ARGUMENTS [image=…] [profile=…]", ';'
    // between them; or "line N" for the line the error names.
    QTest::addColumn<QString>("expected");
    const Row rows[] = {
        {"tcp, default port", "name,link\nA,tcp:h\n", "A --tcp h:57"},
        {"comments, blanks, CRLF, quotes, baud",
         "# site 4\r\nname,link,baud\r\n\r\n  # east wing\nA,tcp:10.0.0.5:5757,\nB,serial:/dev/ttyUSB0,19200\n"
         "\"C.1\",\"serial:/dev/x,\"\"y\"\"\",\n",
         "A --tcp 10.0.0.5:5757;B --serial /dev/ttyUSB0 --baud 19200;C.1 --serial /dev/x,\"y\" --baud 9600"},
        {"columns in any order, files against the folder",
         "image,link,name,profile\nfw/a.bin,tcp:h:58,A,/abs/p.tfp\n,tcp:h,B,../p.tfp\n",
         "A --tcp h:58 image=/site/fw/a.bin profile=/abs/p.tfp;B --tcp h:57 profile=/p.tfp"},
        {"IPv6: in brackets with or without a port, bare without one",
         "name,link\nA,tcp:[::1]\nB,tcp:[fe80::1%eth0]:5757\nC,tcp:::1\nD,tcp:Host.Example:0058\n",
         "A --tcp [::1]:57;B --tcp [fe80::1%eth0]:5757;C --tcp [::1]:57;D --tcp Host.Example:58"},
        {"device servers, with and without baud", "name,link,baud\nA,rfc2217:ds1:2001,19200\nB,rfc2217:[::1]:2002,\n",
         "A --rfc2217 ds1:2001 --baud 19200;B --rfc2217 [::1]:2002 --baud 9600"},
        {"device server without a port", "name,link\nA,rfc2217:ds1\n", "line 2"},
        {"empty", "", "line 1"},
        {"no controllers", "name,link\n", "line 2"},
        {"header lacks link", "name\nA\n", "line 1"},
        {"unknown column", "name,link,port\nA,tcp:h,5\n", "line 1"},
        {"column twice", "name,link,name\n", "line 1"},
        {"name missing", "name,link\nA,tcp:h\n,tcp:h\n", "line 3"},
        {"link missing", "name,link\n\nA\n", "line 3"},
        {"unknown link kind", "name,link\nA,udp:h\n", "line 2"},
        {"serial without device", "name,link\nA,serial:\n", "line 2"},
        {"port zero", "name,link\nA,tcp:h:0\n", "line 2"},
        {"port not a number", "name,link\nA,tcp:h:x\n", "line 2"},
        {"no host before the port", "name,link\nA,tcp::57\n", "line 2"},
        {"bracket left open", "name,link\nA,tcp:[::1:57\n", "line 2"},
        {"text after the bracket", "name,link\nA,tcp:[::1]57\n", "line 2"},
        {"a name in brackets", "name,link\nA,tcp:[h]:57\n", "line 2"},
        {"colons but no IPv6 address", "name,link\nA,tcp:h:5:7\n", "line 2"},
        {"duplicate name", "name,link\nA,tcp:h\n#\nA,tcp:g\n", "line 4"},
        {"bad baud", "name,link,baud\nA,serial:/dev/x,300\n", "line 2"},
        {"baud on tcp", "name,link,baud\nA,tcp:h,9600\n", "line 2"},
        {"too many fields", "name,link\nA,tcp:h,x\n", "line 2"},
        {"quote left open", "name,link\n\"A,tcp:h\n", "line 2"},
        {"desired state, blank where not managed",
         "name,link,firmware,firmware_version,desired_profile,clock,clock_hours\n"
         "A,tcp:h,fw/a.bin, QL 5200 V 3.0 ,p.tfp,5,-2\nB,tcp:h:58,,,,,\nC,tcp:h,,,,2,\n",
         "A --tcp h:57 desired=/site/fw/a.bin|QL 5200 V 3.0|/site/p.tfp|5|-2;B --tcp h:58;C --tcp h:57 desired=||"
         "|2|0"},
        {"firmware without its version", "name,link,firmware\nA,tcp:h,fw.bin\n", "line 2"},
        {"a version without firmware", "name,link,firmware_version\nA,tcp:h,V 1\n", "line 2"},
        {"firmware on a serial line not at 9600",
         "name,link,baud,firmware,firmware_version\n"
         "A,serial:/dev/x,19200,fw.bin,V 1\n",
         "line 2"},
        {"clock below 2 s", "name,link,clock\nA,tcp:h,1\n", "line 2"},
        {"clock not a number", "name,link,clock\nA,tcp:h,5s\n", "line 2"},
        {"clock_hours past 24", "name,link,clock,clock_hours\nA,tcp:h,5,25\n", "line 2"},
        {"clock_hours without clock", "name,link,clock_hours\nA,tcp:h,2\n", "line 2"},
        {"access lists and schedules",
         "name,link,access,access_options,schedules\nA,tcp:h,ids.txt, schedule  sorted ,s.txt\nB,tcp:h,ids.txt,,\n"
         "C,tcp:h,,,/s.txt\n",
         "A --tcp h:57 desired=||||0 lists=/site/ids.txt|sorted schedule|/site/s.txt;B --tcp h:57 desired=||||0 "
         "lists=/site/ids.txt||;C --tcp h:57 desired=||||0 lists=||/s.txt"},
        {"an unknown access option", "name,link,access,access_options\nA,tcp:h,ids.txt,adhoc\n", "line 2"},
        {"access_options without access", "name,link,access,access_options\nA,tcp:h,,sorted\n", "line 2"},
    };
    for (const Row &r : rows)
        QTest::newRow(r.name) << QString::fromUtf8(r.text) << QString::fromUtf8(r.expected);
    for (const char *name : {"../x", "a/b", ".hidden", "-x", "a b", "a{name}"})
        QTest::addRow("unsafe name %s", name)
            << QStringLiteral("name,link\n\"%1\",tcp:h\n").arg(QLatin1String(name)) << "line 2";
}

void TestFleetInventory::parse()
{
    QFETCH(QString, text);
    QFETCH(QString, expected);
    const auto inventory = fleet::parseInventory(text, QStringLiteral("/site"));
    if (expected.startsWith(QLatin1String("line "))) {
        QVERIFY2(inventory.error.startsWith(QStringLiteral("inventory %1:").arg(expected)),
                 qPrintable(inventory.error));
        QVERIFY(inventory.controllers.empty());
        return;
    }
    QVERIFY2(inventory.error.isEmpty(), qPrintable(inventory.error));
    QStringList got;
    for (const Controller &c : inventory.controllers) {
        QStringList parts = QStringList{c.name} + c.linkArguments();
        if (!c.image.isEmpty())
            parts << QStringLiteral("image=") + c.image;
        if (!c.profile.isEmpty())
            parts << QStringLiteral("profile=") + c.profile;
        const fleet::DesiredState &d = c.desired;
        if (d.managed())
            parts << QStringLiteral("desired=%1|%2|%3|%4|%5")
                         .arg(d.firmware, d.firmwareVersion, d.profile,
                              d.clockTolerance ? QString::number(*d.clockTolerance) : QString())
                         .arg(d.clockHours);
        if (!d.access.isEmpty() || !d.schedules.isEmpty())
            parts << QStringLiteral("lists=%1|%2|%3")
                         .arg(d.access,
                              QStringList{d.accessSorted ? QStringLiteral("sorted") : QString(),
                                          d.accessSchedule ? QStringLiteral("schedule") : QString()}
                                  .join(QLatin1Char(' '))
                                  .trimmed(),
                              d.schedules);
        got << parts.join(QLatin1Char(' '));
    }
    QCOMPARE(got.join(QLatin1Char(';')), expected);
}

void TestFleetInventory::sharedLinks_data()
{
    QTest::addColumn<QString>("a");
    QTest::addColumn<QString>("b");
    QTest::addColumn<bool>("shared");
    QTest::newRow("a device server's port, raw and RFC 2217") << "rfc2217:127.0.0.1:2001"
                                                              << "tcp:localhost:2001" << true;
    QTest::newRow("two ports of one device server") << "rfc2217:127.0.0.1:2001"
                                                    << "rfc2217:127.0.0.1:2002" << false;
}

// Two rows that reach one line, whatever their spelling, never run at once.
void TestFleetInventory::sharedLinks()
{
    QFETCH(QString, a);
    QFETCH(QString, b);
    QFETCH(bool, shared);
    const QStringList keys = fleet::linkKeysOf(a);
    const QStringList others = fleet::linkKeysOf(b);
    QVERIFY(!keys.isEmpty() && !others.isEmpty());
    QCOMPARE(std::any_of(keys.begin(), keys.end(), [&](const QString &k) { return others.contains(k); }), shared);
}

void TestFleetInventory::commandLine_data()
{
    // After the fleet's own "+yes", if given; the row's image and profile
    // columns as "image|profile".
    QTest::addColumn<QString>("command");
    QTest::addColumn<QString>("columns");
    // The command as controller A runs it, or the start of the usage error.
    QTest::addColumn<QString>("expected");
    const Row3 rows[] = {
        {"{name} in a file", "access upload up/{name}.txt --sorted", "|", "access upload up/A.txt --sorted"},
        {"one file read by all", "access download list.txt", "/s/a.bin|", "access download list.txt"},
        {"image column", "bootext fw-{name}.bin", "/s/a.bin|", "bootext /s/a.bin"},
        {"image column, no image named", "flash", "/s/a.bin|", "flash /s/a.bin"},
        {"no image column", "flash fw-{name}.bin", "|", "flash fw-A.bin"},
        {"no image at all", "flash", "|", "A: flash takes IMAGE"},
        {"profile column", "program --profile site.tfp --record rec-{name}", "|/s/a.tfp",
         "program --profile /s/a.tfp --record rec-A"},
        {"profile column, --profile=", "program --profile=site.tfp", "|/s/a.tfp", "program --profile /s/a.tfp"},
        {"profile column, no --profile", "program --set general.beep=off", "|/s/a.tfp",
         "program --set general.beep=off --profile /s/a.tfp"},
        {"+yes answers the programming run's question", "+yes program --set=general.beep=off", "|",
         "program --yes --set general.beep=off"},
        {"+yes and the command's own --yes", "+yes program --yes", "|", "program --yes"},
        {"+yes against the command's --no", "+yes program --no", "|", "A: give --yes or --no"},
        {"+yes leaves other commands alone", "+yes version", "|", "version"},
        {"access upload to one file", "access upload up.txt", "|", "access writes up.txt"},
        {"schedules upload to one file", "schedules upload s.txt", "|", "schedules writes"},
        {"record to one folder", "program --record rec", "|", "program writes"},
        {"record to one folder, --record=", "program --record=shared", "|", "program writes shared"},
        {"a bad option", "access upload x{name} --bogus", "|", "access upload: unknown option --bogus"},
        {"no command", "", "|", "fleet needs"},
        {"unknown command", "frobnicate", "|", "unknown command"},
        {"terminal", "terminal", "|", "terminal does not run"},
        {"settings", "settings", "|", "settings does not run"},
    };
    for (const Row3 &r : rows)
        QTest::newRow(r.name) << QString::fromUtf8(r.a) << QString::fromUtf8(r.b) << QString::fromUtf8(r.c);
}

void TestFleetInventory::commandLine()
{
    QFETCH(QString, command);
    QFETCH(QString, columns);
    QFETCH(QString, expected);
    QStringList words = command.split(QLatin1Char(' '), Qt::SkipEmptyParts);
    const bool yes = words.removeAll(QStringLiteral("+yes")) > 0;
    Controller a;
    a.name = QStringLiteral("A");
    a.image = columns.section(QLatin1Char('|'), 0, 0);
    a.profile = columns.section(QLatin1Char('|'), 1, 1);
    const auto checked = cli::fleet::checkCommand(words);
    const auto result = std::holds_alternative<QString>(checked)
        ? std::variant<QStringList, QString>(std::get<QString>(checked))
        : cli::fleet::controllerCommand(std::get<cli::fleet::FleetCommand>(checked), a, yes);
    QCOMPARE(std::holds_alternative<QStringList>(result) ? std::get<QStringList>(result).join(QLatin1Char(' '))
                                                         : std::get<QString>(result).left(expected.size()),
             expected);
}

void TestFleetInventory::options_data()
{
    QTest::addColumn<QString>("options");
    QTest::addColumn<QString>("expected"); // the --only names, or the start of the usage error
    QTest::newRow("--only twice adds up") << "--only a,b --only=c"
                                          << "a,b,c";
    QTest::newRow("--only empty") << "--only="
                                  << "--only needs";
    QTest::newRow("--only a comma") << "--only ,"
                                    << "--only needs";
    QTest::newRow("--parallel=0") << "--parallel=0"
                                  << "--parallel takes";
    QTest::newRow("two inventories") << "other.csv"
                                     << "fleet takes one inventory";
}

void TestFleetInventory::options()
{
    QFETCH(QString, options);
    QFETCH(QString, expected);
    QString error;
    const auto parsed = cli::fleet::parseFleetOptions(
        QStringList{QStringLiteral("site.csv")} + options.split(QLatin1Char(' ')) + QStringList{"--", "version"},
        &error);
    QCOMPARE(parsed ? parsed->only.join(QLatin1Char(',')) : error.left(expected.size()), expected);
}

QTEST_GUILESS_MAIN(TestFleetInventory)
#include "tst_fleet_inventory.moc"
