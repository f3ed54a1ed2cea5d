// SPDX-License-Identifier: GPL-3.0-or-later
#include "lists/DownloadListMenu.h"

#include "lists/ManagerState.h"

DownloadListMenu DownloadListMenu::For(const ManagerState& state, const Inputs& in)
{
    const bool rows = in.Rows > 0;
    const bool idle = !in.Running;
    const bool current = rows && in.Current >= 0;
    DownloadListMenu menu;
    menu.Save = rows;
    menu.SaveCompleted = rows && state.CompletedJobs > 0;
    menu.SaveFailed = rows && state.FailedJobs > 0;
    menu.SaveUnchecked = rows && state.CompletedJobs + state.FailedJobs < in.Rows;
    menu.Clear = rows && idle;
    menu.ClearCompleted = menu.SaveCompleted && idle;
    menu.ClearFailed = menu.SaveFailed && idle;
    menu.PasteFiltered = in.ClipboardText;
    menu.PasteUnfiltered = in.ClipboardText;
    // The block is put on a row still waiting for its turn, never on the last row.
    menu.Block = in.Running && in.Current < in.Rows - 1 && in.Current >= state.NextJob;
    menu.Unblock = in.Running && state.BlockIndex < in.Rows - 1 && in.Current == state.BlockIndex;
    menu.Copy = current;
    menu.Cut = current && idle;
    menu.Paste = current && idle && in.RowTaken;
    return menu;
}
