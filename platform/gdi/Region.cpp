// Regions as band lists: each band is a run of rows sharing the same sorted,
// disjoint horizontal spans. Bands never overlap and adjacent equal bands are merged.

#include <cmath>

#include "platform/gdi/GdiInternal.h"

namespace gdi {

RegionData RegionData::FromRect(int l, int t, int r, int b) {
  RegionData d;
  if (l < r && t < b) d.bands.push_back(Band{t, b, {Span{l, r}}});
  return d;
}

RECT RegionData::Box() const {
  if (bands.empty()) return RECT{};
  RECT box{INT32_MAX, bands.front().top, INT32_MIN, bands.back().bottom};
  for (const Band& b : bands) {
    box.left = std::min(box.left, LONG(b.spans.front().x0));
    box.right = std::max(box.right, LONG(b.spans.back().x1));
  }
  return box;
}

int RegionData::Type() const {
  if (bands.empty()) return NULLREGION;
  return (bands.size() == 1 && bands[0].spans.size() == 1) ? SIMPLEREGION : COMPLEXREGION;
}

bool RegionData::Contains(int x, int y) const {
  for (const Band& b : bands) {
    if (y < b.top) return false;
    if (y >= b.bottom) continue;
    for (const Span& s : b.spans)
      if (x >= s.x0 && x < s.x1) return true;
    return false;
  }
  return false;
}

void RegionData::Offset(int dx, int dy) {
  for (Band& b : bands) {
    b.top += dy;
    b.bottom += dy;
    for (Span& s : b.spans) {
      s.x0 += dx;
      s.x1 += dx;
    }
  }
}

void RegionData::Coalesce() {
  std::vector<Band> out;
  for (Band& b : bands) {
    if (b.spans.empty() || b.top >= b.bottom) continue;
    if (!out.empty() && out.back().bottom == b.top && out.back().spans == b.spans) {
      out.back().bottom = b.bottom;
    } else {
      out.push_back(std::move(b));
    }
  }
  bands = std::move(out);
}

namespace {

const std::vector<Span>* SpansAt(const RegionData& r, int y) {
  for (const Band& b : r.bands) {
    if (y < b.top) return nullptr;
    if (y < b.bottom) return &b.spans;
  }
  return nullptr;
}

bool Apply(bool a, bool b, int mode) {
  switch (mode) {
    case RGN_AND: return a && b;
    case RGN_OR: return a || b;
    case RGN_XOR: return a != b;
    case RGN_DIFF: return a && !b;
    default: return a;
  }
}

std::vector<Span> CombineSpans(const std::vector<Span>* a, const std::vector<Span>* b, int mode) {
  std::vector<int> xs;
  for (const auto* list : {a, b})
    if (list)
      for (const Span& s : *list) {
        xs.push_back(s.x0);
        xs.push_back(s.x1);
      }
  std::sort(xs.begin(), xs.end());
  xs.erase(std::unique(xs.begin(), xs.end()), xs.end());
  auto inside = [](const std::vector<Span>* list, int x) {
    if (!list) return false;
    for (const Span& s : *list)
      if (x >= s.x0 && x < s.x1) return true;
    return false;
  };
  std::vector<Span> out;
  for (size_t i = 0; i + 1 < xs.size(); ++i) {
    if (!Apply(inside(a, xs[i]), inside(b, xs[i]), mode)) continue;
    if (!out.empty() && out.back().x1 == xs[i]) {
      out.back().x1 = xs[i + 1];
    } else {
      out.push_back(Span{xs[i], xs[i + 1]});
    }
  }
  return out;
}

}  // namespace

RegionData Combine(const RegionData& a, const RegionData& b, int mode) {
  if (mode == RGN_COPY) return a;
  std::vector<int> ys;
  for (const RegionData* r : {&a, &b})
    for (const Band& band : r->bands) {
      ys.push_back(band.top);
      ys.push_back(band.bottom);
    }
  std::sort(ys.begin(), ys.end());
  ys.erase(std::unique(ys.begin(), ys.end()), ys.end());
  RegionData out;
  for (size_t i = 0; i + 1 < ys.size(); ++i) {
    std::vector<Span> spans = CombineSpans(SpansAt(a, ys[i]), SpansAt(b, ys[i]), mode);
    if (!spans.empty()) out.bands.push_back(Band{ys[i], ys[i + 1], std::move(spans)});
  }
  out.Coalesce();
  return out;
}

bool EllipseRow(int l, int t, int r, int b, int y, int& x0, int& x1) {
  if (r <= l || b <= t || y < t || y >= b) return false;
  const double cx = (l + r) / 2.0, cy = (t + b) / 2.0, a = (r - l) / 2.0, rb = (b - t) / 2.0;
  const double dy = (y + 0.5 - cy) / rb;
  if (dy * dy >= 1.0) return false;
  const double dx = a * std::sqrt(1.0 - dy * dy);
  // Pixels whose centres lie inside; symmetric about the centre.
  x0 = int(std::ceil(cx - dx - 0.5));
  x1 = int(std::floor(cx + dx - 0.5)) + 1;
  return x0 < x1;
}

}  // namespace gdi

using namespace gdi;

namespace {

HRGN NewRegion(RegionData data) {
  auto* r = new HRGN__;
  r->data = std::move(data);
  Register(r);
  return r;
}

HRGN__* Rgn(HRGN h) { return As<HRGN__>(h, OBJ_REGION); }

}  // namespace

HRGN CreateRectRgn(int left, int top, int right, int bottom) {
  // The corners may come in any order; they are sorted here.
  return NewRegion(RegionData::FromRect(std::min(left, right), std::min(top, bottom), std::max(left, right),
                                        std::max(top, bottom)));
}

HRGN CreateRectRgnIndirect(const RECT* r) {
  return r ? CreateRectRgn(r->left, r->top, r->right, r->bottom) : nullptr;
}

HRGN CreateEllipticRgn(int left, int top, int right, int bottom) {
  RegionData d;
  for (int y = top; y < bottom; ++y) {
    int x0, x1;
    if (EllipseRow(left, top, right, bottom, y, x0, x1)) d.bands.push_back(Band{y, y + 1, {Span{x0, x1}}});
  }
  d.Coalesce();
  return NewRegion(std::move(d));
}

BOOL SetRectRgn(HRGN rgn, int left, int top, int right, int bottom) {
  HRGN__* r = Rgn(rgn);
  if (!r) return FALSE;
  r->data = RegionData::FromRect(std::min(left, right), std::min(top, bottom), std::max(left, right),
                                 std::max(top, bottom));
  return TRUE;
}

int CombineRgn(HRGN dst, HRGN src1, HRGN src2, int mode) {
  HRGN__* d = Rgn(dst);
  HRGN__* a = Rgn(src1);
  HRGN__* b = mode == RGN_COPY ? a : Rgn(src2);
  if (!d || !a || !b || mode < RGN_AND || mode > RGN_COPY) return ERROR;
  d->data = Combine(a->data, b->data, mode);
  return d->data.Type();
}

int OffsetRgn(HRGN rgn, int dx, int dy) {
  HRGN__* r = Rgn(rgn);
  if (!r) return ERROR;
  r->data.Offset(dx, dy);
  return r->data.Type();
}

int GetRgnBox(HRGN rgn, RECT* box) {
  HRGN__* r = Rgn(rgn);
  if (!r || !box) return ERROR;
  *box = r->data.Box();
  return r->data.Type();
}

BOOL PtInRegion(HRGN rgn, int x, int y) {
  HRGN__* r = Rgn(rgn);
  return r && r->data.Contains(x, y);
}

BOOL RectInRegion(HRGN rgn, const RECT* rc) {
  HRGN__* r = Rgn(rgn);
  if (!r || !rc) return FALSE;
  bool any = false;
  r->data.ForEachRectIn(*rc, [&](const RECT&) { any = true; });
  return any;
}

BOOL EqualRgn(HRGN a, HRGN b) {
  HRGN__* ra = Rgn(a);
  HRGN__* rb = Rgn(b);
  if (!ra || !rb) return FALSE;
  if (ra->data.bands.size() != rb->data.bands.size()) return FALSE;
  for (size_t i = 0; i < ra->data.bands.size(); ++i) {
    const Band& x = ra->data.bands[i];
    const Band& y = rb->data.bands[i];
    if (x.top != y.top || x.bottom != y.bottom || x.spans != y.spans) return FALSE;
  }
  return TRUE;
}

int GetRegionRects(HRGN rgn, RECT* rects, int max) {
  HRGN__* r = Rgn(rgn);
  if (!r) return 0;
  int n = 0;
  for (const Band& b : r->data.bands)
    for (const Span& s : b.spans) {
      if (rects && n < max) rects[n] = RECT{s.x0, b.top, s.x1, b.bottom};
      ++n;
    }
  return n;
}
