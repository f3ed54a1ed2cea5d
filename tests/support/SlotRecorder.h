// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "engine/HttpFiles.h"

#include <QRegularExpression>
#include <QStringList>
#include <QVariant>

// Records every signal of a download slot, in order, as text: the name alone, or
// "Error:<number>:<description>", "Redirected:<url>", "WaitingForReply:<text>",
// "FileDataArrival:<count>"; and the text of the last header.
class SlotRecorder : public QObject
{
public:
    explicit SlotRecorder(HttpFiles* slot) : QObject(slot)
    {
        note(slot, &HttpFiles::Connected, "Connected");
        note(slot, &HttpFiles::DownloadComplete, "DownloadComplete");
        note(slot, &HttpFiles::DownloadIncomplete, "DownloadIncomplete");
        note(slot, &HttpFiles::DownloadFailed, "DownloadFailed");
        note(slot, &HttpFiles::Disconnected, "Disconnected");
        note(slot, &HttpFiles::SocketClosed, "SocketClosed");
        note(slot, &HttpFiles::WaitingRetry, "WaitingRetry");
        note(slot, &HttpFiles::Retrying, "Retrying");
        note(slot, &HttpFiles::DataArrival, "DataArrival", 0);
        note(slot, &HttpFiles::HeaderCame, "HeaderCame", 0);
        note(slot, &HttpFiles::FileDataArrival, "FileDataArrival");
        note(slot, &HttpFiles::Error, "Error");
        note(slot, &HttpFiles::WaitingForReply, "WaitingForReply");
        note(slot, &HttpFiles::Redirected, "Redirected");
        connect(slot, &HttpFiles::HeaderCame, this, [this](const QString& h) { header = h; });
    }

    QStringList events;
    QString header;
    // The events without DataArrival, FileDataArrival, WaitingRetry and WaitingForReply,
    // errors by their number only: the order tests compare against.
    QStringList milestones() const
    {
        static const QRegularExpression minor("^(DataArrival|FileDataArrival|WaitingRetry|"
                                              "WaitingForReply)($|:)");
        QStringList out;
        for (const QString& e : events)
            if (!minor.match(e).hasMatch())
                out << (e.startsWith("Error:") ? e.section(':', 0, 1) : e);
        return out;
    }
    QStringList errors() const
    {
        QStringList out;
        for (const QString& e : events)
            if (e.startsWith("Error:"))
                out << e.section(':', 2);
        return out;
    }
    bool ended() const { return events.contains("Disconnected"); }

    // Shortens the slot's tick to a few milliseconds and its retry wait to one tick.
    static void makeQuick(HttpFiles* slot)
    {
        slot->setTickInterval(10);
        slot->setTryInterval(1);
        slot->setConnectTimeout(200); // two seconds of silence at this tick
    }

    // Notes the signal by its name and its first `keep` arguments.
    template <typename... A>
    void note(HttpFiles* slot, void (HttpFiles::*signal)(A...), const char* name, int keep = 2)
    {
        connect(slot, signal, this, [this, name, keep](A... a) {
            events << (QStringList{name} << QStringList{QVariant(a).toString()...}.mid(0, keep))
                          .join(u':');
        });
    }
};

// Waits until the slot raised Disconnected (QTRY within a test function).
#define WAIT_ENDED(recorder, ms) QTRY_VERIFY_WITH_TIMEOUT((recorder).ended(), ms)
