#ifndef QUILLET_TESTS_LINKTEST_H
#define QUILLET_TESTS_LINKTEST_H

#include "dispatcherprocess.h"

#include <gtest/gtest.h>

#include <chrono>
#include <memory>
#include <string>
#include <vector>

// Each test gets its own HOME, XDG folders and registry file.
class LinkTest : public ::testing::Test {
protected:
    void SetUp() override;
    void TearDown() override;

    // Writes the registry file with the given machine-key values and reloads
    // it. port <= 0 leaves DispatcherServicePort out; timeOut <= 0 leaves
    // TimeOut out.
    void writeRegistry(int port, int timeOut = 3, const std::string& extra = std::string());
    // Starts the local dispatcher service and points the registry at it.
    DispatcherProcess& startDispatcher(const std::vector<std::string>& options = {},
                                       int timeOut = 3);
    std::string path(const std::string& name) const { return m_root + "/" + name; }

public:
    static double secondsSince(std::chrono::steady_clock::time_point start);

protected:

    std::string m_root;
    std::unique_ptr<DispatcherProcess> m_dispatcher;
};

#endif
