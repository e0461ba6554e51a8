#include "platform/process_paths.h"

#include <unistd.h>

#include <vector>

#include "platform/file_names.h"

namespace velorin::platform {

std::string ExecutablePath() {
  // readlink does not say how long the link is: grow the buffer until the
  // answer is shorter than it, so a truncated path is never taken for the whole.
  std::vector<char> buffer(256);
  for (;;) {
    ssize_t length = readlink("/proc/self/exe", buffer.data(), buffer.size());
    if (length < 0) return {};
    if (static_cast<size_t>(length) < buffer.size()) return std::string(buffer.data(), static_cast<size_t>(length));
    if (buffer.size() >= (size_t{1} << 20)) return {};
    buffer.resize(buffer.size() * 2);
  }
}

std::string ExecutableDirectory() {
  std::string path = ExecutablePath();
  if (path.empty()) return {};
  return DirectoryName(path);
}

}  // namespace velorin::platform
