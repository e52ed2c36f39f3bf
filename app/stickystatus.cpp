#include "app/stickystatus.h"

#include <QStatusBar>

StickyStatus::StickyStatus(QStatusBar *statusBar, int holdMs) : QObject(statusBar), bar(statusBar)
{
    release.setSingleShot(true);
    release.setInterval(holdMs);
    connect(&release, &QTimer::timeout, this, [this] {
        // The text stays up until something else is said.
        held.clear();
        shown.clear();
    });
    // Every message goes through the bar, whoever shows it.
    connect(bar, &QStatusBar::messageChanged, this, &StickyStatus::messageChanged);
}

void StickyStatus::hold(const QString &failure)
{
    if (!held.contains(failure))
        held << failure;
    shown = held.join(tr("；"));
    release.start();
    if (bar)
        bar->showMessage(shown, 0);
}

void StickyStatus::messageChanged(const QString &text)
{
    if (held.isEmpty() || text == shown || !bar)
        return;
    bar->showMessage(shown, 0);
}
