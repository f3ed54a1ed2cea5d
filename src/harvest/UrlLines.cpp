// SPDX-License-Identifier: GPL-3.0-or-later
#include "harvest/UrlLines.h"

void UrlLines::Feed(LineSplitState& state, QByteArrayView bytes, QList<QByteArray>& lines)
{
    qsizetype start = 0;
    const qsizetype size = bytes.size();
    if (state.afterCR && size > 0) {
        state.afterCR = false;
        if (bytes.at(0) == '\n')
            start = 1; // the LF of a CR LF cut between two reads
    }
    for (qsizetype i = start; i < size; ++i) {
        const char c = bytes.at(i);
        if (c != '\n' && c != '\r')
            continue;
        state.partial.append(bytes.data() + start, i - start);
        lines.append(std::move(state.partial));
        state.partial.clear();
        if (c == '\r') {
            if (i + 1 < size) {
                if (bytes.at(i + 1) == '\n')
                    ++i;
            } else {
                state.afterCR = true;
            }
        }
        start = i + 1;
    }
    if (start < size)
        state.partial.append(bytes.data() + start, size - start);
}

void UrlLines::Finish(LineSplitState& state, QList<QByteArray>& lines)
{
    if (!state.partial.isEmpty())
        lines.append(std::move(state.partial));
    state = LineSplitState();
}

QStringList UrlLines::SplitText(const QString& text)
{
    QStringList pieces;
    qsizetype start = 0;
    const qsizetype size = text.size();
    for (qsizetype i = 0; i < size; ++i) {
        const QChar c = text.at(i);
        if (c != QLatin1Char('\n') && c != QLatin1Char('\r'))
            continue;
        pieces.append(text.mid(start, i - start));
        if (c == QLatin1Char('\r') && i + 1 < size && text.at(i + 1) == QLatin1Char('\n'))
            ++i;
        start = i + 1;
    }
    pieces.append(text.mid(start));
    return pieces;
}

QString UrlLines::StripBlanks(const QString& line)
{
    qsizetype begin = 0;
    qsizetype end = line.size();
    while (begin < end && line.at(begin) == QLatin1Char(' '))
        ++begin;
    while (end > begin && line.at(end - 1) == QLatin1Char(' '))
        --end;
    return line.mid(begin, end - begin);
}
