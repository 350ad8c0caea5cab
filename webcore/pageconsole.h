#ifndef QUILLET_WEBCORE_PAGECONSOLE_H
#define QUILLET_WEBCORE_PAGECONSOLE_H

#include <QString>

#include <functional>

// The console of the app's documents, whatever the engine: errors and
// warnings go to standard error (every console line with QUILLET_CONSOLE=1),
// errors to the error log as well.
namespace PageConsole {

enum class Level { Log, Debug, Info, Warning, Error };

// Where page errors go besides standard error (the store build's log).
using ErrorLog = std::function<void(const QString& line)>;
void setErrorLog(const ErrorLog& log);

// sourceID: the script's URL, empty when the engine names none.
void show(Level level, const QString& message, int lineNumber, const QString& sourceID);

}  // namespace PageConsole

#endif
