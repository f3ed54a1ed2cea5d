// SPDX-License-Identifier: GPL-3.0-or-later
#include "harvest/NumberedRange.h"

#include "engine/UrlSplit.h"
#include "platform/WholeNumber.h"

#include <limits>
#include <optional>

namespace {

// 18 digits always fit a qint64; a longer range would not fit any list anyway.
constexpr int MaxDigits = 18;

// The value of a whole decimal number, or a message naming `what`.
std::optional<qint64> ReadNumber(QStringView text, const QString& what, QString& error)
{
    if (!WholeNumber::IsDigits(text)) {
        error = QStringLiteral("%1 must be a whole number.").arg(what);
        return std::nullopt;
    }
    if (text.size() > MaxDigits) {
        error = QStringLiteral("%1 is too large.").arg(what);
        return std::nullopt;
    }
    return WholeNumber::Read(text, std::numeric_limits<qint64>::max());
}

QString Numbered(qint64 value, int width)
{
    return QString::number(value).rightJustified(width, QLatin1Char('0'));
}

} // namespace

NumberedRange::Expansion NumberedRange::FromFields(const QString& address, const QString& start,
                                                   const QString& end, const QString& extension,
                                                   bool padded, int freeRows)
{
    Expansion result;
    const QString startText = start.trimmed();
    const QString endText = end.trimmed();
    const auto first = ReadNumber(startText, QStringLiteral("Range Start"), result.Error);
    if (!first)
        return result;
    const auto last = ReadNumber(endText, QStringLiteral("Range End"), result.Error);
    if (!last)
        return result;
    if (*first > *last) {
        result.Error = QStringLiteral("Range Start must not be greater than Range End.");
        return result;
    }
    const Range range{*first, *last, padded ? int(endText.size()) : 0};
    return Generate({address.trimmed(), extension.trimmed()}, {range}, freeRows);
}

NumberedRange::Expansion NumberedRange::FromPattern(const QString& url, int freeRows)
{
    QStringList texts;
    QList<Range> ranges;
    QString text; // literal text since the last range
    qsizetype i = 0;
    while (i < url.size()) {
        const qsizetype open = url.indexOf(QLatin1Char('['), i);
        const qsizetype close = open < 0 ? -1 : url.indexOf(QLatin1Char(']'), open + 1);
        if (close < 0) {
            text += url.mid(i);
            break;
        }
        const QStringView inside = QStringView(url).mid(open + 1, close - open - 1);
        const qsizetype dash = inside.indexOf(QLatin1Char('-'));
        const QStringView firstText = dash < 0 ? QStringView() : inside.left(dash);
        const QStringView lastText = dash < 0 ? QStringView() : inside.mid(dash + 1);
        if (!WholeNumber::IsDigits(firstText) || !WholeNumber::IsDigits(lastText)) {
            // Not a range ("[::1]", "[a-z]", "[x]"): the "[" stays as written.
            text += url.mid(i, open + 1 - i);
            i = open + 1;
            continue;
        }
        const QString bracket = url.mid(open, close - open + 1);
        Expansion refused;
        const auto first =
            ReadNumber(firstText, QStringLiteral("The first number of ") + bracket, refused.Error);
        const auto last =
            first ? ReadNumber(lastText, QStringLiteral("The last number of ") + bracket,
                               refused.Error)
                  : std::nullopt;
        if (!first || !last)
            return refused;
        if (*first > *last) {
            refused.Error = QStringLiteral("The first number of %1 must not be greater than "
                                           "the last.")
                                .arg(bracket);
            return refused;
        }
        text += url.mid(i, open - i);
        texts.append(text);
        text.clear();
        const bool padded = firstText.size() > 1 && firstText.front() == QLatin1Char('0');
        ranges.append({*first, *last, padded ? int(firstText.size()) : 0});
        i = close + 1;
    }
    texts.append(text);
    if (ranges.isEmpty())
        return {{url}, {}};
    return Generate(texts, ranges, freeRows);
}

NumberedRange::Expansion NumberedRange::Generate(const QStringList& texts,
                                                 const QList<Range>& ranges, int freeRows)
{
    Expansion result;
    // The number of URLs, saturated: several large ranges would overflow the product.
    constexpr qint64 Saturated = std::numeric_limits<qint64>::max();
    qint64 count = 1;
    for (const Range& range : ranges) {
        const qint64 size = range.Last - range.First + 1;
        count = count > Saturated / size ? Saturated : count * size;
    }
    if (count > freeRows) {
        const QString made = count == Saturated
                                 ? QStringLiteral("The ranges give too many URLs")
                                 : QStringLiteral("The range gives %1 URLs").arg(count);
        result.Error =
            made +
            QStringLiteral(", but the download list has room for %1 more.").arg(qMax(freeRows, 0));
        return result;
    }
    result.Urls.reserve(count);
    QList<qint64> at; // the current number of each range; the last one counts fastest
    for (const Range& range : ranges)
        at.append(range.First);
    for (qint64 made = 0; made < count; ++made) {
        QString url = texts.front();
        for (int r = 0; r < ranges.size(); ++r)
            url += Numbered(at[r], ranges[r].Width) + texts[r + 1];
        if (!UrlSplit::Parse(url).Supported) {
            result.Error = QStringLiteral("Not a valid URL: ") + url;
            result.Urls.clear();
            return result;
        }
        result.Urls.append(url);
        for (qsizetype r = ranges.size() - 1; r >= 0; --r) {
            if (at[r] < ranges[r].Last) {
                ++at[r];
                break;
            }
            at[r] = ranges[r].First;
        }
    }
    return result;
}
