// SPDX-License-Identifier: GPL-3.0-or-later
// Settings: options loaded, edited, marked and saved, the store file, param.dat, the window
// placement, and the folder commands (tree delete on a real temporary tree, new folder).
#include "platform/FolderTreeDelete.h"
#include "platform/NewFolder.h"
#include "platform/SettingsStore.h"
#include "settings/Options.h"
#include "settings/ParamFile.h"
#include "settings/WindowPlacement.h"
#include "support/TestFiles.h"

#include <QSettings>
#include <QSignalSpy>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>

#include <functional>
#include <sys/stat.h>

using Option = Options::Option;

namespace {

const char* const DefaultColors = "9633792;16777088;8421376;9633792;8421376;14206136;0";

QString joined(const Options::Colors& colors)
{
    QStringList out;
    for (const quint32 c : colors)
        out << QString::number(c);
    return out.join(';');
}

// What reading param.dat changed against the built-ins: "Key=value" for a replaced value,
// "List+entry" for an appended entry, "List!" when a built-in entry or selection moved.
QString paramChanges(ParamValues& v)
{
    ParamValues b;
    ParamFile::SetBuiltIns(b);
    ParamFile::FillUserAgents(b);
    ParamFile::FillUserAgents(v);
    QStringList out;
    for (const auto& [name, now, before] : {std::tuple{"DefExt", v.DefExt, b.DefExt},
                                            {"DataFilter", v.DataFilter, b.DataFilter},
                                            {"ErrCodes", v.ErrCodes, b.ErrCodes}}) {
        if (now != before)
            out << QString(name) + "=" + now;
    }
    for (const auto& [name, now, before] : {std::tuple{"Accept", &v.CboAccept, &b.CboAccept},
                                            {"Lang", &v.CboAccptLang, &b.CboAccptLang},
                                            {"Enc", &v.CboAccptEncoding, &b.CboAccptEncoding},
                                            {"UA", &v.Combo2, &b.Combo2}}) {
        if (now->Items().mid(0, before->Count()) != before->Items() ||
            now->SelectedIndex() != before->SelectedIndex())
            out << QString(name) + "!";
        for (const QString& item : now->Items().mid(before->Count()))
            out << QString(name) + "+" + item;
    }
    return out.join('|');
}

QString readParams(const QList<QByteArray>& pieces)
{
    ParamValues values;
    ParamFile::SetBuiltIns(values);
    ParamFile::SetBuiltIns(values); // setting them again must not pile entries up
    ParamFileParser parser;
    for (const QByteArray& piece : pieces)
        ParamFile::Feed(parser, piece, values);
    ParamFile::Finish(parser, values);
    return paramChanges(values);
}

const QByteArray MixedParams = "\xEF\xBB\xBF# comment\r\n$DEF_EXT=.htm.x\r$accept=text/plain\n"
                               "  $USER_AGENT=  Agent One\r\n$ACCEPT =ignored\n\n\r\r"
                               "$ERR_CODES=404\r\n$ERR_CODES=500|503\r\n$Accept-Language= de-de "
                               "\r\n$DEF_DATA_FILTER=(ftp://$Ext)=x\n$ACCEPT-ENCODING=br\r"
                               "$USER_AGENT=\xC3\xA9t\xC3\xA9";
const QString MixedRead = QString::fromUtf8("DefExt=.htm.x|DataFilter=(ftp://$Ext)=x|ErrCodes=500|"
                                            "503|Accept+text/plain|Lang+de-de|Enc+br|UA+  Agent "
                                            "One|UA+\xC3\xA9t\xC3\xA9");

// A tree with everything a delete can trip on (hidden names, a read-only folder and file,
// links to a folder and a file outside it, a dangling link) and sentinels behind the links.
struct Tree
{
    QTemporaryDir dir;
    QString root() const { return dir.filePath("tree"); }
    QString at(const QString& relative) const { return root() + '/' + relative; }
    const QStringList folders{"", ".dots", "read-only", "sub", "sub/deeper"};

    Tree()
    {
        for (const QString& folder : folders)
            QDir().mkpath(at(folder));
        for (const char* file : {"a.txt", ".hidden", ".dots/.inner", "read-only/in.txt",
                                 "read-only-file.txt", "sub/b.txt", "sub/deeper/c.txt"})
            writeFile(at(file), "x");
        writeFile(dir.filePath("target/sentinel"), "x");
        writeFile(dir.filePath("sentinel-file"), "x");
        QFile::link(dir.filePath("target"), at("link-to-folder"));
        QFile::link(dir.filePath("target"), at("sub/deeper/link2"));
        QFile::link(dir.filePath("sentinel-file"), at("link-to-file"));
        QFile::link(dir.filePath("gone"), at(".dots/dangling"));
        QFile::setPermissions(at("read-only-file.txt"), QFileDevice::ReadOwner);
        QFile::setPermissions(at("read-only"), QFileDevice::ReadOwner | QFileDevice::ExeOwner);
    }
    ~Tree() // let the temporary folder go even when a test failed half-way
    {
        QFile::setPermissions(at("read-only"), QFileDevice::ReadOwner | QFileDevice::WriteOwner |
                                                   QFileDevice::ExeOwner);
    }
    // Deletes the tree, keeping every progress text and calling onText on it; the Finished
    // arguments, or nothing when it would not start or not end.
    QVariantList run(FolderTreeDelete& deleter, const std::function<void(const QString&)>& onText)
    {
        QObject::connect(&deleter, &FolderTreeDelete::Progress, [&](const QString& text) {
            texts << text;
            onText(text);
        });
        QSignalSpy finished(&deleter, &FolderTreeDelete::Finished);
        QString error;
        if (!deleter.Start(root(), dir.filePath("base"), dir.filePath("home"), error) ||
            !deleter.IsRunning() || !finished.wait(10000))
            return {};
        return finished.first();
    }
    QStringList texts;
    bool sentinelsStay() const
    {
        return QFile::exists(dir.filePath("target/sentinel")) &&
               QFile::exists(dir.filePath("sentinel-file"));
    }
};

const QString FileText = QStringLiteral("Deleting File:");
const QString DirText = QStringLiteral("Deleting Directory:");

} // namespace

class TestSettings : public QObject
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

    // One value, stored and loaded or typed ("t") into its box, and what the option (its box
    // text where it has one; the parsed rectangle) holds after; "r": refused or not taken.
    void valueRules()
    {
        const char* const rows[][4] = {
            {"Max Parallel", "0", "1", ""},
            {"Max Parallel", "25", "20", ""},
            {"Max Parallel", "40000", "7", "r"},
            {"Path Option", "-1", "0", ""},
            {"Path Option", "3", "2", ""},
            {"PBar UI", "11", "10", ""},
            {"PBar UI", "0", "1", ""},
            {"TBar UI", "8", "7", ""},
            {"MAX-Try", "0", "2", ""},
            {"MAX-Try", "1", "1", ""},
            {"MAX-Try", "1e6", "6", "r"},
            {"Busy-Wait", "5", "10", ""},
            {"Busy-Wait", "150", "120", ""},
            {"Busy-Wait", "256", "10", "r"},
            {"Connect-Timeout", "3", "10", ""},
            {"Connect-Timeout", "500", "500", ""},
            {"Connect-Timeout", "nan", "10", ""},
            {"MinImgSize", "12.5", "12", ""},
            {"MinImgSize", "5e9", "0", "r"},
            {"Keep-Alive", "2", "0", ""}, // only 1 is checked
            {"Keep-Alive", "3", "1", "r"},
            {"Connect At Once", "-1", "0", "r"},
            {"Clear List", "1", "1", ""},
            {"DataExt", "jpg/1|gif/0", "jpg/1|gif/0", ""},
            {"ColorSettings", "1;2;3;4;5;6;7;8;junk;", "1;2;3;4;5;6;7", ""},
            {"ColorSettings", "1;;3;4;5;6;", "1;0;3;4;5;6;0", ""},
            {"ColorSettings", "5;6", "5;6;8421376;9633792;8421376;14206136;0", ""},
            {"ColorSettings", "-2147483633;4294967295",
             "2147483663;4294967295;8421376;9633792;"
             "8421376;14206136;0",
             ""},
            {"ColorSettings", "1;4294967296;3", DefaultColors, "r"},
            {"ColorSettings", "", DefaultColors, ""},
            {"WinRect", "10.5|2|300px|400", "10,2 300x400", ""},
            {"WinRect", "1|2|3", "-", ""},
            {"WinRect", "1|2|-3|4", "-", ""},
            {"WinRect", "1|2|0|4", "-", ""},
            {"WinRect", "1|2|3|99999999999", "-", ""},
            {"MAX-Try", "1", "2", "t"},
            {"MAX-Try", "12", "10", "t"},
            {"MAX-Try", "6.5", "6", "t"},
            {"Busy-Wait", "4", "10", "t"},
            {"Busy-Wait", "150", "120", "t"},
            {"Busy-Wait", "255.4", "120", "t"}, // within a byte
            {"Busy-Wait", "-0.4", "10", "t"},
            {"Busy-Wait", "300", "60", "rt"}, // beyond a byte
            {"Busy-Wait", "1e99", "60", "rt"},
            {"Connect-Timeout", "3", "10", "t"},
            {"Connect-Timeout", "1e12", "32767", "t"},
            {"MinImgSize", "abc", "0", "t"}, // the size box reads the number a text starts with
            {"MinImgSize", " \t\r\n 42", "42", "t"},
            {"MinImgSize", "12 bytes", "12", "t"},
            {"MinImgSize", "2.5", "2", "t"},
            {"MinImgSize", "3.5", "4", "t"},
            {"MinImgSize", ".6", "1", "t"},
            {"MinImgSize", "1.5e3", "1500", "t"},
            {"MinImgSize", "5e", "5", "t"},
            {"MinImgSize", "25E-1", "2", "t"},
            {"MinImgSize", "1e999", "2147483647", "t"},
            {"MinImgSize", "99999999999", "2147483647", "t"},
            {"MinImgSize", "-1e300", "-2147483648", "t"},
            {"MinImgSize", "\xD9\xA1\xD9\xA2", "0", "t"}, // other digits
        };
        for (const auto& [keyText, input, result, flags] : rows) {
            const QString key = keyText, row = key + '=' + input + ' ' + flags;
            const bool refused = QByteArray(flags).contains('r');
            QTemporaryDir dir; // the stored value, as a hand-written file holds it
            writeFile(dir.filePath("in.ini"), "[Configurations]\n" +
                                                  QString(key).replace(' ', "%20").toUtf8() +
                                                  "=\"" + input + "\"\n");
            SettingsStore store(dir.filePath("in.ini"));
            Options options;
            if (!QByteArray(flags).contains('t')) {
                options.setListUrl(true); // a change before a load does not survive it
                QCOMPARE(options.LoadSettings(store), refused ? QStringList{key} : QStringList());
                QVERIFY(!options.SaveEnabled() && !options.AnyMarked() && !options.ListUrl());
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
                QCOMPARE(shown, QString(refused ? input : result));
            }
            const auto n = [](qint64 v) { return QString::number(v); };
            const std::optional<QRect> r = Options::ParseWinRect(options.WinRect());
            const QHash<QString, QString> now = {
                {"Max Parallel", n(options.MaxParallel())},
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
                {"WinRect",
                 r ? QString("%1,%2 %3x%4").arg(r->x()).arg(r->y()).arg(r->width()).arg(r->height())
                   : "-"}};
            QVERIFY2(now.value(key) == result, qPrintable(row));
            QCOMPARE(options.TryCount() * 10000 + options.BusyWait() * 100 + options.ConnTimeout(),
                     options.MaxTryText().toInt() * 10000 + options.BusyWaitText().toInt() * 100 +
                         options.ConnectTimeoutText().toInt());
        }
    }

    // A badly formed hand-written file: each bad value costs only its option; a save writes
    // the marked keys over it and leaves the rest, and so do the dialog's and the window's.
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
        QCOMPARE(options.ColorValues(), (Options::Colors{1, 2, 3, 4, 5, 6, 7})); // quoted

        QCOMPARE(options.SliderMouseUp(2000, 2000), 20);
        options.setClearList(false);
        options.setUrlExt("htm/1");
        options.setPBarStyle(5); // no mark: not written by a save
        QVERIFY(options.SaveSettings(store));
        QVERIFY(!options.SaveEnabled() && !options.AnyMarked());
        options.SetSaveEnabled(true); // with nothing marked, nothing is written
        QVERIFY(options.SaveSettings(store));
        QVERIFY(Options::SaveInterfaceSettings(store, {}, 4, {}, QString("1;2")));
        QVERIFY(Options::SaveInterfaceSettings(store, dir.path(), {}, 2, {}));
        QVERIFY(options.SaveWindowRect(store, QRect(-300, 15, 12000, 9000)));
        QCOMPARE(options.WinRect(), "-300|15|12000|9000");
        const QList<QPair<QString, QString>> expected = {
            {"Base Dir", dir.path()}, {"Max Parallel", "20"}, {"Clear List", "0"},
            {"Keep-Alive", "0"},      {"UrlExt", "htm/1"},    {"DataExt", "jpg/1,gif/0"},
            {"MAX-Try", "1e6"},       {"MinImgSize", "2048"}, {"WinRect", "-300|15|12000|9000"},
            {"PBar UI", "4"},         {"TBar UI", "2"},       {"ColorSettings", "1;2"},
        };
        SettingsStore reread(path);
        for (const auto& [key, value] : expected)
            QCOMPARE(reread.Get(key, "<missing>"), value);
        QSettings raw(path, QSettings::IniFormat);
        raw.beginGroup("Configurations");
        QCOMPARE(raw.allKeys().size(), 13);
        QVERIFY(readFile(path).contains("Max%20Parallel=20\n"));
        Options other;
        other.LoadWindowRect(store);
        QCOMPARE(other.WinRect(), "-300|15|12000|9000");
    }

    // Where a click at x on a slider of that width lands, in steps from 1.
    void sliderRule()
    {
        const int rows[][4] = {{2600, 2000, 20, 20}, {-40, 2000, 20, 1},   {700, 2000, 20, 7},
                               {701, 2000, 20, 8},   {1999, 2019, 20, 20}, {3, 0, 20, 3},
                               {149, 150, 7, 7},     {42, 150, 7, 2}};
        for (const auto& [x, width, steps, expected] : rows) {
            QCOMPARE(Options::SliderStep(x, width, steps), expected);
            Options options;
            if (steps == 20)
                QVERIFY(options.SliderMouseUp(x, width) == expected &&
                        options.MaxParallel() == expected);
        }
    }

    void defaultsAndMarks()
    {
        // The user's store: $XDG_CONFIG_HOME/Harvex®/Harvex®.ini.
        const QString product = QString::fromUtf8("Harvex\xC2\xAE");
        QCOMPARE(SettingsStore().FileName(),
                 m_home.filePath("config/" + product + "/" + product + ".ini"));
        // An empty store gives the defaults, the download folder made in the home.
        QTemporaryDir dir;
        SettingsStore store(dir.filePath("empty.ini"));
        Options options;
        QVERIFY(options.LoadSettings(store).isEmpty());
        QVERIFY(!QFile::exists(store.FileName())); // loading never writes
        QVERIFY(options.BaseDirIsDefault());
        QCOMPARE(options.BaseDir(),
                 QStandardPaths::writableLocation(QStandardPaths::DownloadLocation));
        QVERIFY(options.BaseDir().startsWith(m_home.path()));
        QVERIFY(QDir(options.BaseDir()).exists()); // created when it is the default

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

        // No mark: the size box validated, the dialog's options, refused values.
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
    }

    // Texts that INI syntax would otherwise bend come back unchanged.
    void storeTexts()
    {
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

    // param.dat lines, read whole, in two pieces and in 1000-byte pieces.
    void paramLines()
    {
        const QByteArray longValue(ParamFileParser::MaxLineLength, 'x');
        const QByteArray fits(ParamFileParser::MaxLineLength - 9, 'y');
        const std::pair<QByteArray, QString> rows[] = {
            {"$accept=a/b\n", "Accept+a/b"},
            {"$Accept-Encoding=br\n", "Enc+br"},
            {"$DEF_EXT =.x\n$ACCEPT =a\n", ""}, // a blank before "=": unknown key
            {"\t$ACCEPT=a\n", ""},
            {"$DEF_EXT=\n", "DefExt="},
            {"$ERR_CODES=  404  \n", "ErrCodes=  404"},
            {"$USER_AGENT=\n", "UA+"},
            {"$ACCEPT=    \n$ACCEPT-LANGUAGE=\n", ""},
            {"$ACCEPT-LANGUAGE=   fr, en  \n", "Lang+fr, en"},
            {"$DEF_DATA_FILTER=a=b=c\n", "DataFilter=a=b=c"},
            {"   #$ACCEPT=a\n#\n", ""},
            {"$ACCEPT\n=a\n$ACCEPTX=a\n$USER-AGENT=a\n $ ACCEPT=a\n", ""},
            {"$ERR_CODES=404\n$err_codes=500\n", "ErrCodes=500"},
            {"$USER_AGENT=one\n$USER_AGENT= two\n", "UA+one|UA+ two"},
            {"$ACCEPT-LANGUAGE=fr-\xC3\xA9\n", QString::fromUtf8("Lang+fr-\xC3\xA9")},
            {"$ACCEPT=\xFF\xFE\n", QString::fromUtf8("Accept+\xEF\xBF\xBD\xEF\xBF\xBD")},
            {"$ACCEPT=a\r$ACCEPT=b\r$ACCEPT=c", "Accept+a|Accept+b|Accept+c"},
            {"$ACCEPT=a\r\n$ACCEPT=b\r\n", "Accept+a|Accept+b"},
            {"\xEF\xBB\xBF$ACCEPT=a\r\n\r\n$ACCEPT=b\n\r$ACCEPT=c", "Accept+a|Accept+b|Accept+c"},
            {"\xEF\xBB$ACCEPT=x", ""}, // half a BOM is text
            {"\xEF\xBB\xBF", ""},
            {MixedParams, MixedRead},
            {"$ACCEPT=a\n$USER_AGENT=" + longValue + "\r\n$ACCEPT=b\n$DEF_EXT=" + longValue,
             "Accept+a|Accept+b"},
            {"$DEF_EXT=" + fits, "DefExt=" + QString(fits)},
        };
        for (const auto& [text, read] : rows) {
            QCOMPARE(readParams({text}), read);
            const qsizetype half = text.size() / 2;
            QCOMPARE(readParams({text.first(half), text.sliced(half)}), read);
            QList<QByteArray> pieces;
            for (qsizetype at = 0; at < text.size(); at += 1000)
                pieces.append(text.mid(at, 1000));
            QCOMPARE(readParams(pieces), read);
        }
    }

    // param.dat in the base folder: read when it is a regular file, up to the size limit;
    // with no base folder, not the one in the working folder.
    void paramFromBaseFolder()
    {
        const QString start = QDir::currentPath();
        for (const auto& [kind, complete, read] : {std::tuple{"file", true, MixedRead},
                                                   {"big", false, QString("Accept+first")},
                                                   {"folder", false, QString()},
                                                   {"fifo", false, QString()},
                                                   {"working", false, QString()}}) {
            QTemporaryDir dir;
            const QString file = dir.filePath("param.dat");
            QByteArray text = "$ACCEPT=first\n";
            const QByteArray filler = "# " + QByteArray(100, '-') + "\n";
            while (text.size() + filler.size() <= ParamFileParser::MaxFileSize - 10)
                text += filler;
            if (kind == QString("big"))
                writeFile(file, text + "$ACCEPT=cut off at the limit\n$ACCEPT=never read\n");
            else if (kind == QString("folder"))
                QVERIFY(QDir().mkdir(file));
            else if (kind == QString("fifo")) // would block a plain open
                QCOMPARE(mkfifo(QFile::encodeName(file).constData(), 0600), 0);
            else
                writeFile(file, MixedParams);
            QDir::setCurrent(dir.path());
            ParamValues values;
            ParamFile::SetBuiltIns(values);
            QCOMPARE(ParamFile::ReadParamFile(kind == QString("working") ? "" : dir.path(), values),
                     complete);
            QCOMPARE(paramChanges(values), read);
        }
        QDir::setCurrent(start);
    }

    // A saved rectangle is brought back onto a screen there is now.
    void placementStaysOnAScreen()
    {
        const QList<QRect> screens{QRect(0, 0, 1920, 1080), QRect(1920, 0, 1280, 1024)};
        const QRect rows[][2] = {
            {QRect(100, 50, 800, 600), QRect(100, 50, 800, 600)},      // on a screen
            {QRect(5000, 3000, 800, 600), QRect(1120, 480, 800, 600)}, // off every screen
            {QRect(2000, 900, 800, 600), QRect(2000, 424, 800, 600)},  // over an edge
            {QRect(-50, -50, 4000, 3000), QRect(0, 0, 1920, 1080)},    // larger than it
            {QRect(10, 10, 100, 100), QRect(10, 10, 467, 400)},        // below the minimum
        };
        for (const auto& r : rows)
            QCOMPARE(WindowPlacement::OnScreen(r[0], screens, QSize(467, 400)), r[1]);
    }

    // Every file (links as files) goes before any folder, each folder after its children, no
    // link is followed; a file that appears after its folder was emptied keeps the folder and
    // is the only failure.
    void deletesTreeButNotLinkTargets()
    {
        Tree tree;
        QVERIFY(FolderTreeDelete::IsReadOnly(tree.at("read-only")));
        QVERIFY(!FolderTreeDelete::IsReadOnly(tree.root()));
        FolderTreeDelete deleter;
        deleter.setBatchSize(3);
        const QString late = tree.at("late.txt");
        const QVariantList finished = tree.run(deleter, [&](const QString& text) {
            if (text.startsWith(DirText) && !QFile::exists(late))
                writeFile(late, "x");
        });
        QCOMPARE(finished, QVariantList({false, 1,
                                         "1 item could not be deleted: " + tree.root() +
                                             " (Directory not empty)"}));
        QCOMPARE(
            QDir(tree.root()).entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden),
            QStringList{"late.txt"});
        QVERIFY(tree.sentinelsStay());
        const QStringList& texts = tree.texts;
        const qsizetype firstDir = texts.indexOf(DirText + tree.at("sub/deeper"));
        QCOMPARE(texts.filter(FileText).size(), 11);
        QCOMPARE(texts.first(11).filter(FileText).size(), 11);
        QVERIFY(texts.contains(FileText + tree.at("sub/deeper/link2")));
        QVERIFY(firstDir >= 0 && firstDir < texts.indexOf(DirText + tree.at("sub")));
        QCOMPARE(texts.filter(DirText).size(), tree.folders.size());
        QCOMPARE(texts.last(), DirText + tree.root());
    }

    void cancelDuringFilePassKeepsEveryFolder()
    {
        Tree tree;
        FolderTreeDelete deleter;
        deleter.setBatchSize(100);
        // Cancelled once the read-only folder was opened to empty it.
        const QVariantList finished = tree.run(deleter, [&](const QString& text) {
            if (text.endsWith("read-only/in.txt"))
                deleter.Cancel();
        });
        QCOMPARE(finished.value(0), QVariant(true));
        QVERIFY(!deleter.IsRunning());
        // Nothing after the text that Cancel answered, and that item stays.
        QVERIFY(tree.texts.last().endsWith("read-only/in.txt"));
        for (const QString& item : tree.folders + QStringList{"read-only/in.txt"})
            QVERIFY2(QFileInfo::exists(tree.at(item)), qPrintable(item));
        QVERIFY(tree.sentinelsStay());
        QVERIFY(FolderTreeDelete::IsReadOnly(tree.at("read-only"))); // read-only again
    }

    // A folder the tree delete ("d") or the base folder choice ("b") refuses, and the text
    // the refusal ends in ("" for none); nothing is deleted.
    void refusedFolders()
    {
        QTemporaryDir dir;
        const QString home = dir.filePath("home/user");
        const QString base = dir.filePath("dl/base");
        const QString readOnly = dir.filePath("ro");
        QDir().mkpath(base);
        QDir().mkpath(readOnly);
        writeFile(home + "/file", "x");
        QFile::link(dir.filePath("dl"), dir.filePath("link-to-dl"));
        QFile::setPermissions(readOnly, QFileDevice::ReadOwner | QFileDevice::ExeOwner);
        const char* const rows[][3] = {
            {"d", "/", " is the root of a filesystem and cannot be deleted."},
            {"d", "home/user", " is your home folder and cannot be deleted."},
            {"d", "home//user/./", " is your home folder and cannot be deleted."},
            {"d", "home", " holds your home folder and cannot be deleted."},
            {"d", "dl/base", " is the base folder and cannot be deleted."},
            {"d", "link-to-dl/base", " is the base folder and cannot be deleted."},
            {"d", "missing", " does not exist."},
            {"d", "home/user/file", " is not a folder."},
            {"d", "@relative", "Choose a folder by its full path."},
            {"b", "dl", ""},
            {"b", "@relative/folder", "a full path, starting with \"/\"."},
            {"b", "@", "a full path, starting with \"/\"."},
            {"b", "missing", "missing\" does not exist."},
            {"b", "home/user/file", "file\" is not a folder."},
            {"b", "ro", "ro\" is read-only."},
        };
        for (const auto& [who, where, refusal] : rows) {
            QString path = where;
            if (path.startsWith('@'))
                path = path.mid(1);
            else if (!path.startsWith('/'))
                path = dir.filePath(path);
            QString error;
            if (*who == 'b') {
                error = Options::BaseDirRefusal(path);
            } else {
                FolderTreeDelete deleter;
                QSignalSpy finished(&deleter, &FolderTreeDelete::Finished);
                QVERIFY(!deleter.Start(path, base, home, error));
                QVERIFY(!deleter.IsRunning() && finished.isEmpty());
            }
            QVERIFY2(error.isEmpty() ? !*refusal : error.endsWith(refusal),
                     qPrintable(path + error));
        }
        QVERIFY(QFile::exists(home + "/file") && QFileInfo(base).isDir());
        QFile::setPermissions(readOnly, QFileDevice::ReadOwner | QFileDevice::WriteOwner |
                                            QFileDevice::ExeOwner);
    }

    // A name for a new folder and the error it gives (empty: created).
    void newFolderNames()
    {
        const char* const rows[][2] = {
            {"New Directory", ""},
            {".config", ""},
            {"", "Enter a name for the new folder."},
            {".", "\".\" cannot be a folder name."},
            {"..", "\"..\" cannot be a folder name."},
            {"a/b", "A folder name cannot contain \"/\"."},
            {"taken", "Cannot create %1/taken: File exists"},
        };
        for (const auto& [name, error] : rows) {
            QTemporaryDir dir;
            QDir().mkdir(dir.filePath("taken"));
            QString created, got;
            const bool ok = NewFolder::Create(dir.path() + '/', name, created, got);
            QCOMPARE(got, QString(error).replace("%1", dir.path()));
            QCOMPARE(ok, !*error);
            QCOMPARE(QFileInfo(created).isDir(), ok);
            QCOMPARE(
                QDir(dir.path()).entryList(QDir::Dirs | QDir::NoDotAndDotDot | QDir::Hidden).size(),
                1 + ok);
        }
    }
};

QTEST_GUILESS_MAIN(TestSettings)
#include "test_settings.moc"
