#include "stackbounds.h"

#include <cerrno>
#include <fcntl.h>
#include <ucontext.h>
#include <unistd.h>

namespace platform {

namespace {

// The stack an exhausted thread ran on starts at most this far above the
// faulting stack pointer (the guard page, or the gap below a main stack).
constexpr uintptr_t kGuardReach = 1024 * 1024;

struct Mapping {
    uintptr_t low = 0;
    uintptr_t high = 0;
    bool readable = false;
};

// Parses "low-high perms ..." at the start of one maps line.
bool parseMapping(const char* line, const char* end, Mapping* out)
{
    uintptr_t values[2] = {0, 0};
    int index = 0;
    const char* p = line;
    for (; p < end && index < 2; ++p) {
        const char c = *p;
        if (c >= '0' && c <= '9')
            values[index] = values[index] * 16 + static_cast<uintptr_t>(c - '0');
        else if (c >= 'a' && c <= 'f')
            values[index] = values[index] * 16 + static_cast<uintptr_t>(c - 'a' + 10);
        else if (c == '-' && index == 0)
            ++index;
        else if (c == ' ' && index == 1)
            ++index;
        else
            return false;
    }
    if (index != 2 || p >= end)
        return false;
    out->low = values[0];
    out->high = values[1];
    out->readable = *p == 'r';
    return true;
}

// Calls visit(mapping) for each line of /proc/self/maps until it returns true.
template <typename Visit>
bool visitMappings(Visit visit)
{
    int fd;
    do {
        fd = open("/proc/self/maps", O_RDONLY | O_CLOEXEC);
    } while (fd < 0 && errno == EINTR);
    if (fd < 0)
        return false;
    char buffer[4096];
    size_t filled = 0;
    bool found = false;
    while (!found) {
        const ssize_t n = read(fd, buffer + filled, sizeof buffer - filled);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            break;
        filled += static_cast<size_t>(n);
        size_t start = 0;
        for (size_t i = 0; i < filled && !found; ++i) {
            if (buffer[i] != '\n')
                continue;
            Mapping mapping;
            if (parseMapping(buffer + start, buffer + i, &mapping))
                found = visit(mapping);
            start = i + 1;
        }
        // Keep the unfinished line; a line longer than the buffer is dropped.
        if (start == 0 && filled == sizeof buffer)
            start = filled;
        for (size_t i = start; i < filled; ++i)
            buffer[i - start] = buffer[i];
        filled -= start;
    }
    close(fd);
    return found;
}

}  // namespace

uintptr_t framePointerOf(const void* context)
{
    if (!context)
        return 0;
    const auto* uc = static_cast<const ucontext_t*>(context);
#if defined(__x86_64__)
    return static_cast<uintptr_t>(uc->uc_mcontext.gregs[REG_RBP]);
#elif defined(__aarch64__)
    return static_cast<uintptr_t>(uc->uc_mcontext.regs[29]);
#elif defined(__i386__)
    return static_cast<uintptr_t>(uc->uc_mcontext.gregs[REG_EBP]);
#else
    (void)uc;
    return 0;
#endif
}

uintptr_t stackPointerOf(const void* context)
{
    if (!context)
        return 0;
    const auto* uc = static_cast<const ucontext_t*>(context);
#if defined(__x86_64__)
    return static_cast<uintptr_t>(uc->uc_mcontext.gregs[REG_RSP]);
#elif defined(__aarch64__)
    return static_cast<uintptr_t>(uc->uc_mcontext.sp);
#elif defined(__i386__)
    return static_cast<uintptr_t>(uc->uc_mcontext.gregs[REG_ESP]);
#else
    (void)uc;
    return 0;
#endif
}

uintptr_t programCounterOf(const void* context)
{
    if (!context)
        return 0;
    const auto* uc = static_cast<const ucontext_t*>(context);
#if defined(__x86_64__)
    return static_cast<uintptr_t>(uc->uc_mcontext.gregs[REG_RIP]);
#elif defined(__aarch64__)
    return static_cast<uintptr_t>(uc->uc_mcontext.pc);
#elif defined(__i386__)
    return static_cast<uintptr_t>(uc->uc_mcontext.gregs[REG_EIP]);
#else
    (void)uc;
    return 0;
#endif
}

bool stackBoundsOf(uintptr_t stackPointer, uintptr_t* low, uintptr_t* high)
{
    if (stackPointer == 0)
        return false;
    // The mapping holding the pointer, else the nearest readable one above
    // it; the list is sorted, so the walk stops at the first mapping above.
    Mapping stack;
    visitMappings([&](const Mapping& m) {
        if (m.high <= stackPointer || !m.readable)
            return m.low > stackPointer;
        stack = m;
        return true;
    });
    if (stack.high == 0)
        return false;
    if (stack.low > stackPointer && stack.low - stackPointer > kGuardReach)
        return false;
    *low = stack.low;
    *high = stack.high;
    return true;
}

}  // namespace platform
