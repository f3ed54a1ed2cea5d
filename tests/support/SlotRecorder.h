// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "engine/HttpFiles.h"

#include <QRegularExpression>
#include <QStringList>

#include <utility>

// Records every signal of a download slot, in order, as text: the name alone, or
// "Error:<number>:<description>", "Redirected:<url>", "WaitingForReply:<text>",
// "FileDataArrival:<count>".
class SlotRecorder : public QObject
{
public:
    explicit SlotRecorder(HttpFiles* slot) : QObject(slot)
    {
        const auto note = [this](const QString& name) { return [this, name] { events << name; }; };
        const auto noteText = [this](const QString& name) {
            return [this, name](const QString& text) { events << name + ':' + text; };
        };
        using Plain = void (HttpFiles::*)();
        for (const auto& [signal, name] :
             {std::pair<Plain, const char*>{&HttpFiles::Connected, "Connected"},
              {&HttpFiles::DownloadComplete, "DownloadComplete"},
              {&HttpFiles::DownloadIncomplete, "DownloadIncomplete"},
              {&HttpFiles::DownloadFailed, "DownloadFailed"},
              {&HttpFiles::Disconnected, "Disconnected"},
              {&HttpFiles::SocketClosed, "SocketClosed"},
              {&HttpFiles::WaitingRetry, "WaitingRetry"},
              {&HttpFiles::Retrying, "Retrying"}})
            connect(slot, signal, this, note(name));
        connect(slot, &HttpFiles::DataArrival, this, note("DataArrival"));
        connect(slot, &HttpFiles::HeaderCame, this, note("HeaderCame"));
        connect(slot, &HttpFiles::FileDataArrival, this,
                [this](qint64 n) { events << "FileDataArrival:" + QString::number(n); });
        connect(slot, &HttpFiles::Error, this, [this](int n, const QString& text) {
            events << "Error:" + QString::number(n) + ':' + text;
        });
        connect(slot, &HttpFiles::WaitingForReply, this, noteText("WaitingForReply"));
        connect(slot, &HttpFiles::Redirected, this, noteText("Redirected"));
    }

    QStringList events;
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
};

// Waits until the slot raised Disconnected (QTRY within a test function).
#define WAIT_ENDED(recorder, ms) QTRY_VERIFY_WITH_TIMEOUT((recorder).ended(), ms)
