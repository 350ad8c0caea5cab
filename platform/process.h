#ifndef QUILLET_PLATFORM_PROCESS_H
#define QUILLET_PLATFORM_PROCESS_H

#include <string>

namespace platform {

// Full path of the running executable (/proc/self/exe); empty when unknown.
std::string moduleFileName();

// The folder the program is installed in: on Linux the folder that holds the
// executable. Empty when unknown.
std::string installFolder();

}  // namespace platform

#endif
