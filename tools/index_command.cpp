// velorin-dbf index create|list|keys: making an index file and looking into one.
//
//   index create FILE INDEXFILE --key EXPR [--tag NAME] [--for EXPR] [--unique] [--descending]
//   index list FILE INDEXFILE          a JSON array, one object per tag
//   index keys FILE INDEXFILE [--tag NAME]   JSON Lines {"key", "recno"} in index order
#include <cstdio>
#include <memory>
#include <nlohmann/json.hpp>
#include <string>

#include "engine/vr6_Date.h"
#include "index/index_families.h"
#include "index/vr6_indx.h"
#include "platform/code_page.h"
#include "platform/file_names.h"
#include "tools/cli_commands.h"
#include "tools/command_table.h"
#include "tools/index_options.h"

namespace velorin::tools {

namespace {

struct IndexOptions {
  TableArguments table;
  std::string indexFile;
  std::string key;
  std::string tag;
  std::string forExpression;
  bool unique = false;
  bool descending = false;
};

std::string IndexPath(const std::string& file) {
  return file.find('/') == std::string::npos ? platform::FullPathName(file) : file;
}

int RunCreate(const IndexOptions& options) {
  auto table = OpenTable<ProgressHandler>(options.table.file, TableAccess::kSharedWrite);
  table->ShowProgressOnTerminal();
  std::string path = IndexPath(options.indexFile);
  std::unique_ptr<VRobjIndexFile> file = CreateIndexFile(*table, path);
  std::string tag = options.tag.empty() ? NameWithoutExtension(platform::BaseName(path)) : options.tag;
  if (!file->TagAdd(tag, options.key, options.unique, !options.descending, options.forExpression)) {
    throw CommandError("The key expression " + options.key + " cannot be evaluated");
  }
  return 0;
}

int RunList(const IndexOptions& options) {
  auto table = OpenTable(options.table.file, TableAccess::kRead);
  OpenIndexFiles(*table, {options.indexFile});
  auto* file = dynamic_cast<VRobjIndexFile*>(table->IndexFileInSlot(1));
  nlohmann::ordered_json tags = nlohmann::ordered_json::array();
  for (int32_t i = 0; file != nullptr && i < file->TagCount(); ++i) {
    VRobjIndexTag* tag = file->Tag(i);
    nlohmann::ordered_json entry;
    entry["name"] = tag->Name();
    entry["key"] = tag->KeyExpressionText();
    entry["for"] = tag->ForExpressionText();
    entry["type"] = std::string(1, tag->KeyType());
    entry["length"] = tag->KeyLength();
    entry["unique"] = tag->Unique();
    entry["descending"] = !tag->Ascending();
    tags.push_back(entry);
  }
  std::string text = tags.dump(-1, ' ', false, nlohmann::ordered_json::error_handler_t::replace) + "\n";
  std::fwrite(text.data(), 1, text.size(), stdout);
  return std::fflush(stdout) == 0 ? 0 : 1;
}

nlohmann::ordered_json KeyJson(const IndexOrder& order, int codePage) {
  // The key as stored, turned back into the value it stands for.
  const auto* tag = dynamic_cast<const VRobjIndexTag*>(&order);
  TvrVariant key = tag != nullptr ? tag->KeyAsValue(order.CurrentKey()) : order.CurrentKey();
  // A damaged key of a numeric or date order may stand for no number: null.
  bool hasNumber = key.Kind() == TvrVariantKind::kNumeric || key.Kind() == TvrVariantKind::kDate;
  double number = order.KeyType() == 'C' || !hasNumber ? 0 : key.AsFloat();
  switch (order.KeyType()) {
    case 'N':
      if (!hasNumber) return nullptr;
      return number;
    case 'D': {
      double day = number;
      int year = 0, month = 0, dayOfMonth = 0;
      if (day > 0 && day < kLastDayNumber + 1 &&
          DBFDate().DecodeDayNumber(static_cast<int32_t>(day), &year, &month, &dayOfMonth)) {
        char text[16];
        std::snprintf(text, sizeof text, "%04d-%02d-%02d", year, month, dayOfMonth);
        return text;
      }
      return nullptr;
    }
    default: return platform::ToUtf8(key.Bytes(), codePage);
  }
}

int RunKeys(const IndexOptions& options) {
  auto table = OpenTable(options.table.file, TableAccess::kRead);
  int codePage = CodePageFor(options.table, *table);
  OpenIndexFiles(*table, {options.indexFile});
  IndexOrder& order = ChooseOrder(*table, 1, options.tag);
  order.PageCursorReset(2);
  std::string line;
  for (int32_t record = order.KeyMove(nav::kFirst); record > 0; record = order.KeyMove(nav::kNext)) {
    nlohmann::ordered_json row;
    row["key"] = KeyJson(order, codePage);
    row["recno"] = record;
    line = row.dump(-1, ' ', false, nlohmann::ordered_json::error_handler_t::replace);
    line += '\n';
    std::fwrite(line.data(), 1, line.size(), stdout);
  }
  return std::fflush(stdout) == 0 ? 0 : 1;
}

}  // namespace

void RegisterIndexCommand(CLI::App& app, CommandRunner& runner) {
  CLI::App* index = app.add_subcommand("index", "Make index files and look into them");
  index->require_subcommand(1);

  auto create = std::make_shared<IndexOptions>();
  CLI::App* command = index->add_subcommand(
      "create", "Make an index file (replacing one of that name) or add a tag to a .CDX or .MDX file, and build it");
  AddTableArguments(command, &create->table, false);
  command
      ->add_option("INDEXFILE", create->indexFile, "The index file (.NDX or .NTX; a .CDX or .MDX file gains the tag)")
      ->required();
  command->add_option("--key", create->key, "The key expression")->required();
  command->add_option("--tag", create->tag, "The tag's name (default: the file's name)");
  command->add_option("--for", create->forExpression, "Only records for which this is true have a key");
  command->add_flag("--unique", create->unique, "Only the first record of each key");
  command->add_flag("--descending", create->descending, "Descending order");
  command->callback([create, &runner] { runner = [create] { return RunCreate(*create); }; });

  auto list = std::make_shared<IndexOptions>();
  command = index->add_subcommand("list", "Print the tags of an index file as JSON");
  AddTableArguments(command, &list->table, false);
  command->add_option("INDEXFILE", list->indexFile, "The index file")->required();
  command->callback([list, &runner] { runner = [list] { return RunList(*list); }; });

  auto keys = std::make_shared<IndexOptions>();
  command = index->add_subcommand("keys", "Print the keys of a tag in index order as JSON Lines");
  AddTableArguments(command, &keys->table, true);
  command->add_option("INDEXFILE", keys->indexFile, "The index file")->required();
  command->add_option("--tag", keys->tag, "The tag (default: the file's first)");
  command->callback([keys, &runner] { runner = [keys] { return RunKeys(*keys); }; });
}

}  // namespace velorin::tools
