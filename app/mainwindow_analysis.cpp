// PID tab: the step-response analysis and the run history, in their dock.
#include "app/mainwindow.h"
#include "chart/comparisonoverlay.h"
#include "chart/pid_diagram.h"
#include "chart/responseanalysis.h"
#include "chart/stepchart.h"
#include "forms/mainwindow_ui.h"
#include "pidlink/pidlink.h"
#include "serial/portcontroller.h"

#include <QAction>
#include <QComboBox>
#include <QDateTime>
#include <QDir>
#include <QFileDialog>
#include <QHeaderView>
#include <QMenu>
#include <QRadioButton>
#include <QSortFilterProxyModel>
#include <QStandardPaths>
#include <QStatusBar>
#include <QStyle>

#include <algorithm>
#include <memory>

void MainWindow::wireAnalysis()
{
    // The run history outlives the program, in the user's data folder.
    const QString dataDir = QStandardPaths::writableLocation(QStandardPaths::AppDataLocation);
    QDir().mkpath(dataDir);
    analysis = new ResponseAnalysis(diagram, ui->tableStepResponse, this,
                                    dataDir + QStringLiteral("/runs.json"));
    connect(analysis, &ResponseAnalysis::message, this,
            [this](const QString &text) { statusBar()->showMessage(text, 0); });
    // 对比上次 draws each channel's previous step window under its current one.
    diagram->comparison()->setSource(
        [this](int ch) { return analysis->analyzer().previousWindowTrace(ch); });

    connect(link, &PidLink::parameterWritten, analysis, &ResponseAnalysis::parameterWritten);
    connect(link, &PidLink::parameterReceived, analysis, &ResponseAnalysis::parameterReported);
    connect(link, &PidLink::runChanged, analysis, &ResponseAnalysis::runChanged);
    connect(ports, &PortController::closed, analysis, [this](int tab) {
        if (tab == PortController::Pid)
            analysis->finish();
    });

    // Compact rows; the history's columns as wide as their usual texts, its newest row shown.
    const int rowHeight = fontMetrics().height() + 6;
    ui->tableStepResponse->setWordWrap(false);
    // Four rows: each column as wide as its texts, the last one takes what is left.
    ui->tableStepResponse->horizontalHeader()->setSectionResizeMode(QHeaderView::ResizeToContents);
    ui->tableStepResponse->horizontalHeader()->setStretchLastSection(true);
    ui->tableStepResponse->verticalHeader()->setMinimumSectionSize(rowHeight);
    ui->tableStepResponse->verticalHeader()->setSectionResizeMode(QHeaderView::Stretch);
    ui->tableRuns->setModel(analysis->historyView());
    // The rows in the order they came until a header is clicked.
    ui->tableRuns->horizontalHeader()->setSortIndicator(-1, Qt::AscendingOrder);
    analysis->historyView()->sort(-1);
    ui->tableRuns->verticalHeader()->setMinimumSectionSize(rowHeight);
    ui->tableRuns->verticalHeader()->setDefaultSectionSize(rowHeight);
    // Row numbers would be measured again at every new row; the time tells the rows apart.
    ui->tableRuns->verticalHeader()->hide();
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
    QHeaderView *runsHeader = ui->tableRuns->horizontalHeader();
    const int sortMark = runsHeader->style()->pixelMetric(QStyle::PM_HeaderMarkSize) +
                         3 * runsHeader->style()->pixelMetric(QStyle::PM_HeaderMargin);
    for (int column = 0; column < RunHistory::ColumnCount; ++column) {
        const QString header = analysis->history()->headerData(column, Qt::Horizontal).toString();
        ui->tableRuns->setColumnWidth(
            column, std::max(fontMetrics().horizontalAdvance(usualTexts[column]) + 8,
                             runsHeader->fontMetrics().horizontalAdvance(header) + sortMark));
    }
    ui->tableRuns->horizontalHeader()->setStretchLastSection(true);
    ui->tableRuns->horizontalHeader()->setSortIndicatorShown(true);

    // The last step of the channel chosen with CH1 to CH4, beside the figures.
    auto *stepChart = new StepChart(ui->dockAnalysisContents);
    stepChart->setObjectName(QStringLiteral("chartStep"));
    stepChart->setToolTip(tr("所选通道最近一次阶跃：实际值（蓝）、目标值（红虚线）、上次运行（灰虚"
                             "线）、所选整定建议的预测（绿点线）"));
    ui->gridAnalysis->addWidget(stepChart, 0, 1, 2, 1);
    analysis->setStepChart(stepChart, 0);
    const QRadioButton *channelButtons[] = {ui->radioCH1, ui->radioCH2, ui->radioCH3, ui->radioCH4};
    for (int ch = 0; ch < ChannelCount; ++ch)
        connect(channelButtons[ch], &QRadioButton::toggled, analysis, [this, ch](bool on) {
            if (on)
                analysis->setStepChartChannel(ch);
        });
    // The figures' short texts need less width than the history's ten columns.
    ui->gridAnalysis->setColumnStretch(0, 7);
    ui->gridAnalysis->setColumnStretch(1, 4);
    for (int column = 2; column < 6; ++column)
        ui->gridAnalysis->setColumnStretch(column, 3);
    connect(analysis->historyView(), &QAbstractItemModel::rowsInserted, ui->tableRuns,
            &QAbstractItemView::scrollToBottom);
    connect(ui->comboRunsChannel, QOverload<int>::of(&QComboBox::currentIndexChanged), analysis,
            [this](int index) { analysis->setHistoryChannel(index - 1); });
    connect(ui->comboRunsUnit, QOverload<int>::of(&QComboBox::currentIndexChanged), analysis,
            [this](int index) {
                analysis->setTimeUnit(index == 1 ? RunHistory::TimeUnit::Milliseconds
                                                 : RunHistory::TimeUnit::Samples);
            });
    connect(ui->buttonExportRuns, &QPushButton::clicked, this, &MainWindow::exportRuns);
    connect(ui->buttonClearRuns, &QPushButton::clicked, analysis, &ResponseAnalysis::clearHistory);

    // The dock belongs to the PID tab: the menu action asks for it, and it shows while that
    // tab does. Its state lasts for the session; the menu is the way to close it.
    auto *action = new QAction(tr("响应分析"), this);
    action->setObjectName(QStringLiteral("actionAnalysis"));
    action->setCheckable(true);
    action->setToolTip(tr("在PID调试助手页显示或隐藏阶跃响应指标和运行记录"));
    menuTools->addAction(action);
    ui->dockAnalysis->setFeatures(ui->dockAnalysis->features() & ~QDockWidget::DockWidgetClosable);
    // First shown as high as the figures' table needs, so the chart keeps most of the height.
    const int dockHeight = 8 * rowHeight + 16;
    const auto sized = std::make_shared<bool>(false); // shared by both connections
    const auto showDock = [this, action, dockHeight, sized] {
        const bool show = action->isChecked() && ui->tabSwitch->currentWidget() == ui->tabPID;
        // A dock layout restored from the settings keeps its height.
        const bool restored = !ui->dockAnalysis->isHidden();
        ui->dockAnalysis->setVisible(show);
        if (show && !*sized) {
            if (!restored)
                resizeDocks({ui->dockAnalysis}, {dockHeight}, Qt::Vertical);
            *sized = true;
        }
    };
    connect(action, &QAction::toggled, this, showDock);
    connect(ui->tabSwitch, &QTabWidget::currentChanged, this, showDock);
}

void MainWindow::exportRuns()
{
    const int rows = analysis->history()->size();
    if (rows == 0) {
        statusBar()->showMessage(tr("没有运行记录可导出"), 0);
        return;
    }
    const QString name =
        QStringLiteral("Runs-%1.csv")
            .arg(QDateTime::currentDateTime().toString(QStringLiteral("yyyyMMdd-HHmmss")));
    const QString path =
        QFileDialog::getSaveFileName(this, tr("导出记录"), name, tr("CSV 文件 (*.csv)"));
    if (path.isEmpty())
        return;
    QString error;
    // The rows stay whatever happens to the file.
    if (analysis->exportRuns(path, error))
        statusBar()->showMessage(tr("已导出%1条运行记录").arg(analysis->history()->size()), 0);
    else
        statusBar()->showMessage(tr("运行记录导出失败：%1").arg(error), 0);
}
