#include "mutex.h"

#include <system_error>

namespace com { namespace corvane { namespace vesk {

Mutex::Mutex() = default;

Mutex::~Mutex() = default;

bool Mutex::lock()
{
    try {
        m_mutex.lock();
    } catch (const std::system_error&) {
        return true;
    }
    m_owner.store(std::this_thread::get_id());
    ++m_depth;
    return false;
}

bool Mutex::unlock()
{
    if (m_owner.load() != std::this_thread::get_id())
        return true;
    if (--m_depth == 0)
        m_owner.store(std::thread::id());
    m_mutex.unlock();
    return false;
}

}}}  // namespace com::corvane::vesk
