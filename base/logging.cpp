#include "base/logging.h"

Q_LOGGING_CATEGORY(lcApp, "tavrino.app", QtInfoMsg)
Q_LOGGING_CATEGORY(lcPorts, "tavrino.ports", QtInfoMsg)
Q_LOGGING_CATEGORY(lcAssistant, "tavrino.assistant", QtInfoMsg)
Q_LOGGING_CATEGORY(lcPidLink, "tavrino.pidlink", QtInfoMsg)
Q_LOGGING_CATEGORY(lcChart, "tavrino.chart", QtInfoMsg)
Q_LOGGING_CATEGORY(lcDataFiles, "tavrino.datafiles", QtInfoMsg)
