#pragma once

#include "datafiles/samplefilereader.h"

#include <QObject>
#include <QVector>

class PID_Diagram;
class QAbstractButton;
class QWidget;
class RecentFolders;
class ResponseAnalysis;

// The PID tab's CSV export and import of the chart's samples, in slices with a progress
// dialog, so a long history neither fills memory nor holds the window.
class ChartFiles : public QObject
{
    Q_OBJECT

public:
    // Dialogs open over `window`; the buttons start the export and the import.
    ChartFiles(PID_Diagram *diagram, ResponseAnalysis *analysis, RecentFolders *folders,
               QAbstractButton *exportButton, QAbstractButton *importButton, QWidget *window);

Q_SIGNALS:
    // For the status bar.
    void message(const QString &text);

private:
    void on_buttonExport_clicked();
    void on_buttonInport_clicked();
    void warnInvalidPath();
    void plotImported(const QVector<SampleFileReader::Sample> &samples);

    PID_Diagram *diagram;
    ResponseAnalysis *analysis;
    RecentFolders *folders;
    QWidget *window;
};
