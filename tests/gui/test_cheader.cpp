// SPDX-License-Identifier: GPL-3.0-or-later
#include "controls/CHeader.h"
#include "support/WidgetProbe.h"

#include <QSignalSpy>
#include <QTest>

using WidgetProbe::at;
using WidgetProbe::distance;

namespace {

const QColor Face(0xD4, 0xD0, 0xC8); // button face, the default background
const QColor High(0x40, 0x40, 0x40); // dark shadow, the default BorderColorHigh
const QColor Low(0xFF, 0xFF, 0xFF);  // button highlight, the default BorderColorLow

QPixmap solid(QColor colour)
{
    QPixmap pixmap(16, 16);
    pixmap.fill(colour);
    return pixmap;
}

} // namespace

class TestCHeader : public QObject
{
    Q_OBJECT

private slots:
    void borders_data()
    {
        QTest::addColumn<int>("border");
        QTest::addColumn<QColor>("corner");     // (0, 0)
        QTest::addColumn<QColor>("inset");      // (1, 1)
        QTest::addColumn<QColor>("inset2");     // (2, 2)
        QTest::addColumn<QColor>("rightEdge");  // (width - 1, middle)
        QTest::addColumn<QColor>("bottomEdge"); // (middle, height - 1)
        QTest::newRow("none") << 0 << Face << Face << Face << Face << Face;
        QTest::newRow("single") << 1 << High << Face << Face << High << High;
        QTest::newRow("double") << 2 << High << High << Face << High << High;
        QTest::newRow("lower right") << 3 << Face << Face << Face << Low << Low;
    }
    void borders()
    {
        QFETCH(int, border);
        CHeader header;
        header.resize(200, 22);
        header.setHeaderBorder(border);
        const QImage image = WidgetProbe::render(header);
        QTEST(at(image, 0, 0), "corner");
        QTEST(at(image, 1, 1), "inset");
        QTEST(at(image, 2, 2), "inset2");
        QTEST(at(image, 199, 11), "rightEdge");
        QTEST(at(image, 60, 21), "bottomEdge");
    }

    void captionColourShadowAndDisabledLook()
    {
        CHeader header;
        header.resize(200, 22);
        header.setHeaderBorder(0);
        header.setCaption("Download Monitor");
        header.setForeColor(0x0000FF);
        header.setDisabledForeColor(0xFF0000);
        const QRect caption(40, 2, 120, 18);
        QImage image = WidgetProbe::render(header);
        QVERIFY(distance(WidgetProbe::ink(image, caption, Face), QColor(255, 0, 0)) < 90);
        QCOMPARE(WidgetProbe::count(image, caption, QColor(0, 0xC0, 0), 60), 0);

        header.setUserShadow(true);
        header.setShadowColor(0x00C000);
        image = WidgetProbe::render(header);
        QVERIFY(WidgetProbe::count(image, caption, QColor(0, 0xC0, 0), 60) > 5);

        header.setUserShadow(false);
        header.setEnabled(false);
        image = WidgetProbe::render(header);
        QVERIFY(distance(WidgetProbe::ink(image, caption, Face), QColor(0, 0, 255)) < 90);
    }

    void pictureIsStretchedOverTheFill()
    {
        CHeader header;
        header.resize(200, 22);
        header.setHeaderBorder(0);
        QPixmap picture(2, 2);
        picture.fill(QColor(0, 128, 0));
        header.setHeaderPicture(picture);
        const QImage image = WidgetProbe::render(header);
        QCOMPARE(at(image, 3, 3), QColor(0, 128, 0));
        QCOMPARE(at(image, 150, 18), QColor(0, 128, 0));
    }

    void iconFollowsTagAndEnabledState()
    {
        CHeader header;
        header.resize(200, 22);
        header.SetPlusIcon(solid(Qt::red));
        header.SetMinusIcon(solid(Qt::green));
        header.SetDisabledPlusIcon(solid(Qt::blue));
        const QPoint centre = header.iconRect().center();
        QCOMPARE(header.iconRect().center().y(), 10); // centred vertically
        QCOMPARE(at(WidgetProbe::render(header), centre.x(), centre.y()), QColor(Qt::red));
        header.setEnabled(false);
        QCOMPARE(at(WidgetProbe::render(header), centre.x(), centre.y()), QColor(Qt::blue));
        header.setEnabled(true);
        header.setIconTag("-");
        QCOMPARE(at(WidgetProbe::render(header), centre.x(), centre.y()), QColor(Qt::green));
    }

    void lineBreaksAreStoredAsCharactersOneAndTwo()
    {
        CHeader header;
        header.setCaption("Task\r\nList");
        QCOMPARE(header.Caption(), QString("Task") + QChar(1) + QChar(2) + "List");
    }

    void mouseEventsAreForwarded()
    {
        CHeader header;
        header.resize(200, 22);
        QSignalSpy down(&header, &CHeader::MouseDown);
        QSignalSpy up(&header, &CHeader::MouseUp);
        QTest::mouseClick(&header, Qt::LeftButton, Qt::ShiftModifier, QPoint(30, 5));
        QCOMPARE(down.count(), 1);
        QCOMPARE(up.count(), 1);
        QCOMPARE(down.at(0).at(2).toPoint(), QPoint(30, 5));
    }
};

QTEST_MAIN(TestCHeader)
#include "test_cheader.moc"
