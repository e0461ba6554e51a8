// The search structures under every seek: a page's packed keys must compare
// exactly as the keys themselves do, and the page cache must find what it keeps.
#include "index/packed_keys.h"

#include <gtest/gtest.h>

#include <map>
#include <memory>
#include <random>
#include <string>
#include <vector>

#include "index/page_cache.h"
#include "index/vr6_indx.h"

namespace velorin {
namespace {

// Keys over few letters (zero bytes among them, which the words pad with) and
// of lengths around the common prefix and the word's 7 bytes.
std::string RandomKey(std::mt19937& random, const std::string& stem) {
  static const char kLetters[] = {'A', 'B', '\0', ' ', '\xE0'};
  std::string key = stem.substr(0, random() % (stem.size() + 1));
  size_t more = random() % 12;
  for (size_t i = 0; i < more; ++i) key += kLetters[random() % sizeof kLetters];
  return key;
}

VRobjIndexKeyData Entry(TvrVariantKind kind, const std::string& bytes, int32_t n) {
  VRobjIndexKeyData entry;
  entry.SetBytes(bytes.data(), static_cast<int32_t>(bytes.size()));
  entry.SetKind(kind);
  entry.Pointer = n;
  entry.RecNo = -n;
  return entry;
}

TEST(PackedKeys, CompareAgreesWithTheKeysThemselves) {
  std::mt19937 random(7);
  const TvrVariantKind kinds[] = {TvrVariantKind::kText, TvrVariantKind::kRaw};
  for (int round = 0; round < 3000; ++round) {
    std::string stem = RandomKey(random, "NAME 1234567");
    TvrVariantKind pageKind = kinds[random() % 2];
    std::vector<VRobjIndexKeyData> entries;
    int count = 1 + static_cast<int>(random() % 20);
    for (int i = 0; i < count; ++i) entries.push_back(Entry(pageKind, stem + RandomKey(random, ""), i + 1));
    PackedKeys packed;
    packed.Build(entries);
    ASSERT_EQ(packed.Kind(), pageKind);
    for (int probeRound = 0; probeRound < 8; ++probeRound) {
      std::string key = probeRound % 2 ? stem.substr(0, random() % (stem.size() + 1)) + RandomKey(random, "")
                                       : std::string(entries[random() % entries.size()].Bytes());
      TvrVariantKind keyKind = kinds[random() % 2];
      int prefixResult = static_cast<int>(random() % 3) - 1;
      PackedKeys::Probe probe = packed.Prepare(keyKind, key, prefixResult);
      for (int i = 0; i < count; ++i) {
        int expected = TvrVariant::CompareBytes(keyKind, key, pageKind, entries[static_cast<size_t>(i)].Bytes(),
                                                nullptr, prefixResult);
        ASSERT_EQ(packed.Compare(probe, i), expected) << "key \"" << key << "\" entry " << i << " round " << round;
        ASSERT_EQ(packed.PointerAt(i), i + 1);
        ASSERT_EQ(packed.RecNoAt(i), -(i + 1));
        ASSERT_EQ(packed.KeyAt(i), entries[static_cast<size_t>(i)].Bytes());
      }
    }
  }
}

TEST(PackedKeys, NumbersMixedKindsAndMismatchesBehaveAsTheKeys) {
  std::vector<VRobjIndexKeyData> numbers(3);
  for (int i = 0; i < 3; ++i) numbers[static_cast<size_t>(i)].SetFloat(i - 1.0);
  PackedKeys packed;
  packed.Build(numbers);
  ASSERT_EQ(packed.Kind(), TvrVariantKind::kNumeric);
  TvrVariant zero;
  zero.SetFloat(0.0);
  PackedKeys::Probe probe = packed.Prepare(zero.Kind(), zero.Bytes(), -1);
  EXPECT_EQ(packed.Compare(probe, 0), 1);
  EXPECT_EQ(packed.Compare(probe, 1), 0);
  EXPECT_EQ(packed.Compare(probe, 2), -1);
  // A text sought among numbers fails as comparing the keys fails.
  EXPECT_THROW(packed.Compare(packed.Prepare(TvrVariantKind::kText, "ABCDEFGHIJ", -1), 0), EVelorinError);

  numbers.push_back(Entry(TvrVariantKind::kText, "A", 9));
  packed.Build(numbers);
  EXPECT_EQ(packed.Kind(), TvrVariantKind::kNone);  // kinds differ: the search uses the entries
}

TEST(PageCache, FindsWhatItKeepsThroughPutsAndErasesAndHonoursItsBound) {
  PageCache cache(size_t{1} << 40);
  std::map<int32_t, std::shared_ptr<VRobjIndexKey>> model;
  std::mt19937 random(3);
  for (int step = 0; step < 200000; ++step) {
    // Byte-offset page numbers collide in the low bits, as CDX and NTX pages do.
    int32_t page = static_cast<int32_t>(1 + random() % 5000) * 512;
    if (random() % 3 == 0) {
      cache.Erase(page);
      model.erase(page);
    } else {
      auto node = std::make_shared<VRobjIndexKey>();
      cache.Put(page, node, 1);
      model[page] = node;
    }
    if (step % 1000 == 0) {
      ASSERT_EQ(cache.Count(), model.size());
      for (int32_t p = 512; p <= 5000 * 512; p += 512) {
        const std::shared_ptr<VRobjIndexKey>* found = cache.Find(p);
        auto expected = model.find(p);
        ASSERT_EQ(found != nullptr, expected != model.end()) << "page " << p << " step " << step;
        if (found != nullptr) {
          ASSERT_EQ(found->get(), expected->second.get());
        }
      }
    }
  }

  PageCache bounded(1000);
  bounded.Put(1, std::make_shared<VRobjIndexKey>(), 600);
  bounded.Put(2, std::make_shared<VRobjIndexKey>(), 300);
  EXPECT_EQ(bounded.Count(), 2u);
  bounded.Put(3, std::make_shared<VRobjIndexKey>(), 200);  // past the bound: starts again
  EXPECT_EQ(bounded.Count(), 1u);
  EXPECT_NE(bounded.Find(3), nullptr);
  EXPECT_EQ(bounded.Find(1), nullptr);
}

}  // namespace
}  // namespace velorin
