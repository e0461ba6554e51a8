// The record cache against a file kept as a string: whatever mix of writes,
// appends, truncations and reads, a read through the cache returns what the file
// holds.
#include "engine/record_cache.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <random>
#include <string>

namespace velorin {
namespace {

TEST(RecordBlockCache, ReadsWhatTheFileHoldsThroughWritesAppendsAndTruncations) {
  constexpr int32_t kBlock = RecordBlockCache::kBlockBytes;
  std::mt19937 random(11);
  std::string file(static_cast<size_t>(kBlock) * 2 + 1000, '\0');
  for (char& c : file) c = static_cast<char>(random());
  int fileReads = 0;
  RecordBlockCache::FileReader readFile = [&](int32_t offset, void* buffer, int32_t count) {
    ++fileReads;
    int32_t available = std::clamp(static_cast<int32_t>(file.size()) - offset, 0, count);
    std::memcpy(buffer, file.data() + offset, static_cast<size_t>(available));
    return available;
  };
  RecordBlockCache cache;
  for (int step = 0; step < 20000; ++step) {
    auto size = static_cast<int32_t>(file.size());
    int action = static_cast<int>(random() % 10);
    if (action < 2) {  // a record rewritten, maybe across a block's edge
      int32_t count = 1 + static_cast<int32_t>(random() % 200);
      int32_t offset = static_cast<int32_t>(random() % static_cast<uint32_t>(size - count));
      if (random() % 4 == 0) offset = std::min(size - count, kBlock - count / 2);
      std::string bytes(static_cast<size_t>(count), static_cast<char>('a' + step % 26));
      file.replace(static_cast<size_t>(offset), bytes.size(), bytes);
      cache.Written(offset, bytes.data(), count);
    } else if (action == 2) {  // a record appended
      std::string bytes(1 + random() % 300, static_cast<char>('A' + step % 26));
      file += bytes;
      cache.Written(size, bytes.data(), static_cast<int32_t>(bytes.size()));
    } else if (action == 3 && random() % 50 == 0) {  // packed: shorter
      file.resize(file.size() - random() % 5000);
      cache.Clear();
    } else {  // a read anywhere, past the end too
      int32_t count = 1 + static_cast<int32_t>(random() % 4000);
      int32_t offset = static_cast<int32_t>(random() % static_cast<uint32_t>(size + 100));
      if (random() % 8 == 0) offset = kBlock - count / 2;
      std::string got(static_cast<size_t>(count), '?');
      int32_t read = cache.Read(offset, got.data(), count, readFile);
      int32_t expected = std::clamp(size - offset, 0, count);
      ASSERT_EQ(read, expected) << "step " << step;
      if (read > 0) {
        ASSERT_EQ(got.substr(0, static_cast<size_t>(read)),
                  file.substr(static_cast<size_t>(offset), static_cast<size_t>(read)))
            << "step " << step;
      }
    }
  }
  // The blocks are read once each and then found again, not read per record.
  EXPECT_LT(fileReads, 2000);
}

}  // namespace
}  // namespace velorin
