// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/TlsHandshakes.h"

#include <QCoreApplication>
#include <QHash>
#include <QSslConfiguration>
#include <QSslError>
#include <QSslSocket>
#include <QStringList>
#include <QThread>

namespace {

// The worker's side: the connections whose handshakes run, by number. Lives in the worker
// thread; every member runs there.
class Worker : public QObject
{
public:
    struct Running
    {
        QSslSocket* socket = nullptr;
        QStringList problems;
        bool ticketCame = false;
    };

    void start(quint64 id, const QString& host, quint16 port, const QSslConfiguration& config,
               qint64 readBufferBytes);
    void cancel(quint64 id);
    void abortAll();

private:
    void handBack(quint64 id);
    void fail(quint64 id);
    void deliver(quint64 id, std::shared_ptr<TlsHandshakes::Outcome> outcome);

    QHash<quint64, Running> m_running;
};

// The asking thread's side: who waits for which number.
class Home : public QObject
{
public:
    void deliver(quint64 id, TlsHandshakes::Outcome& outcome)
    {
        const TlsHandshakes::Done done = waiting.take(id);
        if (done)
            done(outcome);
    }

    QHash<quint64, TlsHandshakes::Done> waiting;
};

struct Pool
{
    QThread thread;
    Worker* worker = nullptr;
    Home home;
    quint64 lastId = 0;
};

Pool* pool = nullptr;

// Runs as the application ends: the worker's connections close, then its thread ends.
void stopPool()
{
    if (!pool)
        return;
    QMetaObject::invokeMethod(
        pool->worker, [w = pool->worker] { w->abortAll(); }, Qt::BlockingQueuedConnection);
    pool->worker->deleteLater();
    pool->thread.quit();
    pool->thread.wait();
    delete pool;
    pool = nullptr;
}

Pool& thePool()
{
    if (!pool) {
        pool = new Pool;
        pool->thread.setObjectName(QStringLiteral("TLS handshakes"));
        pool->worker = new Worker;
        pool->worker->moveToThread(&pool->thread);
        pool->thread.start();
        qAddPostRoutine(stopPool);
    }
    return *pool;
}

void Worker::start(quint64 id, const QString& host, quint16 port, const QSslConfiguration& config,
                   qint64 readBufferBytes)
{
    // No parent: it moves to the asking thread once its handshake has passed.
    auto* socket = new QSslSocket;
    m_running.insert(id, Running{socket, {}, false});
    socket->setReadBufferSize(readBufferBytes);
    socket->setSslConfiguration(config);
    // The name checked against the certificate and sent as SNI (RFC 6066 §3).
    socket->setPeerVerifyName(host);
    socket->setPeerVerifyMode(QSslSocket::VerifyPeer);
    connect(socket, &QSslSocket::connected, this, [socket] {
        // Requests are written whole; waiting for more to fill a segment only delays them.
        socket->setSocketOption(QAbstractSocket::LowDelayOption, 1);
    });
    connect(socket, &QSslSocket::sslErrors, this, [this, id](const QList<QSslError>& errors) {
        const auto it = m_running.find(id);
        if (it == m_running.end())
            return;
        for (const QSslError& e : errors)
            it->problems.append(e.errorString());
    });
    connect(socket, &QSslSocket::newSessionTicketReceived, this, [this, id] {
        const auto it = m_running.find(id);
        if (it != m_running.end())
            it->ticketCame = true;
    });
    // The socket is still within its own read when it reports the handshake: it is handed
    // back once that read has returned.
    connect(socket, &QSslSocket::encrypted, this, [this, id] {
        QMetaObject::invokeMethod(
            this, [this, id] { handBack(id); }, Qt::QueuedConnection);
    });
    connect(socket, &QSslSocket::errorOccurred, this, [this, id] { fail(id); });
    socket->connectToHostEncrypted(host, port);
}

void Worker::cancel(quint64 id)
{
    const auto it = m_running.find(id);
    if (it == m_running.end())
        return;
    QSslSocket* socket = it->socket;
    m_running.erase(it);
    socket->disconnect(this);
    socket->abort();
    socket->deleteLater();
}

void Worker::abortAll()
{
    const QList<quint64> ids = m_running.keys();
    for (const quint64 id : ids)
        cancel(id);
}

void Worker::handBack(quint64 id)
{
    const auto it = m_running.find(id);
    if (it == m_running.end())
        return; // failed or cancelled since
    if (it->socket->state() != QAbstractSocket::ConnectedState) {
        fail(id);
        return;
    }
    const Running running = m_running.take(id);
    running.socket->disconnect(this);
    auto outcome = std::make_shared<TlsHandshakes::Outcome>();
    outcome->ticketCame = running.ticketCame;
    running.socket->moveToThread(pool->home.thread());
    outcome->socket = running.socket;
    deliver(id, std::move(outcome));
}

void Worker::fail(quint64 id)
{
    const auto it = m_running.find(id);
    if (it == m_running.end())
        return;
    const Running running = m_running.take(id);
    auto outcome = std::make_shared<TlsHandshakes::Outcome>();
    outcome->error = running.socket->error();
    outcome->errorText = running.socket->errorString();
    outcome->certificateProblems = running.problems.join(QStringLiteral("; "));
    running.socket->disconnect(this);
    running.socket->abort();
    // It may be the sender of the signal being handled.
    running.socket->deleteLater();
    deliver(id, std::move(outcome));
}

void Worker::deliver(quint64 id, std::shared_ptr<TlsHandshakes::Outcome> outcome)
{
    // The pool outlives the worker's thread, so its home is there to take the call.
    Home* home = &pool->home;
    // Moved in whole: the last reference is dropped in the home thread, where the socket is.
    QMetaObject::invokeMethod(
        home, [home, id, outcome = std::move(outcome)] { home->deliver(id, *outcome); },
        Qt::QueuedConnection);
}

} // namespace

TlsHandshakes::Outcome::~Outcome()
{
    if (!socket)
        return;
    socket->abort();
    if (socket->thread() == QThread::currentThread())
        delete socket;
    else
        socket->deleteLater();
}

quint64 TlsHandshakes::Start(const QString& host, quint16 port, const QSslConfiguration& config,
                             qint64 readBufferBytes, Done done)
{
    Pool& p = thePool();
    const quint64 id = ++p.lastId;
    p.home.waiting.insert(id, std::move(done));
    QMetaObject::invokeMethod(
        p.worker,
        [w = p.worker, id, host, port, config, readBufferBytes] {
            w->start(id, host, port, config, readBufferBytes);
        },
        Qt::QueuedConnection);
    return id;
}

void TlsHandshakes::Cancel(quint64 id)
{
    if (!pool || !pool->home.waiting.remove(id))
        return;
    QMetaObject::invokeMethod(
        pool->worker, [w = pool->worker, id] { w->cancel(id); }, Qt::QueuedConnection);
}
