// SPDX-License-Identifier: GPL-3.0-or-later
#include "ScriptedServer.h"

#include <QHostAddress>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTest>
#include <QTimer>

#include <sys/socket.h>

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
    mutable QMutex mutex;
    QList<ServerScript> pending;
    QList<QByteArray> requests;
    int accepted = 0;
};

namespace {

// Runs one script on one accepted connection, on the server's thread.
class ConnectionRunner : public QObject
{
public:
    ConnectionRunner(QTcpSocket* socket, ServerScript script,
                     std::shared_ptr<ScriptedServer::Shared> shared)
        : QObject(socket), m_socket(socket), m_script(std::move(script)),
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
        m_buffer += m_socket->readAll();
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
            // Connections beyond the scripts are closed at once.
            QMutexLocker lock(&m_shared->mutex);
            ++m_shared->accepted;
            new ConnectionRunner(socket,
                                 m_shared->pending.isEmpty() ? ServerScript().close()
                                                             : m_shared->pending.takeFirst(),
                                 m_shared);
        }
    }

    std::shared_ptr<ScriptedServer::Shared> m_shared;
    QTcpServer m_server{this};
};

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

int ScriptedServer::connectionCount() const
{
    QMutexLocker lock(&m_shared->mutex);
    return m_shared->accepted;
}

bool ScriptedServer::waitForConnections(int n, int timeoutMs) const
{
    return QTest::qWaitFor([&] { return connectionCount() >= n; }, timeoutMs);
}

bool ScriptedServer::waitForRequests(int n, int timeoutMs) const
{
    return QTest::qWaitFor([&] { return requests().size() >= n; }, timeoutMs);
}

quint16 unusedLoopbackPort()
{
    QTcpServer probe;
    probe.listen(QHostAddress::LocalHost, 0);
    const quint16 port = probe.serverPort();
    probe.close();
    return port;
}
