// enum_set.h — a set over the values of a small enumeration, as the components'
// option properties use it ("set of toShowAccel", "set of boFocusable, ...").
//
// The enumerators keep their ordinal values (0, 1, 2 ...); the set holds one bit per
// ordinal, so an enumeration may have at most 32 values.
#pragma once

#include <cstdint>
#include <initializer_list>

namespace velorin {

template <typename E>
class EnumSet {
 public:
  constexpr EnumSet() = default;
  constexpr EnumSet(std::initializer_list<E> values) {
    for (E value : values) bits_ |= Bit(value);
  }

  constexpr bool Contains(E value) const { return (bits_ & Bit(value)) != 0; }
  constexpr bool Empty() const { return bits_ == 0; }
  constexpr EnumSet& Include(E value) {
    bits_ |= Bit(value);
    return *this;
  }
  constexpr EnumSet& Exclude(E value) {
    bits_ &= ~Bit(value);
    return *this;
  }
  constexpr bool operator==(const EnumSet&) const = default;

 private:
  static constexpr uint32_t Bit(E value) { return uint32_t{1} << static_cast<unsigned>(value); }
  uint32_t bits_ = 0;
};

}  // namespace velorin
