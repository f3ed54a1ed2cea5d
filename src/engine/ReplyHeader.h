// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QByteArray>
#include <QList>
#include <QString>

// One field of a reply header; entry 0 of a table is the status line.
struct HttpVar
{
    QString Name;
    QString Value;
};

// Collects a reply header from packets of any size until its blank line (RFC 9112 §2.1),
// skips interim 1xx replies (RFC 9110 §15.2) and splits the final one into its table.
// Plain bytes in, no socket: the slot feeds it each packet of a reply.
class ReplyHeader
{
public:
    // A header that has not ended after this many bytes is refused.
    static constexpr qsizetype MaxBytes = 65536;

    enum class Step
    {
        NeedMore, // the blank line has not come yet; every byte of the packet was taken
        Complete, // the final header was found; the packet keeps the body bytes after it
        TooLong   // no blank line within MaxBytes
    };

    void Reset();
    Step Feed(QByteArray& packet);

    // Of the final header (valid after Complete).
    QString Text() const { return m_text; }
    const QList<HttpVar>& Vars() const { return m_vars; }
    int Status() const { return m_status; }
    QString StatusText() const { return m_statusText; }
    // The status line is "HTTP/x.y" followed by a three-digit code.
    bool StatusValid() const { return m_statusValid; }
    QString StatusValue() const { return m_vars.isEmpty() ? QString() : m_vars.first().Value; }
    qsizetype PendingBytes() const { return m_pending.size(); }

    // The trimmed value of the first field of that name (any case), "" when none.
    QString Var(const QString& name) const;
    int VarIndex(const QString& name) const;
    // Every value of that name, in order.
    QStringList Values(const QString& name) const;

    // Splits header text into fields: name before the first ":" (or blank), value after it;
    // one following line that begins with a blank is joined to the value.
    static QList<HttpVar> ParseFields(const QString& text);
    // No length or position a server sends is larger (4 EiB), so the sum of any two of
    // them, or one plus a body, stays inside 64 signed bits.
    static constexpr qint64 MaxLength = Q_INT64_C(1) << 62;
    // A decimal length: digits only (after trimming), at most MaxLength.
    static bool ParseLength(const QString& text, qint64* value);
    // "bytes 500-999/1000" (RFC 9110 §14.4): first and last byte and the complete length
    // (-1 for "*"). False when any part is missing or unreadable, or last < first.
    static bool ParseContentRange(const QString& text, qint64* first, qint64* last, qint64* total);
    // "bytes */1000", the Content-Range of a 416 reply (RFC 9110 §14.4): the complete length.
    static bool ParseUnsatisfiedRange(const QString& text, qint64* total);
    // Content-Length of the reply: false with problem set when it is present but invalid or
    // given twice with different values (RFC 9112 §6.3); *present tells if it was there.
    bool ContentLength(qint64* value, bool* present, QString* problem) const;
    // The server lets the connection stay open after this reply (RFC 9112 §9.3): an
    // HTTP/1.1 (or later 1.x) reply without the "close" option, or an HTTP/1.0 reply
    // that names "keep-alive".
    bool Persistent() const;

private:
    void parseFinal(const QByteArray& header);

    QByteArray m_pending;
    qsizetype m_scanned = 0;
    QString m_text;
    QList<HttpVar> m_vars;
    int m_status = 0;
    QString m_statusText;
    bool m_statusValid = false;
};
