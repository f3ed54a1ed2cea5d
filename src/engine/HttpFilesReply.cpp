// SPDX-License-Identifier: GPL-3.0-or-later
// HttpFiles, continued: the bytes the server sends, from the status line to the verdict.
#include "engine/ChunkDecoder.h"
#include "engine/HttpFiles.h"

#include "engine/HttpDate.h"
#include "engine/TransferVerdict.h"
#include "engine/UrlSplit.h"
#include "platform/StreamSocket.h"

#include <QFile>
#include <QFileInfo>

#include <cerrno>
#include <unistd.h>

void HttpFiles::onSocketData(qint64 bytesTotal)
{
    QByteArray packet;
    if (m_stage != Stage::Requesting && m_stage != Stage::Receiving) {
        m_socket->GetData(packet, bytesTotal); // late bytes of an ended transfer
        // Bytes on a kept connection that no request asked for: it is no longer clean.
        if (m_stage == Stage::Kept)
            dropKept();
        return;
    }
    const quint64 job = this->job();
    emit DataArrival(bytesTotal);
    if (dropped(job))
        return;
    ++m_info.Packets;
    m_socket->GetData(packet, bytesTotal);
    m_arrivedSinceTick = true;
    if (m_timer.isActive())
        m_timerCount = m_connectTimeout;

    if (m_stage == Stage::Requesting && !takeHeader(packet))
        return;
    if (!packet.isEmpty() && !writeBody(packet))
        return;
    if (bodyEnded()) {
        m_reply.CleanEnd = true;
        secureClose();
    }
}

bool HttpFiles::bodyEnded() const
{
    switch (m_reply.End) {
    case BodyEnd::Length:
        return m_reply.BodyLeft <= 0;
    case BodyEnd::Chunked:
        return m_info.ChunkLeft < 0;
    default:
        return false;
    }
}

bool HttpFiles::takeHeader(QByteArray& packet)
{
    switch (m_header.Feed(packet)) {
    case ReplyHeader::Step::NeedMore:
        return false;
    case ReplyHeader::Step::TooLong:
        failJob(0, QStringLiteral("[GetLength]: The reply header from %1 did not end within %2 "
                                  "bytes")
                       .arg(m_info.Host)
                       .arg(ReplyHeader::MaxBytes));
        return false;
    case ReplyHeader::Step::Complete:
        break;
    }
    m_reply.HeaderDone = true;
    const quint64 job = this->job();
    emit HeaderCame(m_header.Text());
    if (dropped(job))
        return false;
    m_info.Status = m_header.Status();
    m_info.StatusText = m_header.StatusText();

    ReplyContext context;
    context.Host = m_info.Host;
    context.AskedFrom = m_info.CurPos - 1;
    // Only a 416 is judged by the length on disk; other replies spare the look.
    context.LengthOnDisk = m_info.Status == 416 ? lengthOnDisk() : context.AskedFrom;
    context.ErrorCodes = m_errorCodes;
    context.Redirection = m_redirection;
    context.Redirects = m_redirects;
    context.MinimumFileSize = m_minimumFileSize;
    return carryOut(ReplyPlan::For(m_header, context));
}

bool HttpFiles::carryOut(const ReplyPlan& plan)
{
    const quint64 job = this->job();
    if (plan.Step != ReplyPlan::Action::Body)
        m_reply.Refused = true;
    if (plan.StatusError) {
        emit Error(m_info.Status,
                   m_info.Host + QStringLiteral(" [") + m_header.StatusValue() + QLatin1Char(']'));
        if (dropped(job))
            return false;
    }
    switch (plan.Step) {
    case ReplyPlan::Action::Fail:
        if (!plan.FailText.isEmpty())
            failJob(0, plan.FailText);
        else
            endWith(2, &HttpFiles::DownloadFailed);
        return false;
    case ReplyPlan::Action::Redirect:
        if (plan.CountsRedirect)
            ++m_redirects;
        emit Redirected(plan.Location);
        if (dropped(job) || (plan.Follow && followRedirect(plan.Location)))
            return false;
        endWith(2, &HttpFiles::DownloadFailed);
        return false;
    case ReplyPlan::Action::Complete:
        m_info.FileSize = plan.FileSize;
        endWith(1, &HttpFiles::DownloadComplete);
        return false;
    case ReplyPlan::Action::Body:
        break;
    }
    m_info.Chunked = plan.End == BodyEnd::Chunked;
    m_info.ChunkLeft = 0;
    m_chunks->Reset();
    if (plan.CutTo >= 0 && !cutFileTo(plan.CutTo))
        return false;
    m_info.CurPos = plan.WriteFrom + 1;
    m_info.FileSize = plan.FileSize;
    if (plan.ResetMeter)
        m_info.MeterValue = 0;
    m_reply.SizeKnown = plan.SizeKnown;
    m_reply.End = plan.End;
    m_reply.BodyLeft = plan.BodyLeft;
    setStage(Stage::Receiving);
    if (plan.TooSmall) {
        closeLocalFile();
        secureClose();
        return false;
    }
    return true;
}

bool HttpFiles::followRedirect(const QString& location)
{
    const QString target = UrlSplit::Resolve(m_url, location);
    if (!splitUrl(target)) {
        const quint64 job = this->job();
        emit Error(0, QStringLiteral("Unsupported URL: ") + target);
        return dropped(job);
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

// Writes all of data at that offset of the file, whatever the file position; false with
// errno set when the file takes less. One call where QFile would also ask for the file's
// kind before its first write.
static bool writeAt(int fd, qint64 at, const QByteArray& data)
{
    qsizetype done = 0;
    while (done < data.size()) {
        const ssize_t n =
            ::pwrite(fd, data.constData() + done, size_t(data.size() - done), off_t(at + done));
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0) {
            if (n == 0)
                errno = ENOSPC;
            return false;
        }
        done += n;
    }
    return true;
}

bool HttpFiles::writeBody(QByteArray& packet)
{
    if (m_reply.End == BodyEnd::Chunked) {
        m_info.ChunkLeft = m_chunks->Decode(packet);
        if (m_chunks->Failed()) {
            m_reply.Refused = true;
            const quint64 job = this->job();
            emit Error(0, m_chunks->ErrorText());
            if (!dropped(job))
                endWith(2, &HttpFiles::DownloadIncomplete);
            return false;
        }
        if (m_info.ChunkLeft == ChunkDecoder::LastChunkAtStart) {
            m_reply.CleanEnd = true;
            secureClose();
            return false;
        }
    } else if (m_reply.End == BodyEnd::Length) {
        // Never past what the reply announced.
        if (packet.size() > m_reply.BodyLeft) {
            m_reply.Overrun = true;
            packet.truncate(qsizetype(m_reply.BodyLeft));
        }
        m_reply.BodyLeft -= packet.size();
    } else if (m_reply.End == BodyEnd::None) {
        return true;
    }
    if (packet.isEmpty() || !m_file)
        return true;
    const quint64 job = this->job();
    const qint64 at = m_info.CurPos - 1;
    if (!writeAt(m_file->handle(), at, packet)) {
        m_reply.Refused = true;
        emit Error(0, QStringLiteral("[DataArrival]: Cannot write to \"%1\": %2")
                          .arg(m_info.LocalFile, qt_error_string(errno)));
        if (!dropped(job))
            endWith(2, &HttpFiles::DownloadIncomplete);
        return false;
    }
    m_info.CurPos += packet.size();
    m_fileEnd = qMax(m_fileEnd, at + packet.size());
    if (m_info.FileSize > 0)
        m_info.MeterValue = qBound(0.0, double(m_info.CurPos - 1) / m_info.FileSize * 100, 100.0);
    emit FileDataArrival(packet.size());
    return !dropped(job);
}

void HttpFiles::secureClose()
{
    if (inTransfer())
        finish();
}

void HttpFiles::finish()
{
    setStage(Stage::Ended);
    const bool wrote = m_file != nullptr;
    const bool reusable = reusableEnd();
    closeLocalFile();
    if (!reusable) {
        m_socket->Close();
        stopTimer();
    }
    if (!m_reply.Refused && m_info.Status < 300) {
        TransferFacts facts;
        facts.Packets = m_info.Packets;
        facts.HeaderDone = m_reply.HeaderDone;
        facts.SizeKnown = m_reply.SizeKnown;
        facts.End = m_reply.End;
        facts.ChunkLeft = m_info.ChunkLeft;
        facts.SocketFailed = m_reply.SocketFailed;
        facts.Overrun = m_reply.Overrun;
        facts.FileSize = m_info.FileSize;
        facts.MinimumFileSize = m_minimumFileSize;
        facts.WrittenTo = m_info.CurPos - 1;
        TransferVerdict::Outcome outcome = TransferVerdict::Judge(facts);
        // Complete means the file on disk holds exactly the reply's bytes: never more (an
        // older, longer version), never fewer.
        QString problem;
        const qint64 expected = TransferVerdict::ExpectedLength(facts);
        const qint64 onDisk =
            outcome == TransferVerdict::Outcome::Complete ? lengthOnDisk() : expected;
        if (onDisk != expected) {
            outcome = TransferVerdict::Outcome::Incomplete;
            problem = QStringLiteral("[DataArrival]: \"%1\" holds %2 bytes, not the %3 of the "
                                     "reply")
                          .arg(m_info.LocalFile)
                          .arg(onDisk)
                          .arg(expected);
        }
        if (outcome != TransferVerdict::Outcome::Complete) {
            m_socket->Close();
            stopTimer();
        }
        const quint64 job = this->job();
        if (outcome == TransferVerdict::Outcome::Retry && m_info.Try < m_maxTry) {
            if (m_info.Packets >= 1) {
                emit Retrying();
                if (dropped(job))
                    return;
            }
            startRetryWait();
            return;
        }
        if (!problem.isEmpty()) {
            emit Error(0, problem);
            if (dropped(job))
                return;
        }
        if (outcome == TransferVerdict::Outcome::Retry) {
            emit SocketClosed();
        } else {
            const bool complete = outcome == TransferVerdict::Outcome::Complete;
            setDownloadStatus(complete ? 1 : 2);
            if (complete)
                emit DownloadComplete();
            else
                emit DownloadIncomplete();
        }
        if (dropped(job))
            return;
        stampFile(wrote);
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

void HttpFiles::stampFile(bool wrote)
{
    // A file that received nothing and is too small to keep goes; one that received a
    // body carries the server's date (RFC 9110 §8.8.2).
    const bool unwanted = m_info.CurPos < 2 && m_info.FileSize < m_minimumFileSize;
    const QFileInfo file(unwanted ? m_info.LocalFile : QString());
    if (unwanted && file.isFile() && file.size() == 0) {
        QFile::remove(m_info.LocalFile);
    } else if (wrote && m_reply.HeaderDone) {
        const QString date = m_header.Var(QStringLiteral("Last-Modified"));
        if (!date.isEmpty())
            SetFileDate(m_info.LocalFile, date);
    }
}

bool HttpFiles::reusableEnd() const
{
    if (!m_reuseConnections || m_protocol != 1 || m_info.KeepAlive == 0 || !m_reply.CleanEnd ||
        m_reply.Refused || m_reply.SocketFailed || m_reply.Overrun || !m_reply.HeaderDone ||
        m_info.Status < 200 || m_info.Status >= 300 || !m_header.Persistent())
        return false;
    // Never a byte of this reply left for the next one to read: the body ended exactly at
    // its framing and nothing more is waiting.
    if (m_reply.End == BodyEnd::Length) {
        if (m_reply.BodyLeft != 0)
            return false;
    } else if (m_reply.End == BodyEnd::Chunked) {
        if (!m_chunks->Finished() || m_chunks->BytesAfterEnd() > 0)
            return false;
    } else {
        return false;
    }
    return m_header.PendingBytes() == 0 && m_socket->QuietlyOpen();
}
