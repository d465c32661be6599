#include "config/settings.h"
#include "core/services.h"
#include "core/widgets/twips.h"
#include "terminal/screens/terminalview.h"
#include "terminal/screens/termmode.h"
#include "tests/common/fakerig.h"
#include "utilities/utilitiessettings.h"

#include <QApplication>
#include <QKeyEvent>
#include <QLabel>
#include <QTemporaryDir>
#include <QtTest>

using namespace terminal;
using wire::Ms;

namespace {

// One key event as the window system would deliver it.
struct Key {
    bool press;
    int key;
    Qt::KeyboardModifiers mods;
    QString text;
};
Key down(int key, Qt::KeyboardModifiers m = Qt::NoModifier, const QString &t = {}) { return {true, key, m, t}; }
Key up(int key, Qt::KeyboardModifiers m = Qt::NoModifier) { return {false, key, m, {}}; }
QList<Key> type(int key, const QString &text) { return {down(key, Qt::NoModifier, text), up(key)}; }
QList<Key> keypad(int key)
{
    const auto m = Qt::KeypadModifier | Qt::AltModifier;
    return {down(key, m), up(key, m)};
}

void send(QWidget *w, const Key &k)
{
    QKeyEvent ev(k.press ? QEvent::KeyPress : QEvent::KeyRelease, k.key, k.mods, k.text);
    QApplication::sendEvent(w, &ev);
}

// The terminal screen on a fake link.
struct Screen {
    testing::FakeRig rig;
    config::Settings settings;
    utilities::UtilitiesSettings utilities;
    core::Services services{rig.state, rig.link, rig.waiter, rig.comm, settings, utilities, rig.ui, rig.ui};
    TermMode screen{services};
    TerminalView *view() { return screen.display(); }
    QString status() const { return screen.findChild<QLabel *>(QStringLiteral("Label2(0)"))->text(); }
};

} // namespace

Q_DECLARE_METATYPE(QList<Key>)

class TstTermMode : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void layoutAndTexts();
    void keys_data();
    void keys();
    void echoedCharacterFollowsInRed();
    void paintsRedAndBlack();
    void clearScreen();
    void saveLogFromScreen();
    void closingScreenEndsLoop();
};

void TstTermMode::layoutAndTexts()
{
    Screen s;
    QCOMPARE(s.status(), QStringLiteral("STATUS"));
    QCOMPARE(s.screen.findChild<QLabel *>(QStringLiteral("Label2(1)"))->text(),
             QStringLiteral("Hit F10  to send a NULL character"));
    QCOMPARE(s.screen.findChild<QLabel *>(QStringLiteral("Label17"))->text(), QStringLiteral("Clear Screen"));
    QCOMPARE(s.view()->objectName(), QStringLiteral("pop1"));
    QCOMPARE(s.view()->width(), core::twipsToPixelsX(s.view(), 39 * 250));
    QCOMPARE(s.view()->height(), core::twipsToPixelsY(s.view(), 22 * 275));
    QCOMPARE(s.view()->cellRect(2, 3).topLeft(),
             QPoint(core::twipsToPixelsX(s.view(), 250), core::twipsToPixelsY(s.view(), 550)));
}

void TstTermMode::keys_data()
{
    QTest::addColumn<QString>("link");  // serial, tcp-entered, tcp-not-entered, serial-closed
    QTest::addColumn<QList<Key>>("events");
    QTest::addColumn<QByteArray>("written");
    QTest::addColumn<QString>("row1");

    const auto alt = down(Qt::Key_Alt, Qt::AltModifier);
    const auto altUp = up(Qt::Key_Alt);
    QTest::newRow("A") << "serial" << type(Qt::Key_A, "A") << QByteArray("A") << "A";
    QTest::newRow("Enter") << "serial" << type(Qt::Key_Return, "\r") << QByteArray("\r") << "[0D]";
    QTest::newRow("Backspace") << "serial" << type(Qt::Key_Backspace, "\b") << QByteArray("\b") << "[08]";
    QTest::newRow("tilde") << "serial" << type(Qt::Key_AsciiTilde, "~") << QByteArray("~") << "[7E]";
    QTest::newRow("Tab is sent, not a focus move") << "serial" << type(Qt::Key_Tab, "\t") << QByteArray("\t")
                                                   << "[09]";
    QTest::newRow("F10") << "serial" << type(Qt::Key_F10, {}) << QByteArray(1, '\0') << "[00]";
    QTest::newRow("F9") << "serial" << type(Qt::Key_F9, {}) << QByteArray("\x80") << "[80]";
    QTest::newRow("Alt 6 5, Num Lock on")
        << "serial" << (QList<Key>{alt} + keypad(Qt::Key_6) + keypad(Qt::Key_5) + QList<Key>{altUp}
                        + type(Qt::Key_A, "A"))
        << QByteArray("A") << "A";
    QTest::newRow("Alt 6 5, Num Lock off")
        << "serial" << (QList<Key>{alt} + keypad(Qt::Key_Right) + keypad(Qt::Key_Clear) + QList<Key>{altUp})
        << QByteArray("A") << "A";
    QTest::newRow("Alt 0 0 6 5 leading zeros")
        << "serial" << (QList<Key>{alt} + keypad(Qt::Key_Insert) + keypad(Qt::Key_0) + keypad(Qt::Key_6)
                        + keypad(Qt::Key_5) + QList<Key>{altUp})
        << QByteArray("A") << "A";
    QTest::newRow("Alt 2 5 6 sends nothing")
        << "serial" << (QList<Key>{alt} + keypad(Qt::Key_2) + keypad(Qt::Key_5) + keypad(Qt::Key_6)
                        + QList<Key>{altUp} + type(Qt::Key_X, "x"))
        << QByteArray("x") << "x";
    QTest::newRow("Alt alone sends NUL, next letter swallowed")
        << "serial" << (QList<Key>{alt, altUp} + type(Qt::Key_Q, "q") + type(Qt::Key_R, "r"))
        << QByteArray("\0r", 2) << "[00]r";
    QTest::newRow("Alt auto-repeat keeps the digits")
        << "serial"
        << (QList<Key>{alt} + keypad(Qt::Key_6) + QList<Key>{down(Qt::Key_Alt, Qt::AltModifier)} + keypad(Qt::Key_5)
            + QList<Key>{altUp})
        << QByteArray("A") << "A";
    QTest::newRow("TCP before entering over TCP: nothing")
        << "tcp-not-entered" << (type(Qt::Key_A, "A") + type(Qt::Key_F10, {})) << QByteArray() << "";
    QTest::newRow("TCP after entering") << "tcp-entered" << type(Qt::Key_A, "A") << QByteArray("A") << "A";
    QTest::newRow("closed serial port: drawn, not written")
        << "serial-closed" << (type(Qt::Key_A, "A") + type(Qt::Key_F9, {})) << QByteArray() << "A[80]";
    QTest::newRow("character beyond Latin-1 ignored") << "serial" << type(Qt::Key_unknown, QStringLiteral("\u20ac"))
                                                      << QByteArray() << "";
}

void TstTermMode::keys()
{
    QFETCH(QString, link);
    QFETCH(QList<Key>, events);
    QFETCH(QByteArray, written);
    QFETCH(QString, row1);
    Screen s;
    if (link.startsWith(QLatin1String("tcp"))) {
        QVERIFY(s.rig.connectTcp());
        s.rig.state.terminalTcp = link == QLatin1String("tcp-entered");
    } else {
        QVERIFY(s.rig.connectSerial());
        if (link == QLatin1String("serial-closed"))
            s.rig.serial.close();
    }
    for (const Key &k : events) {
        // A held Alt repeats its key-down as the window system does.
        if (k.press && k.key == Qt::Key_Alt && &k != &events.constFirst()) {
            QKeyEvent ev(QEvent::KeyPress, k.key, k.mods, k.text, true);
            QApplication::sendEvent(s.view(), &ev);
            continue;
        }
        send(s.view(), k);
    }
    QCOMPARE(s.rig.peer().written().toHex(' '), written.toHex(' '));
    QCOMPARE(s.screen.session().grid().rowText(1).trimmed(), row1);
    for (int c = 1; c <= kColumns; ++c)
        if (s.screen.session().grid().cell(c, 1).used)
            QCOMPARE(s.screen.session().grid().cell(c, 1).ink, Ink::Sent);
}

void TstTermMode::echoedCharacterFollowsInRed()
{
    Screen s;
    QVERIFY(s.rig.connectSerial());
    s.rig.peer().onWrite = [&](const QByteArray &b) { s.rig.peer().deliver(b, Ms(5)); };
    s.rig.waiter.after(Ms(10), [&] {
        for (const Key &k : type(Qt::Key_A, "A"))
            send(s.view(), k);
    });
    s.rig.waiter.after(Ms(100), [&] { s.rig.state.terminalStop = true; });
    s.screen.enter();
    const Grid &g = s.screen.session().grid();
    QCOMPARE(g.rowText(1).trimmed(), QStringLiteral("AA"));
    QCOMPARE(g.cell(1, 1).ink, Ink::Sent);
    QCOMPARE(g.cell(2, 1).ink, Ink::Received);
    QCOMPARE(s.status(), QStringLiteral("Connected to comm port 2"));
    // Both directions are in the session log.
    const LogSnapshot log = s.screen.session().log().snapshot();
    QCOMPARE(log.chunks.size(), 2);
    QCOMPARE(log.chunks.at(0).direction, Direction::Sent);
    QCOMPARE(log.chunks.at(1).direction, Direction::Received);
}

void TstTermMode::paintsRedAndBlack()
{
    Screen s;
    Grid &g = s.screen.session().grid();
    g.draw('W', Ink::Received);
    g.draw('W', Ink::Sent);
    g.draw(0x0d, Ink::Received);
    const QImage img = s.view()->grab().toImage();
    auto count = [&](const QRect &cell, auto pred) {
        int n = 0;
        for (int y = cell.top(); y <= cell.bottom(); ++y)
            for (int x = cell.left(); x <= cell.right(); ++x)
                if (pred(img.pixelColor(x, y)))
                    ++n;
        return n;
    };
    auto red = [](const QColor &c) { return c.red() > 200 && c.green() < 90 && c.blue() < 90; };
    auto black = [](const QColor &c) { return c.red() < 90 && c.green() < 90 && c.blue() < 90; };
    QVERIFY(count(s.view()->cellRect(1, 1), red) > 5);
    QCOMPARE(count(s.view()->cellRect(1, 1), black), 0);
    QVERIFY(count(s.view()->cellRect(2, 1), black) > 5);
    QCOMPARE(count(s.view()->cellRect(2, 1), red), 0);
    // The hexadecimal cell's digits step down and right: ink in the top-left
    // and bottom-right quarters.
    const QRect hex = s.view()->cellRect(3, 1);
    QVERIFY(count(QRect(hex.topLeft(), hex.size() / 2), red) > 0);
    QVERIFY(count(QRect(hex.center(), hex.bottomRight()), red) > 0);
    QVERIFY(count(s.view()->cellRect(4, 1), red) == 0);
}

void TstTermMode::clearScreen()
{
    Screen s;
    s.screen.session().grid().draw(QByteArray(50, 'k'), Ink::Received);
    s.screen.show();
    QVERIFY(QTest::qWaitForWindowExposed(&s.screen));
    QTest::mouseClick(s.screen.findChild<QLabel *>(QStringLiteral("Label17")), Qt::LeftButton);
    const Grid &g = s.screen.session().grid();
    QVERIFY(!g.cell(1, 1).used);
    QVERIFY(!g.cell(11, 2).used);
    QCOMPARE(g.column(), 1);
    QCOMPARE(g.row(), 1);
    QCOMPARE(s.status(), QStringLiteral("STATUS"));
}

void TstTermMode::saveLogFromScreen()
{
    QTemporaryDir dir;
    Screen s;
    QVERIFY(s.rig.connectSerial());
    s.screen.session().character('V');
    s.rig.ui.nextPath = dir.filePath(QStringLiteral("session.log"));
    s.screen.show();
    QVERIFY(QTest::qWaitForWindowExposed(&s.screen));
    QTest::mouseClick(s.screen.findChild<QLabel *>(QStringLiteral("SaveLog")), Qt::LeftButton);
    auto *logStatus = s.screen.findChild<QLabel *>(QStringLiteral("LogStatus"));
    QTRY_COMPARE(logStatus->text(), QStringLiteral("Session log saved to %1").arg(*s.rig.ui.nextPath));
    QFile f(*s.rig.ui.nextPath);
    QVERIFY(f.open(QIODevice::ReadOnly));
    QVERIFY(f.readAll().contains(" TX 56"));
    // Cancelled dialog: nothing happens.
    s.rig.ui.nextPath.reset();
    s.screen.saveLog();
    QCOMPARE(logStatus->text(), QStringLiteral("Session log saved to %1").arg(dir.filePath("session.log")));
}

void TstTermMode::closingScreenEndsLoop()
{
    Screen s;
    QVERIFY(s.rig.connectSerial());
    s.screen.show();
    s.rig.waiter.after(Ms(30), [&] { s.screen.hide(); });
    s.screen.enter();  // returns: the hide stopped the loop
    QVERIFY(s.rig.state.terminalStop);
    QVERIFY(!s.rig.state.linkBusy);
    QCOMPARE(s.rig.waiter.now(), Ms(30));
}

QTEST_MAIN(TstTermMode)
#include "tst_termmode.moc"
