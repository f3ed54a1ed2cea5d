// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QWidget>

#include <array>

class DownloadManager;
class OptionCheckBox;
class OptionNumberBox;
class QButtonGroup;
class QLabel;
class QRadioButton;
class StyleSlider;

// "Download Option" (`Frame1`): the download path options, the "Max Parallel Downloads"
// slider with its caption, the connection check boxes and the number boxes. A thin view
// over the manager's Options: every edit goes through the option's own rule, which marks
// it for the Save command, and every control shows the model's value after a load.
class DownloadOptionPage : public QWidget
{
    Q_OBJECT
public:
    explicit DownloadOptionPage(DownloadManager& manager, QWidget* parent = nullptr);

    // Shows every option's value again, and the slider's caption.
    void Refresh();

    StyleSlider* Slider() const { return m_slider; }
    QLabel* SliderCaption() const { return m_sliderCaption; }

protected:
    void showEvent(QShowEvent* event) override;

private:
    void showPathOption();
    // `DrawSlider`: the value, and the caption in red while above the slots made at start-up.
    void showSlider();

    DownloadManager& m_manager;
    std::array<QRadioButton*, 3> m_paths{};
    QButtonGroup* m_pathGroup;
    StyleSlider* m_slider;
    QLabel* m_sliderCaption;
    QList<OptionCheckBox*> m_checks;
    QList<OptionNumberBox*> m_numbers;
};
