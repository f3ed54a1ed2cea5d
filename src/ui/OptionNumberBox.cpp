// SPDX-License-Identifier: GPL-3.0-or-later
#include "ui/OptionNumberBox.h"

#include <QFocusEvent>
#include <QFontMetrics>
#include <QRegularExpressionValidator>

namespace {

using Option = Options::Option;

// Enough digits for every value the option's rule can take: the try count 2..10, the
// wait up to 255 (numbers above refused by its rule), the timeout a 16-bit number, the
// minimum size a 32-bit one.
int maxDigits(Option option)
{
    switch (option) {
    case Option::TryCount:
        return 2;
    case Option::BusyWait:
        return 3;
    case Option::ConnTimeout:
        return 5;
    default:
        return 10;
    }
}

} // namespace

OptionNumberBox::OptionNumberBox(Options& options, Option option, QWidget* parent)
    : QLineEdit(parent), m_options(options), m_option(option)
{
    setValidator(new QRegularExpressionValidator(
        QRegularExpression(QStringLiteral("[0-9]{0,%1}").arg(maxDigits(option))), this));
    setMaxLength(maxDigits(option));
    setAlignment(Qt::AlignRight);
    const int digits = qMax(4, maxDigits(option)) + 1;
    setFixedWidth(fontMetrics().horizontalAdvance(QString(digits, QLatin1Char('0'))) +
                  2 * fontMetrics().averageCharWidth() + 8);

    // textEdited() comes from the user only: the rewrite below raises none.
    connect(this, &QLineEdit::textEdited, this, &OptionNumberBox::edited);
    connect(this, &QLineEdit::returnPressed, this, &OptionNumberBox::left);
    connect(&m_options, &Options::optionChanged, this, [this](Option changed) {
        if (changed == m_option)
            Refresh();
    });
    Refresh();
}

QString OptionNumberBox::ModelText() const
{
    switch (m_option) {
    case Option::TryCount:
        return m_options.MaxTryText();
    case Option::BusyWait:
        return m_options.BusyWaitText();
    case Option::ConnTimeout:
        return m_options.ConnectTimeoutText();
    case Option::MinImgSize:
        return m_options.MinImgSizeText();
    default:
        return QString();
    }
}

void OptionNumberBox::Refresh()
{
    display(ModelText());
}

void OptionNumberBox::display(const QString& text)
{
    // Setting the same text again would move the cursor while the user types.
    if (text != this->text())
        setText(text);
}

void OptionNumberBox::edited(const QString& text)
{
    if (m_option == Option::BusyWait)
        display(m_options.EditBusyWait(text));
    else if (m_option == Option::MinImgSize)
        m_options.EditMinImgSize(text);
}

void OptionNumberBox::left()
{
    switch (m_option) {
    case Option::TryCount:
        display(m_options.EditMaxTry(text()));
        break;
    case Option::ConnTimeout:
        display(m_options.EditConnectTimeout(text()));
        break;
    case Option::MinImgSize:
        display(m_options.ValidateMinImgSize());
        break;
    default:
        break;
    }
}

void OptionNumberBox::focusOutEvent(QFocusEvent* event)
{
    QLineEdit::focusOutEvent(event);
    // A context menu or another window taking the focus is not leaving the box.
    if (event->reason() != Qt::PopupFocusReason && event->reason() != Qt::ActiveWindowFocusReason)
        left();
}
