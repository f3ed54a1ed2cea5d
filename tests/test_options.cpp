// SPDX-License-Identifier: GPL-3.0-or-later
// The options model: the number reading behind every box, loading with its clamps and
// refusals, the edit rules and change marks, saving only what is marked, and the store file.
#include "platform/SettingsStore.h"
#include "settings/NumberText.h"
#include "settings/Options.h"
#include "support/TestFiles.h"

#include <QDir>
#include <QFile>
#include <QSettings>
#include <QSignalSpy>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>
#include <functional>

using Option = Options::Option;

namespace {

// The keys present in the [Configurations] section of an INI file.
QStringList storedKeys(const QString& path)
{
    QSettings raw(path, QSettings::IniFormat);
    raw.beginGroup("Configurations");
    QStringList keys = raw.allKeys();
    keys.sort();
    return keys;
}

const char* const DefaultColors = "9633792;16777088;8421376;9633792;8421376;14206136;0";

QString joined(const Options::Colors& colors)
{
    QStringList out;
    for (const quint32 c : colors)
        out << QString::number(c);
    return out.join(';');
}

} // namespace

class TestOptions : public QObject
{
    Q_OBJECT
    QTemporaryDir m_home;

private Q_SLOTS:
    void initTestCase()
    {
        // The default store and download folder land in a temporary home.
        QVERIFY(m_home.isValid());
        qputenv("HOME", QFile::encodeName(m_home.path()));
        qputenv("XDG_CONFIG_HOME", QFile::encodeName(m_home.filePath("config")));
    }

    void numberReading_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<int>("expected");
        QTest::newRow("no number") << "abc" << 0;
        QTest::newRow("leading blanks") << " \t\r\n 42" << 42;
        QTest::newRow("trailing text") << "12 bytes" << 12;
        QTest::newRow("half down to even") << "2.5" << 2;
        QTest::newRow("half up to even") << "3.5" << 4;
        QTest::newRow("fraction only") << ".6" << 1;
        QTest::newRow("exponent") << "1.5e3" << 1500;
        QTest::newRow("exponent without digits") << "5e" << 5;
        QTest::newRow("negative exponent") << "25E-1" << 2;
        QTest::newRow("other digits") << QString::fromUtf8("\xD9\xA1\xD9\xA2") << 0;
        QTest::newRow("pinned high") << "99999999999" << std::numeric_limits<qint32>::max();
        QTest::newRow("pinned low") << "-1e300" << std::numeric_limits<qint32>::min();
        QTest::newRow("beyond double") << "1e999" << std::numeric_limits<qint32>::max();
    }
    void numberReading()
    {
        QFETCH(QString, text);
        QTEST(StrToLong(text), "expected");
    }

    void emptyStoreGivesDefaults()
    {
        QTemporaryDir dir;
        SettingsStore store(dir.filePath("settings.ini"));
        Options options;
        QVERIFY(options.LoadSettings(store).isEmpty());
        QVERIFY(!QFile::exists(store.FileName())); // loading never writes
        QVERIFY(options.BaseDirIsDefault());
        QCOMPARE(options.BaseDir(),
                 QStandardPaths::writableLocation(QStandardPaths::DownloadLocation));
        QVERIFY(options.BaseDir().startsWith(m_home.path()));
        QVERIFY(QDir(options.BaseDir()).exists()); // created when it is the default
    }

    // One value, stored and loaded or typed into its box, and what the option (its box
    // text where it has one) holds after; "refused": a stored value refused or an edit
    // not taken.
    void valueRules_data()
    {
        QTest::addColumn<QString>("key");
        QTest::addColumn<QString>("input");
        QTest::addColumn<QString>("result");
        QTest::addColumn<bool>("refused");
        QTest::addColumn<bool>("typed");
        const char* const rows[][6] = {
            {"parallel 0", "Max Parallel", "0", "1", "", ""},
            {"parallel 25", "Max Parallel", "25", "20", "", ""},
            {"parallel beyond 16 bits", "Max Parallel", "40000", "7", "r", ""},
            {"path -1", "Path Option", "-1", "0", "", ""},
            {"path 3", "Path Option", "3", "2", "", ""},
            {"pbar 11", "PBar UI", "11", "10", "", ""},
            {"pbar 0", "PBar UI", "0", "1", "", ""},
            {"tbar 8", "TBar UI", "8", "7", "", ""},
            {"try 0", "MAX-Try", "0", "2", "", ""},
            {"try 1 kept", "MAX-Try", "1", "1", "", ""},
            {"try beyond 16 bits", "MAX-Try", "1e6", "6", "r", ""},
            {"wait 5", "Busy-Wait", "5", "10", "", ""},
            {"wait 150", "Busy-Wait", "150", "120", "", ""},
            {"wait 256", "Busy-Wait", "256", "10", "r", ""},
            {"timeout 3", "Connect-Timeout", "3", "10", "", ""},
            {"timeout 500", "Connect-Timeout", "500", "500", "", ""},
            {"timeout no number", "Connect-Timeout", "nan", "10", "", ""},
            {"min size rounded", "MinImgSize", "12.5", "12", "", ""},
            {"min size beyond 32 bits", "MinImgSize", "5e9", "0", "r", ""},
            {"check 2 is not checked", "Keep-Alive", "2", "0", "", ""},
            {"check 3", "Keep-Alive", "3", "1", "r", ""},
            {"check -1", "Connect At Once", "-1", "0", "r", ""},
            {"check 1", "Clear List", "1", "1", "", ""},
            {"extensions as stored", "DataExt", "jpg/1|gif/0", "jpg/1|gif/0", "", ""},
            {"colours", "ColorSettings", "1;2;3;4;5;6;7;", "1;2;3;4;5;6;7", "", ""},
            {"colours, some", "ColorSettings", "5;6", "5;6;8421376;9633792;8421376;14206136;0", "",
             ""},
            {"colour beyond 32 bits", "ColorSettings", "1;1e20;3", DefaultColors, "r", ""},
            {"empty scheme changes nothing", "ColorSettings", "", DefaultColors, "", ""},
            {"window rectangle", "WinRect", "1|2|3|4", "1|2|3|4", "", ""},
            {"typed try below", "MAX-Try", "1", "2", "", "t"},
            {"typed try above", "MAX-Try", "12", "10", "", "t"},
            {"typed try fraction", "MAX-Try", "6.5", "6", "", "t"},
            {"typed wait below", "Busy-Wait", "4", "10", "", "t"},
            {"typed wait above", "Busy-Wait", "150", "120", "", "t"},
            {"typed wait within a byte", "Busy-Wait", "255.4", "120", "", "t"},
            {"typed wait negative zero", "Busy-Wait", "-0.4", "10", "", "t"},
            {"typed wait beyond a byte", "Busy-Wait", "300", "60", "r", "t"},
            {"typed wait far beyond", "Busy-Wait", "1e99", "60", "r", "t"},
            {"typed timeout below", "Connect-Timeout", "3", "10", "", "t"},
            {"typed timeout beyond 16 bits", "Connect-Timeout", "1e12", "32767", "", "t"},
            {"typed size with text", "MinImgSize", "12k", "12", "", "t"},
            {"typed size beyond 32 bits", "MinImgSize", "1e15", "2147483647", "", "t"},
        };
        for (const auto& r : rows)
            QTest::newRow(r[0]) << QString(r[1]) << QString(r[2]) << QString(r[3]) << (*r[4] != 0)
                                << (*r[5] != 0);
    }
    void valueRules()
    {
        QFETCH(QString, key);
        QFETCH(QString, input);
        QFETCH(bool, refused);
        QFETCH(bool, typed);
        QTemporaryDir dir;
        SettingsStore store(dir.filePath("in.ini"));
        Options options;
        if (!typed) {
            QVERIFY(store.Set(key, input));
            options.setListUrl(true); // a change before a load does not survive it
            QCOMPARE(options.LoadSettings(store), refused ? QStringList{key} : QStringList());
            QVERIFY(!options.SaveEnabled() && !options.ListUrl());
        } else {
            options.EditBusyWait("60");
            options.ClearSettingMarks();
            QString shown;
            if (key == "MAX-Try")
                shown = options.EditMaxTry(input);
            else if (key == "Busy-Wait")
                shown = options.EditBusyWait(input);
            else if (key == "Connect-Timeout")
                shown = options.EditConnectTimeout(input);
            else { // the size box keeps what was typed until it is left
                options.EditMinImgSize(input);
                QCOMPARE(options.MinImgSizeText(), input);
                shown = options.ValidateMinImgSize();
            }
            QCOMPARE(options.SaveEnabled(), !refused);
            QTEST(shown, refused ? "input" : "result");
        }
        const auto n = [](qint64 v) { return QString::number(v); };
        const QHash<QString, QString> now = {{"Max Parallel", n(options.MaxParallel())},
                                             {"Path Option", n(options.PathOption())},
                                             {"PBar UI", n(options.PBarStyle())},
                                             {"TBar UI", n(options.TBarStyle())},
                                             {"MAX-Try", options.MaxTryText()},
                                             {"Busy-Wait", options.BusyWaitText()},
                                             {"Connect-Timeout", options.ConnectTimeoutText()},
                                             {"MinImgSize", n(options.MinImgSize())},
                                             {"Keep-Alive", n(options.KeepAlive())},
                                             {"Connect At Once", n(options.ConnectAtOnce())},
                                             {"Clear List", n(options.ClearList())},
                                             {"DataExt", options.DataExt()},
                                             {"ColorSettings", joined(options.ColorValues())},
                                             {"WinRect", options.WinRect()}};
        QTEST(now.value(key), "result");
        QCOMPARE(options.TryCount() * 10000 + options.BusyWait() * 100 + options.ConnTimeout(),
                 options.MaxTryText().toInt() * 10000 + options.BusyWaitText().toInt() * 100 +
                     options.ConnectTimeoutText().toInt());
    }

    // A file written by hand, badly formed in places, with refused values among good
    // ones: each bad value costs only its option; a save writes the edited keys over
    // the hand-written ones and leaves the rest.
    void handWrittenFileLoadsEditsAndSaves()
    {
        QTemporaryDir dir;
        const QString path = dir.filePath("settings.ini");
        const QString base = dir.filePath(QString::fromUtf8("D\xC3\xA9p\xC3\xB4t"));
        writeFile(path, "; written by hand\n[Configurations\nnonsense line\n[Configurations]\n"
                        "Base%20Dir=" +
                            base.toUtf8() +
                            "\nMax%20Parallel=40000\n"
                            "Clear%20List=1\nKeep-Alive=0\nColorSettings=\"1;2;3;4;5;6;7;\"\n"
                            "MinImgSize=2048\nDataExt=jpg/1,gif/0\nUrlExt=html/1\nMAX-Try=1e6\n"
                            "Busy-Wait=30\nWinRect=100|200|9000|7000\n\"unterminated\n");
        SettingsStore store(path);
        Options options;
        QCOMPARE(options.LoadSettings(store), QStringList({"Max Parallel", "MAX-Try"}));
        QCOMPARE(options.BaseDir(), base);
        QVERIFY(!options.BaseDirIsDefault());
        QVERIFY(!QDir(base).exists()); // a stored folder is used as stored
        QVERIFY(options.ClearList() && !options.KeepAlive());
        QCOMPARE(options.ColorValues(), (Options::Colors{1, 2, 3, 4, 5, 6, 7}));
        QCOMPARE(options.DataExt(), "jpg/1,gif/0");
        QCOMPARE(options.BusyWait(), 30);
        QCOMPARE(options.MinImgSize(), 2048);

        QCOMPARE(options.SliderMouseUp(2000, 2000), 20);
        options.setClearList(false);
        options.setUrlExt("htm/1");
        QVERIFY(options.SaveSettings(store));
        QVERIFY(!options.SaveEnabled() && !options.AnyMarked());
        const QList<QPair<QString, QString>> expected = {
            {"Base Dir", base},  {"Max Parallel", "20"}, {"Clear List", "0"},
            {"Keep-Alive", "0"}, {"UrlExt", "htm/1"},    {"DataExt", "jpg/1,gif/0"},
            {"MAX-Try", "1e6"},  {"MinImgSize", "2048"}, {"WinRect", "100|200|9000|7000"},
        };
        SettingsStore reread(path);
        for (const auto& [key, value] : expected)
            QCOMPARE(reread.Get(key, "<missing>"), value);
        QCOMPARE(storedKeys(path).size(), 11);
        QVERIFY(readFile(path).contains("Max%20Parallel=20\n"));
    }

    void sliderRule_data()
    {
        QTest::addColumn<int>("x");
        QTest::addColumn<int>("width");
        QTest::addColumn<int>("steps");
        QTest::addColumn<int>("expected");
        QTest::newRow("past the right end") << 2600 << 2000 << 20 << 20;
        QTest::newRow("left of the slider") << -40 << 2000 << 20 << 1;
        QTest::newRow("exactly on a step") << 700 << 2000 << 20 << 7;
        QTest::newRow("just past a step") << 701 << 2000 << 20 << 8;
        QTest::newRow("width not a multiple") << 1999 << 2019 << 20 << 20;
        QTest::newRow("no width") << 3 << 0 << 20 << 3;
        QTest::newRow("style, rest is the last step") << 149 << 150 << 7 << 7;
        QTest::newRow("style, inside a step") << 42 << 150 << 7 << 2;
    }
    void sliderRule()
    {
        QFETCH(int, x);
        QFETCH(int, width);
        QFETCH(int, steps);
        QFETCH(int, expected);
        QCOMPARE(Options::SliderStep(x, width, steps), expected);
        Options options;
        if (steps == 20) {
            QCOMPARE(options.SliderMouseUp(x, width), expected);
            QCOMPARE(options.MaxParallel(), expected);
        }
    }

    void marksAndSaveEnabled()
    {
        QTemporaryDir dir;
        SettingsStore store(dir.filePath("settings.ini"));
        Options options;
        options.LoadSettings(store);
        QSignalSpy enabled(&options, &Options::saveEnabledChanged);

        // Every way of editing marks exactly its own option, even with no change.
        QList<QPair<Option, std::function<void()>>> edits = {
            {Option::MaxParallel, [&] { options.SliderMouseUp(10, 200); }},
            {Option::MaxParallel, [&] { options.setMaxParallel(7); }},
            {Option::TryCount, [&] { options.EditMaxTry(options.MaxTryText()); }},
            {Option::BusyWait, [&] { options.EditBusyWait("10"); }},
            {Option::ConnTimeout, [&] { options.EditConnectTimeout("20"); }},
            {Option::MinImgSize, [&] { options.EditMinImgSize("0"); }},
            {Option::PathOption, [&] { options.setPathOption(0); }},
            {Option::DataExt, [&] { options.setDataExt(options.DataExt()); }},
            {Option::UrlExt, [&] { options.setUrlExt("htm/1"); }},
        };
        for (int i = 0; i < Options::OptionCount; ++i) {
            if (Options::IsCheckOption(Option(i)))
                edits.append(
                    {Option(i), [&, i] { options.setCheck(Option(i), options.Check(Option(i))); }});
        }
        QCOMPARE(edits.size(), 9 + 12);
        for (const auto& [option, edit] : edits) {
            options.ClearSettingMarks();
            edit();
            QVERIFY(options.SaveEnabled());
            for (int i = 0; i < Options::OptionCount; ++i)
                QCOMPARE(options.Marked(Option(i)), Option(i) == option);
        }
        QCOMPARE(enabled.size(), 2 * edits.size() - 1);

        // Validating the size box, the dialog's options, refused values and a
        // non-check option as a check carry no mark.
        options.ClearSettingMarks();
        options.ValidateMinImgSize();
        options.setPBarStyle(3);
        options.setTBarStyle(2);
        QVERIFY(options.setColorSettings("1;2;3;4;5;6;7"));
        QVERIFY(!options.setColorSettings("1e30") && options.setColorSettings(""));
        QCOMPARE(options.ColorSettings(), "1;2;3;4;5;6;7");
        options.setPathOption(3);
        options.setPathOption(-1);
        options.setCheck(Option::MaxParallel, true);
        QVERIFY(!options.SaveEnabled() && !options.AnyMarked());
        QCOMPARE(options.PathOption(), 0);

        // A load clears every mark.
        options.setKeepAlive(false);
        options.LoadSettings(store);
        QVERIFY(!options.SaveEnabled() && !options.AnyMarked());
        QVERIFY(options.KeepAlive());
    }

    void saveWritesOnlyMarkedKeysAndKeepsMarksOnFailure()
    {
        QTemporaryDir dir;
        // The store's folder is a plain file at first: nothing can be written below it.
        writeFile(dir.filePath("blocked"), "x");
        const QString path = dir.filePath("blocked/settings.ini");
        SettingsStore store(path);
        Options options;
        options.LoadSettings(store);
        options.setKeepAlive(false);
        options.setPBarStyle(5); // options without a mark are never written by it
        options.setColorSettings("1;2");
        QVERIFY(!options.SaveSettings(store));
        QVERIFY(options.SaveEnabled() && options.Marked(Option::KeepAlive));

        QVERIFY(QFile::remove(dir.filePath("blocked")));
        QVERIFY(QDir(dir.path()).mkdir("blocked"));
        QVERIFY(options.SaveSettings(store));
        QVERIFY(!options.SaveEnabled());
        QCOMPARE(storedKeys(path), QStringList{"Keep-Alive"});
        QCOMPARE(SettingsStore(path).Get("Keep-Alive"), "0");
        // Saving with nothing marked writes nothing; the dialog's keys only those given.
        options.SetSaveEnabled(true);
        QVERIFY(options.SaveSettings(store));
        QCOMPARE(storedKeys(path), QStringList{"Keep-Alive"});
        QVERIFY(Options::SaveInterfaceSettings(store, {}, 4, {}, QString("1;2")));
        QVERIFY(Options::SaveInterfaceSettings(store, dir.path(), {}, 2, {}));
        QCOMPARE(storedKeys(path),
                 QStringList({"Base Dir", "ColorSettings", "Keep-Alive", "PBar UI", "TBar UI"}));
        QVERIFY(options.SaveWindowRect(store, QRect(-300, 15, 12000, 9000)));
        QCOMPARE(options.WinRect(), "-300|15|12000|9000");
        Options other;
        other.LoadWindowRect(store);
        QCOMPARE(other.WinRect(), "-300|15|12000|9000");
    }

    // The stored colour scheme and window rectangle texts; "-" is a refusal.
    void parsing_data()
    {
        QTest::addColumn<QString>("kind");
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("expected");
        const char* const rows[][4] = {
            {"colours, extra fields", "c", "1;2;3;4;5;6;7;8;junk;", "1;2;3;4;5;6;7"},
            {"colours, empty fields", "c", "1;;3;4;5;6;", "1;0;3;4;5;6;0"},
            {"colours, few", "c", "1;2", "1;2;13;14;15;16;17"},
            {"colours, signed and full", "c", "-2147483633;4294967295;16777215",
             "2147483663;4294967295;16777215;14;15;16;17"},
            {"colours, beyond 32 bits", "c", "1;4294967296", "-"},
            {"rect, fractions and text", "r", "10.5|2|300px|400", "10,2 300x400"},
            {"rect, three fields", "r", "1|2|3", "-"},
            {"rect, negative width", "r", "1|2|-3|4", "-"},
            {"rect, beyond 32 bits", "r", "1|2|3|99999999999", "-"},
        };
        for (const auto& r : rows)
            QTest::newRow(r[0]) << QString(r[1]) << QString(r[2]) << QString(r[3]);
    }
    void parsing()
    {
        QFETCH(QString, kind);
        QFETCH(QString, text);
        QString got = "-";
        if (kind == "c") {
            if (const auto c = Options::ParseColors(text, {11, 12, 13, 14, 15, 16, 17}))
                got = joined(*c);
        } else if (const auto r = Options::ParseWinRect(text)) {
            got = QString("%1,%2 %3x%4").arg(r->x()).arg(r->y()).arg(r->width()).arg(r->height());
        }
        QTEST(got, "expected");
    }

    void baseDirRefusal()
    {
        QTemporaryDir dir;
        writeFile(dir.filePath("file"), "x");
        const QString readOnly = dir.filePath("ro");
        QVERIFY(QDir().mkdir(readOnly));
        QVERIFY(QFile::setPermissions(readOnly, QFileDevice::ReadOwner | QFileDevice::ExeOwner));
        QVERIFY(Options::BaseDirRefusal(dir.path()).isEmpty());
        QVERIFY(Options::BaseDirRefusal("relative/folder").contains("full path"));
        QVERIFY(Options::BaseDirRefusal("").contains("full path"));
        QVERIFY(Options::BaseDirRefusal(dir.filePath("missing")).contains("does not exist"));
        QVERIFY(Options::BaseDirRefusal(dir.filePath("file")).contains("is not a folder"));
        QVERIFY(Options::BaseDirRefusal(readOnly).contains("read-only"));
        QFile::setPermissions(readOnly, QFileDevice::ReadOwner | QFileDevice::WriteOwner |
                                            QFileDevice::ExeOwner);
    }

    void storeFileAndEscaping()
    {
        // The user's store: $XDG_CONFIG_HOME/Harvex®/Harvex®.ini.
        const QString product = QString::fromUtf8("Harvex\xC2\xAE");
        QCOMPARE(SettingsStore().FileName(),
                 m_home.filePath("config/" + product + "/" + product + ".ini"));

        // Texts that INI syntax would otherwise bend come back unchanged.
        QTemporaryDir dir;
        const QString path = dir.filePath("settings.ini");
        const QStringList texts = {"1;2;3;",     "a, b, c",     " padded ", "x=y", "@Variant(0)",
                                   "\"quoted\"", "back\\slash", "#hash",    ""};
        for (int i = 0; i < texts.size(); ++i)
            QVERIFY(SettingsStore(path).Set(QString("Key %1").arg(i), texts[i]));
        SettingsStore store(path);
        for (int i = 0; i < texts.size(); ++i)
            QCOMPARE(store.Get(QString("Key %1").arg(i), "<missing>"), texts[i]);
        QVERIFY(store.Contains("Key 8") && !store.Contains("Key 9"));
        QCOMPARE(store.Get("Key 9", "fallback"), "fallback");
    }
};

QTEST_GUILESS_MAIN(TestOptions)
#include "test_options.moc"
