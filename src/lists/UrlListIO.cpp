// SPDX-License-Identifier: GPL-3.0-or-later
#include "lists/UrlListIO.h"

#include "lists/JobList.h"
#include "lists/ManagerState.h"
#include "lists/Rowvane.h"
#include "lists/UrlListReader.h"
#include "platform/Dialogs.h"

#include <QFile>
#include <QFileInfo>
#include <QMimeData>
#include <QUrl>

UrlListIO::UrlListIO(JobList& jobs, Dialogs& dialogs) : m_jobs(jobs), m_dialogs(dialogs) {}

void UrlListIO::showError(const QString& text)
{
    m_dialogs.MsgBox(text, QStringLiteral("Error!"), Dialogs::Icon::Exclamation);
}

// --- Reading ----------------------------------------------------------------------------

void UrlListIO::readInto(const QString& path, const std::function<bool(const QString&)>& onLine)
{
    QString error;
    qsizetype skipped = 0;
    if (!UrlListReader::ReadFile(path, onLine, &error, &skipped))
        showError(error);
    else if (skipped > 0)
        showError(UrlListReader::SkippedText(skipped, path));
}

QString UrlListIO::ShowOpenDialog(const QString& filter)
{
    return m_dialogs.OpenFileDialog(QStringLiteral("Select File Containing Urls"), filter)
        .value_or(QString());
}

void UrlListIO::LoadLinesIntoList(const QString& path, Rowvane& target)
{
    if (path.isEmpty())
        return;
    RowvaneBulkChange bulk(target);
    readInto(path, [&](const QString& line) {
        target.AddItem(line, 0, 0, 1);
        return target.ListCount() < Rowvane::MaxRows;
    });
}

void UrlListIO::LoadFromFile()
{
    const QString path = ShowOpenDialog(ListFilter());
    if (path.isEmpty())
        return;
    Rowvane& jobs = m_jobs.List();
    const bool block = m_jobs.BlockInForce();
    jobs.BlockUpdate();
    LoadLinesIntoList(path, jobs);
    jobs.Update();
    if (!block)
        m_jobs.SetBlockOff();
    m_jobs.RefreshJobQueue();
}

void UrlListIO::LoadDroppedFile(const QString& path, Rowvane& target, const QString& extPattern,
                                bool clearOption)
{
    if (path.isEmpty())
        return;
    const QFileInfo info(path);
    if (info.isDir()) {
        showError(QStringLiteral("Can't parse folders."));
        return;
    }
    // A path that cannot be read is reported before anything is cleared.
    QFile probe;
    QString error;
    if (!UrlListReader::Open(path, probe, &error)) {
        showError(error);
        return;
    }
    probe.close();
    if (clearOption && !m_jobs.ClearIfIdle(m_jobs.List()))
        return;
    LoadUrlFile(path, target, extPattern, clearOption);
    // The job count, the list position and "start" follow the rows just loaded; the block
    // index stays where it is.
    m_jobs.RefreshJobQueue();
}

void UrlListIO::LoadUrlFile(const QString& path, Rowvane& target, const QString& extPattern,
                            bool clearOption)
{
    if (clearOption) {
        if (!m_jobs.RunGoing())
            target.Clear();
        else
            m_jobs.ShowClearRefused();
    }
    const LinkPattern& pattern = m_jobs.Pattern(extPattern);
    RowvaneBulkChange bulk(target);
    readInto(path, [&](const QString& line) {
        if (pattern.Matches(line) && !target.InList(line, 1))
            target.AddItem(line, 0, 0, 1);
        return target.ListCount() < Rowvane::MaxRows;
    });
}

void UrlListIO::LoadCommandLine(const QString& argument, const QString& extPattern,
                                bool clearOption)
{
    QString path = argument;
    path.remove(QLatin1Char('"'));
    LoadDroppedFile(path, m_jobs.List(), extPattern, clearOption);
}

void UrlListIO::AddTextFiltered(const QString& text, Rowvane& target, const QString& extPattern)
{
    Rowvane& jobs = m_jobs.List();
    jobs.BlockUpdate();
    const bool block = m_jobs.BlockInForce();
    {
        RowvaneBulkChange bulk(target);
        m_jobs.AddJobsFiltered(target, text, extPattern);
    }
    if (!block)
        m_jobs.SetBlockOff();
    jobs.Update();
    m_jobs.RefreshJobQueue();
}

void UrlListIO::DropFiles(const QStringList& paths, Rowvane& target, const QString& extPattern,
                          bool clearOption)
{
    if (!paths.isEmpty())
        LoadDroppedFile(paths.first(), target, extPattern, clearOption);
}

namespace {

struct DroppedItems
{
    QStringList Files;  // local paths, in the order dropped
    QStringList Remote; // every other address, as text
};

DroppedItems dropped(const QMimeData& data)
{
    DroppedItems items;
    if (!data.hasUrls())
        return items;
    for (const QUrl& url : data.urls()) {
        if (url.isLocalFile())
            items.Files << url.toLocalFile();
        else if (url.isValid() && !url.isEmpty())
            items.Remote << url.toString(QUrl::FullyEncoded);
    }
    return items;
}

} // namespace

bool UrlListIO::CanDrop(const QMimeData& data)
{
    const DroppedItems items = dropped(data);
    return !items.Files.isEmpty() || !items.Remote.isEmpty() || !data.text().isEmpty();
}

void UrlListIO::Drop(const QMimeData& data, Rowvane& target, const QString& extPattern,
                     bool clearOption)
{
    const DroppedItems items = dropped(data);
    if (!items.Files.isEmpty())
        DropFiles(items.Files, target, extPattern, clearOption);
    else if (!items.Remote.isEmpty())
        AddTextFiltered(items.Remote.join(QStringLiteral("\r\n")), target, extPattern);
    else if (const QString text = data.text(); !text.isEmpty())
        AddTextFiltered(text, target, extPattern);
}

// --- Clipboard and cut buffer -----------------------------------------------------------

bool UrlListIO::ClipboardLoaded()
{
    return !m_dialogs.ClipboardText().isEmpty();
}

void UrlListIO::PasteFiltered(const QString& extPattern)
{
    const QString text = m_dialogs.ClipboardText();
    if (!text.isEmpty())
        AddTextFiltered(text, m_jobs.List(), extPattern);
}

void UrlListIO::PasteUnfiltered()
{
    const QString text = m_dialogs.ClipboardText();
    if (!text.isEmpty())
        m_jobs.AddJobs(text);
}

void UrlListIO::CopyItem()
{
    CopyText(m_jobs.List().ActiveItem());
}

void UrlListIO::CopyText(const QString& text)
{
    m_dialogs.SetClipboardText(text);
}

void UrlListIO::CutItem()
{
    Rowvane& jobs = m_jobs.List();
    const int row = jobs.ListIndex();
    if (row < 0 || m_jobs.RowChangeRefused())
        return;
    if (m_jobs.State().BlockIndex == row)
        m_jobs.ReleaseBlock(jobs.ListCount() - 1, false);
    m_cutBuffer = jobs.ActiveItem();
    jobs.RemoveItem(row);
    m_jobs.RefreshJobQueue();
}

void UrlListIO::PasteItem()
{
    // An insert moves every row below it; the row stays in the cut buffer.
    if (m_cutBuffer.isEmpty() || m_jobs.RowChangeRefused())
        return;
    Rowvane& jobs = m_jobs.List();
    const int position = std::max(jobs.ListIndex(), 0);
    // A row the list refuses (it is full) stays in the cut buffer rather than being lost;
    // a duplicate is already in the list.
    const bool added = jobs.AddItem(m_cutBuffer, 0, 0, 1, position);
    m_jobs.RefreshJobQueue();
    if (added || jobs.InList(m_cutBuffer, 1))
        m_cutBuffer.clear();
}

// --- Saving -----------------------------------------------------------------------------

std::optional<QString> UrlListIO::askSavePath()
{
    return m_dialogs.SaveFileDialog(QStringLiteral("Save List to File"), ListFilter(),
                                    QStringLiteral(".txt"), QString(), QString(), false);
}

bool UrlListIO::writeRows(const QString& path, const Rowvane& list,
                          const std::function<bool(int)>& wanted)
{
    if (path.isEmpty())
        return false;
    // Saves append: an existing file keeps its content.
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Append)) {
        showError(file.errorString());
        return false;
    }
    QByteArray block;
    for (int i = 0; i < list.ListCount(); ++i) {
        if (!wanted(i))
            continue;
        block += list.List(i).toUtf8();
        block += '\n';
        if (block.size() >= 64 * 1024) {
            if (file.write(block) != block.size()) {
                showError(file.errorString());
                return false;
            }
            block.clear();
        }
    }
    if (file.write(block) != block.size() || !file.flush()) {
        showError(file.errorString());
        return false;
    }
    file.close();
    m_dialogs.MsgBox(QStringLiteral("File: ") + path + QStringLiteral(" was saved.."),
                     QStringLiteral("File saved.."), Dialogs::Icon::Information);
    return true;
}

bool UrlListIO::SaveListToFile(const QString& path, const Rowvane& list, int colorFilter)
{
    return writeRows(path, list, [&](int row) {
        return colorFilter < 0 || list.getItemForeColorIndex(row) == colorFilter;
    });
}

bool UrlListIO::SaveListByCheck(const QString& path, const Rowvane& list, bool checked)
{
    return writeRows(path, list, [&](int row) { return list.Selected(row) == checked; });
}

bool UrlListIO::SaveListDialog(const Rowvane& list, int colorFilter)
{
    const std::optional<QString> path = askSavePath();
    return path && SaveListToFile(*path, list, colorFilter);
}

bool UrlListIO::SaveListByCheckDialog(const Rowvane& list, bool checked)
{
    const std::optional<QString> path = askSavePath();
    return path && SaveListByCheck(*path, list, checked);
}

bool UrlListIO::SaveUncheckedJobs()
{
    return SaveListByCheckDialog(m_jobs.List(), false);
}
