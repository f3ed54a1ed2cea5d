// SPDX-License-Identifier: GPL-3.0-or-later
#include "harvest/PageHarvester.h"

#include "lists/FileTypeList.h"
#include "lists/JobList.h"
#include "lists/Rowvane.h"
#include "lists/UrlListIO.h"
#include "platform/Dialogs.h"
#include "settings/Options.h"

namespace {

const QString kBusyTip = QStringLiteral("Fetching and parsing webpage...");
const QString kIdleTip = QStringLiteral("Ideal...");

bool isWebAddress(const QString& url)
{
    return url.startsWith(u"http://", Qt::CaseInsensitive) ||
           url.startsWith(u"https://", Qt::CaseInsensitive);
}

} // namespace

PageHarvester::PageHarvester(JobList& jobs, Rowvane& pages, const FileTypeList& dataTypes,
                             const FileTypeList& pageTypes, UrlListIO& urlIO,
                             const Options& options, Dialogs& dialogs, QObject* parent)
    : QObject(parent), m_jobs(jobs), m_pages(pages), m_dataTypes(dataTypes), m_pageTypes(pageTypes),
      m_urlIO(urlIO), m_options(options), m_dialogs(dialogs)
{
    m_pages.SetUpUrlCheckList();
    connect(&m_parser, &HtmlParser::DocumentComplete, this, &PageHarvester::onDocumentComplete);
    // However the list is cleared (its menu, "clear before loading"), no parsed row is left.
    connect(&m_pages, &Rowvane::Cleared, this, [this] { setParsedCount(0); });
}

QString PageHarvester::ToolTip() const
{
    return Busy() ? kBusyTip : kIdleTip;
}

bool PageHarvester::ParseWebPage(const QString& address)
{
    if (m_parser.IsActive()) {
        m_dialogs.MsgBox(QStringLiteral("Not available now. Try later."), QStringLiteral("Harvex"),
                         Dialogs::Icon::None);
        return false;
    }
    QString url = address;
    if (url.isEmpty()) {
        // The dialog shows the address of its last use.
        QString typed = m_addressText;
        QStringList rangeUrls;
        const int freeRows = Rowvane::MaxRows - m_jobs.List().ListCount();
        const bool ok = m_dialogs.PageAddressOrRange(typed, freeRows, rangeUrls);
        m_addressText = typed;
        // A numbered range goes straight to the job list: there is no page to fetch.
        if (ok && !rangeUrls.isEmpty()) {
            m_jobs.AddJobs(rangeUrls.join(QLatin1Char('\n')));
            return false;
        }
        if (!ok || typed.trimmed().isEmpty())
            return false;
        url = typed.trimmed();
    }
    // An address without a scheme is an http address; the dialog then shows the
    // completed address.
    if (!isWebAddress(url)) {
        url.prepend(QStringLiteral("http://"));
        m_addressText = url;
    }
    if (!m_pages.InList(url, 1))
        m_pages.AddItem(url);
    m_parser.SetUserAgent(m_userAgent ? m_userAgent() : QString());
    if (!m_parser.ParseLinks(url))
        return false;
    emit BusyChanged(true);
    return true;
}

void PageHarvester::onDocumentComplete()
{
    emit BusyChanged(false);
    const QString url = m_parser.UrlAddress();
    const QString error = m_parser.LastError();
    if (!error.isEmpty())
        m_dialogs.MsgBox(error, QStringLiteral("Harvex"), Dialogs::Icon::Exclamation);

    // The page counts as parsed also when it failed or had no links.
    const int row = m_pages.GetItemIndex(0, url, 1);
    if (row >= 0) {
        m_pages.setSelected(row, true);
        setParsedCount(m_parsedCount + 1);
    }

    Rowvane& jobs = m_jobs.List();
    jobs.BlockUpdate();
    const int jobsAdded = fileLinks(jobs, m_dataTypes);
    int pagesAdded = 0;
    if (m_options.ListUrl()) {
        m_pages.BlockUpdate();
        pagesAdded = fileLinks(m_pages, m_pageTypes);
    }
    jobs.Update();
    m_pages.Update();
    m_jobs.RefreshJobQueue();
    emit PageFiled(url, jobsAdded, pagesAdded, error);
}

int PageHarvester::fileLinks(Rowvane& target, const FileTypeList& types)
{
    int added = 0;
    for (int i = 0; i < types.ListCount(); ++i) {
        if (!types.Checked(i))
            continue;
        const QStringList links = m_parser.GetLinks(types.Text(i));
        for (const QString& link : links) {
            // The lists hold download addresses: a page's mailto:, javascript: or
            // file: links are never filed.
            if (link.isEmpty() || !isWebAddress(link) || target.InList(link, 1))
                continue;
            if (target.AddItem(link))
                ++added;
        }
    }
    return added;
}

bool PageHarvester::hasCurrentRow() const
{
    const int index = m_pages.ListIndex();
    return index >= 0 && index < m_pages.ListCount();
}

PageHarvester::WebPageMenu PageHarvester::UpdateWebPageMenu() const
{
    WebPageMenu menu;
    const int count = m_pages.ListCount();
    menu.ParseWeb = hasCurrentRow();
    menu.CopyUrl = hasCurrentRow();
    menu.SaveUrls = count >= 1;
    menu.SaveCheckedUrls = m_parsedCount >= 1;
    menu.SaveUncheckedUrls = m_parsedCount < count;
    menu.ClearCheckedUrls = m_parsedCount >= 1;
    menu.ClearUncheckedUrls = m_parsedCount < count;
    menu.ClearUrls = count >= 1;
    return menu;
}

void PageHarvester::ParseThisPage()
{
    if (hasCurrentRow())
        ParseWebPage(m_pages.List(m_pages.ListIndex()));
}

void PageHarvester::CopyThisItem()
{
    if (hasCurrentRow())
        m_urlIO.CopyText(m_pages.List(m_pages.ListIndex()));
}

void PageHarvester::SaveUrls()
{
    if (m_pages.ListCount() >= 1)
        m_urlIO.SaveListDialog(m_pages);
}

void PageHarvester::SaveCheckedUrls()
{
    if (UpdateWebPageMenu().SaveCheckedUrls)
        m_urlIO.SaveListByCheckDialog(m_pages, true);
}

void PageHarvester::SaveUncheckedUrls()
{
    if (UpdateWebPageMenu().SaveUncheckedUrls)
        m_urlIO.SaveListByCheckDialog(m_pages, false);
}

void PageHarvester::ClearCheckedUrls()
{
    if (UpdateWebPageMenu().ClearCheckedUrls)
        removeByCheck(true);
}

void PageHarvester::ClearUncheckedUrls()
{
    if (UpdateWebPageMenu().ClearUncheckedUrls)
        removeByCheck(false);
}

void PageHarvester::ClearUrls()
{
    if (m_pages.ListCount() < 1)
        return;
    if (m_dialogs.MsgBox(QStringLiteral("Clear the page links ?"), QStringLiteral("Confirm!"),
                         Dialogs::Icon::Question, Dialogs::Buttons::YesNo) != Dialogs::Answer::Yes)
        return;
    m_pages.Clear();
}

void PageHarvester::removeByCheck(bool checked)
{
    // ParsedCount counts parse completions, so it can exceed the checked rows (a page
    // parsed twice); it drops by one per checked row removed.
    int removedChecked = 0;
    m_pages.BlockUpdate();
    for (int i = 0; i < m_pages.ListCount();) {
        if (m_pages.Selected(i) == checked) {
            m_pages.RemoveItem(i);
            if (checked)
                ++removedChecked;
        } else {
            ++i;
        }
    }
    m_pages.Update();
    if (removedChecked)
        setParsedCount(m_parsedCount - removedChecked);
}

void PageHarvester::setParsedCount(int count)
{
    m_parsedCount = count;
    emit ParsedCountChanged(count);
}
