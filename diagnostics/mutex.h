#ifndef QUILLET_DIAGNOSTICS_MUTEX_H
#define QUILLET_DIAGNOSTICS_MUTEX_H

#include <mutex>

namespace com { namespace corvane { namespace vesk {

// The store SDK's lock. lock() and unlock() return true on failure.
class Mutex {
public:
    Mutex();
    virtual ~Mutex();
    Mutex(const Mutex&) = delete;
    Mutex& operator=(const Mutex&) = delete;

    bool lock();
    bool unlock();

private:
    std::mutex m_mutex;
};

}}}  // namespace com::corvane::vesk

#endif
