#ifndef QUILLET_PLATFORM_INSTANCELOCK_H
#define QUILLET_PLATFORM_INSTANCELOCK_H

#include <string>

namespace platform {

// An exclusive lock on a file, held while the object lives. The system drops
// it when the process ends, however it ends, so a crashed holder never leaves
// a lock that blocks the next one.
class InstanceLock {
public:
    enum class Result { Acquired, HeldElsewhere, Failed };

    InstanceLock() = default;
    ~InstanceLock();
    InstanceLock(const InstanceLock&) = delete;
    InstanceLock& operator=(const InstanceLock&) = delete;

    // Creates the file when needed; never waits for another holder.
    Result acquire(const std::string& path);

private:
    int m_fd = -1;
};

}  // namespace platform

#endif
