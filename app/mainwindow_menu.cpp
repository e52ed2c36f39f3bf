// Menu actions: documents named in path.ini beside the executable.
#include "app/mainwindow.h"

void MainWindow::On_ActionAbout() {}

void MainWindow::On_ActionHTML() {}

void MainWindow::On_ActionURL() {}
