// SPDX-License-Identifier: GPL-3.0-or-later
#include "ui/OptionCheckBox.h"

OptionCheckBox::OptionCheckBox(Options& options, Options::Option option, const QString& caption,
                               QWidget* parent)
    : QCheckBox(caption, parent), m_options(options), m_option(option)
{
    // clicked() comes from the user only (mouse, Space, mnemonic); setChecked() below
    // raises no click, so showing the model never edits it.
    connect(this, &QCheckBox::clicked, this,
            [this](bool checked) { m_options.setCheck(m_option, checked); });
    connect(&m_options, &Options::optionChanged, this, [this](Options::Option changed) {
        if (changed == m_option)
            Refresh();
    });
    Refresh();
}

void OptionCheckBox::Refresh()
{
    setChecked(m_options.Check(m_option));
}
