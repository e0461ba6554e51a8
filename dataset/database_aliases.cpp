#include "dataset/database_aliases.h"

#include <cstdlib>

#include "dataset/fields.h"
#include "platform/process_paths.h"

namespace velorin {

TAliasTable::TAliasTable() { entries_.push_back({std::string(database_alias::kDefaultDirectory), {}, false}); }

void TAliasTable::Clear() {
  std::lock_guard lock(mutex_);
  entries_.erase(entries_.begin() + 1, entries_.end());
}

void TAliasTable::Load(const TProfileFile& file) {
  std::lock_guard lock(mutex_);
  for (const auto& [name, directory] : file.Section(database_alias::kSection)) SetLocked(name, directory);
}

void TAliasTable::LoadFile(const std::string& path) {
  if (auto file = TProfileFile::Load(path)) Load(*file);
}

std::vector<TAliasTable::Entry> TAliasTable::Entries() const {
  std::lock_guard lock(mutex_);
  return entries_;
}

std::optional<std::string> TAliasTable::Lookup(std::string_view name) const {
  std::lock_guard lock(mutex_);
  const Entry* entry = FindLocked(name);
  if (entry == nullptr || entry == &entries_.front()) return std::nullopt;
  return entry->Directory;
}

std::string TAliasTable::DirectoryOf(const std::string& databaseName) const {
  std::string directory;
  if (SameTextIgnoringCase(databaseName, database_alias::kDefaultDirectory)) {
    directory = platform::ExecutableDirectory();
  } else {
    std::lock_guard lock(mutex_);
    const Entry* entry = FindLocked(databaseName);
    if (entry != nullptr && entry != &entries_.front() && !entry->SelfAlias) {
      directory = entry->Directory;
    } else {
      directory = databaseName;
    }
  }
  if (!directory.empty() && directory.back() != '/') directory += '/';
  return directory;
}

std::string TAliasTable::RegisterDatabaseName(const std::string& value) {
  if (value.empty() || SameTextIgnoringCase(value, database_alias::kDefaultDirectory)) return value;
  std::string name = value;
  if (name.size() > 1 && name.back() == '/') name.pop_back();
  std::lock_guard lock(mutex_);
  if (FindLocked(name) == nullptr) entries_.push_back({name, name, true});
  return name;
}

TAliasTable::Entry* TAliasTable::FindLocked(std::string_view name) {
  for (auto& entry : entries_) {
    if (SameTextIgnoringCase(entry.Name, name)) return &entry;
  }
  return nullptr;
}

const TAliasTable::Entry* TAliasTable::FindLocked(std::string_view name) const {
  return const_cast<TAliasTable*>(this)->FindLocked(name);
}

void TAliasTable::SetLocked(const std::string& name, const std::string& directory) {
  if (SameTextIgnoringCase(name, database_alias::kDefaultDirectory)) return;
  for (auto it = entries_.begin() + 1; it != entries_.end(); ++it) {
    if (!SameTextIgnoringCase(it->Name, name)) continue;
    if (directory.empty()) {
      entries_.erase(it);
    } else {
      it->Directory = directory;
      it->SelfAlias = false;
    }
    return;
  }
  if (!directory.empty()) entries_.push_back({name, directory, false});
}

std::string ConfigurationFilePath() {
  const char* configured = std::getenv(database_alias::kConfigVariable);
  if (configured != nullptr && *configured != '\0') return configured;
  return database_alias::kDefaultConfigFile;
}

TAliasTable& Aliases() {
  static TAliasTable& table = []() -> TAliasTable& {
    static TAliasTable instance;
    instance.LoadFile(ConfigurationFilePath());
    return instance;
  }();  // thread-safe one-time initialisation
  return table;
}

void ReloadAliases() {
  TAliasTable& table = Aliases();
  table.Clear();
  table.LoadFile(ConfigurationFilePath());
}

std::string DatabaseDirectory(const std::string& databaseName) { return Aliases().DirectoryOf(databaseName); }

}  // namespace velorin
