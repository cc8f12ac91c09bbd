#pragma once
// Geometry objects that announce their changes, and rectangle helpers.

#include "imaging/dxCoreClasses.h"
#include "platform/vcl/Types.h"

class TcxGeometryObject : public TcxOwnedPersistent {
 public:
  using TcxOwnedPersistent::TcxOwnedPersistent;
  TNotifyEvent OnChange;

  virtual void ReadData(TStream&) {}
  virtual void WriteData(TStream&) {}

 protected:
  virtual void DoChange();
};

class TcxRect : public TcxGeometryObject {
 public:
  using TcxGeometryObject::TcxGeometryObject;

  const TRect& Rect() const { return FRect; }
  // Nothing happens, and no change fires, when the value stays the same.
  void SetRect(const TRect& Value);
  // Sides by index: 0 left, 1 top, 2 right, 3 bottom.
  int GetValue(int Index) const;
  void SetValue(int Index, int Value);
  int Left() const { return FRect.Left; }
  void SetLeft(int Value) { SetValue(0, Value); }
  int Top() const { return FRect.Top; }
  void SetTop(int Value) { SetValue(1, Value); }
  int Right() const { return FRect.Right; }
  void SetRight(int Value) { SetValue(2, Value); }
  int Bottom() const { return FRect.Bottom; }
  void SetBottom(int Value) { SetValue(3, Value); }

  // 16 bytes: left, top, right, bottom as 32-bit values in machine order.
  void ReadData(TStream& Stream) override;
  void WriteData(TStream& Stream) override;

 protected:
  void DoAssign(TcxOwnedPersistent* Source) override;
  virtual void ValidateRect(TRect&) {}

 private:
  TRect FRect;
};

constexpr int cxRectWidth(const TRect& R) { return R.Right - R.Left; }
constexpr int cxRectHeight(const TRect& R) { return R.Bottom - R.Top; }
constexpr bool cxRectIsEmpty(const TRect& R) { return !(R.Left < R.Right && R.Top < R.Bottom); }
constexpr TRect cxRect(const TSize& Size) { return TRect(0, 0, Size.cx, Size.cy); }
constexpr TPoint cxPoint(int X, int Y) { return TPoint{X, Y}; }
