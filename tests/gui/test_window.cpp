// SPDX-License-Identifier: GPL-3.0-or-later
// The controls, the window and its dialogs: offscreen pixels, real mouse and key events;
// where a rule is the core's, only that the view follows it; a whole run against nginx.
#include "ManagerRig.h"
#include "controls/Artwork.h"
#include "controls/ArtworkPainter.h"
#include "controls/CHeader.h"
#include "controls/Indicator.h"
#include "controls/OleColor.h"
#include "controls/RowvaneView.h"
#include "controls/Tagleaf.h"
#include "lists/FileTypeList.h"
#include "lists/JobList.h"
#include "manager/SlotMonitor.h"
#include "platform/Version.h"
#include "support/NginxFixture.h"
#include "ui/AboutDialog.h"
#include "ui/AdvanceOptionPage.h"
#include "ui/DownloadOptionPage.h"
#include "ui/FileTypePanel.h"
#include "ui/FolderChooser.h"
#include "ui/FolderDeleteDialog.h"
#include "ui/FolderPane.h"
#include "ui/HelpBrowser.h"
#include "ui/InterfaceSettingsDialog.h"
#include "ui/MainWindow.h"
#include "ui/MonitorPane.h"
#include "ui/PageAddressDialog.h"
#include "ui/QtDialogs.h"
#include "ui/StatusBarPane.h"
#include "ui/StyleSlider.h"

#include <QCheckBox>
#include <QComboBox>
#include <QFileDialog>
#include <QFileSystemModel>
#include <QInputDialog>
#include <QLabel>
#include <QListWidget>
#include <QMenu>
#include <QMessageBox>
#include <QMimeData>
#include <QProcess>
#include <QPushButton>
#include <QRadioButton>
#include <QScrollBar>
#include <QToolBar>
#include <QToolButton>
#include <QTreeView>

using Option = Options::Option;
using Dot = IndicatorFrame::Dot;

namespace {

// Offscreen renders and the pixels that carry meaning.
QImage argb(const QImage& image)
{
    return image.convertToFormat(QImage::Format_ARGB32);
}

QImage render(QWidget& widget)
{
    QImage image(widget.size(), QImage::Format_ARGB32);
    image.fill(Qt::magenta);
    widget.render(&image);
    return image;
}

int distance(QColor a, QColor b)
{
    return std::abs(a.red() - b.red()) + std::abs(a.green() - b.green()) +
           std::abs(a.blue() - b.blue());
}

// The colour in the area that differs most from the background: the ink of text or marks.
QColor ink(const QImage& image, const QRect& area, QColor background)
{
    QColor best = background;
    for (int y = area.top(); y <= area.bottom(); ++y)
        for (int x = area.left(); x <= area.right(); ++x)
            if (distance(image.pixelColor(x, y), background) > distance(best, background))
                best = image.pixelColor(x, y);
    return best;
}

// Number of pixels in the area within a small distance of the colour.
int count(const QImage& image, const QRect& area, QColor colour, int tolerance = 24)
{
    int n = 0;
    for (int y = area.top(); y <= area.bottom(); ++y)
        for (int x = area.left(); x <= area.right(); ++x)
            n += distance(image.pixelColor(x, y), colour) <= tolerance;
    return n;
}

// Once a modal dialog of type Dialog is open, `answer` gets it (and must close it).
template <class Dialog>
void answerModal(std::function<void(Dialog*)> answer)
{
    auto* timer = new QTimer(qApp);
    QObject::connect(timer, &QTimer::timeout, timer, [timer, answer] {
        if (auto* dialog = qobject_cast<Dialog*>(QApplication::activeModalWidget())) {
            timer->stop();
            timer->deleteLater();
            answer(dialog);
        }
    });
    timer->start(10);
}

const QColor Face(0xD4, 0xD0, 0xC8), White(Qt::white), Black(Qt::black), Red(Qt::red),
    Blue(Qt::blue), Green(0, 0xC0, 0), Yellow(Qt::yellow), BarBack(0, 0, 147);

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
    int middle(int row) const { return int((row - view->TopRow() + 0.5) * view->RowHeight()); }
};

// The main window over its own settings file and base folder, with short ticks.
struct WindowRig
{
    QTemporaryDir dir;
    SettingsStore store{dir.filePath("settings.ini")};
    ScriptedDialogs dialogs;
    std::unique_ptr<MainWindow> window;

    explicit WindowRig(int maxParallel = 3, const char* winRect = nullptr)
    {
        QDir().mkpath(base());
        store.Set("Base Dir", base());
        store.Set("Max Parallel", QString::number(maxParallel));
        if (winRect)
            store.Set("WinRect", winRect);
        window = std::make_unique<MainWindow>(store, &dialogs);
        window->manager().setTickInterval(50);
        window->StartUp();
        window->show();
        window->activateWindow();
        (void)QTest::qWaitForWindowActive(window.get());
    }
    QString base() const { return dir.filePath("base"); }
    DownloadManager& m() { return window->manager(); }
    QString file(const QString& name, const QByteArray& bytes)
    {
        return writeFile(dir.filePath(name), bytes) ? dir.filePath(name) : QString();
    }
    void clickToolbar(const char* key)
    {
        QTest::mouseClick(window->toolbar()->widgetForAction(window->command(key)), Qt::LeftButton);
    }
};

QPushButton* button(QWidget* dialog, const QString& text)
{
    for (QPushButton* b : dialog->findChildren<QPushButton*>())
        if (b->text() == text)
            return b;
    return nullptr;
}

// Types over a box's whole text as a user does (no text: Backspace).
void retype(QLineEdit* box, const QString& text)
{
    box->setFocus();
    box->selectAll();
    if (text.isEmpty())
        QTest::keyClick(box, Qt::Key_Backspace);
    QTest::keyClicks(box, text);
}

// The row of `path` in the details view once the model has read and sorted its folder.
QPoint settledRow(const FolderPane& pane, QSignalSpy& loaded, const QString& path)
{
    const QString folder = QFileInfo(path).absolutePath();
    const auto row = [&] {
        const QModelIndex index = pane.model()->index(path);
        return index.parent() == pane.detailsView()->rootIndex()
                   ? pane.detailsView()->visualRect(index)
                   : QRect();
    };
    const bool read =
        QTest::qWaitFor([&] { return !row().isEmpty() && loaded.contains({folder}); });
    QCoreApplication::processEvents(); // the sort after reading
    return read ? row().center() : QPoint();
}

// A double-click as the mouse gives it: press, release, the double-click, release.
void doubleClick(QWidget* widget, QPoint at)
{
    QTest::mousePress(widget, Qt::LeftButton, {}, at);
    QTest::mouseRelease(widget, Qt::LeftButton, {}, at);
    QTest::mouseDClick(widget, Qt::LeftButton, {}, at);
    QTest::mouseRelease(widget, Qt::LeftButton, {}, at);
}

// Where `text` is drawn in the browser's viewport.
QPoint textSpot(HelpBrowser& browser, const QString& text)
{
    browser.moveCursor(QTextCursor::Start);
    browser.find(text); // scrolls it into sight
    QTextCursor cursor = browser.textCursor();
    cursor.setPosition(cursor.selectionStart() + 1);
    return browser.cursorRect(cursor).center();
}

// The middle of the address in a "Caption: address" link label.
QPoint addressPoint(QLabel* link)
{
    const QString text = link->text();
    const QFontMetrics metrics(link->font());
    return {link->contentsRect().left() +
                metrics.horizontalAdvance(text.left(text.indexOf(QLatin1Char(':')) + 2)) +
                metrics.horizontalAdvance(link->toolTip()) / 2,
            link->height() / 2};
}

// A drag entering the widget and a drop in its middle; false when the widget refused it.
bool dropOn(QWidget* target, const QList<QUrl>& urls, const QString& text = QString())
{
    QMimeData data;
    if (!urls.isEmpty())
        data.setUrls(urls);
    if (!text.isNull())
        data.setText(text);
    if (auto* area = qobject_cast<QAbstractScrollArea*>(target))
        target = area->viewport();
    const QPoint at = target->rect().center();
    QDragEnterEvent enter(at, Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(target, &enter);
    if (!enter.isAccepted())
        return false;
    QDropEvent drop(QPointF(at), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(target, &drop);
    return drop.isAccepted();
}

} // namespace

class TestWindow : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    // Stored pictures and icons as drawn today; numbers clamp to the pictures there are.
    void artwork()
    {
        for (int i = 0; i < Artwork::PictureCount; ++i)
            QVERIFY2(argb(Artwork::image(Artwork::Picture(i))) ==
                         argb(ArtworkPainter::draw(Artwork::Picture(i))),
                     qPrintable(Artwork::name(Artwork::Picture(i))));
        for (const int size : ArtworkPainter::AppIconSizes) {
            const QString path = HARVEX_SOURCE_DIR "/packaging/icons/hicolor/%1x%1/apps/harvex.png";
            QVERIFY2(argb(QImage(path.arg(size))) == argb(ArtworkPainter::appIcon(size)),
                     qPrintable(path.arg(size)));
        }
        QVERIFY(Artwork::progressStrip(0) == Artwork::ProgressBlue &&
                Artwork::progressStrip(11) == Artwork::ProgressSky &&
                Artwork::toolbarBackground(-3) == Artwork::ToolbarSilver &&
                Artwork::toolbarBackground(8) == Artwork::ToolbarSteel &&
                Artwork::toolbarIcon("nope") == Artwork::AppIcon);
    }

    // Border styles at the edges; caption colours and shadow; icon by tag and state.
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
        QCOMPARE(header.Caption(), QString("Download\1\2Monitor"));
        header.setForeColor(0x0000FF);
        header.setDisabledForeColor(0xFF0000);
        const QRect caption(40, 2, 120, 18);
        QVERIFY(distance(ink(render(header), caption, Face), Red) < 90 &&
                count(render(header), caption, Green, 60) == 0);
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
        QVERIFY(icon.y() == 10 && render(header).pixelColor(icon) == Blue);
        header.setEnabled(true);
        QCOMPARE(render(header).pixelColor(icon), Red);
        header.setIconTag("-");
        QCOMPARE(render(header).pixelColor(icon), Black);

        QSignalSpy down(&header, &CHeader::MouseDown), up(&header, &CHeader::MouseUp);
        QTest::mouseClick(&header, Qt::LeftButton, Qt::ShiftModifier, QPoint(30, 5));
        QVERIFY(down.at(0).at(2).toPoint() == QPoint(30, 5) && up.count() == 1);
    }

    // Dots 18 apart from x 10, three frames each; blocks lightened twice, once, then not.
    void indicator()
    {
        QCOMPARE(IndicatorFrame::Dots(12, 0), (QVector<Dot>{{10, 7, true}}));
        QCOMPARE(IndicatorFrame::Dots(60, 1),
                 (QVector<Dot>{{10, 3, false}, {28, 7, true}, {50, 3, false}}));
        QVERIFY(IndicatorFrame::DotTop(30) == 8 && IndicatorFrame::DotTop(28) == 6); // even
        QCOMPARE(IndicatorFrame::Lighten(0x10C8F0), quint32(0x6AFFFF));

        Indicator dots;
        dots.resize(60, 30);
        dots.show();
        dots.ResumeNow(); // nothing to resume
        QVERIFY(!dots.isTicking());
        dots.StartNow();
        QImage image = render(dots);
        QCOMPARE((QList<QColor>{image.pixelColor(13, 11), image.pixelColor(10, 8),
                                image.pixelColor(33, 9)}),
                 (QList<QColor>{QColor(0xFF, 0xC0, 0x80), Black, Blue})); // light, outline
        dots.Step();
        QCOMPARE(render(dots).pixelColor(13, 11), QColor(0xFF, 0xFF, 0));
        dots.Step();
        const int second = dots.frame().HighlightIndex;
        for (int i = 0; i < 6; ++i)
            dots.Step();
        dots.StartNow(); // already running: keeps counting
        QVERIFY(second == 1 && dots.frame().HighlightIndex == 0 && // back after the last dot
                dots.RunTimeInterval() == 8 * 120);
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
        const int last = blocks.frame().BlockPos;
        blocks.Step();
        QVERIFY(last == 104 && blocks.frame().BlockPos == 0); // past the width: back to the start
    }

    // Format runs ("L<length> <back> <fore> <styles>"), their drawing and line breaks; a
    // double-click opens a read-only copy box from EditStart on, gone without focus.
    void tagleaf()
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
            {"L= 7", "L7 ffffff 0 "}};
        const TagleafRun plain{.BackColor = 0xFFFFFF};
        for (const auto& c : cases) {
            QStringList got;
            for (const TagleafRun& r : TagleafFormat::Parse(c[0], plain))
                got << QString::asprintf("L%d %x %x %s%s%s%s", r.Length, r.BackColor, r.ForeColor,
                                         r.Bold ? "b" : "", r.Italic ? "i" : "",
                                         r.Underline ? "u" : "", r.Strikethrough ? "s" : "");
            QCOMPARE(got.join('|'), QString(c[1]));
        }

        Tagleaf label;
        label.setBackColor(0xFFFFFF);
        label.setForeColor(0);
        label.resize(400, 30);
        label.setCaption("MMMMMMMMMMMMMMMM");
        label.setFormatString("L=5,FC=255;L=3,Font=bu");
        label.show();
        QImage image = render(label);
        const auto pieces = label.layoutPieces();
        QVERIFY(pieces.size() == 3 && pieces.at(2).length == 8 &&
                distance(ink(image, pieces.at(0).rect, White), Red) < 90 &&
                distance(ink(image, pieces.at(1).rect, White), Black) < 90);
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
            QCOMPARE(
                (QList<QColor>{image.pixelColor(r.topLeft()), image.pixelColor(r.bottomRight()),
                               image.pixelColor(r.left() + 1, r.top()),
                               image.pixelColor(first.right(), first.top())}),
                (QList<QColor>{rounded ? White : Blue, rounded ? White : Blue, Blue, White}));
        }

        label.resize(60, 80);
        label.setCaption("alpha beta gamma delta epsilon");
        label.setFormatString("L=30,FC=255");
        int characters = 0;
        for (const auto& piece : label.layoutPieces()) {
            characters += piece.length;
            QVERIFY(piece.rect.right() < 60 && piece.rect.top() < 80 &&
                    (piece.from + piece.length == 30 ||
                     label.Caption().at(piece.from + piece.length - 1) == QLatin1Char(' ')));
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
        QVERIFY(box && box->isVisible() && box->isReadOnly() && box->text() == "0x00FF00" &&
                box->pos() == QPoint(label.fontMetrics().horizontalAdvance("Colour: ") + 2, -1));
        QFocusEvent focusOut(QEvent::FocusOut);
        QCoreApplication::sendEvent(box, &focusOut);
        QVERIFY(!label.editBox());
    }

    // Row colours, the current row with a dotted frame, ticks or pictures, grid lines.
    void listPaintsAndGeometry()
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
        QVERIFY(image.pixelColor(250, h) == Green && image.pixelColor(250, h + h / 2) == White);

        // Scroll bars from the rows that fit and the widest row; the row height plus two.
        ListRig ten(10);
        QScrollBar *bar = ten.view->verticalScrollBar(), *across = ten.view->horizontalScrollBar();
        QVERIFY(ten.view->VisibleRows() == 10 && !bar->isVisible());
        ten.model.AddItem("one too many");
        QVERIFY(bar->isVisible() && bar->maximum() == 1 && ten.view->VisibleRows() == 10);
        ten.model.RemoveItem(0);
        QVERIFY(!bar->isVisible() && across->maximum() == 0);
        ten.model.AddItem(QString(200, QLatin1Char('W')), 0, 0, 1, 2);
        QVERIFY(across->maximum() > 10 && ten.view->SurfaceWidth() >= ten.view->RowWidth(2));
        QTest::keyClick(ten.view.get(), Qt::Key_Right);
        QTest::keyClick(ten.view.get(), Qt::Key_Right);
        QCOMPARE(ten.view->HorizontalStep(), 2);
        QTest::keyClick(ten.view.get(), Qt::Key_Home);
        QCOMPARE(ten.view->HorizontalStep(), 0);
        ten.model.setList(4, QString(300, QLatin1Char('W')));
        QCOMPARE(ten.view->WidestWidth(), ten.view->RowWidth(4));
        ten.model.RemoveItem(4);
        ten.model.RemoveItem(2);
        QCOMPARE(across->maximum(), 0);

        const int plain = ten.view->RowHeight(), width = ten.view->RowWidth(0);
        QVERIFY(ten.model.AddFont(RowvaneFont{"Sans Serif", 20}));
        QVERIFY(ten.view->RowHeight() > plain + 10);
        ten.model.RemoveFont(1);
        ten.view->setCheckIcon(solid(Red, 30));
        // Every row counts the picture's width.
        QVERIFY(ten.view->RowHeight() == 32 && ten.view->RowWidth(0) == width + 16);
        ten.view->setCheckIcon(QPixmap());
        ten.view->resize(200, 3); // too low for one row: it grows
        QVERIFY(ten.view->RowHeight() == plain && ten.view->VisibleRows() == 1);
    }

    // Keys move the current row and the top row; a move raises Click and nothing else.
    void listKeysAndMouse()
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
        for (const auto& [rows, top, current, key, currentAfter, topAfter] : cases) {
            ListRig rig(rows);
            rig.model.setListIndex(current);
            rig.view->setTopRow(top);
            rig.events.clear();
            QTest::keyClick(rig.view.get(), Qt::Key(key & ~Ctrl),
                            Qt::KeyboardModifiers(key & Ctrl));
            QCOMPARE((QList<int>{rig.model.ListIndex(), rig.view->TopRow()}),
                     (QList<int>{currentAfter, topAfter}));
            QCOMPARE(rig.events, currentAfter != current ? QStringList{"Click"} : QStringList());
        }

        // A press on the check picture toggles the row between MouseDown and MouseUp.
        const std::tuple<int, bool, int, int, const char*> presses[] = {
            {1, true, 5, 2, "MouseDown Checked MouseUp Click"},
            {1, true, 60, 2, "MouseDown MouseUp Click"}, // right of the picture
            {1, false, 5, 2, "MouseDown MouseUp Click"},
            {0, true, 5, 2, "MouseDown MouseUp Click"},
            {1, true, 5, 7, "MouseDown MouseUp"}, // below the last row
        };
        for (const auto& [style, manual, x, row, events] : presses) {
            ListRig rig(4, style);
            rig.model.setManualClick(manual);
            QTest::mouseClick(rig.view->viewport(), Qt::RightButton, {}, {x, rig.middle(row)});
            QCOMPARE(rig.events.join(' '), QString(events));
            QCOMPARE(rig.model.Selected(2), rig.events.contains("Checked"));
            QCOMPARE(rig.model.ListIndex(), row < 4 ? row : -1);
        }
        ListRig rig(4, 1);
        for (int i = 0; i < 2; ++i)
            QTest::mouseClick(rig.view->viewport(), Qt::LeftButton, {}, {5, rig.middle(1)});
        QVERIFY(rig.events.contains("UnChecked") && !rig.model.Selected(1));
    }

    // Lamps, bars, a right press's row menu, "ColorSettings"; growth up to twenty rows.
    void monitor()
    {
        SlotMonitor monitor;
        Options options;
        MonitorPane pane(monitor, options);
        monitor.CreateRows(5);
        monitor.Flush();
        pane.resize(720, pane.sizeHint().height());
        pane.show();
        const auto background = [&](int slot) { // between the bar and the text
            return render(pane).pixelColor(pane.BarRect(slot).right() + 2,
                                           pane.RowRect(slot).center().y());
        };
        const QRect inner = pane.BarInnerRect(1);
        const auto inBar = [&](double share) {
            return render(pane).pixelColor(inner.left() + int(share * (inner.width() - 1)),
                                           inner.center().y());
        };
        const int lamps[][2] = {
            {7, 0xFF8642}, {9, 0xFF0000}, {8, 0x0000FF}, {6, 0xA09C58}, {0, 0x840000}};
        for (const auto& [state, fill] : lamps) {
            monitor.SetLamp(1, state);
            monitor.Flush();
            const QImage image = render(pane);
            QVERIFY(distance(image.pixelColor(pane.LampRect(1).center()), QRgb(fill)) < 12);
            QCOMPARE(count(image, pane.LampRect(1), Yellow, 40) > 0, state == 7);
        }
        const double fills[][3] = {
            {50, 0.25, 1}, {50, 0.75, 0}, {0.4, 0, 0}, {0.5, 0, 1}, {100, 1, 1}};
        for (const auto& [progress, share, filled] : fills) {
            monitor.SetProgress(1, progress);
            monitor.Flush();
            QVERIFY2((distance(inBar(share), BarBack) > 60) == bool(filled),
                     qPrintable(QString::number(progress)));
        }
        options.setPBarStyle(4);
        const QImage strip = Artwork::image(Artwork::progressStrip(4));
        QVERIFY(distance(inBar(0.5), strip.pixelColor(0, (inner.height() - 1) / 2)) < 30);

        QSignalSpy menu(&pane, &MonitorPane::slotMenuRequested);
        const QColor before = background(2);
        for (const QPoint at :
             {pane.RowRect(2).center(), QPoint(50, 2), QPoint(50, pane.RowRect(4).bottom() + 3)})
            QTest::mouseClick(&pane, Qt::RightButton, {}, at);
        QTest::mouseClick(&pane, Qt::LeftButton, {}, pane.RowRect(4).center());
        QVERIFY(menu == (QList<QVariantList>{{2, pane.mapToGlobal(pane.RowRect(2).center())}}));
        QVERIFY(background(2) != before && background(1) == before && pane.HighlightedSlot() == 2);

        QVERIFY(options.setColorSettings("4210752;65535;0;8421504;16711680;0;0"));
        const QImage image = render(pane);
        QCOMPARE(background(3), QColor(64, 64, 64));
        const QRect bar = pane.BarRect(3), row = pane.RowRect(3);
        QCOMPARE(image.pixelColor(bar.left(), bar.center().y()), QColor(0, 0, 255));
        QCOMPARE(image.pixelColor(bar.center()), QColor(128, 128, 128));
        const QRect number(row.topLeft(), QPoint(pane.LampRect(3).left() - 1, row.bottom()));
        QVERIFY(distance(ink(image, number, QColor(64, 64, 64)), Yellow) < 60);

        const int five = pane.sizeHint().height();
        monitor.CreateRows(20);
        monitor.Flush();
        const int pitch = (pane.sizeHint().height() - five) / 15, high = pane.sizeHint().height();
        QVERIFY(pitch >= QFontMetrics(pane.font()).height() + 6 && high == five + 15 * pitch &&
                pane.minimumSizeHint().height() == high);
        pane.resize(700, high);
        const QRect last = pane.RowRect(19); // inside the bevel
        QVERIFY(last.bottom() < high - 4 && pane.slotAt(last.center().y()) == 19 &&
                pane.slotAt(last.bottom() + 1) == -1);
    }

    // The status bar's graph and labels follow the core; lit under the mouse while idle.
    void statusBarAndOptionPages()
    {
        ManagerRig rig(7);
        StatusBarPane bar(*rig.m);
        bar.resize(1200, bar.sizeHint().height());
        bar.show();
        QVERIFY(QTest::qWaitForWindowExposed(&bar));
        const QRect g = bar.GraphRect();
        QCOMPARE(g.size(), QSize(58, 18));
        for (const int kb : {0, 40, 17})
            rig.m->Meter().Tick(qint64(kb) * 1024, 0);
        Q_EMIT rig.m->MeterChanged();
        const QImage image = render(bar);
        QCOMPARE(count(image, {g.left() + 56, g.top(), 2, 1}, Yellow, 0) +
                     count(image, {g.left() + 56, g.top() + 1, 2, 17}, Red, 0),
                 2 + 2 * 17);
        QCOMPARE(image.pixelColor(g.left() + 55, g.bottom()), Yellow);
        QVERIFY(distance(image.pixelColor(g.left() + 55, g.bottom() - 1), Red) > 100);
        QVERIFY(bar.MeterLabel()->text().contains(QStringLiteral("Speed:17.0KB/Sec")));
        rig.m->Meter().BlankGraph();
        Q_EMIT rig.m->RunFinished();
        QCOMPARE(count(render(bar), g, Red, 0) + count(render(bar), g, Yellow, 0), 0);

        // The message: coloured runs while formatting is on, the text colour otherwise.
        Tagleaf* message = bar.MessageLabel();
        rig.m->Jobs().AddJobs("http://a.example/1\nhttp://a.example/2\nhttp://a.example/3");
        rig.m->gStatEx(true);
        QCOMPARE(message->Caption(), rig.m->Status().CounterLine());
        auto firstInk = [&] {
            const QRect piece = message->layoutPieces().at(0).rect.translated(message->pos());
            return ink(render(bar), piece, BarBack);
        };
        QVERIFY(distance(firstInk(), QColor(128, 128, 255)) < 60); // "Status: " &HFF8080
        rig.m->gStatEx(false, QStringLiteral("INACTIVE "));
        QVERIFY(distance(firstInk(), QColor(128, 255, 255)) < 60); // ColorSettings 1
        rig.m->Jobs().PutBlock(1);
        QVERIFY(bar.ListLabel()->text().endsWith("/3") && bar.BlockLabel()->text() == "Block: ON");

        const QPoint spot(g.right() + 6, 3);
        auto tile = [&](Artwork::Picture picture) {
            return Artwork::image(picture).scaled(16, bar.height()).pixelColor(0, spot.y());
        };
        const QColor normal = tile(Artwork::StatusBar), lit = tile(Artwork::StatusBarHover);
        auto shown = [&] { return render(bar).pixelColor(spot); };
        for (QWidget* label : std::initializer_list<QWidget*>{message, bar.MeterLabel()}) {
            QTest::mouseMove(label, QPoint(5, 5));
            QTRY_VERIFY(!bar.Highlighted() && distance(shown(), normal) < 12);
            QTest::mouseMove(&bar, spot);
            QTRY_VERIFY(bar.Highlighted() && distance(shown(), lit) < 12);
        }
        rig.m->State().IsIdle = false;
        Q_EMIT rig.m->CommandsChanged();
        QVERIFY(!bar.Highlighted());
        QTest::mouseMove(&bar, spot + QPoint(2, 1));
        QCoreApplication::processEvents();
        QVERIFY(!bar.Highlighted() && distance(shown(), normal) < 12);

        // The pages show the loaded options and edit them: boxes, slider, headers, file types.
        Options& options = rig.m->options();
        QWidget pages; // side by side
        DownloadOptionPage download(*rig.m, &pages);
        AdvanceOptionPage advance(*rig.m, &pages);
        download.resize(620, 330);
        advance.setGeometry(620, 0, 620, 330);
        pages.resize(1240, 330);
        pages.show();
        pages.activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(&pages) && !options.AnyMarked()); // none on building
        const std::pair<const char*, const char*> stored[] = {
            {"Path Option", "2"},       {"Max Parallel", "12"}, {"Keep-Alive", "0"},
            {"Reuse Connections", "1"}, {"MAX-Try", "4"},       {"Busy-Wait", "45"},
            {"Connect-Timeout", "3"},   {"MinImgSize", "2048"}};
        for (auto [key, value] : stored)
            rig.store->Set(key, value);
        options.LoadSettings(*rig.store);
        QVERIFY(!options.AnyMarked() && !options.SaveEnabled());
        QString numbers;
        for (const char* name : {"txt_MAXCON", "txt_MAXWAIT", "txt_Timeout", "txtMinSize"})
            numbers += pages.findChild<QLineEdit*>(name)->text();
        QVERIFY(pages.findChild<QRadioButton*>("OptPath2")->isChecked() && numbers == "445102048" &&
                pages.findChild<QCheckBox*>("Reuse Connections")->isChecked() &&
                !pages.findChild<QCheckBox*>("Keep-Alive")->isChecked());
        for (const char* name : {"Keep-Alive", "OptPath1"}) {
            auto* box = pages.findChild<QAbstractButton*>(name);
            QTest::mouseClick(box, Qt::LeftButton, {}, QPoint(8, box->height() / 2));
        }
        QVERIFY(options.KeepAlive() && options.Marked(Option::KeepAlive) &&
                options.PathOption() == 1 && options.Marked(Option::PathOption));

        const std::tuple<const char*, const char*, const char*, Option, bool> boxes[] = {
            {"txt_MAXCON", "x12", "10", Option::TryCount, false},
            {"txt_Timeout", "3", "10", Option::ConnTimeout, false},
            {"txtMinSize", "0012", "12", Option::MinImgSize, true},
            {"txt_MAXWAIT", "", "10", Option::BusyWait, true}};
        for (const auto& [name, typed, shown, option, perKey] : boxes) {
            QLineEdit* box = pages.findChild<QLineEdit*>(name);
            box->setText(QStringLiteral("45"));
            options.ClearSettingMarks();
            retype(box, typed);
            QCOMPARE(options.Marked(option), perKey);
            QTest::keyClick(box, Qt::Key_Tab);
            QVERIFY(!box->hasFocus() && options.Marked(option) && box->text() == shown);
            options.ClearSettingMarks();
            box->setFocus();
            QTest::keyClick(box, Qt::Key_Tab);
            QCOMPARE(options.Marked(option), !perKey);
        }

        StyleSlider* slider = download.Slider();
        QLabel* caption = download.SliderCaption();
        const auto captionInk = [caption] { // against the background at its corner
            return ink(render(*caption), caption->rect(), render(*caption).pixelColor(0, 0));
        };
        QVERIFY(slider->Value() == 12 && caption->text().startsWith(" 12 [ Limit exceeded! ]"));
        QTest::mouseClick(slider, Qt::LeftButton, {}, QPoint(slider->width() - 1, 5));
        QVERIFY(options.MaxParallel() == 20 && options.Marked(Option::MaxParallel) &&
                rig.m->State().SlotCount == 7 && caption->text().endsWith("= 7 ]") &&
                caption->text().startsWith(" 20 [ Limit exceeded! ]"));
        QVERIFY(distance(captionInk(), Qt::red) < 60);
        QTest::mouseClick(slider, Qt::LeftButton, {}, {slider->width() / 20 * 3 + 1, 5}); // 4th
        QCOMPARE(rig.m->State().SlotCount, 4);
        QTest::keyClick(slider, Qt::Key_Right);
        QVERIFY(options.MaxParallel() == 5 && !caption->text().contains("Limit") &&
                caption->text().startsWith(" 5 [ ") && distance(captionInk(), Qt::red) > 200);

        ParamValues& params = rig.m->Params();
        QComboBox *accept = advance.HeaderCombo(0), *language = advance.HeaderCombo(1);
        QVERIFY(accept->currentText() == "*.*, */*" && language->currentIndex() == 0);
        QTest::keyClick(language, Qt::Key_Down);
        QTest::keyClick(language, Qt::Key_Down);
        QCOMPARE(rig.m->CurrentSlotSettings().AcceptLanguage, QStringLiteral("en-us"));
        params.CboAccept.Select(3);
        params.CboAccept.AddItem(QStringLiteral("image/webp")); // keeps the selection
        QVERIFY(accept->count() == 5 && accept->currentIndex() == 3);
        params.CboAccept.Clear();
        params.CboAccept.AddItem(QStringLiteral("text/plain"));
        QVERIFY(accept->currentIndex() == -1 && params.CboAccept.SelectedIndex() == -1);

        FileTypePanel* panel = advance.DataTypesPanel();
        FileTypeList& types = rig.m->DataTypes();
        RowvaneView* view = panel->View();
        const int types0 = types.ListCount(), h = view->RowHeight();
        rig.dialogs.inputs.enqueue(QStringLiteral(" .WebP "));
        QTest::mouseClick(panel->AddButton(), Qt::LeftButton);
        QVERIFY(view->model().List(types0) == "WebP" && options.DataExt().endsWith("|WebP/0"));
        QTest::mouseClick(view->viewport(), Qt::LeftButton, {}, QPoint(6, h / 2));
        const bool unticked = !types.Checked(0);
        QTest::keyClick(view, Qt::Key_Space);
        QVERIFY(unticked && types.Checked(0) && view->model().Selected(0));
        QTest::mouseClick(view->viewport(), Qt::LeftButton, {}, QPoint(60, 2 * h + h / 2));
        QTest::mouseClick(panel->RemoveButton(), Qt::LeftButton); // asked, and answered Yes
        QVERIFY(types.ListCount() == types0 && view->model().List(2) == types.Text(2));
    }

    // A folder (blank, "#", not ASCII) opened three ways; a deleted one gives way; help.
    void folderPaneAndHelp()
    {
        QTemporaryDir dir;
        const QString start = dir.filePath(QStringLiteral("base"));
        const QString target = start + QStringLiteral("/a b#ü"), deeper = start + "/gone/deeper";
        QVERIFY(QDir().mkpath(target + "/inner") && QDir().mkpath(deeper) &&
                writeFile(start + QStringLiteral("/a%20b#ü"), "x"));
        FolderPane pane(start);
        QSignalSpy loaded(pane.model(), &QFileSystemModel::directoryLoaded);
        pane.resize(700, 400);
        pane.show();
        QSignalSpy changes(&pane, &FolderPane::folderChanged);
        QWidget* viewport = pane.detailsView()->viewport();
        QTreeView* tree = pane.folderList();
        const auto shows = [&](const QString& folder) {
            return pane.currentFolder() == folder &&
                   pane.model()->filePath(pane.detailsView()->rootIndex()) == folder &&
                   tree->currentIndex().data(QFileSystemModel::FilePathRole) == folder;
        };
        for (bool byKey : {false, true}) {
            const QPoint row = settledRow(pane, loaded, target);
            if (byKey) {
                QTest::mouseClick(viewport, Qt::LeftButton, {}, row);
                QCOMPARE(pane.currentFolder(), start); // a click only selects
                QTest::keyClick(pane.detailsView(), Qt::Key_Return);
            } else {
                doubleClick(viewport, row);
            }
            QVERIFY(shows(target) && tree->isExpanded(tree->currentIndex()) &&
                    changes.takeLast().at(0).toString() == target);
            QVERIFY(pane.openFolder(start));
        }
        const QPoint file = settledRow(pane, loaded, start + QStringLiteral("/a%20b#ü"));
        QVERIFY(!file.isNull());
        doubleClick(viewport, file);
        QVERIFY(pane.currentFolder() == start && !pane.openFolder(dir.filePath("missing")));

        QTRY_COMPARE(tree->model()->rowCount(tree->currentIndex()), 2);
        const QModelIndex sub = tree->model()->index(0, 0, tree->currentIndex());
        tree->scrollTo(sub);
        const QRect row = tree->visualRect(sub);
        QTest::mouseClick(tree->viewport(), Qt::LeftButton, {}, {row.left() + 8, row.center().y()});
        QVERIFY(shows(target) && pane.openFolder(deeper));
        QTRY_VERIFY(loaded.contains({deeper}) && loaded.contains({start + "/gone"})); // watched
        QVERIFY(QDir(start + QStringLiteral("/gone")).removeRecursively());
        QTRY_COMPARE(pane.currentFolder(), start);

        // The root volume, first in the list, chosen with the keyboard.
        QComboBox* volumes = pane.volumeList();
        volumes->setCurrentIndex(-1);
        QTest::keyClick(volumes, Qt::Key_Home);
        QVERIFY(shows("/"));

        pane.showHelp();
        QVERIFY(volumes->isHidden() && tree->isHidden() && pane.detailsView()->isHidden() &&
                pane.helpBrowser()->geometry() == pane.rect());

        // Anchors scroll the help page; other addresses go nowhere, not even to the desktop.
        HelpBrowser& browser = *pane.helpBrowser();
        browser.append(QStringLiteral("<a href=\"https://example.com/x\">web!</a> "
                                      "<a href=\"file:///etc/passwd\">file!</a>"));
        QSignalSpy refused(&browser, &HelpBrowser::linkRefused);
        for (const char* text : {"web!", "file!"}) {
            QTest::mouseClick(browser.viewport(), Qt::LeftButton, {}, textSpot(browser, text));
            QCOMPARE(browser.source(), HelpBrowser::HelpPage());
        }
        QCOMPARE(refused.size(), 2);
        QTest::mouseClick(browser.viewport(), Qt::LeftButton, {},
                          textSpot(browser, QStringLiteral("Files Harvex writes")));
        QVERIFY(browser.source().fragment() == "files" && browser.verticalScrollBar()->value() > 0);
        pane.showFolders();
        QVERIFY(tree->isVisible() && pane.helpBrowser()->isHidden());
        QVERIFY(pane.detailsView()->geometry().left() > tree->geometry().right());
    }

    // The core's questions on Qt's dialogs: buttons, icons, filters, answers.
    void qtDialogs()
    {
        using B = Dialogs::Buttons;
        using A = Dialogs::Answer;
        using I = Dialogs::Icon;
        using M = QMessageBox;
        const std::tuple<I, B, int, M::Icon, A> boxes[] = {
            // a press of 0: Escape
            {I::Information, B::Ok, M::Ok, M::Information, A::Ok},
            {I::Exclamation, B::OkCancel, M::Cancel, M::Warning, A::Cancel},
            {I::Question, B::YesNo, M::Yes, M::Question, A::Yes},
            {I::Critical, B::YesNo, 0, M::Critical, A::No},
            {I::None, B::YesNoCancel, M::No, M::NoIcon, A::No}};
        QtDialogs dialogs;
        QString seen;
        for (const auto& [icon, buttons, press, shown, answer] : boxes) {
            answerModal<QMessageBox>([&](QMessageBox* box) {
                seen = box->windowTitle() + '|' + box->text() + '|' + QString::number(box->icon());
                if (press)
                    box->button(M::StandardButton(press))->click();
                else
                    QTest::keyClick(box, Qt::Key_Escape);
            });
            QVERIFY(dialogs.MsgBox("Clear\r\nthe list?", "Harvex", icon, buttons) == answer);
            QCOMPARE(seen, QStringLiteral("Harvex|Clear\nthe list?|%1").arg(shown));
        }

        answerModal<QInputDialog>([&](QInputDialog* box) {
            seen = box->labelText() + '|' + box->textValue();
            box->setTextValue(QStringLiteral("typed"));
            box->accept();
        });
        QVERIFY(dialogs.InputBox("Name:", "T", "x") == "typed" && seen == "Name:|x");
        answerModal<QInputDialog>([](QInputDialog* box) { box->reject(); });
        QCOMPARE(dialogs.InputBox("Name:", "T"), std::nullopt);

        QTemporaryDir dir;
        QStringList filters;
        bool confirms = true;
        // Typed names, accepted through QDialog: QFileDialog's own may check unread folders.
        const auto typeName = [&](const QString& name) {
            answerModal<QFileDialog>([&, name](QFileDialog* box) {
                filters = box->nameFilters();
                confirms = !box->testOption(QFileDialog::DontConfirmOverwrite);
                box->findChild<QLineEdit*>("fileNameEdit")->setText(name);
                box->QDialog::accept();
            });
        };
        typeName(dir.filePath("README"));
        QVERIFY(dialogs.OpenFileDialog("Open", "Text Files(*.txt)|*.txt|All Files(*.*)|*.*") ==
                    dir.filePath("README") &&
                filters == QStringList({"Text Files (*.txt)", "All Files (*)"}));
        QCOMPARE(QtDialogs::NameFilters("Lists(*.txt;*.lst)|*.txt;*.lst"),
                 QStringList{"Lists (*.txt *.lst)"});
        QCOMPARE(QtDialogs::NameFilters(QString()), QStringList{"All Files (*)"});
        typeName(QStringLiteral("list"));
        QVERIFY(dialogs.SaveFileDialog("Save", "Text Files(*.txt)|*.txt", ".txt", dir.path(), {},
                                       false) == dir.filePath("list.txt") &&
                !confirms);
        answerModal<QFileDialog>([](QFileDialog* box) { box->reject(); });
        QCOMPARE(dialogs.OpenFileDialog("Open", "|"), std::nullopt);
        dialogs.SetClipboardText(QStringLiteral("http://example.test/a.jpg"));
        QCOMPARE(dialogs.ClipboardText(), QStringLiteral("http://example.test/a.jpg"));

        // A page address typed over the one offered, or a range; a refused one stays open.
        const char* cases[][5] = {
            // pattern (none: a page), start, end, free rows; address or URLs (none: refused)
            {"", "", "", "0", "example.test/gallery"},
            {"[01,11]", "1", "16", "3", ""},
            {"[01,11]", "1", "11", "99", "http://h/p01.png http://h/p11.png 11"},
            {"[ 1,11]", "1", "11", "99", "http://h/p1.png http://h/p11.png 11"}};
        for (const auto& [pattern, start, end, freeRows, urls] : cases) {
            QString refusal;
            answerModal<PageAddressDialog>([&](PageAddressDialog* d) {
                seen = d->findChild<QLineEdit*>()->selectedText() + // no refusal left shown
                       (d->findChild<QLabel*>("error")->isVisible() ? "!" : "");
                if (!*pattern) {
                    retype(d->findChild<QLineEdit*>(), "example.test/gallery");
                    return QTest::mouseClick(button(d, "&OK"), Qt::LeftButton);
                }
                if (!d->findChild<QCheckBox*>()->isChecked()) // the box keeps its mode
                    QTest::mouseClick(d->findChild<QCheckBox*>(), Qt::LeftButton);
                for (QRadioButton* radio : d->findChildren<QRadioButton*>())
                    if (radio->text() == pattern)
                        QTest::mouseClick(radio, Qt::LeftButton);
                retype(d->findChild<QLineEdit*>("start"), start);
                retype(d->findChild<QLineEdit*>("end"), end);
                retype(d->findChild<QLineEdit*>("extension"), ".png");
                QTest::mouseClick(button(d, "&OK"), Qt::LeftButton);
                if (d->isVisible()) {
                    auto* error = d->findChild<QLabel*>(QStringLiteral("error"));
                    refusal = error->isVisible() ? error->text() : QString();
                    QTest::mouseClick(button(d, "&Cancel"), Qt::LeftButton);
                }
            });
            QString address = QStringLiteral("http://h/p");
            QStringList got;
            const bool ok = dialogs.PageAddressOrRange(address, QString(freeRows).toInt(), got);
            QCOMPARE(!ok || got.isEmpty()
                         ? (ok ? address : QString())
                         : got.first() + ' ' + got.last() + ' ' + QString::number(got.size()),
                     QString(urls));
            QVERIFY(seen == "http://h/p" && refusal.isEmpty() == ok); // a refusal says why
        }
    }

    // A click or Return on an address opens it; without a browser the address is shown.
    void aboutBox()
    {
        QList<QUrl> opened;
        bool succeeds = true;
        AboutDialog dialog;
        dialog.SetUrlOpener([&](const QUrl& url) {
            opened << url;
            return succeeds;
        });
        dialog.show();
        QVERIFY(QTest::qWaitForWindowExposed(&dialog));
        auto label = [&](const char* name) { return dialog.findChild<QLabel*>(name); };
        QCOMPARE(label("name")->text() + ' ' + label("version")->text(),
                 QStringLiteral("Harvex Version ") + Version::Text);
        QVERIFY(label("licence")->text().contains("GPL-3.0-or-later"));
        const QRect icon = label("icon")->geometry(); // the left side of its blue square
        const QColor blue = render(dialog).pixelColor(icon.left() + 5, icon.top() + 32);
        QVERIFY(blue.blue() > blue.red() + 60 && blue.blue() > blue.green() + 30);

        QLabel *home = label("home"), *reports = label("reports");
        for (int i = 0; i < 4 && QApplication::focusWidget() != home; ++i)
            QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
        QTest::keyClick(home, Qt::Key_Tab); // onto its address
        QTest::keyClick(home, Qt::Key_Return);
        QTest::mouseClick(home, Qt::LeftButton, {}, addressPoint(home));
        QTest::mouseClick(home, Qt::LeftButton, {}, QPoint(3, home->height() / 2));
        QTest::mouseClick(reports, Qt::LeftButton, {}, addressPoint(reports));
        QCOMPARE(opened, (QList<QUrl>{AboutDialog::HomePage(), QUrl("https://harvex.org"),
                                      QUrl("https://harvex.org/bugs")}));
        QVERIFY(label("failure")->isHidden());
        succeeds = false;
        QTest::mouseClick(reports, Qt::LeftButton, {}, addressPoint(reports));
        QTRY_VERIFY(label("failure")->isVisible());
        QVERIFY(label("failure")->text().contains("https://harvex.org/bugs") &&
                label("failure")->textInteractionFlags() & Qt::TextSelectableByMouse);
        succeeds = true; // a later success hides it
        QTest::mouseClick(reports, Qt::LeftButton, {}, addressPoint(reports));
        QTRY_VERIFY(label("failure")->isHidden());
    }

    // Cancel writes nothing; Save writes what was changed; a relative base is refused.
    void interfaceSettings()
    {
        QTemporaryDir dir;
        SettingsStore store(dir.filePath(QStringLiteral("settings.ini")));
        Options options;
        ScriptedDialogs dialogs;
        store.Set(QStringLiteral("PBar UI"), QStringLiteral("3"));
        options.LoadSettings(store);
        const QByteArray before = readAll(store.FileName());
        auto dialog = std::make_unique<InterfaceSettingsDialog>(options, store, dialogs);
        dialog->show();
        QPushButton* save = button(dialog.get(), "&Save");
        const auto pickColour = [&](std::function<std::optional<QColor>(const QColor&)> pick) {
            dialog->setColorPicker([pick](const QColor& c, QWidget*) { return pick(c); });
            QTest::mouseClick(dialog->ColorLabel(3), Qt::LeftButton, {}, QPoint(3, 3));
        };
        pickColour([](const QColor&) { return std::nullopt; }); // a cancelled pick
        QVERIFY(!save->isEnabled());
        QTest::mouseClick(dialog->Slider(0), Qt::LeftButton, {}, QPoint(5, 5));
        pickColour([](const QColor&) { return QColor(Qt::red); });
        QVERIFY(save->isEnabled());
        QTest::mouseClick(button(dialog.get(), "&Cancel"), Qt::LeftButton);
        QVERIFY(!dialog->isVisible() && !dialog->Saved() && options.PBarStyle() == 3);
        QCOMPARE(readAll(store.FileName()), before);

        dialog = std::make_unique<InterfaceSettingsDialog>(options, store, dialogs);
        dialog->show();
        for (StyleSlider* slider : {dialog->Slider(0), dialog->Slider(1)}) // to the far right
            QTest::mouseClick(slider, Qt::LeftButton, {},
                              {slider->width() - 1, slider->height() / 2});
        QColor offered;
        pickColour([&](const QColor& initial) {
            offered = initial;
            return QColor(0x12, 0x34, 0x56);
        });
        QCOMPARE(offered, BarBack); // the default progress fill, 9633792
        Tagleaf* swatch = dialog->ColorLabel(3);
        QVERIFY2(count(render(*swatch), swatch->rect(), {0x12, 0x34, 0x56}, 6) > 20, "no swatch");

        auto* edit = dialog->findChild<QLineEdit*>();
        retype(edit, QStringLiteral("relative/folder"));
        QTest::mouseClick(button(dialog.get(), "&Save"), Qt::LeftButton);
        QVERIFY(dialog->isVisible() && dialogs.asked.size() == 1);
        QTemporaryDir other;
        QString offer = QStringLiteral("/no/such/folder");
        dialog->setFolderPicker([&](const QString&, QWidget*) { return offer; });
        edit->setText(dir.path());
        QMetaObject::invokeMethod(dialog->findChild<QToolButton*>(), "click");
        QCOMPARE(edit->text(), dir.path());
        offer = other.path();
        QMetaObject::invokeMethod(dialog->findChild<QToolButton*>(), "click");
        QCOMPARE(edit->text(), other.path());
        QCOMPARE(dialogs.messages().last(),
                 QStringLiteral("The Base dir setting will take effect on next run.."));
        QTest::mouseClick(button(dialog.get(), "&Save"), Qt::LeftButton);
        QVERIFY(dialog->Saved() && options.PBarStyle() == 10 && options.TBarStyle() == 7 &&
                options.ColorValues()[3] == 5649426u);
        QCOMPARE(store.Get("Base Dir") + '|' + store.Get("PBar UI") + store.Get("TBar UI") + '|' +
                     store.Get("ColorSettings"),
                 other.path() + "|107|9633792;16777088;8421376;5649426;8421376;14206136;0;");
    }

    // Delete and New folder ask and follow the core's answer; Cancel stops a delete.
    void folderChooser()
    {
        QTemporaryDir dir;
        const QString top = dir.filePath(QStringLiteral("top")), base = dir.filePath("base");
        QDir().mkpath(base);
        for (int i = 0; i < 50; ++i)
            writeFile(top + QStringLiteral("/a/b/f%1").arg(i), "x");
        writeFile(top + QStringLiteral("/rodir/in"), "x");
        QFile::setPermissions(top + "/rodir", QFileDevice::ReadOwner | QFileDevice::ExeOwner);

        FolderDeleteDialog progress(top, QString(), QDir::homePath());
        progress.Deleter().setBatchSize(1);
        int shown = 0;
        connect(&progress.Deleter(), &FolderTreeDelete::Progress, &progress, [&] {
            if (++shown == 2)
                QTest::mouseClick(progress.findChild<QPushButton*>(), Qt::LeftButton);
        });
        progress.exec();
        QVERIFY(progress.Cancelled() && shown == 2 && QFileInfo::exists(top + "/a/b/f49"));

        ScriptedDialogs dialogs;
        FolderChooser chooser(dialogs, base);
        auto deletable = [&] {
            for (QAction* a : chooser.ContextMenu()->actions())
                if (a->text() == QStringLiteral("&Delete"))
                    return a->isEnabled();
            return false;
        };
        chooser.setDirectory(top + QStringLiteral("/rodir"));
        QVERIFY(!deletable());
        QFile::setPermissions(top + "/rodir", QFileDevice::ReadOwner | QFileDevice::WriteOwner |
                                                  QFileDevice::ExeOwner);
        chooser.setDirectory(top);
        QVERIFY(deletable());
        dialogs.answers << Dialogs::Answer::No << Dialogs::Answer::Yes;
        chooser.DeleteDirectory();
        QVERIFY(QFileInfo::exists(top + QStringLiteral("/a/b/f49")));
        chooser.DeleteDirectory();
        QVERIFY(!QFileInfo::exists(top) && chooser.getDirectory() == dir.path() &&
                dialogs.asked.last().buttons == Dialogs::Buttons::YesNo &&
                dialogs.messages().last() ==
                    "Sure You want to delete this directory and all its contents:\r\n" + top);
        dialogs.answers.enqueue(Dialogs::Answer::Yes);
        chooser.setDirectory(base);
        chooser.DeleteDirectory();
        QVERIFY(QFileInfo(base).isDir() && dialogs.messages().size() == 3 && // the refusal only
                dialogs.messages().last().contains(QStringLiteral("cannot be deleted")));

        dialogs.inputs << QString("a/b") << std::nullopt << QString("made");
        chooser.setDirectory(dir.path());
        for (int i = 0; i < 3; ++i)
            chooser.NewDirectory();
        QVERIFY(dialogs.messages().size() == 4 && chooser.getDirectory() == dir.filePath("made"));
        QCOMPARE(QDir(dir.path()).entryList(QDir::Dirs | QDir::NoDotAndDotDot),
                 (QStringList{"base", "made"}));
    }

    // The window's keys, clicks and drops (each target hands its data on to the core).
    void keysMouseAndDrops()
    {
        WindowRig rig(2);
        DownloadManager& m = rig.m();
        m.Jobs().AddJobs("http://127.0.0.1:9/a\nhttp://127.0.0.1:9/b");
        RowvaneView* list = rig.window->downloadList();
        list->setFocus();
        // Ctrl+W: the list's own key there, elsewhere a page; Ctrl+T: the navigation.
        QTest::keyClick(list, Qt::Key_W, Qt::ControlModifier);
        QVERIFY(rig.dialogs.asked.isEmpty());
        rig.window->showPane(MainWindow::DownloadOptionPane);
        QTest::keyClick(rig.window.get(), Qt::Key_W, Qt::ControlModifier);
        QCOMPARE(rig.dialogs.asked.size(), 1);
        QTest::keyClick(rig.window.get(), Qt::Key_T, Qt::ControlModifier);
        QVERIFY(rig.window->navigation()->hasFocus());
        QTest::keyClick(rig.window->navigation(), Qt::Key_Down);
        QCOMPARE(rig.window->currentPane(), int(MainWindow::DownloadOptionPane));
        rig.window->showPane(MainWindow::DownloadListPane);

        // A right press, through the window system, picks the row before the menu opens.
        QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, QPoint(40, 3));
        QTest::mousePress(
            rig.window->windowHandle(), Qt::RightButton, {},
            list->viewport()->mapTo(rig.window.get(), QPoint(40, list->RowHeight() + 3)));
        QCOMPARE(m.List2().ListIndex(), 1);
        QTRY_VERIFY(rig.window->menu(QStringLiteral("mnuCTX"))->isVisible());
        rig.window->menu(QStringLiteral("mnuCTX"))->close();
        QTRY_VERIFY(!QApplication::activePopupWidget());

        // The monitor's menu for the third row, whose slot is not connected.
        MonitorPane* monitor = rig.window->monitor();
        QTest::mousePress(monitor, Qt::RightButton, {}, monitor->RowRect(1).center());
        QAction* stop = rig.window->command(QStringLiteral("mnustop"));
        QVERIFY(stop->text() == QStringLiteral("&Stop Connection [02]") && !stop->isEnabled());
        rig.window->menu(QStringLiteral("mnuCTL"))->close();

        // The block label picks the block row: none after a run, so no current row.
        QLabel* block = rig.window->statusPane()->BlockLabel();
        QTest::mouseClick(block, Qt::LeftButton, {}, block->rect().center());
        QCOMPARE(m.List2().ListIndex(), 1);
        rig.clickToolbar("start");
        QVERIFY(m.StopEnabled());
        rig.clickToolbar("stop");
        QVERIFY(!m.StopEnabled());
        QTest::mouseClick(block, Qt::RightButton, {}, block->rect().center()); // a left click only
        QCOMPARE(m.List2().ListIndex(), 1);
        QTest::mouseClick(block, Qt::LeftButton, {}, block->rect().center());
        QCOMPARE(m.List2().ListIndex(), -1);

        m.List2().Clear();
        QVERIFY(dropOn(list, {}, "see http://h/a.zip\r\nno\r\nhttp://h/p.html"));
        QVERIFY(dropOn(rig.window->webPageList(), {QUrl("http://h/p.html"), QUrl("http://h/b.zip")},
                       "http://h/other.html"));
        // The monitor takes addresses for the downloads, not an empty drop.
        QVERIFY(dropOn(monitor, {QUrl("https://h/c.zip")}) && !dropOn(monitor, {}));
        QCOMPARE(m.List2().List(0) + ' ' + m.List2().List(1) + ' ' + m.List4().List(0),
                 "see http://h/a.zip https://h/c.zip http://h/p.html");
        QVERIFY(m.List2().ListCount() == 2 && m.List4().ListCount() == 1);

        // Always on top, twice: the flags and the placement come back.
        const Qt::WindowFlags flags = rig.window->windowFlags();
        const QRect placed = rig.window->geometry();
        rig.window->command(QStringLiteral("stik"))->trigger();
        QVERIFY(rig.window->windowFlags() & Qt::WindowStaysOnTopHint);
        rig.window->command(QStringLiteral("stik"))->trigger();
        QVERIFY(rig.window->windowFlags() == flags && rig.window->geometry() == placed);

        QList<QAction*> commands = rig.window->toolbar()->actions();
        for (const char* name : {"mnuAct", "mnuCTX", "mnuWebPage", "mnuHlp", "mnuCTL"})
            commands << rig.window->menu(QString::fromLatin1(name))->actions();
        static const QRegularExpression decoration(QStringLiteral("&|\\.\\.\\.$| \\[\\d+\\]$"));
        QStringList names{"Ctrl+W", "Ctrl+T", "harvex-cli", "Harvex®.ini"}; // and the commands
        for (QAction* command : std::as_const(commands))
            names << command->text().remove(decoration);
        for (const QString page = HelpBrowser().toPlainText(); const QString& name : names)
            QVERIFY2(page.contains(name), qPrintable(name)); // a separator has no text

        // A placement off every screen comes back onto one.
        WindowRig gone(3, "150000|150000|12000|9000");
        const QRect screen = gone.window->screen()->availableGeometry().adjusted(-8, -8, 8, 8);
        QVERIFY(screen.contains(gone.window->geometry()) && gone.window->size() == QSize(800, 600));
    }

    // A whole run from menu and toolbar, commands enabled before and during it, leaving;
    // meanwhile the program starts and stays open until terminated.
    void runAgainstNginx()
    {
        QProcess program;
        program.start(QStringLiteral(HARVEX_GUI_PATH), {});
        NginxFixture nginx(QStringLiteral("location = /moved { return 302 /files/f0.bin; }"));
        QString error;
        QVERIFY2(nginx.start(&error), qPrintable(error));
        QStringList urls;
        QList<QByteArray> bodies;
        for (int i = 0; i < 26; ++i) {
            bodies << NginxFixture::randomBytes(20000 + i * 3000, quint32(i));
            nginx.writeFile(QStringLiteral("files/f%1.bin").arg(i), bodies.last());
            urls << nginx.url(QStringLiteral("/files/f%1.bin").arg(i));
        }
        for (const char* path : {"/missing/m0.bin", "/missing/m1.bin", "/missing/m2.bin", "/moved"})
            urls << nginx.url(QString::fromLatin1(path));
        WindowRig rig(20);
        DownloadManager& m = rig.m();
        // Twenty slots: the window is at least the monitor and the room for the lists.
        QVERIFY(rig.window->height() >= rig.window->monitor()->height() + 4000 / 15);
        const auto states = [&] {
            rig.window->RefreshEnabling();
            QString got;
            for (const char* name : {"start", "stop", "resume", "mnuClear", "mnuCopy", "mnuCutItem",
                                     "mnuPasteItem", "mnuPaste", "mnubrk", "mnuListtoFile"})
                got += rig.window->command(name)->isEnabled() ? '1' : '0';
            for (const char* name : {"mnuCTX", "mnuWebPage"}) // the list menus follow the pane
                got += rig.window->menu(name)->menuAction()->isEnabled() ? '1' : '0';
            return got;
        };
        QCOMPARE(states(), QStringLiteral("000000000010")); // idle and empty
        m.options().setRedirection(true);
        rig.dialogs.files.enqueue(rig.file("urls.txt", urls.join('\n').toUtf8()));
        rig.window->command(QStringLiteral("mnuloadfile"))->trigger();
        QCOMPARE(m.List2().ListCount(), 30);
        m.List2().setListIndex(1);
        rig.dialogs.clipboard = QStringLiteral("http://example.org/x.zip");
        QCOMPARE(states(), QStringLiteral("100111010110")); // rows, clipboard text
        rig.dialogs.clipboard.clear();
        rig.window->command(QStringLiteral("mnuCutItem"))->trigger();
        m.List2().setListIndex(0);
        QCOMPARE(states(), QStringLiteral("100111100110")); // a cut row waiting
        rig.window->command(QStringLiteral("mnuPasteItem"))->trigger();
        QCOMPARE(m.List2().ListCount(), 30);
        rig.window->showPane(MainWindow::WebPageListPane);
        QVERIFY(states().endsWith("01"));
        rig.window->showPane(MainWindow::DownloadListPane);

        bool graphShown = false;
        QTimer probe;
        connect(&probe, &QTimer::timeout, [&] {
            StatusBarPane* bar = rig.window->statusPane();
            graphShown = graphShown || count(render(*bar), bar->GraphRect(), Qt::red, 40) > 0;
        });
        probe.start(20);
        QSignalSpy finished(&m, &DownloadManager::RunFinished);
        rig.clickToolbar("start");
        m.List2().setListIndex(2);
        QCOMPARE(states().left(7), QStringLiteral("0110100")); // running: rows do not move
        m.options().setClearList(true);
        const QString list = rig.file(QStringLiteral("more.txt"), "http://h/more.zip\n");
        QVERIFY(dropOn(rig.window->downloadList(), {QUrl::fromLocalFile(list)}));
        QVERIFY(rig.dialogs.messages() ==
                    QStringList{"Can't clear jobs while performing downloads."} &&
                m.List2().ListCount() == 30);
        rig.dialogs.answers.enqueue(Dialogs::Answer::No);
        rig.window->command(QStringLiteral("close"))->trigger();
        QVERIFY(rig.dialogs.messages().size() == 2 && rig.window->isVisible() && m.StopEnabled());
        QVERIFY(finished.wait(60000) && graphShown);
        probe.stop();
        const QString root = rig.base() + QStringLiteral("/127.0.0.1%3A") +
                             QString::number(nginx.port()) + QStringLiteral("/files/");
        for (int i = 0; i < 26; ++i)
            QCOMPARE(readFile(root + QStringLiteral("f%1.bin").arg(i)), bodies[i]);
        QCOMPARE(m.LastCounterLine(),
                 QStringLiteral("Status: Total:30  Done:27  Connect Fail:0   Redirected:1   "
                                "Download Fail:3  "));

        m.options().setKeepAlive(false);
        rig.dialogs.answers.enqueue(Dialogs::Answer::No); // not saved; no run to ask about
        rig.window->command(QStringLiteral("mnuExit"))->trigger();
        QVERIFY(rig.dialogs.messages().size() == 3 && !rig.window->isVisible() &&
                rig.dialogs.messages().at(2).startsWith(QStringLiteral("There are unsaved")));
        QVERIFY(!rig.store.Get("WinRect").isEmpty() && !rig.store.Contains("Keep-Alive"));
        QVERIFY(program.state() == QProcess::Running);
        program.terminate();
        QVERIFY(program.waitForFinished(10000));
    }
};

QTEST_MAIN(TestWindow)
#include "test_window.moc"
