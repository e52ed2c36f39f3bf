#include "app/mainwindow.h"

#include <QApplication>

int main(int argc, char *argv[])
{
    // The icon lives in the core library's resources, which a static library must register.
    Q_INIT_RESOURCE(resources);

    QApplication app(argc, argv);
    MainWindow window;
    window.show();
    return app.exec();
}
