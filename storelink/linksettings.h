#ifndef QUILLET_STORELINK_LINKSETTINGS_H
#define QUILLET_STORELINK_LINKSETTINGS_H

#include <string>
#include <vector>

namespace com { namespace corvane { namespace vesk {

// Where and how long the link talks to the dispatcher, from the registry.
class LinkSettings {
public:
    // "TimeOut" (REG_DWORD, seconds, 3 to 180, else 30) of the machine key
    // Software\Corvane\Vesk_SDK, in rounds of 100 ms.
    static int replyTimeoutRounds();
    // "DispatcherServicePort" (REG_DWORD) of the machine key
    // Software\Corvane\Wharfline; read up to 8 times, 100 ms apart, as the
    // store may still be writing it. 16996 when absent.
    static int dispatcherPort();
    // Ports tried in order when the registry port does not answer.
    static const std::vector<int>& fallbackPorts();
    // http://127.0.0.1:<port>/DispatcherProxy
    static std::string endpoint(int port);
};

}}}  // namespace com::corvane::vesk

#endif
