// SPDX-License-Identifier: GPL-3.0-or-later
// The list models: the owner-drawn list, file-type lists and the link pattern, the download
// list menu, the counter line and the extension patterns.
#include "ManagerRig.h"
#include "lists/DownloadListMenu.h"
#include "lists/FileTypeList.h"
#include "lists/LinkPattern.h"
#include "lists/Rowvane.h"
#include "support/ScriptedDialogs.h"

#include <QSignalSpy>
#include <QTest>

#include <array>
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
    void rowScripts()
    {
        const char* const rows[][2] = {
            {"+b +c +a@0 +d@3 +e@5 +e@-2", "a,b,c,d|0|+e@5 +e@-2"},
            {"+abc d1 +ABC +abc d2 +ABC +abc d0 +abc", "abc,ABC,abc|0|+ABC +abc +abc"},
            {"+abc +ABC d1 -0 +abc", "ABC|0|+abc"},
            {"+abc +ABC d1 -0 -0 +abc", "abc|0|"},
            {"d1 +x =0:Y +x +y", "Y,x|0|+y"},
            {"d1 +y C +y", "y|0|"},
            {"s0 +b +a +c", "b,a,c|0|"},
            {"s1 +b +a +c", "a,b,c|0|"},
            {"s2 +b +a +c", "c,b,a|0|"},
            {"s1 +b@0 +B@0 +a@0 +A@0 +_@0 +ab@0", "A,B,_,a,ab,b|0|"},
            {"s1 +a +b =0:zzz", "a,b|0|"},
            {"+b +a +c s2", "c,b,a|0|"},
            {"+b +a +c s2 s1 +d", "a,b,c,d|0|"},
            {"+b +a +c s2 s1 +d s0 s0", "d,c,b,a|0|"},
            {"+a +b +c +d i3 -3", "a,b,c|2|"},
            {"+a +b +c +d i1 -0", "b,c,d|1|"},
            {"+a -1 --1 -0", "|-1|-1 --1"},
            {"+a +b i2 i-2", "a,b|0|i2 i-2"},
            {"+a +b i-1", "a,b|-1|"},
        };
        for (const auto& [script, result] : rows) {
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
            for (const QString& step : QString(script).split(' ')) {
                if (!steps[step[0]](step.mid(1)))
                    refused << step;
            }
            for (int i = 0; i < list.ListCount(); ++i)
                texts << list.List(i);
            QCOMPARE(texts.join(',') + '|' + QString::number(list.ListIndex()) + '|' +
                         refused.join(' '),
                     QString(result));
        }
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

    // A file-type list from its stored text ("@n": n rows), then edits: "+x" types x into the
    // add dialog ("+" alone cancels), "-Y"/"-N" answers the remove question, "iN" makes row N
    // current, "cN"/"uN" checks/unchecks row N. What is left: the rows, the current row, "*"
    // when marked and the Modified count, the pattern of the checked types, what was said.
    void typeListEdits()
    {
        const QString bad = "Invalid character found! '/', '\\' ,'*'";
        const QString remove = "Remove the selected file type?";
        const std::array<QString, 3> rows[] = {
            {"|jpg/1|gif/0|png/1", "", "jpg+ gif- png+|0-0|(\\.jpg|\\.png)|"},
            {"jpg/2|a/x|b/ 3|c/-1|d/1/0", "", "jpg+ a- b+ c- d+|0-0|(\\.jpg|\\.b|\\.d)|"},
            {"||png/1||", "", "png+|0-0|(\\.png)|"},
            {"", "", "|-1-0||"},
            {"/1", "", "+|0-0|(\\.)|"},
            {"jpg", "+mp4", "jpg- mp4-|0*1||"},
            {"jpg/1", "+  .webm ", "jpg+ webm-|0*1|(\\.jpg)|"},
            {"jpg/1", "+.JPG", "jpg+|0-0|(\\.jpg)|This file type is already in list!"},
            {"jpg/1", "+abcdefg",
             "jpg+|0-0|(\\.jpg)|Invalid value! It must be between 1 to 6 characters long."},
            {"jpg/1", "+a/b;+a\\b;+*", "jpg+|0-0|(\\.jpg)|" + bad + "/" + bad + "/" + bad},
            {"jpg/1", "+ ;+.;+", "jpg+|0-0|(\\.jpg)|"},
            {"@100", "+new", "101*1"},
            {"@101", "+new",
             "101-0|There are already more than 100 file types. New types cannot be added."},
            {"jpg/1", "-Y", "jpg+|0-0|(\\.jpg)|This is the only file type left! Cannot remove it."},
            {"jpg/1|b/1|c/0", "i2;-N;-Y", "jpg+ b+|1*1|(\\.jpg|\\.b)|" + remove + "/" + remove},
            {"jpg/1|b/1", "i-1;-Y", "jpg+ b+|-1-0|(\\.jpg|\\.b)|" + remove},
            {"jpg/1|b/1", "c5;u1", "jpg+ b-|0*1|(\\.jpg)|"},
        };
        for (const auto& [text, script, expected] : rows) {
            FileTypeList list;
            const int many = text.startsWith('@') ? text.mid(1).toInt() : 0;
            list.StringToList(many ? "t/0" + QString("|t/0").repeated(many - 1) : text);
            QSignalSpy modified(&list, &FileTypeList::Modified);
            ScriptedDialogs dialogs;
            for (const QString& step : script.split(';', Qt::SkipEmptyParts)) {
                const QString arg = step.mid(1);
                if (step[0] == '+' && !arg.isEmpty())
                    dialogs.inputs.enqueue(arg);
                if (step[0] == '+')
                    list.AddFileType(dialogs);
                if (step[0] == '-')
                    dialogs.answers.enqueue(arg == "Y" ? Dialogs::Answer::Yes
                                                       : Dialogs::Answer::No);
                if (step[0] == '-')
                    list.RemoveFileType(dialogs);
                if (step[0] == 'i')
                    list.setListIndex(arg.toInt());
                if (step[0] == 'c' || step[0] == 'u')
                    list.setChecked(arg.toInt(), step[0] == 'c');
            }
            const QString state = QString("%1%2%3")
                                      .arg(many ? list.ListCount() : list.ListIndex())
                                      .arg(list.Marked() ? '*' : '-')
                                      .arg(modified.count());
            const QString said = dialogs.messages().join('/');
            QCOMPARE(many ? state + (said.isEmpty() ? "" : "|" + said)
                          : rowsOf(list) + '|' + state + '|' + list.BuildExtPattern() + '|' + said,
                     expected);
            for (const auto& a : dialogs.asked)
                QVERIFY(!a.text.endsWith('?') || a.buttons == Dialogs::Buttons::YesNo);
        }
    }

    // Whether a text holds a link for a template and an extension pattern.
    void linkPattern()
    {
        const QString t = QStringLiteral("(https?://[^<=\\?\\+>]+$Ext)");
        const QString jz = QStringLiteral("(\\.jpg|\\.zip)");
        const QString classic = QStringLiteral("(http://[^<=\\?\\+>]+$Ext)");
        const std::tuple<QString, QString, QString, bool> rows[] = {
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
        for (const auto& [templ, ext, text, matches] : rows) {
            const LinkPattern pattern(templ, ext);
            QVERIFY2(pattern.Matches(text) == matches, qPrintable(text));
            QCOMPARE(pattern.ErrorText().isEmpty(), pattern.IsValid());
        }
        // "$Ext" is found in any case; blanks around the template are stripped.
        QCOMPARE(LinkPattern::Build("  x$EXT|$ext  ", "E"), QString("(xE|E)"));
    }

    void downloadMenu()
    {
        // Rows, current row, running, clipboard text, a row cut; completed, failed, next job,
        // block index; the enabled items.
        const std::pair<std::array<int, 9>, const char*> rows[] = {
            {{0, -1, 0, 0, 0, 0, 0, 0, -1}, "00000000000000"},
            {{5, 2, 0, 1, 0, 0, 0, 0, -1}, "11001001100110"},
            {{5, 0, 0, 0, 0, 3, 2, 5, 5}, "10111110000110"},
            {{5, 3, 1, 0, 0, 1, 0, 2, 5}, "11010000010100"},
            {{5, 2, 1, 0, 0, 0, 0, 2, 5}, "11000000010100"}, // the next job may take the block
            {{5, 2, 1, 0, 0, 0, 0, 1, 2}, "11000000011100"},
            {{5, 4, 1, 0, 0, 0, 0, 1, 5}, "11000000000100"},
            {{4, 1, 0, 0, 1, 0, 0, 0, -1}, "11001000000111"},
            {{4, -1, 0, 0, 1, 0, 0, 0, -1}, "11001000000000"},
        };
        for (const auto& [in, enabled] : rows) {
            ManagerState state;
            state.CompletedJobs = in[5];
            state.FailedJobs = in[6];
            state.NextJob = in[7];
            state.BlockIndex = in[8];
            const DownloadListMenu m =
                DownloadListMenu::For(state, {in[0], in[1], in[2] != 0, in[3] != 0, in[4] != 0});
            QString got;
            for (bool item : {m.Save, m.SaveUnchecked, m.SaveFailed, m.SaveCompleted, m.Clear,
                              m.ClearFailed, m.ClearCompleted, m.PasteFiltered, m.PasteUnfiltered,
                              m.Block, m.Unblock, m.Copy, m.Cut, m.Paste})
                got += item ? '1' : '0';
            QCOMPARE(got, QString(enabled));
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
