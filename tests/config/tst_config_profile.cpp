// Readable keys and settings profiles: the keys people type, a round trip of
// every value of every setting, and one row per kind of line a profile
// refuses, with its line number.
#include "config/profile.h"
#include "config/settingkeys.h"
#include "configtestsupport.h"

#include <QTest>

using namespace config;

namespace {

Settings defaults()
{
    Settings s;
    applyConfigDefaults(s);
    return s;
}

// QVERIFY2 builds its message whether or not the check fails.
QString errorOf(const ProfileRead &read)
{
    const auto *error = std::get_if<ProfileError>(&read);
    return error ? error->text() : QString();
}

QByteArray profile(const QByteArray &body) { return "# tarnic-profile 1\n" + body; }

} // namespace

class TstConfigProfile : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void keys_data()
    {
        QTest::addColumn<QString>("key");
        QTest::addColumn<QString>("control");
        QTest::addColumn<QString>("byDefault");
        const auto row = [](const char *key, const char *control, const char *byDefault) {
            QTest::newRow(key) << QString::fromLatin1(key) << QString::fromLatin1(control)
                               << QString::fromLatin1(byDefault);
        };
        row("general.reader", "general.Option10", "wiegand+magstripe");
        row("general.max_id_size", "general.Text1(2)", "18");
        row("general.level.reset", "general.Check8(2)", "off");
        row("wiegand.format2.site.lsb", "wiegand.Check14", "off");
        // Mask sets 2 and 3 count their controls upwards; the keys count rows down the screen.
        row("wiegand.mask2.row1.const", "wiegand.Check13", "off");
        row("barcode.mask2.row1.start", "barcode.Text5(9)", "00");
        row("barcode.row3.enable", "barcode.Check1(24)", "off");
        row("barcode.i2of5.transmit.ss", "barcode.Check1(12)", "off");
        row("barcode.priority", "barcode.Option1(2)", "off");
        row("comm430.rs232.baud", "comm430.Option2(0)", "9600");
        row("comm430.rs422.parity", "comm430.Option4(2)", "8_no_parity");
    }

    void keys()
    {
        QFETCH(QString, key);
        const SettingKey *k = findKey(key);
        QVERIFY(k);
        QCOMPARE(k->key, key);
        QCOMPARE(findKey(FETCHED(QString, control)), k);
        QCOMPARE(k->defaultValue(), FETCHED(QString, byDefault));
    }

    // Two controls under one key would lose one of them in every profile.
    void everyControlOnce()
    {
        size_t controls = 0;
        for (const SettingKey &k : settingKeys()) {
            QVERIFY2(k.isGroup() || k.controls.size() == 1, qPrintable(k.key));
            controls += k.controls.size();
        }
        QCOMPARE(controls, settingTable().size());
    }

    void roundTrip_data()
    {
        QTest::addColumn<QString>("key");
        QTest::addColumn<QString>("value");
        QTest::newRow("defaults") << QString() << QString();
        for (const SettingKey &k : settingKeys()) {
            const SettingInfo &first = *k.controls.front();
            if (first.disabled)
                continue;
            QStringList changed;
            if (first.kind == SettingKind::Text)
                changed << QString(first.maxLength > 0 ? first.maxLength : 4, QLatin1Char('7')) << QString();
            else if (first.kind == SettingKind::Check)
                changed << (k.defaultValue() == QLatin1String("on") ? QStringLiteral("off") : QStringLiteral("on"));
            else
                changed << k.words << kNoneSelected;
            changed.removeAll(k.defaultValue());
            for (const QString &v : changed)
                QTest::addRow("%s=%s", qPrintable(k.key), qPrintable(v)) << k.key << v;
        }
    }

    // Saved and opened again, with only the change written or every setting.
    void roundTrip()
    {
        QFETCH(QString, key);
        Settings s = defaults();
        QString error;
        QVERIFY2(key.isEmpty() || applySetting(s, key, FETCHED(QString, value), &error), qPrintable(error));
        for (const bool all : {false, true}) {
            const QByteArray text = profileText(s, all);
            const ProfileRead read = parseProfile(text, QStringLiteral("site.tfp"));
            QVERIFY2(std::holds_alternative<Settings>(read), qPrintable(errorOf(read)));
            QCOMPARE(assignments(std::get<Settings>(read)), assignments(s));
            const qsizetype lines = text.count('\n') - text.count("\n#") - 1;
            QCOMPARE(lines, all ? static_cast<qsizetype>(settingKeys().size()) : key.isEmpty() ? 0 : 1);
        }
    }

    void parse_data()
    {
        QTest::addColumn<QByteArray>("text");
        QTest::addColumn<int>("line");           // 0: taken
        QTest::addColumn<QStringList>("expect"); // taken: the settings it changes; else the reason
        const auto taken = [](const char *tag, const QByteArray &text, const QStringList &sets) {
            QTest::newRow(tag) << text << 0 << sets;
        };
        const auto refused = [](const char *tag, const QByteArray &text, int line, const char *reason) {
            QTest::newRow(tag) << text << line << QStringList{QLatin1String(reason)};
        };
        taken("header only", profile(""), {});
        taken("BOM, CRLF, blanks, comments, spaces",
              "\xEF\xBB\xBF# tarnic-profile 1\r\n\r\n  # a note\r\n general.reader=barcode \r\n",
              {"general.reader=barcode"});
        taken("control names",
              profile("general.Option13 = 1\ngeneral.Text1(2) = 20\nwiegand.Check13 = 1\nbarcode.Option1(2) = 0\n"),
              {"general.reader=barcode", "general.max_id_size=20", "wiegand.mask2.row1.const=on",
               "barcode.priority=none"});
        taken("words, none, empty text",
              profile(
                  "general.reader = none\ncomm430.rs232.baud = 115200\nbarcode.priority = large\ngeneral.bc_time =\n"),
              {"general.reader=none", "comm430.rs232.baud=115200", "barcode.priority=large", "general.bc_time="});
        taken("Const on before its Start of 00",
              profile("barcode.mask1.row2.const = on\nbarcode.mask1.row2.start = 00\n"),
              {"barcode.mask1.row2.const=on"});

        refused("empty file", "", 1, "not a settings profile");
        refused("no first line", "general.beep = on\n", 1, "not a settings profile");
        refused("newer format", "# tarnic-profile 2\ngeneral.beep = on\n", 1, "profile format 2 by a newer version");
        refused("not key = value", profile("# ok\ngeneral.beep on\n"), 3, "not a \"key = value\" line");
        refused("no key", profile("= on\n"), 2, "not a \"key = value\" line");
        refused("unknown key", profile("general.beep = on\ngeneral.nope = on\n"), 3, "unknown setting general.nope");
        refused("check value", profile("general.beep = 1\n"), 2, "general.beep takes on or off");
        refused("not digits", profile("general.max_id_size = 1a\n"), 2, "general.max_id_size takes digits only");
        refused("too long", profile("general.max_id_size = 123\n"), 2, "general.max_id_size holds at most 2 digits");
        refused("unknown word", profile("general.reader = prox\n"), 2,
                "general.reader takes barcode, wiegand, magstripe");
        refused("alias value", profile("general.Check2 = on\n"), 2, "general.Check2 takes 0 or 1");
        refused("disabled cell", profile("barcode.i2of5.transmit.ss = on\n"), 2, "is disabled on the barcode screen");
        refused("duplicate", profile("general.beep = on\n\ngeneral.beep = off\n"), 4,
                "general.beep is already set on line 2");
        refused("key and alias", profile("general.reader = barcode\ngeneral.Option11 = 1\n"), 3,
                "general.reader is already set on line 2");
        refused("Const on, other Start", profile("wiegand.mask1.row1.const = on\nwiegand.mask1.row1.start = 05\n"), 2,
                "wiegand.mask1.row1.const on needs wiegand.mask1.row1.start = 00, not 05");
        refused("not UTF-8", profile("# ok\n\xff = on\n"), 3, "not UTF-8 text");
    }

    void parse()
    {
        QFETCH(int, line);
        QFETCH(QStringList, expect);
        const ProfileRead read = parseProfile(FETCHED(QByteArray, text), QStringLiteral("site.tfp"));
        if (line > 0) {
            const QString text = errorOf(read);
            QVERIFY2(text.startsWith(QStringLiteral("site.tfp:%1: ").arg(line)) && text.contains(expect.front()),
                     qPrintable(text));
            return;
        }
        QVERIFY2(std::holds_alternative<Settings>(read), qPrintable(errorOf(read)));
        Settings s = defaults();
        for (const QString &set : expect)
            QVERIFY(applySetting(s, set.section(QLatin1Char('='), 0, 0), set.section(QLatin1Char('='), 1), nullptr));
        QCOMPARE(assignments(std::get<Settings>(read)), assignments(s));
    }
};

QTEST_GUILESS_MAIN(TstConfigProfile)
#include "tst_config_profile.moc"
