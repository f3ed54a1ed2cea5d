// SPDX-License-Identifier: GPL-3.0-or-later
#include "controls/Artwork.h"
#include "controls/ArtworkPainter.h"

#include <QTest>

class TestArtwork : public QObject
{
    Q_OBJECT

private slots:
    // The resources must be what the drawing code draws today: a change to the drawing
    // without running harvex-artwork leaves stale pictures behind.
    void resourcesMatchTheDrawing()
    {
        for (int i = 0; i < Artwork::PictureCount; ++i) {
            const auto picture = Artwork::Picture(i);
            const QImage stored = Artwork::image(picture);
            QVERIFY2(!stored.isNull(), qPrintable(Artwork::name(picture)));
            QVERIFY2(stored.convertToFormat(QImage::Format_ARGB32) ==
                         ArtworkPainter::draw(picture).convertToFormat(QImage::Format_ARGB32),
                     qPrintable(Artwork::name(picture)));
        }
    }

    // The desktop's icons (packaging/icons, installed into the hicolor theme) are this
    // drawing at each size, scaled while drawn: the rounded square fills every size, with
    // transparent corners, and the stored files are what the drawing gives today.
    void desktopIconsAreTheDrawingAtEverySize()
    {
        for (const int size : ArtworkPainter::AppIconSizes) {
            const QImage drawn = ArtworkPainter::appIcon(size);
            QCOMPARE(drawn.size(), QSize(size, size));
            QCOMPARE(drawn.pixelColor(0, 0).alpha(), 0);
            QCOMPARE(drawn.pixelColor(size - 1, size - 1).alpha(), 0);
            for (const QPoint& inside :
                 {QPoint(size * 9 / 10, size / 2), QPoint(size / 10, size / 2)}) {
                const QColor c = drawn.pixelColor(inside);
                QVERIFY2(c.alpha() == 255 && c.blue() > c.red() + 60,
                         qPrintable(QStringLiteral("%1 px at %2,%3")
                                        .arg(size)
                                        .arg(inside.x())
                                        .arg(inside.y())));
            }
            const QString path =
                QStringLiteral(HARVEX_SOURCE_DIR "/packaging/icons/hicolor/%1x%1/apps/harvex.png")
                    .arg(size);
            const QImage stored(path);
            QVERIFY2(!stored.isNull(), qPrintable(path));
            QVERIFY2(
                stored.convertToFormat(QImage::Format_ARGB32) ==
                    drawn.convertToFormat(QImage::Format_ARGB32),
                qPrintable(path + " differs: run harvex-artwork --icons packaging/icons/hicolor"));
        }
        QCOMPARE(ArtworkPainter::appIcon(48), ArtworkPainter::draw(Artwork::AppIcon));
    }

    void settingsNumbersAreClamped()
    {
        QCOMPARE(Artwork::progressStrip(0), Artwork::ProgressBlue);
        QCOMPARE(Artwork::progressStrip(11), Artwork::ProgressSky);
        QCOMPARE(Artwork::toolbarBackground(-3), Artwork::ToolbarSilver);
        QCOMPARE(Artwork::toolbarBackground(8), Artwork::ToolbarSteel);
        QCOMPARE(Artwork::toolbarIcon("nope"), Artwork::AppIcon);
    }
};

QTEST_MAIN(TestArtwork)
#include "test_artwork.moc"
