// SPDX-License-Identifier: GPL-3.0-or-later
#include "engine/HttpFiles.h"

#include "engine/ChunkDecoder.h"
#include "engine/UrlSplit.h"
#include "platform/StreamSocket.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <cmath>

HttpFiles::HttpFiles(QObject* parent)
    : QObject(parent), m_chunks(new ChunkDecoder), m_socket(new StreamSocket(this))
{
    m_timer.setInterval(1000);
    // The pacing is counted in ticks: a coarse timer may drift by 5 % of each one.
    m_timer.setTimerType(Qt::PreciseTimer);
    connect(&m_timer, &QTimer::timeout, this, &HttpFiles::onTick);
    connect(m_socket, &StreamSocket::ConnectEvent, this, &HttpFiles::onSocketConnect);
    connect(m_socket, &StreamSocket::DataArrival, this, &HttpFiles::onSocketData);
    connect(m_socket, &StreamSocket::CloseEvent, this, &HttpFiles::onSocketClose);
    connect(m_socket, &StreamSocket::Error, this, &HttpFiles::onSocketError);
}

HttpFiles::~HttpFiles()
{
    ++m_generation;
    m_socket->disconnect(this);
    m_socket->Close();
    closeLocalFile();
}

int HttpFiles::RemotePort() const
{
    return m_socket->RemotePort();
}

void HttpFiles::setRemotePort(int value)
{
    m_socket->setRemotePort(value);
}

QString HttpFiles::RemoteHost() const
{
    return m_socket->RemoteHost();
}

void HttpFiles::setRemoteHost(const QString& value)
{
    m_socket->setRemoteHost(value);
}

void HttpFiles::setMeterValue(double value)
{
    m_info.MeterValue = std::isnan(value) ? 0.0 : qBound(0.0, value, 100.0);
}

int HttpFiles::State() const
{
    return m_socket->State();
}

QString HttpFiles::RemoteHostIP() const
{
    return m_socket->RemoteHostIP();
}

qint64 HttpFiles::BytesReceived() const
{
    return m_socket->BytesReceived();
}

qintptr HttpFiles::SocketHandle() const
{
    return m_socket->SocketHandle();
}

void HttpFiles::setTickInterval(int ms)
{
    m_timer.setInterval(qMax(1, ms));
}

QString HttpFiles::GetHTTP_Var(const QString& name) const
{
    return m_header.Var(name);
}

int HttpFiles::GetHTTP_VarIndex(const QString& name) const
{
    return m_header.VarIndex(name);
}

QString HttpFiles::getDirName(const QString& path)
{
    const qsizetype slash = path.lastIndexOf(QLatin1Char('/'));
    return slash < 0 ? QString() : path.left(slash);
}

void HttpFiles::ChkCreateDir(const QString& path)
{
    // Errors are left to the opening of the file, which names the path.
    if (!path.isEmpty())
        QDir().mkpath(path);
}

QString HttpFiles::getRequest(const QString& host, const QString& path, qint64 rangeFrom,
                              qint64 rangeTo, int keepAlive)
{
    // Bytes a request line cannot carry (blanks, controls, non-ASCII) are percent-encoded,
    // so a URL can never add lines of its own to the request (RFC 9112 §3.2); escapes the
    // URL already holds go as they stand.
    const QByteArray target = UrlSplit::RequestTarget(path);
    QString text;
    text.reserve(160 + target.size() + host.size() + m_compatible.size() + m_acceptParam.size() +
                 m_acceptLanguage.size() + m_acceptEncoding.size());
    const auto field = [&text](QLatin1String name, QStringView value) {
        if (value.isEmpty())
            return;
        text += name;
        text += value;
        text += QLatin1String("\r\n");
    };
    text += QLatin1String("GET ");
    text += QLatin1String(target);
    text += QLatin1String(" HTTP/1.");
    text += QString::number(m_protocol);
    text += QLatin1String("\r\n");
    field(QLatin1String("Host: "), host);
    field(QLatin1String("User-Agent: "), m_compatible);
    field(QLatin1String("Accept: "), m_acceptParam);
    field(QLatin1String("Accept-Language: "), m_acceptLanguage);
    field(QLatin1String("Accept-Encoding: "), m_acceptEncoding);
    // Generated pages change between requests: a range of one would not fit another.
    const qsizetype dot = path.lastIndexOf(QLatin1Char('.'));
    if (dot >= 0 && !m_defaultExtns.contains(QStringView(path).sliced(dot), Qt::CaseInsensitive)) {
        text += QLatin1String("Range: bytes=");
        text += QString::number(rangeFrom);
        text += QLatin1Char('-');
        if (rangeTo > 0)
            text += QString::number(rangeTo);
        text += QLatin1String("\r\n");
    }
    if (keepAlive != 0 && m_protocol == 1)
        text += QLatin1String("Connection: Keep-Alive\r\n");
    text += QLatin1String("\r\n");
    return text;
}

bool HttpFiles::splitUrl(const QString& url)
{
    const UrlSplit split = UrlSplit::Parse(url);
    if (!split.Supported)
        return false;
    m_info.Host = split.Host;
    m_info.Path = split.Path;
    m_info.Port = split.Port;
    m_info.Secure = split.Secure;
    m_url = url;
    return true;
}

bool HttpFiles::GetRemoteFile(const QString& url, const QString& localFile, qint64 startPos,
                              int keepAlive, int port, int unused)
{
    Q_UNUSED(port);
    Q_UNUSED(unused);
    ++m_generation;
    const bool kept = m_stage == Stage::Kept;
    // A kept connection's idle timer runs on as the reply wait of a request sent over it.
    if (!kept)
        stopTimer();
    closeLocalFile();
    m_info = DownloadInfo();
    resetReply();
    m_redirects = 0;
    setDownloadStatus(-1);
    m_info.LocalFile = localFile;
    m_createdFile = false;
    m_info.CurPos = qMax<qint64>(0, startPos) + 1;
    m_info.KeepAlive = keepAlive;
    setStage(Stage::Delay);
    // A refused job still ends with its events, but on the next turn of the event loop,
    // so a caller that starts the next job from Disconnected cannot recurse.
    if (!splitUrl(url)) {
        stopTimer();
        m_socket->Close();
        failLater(0, QStringLiteral("Unsupported URL: ") + url);
        return false;
    }
    if (localFile.isEmpty()) {
        stopTimer();
        m_socket->Close();
        failLater(0, QStringLiteral("No local file name specified!"));
        return false;
    }
    // Jobs of a slot mostly share a folder: it is made once, and made again when the file
    // cannot be opened (someone removed it meanwhile).
    const QString dir = getDirName(localFile);
    if (dir != m_madeDir) {
        ChkCreateDir(dir);
        m_madeDir = dir;
    }
    // Only a connection kept by a cleanly ended reply is used again; any other one still
    // open may hold the rest of a reply that would be read as the new one.
    if (kept && reuseKept())
        return false;
    stopTimer();
    m_socket->Close();
    connectSoon(m_connectAtOnce);
    return true;
}

void HttpFiles::setStage(Stage stage)
{
    m_stage = stage;
}

bool HttpFiles::inTransfer() const
{
    return m_stage == Stage::Connecting || m_stage == Stage::Requesting ||
           m_stage == Stage::Receiving;
}

void HttpFiles::connectSoon(bool atOnce)
{
    setStage(Stage::Delay);
    if (!atOnce) {
        startTimer(2);
        return;
    }
    const quint64 job = this->job();
    QTimer::singleShot(0, this, [this, job] {
        if (!dropped(job) && m_stage == Stage::Delay && !m_timer.isActive())
            OpenConnection();
    });
}

bool HttpFiles::reuseKept()
{
    if (!m_reuseConnections || m_info.Host != m_keptHost || m_info.Port != m_keptPort ||
        m_info.Secure != m_keptSecure || !m_socket->QuietlyOpen())
        return false;
    // The request goes at once over the open connection (the connected-socket path of
    // GetRemoteFile); it counts as an attempt like a new connection.
    ++m_info.Try;
    m_info.ReqStr = getRequest(m_info.Host, m_info.Path, m_info.CurPos - 1, 0, m_info.KeepAlive);
    QString why;
    if (!openLocalFile(&why)) {
        stopTimer();
        m_socket->Close();
        failLater(0, why);
        return true;
    }
    m_reply.Reusing = true;
    switchTimer(m_connectTimeout);
    NewRequest();
    return true;
}

bool HttpFiles::openLocalFile(QString* why)
{
    closeLocalFile();
    m_file = std::make_unique<QFile>(m_info.LocalFile);
    // Unbuffered: every write reaches the file system at once, so a full disk fails the
    // write that met it instead of a buffer flushed unseen at close.
    const QIODevice::OpenMode mode = QIODevice::ReadWrite | QIODevice::Unbuffered;
    // A new file is known to be empty without asking for its size; ReadWrite opens an
    // existing one without truncating it.
    m_fileIsNew = !m_info.LocalFile.isEmpty() && m_file->open(mode | QIODevice::NewOnly);
    bool open = m_fileIsNew || (!m_info.LocalFile.isEmpty() && m_file->open(mode));
    if (!open && !m_info.LocalFile.isEmpty()) {
        ChkCreateDir(getDirName(m_info.LocalFile));
        m_fileIsNew = m_file->open(mode | QIODevice::NewOnly);
        open = m_fileIsNew || m_file->open(mode);
    }
    if (open) {
        m_fileEnd = 0;
        m_createdFile = m_createdFile || m_fileIsNew;
        resetReply();
        m_info.Status = 0;
        m_info.StatusText.clear();
        m_info.Packets = 0;
        return true;
    }
    *why = QStringLiteral("[OpenConnection]: Cannot open the local file \"%1\": %2")
               .arg(m_info.LocalFile, m_file->errorString());
    m_file.reset();
    return false;
}

void HttpFiles::OpenConnection()
{
    ++m_info.Try;
    m_info.ReqStr = getRequest(m_info.Host, m_info.Path, m_info.CurPos - 1, 0, m_info.KeepAlive);
    stopTimer();
    QString why;
    if (!openLocalFile(&why)) {
        failJob(0, why);
        return;
    }
    m_socket->Close();
    m_socket->setLocalPort(0);
    m_socket->setRemoteHost(m_info.Host);
    m_socket->setRemotePort(m_info.Port);
    m_socket->setSecure(m_info.Secure);
    setStage(Stage::Connecting);
    // The reply wait runs from here and restarts on every packet: a stalled
    // connection ends through secureClose like a closed one.
    startTimer(m_connectTimeout);
    m_socket->Connect();
}

bool HttpFiles::reconnectStale()
{
    // RFC 9112 §9.3.1: a server may close an idle connection at any time; a request it
    // closed without a byte of reply is sent again on a new connection, and the lost
    // attempt is not counted.
    if (!m_reply.Reusing || m_info.Packets > 0 || m_stage != Stage::Requesting)
        return false;
    m_reply.Reusing = false;
    m_socket->Close();
    stopTimer();
    --m_info.Try;
    connectSoon(true);
    return true;
}

void HttpFiles::keepConnection()
{
    setStage(Stage::Kept);
    m_keptHost = m_info.Host;
    m_keptPort = m_info.Port;
    m_keptSecure = m_info.Secure;
    switchTimer(IdleKeepTicks);
}

void HttpFiles::dropKept()
{
    m_socket->Close();
    stopTimer();
    setStage(m_info.DownloadStatus == 0 ? Stage::Idle : Stage::Ended);
}

void HttpFiles::NewRequest()
{
    if (m_socket->State() != StreamSocket::ConnectedState) {
        OpenConnection();
        return;
    }
    setStage(Stage::Requesting);
    m_socket->SendData(m_info.ReqStr.toLatin1());
}

void HttpFiles::onSocketConnect()
{
    if (m_stage != Stage::Connecting)
        return;
    startTimer(m_connectTimeout);
    const quint64 job = this->job();
    emit Connected();
    if (dropped(job))
        return;
    NewRequest();
}

void HttpFiles::onSocketClose()
{
    if (m_stage == Stage::Kept) {
        dropKept(); // the server ended the kept connection between jobs
        return;
    }
    if (!inTransfer() || reconnectStale())
        return;
    m_socket->Close();
    secureClose();
}

void HttpFiles::onSocketError(int number, const QString& description)
{
    if (m_stage == Stage::Kept) {
        dropKept();
        return;
    }
    if (!inTransfer() || reconnectStale())
        return;
    const bool tls = m_socket->TlsFailed();
    m_socket->Close();
    stopTimer();
    if (tls) {
        // The same certificate would be met again: no retry, and never plain HTTP instead.
        failJob(number, description);
        return;
    }
    m_reply.SocketFailed = true;
    const quint64 job = this->job();
    const QString jobName = m_info.Host + m_info.Path;
    secureClose();
    // The Error comes after the verdict and Disconnected of a job that has ended; by then
    // its handlers may have started the next job, which the Error is not about.
    if (dropped(job))
        m_endedJobOfError = jobName;
    emit Error(number, description);
    m_endedJobOfError.clear();
}

void HttpFiles::onTick()
{
    --m_timerCount;
    if (m_timerCount > 0) {
        if (m_stage == Stage::Delay) {
            emit WaitingRetry();
        } else if (inTransfer()) {
            // Only a silent second counts down on screen; a flowing transfer keeps its text.
            if (!m_arrivedSinceTick)
                emit WaitingForReply(
                    QStringLiteral("Waiting %1 seconds for reply...").arg(m_timerCount));
            m_arrivedSinceTick = false;
        }
        return;
    }
    const Stage stage = m_stage;
    stopTimer();
    if (stage == Stage::Kept) {
        dropKept(); // idle too long: the server would soon close it anyway
    } else if (stage == Stage::Delay) {
        OpenConnection();
    } else if (inTransfer()) {
        // A silent server is a broken transfer, never the end of a body.
        m_reply.SocketFailed = true;
        m_socket->Close();
        secureClose();
    }
}

void HttpFiles::startTimer(qint64 count)
{
    m_timer.stop();
    m_timerCount = count;
    m_arrivedSinceTick = false;
    m_timer.start();
}

void HttpFiles::switchTimer(qint64 count)
{
    // Restarting a running timer costs more than the phase of its tick is worth here.
    if (!m_timer.isActive()) {
        startTimer(count);
        return;
    }
    m_timerCount = count;
    m_arrivedSinceTick = false;
}

void HttpFiles::stopTimer()
{
    m_timerCount = 0;
    m_timer.stop();
}

void HttpFiles::startRetryWait()
{
    setStage(Stage::Delay);
    const quint64 job = this->job();
    emit WaitingRetry();
    if (dropped(job))
        return;
    startTimer(m_tryInterval);
}

void HttpFiles::setDownloadStatus(int status)
{
    m_info.DownloadStatus = status;
}

void HttpFiles::resetReply()
{
    m_header.Reset();
    m_chunks->Reset();
    m_info.Chunked = false;
    m_info.ChunkLeft = 0;
    m_reply = ReplyFacts();
    m_arrivedSinceTick = false;
}

void HttpFiles::closeLocalFile()
{
    if (m_file) {
        m_file->close();
        m_file.reset();
    }
}

bool HttpFiles::cutFileTo(qint64 length)
{
    if (!m_file || m_fileIsNew || m_file->size() <= length || m_file->resize(length))
        return true;
    failJob(0, QStringLiteral("[GetLength]: Cannot shorten \"%1\" to %2 bytes: %3")
                   .arg(m_info.LocalFile)
                   .arg(length)
                   .arg(m_file->errorString()));
    return false;
}

qint64 HttpFiles::lengthOnDisk() const
{
    // A file this attempt created holds exactly what it wrote; there is no older version
    // whose tail could outlast the reply.
    if (m_fileIsNew)
        return m_fileEnd;
    if (m_file)
        return m_file->size();
    const QFileInfo info(m_info.LocalFile);
    return info.isFile() ? info.size() : -1;
}

void HttpFiles::dropUnwrittenFile()
{
    // A job that did not complete leaves no empty file of its own making behind, which
    // would look like a download; a file that was there before stays as it was.
    if (!m_createdFile || m_info.DownloadStatus == 1)
        return;
    m_createdFile = false;
    closeLocalFile();
    const QFileInfo info(m_info.LocalFile);
    if (info.isFile() && info.size() == 0)
        QFile::remove(m_info.LocalFile);
}

void HttpFiles::Halt()
{
    BeIdeal();
    emit Disconnected();
}

void HttpFiles::BeIdeal()
{
    if (m_stage == Stage::Kept)
        setStage(Stage::Ended); // a kept connection closes as well
    EndJob();
}

void HttpFiles::EndJob()
{
    ++m_generation;
    const bool keep = m_stage == Stage::Kept && m_socket->State() == StreamSocket::ConnectedState;
    if (!keep) {
        m_socket->Close();
        stopTimer();
    }
    dropUnwrittenFile();
    closeLocalFile();
    m_info = DownloadInfo();
    resetReply();
    m_redirects = 0;
    m_url.clear();
    setStage(keep ? Stage::Kept : Stage::Idle);
    setDownloadStatus(0);
}

void HttpFiles::failLater(int number, const QString& description)
{
    const quint64 job = this->job();
    QTimer::singleShot(0, this, [this, job, number, description] {
        if (!dropped(job))
            failJob(number, description);
    });
}

void HttpFiles::failJob(int number, const QString& description)
{
    m_socket->Close();
    stopTimer();
    m_reply.Refused = true;
    const quint64 job = this->job();
    emit Error(number, description);
    if (dropped(job))
        return;
    setDownloadStatus(2);
    emit DownloadFailed();
    if (dropped(job))
        return;
    finish();
}

void HttpFiles::endWith(int status, void (HttpFiles::*verdict)())
{
    setDownloadStatus(status);
    const quint64 job = this->job();
    emit(this->*verdict)();
    if (dropped(job))
        return;
    secureClose();
}
