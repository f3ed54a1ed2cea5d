// SPDX-License-Identifier: GPL-3.0-or-later
#include "controls/OleColor.h"
#include "controls/RowvaneView.h"
#include "lists/Rowvane.h"
#include "support/WidgetProbe.h"

#include <QMimeData>
#include <QScrollBar>
#include <QSignalSpy>
#include <QTest>

#include <memory>

using WidgetProbe::distance;

namespace {

constexpr quint32 Red = 0x0000FF; // colours are 0x00BBGGRR
constexpr quint32 Blue = 0xFF0000;
constexpr quint32 White = 0xFFFFFF;

// A list model and its view, shown offscreen with room for about ten rows.
struct Rig
{
    Rowvane model;
    std::unique_ptr<RowvaneView> view;
    QStringList events;

    explicit Rig(int rows, int style = 0)
    {
        model.setBackColor(White);
        model.setStyle(style);
        for (int i = 0; i < rows; ++i)
            model.AddItem(QStringLiteral("http://host.example/file-%1.jpg").arg(i));
        view = std::make_unique<RowvaneView>(model);
        view->resize(320, view->RowHeight() * 10 + view->RowHeight() / 2);
        view->show();
        auto record = [this](const QString& name) { return [this, name] { events << name; }; };
        QObject::connect(view.get(), &RowvaneView::MouseDown, record("MouseDown"));
        QObject::connect(view.get(), &RowvaneView::MouseUp, record("MouseUp"));
        QObject::connect(view.get(), &RowvaneView::Click, record("Click"));
        QObject::connect(view.get(), &RowvaneView::Checked, record("Checked"));
        QObject::connect(view.get(), &RowvaneView::UnChecked, record("UnChecked"));
    }
    int middle(int row) const
    {
        return (row - view->TopRow()) * view->RowHeight() + view->RowHeight() / 2;
    }
    QRect textArea(int row) const
    {
        const int top = (row - view->TopRow()) * view->RowHeight();
        return QRect(24, top + 2, 150, view->RowHeight() - 4);
    }
    QImage image() { return WidgetProbe::render(*view); }
};

} // namespace

class TestRowvaneView : public QObject
{
    Q_OBJECT

private slots:
    // A running row's background and a finished row's text colour come from the colour
    // table; a swap of red and blue must show.
    void rowColoursComeFromTheTables_data()
    {
        QTest::addColumn<quint32>("back");
        QTest::addColumn<quint32>("fore");
        QTest::addColumn<QColor>("backSeen");
        QTest::addColumn<QColor>("foreSeen");
        QTest::newRow("running: red on white")
            << quint32(White) << quint32(Red) << QColor(255, 255, 255) << QColor(255, 0, 0);
        QTest::newRow("blue text on red")
            << quint32(Red) << quint32(Blue) << QColor(255, 0, 0) << QColor(0, 0, 255);
    }
    void rowColoursComeFromTheTables()
    {
        QFETCH(quint32, back);
        QFETCH(quint32, fore);
        QFETCH(QColor, backSeen);
        QFETCH(QColor, foreSeen);
        Rig rig(3);
        rig.model.setListIndex(0);
        rig.model.SetAttribute(1, 0, rig.model.AddColor(back), rig.model.AddColor(fore));
        const QImage image = rig.image();
        QCOMPARE(WidgetProbe::at(image, 300, rig.middle(1)), backSeen);
        QVERIFY(distance(WidgetProbe::ink(image, rig.textArea(1), backSeen), foreSeen) < 90);
    }

    void currentRowHasSelectionColoursAndDottedFrame()
    {
        Rig rig(3);
        rig.model.setListIndex(1);
        const QImage image = rig.image();
        const int top = rig.view->RowHeight();
        const QColor selBack(0, 0, 255); // the defaults: white on blue
        const QColor selFore(255, 255, 255);
        QCOMPARE(WidgetProbe::at(image, 301, rig.middle(1)), selBack);
        // Dots every other pixel along the top and the left edge, down the row's height.
        QCOMPARE(WidgetProbe::at(image, 100, top), selFore);
        QCOMPARE(WidgetProbe::at(image, 101, top), selBack);
        QCOMPARE(WidgetProbe::at(image, 0, top + 2), selFore);
        QCOMPARE(WidgetProbe::at(image, 100, top + rig.view->RowHeight() - 1), selFore);
        // Its neighbours keep the list's own colours.
        QCOMPARE(WidgetProbe::at(image, 301, rig.middle(0)), QColor(Qt::white));
    }

    void checkMarksPerCheckStyle()
    {
        Rig rig(2, 1);
        rig.model.setSelected(0, true);
        rig.model.setListIndex(-1);
        // Drawn boxes: the tick's corner (8 px right, 9 px down from the box top) carries
        // the text colour on the checked row only.
        QImage image = rig.image();
        const int y0 = (rig.view->RowHeight() - 14) / 2;
        const QColor ink = OleColor::toQColor(rig.model.ForeColor());
        QVERIFY(distance(WidgetProbe::at(image, 8, y0 + 9), ink) < 60);
        QVERIFY(distance(WidgetProbe::at(image, 8, rig.view->RowHeight() + y0 + 9), ink) > 300);
        // Pictures: the ticked picture in front of the checked row, the empty one below.
        rig.model.setCheckStyle(1); // stored only: shows at the next redraw
        rig.model.Update();
        image = rig.image();
        const QImage ticked = rig.view->UnCheckIcon().toImage();
        const QImage empty = rig.view->CheckIcon().toImage();
        QCOMPARE(image.copy(2, y0, 14, 14), ticked.convertToFormat(QImage::Format_ARGB32));
        QCOMPARE(image.copy(2, rig.view->RowHeight() + y0, 14, 14),
                 empty.convertToFormat(QImage::Format_ARGB32));
    }

    void gridLinesAtEveryRowEdge()
    {
        Rig rig(3);
        rig.model.setListIndex(-1);
        rig.model.setGrid(true);
        rig.model.setGridColor(0x00C000);
        const QImage image = rig.image();
        const int h = rig.view->RowHeight();
        QCOMPARE(WidgetProbe::at(image, 250, h), QColor(0, 0xC0, 0));
        QCOMPARE(WidgetProbe::at(image, 250, 2 * h), QColor(0, 0xC0, 0));
        QCOMPARE(WidgetProbe::at(image, 250, h + h / 2), QColor(Qt::white));
    }

    void verticalBarAppearsAtOneRowMoreThanFits()
    {
        Rig rig(0);
        const int visible = rig.view->VisibleRows();
        QCOMPARE(visible, 10);
        for (int i = 0; i < visible; ++i)
            rig.model.AddItem(QString::number(i));
        QVERIFY(!rig.view->verticalScrollBar()->isVisible());
        rig.model.AddItem("one too many");
        QVERIFY(rig.view->verticalScrollBar()->isVisible());
        QCOMPARE(rig.view->verticalScrollBar()->maximum(), 1);
        QCOMPARE(rig.view->VisibleRows(), visible); // the bar takes width, not height
        rig.model.RemoveItem(0);
        QVERIFY(!rig.view->verticalScrollBar()->isVisible());
    }

    // The tallest font's line plus two pixels, or a taller check picture plus two.
    void rowHeightFollowsFontsAndCheckPictures()
    {
        Rig rig(3);
        const int plain = rig.view->RowHeight();
        QVERIFY(rig.model.AddFont(RowvaneFont{"Sans Serif", 20}));
        const int tall = rig.view->RowHeight();
        QVERIFY(tall > plain + 10);
        QPixmap big(30, 30);
        big.fill(Qt::red);
        const int width = rig.view->RowWidth(0);
        rig.view->setCheckIcon(big);
        QCOMPARE(rig.view->RowHeight(), std::max(tall, 32));
        QCOMPARE(rig.view->RowWidth(0), width + 16); // every row counts the picture's width
        rig.model.RemoveFont(1);
        QCOMPARE(rig.view->RowHeight(), 32);
        rig.view->setCheckIcon(QPixmap()); // the default picture again
        QCOMPARE(rig.view->RowHeight(), plain);
        QCOMPARE(rig.view->CheckIcon().size(), QSize(14, 14));
    }

    void tooLowForOneRowGrows()
    {
        Rig rig(3);
        rig.view->resize(200, 3);
        QVERIFY(rig.view->height() >= rig.view->RowHeight());
        QCOMPARE(rig.view->VisibleRows(), 1);
    }

    void keysMoveTheCurrentRow_data()
    {
        QTest::addColumn<int>("rows");
        QTest::addColumn<int>("top");
        QTest::addColumn<int>("current");
        QTest::addColumn<int>("key");
        QTest::addColumn<bool>("ctrl");
        QTest::addColumn<int>("wantCurrent");
        QTest::addColumn<int>("wantTop");
        QTest::addColumn<int>("clicks");
        QTest::newRow("down") << 30 << 0 << 3 << int(Qt::Key_Down) << false << 4 << 0 << 1;
        QTest::newRow("down scrolls") << 30 << 0 << 9 << int(Qt::Key_Down) << false << 10 << 1 << 1;
        QTest::newRow("down on last")
            << 30 << 20 << 29 << int(Qt::Key_Down) << false << 29 << 20 << 0;
        QTest::newRow("up on first") << 30 << 0 << 0 << int(Qt::Key_Up) << false << 0 << 0 << 0;
        QTest::newRow("page down")
            << 30 << 0 << 3 << int(Qt::Key_PageDown) << false << 10 << 10 << 1;
        QTest::newRow("page down on last page")
            << 30 << 15 << 16 << int(Qt::Key_PageDown) << false << 29 << 20 << 1;
        QTest::newRow("page up") << 30 << 15 << 16 << int(Qt::Key_PageUp) << false << 5 << 5 << 1;
        QTest::newRow("page up near top")
            << 30 << 4 << 6 << int(Qt::Key_PageUp) << false << 0 << 0 << 1;
        QTest::newRow("ctrl end") << 30 << 0 << 0 << int(Qt::Key_End) << true << 29 << 20 << 1;
        QTest::newRow("ctrl home") << 30 << 20 << 25 << int(Qt::Key_Home) << true << 0 << 0 << 1;
        QTest::newRow("home scrolls sideways only")
            << 30 << 20 << 25 << int(Qt::Key_Home) << false << 25 << 20 << 0;
        QTest::newRow("ctrl home on empty list")
            << 0 << 0 << -1 << int(Qt::Key_Home) << true << -1 << 0 << 0;
        QTest::newRow("page down on empty list")
            << 0 << 0 << -1 << int(Qt::Key_PageDown) << false << -1 << 0 << 0;
    }
    void keysMoveTheCurrentRow()
    {
        QFETCH(int, rows);
        QFETCH(int, top);
        QFETCH(int, current);
        QFETCH(int, key);
        QFETCH(bool, ctrl);
        Rig rig(rows);
        rig.model.setListIndex(current);
        rig.view->setTopRow(top);
        rig.events.clear();
        QTest::keyClick(rig.view.get(), Qt::Key(key), ctrl ? Qt::ControlModifier : Qt::NoModifier);
        QTEST(rig.model.ListIndex(), "wantCurrent");
        QTEST(rig.view->TopRow(), "wantTop");
        QTEST(int(rig.events.count("Click")), "clicks");
        QCOMPARE(rig.events.size(), rig.events.count("Click")); // keys raise nothing else
    }

    // A long row widens the surface; Right moves it by 150 twips; removing that row
    // brings the extent back without measuring every row again.
    void widestRowSetsTheHorizontalExtent()
    {
        Rig rig(5);
        QCOMPARE(rig.view->horizontalScrollBar()->maximum(), 0);
        rig.model.AddItem(QString(200, QLatin1Char('W')), 0, 0, 1, 2);
        QVERIFY(rig.view->horizontalScrollBar()->maximum() > 10);
        QVERIFY(rig.view->SurfaceWidth() >= rig.view->RowWidth(2));
        QTest::keyClick(rig.view.get(), Qt::Key_Right);
        QTest::keyClick(rig.view.get(), Qt::Key_Right);
        QCOMPARE(rig.view->HorizontalStep(), 2);
        QTest::keyClick(rig.view.get(), Qt::Key_Home);
        QCOMPARE(rig.view->HorizontalStep(), 0);
        rig.model.setList(4, QString(300, QLatin1Char('W')));
        QCOMPARE(rig.view->WidestWidth(), rig.view->RowWidth(4));
        rig.model.RemoveItem(4);
        rig.model.RemoveItem(2);
        QCOMPARE(rig.view->horizontalScrollBar()->maximum(), 0);
        QVERIFY(!rig.view->horizontalScrollBar()->isVisible());
    }

    void mouseEventsInOrder_data()
    {
        QTest::addColumn<int>("style");
        QTest::addColumn<bool>("manualClick");
        QTest::addColumn<int>("x");
        QTest::addColumn<int>("row");
        QTest::addColumn<QStringList>("events");
        QTest::addColumn<bool>("checked");
        QTest::addColumn<int>("current");
        const QStringList plain = {"MouseDown", "MouseUp", "Click"};
        const QStringList toggle = {"MouseDown", "Checked", "MouseUp", "Click"};
        QTest::newRow("check picture") << 1 << true << 5 << 2 << toggle << true << 2;
        QTest::newRow("right of the picture") << 1 << true << 60 << 2 << plain << false << 2;
        QTest::newRow("manual click off") << 1 << false << 5 << 2 << plain << false << 2;
        QTest::newRow("plain list") << 0 << true << 5 << 2 << plain << false << 2;
        QTest::newRow("below the last row")
            << 1 << true << 5 << 7 << QStringList{"MouseDown", "MouseUp"} << false << -1;
    }
    void mouseEventsInOrder()
    {
        QFETCH(int, style);
        QFETCH(bool, manualClick);
        QFETCH(int, x);
        QFETCH(int, row);
        Rig rig(4, style);
        rig.model.setManualClick(manualClick);
        rig.events.clear();
        QTest::mouseClick(rig.view->viewport(), Qt::RightButton, {}, QPoint(x, rig.middle(row)));
        QTEST(rig.events, "events");
        QTEST(rig.model.Selected(2), "checked");
        QTEST(rig.model.ListIndex(), "current");
    }

    void secondClickOnThePictureUnchecks()
    {
        Rig rig(4, 1);
        QSignalSpy unchecked(rig.view.get(), &RowvaneView::UnChecked);
        QTest::mouseClick(rig.view->viewport(), Qt::LeftButton, {}, QPoint(5, rig.middle(1)));
        QTest::mouseClick(rig.view->viewport(), Qt::LeftButton, {}, QPoint(5, rig.middle(1)));
        QCOMPARE(unchecked.count(), 1);
        QCOMPARE(unchecked.at(0).at(0).toInt(), 1);
        QVERIFY(!rig.model.Selected(1));
    }

    void dropsAreForwarded()
    {
        Rig rig(1);
        QString dropped;
        QObject::connect(rig.view.get(), &RowvaneView::OLEDragDrop,
                         [&](const QMimeData* data) { dropped = data->text(); });
        QMimeData data;
        data.setText("http://dropped.example/a.jpg");
        QDragEnterEvent enter(QPoint(10, 5), Qt::CopyAction, &data, Qt::LeftButton, {});
        QCoreApplication::sendEvent(rig.view->viewport(), &enter);
        QDropEvent drop(QPointF(10, 5), Qt::CopyAction, &data, Qt::LeftButton, {});
        QCoreApplication::sendEvent(rig.view->viewport(), &drop);
        QCOMPARE(dropped, data.text());
        rig.view->setOLEDropMode(0);
        QVERIFY(!rig.view->viewport()->acceptDrops());
    }
};

QTEST_MAIN(TestRowvaneView)
#include "test_rowvane_view.moc"
