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
