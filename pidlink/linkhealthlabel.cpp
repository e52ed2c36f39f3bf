#include "pidlink/linkhealthlabel.h"

#include "pidlink/pidlink.h"

LinkHealthLabel::LinkHealthLabel(const PidLink *pidLink, QWidget *parent)
    : QLabel(parent), link(pidLink)
{
    setObjectName(QStringLiteral("labelLinkHealth"));
    setToolTip(tr("PID链路：收到的帧、丢弃的字节、重新同步的次数"));
    hide();
    timer.setInterval(IntervalMs);
    connect(&timer, &QTimer::timeout, this, &LinkHealthLabel::refresh);
}

void LinkHealthLabel::setWatching(bool on)
{
    if (on) {
        refresh();
        timer.start();
    } else {
        timer.stop();
    }
    setVisible(on);
}

void LinkHealthLabel::refresh()
{
    QString next;
    if (link->stringMode()) {
        const auto &h = link->lineHealth();
        next =
            tr("行 %1 · 格式错误 %2 · 丢弃 %3 字符").arg(h.lines).arg(h.malformed).arg(h.dropped);
    } else {
        const auto &h = link->frameHealth();
        next = tr("帧 %1 · 丢弃 %2 字节 · 重同步 %3").arg(h.frames).arg(h.discarded).arg(h.resyncs);
    }
    if (next != text())
        setText(next);
}
