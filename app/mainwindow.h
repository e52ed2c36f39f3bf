#pragma once

#include "app/serialhelper.h"
#include "assistant/receiveformatter.h"
#include "pidlink/framereceiver.h"
#include "pidlink/samplelinesplitter.h"

#include <QMainWindow>

class PID_Diagram;
class QAction;
class QLabel;
class QMenu;
class QSerialPort;
class QTimer;
class Ui_MainWindow;

// The program's one window: the serial assistant tab and the PID tab. Slot bodies live in the
// folder of the subsystem they belong to.
class MainWindow : public QMainWindow
{
    Q_OBJECT

public:
    explicit MainWindow(QWidget *parent = nullptr);
    ~MainWindow() override;

    // For tests and tools that drive the window from outside.
    PID_Diagram *pidDiagram() const { return diagram; }
    QSerialPort *serialPort() const { return serial.port; }

    // A port named on the command line: put into both tabs' port boxes and selected there.
    void usePort(const QString &device);

private Q_SLOTS:
    void on_timer_timeout1();
    void on_buttonOpenport_clicked();
    void on_buttonSelectfile_clicked();
    void on_buttonSendData_clicked();
    void on_pushRecvclear_clicked();
    void on_pushSaveAs_clicked();
    void on_readData();
    void on_readDataPID();
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

    // State that belongs to one slot but outlives its calls. Kept per window, not static,
    // so that every window starts fresh.

    // Serial ports
    bool portOpen = false;           // the serial assistant tab holds the port
    bool portOpenPID = false;        // the PID tab holds the port
    bool portFailurePending = false; // a close after a port failure is queued
    void closeAssistantPort();
    void closePidPort();
    void setAssistantPortWidgets(bool open);
    void setPidPortWidgets(bool open);
    void watchPortFailure();
    void portErrorOccurred(int error);
    void closeFailedPort();

    // Serial assistant
    ReceiveFormatter receiveFormatter;
    void showReceived(const QString &paragraph);
    void sendBytes(const QByteArray &bytes);

    // PID link
    bool runStopped = true;
    bool remoteRunning = false; // the board's own start/stop record, apart from runStopped
    FrameReceiver frameReceiver;
    SampleLineSplitter lineSplitter;
    std::vector<FrameReceiver::Event> frameEvents;     // reused by every read
    std::vector<SampleLineSplitter::Event> lineEvents; // reused by every read
    QLabel *linkHealthLabel = nullptr;
    QTimer *linkHealthTimer = nullptr;
    void applyFrameEvent(const FrameReceiver::Event &event);
    void applyCommand(const FrameReceiver::Event &event);
    void applyLineEvent(const SampleLineSplitter::Event &event);
    void sendCommand(unsigned char op, unsigned char dir, float value);
    void sendParameter(unsigned char op, const QString &text, const QString &sentMessage);
    void requestParameter(unsigned char op);
    void selectChannel(int index, bool checked);
    // Shown while the PID tab holds the port open; counters start afresh when shown.
    void setLinkHealthVisible(bool visible);
    void updateLinkHealth();

    // Chart controls
    bool pauseNext = true;
    float hScrollPosition = 0.0f;

    // Data files
    void warnInvalidPath();

    // Menu
    bool readPathIni(QStringList &lines);
};
