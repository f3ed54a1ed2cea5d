// SPDX-License-Identifier: GPL-3.0-or-later
// The list models: the owner-drawn list (rows, duplicates, sorting, colour and font tables,
// change notices), file-type lists and the link pattern, the download list menu, the counter
// line and the extension patterns the manager builds from the type lists.
#include "ManagerRig.h"
#include "lists/DownloadListMenu.h"
#include "lists/FileTypeList.h"
#include "lists/LinkPattern.h"
#include "lists/Rowvane.h"
#include "support/ScriptedDialogs.h"

#include <QSignalSpy>
#include <QTest>

#include <functional>

namespace {

QString rowsOf(const FileTypeList& list)
{
    QStringList out;
    for (int i = 0; i < list.ListCount(); ++i)
        out << list.Text(i) + (list.Checked(i) ? "+" : "-");
    return out.join(' ');
}

} // namespace

class TestLists : public QObject
{
    Q_OBJECT

private slots:
    // A script of list operations, and what it leaves: "rows|current row|refused steps".
    // Steps: "+x" adds x ("+x@2" at row 2), "-n" removes row n, "=n:x" writes row n,
    // "in" sets the current row, "dn" the duplicate rule, "sn" the sort order, "C" clears.
    void rowScripts_data()
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
    void rowScripts()
    {
        QFETCH(QString, script);
        Rowvane list;
        const QHash<QChar, std::function<bool(const QString&)>> steps = {
            {'+',
             [&](const QString& a) {
                 const qsizetype at = a.indexOf('@');
                 return at < 0 ? list.AddItem(a)
                               : list.AddItem(a.left(at), 0, 0, 1, a.mid(at + 1).toInt());
             }},
            {'-', [&](const QString& a) { return list.RemoveItem(a.toInt()); }},
            {'=',
             [&](const QString& a) { return list.setList(a.left(1).toInt(), a.mid(2)), true; }},
            {'i', [&](const QString& a) { return list.setListIndex(a.toInt()); }},
            {'d', [&](const QString& a) { return list.setDenyStrategy(a.toInt()), true; }},
            {'s', [&](const QString& a) { return list.setSortStrategy(a.toInt()), true; }},
            {'C', [&](const QString&) { return list.Clear(), true; }},
        };
        QStringList refused, texts;
        for (const QString& step : script.split(' ')) {
            if (!steps[step[0]](step.mid(1)))
                refused << step;
        }
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
        QCOMPARE(list.GetItemIndex(1, "a", 0), 3);
        QCOMPARE(list.GetItemIndex(0, "b", 0), 2);
        QCOMPARE(list.GetItemIndex(0, "b", 1), 1);
        QCOMPARE(list.GetItemIndex(4, "a", 0), -1);
        QVERIFY(list.List(4).isEmpty() && !list.Selected(4));

        const int c = list.AddColor(0x123456);
        QVERIFY(list.SetAttribute(2, 0, c, c));
        QVERIFY(!list.SetAttribute(4, 0, 0, 1) && !list.SetAttribute(0, 1, 0, 1) &&
                !list.SetAttribute(0, 0, c + 1, 1));
        QVERIFY(!list.AddItem("e", 0, c + 1, 1) && !list.AddItem("e", 1, 0, 1) &&
                !list.AddItem("e", 0, 0, -1));
        QVERIFY(list.SetItemForeColor(1, 0xABCDEF));
        list.setSelected(1, true);
        list.Swap(0, 1);
        QCOMPARE(list.List(0), QString("B"));
        QCOMPARE(list.Color(list.ForeColorID(0)), 0xABCDEFu);
        QVERIFY(list.Selected(0) && !list.Selected(1));
        list.setSortStrategy(1); // sorting moves whole records: B a a b
        QCOMPARE(list.BackColorID(3), c);
        QVERIFY(list.Selected(0));
        list.ResetList();
        QCOMPARE(list.List(0), QString("B"));
        for (int i = 0; i < list.ListCount(); ++i)
            QVERIFY(list.BackColorID(i) * 10 + list.ForeColorID(i) == 1 && !list.Selected(i));
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
        QCOMPARE(list.BackColorID(0) * 10000 + list.ForeColorID(0), 9999 * 10000 + 5000);
        // The removed value can come back, and later values are found at their new place.
        QCOMPARE(list.AddColor(0x100), 2);
        QVERIFY(list.RemoveColor(9999));
        QCOMPARE(list.AddColor(0x10), 9999);

        RowvaneFont bold;
        bold.Bold = true;
        for (int i = 1; i < 256; ++i)
            QVERIFY(list.AddFont(bold));
        QVERIFY(!list.AddFont(bold) && !list.RemoveFont(0) && !list.RemoveFont(256));
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

    // The stored text, the rows it gives and the extension pattern of the checked ones.
    void typeListText()
    {
        const char* const rows[][3] = {
            {"|jpg/1|gif/0|png/1", "jpg+ gif- png+", "(\\.jpg|\\.png)"},
            {"jpg", "jpg-", ""},
            {"jpg/2", "jpg+", "(\\.jpg)"},
            {"||png/1||", "png+", "(\\.png)"},
            {"a/x|b/ 3|c/-1|d/1/0", "a- b+ c- d+", "(\\.b|\\.d)"},
            {"", "", ""},
            {"/1", "+", "(\\.)"},
        };
        for (const auto& r : rows) {
            FileTypeList list;
            list.StringToList(r[0]);
            QCOMPARE(rowsOf(list), QString(r[1]));
            QCOMPARE(list.BuildExtPattern(), QString(r[2]));
            QCOMPARE(list.ListIndex(), list.ListCount() > 0 ? 0 : -1);
            QVERIFY(!list.Marked()); // loading is no user change
        }
    }

    // Whether a text holds a link for a template and an extension pattern.
    void linkPattern()
    {
        const QString t = QStringLiteral("(https?://[^<=\\?\\+>]+$Ext)");
        const QString jz = QStringLiteral("(\\.jpg|\\.zip)");
        const QString classic = QStringLiteral("(http://[^<=\\?\\+>]+$Ext)");
        const struct
        {
            QString templ, ext, text;
            bool matches;
        } rows[] = {
            {t, jz, "http://h/a.jpg", true},
            {t, jz, "HTTPS://H/A.ZIP", true},
            {t, jz, "text <a href=http://h/a.jpg> x", true},
            {t, jz, "line\nhttp://h/a.jpg", true},
            {t, jz, "http://h/a.gif", false},
            {t, jz, "http://h/a?b.jpg", false},
            {t, jz, "ftp://h/a.jpg", false},
            {classic, "", "go to http://x", true}, // no types: any address
            {classic, "", "http://", false},
            {"", "", "anything", true},
            {"(http://[^>+$Ext", jz, "http://h/a.jpg", false}, // broken template
            {t, "(\\.jp(g)", "http://h/a.jpg", false},
        };
        for (const auto& r : rows) {
            const LinkPattern pattern(r.templ, r.ext);
            QVERIFY2(pattern.Matches(r.text) == r.matches, qPrintable(r.text));
            QCOMPARE(pattern.ErrorText().isEmpty(), pattern.IsValid());
        }
        // "$Ext" is found in any case; blanks around the template are stripped.
        QCOMPARE(LinkPattern::Build("  x$EXT|$ext  ", "E"), QString("(xE|E)"));
    }

    // A type typed into the dialog ("" for cancelled) into a list of that many rows, and the
    // message shown ("+" when added).
    void addFileType()
    {
        const QString badChar = QStringLiteral("Invalid character found! '/', '\\' ,'*'");
        const struct
        {
            const char* answer;
            int rowsBefore;
            QString message;
        } rows[] = {
            {"mp4", 1, "+"},
            {"  .webm ", 1, "+"},
            {".JPG", 1, "This file type is already in list!"},
            {"abcdefg", 1, "Invalid value! It must be between 1 to 6 characters long."},
            {"a/b", 1, badChar},
            {"a\\b", 1, badChar},
            {"*", 1, badChar},
            {"", 1, ""},
            {".", 1, ""},
            {nullptr, 1, ""},
            {"new", 100, "+"},
            {"new", 101, "There are already more than 100 file types. New types cannot be added."},
        };
        for (const auto& r : rows) {
            FileTypeList list;
            QStringList text{"jpg/1"};
            for (int i = 1; i < r.rowsBefore; ++i)
                text << QString("t%1").arg(i);
            list.StringToList(text.join('|'));
            QSignalSpy modified(&list, &FileTypeList::Modified);
            ScriptedDialogs dialogs;
            if (r.answer)
                dialogs.inputs.enqueue(r.answer);
            const bool added = r.message == "+";
            QCOMPARE(list.AddFileType(dialogs), added);
            QCOMPARE(dialogs.messages(),
                     added || r.message.isEmpty() ? QStringList() : QStringList{r.message});
            QCOMPARE(list.ListCount(), r.rowsBefore + added);
            QCOMPARE(list.Marked(), added);
            QCOMPARE(modified.count(), int(added));
            if (added) {
                QCOMPARE(list.Text(r.rowsBefore), QString(r.answer).trimmed().remove('.'));
                QCOMPARE(list.BuildExtPattern(), QString("(\\.jpg)")); // added unchecked
            }
        }
    }

    void removeAndCheck()
    {
        ScriptedDialogs dialogs;
        FileTypeList list;
        list.StringToList("jpg/1");
        dialogs.answers.enqueue(Dialogs::Answer::Yes);
        QVERIFY(!list.RemoveFileType(dialogs));
        QCOMPARE(dialogs.messages(),
                 QStringList{"This is the only file type left! Cannot remove it."});

        dialogs.answers.clear();
        list.StringToList("b/1|c/0");
        list.setListIndex(2);
        dialogs.answers.enqueue(Dialogs::Answer::No);
        QVERIFY(!list.RemoveFileType(dialogs));
        QCOMPARE(dialogs.asked.last().text, QString("Remove the selected file type?"));
        QCOMPARE(dialogs.asked.last().buttons, Dialogs::Buttons::YesNo);
        QVERIFY(!list.Marked());
        dialogs.answers.enqueue(Dialogs::Answer::Yes);
        QVERIFY(list.RemoveFileType(dialogs));
        QCOMPARE(rowsOf(list), QString("jpg+ b+"));
        QCOMPARE(list.ListIndex(), 1);
        QVERIFY(list.Marked());

        // No current row: nothing removed, nothing marked.
        list.setListIndex(-1);
        list.setTag(QString());
        dialogs.answers.enqueue(Dialogs::Answer::Yes);
        QVERIFY(!list.RemoveFileType(dialogs));
        QVERIFY(list.ListCount() == 2 && !list.Marked());

        QSignalSpy modified(&list, &FileTypeList::Modified);
        list.setChecked(5, true); // no such row
        QCOMPARE(modified.count(), 0);
        list.setChecked(1, false);
        QVERIFY(list.Marked() && modified.count() == 1);
        QCOMPARE(list.BuildExtPattern(), QString("(\\.jpg)"));
    }

    // Enabled items, in the order of the struct: save, unchecked, failed, completed, clear,
    // clear failed, clear completed, paste filtered, paste unfiltered, block, unblock, copy,
    // cut, paste.
    void downloadMenu()
    {
        const struct
        {
            int rows, current;
            bool running, clipboard, cut;
            int completed, failed, nextJob, blockIndex;
            const char* enabled;
        } rows[] = {
            {0, -1, false, false, false, 0, 0, 0, -1, "00000000000000"},
            {5, 2, false, true, false, 0, 0, 0, -1, "11001001100110"},
            {5, 0, false, false, false, 3, 2, 5, 5, "10111110000110"},
            {5, 3, true, false, false, 1, 0, 2, 5, "11010000010100"},
            {5, 2, true, false, false, 0, 0, 1, 2, "11000000011100"},
            {5, 4, true, false, false, 0, 0, 1, 5, "11000000000100"},
            {4, 1, false, false, true, 0, 0, 0, -1, "11001000000111"},
            {4, -1, false, false, true, 0, 0, 0, -1, "11001000000000"},
        };
        for (const auto& r : rows) {
            ManagerState state;
            state.CompletedJobs = r.completed;
            state.FailedJobs = r.failed;
            state.NextJob = r.nextJob;
            state.BlockIndex = r.blockIndex;
            const DownloadListMenu m =
                DownloadListMenu::For(state, {r.rows, r.current, r.running, r.clipboard, r.cut});
            QString got;
            for (bool item : {m.Save, m.SaveUnchecked, m.SaveFailed, m.SaveCompleted, m.Clear,
                              m.ClearFailed, m.ClearCompleted, m.PasteFiltered, m.PasteUnfiltered,
                              m.Block, m.Unblock, m.Copy, m.Cut, m.Paste})
                got += item ? '1' : '0';
            QCOMPARE(got, QString(r.enabled));
        }
    }

    // The colour runs follow the text: a four-digit total shifts every later run.
    void counterLineRuns()
    {
        ManagerRig rig(1);
        for (int i = 0; i < 1234; ++i)
            rig.m->List2().AddItem(QStringLiteral("http://h/%1").arg(i));
        rig.m->State().DoneCount = 7;
        StatusLine& status = rig.m->Status();
        status.gStatEx(true, QString());
        const QString line = status.Caption();
        QCOMPARE(line, QStringLiteral("Status: Total:1234 Done:7   Connect Fail:0   "
                                      "Redirected:0   Download Fail:0  "));
        QString colored;
        int at = 0;
        for (const QString& run : status.FormatString().split(';')) {
            const int length = run.section(',', 0, 0).mid(2).toInt();
            if (run.section(',', 1, 1).mid(3).toUInt() != 0xFFFF)
                colored += '[' + line.mid(at, length) + ']';
            at += length;
        }
        QCOMPARE(colored, "[Status: ][Total:][Done:][Connect Fail:][Redirected:][Download Fail:]");
        status.gStatEx(false, QStringLiteral("x"));
        QVERIFY(status.FormatString().isEmpty());
    }

    void extensionPatternsAndFailedSave()
    {
        ManagerRig rig(2);
        QVERIFY(rig.m->PageExtPattern().endsWith(QStringLiteral("\\.cgi)(\\?.*)?")));
        // Unchecking a data type takes it out of the pattern at once.
        QVERIFY(rig.m->DataExtPattern().contains(QStringLiteral("\\.jpg|")));
        rig.m->DataTypes().setChecked(0, false);
        QVERIFY(!rig.m->DataExtPattern().contains(QStringLiteral("\\.jpg")));

        // A Save that cannot write says where and keeps the options marked.
        QTemporaryDir other;
        const QString ini = other.filePath(QStringLiteral("settings.ini"));
        QVERIFY(QDir().mkpath(ini)); // the settings file is a folder
        SettingsStore blocked(ini);
        DownloadManager m(rig.dialogs, blocked);
        m.options().setKeepAlive(false);
        QVERIFY(!m.SaveSettings());
        QVERIFY(m.options().SaveEnabled());
        QVERIFY(rig.dialogs.messages().constLast().contains(ini));
    }
};

QTEST_GUILESS_MAIN(TestLists)
#include "test_lists.moc"
