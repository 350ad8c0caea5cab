#include "process.h"

#include <climits>
#include <unistd.h>

namespace platform {

std::string moduleFileName()
{
    char buffer[PATH_MAX + 1];
    const ssize_t n = readlink("/proc/self/exe", buffer, PATH_MAX);
    if (n <= 0)
        return std::string();
    return std::string(buffer, static_cast<size_t>(n));
}

std::string installFolder()
{
    const std::string path = moduleFileName();
    const auto slash = path.rfind('/');
    if (slash == std::string::npos)
        return std::string();
    return slash == 0 ? std::string("/") : path.substr(0, slash);
}

}  // namespace platform
