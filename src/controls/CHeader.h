// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QPixmap>
#include <QWidget>

// The caption bar above a pane: a centred caption with an optional shadow, a fill or a
// stretched picture, one of three drawn borders, and a small plus/minus icon. It is a
// passive caption: mouse and key events are forwarded; nothing expands or shrinks.
class CHeader : public QWidget
{
    Q_OBJECT

public:
    explicit CHeader(QWidget* parent = nullptr);

    // Line breaks are kept as characters 1 (CR) and 2 (LF) and read back that way.
    QString Caption() const { return m_caption; }
    void setCaption(const QString& value);
    int Appearance() const { return m_appearance; }
    void setAppearance(int value) { m_appearance = value; }
    quint32 BackColor() const { return m_backColor; }
    void setBackColor(quint32 value);
    quint32 ForeColor() const { return m_foreColor; }
    void setForeColor(quint32 value);
    quint32 DisabledForeColor() const { return m_disabledForeColor; }
    void setDisabledForeColor(quint32 value);
    QFont Font() const { return font(); }
    void setFont(const QFont& value);
    // The control's own border: 0 none, 1 a single line around it.
    int BorderStyle() const { return m_borderStyle; }
    void setBorderStyle(int value);
    // The drawn border: 0 none, 1 single, 2 double (both in BorderColorHigh), 3 lines along
    // the bottom and right in BorderColorLow.
    int HeaderBorder() const { return m_headerBorder; }
    void setHeaderBorder(int value);
    quint32 BorderColorHigh() const { return m_borderColorHigh; }
    void setBorderColorHigh(quint32 value);
    quint32 BorderColorLow() const { return m_borderColorLow; }
    void setBorderColorLow(quint32 value);
    bool UserShadow() const { return m_userShadow; }
    void setUserShadow(bool value);
    quint32 ShadowColor() const { return m_shadowColor; }
    void setShadowColor(quint32 value);
    // Pixels; negative moves the shadow up and left.
    int ShadowShift() const { return m_shadowShift; }
    void setShadowShift(int value);
    int Style() const { return m_style; }
    void setStyle(int value);
    QPixmap HeaderPicture() const { return m_headerPicture; }
    void setHeaderPicture(const QPixmap& value);
    int MousePointer() const { return m_mousePointer; }
    void setMousePointer(int value);

    // The icon's tag: "+" (default) or "-"; it shows the plus or minus picture.
    QString IconTag() const { return m_iconTag; }
    void setIconTag(const QString& value);
    void SetPlusIcon(const QPixmap& picture);
    void SetMinusIcon(const QPixmap& picture);
    void SetDisabledPlusIcon(const QPixmap& picture);
    void SetDisabledMinusIcon(const QPixmap& picture);
    // Where the icon is drawn: at the right end, centred vertically.
    QRect iconRect() const;

    static int GetRed(quint32 Color) { return int(Color & 0xFF); }
    static int GetGreen(quint32 Color) { return int((Color >> 8) & 0xFF); }
    static int GetBlue(quint32 Color) { return int((Color >> 16) & 0xFF); }

    QSize sizeHint() const override;

signals:
    void Expanded();
    void Shrinked();
    void KeyDown(int KeyCode, Qt::KeyboardModifiers Shift);
    void KeyPress(int KeyAscii);
    void KeyUp(int KeyCode, Qt::KeyboardModifiers Shift);
    void MouseDown(Qt::MouseButton Button, Qt::KeyboardModifiers Shift, QPoint pos);
    void MouseMove(Qt::MouseButtons Button, Qt::KeyboardModifiers Shift, QPoint pos);
    void MouseUp(Qt::MouseButton Button, Qt::KeyboardModifiers Shift, QPoint pos);

protected:
    void paintEvent(QPaintEvent* event) override;
    void changeEvent(QEvent* event) override;
    bool event(QEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void keyReleaseEvent(QKeyEvent* event) override;

private:
    QRect innerRect() const;
    const QPixmap& currentIcon() const;

    QString m_caption;
    int m_appearance = 1;
    quint32 m_backColor = 0x8000000F;
    quint32 m_foreColor = 0x80000012;
    quint32 m_disabledForeColor = 0x80000011;
    int m_borderStyle = 0;
    int m_headerBorder = 1;
    quint32 m_borderColorHigh = 0x80000015;
    quint32 m_borderColorLow = 0x80000014;
    bool m_userShadow = false;
    quint32 m_shadowColor = 0x80000010;
    int m_shadowShift = -1;
    int m_style = 0;
    QPixmap m_headerPicture;
    int m_mousePointer = 0;
    QString m_iconTag = QStringLiteral("+");
    // Enabled plus, enabled minus, disabled plus, disabled minus.
    QPixmap m_icons[4];
};
