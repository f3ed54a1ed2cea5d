// SPDX-License-Identifier: GPL-3.0-or-later
// The local file of a URL: replicated or flat paths that never leave the base folder,
// long names, renaming and resuming existing files, the minimum image size, the save
// dialog; and the program and connection logs the naming writes to.
#include "manager/DownloadLogs.h"
#include "manager/LocalFileNaming.h"
#include "support/ScriptedDialogs.h"
#include "support/TestFiles.h"

#include <QTemporaryDir>
#include <QTest>

namespace {

class NonInteractiveDialogs : public ScriptedDialogs
{
public:
    bool Interactive() const override { return false; }
};

} // namespace

class TestFileNaming : public QObject
{
    Q_OBJECT

    QTemporaryDir m_dir;
    QString m_base;
    DownloadLogs m_logs;
    ScriptedDialogs m_dialogs;

    NamingOptions options(int pathOption = 0, bool resume = false) const
    {
        NamingOptions o;
        o.BaseDir = m_base;
        o.PathOption = pathOption;
        o.DetectResume = resume;
        return o;
    }
    QString programLog() const { return QString::fromUtf8(readFile(m_base + "/Harvex_0.log")); }

private slots:
    void init()
    {
        m_base = m_dir.path() + "/base";
        QDir(m_base).removeRecursively();
        QVERIFY(QDir().mkpath(m_base));
        m_logs.OpenLogFile(m_base);
        m_dialogs = ScriptedDialogs();
    }

    void paths_data()
    {
        QTest::addColumn<int>("option"); // 0 replicate the URL path, 1 flat
        QTest::addColumn<QString>("url");
        QTest::addColumn<QString>("expected"); // relative to the base folder
        const char* const rows[][3] = {
            {"file", "http://host/dir/a.zip", "host/dir/a.zip"},
            {"folder url", "http://host/dir/", "host/dir/_index.htm"},
            {"host only", "http://host", "host"},
            {"no slash", "justtext", "justtext/_index.htm"},
            {"https upper", "HTTPS://Host/A/b.JPG", "Host/A/b.JPG"},
            {"query", "http://host/a?b=c:d", "host/a%3Fb=c%3Ad"},
            {"port", "http://host:8080/x.zip", "host%3A8080/x.zip"},
            {"forbidden", "http://h/d|i<r>/\"*.txt", "h/d%7Ci%3Cr%3E/%22%2A.txt"},
            {"no scheme", "dir/sub/f.txt", "dir/sub/f.txt"},
            {"empty segments", "http://h//a///b.txt", "h/a/b.txt"},
            {"dot", "http://h/a/./b.txt", "h/a/b.txt"},
            {"dot dot", "http://h/a/../b.txt", "h/b.txt"},
            {"climb", "http://h/../../etc/x", "h/etc/x"},
            {"encoded climb", "http://h/%2e%2e/%2E%2e/etc/x", "h/etc/x"},
            {"encoded dot", "http://h/a/%2e/b", "h/a/b"},
            {"mixed climb", "http://h/a/.%2E/.%2e/..", "h/_index.htm"},
            {"name dot dot", "http://h/a/..", "h/_index.htm"},
            {"name dot", "http://h/a/.", "h/a/_index.htm"},
            {"host dot dot", "http://../x", "%2E%2E/x"},
            {"host encoded", "http://%2e%2e/../x", "%2e%2e/x"},
            {"no host", "http:///x.txt", "x.txt"},
            {"relative climb", "../../x", "x"},
            {"query climb", "http://h/p?x=/../../y", "h/y"},
            {"three dots", "http://h/.../x", "h/.../x"},
            {"backslash", "http://h/a\\..\\..\\b", "h/a\\..\\..\\b"},
        };
        for (const auto& row : rows)
            QTest::newRow(row[0]) << 0 << QString::fromUtf8(row[1]) << QString::fromUtf8(row[2]);
        QTest::newRow("nul") << 0 << QString("http://h/a") + QChar(0) + "b"
                             << "h/a%00b";
        QTest::newRow("flat") << 1 << "http://h/x/y/z.gif"
                              << "Downloads/z.gif";
        QTest::newRow("flat dot dot") << 1 << "http://h/x/.."
                                      << "Downloads/_index.htm";
        QTest::newRow("flat encoded") << 1 << "http://h/x/%2E%2E"
                                      << "Downloads/_index.htm";
    }

    void paths()
    {
        QFETCH(int, option);
        QFETCH(QString, url);
        QFETCH(QString, expected);
        LocalFileNaming naming(m_logs, m_dialogs);
        const QString path = naming.GetLocalFileName(url, options(option));
        QCOMPARE(path, m_base + "/" + expected);
        QVERIFY(LocalFileNaming::IsInside(path, m_base));
    }

    void baseFolderAndInside()
    {
        // The base folder's own characters are never encoded, a trailing "/" is dropped.
        LocalFileNaming naming(m_logs, m_dialogs);
        NamingOptions o = options();
        o.BaseDir = m_base + "/we:ird?/";
        QVERIFY(QDir().mkpath(o.BaseDir));
        QCOMPARE(naming.GetLocalFileName("http://h/a:b", o), m_base + "/we:ird?/h/a%3Ab");
        o.BaseDir.clear();
        QCOMPARE(naming.GetLocalFileName("http://h/a", o), QString());
        QVERIFY(programLog().contains("]:[GetLocalFileName]: "));
        for (const QString& outside : {m_base + "/../x", m_base, m_base + "x/y"})
            QVERIFY2(!LocalFileNaming::IsInside(outside, m_base), qPrintable(outside));
        QVERIFY(LocalFileNaming::IsInside(m_base + "/x", m_base + "/"));
    }

    void longNamesAreShortened()
    {
        LocalFileNaming naming(m_logs, m_dialogs);
        const QString url = "http://h/" + QString(300, QChar(0x00E9)) + "/" + QString(300, 'n') +
                            ".jpeg"; // é is 2 bytes in UTF-8
        const QString path = naming.GetLocalFileName(url, options());
        const QStringList parts = path.mid(m_base.size() + 1).split('/');
        QCOMPARE(parts.size(), 3);
        QCOMPARE(parts.at(1).toUtf8().size(), 254); // whole characters only
        QCOMPARE(parts.at(2).toUtf8().size(), 255);
        QVERIFY(parts.at(2).endsWith(".jpeg"));
        // The file can be created, and renamed variants still fit.
        QVERIFY(writeFile(path, "x"));
        const QString renamed = naming.GetLocalFileName(url, options());
        QVERIFY(renamed.endsWith("[1].jpeg"));
        QVERIFY(writeFile(renamed, "y"));
        // Surrogate pairs are never cut in half; a huge "extension" is not kept.
        QCOMPARE(LocalFileNaming::ShortenName(QString::fromUtf8("\xF0\x9F\x98\x80").repeated(100))
                     .toUtf8()
                     .size(),
                 252);
        QCOMPARE(LocalFileNaming::ShortenName("a." + QString(300, 'x')).size(), 255);
    }

    void existingFilesAreRenamedOrResumed()
    {
        LocalFileNaming naming(m_logs, m_dialogs);
        writeFile(m_base + "/h/x.zip", "1");
        writeFile(m_base + "/h/x[1].zip", "2");
        QCOMPARE(naming.GetLocalFileName("http://h/x.zip", options()), m_base + "/h/x[2].zip");
        // A folder of the name is skipped like a non-empty file.
        QVERIFY(QDir().mkpath(m_base + "/h/d.txt"));
        writeFile(m_base + "/h/d[1].txt", "z");
        QCOMPARE(naming.GetLocalFileName("http://h/d.txt", options(0, true)),
                 m_base + "/h/d[2].txt");
        // A name without "." gets the counter at the end; dots in folders do not count.
        writeFile(m_base + "/h.d/n", "1");
        QCOMPARE(LocalFileNaming::GetNewName(m_base + "/h.d/n"), m_base + "/h.d/n[1]");
        QVERIFY(programLog().isEmpty());
        QCOMPARE(LocalFileNaming::getFilelength(m_base), 0); // a folder has no bytes to resume

        // An empty file is reused from 0; a non-empty one only with resume.
        writeFile(m_base + "/h/e.zip", "");
        const JobFile empty = naming.PrepareJob("http://h/e.zip", options(0, true));
        QCOMPARE(empty.Path, m_base + "/h/e.zip");
        QCOMPARE(empty.ResumeFrom, 0);
        writeFile(m_base + "/h/dir/big.zip", QByteArray(1000, 'x'));
        const JobFile resumed = naming.PrepareJob("http://h/dir/big.zip", options(0, true));
        QCOMPARE(resumed.Path, m_base + "/h/dir/big.zip");
        QCOMPARE(resumed.ResumeFrom, 1000);
        QVERIFY(programLog().contains("] : ***Resuming => /dir/big.zip from position 1001\n"));
        QCOMPARE(naming.PrepareJob("http://h/dir/big.zip", options()).Path,
                 m_base + "/h/dir/big[1].zip");
        // A file another job of this run names is taken, missing or not: never shared.
        NamingOptions o = options(0, true);
        o.TakenInRun = [](const QString& path) { return !path.contains('['); };
        QCOMPARE(naming.GetLocalFileName("http://h/t.zip", o), m_base + "/h/t[1].zip");
        QCOMPARE(naming.GetLocalFileName("http://h/dir/big.zip", o), m_base + "/h/dir/big[1].zip");
    }

    void minimumImageSize_data()
    {
        QTest::addColumn<QString>("url");
        QTest::addColumn<qint64>("limit");
        QTest::newRow("upper") << "http://h/a.JPG" << qint64(500);
        QTest::newRow("across the list") << "http://h/g.gi" << qint64(500);
        QTest::newRow("zip") << "http://h/a.zip" << qint64(0);
        QTest::newRow("only four") << ".jpg" << qint64(0);
        QTest::newRow("five") << "x.jpg" << qint64(500);
    }

    void minimumImageSize()
    {
        QFETCH(QString, url);
        QFETCH(qint64, limit);
        NamingOptions o = options();
        o.MinImgSize = 500;
        LocalFileNaming naming(m_logs, m_dialogs);
        QCOMPARE(naming.PrepareJob(url, o).MinimumFileSize, limit);
    }

    void askMeWhere()
    {
        LocalFileNaming naming(m_logs, m_dialogs);
        m_dialogs.files.enqueue(m_base + "/chosen/pic.jpg");
        QCOMPARE(naming.GetLocalFileName("http://h/a/p:c.jpg", options(2)),
                 m_base + "/chosen/pic.jpg");
        QCOMPARE(m_dialogs.asked.at(0).kind, QString("Save"));
        QCOMPARE(m_dialogs.asked.at(0).text, QString("p%3Ac.jpg")); // the proposed name
        // A cancelled dialog is an error: logged, and the job gets no path.
        QCOMPARE(naming.GetLocalFileName("http://h/a/q.jpg", options(2)), QString());
        QVERIFY(programLog().contains("] : [Error: 32755]:[GetLocalFileName]: Cancel was "
                                      "selected.\n"));
        // Without a dialog the URL path is replicated, and that is said once.
        NonInteractiveDialogs console;
        LocalFileNaming batch(m_logs, console);
        QCOMPARE(batch.GetLocalFileName("http://h/a/q.jpg", options(2)), m_base + "/h/a/q.jpg");
        QCOMPARE(batch.GetLocalFileName("http://h/a/r.jpg", options(2)), m_base + "/h/a/r.jpg");
        QCOMPARE(console.messages().size(), 1);
        QVERIFY(console.messages().at(0).contains("\"Replicate Url path\""));
    }

    void logs()
    {
        // Entries with the stamp of the clock; a second run appends to both files.
        const QDateTime fixed(QDate(2026, 3, 4), QTime(5, 6, 7));
        const QByteArray s = DownloadLogs::Stamp(fixed).toUtf8();
        QVERIFY(s.contains("5:06:07"));
        const QString dir = m_dir.filePath("logs");
        QVERIFY(QDir().mkpath(dir));
        for (const QString& folder : {dir, dir + "/"}) {
            DownloadLogs logs;
            logs.setClock([&] { return fixed; });
            logs.OpenLogFile(folder);
            logs.WriteLog("Redirection:[http://h/a]\nNew URL: http://h/b");
            logs.WriteConLog("127.0.0.1 8080");
        }
        QCOMPARE(readFile(dir + "/Harvex_0.log"),
                 ("\n[" + s + "] : Redirection:[http://h/a]\nNew URL: http://h/b\n\n").repeated(2));
        QCOMPARE(readFile(dir + "/Harvex_0_SVR.log"),
                 ("[" + s + "] [CON] 127.0.0.1 8080\n").repeated(2));

        // Failures are silent: a missing folder is never made; a folder where the program
        // log should be leaves only the connection log open.
        DownloadLogs missing;
        missing.OpenLogFile(m_dir.filePath("no/such/base"));
        missing.WriteLog("lost");
        QVERIFY(!missing.IsOpen() && !QFile::exists(m_dir.filePath("no")));
        QVERIFY(QDir().mkpath(m_dir.filePath("blocked/Harvex_0.log")));
        DownloadLogs blocked;
        blocked.OpenLogFile(m_dir.filePath("blocked"));
        QVERIFY(!blocked.IsOpen() && blocked.IsConnectionLogOpen());
        blocked.WriteLog("lost");
        blocked.WriteConLog("kept");
        QVERIFY(readFile(m_dir.filePath("blocked/Harvex_0_SVR.log")).endsWith("] [CON] kept\n"));
    }
};

QTEST_GUILESS_MAIN(TestFileNaming)
#include "test_filenaming.moc"
