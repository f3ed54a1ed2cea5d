// SPDX-License-Identifier: GPL-3.0-or-later
// HttpFiles, continued: the bytes the server sends, from the status line to the verdict.
#include "engine/ChunkDecoder.h"
#include "engine/HttpFiles.h"

#include "engine/ModHTMLCap.h"
#include "engine/SlotEmit.h"
#include "engine/UrlSplit.h"
#include "platform/StreamSocket.h"

#include <QFile>
#include <QFileInfo>

static constexpr int MaxRedirections = 10;

void HttpFiles::onSocketData(qint64 bytesTotal)
{
    QByteArray packet;
    if (m_phase != Phase::Requesting && m_phase != Phase::Receiving) {
        m_socket->GetData(packet, bytesTotal); // late bytes of an ended transfer
        // Bytes on a kept connection that no request asked for: it is no longer clean.
        if (m_kept)
            dropKept();
        return;
    }
    HARVEX_EMIT_OR_RETURN(DataArrival(bytesTotal));
    ++m_info.Packets;
    m_socket->GetData(packet, bytesTotal);
    m_arrivedSinceTick = true;
    if (m_timerMode == QLatin1String("C"))
        m_timerCount = m_connectTimeout;

    if (m_socket->Tag() == QLatin1String("NR")) {
        const HeaderStep step = processHeader(packet);
        if (step != HeaderStep::Body)
            return;
    }
    if (!packet.isEmpty() && !writeBody(packet))
        return;
    if (bodyEnded()) {
        m_cleanEnd = true;
        secureClose();
    }
}

bool HttpFiles::bodyEnded() const
{
    switch (m_bodyEnd) {
    case BodyEnd::Length:
        return m_bodyLeft <= 0;
    case BodyEnd::Chunked:
        return m_info.ChunkLeft < 0;
    default:
        return false;
    }
}

HttpFiles::HeaderStep HttpFiles::processHeader(QByteArray& packet)
{
    switch (m_header.Feed(packet)) {
    case ReplyHeader::Step::NeedMore:
        return HeaderStep::Wait;
    case ReplyHeader::Step::TooLong:
        failJob(0, QStringLiteral("[GetLength]: The reply header from %1 did not end within %2 "
                                  "bytes")
                       .arg(m_info.Host)
                       .arg(ReplyHeader::MaxBytes));
        return HeaderStep::Stop;
    case ReplyHeader::Step::Complete:
        break;
    }
    m_headerDone = true;
    HARVEX_EMIT_OR_RETURN(HeaderCame(m_header.Text()), HeaderStep::Stop);
    m_info.Status = m_header.Status();
    m_info.StatusText = m_header.StatusText();
    if (!m_header.StatusValid()) {
        const QString line = m_header.Text().section(QStringLiteral("\r\n"), 0, 0).left(200);
        failJob(0, QStringLiteral("[GetLength]: Not an HTTP status line from %1: \"%2\"")
                       .arg(m_info.Host, line));
        return HeaderStep::Stop;
    }
    // RFC 9112 §6.1: chunked is the final coding when it is named.
    m_info.Chunked = m_header.Var(QStringLiteral("Transfer-Encoding"))
                         .endsWith(QLatin1String("chunked"), Qt::CaseInsensitive) ||
                     m_header.Var(QStringLiteral("Content-Transfer-Encoding"))
                             .compare(QLatin1String("chunked"), Qt::CaseInsensitive) == 0;
    m_info.ChunkLeft = 0;
    m_chunks->Reset();

    const int status = m_info.Status;
    // The body of an error or redirection reply never reaches the file, listed or not.
    if (status >= 300 || m_errorCodes.contains(QString::number(status), Qt::CaseInsensitive)) {
        m_refused = true;
        HARVEX_EMIT_OR_RETURN(Error(status, m_info.Host + QStringLiteral(" [") +
                                                m_header.StatusValue() + QStringLiteral("]")),
                              HeaderStep::Stop);
        const bool redirect =
            status == 301 || status == 302 || status == 303 || status == 307 || status == 308;
        if (redirect && (status == 302 || m_redirection)) {
            const QString location = m_header.Var(QStringLiteral("Location"));
            if (m_redirection && ++m_redirects > MaxRedirections) {
                failJob(0, QStringLiteral("Too many redirections"));
                return HeaderStep::Stop;
            }
            HARVEX_EMIT_OR_RETURN(Redirected(location), HeaderStep::Stop);
            if (m_redirection && !location.isEmpty() && followRedirect(location))
                return HeaderStep::Stop;
        } else if (status == 416) {
            // RFC 9110 §15.5.17: the range asked for starts at or past the end of the
            // server's file, so the file on disk is whole - unless "bytes */N" says the
            // server's file has another length: then the one on disk is another version.
            // The length on disk counts, not the position asked from: after a redirection
            // the request starts at 0 whatever the file holds.
            const qint64 onDisk = lengthOnDisk();
            qint64 total = m_info.CurPos - 1;
            ReplyHeader::ParseUnsatisfiedRange(m_header.Var(QStringLiteral("Content-Range")),
                                               &total);
            if (total == onDisk) {
                m_info.FileSize = onDisk;
                setDownloadStatus(1);
                HARVEX_EMIT_OR_RETURN(DownloadComplete(), HeaderStep::Stop);
                secureClose();
                return HeaderStep::Stop;
            }
            HARVEX_EMIT_OR_RETURN(
                Error(0, QStringLiteral("[GetLength]: %1 has %2 bytes of this file, but %3 are on "
                                        "disk")
                             .arg(m_info.Host)
                             .arg(total)
                             .arg(onDisk)),
                HeaderStep::Stop);
        }
        setDownloadStatus(2);
        HARVEX_EMIT_OR_RETURN(DownloadFailed(), HeaderStep::Stop);
        secureClose();
        return HeaderStep::Stop;
    }
    return acceptReply();
}

HttpFiles::HeaderStep HttpFiles::acceptReply()
{
    const qint64 onDisk = m_info.CurPos - 1;
    const QString range = m_header.Var(QStringLiteral("Content-Range"));
    if (m_info.Chunked)
        m_bodyEnd = BodyEnd::Chunked;
    if (m_info.Status == 206 || !range.isEmpty()) {
        qint64 first = 0, last = 0, total = 0;
        if (!ReplyHeader::ParseContentRange(range, &first, &last, &total)) {
            failJob(0, QStringLiteral("[GetLength]: Unreadable Content-Range from %1: \"%2\"")
                           .arg(m_info.Host, range));
            return HeaderStep::Stop;
        }
        // Bytes after a hole would make a file that looks complete but holds zeros.
        if (first > onDisk) {
            failJob(0, QStringLiteral("[GetLength]: %1 sent bytes from %2 on, but only %3 are "
                                      "on disk")
                           .arg(m_info.Host)
                           .arg(first)
                           .arg(onDisk));
            return HeaderStep::Stop;
        }
        // The body replaces the file from its first byte on: bytes past it on disk belong
        // to another version (a redirection starts again at 0).
        if (!cutFileTo(first))
            return HeaderStep::Stop;
        m_info.CurPos = first + 1;
        m_info.FileSize = total < 0 ? last + 1 : total;
        m_sizeKnown = true;
        if (!m_info.Chunked) {
            m_bodyEnd = BodyEnd::Length;
            m_bodyLeft = last - first + 1;
        }
    } else {
        qint64 length = 0;
        bool present = false;
        QString problem;
        if (!m_info.Chunked && !m_header.ContentLength(&length, &present, &problem)) {
            failJob(0, QStringLiteral("[GetLength]: ") + problem);
            return HeaderStep::Stop;
        }
        // A whole file (the server ignored the range, or none was asked for): it replaces
        // whatever is on disk, from its first byte.
        if (!cutFileTo(0))
            return HeaderStep::Stop;
        m_info.CurPos = 1;
        m_info.MeterValue = 0;
        if (m_info.Chunked) {
            // RFC 9112 §6.3: with chunked coding a Content-Length is ignored, and the
            // length is unknown until the last chunk (whatever an earlier try said).
            m_info.FileSize = 0;
        } else if (present || m_info.Status == 204) {
            m_info.FileSize = length;
            m_sizeKnown = true;
            m_bodyEnd = BodyEnd::Length;
            m_bodyLeft = length;
        } else {
            // RFC 9112 §6.3: without a length the body ends when the server closes.
            m_info.FileSize = 0;
            m_bodyEnd = BodyEnd::UntilClose;
        }
    }
    setSocketTag(QStringLiteral("B"));
    m_phase = Phase::Receiving;
    if (m_sizeKnown && m_info.FileSize < m_minimumFileSize) {
        closeLocalFile();
        secureClose();
        return HeaderStep::Stop;
    }
    return HeaderStep::Body;
}

bool HttpFiles::followRedirect(const QString& location)
{
    const QString target = UrlSplit::Resolve(m_url, location);
    if (!splitUrl(target)) {
        HARVEX_EMIT_OR_RETURN(Error(0, QStringLiteral("Unsupported URL: ") + target), true);
        return false;
    }
    m_info.Try = 0;
    m_info.CurPos = 1;
    m_info.FileSize = 0;
    m_info.Packets = 0;
    m_info.MeterValue = 0;
    m_socket->Close();
    OpenConnection();
    return true;
}

bool HttpFiles::writeBody(QByteArray& packet)
{
    if (m_bodyEnd == BodyEnd::Chunked) {
        m_info.ChunkLeft = m_chunks->Decode(packet);
        if (m_chunks->Failed()) {
            m_refused = true;
            HARVEX_EMIT_OR_RETURN(Error(0, m_chunks->ErrorText()), false);
            setDownloadStatus(2);
            HARVEX_EMIT_OR_RETURN(DownloadIncomplete(), false);
            secureClose();
            return false;
        }
        if (m_info.ChunkLeft == ChunkDecoder::LastChunkAtStart) {
            m_cleanEnd = true;
            secureClose();
            return false;
        }
    } else if (m_bodyEnd == BodyEnd::Length) {
        // Never past what the reply announced.
        if (packet.size() > m_bodyLeft) {
            m_overrun = true;
            packet.truncate(qsizetype(m_bodyLeft));
        }
        m_bodyLeft -= packet.size();
    } else if (m_bodyEnd == BodyEnd::None) {
        return true;
    }
    if (packet.isEmpty() || !m_file)
        return true;
    const bool placed = m_file->pos() == m_info.CurPos - 1 || m_file->seek(m_info.CurPos - 1);
    if (!placed || m_file->write(packet) != packet.size()) {
        m_refused = true;
        HARVEX_EMIT_OR_RETURN(Error(0, QStringLiteral("[DataArrival]: Cannot write to \"%1\": %2")
                                           .arg(m_info.LocalFile, m_file->errorString())),
                              false);
        setDownloadStatus(2);
        HARVEX_EMIT_OR_RETURN(DownloadIncomplete(), false);
        secureClose();
        return false;
    }
    m_info.CurPos += packet.size();
    if (m_info.FileSize > 0)
        m_info.MeterValue = qBound(0.0, double(m_info.CurPos - 1) / m_info.FileSize * 100, 100.0);
    HARVEX_EMIT_OR_RETURN(FileDataArrival(packet.size()), false);
    return true;
}

void HttpFiles::secureClose()
{
    if (m_phase == Phase::Idle || m_phase == Phase::Ended || m_phase == Phase::Delay)
        return;
    m_phase = Phase::Ended;
    const bool wrote = m_file != nullptr;
    const bool reusable = reusableEnd();
    closeLocalFile();
    if (!reusable) {
        m_socket->Close();
        stopTimer();
    }
    if (!m_refused && m_info.Status < 300) {
        bool retry = false;
        int verdict = 0;
        if (m_info.Packets < 1) {
            retry = true; // nothing came: the connection failed or stalled
        } else if (!m_headerDone) {
            retry = true; // the header broke off: nothing of the body is known yet
        } else if (!m_sizeKnown) {
            // Without a length only the last chunk, or for a body without framing the
            // server's own close (RFC 9112 §6.3), tells that everything came.
            if (m_bodyEnd == BodyEnd::Chunked)
                retry = m_info.ChunkLeft >= 0;
            else if (m_bodyEnd == BodyEnd::UntilClose)
                retry = m_socketFailed;
            verdict = retry ? 0 : 1;
        } else if (m_info.FileSize < m_minimumFileSize) {
            verdict = 2;
        } else if (m_info.CurPos <= m_info.FileSize) {
            retry = true; // bytes are missing
        } else if (m_overrun || m_info.FileSize != m_info.CurPos - 1) {
            verdict = 2;
        } else {
            verdict = 1;
        }
        // Complete means the file on disk holds exactly the reply's bytes: never more (an
        // older, longer version), never fewer.
        const qint64 expected = m_sizeKnown ? m_info.FileSize : m_info.CurPos - 1;
        const qint64 onDisk = verdict == 1 ? lengthOnDisk() : expected;
        if (onDisk != expected) {
            verdict = 2;
            HARVEX_EMIT_OR_RETURN(Error(0, QStringLiteral("[DataArrival]: \"%1\" holds %2 bytes, "
                                                          "not the %3 of the reply")
                                               .arg(m_info.LocalFile)
                                               .arg(onDisk)
                                               .arg(expected)));
        }
        if (retry || verdict != 1) {
            m_socket->Close();
            stopTimer();
        }
        if (retry && m_info.Try < m_maxTry) {
            if (m_info.Packets >= 1)
                HARVEX_EMIT_OR_RETURN(Retrying());
            startRetryWait();
            return;
        }
        if (retry) {
            HARVEX_EMIT_OR_RETURN(SocketClosed());
        } else if (verdict != 0) {
            setDownloadStatus(verdict);
            if (verdict == 1)
                HARVEX_EMIT_OR_RETURN(DownloadComplete());
            else
                HARVEX_EMIT_OR_RETURN(DownloadIncomplete());
        }
        // A file that received nothing and is too small to keep goes; one that received
        // a body carries the server's date (RFC 9110 §8.8.2).
        // (Stamping a missing file fails harmlessly, so only the removal looks first.)
        const bool unwanted = m_info.CurPos < 2 && m_info.FileSize < m_minimumFileSize;
        const QFileInfo file(unwanted ? m_info.LocalFile : QString());
        if (unwanted && file.isFile() && file.size() == 0) {
            QFile::remove(m_info.LocalFile);
        } else if (wrote && m_headerDone) {
            const QString date = m_header.Var(QStringLiteral("Last-Modified"));
            if (!date.isEmpty())
                SetFileDate(m_info.LocalFile, date);
        }
    } else {
        m_socket->Close();
    }
    dropUnwrittenFile();
    if (m_socket->State() == StreamSocket::ConnectedState)
        keepConnection();
    else
        stopTimer();
    emit Disconnected();
}

bool HttpFiles::reusableEnd() const
{
    if (!m_reuseConnections || m_protocol != 1 || m_info.KeepAlive == 0 || !m_cleanEnd ||
        m_refused || m_socketFailed || m_overrun || !m_headerDone || m_info.Status < 200 ||
        m_info.Status >= 300 || !m_header.Persistent())
        return false;
    // Never a byte of this reply left for the next one to read: the body ended exactly
    // at its framing and nothing more is waiting.
    if (m_bodyEnd == BodyEnd::Length) {
        if (m_bodyLeft != 0)
            return false;
    } else if (m_bodyEnd == BodyEnd::Chunked) {
        if (!m_chunks->Finished() || m_chunks->BytesAfterEnd() > 0)
            return false;
    } else {
        return false;
    }
    return m_header.PendingBytes() == 0 && m_socket->QuietlyOpen();
}
