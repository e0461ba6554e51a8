#include "platform/process_paths.h"

#include <gtest/gtest.h>

#include <filesystem>

namespace velorin::platform {
namespace {

TEST(ProcessPaths, TheExecutableAndItsDirectory) {
  std::filesystem::path self = std::filesystem::canonical("/proc/self/exe");
  EXPECT_EQ(ExecutablePath(), self.string());
  EXPECT_EQ(ExecutableDirectory(), self.parent_path().string());
  EXPECT_NE(ExecutableDirectory().back(), '/');
}

}  // namespace
}  // namespace velorin::platform
