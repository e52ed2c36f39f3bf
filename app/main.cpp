#include "app/benchsettings.h"
#include "app/displaysetup.h"
#include "app/interfacetranslation.h"
#include "app/language.h"
#include "app/mainwindow.h"
#include "app/version.h"
#include "datafiles/sessionfiles.h"

#include <QApplication>
#include <QCommandLineParser>

#include <cstdio>
#include <cstring>
#include <memory>

namespace {
QString versionText()
{
    const QString git = QStringLiteral(TAVRINO_GIT_DESCRIBE);
    const QString version = QStringLiteral(TAVRINO_VERSION);
    return git.isEmpty() ? version : QStringLiteral("%1 (git %2)").arg(version, git);
}

// --help and --version only print; a GUI application would need a display even for that.
bool onlyPrints(int argc, char *argv[])
{
    for (int i = 1; i < argc; ++i) {
        for (const char *option : {"-h", "--help", "--help-all", "-v", "--version"}) {
            if (std::strcmp(argv[i], option) == 0)
                return true;
        }
    }
    return false;
}
} // namespace

int main(int argc, char *argv[])
{
    // The icon lives in the core library's resources, which a static library must register.
    Q_INIT_RESOURCE(resources);
    QCoreApplication::setApplicationName(QStringLiteral("tavrino"));
    QCoreApplication::setApplicationVersion(versionText());

    std::unique_ptr<QCoreApplication> app;
    if (onlyPrints(argc, argv)) {
        app = std::make_unique<QCoreApplication>(argc, argv);
    } else {
        DisplaySetup::beforeApplication();
        app = std::make_unique<QApplication>(argc, argv);
    }

    QCommandLineParser parser;
    parser.setApplicationDescription(
        QStringLiteral("Tavrino: a serial terminal and a PID tuning assistant for controller "
                       "boards on a serial line."));
    parser.addHelpOption();
    parser.addVersionOption();
    // One option per line, in the order --help lists them.
    const QCommandLineOption portOption(
        QStringLiteral("port"),
        QStringLiteral("Add <device> to both port lists and select it, e.g. the path that "
                       "tavrino-boardsim prints."),
        QStringLiteral("device"));
    parser.addOption(portOption);
    const QCommandLineOption runOption(
        QStringLiteral("run"),
        QStringLiteral("With --port: open the port on the PID tab and start a run at once, as "
                       "the open and start buttons do; the chart follows the newest samples. "
                       "Exits with status 1 when the port cannot be opened."));
    parser.addOption(runOption);
    const QCommandLineOption recordOption(
        QStringLiteral("record"),
        QStringLiteral("Record every sample of every channel to <file> from the start, as the "
                       "record button does: CSV rows time_ms,channel,actual,target."),
        QStringLiteral("file"));
    parser.addOption(recordOption);
    const QCommandLineOption captureOption(
        QStringLiteral("capture"),
        QStringLiteral("Capture every byte received on the port, with its arrival time, to "
                       "<file> from the start; tavrino-boardsim --replay plays it back."),
        QStringLiteral("file"));
    parser.addOption(captureOption);
    const QCommandLineOption langOption(
        QStringLiteral("lang"),
        QStringLiteral("Show the interface in <language>: zh (Chinese) or en (English). "
                       "Without it the desktop's locale chooses: Chinese for Chinese locales "
                       "and for C/POSIX, English otherwise."),
        QStringLiteral("language"));
    parser.addOption(langOption);
    const QCommandLineOption noSettingsOption(
        QStringLiteral("no-settings"),
        QStringLiteral("Start with the first-start settings and remember nothing of this run "
                       "(ports, window layout, options, folders, language)."));
    parser.addOption(noSettingsOption);
    parser.process(*app);
    if (parser.isSet(runOption) && !parser.isSet(portOption)) {
        std::fprintf(stderr, "tavrino: --run needs --port <device>\n");
        return 1;
    }

    // What the user left last time; nothing read or written with --no-settings.
    BenchSettings settings(parser.isSet(noSettingsOption) ? nullptr : BenchSettings::userStore());
    Language::Code language = Language::Chinese;
    if (!Language::choose(QLocale::system(), parser.values(langOption), language)) {
        std::fprintf(stderr, "tavrino: --lang takes zh or en, not '%s'\n",
                     qPrintable(parser.value(langOption)));
        return 1;
    }
    // --lang is remembered; without it the language of the last --lang, else the locale's.
    if (parser.isSet(langOption))
        settings.setLanguage(language);
    else
        settings.language(language);
    // Before the window: the form takes its texts when it is built.
    InterfaceTranslation translation;
    if (!translation.install(language))
        std::fprintf(stderr, "tavrino: %s\n",
                     language == Language::English
                         ? "the English texts are missing from this build"
                         : qPrintable(QStringLiteral("Qt's dialogs stay in English: %1.qm is "
                                                     "not in %2")
                                          .arg(InterfaceTranslation::qtChineseCatalogue(),
                                               InterfaceTranslation::qtCatalogueFolder())));

    MainWindow window;
    const bool placed = settings.attach(&window);
    if (parser.isSet(portOption))
        window.usePort(parser.value(portOption));
    // A file that cannot be written is said in the status bar and here.
    SessionFiles *files = window.sessionFiles();
    if (parser.isSet(recordOption) &&
        !files->start(SessionFiles::Recording, parser.value(recordOption)))
        std::fprintf(stderr, "tavrino: cannot record to %s: %s\n",
                     qPrintable(parser.value(recordOption)),
                     qPrintable(files->writer(SessionFiles::Recording).errorString()));
    if (parser.isSet(captureOption) &&
        !files->start(SessionFiles::Capture, parser.value(captureOption)))
        std::fprintf(stderr, "tavrino: cannot capture to %s: %s\n",
                     qPrintable(parser.value(captureOption)),
                     qPrintable(files->writer(SessionFiles::Capture).errorString()));
    QString reason;
    if (parser.isSet(runOption) && !window.startPidRun(&reason)) {
        std::fprintf(stderr, "tavrino: cannot open %s: %s\n", qPrintable(parser.value(portOption)),
                     qPrintable(reason));
        return 1;
    }
    // Where the user left it, or the form's size where the screen has room for it and the
    // screen's free area otherwise.
    if (placed)
        window.show();
    else
        DisplaySetup::showFitted(window);
    return app->exec();
}
