// SPDX-License-Identifier: GPL-3.0-or-later
// The window's panes on their own: the download monitor, the status bar, the option pages,
// the folder pane and the help page; rendered offscreen and driven with mouse and keys.
#include "ManagerRig.h"
#include "controls/Artwork.h"
#include "controls/RowvaneView.h"
#include "controls/Tagleaf.h"
#include "lists/FileTypeList.h"
#include "lists/JobList.h"
#include "manager/SlotMonitor.h"
#include "support/ScriptedDialogs.h"
#include "support/TestFiles.h"
#include "support/WidgetProbe.h"
#include "ui/AdvanceOptionPage.h"
#include "ui/DownloadOptionPage.h"
#include "ui/FileTypePanel.h"
#include "ui/FolderPane.h"
#include "ui/HelpBrowser.h"
#include "ui/MainWindow.h"
#include "ui/MonitorPane.h"
#include "ui/StatusBarPane.h"
#include "ui/StyleSlider.h"

#include <QCheckBox>
#include <QComboBox>
#include <QFileSystemModel>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QRadioButton>
#include <QRegularExpression>
#include <QScrollBar>
#include <QSettings>
#include <QToolBar>
#include <QToolButton>
#include <QTreeView>

#include <algorithm>

using WidgetProbe::distance;
using Option = Options::Option;

namespace {

const QColor Red(255, 0, 0), Yellow(255, 255, 0);

// A monitor over `rows` slots, laid out as the window lays it out.
struct Monitor
{
    SlotMonitor monitor;
    Options options;
    MonitorPane pane{monitor, options};

    explicit Monitor(int rows)
    {
        monitor.CreateRows(rows);
        monitor.Flush();
        pane.resize(720, pane.sizeHint().height());
        pane.show();
    }
    // Plain background in a row, between the bar and the text.
    QColor background(int slot)
    {
        return WidgetProbe::render(pane).pixelColor(pane.BarRect(slot).right() + 2,
                                                    pane.RowRect(slot).center().y());
    }
    // Inside the bar at a share of its inner width.
    QColor inBar(int slot, double share)
    {
        const QRect inner = pane.BarInnerRect(slot);
        return WidgetProbe::render(pane).pixelColor(inner.left() + int(share * (inner.width() - 1)),
                                                    inner.center().y());
    }
};

// A manager of seven slots and both option pages over it, shown.
struct Pages
{
    ManagerRig rig{7};
    Options& options = rig.m->options();
    DownloadOptionPage download{*rig.m};
    AdvanceOptionPage advance{*rig.m};

    Pages()
    {
        for (QWidget* page : {static_cast<QWidget*>(&download), static_cast<QWidget*>(&advance)}) {
            page->resize(620, 330);
            page->show();
        }
    }
    template <typename T = QLineEdit>
    T* find(const char* name) const
    {
        T* widget = download.findChild<T*>(name);
        return widget ? widget : advance.findChild<T*>(name);
    }
};

// Types over a box's whole text as a user does (no text: Backspace).
void retype(QLineEdit* box, const QString& text)
{
    box->setFocus();
    box->selectAll();
    if (text.isEmpty())
        QTest::keyClick(box, Qt::Key_Backspace);
    QTest::keyClicks(box, text);
}

// The colour of a label's text, drawn on white.
QColor captionInk(QLabel* caption)
{
    QImage image(caption->size(), QImage::Format_ARGB32);
    image.fill(Qt::white);
    caption->render(&image, QPoint(), QRegion(), QWidget::DrawChildren);
    return WidgetProbe::ink(image, image.rect(), Qt::white);
}

// Pixels of the green tick of the check picture in front of a row.
int tickPixels(RowvaneView* view, int row)
{
    const int h = view->RowHeight();
    return WidgetProbe::count(WidgetProbe::render(*view->viewport()), QRect(0, row * h, 20, h),
                              QColor(0x1E, 0x7A, 0x36), 40);
}

// A double-click as the mouse gives it: press, release, the double-click, release.
void doubleClick(QWidget* widget, QPoint at)
{
    QTest::mousePress(widget, Qt::LeftButton, {}, at);
    QTest::mouseRelease(widget, Qt::LeftButton, {}, at);
    QTest::mouseDClick(widget, Qt::LeftButton, {}, at);
    QTest::mouseRelease(widget, Qt::LeftButton, {}, at);
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
    const bool read = QTest::qWaitFor([&] {
        return !row().isEmpty() && std::any_of(loaded.cbegin(), loaded.cend(), [&](const auto& s) {
            return s.at(0).toString() == folder;
        });
    });
    QCoreApplication::processEvents(); // the sort after reading
    return read ? row().center() : QPoint();
}

// Where `text` is drawn in the browser's viewport, scrolled into sight.
QPoint textSpot(HelpBrowser& browser, const QString& text)
{
    browser.moveCursor(QTextCursor::Start);
    if (!browser.find(text))
        return {};
    QTextCursor cursor = browser.textCursor();
    cursor.setPosition(cursor.selectionStart() + 1);
    return browser.cursorRect(cursor).center();
}

} // namespace

class TestPanes : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    // Background, text, bar back and border from "ColorSettings" 0, 1, 3 and 4.
    void monitorColours()
    {
        Monitor p(3);
        QVERIFY(p.options.setColorSettings("4210752;65535;0;8421504;16711680;0;0"));
        const QImage image = WidgetProbe::render(p.pane);
        QCOMPARE(p.background(2), QColor(64, 64, 64));
        const QRect bar = p.pane.BarRect(1);
        QCOMPARE(image.pixelColor(bar.left(), bar.center().y()), QColor(0, 0, 255));
        QCOMPARE(image.pixelColor(bar.center()), QColor(128, 128, 128));
        const QRect row = p.pane.RowRect(2);
        const QRect number(row.left(), row.top(), p.pane.LampRect(2).left() - row.left(),
                           row.height());
        QVERIFY(distance(WidgetProbe::ink(image, number, QColor(64, 64, 64)), Yellow) < 60);
        QVERIFY(p.options.setColorSettings("8388608;16777215;0;0;0;0;0"));
        QCOMPARE(p.background(2), QColor(0, 0, 128));
    }

    // The lamp's fill per socket state, with a yellow rim while connected; the bar's fill
    // covers its share of the inner width (below 0.5 % nothing), drawn with the chosen
    // progress picture.
    void monitorLampAndProgress()
    {
        Monitor p(2);
        const struct
        {
            int state;
            QColor fill;
        } lamps[] = {{7, QColor(255, 134, 66)},
                     {9, QColor(255, 0, 0)},
                     {8, QColor(0, 0, 255)},
                     {6, QColor(160, 156, 88)},
                     {0, QColor(132, 0, 0)}};
        for (const auto& lamp : lamps) {
            p.monitor.SetLamp(1, lamp.state);
            p.monitor.Flush();
            const QImage image = WidgetProbe::render(p.pane);
            const QRect rect = p.pane.LampRect(1);
            QVERIFY(distance(image.pixelColor(rect.center()), lamp.fill) < 12);
            QCOMPARE(WidgetProbe::count(image, rect, Yellow, 40) > 0, lamp.state == 7);
        }
        const struct
        {
            double percent, at;
            bool filled;
        } fills[] = {
            {50, 0.25, true}, {50, 0.75, false}, {0.4, 0, false}, {0.5, 0, true}, {100, 1, true}};
        for (const auto& fill : fills) {
            p.monitor.SetProgress(1, fill.percent);
            p.monitor.Flush();
            QVERIFY2((distance(p.inBar(1, fill.at), QColor(0, 0, 147)) > 60) == fill.filled,
                     qPrintable(QString::number(fill.percent)));
        }
        const int stripRow = (p.pane.BarInnerRect(1).height() - 1) / 2;
        p.options.setPBarStyle(4);
        const QColor strip = Artwork::image(Artwork::progressStrip(4)).pixelColor(0, stripRow);
        QVERIFY(distance(p.inBar(1, 0.5), strip) < 30);
    }

    // A right press on a row marks it and asks for its menu; not on the frame, not a left
    // press. The pane grows with the rows, up to twenty.
    void monitorRowsAndMenu()
    {
        Monitor p(5);
        QSignalSpy menu(&p.pane, &MonitorPane::slotMenuRequested);
        const QPoint inRow3 = p.pane.RowRect(2).center();
        const QColor before = p.background(2);
        QTest::mousePress(&p.pane, Qt::RightButton, {}, inRow3);
        QCOMPARE(menu.count(), 1);
        QCOMPARE(menu.at(0).at(0).toInt(), 2);
        QCOMPARE(menu.at(0).at(1).toPoint(), p.pane.mapToGlobal(inRow3));
        QVERIFY(p.background(2) != before);
        QCOMPARE(p.background(1), before);
        QTest::mousePress(&p.pane, Qt::RightButton, {}, QPoint(50, 2));
        QTest::mousePress(&p.pane, Qt::RightButton, {}, {50, p.pane.RowRect(4).bottom() + 3});
        QTest::mousePress(&p.pane, Qt::LeftButton, {}, p.pane.RowRect(4).center());
        QCOMPARE(menu.count(), 1);
        QCOMPARE(p.pane.HighlightedSlot(), 2);

        const int five = p.pane.sizeHint().height();
        p.monitor.CreateRows(20);
        p.monitor.Flush();
        const int pitch = (p.pane.sizeHint().height() - five) / 15;
        QVERIFY(pitch >= QFontMetrics(p.pane.font()).height() + 6);
        QCOMPARE(p.pane.sizeHint().height(), five + 15 * pitch);
        QCOMPARE(p.pane.minimumSizeHint().height(), p.pane.sizeHint().height());
        p.pane.resize(700, p.pane.sizeHint().height());
        QVERIFY(p.pane.RowRect(19).bottom() < p.pane.height() - 4); // inside the bevel
        QCOMPARE(p.pane.slotAt(p.pane.RowRect(19).center().y()), 19);
        QCOMPARE(p.pane.slotAt(p.pane.RowRect(19).bottom() + 1), -1);
    }

    // Newest column at the right: 17 KB or more reaches the top in red with a yellow
    // point; zero is a yellow foot; blank after a run. The labels follow the core.
    void statusBar()
    {
        ManagerRig rig(1);
        StatusBarPane bar(*rig.m);
        bar.resize(1200, bar.sizeHint().height());
        bar.show();
        const QRect g = bar.GraphRect();
        QCOMPARE(g.size(), QSize(58, 18));
        QCOMPARE(WidgetProbe::count(WidgetProbe::render(bar), g, Red, 0), 0);
        for (const int kb : {0, 40, 17})
            rig.m->Meter().Tick(qint64(kb) * 1024, 0);
        Q_EMIT rig.m->MeterChanged();
        QImage image = WidgetProbe::render(bar);
        for (int x : {56, 57}) {
            QCOMPARE(image.pixelColor(g.left() + x, g.top()), Yellow);
            QCOMPARE(WidgetProbe::count(image, {g.left() + x, g.top() + 1, 1, 17}, Red, 0), 17);
        }
        QCOMPARE(image.pixelColor(g.left() + 55, g.bottom()), Yellow);
        QVERIFY(distance(image.pixelColor(g.left() + 55, g.bottom() - 1), Red) > 100);
        QCOMPARE(bar.MeterLabel()->text(),
                 QStringLiteral("  Download Speed:17.0KB/Sec     Total Download:00.0MB"));
        rig.m->Meter().BlankGraph();
        Q_EMIT rig.m->RunFinished();
        image = WidgetProbe::render(bar);
        QCOMPARE(WidgetProbe::count(image, g, Red, 0) + WidgetProbe::count(image, g, Yellow, 0), 0);

        // The message: coloured runs while formatting is on, the text colour otherwise.
        Tagleaf* message = bar.MessageLabel();
        rig.m->Jobs().AddJobs("http://a.example/1\nhttp://a.example/2\nhttp://a.example/3");
        rig.m->gStatEx(true);
        QCOMPARE(message->Caption(), rig.m->Status().CounterLine());
        auto firstInk = [&] {
            const QRect piece = message->layoutPieces().at(0).rect.translated(message->pos());
            return WidgetProbe::ink(WidgetProbe::render(bar), piece, QColor(0, 0, 147));
        };
        QVERIFY(distance(firstInk(), QColor(128, 128, 255)) < 60); // "Status: " &HFF8080
        rig.m->gStatEx(false, QStringLiteral("INACTIVE "));
        QVERIFY(distance(firstInk(), QColor(128, 255, 255)) < 60); // ColorSettings 1
        QVERIFY(bar.ListLabel()->text().endsWith(QStringLiteral("/3")));
        rig.m->Jobs().PutBlock(1);
        QCOMPARE(bar.BlockLabel()->text(), QStringLiteral("Block: ON"));
        QSignalSpy clicked(&bar, &StatusBarPane::blockLabelClicked);
        QTest::mouseClick(bar.BlockLabel(), Qt::LeftButton);
        QTest::mouseClick(bar.ListLabel(), Qt::LeftButton);
        QTest::mouseClick(bar.BlockLabel(), Qt::RightButton);
        QCOMPARE(clicked.count(), 1);
    }

    // Over the bar while idle the highlighted background, over a label the normal one;
    // while a run goes never.
    void statusBarHover()
    {
        ManagerRig rig(1);
        StatusBarPane bar(*rig.m);
        bar.resize(1200, bar.sizeHint().height());
        bar.show();
        QVERIFY(QTest::qWaitForWindowExposed(&bar));
        const QPoint spot(bar.GraphRect().right() + 6, 3);
        auto tile = [&](Artwork::Picture picture) {
            return Artwork::image(picture).scaled(16, bar.height()).pixelColor(0, spot.y());
        };
        const QColor normal = tile(Artwork::StatusBar), lit = tile(Artwork::StatusBarHover);
        auto shown = [&] { return WidgetProbe::render(bar).pixelColor(spot); };
        QVERIFY(distance(shown(), normal) < 12);
        for (QWidget* label :
             std::initializer_list<QWidget*>{bar.MessageLabel(), bar.MeterLabel()}) {
            QTest::mouseMove(&bar, spot);
            QTRY_VERIFY(bar.Highlighted());
            QVERIFY(distance(shown(), lit) < 12);
            QTest::mouseMove(label, QPoint(5, 5));
            QTRY_VERIFY(!bar.Highlighted());
            QVERIFY(distance(shown(), normal) < 12);
        }
        QTest::mouseMove(&bar, spot);
        QTRY_VERIFY(bar.Highlighted());
        rig.m->State().IsIdle = false;
        Q_EMIT rig.m->CommandsChanged();
        QVERIFY(!bar.Highlighted());
        QTest::mouseMove(&bar, spot + QPoint(2, 1));
        QCoreApplication::processEvents();
        QVERIFY(!bar.Highlighted());
        QVERIFY(distance(shown(), normal) < 12);
    }

    // A box's rule (the core's) applies when the focus leaves it, and leaving marks the
    // option even without a change; the minimum size and the wait apply per key.
    void optionBoxes()
    {
        const struct
        {
            const char *name, *typed, *shown;
            Option option;
        } cases[] = {{"txt_MAXCON", "x12", "10", Option::TryCount},
                     {"txt_Timeout", "3", "10", Option::ConnTimeout},
                     {"txtMinSize", "0012", "12", Option::MinImgSize},
                     {"txt_MAXWAIT", "5", "10", Option::BusyWait},
                     {"txt_MAXWAIT", "", "10", Option::BusyWait}};
        for (const auto& c : cases) {
            Pages pages;
            pages.download.activateWindow();
            QVERIFY(QTest::qWaitForWindowActive(&pages.download));
            QLineEdit* box = pages.find(c.name);
            const bool perKey = QString(c.name) == "txtMinSize" || QString(c.name) == "txt_MAXWAIT";
            box->setText(QStringLiteral("45"));
            pages.options.ClearSettingMarks();
            retype(box, c.typed);
            QCOMPARE(pages.options.Marked(c.option), perKey);
            QTest::keyClick(box, Qt::Key_Tab);
            QVERIFY(!box->hasFocus());
            QCOMPARE(box->text(), QString(c.shown));
            QVERIFY(pages.options.Marked(c.option));
            pages.options.ClearSettingMarks();
            box->setFocus();
            QTest::keyClick(box, Qt::Key_Tab);
            QCOMPARE(pages.options.Marked(c.option), !perKey);
        }
    }

    // One click saves one key; loading shows the stored values and marks nothing.
    void optionPagesLoadAndSave()
    {
        Pages pages;
        SettingsStore& store = *pages.rig.store;
        QVERIFY(!pages.options.AnyMarked()); // building the pages marks nothing
        auto storedKeys = [&] {
            QSettings file(store.FileName(), QSettings::IniFormat);
            file.beginGroup(QStringLiteral("Configurations"));
            return file.childKeys();
        };
        QStringList keys = storedKeys() << QStringLiteral("Keep-Alive");
        auto* keepAlive = pages.find<QCheckBox>("Keep-Alive");
        QTest::mouseClick(keepAlive, Qt::LeftButton, {}, QPoint(8, keepAlive->height() / 2));
        QVERIFY(!pages.options.KeepAlive() && pages.options.SaveEnabled());
        QVERIFY(pages.options.SaveSettings(store));
        keys.sort();
        QCOMPARE(storedKeys(), keys);
        QCOMPARE(store.Get("Keep-Alive"), QStringLiteral("0"));
        QVERIFY(!pages.options.SaveEnabled());

        const std::pair<const char*, const char*> stored[] = {
            {"Path Option", "2"},       {"Max Parallel", "12"}, {"Keep-Alive", "0"},
            {"Reuse Connections", "1"}, {"MAX-Try", "4"},       {"Busy-Wait", "45"},
            {"Connect-Timeout", "3"},   {"MinImgSize", "2048"}};
        for (auto [key, value] : stored)
            store.Set(key, value);
        pages.options.LoadSettings(store);
        QVERIFY(!pages.options.AnyMarked() && !pages.options.SaveEnabled());
        QVERIFY(pages.find<QRadioButton>("OptPath2")->isChecked());
        QVERIFY(!pages.find<QRadioButton>("OptPath0")->isChecked());
        QCOMPARE(pages.download.Slider()->Value(), 12);
        QVERIFY(pages.download.SliderCaption()->text().startsWith(" 12 [ Limit exceeded! ]"));
        QVERIFY(pages.find<QCheckBox>("Reuse Connections")->isChecked());
        QCOMPARE(pages.find("txt_MAXCON")->text() + pages.find("txt_MAXWAIT")->text() +
                     pages.find("txt_Timeout")->text() + pages.find("txtMinSize")->text(),
                 QStringLiteral("445102048"));

        QVERIFY(!keepAlive->isChecked());
        auto* flat = pages.find<QRadioButton>("OptPath1"); // a click is the option's edit
        QTest::mouseClick(flat, Qt::LeftButton, {}, QPoint(8, flat->height() / 2));
        QCOMPARE(pages.options.PathOption(), 1);
        QVERIFY(pages.options.Marked(Option::PathOption));
    }

    // The slider sets the parallel count at its release and colours its caption red over
    // the limit; never more slots than were made at start-up.
    void optionSlider()
    {
        Pages pages;
        StyleSlider* slider = pages.download.Slider();
        QLabel* caption = pages.download.SliderCaption();
        QVERIFY(distance(captionInk(caption), Qt::red) > 200);
        QTest::mouseClick(slider, Qt::LeftButton, {}, QPoint(slider->width() - 1, 5));
        QCOMPARE(pages.options.MaxParallel(), 20);
        QVERIFY(pages.options.Marked(Option::MaxParallel));
        QCOMPARE(pages.rig.m->State().SlotCount, 7);
        QVERIFY(caption->text().startsWith(QStringLiteral(" 20 [ Limit exceeded! ]")));
        QVERIFY(caption->text().endsWith(QStringLiteral("= 7 ]")));
        QVERIFY(distance(captionInk(caption), Qt::red) < 60);
        QTest::mouseClick(slider, Qt::LeftButton, {}, QPoint(1, 5)); // first twentieth: 1
        QCOMPARE(pages.rig.m->State().SlotCount, 1);
        QTest::keyClick(slider, Qt::Key_Right);
        QCOMPARE(pages.options.MaxParallel(), 2);
        QVERIFY(caption->text().startsWith(" 2 [ ") && !caption->text().contains("Limit"));
        QVERIFY(distance(captionInk(caption), Qt::red) > 200);
    }

    // The header boxes show their lists and pick into them.
    void optionHeaderCombos()
    {
        Pages pages;
        ParamValues& params = pages.rig.m->Params();
        QComboBox* accept = pages.advance.HeaderCombo(0);
        QComboBox* language = pages.advance.HeaderCombo(1);
        QCOMPARE(accept->currentText(), QStringLiteral("*.*, */*"));
        QCOMPARE(language->currentIndex(), 0);
        language->setFocus();
        QTest::keyClick(language, Qt::Key_Down);
        QTest::keyClick(language, Qt::Key_Down);
        QCOMPARE(pages.rig.m->CurrentSlotSettings().AcceptLanguage, QStringLiteral("en-us"));
        params.CboAccept.Select(3);
        params.CboAccept.AddItem(QStringLiteral("image/webp")); // keeps the selection
        QCOMPARE(accept->count(), 5);
        QCOMPARE(accept->currentIndex(), 3);
        params.CboAccept.Clear();
        params.CboAccept.AddItem(QStringLiteral("text/plain"));
        QCOMPARE(accept->currentIndex(), -1);
        QCOMPARE(params.CboAccept.SelectedIndex(), -1);
    }

    // Add (trimmed, unchecked), check by click on the picture and by Space, remove after
    // the question; the option's text follows.
    void optionFileTypes()
    {
        Pages pages;
        FileTypePanel* panel = pages.advance.DataTypesPanel();
        FileTypeList& types = pages.rig.m->DataTypes();
        RowvaneView* view = panel->View();
        const int rows = types.ListCount(), h = view->RowHeight();
        QCOMPARE(view->model().ListIndex(), 0);
        pages.rig.dialogs.inputs.enqueue(QStringLiteral(" .WebP "));
        QTest::mouseClick(panel->AddButton(), Qt::LeftButton);
        QCOMPARE(types.Text(rows), QStringLiteral("WebP"));
        QCOMPARE(view->model().ListCount(), rows + 1);
        QVERIFY(pages.options.DataExt().endsWith(QStringLiteral("|WebP/0")));

        QVERIFY(tickPixels(view, 0) > 5);
        QTest::mouseClick(view->viewport(), Qt::LeftButton, {}, QPoint(6, h / 2));
        QVERIFY(!types.Checked(0));
        QCOMPARE(tickPixels(view, 0), 0);
        QVERIFY(tickPixels(view, 1) > 5);
        QTest::keyClick(view, Qt::Key_Space);
        QVERIFY(types.Checked(0) && tickPixels(view, 0) > 5);

        QTest::mouseClick(view->viewport(), Qt::LeftButton, {}, QPoint(60, 2 * h + h / 2));
        const QString removed = types.Text(2);
        pages.rig.dialogs.answers.enqueue(Dialogs::Answer::No);
        QTest::mouseClick(panel->RemoveButton(), Qt::LeftButton);
        QCOMPARE(types.ListCount(), rows + 1);
        QTest::mouseClick(panel->RemoveButton(), Qt::LeftButton);
        QCOMPARE(pages.rig.dialogs.messages().last(),
                 QStringLiteral("Remove the selected file type?"));
        QCOMPARE(types.ListCount(), rows);
        QVERIFY(!pages.options.DataExt().contains('|' + removed + '/'));
        QCOMPARE(view->model().List(2), types.Text(2));
    }

    // Opening a folder in the details, by double-click or Enter, moves the folder list
    // there; a file opens nothing. The name has a blank, "#" and a letter outside ASCII.
    void folderPaneOpens()
    {
        QTemporaryDir dir;
        const QString start = dir.filePath(QStringLiteral("base"));
        const QString target = start + QStringLiteral("/a b#ü");
        QVERIFY(QDir().mkpath(target + QStringLiteral("/inner")));
        QVERIFY(writeFile(start + QStringLiteral("/a%20b#ü"), "x"));
        FolderPane pane(start);
        QSignalSpy loaded(pane.model(), &QFileSystemModel::directoryLoaded);
        pane.resize(700, 400);
        pane.show();
        QSignalSpy changes(&pane, &FolderPane::folderChanged);
        QWidget* viewport = pane.detailsView()->viewport();
        const auto listed = [&] {
            return pane.folderList()->currentIndex().data(QFileSystemModel::FilePathRole);
        };
        for (bool byKey : {false, true}) {
            const QPoint row = settledRow(pane, loaded, target);
            QVERIFY(!row.isNull());
            if (byKey) {
                QTest::mouseClick(viewport, Qt::LeftButton, {}, row);
                QCOMPARE(pane.currentFolder(), start); // a click only selects
                QTest::keyClick(pane.detailsView(), Qt::Key_Return);
            } else {
                doubleClick(viewport, row);
            }
            QCOMPARE(pane.currentFolder(), target);
            QCOMPARE(listed().toString(), target);
            QVERIFY(pane.folderList()->isExpanded(pane.folderList()->currentIndex()));
            QCOMPARE(pane.model()->filePath(pane.detailsView()->rootIndex()), target);
            QCOMPARE(changes.takeFirst().at(0).toString(), target);
            QVERIFY(pane.openFolder(start));
            changes.clear();
        }
        const QPoint file = settledRow(pane, loaded, start + QStringLiteral("/a%20b#ü"));
        QVERIFY(!file.isNull());
        doubleClick(viewport, file);
        QCOMPARE(pane.currentFolder(), start);
        QVERIFY(!pane.openFolder(dir.filePath(QStringLiteral("missing"))));

        // The root volume, first in the list, chosen with the keyboard.
        QComboBox* volumes = pane.volumeList();
        volumes->setCurrentIndex(-1);
        QTest::keyClick(volumes, Qt::Key_Home);
        QCOMPARE(pane.currentFolder(), QStringLiteral("/"));
        QCOMPARE(listed().toString(), QStringLiteral("/"));

        // Help takes the whole pane; browsing gives the lists back.
        pane.showHelp();
        QVERIFY(pane.volumeList()->isHidden() && pane.folderList()->isHidden() &&
                pane.detailsView()->isHidden());
        QCOMPARE(pane.helpBrowser()->geometry(), pane.rect());
        pane.showFolders();
        QVERIFY(pane.folderList()->isVisible() && pane.helpBrowser()->isHidden());
        QVERIFY(pane.detailsView()->geometry().left() > pane.folderList()->geometry().right());
    }

    // A click in the tree fills the details; a deleted current folder gives way to its
    // parent.
    void folderPaneTree()
    {
        QTemporaryDir dir;
        const QString start = dir.filePath(QStringLiteral("base"));
        QVERIFY(QDir().mkpath(start + QStringLiteral("/sub/deeper")));
        FolderPane pane(start);
        pane.resize(700, 400);
        pane.show();
        QTreeView* tree = pane.folderList();
        QTRY_COMPARE(tree->model()->rowCount(tree->currentIndex()), 1);
        const QModelIndex sub = tree->model()->index(0, 0, tree->currentIndex());
        tree->scrollTo(sub);
        const QRect row = tree->visualRect(sub);
        QTest::mouseClick(tree->viewport(), Qt::LeftButton, {}, {row.left() + 8, row.center().y()});
        QCOMPARE(pane.currentFolder(), start + QStringLiteral("/sub"));
        QCOMPARE(pane.model()->filePath(pane.detailsView()->rootIndex()), pane.currentFolder());
        QSignalSpy loaded(pane.model(), &QFileSystemModel::directoryLoaded);
        QVERIFY(pane.openFolder(start + QStringLiteral("/sub/deeper")));
        QTRY_VERIFY(!loaded.isEmpty()); // read, and watched
        QVERIFY(QDir(start + QStringLiteral("/sub")).removeRecursively());
        QTRY_COMPARE(pane.currentFolder(), start);
    }

    // Anchors scroll the page; other addresses go nowhere, not even to the desktop.
    void helpFollowsOnlyItsOwnAnchors()
    {
        HelpBrowser browser;
        browser.resize(600, 400);
        browser.show();
        QTextCursor end(browser.document());
        end.movePosition(QTextCursor::End);
        end.insertHtml(QStringLiteral("<p><a href=\"https://example.com/x\">web!</a> "
                                      "<a href=\"file:///etc/passwd\">file!</a></p>"));
        QSignalSpy refused(&browser, &HelpBrowser::linkRefused);
        for (const char* text : {"web!", "file!"}) {
            const QPoint spot = textSpot(browser, QString::fromLatin1(text));
            QVERIFY2(!spot.isNull(), text);
            QTest::mouseClick(browser.viewport(), Qt::LeftButton, {}, spot);
            QCOMPARE(browser.source(), HelpBrowser::HelpPage());
        }
        QCOMPARE(refused.size(), 2);
        QTest::mouseClick(browser.viewport(), Qt::LeftButton, {},
                          textSpot(browser, QStringLiteral("Files Harvex writes")));
        QCOMPARE(browser.source().fragment(), QStringLiteral("files"));
        QVERIFY(browser.verticalScrollBar()->value() > 0);
    }

    // Every command of the window's toolbar and menus is named on the help page.
    void helpNamesEveryCommand()
    {
        QTemporaryDir dir;
        SettingsStore store(dir.filePath(QStringLiteral("settings.ini")));
        store.Set(QStringLiteral("Base Dir"), dir.path());
        ScriptedDialogs dialogs;
        MainWindow window(store, &dialogs);
        QList<QAction*> commands = window.toolbar()->actions();
        for (const char* menu : {"mnuAct", "mnuCTX", "mnuWebPage", "mnuHlp", "mnuCTL"})
            commands << window.menu(QString::fromLatin1(menu))->actions();
        const QString page = HelpBrowser().toPlainText();
        static const QRegularExpression decoration(QStringLiteral("&|\\.\\.\\.$| \\[\\d+\\]$"));
        for (QAction* command : std::as_const(commands)) {
            const QString name = command->text().remove(decoration);
            QVERIFY2(command->isSeparator() || page.contains(name), qPrintable(name));
        }
        for (const char* word : {"Ctrl+W", "Ctrl+T", "harvex-cli", "Harvex®.ini"})
            QVERIFY2(page.contains(QString::fromUtf8(word)), word);
    }
};

QTEST_MAIN(TestPanes)
#include "test_panes.moc"
