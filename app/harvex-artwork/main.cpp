// SPDX-License-Identifier: GPL-3.0-or-later
// Writes every picture of the artwork, freshly drawn, as <name>.png into a folder, so a
// person can look at them and the resources can be refreshed after a change:
//   harvex-artwork src/controls/artwork
//   harvex-artwork --sheet sheet.png    all pictures enlarged four times on one sheet
//   harvex-artwork --check              compare the drawing with the resources
//   harvex-artwork --icons packaging/icons/hicolor
//                                       the application icon for the desktop's icon theme,
//                                       as SIZExSIZE/apps/harvex.png in every size
#include "controls/Artwork.h"
#include "controls/ArtworkPainter.h"

#include <QDir>
#include <QGuiApplication>
#include <QPainter>

#include <cstdio>

namespace {

QImage sheet()
{
    constexpr int Zoom = 4, Cell = 260, Columns = 6;
    const int rows = (Artwork::PictureCount + Columns - 1) / Columns;
    QImage out(Columns * Cell, rows * (48 * Zoom + 30), QImage::Format_ARGB32);
    out.fill(QColor(0xEE, 0xEE, 0xEE));
    QPainter p(&out);
    for (int i = 0; i < Artwork::PictureCount; ++i) {
        const QImage image = ArtworkPainter::draw(Artwork::Picture(i));
        const int x = (i % Columns) * Cell + 10, y = (i / Columns) * (48 * Zoom + 30) + 10;
        // Strips are one pixel wide: show them as a bar.
        const int width = image.width() == 1 ? 48 : image.width();
        p.drawImage(QRect(x, y, width * Zoom, image.height() * Zoom), image);
        p.setPen(Qt::black);
        p.drawText(x, y + image.height() * Zoom + 16, Artwork::name(Artwork::Picture(i)));
    }
    return out;
}

// The hicolor layout the install rules copy into share/icons/hicolor.
int writeIcons(const QString& folder)
{
    for (const int size : ArtworkPainter::AppIconSizes) {
        const QString dir = QStringLiteral("%1/%2x%2/apps").arg(folder).arg(size);
        const QString path = dir + QStringLiteral("/harvex.png");
        if (!QDir().mkpath(dir) || !ArtworkPainter::appIcon(size).save(path, "PNG")) {
            std::fprintf(stderr, "harvex-artwork: cannot write %s\n", qPrintable(path));
            return 1;
        }
    }
    return 0;
}

} // namespace

int main(int argc, char** argv)
{
    QGuiApplication app(argc, argv);
    const QStringList args = app.arguments().mid(1);
    if (args.size() == 2 && args.first() == QLatin1String("--sheet"))
        return sheet().save(args.at(1), "PNG") ? 0 : 1;
    if (args.size() == 2 && args.first() == QLatin1String("--icons"))
        return writeIcons(args.at(1));
    if (args.size() != 1) {
        std::fprintf(stderr,
                     "usage: harvex-artwork FOLDER | --sheet FILE | --icons FOLDER | --check\n");
        return 2;
    }
    int stale = 0;
    for (int i = 0; i < Artwork::PictureCount; ++i) {
        const auto picture = Artwork::Picture(i);
        const QImage drawn = ArtworkPainter::draw(picture).convertToFormat(QImage::Format_ARGB32);
        if (args.first() == QLatin1String("--check")) {
            if (Artwork::image(picture).convertToFormat(QImage::Format_ARGB32) != drawn) {
                std::printf("stale: %s\n", qPrintable(Artwork::name(picture)));
                ++stale;
            }
            continue;
        }
        const QString path = QDir(args.first()).filePath(Artwork::name(picture) + ".png");
        if (!drawn.save(path, "PNG")) {
            std::fprintf(stderr, "harvex-artwork: cannot write %s\n", qPrintable(path));
            return 1;
        }
    }
    return stale == 0 ? 0 : 1;
}
