// SPDX-License-Identifier: GPL-3.0-or-later
#include "manager/DownloadLogs.h"
#include "manager/LocalFileNaming.h"
#include "support/ScriptedDialogs.h"
#include "support/TestFiles.h"

#include <QDir>
#include <QFile>
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
        QVERIFY(m_dir.isValid());
        m_base = m_dir.path() + "/base";
        QDir(m_base).removeRecursively();
        QVERIFY(QDir().mkpath(m_base));
        m_logs.OpenLogFile(m_base);
        m_dialogs = ScriptedDialogs();
    }

    void replicatedPaths_data()
    {
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
            QTest::newRow(row[0]) << QString::fromUtf8(row[1]) << QString::fromUtf8(row[2]);
        QTest::newRow("nul") << QString("http://h/a") + QChar(0) + "b"
                             << "h/a%00b";
    }

    void replicatedPaths()
    {
        QFETCH(QString, url);
        QFETCH(QString, expected);
        LocalFileNaming naming(m_logs, m_dialogs);
        const QString path = naming.GetLocalFileName(url, options());
        QCOMPARE(path, m_base + "/" + expected);
        QVERIFY(LocalFileNaming::IsInside(path, m_base));
    }

    void baseFolderKeptAsStored()
    {
        // The base folder's own characters are never encoded, a trailing "/" is dropped.
        const QString odd = m_base + "/we:ird?";
        QVERIFY(QDir().mkpath(odd));
        LocalFileNaming naming(m_logs, m_dialogs);
        NamingOptions o = options();
        o.BaseDir = odd + "/";
        QCOMPARE(naming.GetLocalFileName("http://h/a:b", o), odd + "/h/a%3Ab");
        o.BaseDir.clear();
        QCOMPARE(naming.GetLocalFileName("http://h/a", o), QString());
        QVERIFY(programLog().contains("]:[GetLocalFileName]: "));
    }

    void flatOption()
    {
        LocalFileNaming naming(m_logs, m_dialogs);
        QCOMPARE(naming.GetLocalFileName("http://h/x/y/z.gif", options(1)),
                 m_base + "/Downloads/z.gif");
        QCOMPARE(naming.GetLocalFileName("http://h/x/..", options(1)),
                 m_base + "/Downloads/_index.htm");
        QCOMPARE(naming.GetLocalFileName("http://h/x/%2E%2E", options(1)),
                 m_base + "/Downloads/_index.htm");
    }

    void longNamesAreShortened()
    {
        LocalFileNaming naming(m_logs, m_dialogs);
        const QString longName = QString(300, 'n') + ".jpeg";
        const QString longFolder = QString(300, QChar(0x00E9)); // 2 bytes each in UTF-8
        const QString path =
            naming.GetLocalFileName("http://h/" + longFolder + "/" + longName, options());
        const QStringList parts = path.mid(m_base.size() + 1).split('/');
        QCOMPARE(parts.size(), 3);
        QCOMPARE(parts.at(1).toUtf8().size(), 254); // whole characters only
        QCOMPARE(parts.at(2).toUtf8().size(), 255);
        QVERIFY(parts.at(2).endsWith(".jpeg"));
        // The file can be created, and renamed variants still fit.
        writeFile(path, "x");
        const QString renamed =
            naming.GetLocalFileName("http://h/" + longFolder + "/" + longName, options());
        QVERIFY(renamed.endsWith("[1].jpeg"));
        QVERIFY(QFileInfo(renamed).fileName().toUtf8().size() <= 255);
        writeFile(renamed, "y");
        QVERIFY(QFile::exists(renamed));

        // Surrogate pairs are never cut in half; a huge "extension" is not kept.
        const QString emoji = QString::fromUtf8("\xF0\x9F\x98\x80").repeated(100);
        QCOMPARE(LocalFileNaming::ShortenName(emoji).toUtf8().size(), 252);
        QCOMPARE(LocalFileNaming::ShortenName("a." + QString(300, 'x')).size(), 255);
        QCOMPARE(LocalFileNaming::ShortenName("short.txt"), QString("short.txt"));
    }

    void renamingExistingFiles()
    {
        LocalFileNaming naming(m_logs, m_dialogs);
        writeFile(m_base + "/h/x.zip", "1");
        writeFile(m_base + "/h/x[1].zip", "2");
        QCOMPARE(naming.GetLocalFileName("http://h/x.zip", options()), m_base + "/h/x[2].zip");

        // An empty file is reused, and the resume position is then 0.
        writeFile(m_base + "/h/e.zip", "");
        const JobFile empty = naming.PrepareJob("http://h/e.zip", options(0, true));
        QCOMPARE(empty.Path, m_base + "/h/e.zip");
        QCOMPARE(empty.ResumeFrom, 0);

        // A folder of the name is skipped like a non-empty file.
        QVERIFY(QDir().mkpath(m_base + "/h/d.txt"));
        writeFile(m_base + "/h/d[1].txt", "z");
        QVERIFY(QDir().mkpath(m_base + "/h/d[2].txt"));
        QCOMPARE(naming.GetLocalFileName("http://h/d.txt", options(0, true)),
                 m_base + "/h/d[3].txt");

        // A name without "." gets the counter at the end; dots in folders do not count.
        writeFile(m_base + "/h.d/n", "1");
        QCOMPARE(LocalFileNaming::GetNewName(m_base + "/h.d/n"), m_base + "/h.d/n[1]");
        QCOMPARE(LocalFileNaming::GetNewName(m_base + "/h.d/missing"), m_base + "/h.d/missing");
        QVERIFY(programLog().isEmpty());
    }

    void resumeIsLoggedWithTheJobsOwnPath()
    {
        LocalFileNaming naming(m_logs, m_dialogs);
        writeFile(m_base + "/h/dir/big.zip", QByteArray(1000, 'x'));
        const JobFile job = naming.PrepareJob("http://h/dir/big.zip?v=1", options(0, false));
        QCOMPARE(job.Path, m_base + "/h/dir/big.zip%3Fv=1");
        QCOMPARE(job.ResumeFrom, 0);
        const JobFile resumed = naming.PrepareJob("http://h/dir/big.zip", options(0, true));
        QCOMPARE(resumed.Path, m_base + "/h/dir/big.zip");
        QCOMPARE(resumed.ResumeFrom, 1000);
        QVERIFY(programLog().contains("] : ***Resuming => /dir/big.zip from position 1001\n"));
        // Without resume a non-empty file is never reused.
        QCOMPARE(naming.PrepareJob("http://h/dir/big.zip", options()).Path,
                 m_base + "/h/dir/big[1].zip");
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
        QCOMPARE(LocalFileNaming::MinimumImageSize(url, 500), limit);
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

    void helpers()
    {
        QCOMPARE(LocalFileNaming::ReplaceHex("a:*?\"<>|b", LocalFileNaming::ForbiddenChars()),
                 QString("a%3A%2A%3F%22%3C%3E%7Cb"));
        QCOMPARE(LocalFileNaming::UrlContent("http://h/a/b?c"), QString("/a/b?c"));
        QCOMPARE(LocalFileNaming::UrlContent("https://h"), QString("/"));
        QCOMPARE(LocalFileNaming::getFilelength(m_base + "/none"), 0);
        QCOMPARE(LocalFileNaming::getFilelength(m_base), 0);
        QVERIFY(!LocalFileNaming::IsInside(m_base + "/../x", m_base));
        QVERIFY(!LocalFileNaming::IsInside(m_base, m_base));
        QVERIFY(!LocalFileNaming::IsInside(m_base + "x/y", m_base));
        QVERIFY(LocalFileNaming::IsInside(m_base + "/x", m_base + "/"));
    }
};

QTEST_GUILESS_MAIN(TestFileNaming)
#include "test_filenaming.moc"
