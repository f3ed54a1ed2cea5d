// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>
#include <QVector>

// The formatted label's run descriptions: "L=5,FC=255;L=3,Font=bu" gives a run of five
// characters in red and one of three in bold underlined type. No widget code.
struct TagleafRun
{
    int Length = 0;        // caption characters, 0 .. 32767
    quint32 BackColor = 0; // 0x00BBGGRR
    quint32 ForeColor = 0;
    bool Bold = false;
    bool Italic = false;
    bool Underline = false;
    bool Strikethrough = false;

    bool operator==(const TagleafRun&) const = default;
};

namespace TagleafFormat {

// One run per ";"-separated description (one leading and one trailing ";" dropped), each
// starting from `defaults`. Items are "FC=", "BC=", "L=" followed by a number and "Font="
// followed by the letters b, i, u, s; keys ignore case and anything else is ignored, so
// no text is ever refused.
QVector<TagleafRun> Parse(const QString& format, const TagleafRun& defaults);

// The number at the start of a text: optional blanks and sign, decimal digits, or "&H"
// hexadecimal / "&O" octal digits; 0 when there is none. Saturates at the 32-bit range.
qint64 NumberAtStart(QStringView text);

} // namespace TagleafFormat
