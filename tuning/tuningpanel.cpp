#include "tuning/tuningpanel.h"

#include "chart/stepanalyzer.h"
#include "pidlink/pidframe.h"
#include "ui_tuningpanel.h"

#include <QHeaderView>
#include <QTableWidgetItem>
#include <QtConcurrent/QtConcurrentRun>

#include <cmath>

namespace {

QString number(double v)
{
    return QString::number(v, 'g', 4);
}

// As the step table writes a time: "N点 (T ms)".
QString timeText(const std::optional<int> &samples, double samplePeriodS)
{
    if (!samples)
        return QStringLiteral("—");
    const double ms = *samples * samplePeriodS * 1000.0;
    return StepAnalyzer::samplesText(*samples) + QStringLiteral(" (") +
           (ms >= 100 ? QString::number(ms, 'f', 0) : QString::number(ms, 'g', 3)) +
           QStringLiteral(" ms)");
}

void setRow(QTableWidget *table, int row, const QStringList &texts)
{
    for (int column = 0; column < texts.size(); ++column) {
        QTableWidgetItem *item = table->item(row, column);
        if (!item) {
            item = new QTableWidgetItem;
            table->setItem(row, column, item);
        }
        item->setText(texts[column]);
    }
}

} // namespace

TuningPanel::TuningPanel(QWidget *parent) : QWidget(parent), ui(new Ui::TuningPanel)
{
    ui->setupUi(this);
    for (int c = 0; c < ChannelCount; ++c) {
        ChannelState &state = states[std::size_t(c)];
        state.form = ControllerForm::simulatedBoard(c);
        state.minText = QString::number(state.form.outputMin);
        state.maxText = QString::number(state.form.outputMax);
    }
    ui->tableModel->setColumnCount(4);
    ui->tableModel->setRowCount(1);
    ui->tableModel->setHorizontalHeaderLabels(
        {tr("增益"), tr("时间常数"), tr("纯滞后"), tr("拟合度")});
    ui->tableSuggestions->setColumnCount(7);
    ui->tableSuggestions->setRowCount(TuningRules::AimCount);
    ui->tableSuggestions->setHorizontalHeaderLabels({tr("目标"), QStringLiteral("P"),
                                                     QStringLiteral("I"), QStringLiteral("D"),
                                                     tr("上升时间"), tr("超调量"), tr("调节时间")});
    for (QTableWidget *table : {ui->tableModel, ui->tableSuggestions}) {
        table->verticalHeader()->hide();
        table->setWordWrap(false);
        table->horizontalHeader()->setSectionResizeMode(QHeaderView::Stretch);
        table->verticalHeader()->setSectionResizeMode(QHeaderView::Stretch);
    }

    connect(ui->comboControllerForm, qOverload<int>(&QComboBox::currentIndexChanged), this,
            &TuningPanel::formEdited);
    connect(ui->checkDerivativeOnMeasurement, &QCheckBox::toggled, this, &TuningPanel::formEdited);
    connect(ui->editOutputMin, &QLineEdit::textEdited, this, &TuningPanel::formEdited);
    connect(ui->editOutputMax, &QLineEdit::textEdited, this, &TuningPanel::formEdited);
    connect(ui->buttonIdentify, &QPushButton::clicked, this, &TuningPanel::identify);
    connect(ui->buttonApplySuggestion, &QPushButton::clicked, this, &TuningPanel::applySuggestion);
    connect(ui->tableSuggestions, &QTableWidget::currentCellChanged, this,
            [this](int row) { selectRow(row); });
    connect(&watcher, &QFutureWatcher<Outcome>::finished, this, &TuningPanel::finished);
    showChannel();
}

TuningPanel::~TuningPanel()
{
    watcher.waitForFinished();
}

void TuningPanel::setWindowSource(WindowSource from)
{
    source = std::move(from);
}

void TuningPanel::setWriter(Writer to)
{
    writer = std::move(to);
}

void TuningPanel::selectChannel(int channel)
{
    if (channel < 0 || channel >= ChannelCount || channel == current)
        return;
    current = channel;
    showChannel();
}

ControllerForm TuningPanel::form(int channel) const
{
    return channel >= 0 && channel < ChannelCount ? states[std::size_t(channel)].form
                                                  : ControllerForm();
}

bool TuningPanel::isBusy() const
{
    return watcher.isRunning();
}

bool TuningPanel::applyForm(ChannelState &state, bool perSample, bool derivativeOnMeasurement,
                            const QString &minText, const QString &maxText)
{
    ControllerForm &form = state.form;
    form.timing = perSample ? ControllerForm::Timing::PerSample : ControllerForm::Timing::PerSecond;
    // The per-sample law is the plain difference; the per-second one is the board's filtered.
    form.derivativeFilterS = perSample ? 0.0 : 0.02;
    form.derivativeOnMeasurement = derivativeOnMeasurement;
    state.minText = minText;
    state.maxText = maxText;
    bool minOk = false;
    bool maxOk = false;
    const double lo = minText.trimmed().toDouble(&minOk);
    const double hi = maxText.trimmed().toDouble(&maxOk);
    form.limited = minOk || maxOk;
    form.outputMin = minOk ? lo : -HUGE_VAL;
    form.outputMax = maxOk ? hi : HUGE_VAL;
    return !form.limited || form.outputMin < form.outputMax;
}

void TuningPanel::formEdited()
{
    if (loading)
        return;
    if (!applyForm(states[std::size_t(current)], ui->comboControllerForm->currentIndex() == 1,
                   ui->checkDerivativeOnMeasurement->isChecked(), ui->editOutputMin->text(),
                   ui->editOutputMax->text()))
        emit message(tr("输出下限必须小于上限"));
    emit formChanged(current);
}

QVariantMap TuningPanel::formEntry(int channel) const
{
    if (channel < 0 || channel >= ChannelCount)
        return QVariantMap();
    const ChannelState &state = states[std::size_t(channel)];
    return {{QStringLiteral("perSample"), state.form.timing == ControllerForm::Timing::PerSample},
            {QStringLiteral("derivativeOnMeasurement"), state.form.derivativeOnMeasurement},
            {QStringLiteral("min"), state.minText},
            {QStringLiteral("max"), state.maxText}};
}

void TuningPanel::setFormEntry(int channel, const QVariantMap &entry)
{
    if (channel < 0 || channel >= ChannelCount || !entry.contains(QStringLiteral("min")))
        return;
    applyForm(states[std::size_t(channel)], entry.value(QStringLiteral("perSample")).toBool(),
              entry.value(QStringLiteral("derivativeOnMeasurement")).toBool(),
              entry.value(QStringLiteral("min")).toString(),
              entry.value(QStringLiteral("max")).toString());
    if (channel == current)
        showChannel();
}

void TuningPanel::showChannel()
{
    loading = true;
    const ChannelState &state = states[std::size_t(current)];
    ui->comboControllerForm->setCurrentIndex(
        state.form.timing == ControllerForm::Timing::PerSample ? 1 : 0);
    ui->checkDerivativeOnMeasurement->setChecked(state.form.derivativeOnMeasurement);
    ui->editOutputMin->setText(state.minText);
    ui->editOutputMax->setText(state.maxText);

    ui->tableModel->clearSpans();
    if (!state.refusal.isEmpty()) {
        setRow(ui->tableModel, 0, {state.refusal, QString(), QString(), QString()});
        ui->tableModel->setSpan(0, 0, 1, 4);
        ui->tableModel->item(0, 0)->setToolTip(state.refusal);
    } else if (state.outcome) {
        const LoopIdentifier::Result &id = state.outcome->identified;
        setRow(ui->tableModel, 0,
               {number(id.model.gain), number(id.model.timeConstantS) + QStringLiteral(" s"),
                number(id.model.deadTimeS) + QStringLiteral(" s"),
                QString::number(id.fitPercent, 'f', 1) + QLatin1Char('%')});
        ui->tableModel->item(0, 0)->setToolTip(QString());
    } else {
        setRow(
            ui->tableModel, 0,
            {QStringLiteral("—"), QStringLiteral("—"), QStringLiteral("—"), QStringLiteral("—")});
    }
    for (int row = 0; row < TuningRules::AimCount; ++row) {
        const TuningRules::Aim aim = TuningRules::Aim(row);
        QStringList texts = {TuningRules::aimName(aim)};
        if (state.outcome && state.refusal.isEmpty() &&
            state.outcome->suggestions[std::size_t(row)].ok) {
            const TuningRules::Suggestion &s = state.outcome->suggestions[std::size_t(row)];
            texts << number(s.p) << number(s.i) << number(s.d)
                  << timeText(s.predicted.riseSamples, s.samplePeriodS)
                  << QString::number(s.predicted.overshootPercent, 'f', 1) + QLatin1Char('%')
                  << timeText(s.predicted.settlingSamples, s.samplePeriodS);
        } else {
            for (int column = 1; column < 7; ++column)
                texts << QStringLiteral("—");
        }
        setRow(ui->tableSuggestions, row, texts);
    }
    ui->tableSuggestions->setCurrentCell(state.selected, 0);
    if (state.selected < 0)
        ui->tableSuggestions->clearSelection();
    ui->buttonApplySuggestion->setEnabled(state.selected >= 0);
    loading = false;
}

void TuningPanel::identify()
{
    if (watcher.isRunning())
        return;
    ChannelState &state = states[std::size_t(current)];
    if (!source)
        return;
    const StepWindow window = source(current);
    state.outcome.reset();
    state.selected = -1;
    state.trace.clear();
    if (!window.missing.isEmpty()) {
        state.refusal = window.missing;
        showChannel();
        emit predictionChanged(current);
        return;
    }
    if (state.form.limited && !(state.form.outputMin < state.form.outputMax)) {
        state.refusal = tr("输出下限必须小于上限");
        showChannel();
        emit predictionChanged(current);
        return;
    }
    state.refusal.clear();
    ui->buttonIdentify->setEnabled(false);
    emit message(tr("正在识别……"));
    watcher.setFuture(QtConcurrent::run(&TuningPanel::work, current, window, state.form));
}

TuningPanel::Outcome TuningPanel::work(int channel, const StepWindow &window,
                                       const ControllerForm &form)
{
    const StepData &data = window.data;
    Outcome outcome;
    outcome.channel = channel;
    outcome.firstSample = window.firstSample;
    outcome.identified = LoopIdentifier::identify(data, form);
    if (!outcome.identified.ok)
        return outcome;
    const PlantModel &model = outcome.identified.model;
    TuningRules::Step step;
    step.start = model.rest + model.gain * data.initialOutput;
    step.target = data.target;
    step.samplePeriodS = data.samplePeriodS;
    step.samples = data.actual.size();
    step.initialOutput = data.initialOutput;
    step.running = data.running;
    step.noise = outcome.identified.noise;
    step.band = window.settlingBand;
    outcome.suggestions = TuningRules::suggest(model, form, step);
    return outcome;
}

void TuningPanel::finished()
{
    ui->buttonIdentify->setEnabled(true);
    const Outcome outcome = watcher.result();
    ChannelState &state = states[std::size_t(outcome.channel)];
    state.outcome = outcome;
    state.anchor = outcome.firstSample;
    if (!outcome.identified.ok) {
        state.refusal = outcome.identified.refusal;
        emit message(tr("无法识别：%1").arg(state.refusal));
    } else if (!outcome.suggestions[1].ok) {
        state.refusal = outcome.suggestions[1].refusal;
        emit message(tr("没有建议：%1").arg(state.refusal));
    } else {
        state.refusal.clear();
        emit message(tr("已识别：拟合度%1%").arg(outcome.identified.fitPercent, 0, 'f', 1));
    }
    if (outcome.channel == current)
        showChannel();
}

void TuningPanel::selectRow(int row)
{
    if (loading)
        return;
    ChannelState &state = states[std::size_t(current)];
    const bool usable = state.outcome && state.refusal.isEmpty() && row >= 0 &&
                        row < TuningRules::AimCount &&
                        state.outcome->suggestions[std::size_t(row)].ok;
    state.selected = usable ? row : -1;
    state.trace.clear();
    if (usable) {
        const QVector<double> &trace = state.outcome->suggestions[std::size_t(row)].trace;
        state.trace.reserve(trace.size());
        for (const double v : trace)
            state.trace.append(float(v));
    }
    ui->buttonApplySuggestion->setEnabled(usable);
    emit predictionChanged(current);
}

TuningPanel::Prediction TuningPanel::prediction(int channel, qint64 openFirst)
{
    if (channel < 0 || channel >= ChannelCount)
        return Prediction();
    ChannelState &state = states[std::size_t(channel)];
    if (state.trace.isEmpty())
        return Prediction();
    // Once the next step opens, the prediction lies on it, where the tuner looks.
    if (openFirst >= 0)
        state.anchor = openFirst;
    return Prediction{state.trace, std::max<qint64>(0, state.anchor)};
}

std::optional<TuningRules::Suggestion> TuningPanel::appliedSuggestion(int channel) const
{
    if (channel < 0 || channel >= ChannelCount)
        return std::nullopt;
    return states[std::size_t(channel)].applied;
}

void TuningPanel::applySuggestion()
{
    ChannelState &state = states[std::size_t(current)];
    if (!writer || state.selected < 0 || !state.outcome)
        return;
    const TuningRules::Suggestion &s = state.outcome->suggestions[std::size_t(state.selected)];
    // All three or none reported as written: a port that is not open stops at P.
    if (!writer(CmdP, float(s.p)) || !writer(CmdI, float(s.i)) || !writer(CmdD, float(s.d)))
        return;
    state.applied = s;
    emit message(tr("已写入建议（%1）").arg(TuningRules::aimName(s.aim)));
    emit suggestionApplied(current);
}
