#include "pageconsole.h"

#include <cstdio>

namespace {

PageConsole::ErrorLog& errorLog()
{
    static PageConsole::ErrorLog log;
    return log;
}

// QUILLET_CONSOLE=1 adds console.log, info and debug lines to the errors and
// warnings that always go to standard error.
bool consoleWanted()
{
    static const bool wanted = qgetenv("QUILLET_CONSOLE") == "1";
    return wanted;
}

const char* levelWord(PageConsole::Level level)
{
    switch (level) {
    case PageConsole::Level::Error: return "error";
    case PageConsole::Level::Warning: return "warning";
    case PageConsole::Level::Info: return "info";
    case PageConsole::Level::Debug: return "debug";
    default: return "log";
    }
}

}  // namespace

void PageConsole::setErrorLog(const ErrorLog& log)
{
    errorLog() = log;
}

void PageConsole::show(Level level, const QString& message, int lineNumber, const QString& sourceID)
{
    const bool problem = level == Level::Error || level == Level::Warning;
    if (!problem && !consoleWanted())
        return;
    QString line = QStringLiteral("page %1: ").arg(QLatin1String(levelWord(level)));
    if (!sourceID.isEmpty())
        line += QStringLiteral("%1:%2: ").arg(sourceID).arg(lineNumber);
    line += message;
    std::fprintf(stderr, "%s\n", line.toLocal8Bit().constData());
    std::fflush(stderr);
    if (level == Level::Error && errorLog())
        errorLog()(line);
}
