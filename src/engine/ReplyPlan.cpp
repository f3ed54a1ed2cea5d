// SPDX-License-Identifier: GPL-3.0-or-later
#include "engine/ReplyPlan.h"

#include "engine/ReplyHeader.h"

namespace {

bool isRedirection(int status)
{
    return status == 301 || status == 302 || status == 303 || status == 307 || status == 308;
}

ReplyPlan failed(const QString& text, bool statusError = false)
{
    ReplyPlan plan;
    plan.Step = ReplyPlan::Action::Fail;
    plan.StatusError = statusError;
    plan.FailText = text;
    return plan;
}

// A status of 300 or more, or a listed one: its body never reaches the file.
ReplyPlan refused(const ReplyHeader& header, const ReplyContext& context)
{
    const int status = header.Status();
    if (isRedirection(status) && (status == 302 || context.Redirection)) {
        if (context.Redirection && context.Redirects + 1 > ReplyPlan::MaxRedirections)
            return failed(QStringLiteral("Too many redirections"), true);
        ReplyPlan plan;
        plan.Step = ReplyPlan::Action::Redirect;
        plan.StatusError = true;
        plan.Location = header.Var(QStringLiteral("Location"));
        plan.CountsRedirect = context.Redirection;
        plan.Follow = context.Redirection && !plan.Location.isEmpty();
        return plan;
    }
    if (status == 416) {
        // RFC 9110 §15.5.17: the range asked for starts at or past the end of the server's
        // file, so the file on disk is whole - unless "bytes */N" gives the server's file
        // another length: then the one on disk is another version. The length on disk
        // counts, not the position asked from: after a redirection the request starts at 0
        // whatever the file holds.
        qint64 total = context.AskedFrom;
        ReplyHeader::ParseUnsatisfiedRange(header.Var(QStringLiteral("Content-Range")), &total);
        if (total == context.LengthOnDisk) {
            ReplyPlan plan;
            plan.Step = ReplyPlan::Action::Complete;
            plan.StatusError = true;
            plan.FileSize = total;
            return plan;
        }
        return failed(QStringLiteral("[GetLength]: %1 has %2 bytes of this file, but %3 are on "
                                     "disk")
                          .arg(context.Host)
                          .arg(total)
                          .arg(context.LengthOnDisk),
                      true);
    }
    return failed(QString(), true);
}

} // namespace

ReplyPlan ReplyPlan::For(const ReplyHeader& header, const ReplyContext& context)
{
    if (!header.StatusValid()) {
        const QString line = header.Text().section(QStringLiteral("\r\n"), 0, 0).left(200);
        return failed(QStringLiteral("[GetLength]: Not an HTTP status line from %1: \"%2\"")
                          .arg(context.Host, line));
    }
    const int status = header.Status();
    if (status >= 300 || context.ErrorCodes.contains(QString::number(status), Qt::CaseInsensitive))
        return refused(header, context);

    ReplyPlan plan;
    plan.Step = Action::Body;
    // RFC 9112 §6.1: chunked is the final coding when it is named.
    const bool chunked = header.Var(QStringLiteral("Transfer-Encoding"))
                             .endsWith(QLatin1String("chunked"), Qt::CaseInsensitive) ||
                         header.Var(QStringLiteral("Content-Transfer-Encoding"))
                                 .compare(QLatin1String("chunked"), Qt::CaseInsensitive) == 0;
    if (chunked)
        plan.End = BodyEnd::Chunked;
    const QString range = header.Var(QStringLiteral("Content-Range"));
    if (status == 206 || !range.isEmpty()) {
        qint64 first = 0, last = 0, total = 0;
        if (!ReplyHeader::ParseContentRange(range, &first, &last, &total))
            return failed(QStringLiteral("[GetLength]: Unreadable Content-Range from %1: \"%2\"")
                              .arg(context.Host, range));
        // Bytes after a hole would make a file that looks complete but holds zeros.
        if (first > context.AskedFrom)
            return failed(QStringLiteral("[GetLength]: %1 sent bytes from %2 on, but only %3 are "
                                         "on disk")
                              .arg(context.Host)
                              .arg(first)
                              .arg(context.AskedFrom));
        // The body replaces the file from its first byte on: bytes past it on disk belong to
        // another version (a redirection starts again at 0).
        plan.CutTo = first;
        plan.WriteFrom = first;
        plan.FileSize = total < 0 ? last + 1 : total;
        plan.SizeKnown = true;
        if (!chunked) {
            plan.End = BodyEnd::Length;
            plan.BodyLeft = last - first + 1;
        }
    } else {
        qint64 length = 0;
        bool present = false;
        QString problem;
        if (!chunked && !header.ContentLength(&length, &present, &problem))
            return failed(QStringLiteral("[GetLength]: ") + problem);
        // A whole file (the server ignored the range, or none was asked for): it replaces
        // whatever is on disk, from its first byte.
        plan.CutTo = 0;
        plan.WriteFrom = 0;
        plan.ResetMeter = true;
        if (chunked) {
            // RFC 9112 §6.3: with chunked coding a Content-Length is ignored, and the length
            // is unknown until the last chunk, whatever an earlier try said.
        } else if (present || status == 204) {
            plan.FileSize = length;
            plan.SizeKnown = true;
            plan.End = BodyEnd::Length;
            plan.BodyLeft = length;
        } else {
            // RFC 9112 §6.3: without a length the body ends when the server closes.
            plan.End = BodyEnd::UntilClose;
        }
    }
    plan.TooSmall = plan.SizeKnown && plan.FileSize < context.MinimumFileSize;
    return plan;
}
