#include "platform/vcl/ImgList.h"

#include <algorithm>

#include "platform/vcl/Controls.h"
#include "platform/vcl/TypInfo.h"

COLORREF ImageListColor(TColor Color) {
  if (Color == clNone) return CLR_NONE;
  if (Color == clDefault) return CLR_DEFAULT;
  return ColorToRGB(Color);
}

// ---- TChangeLink ----

TChangeLink::~TChangeLink() {
  if (Sender) Sender->UnRegisterChanges(this);
}

void TChangeLink::Change() {
  if (OnChange) OnChange(Sender);
}

// ---- TCustomImageList ----

TCustomImageList::TCustomImageList(TComponent* AOwner) : TComponent(AOwner) {}

TCustomImageList::~TCustomImageList() {
  Destroying();
  for (TChangeLink* link : FLinks) link->Sender = nullptr;
  FLinks.clear();
  FreeHandle();
}

UINT TCustomImageList::CreateFlags() const {
  UINT depth = ILC_COLOR32;
  switch (FColorDepth) {
    case cd4Bit: depth = ILC_COLOR4; break;
    case cd8Bit: depth = ILC_COLOR8; break;
    case cd16Bit: depth = ILC_COLOR16; break;
    case cd24Bit: depth = ILC_COLOR24; break;
    default: break;
  }
  return depth | (FMasked ? ILC_MASK : 0);
}

HIMAGELIST TCustomImageList::Handle() {
  if (!FHandle) {
    FHandle = ImageList_Create(FWidth, FHeight, CreateFlags(), AllocBy, AllocBy);
    ImageList_SetBkColor(FHandle, ImageListColor(FBkColor));
  }
  return FHandle;
}

void TCustomImageList::FreeHandle() {
  if (FHandle && !ShareImages) ImageList_Destroy(FHandle);
  FHandle = nullptr;
}

void TCustomImageList::SetHandle(HIMAGELIST Value) {
  if (Value == FHandle) return;
  FreeHandle();
  FHandle = Value;
  if (FHandle) {
    ImageList_GetIconSize(FHandle, &FWidth, &FHeight);
    const COLORREF bk = ImageList_GetBkColor(FHandle);
    FBkColor = bk == CLR_NONE ? clNone : TColor(bk);
  }
  Change();
}

void TCustomImageList::SetWidth(int Value) {
  if (Value == FWidth || Value <= 0) return;
  FWidth = Value;
  if (FHandle) ImageList_SetIconSize(FHandle, FWidth, FHeight);
  Change();
}

void TCustomImageList::SetHeight(int Value) {
  if (Value == FHeight || Value <= 0) return;
  FHeight = Value;
  if (FHandle) ImageList_SetIconSize(FHandle, FWidth, FHeight);
  Change();
}

void TCustomImageList::SetMasked(bool Value) {
  if (Value == FMasked) return;
  FMasked = Value;
  // The flags are fixed when the list is made: an existing list starts again empty.
  if (FHandle) {
    FreeHandle();
    Change();
  }
}

void TCustomImageList::SetColorDepth(TColorDepth Value) {
  if (Value == FColorDepth) return;
  FColorDepth = Value;
  if (FHandle) {
    FreeHandle();
    Change();
  }
}

void TCustomImageList::SetBkColor(TColor Value) {
  FBkColor = Value;
  if (FHandle) ImageList_SetBkColor(FHandle, ImageListColor(Value));
  Change();
}

int TCustomImageList::Count() { return FHandle ? ImageList_GetImageCount(FHandle) : 0; }

int TCustomImageList::Add(TBitmap* Image, TBitmap* Mask) {
  if (!Image) return -1;
  const int index = ImageList_Add(Handle(), Image->Handle(), Mask ? Mask->Handle() : nullptr);
  Change();
  return index;
}

int TCustomImageList::AddMasked(TBitmap* Image, TColor MaskColor) {
  if (!Image) return -1;
  const int index = FMasked ? ImageList_AddMasked(Handle(), Image->Handle(), ColorToRGB(MaskColor))
                            : ImageList_Add(Handle(), Image->Handle(), nullptr);
  Change();
  return index;
}

void TCustomImageList::Replace(int Index, TBitmap* Image, TBitmap* Mask) {
  if (!Image || !ImageList_Replace(Handle(), Index, Image->Handle(), Mask ? Mask->Handle() : nullptr))
    throw EInvalidOperation("Failed to replace image");
  Change();
}

void TCustomImageList::Delete(int Index) {
  if (Index < 0 || Index >= Count()) throw EInvalidOperation("Invalid image list index");
  ImageList_Remove(FHandle, Index);
  Change();
}

void TCustomImageList::Clear() {
  if (FHandle) ImageList_RemoveAll(FHandle);
  Change();
}

void TCustomImageList::DoDraw(int Index, TCanvas* Canvas, int X, int Y, UINT Style, bool Enabled) {
  if (!FHandle || !Canvas) return;
  // Disabled images are faded into the face colour.
  if (!Enabled) Style = (Style & ~(ILD_BLEND25 | ILD_BLEND50)) | ILD_BLEND50;
  const COLORREF fg = Enabled ? ImageListColor(BlendColor == clNone ? clDefault : BlendColor) : ColorToRGB(clBtnFace);
  ImageList_DrawEx(FHandle, Index, Canvas->Handle(), X, Y, 0, 0, CLR_DEFAULT, fg, Style);
}

void TCustomImageList::Draw(TCanvas* Canvas, int X, int Y, int Index, bool Enabled) {
  static const UINT styles[] = {ILD_FOCUS, ILD_SELECTED, ILD_NORMAL, ILD_TRANSPARENT};
  UINT style = styles[DrawingStyle];
  if (ImageType == itMask) style |= ILD_MASK;
  DoDraw(Index, Canvas, X, Y, style, Enabled);
}

bool TCustomImageList::GetBitmap(int Index, TBitmap* Image) {
  if (!Image || Index < 0 || Index >= Count()) return false;
  Image->SetSize(FWidth, FHeight);
  TCanvas* c = Image->Canvas();
  c->Brush()->SetColor(FBkColor == clNone ? clBlack : FBkColor);
  c->FillRect(TRect(0, 0, FWidth, FHeight));
  Draw(c, 0, 0, Index);
  return true;
}

void TCustomImageList::EndUpdate() {
  if (FUpdateCount > 0 && --FUpdateCount == 0 && FChanged) {
    FChanged = false;
    Change();
  }
}

void TCustomImageList::RegisterChanges(TChangeLink* Value) {
  if (!Value || std::find(FLinks.begin(), FLinks.end(), Value) != FLinks.end()) return;
  Value->Sender = this;
  FLinks.push_back(Value);
}

void TCustomImageList::UnRegisterChanges(TChangeLink* Value) {
  auto it = std::find(FLinks.begin(), FLinks.end(), Value);
  if (it == FLinks.end()) return;
  (*it)->Sender = nullptr;
  FLinks.erase(it);
}

void TCustomImageList::Change() {
  if (FUpdateCount > 0) {
    FChanged = true;
    return;
  }
  if (OnChange) OnChange(this);
  for (TChangeLink* link : std::vector<TChangeLink*>(FLinks)) link->Change();
}

void TCustomImageList::Assign(TPersistent* Source) {
  auto* other = dynamic_cast<TCustomImageList*>(Source);
  if (!other) {
    TComponent::Assign(Source);
    return;
  }
  BeginUpdate();
  FreeHandle();
  FWidth = other->FWidth;
  FHeight = other->FHeight;
  FMasked = other->FMasked;
  FColorDepth = other->FColorDepth;
  FBkColor = other->FBkColor;
  BlendColor = other->BlendColor;
  DrawingStyle = other->DrawingStyle;
  ImageType = other->ImageType;
  AllocBy = other->AllocBy;
  ShareImages = false;
  if (other->FHandle) FHandle = ImageList_Duplicate(other->FHandle);
  Change();
  EndUpdate();
}

void RegisterImgListClasses() {
  using L = TCustomImageList;
  RegisterPropertyClass<TCustomImageList, TComponent>(
      "TCustomImageList",
      {IntProp<L>("Width", [](L* l) { return l->Width(); }, [](L* l, int v) { l->SetWidth(v); }),
       IntProp<L>("Height", [](L* l) { return l->Height(); }, [](L* l, int v) { l->SetHeight(v); }),
       BoolProp<L>("Masked", [](L* l) { return l->Masked(); }, [](L* l, bool v) { l->SetMasked(v); }),
       ColorProp<L>("BkColor", [](L* l) { return l->BkColor(); }, [](L* l, TColor v) { l->SetBkColor(v); }),
       ColorProp<L>("BlendColor", [](L* l) { return l->BlendColor; }, [](L* l, TColor v) { l->BlendColor = v; }),
       BoolProp<L>("ShareImages", [](L* l) { return l->ShareImages; }, [](L* l, bool v) { l->ShareImages = v; }),
       IntProp<L>("AllocBy", [](L* l) { return l->AllocBy; }, [](L* l, int v) { l->AllocBy = v; }),
       EnumProp<L, TColorDepth>("ColorDepth", {"cdDeviceDependent", "cd4Bit", "cd8Bit", "cd16Bit", "cd24Bit", "cd32Bit"},
                                [](L* l) { return l->ColorDepth(); }, [](L* l, TColorDepth v) { l->SetColorDepth(v); }),
       EnumProp<L, TDrawingStyle>("DrawingStyle", {"dsFocus", "dsSelected", "dsNormal", "dsTransparent"},
                                  [](L* l) { return l->DrawingStyle; }, [](L* l, TDrawingStyle v) { l->DrawingStyle = v; }),
       EnumProp<L, TImageType>("ImageType", {"itImage", "itMask"}, [](L* l) { return l->ImageType; },
                               [](L* l, TImageType v) { l->ImageType = v; }),
       EventProp<L>("OnChange", &L::OnChange)});
  RegisterPropertyClass<TImageList, TCustomImageList>("TImageList", {});
}
