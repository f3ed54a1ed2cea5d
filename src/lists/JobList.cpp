// SPDX-License-Identifier: GPL-3.0-or-later
#include "lists/JobList.h"

#include "lists/ManagerState.h"
#include "lists/Rowvane.h"
#include "lists/StatusLine.h"
#include "lists/UrlLines.h"
#include "platform/Dialogs.h"

namespace {

constexpr quint32 RunningColor = 0xC0FFFF; // light yellow
constexpr quint32 FailedColor = 0x0000FF;  // red (0x00BBGGRR)
constexpr quint32 DoneColor = 0xFF0000;    // blue

} // namespace

JobList::JobList(Rowvane& list, ManagerState& state, StatusLine& status, Dialogs& dialogs,
                 QObject* parent)
    : QObject(parent), m_list(list), m_state(state), m_status(status), m_dialogs(dialogs)
{
    m_list.SetUpUrlCheckList();
    m_clrRunning = m_list.AddColor(RunningColor);
    m_clrFailed = m_list.AddColor(FailedColor);
    m_clrDone = m_list.AddColor(DoneColor);
}

void JobList::setDataFilter(const QString& dataFilter)
{
    m_dataFilter = dataFilter;
}

const LinkPattern& JobList::Pattern(const QString& extPattern)
{
    if (m_pattern.DataFilter() != m_dataFilter || m_pattern.ExtPattern() != extPattern ||
        m_pattern.IsEmpty() != m_dataFilter.isEmpty())
        m_pattern = LinkPattern(m_dataFilter, extPattern);
    if (!m_pattern.IsValid() && m_reportedPattern != m_pattern.Pattern()) {
        m_reportedPattern = m_pattern.Pattern();
        m_dialogs.MsgBox(QStringLiteral("The link pattern ") + m_pattern.Pattern() +
                             QStringLiteral(" is not valid (") + m_pattern.ErrorText() +
                             QStringLiteral("): no line matches it."),
                         QStringLiteral("Invalid!"), Dialogs::Icon::Exclamation);
    }
    return m_pattern;
}

bool JobList::BlockInForce() const
{
    return m_state.BlockInForce(m_list.ListCount());
}

void JobList::SetBlockOff()
{
    ReleaseBlock(m_list.ListCount(), false);
}

void JobList::ReleaseBlock(int blockIndex, bool restoreLook)
{
    if (restoreLook && m_state.BlockIndex >= 0 && BlockInForce())
        ClearBlockLook(m_state.BlockIndex);
    m_state.BlockIndex = blockIndex;
    setBlockCaption(QStringLiteral("Block: OFF"));
}

void JobList::PutBlock(int row)
{
    m_state.BlockIndex = row;
    setBlockCaption(QStringLiteral("Block: ON"));
    SetBlockLook(row);
}

void JobList::AddJobs(const QString& text)
{
    m_list.BlockUpdate();
    const bool block = BlockInForce();
    for (const QString& piece : UrlLines::SplitText(text))
        if (!piece.trimmed().isEmpty())
            m_list.AddItem(piece);
    if (!block)
        SetBlockOff();
    m_list.Update();
    RefreshJobQueue();
}

void JobList::AddJobsFiltered(Rowvane& target, const QString& text, const QString& extPattern)
{
    if (m_dataFilter.isEmpty()) {
        AddJobs(text);
        return;
    }
    const LinkPattern& pattern = Pattern(extPattern);
    if (!pattern.IsValid())
        return;
    for (const QString& piece : UrlLines::SplitText(text))
        if (pattern.Matches(piece))
            target.AddItem(piece);
}

void JobList::RefreshJobQueue()
{
    const int count = m_list.ListCount();
    if (m_state.IsIdle)
        m_status.gStatEx(false, StatusLine::Tag() + QStringLiteral("[Job queue: ") +
                                    QString::number(count) + QLatin1Char(']'));
    else
        m_status.gStatEx(true, QString());
    m_listCaption =
        QString::number(m_list.ListIndex() + 1) + QLatin1Char('/') + QString::number(count);
    emit Changed();
}

bool JobList::StartEnabled() const
{
    return m_list.ListCount() >= 1;
}

bool JobList::StartMenuEnabled() const
{
    return m_list.ListCount() > 0;
}

void JobList::setBlockCaption(const QString& caption)
{
    if (caption == m_blockCaption)
        return;
    m_blockCaption = caption;
    emit Changed();
}

// --- Row changes ------------------------------------------------------------------------

bool JobList::RunGoing() const
{
    return !m_state.IsIdle || (m_runGoing && m_runGoing());
}

bool JobList::RowChangeRefused()
{
    if (!RunGoing())
        return false;
    m_status.gStatEx(false, QStringLiteral("Can't change the download list while downloads run."));
    return true;
}

bool JobList::RemoveJob(int row)
{
    if (RowChangeRefused() || !m_list.RemoveItem(row))
        return false;
    RefreshJobQueue();
    return true;
}

// --- Clear commands ---------------------------------------------------------------------

void JobList::ShowClearRefused()
{
    const QString text = QStringLiteral("Can't clear jobs while performing downloads.");
    m_status.gStatEx(false, text);
    m_dialogs.MsgBox(text, QStringLiteral("Clear List ?"), Dialogs::Icon::Exclamation);
}

bool JobList::ClearIfIdle(Rowvane& target)
{
    if (RunGoing()) {
        ShowClearRefused();
        return false;
    }
    target.Clear();
    return true;
}

bool JobList::ClearAll()
{
    if (!ClearIfIdle(m_list))
        return false;
    RefreshJobQueue();
    return true;
}

bool JobList::clearByForeColor(int colorIndex)
{
    if (RunGoing()) {
        ShowClearRefused();
        return false;
    }
    m_list.BlockUpdate();
    // A removal moves the next row into place: test the same index again.
    int i = 0;
    while (i <= m_list.ListCount() - 1) {
        if (m_list.getItemForeColorIndex(i) == colorIndex)
            m_list.RemoveItem(i);
        else
            ++i;
    }
    m_list.Update();
    RefreshJobQueue();
    return true;
}

bool JobList::ClearCompleted()
{
    return clearByForeColor(m_clrDone);
}

bool JobList::ClearFailed()
{
    return clearByForeColor(m_clrFailed);
}

// --- Job state looks --------------------------------------------------------------------

void JobList::SetPending(int row)
{
    m_list.SetAttribute(row, 0, 0, 1);
    m_list.setSelected(row, false);
}

void JobList::SetRunning(int row)
{
    m_list.SetAttribute(row, 0, m_clrRunning, 1);
    m_list.setListIndex(row);
}

void JobList::SetCompleted(int row)
{
    m_list.setSelected(row, true);
    m_list.SetAttribute(row, 0, 0, m_clrDone);
}

void JobList::SetFailed(int row)
{
    m_list.setSelected(row, true);
    m_list.SetAttribute(row, 0, 0, m_clrFailed);
}

void JobList::SetBlockLook(int row)
{
    m_list.SetAttribute(row, 0, m_clrFailed, 0);
}

void JobList::ClearBlockLook(int row)
{
    m_list.SetAttribute(row, 0, 0, 1);
}

bool JobList::IsCompleted(int row) const
{
    return m_list.Selected(row) && m_list.getItemForeColorIndex(row) == m_clrDone;
}

bool JobList::IsFailed(int row) const
{
    return m_list.Selected(row) && m_list.getItemForeColorIndex(row) == m_clrFailed;
}
