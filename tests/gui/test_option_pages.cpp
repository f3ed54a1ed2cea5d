// SPDX-License-Identifier: GPL-3.0-or-later
#include "ManagerRig.h"
#include "support/WidgetProbe.h"

#include "controls/RowvaneView.h"
#include "lists/FileTypeList.h"
#include "ui/AdvanceOptionPage.h"
#include "ui/DownloadOptionPage.h"
#include "ui/FileTypePanel.h"
#include "ui/StyleSlider.h"

#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QRadioButton>
#include <QSettings>
#include <QToolButton>

namespace {

using Option = Options::Option;

// A manager of seven slots and both pages over it, shown.
struct Pages
{
    ManagerRig rig{7};
    Options& options = rig.m->options();
    DownloadOptionPage download{*rig.m};
    AdvanceOptionPage advance{*rig.m};

    Pages()
    {
        download.resize(620, 330);
        advance.resize(620, 330);
        download.show();
        advance.show();
    }

    template <typename T>
    T* find(const QString& name) const
    {
        T* widget = download.findChild<T*>(name);
        return widget ? widget : advance.findChild<T*>(name);
    }
    QLineEdit* box(const char* name) const { return find<QLineEdit>(QString::fromLatin1(name)); }

    // Every stored key and value.
    QMap<QString, QString> stored() const
    {
        QSettings file(rig.store->FileName(), QSettings::IniFormat);
        file.beginGroup(QStringLiteral("Configurations"));
        QMap<QString, QString> values;
        for (const QString& key : file.childKeys())
            values.insert(key, file.value(key).toString());
        return values;
    }
};

// Types over a box's whole text the way a user does: focus, select all, keys (no text:
// Backspace).
void retype(QLineEdit* box, const QString& text)
{
    box->setFocus();
    box->selectAll();
    if (text.isEmpty())
        QTest::keyClick(box, Qt::Key_Backspace);
    QTest::keyClicks(box, text);
}

// The colour of the caption's text, drawn on white.
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
    const QImage image = WidgetProbe::render(*view->viewport());
    const int h = view->RowHeight();
    return WidgetProbe::count(image, QRect(0, row * h, 20, h), QColor(0x1E, 0x7A, 0x36), 40);
}

// The slider's caption starts with the value (and the limit warning) and names the seven
// slots made at start-up last.
bool captionSays(const QLabel* caption, const QString& start)
{
    const QString text = caption->text();
    return text.startsWith(start) && text.endsWith(QStringLiteral("= 7 ]"));
}

} // namespace

class TestOptionPages : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void waitBoxRewritesOnEveryEdit()
    {
        Pages pages;
        QLineEdit* wait = pages.box("txt_MAXWAIT");
        pages.options.EditBusyWait(QStringLiteral("30"));
        pages.options.ClearSettingMarks();
        QCOMPARE(wait->text(), QStringLiteral("30"));

        retype(wait, QStringLiteral("5"));
        QCOMPARE(wait->text(), QStringLiteral("10"));
        QCOMPARE(pages.options.BusyWait(), 10);
        QVERIFY(pages.options.Marked(Option::BusyWait));
        // Deleting the text leaves a number below 10 as well.
        wait->setText(QStringLiteral("45"));
        retype(wait, QString());
        QCOMPARE(wait->text(), QStringLiteral("10"));
    }

    void boxesApplyTheirRuleOnLeaving_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("typed");
        QTest::addColumn<QString>("shown");
        QTest::addColumn<int>("option");
        QTest::newRow("try count 12") << "txt_MAXCON"
                                      << "12"
                                      << "10" << int(Option::TryCount);
        QTest::newRow("try count 1") << "txt_MAXCON"
                                     << "1"
                                     << "2" << int(Option::TryCount);
        QTest::newRow("letters refused") << "txt_MAXCON"
                                         << "x7"
                                         << "7" << int(Option::TryCount);
        QTest::newRow("timeout 3") << "txt_Timeout"
                                   << "3"
                                   << "10" << int(Option::ConnTimeout);
        QTest::newRow("timeout 500") << "txt_Timeout"
                                     << "500"
                                     << "500" << int(Option::ConnTimeout);
        QTest::newRow("min size 0012") << "txtMinSize"
                                       << "0012"
                                       << "12" << int(Option::MinImgSize);
    }
    void boxesApplyTheirRuleOnLeaving()
    {
        QFETCH(QString, name);
        QFETCH(QString, typed);
        QFETCH(QString, shown);
        QFETCH(int, option);
        Pages pages;
        pages.download.activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(&pages.download));
        QLineEdit* box = pages.box(name.toLatin1().constData());
        const bool leavingApplies = name != QLatin1String("txtMinSize");
        retype(box, typed);
        QCOMPARE(pages.options.Marked(Option(option)), !leavingApplies);
        QTest::keyClick(box, Qt::Key_Tab);
        QVERIFY(!box->hasFocus());
        QCOMPARE(box->text(), shown);
        QVERIFY(pages.options.Marked(Option(option)));

        // Passing through without a change marks the option too.
        pages.options.ClearSettingMarks();
        box->setFocus();
        QTest::keyClick(box, Qt::Key_Tab);
        QCOMPARE(pages.options.Marked(Option(option)), leavingApplies);
    }

    void oneCheckBoxClickSavesOneKey()
    {
        Pages pages;
        QVERIFY(!pages.options.AnyMarked()); // building the pages marks nothing
        const QMap<QString, QString> before = pages.stored();
        auto* keepAlive = pages.find<QCheckBox>(QStringLiteral("Keep-Alive"));
        QVERIFY(keepAlive->isChecked());
        QTest::mouseClick(keepAlive, Qt::LeftButton, {}, QPoint(8, keepAlive->height() / 2));
        QVERIFY(!pages.options.KeepAlive());
        QVERIFY(pages.options.SaveEnabled());

        QVERIFY(pages.options.SaveSettings(*pages.rig.store));
        QMap<QString, QString> after = pages.stored();
        QCOMPARE(after.take(QStringLiteral("Keep-Alive")), QStringLiteral("0"));
        QCOMPARE(after, before);
        QVERIFY(!pages.options.SaveEnabled());
    }

    void loadShowsStoredValuesWithoutMarks()
    {
        Pages pages;
        SettingsStore& store = *pages.rig.store;
        store.Set(QStringLiteral("Path Option"), QStringLiteral("2"));
        store.Set(QStringLiteral("Max Parallel"), QStringLiteral("12"));
        store.Set(QStringLiteral("Keep-Alive"), QStringLiteral("0"));
        store.Set(QStringLiteral("Reuse Connections"), QStringLiteral("1"));
        store.Set(QStringLiteral("MAX-Try"), QStringLiteral("4"));
        store.Set(QStringLiteral("Busy-Wait"), QStringLiteral("45"));
        store.Set(QStringLiteral("Connect-Timeout"), QStringLiteral("3"));
        store.Set(QStringLiteral("MinImgSize"), QStringLiteral("2048"));
        pages.options.LoadSettings(store);

        QVERIFY(!pages.options.AnyMarked());
        QVERIFY(!pages.options.SaveEnabled());
        QVERIFY(pages.find<QRadioButton>(QStringLiteral("OptPath2"))->isChecked());
        QVERIFY(!pages.find<QRadioButton>(QStringLiteral("OptPath0"))->isChecked());
        QCOMPARE(pages.download.Slider()->Value(), 12);
        QVERIFY(
            captionSays(pages.download.SliderCaption(), QStringLiteral(" 12 [ Limit exceeded! ]")));
        QVERIFY(!pages.find<QCheckBox>(QStringLiteral("Keep-Alive"))->isChecked());
        QVERIFY(pages.find<QCheckBox>(QStringLiteral("Reuse Connections"))->isChecked());
        QCOMPARE(pages.box("txt_MAXCON")->text(), QStringLiteral("4"));
        QCOMPARE(pages.box("txt_MAXWAIT")->text(), QStringLiteral("45"));
        QCOMPARE(pages.box("txt_Timeout")->text(), QStringLiteral("10"));
        QCOMPARE(pages.box("txtMinSize")->text(), QStringLiteral("2048"));

        // A click on a path button is the option's edit.
        auto* flat = pages.find<QRadioButton>(QStringLiteral("OptPath1"));
        QTest::mouseClick(flat, Qt::LeftButton, {}, QPoint(8, flat->height() / 2));
        QCOMPARE(pages.options.PathOption(), 1);
        QVERIFY(pages.options.Marked(Option::PathOption));
    }

    void sliderReleaseAppliesTheRuleAndColoursTheCaption()
    {
        Pages pages;
        StyleSlider* slider = pages.download.Slider();
        QLabel* caption = pages.download.SliderCaption();
        QVERIFY(WidgetProbe::distance(captionInk(caption), Qt::red) > 200);

        QTest::mouseClick(slider, Qt::LeftButton, {}, QPoint(slider->width() - 1, 5));
        QCOMPARE(pages.options.MaxParallel(), 20);
        QCOMPARE(slider->Value(), 20);
        QVERIFY(pages.options.Marked(Option::MaxParallel));
        QCOMPARE(pages.rig.m->State().SlotCount, 7); // never more than the slots created
        QVERIFY(captionSays(caption, QStringLiteral(" 20 [ Limit exceeded! ]")));
        QVERIFY(WidgetProbe::distance(captionInk(caption), Qt::red) < 60);

        // The first twentieth gives 1; the keys step from there.
        QTest::mouseClick(slider, Qt::LeftButton, {}, QPoint(1, 5));
        QCOMPARE(pages.options.MaxParallel(), 1);
        QCOMPARE(pages.rig.m->State().SlotCount, 1);
        QTest::keyClick(slider, Qt::Key_Right);
        QCOMPARE(pages.options.MaxParallel(), 2);
        QVERIFY(captionSays(caption, QStringLiteral(" 2 [ ")));
        QVERIFY(!caption->text().contains(QStringLiteral("Limit")));
        QVERIFY(WidgetProbe::distance(captionInk(caption), Qt::red) > 200);
    }

    void headerCombosFollowTheirLists()
    {
        Pages pages;
        ParamValues& params = pages.rig.m->Params();
        QComboBox* accept = pages.advance.HeaderCombo(0);
        QComboBox* language = pages.advance.HeaderCombo(1);
        QCOMPARE(accept->currentIndex(), 1);
        QCOMPARE(accept->currentText(), QStringLiteral("*.*, */*"));
        QCOMPARE(language->currentIndex(), 0);
        QCOMPARE(pages.advance.HeaderCombo(2)->currentText(), QStringLiteral("*"));

        // Two steps down with the keys, as a user picks.
        language->setFocus();
        QTest::keyClick(language, Qt::Key_Down);
        QTest::keyClick(language, Qt::Key_Down);
        QCOMPARE(params.CboAccptLang.SelectedIndex(), 2);
        QCOMPARE(pages.rig.m->CurrentSlotSettings().AcceptLanguage, QStringLiteral("en-us"));

        // The list's own changes show in the box; a choice added later keeps the selection.
        params.CboAccept.Select(3);
        QCOMPARE(accept->currentIndex(), 3);
        params.CboAccept.AddItem(QStringLiteral("image/webp"));
        QCOMPARE(accept->count(), 5);
        QCOMPARE(accept->currentIndex(), 3);
        params.CboAccept.Clear();
        params.CboAccept.AddItem(QStringLiteral("text/plain"));
        QCOMPARE(accept->currentIndex(), -1);
        QCOMPARE(params.CboAccept.SelectedIndex(), -1);
    }

    void fileTypesAddCheckAndRemove()
    {
        Pages pages;
        FileTypePanel* panel = pages.advance.DataTypesPanel();
        FileTypeList& types = pages.rig.m->DataTypes();
        RowvaneView* view = panel->View();
        const int rows = types.ListCount();
        // Showing the list keeps its current row (row 0 after loading).
        QCOMPARE(types.ListIndex(), 0);
        QCOMPARE(view->model().ListIndex(), 0);

        pages.rig.dialogs.inputs.enqueue(QStringLiteral(" .WebP "));
        QTest::mouseClick(panel->AddButton(), Qt::LeftButton);
        QCOMPARE(types.ListCount(), rows + 1);
        QCOMPARE(types.Text(rows), QStringLiteral("WebP"));
        QVERIFY(!types.Checked(rows));
        QCOMPARE(view->model().ListCount(), rows + 1);
        QVERIFY(pages.options.DataExt().endsWith(QStringLiteral("|WebP/0")));
        QVERIFY(pages.options.Marked(Option::DataExt));

        // A click on row 0's check picture unchecks it and its tick goes; Space on the
        // current row brings it back.
        const int h = view->RowHeight();
        QVERIFY(tickPixels(view, 0) > 5);
        QTest::mouseClick(view->viewport(), Qt::LeftButton, {}, QPoint(6, h / 2));
        QVERIFY(!types.Checked(0));
        QCOMPARE(tickPixels(view, 0), 0);
        QVERIFY(tickPixels(view, 1) > 5);
        QTest::keyClick(view, Qt::Key_Space);
        QVERIFY(types.Checked(0));
        QVERIFY(tickPixels(view, 0) > 5);

        // Row 2 chosen by a click on its text, removed after the confirmation.
        QTest::mouseClick(view->viewport(), Qt::LeftButton, {}, QPoint(60, 2 * h + h / 2));
        QCOMPARE(types.ListIndex(), 2);
        const QString removed = types.Text(2);
        QTest::mouseClick(panel->RemoveButton(), Qt::LeftButton);
        QCOMPARE(pages.rig.dialogs.messages().last(),
                 QStringLiteral("Remove the selected file type?"));
        QCOMPARE(types.ListCount(), rows);
        QVERIFY(!pages.options.DataExt().contains(QLatin1Char('|') + removed + QLatin1Char('/')));
        QCOMPARE(view->model().List(2), types.Text(2));

        // "No" keeps the list.
        pages.rig.dialogs.answers.enqueue(Dialogs::Answer::No);
        QTest::mouseClick(panel->RemoveButton(), Qt::LeftButton);
        QCOMPARE(types.ListCount(), rows);
    }
};

QTEST_MAIN(TestOptionPages)
#include "test_option_pages.moc"
