// byte_order.h — reading and writing little- and big-endian integers in byte
// buffers. Table, memo and index formats are read through these, never by casts.
#pragma once

#include <cstdint>
#include <cstring>

namespace velorin::byte_order {

inline uint16_t GetLE16(const void* p) {
  const auto* b = static_cast<const uint8_t*>(p);
  return static_cast<uint16_t>(b[0] | (b[1] << 8));
}

inline uint32_t GetLE32(const void* p) {
  const auto* b = static_cast<const uint8_t*>(p);
  return uint32_t{b[0]} | (uint32_t{b[1]} << 8) | (uint32_t{b[2]} << 16) | (uint32_t{b[3]} << 24);
}

inline uint64_t GetLE64(const void* p) {
  const auto* b = static_cast<const uint8_t*>(p);
  return uint64_t{GetLE32(b)} | (uint64_t{GetLE32(b + 4)} << 32);
}

inline void PutLE16(void* p, uint16_t v) {
  auto* b = static_cast<uint8_t*>(p);
  b[0] = static_cast<uint8_t>(v);
  b[1] = static_cast<uint8_t>(v >> 8);
}

inline void PutLE32(void* p, uint32_t v) {
  auto* b = static_cast<uint8_t*>(p);
  for (int i = 0; i < 4; ++i) b[i] = static_cast<uint8_t>(v >> (8 * i));
}

inline void PutLE64(void* p, uint64_t v) {
  auto* b = static_cast<uint8_t*>(p);
  for (int i = 0; i < 8; ++i) b[i] = static_cast<uint8_t>(v >> (8 * i));
}

inline uint16_t GetBE16(const void* p) {
  const auto* b = static_cast<const uint8_t*>(p);
  return static_cast<uint16_t>((b[0] << 8) | b[1]);
}

inline uint32_t GetBE32(const void* p) {
  const auto* b = static_cast<const uint8_t*>(p);
  return (uint32_t{b[0]} << 24) | (uint32_t{b[1]} << 16) | (uint32_t{b[2]} << 8) | uint32_t{b[3]};
}

inline void PutBE16(void* p, uint16_t v) {
  auto* b = static_cast<uint8_t*>(p);
  b[0] = static_cast<uint8_t>(v >> 8);
  b[1] = static_cast<uint8_t>(v);
}

inline void PutBE32(void* p, uint32_t v) {
  auto* b = static_cast<uint8_t*>(p);
  for (int i = 0; i < 4; ++i) b[i] = static_cast<uint8_t>(v >> (24 - 8 * i));
}

// An IEEE double stored as 8 little-endian bytes.
inline double GetLEDouble(const void* p) {
  uint64_t bits = GetLE64(p);
  double value;
  std::memcpy(&value, &bits, sizeof value);
  return value;
}

inline void PutLEDouble(void* p, double value) {
  uint64_t bits;
  std::memcpy(&bits, &value, sizeof bits);
  PutLE64(p, bits);
}

}  // namespace velorin::byte_order
