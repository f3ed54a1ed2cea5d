// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QByteArray>
#include <QElapsedTimer>
#include <QObject>
#include <QString>
#include <QTimer>

#include <chrono>

class QTcpSocket;

// The TCP client socket a download slot drives: an asynchronous connect, whole-request
// sends, packet reads of exactly the announced count and a peer-close event. With Secure
// set the connection is TLS (certificates checked against the system store and the host
// name, SNI sent) and ConnectEvent comes once the handshake has finished; a later
// connection to the same server resumes with a ticket of an earlier one (TlsTickets).
class StreamSocket : public QObject
{
    Q_OBJECT
public:
    // State numbers the download manager reads.
    enum StateNumber
    {
        Closed = 0,
        Resolving = 4,
        Connecting = 6,
        ConnectedState = 7,
        Closing = 8,
        ErrorState = 9
    };

    explicit StreamSocket(QObject* parent = nullptr);
    ~StreamSocket() override;

    // Drops any connection; harmless on a closed socket. Raises no event.
    void Close();
    void setLocalPort(int port) { m_localPort = port; }
    int LocalPort() const { return m_localPort; }
    void setRemoteHost(const QString& host) { m_remoteHost = host; }
    QString RemoteHost() const { return m_remoteHost; }
    void setRemotePort(int port) { m_remotePort = port; }
    int RemotePort() const { return m_remotePort; }
    void setSecure(bool secure) { m_secure = secure; }
    bool Secure() const { return m_secure; }
    // Asynchronous: ConnectEvent on success, Error on failure.
    void Connect();
    int State() const;
    void SendData(const QByteArray& data);
    // Reads at most count bytes into data (sized to what was read).
    void GetData(QByteArray& data, qint64 count);
    void setTag(const QString& tag) { m_tag = tag; }
    QString Tag() const { return m_tag; }
    // Connected, and nothing has come since the last read: no byte waits and the peer has
    // not closed. A connection kept between replies is used again only then.
    bool QuietlyOpen() const;
    QString RemoteHostIP() const;
    qint64 BytesReceived() const;
    qintptr SocketHandle() const;

    // The last Error was a failed TLS handshake or certificate check: trying again
    // would meet the same certificate. A TLS error after the handshake is not one.
    bool TlsFailed() const { return m_tlsFailed; }

    // Adds the PEM certificates named by HARVEX_EXTRA_CA to the trusted ones, once per run.
    static void ApplyExtraCa();
    // Trusts exactly the PEM certificates in the file from now on, instead of the system
    // store and HARVEX_EXTRA_CA. False (and nothing changed) when it holds none.
    static bool TrustOnly(const QString& pemFile, QString* error);
    // Forgets every TLS ticket kept for resumption.
    static void ForgetTickets();

signals:
    void ConnectEvent();
    void DataArrival(qint64 bytesTotal);
    void CloseEvent();
    void Error(int number, const QString& description);

private:
    void makeSocket(bool secure);
    void onConnected();
    void onEncrypted();
    void onReadyRead();
    void deliverPosted();
    void deliverWaiting();
    void onDisconnected();
    void onError();
    QString ticketKey() const;
    void keepTicket();
    void connectTls();
    void leadSettled(quint64 connectNumber);
    void endLead();

    QTcpSocket* m_socket = nullptr; // a QSslSocket while Secure

    QString m_remoteHost;
    QString m_tag;
    int m_remotePort = 0;
    int m_localPort = 0;
    bool m_secure = false;
    bool m_failed = false; // an error ended the last connection
    bool m_quiet = false;  // our own Close is running: its signals are not events
    bool m_tlsFailed = false;
    bool m_open = false;           // ConnectEvent was raised and no close came since
    bool m_deliveryPosted = false; // decrypted data is handed on once the read is done
    QString m_tlsProblems;
    bool m_awaitingLead = false; // connects once the lead handshake has settled
    bool m_leading = false;      // the first handshake to the server, which others wait for
    quint64 m_connectNumber = 0;
    QTimer m_leadWait;           // a follower's wait, or a lead's wait for its tickets
    QElapsedTimer m_leadStarted; // when the lead handshake began
    // The last kernel answer of QuietlyOpen, good for a moment while no signal came.
    static constexpr std::chrono::milliseconds QuietAnswerLasts{1};
    mutable bool m_quietSeen = false;
    mutable std::chrono::steady_clock::time_point m_quietSeenAt;
};
