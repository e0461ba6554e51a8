// file_names.h — full paths, letter case and file identity on a case-sensitive system.
//
// Tables are named the Windows way, in any letter case ("info.dbf" for INFO.DBF).
// Linux names are case-sensitive UTF-8 bytes, so instead of upper-casing a name the
// platform layer resolves it: each path component that does not exist exactly is
// matched to the entry of its directory that differs from it only in ASCII letter
// case (the exact spelling first; among several candidates the byte-wise smallest).
// A component with no match, and everything after it, keeps the caller's spelling,
// so a file being created is made under the name it was given.
#pragma once

#include <cstdint>
#include <string>

namespace velorin::platform {

// The name made absolute against the current directory and folded lexically:
// ".", ".." and repeated "/" removed, no symbolic link resolved, no length limit.
std::string NormalizePath(const std::string& name);

// NormalizePath, then the letter case of every component resolved as above.
std::string FullPathName(const std::string& name);

// The physical file a path names, as the kernel identifies it.
struct FileIdentity {
  uint64_t device = 0;
  uint64_t inode = 0;
  friend bool operator==(const FileIdentity&, const FileIdentity&) = default;
};

// False (last error set) when the path cannot be examined.
bool IdentityOf(const std::string& path, FileIdentity* identity);

bool FileExists(const std::string& path);

// Renames without replacing: an existing target fails with 183, as on Windows.
// On failure the last error is set and false returned.
bool RenameFile(const std::string& from, const std::string& to);

// Removes a file; false with the last error set on failure.
bool DeleteFile(const std::string& path);

// The file-name part of a path (after the last "/").
std::string BaseName(const std::string& path);

// The directory part of a path, without the trailing "/" (but "/" for the root).
std::string DirectoryName(const std::string& path);

}  // namespace velorin::platform
