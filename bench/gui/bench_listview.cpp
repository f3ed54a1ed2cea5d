// SPDX-License-Identifier: GPL-3.0-or-later
// The list view at the job list's full size: one page painted, the list scrolled from
// top to bottom a page at a time, and one job's end (a row's colours and check mark) on
// 32 001 rows. Runs offscreen unless a platform is named.
#include "controls/RowvaneView.h"
#include "lists/Rowvane.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QImage>
#include <QScrollBar>

#include <algorithm>
#include <cstdio>
#include <functional>

namespace {

// Microseconds per call: the median of `runs` rounds of `calls` calls each.
double perCall(const std::function<void()>& body, int calls, int runs = 7)
{
    std::vector<double> rounds;
    for (int r = 0; r < runs; ++r) {
        QElapsedTimer timer;
        timer.start();
        for (int i = 0; i < calls; ++i)
            body();
        rounds.push_back(timer.nsecsElapsed() / 1e3 / calls);
    }
    std::sort(rounds.begin(), rounds.end());
    return rounds[rounds.size() / 2];
}

void fill(Rowvane& list, int rows)
{
    RowvaneBulkChange bulk(list);
    const int running = list.AddColor(0xC0FFFF);
    const int failed = list.AddColor(0x0000FF);
    for (int i = 0; i < rows; ++i)
        list.AddItem(QStringLiteral("http://host%1.example/dir%2/file-%3.jpg")
                         .arg(i % 17)
                         .arg(i % 101)
                         .arg(i),
                     0, i % 7 == 0 ? running : 0, i % 11 == 0 ? failed : 1);
}

struct Page
{
    Rowvane list;
    RowvaneView view{list};
    QImage image;

    explicit Page(int rows)
    {
        list.setStyle(1);
        fill(list, rows);
        view.resize(760, 520);
        view.show();
        image = QImage(view.viewport()->size(), QImage::Format_ARGB32_Premultiplied);
    }
    // A row in view changes, so the whole page is drawn again.
    void paint()
    {
        flip = !flip;
        list.SetAttribute(view.TopRow(), 0, flip ? 2 : 0, 1);
        view.viewport()->render(&image);
    }
    // Nothing changed: the cached page is copied (an expose).
    void copy() { view.viewport()->render(&image); }
    bool flip = false;
};

} // namespace

int main(int argc, char** argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);

    Page small(100);
    QElapsedTimer load;
    load.start();
    Page large(Rowvane::MaxRows);
    const double loadMs = load.nsecsElapsed() / 1e6;
    large.list.setListIndex(16000);
    large.view.setTopRow(16000 - 5);
    const int visible = large.view.VisibleRows();
    std::printf("list view: %d rows, %d visible rows of %d px\n", large.list.ListCount(), visible,
                large.view.RowHeight());

    std::printf("%-52s %9.1f ms\n", "load 32001 rows, every row measured once", loadMs);
    const double pageSmall = perCall([&] { small.paint(); }, 200);
    const double pageLarge = perCall([&] { large.paint(); }, 200);
    std::printf("%-52s %9.3f ms\n", "paint one page, 100 rows", pageSmall / 1e3);
    std::printf("%-52s %9.3f ms  (x%.2f of 100 rows)\n", "paint one page, 32001 rows",
                pageLarge / 1e3, pageLarge / pageSmall);
    const double exposeLarge = perCall([&] { large.copy(); }, 200);
    std::printf("%-52s %9.3f ms\n", "expose one page, unchanged (cached copy)", exposeLarge / 1e3);

    // Top to bottom, a page at a time, each page painted.
    QElapsedTimer timer;
    timer.start();
    int pages = 0;
    const int bottom = large.view.verticalScrollBar()->maximum();
    for (int top = 0;; top = std::min(top + visible, bottom)) {
        large.view.setTopRow(top);
        large.paint();
        ++pages;
        if (top == bottom)
            break;
    }
    const double scroll = timer.nsecsElapsed() / 1e6;
    std::printf("%-52s %9.1f ms  (%d pages, %.3f ms/page)\n", "scroll top to bottom, 32001 rows",
                scroll, pages, scroll / pages);

    // A job's end: its row gets a colour and a check mark; the widest row is kept per row.
    int row = 0;
    const double jobEnd = perCall(
        [&] {
            large.list.SetAttribute(row, 0, 0, 2);
            large.list.setSelected(row, true);
            row = (row + 997) % large.list.ListCount();
        },
        2000);
    const double rename = perCall(
        [&] {
            large.list.setList(row, large.list.List(row) + QLatin1Char('x'));
            row = (row + 997) % large.list.ListCount();
        },
        2000);
    std::printf("%-52s %9.2f us\n", "row change at a job's end (colour and check)", jobEnd);
    std::printf("%-52s %9.2f us\n", "row text change (one row measured again)", rename);
    return 0;
}
