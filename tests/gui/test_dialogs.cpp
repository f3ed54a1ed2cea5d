// SPDX-License-Identifier: GPL-3.0-or-later
// The program's dialogs driven with real clicks and keys: the Qt dialogs behind the core's
// questions, the page address and range box, the about box, the interface settings and the
// folder chooser.
#include "controls/Tagleaf.h"
#include "platform/SettingsStore.h"
#include "platform/Version.h"
#include "settings/Options.h"
#include "support/ModalAnswer.h"
#include "support/ScriptedDialogs.h"
#include "support/TestFiles.h"
#include "support/WidgetProbe.h"
#include "ui/AboutDialog.h"
#include "ui/FolderChooser.h"
#include "ui/FolderDeleteDialog.h"
#include "ui/InterfaceSettingsDialog.h"
#include "ui/PageAddressDialog.h"
#include "ui/QtDialogs.h"
#include "ui/StyleSlider.h"

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QFileDialog>
#include <QInputDialog>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMessageBox>
#include <QPushButton>
#include <QRadioButton>
#include <QSettings>
#include <QTemporaryDir>
#include <QTest>
#include <QToolButton>

namespace {

QPushButton* button(QWidget* dialog, const QString& text)
{
    for (QPushButton* b : dialog->findChildren<QPushButton*>())
        if (b->text() == text)
            return b;
    return nullptr;
}

void retype(QLineEdit* edit, const QString& text)
{
    edit->selectAll();
    QTest::keyClicks(edit, text);
}

// The middle of the address in a "Caption: address" link label.
QPoint addressPoint(QLabel* link)
{
    const QString text = link->text();
    const QFontMetrics metrics(link->font());
    const int x = link->contentsRect().left() +
                  metrics.horizontalAdvance(text.left(text.indexOf(QLatin1Char(':')) + 2)) +
                  metrics.horizontalAdvance(link->toolTip()) / 2;
    return QPoint(x, link->height() / 2);
}

// The interface settings over a store with the progress and toolbar styles written.
struct SettingsRig
{
    QTemporaryDir dir;
    SettingsStore store{dir.filePath(QStringLiteral("settings.ini"))};
    Options options;
    ScriptedDialogs dialogs;
    std::unique_ptr<InterfaceSettingsDialog> dialog;

    explicit SettingsRig(bool storedKeys = true)
    {
        if (storedKeys) {
            store.Set(QStringLiteral("Base Dir"), dir.path());
            store.Set(QStringLiteral("PBar UI"), QStringLiteral("3"));
            store.Set(QStringLiteral("TBar UI"), QStringLiteral("2"));
        }
        options.LoadSettings(store);
        dialog = std::make_unique<InterfaceSettingsDialog>(options, store, dialogs);
        dialog->show();
    }
    void click(const char* text) { QTest::mouseClick(button(dialog.get(), text), Qt::LeftButton); }
    void pickColour(int label, std::optional<QColor> answer)
    {
        dialog->setColorPicker([answer](const QColor&, QWidget*) { return answer; });
        QTest::mouseClick(dialog->ColorLabel(label), Qt::LeftButton, {}, QPoint(3, 3));
    }
};

// top/ with a file deep down, a dot folder and a read-only folder.
QString makeTree(const QTemporaryDir& dir, int files = 3)
{
    const QString top = dir.filePath(QStringLiteral("top"));
    QDir().mkpath(top + QStringLiteral("/a/b"));
    QDir().mkpath(top + QStringLiteral("/.hidden"));
    for (int i = 0; i < files; ++i)
        writeFile(top + QStringLiteral("/a/b/f%1").arg(i), "x");
    writeFile(top + QStringLiteral("/rodir/in"), "x");
    QFile::setPermissions(top + QStringLiteral("/rodir"),
                          QFileDevice::ReadOwner | QFileDevice::ExeOwner);
    return top;
}

bool deleteEnabled(FolderChooser& chooser)
{
    for (QAction* a : chooser.ContextMenu()->actions())
        if (a->text() == QStringLiteral("&Delete"))
            return a->isEnabled();
    return false;
}

} // namespace

class TestDialogs : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    // The core's buttons and icons map onto the message box and back; CR LF becomes LF.
    void messageBox()
    {
        using B = Dialogs::Buttons;
        using A = Dialogs::Answer;
        using I = Dialogs::Icon;
        using M = QMessageBox;
        const struct
        {
            I icon;
            B buttons;
            int press; // 0: Escape
            M::Icon shown;
            A answer;
        } cases[] = {{I::Information, B::Ok, M::Ok, M::Information, A::Ok},
                     {I::Exclamation, B::OkCancel, M::Cancel, M::Warning, A::Cancel},
                     {I::Question, B::YesNo, M::Yes, M::Question, A::Yes},
                     {I::Critical, B::YesNo, 0, M::Critical, A::No},
                     {I::None, B::YesNoCancel, M::No, M::NoIcon, A::No}};
        for (const auto& c : cases) {
            QString seen;
            ModalAnswer::next<QMessageBox>([&](QMessageBox* box) {
                seen = box->windowTitle() + '|' + box->text() + '|' + QString::number(box->icon());
                if (c.press)
                    box->button(M::StandardButton(c.press))->click();
                else
                    QTest::keyClick(box, Qt::Key_Escape);
            });
            QVERIFY(QtDialogs().MsgBox("Clear\r\nthe list?", "Harvex", c.icon, c.buttons) ==
                    c.answer);
            QCOMPARE(seen, QStringLiteral("Harvex|Clear\nthe list?|%1").arg(c.shown));
        }
    }

    void inputFileAndClipboard()
    {
        QtDialogs dialogs;
        QString label;
        ModalAnswer::next<QInputDialog>([&](QInputDialog* box) {
            label = box->labelText() + '|' + box->textValue();
            box->setTextValue(QStringLiteral("typed"));
            box->accept();
        });
        QCOMPARE(dialogs.InputBox("Name:", "T", "x"), std::optional<QString>("typed"));
        QCOMPARE(label, QStringLiteral("Name:|x"));
        ModalAnswer::next<QInputDialog>([](QInputDialog* box) { box->reject(); });
        QCOMPARE(dialogs.InputBox("Name:", "T"), std::nullopt);

        // Filters in the "Caption(patterns)|patterns" form; a save adds the extension.
        QTemporaryDir dir;
        const QString readme = dir.filePath(QStringLiteral("README"));
        writeFile(readme, "");
        QStringList filters;
        ModalAnswer::next<QFileDialog>([&](QFileDialog* box) {
            filters = box->nameFilters();
            box->setDirectory(dir.path());
            box->selectFile(readme);
            static_cast<QDialog*>(box)->accept(); // QFileDialog's own accept checks the name
        });
        QCOMPARE(dialogs.OpenFileDialog("Open", "Text Files(*.txt)|*.txt|All Files(*.*)|*.*"),
                 std::optional<QString>(readme));
        QCOMPARE(filters, QStringList({"Text Files (*.txt)", "All Files (*)"}));
        QCOMPARE(QtDialogs::NameFilters("Lists(*.txt;*.lst)|*.txt;*.lst"),
                 QStringList{"Lists (*.txt *.lst)"});
        QCOMPARE(QtDialogs::NameFilters(QString()), QStringList{"All Files (*)"});
        bool confirms = true;
        ModalAnswer::next<QFileDialog>([&](QFileDialog* box) {
            confirms = !box->testOption(QFileDialog::DontConfirmOverwrite);
            box->selectFile(QStringLiteral("list"));
            static_cast<QDialog*>(box)->accept();
        });
        QCOMPARE(dialogs.SaveFileDialog("Save", "Text Files(*.txt)|*.txt", ".txt", dir.path(), {},
                                        false),
                 std::optional<QString>(dir.filePath(QStringLiteral("list.txt"))));
        QVERIFY(!confirms);
        ModalAnswer::next<QFileDialog>([](QFileDialog* box) { box->reject(); });
        QCOMPARE(dialogs.OpenFileDialog("Open", "|"), std::nullopt);

        dialogs.SetClipboardText(QStringLiteral("http://example.test/a.jpg"));
        QCOMPARE(dialogs.ClipboardText(), QStringLiteral("http://example.test/a.jpg"));
    }

    // The page address box offers the last address again, selected.
    void pageAddressRemembersTheLast()
    {
        QtDialogs dialogs;
        ModalAnswer::next<PageAddressDialog>([&](PageAddressDialog* box) {
            box->findChild<QLineEdit*>()->setText(QStringLiteral("example.test/gallery"));
            box->accept();
        });
        QString address;
        QVERIFY(dialogs.PageAddressDialog(address));
        QCOMPARE(address, QStringLiteral("example.test/gallery"));
        QString selected;
        ModalAnswer::next<PageAddressDialog>([&](PageAddressDialog* box) {
            selected = box->findChild<QLineEdit*>()->selectedText();
            box->reject();
        });
        QVERIFY(!dialogs.PageAddressDialog(address));
        QCOMPARE(selected, QStringLiteral("example.test/gallery"));
    }

    // The range mode builds the URLs (the numbering rules are the core's); a bad range
    // keeps the box open with its reason.
    void pageRange()
    {
        const struct
        {
            const char *pattern, *start, *end;
            int freeRows;
            const char* urls; // first, last and count; empty: refused
        } cases[] = {{"[01,11]", "1", "11", 100, "http://h/p01.png http://h/p11.png 11"},
                     {"[ 1,11]", "1", "11", 100, "http://h/p1.png http://h/p11.png 11"},
                     {"[01,11]", "5", "2", 100, ""},
                     {"[01,11]", "1", "16", 3, ""}};
        for (const auto& c : cases) {
            PageAddressDialog dialog;
            dialog.setFreeRows(c.freeRows);
            QString refusal;
            ModalAnswer::next<PageAddressDialog>([&](PageAddressDialog* d) {
                QTest::mouseClick(d->findChild<QCheckBox*>(), Qt::LeftButton);
                for (QRadioButton* radio : d->findChildren<QRadioButton*>())
                    if (radio->text() == c.pattern)
                        QTest::mouseClick(radio, Qt::LeftButton);
                retype(d->findChild<QLineEdit*>("start"), c.start);
                retype(d->findChild<QLineEdit*>("end"), c.end);
                retype(d->findChild<QLineEdit*>("extension"), ".png");
                QTest::mouseClick(button(d, "&OK"), Qt::LeftButton);
                if (d->isVisible()) {
                    auto* error = d->findChild<QLabel*>(QStringLiteral("error"));
                    refusal = error->isVisible() ? error->text() : QString();
                    QTest::mouseClick(button(d, "&Cancel"), Qt::LeftButton);
                }
            });
            QString address = QStringLiteral("http://h/p");
            const bool ok = dialog.Ask(address);
            const QStringList got = dialog.RangeUrls();
            QCOMPARE(got.isEmpty()
                         ? QString()
                         : got.first() + ' ' + got.last() + ' ' + QString::number(got.size()),
                     QString(c.urls));
            QCOMPARE(ok, !got.isEmpty());
            QCOMPARE(refusal.isEmpty(), ok); // a refusal says why
        }
    }

    // Name, version, licence and the program's icon; a click on an address hands it to the
    // opener, a click on its caption does nothing; without a browser the address is shown.
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
        QCOMPARE(label("name")->text(), QStringLiteral("Harvex"));
        QCOMPARE(label("version")->text(), QStringLiteral("Version ") + Version::Text);
        QVERIFY(label("licence")->text().contains("GPL-3.0-or-later"));
        const QImage shot = WidgetProbe::render(dialog);
        const QRect icon = label("icon")->geometry();
        auto blueish = [](QColor c) {
            return c.alpha() == 255 && c.blue() > c.red() + 60 && c.blue() > c.green() + 30;
        };
        int blue = 0; // the icon's blue square fills most of the icon label
        for (int y = icon.top() + 4; y < icon.top() + 60; ++y)
            for (int x = icon.center().x() - 28; x < icon.center().x() + 28; ++x)
                blue += blueish(shot.pixelColor(x, y));
        QVERIFY2(blue > 56 * 56 / 3, qPrintable(QString::number(blue)));
        const QRect text = label("version")->geometry();
        QVERIFY(!blueish(shot.pixelColor(text.right() - 2, text.center().y())));

        // The keyboard: Tab onto the line, Tab onto its address, Return opens it.
        QLabel* home = label("home");
        for (int i = 0; i < 4 && QApplication::focusWidget() != home; ++i)
            QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
        QCOMPARE(QApplication::focusWidget(), home);
        QTest::keyClick(home, Qt::Key_Tab);
        QTest::keyClick(home, Qt::Key_Return);
        QCOMPARE(opened, QList<QUrl>{AboutDialog::HomePage()});

        QTest::mouseClick(label("home"), Qt::LeftButton, {}, addressPoint(label("home")));
        QTest::mouseClick(label("home"), Qt::LeftButton, {},
                          QPoint(3, label("home")->height() / 2));
        QTest::mouseClick(label("reports"), Qt::LeftButton, {}, addressPoint(label("reports")));
        QCOMPARE(opened.mid(1),
                 (QList<QUrl>{QUrl("https://harvex.org"), QUrl("https://harvex.org/bugs")}));
        QVERIFY(label("failure")->isHidden());

        succeeds = false;
        QTest::mouseClick(label("reports"), Qt::LeftButton, {}, addressPoint(label("reports")));
        QTRY_VERIFY(label("failure")->isVisible());
        QVERIFY(label("failure")->text().contains("https://harvex.org/bugs"));
        QVERIFY(label("failure")->textInteractionFlags() & Qt::TextSelectableByMouse);
    }

    // Cancel writes nothing, whatever was changed; Save writes only what was changed.
    void interfaceSettingsSaveOrCancel()
    {
        SettingsRig rig;
        const QByteArray before = readAll(rig.store.FileName());
        QVERIFY(!button(rig.dialog.get(), "&Save")->isEnabled());
        rig.pickColour(0, std::nullopt); // a cancelled pick changes nothing
        QVERIFY(!button(rig.dialog.get(), "&Save")->isEnabled());
        QTest::mouseClick(rig.dialog->Slider(1), Qt::LeftButton, {}, QPoint(5, 5));
        rig.pickColour(0, QColor(Qt::red));
        QVERIFY(button(rig.dialog.get(), "&Save")->isEnabled());
        rig.click("&Cancel");
        QVERIFY(!rig.dialog->isVisible() && !rig.dialog->Saved());
        QCOMPARE(readAll(rig.store.FileName()), before);
        QCOMPARE(rig.options.TBarStyle(), 2);

        // A slider at its far right: only its own key is written.
        for (auto [slider, key, value] : {std::tuple{0, "PBar UI", "10"}, {1, "TBar UI", "7"}}) {
            SettingsRig fresh(false);
            StyleSlider* bar = fresh.dialog->Slider(slider);
            QTest::mouseClick(bar, Qt::LeftButton, {}, QPoint(bar->width() - 1, bar->height() / 2));
            fresh.click("&Save");
            QVERIFY(fresh.dialog->Saved());
            QSettings file(fresh.store.FileName(), QSettings::IniFormat);
            file.beginGroup(QStringLiteral("Configurations"));
            QCOMPARE(file.childKeys(), QStringList{key});
            QCOMPARE(fresh.store.Get(key), QString(value));
            QCOMPARE(slider ? fresh.options.TBarStyle() : fresh.options.PBarStyle(),
                     QString(value).toInt());
        }
    }

    // A colour pick offers the stored colour, shows the swatch and writes all seven.
    void interfaceSettingsColourPick()
    {
        SettingsRig rig;
        const QColor chosen(0x12, 0x34, 0x56);
        QColor offered;
        rig.dialog->setColorPicker([&](const QColor& initial, QWidget*) {
            offered = initial;
            return chosen;
        });
        Tagleaf* label = rig.dialog->ColorLabel(3);
        QTest::mouseClick(label, Qt::LeftButton, {}, QPoint(3, 3));
        QCOMPARE(offered, QColor(0x00, 0x00, 0x93)); // the stored progress fill, 9633792
        const QImage image = WidgetProbe::render(*label);
        QVERIFY2(WidgetProbe::count(image, image.rect(), chosen, 6) > 20, "no swatch colour");
        rig.click("&Save");
        QCOMPARE(rig.store.Get(QStringLiteral("ColorSettings")),
                 QStringLiteral("9633792;16777088;8421376;5649426;8421376;14206136;0;"));
        QCOMPARE(rig.store.Get(QStringLiteral("PBar UI")), QStringLiteral("3"));
        QCOMPARE(rig.options.ColorValues()[3], 5649426u);
    }

    // A relative base folder is refused at Save; the chooser's answer is checked first.
    void interfaceSettingsBaseFolder()
    {
        SettingsRig rig;
        const QByteArray before = readAll(rig.store.FileName());
        auto* edit = rig.dialog->findChild<QLineEdit*>();
        retype(edit, QStringLiteral("relative/folder"));
        rig.click("&Save");
        QVERIFY(rig.dialog->isVisible());
        QCOMPARE(rig.dialogs.asked.size(), 1);
        QCOMPARE(readAll(rig.store.FileName()), before);

        QTemporaryDir other;
        QString offer = QStringLiteral("/no/such/folder");
        rig.dialog->setFolderPicker([&](const QString&, QWidget*) { return offer; });
        edit->setText(rig.dir.path());
        QMetaObject::invokeMethod(rig.dialog->findChild<QToolButton*>(), "click");
        QCOMPARE(edit->text(), rig.dir.path());
        offer = other.path();
        QMetaObject::invokeMethod(rig.dialog->findChild<QToolButton*>(), "click");
        QCOMPARE(edit->text(), other.path());
        QCOMPARE(rig.dialogs.messages().last(),
                 QStringLiteral("The Base dir setting will take effect on next run.."));
        rig.click("&Save");
        QCOMPARE(rig.store.Get(QStringLiteral("Base Dir")), other.path());
    }

    // Delete asks first and empties the whole tree (dot files and read-only parts too);
    // No keeps it; home, the base folder and its parents are refused without a question.
    void chooserDeletes()
    {
        QTemporaryDir dir;
        const QString top = makeTree(dir);
        const QString base = dir.filePath(QStringLiteral("base"));
        QDir().mkpath(base);
        ScriptedDialogs dialogs;
        FolderChooser chooser(dialogs, base);
        chooser.setDirectory(top + QStringLiteral("/rodir"));
        QVERIFY(!deleteEnabled(chooser));
        chooser.setDirectory(top);
        QVERIFY(deleteEnabled(chooser));
        dialogs.answers.enqueue(Dialogs::Answer::No);
        chooser.DeleteDirectory();
        QVERIFY(QFileInfo::exists(top + QStringLiteral("/a/b/f0")));
        QFile::setPermissions(top + QStringLiteral("/rodir"), QFileDevice::ReadOwner |
                                                                  QFileDevice::WriteOwner |
                                                                  QFileDevice::ExeOwner);
        dialogs.answers.enqueue(Dialogs::Answer::Yes);
        chooser.DeleteDirectory();
        QVERIFY(!QFileInfo::exists(top));
        QCOMPARE(chooser.getDirectory(), dir.path());
        QCOMPARE(dialogs.messages().last(),
                 "Sure You want to delete this directory and all its contents:\r\n" + top);
        QCOMPARE(dialogs.asked.last().buttons, Dialogs::Buttons::YesNo);

        for (const QString& folder : {QDir::homePath(), base, dir.path()}) {
            dialogs.asked.clear();
            dialogs.answers.enqueue(Dialogs::Answer::Yes);
            chooser.setDirectory(folder);
            chooser.DeleteDirectory();
            QVERIFY(QFileInfo(folder).isDir());
            QCOMPARE(dialogs.asked.size(), 1); // the refusal, no question
            QVERIFY(dialogs.messages().first().contains(QStringLiteral("cannot be deleted")));
            dialogs.answers.clear();
        }
    }

    // Cancel in the progress box stops at once and leaves every folder.
    void chooserDeleteCancelled()
    {
        QTemporaryDir dir;
        const QString top = makeTree(dir, 50);
        FolderDeleteDialog progress(top, QString(), QDir::homePath());
        progress.Deleter().setBatchSize(1);
        QStringList shown;
        connect(&progress.Deleter(), &FolderTreeDelete::Progress, &progress,
                [&](const QString& text) {
                    shown << text;
                    if (shown.size() == 2)
                        QTest::mouseClick(progress.findChild<QPushButton*>(), Qt::LeftButton);
                });
        progress.exec();
        QVERIFY(progress.Cancelled());
        QCOMPARE(shown.size(), 2);
        QVERIFY(shown.first().startsWith(QStringLiteral("Deleting File:") + top));
        for (const char* folder : {"", "/a/b", "/.hidden", "/rodir"})
            QVERIFY2(QFileInfo(top + QLatin1String(folder)).isDir(), folder);
        QVERIFY(QFileInfo::exists(top + QStringLiteral("/a/b/f49")));
        QFile::setPermissions(top + QStringLiteral("/rodir"), QFileDevice::ReadOwner |
                                                                  QFileDevice::WriteOwner |
                                                                  QFileDevice::ExeOwner);
    }

    // New folder: made and chosen; an existing name or one with a slash is reported,
    // a cancelled name does nothing.
    void chooserNewFolder()
    {
        QTemporaryDir dir;
        ScriptedDialogs dialogs;
        FolderChooser chooser(dialogs, QString());
        chooser.setDirectory(dir.path());
        for (const char* name : {"made", "made", "a/b"})
            dialogs.inputs.enqueue(QString::fromLatin1(name));
        dialogs.inputs.enqueue(std::nullopt);
        chooser.NewDirectory();
        QCOMPARE(chooser.getDirectory(), dir.filePath(QStringLiteral("made")));
        QCOMPARE(dialogs.asked.last().text, QStringLiteral("Enter the Directory Name"));
        chooser.setDirectory(dir.path());
        for (int i = 0; i < 3; ++i)
            chooser.NewDirectory();
        QCOMPARE(dialogs.messages().size(), 2);
        QCOMPARE(chooser.getDirectory(), dir.path());
        QCOMPARE(QDir(dir.path()).entryList(QDir::Dirs | QDir::NoDotAndDotDot),
                 QStringList{QStringLiteral("made")});
    }
};

QTEST_MAIN(TestDialogs)
#include "test_dialogs.moc"
