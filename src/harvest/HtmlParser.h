// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "harvest/HtmlLinks.h"

#include <QByteArray>
#include <QObject>
#include <QPointer>
#include <QString>
#include <QStringList>
#include <QTimer>

#include <atomic>
#include <memory>
#include <optional>

class QNetworkAccessManager;
class QNetworkReply;
class QThread;

// Fetches one web page and collects its links. ParseLinks starts the fetch and
// returns; DocumentComplete is raised once the page is fetched and parsed, or has
// failed (LastError() says why). The fetch follows redirections, takes compressed
// replies and sends the chosen User-Agent. The page is decoded to UTF-8
// (PageCharset) and parsed with gumbo on a worker thread, so a large page does not
// stall the downloads. TimeLimit() bounds fetching and parsing together.
class HtmlParser : public QObject
{
    Q_OBJECT
public:
    explicit HtmlParser(QObject* parent = nullptr);
    ~HtmlParser() override;

    // True from ParseLinks until DocumentComplete.
    bool IsActive() const { return m_isActive; }
    void SetIsActive(bool value);

    // The addresses of the current document's links that end with `ext` (compared
    // without regard to case; "jpg" means ".jpg"), in document order, and for
    // .gif, .jpg and .png also the images' addresses that end with it. Every link
    // when `ext` is blank. An address is listed as often as the page has it.
    // Empty without a current document.
    QStringList GetLinks(const QString& ext) const;

    // The last parsed page had at least one link.
    bool HasLinks() const { return m_hasLinks; }
    void SetHasLinks(bool value);

    // The address given to the last ParseLinks.
    QString UrlAddress() const { return m_urlAddress; }

    // Starts fetching `url` (http or https). Returns false, doing nothing, while a
    // page is being fetched; otherwise DocumentComplete follows, also on failure.
    bool ParseLinks(const QString& url);

    // Why the last ParseLinks failed; empty when it succeeded.
    QString LastError() const { return m_lastError; }
    // The parsed page (links, images, base URL), or nothing after a failure.
    const std::optional<HtmlLinks>& Document() const { return m_document; }
    // The page's address after redirections.
    QString FinalUrl() const { return m_finalUrl; }

    // Milliseconds after which fetching or parsing is ended (default 60 s).
    int TimeLimit() const { return m_timeLimitMs; }
    void SetTimeLimit(int milliseconds) { m_timeLimitMs = milliseconds; }
    // The User-Agent value; empty leaves the network library's default.
    QString UserAgent() const { return m_userAgent; }
    void SetUserAgent(const QString& value) { m_userAgent = value; }
    // Pages larger than this (after decompression) are refused (default 16 MiB).
    qint64 MaxPageSize() const { return m_maxPageSize; }
    void SetMaxPageSize(qint64 bytes) { m_maxPageSize = bytes; }

    static constexpr int DefaultTimeLimitMs = 60000;
    static constexpr qint64 DefaultMaxPageSize = 16 * 1024 * 1024;

signals:
    void DocumentComplete();
    // A property was written: "IsActive" or "HasLinks".
    void PropertyChanged(const QString& name);

private:
    void onReadyRead();
    void onFinished();
    void onTimeLimit();
    void onParsed();
    void fail(const QString& reason);
    void complete();
    void dropReply();

    QNetworkAccessManager* m_network;
    QPointer<QNetworkReply> m_reply;
    QTimer m_timer;
    QThread* m_worker = nullptr;
    std::shared_ptr<HtmlLinks> m_parsed;
    std::shared_ptr<std::atomic<bool>> m_cancel;

    bool m_isActive = false;
    bool m_hasLinks = false;
    QString m_urlAddress;
    QString m_finalUrl;
    QString m_lastError;
    std::optional<HtmlLinks> m_document;
    QByteArray m_body;
    bool m_timedOut = false;
    bool m_tooLarge = false;

    int m_timeLimitMs = DefaultTimeLimitMs;
    QString m_userAgent;
    qint64 m_maxPageSize = DefaultMaxPageSize;
};
