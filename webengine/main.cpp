// The program on Qt WebEngine.
#include "enginemainwindow.h"
#include "engineprofile.h"
#include "shell/program.h"

#include <QCoreApplication>
#include <QtGlobal>

#include <cstdio>
#include <unistd.h>

namespace {

// The engine's sandbox cannot start for the root user: only then is it off.
void prepareEngine()
{
    QCoreApplication::setAttribute(Qt::AA_ShareOpenGLContexts);
    if (geteuid() == 0 && !qEnvironmentVariableIsSet("QTWEBENGINE_DISABLE_SANDBOX")) {
        std::fputs("Running as root: the web engine's sandbox is off.\n", stderr);
        qputenv("QTWEBENGINE_DISABLE_SANDBOX", "1");
    }
}

}  // namespace

int main(int argc, char* argv[])
{
    Engine engine;
    engine.prepare = prepareEngine;
    engine.createMainWindow = [] { return std::make_unique<EngineMainWindow>(); };
    engine.savePendingCookies = [] { EngineProfile::instance()->savePendingCookies(); };
    return runProgram(argc, argv, engine);
}
