#include "shell/application.h"
#include "shell/appmainwindow.h"
#include "shell/constants.h"
#include "shell/quitsignalhandler.h"
#include "shell/runtimecontextstartup.h"

#include <QApplication>
#include <QMessageBox>

int main(int argc, char* argv[])
{
    QApplication app(argc, argv);
    QMessageBox messageBox;  // shown only when a store build cannot start

    QuitSignalHandler quitOnSignal;  // SIGTERM and SIGINT end the loop in order

    // A store build runs with its runtime context; without one it cannot
    // report, so it ends after telling the user why.
    std::unique_ptr<com::corvane::vesk::Application> runtimeContext;
    if (APPLICATION_ID.isSet()) {
        runtimeContext = RuntimeContextStartup::start(messageBox);
        if (!runtimeContext)
            return 0;
    }

    int result = 0;
    {
        AppMainWindow window(nullptr);
        window.show();
        result = app.exec();
        if (!window.bundleLoaded())
            result = 1;  // there was no application to run
    }  // the window unregisters the bundle and saves its geometry here
    runtimeContext.reset();
    return result;
}
