// SPDX-License-Identifier: GPL-3.0-or-later
#include "support/ScriptedDialogs.h"

#include "ui/FolderChooser.h"
#include "ui/FolderDeleteDialog.h"

#include <QAction>
#include <QDir>
#include <QFile>
#include <QLabel>
#include <QMenu>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>

namespace {

void touch(const QString& path)
{
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write("x");
}

// top/ with nested folders, dot files, a read-only file and a read-only folder.
QString makeTree(const QTemporaryDir& dir, int files = 3)
{
    const QString top = dir.filePath(QStringLiteral("top"));
    QDir().mkpath(top + QStringLiteral("/a/b"));
    QDir().mkpath(top + QStringLiteral("/.hidden"));
    for (int i = 0; i < files; ++i)
        touch(top + QStringLiteral("/a/b/f%1").arg(i));
    touch(top + QStringLiteral("/.dot"));
    touch(top + QStringLiteral("/ro"));
    QFile::setPermissions(top + QStringLiteral("/ro"), QFileDevice::ReadOwner);
    QDir().mkdir(top + QStringLiteral("/rodir"));
    touch(top + QStringLiteral("/rodir/in"));
    QFile::setPermissions(top + QStringLiteral("/rodir"),
                          QFileDevice::ReadOwner | QFileDevice::ExeOwner);
    return top;
}

QAction* action(QMenu* menu, const QString& text)
{
    for (QAction* a : menu->actions())
        if (a->text() == text)
            return a;
    return nullptr;
}

} // namespace

class TestFolderChooser : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void deleteEmptiesTheTree()
    {
        QTemporaryDir dir;
        const QString top = makeTree(dir);
        ScriptedDialogs dialogs;
        dialogs.answers.enqueue(Dialogs::Answer::Yes);
        FolderChooser chooser(dialogs, dir.filePath(QStringLiteral("base")));
        chooser.setDirectory(top);
        QCOMPARE(chooser.getDirectory(), top);
        QVERIFY(action(chooser.ContextMenu(), QStringLiteral("&Delete"))->isEnabled());
        chooser.DeleteDirectory();
        QVERIFY(!QFileInfo::exists(top));
        QCOMPARE(chooser.getDirectory(), dir.path());
        QCOMPARE(
            dialogs.messages(),
            QStringList{"Sure You want to delete this directory and all its contents:\r\n" + top});
        QCOMPARE(dialogs.asked.first().buttons, Dialogs::Buttons::YesNo);
    }

    void answeringNoDeletesNothing()
    {
        QTemporaryDir dir;
        const QString top = makeTree(dir);
        ScriptedDialogs dialogs;
        dialogs.answers.enqueue(Dialogs::Answer::No);
        FolderChooser chooser(dialogs, QString());
        chooser.setDirectory(top);
        chooser.DeleteDirectory();
        QVERIFY(QFileInfo::exists(top + QStringLiteral("/a/b/f0")));
    }

    void cancelKeepsEveryFolder()
    {
        QTemporaryDir dir;
        const QString top = makeTree(dir, 50);
        FolderDeleteDialog progress(top, QString(), QDir::homePath());
        progress.Deleter().setBatchSize(1);
        QStringList shown;
        connect(&progress.Deleter(), &FolderTreeDelete::Progress, &progress,
                [&](const QString& text) {
                    shown.append(text);
                    if (shown.size() == 2) {
                        for (QPushButton* b : progress.findChildren<QPushButton*>())
                            QTest::mouseClick(b, Qt::LeftButton);
                    }
                });
        progress.exec();
        QVERIFY(progress.Cancelled());
        QVERIFY(shown.first().startsWith(QStringLiteral("Deleting File:") + top));
        QCOMPARE(shown.size(), 2);
        for (const char* folder : {"", "/a", "/a/b", "/.hidden", "/rodir"})
            QVERIFY2(QFileInfo(top + QLatin1String(folder)).isDir(), folder);
        QVERIFY(QFileInfo::exists(top + QStringLiteral("/a/b/f49")));
    }

    void protectedPathsAreRefused()
    {
        QTemporaryDir dir;
        const QString base = dir.filePath(QStringLiteral("base"));
        QDir().mkpath(base);
        for (const QString& folder : {QDir::homePath(), base, dir.path()}) {
            ScriptedDialogs dialogs;
            dialogs.answers.enqueue(Dialogs::Answer::Yes);
            FolderChooser chooser(dialogs, base);
            chooser.setDirectory(folder);
            chooser.DeleteDirectory();
            QVERIFY(QFileInfo(folder).isDir());
            QCOMPARE(dialogs.asked.size(), 1); // the refusal, no question
            QVERIFY2(dialogs.messages().first().contains(QStringLiteral("cannot be deleted")),
                     qPrintable(dialogs.messages().first()));
        }
    }

    void deleteIsDisabledOnAReadOnlyFolder()
    {
        QTemporaryDir dir;
        const QString top = makeTree(dir);
        ScriptedDialogs dialogs;
        FolderChooser chooser(dialogs, QString());
        chooser.setDirectory(top + QStringLiteral("/rodir"));
        QVERIFY(!action(chooser.ContextMenu(), QStringLiteral("&Delete"))->isEnabled());
        chooser.setDirectory(top);
        QVERIFY(action(chooser.ContextMenu(), QStringLiteral("&Delete"))->isEnabled());
        QFile::setPermissions(top + QStringLiteral("/rodir"), QFileDevice::ReadOwner |
                                                                  QFileDevice::WriteOwner |
                                                                  QFileDevice::ExeOwner);
    }

    void newDirectoryChecksAndReports()
    {
        QTemporaryDir dir;
        ScriptedDialogs dialogs;
        FolderChooser chooser(dialogs, QString());
        chooser.setDirectory(dir.path());
        dialogs.inputs.enqueue(QStringLiteral("made"));
        chooser.NewDirectory();
        QVERIFY(QFileInfo(dir.filePath(QStringLiteral("made"))).isDir());
        QCOMPARE(chooser.getDirectory(), dir.filePath(QStringLiteral("made")));
        QCOMPARE(dialogs.asked.last().text, QStringLiteral("Enter the Directory Name"));

        chooser.setDirectory(dir.path());
        dialogs.inputs.enqueue(QStringLiteral("made")); // exists: the system's reason
        dialogs.inputs.enqueue(QStringLiteral("a/b"));  // refused name
        dialogs.inputs.enqueue(std::nullopt);           // cancelled: nothing
        chooser.NewDirectory();
        chooser.NewDirectory();
        chooser.NewDirectory();
        QCOMPARE(dialogs.messages().size(), 2);
        QCOMPARE(chooser.getDirectory(), dir.path());
        QCOMPARE(QDir(dir.path()).entryList(QDir::Dirs | QDir::NoDotAndDotDot),
                 QStringList{QStringLiteral("made")});
    }
};

QTEST_MAIN(TestFolderChooser)
#include "test_folder_chooser.moc"
