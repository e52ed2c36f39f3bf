// PID tab: the tuning assistant's dock, fed by the response analysis' windows and writing
// through the parameter fields.
#include "app/mainwindow.h"
#include "chart/analysisdock.h"
#include "chart/comparisonoverlay.h"
#include "chart/pid_diagram.h"
#include "chart/responseanalysis.h"
#include "chart/stepchart.h"
#include "forms/mainwindow_ui.h"
#include "pidlink/pidtab.h"
#include "tuning/tuningpanel.h"

#include <QAction>
#include <QDockWidget>
#include <QMenu>
#include <QStatusBar>

#include <memory>

namespace {

// The channel's last finished step window: the analyzer keeps its first values, the run
// history its figures and the gains it ran with.
TuningPanel::StepWindow lastWindow(ResponseAnalysis *analysis, int channel)
{
    TuningPanel::StepWindow window;
    const RunHistory *runs = analysis->history();
    const StepAnalyzer::Trace trace = analysis->analyzer().previousWindowTrace(channel);
    const RunHistory::Run *run = nullptr;
    for (int row = runs->size() - 1; row >= 0 && !run; --row) {
        if (runs->at(row).channel == channel)
            run = &runs->at(row);
    }
    if (!run || trace.actual.isEmpty()) {
        window.missing =
            MainWindow::tr("通道%1还没有结束的阶跃：开始运行，等响应稳定后停止，再识别")
                .arg(channel + 1);
        return window;
    }
    const StepAnalyzer::Figures &figures = run->figures;
    window.firstSample = figures.firstSample;
    window.settlingBand = figures.settlingBand;
    StepData &data = window.data;
    data.actual.reserve(trace.actual.size());
    for (const float v : trace.actual)
        data.actual.append(double(v));
    data.target = figures.target.value_or(0.0);
    data.samplePeriodS = figures.intervalMs ? *figures.intervalMs / 1000.0 : 0.0;
    data.gainsKnown = run->gains[0] && run->gains[1] && run->gains[2];
    if (data.gainsKnown)
        data.gains = {double(*run->gains[0]), double(*run->gains[1]), double(*run->gains[2])};
    return window;
}

RunHistory::Predicted predictedOf(const TuningRules::Suggestion &s)
{
    const StepFigures &f = s.predicted;
    const auto count = [](const std::optional<int> &n) {
        return n ? std::optional<qint64>(*n) : std::nullopt;
    };
    return RunHistory::Predicted{TuningRules::aimName(s.aim), count(f.riseSamples),
                                 f.overshootPercent, count(f.settlingSamples),
                                 s.samplePeriodS * 1000.0};
}

} // namespace

void MainWindow::wireTuning()
{
    auto *dock = new QDockWidget(tr("整定建议"), this);
    dock->setObjectName(QStringLiteral("dockTuning"));
    dock->setAllowedAreas(Qt::BottomDockWidgetArea | Qt::RightDockWidgetArea);
    dock->setFeatures(dock->features() & ~QDockWidget::DockWidgetClosable);
    tuning = new TuningPanel(dock);
    dock->setWidget(tuning);
    addDockWidget(Qt::BottomDockWidgetArea, dock);
    // A tab beside the response analysis: side by side at 1366 pixels neither table has room.
    tabifyDockWidget(ui->dockAnalysis, dock);
    dock->hide();

    tuning->setWindowSource([this](int ch) { return lastWindow(analysis, ch); });
    tuning->setWriter([this](int op, float value) {
        return pidTab->parameterPanel()->writeValue(quint8(op), value);
    });
    connect(tuning, &TuningPanel::message, this,
            [this](const QString &text) { statusBar()->showMessage(text, 0); });
    // The selected suggestion's predicted response, on the open step once the next one runs.
    const auto source = [this](int ch) {
        const TuningPanel::Prediction p =
            tuning->prediction(ch, analysis->analyzer().previousWindowTrace(ch).currentFirstSample);
        return StepAnalyzer::Trace{p.values, p.first};
    };
    diagram->prediction()->setSource(source);
    // The analysis dock's step chart shows the selected channel's prediction from its step.
    StepChart *stepChart = analysisDock->stepChart();
    const auto showPrediction = [this, stepChart] {
        const QVector<float> values = tuning->prediction(tuning->channel(), -1).values;
        stepChart->setPredicted(QVector<double>(values.cbegin(), values.cend()));
    };
    connect(tuning, &TuningPanel::predictionChanged, this, [this, source, showPrediction] {
        diagram->prediction()->setSource(source);
        showPrediction();
    });
    QRadioButton *radios[] = {ui->radioCH1, ui->radioCH2, ui->radioCH3, ui->radioCH4};
    for (int ch = 0; ch < 4; ++ch) {
        connect(radios[ch], &QRadioButton::toggled, tuning, [this, ch, showPrediction](bool on) {
            if (on) {
                tuning->selectChannel(ch);
                showPrediction();
            }
        });
    }

    // The next step of the channel shows the written suggestion's prediction beside it.
    connect(tuning, &TuningPanel::suggestionApplied, this, [this](int ch) {
        const std::optional<TuningRules::Suggestion> s = tuning->appliedSuggestion(ch);
        if (s)
            analysis->history()->expectPrediction(ch, predictedOf(*s));
    });

    auto *action = new QAction(tr("整定建议"), this);
    action->setObjectName(QStringLiteral("actionTuning"));
    action->setCheckable(true);
    action->setToolTip(tr("在PID调试助手页显示或隐藏整定建议：由阶跃识别模型并建议P、I、D"));
    menuTools->addAction(action);
    const auto sized = std::make_shared<bool>(false);
    const auto showDock = [this, action, dock, sized] {
        const bool show = action->isChecked() && ui->tabSwitch->currentWidget() == ui->tabPID;
        dock->setVisible(show);
        if (show && action->isChecked())
            dock->raise();
        if (show && !*sized) {
            resizeDocks({dock}, {fontMetrics().height() * 9}, Qt::Vertical);
            *sized = true;
        }
    };
    connect(action, &QAction::toggled, this, showDock);
    connect(ui->tabSwitch, &QTabWidget::currentChanged, this, showDock);
}
