// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QByteArray>
#include <QList>
#include <QString>

#include <memory>
#include <thread>

// What one accepted connection does, step by step. Steps run in order; a step
// that waits (expectRequest, pause) lets the rest wait too.
class ServerScript
{
public:
    enum class Kind
    {
        ExpectRequest,
        Send,
        Pause,
        Close,
        Reset,
        Hold
    };
    struct Step
    {
        Kind kind;
        QByteArray bytes;
        int ms = 0;
    };

    // Read until the end of one request header (a blank line); the request is recorded.
    ServerScript& expectRequest() { return add(Kind::ExpectRequest); }
    // Write these exact bytes; the next step starts once they are handed to the kernel.
    ServerScript& send(const QByteArray& bytes) { return add(Kind::Send, bytes); }
    // Wait before the next step, so the client sees a packet boundary here.
    ServerScript& pause(int ms) { return add(Kind::Pause, {}, ms); }
    // Send bytes in pieces of `piece` bytes with a pause between them.
    ServerScript& sendSplit(const QByteArray& bytes, int piece, int pauseMs = 15);
    // Orderly close: FIN, then the connection ends when the peer closes its side.
    ServerScript& close() { return add(Kind::Close); }
    // Abortive close (RST): SO_LINGER 0, then close.
    ServerScript& reset() { return add(Kind::Reset); }
    // Keep the connection open and silent (reading and recording) until the server stops.
    ServerScript& hold() { return add(Kind::Hold); }
    // Shorthands: expectRequest, send, close; and accept, never answer.
    static ServerScript reply(const QByteArray& bytes)
    {
        return ServerScript().expectRequest().send(bytes).close();
    }
    static ServerScript neverAnswer() { return ServerScript().hold(); }
    QList<Step> steps;

private:
    ServerScript& add(Kind kind, const QByteArray& bytes = {}, int ms = 0)
    {
        steps.append({kind, bytes, ms});
        return *this;
    }
};

// A loopback HTTP server that answers each accepted connection from its own script,
// in order of acceptance.
// It runs on threads of its own, so a test may block its own thread while it serves.
class ScriptedServer
{
public:
    ScriptedServer();
    ~ScriptedServer();
    ScriptedServer(const ScriptedServer&) = delete;
    ScriptedServer& operator=(const ScriptedServer&) = delete;

    quint16 port() const { return m_port; }
    // "http://127.0.0.1:<port>" + path
    QString url(const QString& path = QStringLiteral("/")) const;

    void addConnection(const ServerScript& script);

    // Every request header received (up to and including the blank line), in order.
    QList<QByteArray> requests() const;
    int connectionCount() const;
    // Waits (without blocking the server) until n connections were accepted.
    bool waitForConnections(int n, int timeoutMs = 5000) const;
    bool waitForRequests(int n, int timeoutMs = 5000) const;

    struct Shared;

private:
    std::shared_ptr<Shared> m_shared;
    std::thread m_thread;
    quint16 m_port = 0;
};

// A port on 127.0.0.1 where nothing listens (connections are refused).
quint16 unusedLoopbackPort();
