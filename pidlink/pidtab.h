#pragma once

#include "pidlink/parameterpanel.h"

#include <QObject>

#include <array>
#include <functional>

class LinkHealthLabel;
class PidLink;
class PortController;
class PortSettings;
class QAbstractButton;
class QCheckBox;
class QComboBox;
class QPushButton;
class QRadioButton;

// The PID tab: its port, the link's run control, the parameter fields and the channel
// choice. Holds the tab's state and slots; the window only hands it the widgets and the
// objects it shares with the rest of the program, and starts the chart's redraw with a run.
// Status texts go out through message().
class PidTab : public QObject
{
    Q_OBJECT

public:
    struct Widgets
    {
        QPushButton *openPort;
        QPushButton *scan;
        QComboBox *port;
        QComboBox *baudRate;
        QComboBox *dataBits;
        QComboBox *parity;
        QComboBox *stopBits;
        QPushButton *start;
        QCheckBox *stringMode;
        // Read and write of P, I, D and the target, read of the actual value.
        QPushButton *pRead, *pWrite, *iRead, *iWrite, *dRead, *dWrite, *tRead, *tWrite, *aRead;
        std::array<QRadioButton *, 4> channels;
        ParameterPanel::Fields fields;
        QAbstractButton *verifyWrite;
        // The chart's buttons a run locks or unlocks.
        QPushButton *pause;
        QPushButton *exportButton;
        QPushButton *importButton;
        LinkHealthLabel *health;
    };

    PidTab(const Widgets &widgets, PidLink *link, PortController *ports, QObject *parent = nullptr);

    // How the tab's port box is refilled and its entry opened, by whoever keeps the list of
    // typed devices for both tabs.
    struct PortBoxes
    {
        std::function<void(QComboBox *box)> refill;
        std::function<void(const QString &entry, const PortSettings &settings)> open;
    };
    void setPortBoxes(const PortBoxes &boxes) { portBoxes = boxes; }

    ParameterPanel *parameterPanel() const { return parameters; }

    // Opens the port the tab's box names and starts a run, as 打开串口 and 开始 do, for a
    // start without clicks (--run). False, with the reason in `reason`, when the port does not
    // open; a port already open is kept.
    bool openAndStart(QString *reason);

public Q_SLOTS:
    void on_buttonOpenportPID_clicked();
    void on_buttonScanPID_clicked();
    void on_buttonStart_clicked();
    void on_checkStringMode_clicked(bool checked);
    void on_buttonPRead_clicked();
    void on_buttonPWrite_clicked();
    void on_buttonIRead_clicked();
    void on_buttonIWrite_clicked();
    void on_buttonDRead_clicked();
    void on_buttonDWrite_clicked();
    void on_buttonTRead_clicked();
    void on_buttonTWrite_clicked();
    void on_buttonARead_clicked();
    void on_radioCH1_clicked(bool checked);
    void on_radioCH2_clicked(bool checked);
    void on_radioCH3_clicked(bool checked);
    void on_radioCH4_clicked(bool checked);

Q_SIGNALS:
    // For the status bar.
    void message(const QString &text);

private:
    void selectChannel(int index, bool checked);
    void showPortState(bool open);
    void showRun(bool active);

    Widgets ui;
    PidLink *link;
    PortController *ports;
    ParameterPanel *parameters = nullptr;
    PortBoxes portBoxes;
};
