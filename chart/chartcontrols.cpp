#include "chart/chartcontrols.h"

#include "chart/pid_diagram.h"

#include <QCheckBox>
#include <QPushButton>
#include <QScrollBar>
#include <QtCharts/QValueAxis>

#include <algorithm>
#include <cmath>

ChartControls::ChartControls(const Widgets &widgets, PID_Diagram *chart, QObject *parent)
    : QObject(parent), ui(widgets), diagram(chart)
{
    ui.vertical->setRange(1, BarSteps);
    ui.horizontal->setRange(1, BarSteps);
    // The view's newest end is on the right, and so is the handle that shows it.
    ui.horizontal->setInvertedAppearance(true);
    // The handle moves at every tick of a run; a bar that fills its own background is opaque,
    // so its group box is not painted again behind it each time.
    for (QScrollBar *bar : {ui.vertical, ui.horizontal})
        bar->setAutoFillBackground(true);

    connect(ui.pause, &QPushButton::clicked, this, &ChartControls::on_buttonPause_clicked);
    connect(ui.clear, &QPushButton::clicked, this, &ChartControls::on_buttonClear_clicked);
    connect(ui.autoScroll, &QCheckBox::stateChanged, this,
            &ChartControls::on_checkAuto_stateChanged);
    connect(ui.zoomSwitch, &QCheckBox::stateChanged, this,
            &ChartControls::on_checkSwitch_stateChanged);
    connect(ui.channels[0], &QCheckBox::clicked, this, &ChartControls::on_checkCH1_clicked);
    connect(ui.channels[1], &QCheckBox::clicked, this, &ChartControls::on_checkCH2_clicked);
    connect(ui.channels[2], &QCheckBox::clicked, this, &ChartControls::on_checkCH3_clicked);
    connect(ui.channels[3], &QCheckBox::clicked, this, &ChartControls::on_checkCH4_clicked);
    connect(ui.vertical, &QScrollBar::sliderMoved, this, &ChartControls::on_vScrollBar_sliderMoved);
    connect(ui.horizontal, &QScrollBar::sliderMoved, this,
            &ChartControls::on_hScrollBar_sliderMoved);
    // A click beside the handle, a key or the wheel moves the view as a drag does.
    connect(ui.horizontal, &QScrollBar::actionTriggered, this, [this](int action) {
        if (action != QAbstractSlider::SliderNoAction && !ui.horizontal->isSliderDown())
            on_hScrollBar_sliderMoved(ui.horizontal->sliderPosition());
    });
    // Whatever moves the view (a run, the mouse, an import), the handle follows.
    connect(diagram->horizontalAxis(), &QtCharts::QValueAxis::rangeChanged, this,
            &ChartControls::followView);
    connect(ui.horizontal, &QScrollBar::sliderReleased, this, &ChartControls::followView);
}

ChartControls::Handle ChartControls::handleFor(double xMin, double xMax, double first, double end,
                                               bool zoom)
{
    const double held = end - first;
    const double width = xMax - xMin;
    if (!(held > 0) || !(width > 0))
        return {0, 0};
    const double share = std::min(width / held, 1.0);
    // The handle's length over the groove is pageStep / (range + pageStep).
    const double range = BarSteps - 1;
    const int pageStep = share >= 1.0
                             ? BarSteps * BarSteps
                             : std::max(1, int(std::lround(share * range / (1.0 - share))));
    const auto onBar = [](double x) {
        return std::clamp(int(std::lround(x * BarSteps)), 1, BarSteps);
    };
    if (zoom)
        return {onBar(share), pageStep};
    const double room = held - width;
    if (!(room > 0))
        return {0, pageStep};
    return {onBar(1.0 - (xMin - first) / room), pageStep};
}

void ChartControls::followView()
{
    if (ui.horizontal->isSliderDown())
        return;
    const QtCharts::QValueAxis *axis = diagram->horizontalAxis();
    const Handle handle =
        handleFor(axis->min(), axis->max(), double(diagram->samples().series(0).first()),
                  double(diagram->nextSampleNumber(0)), hScrollZoom);
    if (handle.pageStep > 0)
        ui.horizontal->setPageStep(handle.pageStep);
    // setValue emits no sliderMoved: only the handle moves.
    if (handle.value > 0)
        ui.horizontal->setValue(handle.value);
}

void ChartControls::on_buttonClear_clicked()
{
    diagram->clearAll();
}

void ChartControls::on_buttonPause_clicked()
{
    diagram->setPause(pauseNext);
    pauseNext = !pauseNext;
    // The text names what the next press does.
    ui.pause->setText(pauseNext ? tr("暂停") : tr("继续"));
}

void ChartControls::on_checkAuto_stateChanged(int arg1)
{
    const bool on = arg1 != 0;
    emit message(on ? tr("自动滚屏模式开启") : tr("自动滚屏模式关闭"));
    diagram->autoScroll = on;
    ui.horizontal->setEnabled(!on);
    ui.vertical->setEnabled(!on);
}

void ChartControls::on_checkSwitch_stateChanged(int arg1)
{
    emit message(tr("更改横向滚动条功能"));
    hScrollZoom = arg1 != 0;
    // Zooming, the handle's value is the visible share, growing to the right.
    ui.horizontal->setInvertedAppearance(!hScrollZoom);
    followView();
}

void ChartControls::on_checkCH1_clicked(bool checked)
{
    diagram->setChannelShown(0, checked);
}

void ChartControls::on_checkCH2_clicked(bool checked)
{
    diagram->setChannelShown(1, checked);
}

void ChartControls::on_checkCH3_clicked(bool checked)
{
    diagram->setChannelShown(2, checked);
}

void ChartControls::on_checkCH4_clicked(bool checked)
{
    diagram->setChannelShown(3, checked);
}

void ChartControls::on_vScrollBar_sliderMoved(int position)
{
    diagram->setVerticalScale(1.0 - position / double(BarSteps));
}

void ChartControls::on_hScrollBar_sliderMoved(int position)
{
    const double x = position / double(BarSteps);
    if (!hScrollZoom) {
        hScrollPosition = float(x);
        diagram->setHorizontalView(double(hScrollPosition), 0);
    } else {
        // Never narrower than 1 % of channel 1's samples.
        diagram->setHorizontalView(double(hScrollPosition), std::max(x, 0.01));
    }
}
