#include "skin/core/sSkinRecords.h"

#include "platform/gdi/Gdi.h"

const char* const acSectionNames[kSectionCount] = {
    "MENUITEM",   "CHECKBOX",   "SPEEDBUTTON", "SPEEDBUTTON_SMALL", "TOOLBUTTON", "TRANSPARENT", "GROUPBOX",
    "DIVIDER",    "WEBBUTTON",  "BUTTON",      "COMBONOEDIT",       "BUTTON_HUGE", "TOOLBAR",    "EDIT",
    "GAUGE",      "SELECTION",  "STATUSBAR",   "PANEL",             "PANEL_LOW",  "TRACKBAR",    "PROGRESSV",
    "DRAGBAR",    "GRIPH",      "GRIPV",       "PROGRESSH",         "TABSHEET",   "UPDOWNBTN",   "COMBOBOX",
    "CAPTION",    "MAINMENU",   "SPLITTER",    "COMBOBTN",          "FORMTITLE",  "HINT",        "DIVIDERV",
    "PAGECONTROL", "TABTOP",    "BARPANEL",    "BARTITLE",          "MENUCAPTION", "DIALOGTITLE", "MENUBTN",
    "MENULINE",   "FORMHEADER", "TB_BTN",      "TB_MENUBTN",        "TB_TAB",     "COLHEADER",   "COLHEADERA",
    "COLHEADERL", "COLHEADERR", "SLIDER_OFF",  "SLIDER_ON"};

TacSkinRecords::TacSkinRecords() = default;

TacSkinRecords::~TacSkinRecords() {
  for (HBRUSH& b : Brushes)
    if (b) DeleteObject(b);
}

void TacSkinRecords::TakeSkin(TacSkinRecords& From) {
  std::swap(ma, From.ma);
  std::swap(gd, From.gd);
  std::swap(oe, From.oe);
  std::swap(ExtArray, From.ExtArray);
  std::swap(MasterBitmap, From.MasterBitmap);
  std::swap(ShdaTemplate, From.ShdaTemplate);
  std::swap(ShdiTemplate, From.ShdiTemplate);
  std::swap(Palette, From.Palette);
  std::swap(Brushes, From.Brushes);
  std::swap(ConstData, From.ConstData);
  std::swap(FormShadowSize, From.FormShadowSize);
  std::swap(SkinIsPacked, From.SkinIsPacked);
  const bool active = CommonSkinData.Active;
  const TColor inactiveBorder = CommonSkinData.SysInactiveBorderColor;
  std::swap(CommonSkinData, From.CommonSkinData);
  CommonSkinData.Active = active;
  CommonSkinData.SysInactiveBorderColor = inactiveBorder;
  for (TsMaskData& m : ma)
    if (m.Manager) m.Manager = this;
  for (TsMaskData& m : From.ma)
    if (m.Manager) m.Manager = &From;
}

int TacSkinRecords::GetSkinIndex(const String& SkinSection) const {
  if (SkinSection.empty()) return -1;
  for (size_t i = 0; i < gd.size(); ++i)
    if (gd[i].ClassName == SkinSection) return int(i);
  return -1;
}

int TacSkinRecords::ParentIndex(int SkinIndex) const {
  if (!IsValidSkinIndex(SkinIndex) || gd[size_t(SkinIndex)].ParentClass.empty()) return -1;
  return GetSkinIndex(gd[size_t(SkinIndex)].ParentClass);
}

// The inherited searches walk the PARENTCLASS chain at most once around: a
// section met again (a ring of parents, or one naming itself) ends the chain
// as if its parent were empty.
namespace {

template <class Match, class Next>
int SearchChain(const TacSkinRecords& S, int SkinIndex, Match&& match, Next&& next) {
  std::vector<bool> seen(S.gd.size(), false);
  while (SkinIndex >= 0) {
    const int found = match(SkinIndex);
    if (found >= 0) return found;
    if (!S.IsValidSkinIndex(SkinIndex) || seen[size_t(SkinIndex)]) return -1;
    seen[size_t(SkinIndex)] = true;
    SkinIndex = next(SkinIndex);
  }
  return -1;
}

}  // namespace

int TacSkinRecords::NamedParent(int SkinIndex, String& Section) const {
  const String& parent = gd[size_t(SkinIndex)].ParentClass;
  if (parent.empty() || parent == Section) return -1;
  Section = parent;
  return GetSkinIndex(parent);
}

int TacSkinRecords::GetMaskIndex(int SkinIndex, const String& SkinSection, const String& Mask) const {
  String section = SkinSection;
  return SearchChain(
      *this, SkinIndex,
      [&](int i) {
        for (size_t k = 0; k < ma.size(); ++k)
          if (ma[k].SkinIndex == i && ma[k].PropertyName == Mask) return int(k);
        return -1;
      },
      [&](int i) { return NamedParent(i, section); });
}

int TacSkinRecords::GetMaskIndex(int SkinIndex, const String& Mask) const {
  return SearchChain(
      *this, SkinIndex,
      [&](int i) {
        for (size_t k = 0; k < ma.size(); ++k)
          if (ma[k].SkinIndex == i && ma[k].PropertyName == Mask) return int(k);
        return -1;
      },
      [&](int i) { return ParentIndex(i); });
}

int TacSkinRecords::GetMaskIndex(const String& SkinSection, const String& Mask) const {
  if (SkinSection.empty() || Mask.empty()) return -1;
  for (size_t k = 0; k < ma.size(); ++k)
    if (ma[k].ClassName == SkinSection && ma[k].PropertyName == Mask) return int(k);
  return -1;
}

int TacSkinRecords::GetTextureIndex(int SkinIndex, const String& SkinSection, const String& PropName) const {
  if (ma.empty() || SkinSection.empty()) return -1;
  String section = SkinSection;
  return SearchChain(
      *this, SkinIndex,
      [&](int) {
        for (size_t k = 0; k < ma.size(); ++k)
          if (ma[k].ImgType == itisaTexture && ma[k].PropertyName == PropName && ma[k].ClassName == section)
            return int(k);
        return -1;
      },
      [&](int i) { return NamedParent(i, section); });
}

int TacSkinRecords::GetTextureIndex(int SkinIndex, const String& PropName) const {
  if (ma.empty()) return -1;
  return SearchChain(
      *this, SkinIndex,
      [&](int i) {
        for (size_t k = 0; k < ma.size(); ++k)
          if (ma[k].SkinIndex == i && ma[k].ImgType == itisaTexture && ma[k].PropertyName == PropName) return int(k);
        return -1;
      },
      [&](int i) { return ParentIndex(i); });
}

TBitmap* TacSkinRecords::MaskBitmap(int MaskIndex) const {
  if (!IsValidImgIndex(MaskIndex)) return nullptr;
  const TsMaskData& m = ma[size_t(MaskIndex)];
  return m.Bmp ? m.Bmp.get() : MasterBitmap.get();
}

int TacSkinRecords::AddNewSection(const String& AName, int AParentSection, int AStates, int ATransparency,
                                  TColor AColor, TColor AFontColor) {
  TsGeneralData s;
  if (AParentSection >= 0 && IsValidSkinIndex(AParentSection)) {
    s = gd[size_t(AParentSection)];  // the gradient vectors are copied, not shared
  } else {
    // Other values are zero, but image indexes are -1: a blank section has no images.
    s.States = AStates;
    for (TsGenState& st : s.Props)
      st = TsGenState{0, 0, -1, ATransparency, 0, AColor, 0, TsFontColor{AFontColor, -1, -1, -1, -1}, {}};
  }
  s.ClassName = AName;
  s.ParentClass.clear();
  gd.push_back(std::move(s));
  return int(gd.size()) - 1;
}

int TacSkinRecords::MakeNewItem(int SkinIndex, const String& PropertyName, const String& AClassName,
                                TacImgType ImgType, const TRect& R, int Count, int DrawMode, int16_t MaskType) {
  TsMaskData m;
  m.SkinIndex = SkinIndex;
  m.PropertyName = PropertyName;
  m.ClassName = AClassName;
  m.ImgType = ImgType;
  m.R = R;
  m.ImageCount = int16_t(Count);
  m.DrawMode = int16_t(DrawMode);
  m.MaskType = MaskType;
  m.Manager = this;
  ma.push_back(std::move(m));
  return int(ma.size()) - 1;
}

int TacSkinRecords::ScaleInt(int Value) const {
  switch (ScaleStep) {
    case 1: return Value + Value / 4;
    case 2: return Value + Value / 2;
    case 3: return 2 * Value;
    default: return Value;
  }
}

void TacSkinRecords::UpdateBrushes() {
  for (size_t i = 0; i < Brushes.size(); ++i) {
    if (Brushes[i]) DeleteObject(Brushes[i]);
    Brushes[i] = CreateSolidBrush(COLORREF(Palette[i]));
  }
}

bool IsStdSection(const std::array<int, kSectionCount>& Sections, int SkinIndex, int From, int To) {
  for (int s = std::max(From, 0); s <= To && s < kSectionCount; ++s)
    if (Sections[size_t(s)] == SkinIndex) return true;
  return false;
}

int ScalePercent(int Step) {
  static constexpr int kPercent[4] = {100, 125, 150, 200};
  return Step >= 0 && Step < 4 ? kPercent[Step] : 100;
}

String ScaleSuffix(int Step) { return Step >= 1 && Step <= 3 ? "*" + std::to_string(ScalePercent(Step)) : String(); }
