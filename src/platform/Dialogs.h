// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>
#include <QStringList>

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
    // The page address dialog with its numbered-range mode. On OK `rangeUrls` holds the
    // URLs of the numbered range asked for (never more than `freeRows`), or is empty and
    // `address` holds the page to harvest. Without a range mode: PageAddressDialog.
    virtual bool PageAddressOrRange(QString& address, int freeRows, QStringList& rangeUrls)
    {
        Q_UNUSED(freeRows);
        rangeUrls.clear();
        return PageAddressDialog(address);
    }

    virtual QString ClipboardText() = 0;
    virtual void SetClipboardText(const QString& text) = 0;

    // False where no one can answer interactively (the terminal): callers then take
    // their non-interactive path.
    virtual bool Interactive() const { return true; }
};
