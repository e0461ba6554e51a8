#include "platform/file_names.h"

#include <dirent.h>
#include <fcntl.h>
#include <stdio.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <memory>
#include <optional>
#include <vector>

#include "platform/os_error.h"

namespace velorin::platform {

namespace {

std::string CurrentDirectory() {
  std::vector<char> buffer(256);
  while (getcwd(buffer.data(), buffer.size()) == nullptr) {
    if (errno != ERANGE) return "/";
    buffer.resize(buffer.size() * 2);
  }
  return buffer.data();
}

std::vector<std::string> SplitComponents(const std::string& path) {
  std::vector<std::string> parts;
  size_t start = 0;
  while (start <= path.size()) {
    size_t slash = path.find('/', start);
    if (slash == std::string::npos) slash = path.size();
    std::string part = path.substr(start, slash - start);
    if (part.empty() || part == ".") {
      // skipped
    } else if (part == "..") {
      if (!parts.empty()) parts.pop_back();
    } else {
      parts.push_back(std::move(part));
    }
    start = slash + 1;
  }
  return parts;
}

std::string JoinComponents(const std::vector<std::string>& parts) {
  if (parts.empty()) return "/";
  std::string path;
  for (const auto& part : parts) path += "/" + part;
  return path;
}

bool EqualsIgnoringAsciiCase(const std::string& a, const char* b) {
  size_t i = 0;
  for (; i < a.size(); ++i) {
    unsigned char x = static_cast<unsigned char>(a[i]);
    unsigned char y = static_cast<unsigned char>(b[i]);
    if (y == 0) return false;
    if (x >= 'a' && x <= 'z') x = static_cast<unsigned char>(x - 32);
    if (y >= 'a' && y <= 'z') y = static_cast<unsigned char>(y - 32);
    if (x != y) return false;
  }
  return b[i] == 0;
}

bool EntryExists(const std::string& path) {
  struct stat st;
  return lstat(path.c_str(), &st) == 0;
}

// The entry of directory that matches name except for ASCII letter case.
std::optional<std::string> MatchIgnoringCase(const std::string& directory, const std::string& name) {
  std::unique_ptr<DIR, int (*)(DIR*)> dir(opendir(directory.c_str()), closedir);
  if (!dir) return std::nullopt;
  std::optional<std::string> best;
  while (dirent* entry = readdir(dir.get())) {
    if (!EqualsIgnoringAsciiCase(name, entry->d_name)) continue;
    std::string candidate = entry->d_name;
    if (!best || candidate < *best) best = std::move(candidate);
  }
  return best;
}

}  // namespace

std::string NormalizePath(const std::string& name) {
  std::string absolute = (!name.empty() && name[0] == '/') ? name : CurrentDirectory() + "/" + name;
  return JoinComponents(SplitComponents(absolute));
}

std::string FullPathName(const std::string& name) {
  std::vector<std::string> parts = SplitComponents(NormalizePath(name));
  std::string prefix;
  for (auto& part : parts) {
    std::string exact = prefix + "/" + part;
    if (!EntryExists(exact)) {
      std::optional<std::string> match = MatchIgnoringCase(prefix.empty() ? "/" : prefix, part);
      if (!match) break;  // the rest of the path does not exist: keep it as given
      part = *match;
    }
    prefix += "/" + part;
  }
  return JoinComponents(parts);
}

bool IdentityOf(const std::string& path, FileIdentity* identity) {
  struct stat st;
  if (stat(path.c_str(), &st) != 0) {
    SetLastErrorFromErrno(errno);
    return false;
  }
  identity->device = st.st_dev;
  identity->inode = st.st_ino;
  return true;
}

bool FileExists(const std::string& path) {
  struct stat st;
  return stat(path.c_str(), &st) == 0 && !S_ISDIR(st.st_mode);
}

bool RenameFile(const std::string& from, const std::string& to) {
  if (renameat2(AT_FDCWD, from.c_str(), AT_FDCWD, to.c_str(), RENAME_NOREPLACE) == 0) return true;
  if (errno == EINVAL || errno == ENOSYS) {
    // File systems without RENAME_NOREPLACE: check, then rename.
    if (EntryExists(to)) {
      SetLastError(os_error::kAlreadyExists);
      return false;
    }
    if (rename(from.c_str(), to.c_str()) == 0) return true;
  }
  SetLastErrorFromErrno(errno);
  return false;
}

bool DeleteFile(const std::string& path) {
  if (unlink(path.c_str()) == 0) return true;
  SetLastErrorFromErrno(errno);
  return false;
}

std::string BaseName(const std::string& path) {
  size_t slash = path.rfind('/');
  return slash == std::string::npos ? path : path.substr(slash + 1);
}

std::string DirectoryName(const std::string& path) {
  size_t slash = path.rfind('/');
  if (slash == std::string::npos) return ".";
  if (slash == 0) return "/";
  return path.substr(0, slash);
}

}  // namespace velorin::platform
