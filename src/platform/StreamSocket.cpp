// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/StreamSocket.h"

#include "platform/TlsTickets.h"

#include <QSslCertificate>
#include <QSslConfiguration>
#include <QSslError>
#include <QSslSocket>

#include <cerrno>
#include <sys/socket.h>

static constexpr qint64 ReadBufferBytes = 256 * 1024;

namespace {

bool trustFixed = false; // TrustOnly was called: HARVEX_EXTRA_CA no longer applies

// How long a connection waits for the lead handshake to its server before running its own.
constexpr int LeadWaitMs = 2000;
// Over TLS 1.3 the tickets follow the handshake by about a round trip. A lead waits for
// them as long again as its handshake took, but at least this long (a loaded machine
// answers late), so the others never wait long on a server that sends none.
constexpr int TicketGraceMinMs = 200;

} // namespace

StreamSocket::StreamSocket(QObject* parent) : QObject(parent)
{
    makeSocket(false);
    m_leadWait.setSingleShot(true);
    connect(&m_leadWait, &QTimer::timeout, this, [this] {
        if (m_leading)
            endLead(); // no ticket came in time: the others run their own handshakes
        else
            leadSettled(m_connectNumber);
    });
}

void StreamSocket::makeSocket(bool secure)
{
    if (m_socket) {
        // It may be the sender of the signal being handled: it goes once that returns.
        m_socket->disconnect(this);
        m_socket->abort();
        m_socket->deleteLater();
    }
    // A plain socket for plain HTTP: the TLS library is loaded only when a connection
    // asks for it.
    QSslSocket* tls = secure ? new QSslSocket(this) : nullptr;
    m_socket = tls ? tls : new QTcpSocket(this);
    // Reads of at most this much: a packet then still sits in the processor's cache when
    // it is written to the file, which halves the work of a large download, and a slow
    // disk holds the sender back instead of filling our memory.
    m_socket->setReadBufferSize(ReadBufferBytes);
    connect(m_socket, &QTcpSocket::connected, this, &StreamSocket::onConnected);
    connect(m_socket, &QTcpSocket::readyRead, this, &StreamSocket::onReadyRead);
    connect(m_socket, &QTcpSocket::disconnected, this, &StreamSocket::onDisconnected);
    connect(m_socket, &QTcpSocket::errorOccurred, this, &StreamSocket::onError);
    if (!tls)
        return;
    connect(tls, &QSslSocket::encrypted, this, &StreamSocket::onEncrypted);
    connect(tls, &QSslSocket::newSessionTicketReceived, this, [this] {
        if (m_open)
            keepTicket();
    });
    connect(tls, &QSslSocket::sslErrors, this, [this](const QList<QSslError>& errors) {
        QStringList texts;
        for (const QSslError& e : errors)
            texts.append(e.errorString());
        m_tlsProblems = texts.join(QStringLiteral("; "));
    });
}

StreamSocket::~StreamSocket()
{
    m_quiet = true;
    endLead();
    m_socket->abort();
}

void StreamSocket::ApplyExtraCa()
{
    static bool applied = false;
    if (applied || trustFixed)
        return;
    applied = true;
    const QString path = qEnvironmentVariable("HARVEX_EXTRA_CA");
    if (path.isEmpty())
        return;
    const QList<QSslCertificate> extra = QSslCertificate::fromPath(path, QSsl::Pem);
    if (extra.isEmpty()) {
        qWarning("HARVEX_EXTRA_CA: no PEM certificate in %s", qPrintable(path));
        return;
    }
    QSslConfiguration config = QSslConfiguration::defaultConfiguration();
    config.setCaCertificates(QSslConfiguration::systemCaCertificates() + extra);
    QSslConfiguration::setDefaultConfiguration(config);
}

bool StreamSocket::TrustOnly(const QString& pemFile, QString* error)
{
    const QList<QSslCertificate> trusted = QSslCertificate::fromPath(pemFile, QSsl::Pem);
    if (trusted.isEmpty()) {
        *error = QStringLiteral("No PEM certificate in %1").arg(pemFile);
        return false;
    }
    QSslConfiguration config = QSslConfiguration::defaultConfiguration();
    config.setCaCertificates(trusted);
    QSslConfiguration::setDefaultConfiguration(config);
    trustFixed = true;
    ForgetTickets();
    return true;
}

void StreamSocket::ForgetTickets()
{
    TlsTickets::Clear();
}

QString StreamSocket::ticketKey() const
{
    return TlsTickets::Key(m_remoteHost, m_remotePort);
}

void StreamSocket::keepTicket()
{
    auto* tls = qobject_cast<QSslSocket*>(m_socket);
    if (tls)
        TlsTickets::Keep(ticketKey(), tls->sslConfiguration().sessionTicket());
}

void StreamSocket::endLead()
{
    m_leadWait.stop();
    if (m_awaitingLead)
        TlsTickets::Leave(ticketKey(), this);
    m_awaitingLead = false;
    if (m_leading)
        TlsTickets::Settle(ticketKey(), this);
    m_leading = false;
}

void StreamSocket::Close()
{
    m_quietSeen = false;
    endLead();
    m_quiet = true;
    m_socket->abort();
    m_quiet = false;
    m_open = false;
    m_failed = false;
}

void StreamSocket::Connect()
{
    Close();
    m_tlsFailed = false;
    m_tlsProblems.clear();
    QSslSocket* tls = qobject_cast<QSslSocket*>(m_socket);
    if (m_secure != (tls != nullptr)) {
        makeSocket(m_secure);
        tls = qobject_cast<QSslSocket*>(m_socket);
    }
    ++m_connectNumber;
    if (!tls) {
        m_socket->connectToHost(m_remoteHost, quint16(m_remotePort));
        return;
    }
    ApplyExtraCa();
    if (TlsTickets::Ticket(ticketKey()).isEmpty()) {
        const quint64 number = m_connectNumber;
        if (TlsTickets::Follow(ticketKey(), this, [this, number] { leadSettled(number); })) {
            m_awaitingLead = true;
            m_leadWait.start(LeadWaitMs);
            return;
        }
        m_leading = true;
        m_leadStarted.start();
    }
    connectTls();
}

void StreamSocket::connectTls()
{
    auto* tls = qobject_cast<QSslSocket*>(m_socket);
    QSslConfiguration config = QSslConfiguration::defaultConfiguration();
    // The ticket of the handshake stays readable, to be offered again.
    config.setSslOption(QSsl::SslOptionDisableSessionPersistence, false);
    config.setSessionTicket(TlsTickets::Ticket(ticketKey()));
    tls->setSslConfiguration(config);
    // The name checked against the certificate and sent as SNI (RFC 6066 §3).
    tls->setPeerVerifyName(m_remoteHost);
    tls->setPeerVerifyMode(QSslSocket::VerifyPeer);
    tls->connectToHostEncrypted(m_remoteHost, quint16(m_remotePort));
}

void StreamSocket::leadSettled(quint64 connectNumber)
{
    if (connectNumber != m_connectNumber || !m_awaitingLead)
        return; // a call for an earlier connection
    endLead();
    connectTls();
}

int StreamSocket::State() const
{
    if (m_failed)
        return ErrorState;
    if (m_awaitingLead)
        return Connecting;
    switch (m_socket->state()) {
    case QAbstractSocket::HostLookupState:
        return Resolving;
    case QAbstractSocket::ConnectingState:
        return Connecting;
    case QAbstractSocket::ConnectedState:
        // A TLS connection is usable only after its handshake.
        return m_open ? ConnectedState : Connecting;
    case QAbstractSocket::ClosingState:
        return Closing;
    default:
        return Closed;
    }
}

void StreamSocket::SendData(const QByteArray& data)
{
    m_quietSeen = false; // a request may bring an answer
    m_socket->write(data);
    // Out now rather than on the next turn of the event loop: a request is small and the
    // reply cannot start before it leaves.
    m_socket->flush();
}

void StreamSocket::GetData(QByteArray& data, qint64 count)
{
    data = m_socket->read(qMax<qint64>(0, count));
}

bool StreamSocket::QuietlyOpen() const
{
    if (State() != ConnectedState || m_socket->bytesAvailable() > 0)
        return false;
    const qintptr fd = m_socket->socketDescriptor();
    if (fd < 0)
        return false;
    // The end of a reply asks, and the next job on the connection asks again at once:
    // the first answer stands while nothing happened on the connection since.
    const auto now = std::chrono::steady_clock::now();
    if (m_quietSeen && now - m_quietSeenAt < QuietAnswerLasts)
        return true;
    // Asks the kernel without taking anything: 0 is the peer's FIN, a byte is data nobody
    // asked for, and only "would block" means the connection is open and silent.
    char byte = 0;
    const ssize_t got = ::recv(int(fd), &byte, 1, MSG_PEEK | MSG_DONTWAIT);
    m_quietSeen = got < 0 && (errno == EAGAIN || errno == EWOULDBLOCK);
    m_quietSeenAt = now;
    return m_quietSeen;
}

QString StreamSocket::RemoteHostIP() const
{
    return m_socket->peerAddress().toString();
}

qint64 StreamSocket::BytesReceived() const
{
    return m_socket->bytesAvailable();
}

qintptr StreamSocket::SocketHandle() const
{
    return m_socket->socketDescriptor();
}

void StreamSocket::onConnected()
{
    // Requests are written whole; waiting for more to fill a segment only delays them.
    m_socket->setSocketOption(QAbstractSocket::LowDelayOption, 1);
    if (m_secure)
        return; // ConnectEvent waits for the handshake
    m_open = true;
    emit ConnectEvent();
}

void StreamSocket::onEncrypted()
{
    m_open = true;
    // TLS 1.3 sends its tickets after the handshake (newSessionTicketReceived); nothing
    // kept before them could be resumed.
    const auto* tls = qobject_cast<QSslSocket*>(m_socket);
    if (tls && tls->sessionProtocol() != QSsl::TlsV1_3)
        keepTicket();
    else if (m_leading)
        m_leadWait.start(
            int(qBound(qint64(TicketGraceMinMs), m_leadStarted.elapsed(), qint64(LeadWaitMs))));
    emit ConnectEvent();
}

void StreamSocket::onReadyRead()
{
    m_quietSeen = false;
    if (m_quiet || !m_open)
        return;
    // TLS 1.3 tickets come ahead of the first data: if none came, none is coming.
    if (m_leading)
        endLead();
    if (!m_secure) {
        deliverWaiting();
        return;
    }
    // The TLS socket announces every 4 KiB it decrypts, all within one read of the
    // connection: what that read brought is handed on once, after it.
    if (!m_deliveryPosted) {
        m_deliveryPosted = true;
        QMetaObject::invokeMethod(this, &StreamSocket::deliverPosted, Qt::QueuedConnection);
    }
}

void StreamSocket::deliverPosted()
{
    m_deliveryPosted = false;
    if (!m_quiet && m_open)
        deliverWaiting();
}

void StreamSocket::deliverWaiting()
{
    const qint64 waiting = m_socket->bytesAvailable();
    if (waiting > 0)
        emit DataArrival(waiting);
}

void StreamSocket::onDisconnected()
{
    m_quietSeen = false;
    endLead();
    if (m_quiet || m_failed)
        return;
    const bool wasOpen = m_open;
    m_open = false;
    // Bytes that came with the close are delivered before it.
    if (wasOpen && m_socket->bytesAvailable() > 0)
        emit DataArrival(m_socket->bytesAvailable());
    emit CloseEvent();
}

// The error numbers of the Windows socket interface for the usual failures, so logs
// read the same everywhere; other failures are numbered 20000 + Qt's code.
static int errorNumber(QAbstractSocket::SocketError error)
{
    switch (error) {
    case QAbstractSocket::ConnectionRefusedError:
        return 10061;
    case QAbstractSocket::RemoteHostClosedError:
        return 10054;
    case QAbstractSocket::HostNotFoundError:
        return 11001;
    case QAbstractSocket::SocketTimeoutError:
        return 10060;
    case QAbstractSocket::NetworkError:
        return 10050;
    case QAbstractSocket::SocketResourceError:
        return 10055;
    case QAbstractSocket::SocketAccessError:
        return 10013;
    default:
        return 20000 + int(error);
    }
}

void StreamSocket::onError()
{
    m_quietSeen = false;
    if (m_quiet)
        return;
    endLead();
    // Data decrypted ahead of the error is delivered before it, as it came.
    if (m_deliveryPosted && m_open) {
        deliverPosted();
        if (!m_open)
            return; // the data's handler ended the connection
    }
    const QAbstractSocket::SocketError error = m_socket->error();
    // The peer's close (FIN, and a reset, which Qt reports alike) is the close event.
    if (error == QAbstractSocket::RemoteHostClosedError && m_open)
        return;
    QString description = m_socket->errorString();
    const bool tlsError = error == QAbstractSocket::SslHandshakeFailedError ||
                          error == QAbstractSocket::SslInternalError ||
                          error == QAbstractSocket::SslInvalidUserDataError;
    if (tlsError && !m_open) {
        // The handshake or the certificate check failed: a new try would meet the same.
        // A ticket kept for this server is not offered to it again.
        m_tlsFailed = true;
        TlsTickets::Drop(ticketKey());
        description = QStringLiteral("TLS handshake with %1 failed: %2")
                          .arg(m_remoteHost, m_tlsProblems.isEmpty() ? description : m_tlsProblems);
    } else if (tlsError) {
        // A broken record after the handshake is a broken transfer like any other.
        description =
            QStringLiteral("TLS error on the connection to %1: %2").arg(m_remoteHost, description);
    }
    m_failed = true;
    m_open = false;
    emit Error(errorNumber(error), description);
}
