// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

struct ManagerState;

// Which items of the download list's menu are enabled, worked out each time the menu is
// about to open. Pure: the window asks DownloadManager::DownloadMenu(), which gathers the
// inputs.
struct DownloadListMenu
{
    struct Inputs
    {
        int Rows = 0;               // jobs in the list
        int Current = -1;           // the current row, -1 for none
        bool Running = false;       // a run is going ("stop" enabled)
        bool ClipboardText = false; // the clipboard holds text
        bool RowTaken = false;      // a row was cut and waits to be pasted
    };

    bool Save = false;            // "&Save..."
    bool SaveUnchecked = false;   // "Save Unchecked..."
    bool SaveFailed = false;      // "Save Failed..."
    bool SaveCompleted = false;   // "Save Completed..."
    bool Clear = false;           // "&Clear List"
    bool ClearFailed = false;     // "Clear Failed"
    bool ClearCompleted = false;  // "Clear Completed"
    bool PasteFiltered = false;   // "Paste &Filtered"
    bool PasteUnfiltered = false; // "&Paste Unfiltered"
    bool Block = false;           // "Block Download from this Item"
    bool Unblock = false;         // "Undo Bock"
    bool Copy = false;            // "Copy this Item"
    bool Cut = false;             // "Cut"
    bool Paste = false;           // "Paste"

    static DownloadListMenu For(const ManagerState& state, const Inputs& in);
};
