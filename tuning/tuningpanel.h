#pragma once

#include "pidlink/pidframe.h"
#include "tuning/controllerform.h"
#include "tuning/loopidentifier.h"
#include "tuning/tuningrules.h"

#include <QFutureWatcher>
#include <QVariantMap>
#include <QVector>
#include <QWidget>

#include <array>
#include <functional>
#include <memory>
#include <optional>

namespace Ui {
class TuningPanel;
}

// The tuning assistant's dock contents for the selected channel: the controller's form (kept
// per channel), 识别 (identify the channel's last finished step window, off the GUI thread),
// the model, three suggestions with their predicted figures, the predicted response of the
// selected one for the chart, and 写入建议 (writes its P, I, D through the writer given).
class TuningPanel : public QWidget
{
    Q_OBJECT

public:
    // A channel's last finished step window; `missing` says why there is none.
    struct StepWindow
    {
        StepData data;
        qint64 firstSample = -1; // the window's first sample number on the chart
        // The analyzer's settling band of the window: the predictions are judged in it.
        double settlingBand = StepFigures::DefaultBand;
        QString missing;
    };
    using WindowSource = std::function<StepWindow(int channel)>;
    // Writes P, I or D (pidframe.h's operation) of the selected channel; true when it went out.
    using Writer = std::function<bool(int op, float value)>;

    explicit TuningPanel(QWidget *parent = nullptr);
    ~TuningPanel() override;

    void setWindowSource(WindowSource source);
    void setWriter(Writer writer);
    void selectChannel(int channel);
    int channel() const { return current; }
    ControllerForm form(int channel) const;
    // The form of a channel as the user entered it (timing, derivative on the measurement, the
    // limits' texts), to keep between runs; setFormEntry() puts one back.
    QVariantMap formEntry(int channel) const;
    void setFormEntry(int channel, const QVariantMap &entry);

    // The selected suggestion's predicted response, floats from the identified window's start,
    // drawn from `openFirst` (the channel's open window, < 0 for none: then where it was last
    // drawn, first the identified window's start). Empty without a selection.
    struct Prediction
    {
        QVector<float> values;
        qint64 first = 0;
    };
    Prediction prediction(int channel, qint64 openFirst);
    // The suggestion last written to the channel, with its predicted figures.
    std::optional<TuningRules::Suggestion> appliedSuggestion(int channel) const;
    // Whether an identification is running now.
    bool isBusy() const;

Q_SIGNALS:
    void message(const QString &text);
    // The selected suggestion or its trace changed on a channel.
    void predictionChanged(int channel);
    void suggestionApplied(int channel);
    // The user changed a channel's controller form.
    void formChanged(int channel);

private:
    struct Outcome
    {
        int channel = 0;
        qint64 firstSample = -1;
        LoopIdentifier::Result identified;
        std::array<TuningRules::Suggestion, TuningRules::AimCount> suggestions;
    };
    struct ChannelState
    {
        ControllerForm form;
        QString minText;
        QString maxText;
        std::optional<Outcome> outcome;
        QString refusal;
        int selected = -1;
        QVector<float> trace;
        qint64 anchor = -1;
        std::optional<TuningRules::Suggestion> applied;
    };

    static Outcome work(int channel, const StepWindow &window, const ControllerForm &form);
    void identify();
    void finished();
    void applySuggestion();
    void formEdited();
    // Sets a channel's form from what the controls show; false when the limits cross.
    static bool applyForm(ChannelState &state, bool perSample, bool derivativeOnMeasurement,
                          const QString &minText, const QString &maxText);
    void showChannel();
    void selectRow(int row);

    std::unique_ptr<Ui::TuningPanel> ui;
    WindowSource source;
    Writer writer;
    int current = 0;
    std::array<ChannelState, ChannelCount> states;
    QFutureWatcher<Outcome> watcher;
    bool loading = false;
};
