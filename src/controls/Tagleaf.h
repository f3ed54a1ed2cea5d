// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "controls/TagleafFormat.h"

#include <QFont>
#include <QPixmap>
#include <QPointer>
#include <QWidget>

class QLineEdit;

// A label that draws its caption in runs, each with its own colours and type style, as
// its format string describes; the runs wrap at the control's width. A double-click can
// show a read-only box over the caption from EditStart on, for copying.
class Tagleaf : public QWidget
{
    Q_OBJECT

public:
    // One drawn stretch of a run on one line.
    struct Piece
    {
        QRect rect;
        int from; // first caption character
        int length;
        int run; // index into Runs(), or -1 for the default look
    };

    explicit Tagleaf(QWidget* parent = nullptr);

    QString Caption() const { return m_caption; }
    void setCaption(const QString& value);
    QString Text() const { return m_caption; }
    void setText(const QString& value) { setCaption(value); }
    // Replaces the caption without a redraw.
    void ChangeCaption(const QString& Text) { m_caption = Text; }
    QString FormatString() const { return m_formatString; }
    void setFormatString(const QString& value);
    bool Formatting() const { return m_formatting; }
    void setFormatting(bool value);
    bool RoundedFill() const { return m_roundedFill; }
    void setRoundedFill(bool value);
    // 1-based caption position where the double-click box begins; <= 0 disables it.
    int EditStart() const { return m_editStart; }
    void setEditStart(int value) { m_editStart = value; }
    // 0 left, 1 right, 2 centre: the plain caption only.
    int Alignment() const { return m_alignment; }
    void setAlignment(int value);
    quint32 BackColor() const { return m_backColor; }
    void setBackColor(quint32 value);
    quint32 ForeColor() const { return m_foreColor; }
    void setForeColor(quint32 value);
    QFont Font() const { return font(); }
    void setFont(const QFont& value);
    // 0 transparent, 1 opaque.
    int BackStyle() const { return m_backStyle; }
    void setBackStyle(int value);
    int BorderStyle() const { return m_borderStyle; }
    void setBorderStyle(int value);
    QPixmap Picture() const { return m_picture; }
    void setPicture(const QPixmap& value);

    const QVector<TagleafRun>& Runs() const { return m_runs; }
    // Where each stretch of the caption goes, lines wrapped at the control's width.
    QVector<Piece> layoutPieces() const;
    // The copy box while it is shown, else null.
    QLineEdit* editBox() const;

signals:
    void Click();
    void DblClick();
    void KeyDown(int KeyCode, Qt::KeyboardModifiers Shift);
    void KeyPress(int KeyAscii);
    void KeyUp(int KeyCode, Qt::KeyboardModifiers Shift);
    void MouseDown(Qt::MouseButton Button, Qt::KeyboardModifiers Shift, QPoint pos);
    void MouseMove(Qt::MouseButtons Button, Qt::KeyboardModifiers Shift, QPoint pos);
    void MouseUp(Qt::MouseButton Button, Qt::KeyboardModifiers Shift, QPoint pos);

protected:
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void keyReleaseEvent(QKeyEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void parse();
    QFont runFont(int run) const;
    void showEditBox();
    void hideEditBox();

    QString m_caption;
    QString m_formatString;
    QVector<TagleafRun> m_runs;
    bool m_formatting = true;
    bool m_roundedFill = true;
    int m_editStart = -1;
    int m_alignment = 0;
    quint32 m_backColor = 0x8000000F;
    quint32 m_foreColor = 0x80000012;
    int m_backStyle = 1;
    int m_borderStyle = 0;
    QPixmap m_picture;
    QPointer<QLineEdit> m_editBox;
};
