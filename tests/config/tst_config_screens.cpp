// The four settings screens and the progress screen, offscreen: every setting
// has its widget, typed and pasted text, the Const locks, the available
// entries, the hidden row and the disabled cells, and the run from the screen.
#include "config/profile.h"
#include "config/record.h"
#include "config/screens/barcode.h"
#include "config/screens/binding.h"
#include "config/screens/comm430.h"
#include "config/screens/general.h"
#include "config/screens/pgmform.h"
#include "config/screens/wiegand.h"
#include "configtestsupport.h"
#include "tests/common/files.h"
#include "tests/common/screenrig.h"
#include "tests/common/testjournal.h"

#include <QCheckBox>
#include <QClipboard>
#include <QDir>
#include <QGuiApplication>
#include <QJsonArray>
#include <QLabel>
#include <QLineEdit>
#include <QMap>
#include <QPlainTextEdit>
#include <QRadioButton>
#include <QTemporaryDir>
#include <QTest>

using namespace config;

namespace {

// The screens on one model with its start-up defaults, as the main window makes them.
struct Screens {
    QWidget *screen(const QString &name)
    {
        for (QWidget *w : QList<QWidget *>{&general, &wiegand, &barcode, &comm430})
            if (w->objectName() == name)
                return w;
        return nullptr;
    }
    template <typename W>
    W *find(const QString &settingName)
    {
        const auto dot = settingName.indexOf(QLatin1Char('.'));
        QWidget *s = screen(settingName.left(dot));
        return s ? s->findChild<W *>(settingName.mid(dot + 1)) : nullptr;
    }
    // Shows the screen a setting is on, as a user would open it.
    void show(const QString &settingName) { screen(settingName.section(QLatin1Char('.'), 0, 0))->show(); }

    testing::ScreenRig rig;
    Settings &settings = rig.settings;
    GeneralScreen general{rig.services};
    WiegandScreen wiegand{rig.services};
    BarcodeScreen barcode{rig.services};
    Comm430Screen comm430{rig.services};
    PgmForm pgmform{rig.services};
};

QString model(Screens &s, const QString &name) { return findSetting(name)->value(s.settings); }

void click(QWidget *w) { QTest::mouseClick(w, Qt::LeftButton, {}, QPoint(5, w->height() / 2)); }

// Replaces the field's text by typing, as a user would.
void type(QLineEdit *edit, const QString &keys)
{
    edit->setFocus();
    edit->selectAll();
    QTest::keyClick(edit, Qt::Key_Backspace);
    QTest::keyClicks(edit, keys);
}

QStringList paneLines(const PgmForm &form, const char *pane)
{
    return form.findChild<QPlainTextEdit *>(QLatin1String(pane))->toPlainText().split(QLatin1Char('\n'));
}

} // namespace

class TstConfigScreens : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void everySettingOnceWithItsWidget()
    {
        // Texts, checks and options per screen: a lost or doubled row shows here.
        const QMap<QString, QList<int>> expected{
            {"general", {7, 16, 12}}, {"wiegand", {62, 30, 0}}, {"barcode", {131, 84, 3}}, {"comm430", {0, 0, 22}}};
        QMap<QString, QList<int>> counts;
        Screens s;
        for (const SettingInfo &i : settingTable()) {
            QCOMPARE(findSetting(i.name), &i);
            QCOMPARE(i.name, i.screen + QLatin1Char('.') + i.control);
            counts[i.screen].resize(3);
            ++counts[i.screen][static_cast<int>(i.kind)];
            auto *w = s.find<QWidget>(i.name);
            QVERIFY2(w, qPrintable(i.name));
            QCOMPARE(i.value(s.settings), defaultValue(i));
            if (auto *edit = qobject_cast<QLineEdit *>(w)) {
                QVERIFY2(i.kind == SettingKind::Text, qPrintable(i.name));
                QCOMPARE(edit->text(), defaultValue(i));
                if (i.maxLength > 0)
                    QCOMPARE(edit->maxLength(), i.maxLength);
                continue;
            }
            const bool option = i.kind == SettingKind::Option;
            auto *button = option ? qobject_cast<QAbstractButton *>(qobject_cast<QRadioButton *>(w))
                                  : qobject_cast<QAbstractButton *>(qobject_cast<QCheckBox *>(w));
            QVERIFY2(button, qPrintable(i.name));
            QCOMPARE(button->isChecked(), defaultValue(i) == QLatin1String("1"));
            if (option)
                QCOMPARE(button->text(), i.caption);
        }
        QCOMPARE(counts, expected);
        // Labelled check boxes carry their caption.
        QCOMPARE(s.find<QCheckBox>(QStringLiteral("general.Check8(6)"))->text(),
                 QStringLiteral("Request to exit (stand alone and online)"));
        QCOMPARE(s.find<QCheckBox>(QStringLiteral("wiegand.Check27"))->text(), QStringLiteral("Include Start/Stop"));
    }

    void optionGroups()
    {
        Screens s;
        s.general.show();
        s.comm430.show();
        click(s.find<QRadioButton>(QStringLiteral("general.Option16")));
        QCOMPARE(s.settings.general.tone, int(GeneralSettings::Low));
        QVERIFY(!s.find<QRadioButton>(QStringLiteral("general.Option15"))->isChecked());
        click(s.find<QCheckBox>(QStringLiteral("general.Check5")));
        QVERIFY(s.settings.general.Check5);
        // Groups on one screen are independent.
        QCOMPARE(s.settings.general.readerType, int(GeneralSettings::WiegandMagstripe));
        click(s.find<QRadioButton>(QStringLiteral("comm430.Option2(3)")));
        QCOMPARE(s.settings.comm430.rs422Baud, int(Comm430Settings::B115200));
        QCOMPARE(s.settings.comm430.rs232Baud, int(Comm430Settings::B9600));
        QCOMPARE(s.settings.comm430.rs422Parity, int(Comm430Settings::NoParity8));
        // A group with nothing selected shows no button checked.
        s.settings.general.lookupMode = kNone;
        s.general.refresh();
        for (const char *n : {"general.Option1(3)", "general.Option1(4)", "general.Option1(5)"})
            QVERIFY(!s.find<QRadioButton>(QLatin1String(n))->isChecked());
    }

    void digitFilter_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("keys");
        QTest::addColumn<bool>("paste"); // pasted instead of typed
        QTest::addColumn<QString>("result");
        const struct {
            const char *tag, *name, *keys;
            bool paste;
            const char *result;
        } rows[] = {
            {"general letters", "general.Text5(0)", "a1 b-2", false, "12"},
            {"wiegand format", "wiegand.Text1(3)", "3.7", false, "37"},
            {"wiegand len/value", "wiegand.Text3(14)", "1,2,3,4", false, "123"},
            {"sep char: no hex letters", "wiegand.Text5", "2C", false, "2"},
            {"barcode timeout, no limit", "barcode.Text6", "1 2 3 4 5", false, "12345"},
            {"barcode mask length", "barcode.Text8(1)", "-7", false, "7"},
            {"paste keeps the digits", "wiegand.Text3(0)", "1x2", true, "12"},
            {"paste without digits", "wiegand.Text3(0)", "ABC", true, ""},
        };
        for (const auto &r : rows)
            QTest::newRow(r.tag) << r.name << r.keys << r.paste << r.result;
    }

    void digitFilter()
    {
        QFETCH(QString, name);
        QFETCH(QString, keys);
        QFETCH(QString, result);
        Screens s;
        s.show(name);
        auto *edit = s.find<QLineEdit>(name);
        QVERIFY(edit);
        type(edit, QString());
        QCOMPARE(model(s, name), QString());
        if (FETCHED(bool, paste)) {
            QGuiApplication::clipboard()->setText(keys);
            if (QGuiApplication::clipboard()->text() != keys)
                QSKIP("no clipboard on this platform");
            edit->paste();
        } else {
            QTest::keyClicks(edit, keys);
        }
        QCOMPARE(edit->text(), result);
        QCOMPARE(model(s, name), result);
        QTest::keyClick(edit, Qt::Key_Backspace);
        QCOMPARE(model(s, name), result.left(result.size() - 1));
    }

    void constToggle_data()
    {
        QTest::addColumn<QString>("check");
        QTest::addColumn<QString>("start");
        QTest::addColumn<QString>("value"); // its Len/Value, untouched
        // The Const box, the start field it locks, and that row's Len/Value.
        for (const char *row :
             {"wiegand.Check4 wiegand.Text2(0) wiegand.Text3(0)", "wiegand.Check13 wiegand.Text2(5) wiegand.Text3(5)",
              "wiegand.Check17 wiegand.Text2(14) wiegand.Text3(14)",
              "barcode.Check4(9) barcode.Text5(9) barcode.Text7(9)"}) {
            const QStringList names = QString::fromLatin1(row).split(QLatin1Char(' '));
            QTest::newRow(row) << names.at(0) << names.at(1) << names.at(2);
        }
    }

    void constToggle()
    {
        QFETCH(QString, check);
        QFETCH(QString, start);
        QFETCH(QString, value);
        Screens s;
        s.show(check);
        auto *box = s.find<QCheckBox>(check);
        auto *startEdit = s.find<QLineEdit>(start);
        auto *valueEdit = s.find<QLineEdit>(value);
        type(startEdit, QStringLiteral("12"));
        type(valueEdit, QStringLiteral("345"));
        click(box);
        QCOMPARE(startEdit->text(), QStringLiteral("00"));
        QVERIFY(!startEdit->isEnabled());
        QCOMPARE(model(s, start), QStringLiteral("00"));
        QCOMPARE(model(s, value), QStringLiteral("345"));
        click(box);
        QVERIFY(startEdit->isEnabled());
        QCOMPARE(startEdit->text(), QStringLiteral("00"));
        QCOMPARE(model(s, check), QStringLiteral("0"));
    }

    void availableEntries_data()
    {
        QTest::addColumn<QString>("size");
        QTest::addColumn<QStringList>("shown"); // Ad Hoc, Sorted, Log
        QTest::newRow("0") << "0" << QStringList{"30720", "96256", "16320"};
        QTest::newRow("8") << "8" << QStringList{"06144", "19251", "16320"};
        QTest::newRow("9") << "9" << QStringList{"05585", "17501", "15360"};
        QTest::newRow("18") << "18" << QStringList{"03072", "09625", "10048"};
        QTest::newRow("99") << "99" << QStringList{"00608", "01906", "02432"};
        QTest::newRow("leading zero") << "07" << QStringList{"06826", "21390", "16320"};
        QTest::newRow("emptied keeps what was shown") << "9\b" << QStringList{"05585", "17501", "15360"};
    }

    void availableEntries()
    {
        Screens s;
        auto label = [&s](int i) { return s.general.findChild<QLabel *>(QStringLiteral("Label1(%1)").arg(i))->text(); };
        // Right after start-up: the values for 18.
        QCOMPARE((QStringList{label(2), label(1), label(0)}), (QStringList{"03072", "09625", "10048"}));
        s.general.show();
        type(s.find<QLineEdit>(QStringLiteral("general.Text1(2)")), FETCHED(QString, size));
        QCOMPARE((QStringList{label(2), label(1), label(0)}), FETCHED(QStringList, shown));
        // Relay/Led Time changes nothing.
        type(s.find<QLineEdit>(QStringLiteral("general.Text1(1)")), QStringLiteral("1"));
        QCOMPARE((QStringList{label(2), label(1), label(0)}), FETCHED(QStringList, shown));
    }

    void hiddenRow()
    {
        Screens s;
        s.barcode.show();
        QStringList hidden;
        for (int c = 24; c <= 31; ++c)
            hidden << QStringLiteral("barcode.Check1(%1)").arg(c);
        hidden += QStringList{"barcode.Text1(3)", "barcode.Text3(3)", "barcode.Text2(15)", "barcode.Text4(19)"};
        for (const QString &n : hidden) {
            auto *w = s.find<QWidget>(n);
            QVERIFY2(w && !w->isVisibleTo(&s.barcode), qPrintable(n));
        }
        for (const char *n : {"barcode.Check1(18)", "barcode.Check1(34)", "barcode.Text1(2)", "barcode.Text4(20)"})
            QVERIFY2(s.find<QWidget>(QLatin1String(n))->isVisibleTo(&s.barcode), n);
        for (const char *caption : {"Code39", "I 2/5", "S 2/5", "Codabar", "Code 128", "Upca", "Ean13", "Ind 2/5"}) {
            bool seen = false;
            for (QLabel *l : s.barcode.findChildren<QLabel *>())
                seen |= l->text() == QLatin1String(caption) && l->isVisibleTo(&s.barcode);
            QVERIFY2(seen, caption);
        }
    }

    void disabledCells()
    {
        Screens s;
        s.barcode.show();
        // Row: its disabled columns (Enbl 0, CD 1, XB 2, Transmit CD 3, SS 4 ...).
        const QList<QPair<int, QList<int>>> rows = {{0, {}},        {1, {4}},       {2, {1, 3, 4}},
                                                    {3, {}},        {4, {1, 3}},    {5, {4}},
                                                    {6, {1, 3, 4}}, {7, {1, 3, 4}}, {8, {1, 3, 4}}};
        for (const auto &[r, cols] : rows) {
            for (int c = 0; c < 8; ++c) {
                auto *box = s.find<QCheckBox>(QStringLiteral("barcode.Check1(%1)").arg(8 * r + c));
                QCOMPARE(box->isEnabled(), !cols.contains(c));
                if (!box->isEnabled()) {
                    click(box);
                    QVERIFY(!box->isChecked());
                    QVERIFY(!s.settings.barcode.Check1[8 * r + c]);
                }
            }
            QCOMPARE(s.find<QLineEdit>(QStringLiteral("barcode.Text1(%1)").arg(r))->isEnabled(), r != 6 && r != 7);
        }
        QCOMPARE(s.find<QLineEdit>(QStringLiteral("barcode.Text1(6)"))->text(), QStringLiteral("00"));
    }

    // A run from the button: a second start or a reset from inside its waits
    // is refused and leaves the panes alone (and the journal); the link is
    // free at the end, and the journal holds the run.
    void pgmformRunsAndRefusesSecondStart()
    {
        Screens s;
        const testing::TestJournal journal;
        s.rig.journal.setOn(true);
        s.rig.connectSerial();
        testing::ScriptedController controller(s.rig.peer());
        PgmForm &form = s.pgmform;
        form.show();
        QCOMPARE(form.windowTitle(), QStringLiteral("Form1"));

        s.settings.general.Text1[2] = QStringLiteral("20");
        s.rig.ui.answers.push_back(true);
        auto *program = form.findChild<QWidget *>(QStringLiteral("Command1"));
        bool checkedInside = false;
        controller.onLine = [&](const QByteArray &line) {
            if (line != "X0580")
                return;
            QCOMPARE(paneLines(form, "Picture2").last(), QStringLiteral("X0580")); // shown while awaited
            QCOMPARE(form.startProgram(), RunOutcome::Busy);
            QCOMPARE(form.startReset(), ResetOutcome::Busy);
            QVERIFY(!program->isEnabled());
            checkedInside = true;
        };
        QTest::mouseClick(program, Qt::LeftButton);
        QVERIFY(checkedInside);
        QVERIFY(program->isEnabled());
        QCOMPARE(s.rig.ui.questions.size(), 1);
        const QStringList l = paneLines(form, "Picture1");
        const QStringList r = paneLines(form, "Picture2");
        QCOMPARE(l.first(), QStringLiteral("Checking Parameters"));
        QCOMPARE(l.last(), QStringLiteral("X041000000000000000  [OK]"));
        QCOMPARE(r.first(), QStringLiteral("X04200000100004  [OK]"));
        QCOMPARE(r.mid(r.size() - 3), (QStringList{"E3  [OK]", " ", "Programming Complete"}));
        QVERIFY(r.contains(QStringLiteral("\\20  [OK]")));
        QCOMPARE(controller.lines.count("x"), 1);
        QVERIFY(!s.rig.link.busy());
        QCOMPARE(journal.brief(), (QStringList{"started program", "ended program ok"}));
        const journal::Record ended = journal.records().back();
        QCOMPARE(ended.link, QStringLiteral("serial:/dev/ttyS1"));
        QCOMPARE(ended.results.value(QStringLiteral("settings_sha256")).toString(), settingsHash(s.settings));
        const QJsonArray lines = ended.results.value(QStringLiteral("lines")).toArray();
        QCOMPARE(lines.first(), (QJsonArray{"X0014N4N", "OK"}));
        QCOMPARE(lines.last(), (QJsonArray{"E3", "OK"}));
    }

    // A record only when asked, of what the run programmed, opening as a profile.
    void pgmformRecords()
    {
        Screens s;
        s.rig.connectSerial();
        testing::ScriptedController controller(s.rig.peer());
        QTemporaryDir dir;
        auto *record = s.pgmform.findChild<QCheckBox *>(QStringLiteral("recordRuns"));
        auto *program = s.pgmform.findChild<QWidget *>(QStringLiteral("Command1"));
        s.pgmform.show();
        click(record); // the folder dialog, cancelled
        QVERIFY(!record->isChecked());
        QTest::mouseClick(program, Qt::LeftButton);
        s.rig.ui.nextPath = dir.path();
        click(record);
        QVERIFY(record->isChecked());
        s.settings.barcode.Text6 = QStringLiteral("05");
        QTest::mouseClick(program, Qt::LeftButton);
        const QStringList records = QDir(dir.path()).entryList({QStringLiteral("*.tfp")});
        QCOMPARE(records.size(), 1);
        const QByteArray text = testing::readFile(QDir(dir.path()).filePath(records.front()));
        QVERIFY(text.contains("\n# Link: serial /dev/ttyS1 at 9600 baud\n"));
        QCOMPARE(wire::Endpoint::tcp(QStringLiteral("10.0.0.7"), 57).description(), QStringLiteral("TCP 10.0.0.7:57"));
        QVERIFY(text.contains("\n# Controller: 5200 V 02.14\n# Outcome: Programming Complete\n"));
        const ProfileRead read = parseProfile(text, records.front());
        QVERIFY(std::holds_alternative<Settings>(read));
        QCOMPARE(std::get<Settings>(read).barcode.Text6, QStringLiteral("05"));
    }

    // Over a closed link the panes keep their specified silence; our line
    // under the actions says why.
    void pgmformActions_data()
    {
        QTest::addColumn<QString>("action");
        QTest::addColumn<bool>("connected");
        QTest::addColumn<QStringList>("picture1");
        QTest::addColumn<QByteArray>("written");
        QTest::addColumn<QString>("note");
        QTest::addColumn<QString>("recorded"); // the ended record's operation and outcome
        const QString notConnected = QStringLiteral("Not connected: connect on Communications first");
        QTest::newRow("reset") << "Command2" << true << QStringList{"Resetting Controller", "Reset Complete"}
                               << QByteArray("\0U1\r", 4) << QString() << "reset ok"; // no wake-up first
        QTest::newRow("reset, not connected") << "Command2" << false << QStringList{"Resetting Controller"}
                                              << QByteArray() << notConnected << "reset link not opened";
        QTest::newRow("program, not connected") << "Command1" << false << QStringList{"Checking Parameters"}
                                                << QByteArray() << notConnected << "program link not opened";
    }

    void pgmformActions()
    {
        Screens s;
        const testing::TestJournal journal;
        s.rig.journal.setOn(true);
        if (FETCHED(bool, connected))
            s.rig.connectTcp();
        testing::ScriptedController controller(s.rig.peer());
        s.pgmform.findChild<QPlainTextEdit *>(QStringLiteral("Picture2"))->appendPlainText(QStringLiteral("old"));
        s.pgmform.show();
        s.rig.peer().writes.clear();
        QTest::mouseClick(s.pgmform.findChild<QWidget *>(FETCHED(QString, action)), Qt::LeftButton);
        QCOMPARE(paneLines(s.pgmform, "Picture1"), FETCHED(QStringList, picture1));
        QCOMPARE(paneLines(s.pgmform, "Picture2"), QStringList{QString()});
        QCOMPARE(s.rig.peer().written(), FETCHED(QByteArray, written));
        QCOMPARE(s.pgmform.findChild<QLabel *>(QStringLiteral("programNote"))->text(), FETCHED(QString, note));
        QCOMPARE(journal.brief().last(), QStringLiteral("ended ") + FETCHED(QString, recorded));
    }
};

QTEST_MAIN(TstConfigScreens)
#include "tst_config_screens.moc"
