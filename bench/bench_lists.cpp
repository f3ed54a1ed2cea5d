// SPDX-License-Identifier: GPL-3.0-or-later
// The job list at its full size: 32 000 rows appended with the duplicate test on,
// loaded from a list file, sorted, inserted in sorted order, and named on disk.
#include "lists/JobList.h"
#include "lists/ManagerState.h"
#include "lists/Rowvane.h"
#include "lists/StatusLine.h"
#include "lists/UrlListIO.h"
#include "manager/DownloadLogs.h"
#include "manager/LocalFileNaming.h"
#include "platform/ConsoleDialogs.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QRandomGenerator>
#include <QTemporaryDir>

#include <cstdio>
#include <functional>

namespace {

constexpr int Rows = 32000;

QStringList makeUrls(int count)
{
    QStringList urls;
    urls.reserve(count);
    QRandomGenerator random(1234); // fixed seed: the same list every run
    for (int i = 0; i < count; ++i)
        urls << QStringLiteral("http://host%1.example/dir%2/file-%3-%4.jpg")
                    .arg(i % 17)
                    .arg(i % 101)
                    .arg(random.generate())
                    .arg(i);
    return urls;
}

// Best of a few runs, in milliseconds.
double measure(const std::function<void()>& body, int runs = 3)
{
    double best = 1e12;
    for (int r = 0; r < runs; ++r) {
        QElapsedTimer timer;
        timer.start();
        body();
        best = std::min(best, timer.nsecsElapsed() / 1e6);
    }
    return best;
}

void report(const char* what, double ms, const int& rows)
{
    std::printf("%-52s %9.1f ms  (%d rows, %.2f us/row)\n", what, ms, rows, ms * 1000.0 / rows);
}

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    const QStringList urls = makeUrls(Rows);
    QTemporaryDir dir;
    if (!dir.isValid())
        return 1;

    int count = 0;
    report("AddItem, DenyStrategy 1 (case-insensitive dup test)", measure([&] {
               Rowvane list;
               list.setDenyStrategy(1);
               list.BlockUpdate();
               for (const QString& url : urls)
                   list.AddItem(url);
               list.Update();
               count = list.ListCount();
           }),
           count);

    report("AddItem of 32000 duplicates in other case", measure([&] {
               Rowvane list;
               list.setDenyStrategy(1);
               list.BlockUpdate();
               for (const QString& url : urls)
                   list.AddItem(url);
               for (const QString& url : urls)
                   list.AddItem(url.toUpper());
               count = list.ListCount();
           }),
           count);

    report("AddItem, SortStrategy 1 (sorted inserts)", measure([&] {
               Rowvane list;
               list.setDenyStrategy(1);
               list.setSortStrategy(1);
               list.BlockUpdate();
               for (const QString& url : urls)
                   list.AddItem(url);
               count = list.ListCount();
           }),
           count);

    {
        Rowvane list;
        list.BlockUpdate();
        for (const QString& url : urls)
            list.AddItem(url);
        report("SortStrategy 0 -> 1 (sort 32000 rows)",
               measure(
                   [&] {
                       list.setSortStrategy(1);
                       list.setSortStrategy(0); // reverse back: the next run sorts again
                       list.setSortStrategy(0);
                   },
                   1),
               list.ListCount());
    }

    // A list file of 32 000 lines with CR LF ends and blanks around some lines.
    const QString listFile = dir.filePath("urls.txt");
    {
        QFile file(listFile);
        file.open(QIODevice::WriteOnly);
        QByteArray bytes;
        for (int i = 0; i < urls.size(); ++i)
            bytes += (i % 7 == 0 ? "  " : "") + urls.at(i).toUtf8() + "\r\n";
        file.write(bytes);
        std::printf("list file: %lld bytes\n", static_cast<long long>(bytes.size()));
    }
    ConsoleDialogs dialogs;
    report("LoadLinesIntoList (menu load, 32000 lines)", measure([&] {
               Rowvane list;
               ManagerState state;
               StatusLine status(state, list);
               JobList jobs(list, state, status, dialogs);
               UrlListIO io(jobs, dialogs);
               io.LoadLinesIntoList(listFile, list);
               count = list.ListCount();
           }),
           count);
    report("LoadUrlFile (dropped file, link pattern)", measure([&] {
               Rowvane list;
               ManagerState state;
               StatusLine status(state, list);
               JobList jobs(list, state, status, dialogs);
               jobs.setDataFilter(QStringLiteral("(https?://[^<=\\?\\+>]+$Ext)"));
               UrlListIO io(jobs, dialogs);
               io.LoadUrlFile(listFile, list, QStringLiteral("(\\.jpg|\\.gif|\\.zip)"), false);
               count = list.ListCount();
           }),
           count);

    DownloadLogs logs;
    LocalFileNaming naming(logs, dialogs);
    NamingOptions options;
    options.BaseDir = dir.filePath("base");
    options.DetectResume = true;
    report("PrepareJob (local path of every job)",
           measure(
               [&] {
                   for (const QString& url : urls)
                       naming.PrepareJob(url, options);
               },
               1),
           Rows);
    return 0;
}
