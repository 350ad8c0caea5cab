#ifndef QUILLET_DIAGNOSTICS_MUTEX_H
#define QUILLET_DIAGNOSTICS_MUTEX_H

#include <atomic>
#include <mutex>
#include <thread>

namespace com { namespace corvane { namespace vesk {

// The store SDK's lock. Like the Windows mutex it stands for, the thread that
// holds it may lock it again (each lock needs its unlock), and only that
// thread can release it. lock() and unlock() return true on failure.
class Mutex {
public:
    Mutex();
    virtual ~Mutex();
    Mutex(const Mutex&) = delete;
    Mutex& operator=(const Mutex&) = delete;

    bool lock();
    // Fails (true) when the calling thread does not hold the lock.
    bool unlock();

private:
    std::recursive_mutex m_mutex;
    std::atomic<std::thread::id> m_owner{};
    int m_depth = 0;  // touched only by the owner
};

}}}  // namespace com::corvane::vesk

#endif
