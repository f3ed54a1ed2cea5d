// SPDX-License-Identifier: GPL-3.0-or-later
#include <QProcess>
#include <QTest>

class TestCliSmoke : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void versionPrintsVersion()
    {
        QProcess cli;
        cli.start(QStringLiteral(HARVEX_CLI_PATH), {QStringLiteral("--version")});
        QVERIFY(cli.waitForFinished(10000));
        QCOMPARE(cli.exitStatus(), QProcess::NormalExit);
        QCOMPARE(cli.exitCode(), 0);
        QCOMPARE(cli.readAllStandardOutput(), QByteArray("1.06\n"));
    }
};

QTEST_GUILESS_MAIN(TestCliSmoke)
#include "test_cli_smoke.moc"
