// process_paths.h — where the running program lives.
//
// The program's own directory stands in for the "Default Directory" database
// name; on Linux it is read from the kernel's link to the executable.
#pragma once

#include <string>

namespace velorin::platform {

// The full path of the running executable, symbolic links resolved; empty when
// the kernel does not tell (no /proc).
std::string ExecutablePath();

// The directory of ExecutablePath() without a trailing "/" ("/" for the root);
// empty when the path is unknown.
std::string ExecutableDirectory();

}  // namespace velorin::platform
