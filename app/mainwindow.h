#pragma once

#include "app/serialhelper.h"
#include "datafiles/samplefilereader.h"
#include "pidlink/framereceiver.h"
#include "pidlink/samplelinesplitter.h"

#include <QMainWindow>
#include <QPointer>
#include <QStringList>

class ChartInteraction;
class LineWriter;
class LinkHealthLabel;
class ParameterPanel;
class TuningPanel;
class PID_Diagram;
class PidLink;
class PortController;
class PortSettings;
class QAction;
class QComboBox;
class QLineEdit;
class QMenu;
class QProgressDialog;
class QSerialPort;
class QTimer;
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
    ReceiveLog *receiveLog() const { return receiveBox; }
    // The PID link's counters since the port was opened, for benchmarks and tools.
    const FrameReceiver::Health &pidFrameHealth() const;
    const SampleLineSplitter::Health &pidLineHealth() const;

    // A port named on the command line: put into both tabs' port boxes and selected there.
    void usePort(const QString &device);

    // History length, recording and raw capture (app/mainwindow_history.cpp).
    SessionFiles *sessionFiles() const { return sessions; }

private Q_SLOTS:
    void on_timer_timeout1();
    void on_buttonOpenport_clicked();
    void on_buttonSelectfile_clicked();
    void on_buttonSendData_clicked();
    void on_pushRecvclear_clicked();
    void on_pushSaveAs_clicked();
    void on_readData();
    void on_buttonScan_clicked();
    void on_radioRecvOptASCII_clicked(bool checked);
    void on_radioRecvOptHEX_clicked(bool checked);
    void on_checkLogmode_clicked(bool checked);
    void on_checkNewline_clicked(bool checked);
    void on_checkAutoSend_clicked(bool checked);
    void on_radioSendOptASCII_clicked(bool checked);
    void on_radioSendOptHEX_clicked(bool checked);
    void on_buttonStart_clicked();
    void on_buttonOpenportPID_clicked();
    void on_tabSwitch_currentChanged(int index);
    void on_buttonScanPID_clicked();
    void on_vScrollBar_sliderMoved(int position);
    void on_buttonClear_clicked();
    void on_hScrollBar_sliderMoved(int position);
    void on_checkSwitch_stateChanged(int arg1);
    void on_buttonPRead_clicked();
    void on_buttonPWrite_clicked();
    void on_buttonIRead_clicked();
    void on_buttonInport_clicked();
    void on_checkAuto_stateChanged(int arg1);
    void on_buttonIWrite_clicked();
    void on_buttonDRead_clicked();
    void on_buttonDWrite_clicked();
    void on_buttonTRead_clicked();
    void on_buttonTWrite_clicked();
    void on_buttonARead_clicked();
    void on_buttonExport_clicked();
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
    bool recvHex = false;
    bool sendHex = false;
    bool logMode = false;
    bool newLine = false;
    bool hScrollZoom = false;
    bool stringMode = false;
    quint8 channel = 0;
    PID_Diagram *diagram = nullptr;
    float hScrollValueMove = 0.0f;
    float hScrollValueZoom = 0.0f;
    QTimer *autoSendTimer = nullptr;
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
    ReceiveLog *receiveBox = nullptr;
    LineWriter *writer = nullptr;
    LinkHealthLabel *linkHealth = nullptr;

    // History length, recording and raw capture (app/mainwindow_history.cpp).
    SessionFiles *sessions = nullptr;
    void wireHistory();

    // Construction (app/)
    void connectWidgets();
    // What the port and the PID link report, shown (app/mainwindow_links.cpp).
    void showPortState(int tab, bool open);
    void showRun(bool active);

    // Serial ports
    void openPort(int tab, const QString &entry, const PortSettings &settings, QObject *receiver,
                  const char *slot);
    void refillPortBox(QComboBox *box);

    // Serial assistant
    void sendBytes(const QByteArray &bytes);
    void stopAutoSend();
    void showFileProgress(qint64 done, qint64 total);
    void showFileFinished(int outcome, qint64 done);
    QPointer<QProgressDialog> fileProgress; // while a file goes out

    // PID link
    void selectChannel(int index, bool checked);

    // Chart controls
    bool pauseNext = true;
    float hScrollPosition = 0.0f;

    // Chart interactions: mouse, legend, comparison, keys (app/mainwindow_chart.cpp)
    void wireChart();
    ChartInteraction *chartInteraction = nullptr; // a child of the diagram

    // Data files
    void warnInvalidPath();
    void plotImported(const QVector<SampleFileReader::Sample> &samples);

    // Menu
    bool readPathIni(QStringList &lines);

    // Where each kind of file dialog opens: where it last chose.
    RecentFolders *folders = nullptr;

    // Safe input: the per-channel parameter fields (app/mainwindow_parameters.cpp) and the
    // devices a rescan keeps (serial/mainwindow_ports.cpp).
    ParameterPanel *parameters = nullptr;
    QStringList typedPorts; // typed into a port box and opened, or given with --port
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
