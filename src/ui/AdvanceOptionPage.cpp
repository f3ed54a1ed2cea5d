// SPDX-License-Identifier: GPL-3.0-or-later
#include "ui/AdvanceOptionPage.h"

#include "controls/RowvaneView.h"
#include "manager/DownloadManager.h"
#include "ui/FileTypePanel.h"
#include "ui/OptionCheckBox.h"

#include <QComboBox>
#include <QFormLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QToolButton>
#include <QVBoxLayout>

namespace {

using Option = Options::Option;

// The selection of a choice list shown in its combo box.
void showSelection(QComboBox* combo, const ComboList& list)
{
    if (combo->currentIndex() != list.SelectedIndex())
        combo->setCurrentIndex(list.SelectedIndex());
}

// Frames laid out tightly enough for the content area (about 620 x 330 pixels).
void tighten(QLayout* layout)
{
    layout->setContentsMargins(8, 4, 8, 4);
    layout->setSpacing(2);
}

} // namespace

AdvanceOptionPage::AdvanceOptionPage(DownloadManager& manager, QWidget* parent) : QWidget(parent)
{
    Options& options = manager.options();
    auto checkBox = [&](Option option, const char* caption, QWidget* owner) {
        auto* box = new OptionCheckBox(options, option, QString::fromLatin1(caption), owner);
        box->setObjectName(QString::fromLatin1(Options::Key(option)));
        m_checks.append(box);
        return box;
    };

    auto* logFrame = new QGroupBox(QStringLiteral("Logging"), this);
    auto* logColumn = new QVBoxLayout(logFrame);
    logColumn->addWidget(checkBox(Option::LogReply, "Log Reply &Header", logFrame));
    logColumn->addWidget(checkBox(Option::LogRequest, "Log Re&quest Header", logFrame));
    logColumn->addWidget(checkBox(Option::ListUrl, "Log page &links", logFrame));
    tighten(logColumn);

    auto* headerFrame = new QGroupBox(QStringLiteral("Request Headers"), this);
    auto* headerForm = new QFormLayout(headerFrame);
    ParamValues& params = manager.Params();
    m_lists = {&params.CboAccept, &params.CboAccptLang, &params.CboAccptEncoding};
    const char* const names[3] = {"CboAccept", "CboAccptLang", "CboAccptEncoding"};
    const char* const captions[3] = {"&Accept:", "Accept-La&nguage:", "Accept-&Encoding:"};
    for (int i = 0; i < 3; ++i) {
        m_combos[i] = headerCombo(*m_lists[i], QString::fromLatin1(names[i]));
        headerForm->addRow(QString::fromLatin1(captions[i]), m_combos[i]);
    }
    tighten(headerForm);
    headerForm->setVerticalSpacing(3);

    // The speed options say what they do in their tool tips.
    auto* speedFrame = new QGroupBox(QStringLiteral("Speed"), this);
    auto* speedColumn = new QVBoxLayout(speedFrame);
    OptionCheckBox* atOnce = checkBox(Option::ConnectAtOnce, "Connect At &Once", speedFrame);
    atOnce->setToolTip(QStringLiteral("A new job connects at once instead of after the "
                                      "two-second start delay"));
    OptionCheckBox* reuse = checkBox(Option::ReuseConnections, "Reuse &Connections", speedFrame);
    reuse->setToolTip(QStringLiteral("Keep HTTP/1.1 keep-alive connections open between jobs to "
                                     "the same server (needs \"HTTP / 1.1\" and \"Keep-Alive\")"));
    speedColumn->addWidget(atOnce);
    speedColumn->addWidget(reuse);
    tighten(speedColumn);

    m_dataTypes = new FileTypePanel(manager.DataTypes(), manager.dialogs(),
                                    QStringLiteral("&Data file types"), this);
    m_dataTypes->setObjectName(QStringLiteral("ListDataExt"));
    m_pageTypes = new FileTypePanel(manager.PageTypes(), manager.dialogs(),
                                    QStringLiteral("&Page types"), this);
    m_pageTypes->setObjectName(QStringLiteral("ListPageExt"));

    auto* left = new QVBoxLayout;
    left->addWidget(logFrame);
    left->addWidget(headerFrame);
    left->addWidget(speedFrame);
    left->addStretch(1);
    auto* layout = new QHBoxLayout(this);
    layout->setContentsMargins(6, 4, 6, 4);
    layout->addLayout(left, 3);
    layout->addWidget(m_dataTypes, 1);
    layout->addWidget(m_pageTypes, 1);

    // Tab order: the left column down, then each list and its buttons.
    QList<QWidget*> order;
    for (OptionCheckBox* box : m_checks.mid(0, 3))
        order << box;
    order << m_combos[0] << m_combos[1] << m_combos[2] << atOnce << reuse;
    for (FileTypePanel* panel : {m_dataTypes, m_pageTypes})
        order << panel->View() << panel->AddButton() << panel->RemoveButton();
    for (int i = 1; i < order.size(); ++i)
        setTabOrder(order[i - 1], order[i]);
}

QComboBox* AdvanceOptionPage::headerCombo(ComboList& list, const QString& name)
{
    auto* combo = new QComboBox(this);
    combo->setObjectName(name);
    combo->setModel(&list);
    // Long header values would widen the page: the box keeps a modest width and its
    // drop-down shows them whole.
    combo->setSizeAdjustPolicy(QComboBox::AdjustToMinimumContentsLengthWithIcon);
    combo->setMinimumContentsLength(14);
    combo->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
    combo->setToolTip(QStringLiteral("An empty choice sends no such header"));
    // activated() is the user's choice only; the list's own changes are shown back.
    connect(combo, &QComboBox::activated, &list, &ComboList::Select);
    connect(&list, &ComboList::selectionChanged, combo,
            [combo, &list] { showSelection(combo, list); });
    // A combo box picks a row of its own when rows arrive; the list's choice wins.
    connect(&list, &ComboList::itemsChanged, combo, [combo, &list] { showSelection(combo, list); });
    showSelection(combo, list);
    return combo;
}

void AdvanceOptionPage::Refresh()
{
    for (OptionCheckBox* box : std::as_const(m_checks))
        box->Refresh();
    for (int i = 0; i < 3; ++i)
        showSelection(m_combos[i], *m_lists[i]);
    m_dataTypes->Refresh();
    m_pageTypes->Refresh();
}
