// SPDX-License-Identifier: GPL-3.0-or-later
// The parameter file param.dat: its line format, the keys it knows, the built-in values
// it changes, and reading it from the base folder. Arbitrary bytes and small pieces are
// left to the fuzzer.
#include "settings/ParamFile.h"
#include "support/TestFiles.h"

#include <QDir>
#include <QTemporaryDir>
#include <QTest>
#include <sys/stat.h>

namespace {

void setBuiltIns(ParamValues& values)
{
    ParamFile::SetBuiltIns(values);
    ParamFile::SetBuiltIns(values); // setting them again must not pile entries up
}

// What reading changed against the built-ins: "Key=value" for a replaced value,
// "List+entry" for an appended entry, "List!" when a built-in entry or selection moved.
QString changes(ParamValues& v)
{
    ParamValues b;
    setBuiltIns(b);
    ParamFile::FillUserAgents(b);
    ParamFile::FillUserAgents(v);
    QStringList out;
    if (v.DefExt != b.DefExt)
        out << "DefExt=" + v.DefExt;
    if (v.DataFilter != b.DataFilter)
        out << "DataFilter=" + v.DataFilter;
    if (v.ErrCodes != b.ErrCodes)
        out << "ErrCodes=" + v.ErrCodes;
    const auto list = [&](const char* name, const ComboList& now, const ComboList& before) {
        if (now.Items().mid(0, before.Count()) != before.Items() ||
            now.SelectedIndex() != before.SelectedIndex())
            out << QString(name) + "!";
        for (const QString& item : now.Items().mid(before.Count()))
            out << QString(name) + "+" + item;
    };
    list("Accept", v.CboAccept, b.CboAccept);
    list("Lang", v.CboAccptLang, b.CboAccptLang);
    list("Enc", v.CboAccptEncoding, b.CboAccptEncoding);
    list("UA", v.Combo2, b.Combo2);
    return out.join('|');
}

QString read(const QList<QByteArray>& pieces)
{
    ParamValues values;
    setBuiltIns(values);
    ParamFileParser parser;
    for (const QByteArray& piece : pieces)
        ParamFile::Feed(parser, piece, values);
    ParamFile::Finish(parser, values);
    return changes(values);
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
const QString MixedRead = QString::fromUtf8("DefExt=.htm.x|DataFilter=(ftp://$Ext)=x|ErrCodes=500|"
                                            "503|Accept+text/plain|Lang+de-de|Enc+br|UA+  Agent "
                                            "One|UA+\xC3\xA9t\xC3\xA9");

} // namespace

class TestParamFile : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void lines_data()
    {
        QTest::addColumn<QByteArray>("text");
        QTest::addColumn<QString>("read");
        const QByteArray longValue(ParamFileParser::MaxLineLength, 'x');
        const QByteArray fits(ParamFileParser::MaxLineLength - 9, 'y');
        const struct
        {
            const char* name;
            QByteArray text;
            QString read;
        } rows[] = {
            {"key in any case", "$accept=a/b\n", "Accept+a/b"},
            {"encoding", "$Accept-Encoding=br\n", "Enc+br"},
            {"blank before =: unknown", "$DEF_EXT =.x\n$ACCEPT =a\n", ""},
            {"tab is no blank", "\t$ACCEPT=a\n", ""},
            {"empty replaces", "$DEF_EXT=\n", "DefExt="},
            {"value keeps leading blanks", "$ERR_CODES=  404  \n", "ErrCodes=  404"},
            {"empty agent", "$USER_AGENT=\n", "UA+"},
            {"empty list entries skipped", "$ACCEPT=    \n$ACCEPT-LANGUAGE=\n", ""},
            {"list entry stripped", "$ACCEPT-LANGUAGE=   fr, en  \n", "Lang+fr, en"},
            {"first = splits", "$DEF_DATA_FILTER=a=b=c\n", "DataFilter=a=b=c"},
            {"comments", "   #$ACCEPT=a\n#\n", ""},
            {"not keys", "$ACCEPT\n=a\n$ACCEPTX=a\n$USER-AGENT=a\n $ ACCEPT=a\n", ""},
            {"last value wins", "$ERR_CODES=404\n$err_codes=500\n", "ErrCodes=500"},
            {"agents in order", "$USER_AGENT=one\n$USER_AGENT= two\n", "UA+one|UA+ two"},
            {"utf-8", "$ACCEPT-LANGUAGE=fr-\xC3\xA9\n", QString::fromUtf8("Lang+fr-\xC3\xA9")},
            {"invalid utf-8", "$ACCEPT=\xFF\xFE\n",
             QString::fromUtf8("Accept+\xEF\xBF\xBD\xEF\xBF\xBD")},
            {"CR line ends", "$ACCEPT=a\r$ACCEPT=b\r$ACCEPT=c", "Accept+a|Accept+b|Accept+c"},
            {"CR LF line ends", "$ACCEPT=a\r\n$ACCEPT=b\r\n", "Accept+a|Accept+b"},
            {"BOM and mixed ends", "\xEF\xBB\xBF$ACCEPT=a\r\n\r\n$ACCEPT=b\n\r$ACCEPT=c",
             "Accept+a|Accept+b|Accept+c"},
            {"half a BOM is text", "\xEF\xBB$ACCEPT=x", ""},
            {"BOM alone", "\xEF\xBB\xBF", ""},
            {"mixed", Mixed, MixedRead},
            {"overlong lines skipped alone",
             "$ACCEPT=a\n$USER_AGENT=" + longValue + "\r\n$ACCEPT=b\n$DEF_EXT=" + longValue,
             "Accept+a|Accept+b"},
            {"line just within the limit", "$DEF_EXT=" + fits, "DefExt=" + QString(fits)},
        };
        for (const auto& r : rows)
            QTest::newRow(r.name) << r.text << r.read;
    }
    void lines()
    {
        QFETCH(QByteArray, text);
        QTEST(read({text}), "read");
        // Two pieces and 1000-byte pieces read the same.
        const qsizetype half = text.size() / 2;
        QTEST(read({text.first(half), text.sliced(half)}), "read");
        QList<QByteArray> pieces;
        for (qsizetype at = 0; at < text.size(); at += 1000)
            pieces.append(text.mid(at, 1000));
        QTEST(read(pieces), "read");
    }

    // param.dat in the base folder: read when it is a regular file, up to the size limit.
    void readFromBaseFolder_data()
    {
        QTest::addColumn<QString>("kind");
        QTest::addColumn<bool>("complete");
        QTest::addColumn<QString>("read");
        QTest::newRow("file") << "file" << true << MixedRead;
        QTest::newRow("base with a slash") << "file/" << true << MixedRead;
        QTest::newRow("oversized: read up to the limit") << "big" << false << "Accept+first";
        QTest::newRow("a folder") << "folder" << false << "";
        QTest::newRow("a FIFO") << "fifo" << false << ""; // would block a plain open
        QTest::newRow("no base folder") << "missing" << false << "";
        QTest::newRow("no file") << "none" << false << "";
        QTest::newRow("empty base") << "" << false << "";
    }
    void readFromBaseFolder()
    {
        QFETCH(QString, kind);
        QTemporaryDir dir;
        const QString file = dir.filePath("param.dat");
        QString base = dir.path();
        if (kind.startsWith("file")) {
            writeFile(file, Mixed);
            base += kind.mid(4);
        } else if (kind == "big") {
            QByteArray text = "$ACCEPT=first\n";
            const QByteArray filler = "# " + QByteArray(100, '-') + "\n";
            while (text.size() + filler.size() <= ParamFileParser::MaxFileSize - 10)
                text += filler;
            writeFile(file, text + "$ACCEPT=cut off at the limit\n$ACCEPT=never read\n");
        } else if (kind == "folder") {
            QVERIFY(QDir().mkdir(file));
        } else if (kind == "fifo") {
            QCOMPARE(mkfifo(QFile::encodeName(file).constData(), 0600), 0);
        } else if (kind == "missing") {
            base = dir.filePath("no-such-folder");
        } else if (kind.isEmpty()) {
            base.clear();
        }
        ParamValues values;
        setBuiltIns(values);
        QTEST(ParamFile::ReadParamFile(base, values), "complete");
        QTEST(changes(values), "read");
    }
};

QTEST_GUILESS_MAIN(TestParamFile)
#include "test_paramfile.moc"
