// Writes the index fuzzer's seed corpus into the directory given: NDX files on
// the fuzz table keyed by character, numeric and date fields, unique and not.
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>

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
  };
  int n = 0;
  for (Seed seed : {Seed{"NAME", false}, Seed{"NAME", true}, Seed{"NUM", false}, Seed{"BORN", false},
                    Seed{"UPPER(NAME)", false}}) {
    std::string path = (work / "F.NDX").string();
    {
      velorin::VRobjNDXFile file(&table, path, true, true);
      file.TagAdd("F", seed.key, seed.unique, true, "");
    }
    std::filesystem::copy_file(path, out / ("seed" + std::to_string(++n) + ".ndx"),
                               std::filesystem::copy_options::overwrite_existing);
  }
  std::filesystem::remove_all(work);
  return 0;
}
