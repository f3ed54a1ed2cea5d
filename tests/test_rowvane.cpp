// SPDX-License-Identifier: GPL-3.0-or-later
#include "lists/Rowvane.h"

#include <QSignalSpy>
#include <QTest>

namespace {

QStringList texts(const Rowvane& list)
{
    QStringList out;
    for (int i = 0; i < list.ListCount(); ++i)
        out << list.List(i);
    return out;
}

} // namespace

class TestRowvane : public QObject
{
    Q_OBJECT

private slots:
    void addItemPositionsAndRefusals()
    {
        Rowvane list;
        QSignalSpy click(&list, &Rowvane::Click);
        QVERIFY(list.AddItem("b"));
        QCOMPARE(list.ListIndex(), 0);
        QCOMPARE(click.count(), 1);
        QVERIFY(list.AddItem("c"));
        QVERIFY(list.AddItem("a", 0, 0, 1, 0)); // insert at the top
        QCOMPARE(texts(list), QStringList({"a", "b", "c"}));
        QCOMPARE(click.count(), 1); // only the first row makes a current row
        QCOMPARE(list.ListIndex(), 0);
        QVERIFY(list.AddItem("d", 0, 0, 1, list.ListCount())); // Index == ListCount appends
        QCOMPARE(list.List(3), QString("d"));
        QVERIFY(!list.AddItem("e", 0, 0, 1, list.ListCount() + 1));
        QVERIFY(!list.AddItem("e", 0, 0, 1, -2));
        QVERIFY(!list.AddItem("e", 1, 0, 1)); // no font 1
        QVERIFY(!list.AddItem("e", 0, 2, 1)); // no colour 2
        QVERIFY(!list.AddItem("e", 0, 0, -1));
        QCOMPARE(list.ListCount(), 4);
        QCOMPARE(list.List(-1), QString());
        QCOMPARE(list.List(4), QString());
        QVERIFY(!list.Selected(4));
    }

    void duplicateRules()
    {
        Rowvane list;
        list.AddItem("abc");
        list.setDenyStrategy(1);
        QVERIFY(!list.AddItem("ABC"));
        QVERIFY(!list.AddItem("abc"));
        list.setDenyStrategy(2);
        QVERIFY(list.AddItem("ABC"));
        QVERIFY(!list.AddItem("abc"));
        list.setDenyStrategy(0);
        QVERIFY(list.AddItem("abc"));
        QCOMPARE(list.ListCount(), 3);

        // The index follows removals and text writes.
        list.setDenyStrategy(1);
        QVERIFY(list.RemoveItem(0));
        QVERIFY(list.InList("ABC", 1)); // one "abc" is left
        QVERIFY(list.RemoveItem(1));
        QVERIFY(list.RemoveItem(0));
        QVERIFY(!list.InList("abc", 1));
        QVERIFY(list.AddItem("x"));
        list.setList(0, "Y");
        QVERIFY(!list.InList("x", 0));
        QVERIFY(list.InList("y", 1));
        QVERIFY(!list.InList("y", 0));
        QVERIFY(list.AddItem("x"));
        QVERIFY(!list.AddItem("y"));
        list.Clear();
        QVERIFY(list.AddItem("y"));
    }

    void getItemIndexSearchesFromStart()
    {
        Rowvane list;
        for (const char* t : {"a", "B", "b", "a"})
            list.AddItem(t);
        QCOMPARE(list.GetItemIndex(0, "a", 0), 0);
        QCOMPARE(list.GetItemIndex(1, "a", 0), 3);
        QCOMPARE(list.GetItemIndex(0, "b", 0), 2);
        QCOMPARE(list.GetItemIndex(0, "b", 1), 1);
        QCOMPARE(list.GetItemIndex(4, "a", 0), -1);
        QCOMPARE(list.GetItemIndex(0, "z", 1), -1);
    }

    void sortStrategies_data()
    {
        QTest::addColumn<int>("strategy");
        QTest::addColumn<QStringList>("expected");
        QTest::newRow("kept") << 0 << QStringList({"b", "a", "c"});
        QTest::newRow("ascending") << 1 << QStringList({"a", "b", "c"});
        QTest::newRow("descending") << 2 << QStringList({"c", "b", "a"});
    }

    void sortStrategies()
    {
        QFETCH(int, strategy);
        QFETCH(QStringList, expected);
        Rowvane list;
        list.setSortStrategy(strategy);
        for (const char* t : {"b", "a", "c"})
            QVERIFY(list.AddItem(t, 0, 0, 1, -1));
        QCOMPARE(texts(list), expected);
    }

    void sortedInsertIgnoresIndexAndComparesByCode()
    {
        Rowvane list;
        list.setSortStrategy(1);
        for (const char* t : {"b", "B", "a", "A", "_", "ab"})
            list.AddItem(t, 0, 0, 1, 0);
        // Binary order: upper case before "_" before lower case.
        QCOMPARE(texts(list), QStringList({"A", "B", "_", "a", "ab", "b"}));
        list.setList(0, "zzz"); // refused in a sorted list
        QCOMPARE(list.List(0), QString("A"));
    }

    void changingSortStrategy()
    {
        Rowvane list;
        for (const char* t : {"b", "a", "c"})
            list.AddItem(t);
        list.setSortStrategy(2); // from 0: sort
        QCOMPARE(texts(list), QStringList({"c", "b", "a"}));
        list.setSortStrategy(1); // between sorted: reverse
        QCOMPARE(texts(list), QStringList({"a", "b", "c"}));
        list.AddItem("d", 0, 0, 1, -1);
        list.setSortStrategy(0); // from sorted to 0: reversed too
        QCOMPARE(texts(list), QStringList({"d", "c", "b", "a"}));
        list.setSortStrategy(0);
        QCOMPARE(list.List(0), QString("d"));
    }

    void sortingKeepsWholeRecords()
    {
        Rowvane list;
        const int red = list.AddColor(0xFF);
        list.AddItem("b", 0, red, 1);
        list.AddItem("a");
        list.setSelected(0, true);
        list.setSortStrategy(1);
        QCOMPARE(list.List(1), QString("b"));
        QCOMPARE(list.BackColorID(1), red);
        QVERIFY(list.Selected(1));
        QVERIFY(!list.Selected(0));
    }

    void removeItemMovesListIndex()
    {
        Rowvane list;
        for (const char* t : {"a", "b", "c", "d"})
            list.AddItem(t);
        QVERIFY(list.setListIndex(3));
        QVERIFY(list.RemoveItem(3)); // the current last row: moves to the new last row
        QCOMPARE(list.ListIndex(), 2);
        QVERIFY(list.setListIndex(1));
        QVERIFY(list.RemoveItem(0)); // a row above: the number is kept
        QCOMPARE(list.ListIndex(), 1);
        QCOMPARE(list.ActiveItem(), QString("c"));
        QVERIFY(list.RemoveItem(1));
        QCOMPARE(list.ListIndex(), 0);
        QVERIFY(!list.RemoveItem(1));
        QVERIFY(!list.RemoveItem(-1));
        QVERIFY(list.RemoveItem(0));
        QCOMPARE(list.ListIndex(), -1);
        QCOMPARE(list.ActiveItem(), QString());
    }

    void listIndexWrites()
    {
        Rowvane list;
        list.AddItem("a");
        list.AddItem("b");
        QSignalSpy visible(&list, &Rowvane::EnsureVisibleRequested);
        QSignalSpy click(&list, &Rowvane::Click);
        QVERIFY(!list.setListIndex(2)); // out of range: refused, unchanged
        QCOMPARE(list.ListIndex(), 0);
        QVERIFY(!list.setListIndex(-2));
        QVERIFY(list.setListIndex(-1));
        QCOMPARE(list.ListIndex(), -1);
        QCOMPARE(visible.count(), 1);
        QCOMPARE(visible.at(0).at(0).toInt(), 0); // -1 scrolls to the top
        QCOMPARE(click.count(), 0);
    }

    void attributesResetAndSwap()
    {
        Rowvane list;
        list.AddItem("a");
        list.AddItem("b");
        const int c = list.AddColor(0x123456);
        QVERIFY(list.SetAttribute(0, 0, c, c));
        QVERIFY(!list.SetAttribute(2, 0, 0, 1));
        QVERIFY(!list.SetAttribute(0, 1, 0, 1));
        QVERIFY(!list.SetAttribute(0, 0, c + 1, 1));
        QVERIFY(list.SetItemForeColor(1, 0xABCDEF));
        QCOMPARE(list.Color(list.ForeColorID(1)), 0xABCDEFu);
        list.setSelected(1, true);
        list.Swap(0, 1);
        QCOMPARE(list.List(0), QString("b"));
        QVERIFY(list.Selected(0));
        QCOMPARE(list.BackColorID(1), c);
        list.ResetList();
        QCOMPARE(texts(list), QStringList({"b", "a"}));
        for (int i = 0; i < 2; ++i) {
            QCOMPARE(list.FontID(i), 0);
            QCOMPARE(list.BackColorID(i), 0);
            QCOMPARE(list.ForeColorID(i), 1);
            QVERIFY(!list.Selected(i));
        }
    }

    void colorTable()
    {
        Rowvane list;
        QCOMPARE(list.MaxColors(), 2);
        QCOMPARE(list.AddColor(Rowvane::DefaultBackColor), 0);
        QCOMPARE(list.AddColor(Rowvane::DefaultForeColor), 1);
        QCOMPARE(list.AddColor(0x10), 2);
        QCOMPARE(list.AddColor(0x10), 2);
        for (quint32 v = 0x100; list.MaxColors() < Rowvane::MaxColorEntries; ++v)
            list.AddColor(v);
        QCOMPARE(list.MaxColors(), 10001);
        QCOMPARE(list.AddColor(0xFFFFFF), 0); // full
        QCOMPARE(list.MaxColors(), 10001);
        QVERIFY(!list.RemoveColor(1));
        QVERIFY(!list.RemoveColor(0));
        QVERIFY(!list.RemoveColor(10001));

        // Rows pointing past the shrunk table are pulled to its new upper bound.
        list.AddItem("a", 0, 10000, 5000);
        QVERIFY(list.RemoveColor(2));
        QCOMPARE(list.MaxColors(), 10000);
        QCOMPARE(list.BackColorID(0), 9999);
        QCOMPARE(list.ForeColorID(0), 5000);
        // The removed value can come back, and later values are found at their new place.
        QCOMPARE(list.AddColor(0x100), 2);
        QVERIFY(list.RemoveColor(9999));
        QCOMPARE(list.AddColor(0x10), 9999);
    }

    void backColorIsEntryZero()
    {
        Rowvane list;
        list.setBackColor(0x00FF00);
        QCOMPARE(list.AddColor(0x00FF00), 0);
        QCOMPARE(list.AddColor(Rowvane::DefaultBackColor), 2);
    }

    void fontTable()
    {
        Rowvane list;
        RowvaneFont bold;
        bold.Bold = true;
        for (int i = 1; i < 256; ++i)
            QVERIFY(list.AddFont(bold));
        QVERIFY(!list.AddFont(bold));
        QCOMPARE(list.MaxFonts(), 256);
        QVERIFY(!list.RemoveFont(0));
        QVERIFY(!list.RemoveFont(256));
        list.AddItem("a", 255, 0, 1);
        QVERIFY(list.RemoveFont(3));
        QCOMPARE(list.FontID(0), 254);
        QVERIFY(list.FontAt(254).Bold);
    }

    void rowLimit()
    {
        Rowvane list;
        list.BlockUpdate();
        for (int i = 0; i < Rowvane::MaxRows; ++i)
            QVERIFY(list.AddItem(QString::number(i)));
        QVERIFY(!list.AddItem("one more"));
        QCOMPARE(list.ListCount(), 32001);
    }

    void changedOncePerBulk()
    {
        Rowvane list;
        QSignalSpy changed(&list, &Rowvane::Changed);
        list.AddItem("a");
        QCOMPARE(changed.count(), 1);
        list.BlockUpdate();
        for (int i = 0; i < 100; ++i)
            list.AddItem(QString::number(i));
        list.RemoveItem(0);
        list.ResetList();
        QCOMPARE(changed.count(), 1);
        list.Update();
        QCOMPARE(changed.count(), 2);
        {
            RowvaneBulkChange outer(list);
            {
                RowvaneBulkChange inner(list);
                list.AddItem("x");
            }
            QCOMPARE(changed.count(), 2); // the inner block leaves the update to the outer
            list.AddItem("y");
        }
        QCOMPARE(changed.count(), 3);
    }

    void clearRaisesClick()
    {
        Rowvane list;
        list.AddItem("a");
        QSignalSpy click(&list, &Rowvane::Click);
        list.Clear();
        QCOMPARE(click.count(), 1);
        QCOMPARE(list.ListCount(), 0);
        QCOMPARE(list.ListIndex(), -1);
        QVERIFY(list.AddItem("a"));
        QCOMPARE(click.count(), 2);
    }

    // A view keeps per-row widths from these notices, also during a blocked bulk change;
    // a colour-only change must not ask it to measure again.
    void rowNoticesNameTheRowsThatChanged()
    {
        Rowvane list;
        list.setSortStrategy(1);
        QSignalSpy inserted(&list, &Rowvane::RowInserted);
        QSignalSpy removed(&list, &Rowvane::RowRemoved);
        QSignalSpy replaced(&list, &Rowvane::RowsReplaced);
        QSignalSpy reset(&list, &Rowvane::RowsReset);
        {
            RowvaneBulkChange bulk(list);
            list.AddItem("b");
            list.AddItem("c");
            list.AddItem("a"); // sorted in at the top
        }
        QCOMPARE(inserted.count(), 3);
        QCOMPARE(inserted.at(2).at(0).toInt(), 0);
        list.SetAttribute(1, 0, 0, 0); // colours only
        list.setSelected(1, true);
        QCOMPARE(replaced.count(), 0);
        QVERIFY(list.AddFont(RowvaneFont{"Serif", 14}));
        list.SetAttribute(2, 1, 0, 1);
        QCOMPARE(replaced.count(), 1);
        QCOMPARE(replaced.at(0), QVariantList({2, 2}));
        list.RemoveItem(1);
        QCOMPARE(removed.count(), 1);
        QCOMPARE(removed.at(0).at(0).toInt(), 1);
        list.ResetList(); // row 1 leaves font 1
        list.setSortStrategy(2);
        QCOMPARE(reset.count(), 2);
    }
};

QTEST_GUILESS_MAIN(TestRowvane)
#include "test_rowvane.moc"
