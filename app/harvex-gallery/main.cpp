// SPDX-License-Identifier: GPL-3.0-or-later
// One window showing every owner-drawn control in each of its states, and the artwork,
// for screenshots:  harvex-gallery [--grab FILE]  (--grab writes the window to a PNG
// file and quits). harvex-gallery --dialog NAME [--grab FILE] shows one of the window's
// dialogs instead: page-address, page-address-range, interface, folders,
// folder-delete, about. harvex-gallery --pane NAME [--rows N] [--grab FILE] shows one of the
// main window's panes with made-up data: monitor (N slot rows), statusbar, both;
// --touched shows row 3 marked by a right press and the bar lit by the mouse. The content
// panes download-options and advance-options are shown at their usual size, folders and
// help (the folder pane browsing a made-up base folder, or showing the help page) too.
#include "controls/Artwork.h"
#include "controls/CHeader.h"
#include "controls/Indicator.h"
#include "controls/RowvaneView.h"
#include "controls/Tagleaf.h"
#include "lists/FileTypeList.h"
#include "lists/JobList.h"
#include "lists/Rowvane.h"
#include "manager/DownloadManager.h"
#include "manager/SlotMonitor.h"
#include "manager/Startup.h"
#include "platform/ConsoleDialogs.h"
#include "platform/SettingsStore.h"
#include "settings/Options.h"
#include "ui/AboutDialog.h"
#include "ui/AdvanceOptionPage.h"
#include "ui/DownloadOptionPage.h"
#include "ui/FolderChooser.h"
#include "ui/FolderDeleteDialog.h"
#include "ui/FolderPane.h"
#include "ui/InterfaceSettingsDialog.h"
#include "ui/MonitorPane.h"
#include "ui/PageAddressDialog.h"
#include "ui/StatusBarPane.h"
#include "ui/StyleSlider.h"

#include <QApplication>
#include <QCheckBox>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QGridLayout>
#include <QGroupBox>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMouseEvent>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTimer>
#include <QVBoxLayout>

#include <cmath>
#include <cstdio>
#include <memory>

namespace {

constexpr quint32 Running = 0xC0FFFF; // light yellow
constexpr quint32 Done = 0x008000;    // green
constexpr quint32 Failed = 0x0000FF;  // red

RowvaneView* g_shifted = nullptr; // scrolled sideways once laid out
Tagleaf* g_copyBox = nullptr;     // double-clicked once shown

QWidget* titled(const QString& title, QWidget* widget)
{
    auto* box = new QWidget;
    auto* layout = new QVBoxLayout(box);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(2);
    layout->addWidget(new QLabel(title));
    layout->addWidget(widget);
    return box;
}

RowvaneView* listView(Rowvane* model, int style, int checkStyle, bool grid, int rows)
{
    model->setBackColor(0xFFFFFF);
    model->setStyle(style);
    model->setCheckStyle(checkStyle);
    model->setGrid(grid);
    model->setGridColor(0xE0E0E0);
    for (int i = 0; i < rows; ++i)
        model->AddItem(
            QStringLiteral("http://files.example/batch/picture-%1.jpg").arg(i, 3, 10, QChar('0')));
    const int running = model->AddColor(Running), done = model->AddColor(Done),
              failed = model->AddColor(Failed);
    model->SetAttribute(1, 0, running, 1); // running: yellow background
    model->SetAttribute(2, 0, 0, done);    // complete: green text
    model->SetAttribute(3, 0, 0, failed);  // failed: red text
    model->setSelected(2, true);
    model->setSelected(3, true);
    model->setListIndex(4);
    auto* view = new RowvaneView(*model);
    view->setBorderStyle(1);
    view->setFixedSize(330, 150);
    return view;
}

QGroupBox* lists()
{
    auto* box = new QGroupBox("List: plain, drawn check boxes with grid, check pictures");
    auto* layout = new QGridLayout(box);
    layout->addWidget(titled("Style 0, rows 1-3 running/done/failed, row 4 current",
                             listView(new Rowvane(box), 0, 0, false, 8)),
                      0, 0);
    layout->addWidget(
        titled("Style 1, CheckStyle 0, Grid", listView(new Rowvane(box), 1, 0, true, 8)), 0, 1);
    auto* model = new Rowvane(box);
    RowvaneView* view = listView(model, 1, 1, false, 40);
    model->AddItem(QStringLiteral("http://a-very-long-host-name.example/") + QString(60, 'x') +
                   ".zip");
    model->setListIndex(4);
    view->setTopRow(0);
    layout->addWidget(titled("CheckStyle 1 (pictures), 41 rows: vertical bar", view), 0, 2);

    auto* empty = new Rowvane(box);
    RowvaneView* emptyView = listView(empty, 1, 1, false, 0);
    empty->Clear();
    emptyView->setFixedHeight(66);
    layout->addWidget(titled("empty list", emptyView), 1, 0);
    auto* wide = new Rowvane(box);
    RowvaneView* wideView = listView(wide, 1, 1, true, 3);
    wide->AddItem("http://a-very-long-host-name.example/" + QString(40, 'x') + "/far-end.zip");
    wide->setListIndex(3);
    wideView->setFixedHeight(66);
    layout->addWidget(titled("long row, shifted right by 20 steps (Right key)", wideView), 1, 1);
    g_shifted = wideView;
    auto* flat = new Rowvane(box);
    RowvaneView* flatView = listView(flat, 0, 0, false, 3);
    flatView->setBorderStyle(0);
    flat->setSelBackColor(0x808000);
    flatView->setFixedHeight(66);
    layout->addWidget(titled("BorderStyle 0, SelBackColor teal", flatView), 1, 2);
    return box;
}

CHeader* header(const QString& caption, int border)
{
    auto* h = new CHeader;
    h->setCaption(caption);
    h->setHeaderBorder(border);
    h->setFixedSize(250, 22);
    return h;
}

QGroupBox* headers()
{
    auto* box = new QGroupBox("Header: borders 0-3, shadow, disabled, picture, minus icon");
    auto* layout = new QGridLayout(box);
    for (int border = 0; border <= 3; ++border)
        layout->addWidget(header(QStringLiteral("HeaderBorder %1").arg(border), border), 0, border);
    CHeader* shadow = header("Download Monitor (shadow)", 1);
    shadow->setUserShadow(true);
    shadow->setShadowColor(0xFFFFFF);
    shadow->setForeColor(0x800000);
    layout->addWidget(shadow, 1, 0);
    CHeader* disabled = header("Disabled", 1);
    disabled->setEnabled(false);
    layout->addWidget(disabled, 1, 1);
    CHeader* picture = header("Task List (picture)", 3);
    picture->setHeaderPicture(Artwork::pixmap(Artwork::ToolbarSteel));
    layout->addWidget(picture, 1, 2);
    CHeader* minus = header("Actions (minus)", 2);
    minus->setIconTag("-");
    minus->setBackColor(0xF0E0D0);
    layout->addWidget(minus, 1, 3);
    return box;
}

// Frames are stepped once the window is laid out: a resize clears an indicator.
struct IndicatorState
{
    Indicator* indicator;
    int steps;
    bool stop;
};
QVector<IndicatorState> g_indicators;

Indicator* indicator(int effect, int steps, int border, bool stop = false)
{
    auto* ind = new Indicator;
    ind->setFixedSize(150, 22);
    ind->setVisualEffect(effect);
    ind->setBorderStyle(border);
    g_indicators.append({ind, steps, stop});
    return ind;
}

void runIndicators()
{
    for (const IndicatorState& state : std::as_const(g_indicators)) {
        state.indicator->StartNow(); // the first frame
        state.indicator->PauseNow();
        for (int i = 0; i < state.steps; ++i)
            state.indicator->Step();
        if (state.stop)
            state.indicator->stopNow();
    }
}

QGroupBox* indicators()
{
    auto* box = new QGroupBox("Indicator: dots (light, bright phase), blocks, stopped, bordered");
    auto* layout = new QHBoxLayout(box);
    layout->addWidget(titled("dots, dot 0 light", indicator(0, 0, 0)));
    layout->addWidget(titled("dots, dot 2 bright", indicator(0, 7, 0)));
    layout->addWidget(titled("blocks", indicator(1, 6, 0)));
    layout->addWidget(titled("stopped, BorderStyle 1", indicator(0, 2, 1, true)));
    Indicator* green = indicator(1, 10, 1);
    green->setScrollColor(0x008000);
    green->setDotColor(0x008000);
    layout->addWidget(titled("blocks, green, BorderStyle 1", green));
    Indicator* dots = indicator(0, 4, 1);
    dots->setDotColor(0x808080);
    dots->setBackColor(0xFFFFFF);
    layout->addWidget(titled("dots on white, dot 1 light", dots));
    return box;
}

Tagleaf* tagleaf(const QString& caption, const QString& format, int width = 300)
{
    auto* t = new Tagleaf;
    t->setBackColor(0xFFFFFF);
    t->setCaption(caption);
    t->setFormatString(format);
    t->setFixedSize(width, 20);
    return t;
}

QGroupBox* labels()
{
    auto* box = new QGroupBox("Label: runs, rounded and square fills, wrapping, plain, malformed");
    auto* layout = new QGridLayout(box);
    layout->addWidget(tagleaf("Monitor background:" + QString(10, ' '), "L=19;L=2;L=8,BC=255"), 0,
                      0);
    layout->addWidget(tagleaf("Red text, bold underlined, rest plain", "L=9,FC=255;L=16,Font=bu"),
                      0, 1);
    Tagleaf* square = tagleaf(" fill  square  fill ", "L=6,BC=16744448;L=8;L=6,BC=32768");
    square->setRoundedFill(false);
    layout->addWidget(square, 1, 0);
    layout->addWidget(tagleaf(" fill  rounded fill ", "L=6,BC=16744448;L=8;L=6,BC=32768"), 1, 1);
    Tagleaf* wrapped = tagleaf("A long caption whose runs wrap onto the next line of the label",
                               "L=20,FC=8388608,Font=i;L=30,BC=12648447", 220);
    wrapped->setFixedHeight(44);
    layout->addWidget(wrapped, 2, 0);
    Tagleaf* plain = tagleaf("Formatting off, centred", "L=5,FC=255");
    plain->setFormatting(false);
    plain->setAlignment(2);
    layout->addWidget(plain, 2, 1);
    layout->addWidget(tagleaf("Malformed: \";;L=abc,FC=,Font=;X=1\"", ";;L=abc,FC=,Font=;X=1"), 3,
                      0);
    layout->addWidget(tagleaf("Lower-case keys: l=10,fc=255", "l=10,fc=255"), 3, 1);
    g_copyBox = tagleaf("Double-clicked, EditStart 16: copy-this-part", "L=15,FC=8421376");
    g_copyBox->setEditStart(16);
    layout->addWidget(g_copyBox, 4, 0);
    return box;
}

QGroupBox* artwork()
{
    auto* box = new QGroupBox("Artwork (twice the size)");
    auto* layout = new QGridLayout(box);
    layout->setSpacing(4);
    for (int i = 0; i < Artwork::PictureCount; ++i) {
        QImage image = Artwork::image(Artwork::Picture(i));
        if (image.width() == 1)
            image = image.scaled(24, image.height());
        auto* label = new QLabel;
        label->setPixmap(QPixmap::fromImage(image.scaled(image.size() * 2)));
        label->setToolTip(Artwork::name(Artwork::Picture(i)));
        layout->addWidget(label, i / 14, i % 14, Qt::AlignCenter);
    }
    return box;
}

// One of the window's dialogs, filled as a user would have it; nullptr for an unknown name.
QDialog* dialogByName(const QString& name)
{
    if (name.startsWith(QLatin1String("page-address"))) {
        auto* dialog = new PageAddressDialog;
        dialog->findChild<QLineEdit*>(QStringLiteral("address"))
            ->setText(QStringLiteral("http://files.example/gallery/picture-"));
        if (name == QLatin1String("page-address-range")) {
            dialog->findChild<QCheckBox*>()->setChecked(true);
            dialog->findChild<QLineEdit*>(QStringLiteral("end"))->setText(QStringLiteral("x"));
            for (QPushButton* button : dialog->findChildren<QPushButton*>())
                if (button->text() == QLatin1String("&OK"))
                    QTimer::singleShot(100, button, &QPushButton::click);
        }
        return dialog;
    }
    if (name == QLatin1String("interface")) {
        // A store of its own: the gallery never touches the user's settings.
        static QTemporaryDir dir;
        static SettingsStore store(dir.filePath(QStringLiteral("settings.ini")));
        static Options options;
        static ConsoleDialogs dialogs;
        store.Set(QStringLiteral("Base Dir"), dir.path());
        store.Set(QStringLiteral("PBar UI"), QStringLiteral("4"));
        store.Set(QStringLiteral("TBar UI"), QStringLiteral("2"));
        options.LoadSettings(store);
        return new InterfaceSettingsDialog(options, store, dialogs);
    }
    if (name == QLatin1String("folders")) {
        static ConsoleDialogs dialogs;
        auto* chooser = new FolderChooser(dialogs, QString());
        chooser->setDirectory(QStringLiteral("/usr/share"));
        return chooser;
    }
    if (name == QLatin1String("folder-delete")) {
        // A tree of a few thousand files in a folder of its own, deleted for real; the
        // grab shows the dialog while it works.
        static QTemporaryDir dir;
        const QString top = dir.filePath(QStringLiteral("old-downloads/gallery"));
        QDir().mkpath(top);
        for (int i = 0; i < 4000; ++i) {
            QFile file(top + QStringLiteral("/picture-%1.jpg").arg(i, 4, 10, QLatin1Char('0')));
            if (file.open(QIODevice::WriteOnly))
                file.write("x");
        }
        auto* progress = new FolderDeleteDialog(dir.filePath(QStringLiteral("old-downloads")),
                                                QString(), QDir::homePath());
        progress->Deleter().setBatchSize(1);
        return progress;
    }
    if (name == QLatin1String("about")) {
        // Links print their address instead of starting a browser.
        auto* about = new AboutDialog;
        about->SetUrlOpener([](const QUrl& url) {
            std::printf("open %s\n", url.toEncoded().constData());
            return true;
        });
        return about;
    }
    return nullptr;
}

// Shows the dialog; with a file name grabs it to PNG and quits.
int showDialog(QApplication& app, const QString& name, const QString& grabFile)
{
    QDialog* dialog = dialogByName(name);
    if (!dialog) {
        std::fprintf(stderr, "unknown dialog: %s\n", qPrintable(name));
        return 2;
    }
    dialog->show();
    if (!grabFile.isEmpty()) {
        QTimer::singleShot(1500, &app, [&app, dialog, grabFile] {
            app.exit(dialog->grab().save(grabFile, "PNG") ? 0 : 1);
        });
    }
    const int code = app.exec();
    delete dialog;
    return code;
}

// Slots in every lamp state at various stages of their transfers.
void fillMonitor(SlotMonitor& monitor, int rows)
{
    struct Slot
    {
        int lamp;
        double progress;
        const char* text;
    };
    const Slot examples[] = {
        {7, 41.5, "41.5% of 182.3KB][Packets: 37]:[/gallery/2024/picture-0187.jpg"},
        {7, 88.0, "88.0% of 64.0KB][Packets: 12]:[/gallery/2024/picture-0188.jpg"},
        {6, 0, "Connecting > http://files.example/gallery/2024/picture-0189.jpg "},
        {9, 12.0, "Error**=> [10061]: Connection refused"},
        {8, 100, "Download Complete.!!"},
        {0, 0.4, "Not Connected.. (0.4%)"},
        {0, 63.2,
         "Waiting 10 Seconds for try :2 of total 6][http://files.example/gallery/broken.zip"},
    };
    monitor.CreateRows(rows);
    for (int row = 0; row < rows; ++row) {
        const Slot& slot = examples[row % std::size(examples)];
        monitor.SetLamp(row, slot.lamp);
        monitor.SetProgress(row, slot.progress);
        monitor.SetSlotStatus(row, QString::fromLatin1(slot.text));
    }
    monitor.Flush();
}

// A manager of its own (settings in a temporary folder) that has run for a while.
DownloadManager& galleryManager()
{
    static QTemporaryDir dir;
    static SettingsStore store(dir.filePath(QStringLiteral("settings.ini")));
    static ConsoleDialogs dialogs;
    static DownloadManager manager(dialogs, store);
    QStringList urls;
    for (int i = 0; i < 240; ++i)
        urls << QStringLiteral("http://files.example/gallery/picture-%1.jpg").arg(i);
    manager.Jobs().AddJobs(urls.join(QLatin1Char('\n')));
    manager.State().DoneCount = 117;
    manager.State().ConnectFailCount = 2;
    manager.State().RedirectCount = 5;
    manager.State().DownloadFailCount = 1;
    manager.gStatEx(true);
    manager.State().TickCount = 754;
    manager.Settime();
    // A speed that climbs, wobbles, tops the graph for a while and falls off.
    for (int tick = 0; tick < 80; ++tick) {
        const double kb = tick < 20   ? tick * 0.6
                          : tick < 45 ? 11 + 4 * std::sin(tick * 0.7)
                          : tick < 60 ? 24
                                      : qMax(0, 80 - tick) * 0.8;
        manager.Meter().Tick(qint64(kb * 1024), qint64(kb * 1000));
    }
    return manager;
}

// Shows a pane (or both, as the window stacks them); with a file name grabs it and quits.
int showPane(QApplication& app, const QString& name, int rows, bool touched,
             const QString& grabFile)
{
    if (name != QLatin1String("monitor") && name != QLatin1String("statusbar") &&
        name != QLatin1String("both")) {
        std::fprintf(stderr, "unknown pane: %s\n", qPrintable(name));
        return 2;
    }
    QWidget window;
    window.setWindowTitle(QStringLiteral("Harvex panes"));
    auto* layout = new QVBoxLayout(&window);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    static SlotMonitor monitor;
    static Options options;
    MonitorPane* monitorPane = nullptr;
    StatusBarPane* statusBar = nullptr;
    if (name != QLatin1String("statusbar")) {
        fillMonitor(monitor, rows);
        monitorPane = new MonitorPane(monitor, options);
        layout->addWidget(monitorPane);
    }
    if (name == QLatin1String("both"))
        layout->addStretch(1);
    if (name != QLatin1String("monitor")) {
        statusBar = new StatusBarPane(galleryManager());
        layout->addWidget(statusBar);
    }
    window.resize(1180, name == QLatin1String("both") ? window.sizeHint().height() + 60
                                                      : window.sizeHint().height());
    window.show();
    if (touched && monitorPane && rows > 2) {
        const QPointF inRow3 = monitorPane->RowRect(2).center();
        QMouseEvent press(QEvent::MouseButtonPress, inRow3, monitorPane->mapToGlobal(inRow3),
                          Qt::RightButton, Qt::RightButton, Qt::NoModifier);
        QCoreApplication::sendEvent(monitorPane, &press);
    }
    if (touched && statusBar) {
        const QPointF spot(statusBar->GraphRect().right() + 6, 3);
        QMouseEvent move(QEvent::MouseMove, spot, statusBar->mapToGlobal(spot), Qt::NoButton,
                         Qt::NoButton, Qt::NoModifier);
        QCoreApplication::sendEvent(statusBar, &move);
    }
    if (!grabFile.isEmpty()) {
        QTimer::singleShot(300, &app, [&app, &window, grabFile] {
            app.exit(window.grab().save(grabFile, "PNG") ? 0 : 1);
        });
    }
    return app.exec();
}

// One of the window's content panes over a manager of its own (settings and base folder
// in a temporary folder), at the content area's usual size: shown, and with a file name
// grabbed to PNG.
int showOptionPane(QApplication& app, const QString& name, const QString& grabFile)
{
    QTemporaryDir dir;
    SettingsStore store(dir.filePath(QStringLiteral("settings.ini")));
    ConsoleDialogs dialogs;
    store.Set(QStringLiteral("Base Dir"), dir.path());
    store.Set(QStringLiteral("Max Parallel"), QStringLiteral("7"));
    store.Set(QStringLiteral("HTTP Version"), QStringLiteral("1"));
    store.Set(QStringLiteral("DataExt"),
              QStringLiteral("|jpg/1|gif/1|png/1|bmp/0|zip/1|rar/0|txt/1|doc/0|mp3/1|flw/0"));
    DownloadManager manager(dialogs, store);
    Startup::Run(manager);

    std::unique_ptr<QWidget> pane;
    if (name == QLatin1String("download-options")) {
        // A value above the slots created at start-up: the caption says so in red.
        manager.options().setMaxParallel(12);
        pane = std::make_unique<DownloadOptionPage>(manager);
    } else if (name == QLatin1String("advance-options")) {
        manager.DataTypes().setListIndex(2);
        pane = std::make_unique<AdvanceOptionPage>(manager);
    } else {
        std::fprintf(stderr, "unknown pane: %s\n", qPrintable(name));
        return 2;
    }
    pane->resize(620, 330);
    pane->show();
    // The slider holds the keyboard focus: its knob shows the focus mark.
    if (auto* page = dynamic_cast<DownloadOptionPage*>(pane.get())) {
        page->activateWindow();
        page->Slider()->setFocus();
    }
    if (!grabFile.isEmpty()) {
        QTimer::singleShot(500, &app, [&app, &pane, grabFile] {
            app.exit(pane->grab().save(grabFile, "PNG") ? 0 : 1);
        });
    }
    return app.exec();
}

// The folder pane over a made-up base folder (a run's host folders, logs and
// param.dat), browsing it or showing the help page.
int showFolderPane(QApplication& app, const QString& name, const QString& grabFile)
{
    QTemporaryDir dir;
    const QString base = dir.filePath(QStringLiteral("Harvex downloads"));
    const std::pair<const char*, int> files[] = {
        {"example.com/images/sunset 01.jpg", 48213},
        {"example.com/images/sunset 02.jpg", 51877},
        {"example.com/docs/manual.pdf", 310554},
        {"files.example.org%3A8080/pub/archive.zip", 1204733},
        {"Downloads/readme.txt", 912},
        {"Harvex_0.log", 20480},
        {"Harvex_0_SVR.log", 6120},
        {"param.dat", 131},
    };
    for (const auto& [path, size] : files) {
        const QString file = base + QLatin1Char('/') + QString::fromUtf8(path);
        QDir().mkpath(QFileInfo(file).absolutePath());
        QFile out(file);
        if (out.open(QIODevice::WriteOnly))
            out.write(QByteArray(size, 'x'));
    }
    FolderPane pane(base);
    if (name == QLatin1String("help"))
        pane.showHelp();
    else if (name != QLatin1String("folders")) {
        std::fprintf(stderr, "unknown pane: %s\n", qPrintable(name));
        return 2;
    }
    pane.resize(660, 420);
    pane.show();
    if (!grabFile.isEmpty()) {
        QTimer::singleShot(800, &app, [&app, &pane, grabFile] {
            app.exit(pane.grab().save(grabFile, "PNG") ? 0 : 1);
        });
    }
    return app.exec();
}

} // namespace

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    const QStringList args = app.arguments();
    const int grab = int(args.indexOf("--grab"));
    const QString grabFile = grab > 0 && grab + 1 < args.size() ? args.at(grab + 1) : QString();
    const int dialog = int(args.indexOf("--dialog"));
    if (dialog > 0 && dialog + 1 < args.size())
        return showDialog(app, args.at(dialog + 1), grabFile);
    const int pane = int(args.indexOf("--pane"));
    if (pane > 0 && pane + 1 < args.size()) {
        const QString name = args.at(pane + 1);
        if (name.endsWith(QLatin1String("-options")))
            return showOptionPane(app, name, grabFile);
        if (name == QLatin1String("folders") || name == QLatin1String("help"))
            return showFolderPane(app, name, grabFile);
        const int rowsAt = int(args.indexOf("--rows"));
        const int rows = rowsAt > 0 && rowsAt + 1 < args.size() ? args.at(rowsAt + 1).toInt() : 7;
        return showPane(app, name, qBound(1, rows, 20), args.contains(QStringLiteral("--touched")),
                        grabFile);
    }

    QWidget window;
    window.setWindowTitle("Harvex controls");
    window.setWindowIcon(Artwork::pixmap(Artwork::AppIcon));
    auto* layout = new QVBoxLayout(&window);
    layout->addWidget(lists());
    layout->addWidget(headers());
    layout->addWidget(indicators());
    layout->addWidget(labels());
    layout->addWidget(artwork());
    window.show();
    runIndicators();
    for (int i = 0; i < 20; ++i) {
        QKeyEvent right(QEvent::KeyPress, Qt::Key_Right, Qt::NoModifier);
        QCoreApplication::sendEvent(g_shifted, &right);
    }
    QMouseEvent twice(QEvent::MouseButtonDblClick, QPointF(5, 5),
                      g_copyBox->mapToGlobal(QPointF(5, 5)), Qt::LeftButton, Qt::LeftButton,
                      Qt::NoModifier);
    QCoreApplication::sendEvent(g_copyBox, &twice);

    if (!grabFile.isEmpty()) {
        QTimer::singleShot(300, &app, [&] {
            const bool saved = window.grab().save(grabFile, "PNG");
            app.exit(saved ? 0 : 1);
        });
    }
    return app.exec();
}
