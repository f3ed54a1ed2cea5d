// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QByteArray>
#include <QList>
#include <QString>

#include <memory>
#include <thread>

// What one accepted connection does, step by step, in order.
class ServerScript
{
public:
    // Reads one request header (up to a blank line) and records it.
    ServerScript& expectRequest() { return add('r'); }
    // Writes these bytes; a pause after them is a packet boundary the client sees.
    ServerScript& send(const QByteArray& bytes) { return add('s', bytes); }
    ServerScript& pause(int ms) { return add('p', QByteArray::number(ms)); }
    // Sends bytes in pieces of `piece` bytes with a pause between them.
    ServerScript& sendSplit(const QByteArray& bytes, int piece, int pauseMs = 15);
    // Closes: orderly (FIN, then waits for the peer's close) or abortive (RST).
    ServerScript& close() { return add('c'); }
    ServerScript& reset() { return add('x'); }
    // Keeps the connection open and silent (recording requests) until the server stops.
    ServerScript& hold() { return add('h'); }
    // Shorthands: expectRequest, send, close; and accept, never answer.
    static ServerScript reply(const QByteArray& bytes)
    {
        return ServerScript().expectRequest().send(bytes).close();
    }
    static ServerScript neverAnswer() { return ServerScript().hold(); }
    QList<std::pair<char, QByteArray>> steps; // a pause holds its milliseconds as text

private:
    ServerScript& add(char kind, const QByteArray& bytes = {})
    {
        steps.append({kind, bytes});
        return *this;
    }
};

// A loopback HTTP server that answers each accepted connection from its own script, in order
// of acceptance, on threads of its own (a test may block its own thread while it serves).
class ScriptedServer
{
public:
    ScriptedServer();
    ~ScriptedServer();

    quint16 port() const { return m_port; }
    QString url(const QString& path = QStringLiteral("/")) const
    {
        return QStringLiteral("http://127.0.0.1:%1%2").arg(m_port).arg(path);
    }

    void addConnection(const ServerScript& script);

    // Every request header received (up to and including the blank line), in order.
    QList<QByteArray> requests() const;
    int connectionCount() const;
    // Waits (the event loop running) until n connections were accepted.
    bool waitForConnections(int n, int timeoutMs = 5000) const;

    struct Shared;

private:
    std::shared_ptr<Shared> m_shared;
    std::thread m_thread;
    quint16 m_port = 0;
};

// A port on 127.0.0.1 where nothing listens (connections are refused).
quint16 unusedLoopbackPort();
