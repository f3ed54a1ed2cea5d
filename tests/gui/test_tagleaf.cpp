// SPDX-License-Identifier: GPL-3.0-or-later
#include "controls/Tagleaf.h"
#include "support/WidgetProbe.h"

#include <QFontMetrics>
#include <QLineEdit>
#include <QSignalSpy>
#include <QTest>

using WidgetProbe::distance;

namespace {

// A run as "L<length> <back> <fore> <styles>", colours in hex.
QStringList describe(const QVector<TagleafRun>& runs)
{
    QStringList out;
    for (const TagleafRun& r : runs)
        out << QStringLiteral("L%1 %2 %3 %4%5%6%7")
                   .arg(r.Length)
                   .arg(r.BackColor, 0, 16)
                   .arg(r.ForeColor, 0, 16)
                   .arg(r.Bold ? "b" : "")
                   .arg(r.Italic ? "i" : "")
                   .arg(r.Underline ? "u" : "")
                   .arg(r.Strikethrough ? "s" : "");
    return out;
}

TagleafRun plain()
{
    TagleafRun run;
    run.BackColor = 0xFFFFFF;
    run.ForeColor = 0;
    return run;
}

} // namespace

class TestTagleaf : public QObject
{
    Q_OBJECT

private slots:
    void parseFormatStrings_data()
    {
        QTest::addColumn<QString>("format");
        QTest::addColumn<QStringList>("runs");
        QTest::newRow("empty") << "" << QStringList();
        QTest::newRow(";;") << ";;" << QStringList();
        QTest::newRow("colour and styles")
            << "L=5,FC=255;L=3,Font=bu" << QStringList{"L5 ffffff ff ", "L3 ffffff 0 bu"};
        QTest::newRow("swatch, lower-case keys")
            << ";l=19;l=2;L=8,bc=255;" << QStringList{"L19 ffffff 0 ", "L2 ffffff 0 ", "L8 ff 0 "};
        QTest::newRow("hex colour, all styles")
            << "fc=&HFF00,font=SUIB" << QStringList{"L0 ffffff ff00 bius"};
        QTest::newRow("empty description keeps its place")
            << "L=2;;L=3" << QStringList{"L2 ffffff 0 ", "L0 ffffff 0 ", "L3 ffffff 0 "};
        QTest::newRow("missing numbers are 0") << "L=,FC=x" << QStringList{"L0 ffffff 0 "};
        QTest::newRow("garbage is ignored") << "X=1,L 5,=,,Lx=4" << QStringList{"L0 ffffff 0 "};
        QTest::newRow("length beyond 16 bits")
            << "L=99999999999" << QStringList{"L32767 ffffff 0 "};
        QTest::newRow("negative length") << "L=-4" << QStringList{"L0 ffffff 0 "};
        QTest::newRow("blank before the number") << "L= 7" << QStringList{"L7 ffffff 0 "};
    }
    void parseFormatStrings()
    {
        QFETCH(QString, format);
        QTEST(describe(TagleafFormat::Parse(format, plain())), "runs");
    }

    // Five red characters, three bold underlined ones, then the rest in the default look.
    void runsDrawInTheirColoursAndStyles()
    {
        Tagleaf label;
        label.setBackColor(0xFFFFFF);
        label.setForeColor(0);
        label.resize(400, 30);
        label.setCaption("MMMMMMMMMMMMMMMM");
        label.setFormatString("L=5,FC=255;L=3,Font=bu");
        label.show();
        const QImage image = WidgetProbe::render(label);
        const auto pieces = label.layoutPieces();
        QCOMPARE(pieces.size(), 3);
        QCOMPARE(pieces.at(2).length, 8);
        const QColor white(255, 255, 255);
        QVERIFY(distance(WidgetProbe::ink(image, pieces.at(0).rect, white), QColor(255, 0, 0)) <
                90);
        QVERIFY(distance(WidgetProbe::ink(image, pieces.at(1).rect, white), Qt::black) < 90);
        QVERIFY(distance(WidgetProbe::ink(image, pieces.at(2).rect, white), Qt::black) < 90);
        // An underline: a row of the second stretch that is ink from end to end.
        auto underlined = [&](const QRect& r) {
            for (int y = r.top() + r.height() / 2; y <= r.bottom(); ++y)
                if (WidgetProbe::count(image, QRect(r.left() + 1, y, r.width() - 2, 1), Qt::black,
                                       150) == r.width() - 2)
                    return true;
            return false;
        };
        QVERIFY(underlined(pieces.at(1).rect));
        QVERIFY(!underlined(pieces.at(2).rect));
    }

    // The fill behind a run, and its corners set back to the label's white when rounded.
    void runFillsAndCorners_data()
    {
        QTest::addColumn<QString>("format");
        QTest::addColumn<bool>("rounded");
        QTest::addColumn<QColor>("fill");
        QTest::addColumn<QColor>("corner");
        const QColor white(255, 255, 255), red(255, 0, 0), blue(0, 0, 255);
        QTest::newRow("red, rounded") << "L=2;L=4,BC=255" << true << red << white;
        QTest::newRow("red, square") << "L=2;L=4,BC=255" << false << red << red;
        QTest::newRow("blue, hex, lower case") << "l=2;l=4,bc=&HFF0000" << true << blue << white;
        QTest::newRow("outer ; dropped")
            << ";L=2;L=4,BC=65280,FC=255;" << true << QColor(0, 255, 0) << white;
    }
    void runFillsAndCorners()
    {
        QFETCH(QString, format);
        QFETCH(bool, rounded);
        QFETCH(QColor, fill);
        Tagleaf label;
        label.setBackColor(0xFFFFFF);
        label.setRoundedFill(rounded);
        label.resize(300, 30);
        label.setCaption("ab    cd");
        label.setFormatString(format);
        label.show();
        const QImage image = WidgetProbe::render(label);
        const QRect r = label.layoutPieces().at(1).rect;
        for (QPoint corner : {r.topLeft(), r.topRight(), r.bottomLeft(), r.bottomRight()})
            QTEST(WidgetProbe::at(image, corner.x(), corner.y()), "corner");
        QCOMPARE(WidgetProbe::at(image, r.left() + 1, r.top()), fill);
        QCOMPARE(WidgetProbe::at(image, r.left(), r.top() + 1), fill);
        // The default-look stretch before it is not filled.
        const QRect first = label.layoutPieces().at(0).rect;
        QCOMPARE(WidgetProbe::at(image, first.right(), first.top()), QColor(255, 255, 255));
    }

    void runsWrapAtTheWidth()
    {
        Tagleaf label;
        label.resize(60, 80);
        label.setCaption(QString(30, QLatin1Char('x')));
        label.setFormatString("L=12,FC=255");
        const auto pieces = label.layoutPieces();
        QVERIFY(pieces.size() >= 3);
        int characters = 0;
        for (const auto& piece : pieces) {
            QVERIFY(piece.rect.right() < 60);
            characters += piece.length;
        }
        QCOMPARE(characters, 30);
        QVERIFY(pieces.last().rect.top() > 0);

        // With blanks, a line ends after a blank, never inside a word.
        label.setCaption("alpha beta gamma delta epsilon");
        label.setFormatString("L=30,FC=255");
        for (const auto& piece : label.layoutPieces())
            QVERIFY(piece.from + piece.length == 30 ||
                    label.Caption().at(piece.from + piece.length - 1) == QLatin1Char(' '));
    }

    void doubleClickShowsTheCopyBox()
    {
        Tagleaf label;
        label.resize(300, 24);
        label.setCaption("Colour: 0x00FF00");
        QSignalSpy doubles(&label, &Tagleaf::DblClick);
        label.show();
        QTest::mouseDClick(&label, Qt::LeftButton, {}, QPoint(5, 5));
        QCOMPARE(doubles.count(), 1);
        QVERIFY(!label.editBox()); // EditStart -1: only the event

        label.setEditStart(9);
        QTest::mouseDClick(&label, Qt::LeftButton, {}, QPoint(5, 5));
        QLineEdit* box = label.editBox();
        QVERIFY(box && box->isVisible() && box->isReadOnly());
        QCOMPARE(box->text(), QString("0x00FF00"));
        QCOMPARE(box->x(), QFontMetrics(label.font()).horizontalAdvance("Colour: ") + 2);
        QCOMPARE(box->y(), -1);
        QFocusEvent focusOut(QEvent::FocusOut);
        QCoreApplication::sendEvent(box, &focusOut);
        QVERIFY(!label.editBox());
        QCOMPARE(label.Caption(), QString("Colour: 0x00FF00"));
    }
};

QTEST_MAIN(TestTagleaf)
#include "test_tagleaf.moc"
