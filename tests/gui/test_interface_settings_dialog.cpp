// SPDX-License-Identifier: GPL-3.0-or-later
#include "support/ScriptedDialogs.h"
#include "support/TestFiles.h"
#include "support/WidgetProbe.h"

#include "controls/Tagleaf.h"
#include "platform/SettingsStore.h"
#include "settings/Options.h"
#include "ui/InterfaceSettingsDialog.h"
#include "ui/StyleSlider.h"

#include <QLineEdit>
#include <QPushButton>
#include <QSettings>
#include <QTemporaryDir>
#include <QTest>
#include <QToolButton>

#include <memory>

namespace {

// A store with every interface key written, the options loaded from it, and the dialog.
struct Rig
{
    QTemporaryDir dir;
    SettingsStore store{dir.filePath(QStringLiteral("settings.ini"))};
    Options options;
    ScriptedDialogs dialogs;
    std::unique_ptr<InterfaceSettingsDialog> dialog;

    explicit Rig(bool storedKeys = true)
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

    QPushButton* button(const QString& text) const
    {
        for (QPushButton* b : dialog->findChildren<QPushButton*>())
            if (b->text() == text)
                return b;
        return nullptr;
    }
    void click(StyleSlider* slider, int x) const
    {
        QTest::mouseClick(slider, Qt::LeftButton, {}, QPoint(x, slider->height() / 2));
    }
    QStringList storedKeys()
    {
        QSettings file(store.FileName(), QSettings::IniFormat);
        file.beginGroup(QStringLiteral("Configurations"));
        return file.childKeys();
    }
};

} // namespace

class TestInterfaceSettingsDialog : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void cancelWritesNothing()
    {
        Rig rig;
        const QByteArray before = readAll(rig.store.FileName());
        QVERIFY(!rig.button(QStringLiteral("&Save"))->isEnabled());
        rig.click(rig.dialog->Slider(1), 5);
        rig.dialog->setColorPicker([](const QColor&, QWidget*) { return QColor(Qt::red); });
        QTest::mouseClick(rig.dialog->ColorLabel(0), Qt::LeftButton, {}, QPoint(3, 3));
        QVERIFY(rig.button(QStringLiteral("&Save"))->isEnabled());
        QTest::mouseClick(rig.button(QStringLiteral("&Cancel")), Qt::LeftButton);
        QVERIFY(!rig.dialog->isVisible());
        QVERIFY(!rig.dialog->Saved());
        QCOMPARE(readAll(rig.store.FileName()), before);
        QCOMPARE(rig.options.TBarStyle(), 2);
    }

    void slidersWriteOnlyTheirKey_data()
    {
        QTest::addColumn<int>("slider");
        QTest::addColumn<bool>("farRight");
        QTest::addColumn<QString>("key");
        QTest::addColumn<QString>("value");
        QTest::newRow("toolbar, far right") << 1 << true << "TBar UI"
                                            << "7";
        QTest::newRow("progress, far right") << 0 << true << "PBar UI"
                                             << "10";
    }
    void slidersWriteOnlyTheirKey()
    {
        QFETCH(int, slider);
        QFETCH(bool, farRight);
        QFETCH(QString, key);
        QFETCH(QString, value);
        Rig rig(false);
        StyleSlider* bar = rig.dialog->Slider(slider);
        rig.click(bar, farRight ? bar->width() - 1 : 0);
        QTest::mouseClick(rig.button(QStringLiteral("&Save")), Qt::LeftButton);
        QVERIFY(rig.dialog->Saved());
        QCOMPARE(rig.storedKeys(), QStringList{key});
        QCOMPARE(rig.store.Get(key), value);
        QCOMPARE(slider == 0 ? rig.options.PBarStyle() : rig.options.TBarStyle(), value.toInt());
    }

    void colourPickWritesAllSevenAndShowsTheSwatch()
    {
        Rig rig;
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

        QTest::mouseClick(rig.button(QStringLiteral("&Save")), Qt::LeftButton);
        QCOMPARE(rig.store.Get(QStringLiteral("ColorSettings")),
                 QStringLiteral("9633792;16777088;8421376;5649426;8421376;14206136;0;"));
        QCOMPARE(rig.store.Get(QStringLiteral("PBar UI")), QStringLiteral("3"));
        QCOMPARE(rig.options.ColorValues()[3], 5649426u);
    }

    void cancelledPickChangesNothing()
    {
        Rig rig;
        rig.dialog->setColorPicker([](const QColor&, QWidget*) { return std::nullopt; });
        QTest::mouseClick(rig.dialog->ColorLabel(0), Qt::LeftButton, {}, QPoint(3, 3));
        QVERIFY(!rig.button(QStringLiteral("&Save"))->isEnabled());
    }

    void baseFolderMustBeUsable()
    {
        Rig rig;
        const QByteArray before = readAll(rig.store.FileName());
        auto* edit = rig.dialog->findChild<QLineEdit*>();
        edit->selectAll();
        QTest::keyClicks(edit, QStringLiteral("relative/folder"));
        QTest::mouseClick(rig.button(QStringLiteral("&Save")), Qt::LeftButton);
        QVERIFY(rig.dialog->isVisible());
        QCOMPARE(rig.dialogs.asked.size(), 1);
        QCOMPARE(readAll(rig.store.FileName()), before);

        // The chooser: a refused folder changes nothing, a good one is shown and noted.
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
        QTest::mouseClick(rig.button(QStringLiteral("&Save")), Qt::LeftButton);
        QCOMPARE(rig.store.Get(QStringLiteral("Base Dir")), other.path());
    }
};

QTEST_MAIN(TestInterfaceSettingsDialog)
#include "test_interface_settings_dialog.moc"
