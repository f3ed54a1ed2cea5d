// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>
#include <QtGlobal>

class ReplyHeader;

// How the body of a reply ends (RFC 9112 §6.3).
enum class BodyEnd
{
    None,      // no body will be written
    Length,    // after a known number of bytes
    Chunked,   // at the last chunk
    UntilClose // when the server closes the connection
};

// What the slot knows of the job when a final reply header has come.
struct ReplyContext
{
    QString Host;            // for the texts
    qint64 AskedFrom = 0;    // the first byte the request asked for
    qint64 LengthOnDisk = 0; // what the local file holds now
    QString ErrorCodes;      // listed codes fail even below 300
    bool Redirection = true; // follow redirections (a 302 is announced either way)
    int Redirects = 0;       // redirections this job has followed
    qint64 MinimumFileSize = 0;
};

// What a reply header means for the job, decided from the header and the context alone:
// refuse it, follow it elsewhere, take it as the end, or write its body and how.
struct ReplyPlan
{
    static constexpr int MaxRedirections = 10;

    enum class Action
    {
        Fail,     // DownloadFailed (after the Error of FailText when there is one)
        Redirect, // Redirected(Location); followed when Follow, else failed
        Complete, // the file on disk is already whole: DownloadComplete
        Body      // the body goes into the file as described below
    };

    Action Step = Action::Fail;
    bool StatusError = false; // first an Error with the status code and line
    QString FailText;         // an Error(0, FailText) before DownloadFailed, "" for none

    QString Location;    // Redirect
    bool Follow = false; // Redirect: go there
    bool CountsRedirect = false;

    BodyEnd End = BodyEnd::None; // Body
    qint64 CutTo = -1;           // shorten the file to this length first, -1 to leave it
    qint64 WriteFrom = 0;        // the file offset of the body's first byte
    qint64 FileSize = 0;         // the length of the whole file, 0 while unknown
    bool SizeKnown = false;
    qint64 BodyLeft = 0; // bytes of body to come (BodyEnd::Length)
    bool ResetMeter = false;
    bool TooSmall = false; // a known length under the minimum: nothing is written

    static ReplyPlan For(const ReplyHeader& header, const ReplyContext& context);
};
