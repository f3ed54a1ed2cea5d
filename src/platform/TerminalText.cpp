// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/TerminalText.h"

namespace {

bool printable(char32_t c)
{
    switch (QChar::category(c)) {
    case QChar::Other_Control:       // C0, DEL, C1
    case QChar::Other_Format:        // bidi marks and overrides, zero widths, BOM
    case QChar::Other_Surrogate:     // half of a pair
    case QChar::Separator_Line:      // U+2028 breaks the line
    case QChar::Separator_Paragraph: // U+2029
        return false;
    default:
        return true;
    }
}

} // namespace

QString TerminalText::Printable(const QString& text)
{
    QString out;
    out.reserve(text.size());
    const qsizetype size = text.size();
    for (qsizetype i = 0; i < size; ++i) {
        const QChar c = text.at(i);
        if (c.isHighSurrogate() && i + 1 < size && text.at(i + 1).isLowSurrogate()) {
            const QChar low = text.at(i + 1);
            ++i;
            if (printable(QChar::surrogateToUcs4(c, low)))
                out.append(c).append(low);
            else
                out.append(QLatin1Char('?'));
            continue;
        }
        out.append(printable(c.unicode()) ? c : QLatin1Char('?'));
    }
    return out;
}
