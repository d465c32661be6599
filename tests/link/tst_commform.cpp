// The communications screen offscreen: its controls drive the model exactly as clicks and keys would.
#include "config/settings.h"
#include "link/screens/commform.h"
#include "tests/common/fakerig.h"
#include "utilities/utilitiessettings.h"

#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QRadioButton>
#include <QtTest>

namespace {
struct ScreenRig : testing::FakeRig {
    config::Settings settings;
    utilities::UtilitiesSettings utilities;
    screens::Services services{state, link, waiter, comm, settings, utilities, ui, ui};
    wire::CommForm form{services};
    ScreenRig() { form.show(); }

    template <typename T>
    T *control(const char *name)
    {
        auto *w = form.findChild<T *>(QString::fromLatin1(name));
        if (!w)
            qFatal("no control %s", name);
        return w;
    }
};
} // namespace

class TestCommForm : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void defaultsShown();
    void portFieldTakesDigitsOnly_data();
    void portFieldTakesDigitsOnly();
    void pastedPortTextIsCopiedUnchanged();
    void optionsSetState_data();
    void optionsSetState();
    void connectAndDisconnectActions();
    void modeChangeKeepsOpenLink_data();
    void modeChangeKeepsOpenLink();
};

void TestCommForm::defaultsShown()
{
    ScreenRig rig;
    QVERIFY(rig.control<QRadioButton>("Option2")->isChecked());
    QVERIFY(!rig.control<QRadioButton>("Option1")->isChecked());
    QVERIFY(rig.control<QRadioButton>("Option8")->isChecked());
    QVERIFY(rig.control<QRadioButton>("Option11")->isChecked());
    QCOMPARE(rig.control<QLineEdit>("Text3")->text(), QStringLiteral("57"));
    QCOMPARE(rig.control<QRadioButton>("Option8")->text(), QStringLiteral("2"));
    QCOMPARE(rig.control<QRadioButton>("Option12")->text(), QStringLiteral("115200"));
}

void TestCommForm::portFieldTakesDigitsOnly_data()
{
    QTest::addColumn<QString>("typed");
    QTest::addColumn<QString>("text");
    QTest::newRow("5 a 7") << QStringLiteral("5a7") << QStringLiteral("57");
    QTest::newRow("symbols") << QStringLiteral("1-2.3 ") << QStringLiteral("123");
    QTest::newRow("letters only") << QStringLiteral("abc") << QString();
}

void TestCommForm::portFieldTakesDigitsOnly()
{
    QFETCH(QString, typed);
    QFETCH(QString, text);
    ScreenRig rig;
    auto *field = rig.control<QLineEdit>("Text3");
    field->clear();
    QTest::keyClicks(field, typed);
    QCOMPARE(field->text(), text);
    QCOMPARE(rig.comm.tcpPort, text);
    if (!text.isEmpty()) {
        QTest::keyClick(field, Qt::Key_Backspace);
        QCOMPARE(rig.comm.tcpPort, text.chopped(1));
    }
}

void TestCommForm::pastedPortTextIsCopiedUnchanged()
{
    ScreenRig rig;
    auto *field = rig.control<QLineEdit>("Text3");
    field->setText(QStringLiteral("5x"));
    QCOMPARE(rig.comm.tcpPort, QStringLiteral("5x"));
    // ... and the next connect fails silently.
    QVERIFY(!rig.connectTcp());
    QVERIFY(rig.ui.messages.isEmpty());
}

void TestCommForm::optionsSetState_data()
{
    QTest::addColumn<QString>("control");
    QTest::addColumn<int>("port");
    QTest::addColumn<int>("baud");
    QTest::newRow("port 4") << QStringLiteral("Option9") << 4 << 9600;
    QTest::newRow("port 1") << QStringLiteral("Option5") << 1 << 9600;
    QTest::newRow("port 5") << QStringLiteral("Option7") << 5 << 9600;
    QTest::newRow("19200") << QStringLiteral("Option10") << 2 << 19200;
    QTest::newRow("38400") << QStringLiteral("Option3") << 2 << 38400;
    QTest::newRow("57600") << QStringLiteral("Option4") << 2 << 57600;
}

void TestCommForm::optionsSetState()
{
    QFETCH(QString, control);
    QFETCH(int, port);
    QFETCH(int, baud);
    ScreenRig rig;
    rig.form.findChild<QRadioButton *>(control)->click();
    QCOMPARE(rig.comm.port, port);
    QCOMPARE(rig.comm.baud, baud);
    rig.control<QRadioButton>("Option1")->click();
    QCOMPARE(rig.comm.mode, wire::CommSettings::Mode::Tcp);
    rig.control<QRadioButton>("Option2")->click();
    QCOMPARE(rig.comm.mode, wire::CommSettings::Mode::Serial);
}

void TestCommForm::connectAndDisconnectActions()
{
    ScreenRig rig;
    auto *device = rig.control<QComboBox>("device");
    auto *why = rig.control<QLabel>("openFailure");
    // A device that does not open: the caption alone changes, and a line says why.
    device->setCurrentText(QStringLiteral("/dev/does-not-exist"));
    rig.serial.openSucceeds = false;
    QTest::mouseClick(rig.control<QWidget>("Label10"), Qt::LeftButton);
    QCOMPARE(rig.link.statusCaption(), QStringLiteral("Disconnected"));
    QCOMPARE(why->text(),
             QStringLiteral("cannot open /dev/does-not-exist: no such device (is the adapter plugged in?)"));
    QVERIFY(rig.ui.messages.isEmpty());
    rig.serial.openSucceeds = true;
    device->setCurrentText(QStringLiteral("/dev/pts/77"));
    QTest::mouseClick(rig.control<QWidget>("Label10"), Qt::LeftButton);
    QCOMPARE(rig.link.statusCaption(), QStringLiteral("Connected"));
    QVERIFY(why->text().isEmpty());
    QCOMPARE(rig.serial.openedDevice, QStringLiteral("/dev/pts/77"));
    // Refused while another operation holds the link.
    {
        wire::LinkClaim other(rig.link);
        QTest::mouseClick(rig.control<QWidget>("Label7"), Qt::LeftButton);
        QCOMPARE(rig.link.statusCaption(), QStringLiteral("Connected"));
    }
    QTest::mouseClick(rig.control<QWidget>("Label7"), Qt::LeftButton);
    QCOMPARE(rig.link.statusCaption(), QStringLiteral("Disconnected"));
    QTest::mouseClick(rig.control<QWidget>("Label7"), Qt::LeftButton);
    QCOMPARE(rig.ui.messages, QStringList{QStringLiteral("Already disconnected")});
}

void TestCommForm::modeChangeKeepsOpenLink_data()
{
    QTest::addColumn<bool>("running");
    QTest::newRow("idle") << false;
    QTest::newRow("during an operation") << true;
}

// Choosing TCP/IP while the serial port is open leaves it open and
// "Connected". Idle, the next command goes to the TCP client; an operation
// already running keeps the serial port to its end. "Disconnect" then frees
// the serial port either way.
void TestCommForm::modeChangeKeepsOpenLink()
{
    QFETCH(bool, running);
    ScreenRig rig;
    QVERIFY(rig.connectSerial());
    std::optional<wire::LinkClaim> operation;
    if (running)
        operation.emplace(rig.link);
    rig.control<QRadioButton>("Option1")->click();
    QCOMPARE(rig.link.statusCaption(), QStringLiteral("Connected"));
    QVERIFY(rig.serial.isOpen());
    QCOMPARE(rig.link.SendCommand("V"), running);
    QCOMPARE(rig.serial.stream.writes, running ? QByteArrayList{"V\r"} : QByteArrayList{});
    operation.reset();
    QTest::mouseClick(rig.control<QWidget>("Label7"), Qt::LeftButton);
    QCOMPARE(rig.link.statusCaption(), QStringLiteral("Disconnected"));
    QVERIFY(!rig.serial.isOpen());
}

QTEST_MAIN(TestCommForm)
#include "tst_commform.moc"
