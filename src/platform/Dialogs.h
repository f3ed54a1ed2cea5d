// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>

#include <optional>

// Every question, message, file dialog and clipboard access of the core goes
// through this interface. The window answers with Qt dialogs, the terminal with
// printed lines, the tests with scripted answers that record what was asked.
class Dialogs
{
public:
    enum class Icon
    {
        None,
        Critical,
        Question,
        Exclamation,
        Information
    };
    enum class Buttons
    {
        Ok,
        OkCancel,
        YesNo,
        YesNoCancel
    };
    enum class Answer
    {
        Ok,
        Cancel,
        Yes,
        No
    };

    virtual ~Dialogs() = default;

    virtual Answer MsgBox(const QString& text, const QString& title, Icon icon,
                          Buttons buttons = Buttons::Ok) = 0;
    // The answer, or nothing when cancelled.
    virtual std::optional<QString> InputBox(const QString& prompt, const QString& title,
                                            const QString& defaultText = {}) = 0;
    // A file to read, or nothing when cancelled. Filter as "Text Files(*.txt)|*.txt|...".
    virtual std::optional<QString> OpenFileDialog(const QString& title, const QString& filter) = 0;
    // A file to write, or nothing when cancelled.
    virtual std::optional<QString>
    SaveFileDialog(const QString& title, const QString& filter, const QString& defaultExt,
                   const QString& initialDir, const QString& fileName, bool confirmOverwrite) = 0;
    // The page address dialog: shows `address`, returns true on OK with the edited text in it.
    virtual bool PageAddressDialog(QString& address) = 0;

    virtual QString ClipboardText() = 0;
    virtual void SetClipboardText(const QString& text) = 0;

    // False where no one can answer interactively (the terminal): callers then take
    // their non-interactive path.
    virtual bool Interactive() const { return true; }
};
