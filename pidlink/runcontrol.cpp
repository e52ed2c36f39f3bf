#include "pidlink/runcontrol.h"

RunControl::Step RunControl::decide(bool active, Event event)
{
    // Starting and stopping send their frame to the board, whoever asked: a board that
    // started the run hears its own start back, as it always has.
    switch (event) {
    case Event::Button:
        if (active)
            return {false, Frame::Stop, tr("停止PID调试")};
        return {true, Frame::Start, tr("开始PID调试")};
    case Event::BoardStart:
        return {true, active ? Frame::None : Frame::Start, tr("成功接收到开始指令，开始运行")};
    case Event::BoardStop:
        return {false, active ? Frame::Stop : Frame::None, tr("成功接收到停止指令，停止运行")};
    case Event::PortClosed:
        // The port is gone, so no stop frame can reach the board.
        if (active)
            return {false, Frame::None, tr("停止PID调试")};
        return {false, Frame::None, QString()};
    }
    return {active, Frame::None, QString()};
}

RunControl::Step RunControl::handle(Event event)
{
    const Step step = decide(running, event);
    running = step.active;
    return step;
}
