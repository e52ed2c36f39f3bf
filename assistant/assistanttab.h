#pragma once

#include <QObject>
#include <QPointer>

class LineWriter;
class PortBoxes;
class PortController;
class QAbstractButton;
class QComboBox;
class QLabel;
class QProgressDialog;
class QTextEdit;
class QTimer;
class QWidget;
class RecentFolders;
class ReceiveLog;

// The serial assistant tab: what arrives shown as text or bytes, typed text, bytes or a file
// sent once or periodically. It owns the receive box's log and the line's writer; the widgets
// are the window's.
class AssistantTab : public QObject
{
    Q_OBJECT

public:
    struct Widgets
    {
        QComboBox *port, *baudRate, *dataBits, *parity, *stopBits;
        QAbstractButton *openPort, *scan;
        QTextEdit *receiveBox;
        QAbstractButton *receiveText, *receiveHex, *timeStamps, *clearReceive, *saveReceive;
        QTextEdit *sendInput, *period;
        QAbstractButton *sendText, *sendHex, *newLine, *autoSend, *selectFile, *send;
        QLabel *path; // the folder saved into or the file sent
    };

    // Dialogs open over `window`; the port box is filled and opened through `boxes`.
    AssistantTab(const Widgets &widgets, PortController *ports, PortBoxes *boxes,
                 RecentFolders *folders, QWidget *window);

    ReceiveLog *receiveLog() const { return receiveBox; }
    LineWriter *lineWriter() const { return writer; }

Q_SIGNALS:
    // For the status bar.
    void message(const QString &text);

private:
    void on_readData();
    void on_timer_timeout1();
    void on_buttonOpenport_clicked();
    void on_buttonScan_clicked();
    void on_buttonSelectfile_clicked();
    void on_buttonSendData_clicked();
    void on_pushRecvclear_clicked();
    void on_pushSaveAs_clicked();
    void on_radioRecvOptASCII_clicked(bool checked);
    void on_radioRecvOptHEX_clicked(bool checked);
    void on_checkLogmode_clicked(bool checked);
    void on_checkNewline_clicked(bool checked);
    void on_checkAutoSend_clicked(bool checked);
    void on_radioSendOptASCII_clicked(bool checked);
    void on_radioSendOptHEX_clicked(bool checked);

    void portOpened(int tab);
    void portClosed(int tab);
    // The port's widgets as the port is: settings while closed, sending while open.
    void showPortState(bool open);
    void sendBytes(const QByteArray &bytes);
    void stopAutoSend();
    void showFileProgress(qint64 done, qint64 total);
    void showFileFinished(int outcome, qint64 done);

    const Widgets ui;
    PortController *ports;
    PortBoxes *boxes;
    RecentFolders *folders;
    QWidget *window;
    ReceiveLog *receiveBox;
    LineWriter *writer;

    bool recvHex = false;
    bool sendHex = false;
    bool logMode = false;
    bool newLine = false;
    QTimer *autoSendTimer = nullptr;
    QPointer<QProgressDialog> fileProgress; // while a file goes out
};
