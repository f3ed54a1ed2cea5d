// SPDX-License-Identifier: GPL-3.0-or-later
// The owner-drawn controls, rendered offscreen and sampled where a pixel carries meaning,
// and driven with real mouse and key events.
#include "controls/Artwork.h"
#include "controls/ArtworkPainter.h"
#include "controls/CHeader.h"
#include "controls/Indicator.h"
#include "controls/OleColor.h"
#include "controls/RowvaneView.h"
#include "controls/Tagleaf.h"
#include "lists/Rowvane.h"
#include "support/WidgetProbe.h"

#include <QLineEdit>
#include <QScrollBar>
#include <QSignalSpy>
#include <QTest>

#include <memory>

using namespace WidgetProbe;
using Dot = IndicatorFrame::Dot;

namespace {

const QColor Face(0xD4, 0xD0, 0xC8), White(Qt::white), Black(Qt::black), Red(Qt::red),
    Blue(Qt::blue), Green(0, 0xC0, 0);

QPixmap solid(QColor colour, int size = 16)
{
    QPixmap pixmap(size, size);
    pixmap.fill(colour);
    return pixmap;
}

// A list model and its view with room for ten and a half rows; its events in order.
struct ListRig
{
    Rowvane model;
    std::unique_ptr<RowvaneView> view;
    QStringList events;

    explicit ListRig(int rows, int style = 0)
    {
        model.setBackColor(0xFFFFFF);
        model.setStyle(style);
        for (int i = 0; i < rows; ++i)
            model.AddItem(QStringLiteral("http://host.example/file-%1.jpg").arg(i));
        view = std::make_unique<RowvaneView>(model);
        view->resize(320, view->RowHeight() * 21 / 2);
        view->show();
        auto log = [this](const char* name) { return [this, name] { events << name; }; };
        QObject::connect(view.get(), &RowvaneView::MouseDown, log("MouseDown"));
        QObject::connect(view.get(), &RowvaneView::MouseUp, log("MouseUp"));
        QObject::connect(view.get(), &RowvaneView::Click, log("Click"));
        QObject::connect(view.get(), &RowvaneView::Checked, log("Checked"));
        QObject::connect(view.get(), &RowvaneView::UnChecked, log("UnChecked"));
    }
    int middle(int row) const
    {
        return (row - view->TopRow()) * view->RowHeight() + view->RowHeight() / 2;
    }
};

} // namespace

class TestControls : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    // The stored pictures and the desktop's icons are what the drawing code gives today;
    // settings numbers clamp to the pictures there are; an unknown tool gets the icon.
    void artwork()
    {
        for (int i = 0; i < Artwork::PictureCount; ++i)
            QVERIFY2(argb(Artwork::image(Artwork::Picture(i))) ==
                         argb(ArtworkPainter::draw(Artwork::Picture(i))),
                     qPrintable(Artwork::name(Artwork::Picture(i))));
        for (const int size : ArtworkPainter::AppIconSizes) {
            const QImage drawn = ArtworkPainter::appIcon(size);
            const QColor inside = drawn.pixelColor(size / 10, size / 2);
            QVERIFY(drawn.size() == QSize(size, size) && drawn.pixelColor(0, 0).alpha() == 0);
            QVERIFY(inside.alpha() == 255 && inside.blue() > inside.red() + 60);
            const QString path = QStringLiteral(HARVEX_SOURCE_DIR "/packaging/icons/hicolor/"
                                                                  "%1x%1/apps/harvex.png")
                                     .arg(size);
            QVERIFY2(argb(QImage(path)) == argb(drawn), qPrintable(path + " differs"));
        }
        QCOMPARE(Artwork::progressStrip(0), Artwork::ProgressBlue);
        QCOMPARE(Artwork::progressStrip(11), Artwork::ProgressSky);
        QCOMPARE(Artwork::toolbarBackground(-3), Artwork::ToolbarSilver);
        QCOMPARE(Artwork::toolbarBackground(8), Artwork::ToolbarSteel);
        QCOMPARE(Artwork::toolbarIcon("nope"), Artwork::AppIcon);
    }

    // Border styles seen at (0,0), (1,1), (2,2), the right and the bottom edge; the
    // caption in its colour, shadow and disabled colour; icon by tag and state; picture.
    void header()
    {
        const QColor High(0x40, 0x40, 0x40);
        const QList<QColor> borders[] = {{Face, Face, Face, Face, Face},
                                         {High, Face, Face, High, High},
                                         {High, High, Face, High, High},
                                         {Face, Face, Face, White, White}};
        CHeader header;
        header.resize(200, 22);
        for (int border = 0; border < 4; ++border) {
            header.setHeaderBorder(border);
            const QImage i = render(header);
            QCOMPARE((QList<QColor>{i.pixelColor(0, 0), i.pixelColor(1, 1), i.pixelColor(2, 2),
                                    i.pixelColor(199, 11), i.pixelColor(60, 21)}),
                     borders[border]);
        }
        header.setCaption("Download\r\nMonitor"); // line breaks kept as characters 1 and 2
        QCOMPARE(header.Caption(), QString("Download") + QChar(1) + QChar(2) + "Monitor");
        header.setForeColor(0x0000FF);
        header.setDisabledForeColor(0xFF0000);
        const QRect caption(40, 2, 120, 18);
        QVERIFY(distance(ink(render(header), caption, Face), Red) < 90);
        QCOMPARE(count(render(header), caption, Green, 60), 0);
        header.setUserShadow(true);
        header.setShadowColor(0x00C000);
        QVERIFY(count(render(header), caption, Green, 60) > 5);
        header.setUserShadow(false);
        header.setEnabled(false);
        QVERIFY(distance(ink(render(header), caption, Face), Blue) < 90);

        header.setHeaderPicture(solid(Green, 2)); // stretched over the whole fill
        QCOMPARE(render(header).pixelColor(150, 18), Green);
        header.SetPlusIcon(solid(Red));
        header.SetMinusIcon(solid(Black));
        header.SetDisabledPlusIcon(solid(Blue));
        const QPoint icon = header.iconRect().center();
        QCOMPARE(icon.y(), 10);
        QCOMPARE(render(header).pixelColor(icon), Blue);
        header.setEnabled(true);
        QCOMPARE(render(header).pixelColor(icon), Red);
        header.setIconTag("-");
        QCOMPARE(render(header).pixelColor(icon), Black);

        QSignalSpy down(&header, &CHeader::MouseDown), up(&header, &CHeader::MouseUp);
        QTest::mouseClick(&header, Qt::LeftButton, Qt::ShiftModifier, QPoint(30, 5));
        QVERIFY(down.at(0).at(2).toPoint() == QPoint(30, 5) && up.count() == 1);
    }

    // Dots 18 apart from x 10; the highlighted square is 4 wider and pushes the rest on;
    // the highlight rests three frames on each dot (light, bright, light) and walks on.
    // Blocks: the first frame at 8, lightened twice, once, then the colour.
    void indicator()
    {
        QCOMPARE(IndicatorFrame::Dots(12, 0), (QVector<Dot>{{10, 7, true}}));
        QCOMPARE(IndicatorFrame::Dots(60, 1),
                 (QVector<Dot>{{10, 3, false}, {28, 7, true}, {50, 3, false}}));
        QCOMPARE(IndicatorFrame::Lighten(0x10C8F0), quint32(0x6AFFFF)); // each byte capped
        QCOMPARE(IndicatorFrame::BlockColors(0xFF0000)[0], quint32(0xFFA0A0));
        QCOMPARE(IndicatorFrame::DotTop(30), 8); // 7.5 to the even 8
        QCOMPARE(IndicatorFrame::DotTop(28), 6); // 6.5 to the even 6

        Indicator dots;
        dots.resize(60, 30);
        dots.show();
        dots.ResumeNow(); // nothing to resume
        QVERIFY(!dots.isTicking());
        dots.StartNow();
        QImage image = render(dots);
        QCOMPARE(image.pixelColor(13, 11), QColor(0xFF, 0xC0, 0x80));
        QCOMPARE(image.pixelColor(10, 8), Black); // outline
        QCOMPARE(image.pixelColor(33, 9), Blue);
        dots.Step();
        QCOMPARE(render(dots).pixelColor(13, 11), QColor(0xFF, 0xFF, 0));
        dots.Step();
        QCOMPARE(dots.frame().HighlightIndex, 1);
        for (int i = 0; i < 6; ++i)
            dots.Step();
        QCOMPARE(dots.frame().HighlightIndex, 0); // back after the last dot
        dots.StartNow();                          // already running: keeps counting
        QCOMPARE(dots.RunTimeInterval(), 8 * 120);
        dots.PauseNow();
        QVERIFY(dots.IsRunning() && !dots.isTicking());
        dots.resize(80, 30); // paused: the frame is kept at the new size
        QCOMPARE(count(render(dots), dots.rect(), Blue, 0), 4 * 4 * 3);
        dots.ResumeNow();
        QVERIFY(dots.isTicking());
        dots.stopNow();
        QVERIFY(!dots.IsRunning() && !dots.isTicking());
        QCOMPARE(count(render(dots), dots.rect(), Face, 0), 80 * 30);

        Indicator blocks;
        blocks.resize(100, 20);
        blocks.setVisualEffect(1);
        blocks.show();
        blocks.StartNow();
        image = render(blocks);
        QCOMPARE((QList<QColor>{image.pixelColor(8, 10), image.pixelColor(17, 10),
                                image.pixelColor(31, 14), image.pixelColor(31, 15)}),
                 (QList<QColor>{QColor(0xA0, 0xA0, 0xFF), QColor(0x50, 0x50, 0xFF), Blue, Face}));
        for (int i = 0; i < 12; ++i)
            blocks.Step();
        QCOMPARE(blocks.frame().BlockPos, 104);
        blocks.Step();
        QCOMPARE(blocks.frame().BlockPos, 0); // past the width: back to the start
    }

    // Runs as "L<length> <back> <fore> <styles>", colours in hex.
    void tagleafFormat()
    {
        const char* cases[][2] = {
            {";;", ""},
            {"L=5,FC=255;L=3,Font=bu", "L5 ffffff ff |L3 ffffff 0 bu"},
            {";l=19;L=8,bc=255;", "L19 ffffff 0 |L8 ff 0 "}, // lower case, outer ; dropped
            {"fc=&HFF00,font=SUIB", "L0 ffffff ff00 bius"},
            {"L=2;;L=3", "L2 ffffff 0 |L0 ffffff 0 |L3 ffffff 0 "}, // empty keeps its place
            {"L=,FC=x", "L0 ffffff 0 "},
            {"X=1,L 5,=,,Lx=4", "L0 ffffff 0 "},
            {"L=99999999999", "L32767 ffffff 0 "},
            {"L=-4", "L0 ffffff 0 "},
            {"L= 7", "L7 ffffff 0 "},
        };
        TagleafRun plain;
        plain.BackColor = 0xFFFFFF;
        plain.ForeColor = 0;
        for (const auto& c : cases) {
            QStringList got;
            for (const TagleafRun& r : TagleafFormat::Parse(c[0], plain))
                got << QStringLiteral("L%1 %2 %3 ")
                               .arg(r.Length)
                               .arg(r.BackColor, 0, 16)
                               .arg(r.ForeColor, 0, 16) +
                           (r.Bold ? "b" : "") + (r.Italic ? "i" : "") + (r.Underline ? "u" : "") +
                           (r.Strikethrough ? "s" : "");
            QCOMPARE(got.join('|'), QString(c[1]));
        }
    }

    // Five red characters, three bold underlined, the rest plain; a filled run's corners
    // go back to the label's white when rounded. Lines end at the width, after a blank
    // where there is one, and lose no character. A double-click opens a read-only copy
    // box from EditStart on, gone without focus.
    void tagleaf()
    {
        Tagleaf label;
        label.setBackColor(0xFFFFFF);
        label.setForeColor(0);
        label.resize(400, 30);
        label.setCaption("MMMMMMMMMMMMMMMM");
        label.setFormatString("L=5,FC=255;L=3,Font=bu");
        label.show();
        QImage image = render(label);
        const auto pieces = label.layoutPieces();
        QVERIFY(pieces.size() == 3 && pieces.at(2).length == 8);
        QVERIFY(distance(ink(image, pieces.at(0).rect, White), Red) < 90);
        QVERIFY(distance(ink(image, pieces.at(1).rect, White), Black) < 90);
        auto underlined = [&](const QRect& r) { // a row of ink from end to end
            for (int y = r.top() + r.height() / 2; y <= r.bottom(); ++y)
                if (count(image, {r.left() + 1, y, r.width() - 2, 1}, Black, 150) == r.width() - 2)
                    return true;
            return false;
        };
        QVERIFY(underlined(pieces.at(1).rect) && !underlined(pieces.at(2).rect));

        label.setCaption("ab    cd");
        for (bool rounded : {true, false}) {
            label.setRoundedFill(rounded);
            label.setFormatString("l=2;l=4,bc=&HFF0000");
            image = render(label);
            const QRect r = label.layoutPieces().at(1).rect,
                        first = label.layoutPieces().at(0).rect;
            QCOMPARE(image.pixelColor(r.topLeft()), rounded ? White : Blue);
            QCOMPARE(image.pixelColor(r.bottomRight()), rounded ? White : Blue);
            QCOMPARE(image.pixelColor(r.left() + 1, r.top()), Blue);
            QCOMPARE(image.pixelColor(first.right(), first.top()), White); // not filled
        }

        label.resize(60, 80);
        label.setCaption("alpha beta gamma delta epsilon");
        label.setFormatString("L=30,FC=255");
        int characters = 0;
        for (const auto& piece : label.layoutPieces()) {
            characters += piece.length;
            QVERIFY(piece.rect.right() < 60 && piece.rect.top() < 80);
            QVERIFY(piece.from + piece.length == 30 ||
                    label.Caption().at(piece.from + piece.length - 1) == QLatin1Char(' '));
        }
        QVERIFY(characters == 30 && label.layoutPieces().last().rect.top() > 0);

        label.resize(300, 24);
        label.setCaption("Colour: 0x00FF00");
        QSignalSpy doubles(&label, &Tagleaf::DblClick);
        QTest::mouseDClick(&label, Qt::LeftButton, {}, QPoint(5, 5));
        QVERIFY(doubles.count() == 1 && !label.editBox()); // EditStart -1: only the event
        label.setEditStart(9);
        QTest::mouseDClick(&label, Qt::LeftButton, {}, QPoint(5, 5));
        QLineEdit* box = label.editBox();
        QVERIFY(box && box->isVisible() && box->isReadOnly());
        QCOMPARE(box->text(), QString("0x00FF00"));
        QCOMPARE(box->pos(), QPoint(label.fontMetrics().horizontalAdvance("Colour: ") + 2, -1));
        QFocusEvent focusOut(QEvent::FocusOut);
        QCoreApplication::sendEvent(box, &focusOut);
        QVERIFY(!label.editBox());
    }

    // A row's colours from the colour tables; the current row in selection colours with
    // a dotted frame; grid lines; drawn ticks in the text colour, or the pictures.
    void listPaints()
    {
        ListRig rig(3, 1);
        const int h = rig.view->RowHeight(), y0 = (h - 14) / 2;
        rig.model.setListIndex(1);
        rig.model.setSelected(0, true);
        rig.model.SetAttribute(2, 0, rig.model.AddColor(0x0000FF), rig.model.AddColor(0xFF0000));
        QImage image = render(*rig.view);
        QCOMPARE(image.pixelColor(300, rig.middle(2)), Red);
        QVERIFY(distance(ink(image, QRect(24, 2 * h + 2, 150, h - 4), Red), Blue) < 90);
        const QColor text = OleColor::toQColor(rig.model.ForeColor());
        // Current row and its dotted frame (every other pixel), another row, a tick's corner.
        QCOMPARE((QList<QColor>{image.pixelColor(301, rig.middle(1)), image.pixelColor(100, h),
                                image.pixelColor(101, h), image.pixelColor(100, 2 * h - 1),
                                image.pixelColor(301, rig.middle(0))}),
                 (QList<QColor>{Blue, White, Blue, White, White}));
        QVERIFY(distance(image.pixelColor(8, y0 + 9), text) < 60);
        QVERIFY(distance(image.pixelColor(8, 2 * h + y0 + 9), text) > 300);

        rig.model.setListIndex(-1);
        rig.model.setCheckStyle(1); // stored only: shows at the next redraw
        rig.model.Update();
        image = render(*rig.view);
        QCOMPARE(image.copy(2, y0, 14, 14), argb(rig.view->UnCheckIcon().toImage()));
        QCOMPARE(image.copy(2, h + y0, 14, 14), argb(rig.view->CheckIcon().toImage()));
        rig.model.setGrid(true);
        rig.model.setGridColor(0x00C000);
        image = render(*rig.view);
        QCOMPARE(image.pixelColor(250, h), Green);
        QCOMPARE(image.pixelColor(250, h + h / 2), White);
    }

    // The vertical bar at one row more than fits; the horizontal from the widest row,
    // kept without measuring every row again; the row height from the tallest font or
    // check picture, plus two.
    void listGeometry()
    {
        ListRig rig(10);
        QScrollBar *bar = rig.view->verticalScrollBar(), *across = rig.view->horizontalScrollBar();
        QVERIFY(rig.view->VisibleRows() == 10 && !bar->isVisible());
        rig.model.AddItem("one too many");
        QVERIFY(bar->isVisible() && bar->maximum() == 1 && rig.view->VisibleRows() == 10);
        rig.model.RemoveItem(0);
        QVERIFY(!bar->isVisible() && across->maximum() == 0);
        rig.model.AddItem(QString(200, QLatin1Char('W')), 0, 0, 1, 2);
        QVERIFY(across->maximum() > 10 && rig.view->SurfaceWidth() >= rig.view->RowWidth(2));
        QTest::keyClick(rig.view.get(), Qt::Key_Right);
        QTest::keyClick(rig.view.get(), Qt::Key_Right);
        QCOMPARE(rig.view->HorizontalStep(), 2);
        QTest::keyClick(rig.view.get(), Qt::Key_Home);
        QCOMPARE(rig.view->HorizontalStep(), 0);
        rig.model.setList(4, QString(300, QLatin1Char('W')));
        QCOMPARE(rig.view->WidestWidth(), rig.view->RowWidth(4));
        rig.model.RemoveItem(4);
        rig.model.RemoveItem(2);
        QCOMPARE(across->maximum(), 0);

        const int plain = rig.view->RowHeight(), width = rig.view->RowWidth(0);
        QVERIFY(rig.model.AddFont(RowvaneFont{"Sans Serif", 20}));
        QVERIFY(rig.view->RowHeight() > plain + 10);
        rig.model.RemoveFont(1);
        rig.view->setCheckIcon(solid(Red, 30));
        QCOMPARE(rig.view->RowHeight(), 32);
        QCOMPARE(rig.view->RowWidth(0), width + 16); // every row counts the picture's width
        rig.view->setCheckIcon(QPixmap());
        QCOMPARE(rig.view->RowHeight(), plain);
        rig.view->resize(200, 3); // too low for one row: it grows
        QCOMPARE(rig.view->VisibleRows(), 1);
    }

    // Keys move the current row and the top row; a move raises Click and nothing else.
    void listKeys()
    {
        const auto Ctrl = int(Qt::ControlModifier);
        const int cases[][6] = {
            // rows, top, current, key, current and top after it
            {30, 0, 3, Qt::Key_Down, 4, 0},         {30, 0, 9, Qt::Key_Down, 10, 1},
            {30, 20, 29, Qt::Key_Down, 29, 20},     {30, 0, 0, Qt::Key_Up, 0, 0},
            {30, 0, 3, Qt::Key_PageDown, 10, 10},   {30, 15, 16, Qt::Key_PageDown, 29, 20},
            {30, 15, 16, Qt::Key_PageUp, 5, 5},     {30, 4, 6, Qt::Key_PageUp, 0, 0},
            {30, 0, 0, Qt::Key_End | Ctrl, 29, 20}, {30, 20, 25, Qt::Key_Home | Ctrl, 0, 0},
            {30, 20, 25, Qt::Key_Home, 25, 20},     {0, 0, -1, Qt::Key_Home | Ctrl, -1, 0},
            {0, 0, -1, Qt::Key_PageDown, -1, 0},    {30, 10, 12, Qt::Key_PageDown, 20, 20},
        };
        for (const auto& c : cases) {
            ListRig rig(c[0]);
            rig.model.setListIndex(c[2]);
            rig.view->setTopRow(c[1]);
            rig.events.clear();
            QTest::keyClick(rig.view.get(), Qt::Key(c[3] & ~Ctrl),
                            Qt::KeyboardModifiers(c[3] & Ctrl));
            QCOMPARE(QString("%1 %2 %3")
                         .arg(rig.model.ListIndex())
                         .arg(rig.view->TopRow())
                         .arg(rig.events.join(' ')),
                     QString("%1 %2 %3").arg(c[4]).arg(c[5]).arg(c[4] != c[2] ? "Click" : ""));
        }
    }

    // A press on the check picture (manual click on, check style) toggles the row between
    // MouseDown and MouseUp; elsewhere only the plain events; a second press unchecks.
    void listMouse()
    {
        const struct
        {
            int style;
            bool manual;
            int x, row;
            const char* events;
        } cases[] = {
            {1, true, 5, 2, "MouseDown Checked MouseUp Click"},
            {1, true, 60, 2, "MouseDown MouseUp Click"}, // right of the picture
            {1, false, 5, 2, "MouseDown MouseUp Click"},
            {0, true, 5, 2, "MouseDown MouseUp Click"},
            {1, true, 5, 7, "MouseDown MouseUp"}, // below the last row
        };
        for (const auto& c : cases) {
            ListRig rig(4, c.style);
            rig.model.setManualClick(c.manual);
            rig.events.clear();
            QTest::mouseClick(rig.view->viewport(), Qt::RightButton, {}, {c.x, rig.middle(c.row)});
            QCOMPARE(rig.events.join(' '), QString(c.events));
            QCOMPARE(rig.model.Selected(2), rig.events.contains("Checked"));
            QCOMPARE(rig.model.ListIndex(), c.row < 4 ? c.row : -1);
        }
        ListRig rig(4, 1);
        for (int i = 0; i < 2; ++i)
            QTest::mouseClick(rig.view->viewport(), Qt::LeftButton, {}, {5, rig.middle(1)});
        QVERIFY(rig.events.contains("UnChecked") && !rig.model.Selected(1));
    }
};

QTEST_MAIN(TestControls)
#include "test_controls.moc"
