#include "engine/table_creator.h"

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <fstream>
#include <set>

#include "engine/byte_order.h"
#include "engine/dbf_format.h"
#include "engine/field_kind.h"
#include "engine/memo_format.h"
#include "platform/clock.h"

namespace velorin {

namespace {

// The block size of the FoxPro memo files made here (dBase IV ones take the default).
constexpr uint32_t kFptBlockSize = 64;

bool IsMemoVersion(uint8_t version) {
  return version == dbf_version::kDbase3Memo || version == dbf_version::kDbase4Memo ||
         version == dbf_version::kFoxProMemo || version == dbf_version::kVisualFoxPro;
}

// The types each version knows, and their fixed lengths (0: the length is free).
struct TypeRule {
  char type;
  int fixedLength;
  int maxLength;
};

std::vector<TypeRule> TypesFor(uint8_t version) {
  std::vector<TypeRule> rules = {{'C', 0, 65535}, {'N', 0, 20}, {'F', 0, 20}, {'D', 8, 8}, {'L', 1, 1}};
  switch (version) {
    case dbf_version::kDbase3Memo: rules.push_back({'M', 10, 10}); break;
    case dbf_version::kDbase4Memo:
    case dbf_version::kFoxProMemo:
      rules.push_back({'M', 10, 10});
      rules.push_back({'G', 10, 10});
      rules.push_back({'B', 10, 10});
      break;
    case dbf_version::kVisualFoxPro:
      rules.push_back({'M', 4, 4});
      rules.push_back({'G', 4, 4});
      rules.push_back({'B', 8, 8});
      rules.push_back({'I', 4, 4});
      rules.push_back({'T', 8, 8});
      rules.push_back({'Y', 8, 8});
      break;
    default: break;
  }
  return rules;
}

std::string Upper(std::string text) {
  for (char& c : text) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  return text;
}

int ParseNumber(const std::string& text, const std::string& what, const std::string& field) {
  if (text.empty() || text.size() > 5 || !std::all_of(text.begin(), text.end(), ::isdigit)) {
    throw TableSpecError("field " + field + ": " + what + " \"" + text + "\" is not a number");
  }
  return std::stoi(text);
}

bool HasMemoField(const TableSpec& tableLayout) {
  return std::any_of(tableLayout.fields.begin(), tableLayout.fields.end(),
                     [&](const FieldSpec& f) { return IsMemoFieldType(f.type, tableLayout.version); });
}

void WriteWhole(const std::string& path, const std::vector<uint8_t>& bytes) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
  out.close();
  if (!out) throw std::runtime_error("cannot write " + path);
}

std::vector<uint8_t> MemoHeader(uint8_t version, const std::string& tablePath) {
  std::vector<uint8_t> header;
  if (version == dbf_version::kDbase3Memo) {
    header.assign(static_cast<size_t>(dbt3_header::kBlockSize), 0);
    byte_order::PutLE32(header.data() + dbt3_header::kNextFree, 1);
    header[dbt3_header::kWriterVersion] = dbt3_header::kWriterVersionValue;
  } else if (version == dbf_version::kDbase4Memo) {
    header.assign(static_cast<size_t>(dbt4_header::kDefaultBlockSize), 0);
    byte_order::PutLE32(header.data() + dbt4_header::kFreeChainHead, 1);  // no free run: the end of the file
    std::string base = tablePath.substr(tablePath.find_last_of('/') + 1);
    base = Upper(base.substr(0, base.find('.')));
    std::copy_n(base.begin(), std::min(base.size(), dbt4_header::kTableNameLength),
                header.begin() + dbt4_header::kTableName);
    byte_order::PutLE16(header.data() + dbt4_header::kBlockSize, static_cast<uint16_t>(dbt4_header::kDefaultBlockSize));
  } else {
    header.assign(fpt_header::kSize, 0);
    byte_order::PutBE32(header.data() + fpt_header::kNextFree, fpt_header::kSize / kFptBlockSize);
    byte_order::PutBE16(header.data() + fpt_header::kBlockSize, static_cast<uint16_t>(kFptBlockSize));
  }
  return header;
}

}  // namespace

FieldSpec ParseFieldSpec(const std::string& text) {
  std::vector<std::string> parts;
  size_t start = 0;
  while (true) {
    size_t colon = text.find(':', start);
    parts.push_back(text.substr(start, colon == std::string::npos ? std::string::npos : colon - start));
    if (colon == std::string::npos) break;
    start = colon + 1;
  }
  if (parts.size() < 2 || parts.size() > 4) {
    throw TableSpecError("field \"" + text + "\": expected NAME:TYPE:LENGTH[:DECIMALS]");
  }
  FieldSpec field;
  field.name = parts[0];
  if (parts[1].size() != 1) throw TableSpecError("field " + parts[0] + ": type \"" + parts[1] + "\" is not one letter");
  field.type = static_cast<char>(std::toupper(static_cast<unsigned char>(parts[1][0])));
  if (parts.size() >= 3) field.length = ParseNumber(parts[2], "length", parts[0]);
  if (parts.size() == 4) field.decimals = ParseNumber(parts[3], "decimals", parts[0]);
  return field;
}

uint8_t ParseVersion(const std::string& text) {
  std::string hex = Upper(text);
  if (hex.rfind("0X", 0) == 0) hex = hex.substr(2);
  for (uint8_t version : {dbf_version::kDbase3, dbf_version::kDbase3Memo, dbf_version::kDbase4Memo,
                          dbf_version::kFoxProMemo, dbf_version::kVisualFoxPro}) {
    char name[3];
    std::snprintf(name, sizeof name, "%02X", version);
    if (hex == name) return version;
  }
  throw TableSpecError("version \"" + text + "\" is not one of 03, 83, 8B, F5, 30");
}

uint8_t LanguageDriverFor(int codePage) {
  switch (codePage) {
    case 0: return dbf_language_driver::kNone;
    case 866: return dbf_language_driver::kRussianOem;
    case 1251: return dbf_language_driver::kRussianWindows;
    default: throw TableSpecError("code page " + std::to_string(codePage) + " is not 866 or 1251");
  }
}

TableSpec NormalizeSpec(const TableSpec& tableLayout) {
  TableSpec result = tableLayout;
  ParseVersion([&] {
    char hex[3];
    std::snprintf(hex, sizeof hex, "%02X", tableLayout.version);
    return std::string(hex);
  }());
  LanguageDriverFor(tableLayout.codePage);
  if (result.fields.empty()) throw TableSpecError("a table needs at least one field");
  if (result.fields.size() > 255) throw TableSpecError("a table holds at most 255 fields");
  std::vector<TypeRule> rules = TypesFor(tableLayout.version);
  std::set<std::string> names;
  long recordLength = 1;
  for (FieldSpec& field : result.fields) {
    const std::string& name = field.name;
    bool nameOk = !name.empty() && name.size() <= 10 && std::isalpha(static_cast<unsigned char>(name[0])) &&
                  std::all_of(name.begin(), name.end(), [](char c) {
                    return std::isalnum(static_cast<unsigned char>(c)) || c == '_';
                  });
    if (!nameOk) {
      throw TableSpecError("field name \"" + name + "\": 1 to 10 letters, digits or _, starting with a letter");
    }
    field.name = Upper(name);
    if (!names.insert(field.name).second) throw TableSpecError("field " + field.name + " is given twice");
    auto rule = std::find_if(rules.begin(), rules.end(), [&](const TypeRule& r) { return r.type == field.type; });
    if (rule == rules.end()) {
      char hex[3];
      std::snprintf(hex, sizeof hex, "%02X", tableLayout.version);
      throw TableSpecError("field " + field.name + ": type " + std::string(1, field.type) +
                           " is not known in version " + hex + " tables");
    }
    if (rule->fixedLength > 0) {
      if (field.length != 0 && field.length != rule->fixedLength) {
        throw TableSpecError("field " + field.name + ": type " + std::string(1, field.type) + " has length " +
                             std::to_string(rule->fixedLength));
      }
      field.length = rule->fixedLength;
      if (field.decimals != 0) throw TableSpecError("field " + field.name + ": this type has no decimals");
    } else {
      if (field.length < 1 || field.length > rule->maxLength) {
        throw TableSpecError("field " + field.name + ": length must be 1 to " + std::to_string(rule->maxLength));
      }
      if (field.type == 'C' && field.decimals != 0) {
        throw TableSpecError("field " + field.name + ": character fields have no decimals");
      }
      if ((field.type == 'N' || field.type == 'F') && field.decimals > 0 &&
          (field.decimals > 15 || field.decimals > field.length - 2)) {
        throw TableSpecError("field " + field.name + ": too many decimals for length " +
                             std::to_string(field.length));
      }
    }
    recordLength += field.length;
  }
  if (recordLength > 65535) throw TableSpecError("the record would be longer than 65535 bytes");
  return result;
}

std::string MemoFileFor(const std::string& tablePath, uint8_t version, bool hasMemoFields) {
  if (!IsMemoVersion(version)) return "";
  if (version == dbf_version::kVisualFoxPro && !hasMemoFields) return "";
  bool fox = version == dbf_version::kFoxProMemo || version == dbf_version::kVisualFoxPro;
  size_t slash = tablePath.find_last_of('/');
  size_t dot = tablePath.find_last_of('.');
  std::string stem = (dot == std::string::npos || (slash != std::string::npos && dot < slash))
                         ? tablePath
                         : tablePath.substr(0, dot);
  std::string oldExt = stem.size() < tablePath.size() ? tablePath.substr(stem.size() + 1) : "";
  bool lower = !oldExt.empty() && std::islower(static_cast<unsigned char>(oldExt[0]));
  std::string ext = fox ? "FPT" : "DBT";
  if (lower) {
    for (char& c : ext) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  }
  return stem + "." + ext;
}

void CreateTable(const std::string& path, const TableSpec& input) {
  TableSpec tableLayout = NormalizeSpec(input);
  bool vfp = tableLayout.version == dbf_version::kVisualFoxPro;
  bool memoFields = HasMemoField(tableLayout);
  size_t headerLength = dbf_header::kSize + tableLayout.fields.size() * dbf_descriptor::kSize + 1 +
                        (vfp ? dbf_layout::kVisualFoxProBackLink : 0);
  if (headerLength > 65535) throw TableSpecError("too many fields for the header");
  std::vector<uint8_t> file(headerLength + 1, 0);
  uint8_t* header = file.data();
  platform::LocalDateTime today = platform::LocalNow();
  header[dbf_header::kVersion] = tableLayout.version;
  header[dbf_header::kYear] = static_cast<uint8_t>(today.year % 100);
  header[dbf_header::kMonth] = static_cast<uint8_t>(today.month);
  header[dbf_header::kDay] = static_cast<uint8_t>(today.day);
  byte_order::PutLE16(header + dbf_header::kHeaderLength, static_cast<uint16_t>(headerLength));
  int displacement = 1;
  for (const FieldSpec& field : tableLayout.fields) displacement += field.length;
  byte_order::PutLE16(header + dbf_header::kRecordLength, static_cast<uint16_t>(displacement));
  if (vfp && memoFields) header[dbf_header::kFlags] = dbf_flags::kMemoFile;
  header[dbf_header::kLanguageDriver] = LanguageDriverFor(tableLayout.codePage);

  displacement = 1;
  uint8_t* descriptor = file.data() + dbf_header::kSize;
  for (const FieldSpec& field : tableLayout.fields) {
    std::copy(field.name.begin(), field.name.end(), descriptor + dbf_descriptor::kName);
    descriptor[dbf_descriptor::kType] = static_cast<uint8_t>(field.type);
    byte_order::PutLE32(descriptor + dbf_descriptor::kDisplacement, static_cast<uint32_t>(displacement));
    if (field.type == 'C') {
      descriptor[dbf_descriptor::kLength] = static_cast<uint8_t>(field.length & 0xFF);
      descriptor[dbf_descriptor::kDecimals] = static_cast<uint8_t>(field.length >> 8);
    } else {
      descriptor[dbf_descriptor::kLength] = static_cast<uint8_t>(field.length);
      descriptor[dbf_descriptor::kDecimals] = static_cast<uint8_t>(field.decimals);
    }
    displacement += field.length;
    descriptor += dbf_descriptor::kSize;
  }
  *descriptor = dbf_layout::kDescriptorTerminator;
  file[headerLength] = dbf_layout::kEndOfFile;

  std::string memoPath = MemoFileFor(path, tableLayout.version, memoFields);
  try {
    WriteWhole(path, file);
    if (!memoPath.empty()) WriteWhole(memoPath, MemoHeader(tableLayout.version, path));
  } catch (...) {
    std::remove(path.c_str());
    if (!memoPath.empty()) std::remove(memoPath.c_str());
    throw;
  }
}

}  // namespace velorin
