// SPDX-License-Identifier: GPL-3.0-or-later
#include "ui/FileTypePanel.h"

#include "controls/OleColor.h"
#include "controls/RowvaneView.h"
#include "lists/FileTypeList.h"

#include <QEvent>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QScopedValueRollback>
#include <QToolButton>
#include <QVBoxLayout>

FileTypePanel::FileTypePanel(FileTypeList& types, Dialogs& dialogs, const QString& caption,
                             QWidget* parent)
    : QWidget(parent), m_types(types), m_dialogs(dialogs)
{
    m_rows.setStyle(1);      // a check picture in front of every row
    m_rows.setCheckStyle(1); // the program's check pictures
    m_view = new RowvaneView(m_rows, this);
    m_view->setBorderStyle(1);
    m_view->setMinimumWidth(110);

    m_caption = new QLabel(caption, this);
    m_caption->setBuddy(m_view);
    m_add = new QToolButton(this);
    m_add->setText(QStringLiteral("+"));
    m_add->setToolTip(QStringLiteral("Add file type"));
    m_add->setAccessibleName(QStringLiteral("Add file type"));
    m_remove = new QToolButton(this);
    m_remove->setText(QString(QChar(0x2212))); // minus sign
    m_remove->setToolTip(QStringLiteral("Remove file type"));
    m_remove->setAccessibleName(QStringLiteral("Remove file type"));
    for (QToolButton* button : {m_add, m_remove}) {
        button->setFocusPolicy(Qt::StrongFocus);
        button->setFixedSize(24, 22);
    }

    auto* top = new QHBoxLayout;
    top->setContentsMargins(0, 0, 0, 0);
    top->addWidget(m_caption, 1);
    top->addWidget(m_add);
    top->addWidget(m_remove);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(3);
    layout->addLayout(top);
    layout->addWidget(m_view, 1);
    setTabOrder(m_view, m_add);
    setTabOrder(m_add, m_remove);

    connect(m_add, &QToolButton::clicked, this, [this] { m_types.AddFileType(m_dialogs); });
    connect(m_remove, &QToolButton::clicked, this, [this] { m_types.RemoveFileType(m_dialogs); });
    // The row the user makes current (mouse or keys), and the clicks on a check picture,
    // go to the list.
    connect(m_view, &RowvaneView::Click, this, &FileTypePanel::takeCurrentRow);
    connect(m_view, &RowvaneView::Checked, this, [this](int row) {
        takeCurrentRow();
        m_types.setChecked(row, true);
    });
    connect(m_view, &RowvaneView::UnChecked, this, [this](int row) {
        takeCurrentRow();
        m_types.setChecked(row, false);
    });
    connect(&m_types, &FileTypeList::Changed, this, &FileTypePanel::Refresh);
    m_view->installEventFilter(this);

    applyPalette();
    Refresh();
}

void FileTypePanel::Refresh()
{
    const QScopedValueRollback<bool> syncing(m_syncing, true);
    const RowvaneBulkChange bulk(m_rows);
    bool sameRows = m_rows.ListCount() == m_types.ListCount();
    for (int row = 0; sameRows && row < m_types.ListCount(); ++row)
        sameRows = m_rows.List(row) == m_types.Text(row);
    if (!sameRows) {
        m_rows.Clear();
        for (int row = 0; row < m_types.ListCount(); ++row)
            m_rows.AddItem(m_types.Text(row));
    }
    for (int row = 0; row < m_types.ListCount(); ++row)
        if (m_rows.Selected(row) != m_types.Checked(row))
            m_rows.setSelected(row, m_types.Checked(row));
    m_rows.setListIndex(m_types.ListIndex());
}

void FileTypePanel::takeCurrentRow()
{
    if (!m_syncing)
        m_types.setListIndex(m_rows.ListIndex());
}

void FileTypePanel::toggleCurrent()
{
    const int row = m_types.ListIndex();
    if (row >= 0 && row < m_types.ListCount())
        m_types.setChecked(row, !m_types.Checked(row));
}

bool FileTypePanel::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == m_view && event->type() == QEvent::KeyPress) {
        switch (static_cast<QKeyEvent*>(event)->key()) {
        case Qt::Key_Space:
            toggleCurrent();
            return true;
        case Qt::Key_Insert:
            m_types.AddFileType(m_dialogs);
            return true;
        case Qt::Key_Delete:
            m_types.RemoveFileType(m_dialogs);
            return true;
        default:
            break;
        }
    }
    return QWidget::eventFilter(watched, event);
}

void FileTypePanel::changeEvent(QEvent* event)
{
    QWidget::changeEvent(event);
    if (event->type() == QEvent::PaletteChange || event->type() == QEvent::FontChange)
        applyPalette();
}

// The list follows the desktop's colours and font, like the boxes around it.
void FileTypePanel::applyPalette()
{
    const QScopedValueRollback<bool> syncing(m_syncing, true);
    const QPalette& colors = palette();
    m_rows.setBackColor(OleColor::fromQColor(colors.color(QPalette::Base)));
    m_rows.setForeColor(OleColor::fromQColor(colors.color(QPalette::Text)));
    m_rows.setSelBackColor(OleColor::fromQColor(colors.color(QPalette::Highlight)));
    m_rows.setSelForeColor(OleColor::fromQColor(colors.color(QPalette::HighlightedText)));
    RowvaneFont rowFont = m_rows.Font();
    rowFont.Name = font().family();
    rowFont.Size = font().pointSizeF() > 0 ? font().pointSizeF() : rowFont.Size;
    if (!(rowFont == m_rows.Font()))
        m_rows.setFont(rowFont);
}
