// SPDX-License-Identifier: GPL-3.0-or-later
#include "lists/Rowvane.h"
#include "manager/RunFiles.h"

#include <QHash>
#include <QRandomGenerator>
#include <QTest>

class TestRowStore : public QObject
{
    Q_OBJECT

private slots:
    // Row texts are kept packed (shared prefixes, UTF-8 or the raw code units, dropped
    // records moved out): whatever is added, removed and rewritten reads back exactly, and
    // the duplicate questions agree with plain counts of the texts.
    void packedTextsReadBack()
    {
        QRandomGenerator random(7);
        const QStringList pieces = {"http://h.example/dir/",
                                    "HTTP://H.EXAMPLE/DIR/",
                                    QString::fromUtf8("\u00df"),
                                    QString::fromUtf8("\u00e9"),
                                    QString(QChar(0xD800)),
                                    "x",
                                    QString(300, 'p')};
        Rowvane list;
        list.setDenyStrategy(1);
        QStringList rows;
        QHash<QString, int> exact, folded;
        auto count = [&](const QString& t, int by) {
            exact[t] += by;
            folded[t.toCaseFolded()] += by;
        };
        for (int step = 0; step < 4000; ++step) {
            QString t;
            for (int n = random.bounded(1, 4); n-- > 0;)
                t += pieces.at(random.bounded(int(pieces.size())));
            t += QString::number(random.bounded(40));
            const int row = rows.isEmpty() ? -1 : random.bounded(int(rows.size()));
            const int op = row < 0 ? 0 : random.bounded(4);
            if (op < 2) {
                const bool fresh = folded.value(t.toCaseFolded()) == 0;
                QCOMPARE(list.AddItem(t), fresh);
                if (fresh) {
                    count(t, 1);
                    rows << t;
                }
            } else {
                count(rows.at(row), -1);
                if (op == 2) {
                    QVERIFY(list.RemoveItem(row));
                    rows.removeAt(row);
                } else {
                    list.setList(row, t);
                    rows[row] = t;
                    count(t, 1);
                }
            }
            QCOMPARE(list.InList(t, 0), exact.value(t) > 0);
            QCOMPARE(list.InList(t.toUpper(), 1), folded.value(t.toUpper().toCaseFolded()) > 0);
        }
        QCOMPARE(list.ListCount(), rows.size());
        for (int i = 0; i < rows.size(); ++i)
            QCOMPARE(list.List(i), rows.at(i));
    }

    // A row names its look by a 16-bit id: when ids run out, the looks no row has any more
    // are dropped and every row keeps its own.
    void manyLooks()
    {
        Rowvane list;
        list.AddItem("a");
        list.AddItem("b");
        while (list.MaxColors() < 300)
            list.AddColor(0x100 + list.MaxColors());
        QVERIFY(list.SetAttribute(1, 0, 7, 8));
        list.setSelected(1, true);
        for (int back = 0; back < 300; ++back)
            for (int fore = 0; fore < 300; ++fore)
                list.SetAttribute(0, 0, back, fore);
        QCOMPARE(list.BackColorID(0) * 1000 + list.ForeColorID(0), 299299);
        QCOMPARE(list.BackColorID(1) * 1000 + list.ForeColorID(1), 7008);
        QVERIFY(list.Selected(1) && !list.Selected(0));
    }

    // A path given to one URL in a run is taken for every other URL, also once the table
    // grew past the room made for the run.
    void runFiles()
    {
        RunFiles files;
        files.Clear(2);
        for (int i = 0; i < 500; ++i)
            files.Add(QString("/b/f%1").arg(i), QString("http://h/%1").arg(i));
        for (int i = 0; i < 500; ++i) {
            QVERIFY(files.TakenByOther(QString("/b/f%1").arg(i), "http://other/"));
            QVERIFY(!files.TakenByOther(QString("/b/f%1").arg(i), QString("http://h/%1").arg(i)));
        }
        QVERIFY(!files.TakenByOther("/b/f500", "http://other/"));
        files.Clear(0);
        QVERIFY(!files.TakenByOther("/b/f1", "http://other/"));
    }
};

QTEST_GUILESS_MAIN(TestRowStore)
#include "test_rowstore.moc"
