// SPDX-License-Identifier: GPL-3.0-or-later
#include "support/ModalAnswer.h"
#include "ui/PageAddressDialog.h"

#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTest>

namespace {

QLineEdit* field(QDialog* dialog, const char* name)
{
    return dialog->findChild<QLineEdit*>(QString::fromLatin1(name));
}

void retype(QLineEdit* edit, const QString& text)
{
    edit->selectAll();
    QTest::keyClicks(edit, text);
}

QPushButton* button(QDialog* dialog, const QString& text)
{
    for (QPushButton* b : dialog->findChildren<QPushButton*>())
        if (b->text() == text)
            return b;
    return nullptr;
}

} // namespace

class TestPageAddressDialog : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void rangeModeBuildsTheUrls_data()
    {
        QTest::addColumn<QString>("pattern");
        QTest::addColumn<QString>("end");
        QTest::addColumn<QStringList>("urls");
        QTest::newRow("padded") << "[01,11]"
                                << "11" << QStringList{"http://h/p01.png", "http://h/p11.png"};
        QTest::newRow("unpadded") << "[ 1,11]"
                                  << "11" << QStringList{"http://h/p1.png", "http://h/p11.png"};
        QTest::newRow("start = end") << "[01,11]"
                                     << "09" << QStringList{"http://h/p09.png"};
    }
    void rangeModeBuildsTheUrls()
    {
        QFETCH(QString, pattern);
        QFETCH(QString, end);
        QFETCH(QStringList, urls);
        PageAddressDialog dialog;
        dialog.setFreeRows(100);
        ModalAnswer::next<PageAddressDialog>([&](PageAddressDialog* d) {
            QTest::mouseClick(d->findChild<QCheckBox*>(), Qt::LeftButton);
            for (QRadioButton* radio : d->findChildren<QRadioButton*>())
                if (radio->text() == pattern)
                    QTest::mouseClick(radio, Qt::LeftButton);
            retype(field(d, "start"), end == "09" ? "9" : "1");
            retype(field(d, "end"), end);
            retype(field(d, "extension"), ".png");
            QTest::mouseClick(button(d, "&OK"), Qt::LeftButton);
        });
        QString address = QStringLiteral("http://h/p");
        QVERIFY(dialog.Ask(address));
        const QStringList got = dialog.RangeUrls();
        QCOMPARE(got.first(), urls.first());
        QCOMPARE(got.last(), urls.last());
        QCOMPARE(got.size(), urls.size() == 1 ? 1 : 11);
    }

    void refusalKeepsTheDialogOpen_data()
    {
        QTest::addColumn<QString>("start");
        QTest::addColumn<QString>("end");
        QTest::addColumn<int>("freeRows");
        QTest::newRow("start > end") << "5"
                                     << "2" << 100;
        QTest::newRow("not a number") << "x"
                                      << "2" << 100;
        QTest::newRow("too many rows") << "1"
                                       << "16" << 3;
    }
    void refusalKeepsTheDialogOpen()
    {
        QFETCH(QString, start);
        QFETCH(QString, end);
        QFETCH(int, freeRows);
        PageAddressDialog dialog;
        dialog.setFreeRows(freeRows);
        bool stayedOpen = false;
        QString message;
        ModalAnswer::next<PageAddressDialog>([&](PageAddressDialog* d) {
            QTest::mouseClick(d->findChild<QCheckBox*>(), Qt::LeftButton);
            retype(field(d, "start"), start);
            retype(field(d, "end"), end);
            QTest::mouseClick(button(d, "&OK"), Qt::LeftButton);
            stayedOpen = d->isVisible();
            auto* error = d->findChild<QLabel*>(QStringLiteral("error"));
            message = error->isVisible() ? error->text() : QString();
            QTest::mouseClick(button(d, "&Cancel"), Qt::LeftButton);
        });
        QString address = QStringLiteral("http://h/p");
        QVERIFY(!dialog.Ask(address));
        QVERIFY(stayedOpen);
        QVERIFY2(!message.isEmpty(), "no reason shown");
        QVERIFY(dialog.RangeUrls().isEmpty());
    }
};

QTEST_MAIN(TestPageAddressDialog)
#include "test_page_address_dialog.moc"
