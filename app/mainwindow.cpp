#include "app/mainwindow.h"

#include "assistant/linewriter.h"
#include "assistant/receivelog.h"
#include "chart/pid_diagram.h"
#include "datafiles/recentfolders.h"
#include "forms/mainwindow_ui.h"
#include "pidlink/linkhealthlabel.h"
#include "pidlink/pidlink.h"
#include "serial/portcontroller.h"
#include "serial/portsettings.h"

#include <QAction>
#include <QIcon>
#include <QMenu>
#include <QMenuBar>
#include <QMetaMethod>
#include <QSerialPort>
#include <QStatusBar>
#include <QTimer>

namespace {
const char *const baudRates[] = {"2400",  "4800",  "9600",   "19200",
                                 "38400", "57600", "115200", "128000"};
} // namespace

MainWindow::MainWindow(QWidget *parent) : QMainWindow(parent)
{
    ui = new Ui_MainWindow;
    serial.port = new QSerialPort(nullptr);

    ui->setupUi(this);
    connectWidgets();
    // The response analysis is opened from the menu; the window starts as the form lays it out.
    ui->dockAnalysis->hide();
    setWindowIcon(QIcon(QStringLiteral(":/tavrino.ico")));
    setWindowTitle(tr("Tavrino串口PID调试助手"));
    statusBar()->showMessage(tr("欢迎使用TavrinoPID调试助手！"), 0);

    const QStringList portEntries = serial.scanPorts();
    for (const QString &entry : portEntries) {
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
    const QStringList parities{PortSettings::parityText(PortSettings::Parity::None),
                               PortSettings::parityText(PortSettings::Parity::Even),
                               PortSettings::parityText(PortSettings::Parity::Odd)};
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
    receiveBox = new ReceiveLog(ui->textRecvOutput, this);
    writer = new LineWriter(this);
    link = new PidLink(this);
    ports = new PortController(serial.port, this);
    linkHealth = new LinkHealthLabel(link, this);
    folders = new RecentFolders(this);
    statusBar()->addPermanentWidget(linkHealth);

    // What the PID link reports goes to the chart and the status bar; its parameter traffic
    // goes through the parameter fields' own object (wireParameters).
    link->setDevice(serial.port);
    connect(link, &PidLink::sampleReceived, diagram, &PID_Diagram::append);
    connect(link, &PidLink::runChanged, this, &MainWindow::showRun);
    connect(link, &PidLink::runStatus, this,
            [this](const QString &message) { statusBar()->showMessage(message, 0); });
    connect(link, &PidLink::linkError, this,
            [this](const QString &message) { statusBar()->showMessage(message, 0); });

    // The assistant's sends count as sent once the driver has them.
    connect(writer, &LineWriter::sent, this,
            [this] { statusBar()->showMessage(tr("发送成功！"), 0); });
    connect(writer, &LineWriter::fileProgress, this, &MainWindow::showFileProgress);
    connect(writer, &LineWriter::fileFinished, this,
            [this](LineWriter::FileOutcome outcome, qint64 done) {
                showFileFinished(int(outcome), done);
            });

    // Opening and closing the port, and what that means for each tab's features.
    using Ports = PortController;
    connect(ports, &Ports::openFailed, this, [this](int, const QString &reason) {
        statusBar()->showMessage(tr("打开失败！%1").arg(reason), 0);
    });
    connect(ports, &Ports::settingsRefused, this, [this](int, const QString &reason) {
        statusBar()->showMessage(tr("打开失败！%1").arg(reason), 0);
    });
    connect(ports, &Ports::opened, this, [this](int tab) {
        showPortState(tab, true);
        if (tab == Ports::Assistant) {
            // A character left incomplete by the previous session would never be completed.
            receiveBox->reset();
            writer->attach(serial.port, serial.port->baudRate());
        } else {
            // Each opening of the port starts its own count.
            link->resetHealth();
            linkHealth->setWatching(true);
        }
    });

    // A close, in this order: the tab's widgets; auto-send off and what waits to be sent
    // dropped (a file being sent ends); the link's label hidden and the run ended (no frame:
    // the port is closed); after a failure the half frame or line of the lost line dropped,
    // then the message.
    connect(ports, &Ports::closed, this, [this](int tab) { showPortState(tab, false); });
    connect(ports, &Ports::closed, this, [this](int tab) {
        if (tab == Ports::Assistant) {
            stopAutoSend();
            writer->detach();
        }
    });
    connect(ports, &Ports::closed, this, [this](int tab, int reason) {
        if (tab != Ports::Pid)
            return;
        linkHealth->setWatching(false);
        link->portClosed();
        if (reason == Ports::PortFailure)
            link->forgetLine();
    });
    connect(ports, &Ports::closed, this, [this](int, int reason) {
        if (reason == Ports::PortFailure)
            statusBar()->showMessage(tr("串口已断开"), 0);
        else if (reason == Ports::TabSwitch)
            statusBar()->showMessage(tr("已关闭串口（已切换标签页）"), 0);
    });

    wireParameters();
    wireChart();

    menuHelp = new QMenu(tr("帮助"), this);
    menuAbout = new QMenu(tr("关于"), this);
    actionAbout = new QAction(QStringLiteral("Tavrino"), this);
    actionHTML = new QAction(tr("协议详解"), this);
    actionURL = new QAction(tr("教程"), this);
    menuAbout->addAction(actionAbout);
    menuHelp->addAction(actionHTML);
    menuHelp->addAction(actionURL);
    menuBar()->addMenu(menuHelp);
    menuBar()->addMenu(menuAbout);
    // The tools menu comes after 帮助 and 关于, so those two keep their places.
    menuTools = new QMenu(tr("工具"), this);
    menuTools->setObjectName(QStringLiteral("menuTools"));
    menuBar()->addMenu(menuTools);
    connect(actionAbout, &QAction::triggered, this, &MainWindow::On_ActionAbout);
    connect(actionHTML, &QAction::triggered, this, &MainWindow::On_ActionHTML);
    connect(actionURL, &QAction::triggered, this, &MainWindow::On_ActionURL);

    // After the menu bar: the raw capture's action goes into the tools menu.
    wireHistory();
    wireAnalysis(); // after the menus: its action goes into 工具
    wireTuning();   // after the analysis: it reads the analysis' windows
}

MainWindow::~MainWindow()
{
    delete autoSendTimer;
    delete diagram;
    delete serial.port;
    delete ui;
}

// What setupUi would connect by name: every on_<widget>_<signal> slot to that widget's signal.
// The form is built without it because on_timer_timeout1 names no widget (it is connected to
// the auto-send timer while that exists), which Qt's by-name connection warns about.
void MainWindow::connectWidgets()
{
    const QMetaObject *mo = metaObject();
    for (int i = mo->methodOffset(); i < mo->methodCount(); ++i) {
        const QMetaMethod slot = mo->method(i);
        const QByteArray name = slot.name();
        const int split = name.indexOf('_', 3);
        if (!name.startsWith("on_") || split < 0)
            continue;
        QObject *widget = findChild<QObject *>(QString::fromLatin1(name.mid(3, split - 3)));
        if (!widget)
            continue;
        const QByteArray signal = name.mid(split + 1) + '(' + slot.parameterTypes().join(',') + ')';
        const int index = widget->metaObject()->indexOfSignal(signal.constData());
        if (index >= 0)
            connect(widget, widget->metaObject()->method(index), this, slot);
    }
}

const FrameReceiver::Health &MainWindow::pidFrameHealth() const
{
    return link->frameHealth();
}

const SampleLineSplitter::Health &MainWindow::pidLineHealth() const
{
    return link->lineHealth();
}
