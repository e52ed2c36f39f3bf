#include "app/mainwindow.h"

#include "chart/pid_diagram.h"
#include "forms/mainwindow_ui.h"

#include <QAction>
#include <QIcon>
#include <QMenu>
#include <QMenuBar>
#include <QSerialPort>
#include <QStatusBar>
#include <QTimer>

namespace {
const char *const baudRates[] = {"2400",  "4800",  "9600",   "19200",
                                 "38400", "57600", "115200", "128000"};

QtMessageHandler previousHandler = nullptr;

// on_timer_timeout1 looks like a by-name slot but is connected by hand to the auto-send timer,
// which does not exist while the form connects its slots; keep that one false alarm quiet.
void quietAutoSendSlotWarning(QtMsgType type, const QMessageLogContext &context,
                              const QString &message)
{
    if (type == QtWarningMsg && message.contains(QLatin1String("on_timer_timeout1")))
        return;
    if (previousHandler)
        previousHandler(type, context, message);
}
} // namespace

MainWindow::MainWindow(QWidget *parent) : QMainWindow(parent)
{
    ui = new Ui_MainWindow;
    serial.port = new QSerialPort(nullptr);

    previousHandler = qInstallMessageHandler(quietAutoSendSlotWarning);
    ui->setupUi(this);
    qInstallMessageHandler(previousHandler);
    setWindowIcon(QIcon(QStringLiteral(":/tavrino.ico")));
    setWindowTitle(QStringLiteral("Tavrino串口PID调试助手"));
    statusBar()->showMessage(QStringLiteral("欢迎使用TavrinoPID调试助手！"), 0);

    const QStringList ports = serial.scanPorts();
    for (const QString &entry : ports) {
        ui->comboPort->addItem(entry);
        ui->comboPortPID->addItem(entry);
    }
    for (const char *rate : baudRates) {
        ui->comboBaudrate->addItem(QLatin1String(rate));
        ui->comboBaudratePID->addItem(QLatin1String(rate));
    }
    ui->comboBaudrate->setCurrentText(QStringLiteral("115200"));
    ui->comboBaudratePID->setCurrentText(QStringLiteral("115200"));
    ui->comboDatabit->addItems({QStringLiteral("8"), QStringLiteral("7")});
    ui->comboDatabitPID->addItems({QStringLiteral("8"), QStringLiteral("7")});
    ui->comboStopbit->addItems({QStringLiteral("1"), QStringLiteral("2")});
    ui->comboStopbitPID->addItems({QStringLiteral("1"), QStringLiteral("2")});
    const QStringList parities{QStringLiteral("无"), QStringLiteral("偶"), QStringLiteral("奇")};
    ui->comboCheckbit->addItems(parities);
    ui->comboCheckbitPID->addItems(parities);

    ui->buttonSelectfile->setDisabled(true);
    ui->buttonSendData->setDisabled(true);
    ui->checkAutoSend->setDisabled(true);
    ui->buttonStart->setDisabled(true);
    ui->buttonPause->setDisabled(true);

    ui->editP->setText(QStringLiteral("1.0"));
    ui->editI->setText(QStringLiteral("0"));
    ui->editD->setText(QStringLiteral("0"));
    ui->editTarget->setText(QStringLiteral("0"));
    ui->editActual->setText(QStringLiteral("0"));
    ui->textTime->setText(QStringLiteral("1000"));

    ui->vScrollBar->setRange(1, 1000);
    ui->hScrollBar->setRange(1, 1000);

    ui->checkCH1->setChecked(true);
    ui->radioCH1->setChecked(true);
    ui->checkCH2->setChecked(true);
    ui->checkCH3->setChecked(true);
    ui->checkCH4->setChecked(true);

    diagram = new PID_Diagram(ui->graphicsView);

    menuHelp = new QMenu(QStringLiteral("帮助"), this);
    menuAbout = new QMenu(QStringLiteral("关于"), this);
    actionAbout = new QAction(QStringLiteral("Tavrino"), this);
    actionHTML = new QAction(QStringLiteral("协议详解"), this);
    actionURL = new QAction(QStringLiteral("教程"), this);
    menuAbout->addAction(actionAbout);
    menuHelp->addAction(actionHTML);
    menuHelp->addAction(actionURL);
    menuBar()->addMenu(menuHelp);
    menuBar()->addMenu(menuAbout);
    connect(actionAbout, &QAction::triggered, this, &MainWindow::On_ActionAbout);
    connect(actionHTML, &QAction::triggered, this, &MainWindow::On_ActionHTML);
    connect(actionURL, &QAction::triggered, this, &MainWindow::On_ActionURL);
}

MainWindow::~MainWindow()
{
    delete autoSendTimer;
    delete diagram;
    delete serial.port;
    delete ui;
}
