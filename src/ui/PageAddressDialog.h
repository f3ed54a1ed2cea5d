// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QDialog>
#include <QStringList>

class QButtonGroup;
class QCheckBox;
class QGroupBox;
class QLabel;
class QLineEdit;
class QRadioButton;

// The dialog that asks for the address of a web page to harvest. Kept for the whole run:
// each opening shows the last address, fully selected, so typing replaces it.
//
// Its check box turns it into "add a numbered range": OK then builds address + number +
// extension for every number from Start to End and hands the URLs back through
// RangeUrls(); a range that cannot be built keeps the dialog open with the reason.
class PageAddressDialog : public QDialog
{
    Q_OBJECT
public:
    explicit PageAddressDialog(QWidget* parent = nullptr);

    // Shows the dialog modally with `address`; true on OK with the edited address in it.
    bool Ask(QString& address);
    // The rows the download list can still take (the most a range may add).
    void setFreeRows(int rows) { m_freeRows = rows; }
    // After OK: the URLs of the numbered range, empty when a page address was asked for.
    QStringList RangeUrls() const { return m_rangeUrls; }

    bool RangeMode() const;
    QString Address() const;

    void accept() override;

protected:
    void showEvent(QShowEvent* event) override;

private:
    void updateRangeFields();

    QLineEdit* m_address;
    QCheckBox* m_rangeMode;
    QGroupBox* m_pattern;
    QRadioButton* m_padded;
    QRadioButton* m_unpadded;
    QLineEdit* m_start;
    QLineEdit* m_end;
    QLineEdit* m_extension;
    QLabel* m_error;
    int m_freeRows = 0;
    QStringList m_rangeUrls;
};
