// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>

// The folder chooser's "New Directory": one new folder directly inside a given one.
class NewFolder
{
public:
    // Why `name` cannot name a new folder ("", ".", "..", a "/" or a NUL in it); empty
    // when it can.
    static QString NameRefusal(const QString& name);
    // Creates `name` inside `parent` ("/" gives "/name"). On success `created` is the new
    // folder's path; otherwise false with a message and the system's reason in `error`.
    static bool Create(const QString& parent, const QString& name, QString& created,
                       QString& error);
};
