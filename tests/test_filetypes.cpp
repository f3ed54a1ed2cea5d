// SPDX-License-Identifier: GPL-3.0-or-later
// File-type lists (stored text, the extension pattern, adding and removing types) and the
// link pattern built from them. Arbitrary list texts and templates are left to the fuzzer.
#include "lists/FileTypeList.h"
#include "lists/LinkPattern.h"
#include "support/ScriptedDialogs.h"

#include <QRegularExpression>
#include <QSignalSpy>
#include <QTest>

namespace {

const QString Template = QStringLiteral("(https?://[^<=\\?\\+>]+$Ext)");

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
    // The stored text, the rows it gives and the extension pattern of the checked ones.
    void storedText_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("rows");
        QTest::addColumn<QString>("pattern");
        const char* const rows[][4] = {
            {"stored", "|jpg/1|gif/0|png/1", "jpg+ gif- png+", "(\\.jpg|\\.png)"},
            {"no flag", "jpg", "jpg-", ""},
            {"flag 2", "jpg/2", "jpg+", "(\\.jpg)"},
            {"empty pieces", "||png/1||", "png+", "(\\.png)"},
            {"junk flag", "a/x|b/ 3|c/-1|d/1/0", "a- b+ c- d+", "(\\.b|\\.d)"},
            {"empty", "", "", ""},
            {"no name", "/1", "+", "(\\.)"},
        };
        for (const auto& r : rows)
            QTest::newRow(r[0]) << QString(r[1]) << QString(r[2]) << QString(r[3]);
    }
    void storedText()
    {
        QFETCH(QString, text);
        FileTypeList list;
        list.StringToList(text);
        QTEST(rowsOf(list), "rows");
        QTEST(list.BuildExtPattern(), "pattern");
        QCOMPARE(list.ListIndex(), list.ListCount() > 0 ? 0 : -1);
        QVERIFY(!list.Marked()); // loading is no user change
    }

    // Whether a text holds a link for a template and an extension pattern.
    void linkPattern_data()
    {
        QTest::addColumn<QString>("templ");
        QTest::addColumn<QString>("ext");
        QTest::addColumn<QString>("text");
        QTest::addColumn<bool>("matches");
        const QString jz = QStringLiteral("(\\.jpg|\\.zip)");
        const QString classic = QStringLiteral("(http://[^<=\\?\\+>]+$Ext)");
        QTest::newRow("plain") << Template << jz << "http://h/a.jpg" << true;
        QTest::newRow("any case") << Template << jz << "HTTPS://H/A.ZIP" << true;
        QTest::newRow("inside text") << Template << jz << "text <a href=http://h/a.jpg> x" << true;
        QTest::newRow("on a later line") << Template << jz << "line\nhttp://h/a.jpg" << true;
        QTest::newRow("other type") << Template << jz << "http://h/a.gif" << false;
        QTest::newRow("? ends the address") << Template << jz << "http://h/a?b.jpg" << false;
        QTest::newRow("other scheme") << Template << jz << "ftp://h/a.jpg" << false;
        QTest::newRow("no types: any address") << classic << ""
                                               << "go to http://x" << true;
        QTest::newRow("no types, no address") << classic << ""
                                              << "http://" << false;
        QTest::newRow("no template") << ""
                                     << ""
                                     << "anything" << true;
        QTest::newRow("broken template") << "(http://[^>+$Ext" << jz << "http://h/a.jpg" << false;
        QTest::newRow("type with regex syntax") << Template << "(\\.jp(g)"
                                                << "http://h/a.jpg" << false;
    }
    void linkPattern()
    {
        QFETCH(QString, templ);
        QFETCH(QString, ext);
        QFETCH(QString, text);
        QFETCH(bool, matches);
        const LinkPattern pattern(templ, ext);
        QCOMPARE(pattern.Matches(text), matches);
        QCOMPARE(pattern.ErrorText().isEmpty(), pattern.IsValid());
        // "$Ext" is found in any case; blanks around the template are stripped.
        QCOMPARE(LinkPattern::Build("  x$EXT|$ext  ", "E"), QString("(xE|E)"));
    }

    void addFileType_data()
    {
        QTest::addColumn<QString>("answer");
        QTest::addColumn<int>("rowsBefore");
        QTest::addColumn<QString>("message"); // "+" when added
        const QString badChar = QStringLiteral("Invalid character found! '/', '\\' ,'*'");
        QTest::newRow("plain") << "mp4" << 1 << "+";
        QTest::newRow("dot and blanks") << "  .webm " << 1 << "+";
        QTest::newRow("duplicate") << ".JPG" << 1 << "This file type is already in list!";
        QTest::newRow("too long") << "abcdefg" << 1
                                  << "Invalid value! It must be between 1 to 6 characters long.";
        QTest::newRow("slash") << "a/b" << 1 << badChar;
        QTest::newRow("backslash") << "a\\b" << 1 << badChar;
        QTest::newRow("star") << "*" << 1 << badChar;
        QTest::newRow("empty") << "" << 1 << "";
        QTest::newRow("only dot") << "." << 1 << "";
        QTest::newRow("cancelled") << QString() << 1 << "";
        QTest::newRow("100 rows: one more") << "new" << 100 << "+";
        QTest::newRow("101 rows: full")
            << "new" << 101
            << "There are already more than 100 file types. New types cannot be added.";
    }
    void addFileType()
    {
        QFETCH(QString, answer);
        QFETCH(int, rowsBefore);
        QFETCH(QString, message);
        FileTypeList list;
        QStringList text{"jpg/1"};
        for (int i = 1; i < rowsBefore; ++i)
            text << QString("t%1").arg(i);
        list.StringToList(text.join('|'));
        const QString before = list.BuildExtPattern();
        QSignalSpy modified(&list, &FileTypeList::Modified);
        ScriptedDialogs dialogs;
        if (!answer.isNull())
            dialogs.inputs.enqueue(answer);
        const bool added = message == "+";
        QCOMPARE(list.AddFileType(dialogs), added);
        QCOMPARE(dialogs.messages(),
                 added || message.isEmpty() ? QStringList() : QStringList{message});
        QCOMPARE(list.ListCount(), rowsBefore + added);
        QCOMPARE(list.Marked(), added);
        QCOMPARE(modified.count(), int(added));
        if (added) {
            QCOMPARE(list.Text(rowsBefore), answer.trimmed().remove(QRegularExpression("^\\.")));
            QCOMPARE(list.BuildExtPattern(), before); // added unchecked
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
        QCOMPARE(list.ListCount(), 2);
        QVERIFY(!list.Marked());

        QSignalSpy modified(&list, &FileTypeList::Modified);
        list.setChecked(5, true); // no such row
        QCOMPARE(modified.count(), 0);
        list.setChecked(1, false);
        QVERIFY(list.Marked());
        QCOMPARE(modified.count(), 1);
        QCOMPARE(list.BuildExtPattern(), QString("(\\.jpg)"));
    }
};

QTEST_GUILESS_MAIN(TestFileTypes)
#include "test_filetypes.moc"
