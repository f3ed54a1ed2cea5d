// SPDX-License-Identifier: GPL-3.0-or-later
#include "ManagerRig.h"
#include "controls/Artwork.h"
#include "controls/Tagleaf.h"
#include "lists/JobList.h"
#include "support/WidgetProbe.h"
#include "ui/StatusBarPane.h"

#include <QLabel>
#include <QSignalSpy>
#include <QTest>

using WidgetProbe::distance;

namespace {

const QColor Red(255, 0, 0), Yellow(255, 255, 0);

struct Bar
{
    ManagerRig rig{1};
    StatusBarPane pane{*rig.m};

    Bar()
    {
        pane.resize(1200, pane.sizeHint().height());
        pane.show();
        if (!QTest::qWaitForWindowExposed(&pane))
            qWarning("status bar not exposed");
    }
    QImage image() { return WidgetProbe::render(pane); }
    // A spot of the bar's own background, between the graph and the message.
    QPoint background() const { return {pane.GraphRect().right() + 6, 3}; }
    QColor tile(Artwork::Picture picture) const
    {
        return Artwork::image(picture).scaled(16, pane.height()).pixelColor(0, background().y());
    }
};

} // namespace

class TestStatusBar : public QObject
{
    Q_OBJECT

private slots:
    // Newest column at the right: value 17 (or more) reaches the top in red with a yellow
    // point; a zero column is a yellow foot. Blank after a run, whatever the history.
    void graphDrawsTheSpeedHistory()
    {
        Bar bar;
        const QRect g = bar.pane.GraphRect();
        QCOMPARE(g.size(), QSize(58, 18));
        QCOMPARE(WidgetProbe::count(bar.image(), g, Red, 0), 0); // blank at start-up

        for (const int kb : {0, 40, 17}) {
            bar.rig.m->Meter().Tick(qint64(kb) * 1024, 0);
        }
        Q_EMIT bar.rig.m->MeterChanged();
        QImage image = bar.image();
        auto at = [&](int x, int y) { return WidgetProbe::at(image, g.left() + x, g.top() + y); };
        for (int x : {56, 57}) { // 40 and 17 KB: full columns
            QCOMPARE(at(x, 0), Yellow);
            for (int y = 1; y <= 17; ++y)
                QCOMPARE(at(x, y), Red);
        }
        QCOMPARE(at(55, 17), Yellow); // 0 KB
        QVERIFY(distance(at(55, 16), Red) > 100);
        QCOMPARE(bar.pane.MeterLabel()->text(),
                 QStringLiteral("  Download Speed:17.0KB/Sec     Total Download:00.0MB"));

        bar.rig.m->Meter().BlankGraph();
        Q_EMIT bar.rig.m->RunFinished();
        image = bar.image();
        QCOMPARE(WidgetProbe::count(image, g, Red, 0), 0);
        QCOMPARE(WidgetProbe::count(image, g, Yellow, 0), 0);
    }

    // Over the bar while idle the highlighted background; over the message or the meter
    // the normal one again; while a run goes never.
    void hoverHighlightsOnlyWhileIdle()
    {
        Bar bar;
        const QColor normal = bar.tile(Artwork::StatusBar), lit = bar.tile(Artwork::StatusBarHover);
        QVERIFY(distance(normal, lit) > 40);
        auto shown = [&] {
            const QPoint spot = bar.background();
            return WidgetProbe::at(bar.image(), spot.x(), spot.y());
        };
        QVERIFY(distance(shown(), normal) < 12);

        QTest::mouseMove(&bar.pane, bar.background());
        QTRY_VERIFY(bar.pane.Highlighted());
        QVERIFY(distance(shown(), lit) < 12);
        QTest::mouseMove(bar.pane.MessageLabel(), QPoint(5, 5));
        QTRY_VERIFY(!bar.pane.Highlighted());
        QVERIFY(distance(shown(), normal) < 12);
        QTest::mouseMove(&bar.pane, bar.background());
        QTRY_VERIFY(bar.pane.Highlighted());
        QTest::mouseMove(bar.pane.MeterLabel(), QPoint(5, 5));
        QTRY_VERIFY(!bar.pane.Highlighted());

        // A run starts under the mouse: the highlight goes and does not come back.
        QTest::mouseMove(&bar.pane, bar.background());
        QTRY_VERIFY(bar.pane.Highlighted());
        bar.rig.m->State().IsIdle = false;
        Q_EMIT bar.rig.m->CommandsChanged();
        QVERIFY(!bar.pane.Highlighted());
        QTest::mouseMove(&bar.pane, bar.background() + QPoint(2, 1));
        QTest::qWait(50);
        QVERIFY(!bar.pane.Highlighted());
        QVERIFY(distance(shown(), normal) < 12);
    }

    // The message follows the status line: coloured runs while formatting is on, plain in
    // the text colour otherwise; the list and block labels follow the job list.
    void labelsFollowTheCore()
    {
        Bar bar;
        Tagleaf* message = bar.pane.MessageLabel();
        const QColor well(0, 0, 147);
        bar.rig.m->Jobs().AddJobs("http://a.example/1\nhttp://a.example/2\nhttp://a.example/3");
        bar.rig.m->gStatEx(true);
        QCOMPARE(message->Caption(), bar.rig.m->Status().CounterLine());
        QImage image = bar.image();
        auto firstInk = [&] {
            const QRect piece = message->layoutPieces().at(0).rect.translated(message->pos());
            return WidgetProbe::ink(image, piece, well);
        };
        QVERIFY(distance(firstInk(), QColor(128, 128, 255)) < 60); // "Status: " &HFF8080

        bar.rig.m->gStatEx(false, QStringLiteral("INACTIVE "));
        image = bar.image();
        QVERIFY(distance(firstInk(), QColor(128, 255, 255)) < 60); // ColorSettings 1

        QCOMPARE(bar.pane.ListLabel()->text(), bar.rig.m->Jobs().ListCaption());
        QVERIFY(bar.pane.ListLabel()->text().endsWith(QStringLiteral("/3")));
        bar.rig.m->Jobs().PutBlock(1);
        QCOMPARE(bar.pane.BlockLabel()->text(), QStringLiteral("Block: ON"));

        QSignalSpy clicked(&bar.pane, &StatusBarPane::blockLabelClicked);
        QTest::mouseClick(bar.pane.BlockLabel(), Qt::LeftButton);
        QCOMPARE(clicked.count(), 1);
        QTest::mouseClick(bar.pane.ListLabel(), Qt::LeftButton);
        QTest::mouseClick(bar.pane.BlockLabel(), Qt::RightButton);
        QCOMPARE(clicked.count(), 1);
    }
};

QTEST_MAIN(TestStatusBar)
#include "test_status_bar.moc"
