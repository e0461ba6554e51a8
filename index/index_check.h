// index_check.h — the index checker: is an index file true to its table?
//
// For each order of the file: every page is well formed, reached once and not
// beyond the file, all leaves lie at one depth, each interior key bounds the
// keys below it; the keys are in order (strictly on unique orders); every record
// that passes the FOR condition has exactly one key, equal to its evaluated key,
// and no other record has one (on unique orders: each distinct key once, on a
// record that evaluates to it). The table's position is not kept.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace velorin {

class IndexFileLink;
class VRO_dBHandler;

struct TagCheckResult {
  std::string tag;
  int64_t keys = 0;
  int64_t pages = 0;
  int32_t levels = 0;
  std::vector<std::string> problems;  // each a full sentence naming the order
};

// Checks every order of file against table; damage met on the way is a problem.
std::vector<TagCheckResult> CheckIndex(IndexFileLink& file, VRO_dBHandler& table);
// All problems of CheckIndex, in order; empty when the file is sound.
std::vector<std::string> CheckIndexFile(IndexFileLink& file, VRO_dBHandler& table);

}  // namespace velorin
