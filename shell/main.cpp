#include "shell/application.h"
#include "shell/appmainwindow.h"
#include "shell/constants.h"
#include "shell/quitsignalhandler.h"
#include "shell/runtimecontextstartup.h"
#include "diagnostics/logmessage.h"
#include "web/sitespecificwebpage.h"

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
        // Script errors of the pages go to the log as well as to standard error.
        SiteSpecificWebPage::setErrorLog([](const QString& line) {
            com::corvane::vesk::LogMessage(com::corvane::vesk::ERROR) << line.toStdWString();
        });
    }

    int result = 0;
    {
        AppMainWindow window(nullptr);
        window.show();
        result = app.exec();
    }  // the window unregisters the bundle and saves its geometry here
    runtimeContext.reset();
    return result;
}
