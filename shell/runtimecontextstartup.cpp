#include "runtimecontextstartup.h"

#include "diagnostics/veskexception.h"
#include "shell/application.h"
#include "shell/constants.h"
#include "shell/quitsignalhandler.h"

#include <QDebug>
#include <QMessageBox>

using com::corvane::vesk::Application;

const char* const RuntimeContextStartup::InitializationFailedMessage =
    "The application could not connect to the store service and cannot start.";

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
        messageBox.setText(QString::fromLatin1(InitializationFailedMessage));
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
