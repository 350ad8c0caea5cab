#include "application.h"

#include "diagnostics/defaultcrashreport.h"
#include "diagnostics/faultfilter.h"
#include "diagnostics/logmessage.h"
#include "diagnostics/mutex.h"
#include "diagnostics/veskexception.h"
#include "shell/constants.h"
#include "storelink/clientproxy.h"

#include <atomic>

namespace com { namespace corvane { namespace vesk {

namespace {

Mutex s_contextLock;
std::atomic<bool> s_instance{false};

// Holds the context lock for one scope.
class ContextLock {
public:
    ContextLock() { s_contextLock.lock(); }
    ~ContextLock() { s_contextLock.unlock(); }
};

ClientProxy* openStoreLink()
{
    try {
        return new ClientProxy;
    } catch (const InitializationException& e) {
        throw InitializationException(e);  // a copy: logged once, by the link
    }
}

}  // namespace

Application::Application()
{
    {
        ContextLock lock;
        if (s_instance.load())
            throw InitializationException(
                "Only one instance of an Vesk application can be instantiated", 0);
        activeStoreLink.store(openStoreLink());
        ClientProxy::setApplicationIdentifier(APPLICATION_ID.words);
        s_instance.store(true);
    }
    setCrashReport(new DefaultCrashReport);
    installFaultFilter();
    LogMessage(INFO) << "Vesk application created successfully!";
}

Application::~Application()
{
    delete activeStoreLink.exchange(nullptr);
    delete activeCrashReport.exchange(nullptr);
    s_instance.store(false);
    LogMessage(INFO) << "Vesk application destroyed!";
}

int Application::beginEvent()
{
    StoreLink* link = activeStoreLink.load();
    return link ? link->BeginEvent() : 1;
}

int Application::endEvent()
{
    StoreLink* link = activeStoreLink.load();
    return link ? link->EndEvent() : 1;
}

void Application::setCrashReport(AbstractCrashReport* report)
{
    delete activeCrashReport.exchange(report);
}

bool Application::isLive()
{
    return s_instance.load();
}

}}}  // namespace com::corvane::vesk
