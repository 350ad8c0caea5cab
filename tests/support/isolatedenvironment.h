#ifndef QUILLET_TESTS_ISOLATEDENVIRONMENT_H
#define QUILLET_TESTS_ISOLATEDENVIRONMENT_H

#include "platform/registry.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <string>
#include <sys/wait.h>
#include <unistd.h>

// Gives each test its own HOME, XDG_CONFIG_HOME, XDG_DATA_HOME and registry
// file below a fresh temporary folder, removed afterwards.
class IsolatedEnvironment : public ::testing::Test {
protected:
    void SetUp() override
    {
        std::string pattern = (std::filesystem::temp_directory_path() / "quillet-test-XXXXXX").string();
        ASSERT_NE(mkdtemp(pattern.data()), nullptr);
        m_root = pattern;
        std::filesystem::create_directories(m_root / "home");
        setenv("HOME", (m_root / "home").c_str(), 1);
        setenv("XDG_CONFIG_HOME", (m_root / "config").c_str(), 1);
        setenv("XDG_DATA_HOME", (m_root / "data").c_str(), 1);
        setenv("QUILLET_REGISTRY", (m_root / "registry.reg").c_str(), 1);
        platform::Registry::instance().reload();
    }

    void TearDown() override { std::filesystem::remove_all(m_root, m_error); }

    std::filesystem::path dataFolder() const { return m_root / "data"; }

    // Writes the registry file (bytes as given) and reads it in.
    void writeRegistry(const std::string& bytes)
    {
        std::ofstream(m_root / "registry.reg", std::ios::binary) << bytes;
        platform::Registry::instance().reload();
    }

    static std::string readFile(const std::filesystem::path& path)
    {
        std::ifstream in(path, std::ios::binary);
        return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    }

    // Runs body in a forked child, which starts with this process's state (a fresh log
    // while this process never logged); true when the child ran to its end.
    static bool ranInChild(const std::function<void()>& body)
    {
        const pid_t pid = fork();
        if (pid == 0) {
            body();
            _exit(0);
        }
        int status = 0;
        return pid > 0 && waitpid(pid, &status, 0) == pid && WIFEXITED(status) && WEXITSTATUS(status) == 0;
    }

    std::filesystem::path m_root;
    std::error_code m_error;
};

#endif
