// SPDX-License-Identifier: GPL-3.0-or-later
#include "ScriptedServer.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QHostAddress>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTimer>

#include <functional>

#include <sys/socket.h>

ServerScript& ServerScript::expectRequest()
{
    steps.append({Kind::ExpectRequest, {}, 0});
    return *this;
}

ServerScript& ServerScript::send(const QByteArray& bytes)
{
    steps.append({Kind::Send, bytes, 0});
    return *this;
}

ServerScript& ServerScript::pause(int ms)
{
    steps.append({Kind::Pause, {}, ms});
    return *this;
}

ServerScript& ServerScript::sendSplit(const QByteArray& bytes, int piece, int pauseMs)
{
    for (qsizetype at = 0; at < bytes.size(); at += piece) {
        send(bytes.mid(at, piece));
        if (at + piece < bytes.size())
            pause(pauseMs);
    }
    return *this;
}

ServerScript& ServerScript::close()
{
    steps.append({Kind::Close, {}, 0});
    return *this;
}

ServerScript& ServerScript::reset()
{
    steps.append({Kind::Reset, {}, 0});
    return *this;
}

ServerScript& ServerScript::hold()
{
    steps.append({Kind::Hold, {}, 0});
    return *this;
}

ServerScript ServerScript::reply(const QByteArray& bytes)
{
    return ServerScript().expectRequest().send(bytes).close();
}

ServerScript ServerScript::neverAnswer()
{
    return ServerScript().hold();
}

struct ScriptedServer::Shared
{
    mutable QMutex mutex;
    QList<ServerScript> pending;
    QList<QByteArray> requests;
    QList<QByteArray> received;
};

namespace {

// Runs one script on one accepted connection, on the server's thread.
class ConnectionRunner : public QObject
{
public:
    ConnectionRunner(QTcpSocket* socket, ServerScript script, int index,
                     std::shared_ptr<ScriptedServer::Shared> shared)
        : QObject(socket), m_socket(socket), m_script(std::move(script)), m_index(index),
          m_shared(std::move(shared))
    {
        connect(m_socket, &QTcpSocket::readyRead, this, &ConnectionRunner::onRead);
        connect(m_socket, &QTcpSocket::bytesWritten, this, [this] {
            if (m_waitingForWrite && m_socket->bytesToWrite() == 0) {
                m_waitingForWrite = false;
                next();
            }
        });
        connect(m_socket, &QTcpSocket::disconnected, m_socket, &QObject::deleteLater);
        QTimer::singleShot(0, this, &ConnectionRunner::next);
    }

private:
    void onRead()
    {
        const QByteArray data = m_socket->readAll();
        m_buffer += data;
        {
            QMutexLocker lock(&m_shared->mutex);
            m_shared->received[m_index] += data;
        }
        if (m_waitingForRequest)
            next();
        else if (m_holding)
            while (takeRequest()) {
            }
    }

    // Takes one request header off the buffer when a whole one is there.
    bool takeRequest()
    {
        const qsizetype end = m_buffer.indexOf("\r\n\r\n");
        if (end < 0)
            return false;
        const QByteArray request = m_buffer.left(end + 4);
        m_buffer.remove(0, end + 4);
        QMutexLocker lock(&m_shared->mutex);
        m_shared->requests.append(request);
        return true;
    }

    void next()
    {
        m_waitingForRequest = false;
        while (m_step < m_script.steps.size()) {
            const ServerScript::Step& step = m_script.steps[m_step];
            switch (step.kind) {
            case ServerScript::Kind::ExpectRequest:
                if (!takeRequest()) {
                    m_waitingForRequest = true;
                    return;
                }
                ++m_step;
                break;
            case ServerScript::Kind::Send:
                ++m_step;
                m_socket->write(step.bytes);
                m_socket->flush();
                if (m_socket->bytesToWrite() > 0) {
                    m_waitingForWrite = true;
                    return;
                }
                break;
            case ServerScript::Kind::Pause:
                ++m_step;
                QTimer::singleShot(step.ms, this, &ConnectionRunner::next);
                return;
            case ServerScript::Kind::Close:
                ++m_step;
                m_socket->disconnectFromHost();
                return;
            case ServerScript::Kind::Reset: {
                ++m_step;
                const linger hard{1, 0};
                ::setsockopt(int(m_socket->socketDescriptor()), SOL_SOCKET, SO_LINGER, &hard,
                             sizeof hard);
                m_socket->abort();
                m_socket->deleteLater();
                return;
            }
            case ServerScript::Kind::Hold:
                m_holding = true;
                while (takeRequest()) {
                }
                return;
            }
        }
    }

    QTcpSocket* m_socket;
    ServerScript m_script;
    int m_index;
    std::shared_ptr<ScriptedServer::Shared> m_shared;
    QByteArray m_buffer;
    qsizetype m_step = 0;
    bool m_waitingForRequest = false;
    bool m_waitingForWrite = false;
    bool m_holding = false;
};

class ServerWorker : public QObject
{
public:
    explicit ServerWorker(std::shared_ptr<ScriptedServer::Shared> shared)
        : m_shared(std::move(shared))
    {
        connect(&m_server, &QTcpServer::newConnection, this, &ServerWorker::accept);
    }

    quint16 listen()
    {
        m_server.listen(QHostAddress::LocalHost, 0);
        return m_server.serverPort();
    }

private:
    void accept()
    {
        while (QTcpSocket* socket = m_server.nextPendingConnection()) {
            ServerScript script;
            int index;
            bool scripted;
            {
                QMutexLocker lock(&m_shared->mutex);
                index = int(m_shared->received.size());
                m_shared->received.append(QByteArray());
                scripted = !m_shared->pending.isEmpty();
                if (scripted)
                    script = m_shared->pending.takeFirst();
            }
            if (!scripted)
                script.close();
            new ConnectionRunner(socket, script, index, m_shared);
        }
    }

    std::shared_ptr<ScriptedServer::Shared> m_shared;
    QTcpServer m_server{this};
};

bool waitUntil(const std::function<bool()>& done, int timeoutMs)
{
    QDeadlineTimer deadline(timeoutMs);
    while (!done()) {
        if (deadline.hasExpired())
            return false;
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
        QThread::msleep(2);
    }
    return true;
}

} // namespace

ScriptedServer::ScriptedServer() : m_shared(std::make_shared<Shared>())
{
    auto* worker = new ServerWorker(m_shared);
    worker->moveToThread(&m_thread);
    QObject::connect(&m_thread, &QThread::finished, worker, &QObject::deleteLater);
    m_thread.start();
    QMetaObject::invokeMethod(
        worker, [worker, this] { m_port = worker->listen(); }, Qt::BlockingQueuedConnection);
}

ScriptedServer::~ScriptedServer()
{
    m_thread.quit();
    m_thread.wait();
}

QString ScriptedServer::url(const QString& path) const
{
    return QStringLiteral("http://127.0.0.1:%1%2").arg(m_port).arg(path);
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

QByteArray ScriptedServer::received(int connection) const
{
    QMutexLocker lock(&m_shared->mutex);
    return m_shared->received.value(connection);
}

int ScriptedServer::connectionCount() const
{
    QMutexLocker lock(&m_shared->mutex);
    return int(m_shared->received.size());
}

bool ScriptedServer::waitForConnections(int n, int timeoutMs) const
{
    return waitUntil([&] { return connectionCount() >= n; }, timeoutMs);
}

bool ScriptedServer::waitForRequests(int n, int timeoutMs) const
{
    return waitUntil([&] { return requests().size() >= n; }, timeoutMs);
}

quint16 unusedLoopbackPort()
{
    QTcpServer probe;
    probe.listen(QHostAddress::LocalHost, 0);
    const quint16 port = probe.serverPort();
    probe.close();
    return port;
}
