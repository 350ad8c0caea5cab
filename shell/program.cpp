#include "program.h"

#include "diagnostics/logmessage.h"
#include "platform/process.h"
#include "shell/application.h"
#include "shell/commandline.h"
#include "shell/constants.h"
#include "shell/quitsignalhandler.h"
#include "shell/runtimecontextstartup.h"
#include "shell/singleinstance.h"
#include "webcore/appidentity.h"
#include "webcore/appwindow.h"
#include "webcore/pageconsole.h"

#include <QApplication>
#include <QFileInfo>
#include <QMessageBox>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <unistd.h>
#include <vector>

namespace {

QStringList argumentsOf(int argc, char* argv[])
{
    QStringList arguments;
    for (int i = 0; i < argc; ++i)
        arguments << QString::fromLocal8Bit(argv[i]);
    return arguments;
}

// The app's identity from the manifest of its bundle or of the web folder run
// unpacked; the build's constants without one.
AppIdentity loadIdentity(const CommandLine& command)
{
    QStringList warnings;
    const AppIdentity identity = command.identity(&warnings);
    for (const QString& warning : warnings)
        std::fprintf(stderr, "%s: warning: %s\n", qPrintable(command.program()),
                     qPrintable(warning));
    return identity;
}

// An app whose manifest asks for Qt WebEngine, started in QtWebKit's program:
// the engine's program beside this one takes this process over with the same
// arguments. Without it (or in a store build, whose identifier is this
// program's own) the app runs here, after a warning that names the program
// to use. Returns only when the app runs here.
void runOnEngineOfApp(int argc, char* argv[], const AppIdentity& identity, const QString& program,
                      AppIdentity::Engine ownEngine)
{
    if (identity.engine() != AppIdentity::Engine::WebEngine
        || ownEngine == AppIdentity::Engine::WebEngine)
        return;
    const QString wanted = AppIdentity::engineProgram(identity.engine());
    const QString self = QString::fromStdString(platform::moduleFileName());
    const QFileInfo target(QFileInfo(self).absolutePath() + QLatin1Char('/') + wanted);
    if (target.canonicalFilePath() == QFileInfo(self).canonicalFilePath())
        return;  // this program is the one the app asks for
    if (!APPLICATION_ID.isSet() && target.isFile() && target.isExecutable()) {
        std::fprintf(stderr, "%s: %s runs on Qt WebEngine: starting %s\n", qPrintable(program),
                     qPrintable(identity.name()), qPrintable(target.filePath()));
        std::fflush(stderr);
        std::string path = target.filePath().toStdString();
        std::vector<char*> arguments(argv, argv + argc);
        arguments[0] = path.data();
        arguments.push_back(nullptr);
        execv(path.c_str(), arguments.data());
        std::fprintf(stderr, "%s: cannot start %s: %s\n", qPrintable(program), path.c_str(),
                     std::strerror(errno));
    }
    std::fprintf(stderr,
                 "%s: warning: %s is made for Qt WebEngine (\"engine\": \"webengine\" in its "
                 "manifest); it runs on QtWebKit here and may not work: run it with %s\n",
                 qPrintable(program), qPrintable(identity.name()), qPrintable(wanted));
}

void bringToFront(QWidget& window)
{
    window.setWindowState((window.windowState() & ~Qt::WindowMinimized) | Qt::WindowActive);
    window.show();
    window.raise();
    window.activateWindow();
    qInfo("%s started again: its window is brought to the front",
          qPrintable(AppIdentity::current().name()));
}

}  // namespace

int runProgram(int argc, char* argv[], const Engine& engine)
{
    const CommandLine command(argumentsOf(argc, argv));
    if (command.action() == CommandLine::Action::Error) {
        std::fprintf(stderr, "%s: %s\nTry '%s --help' for more information.\n",
                     qPrintable(command.program()), qPrintable(command.error()),
                     qPrintable(command.program()));
        return 2;
    }
    if (command.action() == CommandLine::Action::Help) {
        std::fputs(qPrintable(command.usage()), stdout);
        return 0;
    }
    AppIdentity::setCurrent(loadIdentity(command));
    const AppIdentity& identity = AppIdentity::current();
    if (command.action() == CommandLine::Action::Version) {
        if (identity.hasManifest())
            std::printf(
                "%s\n",
                qPrintable((identity.name() + QLatin1Char(' ') + identity.version()).trimmed()));
        std::printf("Quillet %s\n", QUILLET_VERSION);
        return 0;
    }

    runOnEngineOfApp(argc, argv, identity, command.program(), engine.kind);
    if (engine.prepare)
        engine.prepare();
    QApplication app(argc, argv);
    QMessageBox messageBox;  // shown only when a store build cannot start

    QuitSignalHandler quitOnSignal;  // SIGTERM and SIGINT end the loop in order

    // A second start of the same app only brings the first to the front.
    SingleInstance instance(identity.instanceName());
    if (!instance.isFirst()) {
        if (instance.activateFirst()) {
            std::printf("%s is already running: its window is brought to the front\n",
                        qPrintable(identity.name()));
            return 0;
        }
        std::fprintf(stderr, "%s: %s is already running but does not answer\n",
                     qPrintable(command.program()), qPrintable(identity.name()));
        return 1;
    }

    // A store build runs with its runtime context; without one it cannot
    // report, so it ends after telling the user why.
    std::unique_ptr<com::corvane::vesk::Application> runtimeContext;
    if (APPLICATION_ID.isSet()) {
        runtimeContext = RuntimeContextStartup::start(messageBox);
        if (!runtimeContext || QuitSignalHandler::wasRequested())
            return 0;
        // Script errors of the pages go to the log as well as to standard error.
        PageConsole::setErrorLog([](const QString& line) {
            com::corvane::vesk::LogMessage(com::corvane::vesk::ERROR) << line.toStdWString();
        });
    }

    int result = 0;
    {
        const std::unique_ptr<AppWindow> mainWindow = engine.createMainWindow();
        AppWindow& window = *mainWindow;
        // Saved at once on a quit signal: a busy page may keep the
        // destructors and the end of the loop from coming before the deadline.
        QObject::connect(&quitOnSignal, &QuitSignalHandler::quitRequested, &window,
                         &AppWindow::saveWindowSettings);
        QObject::connect(&quitOnSignal, &QuitSignalHandler::quitRequested, &window,
                         engine.savePendingCookies);
        QObject::connect(&instance, &SingleInstance::activationRequested, &window,
                         [&window] { bringToFront(window); });
        if (identity.display() == AppIdentity::Display::Fullscreen)
            window.showFullScreen();
        else
            window.show();
        result = app.exec();
        if (!window.bundleLoaded())
            result = 1;  // there was no application to run
    }                    // the window unregisters the bundle and saves its geometry here
    if (engine.shutDown)
        engine.shutDown();
    runtimeContext.reset();
    return result;
}
