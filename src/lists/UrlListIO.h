// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>
#include <QStringList>

#include <functional>
#include <optional>

class Dialogs;
class JobList;
class QMimeData;
class Rowvane;

// Every way URLs enter or leave the download list and the web page list besides
// harvesting: list files by menu, dropped text and files, the command-line argument,
// filtered and unfiltered paste, cut and paste of a row, copy, and the save writers.
// Files are read by UrlListReader; writers append lines ending in LF. Failures are shown through
// the dialogs; rows read before one stay.
class UrlListIO
{
public:
    UrlListIO(JobList& jobs, Dialogs& dialogs);

    static QString ListFilter()
    {
        return QStringLiteral("Text Files(*.txt)|*.txt|All Files(*.*)|*.*");
    }

    // --- Loading ---
    QString ShowOpenDialog(const QString& filter);
    // Appends every non-empty line (no filter; only the list's duplicate rule).
    void LoadLinesIntoList(const QString& path, Rowvane& target);
    // "&Load from File...": the open dialog, then every line into the job list.
    void LoadFromFile();
    // A dropped file (or the command-line argument): folder test, clear option, then
    // LoadUrlFile. clearOption is the "clear the list before loading" option.
    void LoadDroppedFile(const QString& path, Rowvane& target, const QString& extPattern,
                         bool clearOption);
    // The lines matching the link pattern and not yet in the list.
    void LoadUrlFile(const QString& path, Rowvane& target, const QString& extPattern,
                     bool clearOption);
    // The command-line argument, double quotes removed, into the job list.
    void LoadCommandLine(const QString& argument, const QString& extPattern, bool clearOption);
    // Dropped text: the lines matching the link pattern, with block handling.
    void AddTextFiltered(const QString& text, Rowvane& target, const QString& extPattern);
    // Dropped files: only the first is loaded.
    void DropFiles(const QStringList& paths, Rowvane& target, const QString& extPattern,
                   bool clearOption);
    // Anything dropped on a list or on the monitor: local files are list files (DropFiles);
    // otherwise the dropped web addresses (text/uri-list), or else the plain text, are
    // added filtered. Rows are only appended, as during a run.
    void Drop(const QMimeData& data, Rowvane& target, const QString& extPattern, bool clearOption);
    // Whether a drop carries anything Drop takes.
    static bool CanDrop(const QMimeData& data);

    // --- Clipboard and cut buffer ---
    bool ClipboardLoaded();
    void PasteFiltered(const QString& extPattern); // "Paste &Filtered"
    void PasteUnfiltered();                        // "&Paste Unfiltered"
    void CopyItem();                               // the job list's current row
    void CopyText(const QString& text);            // the web page list's row
    void CutItem();
    void PasteItem();
    QString CutBuffer() const { return m_cutBuffer; }

    // --- Saving (appending) ---
    // colorFilter -1 writes every row, otherwise the rows whose text colour index equals it.
    bool SaveListDialog(const Rowvane& list, int colorFilter = -1);
    bool SaveListToFile(const QString& path, const Rowvane& list, int colorFilter = -1);
    bool SaveListByCheckDialog(const Rowvane& list, bool checked);
    bool SaveListByCheck(const QString& path, const Rowvane& list, bool checked);
    // "Save Unchecked..." of the job list: the jobs not yet ended.
    bool SaveUncheckedJobs();

private:
    std::optional<QString> askSavePath();
    bool writeRows(const QString& path, const Rowvane& list,
                   const std::function<bool(int)>& wanted);
    void showError(const QString& text);
    void readInto(const QString& path, const std::function<bool(const QString&)>& onLine);

    JobList& m_jobs;
    Dialogs& m_dialogs;
    QString m_cutBuffer;
};
