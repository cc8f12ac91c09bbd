// Resizing with a separable filter, and rotated drawing through a parallelogram blit.

#include <algorithm>
#include <cmath>
#include <numbers>

#include "skin/core/AlphaBitmaps.h"
#include "skin/core/PixelRows.h"
#include "skin/core/sGraphUtils.h"
#include "skin/core/sGraphUtilsResample.h"

using namespace skin_detail;

namespace {

constexpr float kRadius[kResampleFilterCount] = {0.51f, 1.0f, 1.0f, 1.5f, 2.0f, 3.0f, 2.0f};

// Weight of a source pixel at distance x >= 0 (t: the signed distance, for the box).
float FilterWeight(int filter, float x, float t) {
  switch (filter) {
    case 0: return t > -0.5f && t <= 0.5f ? 1.0f : 0.0f;
    case 1: return 1 - x;
    case 2: return x * x * (2 * x - 3) + 1;
    case 3: return x < 0.5f ? 0.75f - x * x : 0.5f * (x - 1.5f) * (x - 1.5f);
    case 4: return x < 1 ? x * x * (x / 2 - 1) + 2.0f / 3 : (2 - x) * (2 - x) * (2 - x) / 6;
    case 5: {
      if (x == 0) return 1;
      const float px = std::numbers::pi_v<float> * x;
      return std::sin(px) * std::sin(x) / (std::numbers::pi_v<float> * x * x);
    }
    default:
      return x < 1 ? (7.0f / 6 * x - 2) * x * x + 8.0f / 9 : (-7.0f / 18 * x + 2) * x * x - 10.0f / 3 * x + 16.0f / 9;
  }
}

// A source index outside 0..size-1 reflected back inside.
int Mirror(int j, int size) {
  if (j < 0) {
    j = -j;
    if (j >= size) j = j + 2 * size - 1;  // as the reflection rule has it; clamped below
  } else if (j >= size) {
    j = 2 * size - j - 1;
  }
  // Very small sources with wide filters can reflect past either end: keep the read inside.
  return std::clamp(j, 0, size - 1);
}

uint8_t Sum16(int64_t sum) {
  if (sum < 0) return 0;
  if (sum >= 0xFF0001) return 255;
  return uint8_t(sum >> 16);
}

// One target pixel: the weighted sums of its contributors' four channels.
void FilterPixel(const TContributor* first, const TContributor* last, const uint8_t* src, uint8_t* dst) {
  int64_t b = 0, g = 0, r = 0, a = 0;
  for (const TContributor* c = first; c != last; ++c) {
    if (c->Weight == 0) continue;
    const uint8_t* s = src + c->Offset;
    b += int64_t(c->Weight) * s[0];
    g += int64_t(c->Weight) * s[1];
    r += int64_t(c->Weight) * s[2];
    a += int64_t(c->Weight) * s[3];
  }
  dst[0] = Sum16(b);
  dst[1] = Sum16(g);
  dst[2] = Sum16(r);
  dst[3] = Sum16(a);
}

}  // namespace

void BuildContributors(TContributorList& List, int DstSize, int SrcSize, int Step, uint8_t Filter) {
  FreeContributors(List);
  if (DstSize <= 0 || SrcSize <= 0) return;
  const int filter = Filter < kResampleFilterCount ? Filter : kResampleFilterCount - 1;
  const float radius = kRadius[filter];
  const float scale = SrcSize > DstSize ? float(DstSize) / float(SrcSize) : 1.0f;
  const float width = radius / scale;
  // Built from the last target pixel down, each list in descending source order.
  std::vector<std::vector<TContributor>> lists;
  lists.resize(size_t(DstSize));
  for (int i = DstSize - 1; i >= 0; --i) {
    const float centre = float(i) * float(SrcSize) / float(DstSize);
    auto& pairs = lists[size_t(i)];
    for (int j = int(std::ceil(centre + width)); j >= int(std::floor(centre - width)); --j) {
      const float t = (centre - float(j)) * scale;
      const float x = std::fabs(t);
      if (x >= radius) continue;
      const float w = FilterWeight(filter, x, t);
      if (w == 0) continue;
      pairs.push_back({Mirror(j, SrcSize) * Step, int(std::nearbyint(w * scale * 65536.0f))});
    }
  }
  List.First.reserve(size_t(DstSize) + 1);
  for (const auto& pairs : lists) {
    List.First.push_back(int(List.Pairs.size()));
    List.Pairs.insert(List.Pairs.end(), pairs.begin(), pairs.end());
  }
  List.First.push_back(int(List.Pairs.size()));
}

void FreeContributors(TContributorList& List) {
  List.First.clear();
  List.First.shrink_to_fit();
  List.Pairs.clear();
  List.Pairs.shrink_to_fit();
}

void ApplyContributors(int, int DstStep, uint8_t* Dst, const uint8_t* Src, const TContributorList& List, int Count) {
  Count = std::min(Count, int(List.First.size()) - 1);
  for (int i = 0; i < Count; ++i, Dst += DstStep)
    FilterPixel(List.Pairs.data() + List.First[size_t(i)], List.Pairs.data() + List.First[size_t(i) + 1], Src, Dst);
}

void ResampleBitmap32(TBitmap* Src, TBitmap* Dst, int NewWidth, int NewHeight, uint8_t Filter) {
  if (!Src || !Dst || NewHeight == 0 || Src->Width() <= 1 || Src->Height() <= 1 || NewWidth <= 1 || NewHeight <= 1)
    return;
  if (NewWidth == Src->Width() && NewHeight == Src->Height()) {
    if (Dst != Src) Dst->Assign(Src);
    return;
  }
  Src->SetPixelFormat(pf32bit);
  const int srcW = Src->Width(), srcH = Src->Height();
  auto scratch = NewBitmap32(NewWidth, srcH);
  const PixelRows S = Rows32(Src), M = Rows32(scratch.get());
  if (!S || !M) return;
  // Both passes take their lists with step 1 (source pixel and row numbers), padded for the kernels.
  TContributorList list;
  BuildContributors(list, NewWidth, srcW, 1, Filter);
  const TResampleTaps across = MakeResampleTaps(list, NewWidth);
  for (int y = 0; y < srcH; ++y) ResampleRow(S.Bytes(y), M.Bytes(y), across);

  Dst->SetPixelFormat(pf32bit);
  Dst->SetSize(NewWidth, NewHeight);
  const PixelRows D = Rows32(Dst);
  if (!D) return;
  // The vertical pass walks target rows rather than columns: the same sums per
  // pixel, read along scan lines.
  BuildContributors(list, NewHeight, srcH, 1, Filter);
  const TResampleTaps down = MakeResampleTaps(list, NewHeight);
  FreeContributors(list);
  std::vector<const uint8_t*> rows(size_t(down.taps));
  std::vector<int32_t> weights(size_t(down.taps));
  for (int y = 0; y < NewHeight; ++y) {
    for (int k = 0; k < down.taps; ++k) {
      rows[size_t(k)] = M.Bytes(down.index[down.Slot(y, k)]);
      weights[size_t(k)] = down.weight[down.Slot(y, k)];
    }
    ResampleColumns(rows.data(), weights.data(), down.taps, D.Bytes(y), 4 * NewWidth);
  }
}

double DegToRad(double X) { return X * std::numbers::pi / 180; }

TSinCos SinCosTable[360];

void BuildSinCosTable() {
  for (int i = 0; i < 360; ++i)
    SinCosTable[i] = {float(std::sin(DegToRad(i))), float(std::cos(DegToRad(i)))};
}

TPrlgram::TPrlgram(const TPoint* APoints, int High) {
  FCount = APoints ? std::clamp(High + 1, 0, 4) : 0;
  for (int i = 0; i < FCount; ++i) {
    FPoints[i][0] = APoints[i].X;
    FPoints[i][1] = APoints[i].Y;
  }
}

void TPrlgram::Rotate(int Angle) {
  Angle = ((Angle % 360) + 360) % 360;
  const float cx = float((FPoints[0][0] + FPoints[2][0]) / 2), cy = float((FPoints[0][1] + FPoints[2][1]) / 2);
  const double s = SinCosTable[Angle].Sin, c = SinCosTable[Angle].Cos;
  for (int i = 0; i < FCount; ++i) {
    const double dx = FPoints[i][0] - cx, dy = FPoints[i][1] - cy;
    FPoints[i][0] = cx + dx * c + dy * s;
    FPoints[i][1] = cy - dx * s + dy * c;
  }
}

void TPrlgram::GetPoint(int Index, TPoint& Result) const {
  if (Index < 0 || Index > 3) return;
  Result = TPoint(int(std::nearbyint(FPoints[Index][0])), int(std::nearbyint(FPoints[Index][1])));
}

void DrawRotated(HDC DC, TBitmap* Bmp, const TPoint& Centre, int Angle) {
  if (!DC || !Bmp || Bmp->Empty()) return;
  BuildSinCosTable();
  int a = 360 - Angle;
  if (a < 0)
    a += 360;
  else if (a >= 360)
    a = -Angle;
  const int w = Bmp->Width(), h = Bmp->Height();
  const TPoint p0(Centre.X - w / 2, Centre.Y - h / 2);
  const TPoint corners[4] = {p0, TPoint(p0.X + w, p0.Y), TPoint(p0.X + w, p0.Y + h), TPoint(p0.X, p0.Y + h)};
  TPrlgram plg(corners, 3);
  plg.Rotate(a);
  TPoint c0, c1, c2;
  plg.GetPoint(0, c0);
  plg.GetPoint(1, c1);
  plg.GetPoint(2, c2);
  // The source's top-left goes to the turned top-right corner.
  const POINT pts[3] = {c1, c2, c0};
  PlgBlt(DC, pts, Bmp->Canvas()->Handle(), 0, 0, w, h, nullptr, 0, 0);
}
