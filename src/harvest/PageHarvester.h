// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "harvest/HtmlParser.h"

#include <QObject>
#include <QString>

#include <functional>

class Dialogs;
class FileTypeList;
class JobList;
class Options;
class Rowvane;
class UrlListIO;

// The manager's side of page link harvesting: asks for a page address, fetches the
// page with its HtmlParser, files the links of the checked data types into the job
// list (List2) and, with "Log page links", the links of the checked page types into
// the web page list (List4), whose rows are checked once parsed. Also the web page
// list's commands and their enabled states.
class PageHarvester : public QObject
{
    Q_OBJECT
public:
    // jobs: the job list (List2 and RefreshJobQueue); pages: the web page list (List4);
    // dataTypes/pageTypes: ListDataExt and ListPageExt; options: ListUrl() is
    // "Log page links".
    PageHarvester(JobList& jobs, Rowvane& pages, const FileTypeList& dataTypes,
                  const FileTypeList& pageTypes, UrlListIO& urlIO, const Options& options,
                  Dialogs& dialogs, QObject* parent = nullptr);

    // The one entry point for harvesting. An empty address asks for one with the
    // page address dialog; a numbered range asked for there is added to the job list
    // instead. Returns true when the page is being fetched; PageFiled follows then.
    bool ParseWebPage(const QString& url = QString());

    // Parse completions of pages found in the web page list; drives the menu only.
    int ParsedCount() const { return m_parsedCount; }

    // Fetching and parsing a page (the activity indicator runs).
    bool Busy() const { return m_parser.IsActive(); }
    // "Fetching and parsing webpage..." while busy, else "Ideal...".
    QString ToolTip() const;

    // Where the User-Agent comes from (the selected entry of the user-agent list).
    void SetUserAgentSource(std::function<QString()> source) { m_userAgent = std::move(source); }

    HtmlParser& Parser() { return m_parser; }

    // The web page list's context menu: which items are enabled.
    struct WebPageMenu
    {
        bool ParseWeb = false;        // "Parse this page"
        bool CopyUrl = false;         // "Copy this Item"
        bool SaveUrls = false;        // "Save..."
        bool SaveCheckedUrls = false; // "Save Checked..."
        bool SaveUncheckedUrls = false;
        bool ClearCheckedUrls = false; // "Clear Checked"
        bool ClearUncheckedUrls = false;
        bool ClearUrls = false; // "Clear Page Links"
    };
    WebPageMenu UpdateWebPageMenu() const;

    // The menu's commands. Each does nothing while its item would be disabled.
    void ParseThisPage();
    void CopyThisItem();
    void SaveUrls();
    void SaveCheckedUrls();
    void SaveUncheckedUrls();
    void ClearCheckedUrls();
    void ClearUncheckedUrls();
    void ClearUrls();

signals:
    // Busy() changed; the view starts or stops its activity indicator.
    void BusyChanged(bool busy);
    // A page was harvested (or failed: `error` says why, after it was shown).
    // jobsAdded and pagesAdded count the rows appended to each list.
    void PageFiled(const QString& url, int jobsAdded, int pagesAdded, const QString& error);
    // ParsedCount changed.
    void ParsedCountChanged(int count);

private:
    void onDocumentComplete();
    int fileLinks(Rowvane& target, const FileTypeList& types);
    void removeByCheck(bool checked);
    bool hasCurrentRow() const;
    void setParsedCount(int count);

    JobList& m_jobs;
    Rowvane& m_pages;
    const FileTypeList& m_dataTypes;
    const FileTypeList& m_pageTypes;
    UrlListIO& m_urlIO;
    const Options& m_options;
    Dialogs& m_dialogs;
    HtmlParser m_parser;
    std::function<QString()> m_userAgent;
    int m_parsedCount = 0;
    QString m_addressText; // the address dialog's text, kept between uses
};
