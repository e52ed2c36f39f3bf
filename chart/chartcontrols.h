#pragma once

#include <QObject>

#include <array>

class PID_Diagram;
class QCheckBox;
class QPushButton;
class QScrollBar;

// The controls beside the PID chart: pause, clear, the channel boxes, auto-scroll and the two
// scroll bars. The horizontal bar either moves the view (its handle then shows where the view
// is and how much of the data it shows) or, with the switch box ticked, sets the visible
// share of the data.
class ChartControls : public QObject
{
    Q_OBJECT

public:
    struct Widgets
    {
        QPushButton *pause;
        QPushButton *clear;
        QScrollBar *horizontal;
        QScrollBar *vertical;
        QCheckBox *zoomSwitch;
        QCheckBox *autoScroll;
        std::array<QCheckBox *, 4> channels;
    };

    // The horizontal bar's steps: its value over this is the position or the visible share.
    static constexpr int BarSteps = 1000;

    ChartControls(const Widgets &widgets, PID_Diagram *diagram, QObject *parent = nullptr);

    // Where the horizontal handle stands for the view [xMin, xMax] over the held samples
    // [first, end): in zoom mode the visible share, else the position (1 the oldest end,
    // 1/BarSteps the newest); pageStep sizes the handle to the visible share. `value` is 0
    // when the view leaves no room to move (the handle then stays).
    struct Handle
    {
        int value;
        int pageStep;
    };
    static Handle handleFor(double xMin, double xMax, double first, double end, bool zoom);

public Q_SLOTS:
    void on_buttonClear_clicked();
    void on_buttonPause_clicked();
    void on_checkAuto_stateChanged(int arg1);
    void on_checkSwitch_stateChanged(int arg1);
    void on_checkCH1_clicked(bool checked);
    void on_checkCH2_clicked(bool checked);
    void on_checkCH3_clicked(bool checked);
    void on_checkCH4_clicked(bool checked);
    void on_vScrollBar_sliderMoved(int position);
    void on_hScrollBar_sliderMoved(int position);

Q_SIGNALS:
    // For the status bar.
    void message(const QString &text);

private:
    void followView();

    Widgets ui;
    PID_Diagram *diagram;
    bool pauseNext = true;
    bool hScrollZoom = false;
    float hScrollPosition = 0.0f;
};
