// PID tab: the controls beside the chart.
#include "app/mainwindow.h"
#include "chart/pid_diagram.h"
#include "forms/mainwindow_ui.h"

#include <QStatusBar>

#include <algorithm>

void MainWindow::on_buttonClear_clicked()
{
    diagram->clearAll();
}

void MainWindow::on_buttonPause_clicked()
{
    diagram->setPause(pauseNext);
    pauseNext = !pauseNext;
    // The text names what the next press does.
    ui->buttonPause->setText(pauseNext ? tr("暂停") : tr("继续"));
}

void MainWindow::on_checkAuto_stateChanged(int arg1)
{
    if (arg1 != 0) {
        statusBar()->showMessage(tr("自动滚屏模式开启"), 0);
        diagram->autoScroll = true;
        ui->hScrollBar->setEnabled(false);
        ui->vScrollBar->setEnabled(false);
    } else {
        statusBar()->showMessage(tr("自动滚屏模式关闭"), 0);
        diagram->autoScroll = false;
        ui->vScrollBar->setEnabled(true);
        ui->hScrollBar->setEnabled(true);
    }
}

void MainWindow::on_checkSwitch_stateChanged(int arg1)
{
    statusBar()->showMessage(tr("更改横向滚动条功能"), 0);
    // Only the handle moves: setValue emits no sliderMoved, so the view stays.
    ui->hScrollBar->setValue(int(arg1 != 0 ? hScrollValueZoom : hScrollValueMove));
    hScrollZoom = arg1 != 0;
}

void MainWindow::on_checkCH1_clicked(bool checked)
{
    diagram->setChannelShown(0, checked);
}

void MainWindow::on_checkCH2_clicked(bool checked)
{
    diagram->setChannelShown(1, checked);
}

void MainWindow::on_checkCH3_clicked(bool checked)
{
    diagram->setChannelShown(2, checked);
}

void MainWindow::on_checkCH4_clicked(bool checked)
{
    diagram->setChannelShown(3, checked);
}

void MainWindow::on_vScrollBar_sliderMoved(int position)
{
    diagram->setVerticalScale(1.0 - position / 1000.0);
}

void MainWindow::on_hScrollBar_sliderMoved(int position)
{
    const double x = position / 1000.0;
    if (!hScrollZoom) {
        hScrollPosition = float(x);
        diagram->setHorizontalView(double(hScrollPosition), 0);
    } else {
        // Never narrower than 1 % of channel 1's samples.
        diagram->setHorizontalView(double(hScrollPosition), std::max(x, 0.01));
    }
}
