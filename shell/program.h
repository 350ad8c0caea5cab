#ifndef QUILLET_SHELL_PROGRAM_H
#define QUILLET_SHELL_PROGRAM_H

#include "webcore/appidentity.h"

#include <functional>
#include <memory>

class AppWindow;

// What a web engine brings to the program: its main window and the steps
// that depend on it. Everything else (the command line, one instance per app,
// the store build's runtime context, the quit signals) is the program's own.
struct Engine {
    // Which engine it is. QtWebKit's program hands an app made for Qt
    // WebEngine over to that engine's program when it is installed beside it.
    AppIdentity::Engine kind = AppIdentity::Engine::WebKit;
    // Runs before the application object exists: attributes and switches
    // the engine reads at start.
    std::function<void()> prepare;
    // The main window, which loads the app's start page.
    std::function<std::unique_ptr<AppWindow>()> createMainWindow;
    // Writes cookies that wait to be saved, at once (on a quit signal).
    std::function<void()> savePendingCookies;
    // Runs once the main window has gone, before the application object:
    // the engine's own orderly end.
    std::function<void()> shutDown;
};

// The program's main(): reads the command line, starts the app in engine and
// runs it to its end; returns the exit code.
int runProgram(int argc, char* argv[], const Engine& engine);

#endif
