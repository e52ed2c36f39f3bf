#include "tools/step/stepchart.h"

#include <QImageWriter>
#include <QPainter>
#include <QPainterPath>

#include <algorithm>
#include <cmath>
#include <limits>
#include <vector>

namespace {
struct Curve
{
    std::vector<QPointF> points; // (ms from the step, value)
    QColor colour;
    Qt::PenStyle style = Qt::SolidLine;
    QString label;
};

// The step window of a run, at its mean sample period from the step's first sample.
void addRun(std::vector<Curve> &curves, const StepResult::Run &run, const QColor &actual,
            const QString &label)
{
    if (run.stepStart < 0 || !run.samplePeriodMs)
        return;
    Curve values{{}, actual, Qt::SolidLine, label};
    Curve targets{{}, QColor(120, 120, 120), Qt::SolidLine, QString()};
    const int end = std::min<int>(run.samples.size(), run.stepStart + run.stepLength);
    for (int k = run.stepStart; k < end; ++k) {
        const double t = (k - run.stepStart) * *run.samplePeriodMs;
        values.points.emplace_back(t, double(run.samples[k].actual));
        targets.points.emplace_back(t, double(run.samples[k].target));
    }
    curves.push_back(targets);
    curves.push_back(values);
}

void addPrediction(std::vector<Curve> &curves, const QVector<double> &trace,
                   const std::optional<double> &periodMs, const QString &label)
{
    if (trace.isEmpty() || !periodMs)
        return;
    Curve c{{}, QColor(230, 120, 20), Qt::DashLine, label};
    for (int k = 0; k < trace.size(); ++k)
        c.points.emplace_back(k * *periodMs, trace[k]);
    curves.push_back(c);
}

// Round steps for the axes: 1, 2 or 5 times a power of ten, about `count` of them.
double tickStep(double span, int count)
{
    const double raw = span / count;
    const double power = std::pow(10.0, std::floor(std::log10(raw)));
    for (const double m : {1.0, 2.0, 5.0}) {
        if (m * power >= raw)
            return m * power;
    }
    return 10 * power;
}
} // namespace

QImage StepChart::render(const StepResult &result, const QSize &size)
{
    std::vector<Curve> curves;
    addRun(curves, result.first, QColor(40, 90, 200),
           result.applied ? QStringLiteral("first step") : QStringLiteral("actual"));
    if (result.applied) {
        addRun(curves, result.applied->run, QColor(20, 150, 60),
               QStringLiteral("applied (%1)").arg(result.applied->aim));
        addPrediction(curves, result.applied->predictedTrace, result.applied->run.samplePeriodMs,
                      QStringLiteral("predicted"));
    } else if (!result.suggestions.isEmpty()) {
        addPrediction(curves, result.suggestions.constFirst().trace, result.first.samplePeriodMs,
                      QStringLiteral("predicted (%1)").arg(result.suggestions.constFirst().aim));
    }

    double x1 = 0, y0 = std::numeric_limits<double>::infinity(), y1 = -y0;
    for (const Curve &c : curves) {
        for (const QPointF &p : c.points) {
            if (!std::isfinite(p.y()))
                continue;
            x1 = std::max(x1, p.x());
            y0 = std::min(y0, p.y());
            y1 = std::max(y1, p.y());
        }
    }
    if (!(y0 < y1)) {
        y0 = std::isfinite(y0) ? y0 - 1 : 0;
        y1 = y0 + 2;
    }
    const double margin = (y1 - y0) * 0.05;
    y0 -= margin;
    y1 += margin;
    if (!(x1 > 0))
        x1 = 1;

    QImage image(size, QImage::Format_RGB32);
    image.fill(Qt::white);
    QPainter painter(&image);
    painter.setRenderHint(QPainter::Antialiasing);
    const QRectF plot(70, 40, size.width() - 90, size.height() - 90);
    const auto at = [&](const QPointF &p) {
        return QPointF(plot.left() + p.x() / x1 * plot.width(),
                       plot.bottom() - (p.y() - y0) / (y1 - y0) * plot.height());
    };

    painter.setPen(QColor(225, 225, 225));
    const QFontMetrics metrics(painter.font());
    const double xStep = tickStep(x1, 8), yStep = tickStep(y1 - y0, 6);
    for (double x = 0; x <= x1 + 1e-9; x += xStep) {
        const QPointF p = at({x, y0});
        painter.setPen(QColor(225, 225, 225));
        painter.drawLine(QPointF(p.x(), plot.top()), QPointF(p.x(), plot.bottom()));
        painter.setPen(Qt::black);
        const QString text = QString::number(x, 'g', 6);
        painter.drawText(QPointF(p.x() - metrics.horizontalAdvance(text) / 2.0,
                                 plot.bottom() + metrics.height() + 2),
                         text);
    }
    for (double y = std::ceil(y0 / yStep) * yStep; y <= y1; y += yStep) {
        const QPointF p = at({0, y});
        painter.setPen(QColor(225, 225, 225));
        painter.drawLine(QPointF(plot.left(), p.y()), QPointF(plot.right(), p.y()));
        painter.setPen(Qt::black);
        const QString text = QString::number(y, 'g', 6);
        painter.drawText(QPointF(plot.left() - metrics.horizontalAdvance(text) - 6,
                                 p.y() + metrics.ascent() / 2.0),
                         text);
    }
    painter.setPen(Qt::black);
    painter.drawRect(plot);
    painter.drawText(
        QPointF(plot.right() - metrics.horizontalAdvance(QStringLiteral("ms")), size.height() - 8),
        QStringLiteral("ms"));
    painter.drawText(QPointF(plot.left(), 24),
                     QStringLiteral("CH%1 step response").arg(result.channel + 1));

    painter.setClipRect(plot);
    for (const Curve &c : curves) {
        QPainterPath path;
        bool drawing = false;
        for (const QPointF &p : c.points) {
            if (!std::isfinite(p.y())) {
                drawing = false;
                continue;
            }
            drawing ? path.lineTo(at(p)) : path.moveTo(at(p));
            drawing = true;
        }
        painter.setPen(QPen(c.colour, c.style == Qt::SolidLine ? 1.5 : 2.0, c.style));
        painter.drawPath(path);
    }
    painter.setClipping(false);
    // The legend, top right inside the plot.
    int widest = 0;
    for (const Curve &c : curves)
        widest = std::max(widest, metrics.horizontalAdvance(c.label));
    const double legendX = plot.right() - widest - 50;
    double legendY = plot.top() + 18;
    for (const Curve &c : curves) {
        if (c.label.isEmpty())
            continue;
        painter.setPen(QPen(c.colour, 2.0, c.style));
        painter.drawLine(QPointF(legendX, legendY - 4), QPointF(legendX + 30, legendY - 4));
        painter.setPen(Qt::black);
        painter.drawText(QPointF(legendX + 38, legendY), c.label);
        legendY += metrics.height() + 2;
    }
    return image;
}

bool StepChart::save(const StepResult &result, const QString &path, QString *error)
{
    QImageWriter writer(path, "png");
    if (writer.write(render(result)))
        return true;
    *error = QStringLiteral("cannot write %1: %2").arg(path, writer.errorString());
    return false;
}
