// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/Version.h"
#include "support/WidgetProbe.h"
#include "ui/AboutDialog.h"

#include <QApplication>
#include <QLabel>
#include <QTest>

namespace {

// Every link a click hands over, and what the opener answers.
struct OpenerLog
{
    QList<QUrl> urls;
    bool succeeds = true;
    AboutDialog::UrlOpener opener()
    {
        return [this](const QUrl& url) {
            urls.append(url);
            return succeeds;
        };
    }
};

QLabel* label(AboutDialog& dialog, const char* name)
{
    return dialog.findChild<QLabel*>(QString::fromLatin1(name));
}

// The middle of the address in a "Caption: address" link label.
QPoint addressPoint(QLabel* link)
{
    const QString text = link->text();
    const QString caption = text.left(text.indexOf(QLatin1Char(':')) + 2);
    const QString address = link->toolTip();
    const QFontMetrics metrics(link->font());
    const int x = link->contentsRect().left() + metrics.horizontalAdvance(caption) +
                  metrics.horizontalAdvance(address) / 2;
    return QPoint(x, link->height() / 2);
}

bool blueish(QColor c)
{
    return c.alpha() == 255 && c.blue() > c.red() + 60 && c.blue() > c.green() + 30;
}

} // namespace

class TestAboutDialog : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    // What the box is about: the name, this build's version and the licence, with the
    // program's own icon drawn beside them.
    void showsNameVersionLicenceAndIcon()
    {
        AboutDialog dialog;
        dialog.show();
        QVERIFY(QTest::qWaitForWindowExposed(&dialog));
        QCOMPARE(label(dialog, "name")->text(), QStringLiteral("Harvex"));
        QCOMPARE(label(dialog, "version")->text(), QStringLiteral("Version ") + Version::Text);
        QVERIFY(label(dialog, "licence")->text().contains("GPL-3.0-or-later"));

        // The icon's blue square fills most of the icon label, the rest of the box is not blue.
        const QImage shot = WidgetProbe::render(dialog);
        const QRect icon = label(dialog, "icon")->geometry();
        const QRect square(icon.center().x() - 28, icon.top() + 4, 56, 56);
        int blue = 0;
        for (int y = square.top(); y <= square.bottom(); ++y)
            for (int x = square.left(); x <= square.right(); ++x)
                blue += blueish(shot.pixelColor(x, y));
        QVERIFY2(blue > square.width() * square.height() / 3, qPrintable(QString::number(blue)));
        const QRect text = label(dialog, "version")->geometry();
        QVERIFY(!blueish(shot.pixelColor(text.right() - 2, text.center().y())));
    }

    // A click on an address hands exactly that address to the desktop's opener.
    void clickOnALinkOpensItsAddress_data()
    {
        QTest::addColumn<QString>("link");
        QTest::addColumn<QUrl>("url");
        QTest::newRow("home page") << "home" << QUrl("https://harvex.org");
        QTest::newRow("problem reports") << "reports" << QUrl("https://harvex.org/bugs");
    }
    void clickOnALinkOpensItsAddress()
    {
        QFETCH(QString, link);
        QFETCH(QUrl, url);
        OpenerLog log;
        AboutDialog dialog;
        dialog.SetUrlOpener(log.opener());
        dialog.show();
        QVERIFY(QTest::qWaitForWindowExposed(&dialog));
        QLabel* target = dialog.findChild<QLabel*>(link);
        QTest::mouseClick(target, Qt::LeftButton, {}, addressPoint(target));
        QCOMPARE(log.urls, QList<QUrl>{url});
        // A click on the caption in front of the address opens nothing.
        QTest::mouseClick(target, Qt::LeftButton, {}, QPoint(3, target->height() / 2));
        QCOMPARE(log.urls.size(), 1);
        QVERIFY(label(dialog, "failure")->isHidden());
    }

    // The keyboard reaches the links too, as in any Qt label: Tab from the Close button
    // onto the line, Tab again onto its address, Return opens it.
    void keyboardOpensALink()
    {
        OpenerLog log;
        AboutDialog dialog;
        dialog.SetUrlOpener(log.opener());
        dialog.show();
        QVERIFY(QTest::qWaitForWindowExposed(&dialog));
        QLabel* home = label(dialog, "home");
        for (int i = 0; i < 4 && QApplication::focusWidget() != home; ++i)
            QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
        QCOMPARE(QApplication::focusWidget(), home);
        QTest::keyClick(home, Qt::Key_Tab);
        QCOMPARE(home->selectedText(), AboutDialog::HomePage().toDisplayString());
        QTest::keyClick(home, Qt::Key_Return);
        QCOMPARE(log.urls, QList<QUrl>{AboutDialog::HomePage()});
    }

    // Without a browser the address is shown in the box, to be copied by hand.
    void aLinkNothingCanOpenIsShownInstead()
    {
        OpenerLog log;
        log.succeeds = false;
        AboutDialog dialog;
        dialog.SetUrlOpener(log.opener());
        dialog.show();
        QVERIFY(QTest::qWaitForWindowExposed(&dialog));
        QLabel* reports = label(dialog, "reports");
        QTest::mouseClick(reports, Qt::LeftButton, {}, addressPoint(reports));
        QLabel* failure = label(dialog, "failure");
        QTRY_VERIFY(failure->isVisible());
        QVERIFY(failure->text().contains("https://harvex.org/bugs"));
        QVERIFY(failure->textInteractionFlags() & Qt::TextSelectableByMouse);
    }
};

QTEST_MAIN(TestAboutDialog)
#include "test_about_dialog.moc"
