// bench_directory.h — where the benchmarks write their tables: a fresh directory
// under the system's temporary directory (TMPDIR), removed at the end of the run.
#pragma once

#include <filesystem>
#include <random>
#include <string>

namespace velorin {

// The path of name in the run's directory.
inline std::string BenchFile(const std::string& name) {
  struct Directory {
    Directory() {
      std::random_device random;
      path = std::filesystem::temp_directory_path() / ("velorin-bench-" + std::to_string(random()));
      std::filesystem::create_directories(path);
    }
    ~Directory() {
      std::error_code ignored;
      std::filesystem::remove_all(path, ignored);
    }
    std::filesystem::path path;
  };
  static Directory directory;
  return (directory.path / name).string();
}

}  // namespace velorin
