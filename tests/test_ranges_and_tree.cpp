// SPDX-License-Identifier: GPL-3.0-or-later
// Numbered URL ranges: the page address dialog's fields and harvex-cli's URL patterns.
#include "harvest/NumberedRange.h"

#include <QTest>

class TestRangesAndTree : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void rangeFromFields_data();
    void rangeFromFields();
    void rangeFromPattern_data();
    void rangeFromPattern();
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

} // namespace

void TestRangesAndTree::rangeFromFields_data()
{
    QTest::addColumn<QString>("address");
    QTest::addColumn<QString>("start");
    QTest::addColumn<QString>("end");
    QTest::addColumn<bool>("padded");
    QTest::addColumn<int>("freeRows");
    AddExpansionColumns();
    const QString a = QStringLiteral("http://h.example/p");
    QTest::newRow("padded to End")
        << a << "1"
        << "11" << true << 100 << 11 << a + "01.jpg" << a + "02.jpg" << a + "11.jpg"
        << "";
    QTest::newRow("unpadded") << a << "1"
                              << "11" << false << 100 << 11 << a + "1.jpg" << a + "2.jpg"
                              << a + "11.jpg"
                              << "";
    QTest::newRow("End typed wide") << a << " 9 "
                                    << "010" << true << 100 << 2 << a + "009.jpg"
                                    << "" << a + "010.jpg"
                                    << "";
    QTest::newRow("Start = End") << a << "7"
                                 << "7" << true << 1 << 1 << a + "7.jpg"
                                 << "" << a + "7.jpg"
                                 << "";
    QTest::newRow("Start > End") << a << "8"
                                 << "7" << false << 100 << 0 << ""
                                 << ""
                                 << ""
                                 << "Range Start must not be greater";
    QTest::newRow("Start not a number") << a << "-1"
                                        << "7" << false << 100 << 0 << ""
                                        << ""
                                        << ""
                                        << "Range Start must be";
    QTest::newRow("End not a number") << a << "1"
                                      << "1e3" << false << 100 << 0 << ""
                                      << ""
                                      << ""
                                      << "Range End must be";
    QTest::newRow("End empty") << a << "1"
                               << "" << false << 100 << 0 << ""
                               << ""
                               << ""
                               << "Range End must be";
    QTest::newRow("fills the list exactly") << a << "1"
                                            << "16" << false << 16 << 16 << a + "1.jpg"
                                            << "" << a + "16.jpg"
                                            << "";
    QTest::newRow("more than the free rows")
        << a << "1"
        << "16" << false << 15 << 0 << ""
        << ""
        << ""
        << "The range gives 16 URLs, but the download list has room for 15 more.";
    QTest::newRow("list full") << a << "1"
                               << "1" << false << 0 << 0 << ""
                               << ""
                               << ""
                               << "The range gives 1 URLs";
    QTest::newRow("no scheme") << "h.example/p"
                               << "1"
                               << "2" << false << 100 << 0 << ""
                               << ""
                               << ""
                               << "Not a valid URL: h.example/p1.jpg";
    QTest::newRow("other scheme") << "ftp://h.example/"
                                  << "1"
                                  << "2" << false << 100 << 0 << ""
                                  << ""
                                  << ""
                                  << "Not a valid URL: ftp://";
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
    const QString h = QStringLiteral("http://h.example/");
    QTest::newRow("zero pads") << h + "img[001-120].jpg" << 32001 << 120 << h + "img001.jpg"
                               << h + "img002.jpg" << h + "img120.jpg"
                               << "";
    QTest::newRow("no zero, no pad")
        << h + "img[1-12].jpg" << 32001 << 12 << h + "img1.jpg" << h + "img2.jpg" << h + "img12.jpg"
        << "";
    QTest::newRow("first number decides the width")
        << h + "[08-100]" << 32001 << 93 << h + "08" << h + "09" << h + "100"
        << "";
    QTest::newRow("two ranges, last fastest")
        << h + "[1-2]/[8-10].png" << 6 << 6 << h + "1/8.png" << h + "1/9.png" << h + "2/10.png"
        << "";
    QTest::newRow("range in the host")
        << "http://s[1-3].h.example/a" << 3 << 3 << "http://s1.h.example/a"
        << "http://s2.h.example/a"
        << "http://s3.h.example/a"
        << "";
    QTest::newRow("brackets that are no range stay")
        << "http://[::1]:8080/[a-z]/[x][[1-2]]" << 32001 << 2 << "http://[::1]:8080/[a-z]/[x][1]"
        << ""
        << "http://[::1]:8080/[a-z]/[x][2]"
        << "";
    QTest::newRow("no range: the URL alone, unchecked")
        << "not a url [1-]" << 0 << 1 << "not a url [1-]"
        << ""
        << "not a url [1-]"
        << "";
    QTest::newRow("unclosed bracket") << h + "[1-2" << 5 << 1 << h + "[1-2"
                                      << "" << h + "[1-2"
                                      << "";
    QTest::newRow("counts down") << h + "[5-3]" << 32001 << 0 << ""
                                 << ""
                                 << ""
                                 << "The first number of [5-3] must not be greater";
    QTest::newRow("over the list") << h + "[1-40000]" << 32001 << 0 << ""
                                   << ""
                                   << ""
                                   << "The range gives 40000 URLs, but the download list has "
                                      "room for 32001 more.";
    QTest::newRow("product overflows")
        << h + "[0-999999999999]/[0-999999999999]/[0-999999999999]" << 32001 << 0 << ""
        << ""
        << ""
        << "The ranges give too many URLs";
    QTest::newRow("number too long") << h + "[1-1234567890123456789]" << 32001 << 0 << ""
                                     << ""
                                     << ""
                                     << "The last number of [1-1234567890123456789] is";
    QTest::newRow("generated URL not valid") << "[1-2]http://h.example/" << 32001 << 0 << ""
                                             << ""
                                             << ""
                                             << "Not a valid URL: 1http://";
}

void TestRangesAndTree::rangeFromPattern()
{
    QFETCH(QString, url);
    QFETCH(int, freeRows);
    CheckExpansion(NumberedRange::FromPattern(url, freeRows));
}

QTEST_GUILESS_MAIN(TestRangesAndTree)
#include "test_ranges_and_tree.moc"
