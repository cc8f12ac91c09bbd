// The alpha-hints component: taking over the application's hints, hints
// shown by code, the anchor of automatically aligned hints, and the hide and
// clean-up timers.

#include <algorithm>

#include "platform/vcl/Definitions.h"
#include "platform/vcl/ExtCtrls.h"
#include "platform/vcl/TypInfo.h"
#include "platform/vcl/Forms.h"
#include "skin/controls/acAlphaHints.h"
#include "skin/core/acThdTimer.h"
#include "skin/core/acntTypes.h"
#include "skin/core/sMaskData.h"
#include "skin/core/sMessages.h"
#include "skin/core/sSkinManager.h"

namespace {

// The control's rectangle on the screen.
TRect ScreenRectOf(TControl* C) {
  const TPoint o = C->ClientToScreen(TPoint(0, 0));
  if (auto* w = dynamic_cast<TWinControl*>(C); w && w->HandleAllocated()) {
    RECT r{};
    GetWindowRect(w->Handle(), &r);
    return TRect(r.left, r.top, r.right, r.bottom);
  }
  return TRect(o.X, o.Y, o.X + C->Width(), o.Y + C->Height());
}

}  // namespace

TsAlphaHints::TsAlphaHints(TComponent* AOwner)
    : TComponent(AOwner), FCacheBmp(std::make_unique<TBitmap>()), FTemplates(std::make_unique<TacHintTemplates>()) {
  FCacheBmp->SetPixelFormat(pf32bit);
  FTemplates->OnChange = [this](TObject*) { Changed(); };
  AfterConstruction();
}

TsAlphaHints::~TsAlphaHints() {
  FDestroying = true;
  if (Application && ActiveAlphaHints == this) Application->OnShowHint = nullptr;
  if (Application) Application->CancelHint();
  UpdateHintClass();
  KillTimer();
  HideTimer.reset();
  CheckTimer.reset();
  HideAll();
  if (CurrentHintTemplate && CurrentHintTemplate->Owner() == FTemplates.get()) {
    CurrentHintTemplate = nullptr;
    CurrentHintImage = nullptr;
  }
}

void TsAlphaHints::AfterConstruction() {
  if (SkinSection.empty()) SkinSection = "HINT";
  UpdateHintClass();
}

void TsAlphaHints::Loaded() {
  if (!(ComponentState() & csDesigning) && Tag != kNoSkinTag) {
    Application->HintHidePause = FPauseHide;
    FHintPos = TPoint(-1, -1);
    Application->OnShowHint = [this](String& s, bool& can, THintInfo& info) { OnShowHintApp(s, can, info); };
  }
  if (SkinSection.empty()) SkinSection = "HINT";
  UpdateHintClass();
}

void TsAlphaHints::Assign(TPersistent* Source) {
  auto* s = dynamic_cast<TsAlphaHints*>(Source);
  if (!s) return TComponent::Assign(Source);
  FTemplates->Assign(s->FTemplates.get());
  SetTemplateName(s->FTemplateName);
  Animated = s->Animated;
  FAutoAlignment = s->FAutoAlignment;
  DefaultMousePosition = s->DefaultMousePosition;
  HTMLMode = s->HTMLMode;
  SetPauseHide(s->FPauseHide);
  SkinSection = s->SkinSection;
  FUseSkinData = s->FUseSkinData;
}

void TsAlphaHints::UpdateHintClass() {
  if ((ComponentState() & csDesigning) || Tag == kNoSkinTag) return;
  if (FActive && LayeredWindowsAvailable && !FDestroying) {
    ActiveAlphaHints = this;
    HintWindowClass = &HintWindowClassOf<TacPngHintWindow>;
  } else if (ActiveAlphaHints == this) {
    ActiveAlphaHints = nullptr;
    HintWindowClass = &HintWindowClassOf<THintWindow>;
  } else if (ActiveAlphaHints) {
    ActiveAlphaHints->FHintLocation = TPoint(0, 0);
  }
}

void TsAlphaHints::SetActive(bool Value) {
  FActive = Value;
  if (!Value && !FDestroying) HideAll();
  UpdateHintClass();
}

void TsAlphaHints::SetPauseHide(int Value) {
  if (Value == FPauseHide) return;
  FPauseHide = Value;
  if (!(ComponentState() & csDesigning) && Tag != kNoSkinTag) Application->HintHidePause = Value;
}

void TsAlphaHints::SetTemplateName(const String& Value) {
  FTemplateName = Value;
  FTemplateIndex = -1;
  for (int i = 0; i < FTemplates->Count(); ++i)
    if (SameText(FTemplates->Items(i)->Name, Value)) {
      FTemplateIndex = i;
      break;
    }
}

void TsAlphaHints::SetAutoAlignment(bool Value) {
  FAutoAlignment = Value;
  FHintLocation = TPoint(0, 0);
}

void TsAlphaHints::Changed() {
  if (!(ComponentState() & csLoading) && OnChange) OnChange(this);
}

bool TsAlphaHints::Skinned() const {
  const TacSkinRecords* skin = DefaultManager;
  if (!ActiveAlphaHints || !skin || !skin->CommonSkinData.Active || !FUseSkinData) return false;
  return skin->GetSkinIndex(ActiveAlphaHints->SkinSection.empty() ? "HINT" : ActiveAlphaHints->SkinSection) >= 0;
}

void TsAlphaHints::InitTemplate() {
  CurrentHintTemplate = SelectedTemplate();
  CurrentHintImage = HintPictureFor(CurrentHintTemplate, DefaultMousePosition);
}

void TsAlphaHints::CheckAutoHintPos() {
  TsAlphaHints* a = ActiveAlphaHints;
  if (!a || !a->FAutoAlignment || !CurrentHintInfo.HintControl || !CurrentHintTemplate || !CurrentHintImage) return;
  const TRect r = ScreenRectOf(CurrentHintInfo.HintControl);
  TacHintImage* img = CurrentHintImage;
  const bool right = img == CurrentHintTemplate->Img_RightTop() || img == CurrentHintTemplate->Img_RightBottom();
  const bool bottom = img == CurrentHintTemplate->Img_LeftBottom() || img == CurrentHintTemplate->Img_RightBottom();
  // A single-image template's default picture is all four.
  const bool single = CurrentHintTemplate->SingleImageUsed();
  TPoint p;
  if (CurrentHintTemplate->HintAlign == haVertCenter) {
    p.Y = (r.Top + r.Bottom) / 2;
    p.X = right && !single ? r.Left : r.Right;
  } else {
    p.X = (r.Left + r.Right) / 2;
    p.Y = bottom && !single ? r.Top : r.Bottom;
  }
  TacBordersSizes* sh = img->ShadowSizes();
  p.X += right && !single ? -sh->Right() : sh->Left();
  p.Y += bottom && !single ? -sh->Bottom() : sh->Top();
  p.X += img->OffsetHorz();
  p.Y += img->OffsetVert();
  a->FHintPos = p;
  a->FHintLocation = p;
}

void TsAlphaHints::OnShowHintApp(String& HintStr, bool& CanShow, THintInfo& HintInfo) {
  FHintPos = HintInfo.HintPos;
  if (FAutoAlignment) {
    CurrentHintInfo = HintInfo;
    InitTemplate();
    CheckAutoHintPos();
    HintInfo.HintPos = FHintPos;
  }
  if (OnShowHint) {
    FreeHintFrame();
    OnShowHint(HintStr, CanShow, HintInfo, HintFrame);
  }
  CurrentHintInfo = HintInfo;
  FHintPos = HintInfo.HintPos;
}

void TsAlphaHints::FreeHintFrame() {
  delete HintFrame;
  HintFrame = nullptr;
  if (ActiveAlphaHints) ActiveAlphaHints->HintShowing = false;
}

void TsAlphaHints::HideHint() {
  // The frame is painted into the picture, never parented to a window that would free it.
  delete HintFrame;
  HintFrame = nullptr;
  HintWindow.reset();
  HintTimeCtrl = nullptr;
}

void TsAlphaHints::HideAll() {
  FreeHintFrame();
  HideHint();
  AnimWindow.reset();
  NewWindow.reset();
}

void TsAlphaHints::KillTimer() { ShowTimer.reset(); }

void TsAlphaHints::StopFade() {
  if (!ShowTimer) return;
  if (NewWindow) AnimWindow = std::move(NewWindow);
  ShowTimer.reset();
}

void TsAlphaHints::RepaintHint() {
  auto* w = CurrentHintWindow;
  if (!w || !HintShowing) return;
  if (OnShowHint) {
    String s = w->Text;
    bool can = true;
    OnShowHint(s, can, CurrentHintInfo, HintFrame);
  }
  w->UpdateWnd(0, 0);
}

// ---- Hints shown by code ----

void TsAlphaHints::ShowPrepared(const String& HintText, unsigned HideTime, TControl* Named, bool Ask, bool KeepInfo,
                                int Limit) {
  if (!HintWindow) HintWindow.reset(new TacPngHintWindow(nullptr));
  TRect r = HintWindow->CalcHintRect(Limit, HintText, nullptr);
  String text = HintText;
  if (Ask && OnShowHint) {
    bool canShow = true;
    THintInfo info;
    info.HintControl = Named;
    info.HintPos = FHintLocation;
    info.HintStr = HintText;
    HintWindow->SetCaption(HintText);
    FreeHintFrame();
    OnShowHint(text, canShow, info, HintFrame);
    // A handler that says no is obeyed here as it is for the application's hints.
    if (!canShow) {
      FreeHintFrame();
      return;
    }
    if (text != HintText || HintFrame) r = HintWindow->CalcHintRect(Limit, text, nullptr);
    FHintLocation = info.HintPos;
    if (KeepInfo) CurrentHintInfo = info;
  } else if (!HintText.empty()) {
    r = HintWindow->CalcHintRect(Limit, HintText, nullptr);
  }
  HintWindow->ActivateHint(r, text);
  FHintLocation = TPoint(0, 0);
  StartHideTimer(HideTime);
}

void TsAlphaHints::ShowHint(TPoint Position, const String& HintText, unsigned HideTime) {
  StopFade();
  TControl* under = ControlAtCursor();
  if (under != HintTimeCtrl) HideAll();
  HintTimeCtrl = under;
  FHintLocation = Position;
  ShowPrepared(HintText, HideTime, nullptr, true, false, MaxWidth < 1 ? Screen->Width() : MaxWidth);
}

void TsAlphaHints::ShowHint(TControl* TheControl, const String& HintText, unsigned HideTime) {
  if (!TheControl) return;
  StopFade();
  HintTimeCtrl = TheControl;
  const TPoint o = TheControl->ClientToScreen(TPoint(0, 0));
  FHintLocation = TPoint(o.X + TheControl->Width() / 2, o.Y + TheControl->Height() / 3);
  ShowPrepared(HintText, HideTime, TheControl, true, true, MaxWidth < 1 ? Screen->Width() : MaxWidth);
}

void TsAlphaHints::ShowHint(TacShowHintData& ShowHintData, unsigned HideTime) {
  if (!ActiveAlphaHints) return;
  StopFade();
  HintTimeCtrl = ShowHintData.Control ? ShowHintData.Control : ControlAtCursor();
  TmpShowData = ShowHintData;
  FHintLocation = ShowHintData.Control ? TPoint(0, 0) : ShowHintData.Position;
  if (!HintWindow) HintWindow.reset(new TacPngHintWindow(nullptr));
  static_cast<TacCustomHintWindow*>(HintWindow.get())->FMousePos = ActiveAlphaHints->DefaultMousePosition;
  const TRect r = HintWindow->CalcHintRect(ShowHintData.Width, ShowHintData.Caption, &TmpShowData);
  HintWindow->ActivateHint(r, ShowHintData.Caption);
  FHintLocation = TPoint(0, 0);
  StartHideTimer(HideTime);
  TmpShowData = TacShowHintData();
}

// ---- Timers ----

void TsAlphaHints::StartHideTimer(unsigned HideTime) {
  if (!HideTimer) HideTimer = std::make_unique<TacThreadedTimer>(this, false);
  HideTimer->SetEnabled(false);
  HideTimer->SetInterval(HideTime ? HideTime : 300);
  if (HideTime) {
    HideTimer->SetOnTimer([this](TObject*) {
      HideHint();
      HideTimer->SetEnabled(false);
    });
  } else {
    HideTimer->SetOnTimer([this](TObject*) {
      if (HintTimeCtrl && ControlAtCursor() == HintTimeCtrl) return;
      HideTimer->SetEnabled(false);
      HideAll();
      HintTimeCtrl = nullptr;
    });
  }
  HideTimer->SetEnabled(true);
}

void TsAlphaHints::StopCheckTimer() { CheckTimer.reset(); }

void TsAlphaHints::StartCheckTimer() {
  CheckTimer = std::make_unique<TacThreadedTimer>(nullptr, false);
  CheckTimer->SetOnTimer([this](TObject*) {
    TacCustomHintWindow* w = CurrentHintWindow;
    if (!w || !w->HandleAllocated() || !IsWindowVisible(w->Handle()) || !HintShowing) {
      Blend = 0;
      AnimWindow.reset();
      NewWindow.reset();
      OldAlphaBmp.reset();
      if (FOldHintPause) {
        Application->HintPause = FOldHintPause;
        FOldHintPause = 0;
      }
    }
    CheckTimer->SetEnabled(false);
  });
  CheckTimer->SetInterval(unsigned(kHintShortPause + 300));
  CheckTimer->SetEnabled(true);
}

// ---- Template files ----

TacHintTemplate* TsAlphaHints::SelectedTemplate() const {
  return FTemplateIndex >= 0 && FTemplateIndex < FTemplates->Count() ? FTemplates->Items(FTemplateIndex)
                                                                     : DefaultHintTemplate();
}

void TsAlphaHints::SaveToStream(TMemoryStream& AStream) { SaveHintTemplateToStream(SelectedTemplate(), AStream); }

void TsAlphaHints::SaveToFile(const String& FileName) { SaveHintTemplateToFile(SelectedTemplate(), FileName); }

TacHintTemplate* TsAlphaHints::LoadFromStream(TStream& AStream) { return LoadHintTemplateFromStream(*FTemplates, AStream); }

TacHintTemplate* TsAlphaHints::LoadFromFile(const String& FileName) {
  return LoadHintTemplateFromFile(*FTemplates, FileName);
}

// ---- Window definitions ----
//
// The templates are stored as a collection of items whose properties are
// dotted paths: Name, HintAlign, Font.*, and for each picture its offsets,
// sizes and draw modes, its file bytes as "ImgData" (always written) and,
// when it came without file bytes, its bitmap as "Image".

namespace {

constexpr const char* kPictureNames[4] = {"ImageDefault", "Img_LeftBottom", "Img_RightBottom", "Img_RightTop"};
constexpr const char* kSideNames[5] = {"Top", "Left", "Bottom", "Right", "Center"};

TacBordersSizes* SizesNamed(TacHintImage* Img, const String& Name) {
  if (Name == "BordersWidths") return Img->BordersWidths();
  if (Name == "ClientMargins") return Img->ClientMargins();
  if (Name == "ShadowSizes") return Img->ShadowSizes();
  return nullptr;
}

int SideIndex(const String& Name) {
  for (int i = 0; i < 5; ++i)
    if (Name == kSideNames[i]) return i;
  return -1;
}

TDefProperty IntValue(const String& Name, int64_t V) {
  TDefProperty p;
  p.Name = Name;
  p.Value.Kind = TDefValue::vInteger;
  p.Value.Int = V;
  return p;
}

TDefProperty TextValue(const String& Name, const String& V, TDefValue::TKind Kind = TDefValue::vString) {
  TDefProperty p;
  p.Name = Name;
  p.Value.Kind = Kind;
  p.Value.Str = V;
  return p;
}

TDefProperty BinaryValue(const String& Name, TBytes V) {
  TDefProperty p;
  p.Name = Name;
  p.Value.Kind = TDefValue::vBinary;
  p.Value.Binary = std::move(V);
  return p;
}

TDefItem DescribeTemplate(TacHintTemplate* T) {
  TDefItem item;
  auto& out = item.Properties;
  out.push_back(TextValue("Name", T->Name));
  out.push_back(TextValue("HintAlign", T->HintAlign == haVertCenter ? "haVertCenter" : "haHorzCenter", TDefValue::vIdent));
  out.push_back(TextValue("Font.Name", T->Font()->Name()));
  out.push_back(IntValue("Font.Size", T->Font()->Size()));
  out.push_back(IntValue("Font.Color", T->Font()->Color()));
  out.push_back(IntValue("Font.Style", T->Font()->Style().Bits()));
  for (int i = 0; i < 4; ++i) {
    TacHintImage* img = T->GetImg(i);
    const String p = String(kPictureNames[i]) + ".";
    out.push_back(IntValue(p + "OffsetHorz", img->OffsetHorz()));
    out.push_back(IntValue(p + "OffsetVert", img->OffsetVert()));
    for (const char* s : {"BordersWidths", "ClientMargins", "ShadowSizes"})
      for (int side = 0; side < 4; ++side)
        out.push_back(IntValue(p + s + "." + kSideNames[side], SizesNamed(img, s)->GetInteger(side)));
    for (int side = 0; side < 5; ++side)
      out.push_back(TextValue(p + "BorderDrawModes." + kSideNames[side],
                              img->BorderDrawModes()->Get(side) == dmRepeat ? "dmRepeat" : "dmStretch",
                              TDefValue::vIdent));
    out.push_back(BinaryValue(p + "ImgData", img->ImageData()->Bytes()));
    if (img->ImageData()->Size() == 0 && !img->Image()->Empty()) {
      TMemoryStream bmp;
      img->Image()->SaveToStream(bmp);
      out.push_back(BinaryValue(p + "Image", bmp.Bytes()));
    }
  }
  return item;
}

// One stored property into the template; names it does not know are refused.
void ReadTemplateProperty(TacHintTemplate* T, const TDefProperty& P) {
  const TDefValue& v = P.Value;
  if (P.Name == "Name") return void(T->Name = v.Str);
  if (P.Name == "HintAlign") return void(T->HintAlign = v.Str == "haVertCenter" ? haVertCenter : haHorzCenter);
  if (P.Name == "Font.Name") return T->Font()->SetName(v.Str);
  if (P.Name == "Font.Size") return T->Font()->SetSize(int(v.Int));
  if (P.Name == "Font.Color") return T->Font()->SetColor(TColor(v.Int));
  if (P.Name == "Font.Style") return T->Font()->SetStyle(TFontStyles::FromBits(uint32_t(v.Int)));
  const size_t dot = P.Name.find('.');
  for (int i = 0; i < 4 && dot != String::npos; ++i) {
    if (P.Name.compare(0, dot, kPictureNames[i]) != 0) continue;
    TacHintImage* img = T->GetImg(i);
    const String rest = P.Name.substr(dot + 1);
    if (rest == "OffsetHorz") return img->SetOffsetHorz(int(v.Int));
    if (rest == "OffsetVert") return img->SetOffsetVert(int(v.Int));
    if (rest == "ImgData" || rest == "Image") {
      TMemoryStream bytes;
      if (!v.Binary.empty()) bytes.WriteBuffer(v.Binary.data(), int64_t(v.Binary.size()));
      if (rest == "ImgData") {
        img->ImageData()->Clear();
        if (bytes.Size() > 0) img->ImageData()->CopyFrom(bytes, 0);
        img->StreamChanged();
      } else if (bytes.Size() > 0) {
        bytes.SetPosition(0);
        TBitmap bmp;
        bmp.LoadFromStream(bytes);
        img->Image()->Assign(&bmp);
      }
      return;
    }
    const size_t dot2 = rest.find('.');
    const int side = dot2 == String::npos ? -1 : SideIndex(rest.substr(dot2 + 1));
    if (side < 0) break;
    const String group = rest.substr(0, dot2);
    if (group == "BorderDrawModes") return img->BorderDrawModes()->Set(side, v.Str == "dmRepeat" ? dmRepeat : dmStretch);
    if (TacBordersSizes* s = SizesNamed(img, group); s && side < 4) return s->SetInteger(side, int(v.Int));
    break;
  }
  throw EReadError("Unknown hint template property " + P.Name);
}

}  // namespace

void RegisterAlphaHintsClasses() {
  using A = TsAlphaHints;
  RegisterPropertyClass<TsAlphaHints>(
      "TsAlphaHints",
      {BoolProp<A>("Active", [](A* a) { return a->Active(); }, [](A* a, bool v) { a->SetActive(v); }),
       BoolProp<A>("Animated", [](A* a) { return a->Animated; }, [](A* a, bool v) { a->Animated = v; }),
       BoolProp<A>("AutoAlignment", [](A* a) { return a->AutoAlignment(); },
                   [](A* a, bool v) { a->SetAutoAlignment(v); }),
       BoolProp<A>("HTMLMode", [](A* a) { return a->HTMLMode; }, [](A* a, bool v) { a->HTMLMode = v; }),
       IntProp<A>("MaxWidth", [](A* a) { return a->MaxWidth; }, [](A* a, int v) { a->MaxWidth = v; }),
       IntProp<A>("PauseHide", [](A* a) { return a->PauseHide(); }, [](A* a, int v) { a->SetPauseHide(v); }),
       StrProp<A>("SkinSection", [](A* a) { return a->SkinSection; }, [](A* a, const String& v) { a->SkinSection = v; }),
       BoolProp<A>("UseSkinData", [](A* a) { return a->UseSkinData(); }, [](A* a, bool v) { a->SetUseSkinData(v); }),
       DefinedProp<A>(
           "Templates",
           [](A* a, const TDefValue& v) {
             a->Templates()->Clear();
             for (const TDefItem& item : v.Items) {
               TacHintTemplate* t = a->Templates()->Add();
               for (const TDefProperty& p : item.Properties) ReadTemplateProperty(t, p);
             }
             a->SetTemplateName(a->TemplateName());
           },
           [](A* a, TDefValue& v) {
             v.Kind = TDefValue::vCollection;
             v.Items.clear();
             for (int i = 0; i < a->Templates()->Count(); ++i) v.Items.push_back(DescribeTemplate(a->Templates()->Items(i)));
             return !v.Items.empty();
           }),
       // After the templates, so that the name finds its template.
       StrProp<A>("TemplateName", [](A* a) { return a->TemplateName(); },
                  [](A* a, const String& v) { a->SetTemplateName(v); })});
}

namespace {
// Window definitions find the component by name from the start.
const bool kAlphaHintsRegistered = (RegisterAlphaHintsClasses(), true);
}  // namespace
