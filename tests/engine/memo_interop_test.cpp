// Memo files shared with other programs: memos that python3-dbf and Perl XBase
// write read back here byte for byte, and memos written here read back the same
// in python3-dbfread and Perl XBase. The block number is taken from and put
// into the record bytes directly.
#include <gtest/gtest.h>

#include <map>
#include <sstream>

#include "engine/vr6_memo.h"
#include "memo_fixtures.h"
#include "support/child_process.h"

namespace velorin {
namespace {

using memo_test::AppendWithMemo;
using memo_test::BlockInRecord;
using memo_test::Pattern;
using memo_test::ReadBack;
using memo_test::TextInRecord;
using testing::RunCommand;
using testing::TempDir;

const char kPython[] = "/usr/bin/python3";

const std::string kCp866 = "\x8F\xE0\xA8\xA2\xA5\xE2, \xAC\xA8\xE0! \xF0\xA6\xA8\xAA \xF1\xAB\xAA\xA0 \x99";
const std::string kCp1251 = "\xCF\xF0\xE8\xE2\xE5\xF2, \xEC\xE8\xF0! \xA8\xE6\xE8\xEA \xB8\xEB\xEA\xE0 \xD9";

// python3-dbf: a table NAME C(10), NOTES M of the kind, one record per line of
// the hex file, memo text decoded from the code page.
const char kPythonWriter[] = R"(import dbf, sys
kind, cp, out, hexfile = sys.argv[1:5]
memos = [bytes.fromhex(line.strip()) for line in open(hexfile)]
t = dbf.Table(out, 'name C(10); notes M', dbf_type=kind, codepage=cp)
t.open(dbf.READ_WRITE)
for i, m in enumerate(memos):
    t.append(('r%d' % i, m.decode(cp)))
t.close()
)";

// python3-dbfread: "NAME HEX" per record.
const char kPythonReader[] = R"(import dbfread, sys
for r in dbfread.DBF(sys.argv[1], encoding='latin-1'):
    v = r['NOTES']
    if v is None: v = ''
    if isinstance(v, str): v = v.encode('latin-1')
    print(r['NAME'], v.hex())
)";

const char kPerlWriter[] = R"(use strict; use XBase;
my ($file, $version, $hexfile) = @ARGV;
open(my $in, '<', $hexfile) or die; my @memos = map { chomp; pack("H*", $_) } <$in>;
my $t = XBase->create(name => $file, field_names => ['NAME','NOTES'], field_types => ['C','M'],
  field_lengths => [10,10], field_decimals => [0,0], version => $version) or die XBase->errstr;
for my $i (0..$#memos) { $t->set_record($i, "r$i", $memos[$i]) or die $t->errstr; }
$t->close;
)";

const char kPerlReader[] = R"(use strict; use XBase;
my $t = XBase->new(shift) or die XBase->errstr;
for my $i (0 .. $t->last_record) {
  my ($del, $name, $notes) = $t->get_record($i, "NAME", "NOTES");
  $notes = "" unless defined $notes;
  print "$name ", unpack("H*", $notes), "\n";
}
)";

bool HasPythonModule(const char* module) {
  return RunCommand(std::string(kPython) + " -c 'import " + module + "' 2>/dev/null") == 0;
}
bool HasPerlXBase() { return RunCommand("perl -MXBase -e 1 2>/dev/null") == 0; }

#define REQUIRE_PYTHON(module)                                                                \
  if (!HasPythonModule(module)) GTEST_SKIP() << "Python module " module " is missing "       \
                                                "(Debian package python3-" module ")"
#define REQUIRE_PERL_XBASE() \
  if (!HasPerlXBase()) GTEST_SKIP() << "Perl XBase is missing (Debian package libdbd-xbase-perl)"

std::string Hex(const std::string& bytes) {
  static const char digits[] = "0123456789abcdef";
  std::string hex;
  for (unsigned char c : bytes) {
    hex += digits[c >> 4];
    hex += digits[c & 15];
  }
  return hex;
}

std::string Unhex(const std::string& hex) {
  std::string bytes;
  for (size_t i = 0; i + 1 < hex.size(); i += 2) bytes += static_cast<char>(std::stoi(hex.substr(i, 2), nullptr, 16));
  return bytes;
}

void WriteHexLines(const std::string& path, const std::vector<std::string>& memos) {
  std::string lines;
  for (const std::string& memo : memos) lines += Hex(memo) + "\n";
  testing::WriteFileBytes(path, lines);
}

// "NAME HEX" lines into name -> bytes.
std::map<std::string, std::string> ParseDump(const std::string& dump) {
  std::map<std::string, std::string> memos;
  std::istringstream in(dump);
  std::string line;
  while (std::getline(in, line)) {
    size_t space = line.find(' ');
    if (space == std::string::npos) continue;
    memos[line.substr(0, space)] = Unhex(line.substr(space + 1));
  }
  return memos;
}

// The memos every exchange carries, in the code page given.
std::vector<std::string> MemoSet(const std::string& cyrillic) {
  return {"A",
          "",
          "  trailing and leading blanks  ",
          cyrillic,
          "line one\r\nline two\r\n" + cyrillic,
          Pattern(510, 1),
          Pattern(511, 2),
          Pattern(512, 3),
          Pattern(2000, 4),
          Pattern(20000, 5)};
}

// Reads every record's memo here and compares it with what was written.
void ExpectMemosReadHere(const std::string& tablePath, const std::vector<std::string>& memos) {
  VRO_dBaseDBF table(tablePath, false, false);
  ASSERT_EQ(table.RecordCount(), static_cast<int32_t>(memos.size()));
  auto memo = MakeMemoForTable(&table, table.Version(), table.FileName(), false, false);
  ASSERT_NE(memo, nullptr);
  for (int32_t n = 1; n <= table.RecordCount(); ++n) {
    table.GoRecord(n);
    std::string name = TextInRecord(table, 1);
    size_t index = static_cast<size_t>(std::stoi(name.substr(1)));
    ASSERT_LT(index, memos.size());
    EXPECT_EQ(ReadBack(*memo, BlockInRecord(table, 2)), memos[index]) << name;
  }
}

// Writes the memos here into a fresh table of the version; returns its path.
std::string WriteMemosHere(const TempDir& dir, uint8_t version, int codePage, const std::vector<std::string>& memos) {
  std::string path = memo_test::MakeMemoTable(dir, version, "ours.dbf", codePage);
  VRO_dBaseDBF table(path, true, false);
  auto memo = MakeMemoForTable(&table, version, table.FileName(), true, false);
  for (size_t i = 0; i < memos.size(); ++i) AppendWithMemo(table, *memo, "r" + std::to_string(i), memos[i]);
  // A rewrite in place and a rewrite that moves, as an editing session makes them.
  table.GoRecord(1);
  int32_t block = BlockInRecord(table, 2);
  ReadBack(*memo, block);
  memo->WriteMemo(memos[0].data(), block, static_cast<int32_t>(memos[0].size()));
  memo_test::PutBlockInRecord(table, 2, block);
  table.WriteRecord(1);
  table.GoRecord(9);
  block = BlockInRecord(table, 2);
  memo->WriteMemo(memos[8].data(), block, static_cast<int32_t>(memos[8].size()));  // not read first: moves
  memo_test::PutBlockInRecord(table, 2, block);
  table.WriteRecord(9);
  return path;
}

// How a peer reads differently from this engine.
struct PeerQuirks {
  // Takes the dBase IV length word as the text length, header excluded, and so
  // delivers eight bytes more than the memo holds.
  bool dbase4LengthWithoutHeader = false;
  // Finds a dBase III end mark only when both of its bytes lie in one block: a
  // memo of 511 bytes (mod 512) runs on into the following blocks.
  bool dbase3EndMarkInOneBlock = false;
};

void ExpectPeerReads(const std::string& dump, const std::vector<std::string>& memos, PeerQuirks quirks) {
  std::map<std::string, std::string> read = ParseDump(dump);
  ASSERT_EQ(read.size(), memos.size()) << dump.substr(0, 2000);
  for (size_t i = 0; i < memos.size(); ++i) {
    std::string name = "r" + std::to_string(i);
    std::string got = read[name];
    if (quirks.dbase4LengthWithoutHeader && !memos[i].empty()) {
      ASSERT_EQ(got.size(), memos[i].size() + 8) << name;
      got.resize(memos[i].size());
    }
    if (quirks.dbase3EndMarkInOneBlock && memos[i].size() % 512 == 511) {
      EXPECT_EQ(got.substr(0, memos[i].size() + 2), memos[i] + "\x1A\x1A") << name;
      continue;
    }
    EXPECT_EQ(got, memos[i]) << name;
  }
}

// ---- memos written by the peers, read here -------------------------------------

struct PythonKind {
  const char* kind;
  const char* codePage;
  uint8_t version;
};

class MemoFromPythonDbf : public ::testing::TestWithParam<PythonKind> {};

INSTANTIATE_TEST_SUITE_P(Kinds, MemoFromPythonDbf,
                         ::testing::Values(PythonKind{"db3", "cp866", 0x83}, PythonKind{"db3", "cp1251", 0x83},
                                           PythonKind{"fp", "cp866", 0xF5}, PythonKind{"fp", "cp1251", 0xF5},
                                           PythonKind{"vfp", "cp1251", 0x30}),
                         [](const auto& info) { return std::string(info.param.kind) + "_" + info.param.codePage; });

TEST_P(MemoFromPythonDbf, ReadsBackTheSameBytes) {
  REQUIRE_PYTHON("dbf");
  TempDir dir;
  const PythonKind kind = GetParam();
  std::vector<std::string> memos = MemoSet(std::string(kind.codePage) == "cp866" ? kCp866 : kCp1251);
  testing::WriteFileBytes(dir.File("w.py"), kPythonWriter);
  WriteHexLines(dir.File("memos.hex"), memos);
  std::string out;
  ASSERT_EQ(RunCommand(std::string(kPython) + " w.py " + kind.kind + " " + kind.codePage + " peer.dbf memos.hex 2>&1",
                       &out),
            0)
      << out;
  ASSERT_EQ(static_cast<uint8_t>(testing::ReadFileBytes(dir.File("peer.dbf"))[0]), kind.version);
  ExpectMemosReadHere(dir.File("peer.dbf"), memos);
}

// python3-dbf leaves header flag bit 1 of its Visual FoxPro tables clear although
// they have M fields and an .FPT: the field layer reads their memos all the same,
// and writes the flag back as it found it.
TEST(MemoFromPythonDbf, VisualFoxProMemosWithoutTheMemoFlag) {
  REQUIRE_PYTHON("dbf");
  TempDir dir;
  const std::vector<std::string> memos = {"first memo", kCp1251, Pattern(700, 9)};
  testing::WriteFileBytes(dir.File("w.py"), kPythonWriter);
  WriteHexLines(dir.File("memos.hex"), memos);
  std::string out;
  ASSERT_EQ(RunCommand(std::string(kPython) + " w.py vfp cp1251 peer.dbf memos.hex 2>&1", &out), 0) << out;
  const std::string path = dir.File("peer.dbf");
  ASSERT_EQ(testing::ReadFileBytes(path)[28] & 0x02, 0) << "the peer sets the flag now: nothing left to test";
  {
    VRO_dBaseFld table(path, true, false);
    EXPECT_TRUE(table.HasMemo());
    for (int32_t n = 1; n <= table.RecordCount(); ++n) {
      table.GoRecord(n);
      std::string text(static_cast<size_t>(std::max(table.MemoSize(2), 0)), '\0');
      int32_t size = static_cast<int32_t>(text.size());
      EXPECT_TRUE(table.MemoRead(2, text.data(), size));
      EXPECT_EQ(text, memos[static_cast<size_t>(n - 1)]) << n;
    }
    table.GoRecord(1);
    table.WriteRecord(1);  // rewrites the header
  }
  EXPECT_EQ(testing::ReadFileBytes(path)[28] & 0x02, 0);
}

TEST(MemoFromPerlXBase, Dbase4ReadsBackTheSameBytes) {
  REQUIRE_PERL_XBASE();
  TempDir dir;
  std::vector<std::string> memos = MemoSet(kCp866);
  testing::WriteFileBytes(dir.File("w.pl"), kPerlWriter);
  WriteHexLines(dir.File("memos.hex"), memos);
  std::string out;
  ASSERT_EQ(RunCommand("perl w.pl peer.dbf 4 memos.hex 2>&1", &out), 0) << out;
  // This writer marks its dBase IV tables 0x84; the memo file is of the dBase IV
  // kind, which 0x8B names.
  memo_test::Patch(dir.File("peer.dbf"), 0, "\x8B");
  ExpectMemosReadHere(dir.File("peer.dbf"), memos);
  VRobjMemo4 memo(nullptr, 0x8B, dir.File("peer.dbf"), false, false);
  EXPECT_EQ(memo.BlockSize(), 512);
}

TEST(MemoFromPerlXBase, Dbase3ReadsBackTheSameBytes) {
  REQUIRE_PERL_XBASE();
  TempDir dir;
  std::vector<std::string> memos = MemoSet(kCp1251);
  testing::WriteFileBytes(dir.File("w.pl"), kPerlWriter);
  WriteHexLines(dir.File("memos.hex"), memos);
  std::string out;
  ASSERT_EQ(RunCommand("perl w.pl peer.dbf 3 memos.hex 2>&1", &out), 0) << out;
  ASSERT_EQ(static_cast<uint8_t>(testing::ReadFileBytes(dir.File("peer.dbf"))[0]), 0x83);
  ExpectMemosReadHere(dir.File("peer.dbf"), memos);
}

TEST(MemoFromPeers, WritingHereIntoAPeersFileKeepsItsMemos) {
  REQUIRE_PYTHON("dbf");
  TempDir dir;
  std::vector<std::string> memos = MemoSet(kCp866);
  testing::WriteFileBytes(dir.File("w.py"), kPythonWriter);
  WriteHexLines(dir.File("memos.hex"), memos);
  std::string out;
  ASSERT_EQ(RunCommand(std::string(kPython) + " w.py db3 cp866 peer.dbf memos.hex 2>&1", &out), 0) << out;
  {
    // Its last memo is not padded to a whole block: an append must not cut it.
    VRO_dBaseDBF table(dir.File("peer.dbf"), true, false);
    auto memo = MakeMemoForTable(&table, table.Version(), table.FileName(), true, false);
    AppendWithMemo(table, *memo, "r" + std::to_string(memos.size()), "appended here");
  }
  memos.push_back("appended here");
  ExpectMemosReadHere(dir.File("peer.dbf"), memos);
}

// ---- memos written here, read by the peers -------------------------------------

struct OurKind {
  uint8_t version;
  int codePage;
};

class MemoToPeers : public ::testing::TestWithParam<OurKind> {};

INSTANTIATE_TEST_SUITE_P(Versions, MemoToPeers,
                         ::testing::Values(OurKind{0x83, 866}, OurKind{0x8B, 866}, OurKind{0xF5, 1251},
                                           OurKind{0x30, 1251}),
                         [](const auto& info) {
                           char name[16];
                           std::snprintf(name, sizeof name, "V%02X_%d", info.param.version, info.param.codePage);
                           return std::string(name);
                         });

TEST_P(MemoToPeers, Dbfread) {
  REQUIRE_PYTHON("dbfread");
  TempDir dir;
  std::vector<std::string> memos = MemoSet(GetParam().codePage == 866 ? kCp866 : kCp1251);
  std::string path = WriteMemosHere(dir, GetParam().version, GetParam().codePage, memos);
  testing::WriteFileBytes(dir.File("r.py"), kPythonReader);
  std::string out;
  ASSERT_EQ(RunCommand(std::string(kPython) + " r.py " + path + " 2>&1", &out), 0) << out;
  PeerQuirks quirks;
  quirks.dbase4LengthWithoutHeader = GetParam().version == 0x8B;
  ExpectPeerReads(out, memos, quirks);
}

TEST_P(MemoToPeers, PerlXBase) {
  REQUIRE_PERL_XBASE();
  TempDir dir;
  std::vector<std::string> memos = MemoSet(GetParam().codePage == 866 ? kCp866 : kCp1251);
  std::string path = WriteMemosHere(dir, GetParam().version, GetParam().codePage, memos);
  testing::WriteFileBytes(dir.File("r.pl"), kPerlReader);
  std::string out;
  ASSERT_EQ(RunCommand("perl r.pl " + path + " 2>&1", &out), 0) << out;
  PeerQuirks quirks;
  quirks.dbase3EndMarkInOneBlock = GetParam().version == 0x83;
  ExpectPeerReads(out, memos, quirks);
}

}  // namespace
}  // namespace velorin
