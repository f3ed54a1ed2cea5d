// SPDX-License-Identifier: GPL-3.0-or-later
#include "SlotRecorder.h"

#include "engine/HttpFiles.h"

SlotRecorder::SlotRecorder(HttpFiles* slot) : QObject(slot)
{
    auto plain = [this](const char* name) {
        return [this, name] { events.append(QString::fromLatin1(name)); };
    };
    connect(slot, &HttpFiles::DataArrival, this,
            [this] { events.append(QStringLiteral("DataArrival")); });
    connect(slot, &HttpFiles::FileDataArrival, this,
            [this](qint64 n) { events.append(QStringLiteral("FileDataArrival:%1").arg(n)); });
    connect(slot, &HttpFiles::DownloadComplete, this, plain("DownloadComplete"));
    connect(slot, &HttpFiles::DownloadIncomplete, this, plain("DownloadIncomplete"));
    connect(slot, &HttpFiles::DownloadFailed, this, plain("DownloadFailed"));
    connect(slot, &HttpFiles::Connected, this, plain("Connected"));
    connect(slot, &HttpFiles::Disconnected, this, plain("Disconnected"));
    connect(slot, &HttpFiles::Error, this, [this](int n, const QString& d) {
        events.append(QStringLiteral("Error:%1:%2").arg(n).arg(d));
    });
    connect(slot, &HttpFiles::WaitingForReply, this,
            [this](const QString& t) { events.append(QStringLiteral("WaitingForReply:") + t); });
    connect(slot, &HttpFiles::Redirected, this,
            [this](const QString& u) { events.append(QStringLiteral("Redirected:") + u); });
    connect(slot, &HttpFiles::SocketClosed, this, plain("SocketClosed"));
    connect(slot, &HttpFiles::HeaderCame, this, plain("HeaderCame"));
    connect(slot, &HttpFiles::WaitingRetry, this, plain("WaitingRetry"));
    connect(slot, &HttpFiles::Retrying, this, plain("Retrying"));
}

QStringList SlotRecorder::milestones() const
{
    QStringList out;
    for (const QString& e : events) {
        if (e == QLatin1String("DataArrival") || e == QLatin1String("WaitingRetry") ||
            e.startsWith(QLatin1String("FileDataArrival")) ||
            e.startsWith(QLatin1String("WaitingForReply")))
            continue;
        // Errors are compared by their number; tests read the descriptions apart.
        out.append(e.startsWith(QLatin1String("Error:")) ? e.section(QLatin1Char(':'), 0, 1) : e);
    }
    return out;
}

QStringList SlotRecorder::errors() const
{
    QStringList out;
    for (const QString& e : events) {
        if (e.startsWith(QLatin1String("Error:")))
            out.append(e.section(QLatin1Char(':'), 2));
    }
    return out;
}

int SlotRecorder::count(const QString& name) const
{
    int n = 0;
    for (const QString& e : events) {
        if (e == name || e.startsWith(name + QLatin1Char(':')))
            ++n;
    }
    return n;
}

void SlotRecorder::makeQuick(HttpFiles* slot)
{
    slot->setTickInterval(10);
    slot->setTryInterval(1);
    slot->setConnectTimeout(200); // two seconds of silence at this tick
}
