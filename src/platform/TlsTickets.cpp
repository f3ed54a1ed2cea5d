// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/TlsTickets.h"

#include <QHash>
#include <QList>
#include <QMetaObject>
#include <QPointer>

namespace {

constexpr qsizetype MaxKeptTickets = 256;

struct Waiting
{
    QPointer<QObject> who;
    std::function<void()> start;
};

struct Lead
{
    const QObject* leader = nullptr;
    QList<Waiting> waiting;
};

QHash<QString, QByteArray>& tickets()
{
    static QHash<QString, QByteArray> kept;
    return kept;
}

QHash<QString, Lead>& leads()
{
    static QHash<QString, Lead> running;
    return running;
}

// Ends the lead of `key`: the waiting connections start on the next turn of the event loop.
void release(const QString& key)
{
    const Lead lead = leads().take(key);
    for (const Waiting& w : lead.waiting) {
        if (w.who)
            QMetaObject::invokeMethod(w.who, w.start, Qt::QueuedConnection);
    }
}

} // namespace

QString TlsTickets::Key(const QString& host, int port)
{
    return host + QLatin1Char(':') + QString::number(port);
}

QByteArray TlsTickets::Ticket(const QString& key)
{
    return tickets().value(key);
}

void TlsTickets::Keep(const QString& key, const QByteArray& ticket)
{
    if (ticket.isEmpty())
        return;
    if (tickets().size() >= MaxKeptTickets && !tickets().contains(key))
        tickets().clear();
    tickets().insert(key, ticket);
    release(key);
}

void TlsTickets::Drop(const QString& key)
{
    tickets().remove(key);
}

void TlsTickets::Clear()
{
    tickets().clear();
}

bool TlsTickets::Follow(const QString& key, QObject* who, std::function<void()> start)
{
    Lead& lead = leads()[key];
    if (!lead.leader || lead.leader == who) {
        lead.leader = who;
        return false;
    }
    lead.waiting.append({who, std::move(start)});
    return true;
}

void TlsTickets::Settle(const QString& key, const QObject* who)
{
    const auto lead = leads().constFind(key);
    if (lead != leads().cend() && lead->leader == who)
        release(key);
}

void TlsTickets::Leave(const QString& key, const QObject* who)
{
    const auto lead = leads().find(key);
    if (lead != leads().end())
        lead->waiting.removeIf([who](const Waiting& w) { return w.who == who; });
}
