#include "tools/step/stepreport.h"

#include "datafiles/recordingcodec.h"

#include <QJsonArray>
#include <QJsonValue>

#include <cmath>
#include <optional>

namespace {
QJsonValue number(const std::optional<double> &value)
{
    return value && std::isfinite(*value) ? QJsonValue(*value) : QJsonValue(QJsonValue::Null);
}

QJsonValue gains(const StepResult::Gains &g)
{
    return QJsonObject{
        {QStringLiteral("p"), g.p}, {QStringLiteral("i"), g.i}, {QStringLiteral("d"), g.d}};
}

QJsonValue step(const std::optional<StepResult::Figures> &f)
{
    if (!f)
        return QJsonValue::Null;
    return QJsonObject{{QStringLiteral("from"), number(f->from)},
                       {QStringLiteral("to"), number(f->to)},
                       {QStringLiteral("riseMs"), number(f->riseMs)},
                       {QStringLiteral("peakMs"), number(f->peakMs)},
                       {QStringLiteral("overshootPct"), number(f->overshootPercent)},
                       {QStringLiteral("settlingMs"), number(f->settlingMs)},
                       {QStringLiteral("steadyStateError"), number(f->steadyStateError)}};
}

QJsonValue predicted(const StepResult::Predicted &p)
{
    return QJsonObject{{QStringLiteral("riseMs"), number(p.riseMs)},
                       {QStringLiteral("overshootPct"), number(p.overshootPercent)},
                       {QStringLiteral("settlingMs"), number(p.settlingMs)}};
}

// Milliseconds as a person reads them: "—" for none.
QString ms(const std::optional<double> &value)
{
    return value ? QStringLiteral("%1 ms").arg(*value, 0, 'f', *value < 100 ? 1 : 0)
                 : QStringLiteral("—");
}

QString percent(const std::optional<double> &value)
{
    return value ? QStringLiteral("%1 %").arg(*value, 0, 'f', 1) : QStringLiteral("—");
}

QString plain(const std::optional<double> &value)
{
    return value ? QString::number(*value, 'g', 4) : QStringLiteral("—");
}

QString gainsText(const StepResult::Gains &g)
{
    return QStringLiteral("P %1  I %2  D %3")
        .arg(g.p, 0, 'g', 6)
        .arg(g.i, 0, 'g', 6)
        .arg(g.d, 0, 'g', 6);
}

void addRow(QString &out, const QString &name, const QString &value)
{
    out += name.leftJustified(22) + value + QLatin1Char('\n');
}

void addFigures(QString &out, const StepResult::Figures &f, const StepResult::Predicted *p)
{
    const auto withPrediction = [p](const QString &measured, const QString &predicted) {
        return p ? measured.leftJustified(14) + QStringLiteral("(predicted %1)").arg(predicted)
                 : measured;
    };
    addRow(out, QStringLiteral("step"),
           QStringLiteral("%1 -> %2").arg(f.from, 0, 'g', 6).arg(f.to, 0, 'g', 6));
    addRow(out, QStringLiteral("rise"),
           withPrediction(ms(f.riseMs), p ? ms(p->riseMs) : QString()));
    addRow(out, QStringLiteral("peak"), ms(f.peakMs));
    addRow(
        out, QStringLiteral("overshoot"),
        withPrediction(percent(f.overshootPercent), p ? percent(p->overshootPercent) : QString()));
    addRow(out, QStringLiteral("settling"),
           withPrediction(f.settlingMs ? ms(f.settlingMs) : QStringLiteral("never settled"),
                          p ? ms(p->settlingMs) : QString()));
    addRow(out, QStringLiteral("steady-state error"), plain(f.steadyStateError));
}
} // namespace

QJsonObject StepReport::json(const StepResult &result)
{
    QJsonObject out;
    out.insert(QStringLiteral("channel"), result.channel + 1);
    out.insert(QStringLiteral("samplePeriodMs"), number(result.first.samplePeriodMs));
    out.insert(QStringLiteral("gains"),
               result.gains ? gains(*result.gains) : QJsonValue(QJsonValue::Null));
    out.insert(QStringLiteral("step"), step(result.first.figures));
    if (result.model) {
        const StepResult::Model &m = *result.model;
        out.insert(QStringLiteral("model"),
                   QJsonObject{{QStringLiteral("gain"), number(m.gain)},
                               {QStringLiteral("timeConstantMs"), number(m.timeConstantMs)},
                               {QStringLiteral("deadTimeMs"), number(m.deadTimeMs)},
                               {QStringLiteral("fitPct"), number(m.fitPercent)}});
    } else {
        out.insert(QStringLiteral("model"), QJsonValue::Null);
    }
    if (result.suggestionsAsked && result.model) {
        QJsonArray list;
        for (const StepResult::Suggestion &s : result.suggestions) {
            QJsonObject entry{{QStringLiteral("aim"), s.aim},
                              {QStringLiteral("p"), s.gains.p},
                              {QStringLiteral("i"), s.gains.i},
                              {QStringLiteral("d"), s.gains.d},
                              {QStringLiteral("predicted"), predicted(s.predicted)}};
            list.append(entry);
        }
        out.insert(QStringLiteral("suggestions"), list);
    } else {
        out.insert(QStringLiteral("suggestions"), QJsonValue::Null);
    }
    if (result.applied) {
        const StepResult::Applied &a = *result.applied;
        out.insert(
            QStringLiteral("applied"),
            QJsonObject{{QStringLiteral("aim"), a.aim},
                        {QStringLiteral("gains"), gains(a.gains)},
                        {QStringLiteral("step"), step(a.run.figures)},
                        {QStringLiteral("predicted"), predicted(a.predicted)},
                        {QStringLiteral("predictionFitPct"), number(a.predictionFitPercent)}});
    } else {
        out.insert(QStringLiteral("applied"), QJsonValue::Null);
    }
    return out;
}

QString StepReport::table(const StepResult &result)
{
    QString out;
    addRow(out, QStringLiteral("channel"), QStringLiteral("CH%1").arg(result.channel + 1));
    addRow(out, QStringLiteral("sample period"), ms(result.first.samplePeriodMs));
    addRow(out, QStringLiteral("gains"),
           result.gains ? gainsText(*result.gains) : QStringLiteral("—"));
    if (result.first.figures)
        addFigures(out, *result.first.figures, nullptr);
    if (result.model) {
        const StepResult::Model &m = *result.model;
        addRow(out, QStringLiteral("model"),
               QStringLiteral("gain %1, time constant %2, dead time %3, fit %4")
                   .arg(m.gain, 0, 'g', 4)
                   .arg(ms(m.timeConstantMs), ms(m.deadTimeMs), percent(m.fitPercent)));
    }
    for (const StepResult::Suggestion &s : result.suggestions) {
        addRow(out, QStringLiteral("suggested (%1)").arg(s.aim),
               QStringLiteral("%1; predicted rise %2, overshoot %3, settling %4")
                   .arg(gainsText(s.gains), ms(s.predicted.riseMs),
                        percent(s.predicted.overshootPercent), ms(s.predicted.settlingMs)));
    }
    if (result.applied) {
        const StepResult::Applied &a = *result.applied;
        out += QStringLiteral("\napplied %1: %2\n").arg(a.aim, gainsText(a.gains));
        if (a.run.figures)
            addFigures(out, *a.run.figures, &a.predicted);
        addRow(out, QStringLiteral("prediction fit"), percent(a.predictionFitPercent));
    }
    return out;
}

QByteArray StepReport::csv(const StepResult &result)
{
    QByteArray out = RecordingCodec::headerLine();
    double offset = 0;
    for (const StepResult::Run *run :
         {&result.first, result.applied ? &result.applied->run : nullptr}) {
        if (!run)
            continue;
        for (const StepResult::Sample &s : run->samples)
            RecordingCodec::appendRow(out, qint64(std::llround(offset + s.timeMs)), result.channel,
                                      s.actual, s.target);
        if (!run->samples.isEmpty())
            offset += run->samples.constLast().timeMs;
    }
    return out;
}
