// The libFuzzer target: a damaged table and memo file, opened, walked in both
// directions, every field read in every way there is, and searched; inputs that
// ask for it are then changed as well: memos rewritten, records written,
// deleted and appended, the table packed. Engine
// errors and conversion errors are the expected outcome of damage; anything
// else (a crash, a sanitizer report, another exception, a hang) is a fault.
#include <stdlib.h>
#include <unistd.h>

#include <algorithm>
#include <cstdint>
#include <fstream>
#include <string>
#include <vector>

#include "engine/vr6_dbsy.h"
#include "engine/vr6_eror.h"
#include "platform/convert_error.h"
#include "tests/fuzz/fuzz_input.h"
#include "tools/field_values.h"

namespace {

using velorin::VRO_dBHandler;

// A memo is read into a buffer of at most this many bytes.
constexpr int32_t kMemoBufferLimit = 1 << 20;

const std::string& WorkDirectory() {
  static const std::string directory = [] {
    char name[] = "/tmp/velorin-fuzz-XXXXXX";
    if (mkdtemp(name) == nullptr) abort();
    std::string made = name;
    static std::string removeAtExit = made;
    atexit([] {
      for (const char* file : {"/F.DBF", "/F.DBT", "/F.FPT"}) unlink((removeAtExit + file).c_str());
      rmdir(removeAtExit.c_str());
    });
    return made;
  }();
  return directory;
}

void WriteFile(const std::string& path, std::string_view bytes) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

// One read that may fail the way damage makes reads fail.
template <class Read>
void Try(Read read) {
  try {
    read();
  } catch (const velorin::EVelorinError&) {
  } catch (const velorin::platform::EConvertError&) {
  } catch (const velorin::tools::FieldValueError&) {
  }
}

void ReadEveryField(VRO_dBHandler& table) {
  for (int32_t i = 0; i <= table.FieldCount() + 1; ++i) {  // 0 and FieldCount + 1 are out of range
    Try([&] { table.GetText(i); });
    Try([&] { table.GetDisplay(i); });
    Try([&] { table.GetNumber(i); });
    Try([&] { table.GetDate(i); });
    Try([&] { table.GetLogical(i); });
    Try([&] {
      int32_t size = std::clamp(table.MemoSize(i), 0, kMemoBufferLimit);
      std::vector<char> buffer(static_cast<size_t>(size) + 1);
      table.MemoRead(i, buffer.data(), size);
      if (size < 0 || size > static_cast<int32_t>(buffer.size())) abort();
    });
    for (int codePage : {866, 1251, 0}) Try([&] { velorin::tools::ReadFieldValue(table, i, codePage); });
  }
}

void Exercise(const std::string& path) {
  VRO_dBHandler table(path, false, true);
  // Every step reads one record; the count comes from the file size, so the
  // walk is bounded by the input.
  int64_t limit = int64_t{table.RecordCount()} + 2;
  int64_t steps = 0;
  for (Try([&] { table.GoRecord(velorin::nav::kFirst); }); !table.AtEOF() && steps < limit; ++steps) {
    ReadEveryField(table);
    bool moved = true;
    Try([&] {
      moved = false;
      table.GoRecord(velorin::nav::kNext);
      moved = true;
    });
    if (!moved) break;
  }
  Try([&] { table.GoRecord(velorin::nav::kLast); });
  Try([&] { table.GoRecord(velorin::nav::kPrevious); });
  Try([&] { table.Skip(-3); });
  table.SetUseDeleted(false);
  Try([&] { table.Skip(2); });
  Try([&] {
    int32_t start = 0;
    table.SetSearchOptions(velorin::search_option::kIgnoreCase | velorin::search_option::kWildcards);
    table.Search("*1?*", 0, 0, start);
  });
}

// Writes through every path that trusts the file: memo allocation over the
// memo header and free chain, record writes, appends and the pack.
void ExerciseWrites(const std::string& path) {
  VRO_dBHandler table(path, true, false);
  int32_t records = std::min(table.RecordCount(), 3);
  for (int32_t n = 1; n <= records + 1; ++n) {
    Try([&] {
      if (n <= records) {
        table.GoRecord(n);
      } else {
        velorin::tools::BlankRecordForValues(table);
      }
      for (int32_t i = 1; i <= table.FieldCount(); ++i) {
        Try([&] {
          velorin::tools::StoreFieldValue(table, i, velorin::tools::FieldValue::OfText(std::string(n * 200, 'w')),
                                          1251);
        });
      }
      if (n <= records) {
        table.WriteRecord(n);
      } else {
        table.Append();
      }
    });
  }
  Try([&] {
    table.GoRecord(1);
    table.DeleteRecord();
  });
  Try([&] { table.Pack(); });
  Try([&] { ReadEveryField(table); });
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  velorin::fuzz::TableFiles files = velorin::fuzz::SplitInput(data, size);
  const std::string& directory = WorkDirectory();
  std::string table = directory + "/F.DBF";
  WriteFile(table, files.dbf);
  WriteFile(directory + "/F.DBT", files.memo);
  WriteFile(directory + "/F.FPT", files.memo);
  Try([&] { Exercise(table); });
  if (files.write) Try([&] { ExerciseWrites(table); });
  return 0;
}
