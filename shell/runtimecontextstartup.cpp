#include "runtimecontextstartup.h"

#include "diagnostics/veskexception.h"
#include "shell/application.h"
#include "shell/constants.h"
#include "shell/quitsignalhandler.h"

#include <QDebug>
#include <QMessageBox>

using com::corvane::vesk::Application;

QString RuntimeContextStartup::initializationFailedText(int code)
{
    switch (code) {
    case 2:
        return QStringLiteral(
            "The application could not connect to the store service and cannot start.");
    case 3: return QStringLiteral("The store service refused to start the application.");
    case 9:
        return QStringLiteral(
            "The store service did not answer in time, so the application cannot start.");
    default:
        return QStringLiteral("The application could not start its link to the store service "
                              "(error %1) and cannot start.")
            .arg(code);
    }
}

std::unique_ptr<Application> RuntimeContextStartup::start(QMessageBox& messageBox)
{
    return start(messageBox, [] { return std::make_unique<Application>(); });
}

std::unique_ptr<Application> RuntimeContextStartup::start(QMessageBox& messageBox,
                                                          const Factory& create)
{
    try {
        return create();
    } catch (const com::corvane::vesk::InitializationException& e) {
        qDebug("Caught Initialization exception in application with Exception code: %ld\n",
               static_cast<long>(e.code()));
        messageBox.setText(initializationFailedText(e.code()));
    } catch (const com::corvane::vesk::VeskRuntimeException& e) {
        qDebug("Caught Runtime exception in application with Exception code: %ld\n",
               static_cast<long>(e.code()));
        messageBox.setText(CRITICAL_ERROR_MESSAGE);
    }
    // A quit signal ended the start-up: nobody is left to read the box.
    if (QuitSignalHandler::wasRequested())
        return nullptr;
    messageBox.exec();
    return nullptr;
}
