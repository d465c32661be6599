// The utilities screen: control names and captions, the clock display, the
// hours field filter, and the labels driving the actions over a fake link.
#include "tests/common/files.h"
#include "tests/common/rows.h"
#include "tests/common/screenrig.h"
#include "tests/common/testjournal.h"
#include "utilities/screens/utilities.h"

#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QRadioButton>
#include <QTemporaryDir>
#include <QTest>

using namespace utilities;
using wire::Ms;

namespace {
struct ScreenRig : testing::ScreenRig {
    UtilitiesSettings &model = utilities;
    std::unique_ptr<UtilitiesScreen> screen = std::make_unique<UtilitiesScreen>(services);
    template <typename W>
    W *find(const QString &name) const
    {
        return screen->findChild<W *>(name);
    }
    QString label(int i) const { return find<QLabel>(QStringLiteral("Label1(%1)").arg(i))->text(); }
    void click(int i) const { QTest::mouseClick(find<QLabel>(QStringLiteral("Label1(%1)").arg(i)), Qt::LeftButton); }
};
} // namespace

class TstScreen : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void controls_data()
    {
        QTest::addColumn<QString>("caption");
        QTest::addColumn<bool>("checked"); // at start-up
        // Label1(4), the clock, is checked elsewhere.
        const QStringList labels =
            QStringLiteral("Get Firmware Identification|Ad Hoc|Ad Hoc Delete|Ad Hoc Add|-|Set Controller Time|"
                           "Get Controller Time|Show Memory Usage|Main|Log|Avail|Used|00000|00000|00000|00000|00000|"
                           "00000|Download Access List|Upload Access List|Download Schedules|Upload Schedules|"
                           "Upload Log - NW|Status|")
                .split(QLatin1Char('|'));
        for (int i = 0; i < labels.size(); ++i)
            if (labels.at(i) != QLatin1String("-"))
                QTest::addRow("Label1(%d)", i) << labels.at(i) << false;
        const struct {
            const char *name, *caption;
            bool checked;
        } buttons[] = {
            {"Option1(0)", "Add", true},
            {"Option1(1)", "Subtract", false},
            {"Option1(2)", "Sorted", false},
            {"Option1(3)", "Ad Hoc", true},
            {"Check1(0)", "File includes schedule", false},
            {"Check1(1)", "Auto clear", true},
            {"Check1(2)", "Incl Deleted", false},
            {"Command1", "HS test", false},
            {"Text1(0)", "", false},
            {"Text1(1)", "", false},
            {"Text1(2)", "", false},
            {"Text2", "00", false},
        };
        for (const auto &b : buttons)
            QTest::newRow(b.name) << QString::fromLatin1(b.caption) << b.checked;
    }

    void controls()
    {
        QFETCH(QString, caption);
        QFETCH(bool, checked);
        ScreenRig rig;
        const QObject *control = rig.screen->findChild<QObject *>(QString::fromLatin1(QTest::currentDataTag()));
        QVERIFY(control);
        QCOMPARE(control->property("text").toString(), caption);
        QCOMPARE(control->property("checked").toBool(), checked);
    }

    // The widgets feed the model the actions read, the hours field takes
    // digits only, and the PC clock ticks.
    void fieldsFeedTheModel()
    {
        ScreenRig rig;
        QCOMPARE(rig.screen->windowTitle(), QStringLiteral("to become new utility"));
        rig.find<QRadioButton>(QStringLiteral("Option1(2)"))->setChecked(true);
        rig.find<QAbstractButton>(QStringLiteral("Check1(2)"))->setChecked(true);
        rig.find<QLineEdit>(QStringLiteral("Text1(2)"))->setText(QStringLiteral("42"));
        QVERIFY(!rig.model.adHoc);
        QVERIFY(rig.model.inclDeleted);
        QCOMPARE(rig.model.adHocId, QStringLiteral("42"));
        auto *hours = rig.find<QLineEdit>(QStringLiteral("Text2"));
        hours->clear();
        QTest::keyClicks(hours, QStringLiteral("1a-2 x"));
        QCOMPARE(hours->text(), QStringLiteral("12"));
        QCOMPARE(rig.model.hours, QStringLiteral("12"));
        QTest::keyClick(hours, Qt::Key_Backspace);
        QCOMPARE(rig.model.hours, QStringLiteral("1"));
        const QString first = rig.label(4);
        QVERIFY(first.startsWith(QLatin1String("Current Date/Time: ")));
        // A once-a-second tick on the real clock: the bound only keeps a clock
        // that stopped from hanging the run; a loaded machine stays inside it.
        QTRY_VERIFY_WITH_TIMEOUT(rig.label(4) != first, 20000);
    }

    void labelsDriveActions()
    {
        ScreenRig rig;
        rig.click(7);
        QCOMPARE(rig.label(24), QStringLiteral("Not Connected"));
        QVERIFY(rig.connectSerial());
        rig.peer().onWrite = [&rig](const QByteArray &bytes) {
            if (bytes == "z\r")
                rig.peer().deliver("000010000200003000040000500006\r", Ms{5});
        };
        bool greyed = false;
        rig.waiter.setOnPass([&] {
            if (rig.link.busy())
                greyed = !rig.find<QLabel>(QStringLiteral("Label1(18)"))->isEnabled()
                    && !rig.find<QWidget>(QStringLiteral("Command1"))->isEnabled();
        });
        rig.click(7);
        QVERIFY(greyed);
        QVERIFY(rig.find<QLabel>(QStringLiteral("Label1(18)"))->isEnabled());
        QCOMPARE(rig.label(24), QStringLiteral("Memory data received"));
        // Grid: rows Avail/Used, columns Ad Hoc, Main, Log.
        QCOMPARE(
            (QStringList{rig.label(12), rig.label(13), rig.label(14), rig.label(16), rig.label(15), rig.label(17)}),
            (QStringList{"00001", "00002", "00003", "00004", "00005", "00006"}));
        // The HS test on a serial link says why it does nothing.
        QTest::mouseClick(rig.find<QAbstractButton>(QStringLiteral("Command1")), Qt::LeftButton);
        QCOMPARE(rig.find<QPlainTextEdit>(QStringLiteral("Text4"))->toPlainText(),
                 QStringLiteral("HS test needs a TCP/IP link"));
    }

    // Each action that goes to the controller leaves its two records, with
    // what it learned or the file it read; never the ID typed.
    void actionsLeaveRecords_data()
    {
        QTest::addColumn<int>("label");        // -1: the HS test
        QTest::addColumn<bool>("connected");   // over a serial link
        QTest::addColumn<QByteArray>("reply"); // to every command
        QTest::addColumn<QString>("recorded"); // the ended record's operation and outcome; empty: none
        QTest::addColumn<QString>("learned");  // a key of its results, or of its file
        QTest::newRow("id add") << 3 << true << QByteArray("A") << "id add ok" << QString();
        QTest::newRow("memory") << 7 << true << QByteArray("000010000200003000040000500006") << "memory ok"
                                << "memory";
        QTest::newRow("time get, not connected")
            << 6 << false << QByteArray() << "time get link not opened" << QString();
        QTest::newRow("schedules download, bad file") << 20 << true << QByteArray("A") << "schedules download failed"
                                                      << "hmac_sha256";
        QTest::newRow("hs test, serial") << -1 << true << QByteArray() << "hs test failed" << QString();
        QTest::newRow("heading: the wake-up alone") << 1 << true << QByteArray() << QString() << QString();
    }

    void actionsLeaveRecords()
    {
        const testing::TestJournal journal;
        ScreenRig rig;
        rig.journal.setOn(true);
        const QString id = QStringLiteral("12345678");
        rig.find<QLineEdit>(QStringLiteral("Text1(2)"))->setText(id);
        const QString file = journal.dir.filePath(QStringLiteral("schedules.txt"));
        QVERIFY(testing::writeFile(file, "not a schedule\r\n"));
        rig.ui.nextPath = file;
        if (FETCHED(bool, connected)) {
            QVERIFY(rig.connectSerial());
            rig.peer().onWrite = [&rig](const QByteArray &bytes) {
                if (!bytes.startsWith('\r') && bytes.endsWith('\r'))
                    rig.peer().deliver(FETCHED(QByteArray, reply) + '\r', Ms{5});
            };
        }
        if (const int label = FETCHED(int, label); label >= 0)
            rig.click(label);
        else
            QTest::mouseClick(rig.find<QAbstractButton>(QStringLiteral("Command1")), Qt::LeftButton);
        const QStringList brief = journal.brief();
        const QString recorded = FETCHED(QString, recorded);
        QCOMPARE(brief.size(), recorded.isEmpty() ? 0 : 2);
        if (recorded.isEmpty())
            return;
        QCOMPARE(brief.last(), QStringLiteral("ended ") + recorded);
        const journal::Record ended = journal.records().back();
        if (const QString key = FETCHED(QString, learned); !key.isEmpty())
            QVERIFY(ended.results.contains(key) || ended.files.at(0).toObject().contains(key));
        QVERIFY(!journal.dump().contains(id.toLatin1()));
        QVERIFY(rig.find<QLabel>(QStringLiteral("journalNote"))->text().isEmpty());
    }
};

QTEST_MAIN(TstScreen)
#include "tst_screen.moc"
