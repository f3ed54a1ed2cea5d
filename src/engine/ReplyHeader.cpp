// SPDX-License-Identifier: GPL-3.0-or-later
#include "engine/ReplyHeader.h"

#include "platform/WholeNumber.h"

void ReplyHeader::Reset()
{
    m_pending.clear();
    m_scanned = 0;
}

// Status line "HTTP/1.1 200 OK": the code is the three digits after the first blank.
static int statusCode(const QByteArray& header, bool* valid)
{
    const qsizetype lineEnd = header.indexOf("\r\n");
    const QByteArray line = lineEnd < 0 ? header : header.left(lineEnd);
    *valid = false;
    if (!line.startsWith("HTTP/"))
        return 0;
    const qsizetype blank = line.indexOf(' ');
    if (blank < 0)
        return 0;
    qsizetype at = blank;
    while (at < line.size() && line.at(at) == ' ')
        ++at;
    if (line.size() - at < 3)
        return 0;
    int code = 0;
    for (int i = 0; i < 3; ++i) {
        const char c = line.at(at + i);
        if (c < '0' || c > '9')
            return 0;
        code = code * 10 + (c - '0');
    }
    if (line.size() > at + 3 && line.at(at + 3) != ' ')
        return 0;
    *valid = code >= 100;
    return code;
}

ReplyHeader::Step ReplyHeader::Feed(QByteArray& packet)
{
    m_pending += packet;
    packet.clear();
    for (;;) {
        // The blank line may straddle the previous packet: look back three bytes.
        const qsizetype end = m_pending.indexOf("\r\n\r\n", qMax<qsizetype>(0, m_scanned - 3));
        if (end < 0) {
            m_scanned = m_pending.size();
            // Up to three bytes of a blank line may still come: the header itself is
            // what the limit counts, whatever the packet sizes.
            return m_pending.size() > MaxBytes + 3 ? Step::TooLong : Step::NeedMore;
        }
        if (end > MaxBytes)
            return Step::TooLong;
        const QByteArray header = m_pending.left(end);
        bool valid = false;
        const int code = statusCode(header, &valid);
        m_pending.remove(0, end + 4);
        m_scanned = 0;
        // RFC 9110 §15.2: interim replies (100 Continue, 103 Early Hints) precede the
        // final one on the same connection; they carry no body.
        if (valid && code >= 100 && code < 200)
            continue;
        parseFinal(header);
        packet = m_pending;
        m_pending.clear();
        return Step::Complete;
    }
}

void ReplyHeader::parseFinal(const QByteArray& header)
{
    // One character per byte: field values are ISO-8859-1 at most (RFC 9110 §5.5).
    m_text = QString::fromLatin1(header);
    m_vars = ParseFields(m_text);
    m_status = statusCode(header, &m_statusValid);
    const QString value = StatusValue();
    m_statusText = value.size() > 3 ? value.mid(3) : QString();
}

// Where the CR LF at or after from begins, or the end of the text.
static qsizetype lineEnd(QStringView all, qsizetype from)
{
    for (qsizetype lf = all.indexOf(u'\n', from); lf >= 0; lf = all.indexOf(u'\n', lf + 1)) {
        if (lf > from && all.at(lf - 1) == u'\r')
            return lf - 1;
    }
    return all.size();
}

QList<HttpVar> ReplyHeader::ParseFields(const QString& text)
{
    QList<HttpVar> vars;
    vars.reserve(16);
    const QStringView all(text);
    qsizetype from = 0;
    while (from <= all.size()) {
        const qsizetype end = lineEnd(all, from);
        const QStringView line = all.sliced(from, end - from);
        from = end + 2;
        if (line.trimmed().isEmpty())
            continue;
        HttpVar var;
        // The status line is split at its first blank: "HTTP/1.1" and "200 OK".
        qsizetype cut = vars.isEmpty() ? -1 : line.indexOf(QLatin1Char(':'));
        if (cut < 0)
            cut = line.indexOf(QLatin1Char(' '));
        if (cut < 0) {
            var.Name = line.trimmed().toString();
        } else {
            var.Name = line.first(cut).trimmed().toString();
            var.Value = line.sliced(cut + 1).trimmed().toString();
        }
        // An obsolete folded line (RFC 9112 §5.2) continues the value; one is joined.
        if (from < all.size() && all.at(from) == QLatin1Char(' ')) {
            const qsizetype next = lineEnd(all, from);
            var.Value += all.sliced(from, next - from);
            from = next + 2;
        }
        vars.append(var);
    }
    return vars;
}

int ReplyHeader::VarIndex(const QString& name) const
{
    for (qsizetype i = 0; i < m_vars.size(); ++i) {
        const QString& field = m_vars.at(i).Name;
        if (field.size() == name.size() && field.compare(name, Qt::CaseInsensitive) == 0)
            return int(i);
    }
    return -1;
}

QString ReplyHeader::Var(const QString& name) const
{
    const int i = VarIndex(name);
    return i < 0 ? QString() : m_vars.at(i).Value.trimmed();
}

QStringList ReplyHeader::Values(const QString& name) const
{
    QStringList values;
    for (const HttpVar& var : m_vars) {
        if (var.Name.size() == name.size() && var.Name.compare(name, Qt::CaseInsensitive) == 0)
            values.append(var.Value.trimmed());
    }
    return values;
}

bool ReplyHeader::ParseLength(const QString& text, qint64* value)
{
    const std::optional<qint64> length = WholeNumber::Read(QStringView(text).trimmed(), MaxLength);
    if (length)
        *value = *length;
    return length.has_value();
}

bool ReplyHeader::ParseContentRange(const QString& text, qint64* first, qint64* last, qint64* total)
{
    QString range = text.trimmed();
    if (!range.startsWith(QLatin1String("bytes"), Qt::CaseInsensitive))
        return false;
    range = range.mid(5).trimmed();
    const qsizetype slash = range.indexOf(QLatin1Char('/'));
    const qsizetype dash = range.indexOf(QLatin1Char('-'));
    if (slash < 0 || dash < 0 || dash > slash)
        return false;
    if (!ParseLength(range.left(dash), first) ||
        !ParseLength(range.mid(dash + 1, slash - dash - 1), last) || *last < *first)
        return false;
    const QString complete = range.mid(slash + 1).trimmed();
    if (complete == QLatin1String("*")) {
        *total = -1;
        return true;
    }
    return ParseLength(complete, total) && *last < *total;
}

bool ReplyHeader::ParseUnsatisfiedRange(const QString& text, qint64* total)
{
    QString range = text.trimmed();
    if (!range.startsWith(QLatin1String("bytes"), Qt::CaseInsensitive))
        return false;
    range = range.mid(5).trimmed();
    if (!range.startsWith(QLatin1String("*/")))
        return false;
    return ParseLength(range.mid(2), total);
}

bool ReplyHeader::ContentLength(qint64* value, bool* present, QString* problem) const
{
    const QStringList values = Values(QStringLiteral("Content-Length"));
    *present = !values.isEmpty();
    bool have = false;
    for (const QString& field : values) {
        // A list of identical values is one length (RFC 9110 §8.6).
        for (const QString& item : field.split(QLatin1Char(','))) {
            qint64 n = 0;
            if (!ParseLength(item, &n)) {
                *problem = QStringLiteral("Invalid Content-Length: ") + field;
                return false;
            }
            if (have && n != *value) {
                *problem = QStringLiteral("Conflicting Content-Length values: ") +
                           values.join(QStringLiteral(", "));
                return false;
            }
            *value = n;
            have = true;
        }
    }
    return true;
}

bool ReplyHeader::Persistent() const
{
    if (!m_statusValid || m_vars.isEmpty())
        return false;
    bool close = false, keepAlive = false;
    for (const QString& value : Values(QStringLiteral("Connection"))) {
        for (const QString& option : value.split(QLatin1Char(','))) {
            const QString token = option.trimmed();
            close = close || token.compare(QLatin1String("close"), Qt::CaseInsensitive) == 0;
            keepAlive =
                keepAlive || token.compare(QLatin1String("keep-alive"), Qt::CaseInsensitive) == 0;
        }
    }
    if (close)
        return false;
    const QString version = m_vars.first().Name;
    if (version.compare(QLatin1String("HTTP/1.0"), Qt::CaseInsensitive) == 0)
        return keepAlive;
    return version.startsWith(QLatin1String("HTTP/1."), Qt::CaseInsensitive);
}
