#include "terminal/screens/terminalview.h"
#include "terminal/screens/termmode.h"
#include "tests/common/files.h"
#include "tests/common/rows.h"
#include "tests/common/screenrig.h"

#include <QApplication>
#include <QKeyEvent>
#include <QLabel>
#include <QTemporaryDir>
#include <QTest>

using namespace terminal;
using wire::Ms;

namespace {

// Plays a key script on a widget as the window system would deliver it:
// "alt" presses Alt ("alt*" is its auto-repeat), "/alt" lets go; "kp6",
// "kpIns", "kpRight", "kpClear" tap a keypad key; "F9", "F10", "Enter", "Bs",
// "Tab", "~", "euro" and single letters are typed. Keys carry Alt while held.
void play(QWidget *w, const QString &script)
{
    static const QHash<QString, std::pair<int, QString>> typed{{"F9", {Qt::Key_F9, {}}},
                                                               {"F10", {Qt::Key_F10, {}}},
                                                               {"Enter", {Qt::Key_Return, "\r"}},
                                                               {"Bs", {Qt::Key_Backspace, "\b"}},
                                                               {"Tab", {Qt::Key_Tab, "\t"}},
                                                               {"~", {Qt::Key_AsciiTilde, "~"}},
                                                               {"euro", {Qt::Key_unknown, QStringLiteral("\u20ac")}}};
    static const QHash<QString, int> pad{{"Ins", Qt::Key_Insert}, {"Right", Qt::Key_Right}, {"Clear", Qt::Key_Clear}};
    Qt::KeyboardModifiers alt;
    auto send = [&](QEvent::Type type, int key, Qt::KeyboardModifiers m, const QString &text = {}, bool rep = false) {
        QKeyEvent ev(type, key, m, text, rep);
        QApplication::sendEvent(w, &ev);
    };
    for (const QString &t : script.split(QLatin1Char(' '), Qt::SkipEmptyParts)) {
        if (t.startsWith(QLatin1String("alt")) || t == QLatin1String("/alt")) {
            alt = t.startsWith(QLatin1Char('/')) ? Qt::NoModifier : Qt::AltModifier;
            send(alt ? QEvent::KeyPress : QEvent::KeyRelease, Qt::Key_Alt, alt, {}, t.endsWith(QLatin1Char('*')));
            continue;
        }
        int key = Qt::Key_A + (t.at(0).toUpper().unicode() - 'A');
        QString text = t;
        Qt::KeyboardModifiers m = alt;
        if (t.startsWith(QLatin1String("kp"))) {
            key = pad.value(t.mid(2), Qt::Key_0 + t.mid(2).toInt());
            text.clear();
            m |= Qt::KeypadModifier;
        } else if (typed.contains(t)) {
            std::tie(key, text) = typed.value(t);
        }
        send(QEvent::KeyPress, key, m, text);
        send(QEvent::KeyRelease, key, m);
    }
}

// The terminal screen on a fake link.
struct Screen {
    testing::ScreenRig rig;
    TermMode screen{rig.services};
    TerminalView *view() const { return screen.display(); }
    QString status() const { return screen.findChild<QLabel *>(QStringLiteral("Label2(0)"))->text(); }
};

} // namespace

class TstTermMode : public QObject {
    Q_OBJECT
private Q_SLOTS:
    // The hint keeps its double blank; every glyph fits its cell.
    void layoutAndTexts()
    {
        Screen s;
        const TerminalView *v = s.view();
        QCOMPARE(s.screen.findChild<QLabel *>(QStringLiteral("Label2(1)"))->text(),
                 "Hit F10  to send a NULL character");
        // Every character drawn as itself is drawn whole inside its cell, on
        // every row (descenders and commas included).
        const QFontMetricsF metrics(v->font(), v);
        for (int code = 33; code < 126; ++code)
            for (int row = 1; row <= terminal::kRows; ++row) {
                const QRectF ink = metrics.tightBoundingRect(QString(QChar(code))).translated(v->textOrigin(5, row));
                QVERIFY2(v->cellRectF(5, row).contains(ink),
                         qPrintable(QStringLiteral("%1 on row %2").arg(QChar(code)).arg(row)));
            }
    }

    // Keys typed on the screen: the bytes written to the link and the first row.
    void keys_data()
    {
        QTest::addColumn<QString>("link"); // serial, tcp-entered, tcp-not-entered, serial-closed
        QTest::addColumn<QString>("script");
        QTest::addColumn<QByteArray>("written");
        QTest::addColumn<QString>("row1");
        const QString zeros = QStringLiteral("alt ") + QStringLiteral("kp0 ").repeated(70); // keypad 0 repeating
        const struct {
            const char *name, *link;
            QString script;
            QByteArray written;
            const char *row1;
        } rows[] = {
            {"A", "serial", "A", "A", "A"},
            {"Enter", "serial", "Enter", "\r", "[0D]"},
            {"Backspace", "serial", "Bs", "\b", "[08]"},
            {"tilde", "serial", "~", "~", "[7E]"},
            {"Tab is sent, not a focus move", "serial", "Tab", "\t", "[09]"},
            {"F10", "serial", "F10", QByteArray(1, '\0'), "[00]"},
            {"F9", "serial", "F9", "\x80", "[80]"},
            {"Alt 6 5, Num Lock on, system A swallowed", "serial", "alt kp6 kp5 /alt A", "A", "A"},
            {"Alt 0 6 5, Num Lock off", "serial", "alt kpIns kpRight kpClear /alt", "A", "A"},
            {"Alt 2 5 6 sends nothing, swallows nothing", "serial", "alt kp2 kp5 kp6 /alt x", "x", "x"},
            {"Alt alone sends NUL, next letter swallowed", "serial", "alt /alt q r", QByteArray("\0r", 2), "[00]r"},
            {"letters while Alt held are eaten", "serial", "alt a /alt", QByteArray(1, '\0'), "[00]"},
            {"F10 while Alt held is no digit", "serial", "alt F10 kp1 /alt", "\x01", "[01]"},
            {"Alt auto-repeat keeps the digits", "serial", "alt kp6 alt* kp5 /alt", "A", "A"},
            {"Alt pressed again restarts the digits", "serial", "alt kp3 alt kp7 /alt", "\x07", "[07]"},
            {"Alt, 70 repeated zeros, 6 5", "serial", zeros + "kp6 kp5 /alt", "A", "A"},
            {"Alt, 70 repeated zeros, 2 5 6", "serial", zeros + "kp2 kp5 kp6 /alt x", "x", "x"},
            {"TCP before entering over TCP: nothing", "tcp-not-entered", "A F10", "", ""},
            {"TCP after entering", "tcp-entered", "A", "A", "A"},
            {"closed serial port: drawn, not written", "serial-closed", "A F9", "", "A[80]"},
            {"character beyond Latin-1 ignored", "serial", "euro", "", ""},
        };
        for (const auto &r : rows)
            QTest::newRow(r.name) << r.link << r.script << r.written << r.row1;
    }

    void keys()
    {
        QFETCH(QString, link);
        QFETCH(QByteArray, written);
        Screen s;
        if (link.startsWith(QLatin1String("tcp"))) {
            QVERIFY(s.rig.connectTcp());
            s.rig.state.terminalTcp = link == QLatin1String("tcp-entered");
        } else {
            QVERIFY(s.rig.connectSerial());
            if (link == QLatin1String("serial-closed"))
                s.rig.serial.close();
        }
        play(s.view(), FETCHED(QString, script));
        QCOMPARE(s.rig.peer().written().toHex(' '), written.toHex(' '));
        const Grid &g = s.screen.session().grid();
        QCOMPARE(g.rowText(1).trimmed(), FETCHED(QString, row1));
        for (int c = 1; c <= kColumns; ++c)
            if (g.cell(c, 1).used)
                QCOMPARE(g.cell(c, 1).ink, Ink::Sent);
    }

    // A typed character drawn as sent, its echo and a carriage return as
    // received, both logged; hiding the screen ends the loop.
    void echoDrawnAndLoggedUntilClosed()
    {
        Screen s;
        QVERIFY(s.rig.connectSerial());
        s.rig.peer().onWrite = [&](const QByteArray &b) { s.rig.peer().deliver(b, Ms(5)); };
        s.rig.peer().deliver("\r", Ms(50));
        s.rig.waiter.after(Ms(10), [&] { play(s.view(), QStringLiteral("A")); });
        s.screen.show();
        s.rig.waiter.after(Ms(100), [&] { s.screen.hide(); });
        s.screen.enter(); // returns: the hide stopped the loop
        QCOMPARE(s.rig.waiter.now(), Ms(100));
        QVERIFY(!s.rig.link.busy());
        QCOMPARE(s.status(), QStringLiteral("Connected to comm port 2"));
        const Grid &g = s.screen.session().grid();
        QCOMPARE(g.rowText(1).trimmed(), QStringLiteral("AA[0D]"));
        QCOMPARE(g.cell(1, 1).ink, Ink::Sent);
        QCOMPARE(g.cell(2, 1).ink, Ink::Received);
        const LogSnapshot log = s.screen.session().log().snapshot(); // both directions logged
        QCOMPARE(log.chunks.size(), 2); // the echo and the carriage return come within one millisecond
        QCOMPARE(log.chunks.at(0).direction, Direction::Sent);
        QCOMPARE(log.chunks.at(1).direction, Direction::Received);
    }

    void saveLogThenClear()
    {
        QTemporaryDir dir;
        Screen s;
        QVERIFY(s.rig.connectSerial());
        s.screen.session().character('V');
        s.screen.session().grid().draw(QByteArray(50, 'k'), Ink::Received);
        const QString path = dir.filePath(QStringLiteral("session.log"));
        s.screen.show();
        QVERIFY(QTest::qWaitForWindowExposed(&s.screen));
        auto *logStatus = s.screen.findChild<QLabel *>(QStringLiteral("LogStatus"));
        // A save that fails says so and is offered again: Yes, then No.
        s.rig.ui.nextPath = dir.path();
        s.rig.ui.answers = {true, false};
        s.screen.saveLog();
        QTRY_COMPARE(s.rig.ui.questions.size(), 2);
        QCOMPARE(s.rig.ui.dialogs.size(), 2);
        QVERIFY2(logStatus->text().startsWith(QStringLiteral("Session log not saved: %1: ").arg(dir.path())),
                 qPrintable(logStatus->text()));
        s.rig.ui.nextPath = path;
        QTest::mouseClick(s.screen.findChild<QLabel *>(QStringLiteral("SaveLog")), Qt::LeftButton);
        QTRY_COMPARE(logStatus->text(), QStringLiteral("Session log saved to %1").arg(path));
        QVERIFY(testing::readFile(path).contains(" TX 56"));
        s.rig.ui.nextPath.reset(); // the dialog cancelled: nothing happens
        s.screen.saveLog();
        QCOMPARE(logStatus->text(), QStringLiteral("Session log saved to %1").arg(path));

        QTest::mouseClick(s.screen.findChild<QLabel *>(QStringLiteral("Label17")), Qt::LeftButton);
        const Grid &g = s.screen.session().grid();
        QVERIFY(!g.cell(1, 1).used);
        QVERIFY(!g.cell(11, 2).used);
        QCOMPARE(g.column(), 1);
        QCOMPARE(g.row(), 1);
        QCOMPARE(s.status(), QStringLiteral("STATUS"));
    }
};

QTEST_MAIN(TstTermMode)
#include "tst_termmode.moc"
