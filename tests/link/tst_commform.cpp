// The communications screen offscreen: its controls drive the model exactly as clicks and keys would.
#include "link/screens/commform.h"
#include "tests/common/rows.h"
#include "tests/common/screenrig.h"

#include <QAbstractItemModel>
#include <QComboBox>
#include <QCompleter>
#include <QLabel>
#include <QLineEdit>
#include <QRadioButton>
#include <QSettings>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

namespace {
struct ScreenRig : testing::ScreenRig {
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
    QTemporaryDir m_settings; // the recent devices and addresses of this run only

private Q_SLOTS:
    void initTestCase() { QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, m_settings.path()); }

    void defaultsShown()
    {
        ScreenRig rig;
        QVERIFY(rig.control<QRadioButton>("Option2")->isChecked());
        QVERIFY(rig.control<QRadioButton>("Option8")->isChecked());
        QVERIFY(rig.control<QRadioButton>("Option11")->isChecked());
        QCOMPARE(rig.control<QLineEdit>("Text3")->text(), QStringLiteral("57"));
        QCOMPARE(rig.control<QRadioButton>("Option8")->text(), QStringLiteral("2"));
        QCOMPARE(rig.control<QRadioButton>("Option12")->text(), QStringLiteral("115200"));
    }

    // Typed, the port field takes digits only; pasted, the text is copied
    // unchanged (the connect then refuses it).
    void portField_data()
    {
        QTest::addColumn<QString>("typed");
        QTest::addColumn<bool>("pasted");
        QTest::addColumn<QString>("text");
        QTest::newRow("5 a 7") << QStringLiteral("5a7") << false << QStringLiteral("57");
        QTest::newRow("symbols") << QStringLiteral("1-2.3 ") << false << QStringLiteral("123");
        QTest::newRow("letters only") << QStringLiteral("abc") << false << QString();
        QTest::newRow("pasted") << QStringLiteral("5x") << true << QStringLiteral("5x");
    }

    void portField()
    {
        QFETCH(QString, typed);
        QFETCH(QString, text);
        ScreenRig rig;
        auto *field = rig.control<QLineEdit>("Text3");
        field->clear();
        if (FETCHED(bool, pasted))
            field->setText(typed);
        else
            QTest::keyClicks(field, typed);
        QCOMPARE(field->text(), text);
        QCOMPARE(rig.comm.tcpPort, text);
        if (!text.isEmpty()) {
            QTest::keyClick(field, Qt::Key_Backspace);
            QCOMPARE(rig.comm.tcpPort, text.chopped(1));
        }
    }

    void optionsSetState_data()
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

    void optionsSetState()
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
        rig.control<QRadioButton>("deviceServer")->click();
        QCOMPARE(rig.comm.mode, wire::CommSettings::Mode::Rfc2217);
        QVERIFY(!rig.control<QRadioButton>("Option1")->isChecked());
        rig.control<QRadioButton>("Option2")->click();
        QCOMPARE(rig.comm.mode, wire::CommSettings::Mode::Serial);
    }

    void connectAndDisconnectActions()
    {
        ScreenRig rig;
        auto *device = rig.control<QComboBox>("device");
        // A device that does not open: the caption alone changes, and a line says why.
        rig.serial.openSucceeds = false;
        for (const auto &[path, why] : {std::pair{"/dev/does-not-exist", "is the adapter plugged in?"},
                                        std::pair{"/dev/ttyS99", "this computer has no such serial port"}}) {
            device->setCurrentText(QLatin1String(path));
            QTest::mouseClick(rig.control<QWidget>("Label10"), Qt::LeftButton);
            QCOMPARE(rig.link.statusCaption(), QStringLiteral("Disconnected"));
            QCOMPARE(
                rig.control<QLabel>("openFailure")->text(),
                QStringLiteral("cannot open %1: no such device (%2)").arg(QLatin1String(path), QLatin1String(why)));
        }
        QVERIFY(rig.ui.messages.isEmpty());
        rig.serial.openSucceeds = true;
        device->setCurrentText(QStringLiteral("/dev/pts/77"));
        QTest::mouseClick(rig.control<QWidget>("Label10"), Qt::LeftButton);
        QCOMPARE(rig.link.statusCaption(), QStringLiteral("Connected"));
        QVERIFY(rig.control<QLabel>("openFailure")->text().isEmpty());
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

    // Enter in the address connects; a TCP connect says at once that it is
    // under way, in place of the last failure, with a Cancel that ends it.
    void connectingShowsAndCancels_data() { testing::boolRows("cancelled", "no answer", "cancelled"); }

    void connectingShowsAndCancels()
    {
        QFETCH(bool, cancelled);
        ScreenRig rig;
        rig.control<QRadioButton>("Option1")->click();
        rig.control<QLineEdit>("Text1")->setText(QStringLiteral("10.9.9.9"));
        rig.tcp.acceptAfter.reset();
        auto *why = rig.control<QLabel>("openFailure");
        auto *cancel = rig.control<QWidget>("cancelConnect");
        why->setText(QStringLiteral("cannot connect to 10.9.9.8:57: connection refused"));
        QString seen;
        rig.waiter.after(wire::Ms(500), [&] {
            seen = cancel->isVisible() ? why->text() : QString();
            if (cancelled)
                QTest::keyClick(cancel, Qt::Key_Space);
        });
        QTest::keyClick(rig.control<QLineEdit>("Text1"), Qt::Key_Return);
        QCOMPARE(seen, QStringLiteral("Connecting to 10.9.9.9:57\u2026"));
        QCOMPARE(rig.waiter.now(), wire::Ms(cancelled ? 500 : 3000));
        QCOMPARE(why->text(),
                 QStringLiteral("cannot connect to 10.9.9.9:57: ")
                     + (cancelled ? QStringLiteral("cancelled") : QStringLiteral("no answer within 3 seconds")));
        QVERIFY(!cancel->isVisible());
    }

    void modeChangeKeepsOpenLink_data() { testing::boolRows("running", "idle", "during an operation"); }

    // Choosing TCP/IP while the serial port is open leaves it open and
    // "Connected". Idle, the next command goes to the TCP client; an operation
    // already running keeps the serial port to its end. "Disconnect" then frees
    // the serial port either way.
    void modeChangeKeepsOpenLink()
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

    // Ports are listed by stable name with a description, no blank entry; a pick
    // stores the path and takes the numbered port's place until cleared; the list
    // follows plugging while the screen is visible.
    void deviceFieldListsPortsAndStandsForPort()
    {
        ScreenRig rig;
        const QString byId = QStringLiteral("/dev/serial/by-id/usb-FTDI_FT232R_A5-if00-port0");
        const wire::SerialPort adapter{QStringLiteral("/dev/ttyUSB0"), byId, QStringLiteral("FTDI"),
                                       QStringLiteral("FT232R USB UART"), QStringLiteral("A5")};
        const wire::SerialPort builtIn{QStringLiteral("/dev/ttyS0"), {}, {}, {}, {}};
        QList<wire::SerialPort> plugged{adapter, builtIn};
        rig.form.setPortLister([&plugged] { return plugged; });
        auto *device = rig.control<QComboBox>("device");
        QCOMPARE(device->findText(QString()), -1);
        QCOMPARE(device->itemText(0), QStringLiteral("usb-FTDI_FT232R_A5-if00-port0 — FTDI, FT232R USB UART, A5"));
        QCOMPARE(device->itemText(1), QStringLiteral("/dev/ttyS0"));
        QVERIFY(device->currentText().isEmpty());

        device->setCurrentIndex(0);
        QCOMPARE(rig.comm.device, byId);
        QVERIFY(!rig.control<QRadioButton>("Option8")->isChecked());
        QCOMPARE(rig.comm.port, 2);
        device->setEditText(QString());
        QVERIFY(rig.control<QRadioButton>("Option8")->isChecked());
        device->setCurrentIndex(0);
        rig.control<QRadioButton>("Option9")->click(); // a numbered port clears the device
        QVERIFY(rig.comm.device.isEmpty() && device->currentText().isEmpty());
        QCOMPARE(rig.comm.port, 4);
        QVERIFY(rig.control<QRadioButton>("Option9")->isChecked());

        auto *poll = rig.form.findChild<QTimer *>(QStringLiteral("devicePoll"));
        poll->setInterval(5);
        plugged.removeFirst();
        QTRY_COMPARE(device->findData(byId), -1);
        rig.form.hide();
        QVERIFY(!poll->isActive());
    }

    void recentLinksOfferedNotSelected_data() { testing::boolRows("tcp", "device", "address"); }

    // Only a link that opened is remembered; a new screen offers it, the model
    // keeps the start-up values.
    void recentLinksOfferedNotSelected()
    {
        QFETCH(bool, tcp);
        const QString entry = tcp ? QStringLiteral("10.1.2.3") : QStringLiteral("/dev/pts/78");
        const QString failed = tcp ? QStringLiteral("10.9.9.9") : QStringLiteral("/dev/gone");
        auto offered = [tcp](ScreenRig &r) {
            QStringList list;
            if (tcp) {
                const QAbstractItemModel *m = r.control<QLineEdit>("Text1")->completer()->model();
                for (int i = 0; i < m->rowCount(); ++i)
                    list << m->index(i, 0).data().toString();
            } else {
                auto *device = r.control<QComboBox>("device");
                for (int i = 0; i < device->count(); ++i)
                    list << device->itemData(i).toString();
            }
            return list;
        };
        {
            ScreenRig rig;
            rig.control<QRadioButton>(tcp ? "Option1" : "Option2")->click();
            for (const QString &target : {failed, entry}) {
                const bool opens = target == entry;
                rig.serial.openSucceeds = opens;
                rig.tcp.acceptAfter = opens ? std::optional<wire::Ms>(wire::Ms(10)) : std::nullopt;
                if (tcp)
                    rig.control<QLineEdit>("Text1")->setText(target);
                else
                    rig.control<QComboBox>("device")->setEditText(target);
                QTest::mouseClick(rig.control<QWidget>("Label10"), Qt::LeftButton);
                QCOMPARE(rig.link.isConnected(), opens);
            }
            QVERIFY(offered(rig).contains(entry));
        }
        ScreenRig fresh;
        QVERIFY(offered(fresh).contains(entry));
        QVERIFY(!offered(fresh).contains(failed));
        QVERIFY(fresh.comm.device.isEmpty() && fresh.control<QComboBox>("device")->currentText().isEmpty());
        QCOMPARE(fresh.control<QLineEdit>("Text1")->text(), wire::kDefaultIpAddress);
    }
};

QTEST_MAIN(TestCommForm)
#include "tst_commform.moc"
