// The program on Qt WebEngine.
#include "enginemainwindow.h"
#include "engineprofile.h"
#include "shell/program.h"

int main(int argc, char* argv[])
{
    Engine engine;
    engine.kind = AppIdentity::Engine::WebEngine;
    engine.prepare = EngineProfile::prepare;
    engine.createMainWindow = [] { return std::make_unique<EngineMainWindow>(); };
    engine.savePendingCookies = [] { EngineProfile::instance()->savePendingCookies(); };
    engine.shutDown = EngineProfile::shutDown;
    return runProgram(argc, argv, engine);
}
