// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QAbstractSocket>
#include <QString>

#include <functional>
#include <memory>

class QSslConfiguration;
class QSslSocket;

// Opens TLS connections and runs their handshakes on one worker thread. The TLS library's
// set-up of a connection, the key exchange and the certificate checks cost about as much as
// the whole transfer of a small file, so twenty connections opened together would otherwise
// hold up every transfer already running. A connection whose handshake passed comes back as
// an open QSslSocket that belongs to the thread that asked, with no parent.
//
// Start, Cancel and the callback all run in that one asking thread (the main thread).
class TlsHandshakes
{
public:
    struct Outcome
    {
        Outcome() = default;
        Outcome(const Outcome&) = delete;
        Outcome& operator=(const Outcome&) = delete;
        ~Outcome(); // a socket nobody took is closed and deleted

        QSslSocket* socket = nullptr; // null when the connection or its handshake failed
        QAbstractSocket::SocketError error = QAbstractSocket::UnknownSocketError;
        QString errorText;
        QString certificateProblems; // what the certificate check found, when it failed
        bool ticketCame = false;     // a TLS 1.3 ticket arrived before the socket came back
    };
    using Done = std::function<void(Outcome&)>;

    // Connects to host:port with `config`, checking the certificate against `host`, and
    // reads at most `readBufferBytes` ahead. `done` runs later, once, unless Cancel comes
    // first. Returns the number Cancel takes (never 0).
    static quint64 Start(const QString& host, quint16 port, const QSslConfiguration& config,
                         qint64 readBufferBytes, Done done);
    // Drops the connection; its `done` never runs. Harmless for a number already done.
    static void Cancel(quint64 id);
};
