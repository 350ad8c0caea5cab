#ifndef QUILLET_DIAGNOSTICS_LOGFILE_H
#define QUILLET_DIAGNOSTICS_LOGFILE_H

#include <fstream>
#include <string>

namespace com { namespace corvane { namespace vesk {

// The log file: <Local AppData>\Corvane\CorvaneSkyfoldSDK\Log\<application>.log,
// written as UTF-8. The first statement of a run empties it; later ones append.

// File name of the running executable without an ".exe" extension (a name
// without that extension is kept whole); "Unknown application name" when the
// executable cannot be found.
std::wstring applicationName();
// The same for a given module path ("\" or "/" separated).
std::wstring applicationNameOf(const std::wstring& modulePath);

// Opens the log file for this statement: created or emptied by the first call
// of the process, appended to by every later one. Creates the log folder when
// it is missing. False when the file cannot be opened; never throws.
bool openLogFile(std::ofstream& file);

// The current local time as "%m-%d-%y %H:%M:%S".
std::wstring logTimestamp();

}}}  // namespace com::corvane::vesk

#endif
