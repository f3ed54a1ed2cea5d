// SPDX-License-Identifier: GPL-3.0-or-later
#include "ui/QtDialogs.h"

#include "ui/PageAddressDialog.h"

#include <QClipboard>
#include <QFileDialog>
#include <QGuiApplication>
#include <QInputDialog>
#include <QMessageBox>

namespace {

QMessageBox::Icon messageIcon(Dialogs::Icon icon)
{
    switch (icon) {
    case Dialogs::Icon::None:
        return QMessageBox::NoIcon;
    case Dialogs::Icon::Critical:
        return QMessageBox::Critical;
    case Dialogs::Icon::Question:
        return QMessageBox::Question;
    case Dialogs::Icon::Exclamation:
        return QMessageBox::Warning;
    case Dialogs::Icon::Information:
        return QMessageBox::Information;
    }
    return QMessageBox::NoIcon;
}

QMessageBox::StandardButtons messageButtons(Dialogs::Buttons buttons)
{
    switch (buttons) {
    case Dialogs::Buttons::Ok:
        return QMessageBox::Ok;
    case Dialogs::Buttons::OkCancel:
        return QMessageBox::Ok | QMessageBox::Cancel;
    case Dialogs::Buttons::YesNo:
        return QMessageBox::Yes | QMessageBox::No;
    case Dialogs::Buttons::YesNoCancel:
        return QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel;
    }
    return QMessageBox::Ok;
}

// Closing the box with Escape or the window's close button gives the safe answer.
Dialogs::Answer closedAnswer(Dialogs::Buttons buttons)
{
    return buttons == Dialogs::Buttons::YesNo ? Dialogs::Answer::No : Dialogs::Answer::Cancel;
}

// The core's texts break their lines with CR LF; Qt's labels want LF alone.
QString lines(QString text)
{
    return text.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
}

QString patternText(const QString& patterns)
{
    QStringList list = patterns.split(QLatin1Char(';'), Qt::SkipEmptyParts);
    for (QString& pattern : list) {
        pattern = pattern.trimmed();
        if (pattern == QLatin1String("*.*"))
            pattern = QStringLiteral("*");
    }
    list.removeAll(QString());
    return list.isEmpty() ? QStringLiteral("*") : list.join(QLatin1Char(' '));
}

} // namespace

QtDialogs::QtDialogs(QWidget* owner) : m_owner(owner) {}

QtDialogs::~QtDialogs()
{
    delete m_pageAddress.data();
}

Dialogs::Answer QtDialogs::MsgBox(const QString& text, const QString& title, Icon icon,
                                  Buttons buttons)
{
    QMessageBox box(messageIcon(icon), title, lines(text), messageButtons(buttons), m_owner);
    if (buttons == Buttons::YesNo)
        box.setEscapeButton(QMessageBox::No);
    switch (box.exec()) {
    case QMessageBox::Ok:
        return Answer::Ok;
    case QMessageBox::Yes:
        return Answer::Yes;
    case QMessageBox::No:
        return Answer::No;
    case QMessageBox::Cancel:
        return Answer::Cancel;
    default:
        return buttons == Buttons::Ok ? Answer::Ok : closedAnswer(buttons);
    }
}

std::optional<QString> QtDialogs::InputBox(const QString& prompt, const QString& title,
                                           const QString& defaultText)
{
    QInputDialog box(m_owner);
    box.setWindowTitle(title);
    box.setLabelText(lines(prompt));
    box.setTextValue(defaultText);
    if (box.exec() != QDialog::Accepted)
        return std::nullopt;
    return box.textValue();
}

std::optional<QString> QtDialogs::OpenFileDialog(const QString& title, const QString& filter)
{
    QFileDialog box(m_owner, title);
    box.setAcceptMode(QFileDialog::AcceptOpen);
    box.setFileMode(QFileDialog::ExistingFile);
    box.setNameFilters(NameFilters(filter));
    if (box.exec() != QDialog::Accepted || box.selectedFiles().isEmpty())
        return std::nullopt;
    return box.selectedFiles().constFirst();
}

std::optional<QString> QtDialogs::SaveFileDialog(const QString& title, const QString& filter,
                                                 const QString& defaultExt,
                                                 const QString& initialDir, const QString& fileName,
                                                 bool confirmOverwrite)
{
    QFileDialog box(m_owner, title);
    box.setAcceptMode(QFileDialog::AcceptSave);
    box.setFileMode(QFileDialog::AnyFile);
    box.setNameFilters(NameFilters(filter));
    QString suffix = defaultExt;
    while (suffix.startsWith(QLatin1Char('.')))
        suffix.remove(0, 1);
    box.setDefaultSuffix(suffix);
    box.setOption(QFileDialog::DontConfirmOverwrite, !confirmOverwrite);
    if (!initialDir.isEmpty())
        box.setDirectory(initialDir);
    if (!fileName.isEmpty())
        box.selectFile(fileName);
    if (box.exec() != QDialog::Accepted || box.selectedFiles().isEmpty())
        return std::nullopt;
    return box.selectedFiles().constFirst();
}

bool QtDialogs::PageAddressDialog(QString& address)
{
    QStringList rangeUrls;
    // Without a list to fill, the range mode has no room.
    return PageAddressOrRange(address, 0, rangeUrls);
}

bool QtDialogs::PageAddressOrRange(QString& address, int freeRows, QStringList& rangeUrls)
{
    if (!m_pageAddress)
        m_pageAddress = new ::PageAddressDialog(m_owner);
    m_pageAddress->setFreeRows(freeRows);
    const bool ok = m_pageAddress->Ask(address);
    rangeUrls = ok ? m_pageAddress->RangeUrls() : QStringList();
    return ok;
}

QString QtDialogs::ClipboardText()
{
    return QGuiApplication::clipboard()->text();
}

void QtDialogs::SetClipboardText(const QString& text)
{
    QGuiApplication::clipboard()->setText(text);
}

QStringList QtDialogs::NameFilters(const QString& filter)
{
    QStringList result;
    const QStringList fields = filter.split(QLatin1Char('|'));
    for (qsizetype i = 0; i + 1 < fields.size(); i += 2) {
        QString name = fields.at(i);
        const qsizetype bracket = name.indexOf(QLatin1Char('('));
        if (bracket >= 0)
            name.truncate(bracket);
        name = name.trimmed();
        const QString patterns = patternText(fields.at(i + 1));
        result.append(name.isEmpty() ? patterns
                                     : name + QStringLiteral(" (") + patterns + QLatin1Char(')'));
    }
    if (result.isEmpty())
        result.append(QStringLiteral("All Files (*)"));
    return result;
}
