// SPDX-License-Identifier: GPL-3.0-or-later
#include "controls/TagleafFormat.h"

#include <algorithm>
#include <limits>

namespace {

constexpr qint64 MaxLength = 32767; // a run's length is a 16-bit count

bool startsWith(QStringView item, QLatin1String key)
{
    return item.startsWith(key, Qt::CaseInsensitive);
}

} // namespace

qint64 TagleafFormat::NumberAtStart(QStringView text)
{
    constexpr qint64 Limit = qint64(std::numeric_limits<quint32>::max());
    int i = 0;
    while (i < text.size() && (text[i] == u' ' || text[i] == u'\t'))
        ++i;
    int base = 10;
    bool negative = false;
    if (i + 1 < text.size() && text[i] == u'&') {
        const QChar kind = text[i + 1].toUpper();
        base = kind == u'H' ? 16 : kind == u'O' ? 8 : 0;
        if (base == 0)
            return 0;
        i += 2;
    } else if (i < text.size() && (text[i] == u'-' || text[i] == u'+')) {
        negative = text[i] == u'-';
        ++i;
    }
    qint64 value = 0;
    for (; i < text.size(); ++i) {
        const int digit = text[i].isDigit() ? text[i].digitValue()
                          : base == 16 && text[i].toLower() >= u'a' && text[i].toLower() <= u'f'
                              ? text[i].toLower().unicode() - 'a' + 10
                              : -1;
        if (digit < 0 || digit >= base)
            break;
        value = std::min(Limit, value * base + digit);
    }
    return negative ? -value : value;
}

QVector<TagleafRun> TagleafFormat::Parse(const QString& format, const TagleafRun& defaults)
{
    QStringView rest(format);
    if (rest.endsWith(u';'))
        rest.chop(1);
    if (rest.startsWith(u';'))
        rest = rest.mid(1);
    QVector<TagleafRun> runs;
    if (rest.isEmpty())
        return runs;
    for (QStringView description : rest.split(u';')) {
        TagleafRun run = defaults;
        run.Length = 0;
        for (QStringView item : description.split(u',')) {
            if (startsWith(item, QLatin1String("FC=")))
                run.ForeColor = quint32(NumberAtStart(item.mid(3)));
            else if (startsWith(item, QLatin1String("BC=")))
                run.BackColor = quint32(NumberAtStart(item.mid(3)));
            else if (startsWith(item, QLatin1String("L=")))
                run.Length = int(std::clamp(NumberAtStart(item.mid(2)), qint64(0), MaxLength));
            else if (startsWith(item, QLatin1String("Font="))) {
                const QStringView letters = item.mid(5);
                run.Bold = letters.contains(u'b', Qt::CaseInsensitive);
                run.Italic = letters.contains(u'i', Qt::CaseInsensitive);
                run.Underline = letters.contains(u'u', Qt::CaseInsensitive);
                run.Strikethrough = letters.contains(u's', Qt::CaseInsensitive);
            }
        }
        runs.append(run);
    }
    return runs;
}
