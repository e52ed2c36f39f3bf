#pragma once

#include <QLoggingCategory>

// Diagnostics per subsystem. Debug output is off by default because some of it fires per
// redraw or per exported row; enable with QT_LOGGING_RULES="tavrino.*.debug=true".
Q_DECLARE_LOGGING_CATEGORY(lcApp)
Q_DECLARE_LOGGING_CATEGORY(lcPorts)
Q_DECLARE_LOGGING_CATEGORY(lcAssistant)
Q_DECLARE_LOGGING_CATEGORY(lcPidLink)
Q_DECLARE_LOGGING_CATEGORY(lcChart)
Q_DECLARE_LOGGING_CATEGORY(lcDataFiles)
