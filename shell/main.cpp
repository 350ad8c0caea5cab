#include "shell/appmainwindow.h"
#include "shell/quitsignalhandler.h"

#include <QApplication>
#include <QMessageBox>

int main(int argc, char* argv[])
{
    QApplication app(argc, argv);
    QMessageBox messageBox;  // shown only when a store build cannot start

    QuitSignalHandler quitOnSignal;  // SIGTERM and SIGINT end the loop in order
    int result = 0;
    {
        AppMainWindow window(nullptr);
        window.show();
        result = app.exec();
    }  // the window unregisters the bundle and saves its geometry here
    return result;
}
