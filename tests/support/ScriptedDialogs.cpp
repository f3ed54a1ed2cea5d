// SPDX-License-Identifier: GPL-3.0-or-later
#include "ScriptedDialogs.h"

#include <QEventLoop>
#include <QTimer>

QStringList ScriptedDialogs::messages() const
{
    QStringList texts;
    for (const Asked& a : asked)
        if (a.kind == QLatin1String("MsgBox"))
            texts << a.text;
    return texts;
}

Dialogs::Answer ScriptedDialogs::MsgBox(const QString& text, const QString& title, Icon icon,
                                        Buttons buttons)
{
    asked.append({QStringLiteral("MsgBox"), text, title, icon, buttons});
    if (!answers.isEmpty())
        return answers.dequeue();
    return buttons == Buttons::Ok || buttons == Buttons::OkCancel ? Answer::Ok : Answer::Yes;
}

std::optional<QString> ScriptedDialogs::InputBox(const QString& prompt, const QString& title,
                                                 const QString&)
{
    asked.append({QStringLiteral("InputBox"), prompt, title, Icon::None, Buttons::OkCancel});
    return inputs.isEmpty() ? std::nullopt : inputs.dequeue();
}

std::optional<QString> ScriptedDialogs::OpenFileDialog(const QString& title, const QString& filter)
{
    asked.append({QStringLiteral("Open"), filter, title, Icon::None, Buttons::OkCancel});
    return files.isEmpty() ? std::nullopt : files.dequeue();
}

std::optional<QString> ScriptedDialogs::SaveFileDialog(const QString& title, const QString& filter,
                                                       const QString&, const QString&,
                                                       const QString& fileName, bool)
{
    asked.append({QStringLiteral("Save"), fileName.isEmpty() ? filter : fileName, title, Icon::None,
                  Buttons::OkCancel});
    if (saveOpenMs > 0) {
        mostOpenSaves = std::max(mostOpenSaves, ++openSaves);
        QEventLoop loop;
        QTimer::singleShot(saveOpenMs, &loop, &QEventLoop::quit);
        loop.exec();
        --openSaves;
    }
    return files.isEmpty() ? std::nullopt : files.dequeue();
}

bool ScriptedDialogs::PageAddressDialog(QString& address)
{
    asked.append(
        {QStringLiteral("PageAddress"), address, QString(), Icon::None, Buttons::OkCancel});
    const std::optional<QString> answer = addresses.isEmpty() ? std::nullopt : addresses.dequeue();
    if (answer)
        address = *answer;
    return answer.has_value();
}

bool ScriptedDialogs::PageAddressOrRange(QString& address, int rows, QStringList& rangeUrls)
{
    freeRows = rows;
    const bool ok = PageAddressDialog(address);
    rangeUrls = ok && !ranges.isEmpty() ? ranges.dequeue() : QStringList();
    return ok;
}
