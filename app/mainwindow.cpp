#include "app/mainwindow.h"

#include "app/stickystatus.h"
#include "assistant/assistanttab.h"
#include "chart/analysisdock.h"
#include "chart/chartbindings.h"
#include "chart/chartcontrols.h"
#include "chart/pid_diagram.h"
#include "datafiles/chartfiles.h"
#include "datafiles/recentfolders.h"
#include "datafiles/sessioncontrols.h"
#include "datafiles/sessionfiles.h"
#include "forms/mainwindow_ui.h"
#include "pidlink/linkhealthlabel.h"
#include "pidlink/pidlink.h"
#include "pidlink/pidtab.h"
#include "serial/portboxes.h"
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

    ui->checkCH1->setChecked(true);
    ui->radioCH1->setChecked(true);
    ui->checkCH2->setChecked(true);
    ui->checkCH3->setChecked(true);
    ui->checkCH4->setChecked(true);

    diagram = new PID_Diagram(ui->graphicsView);
    link = new PidLink(this);
    ports = new PortController(serial.port, this);
    auto *linkHealth = new LinkHealthLabel(link, this);
    folders = new RecentFolders(this);
    const auto showMessage = [this](const QString &text) { statusBar()->showMessage(text, 0); };
    // Before the window's own wiring of the port: a tab hears a close before the status bar
    // says why.
    portBoxes = new PortBoxes(ports, ui->comboPort, ui->comboPortPID, this);
    connect(ui->tabSwitch, &QTabWidget::currentChanged, portBoxes,
            &PortBoxes::on_tabSwitch_currentChanged);
    connect(portBoxes, &PortBoxes::message, this, showMessage);
    assistant = new AssistantTab(
        {ui->comboPort,         ui->comboBaudrate,   ui->comboDatabit,  ui->comboCheckbit,
         ui->comboStopbit,      ui->buttonOpenport,  ui->buttonScan,    ui->textRecvOutput,
         ui->radioRecvOptASCII, ui->radioRecvOptHEX, ui->checkLogmode,  ui->pushRecvclear,
         ui->pushSaveAs,        ui->textSendInput,   ui->textTime,      ui->radioSendOptASCII,
         ui->radioSendOptHEX,   ui->checkNewline,    ui->checkAutoSend, ui->buttonSelectfile,
         ui->buttonSendData,    ui->labelPath},
        ports, portBoxes, folders, this);
    connect(assistant, &AssistantTab::message, this, showMessage);
    statusBar()->addPermanentWidget(linkHealth);

    auto *chartControls =
        new ChartControls({ui->buttonPause,
                           ui->buttonClear,
                           ui->hScrollBar,
                           ui->vScrollBar,
                           ui->checkSwitch,
                           ui->checkAuto,
                           {ui->checkCH1, ui->checkCH2, ui->checkCH3, ui->checkCH4}},
                          diagram, this);
    connect(chartControls, &ChartControls::message, this, showMessage);

    // What the PID link reports goes to the chart, and through the PID tab to its widgets and
    // the status bar; a run redraws the chart.
    link->setDevice(serial.port);
    connect(link, &PidLink::samplesReceived, diagram, &PID_Diagram::appendSamples);
    connect(link, &PidLink::runChanged, diagram, [this](bool active) {
        if (active)
            diagram->startRefresh(20);
        else
            diagram->stopRefresh();
    });
    PidTab::Widgets pid{ui->buttonOpenportPID,
                        ui->buttonScanPID,
                        ui->comboPortPID,
                        ui->comboBaudratePID,
                        ui->comboDatabitPID,
                        ui->comboCheckbitPID,
                        ui->comboStopbitPID,
                        ui->buttonStart,
                        ui->checkStringMode,
                        ui->buttonPRead,
                        ui->buttonPWrite,
                        ui->buttonIRead,
                        ui->buttonIWrite,
                        ui->buttonDRead,
                        ui->buttonDWrite,
                        ui->buttonTRead,
                        ui->buttonTWrite,
                        ui->buttonARead,
                        {ui->radioCH1, ui->radioCH2, ui->radioCH3, ui->radioCH4},
                        {ui->editP, ui->editI, ui->editD, ui->editTarget, ui->editActual},
                        ui->checkVerifyWrite,
                        ui->buttonPause,
                        ui->buttonExport,
                        ui->buttonInport,
                        linkHealth};
    pidTab = new PidTab(pid, link, ports, this);
    connect(pidTab, &PidTab::message, this, showMessage);
    pidTab->setPortBoxes({[this](QComboBox *box) { portBoxes->refill(box); },
                          [this](const QString &entry, const PortSettings &settings) {
                              portBoxes->open(PortController::Pid, entry, settings);
                          }});

    // Opening and closing the port, and what that means for each tab's features.
    using Ports = PortController;
    connect(ports, &Ports::openFailed, this, [this](int, const QString &reason) {
        statusBar()->showMessage(tr("打开失败！%1").arg(reason), 0);
    });
    connect(ports, &Ports::settingsRefused, this, [this](int, const QString &reason) {
        statusBar()->showMessage(tr("打开失败！%1").arg(reason), 0);
    });
    // A close, in this order: the tabs' own parts and widgets (AssistantTab, PidTab); then
    // the message.
    connect(ports, &Ports::closed, this, [this](int, int reason) {
        if (reason == Ports::PortFailure)
            statusBar()->showMessage(tr("串口已断开"), 0);
        else if (reason == Ports::TabSwitch)
            statusBar()->showMessage(tr("已关闭串口（已切换标签页）"), 0);
    });

    chartInteraction = (new ChartBindings({{ui->checkCH1, ui->checkCH2, ui->checkCH3, ui->checkCH4},
                                           ui->checkCompare,
                                           ui->checkTimeInSeconds,
                                           ui->buttonPause,
                                           ui->buttonExport,
                                           ui->buttonInport,
                                           ui->buttonClear,
                                           ui->buttonStart,
                                           ui->tabPID},
                                          diagram, this))
                           ->interaction();

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

    // After the menu bar: the raw capture's and the analysis' actions go into 工具.
    auto *sessionControls =
        new SessionControls({ui->comboHistory, ui->buttonRecord, menuTools, statusBar(), this},
                            diagram, link, ports, folders);
    connect(sessionControls, &SessionControls::message, this, showMessage);
    sessions = sessionControls->sessionFiles();
    connect(sessions, &SessionFiles::message, this, showMessage);
    // Failures stay in view over the routine messages that follow.
    connect(sessions, &SessionFiles::failure, new StickyStatus(statusBar()), &StickyStatus::hold);
    analysisDock = new AnalysisDock({this,
                                     ui->dockAnalysis,
                                     ui->gridAnalysis,
                                     ui->tableStepResponse,
                                     ui->tableRuns,
                                     {ui->radioCH1, ui->radioCH2, ui->radioCH3, ui->radioCH4},
                                     ui->comboRunsChannel,
                                     ui->comboRunsUnit,
                                     ui->buttonExportRuns,
                                     ui->buttonClearRuns,
                                     ui->tabSwitch,
                                     ui->tabPID,
                                     menuTools},
                                    diagram, link, ports);
    connect(analysisDock, &AnalysisDock::message, this, showMessage);
    analysis = analysisDock->analysis();
    wireTuning(); // after the analysis: it reads the analysis' windows

    auto *chartFiles =
        new ChartFiles(diagram, analysis, folders, ui->buttonExport, ui->buttonInport, this);
    connect(chartFiles, &ChartFiles::message, this, showMessage);
}

MainWindow::~MainWindow()
{
    delete diagram;
    delete serial.port;
    delete ui;
}

// What setupUi would connect by name: every on_<widget>_<signal> slot to that widget's signal.
// The form is built without it: Qt's by-name connection warns about every on_ slot that names
// no widget.
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

ReceiveLog *MainWindow::receiveLog() const
{
    return assistant->receiveLog();
}

void MainWindow::usePort(const QString &device)
{
    portBoxes->usePort(device);
}

bool MainWindow::startPidRun(QString *reason)
{
    ui->tabSwitch->setCurrentWidget(ui->tabPID);
    return pidTab->openAndStart(reason);
}
