// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "platform/Dialogs.h"

#include <QPointer>
#include <QStringList>

class PageAddressDialog;
class QWidget;

// The window's answers to the core's questions: Qt message boxes, input boxes, file
// dialogs and the system clipboard, each modal over the owner.
class QtDialogs : public Dialogs
{
public:
    explicit QtDialogs(QWidget* owner = nullptr);
    ~QtDialogs() override;

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
    QString ClipboardText() override;
    void SetClipboardText(const QString& text) override;

    // "Text Files(*.txt)|*.txt|All Files(*.*)|*.*" as Qt's name filters
    // ("Text Files (*.txt)", "All Files (*)"). "*.*" becomes "*": on Linux it would
    // miss every name without a dot.
    static QStringList NameFilters(const QString& filter);

private:
    QWidget* m_owner;
    // Kept for the whole run, so the next opening shows the last address.
    QPointer<::PageAddressDialog> m_pageAddress;
};
