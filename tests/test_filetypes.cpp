// SPDX-License-Identifier: GPL-3.0-or-later
#include "lists/FileTypeList.h"
#include "lists/LinkPattern.h"
#include "settings/Options.h"
#include "support/ScriptedDialogs.h"

#include <QSignalSpy>
#include <QTest>

namespace {

const QString Template = QStringLiteral("(https?://[^<=\\?\\+>]+$Ext)");
const QString ClassicTemplate = QStringLiteral("(http://[^<=\\?\\+>]+$Ext)");

QString rowsOf(const FileTypeList& list)
{
    QStringList out;
    for (int i = 0; i < list.ListCount(); ++i)
        out << list.Text(i) + (list.Checked(i) ? "+" : "-");
    return out.join(' ');
}

} // namespace

class TestFileTypes : public QObject
{
    Q_OBJECT

private slots:
    void parsingSerialisedLists_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("rows");
        const char* const rows[][3] = {
            {"stored", "|jpg/1|gif/0", "jpg+ gif-"},
            {"no flag", "jpg", "jpg-"},
            {"flag 2", "jpg/2", "jpg+"},
            {"empty pieces", "||png/1||", "png+"},
            {"junk flag", "a/x|b/ 3|c/-1|d/1/0", "a- b+ c- d+"},
            {"empty", "", ""},
            {"no name", "/1", "+"},
        };
        for (const auto& row : rows)
            QTest::newRow(row[0]) << QString(row[1]) << QString(row[2]);
    }

    void parsingSerialisedLists()
    {
        QFETCH(QString, text);
        QFETCH(QString, rows);
        FileTypeList list;
        list.StringToList(text);
        QCOMPARE(rowsOf(list), rows);
        QCOMPARE(list.ListIndex(), list.ListCount() > 0 ? 0 : -1);
        QVERIFY(!list.Marked()); // loading is no user change
    }

    void extensionAndLinkPatterns()
    {
        FileTypeList data;
        data.StringToList(Options::DefaultText(Options::Option::DataExt));
        QCOMPARE(data.BuildExtPattern(), QString("(\\.jpg|\\.gif|\\.png|\\.bmp|\\.ttf|\\.zip|"
                                                 "\\.rar|\\.txt|\\.doc|\\.xls|\\.wmv|\\.mp3|"
                                                 "\\.flw)"));
        QCOMPARE(LinkPattern::Build(ClassicTemplate, data.BuildExtPattern()),
                 QString("((http://[^<=\\?\\+>]+(\\.jpg|\\.gif|\\.png|\\.bmp|\\.ttf|\\.zip|"
                         "\\.rar|\\.txt|\\.doc|\\.xls|\\.wmv|\\.mp3|\\.flw)))"));
        FileTypeList pages;
        pages.StringToList(Options::DefaultText(Options::Option::UrlExt));
        QCOMPARE(pages.BuildExtPattern() + "(\\?.*)?",
                 QString("(\\.html|\\.htm|\\.php|\\.asp|\\.aspx|\\.jsp|\\.shtml|\\.pl|\\.cgi)"
                         "(\\?.*)?"));

        // Nothing checked: an empty extension pattern, any address matches.
        FileTypeList none;
        none.StringToList("jpg/0|gif/0");
        QCOMPARE(none.BuildExtPattern(), QString());
        QCOMPARE(LinkPattern::Build(ClassicTemplate, none.BuildExtPattern()),
                 QString("((http://[^<=\\?\\+>]+))"));
        const LinkPattern any(ClassicTemplate, QString());
        QVERIFY(any.Matches("go to http://x"));
        QVERIFY(!any.Matches("http://"));
    }

    void linkPatternMatching()
    {
        const LinkPattern p(Template, "(\\.jpg|\\.zip)");
        QVERIFY(p.IsValid());
        QVERIFY(p.Matches("http://h/a.jpg"));
        QVERIFY(p.Matches("HTTPS://H/A.ZIP"));
        QVERIFY(p.Matches("text <a href=http://h/a.jpg> more"));
        QVERIFY(p.Matches("first line\nhttp://h/a.jpg")); // multi-line: anywhere
        QVERIFY(!p.Matches("http://h/a.gif"));
        QVERIFY(!p.Matches("http://h/a?b.jpg")); // "?" ends the address part
        QVERIFY(!p.Matches("ftp://h/a.jpg"));

        // "$Ext" is found in any case; blanks around the template are stripped.
        QCOMPARE(LinkPattern::Build("  x$EXT|$ext  ", "E"), QString("(xE|E)"));
        QVERIFY(LinkPattern().IsEmpty());
        QVERIFY(LinkPattern().Matches("anything"));
    }

    void brokenTemplateMatchesNothing()
    {
        const LinkPattern p("(http://[^>+$Ext", "(\\.jpg)");
        QVERIFY(!p.IsValid());
        QVERIFY(!p.ErrorText().isEmpty());
        QVERIFY(!p.Matches("http://h/a.jpg"));
        // A user type with regex syntax breaks the pattern the same way.
        FileTypeList list;
        list.StringToList("jp(g/1");
        QVERIFY(!LinkPattern(Template, list.BuildExtPattern()).IsValid());
    }

    void addFileType_data()
    {
        QTest::addColumn<QString>("answer");
        QTest::addColumn<bool>("added");
        QTest::addColumn<QString>("message");
        const QString badChar = QStringLiteral("Invalid character found! '/', '\\' ,'*'");
        QTest::newRow("plain") << "mp4" << true << QString();
        QTest::newRow("dot and blanks") << "  .webm " << true << QString();
        QTest::newRow("duplicate") << ".JPG" << false << "This file type is already in list!";
        QTest::newRow("too long") << "abcdefg" << false
                                  << "Invalid value! It must be between 1 to 6 characters long.";
        QTest::newRow("slash") << "a/b" << false << badChar;
        QTest::newRow("backslash") << "a\\b" << false << badChar;
        QTest::newRow("star") << "*" << false << badChar;
        QTest::newRow("empty") << "" << false << QString();
        QTest::newRow("only dot") << "." << false << QString();
    }

    void addFileType()
    {
        QFETCH(QString, answer);
        QFETCH(bool, added);
        QFETCH(QString, message);
        FileTypeList list;
        list.StringToList("jpg/1");
        const QString before = list.BuildExtPattern();
        QSignalSpy modified(&list, &FileTypeList::Modified);
        ScriptedDialogs dialogs;
        dialogs.inputs.enqueue(answer);
        QCOMPARE(list.AddFileType(dialogs), added);
        QCOMPARE(dialogs.asked.at(0).kind, QString("InputBox"));
        QCOMPARE(dialogs.messages(), message.isEmpty() ? QStringList() : QStringList{message});
        QCOMPARE(list.ListCount(), added ? 2 : 1);
        QCOMPARE(list.Marked(), added);
        QCOMPARE(modified.count(), added ? 1 : 0);
        if (added) {
            QCOMPARE(list.Text(1), answer.trimmed().remove(0, answer.trimmed().startsWith('.')));
            QVERIFY(!list.Checked(1));
            QCOMPARE(list.BuildExtPattern(), before); // unchecked: patterns unchanged
        }
    }

    void addFileTypeCancelledAndLimit()
    {
        FileTypeList list;
        ScriptedDialogs dialogs;
        QVERIFY(!list.AddFileType(dialogs)); // cancelled input: silent
        QVERIFY(dialogs.messages().isEmpty());
        for (int i = 0; i < 100; ++i)
            list.StringToList(QString("t%1").arg(i));
        dialogs.inputs.enqueue("new");
        QVERIFY(list.AddFileType(dialogs)); // 100 rows: one more is allowed
        QCOMPARE(list.ListCount(), 101);
        dialogs.inputs.enqueue("next");
        QVERIFY(!list.AddFileType(dialogs));
        QCOMPARE(dialogs.messages().last(),
                 QString("There are already more than 100 file types. New types cannot be "
                         "added."));
        QCOMPARE(list.ListCount(), 101);
    }

    void removeFileType()
    {
        ScriptedDialogs dialogs;
        FileTypeList one;
        one.StringToList("jpg/1");
        dialogs.answers.enqueue(Dialogs::Answer::Yes);
        QVERIFY(!one.RemoveFileType(dialogs));
        QCOMPARE(dialogs.messages(),
                 QStringList{"This is the only file type left! Cannot remove it."});
        QCOMPARE(one.ListCount(), 1);

        dialogs.asked.clear();
        dialogs.answers.clear();
        FileTypeList list;
        list.StringToList("a/1|b/1|c/1");
        list.setListIndex(2);
        dialogs.answers.enqueue(Dialogs::Answer::No);
        QVERIFY(!list.RemoveFileType(dialogs));
        QCOMPARE(list.ListCount(), 3);
        QCOMPARE(dialogs.asked.at(0).text, QString("Remove the selected file type?"));
        QCOMPARE(dialogs.asked.at(0).buttons, Dialogs::Buttons::YesNo);
        QVERIFY(!list.Marked());

        dialogs.answers.enqueue(Dialogs::Answer::Yes);
        QVERIFY(list.RemoveFileType(dialogs));
        QCOMPARE(rowsOf(list), QString("a+ b+"));
        QCOMPARE(list.ListIndex(), 1);
        QVERIFY(list.Marked());

        list.setListIndex(-1); // no current row: nothing removed, nothing marked
        list.setTag(QString());
        dialogs.answers.enqueue(Dialogs::Answer::Yes);
        QVERIFY(!list.RemoveFileType(dialogs));
        QCOMPARE(list.ListCount(), 2);
        QVERIFY(!list.Marked());
    }

    void checkingMarksTheList()
    {
        FileTypeList list;
        list.StringToList("a/0");
        QSignalSpy modified(&list, &FileTypeList::Modified);
        list.setChecked(0, true);
        QVERIFY(list.Marked());
        QCOMPARE(modified.count(), 1);
        QCOMPARE(list.BuildExtPattern(), QString("(\\.a)"));
        list.setChecked(5, true); // no such row
        QCOMPARE(modified.count(), 1);
    }
};

QTEST_GUILESS_MAIN(TestFileTypes)
#include "test_filetypes.moc"
