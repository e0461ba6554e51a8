// The libFuzzer target over index files: each input is a family's number (a
// byte) and a file of that family (NDX, CDX, MDX or NTX), opened against a
// fixed table, walked both ways, sought, checked, and then kept current through
// a record write and an append. Engine errors (a damaged index
// is error 2112) are the expected outcome of damage; anything else (a crash, a
// sanitizer report, another exception, a hang) is a fault.
#include <stdlib.h>
#include <unistd.h>

#include <fstream>
#include <iterator>
#include <string>

#include "engine/vr6_dbsy.h"
#include "index/index_check.h"
#include "tests/fuzz/index_fixture_table.h"

namespace {

using velorin::VRO_dBHandler;

struct WorkFiles {
  std::string directory;
  std::string table;  // the table's bytes, restored before every input
};

std::string ReadAll(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

void WriteFile(const std::string& path, const std::string& bytes) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

const WorkFiles& Work() {
  static const WorkFiles files = [] {
    char name[] = "/tmp/velorin-index-fuzz-XXXXXX";
    if (mkdtemp(name) == nullptr) abort();
    static std::string removeAtExit = name;
    atexit([] {
      unlink((removeAtExit + "/F.DBF").c_str());
      for (const char* extension : velorin::fuzz::kIndexExtensions) unlink((removeAtExit + "/F" + extension).c_str());
      rmdir(removeAtExit.c_str());
    });
    velorin::fuzz::MakeIndexTable(name);
    return WorkFiles{name, ReadAll(std::string(name) + "/F.DBF")};
  }();
  return files;
}

template <class Action>
void Try(Action action) {
  try {
    action();
  } catch (const velorin::EVelorinError&) {
  }
}

void Exercise(VRO_dBHandler& table, const std::string& extension) {
  table.OpenIndex("F" + extension);
  std::string tag = "F";
  table.SelectOrder(&tag, false);
  int steps = 0;
  for (table.GoRecord(velorin::nav::kFirst); !table.AtEOF() && steps < 100000; table.GoRecord(velorin::nav::kNext)) ++steps;
  steps = 0;
  for (table.GoRecord(velorin::nav::kLast); !table.AtBOF() && steps < 100000; table.GoRecord(velorin::nav::kPrevious)) ++steps;
  Try([&] { table.Find("K050"); });
  Try([&] { table.Find("12"); });
  Try([&] { table.Find("20500101"); });
  Try([&] { table.SetRange("K02", "K07", true, true); });
  Try([&] { velorin::CheckIndexFile(*table.IndexFileInSlot(1), table); });
  table.GoRecord(3);
  table.PutTextByName("NAME", "ZZZ");
  table.PutNumberByName("NUM", 999);
  table.WriteRecord(3);
  table.BlankRecord();
  table.PutTextByName("NAME", "AAA");
  table.Append();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size == 0) return 0;
  const WorkFiles& work = Work();
  std::string extension = velorin::fuzz::kIndexExtensions[data[0] % velorin::fuzz::kIndexFamilies];
  WriteFile(work.directory + "/F.DBF", work.table);
  WriteFile(work.directory + "/F" + extension, std::string(reinterpret_cast<const char*>(data) + 1, size - 1));
  Try([&] {
    VRO_dBHandler table(work.directory + "/F.DBF", true, false);
    Exercise(table, extension);
  });
  // A file of another family left from an earlier input would be opened too.
  unlink((work.directory + "/F" + extension).c_str());
  return 0;
}
