// SPDX-License-Identifier: GPL-3.0-or-later
#include "controls/Indicator.h"
#include "support/WidgetProbe.h"

#include <QTest>

using Dot = IndicatorFrame::Dot;

class TestIndicator : public QObject
{
    Q_OBJECT

private slots:
    void dotPositions_data()
    {
        QTest::addColumn<int>("width");
        QTest::addColumn<int>("highlight");
        QTest::addColumn<QVector<Dot>>("dots");
        QTest::newRow("narrower than 15: one dot") << 12 << 0 << QVector<Dot>{{10, 7, true}};
        QTest::newRow("18 apart") << 60 << 5
                                  << QVector<Dot>{{10, 3, false}, {28, 3, false}, {46, 3, false}};
        QTest::newRow("the square pushes on by 4")
            << 60 << 1 << QVector<Dot>{{10, 3, false}, {28, 7, true}, {50, 3, false}};
    }
    void dotPositions()
    {
        QFETCH(int, width);
        QFETCH(int, highlight);
        QTEST(IndicatorFrame::Dots(width, highlight), "dots");
    }

    void lighteningRule()
    {
        QCOMPARE(IndicatorFrame::Lighten(0xFF0000), quint32(0xFF5050));
        QCOMPARE(IndicatorFrame::Lighten(0xFF5050), quint32(0xFFA0A0));
        QCOMPARE(IndicatorFrame::Lighten(0x10C8F0), quint32(0x6AFFFF)); // each byte capped
        const auto blocks = IndicatorFrame::BlockColors(0xFF0000);
        QCOMPARE(blocks[0], quint32(0xFFA0A0));
        QCOMPARE(blocks[2], quint32(0xFF0000));
        QCOMPARE(IndicatorFrame::DotTop(30), 8); // 7.5 to the even 8
        QCOMPARE(IndicatorFrame::DotTop(28), 6); // 6.5 to the even 6
    }

    // The highlight rests three frames on each dot: light, bright, light.
    void highlightWalksAndPulses()
    {
        Indicator indicator;
        indicator.resize(60, 30); // three dots
        indicator.show();
        indicator.StartNow(); // frame 1: dot 0, light
        const int top = IndicatorFrame::DotTop(30);
        QImage image = WidgetProbe::render(indicator);
        QCOMPARE(WidgetProbe::at(image, 13, top + 3), QColor(0xFF, 0xC0, 0x80)); // 0x80C0FF
        QCOMPARE(WidgetProbe::at(image, 10, top), QColor(0, 0, 0));              // outline
        QCOMPARE(WidgetProbe::at(image, 33, top + 1), QColor(0, 0, 0xFF));       // a dot
        indicator.Step();                                                        // frame 2: bright
        image = WidgetProbe::render(indicator);
        QCOMPARE(WidgetProbe::at(image, 13, top + 3), QColor(0xFF, 0xFF, 0)); // 0xFFFF
        indicator.Step();
        QCOMPARE(indicator.frame().HighlightIndex, 1);
        for (int i = 0; i < 6; ++i)
            indicator.Step();
        QCOMPARE(indicator.frame().HighlightIndex, 0); // back after the last dot
    }

    void blocksSlideInLightenedColours()
    {
        Indicator indicator;
        indicator.resize(100, 20);
        indicator.setVisualEffect(1);
        indicator.show();
        indicator.StartNow(); // first frame at 8
        const QImage image = WidgetProbe::render(indicator);
        QCOMPARE(WidgetProbe::at(image, 8, 10), QColor(0xA0, 0xA0, 0xFF));
        QCOMPARE(WidgetProbe::at(image, 17, 10), QColor(0x50, 0x50, 0xFF));
        QCOMPARE(WidgetProbe::at(image, 31, 14), QColor(0, 0, 0xFF));
        QCOMPARE(WidgetProbe::at(image, 31, 15), QColor(0xD4, 0xD0, 0xC8)); // below: face
        for (int i = 0; i < 12; ++i)
            indicator.Step();
        QCOMPARE(indicator.frame().BlockPos, 104);
        indicator.Step();
        QCOMPARE(indicator.frame().BlockPos, 0); // past the width: back to the start
    }

    void lifecycle()
    {
        Indicator indicator;
        indicator.resize(60, 30);
        QVERIFY(!indicator.IsRunning());
        indicator.PauseNow(); // nothing to pause
        indicator.ResumeNow();
        QVERIFY(!indicator.isTicking());
        indicator.StartNow();
        for (int i = 0; i < 5; ++i)
            indicator.Step();
        indicator.StartNow(); // already running: keeps counting
        for (int i = 0; i < 5; ++i)
            indicator.Step();
        QCOMPARE(indicator.RunTimeInterval(), 1200);
        indicator.PauseNow();
        QVERIFY(indicator.IsRunning() && !indicator.isTicking());
        indicator.resize(80, 30); // a paused indicator keeps its frame at the new size
        QImage image = WidgetProbe::render(indicator);
        QCOMPARE(WidgetProbe::count(image, image.rect(), QColor(0, 0, 0xFF), 0), 4 * 4 * 3);
        indicator.ResumeNow();
        QVERIFY(indicator.isTicking());
        indicator.stopNow();
        QVERIFY(!indicator.IsRunning() && !indicator.isTicking());
        QCOMPARE(indicator.frame().HighlightIndex, 0);
        image = WidgetProbe::render(indicator);
        QCOMPARE(WidgetProbe::count(image, image.rect(), QColor(0xD4, 0xD0, 0xC8), 0),
                 80 * 30); // cleared
    }
};

QTEST_MAIN(TestIndicator)
#include "test_indicator.moc"
