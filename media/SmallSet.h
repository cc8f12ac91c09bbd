#pragma once
// A set of enumeration values held in the bits of one small integer
// (bit n = the value with ordinal n), as set types are stored.

#include <initializer_list>

template <typename Enum, typename Bits>
class TSmallSet {
 public:
  constexpr TSmallSet() = default;
  constexpr TSmallSet(std::initializer_list<Enum> members) {
    for (Enum e : members) FBits |= Bit(e);
  }
  static constexpr TSmallSet FromBits(Bits bits) {
    TSmallSet set;
    set.FBits = bits;
    return set;
  }
  constexpr Bits ToBits() const { return FBits; }
  constexpr bool Contains(Enum e) const { return (FBits & Bit(e)) != 0; }
  constexpr bool Empty() const { return FBits == 0; }
  constexpr void Include(Enum e) { FBits = Bits(FBits | Bit(e)); }
  constexpr void Exclude(Enum e) { FBits = Bits(FBits & ~Bit(e)); }
  constexpr TSmallSet operator-(Enum e) const { return FromBits(Bits(FBits & ~Bit(e))); }
  constexpr TSmallSet operator+(Enum e) const { return FromBits(Bits(FBits | Bit(e))); }
  constexpr bool operator==(const TSmallSet&) const = default;

 private:
  static constexpr Bits Bit(Enum e) { return Bits(Bits(1) << static_cast<int>(e)); }
  Bits FBits = 0;
};
