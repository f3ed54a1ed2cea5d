// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>

// Text bound for a terminal. Server texts (URLs, reason phrases, header values) and file
// names may carry characters that a terminal takes as commands: C0 and C1 controls start
// escape sequences (ESC, CSI U+009B), and format characters such as U+202E reorder what
// follows. Every line written to a terminal goes through Printable.
class TerminalText
{
public:
    // Each control, format, separator or unpaired surrogate code point becomes one "?".
    static QString Printable(const QString& text);
};
