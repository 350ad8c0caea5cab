#include "storelink/linksettings.h"

#include "platform/registry.h"
#include "platform/registrykeys.h"

#include <chrono>
#include <cstdio>
#include <thread>

namespace com { namespace corvane { namespace vesk {

namespace {

const int kDefaultTimeoutSeconds = 30;
const int kDefaultPort = 16996;
const int kPortReads = 8;

// The DWORD value of a machine key; a key that does not exist is created
// (volatile) and then not read.
bool readDWord(const wchar_t* key, const wchar_t* name, int& result)
{
    auto& registry = platform::Registry::instance();
    if (!registry.createKey(platform::RegistryRoot::LocalMachine, key))
        return false;
    const auto value = registry.dwordValue(platform::RegistryRoot::LocalMachine, key, name);
    if (value)
        result = static_cast<int>(*value);
    return value.has_value();
}

}  // namespace

int LinkSettings::replyTimeoutRounds()
{
    int seconds = kDefaultTimeoutSeconds;
    if (!readDWord(platform::kSdkKey, platform::kTimeOutValue, seconds) || seconds < 3
        || seconds > 180)
        seconds = kDefaultTimeoutSeconds;
    return seconds * 10;
}

int LinkSettings::dispatcherPort()
{
    int port = 0;
    for (int attempt = 0; attempt < kPortReads; ++attempt) {
        if (readDWord(platform::kStoreKey, platform::kDispatcherServicePortValue, port))
            return port;
        if (attempt + 1 < kPortReads)
            std::this_thread::sleep_for(std::chrono::milliseconds(100));
    }
    return kDefaultPort;
}

const std::vector<int>& LinkSettings::fallbackPorts()
{
    static const std::vector<int> ports
        = {8888, 16996, 16997, 16998, 16999, 17000, 17001, 17002, 17003, 17004};
    return ports;
}

std::string LinkSettings::endpoint(int port)
{
    char text[260];
    std::snprintf(text, sizeof text, "%s:%d%s", "http://127.0.0.1", port, "/DispatcherProxy");
    return text;
}

}}}  // namespace com::corvane::vesk
