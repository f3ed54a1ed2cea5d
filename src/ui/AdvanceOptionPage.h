// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QWidget>

#include <array>

class ComboList;
class DownloadManager;
class FileTypePanel;
class OptionCheckBox;
class QComboBox;

// "Advance Options" (`Frame3`): the logging boxes, the request-header choices (`CboAccept`,
// `CboAccptLang`, `CboAccptEncoding`), the two speed options and the two file-type lists
// with their add and remove buttons. A thin view: the check boxes edit the manager's
// Options, the combo boxes select in the param.dat lists, the file-type lists apply their
// own rules.
class AdvanceOptionPage : public QWidget
{
    Q_OBJECT
public:
    explicit AdvanceOptionPage(DownloadManager& manager, QWidget* parent = nullptr);

    // Shows every option, header choice and file-type row again.
    void Refresh();

    // 0 Accept, 1 Accept-Language, 2 Accept-Encoding.
    QComboBox* HeaderCombo(int index) const { return m_combos[index]; }
    FileTypePanel* DataTypesPanel() const { return m_dataTypes; }
    FileTypePanel* PageTypesPanel() const { return m_pageTypes; }

private:
    QComboBox* headerCombo(ComboList& list, const QString& name);

    QList<OptionCheckBox*> m_checks;
    std::array<QComboBox*, 3> m_combos{};
    std::array<ComboList*, 3> m_lists{};
    FileTypePanel* m_dataTypes;
    FileTypePanel* m_pageTypes;
};
