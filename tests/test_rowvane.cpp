// SPDX-License-Identifier: GPL-3.0-or-later
// The owner-drawn list's model: positions, duplicates, sorting, the current row, the
// colour and font tables, the row limit and the change notices a view relies on.
#include "lists/Rowvane.h"

#include <QSignalSpy>
#include <QTest>

#include <functional>

class TestRowvane : public QObject
{
    Q_OBJECT

private slots:
    // A script of list operations, and what it leaves: "rows|current row|refused steps".
    // Steps: "+x" adds x ("+x@2" at row 2), "-n" removes row n, "=n:x" writes row n,
    // "in" sets the current row, "dn" the duplicate rule, "sn" the sort order, "C" clears.
    void scripts_data()
    {
        QTest::addColumn<QString>("script");
        QTest::addColumn<QString>("result");
        const char* const rows[][3] = {
            {"positions", "+b +c +a@0 +d@3 +e@5 +e@-2", "a,b,c,d|0|+e@5 +e@-2"},
            {"duplicates by rule", "+abc d1 +ABC +abc d2 +ABC +abc d0 +abc",
             "abc,ABC,abc|0|+ABC +abc +abc"},
            {"duplicate index follows removal", "+abc +ABC d1 -0 +abc", "ABC|0|+abc"},
            {"removed text can come back", "+abc +ABC d1 -0 -0 +abc", "abc|0|"},
            {"duplicate index follows writes", "d1 +x =0:Y +x +y", "Y,x|0|+y"},
            {"clear empties the duplicate index", "d1 +y C +y", "y|0|"},
            {"kept order", "s0 +b +a +c", "b,a,c|0|"},
            {"ascending", "s1 +b +a +c", "a,b,c|0|"},
            {"descending", "s2 +b +a +c", "c,b,a|0|"},
            {"sorted by code, index ignored", "s1 +b@0 +B@0 +a@0 +A@0 +_@0 +ab@0",
             "A,B,_,a,ab,b|0|"},
            {"no writes in a sorted list", "s1 +a +b =0:zzz", "a,b|0|"},
            {"sorting an unsorted list", "+b +a +c s2", "c,b,a|0|"},
            {"between sort orders: reversed", "+b +a +c s2 s1 +d", "a,b,c,d|0|"},
            {"back to unsorted: reversed too", "+b +a +c s2 s1 +d s0 s0", "d,c,b,a|0|"},
            {"removing the current last row", "+a +b +c +d i3 -3", "a,b,c|2|"},
            {"removing a row above keeps the number", "+a +b +c +d i1 -0", "b,c,d|1|"},
            {"removing the only row", "+a -1 --1 -0", "|-1|-1 --1"},
            {"current row out of range", "+a +b i2 i-2", "a,b|0|i2 i-2"},
            {"no current row", "+a +b i-1", "a,b|-1|"},
        };
        for (const auto& r : rows)
            QTest::newRow(r[0]) << QString(r[1]) << QString(r[2]);
    }
    void scripts()
    {
        QFETCH(QString, script);
        Rowvane list;
        const auto add = [&](const QString& a) {
            const qsizetype at = a.indexOf('@');
            return at < 0 ? list.AddItem(a)
                          : list.AddItem(a.left(at), 0, 0, 1, a.mid(at + 1).toInt());
        };
        using Step = std::function<bool(const QString&)>;
        const QHash<QChar, Step> steps = {
            {'+', add},
            {'-', [&](const QString& a) { return list.RemoveItem(a.toInt()); }},
            {'=',
             [&](const QString& a) { return list.setList(a.left(1).toInt(), a.mid(2)), true; }},
            {'i', [&](const QString& a) { return list.setListIndex(a.toInt()); }},
            {'d', [&](const QString& a) { return list.setDenyStrategy(a.toInt()), true; }},
            {'s', [&](const QString& a) { return list.setSortStrategy(a.toInt()), true; }},
            {'C', [&](const QString&) { return list.Clear(), true; }},
        };
        QStringList refused;
        for (const QString& step : script.split(' ')) {
            if (!steps[step[0]](step.mid(1)))
                refused << step;
        }
        QStringList texts;
        for (int i = 0; i < list.ListCount(); ++i)
            texts << list.List(i);
        QTEST(texts.join(',') + '|' + QString::number(list.ListIndex()) + '|' + refused.join(' '),
              "result");
    }

    void recordsMoveWhole()
    {
        Rowvane list;
        for (const char* t : {"a", "B", "b", "a"})
            list.AddItem(t);
        QCOMPARE(list.GetItemIndex(0, "a", 0), 0);
        QCOMPARE(list.GetItemIndex(1, "a", 0), 3);
        QCOMPARE(list.GetItemIndex(0, "b", 0), 2);
        QCOMPARE(list.GetItemIndex(0, "b", 1), 1);
        QCOMPARE(list.GetItemIndex(4, "a", 0), -1);
        QCOMPARE(list.List(4), QString());
        QVERIFY(!list.Selected(4));

        const int c = list.AddColor(0x123456);
        QVERIFY(list.SetAttribute(2, 0, c, c));
        QVERIFY(!list.SetAttribute(4, 0, 0, 1));
        QVERIFY(!list.SetAttribute(0, 1, 0, 1)); // no font 1
        QVERIFY(!list.SetAttribute(0, 0, c + 1, 1));
        QVERIFY(!list.AddItem("e", 0, c + 1, 1) && !list.AddItem("e", 1, 0, 1) &&
                !list.AddItem("e", 0, 0, -1));
        QVERIFY(list.SetItemForeColor(1, 0xABCDEF));
        list.setSelected(1, true);
        list.Swap(0, 1);
        QCOMPARE(list.List(0), QString("B"));
        QCOMPARE(list.Color(list.ForeColorID(0)), 0xABCDEFu);
        QVERIFY(list.Selected(0) && !list.Selected(1));
        list.setSortStrategy(1); // sorting moves whole records: B a a b
        QCOMPARE(list.List(3), QString("b"));
        QCOMPARE(list.BackColorID(3), c);
        QVERIFY(list.Selected(0));
        list.ResetList();
        QCOMPARE(list.List(0), QString("B"));
        for (int i = 0; i < list.ListCount(); ++i) {
            QCOMPARE(list.BackColorID(i) * 10 + list.ForeColorID(i), 1);
            QVERIFY(!list.Selected(i));
        }
    }

    void colorAndFontTables()
    {
        Rowvane list;
        list.setBackColor(0x00FF00); // the back colour is entry 0
        QCOMPARE(list.AddColor(0x00FF00), 0);
        QCOMPARE(list.AddColor(Rowvane::DefaultForeColor), 1);
        QCOMPARE(list.AddColor(0x10), 2);
        QCOMPARE(list.AddColor(0x10), 2);
        for (quint32 v = 0x100; list.MaxColors() < Rowvane::MaxColorEntries; ++v)
            list.AddColor(v);
        QCOMPARE(list.AddColor(0xFFFFFF), 0); // full
        QCOMPARE(list.MaxColors(), 10001);
        QVERIFY(!list.RemoveColor(1) && !list.RemoveColor(0) && !list.RemoveColor(10001));
        // Rows pointing past the shrunk table are pulled to its new upper bound.
        list.AddItem("a", 0, 10000, 5000);
        QVERIFY(list.RemoveColor(2));
        QCOMPARE(list.BackColorID(0), 9999);
        QCOMPARE(list.ForeColorID(0), 5000);
        // The removed value can come back, and later values are found at their new place.
        QCOMPARE(list.AddColor(0x100), 2);
        QVERIFY(list.RemoveColor(9999));
        QCOMPARE(list.AddColor(0x10), 9999);

        RowvaneFont bold;
        bold.Bold = true;
        for (int i = 1; i < 256; ++i)
            QVERIFY(list.AddFont(bold));
        QVERIFY(!list.AddFont(bold));
        QVERIFY(!list.RemoveFont(0) && !list.RemoveFont(256));
        list.AddItem("b", 255, 0, 1);
        QVERIFY(list.RemoveFont(3));
        QCOMPARE(list.FontID(1), 254);
        QVERIFY(list.FontAt(254).Bold);
    }

    // A view repaints on Changed (once per bulk change), keeps per-row widths from the
    // row notices (a colour-only change must not ask it to measure again), and the
    // current row's owner hears Click when the first row arrives or the list is cleared.
    void notices()
    {
        Rowvane list;
        list.setSortStrategy(1);
        QSignalSpy changed(&list, &Rowvane::Changed);
        QSignalSpy click(&list, &Rowvane::Click);
        QSignalSpy inserted(&list, &Rowvane::RowInserted);
        QSignalSpy removed(&list, &Rowvane::RowRemoved);
        QSignalSpy replaced(&list, &Rowvane::RowsReplaced);
        QSignalSpy reset(&list, &Rowvane::RowsReset);
        QSignalSpy visible(&list, &Rowvane::EnsureVisibleRequested);
        list.AddItem("b");
        QCOMPARE(changed.count(), 1);
        {
            RowvaneBulkChange outer(list);
            {
                RowvaneBulkChange inner(list);
                list.AddItem("c");
            }
            QCOMPARE(changed.count(), 1); // the inner block leaves the update to the outer
            list.AddItem("a");            // sorted in at the top
        }
        QCOMPARE(changed.count(), 2);
        QCOMPARE(click.count(), 1);
        QCOMPARE(inserted.count(), 3);
        QCOMPARE(inserted.at(2).at(0).toInt(), 0);
        list.SetAttribute(1, 0, 0, 0); // colours only
        list.setSelected(1, true);
        QCOMPARE(replaced.count(), 0);
        QVERIFY(list.AddFont(RowvaneFont{"Serif", 14}));
        list.SetAttribute(2, 1, 0, 1);
        QCOMPARE(replaced.at(0), QVariantList({2, 2}));
        list.RemoveItem(1);
        QCOMPARE(removed.at(0).at(0).toInt(), 1);
        list.BlockUpdate();
        list.ResetList(); // row 1 leaves font 1
        list.setSortStrategy(2);
        QCOMPARE(reset.count(), 2);
        const int before = int(changed.count());
        list.Update();
        QCOMPARE(changed.count(), before + 1);
        QVERIFY(list.setListIndex(-1));
        QCOMPARE(visible.last().at(0).toInt(), 0); // -1 scrolls to the top
        list.Clear();
        QCOMPARE(click.count(), 2);
        QVERIFY(list.AddItem("a"));
        QCOMPARE(click.count(), 3);
    }
};

QTEST_GUILESS_MAIN(TestRowvane)
#include "test_rowvane.moc"
