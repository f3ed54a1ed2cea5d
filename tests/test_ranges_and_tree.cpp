// SPDX-License-Identifier: GPL-3.0-or-later
// Numbered URL ranges (dialog fields and harvex-cli patterns), the folder-tree delete on a
// real temporary tree, and the new-folder command.
#include "harvest/NumberedRange.h"
#include "platform/FolderTreeDelete.h"
#include "platform/NewFolder.h"
#include "support/TestFiles.h"

#include <QDir>
#include <QFile>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

namespace {

// A tree with everything a delete can trip on (hidden names, a read-only folder and file,
// links to a folder and a file outside it, a dangling link) and sentinels behind the links.
struct Tree
{
    QTemporaryDir dir;
    QString root() const { return dir.filePath("tree"); }
    QString at(const QString& relative) const { return root() + '/' + relative; }
    const QStringList folders{"", ".dots", "read-only", "sub", "sub/deeper"};

    Tree()
    {
        for (const QString& folder : folders)
            QDir().mkpath(at(folder));
        for (const char* file : {"a.txt", ".hidden", ".dots/.inner", "read-only/in.txt",
                                 "read-only-file.txt", "sub/b.txt", "sub/deeper/c.txt"})
            writeFile(at(file), "x");
        writeFile(dir.filePath("target/sentinel"), "x");
        writeFile(dir.filePath("sentinel-file"), "x");
        QFile::link(dir.filePath("target"), at("link-to-folder"));
        QFile::link(dir.filePath("target"), at("sub/deeper/link2"));
        QFile::link(dir.filePath("sentinel-file"), at("link-to-file"));
        QFile::link(dir.filePath("gone"), at(".dots/dangling"));
        QFile::setPermissions(at("read-only-file.txt"), QFileDevice::ReadOwner);
        QFile::setPermissions(at("read-only"), QFileDevice::ReadOwner | QFileDevice::ExeOwner);
    }
    ~Tree() // let the temporary folder go even when a test failed half-way
    {
        QFile::setPermissions(at("read-only"), QFileDevice::ReadOwner | QFileDevice::WriteOwner |
                                                   QFileDevice::ExeOwner);
    }
    bool sentinelsStay() const
    {
        return QFile::exists(dir.filePath("target/sentinel")) &&
               QFile::exists(dir.filePath("sentinel-file"));
    }
};

const QString FileText = QStringLiteral("Deleting File:");
const QString DirText = QStringLiteral("Deleting Directory:");

} // namespace

class TestRangesAndTree : public QObject
{
    Q_OBJECT
private slots:
    // A dialog's fields ("F|address|start|end|padded") or a pattern, and the URLs it gives:
    // "count: first second .. last", or the start of the refusal (all or nothing);
    // "~" is "http://h.example/".
    void ranges_data()
    {
        QTest::addColumn<QString>("input");
        QTest::addColumn<int>("freeRows");
        QTest::addColumn<QString>("result");
        const struct
        {
            const char *name, *input;
            int freeRows;
            const char* result;
        } rows[] = {
            {"padded to End", "F|~p|1|11|1", 100, "11: ~p01.jpg ~p02.jpg .. ~p11.jpg"},
            {"unpadded", "F|~p|1|11|", 100, "11: ~p1.jpg ~p2.jpg .. ~p11.jpg"},
            {"End typed wide", "F|~p| 9 |010|1", 100, "2: ~p009.jpg ~p010.jpg .. ~p010.jpg"},
            {"Start = End", "F|~p|7|7|1", 1, "1: ~p7.jpg  .. ~p7.jpg"},
            {"Start > End", "F|~p|8|7|", 100, "Range Start must not be greater"},
            {"Start not a number", "F|~p|-1|7|", 100, "Range Start must be"},
            {"End not a number", "F|~p|1|1e3|", 100, "Range End must be"},
            {"fills the list exactly", "F|~p|1|16|", 16, "16: ~p1.jpg ~p2.jpg .. ~p16.jpg"},
            {"more than the free rows", "F|~p|1|16|", 15,
             "The range gives 16 URLs, but the download list has room for 15 more."},
            {"no scheme", "F|h.example/p|1|2|", 100, "Not a valid URL: h.example/p1.jpg"},
            {"zero pads", "~img[001-120].jpg", 32001,
             "120: ~img001.jpg ~img002.jpg .. ~img120.jpg"},
            {"no zero, no pad", "~img[1-12].jpg", 32001, "12: ~img1.jpg ~img2.jpg .. ~img12.jpg"},
            {"first number decides the width", "~[08-100]", 32001, "93: ~08 ~09 .. ~100"},
            {"two ranges, last fastest", "~[1-2]/[8-10].png", 6,
             "6: ~1/8.png ~1/9.png .. ~2/10.png"},
            {"brackets that are no range stay", "http://[::1]:8080/[a-z]/[x][[1-2]]", 32001,
             "2: http://[::1]:8080/[a-z]/[x][1] http://[::1]:8080/[a-z]/[x][2] .. "},
            {"no range: the URL alone, unchecked", "not a url [1-]", 0,
             "1: not a url [1-]  .. not a url [1-]"},
            {"counts down", "~[5-3]", 32001, "The first number of [5-3] must not be greater"},
            {"over the list", "~[1-40000]", 32001,
             "The range gives 40000 URLs, but the download list has room for 32001 more."},
            {"product overflows", "~[0-999999999999]/[0-999999999999]/[0-999999999999]", 32001,
             "The ranges give too many URLs"},
            {"generated URL not valid", "[1-2]http://h.example/", 32001,
             "Not a valid URL: 1http://"},
        };
        for (const auto& r : rows)
            QTest::newRow(r.name) << QString(r.input).replace('~', "http://h.example/")
                                  << r.freeRows
                                  << QString(r.result).replace('~', "http://h.example/");
    }
    void ranges()
    {
        QFETCH(QString, input);
        QFETCH(int, freeRows);
        const QStringList f = input.split('|');
        const NumberedRange::Expansion got =
            f[0] == "F" ? NumberedRange::FromFields(f[1], f[2], f[3], ".jpg", f[4] == "1", freeRows)
                        : NumberedRange::FromPattern(input, freeRows);
        const QStringList& u = got.Urls;
        const QString summary =
            QString("%1: %2 %3 .. %4")
                .arg(u.size())
                .arg(u.value(0), u.size() > 1 ? u.value(1) : "", u.value(u.size() - 1));
        QFETCH(QString, result);
        QVERIFY2((got.Error.isEmpty() ? summary : got.Error).startsWith(result),
                 qPrintable(summary + got.Error));
        QVERIFY(got.Error.isEmpty() || u.isEmpty());
    }

    void deletesTreeButNotLinkTargets()
    {
        Tree tree;
        QVERIFY(FolderTreeDelete::IsReadOnly(tree.at("read-only")));
        QVERIFY(!FolderTreeDelete::IsReadOnly(tree.root()));
        FolderTreeDelete deleter;
        deleter.setBatchSize(3);
        QSignalSpy progress(&deleter, &FolderTreeDelete::Progress);
        QSignalSpy finished(&deleter, &FolderTreeDelete::Finished);
        QString error;
        QVERIFY(deleter.Start(tree.root(), tree.dir.filePath("base"), tree.dir.filePath("home"),
                              error));
        QVERIFY(deleter.IsRunning());
        QVERIFY(finished.wait(10000));
        QCOMPARE(finished.first(), QVariantList({false, 0, QString()}));
        QVERIFY(!QFileInfo::exists(tree.root()));
        QVERIFY(tree.sentinelsStay());
        // Every file (links as files) before any folder; each folder after its children.
        QStringList texts;
        for (const QVariantList& args : progress)
            texts << args.at(0).toString();
        const qsizetype firstDir = texts.indexOf(DirText + tree.at("sub/deeper"));
        QCOMPARE(texts.filter(FileText).size(), 11);
        QCOMPARE(texts.first(11).filter(FileText).size(), 11);
        QVERIFY(texts.contains(FileText + tree.at("sub/deeper/link2")));
        QVERIFY(firstDir >= 0 && firstDir < texts.indexOf(DirText + tree.at("sub")));
        QCOMPARE(texts.filter(DirText).size(), tree.folders.size());
        QCOMPARE(texts.last(), DirText + tree.root());
    }

    void cancelDuringFilePassKeepsEveryFolder()
    {
        Tree tree;
        FolderTreeDelete deleter;
        deleter.setBatchSize(100);
        QString last;
        connect(&deleter, &FolderTreeDelete::Progress, this, [&](const QString& text) {
            last = text;
            if (text.endsWith("read-only/in.txt")) // its folder was opened to empty it
                deleter.Cancel();
        });
        QSignalSpy finished(&deleter, &FolderTreeDelete::Finished);
        QString error;
        QVERIFY(deleter.Start(tree.root(), {}, {}, error));
        QVERIFY(finished.wait(10000));
        QCOMPARE(finished.first().first(), QVariant(true));
        QVERIFY(!deleter.IsRunning());
        // Nothing after the text that Cancel answered, and that item stays.
        QVERIFY(last.endsWith("read-only/in.txt"));
        QVERIFY(QFile::exists(tree.at("read-only/in.txt")));
        for (const QString& folder : tree.folders)
            QVERIFY2(QFileInfo(tree.at(folder)).isDir(), qPrintable(folder));
        QVERIFY(tree.sentinelsStay());
        QVERIFY(FolderTreeDelete::IsReadOnly(tree.at("read-only"))); // read-only again
    }

    void reportsItemsThatStay()
    {
        Tree tree;
        FolderTreeDelete deleter;
        // A file that appears after its folder was emptied keeps the folder: the only failure.
        const QString late = tree.at("late.txt");
        connect(&deleter, &FolderTreeDelete::Progress, this, [&](const QString& text) {
            if (text.startsWith(DirText) && !QFile::exists(late))
                writeFile(late, "x");
        });
        QSignalSpy finished(&deleter, &FolderTreeDelete::Finished);
        QString error;
        QVERIFY(deleter.Start(tree.root(), {}, {}, error));
        QVERIFY(finished.wait(10000));
        QCOMPARE(finished.first().at(1).toInt(), 1);
        QCOMPARE(finished.first().at(2).toString(),
                 "1 item could not be deleted: " + tree.root() + " (Directory not empty)");
        QCOMPARE(
            QDir(tree.root()).entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden),
            QStringList{"late.txt"});
    }

    void refusesProtectedFolders_data()
    {
        QTest::addColumn<QString>("path");
        QTest::addColumn<QString>("refusal"); // the end of the message
        const char* const rows[][3] = {
            {"filesystem root", "/", " is the root of a filesystem and cannot be deleted."},
            {"home", "home/user", " is your home folder and cannot be deleted."},
            {"home, written untidily", "home//user/./",
             " is your home folder and cannot be deleted."},
            {"above home", "home", " holds your home folder and cannot be deleted."},
            {"base", "dl/base", " is the base folder and cannot be deleted."},
            {"base through a link", "link-to-dl/base",
             " is the base folder and cannot be deleted."},
            {"missing", "missing", " does not exist."},
            {"a file", "home/user/file", " is not a folder."},
            {"relative", "@relative", "Choose a folder by its full path."},
        };
        for (const auto& row : rows)
            QTest::newRow(row[0]) << QString(row[1]) << QString(row[2]);
    }
    void refusesProtectedFolders()
    {
        QFETCH(QString, path);
        QFETCH(QString, refusal);
        QTemporaryDir dir;
        const QString home = dir.filePath("home/user");
        const QString base = dir.filePath("dl/base");
        QDir().mkpath(base);
        writeFile(home + "/file", "x");
        QFile::link(dir.filePath("dl"), dir.filePath("link-to-dl"));
        if (path.startsWith('@'))
            path = path.mid(1);
        else if (!path.startsWith('/'))
            path = dir.filePath(path);
        FolderTreeDelete deleter;
        QSignalSpy finished(&deleter, &FolderTreeDelete::Finished);
        QString error;
        QVERIFY(!deleter.Start(path, base, home, error));
        QVERIFY2(error.endsWith(refusal), qPrintable(error));
        QVERIFY(!deleter.IsRunning());
        QVERIFY(QFile::exists(home + "/file") && QFileInfo(base).isDir());
        QCOMPARE(finished.size(), 0);
    }

    void newFolderNames_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("error"); // empty: created
        const char* const rows[][3] = {
            {"plain", "New Directory", ""},
            {"dot name", ".config", ""},
            {"empty", "", "Enter a name for the new folder."},
            {"dot", ".", "\".\" cannot be a folder name."},
            {"dot dot", "..", "\"..\" cannot be a folder name."},
            {"slash", "a/b", "A folder name cannot contain \"/\"."},
            {"exists", "taken", "Cannot create %1/taken: File exists"},
        };
        for (const auto& row : rows)
            QTest::newRow(row[0]) << QString(row[1]) << QString(row[2]);
    }
    void newFolderNames()
    {
        QFETCH(QString, name);
        QFETCH(QString, error);
        QTemporaryDir dir;
        QDir().mkdir(dir.filePath("taken"));
        QString created, got;
        const bool ok = NewFolder::Create(dir.path() + '/', name, created, got);
        QCOMPARE(got, error.contains("%1") ? error.arg(dir.path()) : error);
        QCOMPARE(ok, error.isEmpty());
        QCOMPARE(QFileInfo(created).isDir(), ok);
        QCOMPARE(
            QDir(dir.path()).entryList(QDir::Dirs | QDir::NoDotAndDotDot | QDir::Hidden).size(),
            1 + ok);
    }
};

QTEST_GUILESS_MAIN(TestRangesAndTree)
#include "test_ranges_and_tree.moc"
