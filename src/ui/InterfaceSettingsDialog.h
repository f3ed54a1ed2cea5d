// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "settings/Options.h"

#include <QColor>
#include <QDialog>

#include <array>
#include <functional>
#include <optional>

class Dialogs;
class QLabel;
class QLineEdit;
class QPushButton;
class SettingsStore;
class StyleSlider;
class Tagleaf;

// "More Settings..": the base folder, the progress-strip and toolbar styles and the seven
// colours. Save writes only the keys whose controls were changed and applies the styles
// and colours to the running window through Options; Cancel writes nothing. A new base
// folder takes effect at the next start.
class InterfaceSettingsDialog : public QDialog
{
    Q_OBJECT
public:
    // Chooses a colour starting on `initial`; nothing when cancelled.
    using ColorPicker = std::function<std::optional<QColor>(const QColor& initial, QWidget*)>;
    // Chooses a folder starting at `start`; empty when cancelled. The folder chooser by
    // default.
    using FolderPicker = std::function<QString(const QString& start, QWidget*)>;

    InterfaceSettingsDialog(Options& options, SettingsStore& store, Dialogs& dialogs,
                            QWidget* parent = nullptr);

    void setColorPicker(ColorPicker picker) { m_pickColor = std::move(picker); }
    void setFolderPicker(FolderPicker picker) { m_pickFolder = std::move(picker); }

    // True once Save has written the changes.
    bool Saved() const { return m_saved; }
    // "l=" and the length of the trimmed caption of colour label `index`.
    QString getSLen(int index) const;

    StyleSlider* Slider(int index) const { return m_sliders[index]; }
    Tagleaf* ColorLabel(int index) const { return m_colorLabels[index]; }

private:
    void Save();
    void ClearMarks();
    void Changed();
    void ChooseBaseDir();
    void PickColor(int index);
    void ShowSwatch(int index);
    void DrawStyleSlider(int index);

    Options& m_options;
    SettingsStore& m_store;
    Dialogs& m_dialogs;
    ColorPicker m_pickColor;
    FolderPicker m_pickFolder;

    QLineEdit* m_baseDir;
    std::array<StyleSlider*, 2> m_sliders{};
    std::array<QLabel*, 2> m_previews{};
    std::array<Tagleaf*, Options::ColorCount> m_colorLabels{};
    QPushButton* m_save;

    // The change marks: the base folder, each slider, the colours.
    bool m_baseDirChanged = false;
    std::array<bool, 2> m_sliderChanged{};
    bool m_colorsChanged = false;
    Options::Colors m_colors{};
    bool m_saved = false;
};
