// SPDX-License-Identifier: GPL-3.0-or-later
// The parameter file param.dat: its line format, the keys it knows, the
// built-in values it changes, and reading it from the base folder.
#include "settings/ParamFile.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>
#include <functional>
#include <sys/stat.h>
#include <sys/types.h>

class TestParamFile : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void builtInsWithoutFile();
    void lines();
    void lineEndsAndByteOrderMark();
    void everySplitReadsTheSame();
    void overlongLineIsSkippedAlone();
    void readsFromBaseFolder();
    void oversizedFileIsReadUpToTheLimit();
    void fileThatIsNoRegularFileChangesNothing();
};

namespace {

// Everything param.dat can change, as one comparable list of texts.
QStringList snapshot(const ParamValues& v)
{
    QStringList out;
    out << "DefExt=" + v.DefExt << "DataFilter=" + v.DataFilter << "ErrCodes=" + v.ErrCodes;
    for (const QString& agent : v.UserAgents)
        out << "UA=" + agent;
    auto list = [&](const char* name, const ComboList& c) {
        for (const QString& item : c.Items())
            out << QString::fromLatin1(name) + "=" + item;
        out << QString::fromLatin1(name) + " selected " + QString::number(c.SelectedIndex());
    };
    list("Accept", v.CboAccept);
    list("Lang", v.CboAccptLang);
    list("Enc", v.CboAccptEncoding);
    list("Combo2", v.Combo2);
    return out;
}

// Built-ins, the text fed in the given pieces, then the user-agent fill.
QStringList readPieces(const QList<QByteArray>& pieces)
{
    ParamValues values;
    ParamFile::SetBuiltIns(values);
    ParamFileParser parser;
    for (const QByteArray& piece : pieces)
        ParamFile::Feed(parser, piece, values);
    ParamFile::Finish(parser, values);
    ParamFile::FillUserAgents(values);
    return snapshot(values);
}

QStringList readText(const QByteArray& text)
{
    return readPieces({text});
}

QStringList builtIns()
{
    return readText(QByteArray());
}

const QByteArray Mixed = "\xEF\xBB\xBF# comment\r\n"
                         "$DEF_EXT=.htm.x\r"
                         "$accept=text/plain\n"
                         "  $USER_AGENT=  Agent One\r\n"
                         "$ACCEPT =ignored\n\n\r\r"
                         "$ERR_CODES=404\r\n"
                         "$ERR_CODES=500|503\r\n"
                         "$Accept-Language= de-de \r\n"
                         "$DEF_DATA_FILTER=(ftp://$Ext)=x\n"
                         "$ACCEPT-ENCODING=br\r"
                         "$USER_AGENT=\xC3\xA9t\xC3\xA9";

} // namespace

void TestParamFile::builtInsWithoutFile()
{
    ParamValues values;
    ParamFile::SetBuiltIns(values);
    QTemporaryDir dir;
    QVERIFY(!ParamFile::ReadParamFile(dir.path(), values));
    ParamFile::FillUserAgents(values);

    QCOMPARE(values.DefExt, ".htm.html.asp.php.pl.cgi.ph3.ph4.ph5");
    QCOMPARE(values.DataFilter, "(https?://[^<=\\?\\+>]+$Ext)");
    QCOMPARE(values.ErrCodes, "301|302|303|304|305|306|307|308|416");
    QCOMPARE(values.Combo2.Items(),
             QStringList({"Harvex/1.6 (Windows; Windows 98; Windows XP;)",
                          "Mozilla/5.0 (Windows; U; Win98; en-US; rv:1.8) Gecko/20051111 "
                          "Firefox/1.5",
                          "Mozilla/4.0 (compatible; MSIE 6.0; Windows 98)"}));
    QCOMPARE(values.Combo2.SelectedIndex(), 0);
    QCOMPARE(values.CboAccept.Count(), 4);
    QCOMPARE(values.CboAccept.SelectedText(), "*.*, */*");
    QCOMPARE(values.CboAccptLang.SelectedIndex(), 0);
    QCOMPARE(values.CboAccptLang.SelectedText(), QString());
    QCOMPARE(values.CboAccptEncoding.SelectedText(), "*");
    QCOMPARE(values.CboAccptEncoding.Items().last(), "gzip, deflate");

    // Setting the built-ins again does not pile entries up.
    ParamFile::SetBuiltIns(values);
    ParamFile::FillUserAgents(values);
    QCOMPARE(snapshot(values), builtIns());
}

void TestParamFile::lines()
{
    // Each text against the built-ins changed by hand the way it should.
    auto expect = [](const QByteArray& text, const std::function<void(ParamValues&)>& change) {
        ParamValues expected;
        ParamFile::SetBuiltIns(expected);
        change(expected);
        ParamFile::FillUserAgents(expected);
        const QStringList actual = readText(text);
        if (actual != snapshot(expected))
            qWarning() << "param.dat text:" << text;
        QCOMPARE(actual, snapshot(expected));
    };
    const auto nothing = [](ParamValues&) {};

    expect("$accept=a/b\n", [](ParamValues& v) { v.CboAccept.AddItem("a/b"); });
    expect("$Accept-Encoding=br\n", [](ParamValues& v) { v.CboAccptEncoding.AddItem("br"); });
    expect("$DEF_EXT =.x\n$ACCEPT =a\n", nothing);
    expect("\t$ACCEPT=a\n", nothing); // a tab is not a blank: the key is unknown
    expect("$DEF_EXT=\n", [](ParamValues& v) { v.DefExt.clear(); });
    expect("$ERR_CODES=  404  \n", [](ParamValues& v) { v.ErrCodes = "  404"; });
    expect("$USER_AGENT=\n", [](ParamValues& v) { v.UserAgents.append(QString()); });
    expect("$ACCEPT=    \n$ACCEPT-LANGUAGE=\n", nothing);
    expect("$ACCEPT-LANGUAGE=   fr, en  \n",
           [](ParamValues& v) { v.CboAccptLang.AddItem("fr, en"); });
    expect("$DEF_DATA_FILTER=a=b=c\n", [](ParamValues& v) { v.DataFilter = "a=b=c"; });
    expect("   #$ACCEPT=a\n#\n", nothing);
    expect("$ACCEPT\n=a\n$ACCEPTX=a\n$USER-AGENT=a\n $ ACCEPT=a\n", nothing);
    expect("$ERR_CODES=404\n$err_codes=500\n", [](ParamValues& v) { v.ErrCodes = "500"; });
    expect("$USER_AGENT=one\n$USER_AGENT= two\n", [](ParamValues& v) {
        v.UserAgents << "one"
                     << " two";
    });
    expect("$ACCEPT-LANGUAGE=fr-\xC3\xA9\n",
           [](ParamValues& v) { v.CboAccptLang.AddItem(QString::fromUtf8("fr-\xC3\xA9")); });
    expect("$ACCEPT=\xFF\xFE\n",
           [](ParamValues& v) { v.CboAccept.AddItem(QString::fromUtf8("\xFF\xFE")); });
}

void TestParamFile::lineEndsAndByteOrderMark()
{
    const QStringList expected = readText("$ACCEPT=a\n$ACCEPT=b\n$ACCEPT=c\n");
    QCOMPARE(readText("$ACCEPT=a\r$ACCEPT=b\r$ACCEPT=c"), expected);
    QCOMPARE(readText("$ACCEPT=a\r\n$ACCEPT=b\r\n$ACCEPT=c\r\n"), expected);
    QCOMPARE(readText("\xEF\xBB\xBF$ACCEPT=a\r\n\r\n$ACCEPT=b\n\r$ACCEPT=c"), expected);
    // Half a byte order mark is text, and makes the first key unknown.
    QCOMPARE(readText("\xEF\xBB$ACCEPT=x"), builtIns());
    QCOMPARE(readText("\xEF\xBB\xBF"), builtIns());
}

void TestParamFile::everySplitReadsTheSame()
{
    const QStringList whole = readText(Mixed);
    QVERIFY(whole.contains("DefExt=.htm.x"));
    QVERIFY(whole.contains("ErrCodes=500|503"));
    QVERIFY(whole.contains("DataFilter=(ftp://$Ext)=x"));
    QVERIFY(whole.contains("Lang=de-de"));
    QVERIFY(whole.contains(QString::fromUtf8("Combo2=\xC3\xA9t\xC3\xA9")));
    // The line is stripped, then the value taken as it stands.
    QVERIFY(whole.contains("UA=  Agent One"));
    QCOMPARE(whole.filter("UA=").size(), 5);
    QVERIFY(!whole.contains("Accept=ignored"));

    for (qsizetype cut = 0; cut <= Mixed.size(); ++cut)
        QCOMPARE(readPieces({Mixed.first(cut), Mixed.sliced(cut)}), whole);
    QList<QByteArray> bytes;
    for (char c : Mixed)
        bytes.append(QByteArray(1, c));
    QCOMPARE(readPieces(bytes), whole);
}

void TestParamFile::overlongLineIsSkippedAlone()
{
    const QByteArray longValue(ParamFileParser::MaxLineLength, 'x');
    const QByteArray text =
        "$ACCEPT=a\n$USER_AGENT=" + longValue + "\r\n$ACCEPT=b\n$DEF_EXT=" + longValue;
    const QStringList expected = readText("$ACCEPT=a\n$ACCEPT=b\n");
    QCOMPARE(readText(text), expected);
    QList<QByteArray> pieces;
    for (qsizetype at = 0; at < text.size(); at += 1000)
        pieces.append(text.sliced(at, qMin<qsizetype>(1000, text.size() - at)));
    QCOMPARE(readPieces(pieces), expected);
    // A line just within the limit is read.
    const QByteArray fits = "$DEF_EXT=" + QByteArray(ParamFileParser::MaxLineLength - 9, 'y');
    QVERIFY(readText(fits).contains("DefExt=" + QString(ParamFileParser::MaxLineLength - 9, 'y')));
}

void TestParamFile::readsFromBaseFolder()
{
    QTemporaryDir dir;
    QFile file(dir.filePath("param.dat"));
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write(Mixed);
    file.close();

    for (const QString& base : {dir.path(), dir.path() + "/"}) {
        ParamValues values;
        ParamFile::SetBuiltIns(values);
        QVERIFY(ParamFile::ReadParamFile(base, values));
        ParamFile::FillUserAgents(values);
        QCOMPARE(snapshot(values), readText(Mixed));
        QCOMPARE(values.UserAgents.size(), 5);
        QCOMPARE(values.Combo2.Count(), 5);
        QCOMPARE(values.Combo2.SelectedIndex(), 0);
        // Appended items leave the start-up selections alone.
        QCOMPARE(values.CboAccept.SelectedText(), "*.*, */*");
        QCOMPARE(values.CboAccept.Items().last(), "text/plain");
        QCOMPARE(values.CboAccptEncoding.SelectedText(), "*");
        QCOMPARE(values.CboAccptEncoding.Items().last(), "br");
    }
}

void TestParamFile::oversizedFileIsReadUpToTheLimit()
{
    QTemporaryDir dir;
    QByteArray text = "$ACCEPT=first\n";
    const QByteArray filler = "# " + QByteArray(100, '-') + "\n";
    while (text.size() + filler.size() <= ParamFileParser::MaxFileSize - 10)
        text += filler;
    text += "$ACCEPT=cut off at the limit\n$ACCEPT=never read\n";
    QFile file(dir.filePath("param.dat"));
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write(text);
    file.close();

    ParamValues values;
    ParamFile::SetBuiltIns(values);
    QVERIFY(!ParamFile::ReadParamFile(dir.path(), values));
    QCOMPARE(values.CboAccept.Count(), 5);
    QCOMPARE(values.CboAccept.Items().last(), "first");
}

void TestParamFile::fileThatIsNoRegularFileChangesNothing()
{
    // A folder, or a FIFO that would block a plain open until a writer came.
    QTemporaryDir asFolder;
    QVERIFY(QDir(asFolder.path()).mkdir("param.dat"));
    QTemporaryDir asFifo;
    QCOMPARE(mkfifo(QFile::encodeName(asFifo.filePath("param.dat")).constData(), 0600), 0);
    QTemporaryDir gone;
    const QString missing = gone.filePath("no-such-folder");

    for (const QString& base : {asFolder.path(), asFifo.path(), missing, QString()}) {
        ParamValues values;
        ParamFile::SetBuiltIns(values);
        QVERIFY(!ParamFile::ReadParamFile(base, values));
        ParamFile::FillUserAgents(values);
        QCOMPARE(snapshot(values), builtIns());
    }
}

QTEST_GUILESS_MAIN(TestParamFile)
#include "test_paramfile.moc"
