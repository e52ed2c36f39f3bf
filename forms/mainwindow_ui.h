#pragma once

#include "base/qtcompat.h"

// The generated form names QChartView unqualified.
#include <QtCharts/QChartView>
QT_CHARTS_USE_NAMESPACE

#include "ui_mainwindow.h"
