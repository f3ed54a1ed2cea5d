// SPDX-License-Identifier: GPL-3.0-or-later
// Link extraction from large pages: a 4 MiB gallery page (decode, gumbo, resolve),
// a Windows-1252 page, and a hostile page nested 100 000 elements deep that the
// parse limits must end early. Prints time, throughput and peak memory.
#include "harvest/HtmlLinks.h"

#include <QElapsedTimer>

#include <atomic>
#include <chrono>
#include <cstdio>
#include <ctime>
#include <sys/resource.h>
#include <thread>

namespace {

long peakRssKiB()
{
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return usage.ru_maxrss;
}

QByteArray galleryPage(qsizetype targetSize, bool latin)
{
    QByteArray page = "<html><head><title>Gallery</title></head><body>\n";
    for (int i = 0; page.size() < targetSize; ++i) {
        const QByteArray n = QByteArray::number(i);
        page += "<div class=item><a href=\"/photos/2024/picture-" + n + ".jpg\">Picture " + n +
                (latin ? " caf\xE9" : "") + "</a> <img src=\"thumbs/" + n +
                ".png\" alt=\"thumb\"></div>\n";
    }
    return page + "</body></html>";
}

void run(const char* name, const QByteArray& page, const QByteArray& contentType,
         const HtmlParseLimits& limits = {})
{
    QElapsedTimer timer;
    timer.start();
    const std::clock_t cpuStart = std::clock();
    const HtmlLinks links =
        HtmlLinks::FromPage(page, contentType, QUrl(QStringLiteral("http://h.example/g/")), limits);
    const double seconds = timer.nsecsElapsed() / 1e9;
    const double cpu = double(std::clock() - cpuStart) / CLOCKS_PER_SEC;
    std::printf("%-24s %6.2f MiB %7lld links %7lld images %7.3f s (cpu %6.3f s, %5.1f MiB/s cpu)  "
                "peak RSS %ld MiB%s%s\n",
                name, page.size() / 1048576.0, (long long)links.links.size(),
                (long long)links.images.size(), seconds, cpu, page.size() / 1048576.0 / cpu,
                peakRssKiB() / 1024,
                links.error.isEmpty() ? "" : "  ended: ", qPrintable(links.error));
}

} // namespace

int main()
{
    run("gallery utf-8", galleryPage(4 << 20, false), "text/html; charset=utf-8");
    run("gallery windows-1252", galleryPage(4 << 20, true), "text/html");
    // gumbo's work grows with the square of the depth: the cancel flag (set by the
    // page's time limit) ends it.
    std::atomic<bool> cancel{false};
    std::thread timeLimit([&cancel] {
        std::this_thread::sleep_for(std::chrono::seconds(2));
        cancel = true;
    });
    HtmlParseLimits limits;
    limits.cancel = &cancel;
    run("nested 100000 (2 s cap)", QByteArray("<div>").repeated(100000), "text/html", limits);
    timeLimit.join();
    return 0;
}
