// SPDX-License-Identifier: GPL-3.0-or-later
#include "ui/InterfaceSettingsDialog.h"

#include "controls/Artwork.h"
#include "controls/OleColor.h"
#include "controls/Tagleaf.h"
#include "platform/Dialogs.h"
#include "platform/SettingsStore.h"
#include "ui/FolderChooser.h"
#include "ui/StyleSlider.h"

#include <QColorDialog>
#include <QDir>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPainter>
#include <QPushButton>
#include <QToolButton>
#include <QVBoxLayout>

namespace {

// Each caption ends in eight blanks, which carry the colour swatch.
const char* const ColorCaptions[Options::ColorCount] = {
    "Monitor Back Color:        ",  "Monitor Fore Color:        ",    "Monitor Grid Color:        ",
    "Progress Back Color:        ", "Progress Border Color:        ", "Header Back Color:        ",
    "Header Fore Color:        ",
};
constexpr int SliderSteps[2] = {10, 7};
const QSize PreviewSize(210, 30);

QPixmap preview(int index, int value)
{
    const QImage picture = index == 0 ? Artwork::image(Artwork::progressStrip(value))
                                      : Artwork::image(Artwork::toolbarBackground(value));
    QPixmap result(PreviewSize);
    result.fill(Qt::transparent);
    QPainter painter(&result);
    if (index == 0) {
        // A progress strip is one pixel wide: shown as a bar filled two thirds.
        const QRect bar(0, (PreviewSize.height() - picture.height()) / 2,
                        PreviewSize.width() * 2 / 3, picture.height());
        painter.drawImage(bar, picture);
        painter.setPen(Qt::gray);
        painter.drawRect(0, bar.top() - 1, PreviewSize.width() - 1, bar.height() + 1);
    } else {
        painter.drawTiledPixmap(result.rect(), QPixmap::fromImage(picture));
    }
    return result;
}

} // namespace

InterfaceSettingsDialog::InterfaceSettingsDialog(Options& options, SettingsStore& store,
                                                 Dialogs& dialogs, QWidget* parent)
    : QDialog(parent), m_options(options), m_store(store), m_dialogs(dialogs),
      m_colors(options.ColorValues())
{
    setWindowTitle(QStringLiteral("More Settings.."));
    m_pickColor = [](const QColor& initial, QWidget* owner) -> std::optional<QColor> {
        const QColor chosen = QColorDialog::getColor(initial, owner);
        return chosen.isValid() ? std::optional<QColor>(chosen) : std::nullopt;
    };
    m_pickFolder = [this](const QString& start, QWidget* owner) {
        FolderChooser chooser(m_dialogs, m_options.BaseDir(), owner);
        if (!start.isEmpty())
            chooser.setDirectory(start);
        return chooser.getNewDir();
    };

    m_baseDir = new QLineEdit(options.BaseDir(), this);
    auto* baseLabel = new QLabel(QStringLiteral("&Base Directory:"), this);
    baseLabel->setBuddy(m_baseDir);
    auto* chooser = new QToolButton(this);
    chooser->setText(QStringLiteral("..."));
    chooser->setToolTip(QStringLiteral("Select Base Directory"));
    auto* baseRow = new QHBoxLayout;
    baseRow->addWidget(baseLabel);
    baseRow->addWidget(m_baseDir, 1);
    baseRow->addWidget(chooser);
    auto* baseNote =
        new QLabel(QStringLiteral("(New base folder setting will take effect on next run)"), this);

    const QString frames[2] = {QStringLiteral("Progressbar style"),
                               QStringLiteral("Toolbar Style")};
    const int values[2] = {options.PBarStyle(), options.TBarStyle()};
    auto* styles = new QHBoxLayout;
    for (int i = 0; i < 2; ++i) {
        auto* frame = new QGroupBox(frames[i], this);
        m_sliders[i] = new StyleSlider(SliderSteps[i], frame);
        m_sliders[i]->setValue(values[i]);
        m_previews[i] = new QLabel(frame);
        m_previews[i]->setFixedSize(PreviewSize);
        auto* column = new QVBoxLayout(frame);
        column->addWidget(m_sliders[i]);
        column->addWidget(m_previews[i]);
        styles->addWidget(frame);
        connect(m_sliders[i], &StyleSlider::Clicked, this, [this, i] {
            m_sliderChanged[i] = true;
            DrawStyleSlider(i);
            Changed();
        });
        DrawStyleSlider(i);
    }

    auto* colors = new QGridLayout;
    for (int i = 0; i < Options::ColorCount; ++i) {
        auto* label = new Tagleaf(this);
        label->setCaption(QString::fromLatin1(ColorCaptions[i]));
        label->setFormatting(true);
        label->setBackColor(OleColor::fromQColor(palette().window().color()));
        label->setToolTip(QStringLiteral("Click to choose the colour"));
        label->setCursor(Qt::PointingHandCursor);
        label->setMinimumSize(label->fontMetrics().horizontalAdvance(label->Caption()) + 8,
                              label->fontMetrics().height() + 4);
        m_colorLabels[i] = label;
        colors->addWidget(label, i % 4, i / 4);
        connect(label, &Tagleaf::Click, this, [this, i] { PickColor(i); });
        ShowSwatch(i);
    }

    m_save = new QPushButton(QStringLiteral("&Save"), this);
    auto* cancel = new QPushButton(QStringLiteral("&Cancel"), this);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch(1);
    buttons->addWidget(m_save);
    buttons->addWidget(cancel);

    auto* layout = new QVBoxLayout(this);
    layout->addLayout(baseRow);
    layout->addWidget(baseNote);
    layout->addLayout(styles);
    layout->addLayout(colors);
    layout->addLayout(buttons);
    layout->setSizeConstraint(QLayout::SetFixedSize);

    connect(m_baseDir, &QLineEdit::textEdited, this, [this] {
        m_baseDirChanged = true;
        Changed();
    });
    connect(chooser, &QToolButton::clicked, this, &InterfaceSettingsDialog::ChooseBaseDir);
    connect(m_save, &QPushButton::clicked, this, &InterfaceSettingsDialog::Save);
    connect(cancel, &QPushButton::clicked, this, &InterfaceSettingsDialog::reject);
    ClearMarks();
}

QString InterfaceSettingsDialog::getSLen(int index) const
{
    return QStringLiteral("l=%1").arg(m_colorLabels[index]->Caption().trimmed().size());
}

void InterfaceSettingsDialog::ClearMarks()
{
    m_baseDirChanged = false;
    m_sliderChanged = {};
    m_colorsChanged = false;
    m_save->setEnabled(false);
}

void InterfaceSettingsDialog::Changed()
{
    m_save->setEnabled(true);
}

void InterfaceSettingsDialog::DrawStyleSlider(int index)
{
    m_previews[index]->setPixmap(preview(index, m_sliders[index]->Value()));
}

void InterfaceSettingsDialog::ShowSwatch(int index)
{
    m_colorLabels[index]->setFormatString(getSLen(index) + QStringLiteral(";l=2;l=8,bc=") +
                                          QString::number(m_colors[index]));
}

void InterfaceSettingsDialog::PickColor(int index)
{
    const std::optional<QColor> chosen = m_pickColor(OleColor::toQColor(m_colors[index]), this);
    if (!chosen || !chosen->isValid())
        return;
    m_colors[index] = OleColor::fromQColor(*chosen);
    ShowSwatch(index);
    m_colorsChanged = true;
    Changed();
}

void InterfaceSettingsDialog::ChooseBaseDir()
{
    const QString chosen = m_pickFolder(m_baseDir->text(), this);
    if (chosen.isEmpty())
        return;
    const QString refusal = Options::BaseDirRefusal(chosen);
    if (!refusal.isEmpty()) {
        m_dialogs.MsgBox(refusal, QStringLiteral("Base Dir ??"), Dialogs::Icon::Exclamation);
        return;
    }
    m_baseDir->setText(QDir::cleanPath(chosen));
    m_baseDirChanged = true;
    Changed();
    m_dialogs.MsgBox(QStringLiteral("The Base dir setting will take effect on next run.."),
                     QStringLiteral("Base Dir ??"), Dialogs::Icon::Information);
}

void InterfaceSettingsDialog::Save()
{
    std::optional<QString> baseDir;
    if (m_baseDirChanged) {
        const QString path = m_baseDir->text().trimmed();
        const QString refusal = Options::BaseDirRefusal(path);
        if (!refusal.isEmpty()) {
            m_dialogs.MsgBox(refusal, QStringLiteral("Base Dir ??"), Dialogs::Icon::Exclamation);
            m_baseDir->setFocus();
            return;
        }
        baseDir = QDir::cleanPath(path);
    }
    std::optional<int> styles[2];
    for (int i = 0; i < 2; ++i)
        if (m_sliderChanged[i])
            styles[i] = m_sliders[i]->Value();
    std::optional<QString> colors;
    if (m_colorsChanged) {
        QString text;
        for (quint32 color : m_colors)
            text += QString::number(color) + QLatin1Char(';');
        colors = text;
    }
    if (!Options::SaveInterfaceSettings(m_store, baseDir, styles[0], styles[1], colors)) {
        m_dialogs.MsgBox(QStringLiteral("The settings could not be written to %1.")
                             .arg(QDir::toNativeSeparators(m_store.FileName())),
                         QStringLiteral("Harvex"), Dialogs::Icon::Critical);
        return;
    }
    // The styles and colours apply to the open window; the base folder waits for the next run.
    if (styles[0])
        m_options.setPBarStyle(*styles[0]);
    if (styles[1])
        m_options.setTBarStyle(*styles[1]);
    if (colors)
        m_options.setColorSettings(*colors);
    ClearMarks();
    m_saved = true;
    accept();
}
