#include "app/mainwindow.h"

#include <QComboBox>
#include <QtTest>

class StartupPortTest : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void usePort_data();
    void usePort();
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

QTEST_MAIN(StartupPortTest)
#include "tst_startupport.moc"
