// The utilities screen: control names and captions, the clock display, the
// hours field filter, and the labels driving the actions over a fake link.
#include "config/settings.h"
#include "core/services.h"
#include "core/widgets/labelbutton.h"
#include "tests/common/fakerig.h"
#include "utilities/screens/utilities.h"

#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QRadioButton>
#include <QRegularExpression>
#include <QtTest>

using namespace utilities;
using wire::Ms;

namespace {
struct ScreenRig : testing::FakeRig {
    config::Settings settings;
    UtilitiesSettings model;
    core::Services services{state, link, waiter, comm, settings, model, ui, ui};
    UtilitiesScreen *screen = nullptr;

    ScreenRig()
    {
        applyUtilitiesDefaults(model);
        screen = new UtilitiesScreen(services);
    }
    ~ScreenRig() { delete screen; }
    template <typename W> W *find(const QString &name) const { return screen->findChild<W *>(name); }
    QString label(int i) const { return find<QLabel>(QStringLiteral("Label1(%1)").arg(i))->text(); }
    void click(int i) { QTest::mouseClick(find<QLabel>(QStringLiteral("Label1(%1)").arg(i)), Qt::LeftButton); }
};
} // namespace

class TstScreen : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void controls_data();
    void controls();
    void buttonCaptions_data();
    void buttonCaptions();
    void startState();
    void hoursFilter();
    void clockTicks();
    void labelsDriveActions();
    void labelsGreyedWhileBusy();
};

void TstScreen::controls_data()
{
    QTest::addColumn<int>("index");
    QTest::addColumn<QString>("caption");
    const char *captions[] = {"Get Firmware Identification", "Ad Hoc", "Ad Hoc Delete", "Ad Hoc Add", nullptr,
                              "Set Controller Time", "Get Controller Time", "Show Memory Usage", "Main", "Log",
                              "Avail", "Used", "00000", "00000", "00000", "00000", "00000", "00000",
                              "Download Access List", "Upload Access List", "Download Schedules", "Upload Schedules",
                              "Upload Log - NW", "Status", ""};
    for (int i = 0; i < 25; ++i)
        if (captions[i])
            QTest::addRow("Label1(%d)", i) << i << QString::fromLatin1(captions[i]);
}

void TstScreen::controls()
{
    QFETCH(int, index);
    QFETCH(QString, caption);
    ScreenRig rig;
    QCOMPARE(rig.label(index), caption);
    QVERIFY(rig.find<core::LabelButton>(QStringLiteral("Label1(%1)").arg(index)));
}

void TstScreen::buttonCaptions_data()
{
    QTest::addColumn<QString>("control");
    QTest::addColumn<QString>("caption");
    QTest::addColumn<bool>("checked");  // at start-up
    QTest::newRow("Option1(0)") << "Option1(0)" << "Add" << true;
    QTest::newRow("Option1(1)") << "Option1(1)" << "Subtract" << false;
    QTest::newRow("Option1(2)") << "Option1(2)" << "Sorted" << false;
    QTest::newRow("Option1(3)") << "Option1(3)" << "Ad Hoc" << true;
    QTest::newRow("Check1(0)") << "Check1(0)" << "File includes schedule" << false;
    QTest::newRow("Check1(1)") << "Check1(1)" << "Auto clear" << true;
    QTest::newRow("Check1(2)") << "Check1(2)" << "Incl Deleted" << false;
    QTest::newRow("Command1") << "Command1" << "HS test" << false;
}

void TstScreen::buttonCaptions()
{
    QFETCH(QString, control);
    QFETCH(QString, caption);
    QFETCH(bool, checked);
    ScreenRig rig;
    auto *button = rig.find<QAbstractButton>(control);
    QVERIFY(button);
    QCOMPARE(button->text(), caption);
    QCOMPARE(button->isChecked(), checked);
}

void TstScreen::startState()
{
    ScreenRig rig;
    QCOMPARE(rig.screen->objectName(), QStringLiteral("utilities"));
    QCOMPARE(rig.screen->windowTitle(), QStringLiteral("to become new utility"));
    for (const char *name : {"Text1(0)", "Text1(1)", "Text1(2)", "Text2", "Text4", "Label3", "Label4", "Command1",
                             "Command2", "Option1(0)", "Option1(1)", "Option1(2)", "Option1(3)", "Check1(0)",
                             "Check1(1)", "Check1(2)", "Timer1"})
        QVERIFY2(rig.screen->findChild<QObject *>(QString::fromLatin1(name)), name);
    QCOMPARE(rig.find<QLineEdit>(QStringLiteral("Text2"))->text(), QStringLiteral("00"));
    QCOMPARE(rig.find<QTimer>(QStringLiteral("Timer1"))->interval(), 1000);
    QCOMPARE(rig.label(24), QString());
    for (const char *name : {"Text1(0)", "Text1(1)", "Text1(2)"})
        QVERIFY2(rig.find<QLineEdit>(QString::fromLatin1(name))->text().isEmpty(), name);
    QVERIFY(rig.find<QRadioButton>(QStringLiteral("Option1(0)"))->isChecked());
    QVERIFY(rig.find<QRadioButton>(QStringLiteral("Option1(3)"))->isChecked());
    QVERIFY(rig.find<QAbstractButton>(QStringLiteral("Check1(1)"))->isChecked());
    QVERIFY(!rig.find<QAbstractButton>(QStringLiteral("Check1(0)"))->isChecked());
    QCOMPARE(rig.find<QAbstractButton>(QStringLiteral("Command1"))->text(), QStringLiteral("HS test"));
    // The widgets feed the model the actions read.
    rig.find<QRadioButton>(QStringLiteral("Option1(2)"))->setChecked(true);
    rig.find<QAbstractButton>(QStringLiteral("Check1(2)"))->setChecked(true);
    rig.find<QLineEdit>(QStringLiteral("Text1(2)"))->setText(QStringLiteral("42"));
    QVERIFY(!rig.model.adHoc);
    QVERIFY(rig.model.inclDeleted);
    QCOMPARE(rig.model.Text1_2, QStringLiteral("42"));
}

void TstScreen::hoursFilter()
{
    ScreenRig rig;
    auto *hours = rig.find<QLineEdit>(QStringLiteral("Text2"));
    hours->clear();
    QTest::keyClicks(hours, QStringLiteral("1a-2 x"));
    QCOMPARE(hours->text(), QStringLiteral("12"));
    QCOMPARE(rig.model.Text2, QStringLiteral("12"));
    QTest::keyClick(hours, Qt::Key_Backspace);
    QCOMPARE(rig.model.Text2, QStringLiteral("1"));
}

void TstScreen::clockTicks()
{
    ScreenRig rig;
    const QRegularExpression shape(QStringLiteral("^Current Date/Time: \\d{4}-\\d\\d-\\d\\d  \\d\\d:\\d\\d:\\d\\d$"));
    QVERIFY(shape.match(rig.label(4)).hasMatch());
    const QString first = rig.label(4);
    QTRY_VERIFY_WITH_TIMEOUT(rig.label(4) != first, 2500);
    QVERIFY(shape.match(rig.label(4)).hasMatch());
}

void TstScreen::labelsDriveActions()
{
    ScreenRig rig;
    rig.click(7);
    QCOMPARE(rig.label(24), QStringLiteral("Not Connected"));
    QVERIFY(rig.connectSerial());
    rig.peer().onWrite = [&rig](const QByteArray &bytes) {
        if (bytes == "z\r")
            rig.peer().deliver("000010000200003000040000500006\r", Ms{5});
    };
    rig.click(7);
    QCOMPARE(rig.label(24), QStringLiteral("Memory data received"));
    // Grid: rows Avail/Used, columns Ad Hoc, Main, Log.
    QCOMPARE(rig.label(12), QStringLiteral("00001"));
    QCOMPARE(rig.label(13), QStringLiteral("00002"));
    QCOMPARE(rig.label(14), QStringLiteral("00003"));
    QCOMPARE(rig.label(16), QStringLiteral("00004"));
    QCOMPARE(rig.label(15), QStringLiteral("00005"));
    QCOMPARE(rig.label(17), QStringLiteral("00006"));
    // The HS test on a serial link says why it does nothing.
    QTest::mouseClick(rig.find<QAbstractButton>(QStringLiteral("Command1")), Qt::LeftButton);
    QCOMPARE(rig.find<QPlainTextEdit>(QStringLiteral("Text4"))->toPlainText(),
             QStringLiteral("HS test needs a TCP/IP link"));
}

void TstScreen::labelsGreyedWhileBusy()
{
    ScreenRig rig;
    QVERIFY(rig.connectSerial());
    bool greyed = false;
    rig.waiter.setOnPass([&] {
        if (rig.state.linkBusy)
            greyed = !rig.find<QLabel>(QStringLiteral("Label1(18)"))->isEnabled()
                && !rig.find<QWidget>(QStringLiteral("Command1"))->isEnabled();
    });
    rig.click(0);  // the controller stays silent: a 5-second virtual wait
    QVERIFY(greyed);
    QCOMPARE(rig.label(24), QStringLiteral("No response from controller"));
    QVERIFY(rig.find<QLabel>(QStringLiteral("Label1(18)"))->isEnabled());
}

QTEST_MAIN(TstScreen)
#include "tst_screen.moc"
