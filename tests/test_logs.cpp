// SPDX-License-Identifier: GPL-3.0-or-later
#include "lists/JobList.h"
#include "lists/ManagerState.h"
#include "lists/Rowvane.h"
#include "lists/StatusLine.h"
#include "lists/UrlListIO.h"
#include "manager/DownloadLogs.h"
#include "manager/LocalFileNaming.h"
#include "support/ScriptedDialogs.h"
#include "support/TestFiles.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

namespace {

const QDateTime Fixed(QDate(2026, 3, 4), QTime(5, 6, 7));

} // namespace

class TestLogs : public QObject
{
    Q_OBJECT

private slots:
    void entryForms()
    {
        QTemporaryDir dir;
        const QString stamp = DownloadLogs::Stamp(Fixed);
        QVERIFY(stamp.contains("05:06:07") || stamp.contains("5:06:07"));
        {
            DownloadLogs logs;
            logs.setClock([] { return Fixed; });
            logs.OpenLogFile(dir.path());
            QVERIFY(logs.IsOpen() && logs.IsConnectionLogOpen());
            logs.WriteLog("Redirection:[http://h/a]\nNew URL: http://h/b");
            logs.WriteConLog("127.0.0.1 8080");
        }
        {
            // A second run appends to both files.
            DownloadLogs logs;
            logs.setClock([] { return Fixed; });
            logs.OpenLogFile(dir.path() + "/");
            logs.WriteLog("second");
            logs.WriteConLog("::1 80");
        }
        const QByteArray s = stamp.toUtf8();
        QCOMPARE(readFile(dir.filePath("Harvex_0.log")),
                 "\n[" + s + "] : Redirection:[http://h/a]\nNew URL: http://h/b\n\n" + "\n[" + s +
                     "] : second\n\n");
        QCOMPARE(readFile(dir.filePath("Harvex_0_SVR.log")),
                 "[" + s + "] [CON] 127.0.0.1 8080\n[" + s + "] [CON] ::1 80\n");
    }

    void failuresAreSilent()
    {
        QTemporaryDir dir;
        DownloadLogs missing;
        missing.OpenLogFile(dir.filePath("no/such/base"));
        QVERIFY(!missing.IsOpen());
        missing.WriteLog("lost");
        missing.WriteConLog("lost");
        QVERIFY(!QFile::exists(dir.filePath("no")));

        DownloadLogs never; // never opened
        never.WriteLog("lost");

        // A folder where the program log should be: only the connection log opens.
        QVERIFY(QDir().mkpath(dir.filePath("Harvex_0.log")));
        DownloadLogs blocked;
        blocked.OpenLogFile(dir.path());
        QVERIFY(!blocked.IsOpen());
        QVERIFY(blocked.IsConnectionLogOpen());
        blocked.WriteLog("lost");
        blocked.WriteConLog("kept");
        QVERIFY(readFile(dir.filePath("Harvex_0_SVR.log")).endsWith("] [CON] kept\n"));
    }

    // A job list from a list file, a paste and a dropped file; every job named under a
    // temporary base folder; the program log holds exactly the naming lines.
    void jobListToLocalPaths()
    {
        QTemporaryDir dir;
        const QString base = dir.filePath("base");
        QVERIFY(QDir().mkpath(base));
        DownloadLogs logs;
        logs.setClock([] { return Fixed; });
        logs.OpenLogFile(base);

        Rowvane list;
        ManagerState state;
        StatusLine status(state, list);
        ScriptedDialogs dialogs;
        JobList jobs(list, state, status, dialogs);
        jobs.setDataFilter("(https?://[^<=\\?\\+>]+$Ext)");
        UrlListIO io(jobs, dialogs);
        const QString ext = "(\\.jpg|\\.zip)";

        writeFile(dir.filePath("list.txt"),
                  "http://h/a/1.jpg\r\nhttp://h/../../etc/passwd\r\nhttp://h/d/");
        dialogs.files.enqueue(dir.filePath("list.txt"));
        io.LoadFromFile();
        dialogs.clipboard = "look: https://H:81/b/2.zip\nnoise\nhttp://h/a/1.JPG";
        io.PasteFiltered(ext);
        writeFile(dir.filePath("drop.txt"), "http://h/c/%2e%2e/%2e%2e/3.jpg?x=a:b\nhttp://h/e/\n");
        io.DropFiles({dir.filePath("drop.txt")}, list, ext, false);
        QCOMPARE(list.ListCount(), 5);

        writeFile(base + "/h/a/1.jpg", QByteArray(10, 'p')); // a partial file to resume
        LocalFileNaming naming(logs, dialogs);
        NamingOptions options;
        options.BaseDir = base;
        options.DetectResume = true;
        options.MinImgSize = 100;
        QStringList paths;
        QList<qint64> resume;
        QList<qint64> minimum;
        for (int i = 0; i < list.ListCount(); ++i) {
            const JobFile job = naming.PrepareJob(list.List(i), options);
            QVERIFY(LocalFileNaming::IsInside(job.Path, base));
            paths << job.Path.mid(base.size());
            resume << job.ResumeFrom;
            minimum << job.MinimumFileSize;
        }
        QCOMPARE(paths, QStringList({"/h/a/1.jpg", "/h/etc/passwd", "/h/d/_index.htm",
                                     "/H%3A81/b/2.zip", "/h/3.jpg%3Fx=a%3Ab"}));
        QCOMPARE(resume, QList<qint64>({10, 0, 0, 0, 0}));
        QCOMPARE(minimum, QList<qint64>({100, 0, 0, 0, 0}));

        const QByteArray s = DownloadLogs::Stamp(Fixed).toUtf8();
        QCOMPARE(readFile(base + "/Harvex_0.log"),
                 "\n[" + s + "] : ***Resuming => /a/1.jpg from position 11\n\n");
        QCOMPARE(readFile(base + "/Harvex_0_SVR.log"), QByteArray());
        QVERIFY(dialogs.messages().isEmpty());
    }
};

QTEST_GUILESS_MAIN(TestLogs)
#include "test_logs.moc"
