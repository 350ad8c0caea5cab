#include "linktest.h"

#include "platform/registry.h"
#include "storelink/dispatchersession.h"

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>

void LinkTest::SetUp()
{
    char pattern[] = "/tmp/quillet-storelink-XXXXXX";
    m_root = mkdtemp(pattern);
    for (const char* name : {"home", "config", "data"})
        std::filesystem::create_directories(path(name));
    setenv("HOME", path("home").c_str(), 1);
    setenv("XDG_CONFIG_HOME", path("config").c_str(), 1);
    setenv("XDG_DATA_HOME", path("data").c_str(), 1);
    setenv("QUILLET_REGISTRY", path("registry.reg").c_str(), 1);
    writeRegistry(0, 3);
}

void LinkTest::TearDown()
{
    com::corvane::vesk::DispatcherSession::instance().close();
    m_dispatcher.reset();
    std::filesystem::remove_all(m_root);
}

void LinkTest::writeRegistry(int port, int timeOut, const std::string& extra)
{
    std::ofstream out(path("registry.reg"));
    out << "Windows Registry Editor Version 5.00\n\n";
    out << "[HKEY_LOCAL_MACHINE\\Software\\Corvane\\Wharfline]\n";
    char value[32];
    if (port > 0) {
        std::snprintf(value, sizeof value, "dword:%08x", port);
        out << "\"DispatcherServicePort\"=" << value << "\n";
    }
    out << "\n[HKEY_LOCAL_MACHINE\\Software\\Corvane\\Vesk_SDK]\n";
    if (timeOut > 0) {
        std::snprintf(value, sizeof value, "dword:%08x", timeOut);
        out << "\"TimeOut\"=" << value << "\n";
    }
    out << extra;
    out.close();
    platform::Registry::instance().reload();
}

DispatcherProcess& LinkTest::startDispatcher(const std::vector<std::string>& options, int timeOut)
{
    m_dispatcher = std::make_unique<DispatcherProcess>(options, path("messages.jsonl"));
    EXPECT_GT(m_dispatcher->port(), 0) << "the dispatcher did not start";
    writeRegistry(m_dispatcher->port(), timeOut);
    return *m_dispatcher;
}

double LinkTest::secondsSince(std::chrono::steady_clock::time_point start)
{
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}
