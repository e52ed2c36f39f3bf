#include "chart/analysisdock.h"

#include "chart/comparisonoverlay.h"
#include "chart/pid_diagram.h"
#include "chart/responseanalysis.h"
#include "chart/stepchart.h"
#include "pidlink/pidlink.h"
#include "serial/portcontroller.h"

#include <QAction>
#include <QComboBox>
#include <QDateTime>
#include <QDir>
#include <QDockWidget>
#include <QFileDialog>
#include <QGridLayout>
#include <QHeaderView>
#include <QMainWindow>
#include <QMenu>
#include <QPushButton>
#include <QRadioButton>
#include <QSortFilterProxyModel>
#include <QStandardPaths>
#include <QStyle>
#include <QTabWidget>
#include <QTableView>
#include <QTableWidget>

#include <algorithm>
#include <memory>

AnalysisDock::AnalysisDock(const Widgets &widgets, PID_Diagram *diagram, PidLink *link,
                           PortController *ports)
    : QObject(widgets.window), ui(widgets)
{
    // The run history outlives the program, in the user's data folder.
    const QString dataDir = QStandardPaths::writableLocation(QStandardPaths::AppDataLocation);
    QDir().mkpath(dataDir);
    ResponseAnalysis *analysis = analysisOwner = new ResponseAnalysis(
        diagram, ui.figures, ui.window, dataDir + QStringLiteral("/runs.json"));
    connect(analysis, &ResponseAnalysis::message, this, &AnalysisDock::message);
    // 对比上次 draws each channel's previous step window under its current one.
    diagram->comparison()->setSource(
        [analysis](int ch) { return analysis->analyzer().previousWindowTrace(ch); });

    connect(link, &PidLink::parameterWritten, analysis, &ResponseAnalysis::parameterWritten);
    connect(link, &PidLink::parameterReceived, analysis, &ResponseAnalysis::parameterReported);
    connect(link, &PidLink::runChanged, analysis, &ResponseAnalysis::runChanged);
    connect(ports, &PortController::closed, analysis, [analysis](int tab) {
        if (tab == PortController::Pid)
            analysis->finish();
    });

    layOutTables();

    // The last step of the channel chosen with CH1 to CH4, beside the figures.
    chart = new StepChart(ui.dock->widget());
    chart->setObjectName(QStringLiteral("chartStep"));
    chart->setToolTip(tr("所选通道最近一次阶跃：实际值（蓝）、目标值（红虚线）、上次运行（灰虚"
                         "线）、所选整定建议的预测（绿点线）"));
    ui.grid->addWidget(chart, 0, 1, 2, 1);
    analysis->setStepChart(chart, 0);
    for (int ch = 0; ch < ChannelCount; ++ch)
        connect(ui.channels[std::size_t(ch)], &QRadioButton::toggled, analysis,
                [analysis, ch](bool on) {
                    if (on)
                        analysis->setStepChartChannel(ch);
                });
    // The figures' short texts need less width than the history's ten columns.
    ui.grid->setColumnStretch(0, 7);
    ui.grid->setColumnStretch(1, 4);
    for (int column = 2; column < 6; ++column)
        ui.grid->setColumnStretch(column, 3);
    connect(analysis->historyView(), &QAbstractItemModel::rowsInserted, ui.runs,
            &QAbstractItemView::scrollToBottom);
    connect(ui.runsChannel, QOverload<int>::of(&QComboBox::currentIndexChanged), analysis,
            [analysis](int index) { analysis->setHistoryChannel(index - 1); });
    connect(ui.runsUnit, QOverload<int>::of(&QComboBox::currentIndexChanged), analysis,
            [analysis](int index) {
                analysis->setTimeUnit(index == 1 ? RunHistory::TimeUnit::Milliseconds
                                                 : RunHistory::TimeUnit::Samples);
            });
    connect(ui.exportRuns, &QAbstractButton::clicked, this, &AnalysisDock::exportRuns);
    connect(ui.clearRuns, &QAbstractButton::clicked, analysis, &ResponseAnalysis::clearHistory);

    // The dock belongs to the PID tab: the menu action asks for it, and it shows while that
    // tab does. Its state lasts for the session; the menu is the way to close it.
    auto *action = new QAction(tr("响应分析"), ui.window);
    action->setObjectName(QStringLiteral("actionAnalysis"));
    action->setCheckable(true);
    action->setToolTip(tr("在PID调试助手页显示或隐藏阶跃响应指标和运行记录"));
    ui.tools->addAction(action);
    ui.dock->setFeatures(ui.dock->features() & ~QDockWidget::DockWidgetClosable);
    // First shown as high as the figures' table needs, so the chart keeps most of the height.
    const int dockHeight = 8 * (ui.window->fontMetrics().height() + 6) + 16;
    const auto sized = std::make_shared<bool>(false); // shared by both connections
    const Widgets w = ui;
    const auto showDock = [w, action, dockHeight, sized] {
        const bool show = action->isChecked() && w.tabs->currentWidget() == w.pidPage;
        // A dock layout restored from the settings keeps its height.
        const bool restored = !w.dock->isHidden();
        w.dock->setVisible(show);
        if (show && !*sized) {
            if (!restored)
                w.window->resizeDocks({w.dock}, {dockHeight}, Qt::Vertical);
            *sized = true;
        }
    };
    connect(action, &QAction::toggled, this, showDock);
    connect(ui.tabs, &QTabWidget::currentChanged, this, showDock);
}

// Compact rows; the history's columns as wide as their usual texts, its newest row shown.
void AnalysisDock::layOutTables()
{
    const QFontMetrics metrics = ui.window->fontMetrics();
    const int rowHeight = metrics.height() + 6;
    ui.figures->setWordWrap(false);
    // Four rows: each column as wide as its texts, the last one takes what is left.
    ui.figures->horizontalHeader()->setSectionResizeMode(QHeaderView::ResizeToContents);
    ui.figures->horizontalHeader()->setStretchLastSection(true);
    ui.figures->verticalHeader()->setMinimumSectionSize(rowHeight);
    ui.figures->verticalHeader()->setSectionResizeMode(QHeaderView::Stretch);
    ui.runs->setModel(analysisOwner->historyView());
    // The rows in the order they came until a header is clicked.
    ui.runs->horizontalHeader()->setSortIndicator(-1, Qt::AscendingOrder);
    analysisOwner->historyView()->sort(-1);
    ui.runs->verticalHeader()->setMinimumSectionSize(rowHeight);
    ui.runs->verticalHeader()->setDefaultSectionSize(rowHeight);
    // Row numbers would be measured again at every new row; the time tells the rows apart.
    ui.runs->verticalHeader()->hide();
    // Wide enough for the usual texts, a prediction in brackets included, and for the header
    // with its sort mark; the header texts are short, the full names in their tooltips.
    const QString time = QStringLiteral("999.9 ms (999)");
    const QString usualTexts[RunHistory::ColumnCount] = {QStringLiteral("00:00:00"),
                                                         QStringLiteral("CH4"),
                                                         QStringLiteral("0.1234"),
                                                         QStringLiteral("0.1234"),
                                                         QStringLiteral("0.1234"),
                                                         QStringLiteral("-123.4"),
                                                         time,
                                                         QStringLiteral("10.0% (10.0)"),
                                                         time,
                                                         QStringLiteral("-0.1234")};
    QHeaderView *runsHeader = ui.runs->horizontalHeader();
    const int sortMark = runsHeader->style()->pixelMetric(QStyle::PM_HeaderMarkSize) +
                         3 * runsHeader->style()->pixelMetric(QStyle::PM_HeaderMargin);
    for (int column = 0; column < RunHistory::ColumnCount; ++column) {
        const QString header =
            analysisOwner->history()->headerData(column, Qt::Horizontal).toString();
        ui.runs->setColumnWidth(
            column, std::max(metrics.horizontalAdvance(usualTexts[column]) + 8,
                             runsHeader->fontMetrics().horizontalAdvance(header) + sortMark));
    }
    ui.runs->horizontalHeader()->setStretchLastSection(true);
    ui.runs->horizontalHeader()->setSortIndicatorShown(true);
}

void AnalysisDock::exportRuns()
{
    const int rows = analysisOwner->history()->size();
    if (rows == 0) {
        emit message(tr("没有运行记录可导出"));
        return;
    }
    const QString name =
        QStringLiteral("Runs-%1.csv")
            .arg(QDateTime::currentDateTime().toString(QStringLiteral("yyyyMMdd-HHmmss")));
    const QString path =
        QFileDialog::getSaveFileName(ui.window, tr("导出记录"), name, tr("CSV 文件 (*.csv)"));
    if (path.isEmpty())
        return;
    QString error;
    // The rows stay whatever happens to the file.
    if (analysisOwner->exportRuns(path, error))
        emit message(tr("已导出%1条运行记录").arg(analysisOwner->history()->size()));
    else
        emit message(tr("运行记录导出失败：%1").arg(error));
}
