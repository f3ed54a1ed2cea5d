// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QTextBrowser>

// The help page, from the program's resources. Only the page itself and its anchors are
// followed; any other address (web, file, mail) is refused and nothing else opens.
class HelpBrowser : public QTextBrowser
{
    Q_OBJECT
public:
    explicit HelpBrowser(QWidget* parent = nullptr);

    // "qrc:/help/harvex-help.html"
    static QUrl HelpPage();
    // True for the help page and its anchors.
    static bool IsHelpPage(const QUrl& url);

signals:
    void linkRefused(const QUrl& url);

private:
    void followLink(const QUrl& url);
};
