#include "app/displaysetup.h"
#include "app/mainwindow.h"
#include "app/version.h"

#include <QApplication>
#include <QCommandLineParser>

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
    parser.process(*app);

    MainWindow window;
    if (parser.isSet(portOption))
        window.usePort(parser.value(portOption));
    // The form's size where the screen has room for it, the screen's free area otherwise.
    DisplaySetup::showFitted(window);
    return app->exec();
}
