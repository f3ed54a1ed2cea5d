// SPDX-License-Identifier: GPL-3.0-or-later
#include "settings/ParamFile.h"

#include "platform/Version.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

namespace {

// Strips spaces only: a tab is part of the text.
QByteArrayView stripSpaces(QByteArrayView text)
{
    qsizetype begin = 0;
    qsizetype end = text.size();
    while (begin < end && text[begin] == ' ')
        ++begin;
    while (end > begin && text[end - 1] == ' ')
        --end;
    return text.sliced(begin, end - begin);
}

bool keyIs(QByteArrayView key, const char* name)
{
    return key.compare(QByteArrayView(name), Qt::CaseInsensitive) == 0;
}

void appendStripped(ComboList& list, QByteArrayView value)
{
    const QByteArrayView stripped = stripSpaces(value);
    if (!stripped.isEmpty())
        list.AddItem(QString::fromUtf8(stripped));
}

void endLine(ParamFileParser& parser, ParamValues& values)
{
    if (!parser.overlong)
        ParamFile::ApplyLine(parser.line, values);
    parser.line.clear();
    parser.overlong = false;
}

void appendToLine(ParamFileParser& parser, QByteArrayView bytes)
{
    if (parser.overlong || bytes.isEmpty())
        return;
    if (parser.line.size() + bytes.size() > ParamFileParser::MaxLineLength) {
        parser.overlong = true;
        parser.line.clear();
        return;
    }
    parser.line.append(bytes);
}

} // namespace

void ParamFile::SetBuiltIns(ParamValues& values)
{
    values.DefExt = QStringLiteral(".htm.html.asp.php.pl.cgi.ph3.ph4.ph5");
    // https links are harvested as well as http ones.
    values.DataFilter = QStringLiteral("(https?://[^<=\\?\\+>]+$Ext)");
    values.ErrCodes = QStringLiteral("301|302|303|304|305|306|307|308|416");

    values.CboAccept.Clear();
    values.CboAccept.AddItem(QString());
    values.CboAccept.AddItem(QStringLiteral("*.*, */*"));
    values.CboAccept.AddItem(QStringLiteral("image/jpg, image/png, *.*, */*"));
    values.CboAccept.AddItem(
        QStringLiteral("text/xml,application/xml,application/xhtml+xml,text/html;q=0.9,"
                       "text/plain;q=0.8,image/png,*/*;q=0.5"));
    values.CboAccept.Select(1);

    values.CboAccptLang.Clear();
    values.CboAccptLang.AddItem(QString());
    values.CboAccptLang.AddItem(QStringLiteral("en-us, en;q=0.5"));
    values.CboAccptLang.AddItem(QStringLiteral("en-us"));
    values.CboAccptLang.Select(0);

    values.CboAccptEncoding.Clear();
    values.CboAccptEncoding.AddItem(QString());
    values.CboAccptEncoding.AddItem(QStringLiteral("*"));
    values.CboAccptEncoding.AddItem(QStringLiteral("gzip, deflate"));
    values.CboAccptEncoding.Select(1);

    values.UserAgents = {
        BuiltInUserAgent(),
        QStringLiteral("Mozilla/5.0 (Windows; U; Win98; en-US; rv:1.8) Gecko/20051111 Firefox/1.5"),
        QStringLiteral("Mozilla/4.0 (compatible; MSIE 6.0; Windows 98)"),
    };
}

QString ParamFile::BuiltInUserAgent()
{
    return QStringLiteral("Harvex/%1.%2 (Windows; Windows 98; Windows XP;)")
        .arg(Version::Major)
        .arg(Version::Minor);
}

bool ParamFile::ReadParamFile(const QString& baseDir, ParamValues& values)
{
    // Without a base folder there is no param.dat (not one in the working folder).
    if (baseDir.isEmpty())
        return false;
    const QString path = QDir(baseDir).filePath(QStringLiteral("param.dat"));
    // Only a regular file: opening a FIFO or device of that name would block
    // start-up or read without end.
    if (!QFileInfo(path).isFile())
        return false;
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return false;
    ParamFileParser parser;
    char buffer[16 * 1024];
    qint64 total = 0;
    for (;;) {
        // Past the size limit the rest is ignored, as after a read error.
        if (total >= ParamFileParser::MaxFileSize)
            return false;
        const qint64 n =
            file.read(buffer, qMin<qint64>(sizeof buffer, ParamFileParser::MaxFileSize - total));
        if (n < 0)
            return false; // keeps what was read; the cut line is dropped
        if (n == 0)
            break;
        total += n;
        Feed(parser, QByteArrayView(buffer, n), values);
    }
    Finish(parser, values);
    return true;
}

void ParamFile::FillUserAgents(ParamValues& values)
{
    values.Combo2.Clear();
    for (const QString& agent : std::as_const(values.UserAgents))
        values.Combo2.AddItem(agent);
    if (values.Combo2.Count() > 0)
        values.Combo2.Select(0);
}

void ParamFile::Feed(ParamFileParser& parser, QByteArrayView bytes, ParamValues& values)
{
    // A byte order mark at the very start is no part of the first key.
    bytes = parser.bom.Feed(bytes);
    appendToLine(parser, parser.bom.Released());
    qsizetype start = 0;
    for (qsizetype i = 0; i < bytes.size(); ++i) {
        const char c = bytes[i];
        if (c != '\r' && c != '\n') {
            parser.afterCR = false;
            continue;
        }
        appendToLine(parser, bytes.sliced(start, i - start));
        start = i + 1;
        if (c == '\n' && parser.afterCR) {
            // The LF of a CR LF pair: its line already ended at the CR.
            parser.afterCR = false;
            continue;
        }
        parser.afterCR = c == '\r';
        endLine(parser, values);
    }
    appendToLine(parser, bytes.sliced(start));
}

void ParamFile::Finish(ParamFileParser& parser, ParamValues& values)
{
    appendToLine(parser, parser.bom.Finish());
    if (!parser.line.isEmpty() || parser.overlong)
        endLine(parser, values);
    parser = ParamFileParser();
}

void ParamFile::ApplyLine(QByteArrayView rawLine, ParamValues& values)
{
    const QByteArrayView line = stripSpaces(rawLine);
    if (line.isEmpty() || line[0] == '#')
        return;
    const qsizetype eq = line.indexOf('=');
    if (eq < 0)
        return;
    // The key is not stripped again: "$ACCEPT =x" names no known key.
    const QByteArrayView key = line.first(eq);
    const QByteArrayView value = line.sliced(eq + 1);
    if (keyIs(key, "$DEF_EXT"))
        values.DefExt = QString::fromUtf8(value);
    else if (keyIs(key, "$DEF_DATA_FILTER"))
        values.DataFilter = QString::fromUtf8(value);
    else if (keyIs(key, "$ERR_CODES"))
        values.ErrCodes = QString::fromUtf8(value);
    else if (keyIs(key, "$USER_AGENT"))
        values.UserAgents.append(QString::fromUtf8(value));
    else if (keyIs(key, "$ACCEPT"))
        appendStripped(values.CboAccept, value);
    else if (keyIs(key, "$ACCEPT-ENCODING"))
        appendStripped(values.CboAccptEncoding, value);
    else if (keyIs(key, "$ACCEPT-LANGUAGE"))
        appendStripped(values.CboAccptLang, value);
}
