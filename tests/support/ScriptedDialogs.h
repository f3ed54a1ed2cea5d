// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "platform/Dialogs.h"

#include <QEventLoop>
#include <QList>
#include <QQueue>
#include <QString>
#include <QTimer>

// Dialogs with scripted answers that record everything the core asked.
// Unscripted questions get Ok/Yes; unscripted input and file dialogs are cancelled.
class ScriptedDialogs : public Dialogs
{
public:
    struct Asked
    {
        QString kind; // "MsgBox", "InputBox", "Open", "Save", "PageAddress"
        QString text, title;
        Icon icon = Icon::None;
        Buttons buttons = Buttons::Ok;
    };
    using Queue = QQueue<std::optional<QString>>;

    QList<Asked> asked;
    QQueue<Answer> answers;
    Queue inputs;               // InputBox answers
    Queue files;                // Open and Save dialog answers
    Queue addresses;            // PageAddressDialog answers
    QQueue<QStringList> ranges; // PageAddressOrRange's URLs (none: a page)
    int freeRows = -1;          // as PageAddressOrRange was last asked
    QString clipboard;
    // A save dialog stays open this long, running a nested event loop as a modal dialog
    // does, before it gives its answer; openSaves counts the dialogs open at once.
    int saveOpenMs = 0, openSaves = 0, mostOpenSaves = 0;

    QStringList messages() const // every message box's text, in order
    {
        QStringList texts;
        for (const Asked& a : asked)
            if (a.kind == QLatin1String("MsgBox"))
                texts << a.text;
        return texts;
    }

    Answer MsgBox(const QString& text, const QString& title, Icon icon,
                  Buttons buttons = Buttons::Ok) override
    {
        asked.append({QStringLiteral("MsgBox"), text, title, icon, buttons});
        return !answers.isEmpty()                                       ? answers.dequeue()
               : buttons == Buttons::Ok || buttons == Buttons::OkCancel ? Answer::Ok
                                                                        : Answer::Yes;
    }
    std::optional<QString> InputBox(const QString& prompt, const QString& title,
                                    const QString& = {}) override
    {
        return ask("InputBox", prompt, title, inputs);
    }
    std::optional<QString> OpenFileDialog(const QString& title, const QString& filter) override
    {
        return ask("Open", filter, title, files);
    }
    std::optional<QString> SaveFileDialog(const QString& title, const QString& filter,
                                          const QString&, const QString&, const QString& fileName,
                                          bool) override
    {
        asked.append({QStringLiteral("Save"), fileName.isEmpty() ? filter : fileName, title,
                      Icon::None, Buttons::OkCancel});
        if (saveOpenMs > 0) {
            mostOpenSaves = std::max(mostOpenSaves, ++openSaves);
            QEventLoop loop;
            QTimer::singleShot(saveOpenMs, &loop, &QEventLoop::quit);
            loop.exec();
            --openSaves;
        }
        return files.isEmpty() ? std::nullopt : files.dequeue();
    }
    bool PageAddressDialog(QString& address) override
    {
        const std::optional<QString> answer = ask("PageAddress", address, {}, addresses);
        address = answer.value_or(address);
        return answer.has_value();
    }
    bool PageAddressOrRange(QString& address, int rows, QStringList& rangeUrls) override
    {
        freeRows = rows;
        const bool ok = PageAddressDialog(address);
        rangeUrls = ok && !ranges.isEmpty() ? ranges.dequeue() : QStringList();
        return ok;
    }
    QString ClipboardText() override { return clipboard; }
    void SetClipboardText(const QString& text) override { clipboard = text; }

private:
    std::optional<QString> ask(const char* kind, const QString& text, const QString& title,
                               Queue& queue)
    {
        asked.append({QLatin1String(kind), text, title, Icon::None, Buttons::OkCancel});
        return queue.isEmpty() ? std::nullopt : queue.dequeue();
    }
};
