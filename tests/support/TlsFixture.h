// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QByteArray>
#include <QList>
#include <QObject>
#include <QString>
#include <QTemporaryDir>

class QSslServer;
class QSslSocket;

// Certificates made at test time with Debian's openssl, in a temporary folder:
//   "localhost": CN localhost, names DNS:localhost and IP:127.0.0.1
//   "other":     CN other.example, for that name only
//   "stranger":  like "localhost" but trusted by nobody
// trustFile() holds "localhost" and "other": point HARVEX_EXTRA_CA at it.
class TlsFixture
{
public:
    bool make(QString* error = nullptr);
    QString certFile(const QString& name) const;
    QString keyFile(const QString& name) const;
    QString trustFile() const;
    QString dir() const { return m_dir.path(); }

private:
    QTemporaryDir m_dir;
};

// A loopback HTTPS server on the test's own thread: each accepted connection reads one
// request header, records it, sends its reply bytes and closes. Replies are used in order.
class TlsServer : public QObject
{
    Q_OBJECT
public:
    TlsServer(const QString& certFile, const QString& keyFile);
    ~TlsServer() override;
    bool listen();
    quint16 port() const;
    QString url(const QString& path) const; // "https://127.0.0.1:<port>" + path
    void addReply(const QByteArray& bytes) { m_replies.append(bytes); }
    QList<QByteArray> requests() const { return m_requests; }
    int connectionCount() const { return m_accepted; }

private:
    void serve(QSslSocket* socket);

    QSslServer* m_server = nullptr;
    QList<QByteArray> m_replies;
    QList<QByteArray> m_requests;
    int m_accepted = 0;
};
