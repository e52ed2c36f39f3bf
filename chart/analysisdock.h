#pragma once

#include "pidlink/pidframe.h"

#include <QObject>

#include <array>

class PID_Diagram;
class PidLink;
class PortController;
class QAbstractButton;
class QComboBox;
class QDockWidget;
class QGridLayout;
class QMainWindow;
class QMenu;
class QRadioButton;
class QTabWidget;
class QTableView;
class QTableWidget;
class ResponseAnalysis;
class StepChart;

// The PID tab's response analysis dock: the step figures, the last step's chart and the run
// history with its channel and unit boxes, export and clear. Builds the analysis, feeds it
// what the link and the port report, and adds its action to the tools menu.
class AnalysisDock : public QObject
{
    Q_OBJECT

public:
    struct Widgets
    {
        QMainWindow *window; // the dock's window, parent of the analysis and its dialogs
        QDockWidget *dock;
        QGridLayout *grid;
        QTableWidget *figures;
        QTableView *runs;
        std::array<QRadioButton *, ChannelCount> channels;
        QComboBox *runsChannel, *runsUnit;
        QAbstractButton *exportRuns, *clearRuns;
        QTabWidget *tabs;
        QWidget *pidPage; // the dock shows while this page does
        QMenu *tools;
    };

    AnalysisDock(const Widgets &widgets, PID_Diagram *diagram, PidLink *link,
                 PortController *ports);

    ResponseAnalysis *analysis() const { return analysisOwner; }
    StepChart *stepChart() const { return chart; }

Q_SIGNALS:
    // For the status bar.
    void message(const QString &text);

private:
    void layOutTables();
    void exportRuns();

    const Widgets ui;
    ResponseAnalysis *analysisOwner = nullptr;
    StepChart *chart = nullptr;
};
