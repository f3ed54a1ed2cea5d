// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "settings/Options.h"

#include <QLineEdit>

// A number box of one option: `txt_MAXCON` (TryCount), `txt_MAXWAIT` (BusyWait),
// `txt_Timeout` (ConnTimeout) or `txtMinSize` (MinImgSize). It takes digits only and hands
// each edit to the option's rule, then shows the text the rule gives back:
// - the wait box on every edit (typing "5" shows "10" at once);
// - the try count and the timeout on leaving the box (or Return);
// - the minimum size on every edit as typed, rewritten as its integer value on leaving.
// Leaving marks the option even when the text did not change. A load shows the model's
// text without marking anything.
class OptionNumberBox : public QLineEdit
{
    Q_OBJECT
public:
    // `option` is one of the four number options above.
    OptionNumberBox(Options& options, Options::Option option, QWidget* parent = nullptr);

    Options::Option option() const { return m_option; }
    // Shows the model's text.
    void Refresh();
    // The text the model holds for this box.
    QString ModelText() const;

protected:
    void focusOutEvent(QFocusEvent* event) override;

private:
    void edited(const QString& text);
    void left();
    void display(const QString& text);

    Options& m_options;
    Options::Option m_option;
};
