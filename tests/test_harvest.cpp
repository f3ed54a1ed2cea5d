// SPDX-License-Identifier: GPL-3.0-or-later
// Harvesting pages served by nginx into the job list and the web page list, and
// the web page list's commands.
#include "support/NginxFixture.h"
#include "support/ScriptedDialogs.h"
#include "support/ScriptedServer.h"

#include "harvest/PageHarvester.h"
#include "lists/FileTypeList.h"
#include "lists/JobList.h"
#include "lists/ManagerState.h"
#include "lists/Rowvane.h"
#include "lists/StatusLine.h"
#include "lists/UrlListIO.h"
#include "settings/Options.h"

#include <QFile>
#include <QRegularExpression>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

namespace {

// Everything a harvester needs, built fresh per test.
struct Rig
{
    Rowvane jobList;
    ManagerState state;
    StatusLine status{state, jobList};
    ScriptedDialogs dialogs;
    JobList jobs{jobList, state, status, dialogs};
    Rowvane pages;
    FileTypeList dataTypes;
    FileTypeList pageTypes;
    UrlListIO io{jobs, dialogs};
    Options options;
    PageHarvester harvester{jobs, pages, dataTypes, pageTypes, io, options, dialogs};

    Rig()
    {
        dataTypes.StringToList(QStringLiteral("jpg/1|gif/0|zip/1"));
        pageTypes.StringToList(QStringLiteral("html/1|php/0"));
    }

    QStringList rows(const Rowvane& list) const
    {
        QStringList texts;
        for (int i = 0; i < list.ListCount(); ++i)
            texts.append(list.List(i));
        return texts;
    }

    // Harvests and waits until the page is filed.
    bool harvest(const QString& url = QString())
    {
        QSignalSpy filed(&harvester, &PageHarvester::PageFiled);
        if (!harvester.ParseWebPage(url))
            return false;
        return filed.wait(15000);
    }
};

} // namespace

class TestHarvest : public QObject
{
    Q_OBJECT

private:
    NginxFixture m_nginx;

private slots:
    void initTestCase()
    {
        QString error;
        QVERIFY2(m_nginx.start(&error), qPrintable(error));
        m_nginx.writeFile(QStringLiteral("g/index.html"),
                          "<html><head><base href='/files/'></head><body>"
                          "<a href='a.JPG'>a</a><a href='b.jpg'>b</a><a href='c.jpeg'>c</a>"
                          "<a href='b.jpg'>b again</a><a href='KNOWN.jpg'>known</a>"
                          "<a href='mailto:x@y.jpg'>mail</a><img src='thumb.gif'>"
                          "<map><area href='pack.zip'></map>"
                          "<a href='/g/next.html'>next</a><a href='/g/next.HTML'>same</a>"
                          "<a href='/g/form.php'>php</a></body></html>");
        m_nginx.writeFile(QStringLiteral("g/next.html"), "<a href='n.jpg'>n</a>");
    }

    void filesCheckedTypes()
    {
        Rig rig;
        const QString files = m_nginx.url(QStringLiteral("/files/"));
        rig.jobList.AddItem(m_nginx.url(QStringLiteral("/FILES/known.JPG")));
        const QString page = m_nginx.url(QStringLiteral("/g/index.html"));
        QSignalSpy busy(&rig.harvester, &PageHarvester::BusyChanged);
        QSignalSpy filed(&rig.harvester, &PageHarvester::PageFiled);
        QVERIFY(rig.harvester.ParseWebPage(page));
        QVERIFY(rig.harvester.Busy());
        QCOMPARE(rig.harvester.ToolTip(), QStringLiteral("Fetching and parsing webpage..."));
        // One page at a time.
        QVERIFY(!rig.harvester.ParseWebPage(page));
        QCOMPARE(rig.dialogs.messages(), QStringList({"Not available now. Try later."}));
        QVERIFY(filed.wait(15000));
        QCOMPARE(rig.harvester.ToolTip(), QStringLiteral("Ideal..."));
        QCOMPARE(busy.count(), 2);

        // jpg then zip, in document order; a.JPG kept, c.jpeg not, b.jpg once, KNOWN.jpg
        // already a job in other case, the mailto: link never filed; gif unchecked.
        QCOMPARE(rig.rows(rig.jobList).mid(1),
                 QStringList({files + "a.JPG", files + "b.jpg", files + "pack.zip"}));
        QCOMPARE(filed.at(0).at(1).toInt(), 3);
        // "Log page links" off: only the page itself, checked as parsed.
        QCOMPARE(rig.rows(rig.pages), QStringList({page}));
        QVERIFY(rig.pages.Selected(0));
        QCOMPARE(rig.harvester.ParsedCount(), 1);

        // With "Log page links" the checked page types are filed, once ignoring case.
        rig.options.setListUrl(true);
        rig.dataTypes.setChecked(1, true); // gif: the picture shown on the page
        QVERIFY(rig.harvest(page));
        QCOMPARE(rig.rows(rig.pages), QStringList({page, m_nginx.url("/g/next.html")}));
        QCOMPARE(rig.jobList.List(rig.jobList.ListCount() - 1), files + "thumb.gif");
        QCOMPARE(rig.harvester.ParsedCount(), 2);

        // The found page can be harvested in turn from its row.
        rig.pages.setListIndex(1);
        QVERIFY(rig.harvester.UpdateWebPageMenu().ParseWeb);
        QSignalSpy next(&rig.harvester, &PageHarvester::PageFiled);
        rig.harvester.ParseThisPage();
        QVERIFY(next.wait(15000));
        QVERIFY(rig.pages.Selected(1));
        QCOMPARE(rig.jobList.List(rig.jobList.ListCount() - 1), m_nginx.url("/g/n.jpg"));
        QCOMPARE(rig.harvester.ParsedCount(), 3);
    }

    void addressDialog()
    {
        Rig rig;
        // Cancelled or blank: nothing happens.
        rig.dialogs.addresses.enqueue(std::nullopt);
        QVERIFY(!rig.harvester.ParseWebPage());
        rig.dialogs.addresses.enqueue(QStringLiteral("   "));
        QVERIFY(!rig.harvester.ParseWebPage());
        QCOMPARE(rig.pages.ListCount(), 0);

        // A numbered range goes to the job list, limited to its free rows; no page is fetched.
        rig.jobList.AddItem(QStringLiteral("http://example.test/first"));
        rig.dialogs.addresses.enqueue(QStringLiteral("http://example.test/img"));
        rig.dialogs.ranges.enqueue(
            {"http://example.test/img1.jpg", "http://example.test/img2.jpg"});
        QVERIFY(!rig.harvester.ParseWebPage());
        QCOMPARE(rig.dialogs.freeRows, Rowvane::MaxRows - 1);
        QCOMPARE(rig.rows(rig.jobList).mid(1),
                 QStringList({"http://example.test/img1.jpg", "http://example.test/img2.jpg"}));
        QCOMPARE(rig.pages.ListCount(), 0);

        // No scheme: "http://" is prefixed, and the dialog shows it next time.
        const QString bare = QStringLiteral("127.0.0.1:%1/g/next.html").arg(m_nginx.port());
        rig.dialogs.addresses.enqueue(QStringLiteral("  ") + bare);
        QVERIFY(rig.harvest());
        QCOMPARE(rig.rows(rig.pages), QStringList({"http://" + bare}));
        rig.dialogs.addresses.enqueue(std::nullopt);
        QVERIFY(!rig.harvester.ParseWebPage());
        QCOMPARE(rig.dialogs.asked.last().kind, QStringLiteral("PageAddress"));
        QCOMPARE(rig.dialogs.asked.last().text, "http://" + bare);

        // "HTTP://" is not prefixed again, and it is the same row ignoring case.
        rig.dialogs.addresses.enqueue("HTTP://" + bare);
        QVERIFY(rig.harvest());
        QCOMPARE(rig.pages.ListCount(), 1);
        QCOMPARE(rig.harvester.ParsedCount(), 2);
        QVERIFY(rig.dialogs.messages().isEmpty());
    }

    void failuresAreShownAndFileNothing()
    {
        Rig rig;
        QVERIFY(rig.harvest(m_nginx.url(QStringLiteral("/g/next.html"))));
        QCOMPARE(rig.jobList.ListCount(), 1);
        rig.jobList.Clear();

        // A 404 page: the reason is shown, the row is checked, the earlier page's
        // links are not filed again into the cleared list.
        const QString missing = m_nginx.url(QStringLiteral("/g/missing.html"));
        QVERIFY(rig.harvest(missing));
        QCOMPARE(rig.dialogs.messages().size(), 1);
        QVERIFY2(rig.dialogs.messages().at(0).contains(QStringLiteral("404")),
                 qPrintable(rig.dialogs.messages().at(0)));
        QCOMPARE(rig.jobList.ListCount(), 0);
        QVERIFY(rig.pages.Selected(rig.pages.GetItemIndex(0, missing, 1)));

        // A server that never answers ends at the time limit.
        ScriptedServer silent;
        silent.addConnection(ServerScript::neverAnswer());
        rig.harvester.Parser().SetTimeLimit(200);
        QVERIFY(rig.harvest(silent.url(QStringLiteral("/page.html"))));
        QVERIFY(rig.dialogs.messages().last().contains(QStringLiteral("no answer")));
        QVERIFY(!rig.harvester.Busy());
        QCOMPARE(rig.harvester.ParsedCount(), 3);
    }

    void webPageListCommands()
    {
        Rig rig;
        QTemporaryDir dir;
        QVERIFY(dir.isValid());
        // An empty list: every item disabled.
        PageHarvester::WebPageMenu menu = rig.harvester.UpdateWebPageMenu();
        QVERIFY(!menu.ParseWeb && !menu.CopyUrl && !menu.SaveUrls && !menu.SaveCheckedUrls &&
                !menu.SaveUncheckedUrls && !menu.ClearCheckedUrls && !menu.ClearUncheckedUrls &&
                !menu.ClearUrls);

        const QString parsed = m_nginx.url(QStringLiteral("/g/next.html"));
        rig.pages.AddItem(QStringLiteral("http://a.example/one.html"));
        QVERIFY(rig.harvest(parsed));
        QVERIFY(rig.harvest(parsed)); // parsed twice: counted twice
        rig.pages.AddItem(QStringLiteral("http://a.example/two.html"));
        QCOMPARE(rig.harvester.ParsedCount(), 2);
        rig.pages.setListIndex(0);
        menu = rig.harvester.UpdateWebPageMenu();
        QVERIFY(menu.ParseWeb && menu.CopyUrl && menu.SaveUrls && menu.SaveCheckedUrls &&
                menu.SaveUncheckedUrls && menu.ClearCheckedUrls && menu.ClearUncheckedUrls &&
                menu.ClearUrls);

        rig.harvester.CopyThisItem();
        QCOMPARE(rig.dialogs.clipboard, QStringLiteral("http://a.example/one.html"));

        // Save Checked appends the parsed pages; Save Unchecked the others.
        const QString path = dir.filePath(QStringLiteral("pages.txt"));
        rig.dialogs.files.enqueue(path);
        rig.harvester.SaveCheckedUrls();
        rig.dialogs.files.enqueue(path);
        rig.harvester.SaveUncheckedUrls();
        QFile file(path);
        QVERIFY(file.open(QIODevice::ReadOnly));
        const QStringList lines =
            QString::fromUtf8(file.readAll())
                .split(QRegularExpression(QStringLiteral("\r?\n")), Qt::SkipEmptyParts);
        QCOMPARE(lines,
                 QStringList({parsed, "http://a.example/one.html", "http://a.example/two.html"}));

        // Clear Checked: one row removed, ParsedCount down by one (2 -> 1), so the
        // checked items stay enabled although no row is checked any more.
        rig.harvester.ClearCheckedUrls();
        QCOMPARE(rig.rows(rig.pages),
                 QStringList({"http://a.example/one.html", "http://a.example/two.html"}));
        QCOMPARE(rig.harvester.ParsedCount(), 1);
        QVERIFY(rig.harvester.UpdateWebPageMenu().ClearCheckedUrls);

        // Clear Unchecked empties the rest; ParsedCount is no longer below the count.
        rig.harvester.ClearUncheckedUrls();
        QCOMPARE(rig.pages.ListCount(), 0);
        menu = rig.harvester.UpdateWebPageMenu();
        QVERIFY(!menu.ParseWeb && !menu.SaveUrls && !menu.ClearUrls && !menu.ClearUncheckedUrls);

        // Clear Page Links asks first; No keeps the list, Yes clears it and the count.
        rig.pages.AddItem(QStringLiteral("http://a.example/three.html"));
        rig.dialogs.answers.enqueue(Dialogs::Answer::No);
        rig.harvester.ClearUrls();
        QCOMPARE(rig.pages.ListCount(), 1);
        QCOMPARE(rig.dialogs.asked.last().text, QStringLiteral("Clear the page links ?"));
        QCOMPARE(rig.dialogs.asked.last().title, QStringLiteral("Confirm!"));
        rig.dialogs.answers.enqueue(Dialogs::Answer::Yes);
        rig.harvester.ClearUrls();
        QCOMPARE(rig.pages.ListCount(), 0);
        QCOMPARE(rig.harvester.ParsedCount(), 0);

        // A file dropped with "clear before loading" empties the list and so the count:
        // the checked items go off with the parsed rows.
        QVERIFY(rig.harvest(parsed));
        QCOMPARE(rig.harvester.ParsedCount(), 1);
        const QString list = dir.filePath(QStringLiteral("list.txt"));
        QFile listFile(list);
        QVERIFY(listFile.open(QIODevice::WriteOnly));
        listFile.write("http://a.example/four.html\n");
        listFile.close();
        rig.io.LoadDroppedFile(list, rig.pages, QStringLiteral(".html"), true);
        QCOMPARE(rig.rows(rig.pages), QStringList({"http://a.example/four.html"}));
        QCOMPARE(rig.harvester.ParsedCount(), 0);
        menu = rig.harvester.UpdateWebPageMenu();
        QVERIFY(!menu.SaveCheckedUrls && !menu.ClearCheckedUrls && menu.SaveUncheckedUrls);
    }
};

QTEST_GUILESS_MAIN(TestHarvest)
#include "test_harvest.moc"
