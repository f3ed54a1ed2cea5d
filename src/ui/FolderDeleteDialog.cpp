// SPDX-License-Identifier: GPL-3.0-or-later
#include "ui/FolderDeleteDialog.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QTimer>
#include <QVBoxLayout>

FolderDeleteDialog::FolderDeleteDialog(const QString& path, const QString& baseFolder,
                                       const QString& homeFolder, QWidget* parent)
    : QDialog(parent), m_path(path), m_baseFolder(baseFolder), m_homeFolder(homeFolder)
{
    setWindowTitle(QStringLiteral("Delete Folder"));
    m_status = new QLabel(QStringLiteral("Wait checking"), this);
    m_status->setFixedWidth(420);
    m_status->setTextFormat(Qt::PlainText);
    // A bar without a range keeps moving: how many items there are is not known ahead.
    m_bar = new QProgressBar(this);
    m_bar->setRange(0, 0);
    m_bar->setTextVisible(false);
    m_cancel = new QPushButton(QStringLiteral("&Cancel"), this);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch(1);
    buttons->addWidget(m_cancel);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(m_status);
    layout->addWidget(m_bar);
    layout->addLayout(buttons);
    layout->setSizeConstraint(QLayout::SetFixedSize);

    connect(m_cancel, &QPushButton::clicked, this, &FolderDeleteDialog::reject);
    connect(&m_delete, &FolderTreeDelete::Progress, this, [this](const QString& text) {
        m_status->setText(
            m_status->fontMetrics().elidedText(text, Qt::ElideMiddle, m_status->width()));
        m_status->setToolTip(text);
    });
    connect(&m_delete, &FolderTreeDelete::Finished, this,
            [this](bool cancelled, int, const QString& message) { Finished(cancelled, message); });
}

void FolderDeleteDialog::showEvent(QShowEvent* event)
{
    QDialog::showEvent(event);
    if (!m_started) {
        m_started = true;
        QTimer::singleShot(0, this, &FolderDeleteDialog::Begin);
    }
}

void FolderDeleteDialog::Begin()
{
    if (m_cancelled)
        return;
    QString error;
    if (!m_delete.Start(m_path, m_baseFolder, m_homeFolder, error))
        Finished(false, error);
}

void FolderDeleteDialog::reject()
{
    // Cancel (or Escape, or the close button) stops before the next deletion; the
    // delete reports Finished at once and that closes the dialog.
    if (m_delete.IsRunning()) {
        m_delete.Cancel();
        return;
    }
    m_cancelled = true; // not started yet: nothing is deleted
    QDialog::reject();
}

void FolderDeleteDialog::Finished(bool cancelled, const QString& message)
{
    m_cancelled = cancelled;
    m_message = message;
    done(cancelled ? QDialog::Rejected : QDialog::Accepted);
}
