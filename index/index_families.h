// index_families.h — making the index families known to the table handler.
//
// InstallIndexFamilies registers the opener of every index family built here
// with the handler (engine/index_links.h), and the expression filter
// (InstallExpressionFilter). The dataset and velorin-dbf call it
// once before they open a table; it is explicit because a static library drops
// registrations that nobody references. Calling it again changes nothing.
#pragma once

#include <memory>
#include <string>

namespace velorin {

class VRO_dBHandler;
class VRobjIndexFile;

void InstallIndexFamilies();

// A new, empty index file of the family its extension names (replacing any file
// of that name), for the table; the caller adds the tags with TagAdd. An engine
// error for an extension no family here writes.
std::unique_ptr<VRobjIndexFile> CreateIndexFile(VRO_dBHandler& table, const std::string& path);

}  // namespace velorin
