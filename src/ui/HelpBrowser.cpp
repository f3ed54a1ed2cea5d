// SPDX-License-Identifier: GPL-3.0-or-later
#include "ui/HelpBrowser.h"

#include <QScrollBar>

// The page lives in the resources of a static library: register them before the first
// use, at global scope, where the registration function is declared.
static void registerHelp()
{
    Q_INIT_RESOURCE(help);
}

HelpBrowser::HelpBrowser(QWidget* parent) : QTextBrowser(parent)
{
    registerHelp();
    setObjectName(QStringLiteral("WB1Help"));
    // Every click comes to followLink; the browser itself opens nothing.
    setOpenLinks(false);
    setOpenExternalLinks(false);
    connect(this, &QTextBrowser::anchorClicked, this, &HelpBrowser::followLink);
    setSource(HelpPage());
}

QUrl HelpBrowser::HelpPage()
{
    return QUrl(QStringLiteral("qrc:/help/harvex-help.html"));
}

bool HelpBrowser::IsHelpPage(const QUrl& url)
{
    return url.adjusted(QUrl::RemoveFragment) == HelpPage();
}

// The browser hands over links resolved against the page: "#files" arrives as the page's
// own address with that fragment.
void HelpBrowser::followLink(const QUrl& url)
{
    if (!IsHelpPage(url)) {
        emit linkRefused(url);
        return;
    }
    if (url.hasFragment())
        setSource(url); // the same document: only scrolls
    else
        verticalScrollBar()->setValue(0);
}
