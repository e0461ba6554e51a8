// database_aliases.h — the directory a dataset's DatabaseName leads to.
//
// A DatabaseName is a directory path, an alias, the special name "Default
// Directory" (the directory of the running program) or empty (the current
// directory). Aliases live in one process-wide table, loaded on first use from
// the section "Alias" of the configuration file: /etc/velorin.cfg, or the file
// named by the environment variable VELORIN_CONFIG when it is set and not empty.
// Each key of the section is an alias name, its value the directory.
//
// Alias names are matched without regard to letter case; directories keep their
// spelling, since Linux paths are case-sensitive. Name and directory are kept as
// a pair, so either may hold "=". The path separator is "/".
#pragma once

#include <cstdint>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "dataset/profile_file.h"

namespace velorin {

namespace database_alias {
constexpr std::string_view kDefaultDirectory = "Default Directory";
constexpr const char* kConfigVariable = "VELORIN_CONFIG";
constexpr const char* kDefaultConfigFile = "/etc/velorin.cfg";
constexpr std::string_view kSection = "Alias";
}  // namespace database_alias

class TAliasTable {
 public:
  struct Entry {
    std::string Name;
    std::string Directory;
    // Registered by assigning a directory path as a DatabaseName: the path is
    // its own alias, and resolves in the spelling the DatabaseName gives it.
    bool SelfAlias = false;
    friend bool operator==(const Entry&, const Entry&) = default;
  };

  // Entry 0 only: the bare name "Default Directory".
  TAliasTable();

  // Back to entry 0 only.
  void Clear();

  // Applies the keys of section "Alias" in file order: a name already present
  // gets the new directory, a new one is added at the end, and an empty value
  // removes the name. "Default Directory" is not an alias and is passed over.
  void Load(const TProfileFile& file);
  // Load from a file; a missing file or section adds nothing.
  void LoadFile(const std::string& path);

  std::vector<Entry> Entries() const;
  // The directory of an alias (letter case of the name ignored); nothing when
  // there is no such alias. Entry 0 has no directory.
  std::optional<std::string> Lookup(std::string_view name) const;

  // The directory of a DatabaseName, ending in "/" unless empty:
  //   "Default Directory" (any case) -> the executable's directory;
  //   an alias -> its directory; anything else -> the name itself.
  std::string DirectoryOf(const std::string& databaseName) const;

  // The value a DatabaseName assignment stores for value: "Default Directory"
  // as given; otherwise the value with one trailing "/" removed (not from the
  // root "/"), registered as an alias of itself unless that name is an alias
  // already. An empty value stays empty and registers nothing.
  std::string RegisterDatabaseName(const std::string& value);

 private:
  // Caller holds mutex_.
  Entry* FindLocked(std::string_view name);
  const Entry* FindLocked(std::string_view name) const;
  void SetLocked(const std::string& name, const std::string& directory);

  mutable std::mutex mutex_;
  std::vector<Entry> entries_;
};

// The configuration file: $VELORIN_CONFIG when set and not empty, else /etc/velorin.cfg.
std::string ConfigurationFilePath();

// The process-wide table, loaded from ConfigurationFilePath() on first use.
TAliasTable& Aliases();
// Loads the process-wide table afresh from the configuration file; aliases
// registered by assignments since are forgotten.
void ReloadAliases();

// Aliases().DirectoryOf(databaseName).
std::string DatabaseDirectory(const std::string& databaseName);

}  // namespace velorin
