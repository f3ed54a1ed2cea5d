// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "platform/FolderTreeDelete.h"

#include <QDialog>

class QLabel;
class QProgressBar;
class QPushButton;

// Deletes a folder tree while showing each item as it goes ("Deleting File:..."), a bar
// that keeps moving and Cancel. The work starts once the dialog is shown, so it paints
// first; the dialog closes itself when the delete has finished or has been cancelled.
class FolderDeleteDialog : public QDialog
{
    Q_OBJECT
public:
    FolderDeleteDialog(const QString& path, const QString& baseFolder, const QString& homeFolder,
                       QWidget* parent = nullptr);

    // What the run ended with: a refusal, the items that could not be deleted, or "".
    QString Message() const { return m_message; }
    bool Cancelled() const { return m_cancelled; }
    FolderTreeDelete& Deleter() { return m_delete; }

protected:
    void showEvent(QShowEvent* event) override;
    void reject() override;

private:
    void Begin();
    void Finished(bool cancelled, const QString& message);

    FolderTreeDelete m_delete;
    QString m_path;
    QString m_baseFolder;
    QString m_homeFolder;
    QLabel* m_status;
    QProgressBar* m_bar;
    QPushButton* m_cancel;
    bool m_started = false;
    bool m_cancelled = false;
    QString m_message;
};
