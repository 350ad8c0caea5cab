#ifndef QUILLET_SHELL_APPLICATION_H
#define QUILLET_SHELL_APPLICATION_H

namespace com { namespace corvane { namespace vesk {

class AbstractCrashReport;

// The store runtime context of a build with an application identifier. At
// most one lives in a process. Creating it opens the link to the store's
// dispatcher service, arms the fault handler with a DefaultCrashReport and
// logs "Vesk application created successfully!"; destroying it closes the
// link, drops the report and logs "Vesk application destroyed!". The fault
// handler stays installed and finds nothing to report afterwards.
class Application {
public:
    // Throws InitializationException: code 0 when a context is already live,
    // or the store link's code when the link cannot be opened.
    Application();
    virtual ~Application();
    Application(const Application&) = delete;
    Application& operator=(const Application&) = delete;

    int beginEvent();  // forward to the store link; raise as it does
    int endEvent();
    // Replaces the crash report used at a fault; takes ownership.
    void setCrashReport(AbstractCrashReport* report);

    // Whether a context is live (the instance flag).
    static bool isLive();
};

}}}  // namespace com::corvane::vesk

#endif
