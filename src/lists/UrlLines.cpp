// SPDX-License-Identifier: GPL-3.0-or-later
#include "lists/UrlLines.h"

namespace {

void appendPart(LineSplitState& state, const char* data, qsizetype size)
{
    if (state.tooLong)
        return;
    if (state.partial.size() + size > LineSplitState::MaxLine) {
        state.tooLong = true;
        state.partial.clear();
        state.partial.squeeze();
        return;
    }
    state.partial.append(data, size);
}

void endLine(LineSplitState& state, QList<QByteArray>& lines)
{
    if (state.tooLong) {
        ++state.skipped;
        state.tooLong = false;
    } else {
        lines.append(std::move(state.partial));
    }
    state.partial.clear();
}

} // namespace

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
        appendPart(state, bytes.data() + start, i - start);
        endLine(state, lines);
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
        appendPart(state, bytes.data() + start, size - start);
}

void UrlLines::Finish(LineSplitState& state, QList<QByteArray>& lines)
{
    if (!state.partial.isEmpty() || state.tooLong)
        endLine(state, lines);
    const qsizetype skipped = state.skipped;
    state = LineSplitState();
    state.skipped = skipped;
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
