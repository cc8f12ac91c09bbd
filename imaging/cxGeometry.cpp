#include "imaging/cxGeometry.h"

#include <cstring>

#include "imaging/dxCore.h"

void TcxGeometryObject::DoChange() { dxCallNotify(OnChange, this); }

void TcxRect::SetRect(const TRect& Value) {
  TRect r = Value;
  ValidateRect(r);
  if (r == FRect) return;
  FRect = r;
  DoChange();
}

int TcxRect::GetValue(int Index) const {
  switch (Index) {
    case 0: return FRect.Left;
    case 1: return FRect.Top;
    case 2: return FRect.Right;
    default: return FRect.Bottom;
  }
}

void TcxRect::SetValue(int Index, int Value) {
  TRect r = FRect;
  switch (Index) {
    case 0: r.Left = Value; break;
    case 1: r.Top = Value; break;
    case 2: r.Right = Value; break;
    default: r.Bottom = Value; break;
  }
  SetRect(r);
}

void TcxRect::DoAssign(TcxOwnedPersistent* Source) {
  if (auto* r = dynamic_cast<TcxRect*>(Source)) SetRect(r->Rect());
}

void TcxRect::ReadData(TStream& Stream) {
  int32_t v[4];
  Stream.ReadBuffer(v, sizeof v);
  SetRect(TRect(v[0], v[1], v[2], v[3]));
}

void TcxRect::WriteData(TStream& Stream) {
  const int32_t v[4] = {FRect.Left, FRect.Top, FRect.Right, FRect.Bottom};
  Stream.WriteBuffer(v, sizeof v);
}
