// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "engine/HttpFiles.h"

#include <QMetaMethod>
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
        using H = HttpFiles;
        note(slot, &H::Connected, &H::DownloadComplete, &H::DownloadIncomplete, &H::DownloadFailed,
             &H::Disconnected, &H::SocketClosed, &H::WaitingRetry, &H::Retrying, &H::DataArrival,
             &H::HeaderCame, &H::FileDataArrival, &H::Error, &H::WaitingForReply, &H::Redirected);
        connect(slot, &HttpFiles::HeaderCame, this, [this](const QString& h) { header = h; });
    }

    QStringList events;
    QString header;
    inline static const QRegularExpression errorText{
        "^(Error:[^:]*):(.*)$", QRegularExpression::DotMatchesEverythingOption};
    // The events without DataArrival, FileDataArrival, WaitingRetry and WaitingForReply,
    // errors by their number only: the order tests compare against.
    QStringList milestones() const
    {
        static const QRegularExpression minor("^(File)?DataArrival|^Waiting");
        QStringList out = events;
        out.removeIf([](const QString& e) { return minor.match(e).hasMatch(); });
        return out.replaceInStrings(errorText, "\\1");
    }
    QStringList errors() const
    {
        return events.filter(errorText).replaceInStrings(errorText, "\\2");
    }
    bool ended() const { return events.contains("Disconnected"); }

    // Shortens the slot's tick to a few milliseconds and its retry wait to one tick.
    static void makeQuick(HttpFiles* slot)
    {
        slot->setTickInterval(10);
        slot->setTryInterval(1);
        slot->setConnectTimeout(200); // two seconds of silence at this tick
    }

    // Notes each signal by its name and arguments (DataArrival and HeaderCame by name only).
    template <typename... A, typename... More>
    void note(HttpFiles* slot, void (HttpFiles::*signal)(A...), More... more)
    {
        const QString name = QMetaMethod::fromSignal(signal).name();
        const int keep = name == "DataArrival" || name == "HeaderCame" ? 0 : 2;
        connect(slot, signal, this, [this, name, keep](A... a) {
            events << (QStringList{name} << QStringList{QVariant(a).toString()...}.mid(0, keep))
                          .join(u':');
        });
        if constexpr (sizeof...(More) > 0)
            note(slot, more...);
    }
};

// Waits until the slot raised Disconnected (QTRY within a test function).
#define WAIT_ENDED(recorder, ms) QTRY_VERIFY_WITH_TIMEOUT((recorder).ended(), ms)
