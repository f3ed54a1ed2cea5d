// SPDX-License-Identifier: GPL-3.0-or-later
// The folder-tree delete on a real temporary tree, and the new-folder command.
#include "platform/FolderTreeDelete.h"
#include "platform/NewFolder.h"
#include "support/TestFiles.h"

#include <QDir>
#include <QFile>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

#include <functional>

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
    // Deletes the tree, keeping every progress text and calling onText on it; the Finished
    // arguments, or nothing when it would not start or not end.
    QVariantList run(FolderTreeDelete& deleter, const std::function<void(const QString&)>& onText)
    {
        QObject::connect(&deleter, &FolderTreeDelete::Progress, [&](const QString& text) {
            texts << text;
            onText(text);
        });
        QSignalSpy finished(&deleter, &FolderTreeDelete::Finished);
        QString error;
        if (!deleter.Start(root(), dir.filePath("base"), dir.filePath("home"), error) ||
            !deleter.IsRunning() || !finished.wait(10000))
            return {};
        return finished.first();
    }
    QStringList texts;
    bool sentinelsStay() const
    {
        return QFile::exists(dir.filePath("target/sentinel")) &&
               QFile::exists(dir.filePath("sentinel-file"));
    }
};

const QString FileText = QStringLiteral("Deleting File:");
const QString DirText = QStringLiteral("Deleting Directory:");

} // namespace

class TestFolders : public QObject
{
    Q_OBJECT
private slots:
    void deletesTreeButNotLinkTargets()
    {
        Tree tree;
        QVERIFY(FolderTreeDelete::IsReadOnly(tree.at("read-only")));
        QVERIFY(!FolderTreeDelete::IsReadOnly(tree.root()));
        FolderTreeDelete deleter;
        deleter.setBatchSize(3);
        QCOMPARE(tree.run(deleter, [](const QString&) {}), QVariantList({false, 0, QString()}));
        QVERIFY(!QFileInfo::exists(tree.root()) && tree.sentinelsStay());
        // Every file (links as files) before any folder; each folder after its children.
        const QStringList& texts = tree.texts;
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
        // Cancelled once the read-only folder was opened to empty it.
        const QVariantList finished = tree.run(deleter, [&](const QString& text) {
            if (text.endsWith("read-only/in.txt"))
                deleter.Cancel();
        });
        QCOMPARE(finished.value(0), QVariant(true));
        QVERIFY(!deleter.IsRunning());
        // Nothing after the text that Cancel answered, and that item stays.
        QVERIFY(tree.texts.last().endsWith("read-only/in.txt"));
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
        const QVariantList finished = tree.run(deleter, [&](const QString& text) {
            if (text.startsWith(DirText) && !QFile::exists(late))
                writeFile(late, "x");
        });
        QCOMPARE(finished.value(1).toInt(), 1);
        QCOMPARE(finished.value(2).toString(),
                 "1 item could not be deleted: " + tree.root() + " (Directory not empty)");
        QCOMPARE(
            QDir(tree.root()).entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden),
            QStringList{"late.txt"});
    }

    // A folder the delete refuses, and the end of its message; the tree stays.
    void refusesProtectedFolders()
    {
        QTemporaryDir dir;
        const QString home = dir.filePath("home/user");
        const QString base = dir.filePath("dl/base");
        QDir().mkpath(base);
        writeFile(home + "/file", "x");
        QFile::link(dir.filePath("dl"), dir.filePath("link-to-dl"));
        const char* const rows[][2] = {
            {"/", " is the root of a filesystem and cannot be deleted."},
            {"home/user", " is your home folder and cannot be deleted."},
            {"home//user/./", " is your home folder and cannot be deleted."},
            {"home", " holds your home folder and cannot be deleted."},
            {"dl/base", " is the base folder and cannot be deleted."},
            {"link-to-dl/base", " is the base folder and cannot be deleted."},
            {"missing", " does not exist."},
            {"home/user/file", " is not a folder."},
            {"@relative", "Choose a folder by its full path."},
        };
        for (const auto& [where, refusal] : rows) {
            QString path = where;
            if (path.startsWith('@'))
                path = path.mid(1);
            else if (!path.startsWith('/'))
                path = dir.filePath(path);
            FolderTreeDelete deleter;
            QSignalSpy finished(&deleter, &FolderTreeDelete::Finished);
            QString error;
            QVERIFY(!deleter.Start(path, base, home, error));
            QVERIFY2(error.endsWith(refusal), qPrintable(error));
            QVERIFY(!deleter.IsRunning() && finished.isEmpty());
        }
        QVERIFY(QFile::exists(home + "/file") && QFileInfo(base).isDir());
    }

    // A name for a new folder and the error it gives (empty: created).
    void newFolderNames()
    {
        const char* const rows[][2] = {
            {"New Directory", ""},
            {".config", ""},
            {"", "Enter a name for the new folder."},
            {".", "\".\" cannot be a folder name."},
            {"..", "\"..\" cannot be a folder name."},
            {"a/b", "A folder name cannot contain \"/\"."},
            {"taken", "Cannot create %1/taken: File exists"},
        };
        for (const auto& [name, error] : rows) {
            QTemporaryDir dir;
            QDir().mkdir(dir.filePath("taken"));
            QString created, got;
            const bool ok = NewFolder::Create(dir.path() + '/', name, created, got);
            QCOMPARE(got, QString(error).replace("%1", dir.path()));
            QCOMPARE(ok, !*error);
            QCOMPARE(QFileInfo(created).isDir(), ok);
            QCOMPARE(
                QDir(dir.path()).entryList(QDir::Dirs | QDir::NoDotAndDotDot | QDir::Hidden).size(),
                1 + ok);
        }
    }
};

QTEST_GUILESS_MAIN(TestFolders)
#include "test_folders.moc"
