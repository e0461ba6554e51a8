// index_families.h — making the index families known to the table handler.
//
// InstallIndexFamilies registers the opener of every index family built here
// with the handler (engine/index_links.h). The dataset and velorin-dbf call it
// once before they open a table; it is explicit because a static library drops
// registrations that nobody references. Calling it again changes nothing.
#pragma once

namespace velorin {

void InstallIndexFamilies();

}  // namespace velorin
