#pragma once
// Points, rectangles, sizes and small enumeration sets of the windowing framework.
// TPoint, TRect and TSize share the layout of the drawing layer's POINT, RECT and SIZE.

#include <cstdint>
#include <initializer_list>

#include "platform/gdi/Gdi.h"

struct TPoint {
  int X = 0;
  int Y = 0;
  constexpr TPoint() = default;
  constexpr TPoint(int x, int y) : X(x), Y(y) {}
  constexpr TPoint(const POINT& p) : X(p.x), Y(p.y) {}
  constexpr operator POINT() const { return POINT{X, Y}; }
  constexpr bool operator==(const TPoint&) const = default;
};

struct TSize {
  int cx = 0;
  int cy = 0;
  constexpr bool operator==(const TSize&) const = default;
};

struct TRect {
  int Left = 0;
  int Top = 0;
  int Right = 0;
  int Bottom = 0;
  constexpr TRect() = default;
  constexpr TRect(int l, int t, int r, int b) : Left(l), Top(t), Right(r), Bottom(b) {}
  constexpr TRect(const RECT& r) : Left(r.left), Top(r.top), Right(r.right), Bottom(r.bottom) {}
  constexpr operator RECT() const { return RECT{Left, Top, Right, Bottom}; }
  constexpr int Width() const { return Right - Left; }
  constexpr int Height() const { return Bottom - Top; }
  constexpr bool IsEmpty() const { return Right <= Left || Bottom <= Top; }
  constexpr TPoint TopLeft() const { return TPoint(Left, Top); }
  constexpr TPoint BottomRight() const { return TPoint(Right, Bottom); }
  constexpr bool Contains(const TPoint& p) const { return p.X >= Left && p.X < Right && p.Y >= Top && p.Y < Bottom; }
  constexpr bool operator==(const TRect&) const = default;
};

constexpr TPoint Point(int X, int Y) { return TPoint(X, Y); }
constexpr TRect Rect(int Left, int Top, int Right, int Bottom) { return TRect(Left, Top, Right, Bottom); }
constexpr TRect Bounds(int Left, int Top, int Width, int Height) {
  return TRect(Left, Top, Left + Width, Top + Height);
}

// A set of enumeration values (up to 32), held as bits of one integer.
template <class E>
class TSet {
 public:
  constexpr TSet() = default;
  constexpr TSet(std::initializer_list<E> values) {
    for (E v : values) bits_ |= Bit(v);
  }
  constexpr bool Contains(E v) const { return (bits_ & Bit(v)) != 0; }
  constexpr TSet& Include(E v) {
    bits_ |= Bit(v);
    return *this;
  }
  constexpr TSet& Exclude(E v) {
    bits_ &= ~Bit(v);
    return *this;
  }
  constexpr bool Empty() const { return bits_ == 0; }
  constexpr TSet operator+(TSet o) const { return FromBits(bits_ | o.bits_); }
  constexpr TSet operator-(TSet o) const { return FromBits(bits_ & ~o.bits_); }
  constexpr TSet operator*(TSet o) const { return FromBits(bits_ & o.bits_); }
  constexpr bool operator==(const TSet&) const = default;
  constexpr uint32_t Bits() const { return bits_; }
  static constexpr TSet FromBits(uint32_t b) {
    TSet s;
    s.bits_ = b;
    return s;
  }

 private:
  static constexpr uint32_t Bit(E v) { return uint32_t(1) << static_cast<unsigned>(v); }
  uint32_t bits_ = 0;
};
