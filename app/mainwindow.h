#pragma once

#include "app/serialhelper.h"
#include "pidlink/framereceiver.h"
#include "pidlink/samplelinesplitter.h"

#include <QMainWindow>
#include <QStringList>

class AnalysisDock;
class AssistantTab;
class ChartInteraction;
class PidTab;
class TuningPanel;
class PID_Diagram;
class PidLink;
class PortBoxes;
class PortController;
class QAction;
class QMenu;
class QSerialPort;
class RecentFolders;
class ReceiveLog;
class SessionFiles;
class ResponseAnalysis;
class Ui_MainWindow;

// The program's one window: the serial assistant tab and the PID tab. The state of the port,
// the PID link and the receive box lives in objects of their own; the window's slots hand
// the user's actions to them, and the constructor wires what they report to the widgets.
// Slot bodies live in the folder of the subsystem they belong to.
class MainWindow : public QMainWindow
{
    Q_OBJECT

public:
    explicit MainWindow(QWidget *parent = nullptr);
    ~MainWindow() override;

    // For tests and tools that drive the window from outside.
    PID_Diagram *pidDiagram() const { return diagram; }
    ChartInteraction *pidChartInteraction() const { return chartInteraction; }
    QSerialPort *serialPort() const { return serial.port; }
    PidLink *pidLink() const { return link; }
    PortController *portController() const { return ports; }
    ReceiveLog *receiveLog() const;
    // The PID link's counters since the port was opened, for benchmarks and tools.
    const FrameReceiver::Health &pidFrameHealth() const;
    const SampleLineSplitter::Health &pidLineHealth() const;
    SessionFiles *sessionFiles() const { return sessions; }
    ResponseAnalysis *responseAnalysis() const { return analysis; }
    TuningPanel *tuningPanel() const { return tuning; }

    // A port named on the command line: put into both tabs' port boxes and selected there.
    void usePort(const QString &device);
    // --run: the PID tab shown, its port opened and a run started. False, with the reason,
    // when the port does not open.
    bool startPidRun(QString *reason);

private Q_SLOTS:
    void On_ActionAbout();
    void On_ActionHTML();
    void On_ActionURL();

private:
    Ui_MainWindow *ui = nullptr;
    SerialHelper serial;
    PID_Diagram *diagram = nullptr;
    QMenu *menuAbout = nullptr;
    QMenu *menuHelp = nullptr;
    QAction *actionAbout = nullptr;
    QAction *actionHTML = nullptr;
    QAction *actionURL = nullptr;

    // The third menu, for the tools the features add (response analysis, raw capture).
    QMenu *menuTools = nullptr;

    // The objects that own the tabs' state and wire their widgets; children of the window.
    PortController *ports = nullptr;
    PidLink *link = nullptr;
    PortBoxes *portBoxes = nullptr;
    AssistantTab *assistant = nullptr;
    PidTab *pidTab = nullptr;
    ChartInteraction *chartInteraction = nullptr; // a child of the diagram
    SessionFiles *sessions = nullptr;
    AnalysisDock *analysisDock = nullptr;
    ResponseAnalysis *analysis = nullptr;
    // Where each kind of file dialog opens: where it last chose.
    RecentFolders *folders = nullptr;

    void connectWidgets();
    bool readPathIni(QStringList &lines);

    // The tuning assistant's dock (app/mainwindow_tuning.cpp).
    TuningPanel *tuning = nullptr;
    void wireTuning();
};
