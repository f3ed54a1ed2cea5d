// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QHash>
#include <QMainWindow>
#include <QPointer>

#include <memory>

class AdvanceOptionPage;
class CHeader;
class Dialogs;
class DownloadManager;
class DownloadOptionPage;
class FolderPane;
class Indicator;
class MonitorPane;
class QAction;
class QComboBox;
class QListWidget;
class QMenu;
class QStackedWidget;
class QToolBar;
class RowvaneView;
class SettingsStore;
class StatusBarPane;

// The main window: a view over the download manager. The toolbar and the monitor run
// across the top, the navigation list on the left picks the pane on the right (the two
// lists, the two option pages, the folder pane), the status bar with the speed graph runs
// along the bottom. Every command goes to the manager; the window only decides what is
// shown and which commands are enabled.
class MainWindow : public QMainWindow
{
    Q_OBJECT
public:
    // The navigation list's entries, in order.
    enum Pane
    {
        DownloadListPane,
        WebPageListPane,
        DownloadOptionPane,
        AdvanceOptionPane,
        BrowseFolderPane,
        HelpPane,
    };

    // The window answers the manager's questions itself unless `dialogs` is given.
    explicit MainWindow(SettingsStore& store, Dialogs* dialogs = nullptr,
                        QWidget* parent = nullptr);
    ~MainWindow() override;

    // The start-up order: settings, slots and monitor rows, placement, lists, the base
    // folder check. A list file or folder named on the command line is loaded on the
    // first tick.
    void StartUp(const QString& argument = QString());

    DownloadManager& manager() { return *m_manager; }
    // The command of a toolbar key ("start", "stop", ...) or of a menu item by its name
    // ("mnuClear", "mnuPasteItem", ...); nullptr for an unknown name.
    QAction* command(const QString& name) const;
    QMenu* menu(const QString& name) const;
    int currentPane() const;
    void showPane(int pane);
    // Works out which commands are enabled now: the download and web page list menus as
    // they are about to open, and the panes' menus.
    void RefreshEnabling();

    MonitorPane* monitor() const { return m_monitor; }
    StatusBarPane* statusPane() const { return m_statusPane; }
    RowvaneView* downloadList() const { return m_list2; }
    RowvaneView* webPageList() const { return m_list4; }
    QListWidget* navigation() const { return m_navigation; }
    QComboBox* userAgents() const { return m_userAgents; }
    QToolBar* toolbar() const { return m_toolbar; }

    // "Exit": leaves after asking once about running downloads.
    void ExitProgram();

protected:
    void closeEvent(QCloseEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;

private:
    void buildPanes();
    void buildCommands();
    void buildMenus();
    void buildToolbar();
    QAction* addCommand(const QString& name, const QString& text, const std::function<void()>& run);
    void connectManager();
    void applyColors();
    void fitMonitor();
    void restorePlacement();
    void savePlacement();
    void showMonitorMenu(int slot, const QPoint& globalPos);
    void showListMenu(QMenu* menu, RowvaneView* view, const QPoint& pos);
    void openInterfaceSettings();
    void setOnTop(bool onTop);
    void loadFromWebsite();
    // Files, addresses and text dropped on the two lists and on the monitor.
    void setUpDrops();

    SettingsStore& m_store;
    std::unique_ptr<Dialogs> m_ownDialogs;
    Dialogs& m_dialogs;
    std::unique_ptr<DownloadManager> m_manager;

    QToolBar* m_toolbar = nullptr;
    QComboBox* m_userAgents = nullptr;
    CHeader* m_hdrMonitor = nullptr;
    MonitorPane* m_monitor = nullptr;
    CHeader* m_hdrTask = nullptr;
    QListWidget* m_navigation = nullptr;
    Indicator* m_indicator = nullptr;
    CHeader* m_hdrAction = nullptr;
    QStackedWidget* m_panes = nullptr;
    RowvaneView* m_list2 = nullptr;
    RowvaneView* m_list4 = nullptr;
    DownloadOptionPage* m_downloadOptions = nullptr;
    AdvanceOptionPage* m_advanceOptions = nullptr;
    FolderPane* m_folderPane = nullptr;
    StatusBarPane* m_statusPane = nullptr;

    QHash<QString, QAction*> m_commands;
    QHash<QString, QMenu*> m_menus;
    int m_monitorSlot = -1; // the slot of the monitor's menu
};
