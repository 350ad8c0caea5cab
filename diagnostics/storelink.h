#ifndef QUILLET_DIAGNOSTICS_CRASHREPORTSINK_H
#define QUILLET_DIAGNOSTICS_CRASHREPORTSINK_H

#include <cstdint>

namespace com { namespace corvane { namespace vesk {

struct CrashCustomField;

// Where a crash report goes once its fields are collected: the store link
// writes the report file and announces it. Keeps diagnostics free of the link.
class CrashReportSink {
public:
    virtual ~CrashReportSink() = default;
    virtual int SendCrashReport(const wchar_t* moduleName, const wchar_t* errorText,
                                const wchar_t* category, int32_t lineNumber,
                                const wchar_t* errorData, CrashCustomField* customFields,
                                int32_t customFieldCount) = 0;
};

}}}  // namespace com::corvane::vesk

#endif
