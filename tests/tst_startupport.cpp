#include "app/mainwindow.h"

#include <QComboBox>
#include <QProcess>
#include <QtTest>

class StartupPortTest : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void usePort_data();
    void usePort();
    void commandLine_data();
    void commandLine();
};

void StartupPortTest::usePort_data()
{
    QTest::addColumn<QStringList>("listedBefore");
    QTest::addColumn<QString>("device");
    QTest::addColumn<QString>("selected");
    QTest::addColumn<int>("added");

    QTest::newRow("new device is added and selected")
        << QStringList{"/dev/ttyS0 ", "/dev/ttyS1 "} << "/dev/pts/7"
        << "/dev/pts/7" << 1;
    QTest::newRow("already listed is selected, not doubled")
        << QStringList{"/dev/pts/7", "/dev/ttyS0 "} << "/dev/pts/7"
        << "/dev/pts/7" << 0;
    QTest::newRow("surrounding blanks are dropped") << QStringList{} << "  /dev/pts/3\n"
                                                    << "/dev/pts/3" << 1;
    QTest::newRow("empty boxes") << QStringList{} << "/dev/ttyUSB0"
                                 << "/dev/ttyUSB0" << 1;
    QTest::newRow("blank name changes nothing") << QStringList{"/dev/ttyS0 "} << "   "
                                                << "/dev/ttyS0 " << 0;
}

void StartupPortTest::usePort()
{
    QFETCH(QStringList, listedBefore);
    QFETCH(QString, device);
    QFETCH(QString, selected);
    QFETCH(int, added);

    MainWindow window;
    auto *comboPort = window.findChild<QComboBox *>(QStringLiteral("comboPort"));
    auto *comboPortPID = window.findChild<QComboBox *>(QStringLiteral("comboPortPID"));
    QVERIFY(comboPort && comboPortPID);
    for (QComboBox *box : {comboPort, comboPortPID}) {
        box->clear();
        box->addItems(listedBefore);
    }

    window.usePort(device);
    for (QComboBox *box : {comboPort, comboPortPID}) {
        QCOMPARE(box->count(), listedBefore.size() + added);
        QCOMPARE(box->currentText(), selected);
    }
}

void StartupPortTest::commandLine_data()
{
    QTest::addColumn<QStringList>("args");
    QTest::addColumn<int>("exitCode");
    QTest::addColumn<QString>("output");

    QTest::newRow("help names the option") << QStringList{"--help"} << 0 << "--port <device>";
    QTest::newRow("port without a device") << QStringList{"--port"} << 1 << "port";
    QTest::newRow("unknown option") << QStringList{"--bogus"} << 1 << "bogus";
}

void StartupPortTest::commandLine()
{
    QFETCH(QStringList, args);
    QFETCH(int, exitCode);
    QFETCH(QString, output);

    // Only runs that end by themselves: a good --port opens the window and waits for the user.
    QProcess app;
    app.start(QStringLiteral(TAVRINO_APP), args);
    QVERIFY(app.waitForFinished(30000));
    QCOMPARE(app.exitCode(), exitCode);
    const QString text =
        QString::fromLocal8Bit(app.readAllStandardOutput() + app.readAllStandardError());
    QVERIFY2(text.contains(output), qPrintable(text));
}

QTEST_MAIN(StartupPortTest)
#include "tst_startupport.moc"
