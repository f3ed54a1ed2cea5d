// SPDX-License-Identifier: GPL-3.0-or-later
#include "ui/DownloadOptionPage.h"

#include "manager/DownloadManager.h"
#include "ui/OptionCheckBox.h"
#include "ui/OptionNumberBox.h"
#include "ui/StyleSlider.h"

#include <QButtonGroup>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QRadioButton>
#include <QVBoxLayout>

namespace {

using Option = Options::Option;

constexpr int SliderSteps = 20;
const QColor LimitExceeded(0xFF, 0x00, 0x00);

// Frames laid out tightly enough for the content area (about 620 x 330 pixels).
void tighten(QLayout* layout)
{
    layout->setContentsMargins(8, 4, 8, 4);
    layout->setSpacing(2);
}

} // namespace

DownloadOptionPage::DownloadOptionPage(DownloadManager& manager, QWidget* parent)
    : QWidget(parent), m_manager(manager)
{
    Options& options = manager.options();

    // FramePath: the three OptPath buttons.
    auto* pathFrame = new QGroupBox(QStringLiteral("Download Path Options"), this);
    const QString pathCaptions[3] = {QStringLiteral("Replicate &Url path"),
                                     QStringLiteral("$Basedir/$&filename"),
                                     QStringLiteral("Ask &me where ?")};
    m_pathGroup = new QButtonGroup(this);
    auto* pathColumn = new QVBoxLayout(pathFrame);
    for (int i = 0; i < 3; ++i) {
        m_paths[i] = new QRadioButton(pathCaptions[i], pathFrame);
        m_paths[i]->setObjectName(QStringLiteral("OptPath%1").arg(i));
        m_pathGroup->addButton(m_paths[i], i);
        pathColumn->addWidget(m_paths[i]);
    }
    pathColumn->addStretch(1);
    tighten(pathColumn);
    // idClicked comes from the user only; showing the model checks a button silently.
    connect(m_pathGroup, &QButtonGroup::idClicked, &options, &Options::setPathOption);

    // The check boxes, three columns.
    auto* checkFrame = new QGroupBox(QStringLiteral("Download Settings"), this);
    auto* checkGrid = new QGridLayout(checkFrame);
    const std::pair<Option, const char*> boxes[] = {
        {Option::ClearList, "&Clear ist before loading file"},
        {Option::KeepAlive, "Keep-&Alive"},
        {Option::DetectResume, "Detect &Resume"},
        {Option::Redirection, "Allow Re&direction"},
        {Option::TimerSchedule, "Use &Timer Shedule"},
        {Option::IntervalConnect, "&Interval Connect"},
        {Option::HttpVersion, "&HTTP / 1.1"},
    };
    for (const auto& [option, caption] : boxes) {
        auto* box = new OptionCheckBox(options, option, QString::fromLatin1(caption), checkFrame);
        box->setObjectName(QString::fromLatin1(Options::Key(option)));
        const int index = int(m_checks.size());
        checkGrid->addWidget(box, index % 3, index / 3);
        m_checks.append(box);
    }
    tighten(checkGrid);

    // Slider1 and LblSL.
    auto* sliderFrame = new QGroupBox(QStringLiteral("Max &Parallel Downloads"), this);
    m_slider = new StyleSlider(SliderSteps, sliderFrame);
    m_slider->setObjectName(QStringLiteral("Slider1"));
    m_slider->setFocusPolicy(Qt::StrongFocus);
    m_slider->setToolTip(QStringLiteral("Click to change value"));
    m_slider->setMinimumWidth(200);
    m_sliderCaption = new QLabel(sliderFrame);
    m_sliderCaption->setObjectName(QStringLiteral("LblSL"));
    // The caption below the slider: its changing length never moves the slider's steps.
    auto* sliderColumn = new QVBoxLayout(sliderFrame);
    sliderColumn->addWidget(m_slider);
    sliderColumn->addWidget(m_sliderCaption);
    tighten(sliderColumn);
    // A mouse release applies the slider rule to the position; a key sets the next step.
    connect(m_slider, &StyleSlider::Released, &options, &Options::SliderMouseUp);
    connect(m_slider, &StyleSlider::Stepped, &options, &Options::setMaxParallel);

    // The number boxes, each after its caption.
    auto* numberFrame = new QGroupBox(QStringLiteral("Tries and Limits"), this);
    auto* numberGrid = new QGridLayout(numberFrame);
    const std::pair<Option, const char*> numbers[] = {
        {Option::TryCount, "Connection Tr&y count (4-10):"},
        {Option::BusyWait, "&Wait between try (1 to 120 Sec.):"},
        {Option::ConnTimeout, "Connect Time&out (Sec.)"},
        {Option::MinImgSize, "&Skip image download if size is less than (bytes)"},
    };
    const char* const names[] = {"txt_MAXCON", "txt_MAXWAIT", "txt_Timeout", "txtMinSize"};
    for (int i = 0; i < 4; ++i) {
        auto* box = new OptionNumberBox(options, numbers[i].first, numberFrame);
        box->setObjectName(QString::fromLatin1(names[i]));
        auto* label = new QLabel(QString::fromLatin1(numbers[i].second), numberFrame);
        label->setBuddy(box);
        numberGrid->addWidget(label, i, 0);
        numberGrid->addWidget(box, i, 1);
        m_numbers.append(box);
    }
    numberGrid->setColumnStretch(2, 1);
    tighten(numberGrid);

    auto* top = new QHBoxLayout;
    top->addWidget(pathFrame);
    top->addWidget(numberFrame, 1);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(6, 4, 6, 4);
    layout->addLayout(top);
    layout->addWidget(checkFrame);
    layout->addWidget(sliderFrame);
    layout->addStretch(1);

    // Tab order: the page as it reads, left to right and down.
    QWidget* previous = m_paths[0];
    auto chain = [&previous](QWidget* next) {
        setTabOrder(previous, next);
        previous = next;
    };
    for (OptionNumberBox* box : std::as_const(m_numbers))
        chain(box);
    for (OptionCheckBox* box : std::as_const(m_checks))
        chain(box);
    chain(m_slider);

    connect(&options, &Options::optionChanged, this, [this](Option option) {
        if (option == Option::PathOption)
            showPathOption();
        else if (option == Option::MaxParallel)
            showSlider();
    });
    Refresh();
}

void DownloadOptionPage::Refresh()
{
    for (OptionCheckBox* box : std::as_const(m_checks))
        box->Refresh();
    for (OptionNumberBox* box : std::as_const(m_numbers))
        box->Refresh();
    showPathOption();
    showSlider();
}

void DownloadOptionPage::showEvent(QShowEvent* event)
{
    // The caption names the slots created at start-up, which may follow this page.
    showSlider();
    QWidget::showEvent(event);
}

void DownloadOptionPage::showPathOption()
{
    m_paths[qBound(0, m_manager.options().PathOption(), 2)]->setChecked(true);
}

void DownloadOptionPage::showSlider()
{
    m_slider->setValue(m_manager.options().MaxParallel());
    m_sliderCaption->setText(m_manager.SliderCaption());
    QPalette colors = m_sliderCaption->palette();
    colors.setColor(QPalette::WindowText, m_manager.SliderOverLimit()
                                              ? LimitExceeded
                                              : palette().color(QPalette::ButtonText));
    m_sliderCaption->setPalette(colors);
}
