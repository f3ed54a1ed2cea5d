// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QDialog>
#include <QUrl>

#include <functional>

class QLabel;

// The about box: the program's icon, name and version, what it is, its licence, and two
// links (the home page and where to report a problem) that open in the desktop's browser.
class AboutDialog : public QDialog
{
    Q_OBJECT
public:
    // Hands a link to whatever opens it; false when nothing could.
    using UrlOpener = std::function<bool(const QUrl&)>;

    explicit AboutDialog(QWidget* parent = nullptr);

    // The default opener is QDesktopServices::openUrl.
    void SetUrlOpener(UrlOpener opener) { m_opener = std::move(opener); }

    static QUrl HomePage();
    static QUrl ProblemReports();

private:
    QLabel* LinkLabel(const QString& caption, const QUrl& url, const QString& name);
    void OpenLink(const QString& link);

    UrlOpener m_opener;
    QLabel* m_failure;
};
