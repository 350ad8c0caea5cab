#include "childprocess.h"
#include "isolatedenvironment.h"

#include "diagnostics/mutex.h"
#include "diagnostics/veskexception.h"

#include <atomic>
#include <regex>
#include <sstream>
#include <thread>

using namespace com::corvane::vesk;

namespace {

class VeskExceptionTest : public IsolatedEnvironment {
protected:
    std::string log() const
    {
        return readFile(dataFolder() / "Corvane" / "CorvaneSkyfoldSDK" / "Log" / "diagnostics_tests.log");
    }
    // Runs body in a fresh "run" and returns the log it left (empty if none).
    std::string logOfRun(const std::function<void()>& body)
    {
        std::filesystem::remove_all(dataFolder());
        EXPECT_EQ(runInChild([&] {
                      body();
                      return 0;
                  }),
                  0);
        return log();
    }
};

// The log lines with their timestamps removed.
std::string withoutStamps(const std::string& log)
{
    return std::regex_replace(log, std::regex(R"(\d\d-\d\d-\d\d \d\d:\d\d:\d\d )"), "");
}

TEST_F(VeskExceptionTest, TextMessageAndCode)
{
    const VeskException e("Dispatcher not reachable", -9);
    EXPECT_STREQ(e.what(), "Dispatcher not reachable (Code: -9)");
    EXPECT_EQ(e.message(), "Dispatcher not reachable");
    EXPECT_EQ(e.code(), -9);
    std::ostringstream out;
    out << e;
    EXPECT_EQ(out.str(), "Dispatcher not reachable (Code: -9)");
}

TEST_F(VeskExceptionTest, LogLinesPerClass)
{
    EXPECT_EQ(logOfRun([] { VeskException("base", 1); }), "");
    EXPECT_EQ(withoutStamps(logOfRun([] { VeskErrorException("link down", 3); })), "-ERROR- link down (Code: 3)\n");
    EXPECT_EQ(withoutStamps(logOfRun([] { VeskWarningException("slow", 8); })), "-WARNING- slow (Code: 8)\n");
    EXPECT_EQ(withoutStamps(logOfRun([] {
                  InitializationException("Only one instance of an Vesk application can be instantiated", 0);
              })),
              "-ERROR- Only one instance of an Vesk application can be instantiated (Code: 0)\n");
    EXPECT_EQ(withoutStamps(logOfRun([] { VeskRuntimeException("send failed", -1); })),
              "-ERROR- send failed (Code: -1)\n-ERROR- send failed (Code: -1)\n");
}

TEST_F(VeskExceptionTest, CopiesLogNothing)
{
    const std::string text = withoutStamps(logOfRun([] {
        try {
            try {
                throw VeskRuntimeException("send failed", 2);
            } catch (const VeskErrorException&) {
                throw;
            }
        } catch (const VeskRuntimeException& e) {
            VeskRuntimeException copy(e);
            InitializationException init(InitializationException("x", 1));
            (void)init;
        }
    }));
    // Two lines from the runtime exception, one from the (elided) init copy.
    EXPECT_EQ(text, "-ERROR- send failed (Code: 2)\n-ERROR- send failed (Code: 2)\n-ERROR- x (Code: 1)\n");
}

TEST(MutexTest, LocksAcrossThreads)
{
    Mutex mutex;
    EXPECT_FALSE(mutex.lock());
    EXPECT_FALSE(mutex.lock());  // the holder may lock again
    std::atomic<bool> acquired{false};
    std::atomic<bool> foreignUnlockFailed{false};
    std::thread other([&] {
        foreignUnlockFailed = mutex.unlock();
        mutex.lock();
        acquired = true;
        mutex.unlock();
    });
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
    EXPECT_FALSE(acquired);
    EXPECT_FALSE(mutex.unlock());
    EXPECT_FALSE(acquired);  // still held once
    EXPECT_FALSE(mutex.unlock());
    other.join();
    EXPECT_TRUE(acquired);
    EXPECT_TRUE(foreignUnlockFailed);
    EXPECT_TRUE(mutex.unlock());  // not held at all
}

}  // namespace
