// mdx_number.h — numeric keys of MDX files: the 12-byte packed decimal written
// in nodes and the 12-byte sortable form compared in memory.
//
// Packed decimal (in a node), for a value 0.d1d2d3… × 10^e:
//   byte 0      e + 52 (0x34)                      zero: 0x34
//   byte 1      8 × (digit bytes up to the last non-zero one) + 1, plus 0x80
//               for a negative value                zero: 0x01
//   bytes 2-11  the significant digits, two per byte, the first in the high
//               half, zero after the last
// The digits are those of the value at 15 significant digits. 1 is 35 09 10 00…,
// -1 is 35 89 10 00…, 0 is 34 01 00….
//
// Sortable form (in memory): byte 0 is 1 for a negative value and 2 otherwise,
// byte 1 the exponent byte, bytes 2-11 the digit bytes; for a negative value
// bytes 1 to 11 are inverted. Zero has the exponent byte 0 here (not 0x34), so
// that it sorts below every positive value, 0.05 (exponent byte 0x33) included.
// Compared as unsigned bytes the sortable forms are in numeric order.
#pragma once

#include <cstddef>
#include <cstdint>

namespace velorin::mdx_number {

constexpr size_t kSize = 12;
constexpr uint8_t kExponentBias = 0x34;
constexpr uint8_t kNegative = 0x80;
constexpr uint8_t kClassNegative = 1;
constexpr uint8_t kClassPositive = 2;
constexpr int kMaxDigits = 15;

// The sortable form of value; false when the value has no packed form (NaN, an
// infinity, or a decimal exponent beyond -51 .. 203, as 1E-60 or 1E250).
bool SortableFromValue(double value, uint8_t* sortable);
// The packed form of a sortable one.
void PackedFromSortable(const uint8_t* sortable, uint8_t* packed);
// The sortable form of a packed one as read from a node (digits after the
// counted ones are ignored; no digits at all is zero).
void SortableFromPacked(const uint8_t* packed, uint8_t* sortable);
// The value a sortable form stands for.
double ValueOfSortable(const uint8_t* sortable);

}  // namespace velorin::mdx_number
