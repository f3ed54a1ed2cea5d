// SPDX-License-Identifier: GPL-3.0-or-later
#include "ui/AboutDialog.h"

#include "controls/ArtworkPainter.h"
#include "platform/Version.h"

#include <QDesktopServices>
#include <QDialogButtonBox>
#include <QGridLayout>
#include <QLabel>
#include <QPixmap>

AboutDialog::AboutDialog(QWidget* parent)
    : QDialog(parent), m_opener([](const QUrl& url) { return QDesktopServices::openUrl(url); })
{
    setWindowTitle(QStringLiteral("About Harvex"));

    auto* icon = new QLabel(this);
    icon->setObjectName(QStringLiteral("icon"));
    icon->setPixmap(QPixmap::fromImage(ArtworkPainter::appIcon(64)));
    icon->setAlignment(Qt::AlignTop | Qt::AlignHCenter);

    auto* name = new QLabel(QStringLiteral("Harvex"), this);
    name->setObjectName(QStringLiteral("name"));
    QFont big = name->font();
    big.setPointSizeF(big.pointSizeF() * 1.8);
    big.setBold(true);
    name->setFont(big);

    auto* version =
        new QLabel(QStringLiteral("Version %1").arg(QLatin1String(Version::Text)), this);
    version->setObjectName(QStringLiteral("version"));
    version->setTextInteractionFlags(Qt::TextSelectableByMouse);

    auto* what = new QLabel(
        QStringLiteral("Downloads lists of files over HTTP and HTTPS, many at a time."), this);
    auto* licence = new QLabel(QStringLiteral("Free software under the GNU General Public "
                                              "License, version 3 or later (GPL-3.0-or-later)."),
                               this);
    licence->setObjectName(QStringLiteral("licence"));
    licence->setWordWrap(true);

    m_failure = new QLabel(this);
    m_failure->setObjectName(QStringLiteral("failure"));
    m_failure->setTextInteractionFlags(Qt::TextSelectableByMouse | Qt::TextSelectableByKeyboard);
    m_failure->hide();

    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Close, this);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);

    auto* layout = new QGridLayout(this);
    layout->setHorizontalSpacing(18);
    layout->addWidget(icon, 0, 0, 7, 1);
    layout->addWidget(name, 0, 1);
    layout->addWidget(version, 1, 1);
    layout->addWidget(what, 2, 1);
    layout->addWidget(licence, 3, 1);
    layout->addWidget(LinkLabel(QStringLiteral("Home page"), HomePage(), QStringLiteral("home")), 4,
                      1);
    layout->addWidget(
        LinkLabel(QStringLiteral("Report a problem"), ProblemReports(), QStringLiteral("reports")),
        5, 1);
    layout->addWidget(m_failure, 6, 1);
    layout->addWidget(buttons, 7, 0, 1, 2);
    layout->setSizeConstraint(QLayout::SetFixedSize);
    licence->setFixedWidth(what->sizeHint().width());
}

QUrl AboutDialog::HomePage()
{
    return QUrl(QStringLiteral("https://harvex.org"));
}

QUrl AboutDialog::ProblemReports()
{
    return QUrl(QStringLiteral("https://harvex.org/bugs"));
}

QLabel* AboutDialog::LinkLabel(const QString& caption, const QUrl& url, const QString& name)
{
    // "Home page: https://harvex.org" with the address as the link; the address is what
    // the user sees, so it can also be typed into a browser by hand.
    const QString shown = url.toDisplayString().toHtmlEscaped();
    auto* label = new QLabel(QStringLiteral("%1: <a href=\"%2\">%3</a>")
                                 .arg(caption.toHtmlEscaped(),
                                      QString::fromUtf8(url.toEncoded()).toHtmlEscaped(), shown),
                             this);
    label->setObjectName(name);
    label->setTextFormat(Qt::RichText);
    label->setTextInteractionFlags(Qt::LinksAccessibleByMouse | Qt::LinksAccessibleByKeyboard);
    label->setOpenExternalLinks(false);
    label->setToolTip(url.toDisplayString());
    connect(label, &QLabel::linkActivated, this, &AboutDialog::OpenLink);
    return label;
}

void AboutDialog::OpenLink(const QString& link)
{
    // Without a browser the address is shown selectable, to be copied by hand.
    const QUrl url(link);
    if (m_opener && m_opener(url)) {
        m_failure->hide();
        return;
    }
    m_failure->setText(
        QStringLiteral("No web browser could be started for %1").arg(url.toDisplayString()));
    m_failure->show();
}
