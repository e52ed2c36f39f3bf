// The tuning assistant's work for one step window: identification and the three suggestions,
// for windows of 2,000 and 20,000 samples of the simulated board's motor at 100 samples/s.

#include "pidlink/pidframe.h"
#include "tools/boardsim/boardsimulator.h"
#include "tuning/loopidentifier.h"
#include "tuning/tuningrules.h"

#include <QCoreApplication>
#include <QElapsedTimer>

#include <algorithm>
#include <cstdio>
#include <vector>

namespace {

double identifyAndSuggestMs(int samples, int repeats)
{
    BoardSimulator board;
    board.start();
    StepData data;
    data.samplePeriodS = board.options().sampleTime;
    data.target = 100.0;
    data.gainsKnown = true;
    data.gains = {board.controller(0).p(), board.controller(0).i(), board.controller(0).d()};
    for (int k = 0; k < samples; ++k) {
        board.advance();
        float v = 0;
        board.value(CmdActual, 0, &v);
        data.actual.append(double(v));
    }
    const ControllerForm form = ControllerForm::simulatedBoard(0);
    std::vector<double> times;
    for (int r = 0; r < repeats; ++r) {
        QElapsedTimer clock;
        clock.start();
        const LoopIdentifier::Result id = LoopIdentifier::identify(data, form);
        TuningRules::Step step;
        step.start = id.model.rest;
        step.target = data.target;
        step.samplePeriodS = data.samplePeriodS;
        step.samples = samples;
        step.noise = id.noise;
        const auto suggestions = TuningRules::suggest(id.model, form, step);
        times.push_back(double(clock.nsecsElapsed()) / 1e6);
        if (!id.ok || !suggestions[1].ok)
            std::printf("refused: %s\n", qPrintable(id.ok ? suggestions[1].refusal : id.refusal));
    }
    std::sort(times.begin(), times.end());
    return times[times.size() / 2];
}

} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    // Medians of several runs: the machine is shared.
    std::printf("FIGURE identify_2000_ms %.1f ms\n", identifyAndSuggestMs(2000, 9));
    std::printf("FIGURE identify_20000_ms %.1f ms\n", identifyAndSuggestMs(20000, 3));
    return 0;
}
