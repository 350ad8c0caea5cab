#ifndef QUILLET_TESTS_FIXTURES_H
#define QUILLET_TESTS_FIXTURES_H

#include "childprocess.h"
#include "dispatcherprocess.h"
#include "isolatedenvironment.h"

#include <gtest/gtest.h>

#include <memory>

// Each test in its own isolated environment (HOME, XDG_*, registry file).
class IsolatedTest : public ::testing::Test, protected IsolatedEnvironment { };

// With the local dispatcher service on demand, named in the registry file.
class DispatcherTest : public IsolatedTest {
protected:
    DispatcherProcess& startDispatcher(const std::vector<std::string>& options = {})
    {
        m_dispatcher.reset();
        std::filesystem::remove(root() / "messages.jsonl");
        m_dispatcher
            = std::make_unique<DispatcherProcess>(options, (root() / "messages.jsonl").string());
        EXPECT_GT(m_dispatcher->port(), 0) << "the dispatcher did not start";
        writeRegistry(linkRegistry(m_dispatcher->port()));
        return *m_dispatcher;
    }

    std::unique_ptr<DispatcherProcess> m_dispatcher;
};

#endif
