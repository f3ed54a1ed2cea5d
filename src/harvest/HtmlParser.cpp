// SPDX-License-Identifier: GPL-3.0-or-later
#include "harvest/HtmlParser.h"

#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QNetworkRequest>
#include <QThread>
#include <QUrl>

#include <atomic>

namespace {

// The media type of a Content-Type value, lower case, without parameters.
QByteArray mediaType(const QByteArray& contentType)
{
    const qsizetype semicolon = contentType.indexOf(';');
    return (semicolon < 0 ? contentType : contentType.left(semicolon)).trimmed().toLower();
}

bool isHtml(const QByteArray& contentType)
{
    // A reply without a Content-Type is taken as HTML, as browsers sniff it.
    const QByteArray type = mediaType(contentType);
    return type.isEmpty() || type == "text/html" || type == "application/xhtml+xml";
}

bool endsWithNoCase(const QString& text, const QString& tail)
{
    return text.endsWith(tail, Qt::CaseInsensitive);
}

} // namespace

HtmlParser::HtmlParser(QObject* parent)
    : QObject(parent), m_network(new QNetworkAccessManager(this))
{
    m_timer.setSingleShot(true);
    connect(&m_timer, &QTimer::timeout, this, &HtmlParser::onTimeLimit);
}

HtmlParser::~HtmlParser()
{
    dropReply();
    if (m_worker) {
        // The worker parses bytes it owns; cancelled, it ends at its next allocation.
        m_cancel->store(true);
        m_worker->wait();
        delete m_worker;
    }
}

void HtmlParser::SetIsActive(bool value)
{
    m_isActive = value;
    emit PropertyChanged(QStringLiteral("IsActive"));
}

void HtmlParser::SetHasLinks(bool value)
{
    m_hasLinks = value;
    emit PropertyChanged(QStringLiteral("HasLinks"));
}

QStringList HtmlParser::GetLinks(const QString& rawExt) const
{
    QStringList result;
    if (!m_document)
        return result;
    QString ext = rawExt.trimmed();
    if (!ext.isEmpty() && !ext.startsWith(u'.'))
        ext.prepend(u'.');
    if (ext.isEmpty())
        return m_document->links;
    for (const QString& link : m_document->links) {
        if (endsWithNoCase(link, ext))
            result.append(link);
    }
    // Pictures shown on the page count for the picture types even when not linked.
    if (ext.compare(u".gif", Qt::CaseInsensitive) == 0 ||
        ext.compare(u".jpg", Qt::CaseInsensitive) == 0 ||
        ext.compare(u".png", Qt::CaseInsensitive) == 0) {
        for (const QString& image : m_document->images) {
            if (endsWithNoCase(image, ext))
                result.append(image);
        }
    }
    return result;
}

bool HtmlParser::ParseLinks(const QString& url)
{
    if (m_isActive)
        return false;
    SetIsActive(true);
    m_urlAddress = url;
    m_finalUrl = url;
    m_lastError.clear();
    m_body.clear();
    m_timedOut = false;
    m_tooLarge = false;

    const QUrl address(url.trimmed(), QUrl::TolerantMode);
    const QString scheme = address.scheme().toLower();
    QString refusal;
    if (!address.isValid() || address.host().isEmpty())
        refusal = QStringLiteral("Can't harvest %1: not a valid page address").arg(url);
    else if (scheme != u"http" && scheme != u"https")
        refusal =
            QStringLiteral("Can't harvest %1: only http and https pages can be harvested").arg(url);
    if (!refusal.isEmpty()) {
        // DocumentComplete always comes from the event loop, after ParseLinks returned.
        QTimer::singleShot(0, this, [this, refusal] { fail(refusal); });
        return true;
    }

    QNetworkRequest request(address);
    request.setAttribute(QNetworkRequest::RedirectPolicyAttribute,
                         QNetworkRequest::NoLessSafeRedirectPolicy);
    request.setMaximumRedirectsAllowed(20);
    request.setRawHeader("Accept", "text/html,application/xhtml+xml,*/*;q=0.8");
    if (!m_userAgent.isEmpty())
        request.setHeader(QNetworkRequest::UserAgentHeader, m_userAgent);
    m_reply = m_network->get(request);
    connect(m_reply, &QNetworkReply::readyRead, this, &HtmlParser::onReadyRead);
    connect(m_reply, &QNetworkReply::finished, this, &HtmlParser::onFinished);
    m_timer.start(qMax(0, m_timeLimitMs));
    return true;
}

void HtmlParser::onReadyRead()
{
    if (!m_reply)
        return;
    const qint64 room = m_maxPageSize - m_body.size();
    if (m_reply->bytesAvailable() > room) {
        // Refuse rather than hold an unbounded page in memory.
        m_tooLarge = true;
        if (m_reply->isRunning())
            m_reply->abort(); // raises finished
        return;
    }
    m_body.append(m_reply->readAll());
}

void HtmlParser::onTimeLimit()
{
    m_timedOut = true;
    if (m_cancel)
        m_cancel->store(true); // the worker ends at its next allocation
    if (m_reply)
        m_reply->abort(); // raises finished
}

void HtmlParser::onFinished()
{
    QNetworkReply* reply = m_reply;
    if (!reply)
        return;
    if (!m_timedOut && !m_tooLarge && reply->error() == QNetworkReply::NoError)
        onReadyRead();
    const QString url = m_urlAddress;
    const QVariant status = reply->attribute(QNetworkRequest::HttpStatusCodeAttribute);
    QByteArray contentType = reply->rawHeader("Content-Type");
    // Qt joins repeated fields with ", ", and after a followed redirection it can keep the
    // redirection's own Content-Type in front: the last value is this page's.
    if (const qsizetype comma = contentType.lastIndexOf(',');
        comma >= 0 && !contentType.contains('"'))
        contentType = contentType.mid(comma + 1).trimmed();
    const QUrl finalUrl = reply->url();
    m_finalUrl = finalUrl.toString();

    QString reason;
    if (m_timedOut) {
        reason = QStringLiteral("no answer within %1 seconds").arg(m_timeLimitMs / 1000.0);
    } else if (m_tooLarge) {
        reason = QStringLiteral("the page is larger than %1 bytes").arg(m_maxPageSize);
    } else if (status.isValid() && (status.toInt() < 200 || status.toInt() > 299)) {
        reason = QStringLiteral("the server answered %1 %2")
                     .arg(status.toInt())
                     .arg(reply->attribute(QNetworkRequest::HttpReasonPhraseAttribute)
                              .toString()
                              .left(100))
                     .trimmed();
    } else if (reply->error() != QNetworkReply::NoError) {
        reason = reply->errorString();
    } else if (!isHtml(contentType)) {
        reason =
            QStringLiteral("not an HTML page (%1)").arg(QString::fromLatin1(contentType.left(100)));
    }
    m_reply = nullptr;
    reply->disconnect(this);
    reply->deleteLater();
    if (!reason.isEmpty()) {
        fail(QStringLiteral("Can't harvest %1: %2").arg(url, reason));
        return;
    }

    // The time limit runs on through the parse.
    auto parsed = std::make_shared<HtmlLinks>();
    auto cancel = std::make_shared<std::atomic<bool>>(false);
    m_parsed = parsed;
    m_cancel = cancel;
    m_worker = QThread::create([parsed, cancel, body = std::move(m_body), contentType, finalUrl] {
        HtmlParseLimits limits;
        limits.cancel = cancel.get();
        *parsed = HtmlLinks::FromPage(body, contentType, finalUrl, limits);
    });
    m_body = QByteArray();
    connect(m_worker, &QThread::finished, this, &HtmlParser::onParsed);
    m_worker->start();
}

void HtmlParser::onParsed()
{
    m_timer.stop();
    m_worker->wait();
    delete m_worker;
    m_worker = nullptr;
    HtmlLinks parsed = std::move(*m_parsed);
    m_parsed.reset();
    m_cancel.reset();
    if (!parsed.error.isEmpty()) {
        const QString reason =
            m_timedOut ? QStringLiteral("the page could not be parsed within %1 seconds")
                             .arg(m_timeLimitMs / 1000.0)
                       : parsed.error;
        fail(QStringLiteral("Can't harvest %1: %2").arg(m_urlAddress, reason));
        return;
    }
    m_document = std::move(parsed);
    SetHasLinks(!m_document->links.isEmpty());
    complete();
}

void HtmlParser::fail(const QString& reason)
{
    // A failed page leaves no document behind, so the links of an earlier page are
    // never filed a second time.
    m_timer.stop();
    m_lastError = reason;
    m_document.reset();
    SetHasLinks(false);
    complete();
}

void HtmlParser::complete()
{
    SetIsActive(false);
    emit DocumentComplete();
}

void HtmlParser::dropReply()
{
    m_timer.stop();
    if (!m_reply)
        return;
    QNetworkReply* reply = m_reply;
    m_reply = nullptr;
    reply->disconnect(this);
    if (reply->isRunning())
        reply->abort();
    reply->deleteLater();
}
