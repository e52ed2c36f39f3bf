// The window as it stands right after construction: every widget's start state, the menus,
// and that building it runs no slot and leaves no by-name slot unconnected.
#include "app/mainwindow.h"
#include "chart/pid_diagram.h"

#include <QAbstractButton>
#include <QComboBox>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QMetaMethod>
#include <QScrollBar>
#include <QSerialPort>
#include <QStatusBar>
#include <QTabWidget>
#include <QTextEdit>
#include <QtCharts/QChartView>
#include <QtCharts/QXYSeries>
#include <QtTest>

namespace {
QStringList capturedWarnings;
QtMessageHandler previous = nullptr;

void captureWarnings(QtMsgType type, const QMessageLogContext &context, const QString &message)
{
    if (type == QtWarningMsg)
        capturedWarnings << message;
    if (previous)
        previous(type, context, message);
}

QStringList comboItems(const QComboBox *box)
{
    QStringList items;
    for (int i = 0; i < box->count(); ++i)
        items << box->itemText(i);
    return items;
}
} // namespace

class TestMainWindow : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase();
    void init();
    void cleanup();
    void startState_data();
    void startState();
    void comboBoxes_data();
    void comboBoxes();
    void windowAndMenus();
    void constructionRunsNoSlot();
    void slotTableOrder();
    void chartIsEmptyWithAxesAndLegend();

private:
    MainWindow *window = nullptr;
};

void TestMainWindow::initTestCase()
{
    Q_INIT_RESOURCE(resources);
}

void TestMainWindow::init()
{
    capturedWarnings.clear();
    previous = qInstallMessageHandler(captureWarnings);
    window = new MainWindow;
    qInstallMessageHandler(previous);
}

void TestMainWindow::cleanup()
{
    delete window;
    window = nullptr;
}

void TestMainWindow::startState_data()
{
    QTest::addColumn<QString>("object");
    QTest::addColumn<QByteArray>("property");
    QTest::addColumn<QVariant>("expected");

    const auto row = [](const char *object, const char *property, const QVariant &value) {
        QTest::addRow("%s.%s", object, property)
            << QString::fromLatin1(object) << QByteArray(property) << value;
    };
    row("tabSwitch", "currentIndex", 1);
    row("buttonScan", "text", QStringLiteral(" 扫描"));
    row("buttonScanPID", "text", QStringLiteral(" 扫描"));
    row("checkStringMode", "text", QStringLiteral(" 字符串模式接收数据"));
    row("checkNewline", "text", QStringLiteral("发送新行(\\r\\n)"));
    row("buttonOpenport", "text", QStringLiteral("打开串口"));
    row("buttonOpenportPID", "text", QStringLiteral("打开串口"));
    row("buttonStart", "text", QStringLiteral("开始"));
    row("buttonPause", "text", QStringLiteral("暂停"));
    row("checkSwitch", "text", QString());
    row("radioCH1", "text", QString());
    row("radioCH4", "text", QString());
    row("buttonSelectfile", "enabled", false);
    row("buttonSendData", "enabled", false);
    row("checkAutoSend", "enabled", false);
    row("buttonStart", "enabled", false);
    row("buttonPause", "enabled", false);
    row("buttonScan", "enabled", true);
    row("buttonExport", "enabled", true);
    row("buttonInport", "enabled", true);
    row("checkStringMode", "enabled", true);
    row("editP", "text", QStringLiteral("1.0"));
    row("editI", "text", QStringLiteral("0"));
    row("editD", "text", QStringLiteral("0"));
    row("editTarget", "text", QStringLiteral("0"));
    row("editActual", "text", QStringLiteral("0"));
    row("textTime", "plainText", QStringLiteral("1000"));
    row("textRecvOutput", "plainText", QString());
    row("hScrollBar", "minimum", 1);
    row("hScrollBar", "maximum", 1000);
    row("vScrollBar", "minimum", 1);
    row("vScrollBar", "maximum", 1000);
    row("hScrollBar", "orientation", int(Qt::Horizontal));
    row("vScrollBar", "orientation", int(Qt::Vertical));
    row("checkCH1", "checked", true);
    row("checkCH2", "checked", true);
    row("checkCH3", "checked", true);
    row("checkCH4", "checked", true);
    row("radioCH1", "checked", true);
    row("radioCH2", "checked", false);
    row("checkAuto", "checked", false);
    row("checkLogmode", "checked", false);
    row("checkAutoSend", "checked", false);
    row("radioRecvOptASCII", "checked", true);
    row("radioRecvOptHEX", "checked", false);
    row("radioSendOptASCII", "checked", true);
    row("radioSendOptHEX", "checked", false);
    row("labelPath", "text", QString());
    row("groupRecv", "title", QStringLiteral("接收数据"));
    row("groupImage", "title", QStringLiteral("图像"));
    row("labelTraget", "text", QStringLiteral("目标"));
    row("labelTime", "text", QStringLiteral("ms发送一次"));
}

void TestMainWindow::startState()
{
    QFETCH(QString, object);
    QFETCH(QByteArray, property);
    QFETCH(QVariant, expected);

    QObject *target = window->findChild<QObject *>(object);
    QVERIFY2(target, qPrintable(object));
    QVariant actual = target->property(property.constData());
    QVERIFY2(actual.isValid(), property.constData());
    if (property == "orientation")
        actual = actual.toInt();
    QCOMPARE(actual, expected);
}

void TestMainWindow::comboBoxes_data()
{
    QTest::addColumn<QString>("object");
    QTest::addColumn<QStringList>("items");
    QTest::addColumn<QString>("currentText");
    QTest::addColumn<int>("currentIndex");
    QTest::addColumn<bool>("editable");

    const QStringList rates{"2400", "4800", "9600", "19200", "38400", "57600", "115200", "128000"};
    // The rate boxes show "115200" as edit text while their index stays at the first item.
    QTest::newRow("comboBaudrate") << "comboBaudrate" << rates << "115200" << 0 << true;
    QTest::newRow("comboBaudratePID") << "comboBaudratePID" << rates << "115200" << 0 << true;
    QTest::newRow("comboDatabit") << "comboDatabit" << QStringList{"8", "7"} << "8" << 0 << false;
    QTest::newRow("comboDatabitPID")
        << "comboDatabitPID" << QStringList{"8", "7"} << "8" << 0 << false;
    QTest::newRow("comboStopbit") << "comboStopbit" << QStringList{"1", "2"} << "1" << 0 << false;
    QTest::newRow("comboStopbitPID")
        << "comboStopbitPID" << QStringList{"1", "2"} << "1" << 0 << false;
    const QStringList parities{QStringLiteral("无"), QStringLiteral("偶"), QStringLiteral("奇")};
    QTest::newRow("comboCheckbit")
        << "comboCheckbit" << parities << QStringLiteral("无") << 0 << false;
    QTest::newRow("comboCheckbitPID")
        << "comboCheckbitPID" << parities << QStringLiteral("无") << 0 << false;
}

void TestMainWindow::comboBoxes()
{
    QFETCH(QString, object);
    QFETCH(QStringList, items);
    QFETCH(QString, currentText);
    QFETCH(int, currentIndex);
    QFETCH(bool, editable);

    auto *box = window->findChild<QComboBox *>(object);
    QVERIFY(box);
    QCOMPARE(comboItems(box), items);
    QCOMPARE(box->currentText(), currentText);
    QCOMPARE(box->currentIndex(), currentIndex);
    QCOMPARE(box->isEditable(), editable);
}

void TestMainWindow::windowAndMenus()
{
    QCOMPARE(window->windowTitle(), QStringLiteral("Tavrino串口PID调试助手"));
    QCOMPARE(window->objectName(), QStringLiteral("MainWindow"));
    QVERIFY(!window->windowIcon().isNull());
    QVERIFY(window->windowIcon().availableSizes().contains(QSize(64, 64)));
    QCOMPARE(window->statusBar()->currentMessage(), QStringLiteral("欢迎使用TavrinoPID调试助手！"));

    // Both port boxes hold the same scan.
    auto *ports = window->findChild<QComboBox *>("comboPort");
    auto *portsPID = window->findChild<QComboBox *>("comboPortPID");
    QCOMPARE(comboItems(ports), comboItems(portsPID));

    const QList<QAction *> menus = window->menuBar()->actions();
    QCOMPARE(menus.size(), 2);
    QCOMPARE(menus.at(0)->text(), QStringLiteral("帮助"));
    QCOMPARE(menus.at(1)->text(), QStringLiteral("关于"));
    const QList<QAction *> help = menus.at(0)->menu()->actions();
    QCOMPARE(help.size(), 2);
    QCOMPARE(help.at(0)->text(), QStringLiteral("协议详解"));
    QCOMPARE(help.at(1)->text(), QStringLiteral("教程"));
    const QList<QAction *> about = menus.at(1)->menu()->actions();
    QCOMPARE(about.size(), 1);
    QCOMPARE(about.at(0)->text(), QStringLiteral("Tavrino"));

    QVERIFY(window->serialPort());
    QVERIFY(!window->serialPort()->isOpen());
    QVERIFY(window->serialPort()->portName().isEmpty());
}

void TestMainWindow::constructionRunsNoSlot()
{
    // A slot would have replaced the welcome message or touched the chart.
    QCOMPARE(window->statusBar()->currentMessage(), QStringLiteral("欢迎使用TavrinoPID调试助手！"));
    QVERIFY(!window->pidDiagram()->isRefreshing());
    for (int c = 0; c < PID_Diagram::ChannelCount; ++c)
        QVERIFY(window->pidDiagram()->channelShown(c));
    // Every by-name slot found its widget and signal.
    for (const QString &warning : qAsConst(capturedWarnings))
        QVERIFY2(!warning.contains(QLatin1String("connectSlotsByName")), qPrintable(warning));
}

void TestMainWindow::slotTableOrder()
{
    const QStringList expected{"on_timer_timeout1()",
                               "on_buttonOpenport_clicked()",
                               "on_buttonSelectfile_clicked()",
                               "on_buttonSendData_clicked()",
                               "on_pushRecvclear_clicked()",
                               "on_pushSaveAs_clicked()",
                               "on_readData()",
                               "on_readDataPID()",
                               "on_buttonScan_clicked()",
                               "on_radioRecvOptASCII_clicked(bool)",
                               "on_radioRecvOptHEX_clicked(bool)",
                               "on_checkLogmode_clicked(bool)",
                               "on_checkNewline_clicked(bool)",
                               "on_checkAutoSend_clicked(bool)",
                               "on_radioSendOptASCII_clicked(bool)",
                               "on_radioSendOptHEX_clicked(bool)",
                               "on_buttonStart_clicked()",
                               "on_buttonOpenportPID_clicked()",
                               "on_tabSwitch_currentChanged(int)",
                               "on_buttonScanPID_clicked()",
                               "on_vScrollBar_sliderMoved(int)",
                               "on_buttonClear_clicked()",
                               "on_hScrollBar_sliderMoved(int)",
                               "on_checkSwitch_stateChanged(int)",
                               "on_buttonPRead_clicked()",
                               "on_buttonPWrite_clicked()",
                               "on_buttonIRead_clicked()",
                               "on_buttonInport_clicked()",
                               "on_checkAuto_stateChanged(int)",
                               "on_buttonIWrite_clicked()",
                               "on_buttonDRead_clicked()",
                               "on_buttonDWrite_clicked()",
                               "on_buttonTRead_clicked()",
                               "on_buttonTWrite_clicked()",
                               "on_buttonARead_clicked()",
                               "on_buttonExport_clicked()",
                               "on_buttonPause_clicked()",
                               "on_checkCH3_clicked(bool)",
                               "on_checkCH1_clicked(bool)",
                               "on_radioCH1_clicked(bool)",
                               "on_checkCH2_clicked(bool)",
                               "on_radioCH2_clicked(bool)",
                               "on_radioCH3_clicked(bool)",
                               "on_checkCH4_clicked(bool)",
                               "on_radioCH4_clicked(bool)",
                               "on_checkStringMode_clicked(bool)",
                               "On_ActionAbout()",
                               "On_ActionHTML()",
                               "On_ActionURL()"};
    const QMetaObject *meta = window->metaObject();
    QStringList slotNames;
    for (int i = meta->methodOffset(); i < meta->methodCount(); ++i) {
        const QMetaMethod method = meta->method(i);
        if (method.methodType() == QMetaMethod::Slot)
            slotNames << QString::fromLatin1(method.methodSignature());
    }
    QCOMPARE(slotNames, expected);
}

void TestMainWindow::chartIsEmptyWithAxesAndLegend()
{
    auto *view = window->findChild<QtCharts::QChartView *>("graphicsView");
    QVERIFY(view);
    QCOMPARE(view->chart(), window->pidDiagram()->chartItem());
    QCOMPARE(view->chart()->series().size(), PID_Diagram::SeriesCount);
    for (auto *series : view->chart()->series())
        QCOMPARE(static_cast<QtCharts::QXYSeries *>(series)->count(), 0);
}

QTEST_MAIN(TestMainWindow)
#include "tst_mainwindow.moc"
