// SPDX-License-Identifier: GPL-3.0-or-later
#include "ui/MainWindow.h"

#include "controls/Artwork.h"
#include "controls/CHeader.h"
#include "controls/Indicator.h"
#include "controls/OleColor.h"
#include "controls/RowvaneView.h"
#include "controls/Twips.h"
#include "harvest/PageHarvester.h"
#include "manager/DownloadManager.h"
#include "manager/Startup.h"
#include "platform/SettingsStore.h"
#include "platform/Version.h"
#include "settings/WindowPlacement.h"
#include "ui/AdvanceOptionPage.h"
#include "ui/DownloadOptionPage.h"
#include "ui/FolderPane.h"
#include "ui/InterfaceSettingsDialog.h"
#include "ui/MonitorPane.h"
#include "ui/QtDialogs.h"
#include "ui/StatusBarPane.h"

#include <QApplication>
#include <QCloseEvent>
#include <QComboBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QListWidget>
#include <QMenuBar>
#include <QScreen>
#include <QStackedWidget>
#include <QTimer>
#include <QToolBar>
#include <QVBoxLayout>

namespace {

// The design sizes of the window's fixed parts, in twips.
constexpr int MinimumWidthTwips = 7000;
constexpr int HeightBesideMonitorTwips = 4000;
constexpr int TaskColumnTwips = 2000;
constexpr int ColumnGapTwips = 30;
constexpr int DefaultWidth = 960;
constexpr int DefaultHeight = 640;

} // namespace

MainWindow::MainWindow(SettingsStore& store, Dialogs* dialogs, QWidget* parent)
    : QMainWindow(parent), m_store(store),
      m_ownDialogs(dialogs ? nullptr : std::make_unique<QtDialogs>(this)),
      m_dialogs(dialogs ? *dialogs : *m_ownDialogs),
      m_manager(std::make_unique<DownloadManager>(m_dialogs, store))
{
    setWindowTitle(QString::fromUtf8(Version::Caption));
    setWindowIcon(Artwork::pixmap(Artwork::AppIcon));
    buildPanes();
    buildCommands();
    buildToolbar();
    buildMenus();
    connectManager();
    resize(DefaultWidth, DefaultHeight);
    setUpDrops();
}

MainWindow::~MainWindow() = default;

void MainWindow::buildPanes()
{
    DownloadManager& m = *m_manager;
    auto* central = new QWidget(this);
    auto* rows = new QVBoxLayout(central);
    rows->setContentsMargins(0, 0, 0, 0);
    rows->setSpacing(0);

    m_hdrMonitor = new CHeader(central);
    m_hdrMonitor->setCaption(QStringLiteral("Download Monitor"));
    m_monitor = new MonitorPane(m.Monitor(), m.options(), central);
    connect(m_monitor, &MonitorPane::slotMenuRequested, this, &MainWindow::showMonitorMenu);
    rows->addWidget(m_hdrMonitor);
    rows->addWidget(m_monitor);

    auto* columns = new QHBoxLayout;
    columns->setContentsMargins(0, 0, Twips::toPixels(ColumnGapTwips), 0);
    columns->setSpacing(Twips::toPixels(ColumnGapTwips));
    auto* task = new QVBoxLayout;
    task->setSpacing(Twips::toPixels(ColumnGapTwips));
    m_hdrTask = new CHeader(central);
    m_hdrTask->setCaption(QStringLiteral("Tasks"));
    m_navigation = new QListWidget(central);
    m_navigation->addItems({QStringLiteral("Download List"), QStringLiteral("Web Page List"),
                            QStringLiteral("Download Option"), QStringLiteral("Advance Options"),
                            QStringLiteral("Browse Folder"), QStringLiteral("Help")});
    m_navigation->installEventFilter(this);
    m_indicator = new Indicator(central);
    m_indicator->setToolTip(QStringLiteral("Ideal..."));
    const int column = Twips::toPixels(TaskColumnTwips);
    for (QWidget* widget : {static_cast<QWidget*>(m_hdrTask), static_cast<QWidget*>(m_navigation),
                            static_cast<QWidget*>(m_indicator)})
        widget->setFixedWidth(column);
    // The program's mark under the indicator.
    auto* logo = new QLabel(central);
    logo->setObjectName(QStringLiteral("Picture1"));
    logo->setPixmap(Artwork::pixmap(Artwork::AppIcon)
                        .scaled(48, 48, Qt::KeepAspectRatio, Qt::SmoothTransformation));
    logo->setAlignment(Qt::AlignCenter);
    logo->setToolTip(QString::fromUtf8(Version::Caption));
    task->addWidget(m_hdrTask);
    task->addWidget(m_navigation, 1);
    task->addWidget(m_indicator);
    task->addWidget(logo);

    auto* content = new QVBoxLayout;
    content->setSpacing(0);
    m_hdrAction = new CHeader(central);
    m_panes = new QStackedWidget(central);
    m_list2 = new RowvaneView(m.List2(), m_panes);
    m_list4 = new RowvaneView(m.List4(), m_panes);
    m_downloadOptions = new DownloadOptionPage(m, m_panes);
    m_advanceOptions = new AdvanceOptionPage(m, m_panes);
    m_folderPane = new FolderPane(m.BaseDir(), m_panes);
    for (QWidget* pane :
         {static_cast<QWidget*>(m_list2), static_cast<QWidget*>(m_list4),
          static_cast<QWidget*>(m_downloadOptions), static_cast<QWidget*>(m_advanceOptions),
          static_cast<QWidget*>(m_folderPane)})
        m_panes->addWidget(pane);
    for (RowvaneView* view : {m_list2, m_list4})
        view->setContextMenuPolicy(Qt::CustomContextMenu);
    content->addWidget(m_hdrAction);
    content->addWidget(m_panes, 1);
    columns->addLayout(task);
    columns->addLayout(content, 1);
    rows->addLayout(columns, 1);

    m_statusPane = new StatusBarPane(m, central);
    connect(m_statusPane, &StatusBarPane::blockLabelClicked, this, [this] {
        // The block row becomes the current row: none while idle, nothing to show when
        // no block is set during a run.
        Rowvane& list = m_manager->List2();
        const int block = m_manager->State().BlockIndex;
        if (block < list.ListCount())
            list.setListIndex(block);
    });
    rows->addWidget(m_statusPane);
    setCentralWidget(central);

    connect(m_navigation, &QListWidget::currentRowChanged, this, &MainWindow::showPane);
    m_navigation->setCurrentRow(DownloadListPane);
    showPane(DownloadListPane);
}

int MainWindow::currentPane() const
{
    return m_navigation->currentRow();
}

void MainWindow::showPane(int pane)
{
    if (pane < 0 || pane >= m_navigation->count())
        return;
    if (m_navigation->currentRow() != pane)
        m_navigation->setCurrentRow(pane); // comes back here
    m_panes->setCurrentIndex(qMin(pane, int(BrowseFolderPane)));
    if (pane == BrowseFolderPane)
        m_folderPane->showFolders();
    else if (pane == HelpPane)
        m_folderPane->showHelp();
    m_hdrAction->setCaption(m_navigation->item(pane)->text());
    RefreshEnabling();
}

void MainWindow::connectManager()
{
    DownloadManager& m = *m_manager;
    connect(&m, &DownloadManager::CommandsChanged, this, &MainWindow::RefreshEnabling);
    connect(&m, &DownloadManager::RunFinished, this, [this] {
        // The last texts of the run show at once, not at the next refresh.
        m_manager->Monitor().Flush();
        RefreshEnabling();
    });
    connect(&m.options(), &Options::saveEnabledChanged, this, &MainWindow::RefreshEnabling);
    connect(&m.options(), &Options::optionChanged, this, [this](Options::Option option) {
        if (option == Options::Option::ColorSettings || option == Options::Option::TBarStyle)
            applyColors();
    });
    connect(&m.Harvester(), &PageHarvester::BusyChanged, this, [this](bool busy) {
        if (busy) {
            m_indicator->setToolTip(QStringLiteral("Fetching and parsing webpage..."));
            m_indicator->StartNow();
        } else {
            m_indicator->stopNow();
            m_indicator->setToolTip(QStringLiteral("Ideal..."));
        }
    });
    connect(&m, &DownloadManager::BaseDirMissing, this,
            [this] { QTimer::singleShot(0, this, &MainWindow::openInterfaceSettings); });
    // The monitor repaints changed rows at most ten times a second.
    m.Monitor().SetRefreshInterval(100);
}

void MainWindow::StartUp(const QString& argument)
{
    DownloadManager& m = *m_manager;
    Startup::Run(m);
    m_folderPane->openFolder(m.BaseDir());
    m_userAgents->setModel(&m.Params().Combo2);
    m_userAgents->setCurrentIndex(m.Params().Combo2.SelectedIndex());
    applyColors();
    fitMonitor();
    restorePlacement();
    if (!argument.isEmpty())
        m.LoadArgumentOnFirstTick(argument);
    RefreshEnabling();
}

// The monitor keeps the height of its rows; the window is at least that plus room for
// the lists, and grows to fit when there are many slots.
void MainWindow::fitMonitor()
{
    m_manager->Monitor().Flush(); // the pane takes its rows now
    const int minimumHeight =
        m_monitor->sizeHint().height() + Twips::toPixels(HeightBesideMonitorTwips);
    setMinimumSize(Twips::toPixels(MinimumWidthTwips), minimumHeight);
    if (height() < minimumHeight)
        resize(width(), minimumHeight);
}

void MainWindow::applyColors()
{
    const Options::Colors& colors = m_manager->options().ColorValues();
    for (CHeader* header : {m_hdrMonitor, m_hdrTask, m_hdrAction}) {
        header->setBackColor(colors[5]);
        header->setForeColor(colors[6]);
    }
    // The toolbar's texture, and the menu bar in the headers' colour.
    QPalette bar = m_toolbar->palette();
    bar.setBrush(QPalette::Window,
                 Artwork::pixmap(Artwork::toolbarBackground(m_manager->options().TBarStyle())));
    m_toolbar->setPalette(bar);
    m_toolbar->setAutoFillBackground(true);
    QPalette menus = menuBar()->palette();
    menus.setColor(QPalette::Window, OleColor::toQColor(colors[5]));
    menus.setColor(QPalette::Button, OleColor::toQColor(colors[5]));
    menuBar()->setPalette(menus);
    menuBar()->setAutoFillBackground(true);
}

// The saved rectangle is the window's position and size in twips, without the frame, and
// is brought back onto a screen there is now.
void MainWindow::restorePlacement()
{
    const std::optional<QRect> saved = Options::ParseWinRect(m_manager->options().WinRect());
    if (!saved)
        return;
    const QRect pixels(Twips::toPixels(saved->left()), Twips::toPixels(saved->top()),
                       Twips::toPixels(saved->width()), Twips::toPixels(saved->height()));
    QList<QRect> screens;
    for (const QScreen* screen : QGuiApplication::screens())
        screens << screen->availableGeometry();
    setGeometry(WindowPlacement::OnScreen(pixels, screens, minimumSize()));
}

void MainWindow::savePlacement()
{
    if (windowState() & (Qt::WindowMinimized | Qt::WindowMaximized | Qt::WindowFullScreen))
        return;
    const QRect r = geometry();
    m_manager->options().SaveWindowRect(
        m_store, QRect(Twips::fromPixels(r.left()), Twips::fromPixels(r.top()),
                       Twips::fromPixels(r.width()), Twips::fromPixels(r.height())));
}

void MainWindow::openInterfaceSettings()
{
    InterfaceSettingsDialog dialog(m_manager->options(), m_store, m_dialogs, this);
    dialog.exec();
}

void MainWindow::ExitProgram()
{
    // The run question is asked here; the close that follows does not ask it again.
    if (m_manager->ConfirmExit())
        close();
}

void MainWindow::closeEvent(QCloseEvent* event)
{
    if (!m_manager->QueryUnload()) {
        event->ignore();
        return;
    }
    savePlacement();
    event->accept();
}
