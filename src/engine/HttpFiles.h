// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "engine/ReplyHeader.h"
#include "engine/ReplyPlan.h"

#include <QByteArray>
#include <QObject>
#include <QString>
#include <QTimer>

#include <memory>

class ChunkDecoder;
class QFile;
class StreamSocket;

// One download slot: fetches one remote file at a time over HTTP/1.0, HTTP/1.1 or HTTPS
// and writes it into one local file, reporting every stage by its signals. Everything runs
// on the thread of the event loop that owns it, one event at a time.
class HttpFiles : public QObject
{
    Q_OBJECT
public:
    explicit HttpFiles(QObject* parent = nullptr);
    ~HttpFiles() override;

    // Settings.
    int Protocol() const { return m_protocol; }
    void setProtocol(int value) { m_protocol = value; }
    int MaxTry() const { return m_maxTry; }
    void setMaxTry(int value) { m_maxTry = value; }
    int TryInterval() const { return m_tryInterval; }
    void setTryInterval(int value) { m_tryInterval = value; }
    QString Compatible() const { return m_compatible; }
    void setCompatible(const QString& value) { m_compatible = value; }
    int RemotePort() const;
    void setRemotePort(int value);
    QString RemoteHost() const;
    void setRemoteHost(const QString& value);
    QString ErrorCodes() const { return m_errorCodes; }
    void setErrorCodes(const QString& value) { m_errorCodes = value; }
    QString DefaultExtns() const { return m_defaultExtns; }
    void setDefaultExtns(const QString& value) { m_defaultExtns = value; }
    bool Redirection() const { return m_redirection; }
    void setRedirection(bool value) { m_redirection = value; }
    qint64 MinimumFileSize() const { return m_minimumFileSize; }
    void setMinimumFileSize(qint64 value) { m_minimumFileSize = value; }
    QString AcceptParam() const { return m_acceptParam; }
    void setAcceptParam(const QString& value) { m_acceptParam = value.trimmed(); }
    QString AcceptLanguage() const { return m_acceptLanguage; }
    void setAcceptLanguage(const QString& value) { m_acceptLanguage = value.trimmed(); }
    QString AcceptEncoding() const { return m_acceptEncoding; }
    void setAcceptEncoding(const QString& value) { m_acceptEncoding = value.trimmed(); }
    int ConnectTimeout() const { return m_connectTimeout; }
    void setConnectTimeout(int value) { m_connectTimeout = value < 10 ? 10 : value; }
    QString Tag() const { return m_tag; }
    void setTag(const QString& value) { m_tag = value; }
    double MeterValue() const { return m_info.MeterValue; }
    void setMeterValue(double value);
    // A new job connects on the next turn of the event loop instead of after the
    // two-tick start delay (retry waits keep TryInterval).
    bool ConnectAtOnce() const { return m_connectAtOnce; }
    void setConnectAtOnce(bool value) { m_connectAtOnce = value; }
    // A reply that ended cleanly on a persistent HTTP/1.1 connection leaves the connection
    // open for the next job to the same host and port (Protocol 1 with keep-alive only).
    bool ReuseConnections() const { return m_reuseConnections; }
    void setReuseConnections(bool value) { m_reuseConnections = value; }

    // Transfer state, read-only.
    int DownloadStatus() const { return m_info.DownloadStatus; }
    qint64 FileSize() const { return m_info.FileSize; }
    qint64 CurPos() const { return m_info.CurPos; }
    int Try() const { return m_info.Try; }
    int PACKETS() const { return m_info.Packets; }
    QString ReqStr() const { return m_info.ReqStr; }
    QString LocalFile() const { return m_info.LocalFile; }
    QString AbsUrl() const { return m_info.Host; }
    QString Content() const { return m_info.Path; }
    int Wait() const { return int(m_timerCount); }
    // Socket state: 0 closed, 4 resolving, 6 connecting, 7 connected, 8 closing, 9 error.
    int State() const;
    QString RemoteHostIP() const;
    qint64 BytesReceived() const;
    qintptr SocketHandle() const;

    // Starts a job. startPos is the number of bytes already on disk. The last two
    // numbers are accepted and not used. True when a new connection was scheduled.
    bool GetRemoteFile(const QString& url, const QString& localFile, qint64 startPos, int keepAlive,
                       int port = 80, int unused = 0);
    // The request text for this slot's settings.
    QString getRequest(const QString& host, const QString& path, qint64 rangeFrom, qint64 rangeTo,
                       int keepAlive);
    // While an Error is raised about a job that has already ended (its Disconnected came
    // first, and a handler may have started the next job): that job's host and path.
    // Empty for an Error about the job in hand.
    QString EndedJobOfError() const { return m_endedJobOfError; }
    // Header table of the last reply (entry 0 is the status line); names without regard to case.
    QString GetHTTP_Var(const QString& name) const;
    int GetHTTP_VarIndex(const QString& name) const;
    // BeIdeal, then Disconnected.
    void Halt();
    // Drops the connection, the timer and the file and returns to idle (DownloadStatus 0).
    void BeIdeal();
    // The end of a job: like BeIdeal, but a connection the ended reply left reusable stays
    // open for the next job (closed after IdleKeepTicks ticks without one).
    void EndJob();
    // No job in hand, an open connection kept for the next one: the socket's State 7
    // then says nothing about a running job.
    bool KeepsIdleConnection() const { return m_stage == Stage::Kept; }
    static constexpr int IdleKeepTicks = 15;

    // The folder part of a path ("" when it has none) and making sure a folder exists.
    static QString getDirName(const QString& path);
    static void ChkCreateDir(const QString& path);

    // Length of one Timer1 tick in milliseconds (1000; tests shorten it).
    void setTickInterval(int ms);

signals:
    void DataArrival(qint64 bytesTotal);
    void FileDataArrival(qint64 bytesTotal);
    void DownloadComplete();
    void DownloadIncomplete();
    void DownloadFailed();
    void Connected();
    void Disconnected();
    void Error(int ErrNum, const QString& Description);
    void WaitingForReply(const QString& TryDetail);
    void Redirected(const QString& SrcURL);
    void SocketClosed();
    void HeaderCame(const QString& Header);
    void WaitingRetry();
    void Retrying();

private:
    // Where the slot stands; the one variable that says it. The slot's timer follows it:
    // Delay counts down to the connection, Connecting, Requesting and Receiving count the
    // reply wait, Kept counts the idle time of a kept connection.
    enum class Stage
    {
        Idle,       // no job, no connection
        Delay,      // a job waits for its start delay or a retry
        Connecting, // the socket connects (and for TLS, shakes hands)
        Requesting, // the request went out; the reply header has not ended
        Receiving,  // the header was taken; body bytes go into the file
        Ended,      // the verdict was given; the job ends at EndJob
        Kept        // the verdict was given (or no job), the connection stays for the next
    };

    // The transfer record of the job in hand.
    struct DownloadInfo
    {
        double MeterValue = 0;
        qint64 FileSize = 0;
        qint64 CurPos = 0;
        int Try = 0;
        QString Host;
        QString Path;
        int Port = 80;
        bool Secure = false;
        QString ReqStr;
        QString LocalFile;
        int Status = 0;
        QString StatusText;
        int Packets = 0;
        int KeepAlive = 0;
        qint64 ChunkLeft = 0;
        bool Chunked = false;
        int DownloadStatus = 0;
    };
    // What is known of the reply on the current connection; reset for each connection.
    struct ReplyFacts
    {
        BodyEnd End = BodyEnd::None;
        qint64 BodyLeft = 0;       // body bytes still owed (BodyEnd::Length)
        bool Overrun = false;      // the server sent more than it announced
        bool Refused = false;      // the reply was refused or failed: no verdict from sizes
        bool SizeKnown = false;    // FileSize is announced (0 is a known empty file)
        bool SocketFailed = false; // ended by a socket error or silence, not a clean close
        bool HeaderDone = false;   // the final reply header of this request was read
        bool CleanEnd = false;     // the body ended by its own framing, not by a close
        bool Reusing = false;      // the request went over a kept connection
    };
    // The job in hand, as a number that changes whenever it is dropped or replaced: a step
    // that raised an event compares it afterwards, and stops when a handler of the event
    // ended or replaced the job.
    quint64 job() const { return m_generation; }
    bool dropped(quint64 job) const { return job != m_generation; }

    void onSocketConnect();
    void onSocketData(qint64 bytesTotal);
    void onSocketClose();
    void onSocketError(int number, const QString& description);
    void onTick();

    void setStage(Stage stage);
    bool inTransfer() const;
    void OpenConnection();
    void connectSoon(bool atOnce);
    bool openLocalFile(QString* why);
    bool reuseKept();
    bool reusableEnd() const;
    void keepConnection();
    void dropKept();
    bool reconnectStale();
    void NewRequest();
    bool takeHeader(QByteArray& packet);
    bool carryOut(const ReplyPlan& plan);
    bool followRedirect(const QString& location);
    bool writeBody(QByteArray& packet);
    bool bodyEnded() const;
    // The end of a transfer in progress (ignored in any other stage): finish().
    void secureClose();
    // The end of the attempt: the verdict, or a retry wait, then Disconnected.
    void finish();
    void stampFile(bool wrote);
    void endWith(int status, void (HttpFiles::*verdict)());
    void failJob(int number, const QString& description);
    void failLater(int number, const QString& description);
    void closeLocalFile();
    bool cutFileTo(qint64 length);
    qint64 lengthOnDisk() const;
    void dropUnwrittenFile();
    bool splitUrl(const QString& url);

    void startTimer(qint64 count);
    void switchTimer(qint64 count);
    void stopTimer();
    void startRetryWait();
    void setDownloadStatus(int status);
    void resetReply();

    DownloadInfo m_info;
    ReplyFacts m_reply;
    Stage m_stage = Stage::Idle;
    ReplyHeader m_header;
    std::unique_ptr<ChunkDecoder> m_chunks;
    std::unique_ptr<QFile> m_file;
    StreamSocket* m_socket = nullptr;
    QTimer m_timer;
    qint64 m_timerCount = 0;
    bool m_arrivedSinceTick = false;

    quint64 m_generation = 0; // see job()
    QString m_url;            // URL of the request in hand (base of a relative Location)
    int m_redirects = 0;
    QString m_keptHost; // where the kept connection goes
    int m_keptPort = 0;
    bool m_keptSecure = false;
    bool m_fileIsNew = false;   // the local file was created empty by this attempt
    qint64 m_fileEnd = 0;       // the end of what this attempt wrote to the file
    bool m_createdFile = false; // the job in hand created its local file
    QString m_endedJobOfError;
    QString m_madeDir; // the folder made for the last job (made again on a failure)
    bool m_connectAtOnce = false;
    bool m_reuseConnections = false;

    int m_protocol = 0;
    int m_maxTry = 6;
    int m_tryInterval = 60;
    QString m_compatible;
    QString m_errorCodes = QStringLiteral("301|302|303|304|305|306|307|308|");
    QString m_defaultExtns = QStringLiteral(".htm.html.asp.php.pl.cgi.ph3.ph4.ph5");
    bool m_redirection = true;
    qint64 m_minimumFileSize = 0;
    QString m_acceptParam = QStringLiteral("text/xml,application/xml,application/xhtml+xml,"
                                           "text/html;q=0.9,text/plain;q=0.8,image/png,*/*;q=0.5");
    QString m_acceptLanguage = QStringLiteral("en-us,en;q=0.5");
    QString m_acceptEncoding = QStringLiteral("gzip , deflate");
    int m_connectTimeout = 20;
    QString m_tag;
};
