#pragma once

#include "app/serialhelper.h"
#include "pidlink/framereceiver.h"
#include "pidlink/samplelinesplitter.h"

#include <QMainWindow>
#include <QPointer>
#include <QStringList>

class AssistantTab;
class ChartFiles;
class ChartInteraction;
class ChartControls;
class PidTab;
class TuningPanel;
class PID_Diagram;
class PidLink;
class PortBoxes;
class PortController;
class PortSettings;
class QAction;
class QComboBox;
class QLineEdit;
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

    // A port named on the command line: put into both tabs' port boxes and selected there.
    void usePort(const QString &device);

    // History length, recording and raw capture (app/mainwindow_history.cpp).
    SessionFiles *sessionFiles() const { return sessions; }

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

    // The objects that own the tabs' state; children of the window.
    PortController *ports = nullptr;
    PidLink *link = nullptr;
    PortBoxes *portBoxes = nullptr;
    AssistantTab *assistant = nullptr;
    ChartFiles *chartFiles = nullptr;
    PidTab *pidTab = nullptr;
    ChartControls *chartControls = nullptr;

    // History length, recording and raw capture (app/mainwindow_history.cpp).
    SessionFiles *sessions = nullptr;
    void wireHistory();

    // Construction (app/)
    void connectWidgets();
    // What the port reports, shown on the serial assistant tab (app/mainwindow_links.cpp).
    void showPortState(int tab, bool open);

    // Chart interactions: mouse, legend, comparison, keys (app/mainwindow_chart.cpp)
    void wireChart();
    ChartInteraction *chartInteraction = nullptr; // a child of the diagram

    // Menu
    bool readPathIni(QStringList &lines);

    // Where each kind of file dialog opens: where it last chose.
    RecentFolders *folders = nullptr;

    // Response analysis: the step figures and the run history in their dock
    // (app/mainwindow_analysis.cpp).
public:
    ResponseAnalysis *responseAnalysis() const { return analysis; }

private:
    ResponseAnalysis *analysis = nullptr;
    void wireAnalysis();
    void exportRuns();
    // The tuning assistant's dock (app/mainwindow_tuning.cpp).
public:
    TuningPanel *tuningPanel() const { return tuning; }

private:
    TuningPanel *tuning = nullptr;
    void wireTuning();
};
