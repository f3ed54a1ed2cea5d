// SPDX-License-Identifier: GPL-3.0-or-later
// HTTP dates read into file times, and files stamped with them.
#include "engine/HttpDate.h"
#include "platform/FileTimes.h"

#include <QDateTime>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

#include <fcntl.h>
#include <sys/stat.h>

namespace {

qint64 fileTimeOf(const QDateTime& utc)
{
    return utc.toMSecsSinceEpoch() * 10000 + FileTimes::UnixEpochOffset;
}

qint64 fileTimeOf(int y, int mo, int d, int h, int mi, int s)
{
    return fileTimeOf(QDateTime(QDate(y, mo, d), QTime(h, mi, s), Qt::UTC));
}

struct Stamp
{
    timespec access{};
    timespec write{};
};

Stamp statOf(const QString& path)
{
    struct stat st
    {
    };
    Stamp s;
    if (::stat(QFile::encodeName(path).constData(), &st) == 0) {
        s.access = st.st_atim;
        s.write = st.st_mtim;
    }
    return s;
}

bool setTimes(const QString& path, time_t access, time_t write)
{
    const timespec times[2] = {{access, 0}, {write, 0}};
    return ::utimensat(AT_FDCWD, QFile::encodeName(path).constData(), times, 0) == 0;
}

QString makeFile(const QTemporaryDir& dir, const QString& name)
{
    const QString path = dir.filePath(name);
    QFile f(path);
    if (!f.open(QIODevice::WriteOnly) || f.write("content") != 7)
        return {};
    return path;
}

} // namespace

class TestHttpDate : public QObject
{
    Q_OBJECT

private slots:
    void readsTheThreeForms_data();
    void readsTheThreeForms();
    void outOfRangeGivesZero_data();
    void outOfRangeGivesZero();
    void otherShapesAreRefused();
    void twoDigitYears();
    void stampsFileKeepingAccessTime();
    void leavesFilesAloneOnBadInput();
};

void TestHttpDate::readsTheThreeForms_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<qint64>("expected");
    const qint64 sunday = fileTimeOf(1994, 11, 6, 8, 49, 37);
    QTest::newRow("RFC 1123") << "Sun, 06 Nov 1994 08:49:37 GMT" << sunday;
    QTest::newRow("RFC 850") << "Sunday, 06-Nov-94 08:49:37 GMT" << sunday;
    QTest::newRow("asctime") << "Sun Nov  6 08:49:37 1994" << sunday;
    QTest::newRow("asctime two-digit day")
        << "Thu Nov 24 23:59:59 2022" << fileTimeOf(2022, 11, 24, 23, 59, 59);
    QTest::newRow("mixed case RFC 850") << "SUNDAY, 06-nOV-94 08:49:37 GMT" << sunday;
    QTest::newRow("lower case asctime") << "sun nov  6 08:49:37 1994" << sunday;
    QTest::newRow("zone word not read") << "Sun, 06 Nov 1994 08:49:37 CET" << sunday;
    QTest::newRow("no zone word") << "Sun, 06 Nov 1994 08:49:37" << sunday;
    QTest::newRow("leap day") << "Thu, 29 Feb 1996 00:00:00 GMT"
                              << fileTimeOf(1996, 2, 29, 0, 0, 0);
    QTest::newRow("first FILETIME second") << "Mon, 01 Jan 1601 00:00:01 GMT" << qint64(10000000);
    QTest::newRow("before 1970") << "Wed, 31 Dec 1969 23:59:59 GMT"
                                 << FileTimes::UnixEpochOffset - 10000000;
    QTest::newRow("far future") << "Fri, 31 Dec 9999 23:59:59 GMT"
                                << fileTimeOf(9999, 12, 31, 23, 59, 59);
}

void TestHttpDate::readsTheThreeForms()
{
    QFETCH(QString, text);
    QFETCH(qint64, expected);
    qint64 fileTime = -1;
    QVERIFY(HttpDateToFileTime(fileTime, text));
    QCOMPARE(fileTime, expected);
}

void TestHttpDate::outOfRangeGivesZero_data()
{
    // Each has one of the three shapes, so it is read (True), but converts to nothing.
    QTest::addColumn<QString>("text");
    QTest::newRow("month 13") << "Sun, 06 Foo 1994 08:49:37 GMT";
    QTest::newRow("hour 24") << "Sun, 06 Nov 1994 24:00:00 GMT";
    QTest::newRow("day 0") << "Sun, 00 Nov 1994 08:49:37 GMT";
    QTest::newRow("Nov 31") << "Sun, 31 Nov 1994 08:49:37 GMT";
    QTest::newRow("Feb 29 non-leap") << "Wed, 29 Feb 1995 08:49:37 GMT";
    QTest::newRow("Feb 29 1900") << "Thu, 29 Feb 1900 08:49:37 GMT";
    QTest::newRow("minute 60") << "Sun, 06 Nov 1994 08:60:37 GMT";
    QTest::newRow("second 60") << "Sun, 06 Nov 1994 08:49:60 GMT";
    QTest::newRow("year before 1601") << "Sun, 06 Nov 1600 08:49:37 GMT";
    QTest::newRow("no digits") << "Sun, xx Nov 1994 08:49:37 GMT";
    QTest::newRow("cut short") << "Sun, 06 Nov";
    QTest::newRow("asctime day 32") << "Sun Nov 32 08:49:37 1994";
    QTest::newRow("asctime huge day") << "Sun Nov 99999999999999999999 08:49:37 1994";
    QTest::newRow("asctime no clock") << "Sun Nov 6";
    QTest::newRow("RFC 850 four-digit year") << "Sunday, 06-Nov-1994 08:49:37 GMT";
    QTest::newRow("RFC 850 no comma") << "Sunday 06-Nov-94 08:49:37 GMT";
    QTest::newRow("non-ASCII digits")
        << QString::fromUtf8("Sunday, 06-Nov-\u0669\u0664 08:49:37 GMT");
}

void TestHttpDate::outOfRangeGivesZero()
{
    QFETCH(QString, text);
    qint64 fileTime = -1;
    QVERIFY(HttpDateToFileTime(fileTime, text));
    QCOMPARE(fileTime, 0);
}

void TestHttpDate::otherShapesAreRefused()
{
    // The first blank decides the form; none, or one before position 4, is no date.
    for (const QString& text :
         {QString(), QStringLiteral("Sun,06-Nov-1994"), QStringLiteral("1994-11-06T08:49:37Z"),
          QStringLiteral(" Sun, 06"), QStringLiteral("Su Nov  6 08:49:37 1994"),
          QStringLiteral("784111777")}) {
        qint64 fileTime = -1;
        QVERIFY2(!HttpDateToFileTime(fileTime, text), qPrintable(text));
        QCOMPARE(fileTime, 0);
    }
}

void TestHttpDate::twoDigitYears()
{
    // RFC 9110 §5.6.7: never more than 50 years ahead, else the previous century.
    QCOMPARE(WidenTwoDigitYear(94, 2026), 1994);
    QCOMPARE(WidenTwoDigitYear(76, 2026), 2076);
    QCOMPARE(WidenTwoDigitYear(77, 2026), 1977);
    QCOMPARE(WidenTwoDigitYear(0, 2099), 2100);
    QCOMPARE(WidenTwoDigitYear(50, 2099), 2050);

    qint64 fileTime = 0;
    QVERIFY(HttpDateToFileTime(fileTime, QStringLiteral("Monday, 01-Jan-01 00:00:00 GMT")));
    QCOMPARE(fileTime, fileTimeOf(2001, 1, 1, 0, 0, 0));
}

void TestHttpDate::stampsFileKeepingAccessTime()
{
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    const QString path = makeFile(dir, QStringLiteral("f\u00e9 name.bin"));
    QVERIFY(!path.isEmpty());
    const time_t access = 1500000000;
    QVERIFY(setTimes(path, access, 1600000000));

    QVERIFY(SetFileDate(path, QStringLiteral("Sun, 06 Nov 1994 08:49:37 GMT")));
    Stamp s = statOf(path);
    QCOMPARE(qint64(s.write.tv_sec), qint64(784111777));
    QCOMPARE(qint64(s.write.tv_nsec), qint64(0));
    QCOMPARE(qint64(s.access.tv_sec), qint64(access));
    QCOMPARE(QFile(path).fileTime(QFileDevice::FileModificationTime).toUTC(),
             QDateTime(QDate(1994, 11, 6), QTime(8, 49, 37), Qt::UTC));

    // Before 1970 the seconds are negative; the rounding must not move the time.
    QVERIFY(SetFileDate(path, QStringLiteral("Wed, 31 Dec 1969 23:59:59 GMT")));
    s = statOf(path);
    QCOMPARE(qint64(s.write.tv_sec), qint64(-1));
    QCOMPARE(qint64(s.write.tv_nsec), qint64(0));
    QCOMPARE(qint64(s.access.tv_sec), qint64(access));
}

void TestHttpDate::leavesFilesAloneOnBadInput()
{
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    const QString path = makeFile(dir, QStringLiteral("kept.bin"));
    QVERIFY(setTimes(path, 1500000000, 1600000000));

    for (const QString& text :
         {QStringLiteral("Sun, 06 Nov 1994 25:49:37 GMT"), QStringLiteral("nonsense"), QString(),
          QStringLiteral("Sun, 31 Nov 1994 08:49:37 GMT")}) {
        QVERIFY2(!SetFileDate(path, text), qPrintable(text));
        const Stamp s = statOf(path);
        QCOMPARE(qint64(s.write.tv_sec), qint64(1600000000));
        QCOMPARE(qint64(s.access.tv_sec), qint64(1500000000));
    }

    // A missing file is not created, and neither is a missing folder.
    const QString missing = dir.filePath(QStringLiteral("sub/missing.bin"));
    QVERIFY(!SetFileDate(missing, QStringLiteral("Sun, 06 Nov 1994 08:49:37 GMT")));
    QVERIFY(!QFile::exists(missing));
    QVERIFY(!QFile::exists(dir.filePath(QStringLiteral("sub"))));
    QVERIFY(!SetFileDate(QString(), QStringLiteral("Sun, 06 Nov 1994 08:49:37 GMT")));
}

QTEST_GUILESS_MAIN(TestHttpDate)
#include "test_httpdate.moc"
