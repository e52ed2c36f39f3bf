#include "benchmarks/benchapp.h"

#include <QString>
#include <QtGlobal>


namespace {

QtMessageHandler previous = nullptr;

void filter(QtMsgType type, const QMessageLogContext &context, const QString &message)
{
    if (message.contains(QLatin1String("propagateSizeHints")) ||
        message.contains(QLatin1String("XDG_RUNTIME_DIR")))
        return;
    if (previous)
        previous(type, context, message);
}

} // namespace

void quietPlatformWarnings()
{
    previous = qInstallMessageHandler(filter);
}
