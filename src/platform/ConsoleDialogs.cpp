// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/ConsoleDialogs.h"

#include "platform/TerminalText.h"

#include <cstdio>

Dialogs::Answer ConsoleDialogs::MsgBox(const QString& text, const QString& title, Icon,
                                       Buttons buttons)
{
    QString line = text;
    line.replace(QStringLiteral("\r\n"), QStringLiteral(" "));
    if (!title.isEmpty())
        line = title + QStringLiteral(": ") + line;
    std::fprintf(stderr, "%s\n", qPrintable(TerminalText::Printable(line)));
    switch (buttons) {
    case Buttons::Ok:
        return Answer::Ok;
    case Buttons::OkCancel:
        return Answer::Cancel;
    case Buttons::YesNo:
    case Buttons::YesNoCancel:
        return Answer::No;
    }
    return Answer::Ok;
}

std::optional<QString> ConsoleDialogs::InputBox(const QString&, const QString&, const QString&)
{
    return std::nullopt;
}

std::optional<QString> ConsoleDialogs::OpenFileDialog(const QString&, const QString&)
{
    return std::nullopt;
}

std::optional<QString> ConsoleDialogs::SaveFileDialog(const QString&, const QString&,
                                                      const QString&, const QString&,
                                                      const QString&, bool)
{
    return std::nullopt;
}

bool ConsoleDialogs::PageAddressDialog(QString&)
{
    return false;
}
