#pragma once

#include "pidlink/pidframe.h"

#include <QObject>

#include <array>

class ChartInteraction;
class PID_Diagram;
class QCheckBox;
class QPushButton;
class QWidget;

// What the chart does beyond its controls: the mouse and legend (ChartInteraction), the
// channel boxes following the legend, the comparison and time-unit boxes, and the keys for
// the chart's buttons.
class ChartBindings : public QObject
{
    Q_OBJECT

public:
    struct Widgets
    {
        std::array<QCheckBox *, ChannelCount> channels;
        QCheckBox *compare, *timeInSeconds;
        QPushButton *pause, *exportChart, *importChart, *clear, *start;
        QWidget *page; // the keys work while this page is visible
    };

    ChartBindings(const Widgets &widgets, PID_Diagram *diagram, QObject *parent = nullptr);

    ChartInteraction *interaction() const { return mouse; }

private:
    ChartInteraction *mouse = nullptr; // a child of the diagram
};
