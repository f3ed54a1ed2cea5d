// SPDX-License-Identifier: GPL-3.0-or-later
// The options model: loading from and saving to the settings store, the
// number reading behind every box, the edit rules, clamps and change marks.
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

class TestOptions : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void initTestCase();
    void integerValue_data();
    void integerValue();
    void emptyStoreGivesDefaults();
    void handWrittenFileLoadsEditsAndSaves();
    void loadClamps_data();
    void loadClamps();
    void badStoredValueFallsBackAndLoadingGoesOn();
    void editRules();
    void sliderRule_data();
    void sliderRule();
    void styleSliders();
    void baseDirRefusal();
    void marksAndSaveEnabled();
    void saveWritesOnlyMarkedKeys();
    void failedSaveKeepsMarks();
    void badlyFormedFileIsReadAndRewritten();
    void interfaceKeysAndWindowRect();
    void colorSettings();
    void storeFileAndEscaping();

private:
    QTemporaryDir m_home;
};

namespace {

QString iniIn(const QTemporaryDir& dir)
{
    return dir.filePath("settings.ini");
}

// The keys present in the [Configurations] section of an INI file.
QStringList storedKeys(const QString& path)
{
    QSettings raw(path, QSettings::IniFormat);
    raw.beginGroup("Configurations");
    QStringList keys = raw.allKeys();
    keys.sort();
    return keys;
}

} // namespace

void TestOptions::initTestCase()
{
    // Whatever runs this program, the default store and download folder land
    // in a temporary home, never in the user's.
    QVERIFY(m_home.isValid());
    qputenv("HOME", QFile::encodeName(m_home.path()));
    qputenv("XDG_CONFIG_HOME", QFile::encodeName(m_home.filePath("config")));
}

void TestOptions::integerValue_data()
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

void TestOptions::integerValue()
{
    QFETCH(QString, text);
    QFETCH(int, expected);
    QCOMPARE(StrToLong(text), expected);
    // The checked reading refuses instead of pinning.
    QCOMPARE(NumberText::IntegerValue(QStringLiteral("40000"), -32768, 32767), std::nullopt);
    QCOMPARE(NumberText::IntegerValue(QStringLiteral("1e999"), 0, 10), std::nullopt);
    QCOMPARE(NumberText::IntegerValue(QStringLiteral("9.3e18"), INT64_MIN, INT64_MAX),
             std::nullopt);
}

void TestOptions::emptyStoreGivesDefaults()
{
    QTemporaryDir dir;
    const QString path = iniIn(dir);
    SettingsStore store(path);
    Options options;
    QSignalSpy changed(&options, &Options::optionChanged);
    QVERIFY(options.LoadSettings(store).isEmpty());
    QVERIFY(!QFile::exists(path)); // loading never writes

    QCOMPARE(changed.size(), Options::OptionCount);
    QVERIFY(!options.SaveEnabled());
    QVERIFY(options.BaseDirIsDefault());
    QCOMPARE(options.BaseDir(), QStandardPaths::writableLocation(QStandardPaths::DownloadLocation));
    QVERIFY(options.BaseDir().startsWith(m_home.path()));
    QVERIFY(QDir(options.BaseDir()).exists()); // created when it is the default
}

void TestOptions::handWrittenFileLoadsEditsAndSaves()
{
    QTemporaryDir dir;
    const QString path = iniIn(dir);
    const QString base = dir.filePath(QString::fromUtf8("D\xC3\xA9p\xC3\xB4t"));
    writeFile(path, "; written by hand\n"
                    "[Configurations]\n"
                    "Base%20Dir=" +
                        base.toUtf8() +
                        "\n"
                        "Max%20Parallel=12\n"
                        "Clear%20List=1\n"
                        "Keep-Alive=0\n"
                        "Detect%20Resume=0\n"
                        "Log%20Reply=1\n"
                        "Log%20Request=1\n"
                        "Redirection=1\n"
                        "Path%20Option=1\n"
                        "PBar%20UI=4\n"
                        "TBar%20UI=3\n"
                        "ColorSettings=\"1;2;3;4;5;6;7;\"\n"
                        "Timer%20Schedule=1\n"
                        "Interval%20Connect=1\n"
                        "HTTP%20Version=1\n"
                        "ListUrl=1\n"
                        "MinImgSize=2048\n"
                        "DataExt=jpg/1|gif/0\n"
                        "UrlExt=html/1\n"
                        "Connect%20At%20Once=1\n"
                        "Reuse%20Connections=1\n"
                        "MAX-Try=8\n"
                        "Busy-Wait=30\n"
                        "Connect-Timeout=45\n"
                        "WinRect=100|200|9000|7000\n");
    SettingsStore store(path);
    Options options;
    QVERIFY(options.LoadSettings(store).isEmpty());

    QCOMPARE(options.BaseDir(), base);
    QVERIFY(!options.BaseDirIsDefault());
    QVERIFY(!QDir(base).exists()); // a stored folder is used as stored
    QCOMPARE(options.MaxParallel(), 12);
    QVERIFY(options.ClearList() && !options.KeepAlive() && !options.DetectResume());
    QVERIFY(options.LogReply() && options.LogRequest() && options.Redirection());
    QCOMPARE(options.PathOption(), 1);
    QCOMPARE(options.PBarStyle(), 4);
    QCOMPARE(options.TBarStyle(), 3);
    QCOMPARE(options.ColorSettings(), "1;2;3;4;5;6;7;");
    QCOMPARE(options.ColorValues(), (Options::Colors{1, 2, 3, 4, 5, 6, 7}));
    QVERIFY(options.TimerSchedule() && options.IntervalConnect() && options.HttpVersion());
    QVERIFY(options.ListUrl() && options.ConnectAtOnce() && options.ReuseConnections());
    QCOMPARE(options.MinImgSize(), 2048);
    QCOMPARE(options.DataExt(), "jpg/1|gif/0");
    QCOMPARE(options.UrlExt(), "html/1");
    QCOMPARE(options.TryCount(), 8);
    QCOMPARE(options.BusyWait(), 30);
    QCOMPARE(options.ConnTimeout(), 45);
    QCOMPARE(options.WinRect(), "100|200|9000|7000");
    QVERIFY(!options.SaveEnabled());

    // Edits through the rules the controls call.
    QCOMPARE(options.EditMaxTry("12"), "10");
    QCOMPARE(options.EditBusyWait("150"), "120");
    QCOMPARE(options.EditConnectTimeout("3"), "10");
    options.EditMinImgSize("4096.5 bytes");
    QCOMPARE(options.ValidateMinImgSize(), "4096");
    QCOMPARE(options.SliderMouseUp(2000, 2000), 20);
    options.setClearList(false);
    options.setHttpVersion(false);
    options.setPathOption(2);
    options.setDataExt("png/1");
    options.setReuseConnections(false);
    QVERIFY(options.SaveEnabled());
    QVERIFY(options.SaveSettings(store));
    QVERIFY(!options.SaveEnabled());
    QVERIFY(!options.AnyMarked());

    // The edited values are written over the hand-written ones; the rest stay.
    SettingsStore reread(path);
    const QList<QPair<QString, QString>> expected = {
        {"Base Dir", base},
        {"Max Parallel", "20"},
        {"Clear List", "0"},
        {"Path Option", "2"},
        {"HTTP Version", "0"},
        {"MinImgSize", "4096"},
        {"DataExt", "png/1"},
        {"UrlExt", "html/1"},
        {"Reuse Connections", "0"},
        {"MAX-Try", "10"},
        {"Busy-Wait", "120"},
        {"Connect-Timeout", "10"},
        {"WinRect", "100|200|9000|7000"},
    };
    for (const auto& [key, value] : expected)
        QCOMPARE(reread.Get(key, "<missing>"), value);
    QCOMPARE(storedKeys(path).size(), 25);
    const QByteArray raw = readFile(path);
    QVERIFY(raw.contains("Max%20Parallel=20\n"));
}

void TestOptions::loadClamps_data()
{
    QTest::addColumn<QString>("key");
    QTest::addColumn<QString>("stored");
    QTest::addColumn<int>("expected");
    QTest::addColumn<QString>("boxText"); // empty when the option has no box
    struct Row
    {
        const char *name, *key, *stored;
        int expected;
        const char* boxText;
    };
    const Row rows[] = {
        {"parallel 0", "Max Parallel", "0", 1, ""},
        {"parallel 25", "Max Parallel", "25", 20, ""},
        {"path -1", "Path Option", "-1", 0, ""},
        {"path 3", "Path Option", "3", 2, ""},
        {"pbar 11", "PBar UI", "11", 10, ""},
        {"tbar 8", "TBar UI", "8", 7, ""},
        {"try 0", "MAX-Try", "0", 2, "2"},
        {"try 1 kept", "MAX-Try", "1", 1, "1"},
        {"wait 5", "Busy-Wait", "5", 10, "10"},
        {"wait 150", "Busy-Wait", "150", 120, "120"},
        {"wait 256 refused", "Busy-Wait", "256", 10, "10"},
        {"timeout 3", "Connect-Timeout", "3", 10, "10"},
        {"timeout 500", "Connect-Timeout", "500", 500, "500"},
        {"min size rounded", "MinImgSize", "12.5", 12, "12"},
        {"check 2 is not checked", "Keep-Alive", "2", 0, ""},
    };
    for (const Row& r : rows)
        QTest::newRow(r.name) << QString(r.key) << QString(r.stored) << r.expected
                              << QString(r.boxText);
}

void TestOptions::loadClamps()
{
    QFETCH(QString, key);
    QFETCH(QString, stored);
    QFETCH(int, expected);
    QFETCH(QString, boxText);

    QTemporaryDir dir;
    SettingsStore store(iniIn(dir));
    QVERIFY(store.Set(key, stored));
    Options options;
    options.LoadSettings(store);
    const QHash<QString, std::function<int()>> value = {
        {"Max Parallel", [&] { return options.MaxParallel(); }},
        {"Path Option", [&] { return options.PathOption(); }},
        {"PBar UI", [&] { return options.PBarStyle(); }},
        {"TBar UI", [&] { return options.TBarStyle(); }},
        {"MAX-Try", [&] { return options.TryCount(); }},
        {"Busy-Wait", [&] { return options.BusyWait(); }},
        {"Connect-Timeout", [&] { return options.ConnTimeout(); }},
        {"MinImgSize", [&] { return int(options.MinImgSize()); }},
        {"Keep-Alive", [&] { return int(options.KeepAlive()); }},
        {"Clear List", [&] { return int(options.ClearList()); }},
    };
    QCOMPARE(value[key](), expected);
    const QHash<QString, QString> box = {{"MAX-Try", options.MaxTryText()},
                                         {"Busy-Wait", options.BusyWaitText()},
                                         {"Connect-Timeout", options.ConnectTimeoutText()},
                                         {"MinImgSize", options.MinImgSizeText()}};
    if (!boxText.isEmpty())
        QCOMPARE(box[key], boxText);
    QVERIFY(!options.SaveEnabled());
}

void TestOptions::badStoredValueFallsBackAndLoadingGoesOn()
{
    QTemporaryDir dir;
    SettingsStore store(iniIn(dir));
    // Bad values early, middle and late in the load order, good ones around.
    QVERIFY(store.Set("Max Parallel", "40000")); // beyond a 16-bit integer
    QVERIFY(store.Set("Clear List", "1"));
    QVERIFY(store.Set("Keep-Alive", "3")); // no check-box value
    QVERIFY(store.Set("Detect Resume", "0"));
    QVERIFY(store.Set("ColorSettings", "1;1e20;3")); // a colour beyond 32 bits
    QVERIFY(store.Set("HTTP Version", "1"));
    QVERIFY(store.Set("MinImgSize", "5e9")); // beyond a 32-bit integer
    QVERIFY(store.Set("DataExt", "gif/1"));
    QVERIFY(store.Set("Connect At Once", "-1"));
    QVERIFY(store.Set("Reuse Connections", "1"));
    QVERIFY(store.Set("MAX-Try", "1e6"));
    QVERIFY(store.Set("Busy-Wait", "60"));
    QVERIFY(store.Set("Connect-Timeout", "nan")); // reads as 0, so 10
    QVERIFY(store.Set("WinRect", "1|2|3|4"));

    Options options;
    // Options changed before a load do not survive it.
    options.setListUrl(true);
    QStringList refused = options.LoadSettings(store);
    refused.sort();
    QCOMPARE(refused, QStringList({"ColorSettings", "Connect At Once", "Keep-Alive", "MAX-Try",
                                   "Max Parallel", "MinImgSize"}));
    QCOMPARE(options.MaxParallel(), 7);
    QVERIFY(options.ClearList());
    QVERIFY(options.KeepAlive());
    QVERIFY(!options.DetectResume());
    QCOMPARE(options.ColorSettings(), "9633792;16777088;8421376;9633792;8421376;14206136;0");
    QCOMPARE(options.ColorValues()[1], 16777088u);
    QVERIFY(options.HttpVersion());
    QVERIFY(!options.ListUrl());
    QCOMPARE(options.MinImgSize(), 0);
    QCOMPARE(options.DataExt(), "gif/1");
    QVERIFY(!options.ConnectAtOnce());
    QVERIFY(options.ReuseConnections());
    QCOMPARE(options.TryCount(), 6);
    QCOMPARE(options.MaxTryText(), "6");
    QCOMPARE(options.BusyWait(), 60);
    QCOMPARE(options.ConnTimeout(), 10);
    QCOMPARE(options.WinRect(), "1|2|3|4");
    QVERIFY(!options.SaveEnabled());
    QVERIFY(!options.AnyMarked());
}

void TestOptions::editRules()
{
    Options options;
    // Try count, on leaving the box: 2..10.
    QCOMPARE(options.EditMaxTry("1"), "2");
    QCOMPARE(options.EditMaxTry("12"), "10");
    QCOMPARE(options.EditMaxTry("6.5"), "6");
    QCOMPARE(options.TryCount(), 6);
    QCOMPARE(options.MaxTryText(), "6");

    // Wait, on every edit: 10..120, and a number outside a byte is not taken.
    QCOMPARE(options.EditBusyWait("45"), "45");
    QCOMPARE(options.EditBusyWait("4"), "10");
    QCOMPARE(options.EditBusyWait("150"), "120");
    QCOMPARE(options.EditBusyWait("77"), "77");
    options.ClearSettingMarks();
    QCOMPARE(options.EditBusyWait("300"), "300");
    QCOMPARE(options.EditBusyWait("1e99"), "1e99");
    QCOMPARE(options.BusyWait(), 77);
    QCOMPARE(options.BusyWaitText(), "77");
    QVERIFY(!options.Marked(Option::BusyWait));
    QVERIFY(!options.SaveEnabled());
    QCOMPARE(options.EditBusyWait("255.4"), "120");
    QCOMPARE(options.EditBusyWait("-0.4"), "10");

    // Timeout, on leaving the box: 10 at least, no upper limit of its own.
    QCOMPARE(options.EditConnectTimeout("3"), "10");
    QCOMPARE(options.EditConnectTimeout("500"), "500");
    QCOMPARE(options.EditConnectTimeout("1e12"), "32767");
    QCOMPARE(options.ConnTimeout(), 32767);

    // Minimum image size: kept as typed until the box is left.
    options.EditMinImgSize("12k");
    QCOMPARE(options.MinImgSizeText(), "12k");
    QCOMPARE(options.MinImgSize(), 12);
    QCOMPARE(options.ValidateMinImgSize(), "12");
    options.EditMinImgSize("1e15");
    QCOMPARE(options.ValidateMinImgSize(), "2147483647");

    // Path option buttons outside 0..2 do not exist.
    options.ClearSettingMarks();
    options.setPathOption(3);
    options.setPathOption(-1);
    QCOMPARE(options.PathOption(), 0);
    QVERIFY(!options.SaveEnabled());
    options.setMaxParallel(50);
    QCOMPARE(options.MaxParallel(), 20);
}

void TestOptions::sliderRule_data()
{
    QTest::addColumn<int>("x");
    QTest::addColumn<int>("width");
    QTest::addColumn<int>("expected");
    QTest::newRow("past the right end") << 2600 << 2000 << 20;
    QTest::newRow("left of the slider") << -40 << 2000 << 1;
    QTest::newRow("exactly on a step") << 700 << 2000 << 7;
    QTest::newRow("just past a step") << 701 << 2000 << 8;
    QTest::newRow("width not a multiple") << 1999 << 2019 << 20;
    QTest::newRow("no width") << 3 << 0 << 3;
}

void TestOptions::styleSliders()
{
    // The interface dialog's sliders: 10 and 7 steps; a click at the left edge gives 1.
    QCOMPARE(Options::SliderStep(149, 150, 7), 7); // 150 = 7 * 21 + 3: the rest is the last step
    QCOMPARE(Options::SliderStep(42, 150, 7), 2);
}

void TestOptions::baseDirRefusal()
{
    QTemporaryDir dir;
    const QString file = dir.filePath("file");
    writeFile(file, "x");
    const QString readOnly = dir.filePath("ro");
    QVERIFY(QDir().mkdir(readOnly));
    QVERIFY(QFile::setPermissions(readOnly, QFileDevice::ReadOwner | QFileDevice::ExeOwner));
    QVERIFY(Options::BaseDirRefusal(dir.path()).isEmpty());
    QVERIFY(Options::BaseDirRefusal("relative/folder").contains("full path"));
    QVERIFY(Options::BaseDirRefusal("").contains("full path"));
    QVERIFY(Options::BaseDirRefusal(dir.filePath("missing")).contains("does not exist"));
    QVERIFY(Options::BaseDirRefusal(file).contains("is not a folder"));
    QVERIFY(Options::BaseDirRefusal(readOnly).contains("read-only"));
    QFile::setPermissions(readOnly,
                          QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
}

void TestOptions::sliderRule()
{
    QFETCH(int, x);
    QFETCH(int, width);
    QFETCH(int, expected);
    Options options;
    QCOMPARE(options.SliderMouseUp(x, width), expected);
    QCOMPARE(options.MaxParallel(), expected);
    QVERIFY(options.Marked(Option::MaxParallel));
    QVERIFY(options.SaveEnabled());
}

void TestOptions::marksAndSaveEnabled()
{
    QTemporaryDir dir;
    SettingsStore store(iniIn(dir));
    Options options;
    options.LoadSettings(store);
    QSignalSpy enabled(&options, &Options::saveEnabledChanged);

    // Every way of editing marks exactly its own option, even with no change.
    const QList<QPair<Option, std::function<void()>>> edits = {
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
    for (const auto& [option, edit] : edits) {
        options.ClearSettingMarks();
        edit();
        QVERIFY(options.Marked(option));
        QVERIFY(options.SaveEnabled());
        for (int i = 0; i < Options::OptionCount; ++i)
            QCOMPARE(options.Marked(Option(i)), Option(i) == option);
    }
    int checkBoxes = 0;
    for (int i = 0; i < Options::OptionCount; ++i) {
        const Option option = Option(i);
        if (!Options::IsCheckOption(option))
            continue;
        ++checkBoxes;
        options.ClearSettingMarks();
        options.setCheck(option, options.Check(option));
        QVERIFY(options.Marked(option));
        QVERIFY(options.SaveEnabled());
    }
    QCOMPARE(checkBoxes, 12);
    QCOMPARE(enabled.size(), 2 * (edits.size() + checkBoxes) - 1);

    // Validating the size box and the dialog's options carry no mark.
    options.ClearSettingMarks();
    options.ValidateMinImgSize();
    options.setPBarStyle(3);
    options.setTBarStyle(2);
    options.setColorSettings("1;2;3;4;5;6;7");
    options.setCheck(Option::MaxParallel, true); // not a check box: ignored
    QVERIFY(!options.SaveEnabled());
    QVERIFY(!options.AnyMarked());

    // A load clears every mark.
    options.setKeepAlive(false);
    QVERIFY(options.SaveEnabled());
    options.LoadSettings(store);
    QVERIFY(!options.SaveEnabled());
    QVERIFY(!options.AnyMarked());
    QVERIFY(options.KeepAlive());
}

void TestOptions::saveWritesOnlyMarkedKeys()
{
    QTemporaryDir dir;
    const QString path = iniIn(dir);
    SettingsStore store(path);
    Options options;
    options.LoadSettings(store);

    options.setKeepAlive(false);
    QVERIFY(options.SaveSettings(store));
    QCOMPARE(storedKeys(path), QStringList{"Keep-Alive"});
    QCOMPARE(store.Get("Keep-Alive"), "0");
    QVERIFY(!options.SaveEnabled());

    // Saving with nothing marked writes nothing.
    QVERIFY(options.SaveSettings(store));
    QCOMPARE(storedKeys(path), QStringList{"Keep-Alive"});

    // Options without a mark are never written by it.
    options.setPBarStyle(5);
    options.setColorSettings("1;2");
    options.SetSaveEnabled(true);
    QVERIFY(options.SaveSettings(store));
    QCOMPARE(storedKeys(path), QStringList{"Keep-Alive"});
}

void TestOptions::failedSaveKeepsMarks()
{
    QTemporaryDir dir;
    // The store's folder is a plain file: nothing can be written below it.
    writeFile(dir.filePath("blocked"), "x");
    SettingsStore store(dir.filePath("blocked/settings.ini"));
    Options options;
    options.LoadSettings(store);
    options.setClearList(true);
    options.EditMaxTry("4");
    QVERIFY(!options.SaveSettings(store));
    QVERIFY(options.SaveEnabled());
    QVERIFY(options.Marked(Option::ClearList));
    QVERIFY(options.Marked(Option::TryCount));
    QVERIFY(!store.Set("WinRect", "1|2|3|4"));
    QVERIFY(!options.SaveWindowRect(store, QRect(1, 2, 3, 4)));
    QVERIFY(!Options::SaveInterfaceSettings(store, QString("/x"), {}, {}, {}));

    // Once the folder can be made, the same store saves and says so.
    QVERIFY(QFile::remove(dir.filePath("blocked")));
    QVERIFY(QDir(dir.path()).mkdir("blocked"));
    QVERIFY(options.SaveSettings(store));
    QVERIFY(!options.SaveEnabled());
    SettingsStore reread(dir.filePath("blocked/settings.ini"));
    QCOMPARE(reread.Get("Clear List"), "1");
    QCOMPARE(reread.Get("MAX-Try"), "4");
}

void TestOptions::badlyFormedFileIsReadAndRewritten()
{
    QTemporaryDir dir;
    const QString path = iniIn(dir);
    writeFile(path, "[Configurations\nnonsense line\n[Configurations]\nKeep-Alive=0\n"
                    "MAX-Try=9\n\"unterminated\n");
    SettingsStore store(path);
    Options options;
    options.LoadSettings(store);
    QVERIFY(!options.KeepAlive());
    QCOMPARE(options.TryCount(), 9);
    options.setLogReply(true);
    QVERIFY(options.SaveSettings(store));
    options.setLogRequest(true);
    QVERIFY(options.SaveSettings(store));
    SettingsStore reread(path);
    QCOMPARE(reread.Get("Keep-Alive"), "0");
    QCOMPARE(reread.Get("Log Reply"), "1");
    QCOMPARE(reread.Get("Log Request"), "1");
}

void TestOptions::interfaceKeysAndWindowRect()
{
    QTemporaryDir dir;
    const QString path = iniIn(dir);
    SettingsStore store(path);
    QVERIFY(Options::SaveInterfaceSettings(store, {}, 4, {}, QString("1;2;3;4;5;6;7;")));
    QCOMPARE(storedKeys(path), QStringList({"ColorSettings", "PBar UI"}));
    QVERIFY(Options::SaveInterfaceSettings(store, dir.path(), {}, 2, {}));
    QCOMPARE(storedKeys(path), QStringList({"Base Dir", "ColorSettings", "PBar UI", "TBar UI"}));

    Options options;
    options.LoadSettings(store);
    QCOMPARE(options.BaseDir(), dir.path());
    QCOMPARE(options.PBarStyle(), 4);
    QCOMPARE(options.TBarStyle(), 2);
    QCOMPARE(options.ColorValues(), (Options::Colors{1, 2, 3, 4, 5, 6, 7}));

    QVERIFY(options.SaveWindowRect(store, QRect(-300, 15, 12000, 9000)));
    QCOMPARE(store.Get("WinRect"), "-300|15|12000|9000");
    QCOMPARE(options.WinRect(), "-300|15|12000|9000");
    Options other;
    other.LoadWindowRect(store);
    QCOMPARE(Options::ParseWinRect(other.WinRect()), QRect(-300, 15, 12000, 9000));

    QCOMPARE(Options::ParseWinRect("10.5|2|300px|400"), QRect(10, 2, 300, 400));
    QCOMPARE(Options::ParseWinRect("1|2|3"), std::nullopt);
    QCOMPARE(Options::ParseWinRect("1|2|-3|4"), std::nullopt);
    QCOMPARE(Options::ParseWinRect("1|2|3|99999999999"), std::nullopt);
}

void TestOptions::colorSettings()
{
    const Options::Colors base = {11, 12, 13, 14, 15, 16, 17};
    using C = Options::Colors;
    QCOMPARE(Options::ParseColors("1;2;3;4;5;6;7;8;junk;", base), (C{1, 2, 3, 4, 5, 6, 7}));
    QCOMPARE(Options::ParseColors("1;;3;4;5;6;", base), (C{1, 0, 3, 4, 5, 6, 0}));
    QCOMPARE(Options::ParseColors("1;2", base), (C{1, 2, 13, 14, 15, 16, 17}));
    QCOMPARE(Options::ParseColors("-2147483633;4294967295;16777215", base),
             (C{0x8000000Fu, 0xFFFFFFFFu, 0xFFFFFFu, 14, 15, 16, 17}));
    QCOMPARE(Options::ParseColors("", base), std::nullopt);
    QCOMPARE(Options::ParseColors("1;4294967296", base), std::nullopt);

    // An empty stored scheme changes nothing; the colours stay in force.
    QTemporaryDir dir;
    SettingsStore store(iniIn(dir));
    QVERIFY(store.Set("ColorSettings", ""));
    Options options;
    QVERIFY(options.LoadSettings(store).isEmpty());
    QCOMPARE(options.ColorValues()[0], 9633792u);
    QVERIFY(options.setColorSettings("5;6"));
    QCOMPARE(options.ColorValues()[0], 5u);
    QCOMPARE(options.ColorValues()[2], 8421376u);
    QVERIFY(!options.setColorSettings("1e30"));
    QVERIFY(options.setColorSettings(""));
    QCOMPARE(options.ColorSettings(), "5;6");
}

void TestOptions::storeFileAndEscaping()
{
    // The user's store: $XDG_CONFIG_HOME/Harvex®/Harvex®.ini.
    const QString product = QString::fromUtf8("Harvex\xC2\xAE");
    {
        SettingsStore user;
        QCOMPARE(user.FileName(), m_home.filePath("config/" + product + "/" + product + ".ini"));
        QVERIFY(user.Set("Keep-Alive", "0"));
    }
    QVERIFY(QFile::exists(m_home.filePath("config/" + product + "/" + product + ".ini")));

    // Texts that INI syntax would otherwise bend come back unchanged.
    QTemporaryDir dir;
    const QString path = iniIn(dir);
    const QStringList texts = {
        "1;2;3;",      "a, b, c",
        " padded ",    "x=y",
        "@Variant(0)", "\"quoted\"",
        "back\\slash", QString::fromUtf8("/home/\xC3\xA9t\xC3\xA9/T\xC3\xA9l\xC3\xA9"),
        "#hash",       ""};
    {
        SettingsStore store(path);
        for (int i = 0; i < texts.size(); ++i)
            QVERIFY(store.Set(QString("Key %1").arg(i), texts[i]));
    }
    SettingsStore store(path);
    for (int i = 0; i < texts.size(); ++i)
        QCOMPARE(store.Get(QString("Key %1").arg(i), "<missing>"), texts[i]);
    QVERIFY(store.Contains("Key 9"));
    QVERIFY(!store.Contains("Key 10"));
    QCOMPARE(store.Get("Key 10", "fallback"), "fallback");

    // Written by hand without quotes, a list-looking value still reads as text.
    writeFile(path, "[Configurations]\nDataExt=jpg/1,gif/1\nUrlExt=html/1\n");
    SettingsStore hand(path);
    QCOMPARE(hand.Get("DataExt"), "jpg/1,gif/1");
    QCOMPARE(hand.Get("UrlExt"), "html/1");
}

QTEST_GUILESS_MAIN(TestOptions)
#include "test_options.moc"
