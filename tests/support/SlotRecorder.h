// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QObject>
#include <QStringList>

class HttpFiles;

// Records every signal of a download slot, in order, as text: the name alone, or
// "Error:<number>:<description>", "Redirected:<url>", "WaitingForReply:<text>",
// "FileDataArrival:<count>". DataArrival, FileDataArrival, WaitingRetry and
// WaitingForReply are kept apart in their own counters too.
class SlotRecorder : public QObject
{
    Q_OBJECT
public:
    explicit SlotRecorder(HttpFiles* slot);

    QStringList events;
    // The events without DataArrival, FileDataArrival, WaitingRetry and WaitingForReply:
    // the order tests compare against.
    QStringList milestones() const;
    QStringList errors() const;
    int count(const QString& name) const;
    bool ended() const { return count(QStringLiteral("Disconnected")) > 0; }

    // Shortens the slot's tick to a few milliseconds and its retry wait to one tick.
    static void makeQuick(HttpFiles* slot);
};

// Waits until the slot raised Disconnected (QTRY within a test function).
#define WAIT_ENDED(recorder, ms) QTRY_VERIFY_WITH_TIMEOUT((recorder).ended(), ms)
