#include "engine/vr6_glbl.h"

#include <algorithm>
#include <bit>
#include <cstdint>
#include <cmath>
#include <cstring>
#include <limits>

#include "engine/text_trim.h"
#include "engine/vr6_Date.h"
#include "platform/code_page.h"
#include "platform/file_names.h"
#include "platform/number_text.h"

namespace velorin {

namespace {

// Little-endian reads of the first count bytes of a value; bytes the value does
// not have count as zero.
uint64_t ReadLittleEndian(std::string_view bytes, size_t count) {
  uint64_t value = 0;
  size_t available = std::min(bytes.size(), count);
  for (size_t i = 0; i < available; ++i) {
    value |= static_cast<uint64_t>(static_cast<unsigned char>(bytes[i])) << (8 * i);
  }
  return value;
}

void WriteLittleEndian(uint64_t value, unsigned char* out, size_t count) {
  for (size_t i = 0; i < count; ++i) out[i] = static_cast<unsigned char>(value >> (8 * i));
}

double ReadDouble(std::string_view bytes) {
  return std::bit_cast<double>(ReadLittleEndian(bytes, TvrVariant::kNumericSize));
}

int32_t ReadDayNumber(std::string_view bytes) {
  return static_cast<int32_t>(static_cast<uint32_t>(ReadLittleEndian(bytes, TvrVariant::kDateSize)));
}

unsigned char FirstByte(std::string_view bytes) {
  return bytes.empty() ? 0 : static_cast<unsigned char>(bytes[0]);
}

template <class T>
int Sign(T difference) {
  return difference < 0 ? -1 : (difference > 0 ? 1 : 0);
}

// NaN sorts below every number and equal to itself, so that sorting by numeric keys
// always has a consistent order.
int CompareDoubles(double a, double b) {
  bool aNan = std::isnan(a), bNan = std::isnan(b);
  if (aNan || bNan) return aNan == bNan ? 0 : (aNan ? -1 : 1);
  return a < b ? -1 : (a > b ? 1 : 0);
}

[[noreturn]] void RaiseTooLarge() { RaiseEngineMessage("Variant value too large"); }

const char kEmptyText[1] = {'\0'};

}  // namespace

// ---------------------------------------------------------------------------
// TvrVariant

TvrVariant::TvrVariant(uint16_t initialCapacity) {
  if (initialCapacity > 0) {
    data_ = std::make_unique<char[]>(initialCapacity);
    capacity_ = initialCapacity;
  }
}

TvrVariant::TvrVariant(const TvrVariant& other) { Assign(&other); }

TvrVariant& TvrVariant::operator=(const TvrVariant& other) {
  Assign(&other);
  return *this;
}

TvrVariant::TvrVariant(TvrVariant&& other) noexcept
    : data_(std::move(other.data_)), capacity_(other.capacity_), length_(other.length_), kind_(other.kind_) {
  other.capacity_ = 0;
  other.length_ = 0;
  other.kind_ = TvrVariantKind::kNone;
}

TvrVariant& TvrVariant::operator=(TvrVariant&& other) noexcept {
  if (this != &other) {
    data_ = std::move(other.data_);
    capacity_ = std::exchange(other.capacity_, 0);
    length_ = std::exchange(other.length_, 0);
    kind_ = std::exchange(other.kind_, TvrVariantKind::kNone);
  }
  return *this;
}

void TvrVariant::Clear() {
  data_.reset();
  capacity_ = 0;
  length_ = 0;
  kind_ = TvrVariantKind::kNone;
}

bool TvrVariant::Assign(const TvrVariant* source) {
  if (source == this) return true;
  Clear();
  if (source == nullptr) return false;
  if (source->data_ != nullptr && source->capacity_ > 0) {
    data_ = std::make_unique<char[]>(source->capacity_);
    std::memcpy(data_.get(), source->data_.get(), source->capacity_);
    capacity_ = source->capacity_;
    length_ = source->length_;
  }
  kind_ = source->kind_;
  return true;
}

void TvrVariant::Reserve(int32_t n) {
  if (n < 0) n = 0;
  if (n > capacity_) {
    auto bigger = std::make_unique<char[]>(n);  // zero-filled
    if (data_ != nullptr) std::memcpy(bigger.get(), data_.get(), capacity_);
    data_ = std::move(bigger);
    capacity_ = n;
  }
  length_ = n;
}

void TvrVariant::SetFixed(const unsigned char* bytes, int32_t n, TvrVariantKind kind) {
  Reserve(n);
  std::memcpy(data_.get(), bytes, n);
  kind_ = kind;
}

bool TvrVariant::InsideBuffer(const void* p) const {
  if (data_ == nullptr || p == nullptr) return false;
  auto address = reinterpret_cast<std::uintptr_t>(p);
  auto first = reinterpret_cast<std::uintptr_t>(data_.get());
  return address >= first && address < first + static_cast<std::uintptr_t>(capacity_);
}

void TvrVariant::CopyIn(int32_t offset, const void* p, int32_t n) {
  if (n <= 0) {
    Reserve(offset);
    return;
  }
  // Bytes from this value's own buffer are saved before Reserve can move it.
  std::string saved;
  if (InsideBuffer(p)) {
    saved.assign(static_cast<const char*>(p), static_cast<size_t>(n));
    p = saved.data();
  }
  Reserve(offset + n);
  std::memmove(data_.get() + offset, p, static_cast<size_t>(n));
}

void TvrVariant::SetText(std::string_view text) {
  if (text.size() > static_cast<size_t>(std::numeric_limits<int32_t>::max())) RaiseTooLarge();
  CopyIn(0, text.data(), static_cast<int32_t>(text.size()));
  kind_ = TvrVariantKind::kText;
}

void TvrVariant::SetText(const char* text) { SetText(text == nullptr ? std::string_view() : std::string_view(text)); }

void TvrVariant::SetFloat(double x) {
  unsigned char bytes[kNumericSize];
  WriteLittleEndian(std::bit_cast<uint64_t>(x), bytes, kNumericSize);
  SetFixed(bytes, kNumericSize, TvrVariantKind::kNumeric);
}

void TvrVariant::SetDate(int32_t dayNumber) {
  unsigned char bytes[kDateSize];
  WriteLittleEndian(static_cast<uint32_t>(dayNumber), bytes, kDateSize);
  SetFixed(bytes, kDateSize, TvrVariantKind::kDate);
}

void TvrVariant::SetLogical(bool b) {
  unsigned char byte = b ? 1 : 0;
  SetFixed(&byte, kLogicalSize, TvrVariantKind::kLogical);
}

void TvrVariant::SetBytes(const void* p, int32_t n) {
  if (p == nullptr || n < 0) n = 0;
  CopyIn(0, p, n);
  kind_ = TvrVariantKind::kRaw;
}

void TvrVariant::AppendBytes(const void* p, int32_t n) {
  if (p == nullptr || n <= 0) return;
  if (length_ > std::numeric_limits<int32_t>::max() - n) RaiseTooLarge();
  CopyIn(length_, p, n);
  kind_ = TvrVariantKind::kRaw;
}

bool TvrVariant::AsBoolean() const {
  if (IsEmpty()) return false;
  std::string_view bytes = Bytes();
  switch (kind_) {
    case TvrVariantKind::kText:
      return kLogicalTrueLetters.find(bytes[0]) != std::string_view::npos;
    case TvrVariantKind::kNumeric: {
      double x = ReadDouble(bytes);
      return !std::isnan(x) && std::trunc(x) != 0.0;
    }
    case TvrVariantKind::kLogical:
    case TvrVariantKind::kRaw:
      return FirstByte(bytes) != 0;
    case TvrVariantKind::kDate:
    case TvrVariantKind::kNone:
      return false;
  }
  return false;
}

int32_t TvrVariant::AsDate() const {
  if (IsEmpty()) return 0;
  std::string_view bytes = Bytes();
  switch (kind_) {
    case TvrVariantKind::kText:
      return DBFDate().TextToDayNumber(bytes);
    case TvrVariantKind::kNumeric:
      return DayNumberFromDouble(ReadDouble(bytes));
    case TvrVariantKind::kDate:
    case TvrVariantKind::kRaw:
      return ReadDayNumber(bytes);
    case TvrVariantKind::kLogical:
    case TvrVariantKind::kNone:
      return 0;
  }
  return 0;
}

double TvrVariant::AsFloat() const {
  if (IsEmpty()) return 0.0;
  std::string_view bytes = Bytes();
  switch (kind_) {
    case TvrVariantKind::kText:
      return platform::TextToFloat(bytes);
    case TvrVariantKind::kNumeric:
    case TvrVariantKind::kRaw:
      return ReadDouble(bytes);
    case TvrVariantKind::kDate:
      return ReadDayNumber(bytes);
    case TvrVariantKind::kLogical:
      return FirstByte(bytes) != 0 ? 1.0 : 0.0;
    case TvrVariantKind::kNone:
      return 0.0;
  }
  return 0.0;
}

std::string TvrVariant::AsString() const {
  if (IsEmpty()) return std::string();
  std::string_view bytes = Bytes();
  switch (kind_) {
    case TvrVariantKind::kText:
    case TvrVariantKind::kRaw:
      return std::string(bytes);
    case TvrVariantKind::kNumeric:
      return platform::FloatToText(ReadDouble(bytes));
    case TvrVariantKind::kDate:
      return DBFDate().DayNumberToDisplay(ReadDayNumber(bytes));
    case TvrVariantKind::kLogical:
      return FirstByte(bytes) != 0 ? "T" : "F";
    case TvrVariantKind::kNone:
      return std::string();
  }
  return std::string();
}

const char* TvrVariant::AsCText(char* buffer, size_t bufferSize) const {
  if (IsEmpty() || buffer == nullptr || bufferSize == 0) return kEmptyText;
  std::string text = AsString();
  size_t n = std::min(text.size(), bufferSize - 1);
  std::memcpy(buffer, text.data(), n);
  buffer[n] = '\0';
  return buffer;
}

void* TvrVariant::CopyBytes(void* dest, int32_t max) const {
  if (IsEmpty() || dest == nullptr || max <= 0) return nullptr;
  std::memcpy(dest, data_.get(), static_cast<size_t>(std::min(max, length_)));
  return dest;
}

void TvrVariant::UpperText() {
  if (kind_ != TvrVariantKind::kText || IsEmpty()) return;
  platform::UpperBuffer(data_.get(), static_cast<size_t>(length_));
}

void TvrVariant::PadText(int32_t n) {
  if (kind_ != TvrVariantKind::kText || n <= length_) return;
  int32_t old = length_;
  Reserve(n);
  std::memset(data_.get() + old, ' ', static_cast<size_t>(n - old));
}

void TvrVariant::TrimText() {
  if (kind_ != TvrVariantKind::kText) return;
  while (length_ > 0 && data_[length_ - 1] == ' ') --length_;
}

int TvrVariant::Compare(const TvrVariant* other, int32_t* position, int prefixResult) const {
  if (other == nullptr) {
    if (position != nullptr) *position = 0;
    return 1;
  }
  return CompareBytes(kind_, Bytes(), other->kind_, other->Bytes(), position, prefixResult);
}

int TvrVariant::CompareBytes(TvrVariantKind kindA, std::string_view a, TvrVariantKind kindB, std::string_view b,
                             int32_t* position, int prefixResult) {
  auto setPosition = [position](int32_t value) {
    if (position != nullptr) *position = value;
  };
  TvrVariantKind kind;
  if (kindA == kindB) {
    kind = kindA;
  } else if (kindA == TvrVariantKind::kRaw) {
    kind = kindB;
  } else if (kindB == TvrVariantKind::kRaw) {
    kind = kindA;
  } else {
    RaiseEngineMessage("Variant types mismatch for compare");
  }
  if (kind == TvrVariantKind::kNone) RaiseEngineMessage("Variant types mismatch for compare");
  setPosition(0);
  if (a.empty() || b.empty()) return a.empty() == b.empty() ? 0 : (a.empty() ? -1 : 1);
  switch (kind) {
    case TvrVariantKind::kText:
    case TvrVariantKind::kRaw: {
      size_t shorter = std::min(a.size(), b.size());
      // memcmp compares as unsigned bytes; the position is looked for only when asked.
      int differs = std::memcmp(a.data(), b.data(), shorter);
      if (differs != 0) {
        if (position != nullptr) {
          size_t i = 0;
          while (a[i] == b[i]) ++i;
          setPosition(static_cast<int32_t>(i + 1));
        }
        return differs < 0 ? -1 : 1;
      }
      setPosition(static_cast<int32_t>(shorter + 1));
      if (kind == TvrVariantKind::kText && a.size() < b.size()) return Sign(prefixResult);
      return Sign(static_cast<int64_t>(a.size()) - static_cast<int64_t>(b.size()));
    }
    case TvrVariantKind::kNumeric:
      return CompareDoubles(ReadDouble(a), ReadDouble(b));
    case TvrVariantKind::kDate:
      return Sign(static_cast<int64_t>(ReadDayNumber(a)) - ReadDayNumber(b));
    case TvrVariantKind::kLogical: {
      bool x = FirstByte(a) != 0;
      bool y = FirstByte(b) != 0;
      return x == y ? 0 : (x ? 1 : -1);
    }
    case TvrVariantKind::kNone:
      break;
  }
  return 0;
}

// ---------------------------------------------------------------------------
// TvrHugeSet

void TvrHugeSet::Clear() {
  for (auto& page : pages_) std::memset(page.get(), 0, kPageBytes);
  highest_ = -1;
}

void TvrHugeSet::Modify(int32_t n, int32_t op) {
  if (n < 0 || op < kClearBit || op > kToggleBit) return;
  size_t page = static_cast<size_t>(n / kBitsPerPage);
  while (pages_.size() <= page) pages_.push_back(std::make_unique<uint8_t[]>(kPageBytes));
  uint8_t& byte = pages_[page][(n / 8) % kPageBytes];
  auto mask = static_cast<uint8_t>(1u << (n % 8));
  switch (op) {
    case kClearBit: byte = static_cast<uint8_t>(byte & ~mask); break;
    case kSetBit: byte = static_cast<uint8_t>(byte | mask); break;
    case kToggleBit: byte = static_cast<uint8_t>(byte ^ mask); break;
    default: break;
  }
  if (n > highest_) highest_ = n;
}

bool TvrHugeSet::Test(int32_t n) const {
  if (n < 0 || n > highest_) return false;
  size_t page = static_cast<size_t>(n / kBitsPerPage);
  if (page >= pages_.size()) return false;
  return (pages_[page][(n / 8) % kPageBytes] & (1u << (n % 8))) != 0;
}

// ---------------------------------------------------------------------------
// Checked truncation

std::optional<int32_t> TruncToInt32(double value) {
  if (!std::isfinite(value)) return std::nullopt;
  double whole = std::trunc(value);
  if (whole < -2147483648.0 || whole > 2147483647.0) return std::nullopt;
  return static_cast<int32_t>(whole);
}

std::optional<int64_t> TruncToInt64(double value) {
  if (!std::isfinite(value)) return std::nullopt;
  double whole = std::trunc(value);
  // -2^63 is a double; 2^63 is the first double that does not fit.
  if (whole < -9223372036854775808.0 || whole >= 9223372036854775808.0) return std::nullopt;
  return static_cast<int64_t>(whole);
}

int32_t StoreTruncInt32(double value, std::string_view text, int32_t subCode) {
  if (auto whole = TruncToInt32(value)) return *whole;
  EngineErrorProc(error_code::kNumberTooLarge, subCode, text);
  return 0;
}

int64_t StoreTruncInt64(double value, std::string_view text, int32_t subCode) {
  if (auto whole = TruncToInt64(value)) return *whole;
  EngineErrorProc(error_code::kNumberTooLarge, subCode, text);
  return 0;
}

// ---------------------------------------------------------------------------
// Text and file-name routines

namespace {

size_t FileNameStart(std::string_view path) {
  size_t slash = path.rfind('/');
  return slash == std::string_view::npos ? 0 : slash + 1;
}

unsigned char FoldAscii(unsigned char c) { return (c >= 'a' && c <= 'z') ? static_cast<unsigned char>(c - 0x20) : c; }

int CompareBytes(std::string_view a, std::string_view b, bool fold) {
  size_t shorter = std::min(a.size(), b.size());
  for (size_t i = 0; i < shorter; ++i) {
    auto x = static_cast<unsigned char>(a[i]);
    auto y = static_cast<unsigned char>(b[i]);
    if (fold) {
      x = FoldAscii(x);
      y = FoldAscii(y);
    }
    if (x != y) return x < y ? -1 : 1;
  }
  return a.size() == b.size() ? 0 : (a.size() < b.size() ? -1 : 1);
}

std::string_view ZeroTerminated(const char* text) { return text == nullptr ? std::string_view() : std::string_view(text); }

}  // namespace

std::string DefaultExtension(std::string_view name, std::string_view ext) {
  std::string result(name);
  if (name.find('.', FileNameStart(name)) != std::string_view::npos) return result;
  if (!ext.empty() && ext.front() != '.') result.push_back('.');
  result.append(ext);
  return result;
}

std::string NameWithoutExtension(std::string_view path) {
  std::string_view name = path.substr(FileNameStart(path));
  size_t dot = name.rfind('.');
  return std::string(dot == std::string_view::npos ? name : name.substr(0, dot));
}

void PadBuffer(char* buffer, size_t bufferSize, char ch, size_t n) {
  if (buffer == nullptr || bufferSize == 0) return;
  size_t limit = std::min(n, bufferSize - 1);
  const void* zero = std::memchr(buffer, '\0', bufferSize);
  size_t length = bufferSize - 1;  // no terminator within the buffer: one is made
  if (zero != nullptr) length = static_cast<size_t>(static_cast<const char*>(zero) - buffer);
  while (length < limit) buffer[length++] = ch;
  buffer[length] = '\0';
}

void PadBuffer(std::string& text, char ch, size_t n) {
  if (text.size() < n) text.append(n - text.size(), ch);
}

void TrimBuffer(char* buffer) {
  if (buffer == nullptr) return;
  size_t length = std::strlen(buffer);
  while (length > 0 && buffer[length - 1] == ' ') --length;
  buffer[length] = '\0';
}

void TrimBuffer(std::string& text) { text = TrimTrailingBlanks(text); }

void UpperBuffer(char* buffer, size_t n) {
  if (buffer != nullptr) platform::UpperBuffer(buffer, n);
}

int CompareText(std::string_view a, std::string_view b) { return CompareBytes(a, b, false); }

int CompareText(const char* a, const char* b) { return CompareBytes(ZeroTerminated(a), ZeroTerminated(b), false); }

int CompareTextNoCase(std::string_view a, std::string_view b) { return CompareBytes(a, b, true); }

int CompareTextNoCase(const char* a, const char* b) {
  return CompareBytes(ZeroTerminated(a), ZeroTerminated(b), true);
}

std::string FullFileName(const std::string& name) { return platform::FullPathName(name); }

}  // namespace velorin
