#include "loopback/screens/loopback.h"
#include "tests/common/screenrig.h"

#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <QTest>

using wire::Ms;

namespace {
struct Screen {
    testing::ScreenRig rig;
    loopback::LoopbackScreen screen{rig.services};

    QPushButton *button(const char *name) { return screen.findChild<QPushButton *>(QLatin1String(name)); }
    QStringList list()
    {
        QStringList out;
        auto *l = screen.findChild<QListWidget *>(QStringLiteral("List1"));
        for (int i = 0; i < l->count(); ++i)
            out << l->item(i)->text();
        return out;
    }
    QString progress() { return screen.findChild<QLabel *>(QStringLiteral("Label1"))->text(); }

    // Echo everything after the start marker.
    void echo()
    {
        rig.peer().onWrite = [this](const QByteArray &b) {
            if (b.size() == 1 && started)
                rig.peer().deliver(b, Ms(1));
            if (b == "*")
                started = true;
        };
    }
    bool started = false;
};
} // namespace

class TstLoopbackScreen : public QObject {
    Q_OBJECT
private Q_SLOTS:
    // Stop, Clear List and a second Start clicked while the test runs (nested in
    // its waits), then Start while the link is busy; the heading keeps its double blank.
    void buttonsWorkDuringRun()
    {
        Screen s;
        QCOMPARE(s.screen.findChild<QLabel *>(QStringLiteral("Label2"))->text(), "5200 Series  Loopback Test");
        QVERIFY(s.rig.connectTcp());
        s.echo();
        s.screen.show();
        QVERIFY(QTest::qWaitForWindowExposed(&s.screen));
        bool secondStartEnabled = true;
        s.rig.waiter.setOnPass([&] {
            const qint64 n = s.screen.test().charactersSent();
            if (n == 50) {
                secondStartEnabled = s.button("Command1")->isEnabled();
                s.button("Command1")->click(); // ignored
                s.button("Command4")->click(); // Clear List
            }
            if (n == 300)
                s.button("Command3")->click(); // Stop
        });
        s.button("Command1")->click();
        QVERIFY(!secondStartEnabled);
        QCOMPARE(s.list(), QStringList{" 300: end of test"});
        QCOMPARE(s.progress(), QStringLiteral("Characters Sent:  300"));
        QVERIFY(s.button("Command1")->isEnabled());
        // A new start empties the list first.
        s.rig.waiter.setOnPass([&] {
            if (s.screen.test().charactersSent() == 3)
                s.screen.stop();
        });
        s.started = false;
        s.button("Command1")->click();
        QCOMPARE(s.list(), (QStringList{"Starting Loopback Test on tcp port", " 3: end of test"}));
        // Refused while another operation holds the link: nothing written, the list kept.
        const qsizetype writes = s.rig.peer().writes.size();
        wire::LinkClaim other(s.rig.link);
        s.button("Command1")->click();
        QCOMPARE(s.rig.peer().writes.size(), writes);
        QCOMPARE(s.rig.ui.messages, QStringList{"The link is in use by another operation"});
        QCOMPARE(s.list().size(), 2);
    }
};

QTEST_MAIN(TstLoopbackScreen)
#include "tst_loopback_screen.moc"
