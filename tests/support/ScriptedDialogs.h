// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "platform/Dialogs.h"

#include <QList>
#include <QQueue>
#include <QString>

// Dialogs with scripted answers that record everything the core asked.
// Unscripted questions get Ok/Yes; unscripted input and file dialogs are cancelled.
class ScriptedDialogs : public Dialogs
{
public:
    struct Asked
    {
        QString kind; // "MsgBox", "InputBox", "Open", "Save", "PageAddress"
        QString text;
        QString title;
        Icon icon = Icon::None;
        Buttons buttons = Buttons::Ok;
    };

    QList<Asked> asked;
    QQueue<Answer> answers;
    QQueue<std::optional<QString>> inputs;    // InputBox answers
    QQueue<std::optional<QString>> files;     // Open and Save dialog answers
    QQueue<std::optional<QString>> addresses; // PageAddressDialog answers
    QQueue<QStringList> ranges;               // PageAddressOrRange's URLs (none: a page)
    int freeRows = -1;                        // as PageAddressOrRange was last asked
    QString clipboard;
    // A save dialog stays open this long, running a nested event loop as a modal dialog
    // does, before it gives its answer; openSaves counts the dialogs open at once.
    int saveOpenMs = 0;
    int openSaves = 0;
    int mostOpenSaves = 0;

    // The texts of every message box, in order.
    QStringList messages() const;

    Answer MsgBox(const QString& text, const QString& title, Icon icon,
                  Buttons buttons = Buttons::Ok) override;
    std::optional<QString> InputBox(const QString& prompt, const QString& title,
                                    const QString& defaultText = {}) override;
    std::optional<QString> OpenFileDialog(const QString& title, const QString& filter) override;
    std::optional<QString> SaveFileDialog(const QString& title, const QString& filter,
                                          const QString& defaultExt, const QString& initialDir,
                                          const QString& fileName, bool confirmOverwrite) override;
    bool PageAddressDialog(QString& address) override;
    bool PageAddressOrRange(QString& address, int freeRows, QStringList& rangeUrls) override;
    QString ClipboardText() override { return clipboard; }
    void SetClipboardText(const QString& text) override { clipboard = text; }
};
