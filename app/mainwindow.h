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
class LinkHealthLabel;
class ParameterPanel;
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
    void on_readDataPID();
    void on_buttonStart_clicked();
    void on_buttonOpenportPID_clicked();
    void on_buttonScanPID_clicked();
    void on_vScrollBar_sliderMoved(int position);
    void on_buttonClear_clicked();
    void on_hScrollBar_sliderMoved(int position);
    void on_checkSwitch_stateChanged(int arg1);
    void on_buttonPRead_clicked();
    void on_buttonPWrite_clicked();
    void on_buttonIRead_clicked();
    void on_checkAuto_stateChanged(int arg1);
    void on_buttonIWrite_clicked();
    void on_buttonDRead_clicked();
    void on_buttonDWrite_clicked();
    void on_buttonTRead_clicked();
    void on_buttonTWrite_clicked();
    void on_buttonARead_clicked();
    void on_buttonPause_clicked();
    void on_checkCH3_clicked(bool checked);
    void on_checkCH1_clicked(bool checked);
    void on_radioCH1_clicked(bool checked);
    void on_checkCH2_clicked(bool checked);
    void on_radioCH2_clicked(bool checked);
    void on_radioCH3_clicked(bool checked);
    void on_checkCH4_clicked(bool checked);
    void on_radioCH4_clicked(bool checked);
    void on_checkStringMode_clicked(bool checked);
    void On_ActionAbout();
    void On_ActionHTML();
    void On_ActionURL();

private:
    Ui_MainWindow *ui = nullptr;
    SerialHelper serial;
    bool hScrollZoom = false;
    bool stringMode = false;
    quint8 channel = 0;
    PID_Diagram *diagram = nullptr;
    float hScrollValueMove = 0.0f;
    float hScrollValueZoom = 0.0f;
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
    LinkHealthLabel *linkHealth = nullptr;

    // History length, recording and raw capture (app/mainwindow_history.cpp).
    SessionFiles *sessions = nullptr;
    void wireHistory();

    // Construction (app/)
    void connectWidgets();
    // What the port and the PID link report, shown (app/mainwindow_links.cpp).
    void showPortState(int tab, bool open);
    void showRun(bool active);

    // PID link
    void selectChannel(int index, bool checked);

    // Chart controls
    bool pauseNext = true;
    float hScrollPosition = 0.0f;

    // Chart interactions: mouse, legend, comparison, keys (app/mainwindow_chart.cpp)
    void wireChart();
    ChartInteraction *chartInteraction = nullptr; // a child of the diagram

    // Menu
    bool readPathIni(QStringList &lines);

    // Where each kind of file dialog opens: where it last chose.
    RecentFolders *folders = nullptr;

    // Safe input: the per-channel parameter fields (app/mainwindow_parameters.cpp).
    ParameterPanel *parameters = nullptr;
    void wireParameters();
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
