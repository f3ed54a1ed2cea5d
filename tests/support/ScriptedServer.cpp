// SPDX-License-Identifier: GPL-3.0-or-later
#include "ScriptedServer.h"

#include <QMutex>
#include <QTcpServer>
#include <QTest>

#include <fcntl.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <atomic>
#include <vector>

ServerScript& ServerScript::sendSplit(const QByteArray& bytes, int piece, int pauseMs)
{
    for (qsizetype at = 0; at < bytes.size(); at += piece) {
        send(bytes.mid(at, piece));
        if (at + piece < bytes.size())
            pause(pauseMs);
    }
    return *this;
}

struct ScriptedServer::Shared
{
    QMutex mutex;
    QList<ServerScript> pending;
    QList<QByteArray> requests;
    int accepted = 0;
    std::atomic_bool stopping = false;

    // Waits until the socket is ready for the events; false once the server stops.
    bool ready(int fd, short events) const
    {
        pollfd p{fd, events, 0};
        while (!stopping)
            if (::poll(&p, 1, 5) != 0)
                return true;
        return false;
    }

    // Runs one script on one accepted connection, on a thread of its own.
    void serve(int fd, const ServerScript& script)
    {
        QByteArray buffer;
        const auto read = [&] { // false at the peer's close or the server's stop
            char chunk[65536];
            const ssize_t n = ready(fd, POLLIN) ? ::recv(fd, chunk, sizeof chunk, 0) : 0;
            buffer.append(chunk, qMax<ssize_t>(n, 0));
            return n > 0;
        };
        const auto takeRequest = [&] { // one whole request header off the buffer
            const qsizetype end = buffer.indexOf("\r\n\r\n");
            if (end >= 0) {
                QMutexLocker lock(&mutex);
                requests.append(buffer.left(end + 4));
                buffer.remove(0, end + 4);
            }
            return end >= 0;
        };
        for (const auto& [kind, bytes] : script.steps) {
            switch (kind) {
            case 'r':
                while (!takeRequest())
                    if (!read())
                        return (void)::close(fd);
                break;
            case 's':
                for (qsizetype at = 0; at < bytes.size() && ready(fd, POLLOUT);) {
                    const ssize_t n = ::send(fd, bytes.constData() + at, bytes.size() - at,
                                             MSG_NOSIGNAL | MSG_DONTWAIT);
                    at = n < 0 && errno != EAGAIN ? bytes.size() : at + qMax<ssize_t>(n, 0);
                }
                break;
            case 'p':
                std::this_thread::sleep_for(std::chrono::milliseconds(bytes.toInt()));
                break;
            case 'c':
                ::shutdown(fd, SHUT_WR); // the peer's close ends the rest
                break;
            case 'x': {
                const linger hard{1, 0};
                ::setsockopt(fd, SOL_SOCKET, SO_LINGER, &hard, sizeof hard);
                return (void)::close(fd);
            }
            case 'h':
                while (read())
                    while (takeRequest()) {
                    }
            }
        }
        while (read()) { // until the peer closes
        }
        ::close(fd);
    }
};

ScriptedServer::ScriptedServer() : m_shared(std::make_shared<Shared>())
{
    QTcpServer bound; // its listening socket, duplicated, is served by the thread below
    bound.listen(QHostAddress::LocalHost);
    m_port = bound.serverPort();
    const int listener = ::fcntl(int(bound.socketDescriptor()), F_DUPFD_CLOEXEC, 0);
    // Connections beyond the scripts are closed at once.
    m_thread = std::thread([listener, shared = m_shared] {
        std::vector<std::thread> connections;
        while (shared->ready(listener, POLLIN)) {
            const int fd = ::accept4(listener, nullptr, nullptr, SOCK_CLOEXEC);
            QMutexLocker lock(&shared->mutex);
            ++shared->accepted;
            const ServerScript script =
                shared->pending.isEmpty() ? ServerScript().close() : shared->pending.takeFirst();
            connections.emplace_back([fd, script, shared] { shared->serve(fd, script); });
        }
        for (std::thread& connection : connections)
            connection.join();
        ::close(listener);
    });
}

ScriptedServer::~ScriptedServer()
{
    m_shared->stopping = true;
    m_thread.join();
}

void ScriptedServer::addConnection(const ServerScript& script)
{
    QMutexLocker lock(&m_shared->mutex);
    m_shared->pending.append(script);
}

QList<QByteArray> ScriptedServer::requests() const
{
    QMutexLocker lock(&m_shared->mutex);
    return m_shared->requests;
}

int ScriptedServer::connectionCount() const
{
    QMutexLocker lock(&m_shared->mutex);
    return m_shared->accepted;
}

bool ScriptedServer::waitForConnections(int n, int timeoutMs) const
{
    return QTest::qWaitFor([&] { return connectionCount() >= n; }, timeoutMs);
}

quint16 unusedLoopbackPort()
{
    QTcpServer probe;
    probe.listen(QHostAddress::LocalHost, 0);
    return probe.serverPort();
}
