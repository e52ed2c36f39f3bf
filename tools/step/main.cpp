// tavrino-step: one step response of a board's PID channel from the command line, for test
// rigs and CI. The work is StepTest's; this reads the options and prints the report.

#include "app/interfacetranslation.h"
#include "app/language.h"
#include "app/version.h"
#include "base/safefile.h"
#include "tools/step/stepchart.h"
#include "tools/step/stepreport.h"
#include "tools/step/steptest.h"
#include "tools/step/stopsignal.h"

#include <QCoreApplication>
#include <QGuiApplication>
#include <QJsonDocument>
#include <QLocale>

#include <cstdio>
#include <cstring>
#include <memory>

namespace {
void printError(const QString &message)
{
    std::fprintf(stderr, "tavrino-step: %s\n", message.toLocal8Bit().constData());
}

// --png draws text, which takes a QGuiApplication; the offscreen platform needs no display.
bool wantsImage(int argc, char *argv[])
{
    for (int k = 1; k < argc; ++k) {
        if (std::strcmp(argv[k], "--png") == 0 || std::strncmp(argv[k], "--png=", 6) == 0)
            return true;
    }
    return false;
}
} // namespace

int main(int argc, char *argv[])
{
    std::unique_ptr<QCoreApplication> app;
    if (wantsImage(argc, argv)) {
        qputenv("QT_QPA_PLATFORM", "offscreen");
        app = std::make_unique<QGuiApplication>(argc, argv);
    } else {
        app = std::make_unique<QCoreApplication>(argc, argv);
    }
    QCoreApplication::setApplicationName(QStringLiteral("tavrino-step"));
    QCoreApplication::setApplicationVersion(QStringLiteral(TAVRINO_VERSION));
    // The port's failure reasons in the language the window would use.
    InterfaceTranslation translation;
    translation.install(Language::forLocale(QLocale::system()));

    const StepOptions::Parsed parsed = StepOptions::parse(QCoreApplication::arguments());
    switch (parsed.outcome) {
    case StepOptions::Outcome::Help:
        std::fputs(parsed.text.toLocal8Bit().constData(), stdout);
        return 0;
    case StepOptions::Outcome::Version:
        std::printf("tavrino-step %s\n", TAVRINO_VERSION);
        return 0;
    case StepOptions::Outcome::Error:
        printError(parsed.text);
        return StepTest::Failed;
    case StepOptions::Outcome::Run:
        break;
    }
    const StepOptions &options = parsed.options;

    StepTest test(options);
    StopSignal stop;
    QObject::connect(&stop, &StopSignal::received, &test, [&test](int) { test.interrupt(); });
    int status = test.run();

    const StepResult &result = test.result();
    if (result.first.figures) {
        const QByteArray report =
            options.json
                ? QJsonDocument(StepReport::json(result)).toJson(QJsonDocument::Compact) + '\n'
                : StepReport::table(result).toUtf8();
        std::fwrite(report.constData(), 1, std::size_t(report.size()), stdout);
        std::fflush(stdout);
    }
    if (!test.error().isEmpty())
        printError(test.error());
    for (const QString &limit : test.exceededLimits())
        printError(limit);

    QString error;
    if (!options.csvPath.isEmpty() && !result.first.samples.isEmpty() &&
        !SafeFile::save(options.csvPath, StepReport::csv(result), error)) {
        printError(QStringLiteral("cannot write %1: %2").arg(options.csvPath, error));
        status = StepTest::Failed;
    }
    if (!options.pngPath.isEmpty() && result.first.figures &&
        !StepChart::save(result, options.pngPath, &error)) {
        printError(error);
        status = StepTest::Failed;
    }
    return status;
}
