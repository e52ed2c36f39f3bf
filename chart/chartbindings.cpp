#include "chart/chartbindings.h"

#include "chart/chartinteraction.h"
#include "chart/comparisonoverlay.h"
#include "chart/pid_diagram.h"

#include <QCheckBox>
#include <QPushButton>
#include <QShortcut>

ChartBindings::ChartBindings(const Widgets &widgets, PID_Diagram *diagram, QObject *parent)
    : QObject(parent), mouse(new ChartInteraction(diagram))
{
    // A legend click and a check box show or hide the channel alike; the box follows the
    // chart without emitting clicked.
    const std::array<QCheckBox *, ChannelCount> channelBoxes = widgets.channels;
    connect(diagram, &PID_Diagram::channelShownChanged, this, [channelBoxes](int ch, bool shown) {
        channelBoxes[std::size_t(ch)]->setChecked(shown);
    });
    connect(widgets.compare, &QCheckBox::toggled, diagram->comparison(),
            &ComparisonOverlay::setShown);
    connect(widgets.timeInSeconds, &QCheckBox::toggled, diagram, &PID_Diagram::setTimeInSeconds);

    // Keys for the chart's buttons, on the PID tab only (the shortcuts belong to its page,
    // which is visible only while it is the current tab). A key presses its button, so it
    // does what a click does and nothing while the button is disabled.
    const struct
    {
        QPushButton *button;
        QKeySequence key;
    } keys[] = {
        {widgets.pause, QKeySequence(Qt::Key_F6)},
        {widgets.exportChart, QKeySequence(Qt::CTRL | Qt::Key_E)},
        {widgets.importChart, QKeySequence(Qt::CTRL | Qt::Key_I)},
        {widgets.clear, QKeySequence(Qt::CTRL | Qt::Key_L)},
        {widgets.start, QKeySequence(Qt::Key_F5)},
    };
    for (const auto &k : keys) {
        auto *shortcut = new QShortcut(k.key, widgets.page);
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
