// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "platform/Dialogs.h"

#include <QTextStream>

// Dialogs for the terminal: messages are printed to standard error, questions get
// their safe answer (No, Cancel), file dialogs and the page address are cancelled,
// the clipboard is a private text.
class ConsoleDialogs : public Dialogs
{
public:
    Answer MsgBox(const QString& text, const QString& title, Icon icon,
                  Buttons buttons = Buttons::Ok) override;
    std::optional<QString> InputBox(const QString& prompt, const QString& title,
                                    const QString& defaultText = {}) override;
    std::optional<QString> OpenFileDialog(const QString& title, const QString& filter) override;
    std::optional<QString> SaveFileDialog(const QString& title, const QString& filter,
                                          const QString& defaultExt, const QString& initialDir,
                                          const QString& fileName, bool confirmOverwrite) override;
    bool PageAddressDialog(QString& address) override;
    QString ClipboardText() override { return m_clipboard; }
    void SetClipboardText(const QString& text) override { m_clipboard = text; }
    bool Interactive() const override { return false; }

private:
    QString m_clipboard;
};
