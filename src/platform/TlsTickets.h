// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QByteArray>
#include <QString>

#include <functional>

class QObject;

// The TLS resumption tickets of this run, by "host:port", for a later connection to the same
// server to resume instead of running the whole handshake (RFC 8446 §2.2). Only a connection
// whose certificate passed the checks leaves a ticket, and a ticket goes only to the host name
// and port it came from, so no resumption can skip a check.
//
// Connections that start together would all run the whole handshake, since none has a ticket
// yet. So the first connection to a server without a ticket leads, and the others wait until
// it has left its ticket or ended, then resume with the ticket (or run the whole handshake).
class TlsTickets
{
public:
    static QString Key(const QString& host, int port);
    static QByteArray Ticket(const QString& key);
    // Keeps the ticket and lets the connections waiting for one to this server start.
    static void Keep(const QString& key, const QByteArray& ticket);
    static void Drop(const QString& key);
    static void Clear();

    // A connection to `key` that holds no ticket asks whether to wait. False: it leads, and
    // calls Settle once its handshake has left a ticket or ended. True: another one leads,
    // and `start` runs (queued to `who`, so not within the caller's handling) once that has
    // settled. `who` must call Leave if it stops waiting first.
    static bool Follow(const QString& key, QObject* who, std::function<void()> start);
    // The lead of `key` is over, with or without a ticket: the waiting connections start.
    static void Settle(const QString& key, const QObject* who);
    static void Leave(const QString& key, const QObject* who);
};
