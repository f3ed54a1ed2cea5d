// SPDX-License-Identifier: GPL-3.0-or-later
// Numbered URL ranges (dialog fields and harvex-cli patterns), the folder-tree delete on a
// real temporary tree, and the new-folder command.
#include "harvest/NumberedRange.h"
#include "platform/FolderTreeDelete.h"
#include "platform/NewFolder.h"

#include <QDir>
#include <QFile>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

#include <algorithm>

class TestRangesAndTree : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void rangeFromFields_data();
    void rangeFromFields();
    void rangeFromPattern_data();
    void rangeFromPattern();
    void deletesTreeButNotLinkTargets();
    void cancelDuringFilePassKeepsEveryFolder();
    void reportsItemsThatStay();
    void refusesProtectedFolders_data();
    void refusesProtectedFolders();
    void newFolderNames_data();
    void newFolderNames();
};

namespace {

void AddExpansionColumns()
{
    QTest::addColumn<int>("count");
    QTest::addColumn<QString>("first");
    QTest::addColumn<QString>("second");
    QTest::addColumn<QString>("last");
    QTest::addColumn<QString>("error"); // the start of the message; empty: no refusal
}

void CheckExpansion(const NumberedRange::Expansion& got)
{
    QFETCH(int, count);
    QFETCH(QString, first);
    QFETCH(QString, second);
    QFETCH(QString, last);
    QFETCH(QString, error);
    if (!error.isEmpty()) {
        QVERIFY2(got.Error.startsWith(error), qPrintable(got.Error));
        QVERIFY(got.Urls.isEmpty()); // all or nothing
        return;
    }
    QCOMPARE(got.Error, QString());
    QCOMPARE(got.Urls.size(), count);
    QCOMPARE(got.Urls.first(), first);
    if (!second.isEmpty())
        QCOMPARE(got.Urls.at(1), second);
    QCOMPARE(got.Urls.last(), last);
}

// A tree with everything a delete can trip on, and two targets outside it reached by
// links, each holding a sentinel.
struct Tree
{
    QTemporaryDir dir;
    QString root() const { return dir.filePath(QStringLiteral("tree")); }
    QString at(const QString& relative) const { return root() + QLatin1Char('/') + relative; }
    QString outside(const QString& relative) const { return dir.filePath(relative); }
    QStringList folders() const
    {
        return {root(), at(QStringLiteral(".dots")), at(QStringLiteral("read-only")),
                at(QStringLiteral("sub")), at(QStringLiteral("sub/deeper"))};
    }

    Tree()
    {
        for (const QString& folder : folders())
            QDir().mkpath(folder);
        QDir().mkpath(outside(QStringLiteral("target")));
        for (const QString& file :
             {at(QStringLiteral("a.txt")), at(QStringLiteral(".hidden")),
              at(QStringLiteral(".dots/.inner")), at(QStringLiteral("read-only/in.txt")),
              at(QStringLiteral("read-only-file.txt")), at(QStringLiteral("sub/b.txt")),
              at(QStringLiteral("sub/deeper/c.txt")), outside(QStringLiteral("target/sentinel")),
              outside(QStringLiteral("sentinel-file"))}) {
            QFile f(file);
            f.open(QIODevice::WriteOnly);
            f.write("x");
        }
        QFile::link(outside(QStringLiteral("target")), at(QStringLiteral("link-to-folder")));
        QFile::link(outside(QStringLiteral("target")), at(QStringLiteral("sub/deeper/link2")));
        QFile::link(outside(QStringLiteral("sentinel-file")), at(QStringLiteral("link-to-file")));
        QFile::link(outside(QStringLiteral("gone")), at(QStringLiteral(".dots/dangling")));
        QFile::setPermissions(at(QStringLiteral("read-only-file.txt")), QFileDevice::ReadOwner);
        QFile::setPermissions(at(QStringLiteral("read-only")),
                              QFileDevice::ReadOwner | QFileDevice::ExeOwner);
    }
    ~Tree()
    {
        // Let the temporary folder go even when a test failed half-way.
        QFile::setPermissions(at(QStringLiteral("read-only")), QFileDevice::ReadOwner |
                                                                   QFileDevice::WriteOwner |
                                                                   QFileDevice::ExeOwner);
    }
    bool sentinelsStay() const
    {
        return QFile::exists(outside(QStringLiteral("target/sentinel"))) &&
               QFile::exists(outside(QStringLiteral("sentinel-file")));
    }
};

} // namespace

void TestRangesAndTree::rangeFromFields_data()
{
    QTest::addColumn<QString>("address");
    QTest::addColumn<QString>("start");
    QTest::addColumn<QString>("end");
    QTest::addColumn<bool>("padded");
    QTest::addColumn<int>("freeRows");
    AddExpansionColumns();
    struct Row
    {
        const char* name;
        QString address, start, end;
        bool padded;
        int freeRows, count;
        QString first, second, last, error;
    };
    const QString a = QStringLiteral("http://h.example/p");
    const Row rows[] = {
        {"padded to End", a, "1", "11", true, 100, 11, a + "01.jpg", a + "02.jpg", a + "11.jpg",
         ""},
        {"unpadded", a, "1", "11", false, 100, 11, a + "1.jpg", a + "2.jpg", a + "11.jpg", ""},
        {"End typed wide", a, " 9 ", "010", true, 100, 2, a + "009.jpg", "", a + "010.jpg", ""},
        {"Start = End", a, "7", "7", true, 1, 1, a + "7.jpg", "", a + "7.jpg", ""},
        {"Start > End", a, "8", "7", false, 100, 0, "", "", "", "Range Start must not be greater"},
        {"Start not a number", a, "-1", "7", false, 100, 0, "", "", "", "Range Start must be"},
        {"End not a number", a, "1", "1e3", false, 100, 0, "", "", "", "Range End must be"},
        {"fills the list exactly", a, "1", "16", false, 16, 16, a + "1.jpg", "", a + "16.jpg", ""},
        {"more than the free rows", a, "1", "16", false, 15, 0, "", "", "",
         "The range gives 16 URLs, but the download list has room for 15 more."},
        {"no scheme", "h.example/p", "1", "2", false, 100, 0, "", "", "",
         "Not a valid URL: h.example/p1.jpg"},
    };
    for (const Row& r : rows)
        QTest::newRow(r.name) << r.address << r.start << r.end << r.padded << r.freeRows << r.count
                              << r.first << r.second << r.last << r.error;
}

void TestRangesAndTree::rangeFromFields()
{
    QFETCH(QString, address);
    QFETCH(QString, start);
    QFETCH(QString, end);
    QFETCH(bool, padded);
    QFETCH(int, freeRows);
    CheckExpansion(
        NumberedRange::FromFields(address, start, end, QStringLiteral(".jpg"), padded, freeRows));
}

void TestRangesAndTree::rangeFromPattern_data()
{
    QTest::addColumn<QString>("url");
    QTest::addColumn<int>("freeRows");
    AddExpansionColumns();
    struct Row
    {
        const char* name;
        QString url;
        int freeRows, count;
        QString first, second, last, error;
    };
    const QString h = QStringLiteral("http://h.example/");
    const QString v6 = QStringLiteral("http://[::1]:8080/[a-z]/[x]");
    const Row rows[] = {
        {"zero pads", h + "img[001-120].jpg", 32001, 120, h + "img001.jpg", h + "img002.jpg",
         h + "img120.jpg", ""},
        {"no zero, no pad", h + "img[1-12].jpg", 32001, 12, h + "img1.jpg", h + "img2.jpg",
         h + "img12.jpg", ""},
        {"first number decides the width", h + "[08-100]", 32001, 93, h + "08", h + "09", h + "100",
         ""},
        {"two ranges, last fastest", h + "[1-2]/[8-10].png", 6, 6, h + "1/8.png", h + "1/9.png",
         h + "2/10.png", ""},
        {"brackets that are no range stay", v6 + "[[1-2]]", 32001, 2, v6 + "[1]", "", v6 + "[2]",
         ""},
        {"no range: the URL alone, unchecked", "not a url [1-]", 0, 1, "not a url [1-]", "",
         "not a url [1-]", ""},
        {"counts down", h + "[5-3]", 32001, 0, "", "", "",
         "The first number of [5-3] must not be greater"},
        {"over the list", h + "[1-40000]", 32001, 0, "", "", "",
         "The range gives 40000 URLs, but the download list has room for 32001 more."},
        {"product overflows", h + "[0-999999999999]/[0-999999999999]/[0-999999999999]", 32001, 0,
         "", "", "", "The ranges give too many URLs"},
        {"generated URL not valid", "[1-2]http://h.example/", 32001, 0, "", "", "",
         "Not a valid URL: 1http://"},
    };
    for (const Row& r : rows)
        QTest::newRow(r.name) << r.url << r.freeRows << r.count << r.first << r.second << r.last
                              << r.error;
}

void TestRangesAndTree::rangeFromPattern()
{
    QFETCH(QString, url);
    QFETCH(int, freeRows);
    CheckExpansion(NumberedRange::FromPattern(url, freeRows));
}

void TestRangesAndTree::deletesTreeButNotLinkTargets()
{
    Tree tree;
    QVERIFY(FolderTreeDelete::IsReadOnly(tree.at(QStringLiteral("read-only"))));
    QVERIFY(!FolderTreeDelete::IsReadOnly(tree.root()));

    FolderTreeDelete deleter;
    deleter.setBatchSize(3);
    QStringList texts;
    connect(&deleter, &FolderTreeDelete::Progress, this,
            [&](const QString& text) { texts.append(text); });
    QSignalSpy finished(&deleter, &FolderTreeDelete::Finished);
    QString error;
    QVERIFY(deleter.Start(tree.root(), tree.outside(QStringLiteral("base")),
                          tree.outside(QStringLiteral("home")), error));
    QVERIFY(deleter.IsRunning());
    QVERIFY(finished.wait(10000));
    QCOMPARE(finished.first(), QVariantList({false, 0, QString()}));

    QVERIFY(!QFileInfo::exists(tree.root()));
    QVERIFY(tree.sentinelsStay());
    // Every file before any folder; each folder after its children; links as files.
    const QString fileText = QStringLiteral("Deleting File:");
    const QString dirText = QStringLiteral("Deleting Directory:");
    qsizetype firstDir = 0;
    while (firstDir < texts.size() && texts[firstDir].startsWith(fileText))
        ++firstDir;
    QVERIFY(std::all_of(texts.cbegin() + firstDir, texts.cend(),
                        [&](const QString& t) { return t.startsWith(dirText); }));
    QCOMPARE(texts.size() - firstDir, tree.folders().size());
    QVERIFY(texts.contains(fileText + tree.at(QStringLiteral("read-only/in.txt"))));
    QVERIFY(texts.contains(fileText + tree.at(QStringLiteral("sub/deeper/link2"))));
    QVERIFY(texts.indexOf(dirText + tree.at(QStringLiteral("sub/deeper"))) <
            texts.indexOf(dirText + tree.at(QStringLiteral("sub"))));
    QCOMPARE(texts.last(), dirText + tree.root());
}

void TestRangesAndTree::cancelDuringFilePassKeepsEveryFolder()
{
    Tree tree;
    FolderTreeDelete deleter;
    deleter.setBatchSize(100);
    QStringList texts;
    connect(&deleter, &FolderTreeDelete::Progress, this, [&](const QString& text) {
        texts.append(text);
        if (text.endsWith(QLatin1String("read-only/in.txt"))) // its folder was opened to empty it
            deleter.Cancel();
    });
    QSignalSpy finished(&deleter, &FolderTreeDelete::Finished);
    QString error;
    QVERIFY(deleter.Start(tree.root(), {}, {}, error));
    QTRY_COMPARE(finished.size(), 1);
    QCOMPARE(finished.first().first(), QVariant(true));
    QVERIFY(!deleter.IsRunning());

    // Nothing after the text that Cancel answered, and that item stays.
    QVERIFY(texts.last().endsWith(QLatin1String("read-only/in.txt")));
    QVERIFY(QFile::exists(tree.at(QStringLiteral("read-only/in.txt"))));
    for (const QString& folder : tree.folders())
        QVERIFY2(QFileInfo(folder).isDir(), qPrintable(folder));
    QVERIFY(tree.sentinelsStay());
    // The read-only folder is read-only again.
    QVERIFY(FolderTreeDelete::IsReadOnly(tree.at(QStringLiteral("read-only"))));
}

void TestRangesAndTree::reportsItemsThatStay()
{
    Tree tree;
    FolderTreeDelete deleter;
    // A file that appears after its folder was emptied keeps the folder: the only failure.
    const QString late = tree.at(QStringLiteral("late.txt"));
    connect(&deleter, &FolderTreeDelete::Progress, this, [&](const QString& text) {
        if (text.startsWith(QStringLiteral("Deleting Directory:")) && !QFile::exists(late)) {
            QFile f(late);
            QVERIFY(f.open(QIODevice::WriteOnly));
        }
    });
    QSignalSpy finished(&deleter, &FolderTreeDelete::Finished);
    QString error;
    QVERIFY(deleter.Start(tree.root(), {}, {}, error));
    QVERIFY(finished.wait(10000));
    QCOMPARE(finished.first().at(1).toInt(), 1);
    QCOMPARE(finished.first().at(2).toString(), QStringLiteral("1 item could not be deleted: ") +
                                                    tree.root() +
                                                    QStringLiteral(" (Directory not empty)"));
    QVERIFY(QFile::exists(late));
    QCOMPARE(QDir(tree.root()).entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden),
             QStringList{QStringLiteral("late.txt")});
}

void TestRangesAndTree::refusesProtectedFolders_data()
{
    QTest::addColumn<QString>("path");
    QTest::addColumn<QString>("refusal"); // the end of the message
    const char* const rows[][3] = {
        {"filesystem root", "/", " is the root of a filesystem and cannot be deleted."},
        {"home", "home/user", " is your home folder and cannot be deleted."},
        {"home, written untidily", "home//user/./", " is your home folder and cannot be deleted."},
        {"above home", "home", " holds your home folder and cannot be deleted."},
        {"base", "base", " is the base folder and cannot be deleted."},
        {"base through a link", "link-to-base", " is the base folder and cannot be deleted."},
        {"missing", "missing", " does not exist."},
        {"a file", "home/user/file", " is not a folder."},
        {"relative", "@relative", "Choose a folder by its full path."},
    };
    for (const auto& row : rows)
        QTest::newRow(row[0]) << QString(row[1]) << QString(row[2]);
}

void TestRangesAndTree::refusesProtectedFolders()
{
    QFETCH(QString, path);
    QFETCH(QString, refusal);
    QTemporaryDir dir;
    const QString home = dir.filePath(QStringLiteral("home/user"));
    const QString base = dir.filePath(QStringLiteral("dl/base"));
    QDir().mkpath(home);
    QDir().mkpath(base);
    QFile(home + QStringLiteral("/file")).open(QIODevice::WriteOnly);
    // The link itself is no base folder: a path through it is resolved before the check.
    QFile::link(dir.filePath(QStringLiteral("dl")), dir.filePath(QStringLiteral("link-to-dl")));
    if (path == QLatin1String("base"))
        path = base;
    else if (path == QLatin1String("link-to-base"))
        path = dir.filePath(QStringLiteral("link-to-dl/base"));
    else if (path.startsWith(QLatin1Char('@')))
        path = path.mid(1);
    else if (!path.startsWith(QLatin1Char('/')))
        path = dir.path() + QLatin1Char('/') + path;

    FolderTreeDelete deleter;
    QSignalSpy finished(&deleter, &FolderTreeDelete::Finished);
    QString error;
    QVERIFY(!deleter.Start(path, base, home, error));
    QVERIFY2(error.endsWith(refusal), qPrintable(error));
    QCOMPARE(error, FolderTreeDelete::Refusal(path, base, home));
    QVERIFY(!deleter.IsRunning());
    QVERIFY(QFile::exists(home + QStringLiteral("/file")));
    QVERIFY(QFileInfo(base).isDir());
    QCOMPARE(finished.size(), 0);
}

void TestRangesAndTree::newFolderNames_data()
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

void TestRangesAndTree::newFolderNames()
{
    QFETCH(QString, name);
    QFETCH(QString, error);
    QTemporaryDir dir;
    QDir().mkdir(dir.filePath(QStringLiteral("taken")));
    QString created;
    QString got;
    const bool ok = NewFolder::Create(dir.path() + QLatin1Char('/'), name, created, got);
    if (error.isEmpty()) {
        QVERIFY2(ok, qPrintable(got));
        QCOMPARE(created, dir.filePath(name));
        QVERIFY(QFileInfo(created).isDir());
    } else {
        QVERIFY(!ok);
        QCOMPARE(got, error.contains(QLatin1String("%1")) ? error.arg(dir.path()) : error);
        QCOMPARE(QDir(dir.path()).entryList(QDir::AllEntries | QDir::NoDotAndDotDot),
                 QStringList{QStringLiteral("taken")});
    }
}

QTEST_GUILESS_MAIN(TestRangesAndTree)
#include "test_ranges_and_tree.moc"
