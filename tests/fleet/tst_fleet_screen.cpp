// The fleet screen against real runners and simulated controllers: the rows
// an inventory gives, a run to its end, one click to retry a failed row, and
// the report that merges both runs.
#include "fleet/screens/fleetscreen.h"
#include "tests/common/recorders.h"
#include "tests/common/simprocess.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QPushButton>
#include <QTableWidget>
#include <QTcpServer>
#include <QTemporaryDir>
#include <QtTest>

namespace {
constexpr int kRunTimeoutMs = 60000;

QString cell(const QTableWidget &table, int row, int column) { return table.item(row, column)->text(); }
} // namespace

class TestFleetScreen : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void versionRunAndRetry();
};

void TestFleetScreen::versionRunAndRetry()
{
    // The second controller drops its first command, so only a retry reaches it.
    testing::SimProcess sim;
    QVERIFY(sim.start({QStringLiteral("--controllers"), QStringLiteral("2"), QStringLiteral("--tcp"),
                       QStringLiteral("0"), QStringLiteral("--drop-at-command"), QStringLiteral("1"),
                       QStringLiteral("--fault-on"), QStringLiteral("2")}));
    QCOMPARE(sim.tcpPorts().size(), 2);
    QTcpServer closed; // a port nothing listens on once it closes
    QVERIFY(closed.listen(QHostAddress::LocalHost));
    const quint16 unreachable = closed.serverPort();
    closed.close();
    QTemporaryDir dir;
    const QString inventory = dir.filePath(QStringLiteral("site.csv"));
    QFile file(inventory);
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write(QStringLiteral("name,link\ngood,tcp:127.0.0.1:%1\ndropper,tcp:127.0.0.1:%2\nabsent,tcp:127.0.0.1:%3\n")
                   .arg(sim.tcpPorts().at(0))
                   .arg(sim.tcpPorts().at(1))
                   .arg(unreachable)
                   .toUtf8());
    file.close();

    testing::Recorder recorder;
    fleet::FleetScreen screen(recorder, recorder);
    recorder.nextPath = inventory;
    screen.openInventory();
    QTableWidget &table = screen.table();
    QCOMPARE(table.rowCount(), 3);
    QCOMPARE(cell(table, 1, fleet::FleetScreen::Link), QStringLiteral("tcp:127.0.0.1:%1").arg(sim.tcpPorts().at(1)));

    screen.setOperation(fleet::Operation::Version);
    QTest::mouseClick(screen.findChild<QPushButton *>(QStringLiteral("start")), Qt::LeftButton);
    QVERIFY(screen.running());
    QTRY_VERIFY_WITH_TIMEOUT(!screen.running(), kRunTimeoutMs);
    const auto states = [&table] {
        QStringList rows;
        for (int r = 0; r < table.rowCount(); ++r)
            rows << cell(table, r, fleet::FleetScreen::State) + QLatin1Char(' ')
                    + cell(table, r, fleet::FleetScreen::Attempts);
        return rows.join(QLatin1Char(';'));
    };
    QCOMPARE(states(), QStringLiteral("ok 1;failed 1;failed 1"));
    QCOMPARE(cell(table, 0, fleet::FleetScreen::Status), QStringLiteral("5200 Series Controller V 02.14"));
    auto *retry = qobject_cast<QPushButton *>(table.cellWidget(1, fleet::FleetScreen::Retry));
    QVERIFY(retry->isEnabled());
    QVERIFY(!table.cellWidget(0, fleet::FleetScreen::Retry)->isEnabled());

    QTest::mouseClick(retry, Qt::LeftButton);
    QTRY_VERIFY_WITH_TIMEOUT(!screen.running(), kRunTimeoutMs);
    QCOMPARE(states(), QStringLiteral("ok 1;ok 2;failed 1"));
    QVERIFY(recorder.messages.isEmpty());

    const QString reportPath = dir.filePath(QStringLiteral("report.json"));
    recorder.nextPath = reportPath;
    screen.saveReport();
    QFile saved(reportPath);
    QVERIFY(saved.open(QIODevice::ReadOnly));
    const QJsonObject report = QJsonDocument::fromJson(saved.readAll()).object();
    QCOMPARE(report.value(QLatin1String("exit")).toInt(), 1);
    QStringList rows;
    for (const auto &v : report.value(QLatin1String("controllers")).toArray()) {
        const QJsonObject c = v.toObject();
        rows << QStringLiteral("%1 %2 %3 %4")
                    .arg(c.value(QLatin1String("name")).toString(), c.value(QLatin1String("state")).toString())
                    .arg(c.value(QLatin1String("attempts")).toInt())
                    .arg(c.value(QLatin1String("results")).toObject().value(QLatin1String("version")).toString());
    }
    QCOMPARE(rows.join(QLatin1Char(';')),
             QStringLiteral("good ok 1 5200 Series Controller V 02.14;dropper ok 2 5200 Series Controller V 02.14;"
                            "absent failed 1 "));
}

QTEST_MAIN(TestFleetScreen)
#include "tst_fleet_screen.moc"
