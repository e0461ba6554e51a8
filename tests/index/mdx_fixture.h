// mdx_fixture.h — MDX files with tags on test tables.
#pragma once

#include <string>
#include <utility>
#include <vector>

#include "index/index_fixture.h"
#include "index/vr6_mdx.h"

namespace velorin::testing {

struct TagSpec {
  TagSpec(std::string tagName, std::string keyText, bool isUnique = false, bool isAscending = true,
          std::string forText = "")
      : name(std::move(tagName)),
        key(std::move(keyText)),
        unique(isUnique),
        ascending(isAscending),
        forExpression(std::move(forText)) {}
  std::string name;
  std::string key;
  bool unique;
  bool ascending;
  std::string forExpression;
};

// Makes an MDX file for the table (replacing any) with the tags, and closes it.
inline void MakeMdx(VRO_dBHandler& table, const std::string& path, const std::vector<TagSpec>& tags) {
  VRobjMDXFile file(&table, path, true, true);
  for (const TagSpec& t : tags) file.TagAdd(t.name, t.key, t.unique, t.ascending, t.forExpression);
}

// The records of the tag in index order, through the handler.
inline std::vector<int32_t> RecordsInTag(VRO_dBHandler& table, const std::string& tag) {
  std::string name = tag;
  table.SelectOrder(&name, false);
  return RecordsInOrder(table);
}

}  // namespace velorin::testing
