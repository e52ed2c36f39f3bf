#include "app/displaysetup.h"
#include "app/mainwindow.h"

#include <QApplication>
#include <QCommandLineParser>

int main(int argc, char *argv[])
{
    // The icon lives in the core library's resources, which a static library must register.
    Q_INIT_RESOURCE(resources);

    DisplaySetup::beforeApplication();
    QApplication app(argc, argv);

    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral("Tavrino serial PID assistant"));
    parser.addHelpOption();
    const QCommandLineOption portOption(
        QStringLiteral("port"),
        QStringLiteral("Add <device> to both port lists and select it, e.g. the path that "
                       "tavrino-boardsim prints."),
        QStringLiteral("device"));
    parser.addOption(portOption);
    parser.process(app);

    MainWindow window;
    if (parser.isSet(portOption))
        window.usePort(parser.value(portOption));
    // The form's size where the screen has room for it, the screen's free area otherwise.
    DisplaySetup::showFitted(window);
    return app.exec();
}
