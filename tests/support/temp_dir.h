// temp_dir.h — a fresh temporary directory per test, made the current directory
// for the test's lifetime and removed with everything in it afterwards.
#pragma once

#include <filesystem>
#include <string>

namespace velorin::testing {

class TempDir {
 public:
  TempDir();
  ~TempDir();
  TempDir(const TempDir&) = delete;
  TempDir& operator=(const TempDir&) = delete;

  const std::filesystem::path& Path() const { return path_; }
  // Absolute path of a file inside the directory.
  std::string File(const std::string& name) const;

 private:
  std::filesystem::path path_;
  std::filesystem::path previous_;
};

// Whole contents of a file as bytes; empty when it cannot be read.
std::string ReadFileBytes(const std::string& path);
void WriteFileBytes(const std::string& path, const std::string& bytes);

}  // namespace velorin::testing
