// SPDX-License-Identifier: GPL-3.0-or-later
// The window's commands: the toolbar, the menu bar whose menus are also the context
// menus of the lists and the monitor, the keys, and which of them are enabled.
#include "controls/Artwork.h"
#include "controls/RowvaneView.h"
#include "engine/HttpFiles.h"
#include "harvest/PageHarvester.h"
#include "lists/JobList.h"
#include "lists/UrlListIO.h"
#include "manager/DownloadManager.h"
#include "ui/AboutDialog.h"
#include "ui/MainWindow.h"
#include "ui/MonitorPane.h"

#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QComboBox>
#include <QEvent>
#include <QKeyEvent>
#include <QListWidget>
#include <QMenu>
#include <QMenuBar>
#include <QShortcut>
#include <QToolBar>

QAction* MainWindow::addCommand(const QString& name, const QString& text,
                                const std::function<void()>& run)
{
    auto* action = new QAction(text, this);
    action->setObjectName(name);
    if (run)
        connect(action, &QAction::triggered, this, run);
    m_commands.insert(name, action);
    return action;
}

QAction* MainWindow::command(const QString& name) const
{
    return m_commands.value(name);
}

QMenu* MainWindow::menu(const QString& name) const
{
    return m_menus.value(name);
}

void MainWindow::buildCommands()
{
    DownloadManager& m = *m_manager;
    // Commands shared by a toolbar button and a menu item are one action under both names.
    const auto alias = [this](const QString& key, const QString& name, const QString& tip) {
        QAction* action = m_commands.value(name);
        action->setToolTip(tip);
        m_commands.insert(key, action);
    };
    addCommand(QStringLiteral("mnuAct_Start"), QStringLiteral("&Start"),
               [&m] { m.StartDownloads(); });
    addCommand(QStringLiteral("mnuAct_Stop"), QStringLiteral("S&top"), [&m] { m.StopDownloads(); });
    addCommand(QStringLiteral("mnuAct_Resume"), QStringLiteral("&Resume Ideal"),
               [&m] { m.ResumeDownloads(); });
    addCommand(QStringLiteral("mnuAct_Cfg"), QStringLiteral("&Configure..."),
               [this] { openInterfaceSettings(); });
    addCommand(QStringLiteral("mnuAct_Save"), QStringLiteral("Save Settings"),
               [&m] { m.SaveSettings(); });
    addCommand(QStringLiteral("mnuExit"), QStringLiteral("E&xit"), [this] { ExitProgram(); });
    addCommand(QStringLiteral("mnuAbt"), QStringLiteral("&About..."), [this] {
        AboutDialog about(this);
        about.exec();
    });
    alias(QStringLiteral("start"), QStringLiteral("mnuAct_Start"),
          QStringLiteral("Start download(s)"));
    alias(QStringLiteral("stop"), QStringLiteral("mnuAct_Stop"),
          QStringLiteral("Stop download(s)"));
    alias(QStringLiteral("resume"), QStringLiteral("mnuAct_Resume"),
          QStringLiteral("Resume ideal"));
    alias(QStringLiteral("tools"), QStringLiteral("mnuAct_Cfg"), QStringLiteral("Configure..."));
    alias(QStringLiteral("save"), QStringLiteral("mnuAct_Save"), QStringLiteral("Save settings"));
    alias(QStringLiteral("abt"), QStringLiteral("mnuAbt"), QStringLiteral("About..."));
    alias(QStringLiteral("close"), QStringLiteral("mnuExit"), QStringLiteral("Exit"));
    addCommand(QStringLiteral("filt"), QStringLiteral("Load from Website"), [this] {
        loadFromWebsite();
    })->setToolTip(QStringLiteral("Load from Website"));
    addCommand(QStringLiteral("mon"), QStringLiteral("Monitor"), {})
        ->setToolTip(QStringLiteral("Show download monitor"));
    addCommand(QStringLiteral("conf"), QStringLiteral("Options"), [this] {
        showPane(AdvanceOptionPane);
    })->setToolTip(QStringLiteral("Show option pane"));
    QAction* onTop = addCommand(QStringLiteral("stik"), QStringLiteral("Always on top"), {});
    onTop->setToolTip(QStringLiteral("Alwys on top"));
    onTop->setCheckable(true);
    connect(onTop, &QAction::toggled, this, &MainWindow::setOnTop);

    addCommand(QStringLiteral("mnustop"), QStringLiteral("&Stop Connection [01]"), [this] {
        if (m_monitorSlot >= 0)
            m_manager->StopConnection(m_monitorSlot);
    });

    // The download list.
    UrlListIO& io = m.ListIO();
    JobList& jobs = m.Jobs();
    Rowvane& list2 = m.List2();
    addCommand(QStringLiteral("mnuCopy"), QStringLiteral("Copy this Item"),
               [&io] { io.CopyItem(); });
    addCommand(QStringLiteral("mnuListtoFile"), QStringLiteral("&Save..."),
               [&io, &list2] { io.SaveListDialog(list2); });
    addCommand(QStringLiteral("mnuListtoFile_Unchecked"), QStringLiteral("Save Unchecked..."),
               [&io] { io.SaveUncheckedJobs(); });
    addCommand(QStringLiteral("mnuListtoFile_Failed"), QStringLiteral("Save Failed..."),
               [&io, &list2, &jobs] { io.SaveListDialog(list2, jobs.ClrFailed()); });
    addCommand(QStringLiteral("mnuListtoFile_Completed"), QStringLiteral("Save Completed..."),
               [&io, &list2, &jobs] { io.SaveListDialog(list2, jobs.ClrDone()); });
    addCommand(QStringLiteral("mnuClear"), QStringLiteral("&Clear List"),
               [&jobs] { jobs.ClearAll(); });
    addCommand(QStringLiteral("mnuClear_Failed"), QStringLiteral("Clear Failed"),
               [&jobs] { jobs.ClearFailed(); });
    addCommand(QStringLiteral("mnuClear_Completed"), QStringLiteral("Clear Completed"),
               [&jobs] { jobs.ClearCompleted(); });
    QAction* website = addCommand(QStringLiteral("mnuWebSite"), QStringLiteral("Load from Website"),
                                  [this] { loadFromWebsite(); });
    // Ctrl+W fetches a page from any pane but the download list, where the key goes on to
    // the list; the action carrying it is enabled accordingly.
    QAction* websiteKey =
        addCommand(QStringLiteral("keyWebSite"), website->text(), [this] { loadFromWebsite(); });
    websiteKey->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_W));
    addAction(websiteKey);
    addCommand(QStringLiteral("mnuloadfile"), QStringLiteral("&Load from File..."),
               [&io] { io.LoadFromFile(); });
    addCommand(QStringLiteral("mnuPaste"), QStringLiteral("Paste &Filtered"),
               [&io, &m] { io.PasteFiltered(m.DataExtPattern()); });
    addCommand(QStringLiteral("mnuPasteUF"), QStringLiteral("&Paste Unfiltered"),
               [&io] { io.PasteUnfiltered(); });
    addCommand(QStringLiteral("mnubrk"), QStringLiteral("Block Download from this Item"),
               [&m] { m.SetBlock(); });
    addCommand(QStringLiteral("mnuUnBrk"), QStringLiteral("Undo Bock"), [&m] { m.RemoveBlock(); });
    addCommand(QStringLiteral("mnuCutItem"), QStringLiteral("Cut"), [&io] { io.CutItem(); });
    addCommand(QStringLiteral("mnuPasteItem"), QStringLiteral("Paste"), [&io] { io.PasteItem(); });

    // The web page list.
    struct PageCommand
    {
        const char* name;
        const char* text;
        void (PageHarvester::*run)();
    };
    const PageCommand pageCommands[] = {
        {"mnuParseWeb", "Parse this page", &PageHarvester::ParseThisPage},
        {"mnuCopyUrl", "Copy this Item", &PageHarvester::CopyThisItem},
        {"mnuSaveUrls", "Save...", &PageHarvester::SaveUrls},
        {"mnusaveCkdUrls", "Save Checked...", &PageHarvester::SaveCheckedUrls},
        {"mnusaveUnckdUrls", "Save Unchecked...", &PageHarvester::SaveUncheckedUrls},
        {"mnuclrChkdUrls", "Clear Checked", &PageHarvester::ClearCheckedUrls},
        {"mnuclrUnChkdUrls", "Clear Unchecked", &PageHarvester::ClearUncheckedUrls},
        {"mnuClrUrls", "Clear Page Links", &PageHarvester::ClearUrls},
    };
    PageHarvester& pages = m.Harvester();
    for (const PageCommand& command : pageCommands)
        addCommand(QString::fromLatin1(command.name), QString::fromLatin1(command.text),
                   [&pages, run = command.run] { (pages.*run)(); });
    addCommand(QStringLiteral("mnuAppHlp"), QStringLiteral("Harvex Help"),
               [this] { showPane(HelpPane); });

    auto* focusTasks = new QShortcut(QKeySequence(Qt::CTRL | Qt::Key_T), this);
    connect(focusTasks, &QShortcut::activated, m_navigation,
            [this] { m_navigation->setFocus(Qt::ShortcutFocusReason); });
    // The paste items follow the clipboard.
    connect(QGuiApplication::clipboard(), &QClipboard::dataChanged, this,
            &MainWindow::RefreshEnabling);
}

void MainWindow::buildToolbar()
{
    m_toolbar = new QToolBar(QStringLiteral("Commands"), this);
    m_toolbar->setObjectName(QStringLiteral("TBAR"));
    m_toolbar->setMovable(false);
    m_toolbar->setFloatable(false);
    m_toolbar->setContextMenuPolicy(Qt::PreventContextMenu);
    m_toolbar->setIconSize(QSize(24, 24));
    const char* keys[] = {"start", "stop", "resume", nullptr, "filt",  "mon", "conf",
                          "tools", "save", nullptr,  "abt",   "close", "stik"};
    for (const char* key : keys) {
        if (!key) {
            m_toolbar->addSeparator();
            continue;
        }
        const QString name = QString::fromLatin1(key);
        QAction* action = m_commands.value(name);
        action->setIcon(Artwork::pixmap(Artwork::toolbarIcon(name)));
        m_toolbar->addAction(action);
    }
    // The user agent of every request, reaching to the toolbar's right end.
    m_userAgents = new QComboBox(m_toolbar);
    m_userAgents->setObjectName(QStringLiteral("Combo2"));
    m_userAgents->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
    m_userAgents->setMinimumContentsLength(12);
    m_userAgents->setSizeAdjustPolicy(QComboBox::AdjustToMinimumContentsLengthWithIcon);
    m_userAgents->setToolTip(QStringLiteral("User-Agent"));
    m_toolbar->addWidget(m_userAgents);
    connect(m_userAgents, &QComboBox::currentIndexChanged, this,
            [this](int index) { m_manager->Params().Combo2.Select(index); });
    addToolBar(Qt::TopToolBarArea, m_toolbar);
}

void MainWindow::buildMenus()
{
    const auto build = [this](const QString& name, const QString& title,
                              std::initializer_list<const char*> items) {
        auto* menu = new QMenu(title, this);
        menu->setObjectName(name);
        for (const char* item : items) {
            if (!item)
                menu->addSeparator();
            else
                menu->addAction(m_commands.value(QString::fromLatin1(item)));
        }
        connect(menu, &QMenu::aboutToShow, this, &MainWindow::RefreshEnabling);
        m_menus.insert(name, menu);
        return menu;
    };
    QMenuBar* bar = menuBar();
    bar->addMenu(build(QStringLiteral("mnuAct"), QStringLiteral("&Action"),
                       {"mnuAct_Start", "mnuAct_Stop", "mnuAct_Resume", nullptr, "mnuAct_Cfg",
                        "mnuAct_Save", nullptr, "mnuExit"}));
    bar->addMenu(build(QStringLiteral("mnuCTX"), QStringLiteral("&Download List"),
                       {"mnuCopy",
                        nullptr,
                        "mnuListtoFile",
                        "mnuListtoFile_Unchecked",
                        "mnuListtoFile_Failed",
                        "mnuListtoFile_Completed",
                        nullptr,
                        "mnuClear",
                        "mnuClear_Failed",
                        "mnuClear_Completed",
                        nullptr,
                        "mnuWebSite",
                        "mnuloadfile",
                        "mnuPaste",
                        "mnuPasteUF",
                        nullptr,
                        "mnubrk",
                        "mnuUnBrk",
                        nullptr,
                        "mnuCutItem",
                        "mnuPasteItem"}));
    bar->addMenu(
        build(QStringLiteral("mnuWebPage"), QStringLiteral("&Web Page List"),
              {"mnuParseWeb", "mnuCopyUrl", nullptr, "mnuSaveUrls", "mnusaveCkdUrls",
               "mnusaveUnckdUrls", nullptr, "mnuclrChkdUrls", "mnuclrUnChkdUrls", "mnuClrUrls"}));
    bar->addMenu(build(QStringLiteral("mnuHlp"), QStringLiteral("&Help"), {"mnuAppHlp", "mnuAbt"}));
    // The monitor's menu is a context menu only.
    build(QStringLiteral("mnuCTL"), QStringLiteral("&Connection"), {"mnustop"});

    connect(m_list2, &QWidget::customContextMenuRequested, this, [this](const QPoint& pos) {
        showListMenu(m_menus.value(QStringLiteral("mnuCTX")), m_list2, pos);
    });
    connect(m_list4, &QWidget::customContextMenuRequested, this, [this](const QPoint& pos) {
        showListMenu(m_menus.value(QStringLiteral("mnuWebPage")), m_list4, pos);
    });
}

// A right press has already made the row under the mouse current when the menu opens.
void MainWindow::showListMenu(QMenu* menu, RowvaneView* view, const QPoint& pos)
{
    RefreshEnabling();
    if (menu->menuAction()->isEnabled())
        menu->popup(view->viewport()->mapToGlobal(pos));
}

void MainWindow::showMonitorMenu(int slot, const QPoint& globalPos)
{
    m_monitorSlot = slot;
    QAction* stop = m_commands.value(QStringLiteral("mnustop"));
    stop->setText(QStringLiteral("&Stop Connection [%1]").arg(slot + 1, 2, 10, QLatin1Char('0')));
    const HttpFiles* http = m_manager->Http(slot);
    stop->setEnabled(http && http->State() > 0);
    m_menus.value(QStringLiteral("mnuCTL"))->popup(globalPos);
}

void MainWindow::RefreshEnabling()
{
    if (m_menus.isEmpty())
        return;
    DownloadManager& m = *m_manager;
    const auto enable = [this](const char* name, bool on) {
        m_commands.value(QString::fromLatin1(name))->setEnabled(on);
    };
    enable("mnuAct_Start", m.StartEnabled());
    enable("mnuAct_Stop", m.StopEnabled());
    enable("mnuAct_Resume", m.ResumeEnabled());
    enable("mnuAct_Save", m.options().SaveEnabled());

    const int pane = currentPane();
    m_menus.value(QStringLiteral("mnuCTX"))->menuAction()->setEnabled(pane == DownloadListPane);
    m_menus.value(QStringLiteral("mnuWebPage"))->menuAction()->setEnabled(pane == WebPageListPane);
    enable("keyWebSite", pane != DownloadListPane);

    const DownloadListMenu jobs = m.DownloadMenu();
    enable("mnuListtoFile", jobs.Save);
    enable("mnuListtoFile_Unchecked", jobs.SaveUnchecked);
    enable("mnuListtoFile_Failed", jobs.SaveFailed);
    enable("mnuListtoFile_Completed", jobs.SaveCompleted);
    enable("mnuClear", jobs.Clear);
    enable("mnuClear_Failed", jobs.ClearFailed);
    enable("mnuClear_Completed", jobs.ClearCompleted);
    enable("mnuPaste", jobs.PasteFiltered);
    enable("mnuPasteUF", jobs.PasteUnfiltered);
    enable("mnubrk", jobs.Block);
    enable("mnuUnBrk", jobs.Unblock);
    enable("mnuCopy", jobs.Copy);
    enable("mnuCutItem", jobs.Cut);
    enable("mnuPasteItem", jobs.Paste);

    const PageHarvester::WebPageMenu pages = m.Harvester().UpdateWebPageMenu();
    enable("mnuParseWeb", pages.ParseWeb);
    enable("mnuCopyUrl", pages.CopyUrl);
    enable("mnuSaveUrls", pages.SaveUrls);
    enable("mnusaveCkdUrls", pages.SaveCheckedUrls);
    enable("mnusaveUnckdUrls", pages.SaveUncheckedUrls);
    enable("mnuclrChkdUrls", pages.ClearCheckedUrls);
    enable("mnuclrUnChkdUrls", pages.ClearUncheckedUrls);
    enable("mnuClrUrls", pages.ClearUrls);
}

void MainWindow::loadFromWebsite()
{
    m_manager->Harvester().ParseWebPage();
}

// Staying on top is a window flag; changing it re-creates the native window, so the
// geometry is carried over. A desktop that ignores the hint leaves the button working.
void MainWindow::setOnTop(bool onTop)
{
    const QRect placed = geometry();
    const bool shown = isVisible();
    setWindowFlag(Qt::WindowStaysOnTopHint, onTop);
    setGeometry(placed);
    if (shown)
        show();
}

// The navigation list does not react to the keyboard; Tab still moves on.
bool MainWindow::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == m_navigation && event->type() == QEvent::KeyPress) {
        const int key = static_cast<QKeyEvent*>(event)->key();
        return key != Qt::Key_Tab && key != Qt::Key_Backtab;
    }
    return QMainWindow::eventFilter(watched, event);
}

void MainWindow::keyPressEvent(QKeyEvent* event)
{
    RefreshEnabling();
    QMainWindow::keyPressEvent(event);
}
