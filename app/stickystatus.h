#pragma once

#include <QObject>
#include <QPointer>
#include <QStringList>
#include <QTimer>

class QStatusBar;

// Keeps a failure in the status bar where the user sees it: a held message is shown again over
// whatever routine message replaces it, for HoldMs after the last failure; after that it stays
// until the next message. Failures that come while one is held are shown together.
class StickyStatus : public QObject
{
    Q_OBJECT

public:
    static constexpr int HoldMs = 10000;

    explicit StickyStatus(QStatusBar *bar, int holdMs = HoldMs);

    void hold(const QString &failure);
    bool isHolding() const { return !held.isEmpty(); }

private:
    void messageChanged(const QString &text);

    QPointer<QStatusBar> bar;
    QStringList held;
    QString shown;
    QTimer release;
};
