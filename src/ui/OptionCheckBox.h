// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "settings/Options.h"

#include <QCheckBox>

// A check box of one option (`ChkAlive`, `ChkResume` and the others): a click is the
// option's edit (Options::setCheck, which marks it), and the box shows the model's value
// whenever the option is set, a load included, without marking anything.
class OptionCheckBox : public QCheckBox
{
    Q_OBJECT
public:
    OptionCheckBox(Options& options, Options::Option option, const QString& caption,
                   QWidget* parent = nullptr);

    Options::Option option() const { return m_option; }
    // Shows the model's value.
    void Refresh();

private:
    Options& m_options;
    Options::Option m_option;
};
