// SPDX-License-Identifier: GPL-3.0-or-later
#include "manager/DownloadLogs.h"
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
};

QTEST_GUILESS_MAIN(TestLogs)
#include "test_logs.moc"
