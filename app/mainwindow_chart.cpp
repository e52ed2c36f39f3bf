// PID tab: what the chart does beyond its controls (mouse, legend, comparison, keys).
#include "app/mainwindow.h"
#include "chart/chartinteraction.h"
#include "chart/comparisonoverlay.h"
#include "chart/pid_diagram.h"
#include "forms/mainwindow_ui.h"

#include <QShortcut>

#include <array>

void MainWindow::wireChart()
{
    chartInteraction = new ChartInteraction(diagram);

    // A legend click and a check box show or hide the channel alike; the box follows the
    // chart without emitting clicked.
    const std::array<QCheckBox *, ChannelCount> channelBoxes{ui->checkCH1, ui->checkCH2,
                                                             ui->checkCH3, ui->checkCH4};
    connect(diagram, &PID_Diagram::channelShownChanged, this, [channelBoxes](int ch, bool shown) {
        channelBoxes[std::size_t(ch)]->setChecked(shown);
    });
    connect(ui->checkCompare, &QCheckBox::toggled, diagram->comparison(),
            &ComparisonOverlay::setShown);
    connect(ui->checkTimeInSeconds, &QCheckBox::toggled, diagram, &PID_Diagram::setTimeInSeconds);

    // Keys for the chart's buttons, on the PID tab only (the shortcuts belong to its page,
    // which is visible only while it is the current tab). A key presses its button, so it
    // does what a click does and nothing while the button is disabled.
    const struct
    {
        QPushButton *button;
        QKeySequence key;
    } keys[] = {
        {ui->buttonPause, QKeySequence(Qt::Key_F6)},
        {ui->buttonExport, QKeySequence(Qt::CTRL | Qt::Key_E)},
        {ui->buttonInport, QKeySequence(Qt::CTRL | Qt::Key_I)},
        {ui->buttonClear, QKeySequence(Qt::CTRL | Qt::Key_L)},
        {ui->buttonStart, QKeySequence(Qt::Key_F5)},
    };
    for (const auto &k : keys) {
        auto *shortcut = new QShortcut(k.key, ui->tabPID);
        shortcut->setAutoRepeat(false);
        QPushButton *button = k.button;
        connect(shortcut, &QShortcut::activated, button, [button] {
            if (button->isEnabled())
                button->animateClick();
        });
        button->setToolTip(button->toolTip() +
                           QStringLiteral("(%1)").arg(k.key.toString(QKeySequence::NativeText)));
    }
}
