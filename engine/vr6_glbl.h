// vr6_glbl.h — the small values every engine unit passes around.
//
// TvrVariant is a typed byte buffer: field values, index keys, sort keys and
// expression results travel in it. Its bytes are the stored form of the value
// (a numeric is an 8-byte little-endian IEEE double, a date a 4-byte little-endian
// day number, a logical one byte), so keys built from it compare and store the
// same on every machine. TvrCollection is a list that owns its objects,
// TvrHugeSet a bit set over record numbers. Then the engine's text and file-name
// routines, and the checked double-to-integer truncations every unit uses instead
// of a bare cast (a cast of NaN or of an out-of-range double is undefined).
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "engine/field_kind.h"
#include "engine/vr6_eror.h"

namespace velorin {

// ---------------------------------------------------------------------------
// TvrVariant

enum class TvrVariantKind : uint8_t {
  kNone = 0,     // no value
  kText = 1,     // length bytes in the table's code page, no terminator
  kNumeric = 2,  // 8 bytes: IEEE double, little-endian
  kDate = 3,     // 4 bytes: signed day number, little-endian
  kLogical = 4,  // 1 byte: 0 false, anything else true
  kRaw = 5,      // uninterpreted bytes (binary keys, keys with record numbers appended)
};

class TvrVariant {
 public:
  static constexpr int32_t kNumericSize = 8;
  static constexpr int32_t kDateSize = 4;
  static constexpr int32_t kLogicalSize = 1;

  // A value of kind none; a capacity above 0 allocates that many zero bytes.
  explicit TvrVariant(uint16_t initialCapacity = 0);
  TvrVariant(const TvrVariant& other);
  TvrVariant& operator=(const TvrVariant& other);
  // The source is left cleared.
  TvrVariant(TvrVariant&& other) noexcept;
  TvrVariant& operator=(TvrVariant&& other) noexcept;
  ~TvrVariant() = default;

  // Frees the buffer: no data, capacity and length 0, kind none.
  void Clear();
  // Clears, then takes a copy of the source's whole buffer, capacity, length and
  // kind. False (and only cleared) without a source.
  bool Assign(const TvrVariant* source);
  // Makes the length n. Beyond the capacity a buffer of exactly n bytes replaces
  // the old one, keeping its bytes (the new ones are zero); a smaller n keeps buffer
  // and capacity. The kind stays. A negative n counts as 0.
  void Reserve(int32_t n);

  // Setters: reserve the length, copy the bytes, set the kind.
  void SetText(std::string_view text);
  void SetText(const char* text);  // zero-terminated; nullptr is the empty text
  void SetFloat(double x);
  void SetDate(int32_t dayNumber);
  void SetLogical(bool b);
  void SetBytes(const void* p, int32_t n);  // raw; n < 0 counts as 0
  // Grows the value by n bytes copied from p and makes it raw; nothing when p is
  // nullptr or n <= 0. p may point into this value's own buffer.
  void AppendBytes(const void* p, int32_t n);
  // Changes only the kind, for callers that fill Data() themselves after Reserve.
  void SetKind(TvrVariantKind kind) { kind_ = kind; }

  // Conversions (an empty value gives false, 0, 0.0 or the empty text whatever its
  // kind). Raw bytes read as a day number or a double take their first 4 or 8
  // bytes; bytes missing from a shorter value count as zero.
  //  text:    AsBoolean first byte in "TtYyJj"; AsDate DBFDate().TextToDayNumber;
  //           AsFloat platform::TextToFloat ("." only); both throw
  //           platform::EConvertError for a text they cannot read.
  //  numeric: AsBoolean whole part != 0 (NaN false); AsDate DayNumberFromDouble
  //           (0 for NaN, out of range, <= 0); AsString platform::FloatToText.
  //  date:    AsBoolean false; AsDate/AsFloat the day number; AsString
  //           DBFDate().DayNumberToDisplay.
  //  logical: AsDate 0; AsFloat 1.0 or 0.0; AsString "T" or "F".
  //  raw:     AsBoolean first byte != 0; AsString the bytes.
  bool AsBoolean() const;
  int32_t AsDate() const;
  double AsFloat() const;
  std::string AsString() const;
  // AsString into buffer with a terminating zero, cut to bufferSize - 1 bytes so
  // nothing is written past the buffer; returns buffer. An empty value, or a
  // bufferSize of 0, writes nothing and returns a shared empty text.
  const char* AsCText(char* buffer, size_t bufferSize) const;
  // Copies min(max, Length()) bytes to dest and returns dest; nullptr (nothing
  // copied) when the value is empty or max <= 0.
  void* CopyBytes(void* dest, int32_t max) const;

  // Text editing, for kind text only (other kinds are left alone).
  void UpperText();         // upper case in the active code page
  void PadText(int32_t n);  // lengthens to n with spaces; a shorter n changes nothing
  void TrimText();          // drops trailing spaces

  // Three-way comparison, -1, 0 or 1. The comparison kind is the common kind, or
  // the other's kind when one value is raw; any other pair, and kind none, raise
  // "Variant types mismatch for compare". Empty values sort first (two empties are
  // equal). Text and raw compare unsigned bytes; *position (when given) is the
  // 1-based index of the first difference, or the shorter length + 1; when text is a
  // proper prefix of the other text the result is prefixResult. Numerics compare as
  // doubles (NaN equal to NaN, below every number), dates as signed day numbers,
  // logicals as truth values (false < true). *position is 0 for all but text and
  // raw, and 0 without another value (result 1).
  int Compare(const TvrVariant* other, int32_t* position, int prefixResult) const;
  // The same comparison of two values given as their kinds and bytes (an empty
  // view is an empty value), for keys kept packed outside any TvrVariant.
  static int CompareBytes(TvrVariantKind kindA, std::string_view a, TvrVariantKind kindB, std::string_view b,
                          int32_t* position, int prefixResult);

  // A value is empty when it has no buffer or its length is 0.
  bool IsEmpty() const { return data_ == nullptr || length_ == 0; }
  TvrVariantKind Kind() const { return kind_; }
  int32_t Capacity() const { return capacity_; }
  int32_t Length() const { return length_; }
  // The buffer (nullptr while there is none); Length() bytes are meaningful,
  // Capacity() may be written.
  char* Data() { return data_.get(); }
  const char* Data() const { return data_.get(); }
  std::string_view Bytes() const { return data_ ? std::string_view(data_.get(), length_) : std::string_view(); }

 private:
  void SetFixed(const unsigned char* bytes, int32_t n, TvrVariantKind kind);
  bool InsideBuffer(const void* p) const;
  // Makes the length offset + n and copies n bytes from p to offset.
  void CopyIn(int32_t offset, const void* p, int32_t n);

  std::unique_ptr<char[]> data_;
  int32_t capacity_ = 0;
  int32_t length_ = 0;
  TvrVariantKind kind_ = TvrVariantKind::kNone;
};

// ---------------------------------------------------------------------------
// TvrCollection: a list that owns its objects.
//
// Removing an item (Delete, Remove) frees it, Clear frees every item and empties
// the list, and destruction clears. Freeing goes through the virtual FreeItem; by
// default it deletes the object when the collection owns its items (the
// constructor's choice) and does nothing for a list of references. A descendant
// that overrides FreeItem must call Clear() in its own destructor, because by the
// time ~TvrCollection runs the override no longer applies.
template <class T>
class TvrCollection {
 public:
  explicit TvrCollection(bool ownsItems = true) : ownsItems_(ownsItems) {}
  virtual ~TvrCollection() { Clear(); }
  TvrCollection(const TvrCollection&) = delete;
  TvrCollection& operator=(const TvrCollection&) = delete;

  int32_t Count() const { return static_cast<int32_t>(items_.size()); }
  bool OwnsItems() const { return ownsItems_; }
  // std::out_of_range for an index outside 0 .. Count() - 1.
  T* Items(int32_t index) const { return items_.at(CheckedIndex(index)); }
  T* operator[](int32_t index) const { return Items(index); }

  // Appends; the list takes the item (a null item is stored as null). Returns its index.
  int32_t Add(T* item) {
    try {
      items_.push_back(item);
    } catch (...) {
      FreeItem(item);  // the list was given the item: it does not leak
      throw;
    }
    return Count() - 1;
  }
  int32_t Add(std::unique_ptr<T> item) {
    items_.push_back(item.get());
    item.release();
    return Count() - 1;
  }
  // Inserts before index (index == Count() appends).
  void Insert(int32_t index, T* item) {
    if (index != Count()) CheckedIndex(index);
    items_.insert(items_.begin() + index, item);
  }
  // -1 when absent.
  int32_t IndexOf(const T* item) const {
    for (size_t i = 0; i < items_.size(); ++i) {
      if (items_[i] == item) return static_cast<int32_t>(i);
    }
    return -1;
  }
  // Removes the item at index and frees it.
  void Delete(int32_t index) {
    T* item = Detach(index);
    FreeItem(item);
  }
  // Removes the first occurrence of item and frees it; returns its former index, -1
  // (nothing freed) when absent.
  int32_t Remove(T* item) {
    int32_t index = IndexOf(item);
    if (index >= 0) Delete(index);
    return index;
  }
  // Removes the item at index without freeing it and hands it back.
  T* Detach(int32_t index) {
    T* item = items_.at(CheckedIndex(index));
    items_.erase(items_.begin() + index);
    return item;
  }
  // Frees every item and empties the list. The list is already empty while the
  // items are being freed.
  void Clear() {
    std::vector<T*> items;
    items.swap(items_);
    for (T* item : items) FreeItem(item);
  }

  auto begin() const { return items_.begin(); }
  auto end() const { return items_.end(); }

 protected:
  virtual void FreeItem(T* item) {
    if (ownsItems_ && item != nullptr) std::default_delete<T>()(item);
  }

 private:
  size_t CheckedIndex(int32_t index) const {
    if (index < 0 || index >= Count()) throw std::out_of_range("TvrCollection index out of bounds");
    return static_cast<size_t>(index);
  }

  bool ownsItems_;
  std::vector<T*> items_;
};

// ---------------------------------------------------------------------------
// TvrHugeSet: a bit set over record numbers.
//
// Bit n lies in page n / 131072, byte (n / 8) % 16384, under mask 1 << (n % 8)
// (least significant bit first). Pages are 16384 zero bytes when allocated and
// are only allocated by Modify. Negative bit numbers are outside the set: Test
// gives false and Modify does nothing.
class TvrHugeSet {
 public:
  static constexpr int32_t kPageBytes = 16384;
  static constexpr int32_t kBitsPerPage = kPageBytes * 8;  // 131072

  enum Operation : int32_t { kClearBit = 0, kSetBit = 1, kToggleBit = 2 };

  // Zeroes every page (they stay allocated); the highest bit becomes -1.
  void Clear();
  // Clears, sets or toggles bit n, allocating pages up to the one that holds it,
  // and raises the highest bit number touched to n. Any other op does nothing.
  void Modify(int32_t n, int32_t op);
  // False for n above the highest bit number touched (or negative); else the bit.
  bool Test(int32_t n) const;

  // The highest bit number touched by Modify since the last Clear; -1 when none.
  int32_t Highest() const { return highest_; }
  int32_t PageCount() const { return static_cast<int32_t>(pages_.size()); }
  // The kPageBytes bytes of page index; nullptr when it is not allocated.
  const uint8_t* PageData(int32_t index) const {
    return index >= 0 && index < PageCount() ? pages_[static_cast<size_t>(index)].get() : nullptr;
  }

 private:
  std::vector<std::unique_ptr<uint8_t[]>> pages_;
  int32_t highest_ = -1;
};

// ---------------------------------------------------------------------------
// Checked truncation toward zero of a double.

// The whole part as an integer; nullopt for NaN, infinity or a value out of range.
std::optional<int32_t> TruncToInt32(double value);
std::optional<int64_t> TruncToInt64(double value);

// For a field store: the whole part, or engine error 1011 "Number too large to fit
// in field" (with subCode and text) through EngineErrorProc when it does not fit;
// 0 if the error procedure returns.
int32_t StoreTruncInt32(double value, std::string_view text, int32_t subCode = sub_code::kPutNumber);
int64_t StoreTruncInt64(double value, std::string_view text, int32_t subCode = sub_code::kPutNumber);

// ---------------------------------------------------------------------------
// Text and file-name routines. Names are POSIX paths: "/" separates directories.

// name unchanged if its file-name part has an extension (a "."), else name + ext;
// ext may be given with or without its leading ".".
std::string DefaultExtension(std::string_view name, std::string_view ext);
// The file-name part of path without its extension: /data/INFO.DBF -> INFO.
std::string NameWithoutExtension(std::string_view path);
// Appends ch to the zero-terminated text in buffer until it is n long, never beyond
// bufferSize - 1 bytes plus the terminator. Nothing when bufferSize is 0.
void PadBuffer(char* buffer, size_t bufferSize, char ch, size_t n);
void PadBuffer(std::string& text, char ch, size_t n);
// Removes trailing spaces from a zero-terminated text (nullptr: nothing).
void TrimBuffer(char* buffer);
void TrimBuffer(std::string& text);
// Upper-cases n bytes in place with the active code page's mapping.
void UpperBuffer(char* buffer, size_t n);
// Byte-wise comparison of texts as unsigned bytes, -1, 0 or 1; the NoCase form
// folds a-z to upper case first. The const char* forms take zero-terminated texts
// (nullptr is the empty text).
int CompareText(std::string_view a, std::string_view b);
int CompareText(const char* a, const char* b);
int CompareTextNoCase(std::string_view a, std::string_view b);
int CompareTextNoCase(const char* a, const char* b);
// The full path of name against the current directory, its letter case resolved
// as platform::FullPathName does.
std::string FullFileName(const std::string& name);

}  // namespace velorin
