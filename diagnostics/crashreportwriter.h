#ifndef QUILLET_DIAGNOSTICS_CRASHREPORTWRITER_H
#define QUILLET_DIAGNOSTICS_CRASHREPORTWRITER_H

#include <cstdint>
#include <string>

namespace com { namespace corvane { namespace vesk {

struct CrashCustomField;

// Writes the XML crash report
//   <crashReportFolder()>/<application> <YYYY-MM-DDTHH-MM-SS>.00.xml
// (.01 to .99 for later reports of the same second: none replaces another)
// with the application's identifier text, the given fields and the machine's
// details. Null texts are written as "Not provided by application"; module
// name, error text, category and custom field names and values are cut to 80
// characters; at most 20 custom fields are written; a null list writes no
// CustomFields element. Returns 0 when written, 4 when written without the
// error data (longer than 4000 characters), -1 when nothing usable was
// written (no local application data folder, folder or file not created,
// write failed, or an exception while adding custom fields).
int writeCrashReport(const std::string& applicationIdText, const wchar_t* moduleName,
                     int32_t lineNumber, const wchar_t* errorText, const wchar_t* category,
                     const wchar_t* errorData, const CrashCustomField* customFields,
                     int32_t customFieldCount);

// <Local AppData>/<CrashReportPath of HKCU\Software\Corvane\Vesk_SDK>, or
// <Local AppData>/Corvane/CorvaneSkyfoldSDK/CrashReports when that value is
// missing or empty. Empty when the local application data folder is unknown.
std::wstring crashReportFolder();

// Full path (UTF-8) of the report last formed by writeCrashReport in this
// process; empty before the first.
std::string lastCrashReportPath();

}}}  // namespace com::corvane::vesk

#endif
