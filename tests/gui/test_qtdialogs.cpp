// SPDX-License-Identifier: GPL-3.0-or-later
#include "support/ModalAnswer.h"
#include "ui/PageAddressDialog.h"
#include "ui/QtDialogs.h"

#include <QAbstractButton>
#include <QFile>
#include <QFileDialog>
#include <QInputDialog>
#include <QLineEdit>
#include <QMessageBox>
#include <QTemporaryDir>
#include <QTest>

Q_DECLARE_METATYPE(Dialogs::Buttons)
Q_DECLARE_METATYPE(Dialogs::Answer)
Q_DECLARE_METATYPE(Dialogs::Icon)

class TestQtDialogs : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void messageBoxButtons_data()
    {
        QTest::addColumn<Dialogs::Icon>("icon");
        QTest::addColumn<Dialogs::Buttons>("buttons");
        QTest::addColumn<int>("press"); // QMessageBox::StandardButton, 0 = Escape
        QTest::addColumn<QMessageBox::Icon>("shown");
        QTest::addColumn<Dialogs::Answer>("answer");
        QTest::newRow("ok") << Dialogs::Icon::Information << Dialogs::Buttons::Ok
                            << int(QMessageBox::Ok) << QMessageBox::Information
                            << Dialogs::Answer::Ok;
        QTest::newRow("ok cancel")
            << Dialogs::Icon::Exclamation << Dialogs::Buttons::OkCancel << int(QMessageBox::Cancel)
            << QMessageBox::Warning << Dialogs::Answer::Cancel;
        QTest::newRow("yes no") << Dialogs::Icon::Question << Dialogs::Buttons::YesNo
                                << int(QMessageBox::Yes) << QMessageBox::Question
                                << Dialogs::Answer::Yes;
        QTest::newRow("yes no escaped") << Dialogs::Icon::Critical << Dialogs::Buttons::YesNo << 0
                                        << QMessageBox::Critical << Dialogs::Answer::No;
        QTest::newRow("yes no cancel")
            << Dialogs::Icon::None << Dialogs::Buttons::YesNoCancel << int(QMessageBox::No)
            << QMessageBox::NoIcon << Dialogs::Answer::No;
    }
    void messageBoxButtons()
    {
        QFETCH(Dialogs::Icon, icon);
        QFETCH(Dialogs::Buttons, buttons);
        QFETCH(int, press);
        QFETCH(QMessageBox::Icon, shown);
        QFETCH(Dialogs::Answer, answer);
        QString text, title;
        QMessageBox::Icon seen = QMessageBox::NoIcon;
        ModalAnswer::next<QMessageBox>([&](QMessageBox* box) {
            text = box->text();
            title = box->windowTitle();
            seen = box->icon();
            if (press)
                box->button(QMessageBox::StandardButton(press))->click();
            else
                QTest::keyClick(box, Qt::Key_Escape);
        });
        QtDialogs dialogs;
        QCOMPARE(dialogs.MsgBox(QStringLiteral("Clear\r\nthe list?"), QStringLiteral("Harvex"),
                                icon, buttons),
                 answer);
        QCOMPARE(text, QStringLiteral("Clear\nthe list?"));
        QCOMPARE(title, QStringLiteral("Harvex"));
        QCOMPARE(seen, shown);
    }

    void inputBoxGivesTextOrNothing()
    {
        QtDialogs dialogs;
        QString label, start;
        ModalAnswer::next<QInputDialog>([&](QInputDialog* box) {
            label = box->labelText();
            start = box->textValue();
            box->setTextValue(QStringLiteral("typed"));
            box->accept();
        });
        QCOMPARE(
            dialogs.InputBox(QStringLiteral("Name:"), QStringLiteral("T"), QStringLiteral("x")),
            std::optional<QString>(QStringLiteral("typed")));
        QCOMPARE(label, QStringLiteral("Name:"));
        QCOMPARE(start, QStringLiteral("x"));

        ModalAnswer::next<QInputDialog>([](QInputDialog* box) { box->reject(); });
        QCOMPARE(dialogs.InputBox(QStringLiteral("Name:"), QStringLiteral("T")), std::nullopt);
    }

    void fileDialogsUseTheFiltersAndAnswer()
    {
        QTemporaryDir dir;
        QFile file(dir.filePath(QStringLiteral("README")));
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.close();
        QtDialogs dialogs;

        QStringList filters;
        ModalAnswer::next<QFileDialog>([&](QFileDialog* box) {
            filters = box->nameFilters();
            box->setDirectory(dir.path());
            box->selectFile(file.fileName());
            static_cast<QDialog*>(box)->accept(); // QFileDialog's own accept checks the name
        });
        const auto opened = dialogs.OpenFileDialog(
            QStringLiteral("Open"), QStringLiteral("Text Files(*.txt)|*.txt|All Files(*.*)|*.*"));
        QCOMPARE(filters, QStringList({QStringLiteral("Text Files (*.txt)"),
                                       QStringLiteral("All Files (*)")}));
        QCOMPARE(opened, std::optional<QString>(file.fileName()));

        bool confirms = true;
        QString suffix;
        ModalAnswer::next<QFileDialog>([&](QFileDialog* box) {
            confirms = !box->testOption(QFileDialog::DontConfirmOverwrite);
            suffix = box->defaultSuffix();
            box->selectFile(QStringLiteral("list"));
            static_cast<QDialog*>(box)->accept();
        });
        const auto saved = dialogs.SaveFileDialog(QStringLiteral("Save"),
                                                  QStringLiteral("Text Files(*.txt)|*.txt"),
                                                  QStringLiteral(".txt"), dir.path(), {}, false);
        QVERIFY(!confirms);
        QCOMPARE(suffix, QStringLiteral("txt"));
        QCOMPARE(saved, std::optional<QString>(dir.filePath(QStringLiteral("list.txt"))));

        ModalAnswer::next<QFileDialog>([](QFileDialog* box) { box->reject(); });
        QCOMPARE(dialogs.OpenFileDialog(QStringLiteral("Open"), QStringLiteral("|")), std::nullopt);
    }

    void filtersWithSeveralPatterns()
    {
        QCOMPARE(QtDialogs::NameFilters(QStringLiteral("Lists(*.txt;*.lst)|*.txt;*.lst")),
                 QStringList{QStringLiteral("Lists (*.txt *.lst)")});
        QCOMPARE(QtDialogs::NameFilters(QString()), QStringList{QStringLiteral("All Files (*)")});
    }

    void clipboardRoundTrip()
    {
        QtDialogs dialogs;
        dialogs.SetClipboardText(QStringLiteral("http://example.test/a.jpg"));
        QCOMPARE(dialogs.ClipboardText(), QStringLiteral("http://example.test/a.jpg"));
    }

    void pageAddressKeepsTheLastAddressSelected()
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
};

QTEST_MAIN(TestQtDialogs)
#include "test_qtdialogs.moc"
