// SPDX-License-Identifier: GPL-3.0-or-later
// Drops on the window: the download list and the monitor take list files and addresses
// for the download list, the web page list for itself.
#include "ui/MainWindow.h"

#include "controls/RowvaneView.h"
#include "lists/UrlListIO.h"
#include "manager/DownloadManager.h"
#include "settings/Options.h"
#include "ui/MonitorPane.h"

#include <QMimeData>

void MainWindow::setUpDrops()
{
    const auto dropInto = [this](const QMimeData* data, bool pageList) {
        if (!data)
            return;
        DownloadManager& m = *m_manager;
        m.ListIO().Drop(*data, pageList ? m.List4() : m.List2(),
                        pageList ? m.PageExtPattern() : m.DataExtPattern(),
                        m.options().ClearList());
        RefreshEnabling();
    };
    m_list2->setOLEDropMode(1);
    m_list4->setOLEDropMode(1);
    m_monitor->setAcceptDrops(true);
    connect(m_list2, &RowvaneView::OLEDragDrop, this,
            [dropInto](const QMimeData* data) { dropInto(data, false); });
    connect(m_list4, &RowvaneView::OLEDragDrop, this,
            [dropInto](const QMimeData* data) { dropInto(data, true); });
    connect(m_monitor, &MonitorPane::dataDropped, this,
            [dropInto](const QMimeData* data) { dropInto(data, false); });
}
