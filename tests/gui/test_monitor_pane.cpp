// SPDX-License-Identifier: GPL-3.0-or-later
#include "controls/Artwork.h"
#include "manager/SlotMonitor.h"
#include "settings/Options.h"
#include "support/WidgetProbe.h"
#include "ui/MonitorPane.h"

#include <QSignalSpy>
#include <QTest>

#include <memory>

using WidgetProbe::distance;

namespace {

// A pane over `rows` slots, laid out as the window lays it out, its rows painted.
struct Pane
{
    SlotMonitor monitor;
    Options options;
    std::unique_ptr<MonitorPane> pane;

    explicit Pane(int rows)
    {
        monitor.CreateRows(rows);
        pane = std::make_unique<MonitorPane>(monitor, options);
        pane->resize(720, pane->sizeHint().height());
        pane->show();
        monitor.Flush();
    }
    QImage image() const { return WidgetProbe::render(*pane); }
    // Inside the bar at a share of its inner width, on the strip's middle line.
    QPoint inBar(int slot, double share) const
    {
        const QRect inner = pane->BarInnerRect(slot);
        return {inner.left() + int(share * (inner.width() - 1)), inner.center().y()};
    }
    // A spot of plain background in a row: between the bar and the text.
    QPoint background(int slot) const
    {
        return {pane->BarRect(slot).right() + 2, pane->RowRect(slot).center().y()};
    }
};

} // namespace

class TestMonitorPane : public QObject
{
    Q_OBJECT

private slots:
    // Background, text, bar back and border from "ColorSettings" 0, 1, 3 and 4; a new
    // scheme repaints every row.
    void rowsTakeTheSchemeColours()
    {
        Pane p(3);
        QVERIFY(p.options.setColorSettings("4210752;65535;0;8421504;16711680;0;0"));
        QImage image = p.image();
        for (int slot = 0; slot < 3; ++slot)
            QCOMPARE(WidgetProbe::at(image, p.background(slot).x(), p.background(slot).y()),
                     QColor(64, 64, 64));
        const QRect bar = p.pane->BarRect(1);
        QCOMPARE(WidgetProbe::at(image, bar.left(), bar.center().y()), QColor(0, 0, 255));
        QCOMPARE(WidgetProbe::at(image, bar.center().x(), bar.center().y()), QColor(128, 128, 128));
        const QRect number(p.pane->RowRect(2).left(), p.pane->RowRect(2).top(),
                           p.pane->LampRect(2).left() - p.pane->RowRect(2).left(),
                           p.pane->RowRect(2).height());
        QVERIFY(distance(WidgetProbe::ink(image, number, QColor(64, 64, 64)), QColor(255, 255, 0)) <
                60);

        QVERIFY(p.options.setColorSettings("8388608;16777215;0;0;0;0;0"));
        image = p.image();
        QCOMPARE(WidgetProbe::at(image, p.background(2).x(), p.background(2).y()),
                 QColor(0, 0, 128));
    }

    void lampShowsTheSocketState_data()
    {
        QTest::addColumn<int>("state");
        QTest::addColumn<QColor>("fill");
        QTest::addColumn<bool>("yellowRim");
        QTest::newRow("connected") << 7 << QColor(255, 134, 66) << true;
        QTest::newRow("error") << 9 << QColor(255, 0, 0) << false;
        QTest::newRow("closing") << 8 << QColor(0, 0, 255) << false;
        QTest::newRow("connecting") << 6 << QColor(160, 156, 88) << false;
        QTest::newRow("closed") << 0 << QColor(132, 0, 0) << false;
    }
    void lampShowsTheSocketState()
    {
        QFETCH(int, state);
        QFETCH(QColor, fill);
        QFETCH(bool, yellowRim);
        Pane p(3);
        p.monitor.SetLamp(1, state);
        p.monitor.Flush();
        const QImage image = p.image();
        const QRect lamp = p.pane->LampRect(1);
        QVERIFY(distance(WidgetProbe::at(image, lamp.center().x(), lamp.center().y()), fill) < 12);
        QCOMPARE(WidgetProbe::count(image, lamp, QColor(255, 255, 0), 40) > 0, yellowRim);
    }

    // The fill covers FillPercent of the bar's inner width; below 0.5 % nothing.
    void progressFillsItsShare_data()
    {
        QTest::addColumn<double>("percent");
        QTest::addColumn<double>("at");
        QTest::addColumn<bool>("filled");
        QTest::newRow("50 %, a quarter in") << 50.0 << 0.25 << true;
        QTest::newRow("50 %, three quarters in") << 50.0 << 0.75 << false;
        QTest::newRow("0.4 %, first pixel") << 0.4 << 0.0 << false;
        QTest::newRow("0.5 %, first pixel") << 0.5 << 0.0 << true;
        QTest::newRow("100 %, last pixel") << 100.0 << 1.0 << true;
    }
    void progressFillsItsShare()
    {
        QFETCH(double, percent);
        QFETCH(double, at);
        QFETCH(bool, filled);
        Pane p(2);
        p.monitor.SetProgress(1, percent);
        p.monitor.Flush();
        const QPoint spot = p.inBar(1, at);
        const QColor back(0, 0, 147); // "Progress Back Color" of the default scheme
        QCOMPARE(distance(WidgetProbe::at(p.image(), spot.x(), spot.y()), back) > 60, filled);
    }

    // Choosing another progress picture repaints the bars with its strip.
    void progressStyleRepaintsTheFill()
    {
        Pane p(2);
        p.monitor.SetProgress(0, 100);
        p.monitor.Flush();
        const QPoint spot = p.inBar(0, 0.5);
        const int stripRow = spot.y() - p.pane->BarInnerRect(0).top();
        for (int style : {1, 4, 7}) {
            p.options.setPBarStyle(style);
            const QColor strip =
                Artwork::image(Artwork::progressStrip(style)).pixelColor(0, stripRow);
            QVERIFY2(distance(WidgetProbe::at(p.image(), spot.x(), spot.y()), strip) < 30,
                     qPrintable(QString::number(style)));
        }
    }

    void rightPressOpensTheSlotMenu()
    {
        Pane p(5);
        QSignalSpy menu(p.pane.get(), &MonitorPane::slotMenuRequested);
        const QPoint inRow3 = p.pane->RowRect(2).center();
        const QColor before = WidgetProbe::at(p.image(), p.background(2).x(), p.background(2).y());
        QTest::mousePress(p.pane.get(), Qt::RightButton, {}, inRow3);
        QCOMPARE(menu.count(), 1);
        QCOMPARE(menu.at(0).at(0).toInt(), 2);
        QCOMPARE(menu.at(0).at(1).toPoint(), p.pane->mapToGlobal(inRow3));
        QCOMPARE(p.pane->HighlightedSlot(), 2);
        // The row is marked, its neighbours are not.
        const QImage image = p.image();
        QVERIFY(WidgetProbe::at(image, p.background(2).x(), p.background(2).y()) != before);
        QCOMPARE(WidgetProbe::at(image, p.background(1).x(), p.background(1).y()), before);

        // Not a row: the frame above and below, or a left press.
        QTest::mousePress(p.pane.get(), Qt::RightButton, {}, QPoint(50, 2));
        QTest::mousePress(p.pane.get(), Qt::RightButton, {},
                          QPoint(50, p.pane->RowRect(4).bottom() + 3));
        QTest::mousePress(p.pane.get(), Qt::LeftButton, {}, p.pane->RowRect(4).center());
        QCOMPARE(menu.count(), 1);
        QCOMPARE(p.pane->HighlightedSlot(), 2);
        // The last separator is below the rows.
        QCOMPARE(p.pane->slotAt(p.pane->RowRect(4).bottom() + 1), -1);
    }

    // Rows created after the pane: it grows to hold all of them, up to twenty.
    void heightFollowsTheRows()
    {
        SlotMonitor monitor;
        Options options;
        MonitorPane pane(monitor, options);
        const int empty = pane.sizeHint().height();
        monitor.CreateRows(1);
        monitor.Flush();
        const int one = pane.sizeHint().height();
        monitor.CreateRows(20);
        monitor.Flush();
        const int pitch = one - empty;
        QVERIFY(pitch >= QFontMetrics(pane.font()).height() + 6);
        QCOMPARE(pane.sizeHint().height(), empty + 20 * pitch);
        QCOMPARE(pane.minimumSizeHint().height(), pane.sizeHint().height());
        pane.resize(700, pane.sizeHint().height());
        QVERIFY(pane.RowRect(19).bottom() < pane.height() - 4); // inside the bevel
        QCOMPARE(pane.slotAt(pane.RowRect(19).center().y()), 19);
    }
};

QTEST_MAIN(TestMonitorPane)
#include "test_monitor_pane.moc"
