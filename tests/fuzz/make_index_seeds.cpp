// Writes the index fuzzer's seed corpus into the directory given: for each
// family, files on the fuzz table keyed by character, numeric and date fields,
// unique and not, descending and with a FOR condition where the family has
// them; each seed is the family's number (a byte) and the file.
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>

#include "index/index_families.h"
#include "index/vr6_indx.h"
#include "tests/fuzz/index_fixture_table.h"

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: %s DIRECTORY\n", argv[0]);
    return 2;
  }
  std::filesystem::path out = argv[1];
  std::filesystem::create_directories(out);
  std::filesystem::path work = std::filesystem::temp_directory_path() / "velorin-index-seeds";
  std::filesystem::create_directories(work);
  velorin::fuzz::MakeIndexTable(work.string());
  velorin::VRO_dBHandler table((work / "F.DBF").string(), true, false);
  struct Seed {
    const char* key;
    bool unique;
    bool ascending;
    const char* forExpression;
  };
  const Seed seeds[] = {{"NAME", false, true, ""},       {"NAME", true, true, ""},  {"NUM", false, true, ""},
                        {"BORN", false, true, ""},       {"UPPER(NAME)", false, false, ""},
                        {"NAME", false, true, "NUM > 0"}};
  int n = 0;
  for (size_t family = 0; family < velorin::fuzz::kIndexFamilies; ++family) {
    std::string extension = velorin::fuzz::kIndexExtensions[family];
    bool multiTag = extension == ".CDX" || extension == ".MDX";
    for (const Seed& seed : seeds) {
      // Single-order families keep neither a descending order nor a FOR condition.
      if (!multiTag && (!seed.ascending || *seed.forExpression != '\0')) continue;
      std::string path = (work / ("F" + extension)).string();
      std::filesystem::remove(path);
      {
        auto file = velorin::CreateIndexFile(table, path);
        file->TagAdd("F", seed.key, seed.unique, seed.ascending, seed.forExpression);
        if (multiTag) file->TagAdd("G", "NUM", false, true, "");  // a second tag in the file
      }
      std::ifstream in(path, std::ios::binary);
      std::string bytes(1, static_cast<char>(family));
      bytes.append(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
      std::ofstream(out / ("seed" + std::to_string(++n) + extension), std::ios::binary) << bytes;
    }
  }
  std::filesystem::remove_all(work);
  return 0;
}
