// The store executable of the test build, run for real (offscreen) with and
// without the local dispatcher service.

#include "faultharness.h"

#include <gtest/gtest.h>

#include <csignal>
#include <cstdio>
#include <unistd.h>

namespace {

const std::string StoreName = "quillet-store";

class StoreExecutableTest : public ::testing::Test {
protected:
    pid_t start()
    {
        std::vector<std::string> environment = m_home.environment();
        environment.push_back("QT_QPA_PLATFORM=offscreen");
        environment.push_back("XDG_RUNTIME_DIR=" + m_home.root());
        return startChild({QUILLET_STORE}, environment, output());
    }
    std::string output() const { return m_home.root() + "/output.txt"; }
    std::string log() const { return readFile(m_home.logFile(StoreName)); }
    std::string settingsFile() const { return m_home.root() + "/home/.config/brambleKiln/Quillet.ini"; }

    // Waits until the file holds the text; false after timeoutMs.
    bool waitForText(const std::string& path, const std::string& text, int timeoutMs)
    {
        for (int waited = 0; waited < timeoutMs; waited += 20) {
            if (readFile(path).find(text) != std::string::npos)
                return true;
            usleep(20000);
        }
        return false;
    }

    FaultHome m_home;
};

TEST_F(StoreExecutableTest, killSegvOfTheRunningProgramIsReportedAndEndsIt)
{
    LocalDispatcher dispatcher(m_home.root());
    m_home.setDispatcherPort(dispatcher.port());
    const pid_t pid = start();
    ASSERT_TRUE(waitForText(m_home.logFile(StoreName), "Vesk application created successfully!", 20000))
        << readFile(output());
    usleep(300000);  // the window is up and the event loop runs
    const long long sent = monotonicNanoseconds();
    kill(pid, SIGSEGV);
    const ChildResult result = waitChild(pid, 10000);
    std::printf("[ figure ] kill -SEGV of %s: signal to exit %.1f ms\n", StoreName.c_str(),
                double(result.endedAt - sent) / 1e6);
    ASSERT_FALSE(result.timedOut);
    EXPECT_EQ(result.signal, SIGSEGV);
    const auto reports = m_home.reportFiles();
    ASSERT_EQ(reports.size(), 1u);
    const std::string report = readFile(reports[0]);
    EXPECT_NE(report.find("<Category>ACCESS VIOLATION</Category>"), std::string::npos) << report;
    EXPECT_NE(report.find("<quillet-store>"), std::string::npos);
    const auto announced = dispatcher.messagesOfType("crash_report_set");
    ASSERT_EQ(announced.size(), 1u);
    EXPECT_NE(announced[0].find(reports[0]), std::string::npos);
    EXPECT_EQ(log().find("Vesk application destroyed!"), std::string::npos);
}

TEST_F(StoreExecutableTest, withTheServiceCreationIsLoggedBeforeTheWindowAndDestructionAfter)
{
    LocalDispatcher dispatcher(m_home.root());
    m_home.setDispatcherPort(dispatcher.port());
    const pid_t pid = start();
    ASSERT_TRUE(waitForText(m_home.logFile(StoreName), "Vesk application created successfully!", 20000));
    // The window saves its geometry when destroyed: not yet.
    EXPECT_EQ(access(settingsFile().c_str(), F_OK), -1);
    usleep(300000);
    kill(pid, SIGTERM);  // ends the event loop in order
    const ChildResult result = waitChild(pid, 10000);
    EXPECT_TRUE(result.exited);
    EXPECT_EQ(result.exitCode, 0);
    EXPECT_EQ(access(settingsFile().c_str(), F_OK), 0) << "the main window was never shown";
    const std::string text = log();
    const auto created = text.find("-INFO- Vesk application created successfully!");
    const auto destroyed = text.find("-INFO- Vesk application destroyed!");
    ASSERT_NE(created, std::string::npos) << text;
    ASSERT_NE(destroyed, std::string::npos) << text;
    EXPECT_LT(created, destroyed);
    EXPECT_TRUE(m_home.reportFiles().empty());
}

TEST_F(StoreExecutableTest, withoutTheServiceItSaysSoAndEndsWithZeroAndNoWindow)
{
    m_home.setDispatcherPort(0);
    const pid_t pid = start();
    ASSERT_TRUE(waitForText(output(),
                            "Caught Initialization exception in application with Exception code: ",
                            20000));
    usleep(200000);
    EXPECT_EQ(waitpid(pid, nullptr, WNOHANG), 0) << "the message box is showing";
    kill(pid, SIGTERM);  // dismisses the message box by ending its event loop
    const ChildResult result = waitChild(pid, 10000);
    EXPECT_TRUE(result.exited);
    EXPECT_EQ(result.exitCode, 0);
    EXPECT_EQ(access(settingsFile().c_str(), F_OK), -1) << "a main window was created";
    EXPECT_EQ(log().find("created successfully"), std::string::npos);
}

}  // namespace
