// SPDX-License-Identifier: GPL-3.0-or-later
#include <QProcess>
#include <QTest>

class TestWindowSmoke : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void programStartsAndQuitsOnTerminate()
    {
        QProcess program;
        program.start(QStringLiteral(HARVEX_GUI_PATH), {});
        QVERIFY(program.waitForStarted(10000));
        QVERIFY(!program.waitForFinished(1500)); // stays open
        program.terminate();
        QVERIFY(program.waitForFinished(10000));
    }
};

QTEST_MAIN(TestWindowSmoke)
#include "test_window_smoke.moc"
