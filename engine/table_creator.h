// table_creator.h — making new, empty tables (the table classes only open them).
//
// It lives beside the formats it writes (dbf_format.h, memo_format.h) so that
// what it writes and what the engine reads are laid out in one place; velorin-dbf
// and the tests make their tables with it.
//
// CreateTable writes a valid empty DBF file of one of the five versions the
// engine reads: the header with today's date, the field descriptors, the 0x0D
// terminator, the 263-byte back link of Visual FoxPro tables and the end-of-file
// byte 0x1A. For the versions with a memo file it writes an empty memo file of
// the matching kind beside it with a standard header: dBase III .DBT, dBase IV
// .DBT with 512-byte blocks, FoxPro .FPT with 64-byte blocks.
#pragma once

#include <cstdint>
#include <stdexcept>
#include <string>
#include <vector>

namespace velorin {

// A table layout that cannot be made; nothing has been written.
class TableSpecError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

struct FieldSpec {
  std::string name;  // 1 to 10 ASCII letters, digits and "_", starting with a letter
  char type = 'C';
  int length = 0;    // 0: the type's fixed length
  int decimals = 0;
};

struct TableSpec {
  uint8_t version = 0x03;  // 0x03, 0x83, 0x8B, 0xF5 or 0x30
  std::vector<FieldSpec> fields;
  int codePage = 0;  // 866, 1251 or 0 (no language driver)
};

// Parses "NAME:TYPE:LENGTH[:DECIMALS]"; LENGTH may be left out for types of one
// fixed length (D, L, M, G, B, I, T, Y).
FieldSpec ParseFieldSpec(const std::string& text);

// Parses "03", "83", "8B", "F5" or "30" (hexadecimal, any case, "0x" allowed).
uint8_t ParseVersion(const std::string& text);

// The language-driver byte of a code page: 866 -> 0x65, 1251 -> 0xC9, 0 -> 0.
uint8_t LanguageDriverFor(int codePage);

// Checks the layout (TableSpecError) and fills in fixed lengths.
TableSpec NormalizeSpec(const TableSpec& tableLayout);

// Writes the table and, for memo versions, its memo file. An existing file is
// replaced. On failure nothing is left behind.
void CreateTable(const std::string& path, const TableSpec& tableLayout);

// The memo file that goes with a table of this version ("" when none): the
// table's path with the extension replaced in the letter case of the table's.
std::string MemoFileFor(const std::string& tablePath, uint8_t version, bool hasMemoFields);

}  // namespace velorin
