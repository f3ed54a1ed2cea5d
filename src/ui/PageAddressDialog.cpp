// SPDX-License-Identifier: GPL-3.0-or-later
#include "ui/PageAddressDialog.h"

#include "harvest/NumberedRange.h"

#include <QCheckBox>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QVBoxLayout>

PageAddressDialog::PageAddressDialog(QWidget* parent) : QDialog(parent)
{
    setWindowTitle(QStringLiteral("Enter Website / Page  Address"));

    m_address = new QLineEdit(this);
    m_address->setMinimumWidth(420);
    auto* addressLabel = new QLabel(QStringLiteral("&Url Address:"), this);
    addressLabel->setBuddy(m_address);

    m_rangeMode =
        new QCheckBox(QStringLiteral("Add a numbered &range instead of harvesting the page"), this);

    m_start = new QLineEdit(QStringLiteral("1"), this);
    m_end = new QLineEdit(QStringLiteral("16"), this);
    m_extension = new QLineEdit(QStringLiteral(".jpg"), this);
    m_address->setObjectName(QStringLiteral("address"));
    m_start->setObjectName(QStringLiteral("start"));
    m_end->setObjectName(QStringLiteral("end"));
    m_extension->setObjectName(QStringLiteral("extension"));
    auto* fields = new QFormLayout;
    fields->addRow(QStringLiteral("Range &Start:"), m_start);
    fields->addRow(QStringLiteral("Range &End:"), m_end);
    fields->addRow(QStringLiteral("File Extention:"), m_extension);

    m_pattern = new QGroupBox(QStringLiteral("Range Pattern"), this);
    m_padded = new QRadioButton(QStringLiteral("[01,11]"), m_pattern);
    m_unpadded = new QRadioButton(QStringLiteral("[ 1,11]"), m_pattern);
    m_unpadded->setChecked(true);
    auto* patternLayout = new QVBoxLayout(m_pattern);
    patternLayout->addWidget(m_padded);
    patternLayout->addWidget(m_unpadded);

    auto* range = new QHBoxLayout;
    range->addLayout(fields, 1);
    range->addWidget(m_pattern);

    m_error = new QLabel(this);
    m_error->setObjectName(QStringLiteral("error"));
    m_error->setWordWrap(true);
    m_error->setStyleSheet(QStringLiteral("color: #b00000"));
    m_error->hide();

    auto* buttons = new QDialogButtonBox(this);
    buttons->addButton(QStringLiteral("&OK"), QDialogButtonBox::AcceptRole)->setDefault(true);
    buttons->addButton(QStringLiteral("&Cancel"), QDialogButtonBox::RejectRole);
    connect(buttons, &QDialogButtonBox::accepted, this, &PageAddressDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &PageAddressDialog::reject);

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(addressLabel);
    layout->addWidget(m_address);
    layout->addWidget(m_rangeMode);
    layout->addLayout(range);
    layout->addWidget(m_error);
    layout->addWidget(buttons);
    layout->setSizeConstraint(QLayout::SetFixedSize);

    connect(m_rangeMode, &QCheckBox::toggled, this, &PageAddressDialog::updateRangeFields);
    updateRangeFields();
}

bool PageAddressDialog::Ask(QString& address)
{
    m_address->setText(address);
    m_rangeUrls.clear();
    m_error->hide();
    const bool ok = exec() == QDialog::Accepted;
    // Cancel keeps the text as typed for the caller, who then does nothing.
    address = m_address->text();
    return ok;
}

bool PageAddressDialog::RangeMode() const
{
    return m_rangeMode->isChecked();
}

QString PageAddressDialog::Address() const
{
    return m_address->text();
}

void PageAddressDialog::accept()
{
    m_rangeUrls.clear();
    if (RangeMode()) {
        const NumberedRange::Expansion range =
            NumberedRange::FromFields(m_address->text().trimmed(), m_start->text(), m_end->text(),
                                      m_extension->text(), m_padded->isChecked(), m_freeRows);
        if (!range.Error.isEmpty()) {
            m_error->setText(range.Error);
            m_error->show();
            return;
        }
        m_rangeUrls = range.Urls;
    }
    m_error->hide();
    QDialog::accept();
}

void PageAddressDialog::showEvent(QShowEvent* event)
{
    QDialog::showEvent(event);
    m_address->setFocus();
    m_address->selectAll();
}

void PageAddressDialog::updateRangeFields()
{
    const bool on = RangeMode();
    m_pattern->setEnabled(on);
    for (QLineEdit* field : {m_start, m_end, m_extension})
        field->setEnabled(on);
    m_error->hide();
}
