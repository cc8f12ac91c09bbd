// Labels, buttons, check boxes, radio buttons, group boxes, edits, memos,
// combo boxes and list boxes.

#include "platform/vcl/StdCtrls.h"

#include <algorithm>

#include "platform/vcl/TypInfo.h"
#include "platform/win/Controls.h"

int FontPixelHeight(TFont& Font) {
  HDC dc = CreateCompatibleDC(nullptr);
  HGDIOBJ old = SelectObject(dc, Font.Handle());
  TEXTMETRIC tm;
  GetTextMetrics(dc, &tm);
  SelectObject(dc, old);
  DeleteDC(dc);
  return tm.tmHeight;
}

UINT AlignmentToDrawText(TAlignment Alignment) {
  switch (Alignment) {
    case taRightJustify: return DT_RIGHT;
    case taCenter: return DT_CENTER;
    default: return DT_LEFT;
  }
}

// ---- TCustomLabel ----

TCustomLabel::TCustomLabel(TComponent* AOwner) : TGraphicControl(AOwner) {
  ControlStyle = ControlStyle + TControlStyle{csOpaque, csReplicatable};
  FParentColor = true;
  FWidth = 65;
  FHeight = 17;
}

void TCustomLabel::SetAlignment(TAlignment Value) {
  if (Value == FAlignment) return;
  FAlignment = Value;
  Invalidate();
}

void TCustomLabel::SetAutoSize(bool Value) {
  if (Value == FAutoSize) return;
  FAutoSize = Value;
  AdjustBounds();
}

void TCustomLabel::SetLayout(TTextLayout Value) {
  if (Value == FLayout) return;
  FLayout = Value;
  Invalidate();
}

void TCustomLabel::SetWordWrap(bool Value) {
  if (Value == FWordWrap) return;
  FWordWrap = Value;
  AdjustBounds();
  Invalidate();
}

void TCustomLabel::SetTransparent(bool Value) {
  if (Value == FTransparent) return;
  FTransparent = Value;
  if (Value) ControlStyle.Exclude(csOpaque);
  else ControlStyle.Include(csOpaque);
  Invalidate();
}

void TCustomLabel::SetShowAccelChar(bool Value) {
  if (Value == FShowAccelChar) return;
  FShowAccelChar = Value;
  AdjustBounds();
  Invalidate();
}

void TCustomLabel::SetFocusControl(TWinControl* Value) {
  if (FFocusControl) RemoveFreeNotification(FFocusControl);
  FFocusControl = Value;
  if (Value) FreeNotification(Value);
}

void TCustomLabel::Notification(TComponent* AComponent, TOperation Operation) {
  TGraphicControl::Notification(AComponent, Operation);
  if (Operation == opRemove && AComponent == FFocusControl) FFocusControl = nullptr;
}

void TCustomLabel::WndProc(TMessage& Message) {
  if (Message.Msg == CM_DIALOGCHAR && FFocusControl && FShowAccelChar && Enabled() &&
      IsAccel(char32_t(Message.WParam), Caption()) && FFocusControl->CanFocus()) {
    FFocusControl->SetFocus();
    Message.Result = 1;
    return;
  }
  TGraphicControl::WndProc(Message);
}

void TCustomLabel::SetText(const String& Value) {
  if (Value == FText) return;
  FText = Value;
  Perform(CM_TEXTCHANGED, 0, 0);
  AdjustBounds();
  Invalidate();
}

void TCustomLabel::FontChanged() {
  AdjustBounds();
  Invalidate();
}

void TCustomLabel::DoDrawText(TRect& Rect, UINT Flags) {
  String text = FText;
  if ((Flags & DT_CALCRECT) && (text.empty() || (FShowAccelChar && text == "&"))) text += " ";
  if (!FShowAccelChar) Flags |= DT_NOPREFIX;
  Flags |= AlignmentToDrawText(FAlignment);
  if (FWordWrap) Flags |= DT_WORDBREAK;
  HDC dc = Canvas()->HandleAllocated() ? Canvas()->Handle() : nullptr;
  const bool own = dc == nullptr;
  if (own) dc = CreateCompatibleDC(nullptr);
  HGDIOBJ old = SelectObject(dc, FFont.Handle());
  SetBkMode(dc, TRANSPARENT);
  RECT r = Rect;
  if (!FEnabled && !(Flags & DT_CALCRECT)) {
    // The disabled look: the text embossed in the highlight colour under the shadow colour.
    RECT o = r;
    OffsetRect(&o, 1, 1);
    SetTextColor(dc, ColorToRGB(clBtnHighlight));
    DrawText(dc, text.c_str(), -1, &o, Flags);
    SetTextColor(dc, ColorToRGB(clBtnShadow));
  } else {
    SetTextColor(dc, ColorToRGB(FFont.Color()));
  }
  DrawText(dc, text.c_str(), -1, &r, Flags);
  SelectObject(dc, old);
  if (own) DeleteDC(dc);
  Rect = TRect(r);
}

void TCustomLabel::Paint() {
  TCanvas* c = Canvas();
  const TRect client = ClientRect();
  if (!FTransparent) {
    c->Brush()->SetColor(FColor);
    c->FillRect(client);
  }
  TRect r = client;
  if (FLayout != tlTop) {
    TRect calc = client;
    DoDrawText(calc, DT_CALCRECT | DT_EXPANDTABS);
    const int h = calc.Height();
    const int dy = FLayout == tlBottom ? client.Height() - h : (client.Height() - h) / 2;
    r.Top += dy;
  }
  DoDrawText(r, DT_EXPANDTABS);
}

void TCustomLabel::AdjustBounds() {
  if (!FAutoSize) return;
  TRect r = ClientRect();
  if (!FWordWrap) r.Right = r.Left + 0x3FFF;
  DoDrawText(r, DT_CALCRECT | DT_EXPANDTABS);
  int x = FLeft;
  if (FAlignment == taRightJustify) x = FLeft + FWidth - r.Width();
  else if (FAlignment == taCenter && !FWordWrap) x = FLeft + (FWidth - r.Width()) / 2;
  SetBounds(x, FTop, FWordWrap ? FWidth : r.Width(), r.Height());
}

// ---- TButtonControl ----

TButtonControl::TButtonControl(TComponent* AOwner) : TWinControl(AOwner) {}

void TButtonControl::SetWordWrap(bool Value) {
  if (Value == FWordWrap) return;
  FWordWrap = Value;
  RecreateWnd();
}

void TButtonControl::CreateParams(TCreateParams& Params) {
  TWinControl::CreateParams(Params);
  CreateSubClass(Params, "BUTTON");
  if (FWordWrap) Params.Style |= BS_MULTILINE;
  if (FAlignment == taLeftJustify) Params.Style |= BS_LEFTTEXT;
}

void TButtonControl::SetTextSide(TAlignment Value) {
  if (Value == FAlignment) return;
  FAlignment = Value;
  RecreateWnd();
}

void TButtonControl::WndProc(TMessage& Message) {
  // Buttons paint their own background from the parent's colour.
  if (Message.Msg == WM_ERASEBKGND) {
    Message.Result = 1;
    return;
  }
  TWinControl::WndProc(Message);
}

// ---- TButton ----

TButton::TButton(TComponent* AOwner) : TButtonControl(AOwner), FImageLink(std::make_unique<TChangeLink>()) {
  ControlStyle = TControlStyle{csSetCaption, csDoubleClicks};
  FWidth = 75;
  FHeight = 25;
  FTabStop = true;
  FImageLink->OnChange = [this](TObject*) { UpdateImages(); };
  FImageMargins.OnChange = [this](TObject*) { UpdateImages(); };
}

TButton::~TButton() {
  if (FHandle) {
    BUTTON_IMAGELIST none;
    SendMessageW(FHandle, BCM_SETIMAGELIST, 0, LPARAM(&none));
  }
  if (FStateImages) ImageList_Destroy(FStateImages);
}

void TButton::SetImages(TCustomImageList* Value) {
  if (FImages) {
    FImages->UnRegisterChanges(FImageLink.get());
    RemoveFreeNotification(FImages);
  }
  FImages = Value;
  if (Value) {
    Value->RegisterChanges(FImageLink.get());
    FreeNotification(Value);
  }
  UpdateImages();
}

void TButton::SetStateImage(int State, int Value) {
  if (FImageIndex[State] == Value) return;
  FImageIndex[State] = Value;
  UpdateImages();
}

void TButton::SetImageAlignment(TImageAlignment Value) {
  if (FImageAlignment == Value) return;
  FImageAlignment = Value;
  UpdateImages();
}

void TButton::Notification(TComponent* AComponent, TOperation Operation) {
  TButtonControl::Notification(AComponent, Operation);
  if (Operation == opRemove && AComponent == FImages) {
    FImages = nullptr;  // on its way out: it let its links go already
    UpdateImages();
  }
}

void TButton::CreateHandleDone() {
  TButtonControl::CreateHandleDone();
  UpdateImages();
}

void TButton::UpdateImages() {
  if (!FHandle) return;
  BUTTON_IMAGELIST info;
  const int count = FImages ? FImages->Count() : 0;
  auto valid = [count](int index) { return index >= 0 && index < count; };
  HIMAGELIST old = FStateImages;
  FStateImages = nullptr;
  if (valid(FImageIndex[0])) {
    FStateImages = ImageList_Create(FImages->Width(), FImages->Height(), ILC_COLOR32 | ILC_MASK, 5, 0);
    for (int index : FImageIndex) {
      HICON icon = ImageList_GetIcon(FImages->Handle(), valid(index) ? index : FImageIndex[0], ILD_NORMAL);
      ImageList_AddIcon(FStateImages, icon);
      if (icon) DestroyIcon(icon);
    }
    info.himl = FStateImages;
    info.margin = RECT{FImageMargins.Left(), FImageMargins.Top(), FImageMargins.Right(), FImageMargins.Bottom()};
    static constexpr UINT kAlign[] = {BUTTON_IMAGELIST_ALIGN_LEFT, BUTTON_IMAGELIST_ALIGN_RIGHT, BUTTON_IMAGELIST_ALIGN_TOP,
                                      BUTTON_IMAGELIST_ALIGN_BOTTOM, BUTTON_IMAGELIST_ALIGN_CENTER};
    info.uAlign = kAlign[FImageAlignment];
  }
  SendMessageW(FHandle, BCM_SETIMAGELIST, 0, LPARAM(&info));
  if (old) ImageList_Destroy(old);
}

void TButton::SetDefault(bool Value) {
  if (Value == FDefault) return;
  FDefault = Value;
  if (FHandle) SendMessageW(FHandle, BM_SETSTYLE, Value ? BS_DEFPUSHBUTTON : BS_PUSHBUTTON, TRUE);
}

void TButton::CreateParams(TCreateParams& Params) {
  TButtonControl::CreateParams(Params);
  Params.Style |= FDefault ? BS_DEFPUSHBUTTON : BS_PUSHBUTTON;
}

void TButton::Click() {
  if (TCustomForm* form = GetParentForm()) form->SetModalResult(FModalResult);
  TButtonControl::Click();
}

bool TButton::IsActiveDefault() {
  TCustomForm* form = GetParentForm();
  TWinControl* focused = form ? form->ActiveControl() : nullptr;
  if (focused && focused->HandleAllocated() && GetFocus() != focused->Handle()) focused = nullptr;
  if (dynamic_cast<TButton*>(focused)) return focused == this;
  return FDefault;
}

void TButton::WndProc(TMessage& Message) {
  switch (Message.Msg) {
    case CN_COMMAND:
      if (HIWORD(Message.WParam) == BN_CLICKED) Click();
      Message.Result = 0;
      return;
    case CM_DIALOGKEY: {
      const WORD key = WORD(Message.WParam);
      const bool wanted = (key == VK_RETURN && IsActiveDefault()) || (key == VK_ESCAPE && FCancel);
      if (wanted && KeyboardShiftState().Empty() && CanFocus()) {
        Click();
        Message.Result = 1;
      } else {
        Message.Result = 0;
      }
      return;
    }
  }
  TButtonControl::WndProc(Message);
}

// ---- TCustomCheckBox ----

TCustomCheckBox::TCustomCheckBox(TComponent* AOwner) : TButtonControl(AOwner) {
  ControlStyle = TControlStyle{csSetCaption, csDoubleClicks};
  FWidth = 97;
  FHeight = 17;
  FTabStop = true;
}

void TCustomCheckBox::CreateParams(TCreateParams& Params) {
  TButtonControl::CreateParams(Params);
  Params.Style |= BS_3STATE;
}

void TCustomCheckBox::CreateHandleDone() {
  SendMessageW(FHandle, BM_SETCHECK, WPARAM(FState), 0);
}

void TCustomCheckBox::SetState(TCheckBoxState Value) {
  if (Value == FState) return;
  FState = Value;
  if (FHandle) SendMessageW(FHandle, BM_SETCHECK, WPARAM(Value), 0);
  if (!ClicksDisabled) Click();
}

void TCustomCheckBox::Toggle() {
  switch (FState) {
    case cbUnchecked: SetState(FAllowGrayed ? cbGrayed : cbChecked); break;
    case cbChecked: SetState(cbUnchecked); break;
    case cbGrayed: SetState(cbChecked); break;
  }
}

void TCustomCheckBox::WndProc(TMessage& Message) {
  if (Message.Msg == CN_COMMAND) {
    if (HIWORD(Message.WParam) == BN_CLICKED) Toggle();
    Message.Result = 0;
    return;
  }
  TButtonControl::WndProc(Message);
}

// ---- TRadioButton ----

TRadioButton::TRadioButton(TComponent* AOwner) : TButtonControl(AOwner) {
  ControlStyle = TControlStyle{csSetCaption, csDoubleClicks};
  FWidth = 113;
  FHeight = 17;
}

void TRadioButton::CreateParams(TCreateParams& Params) {
  TButtonControl::CreateParams(Params);
  Params.Style |= BS_RADIOBUTTON;
}

void TRadioButton::CreateHandleDone() { SendMessageW(FHandle, BM_SETCHECK, FChecked ? 1 : 0, 0); }

void TRadioButton::SetChecked(bool Value) {
  if (Value == FChecked) return;
  FChecked = Value;
  FTabStop = Value;
  if (FHandle) SendMessageW(FHandle, BM_SETCHECK, Value ? 1 : 0, 0);
  if (!Value) return;
  if (FParent)
    for (int i = 0; i < FParent->ControlCount(); ++i)
      if (auto* r = dynamic_cast<TRadioButton*>(FParent->Controls(i)); r && r != this) r->SetChecked(false);
  if (!ClicksDisabled) Click();
}

void TRadioButton::WndProc(TMessage& Message) {
  if (Message.Msg == CN_COMMAND) {
    switch (HIWORD(Message.WParam)) {
      case BN_CLICKED: SetChecked(true); break;
      case BN_DOUBLECLICKED:
        if (OnDblClick) OnDblClick(this);
        break;
    }
    Message.Result = 0;
    return;
  }
  // A radio button that gets the focus from the keyboard (arrows) is checked, as the platform's are.
  if (Message.Msg == WM_SETFOCUS && !FChecked && GetKeyState(VK_LBUTTON) >= 0) {
    TButtonControl::WndProc(Message);
    SetChecked(true);
    return;
  }
  TButtonControl::WndProc(Message);
}

// ---- TCustomGroupBox ----

TCustomGroupBox::TCustomGroupBox(TComponent* AOwner) : TWinControl(AOwner) {
  ControlStyle = TControlStyle{csAcceptsControls, csCaptureMouse, csClickEvents, csSetCaption, csDoubleClicks,
                               csReplicatable, csParentBackground};
  FWidth = 185;
  FHeight = 105;
}

void TCustomGroupBox::CreateParams(TCreateParams& Params) {
  TWinControl::CreateParams(Params);
  CreateSubClass(Params, "BUTTON");
  Params.Style |= BS_GROUPBOX | WS_CLIPCHILDREN;
}

void TCustomGroupBox::AdjustClientRect(TRect& Rect) {
  // The caption runs along the top edge; the frame takes a pixel or two elsewhere.
  const int h = std::max(1, FontPixelHeight(FFont));
  Rect = TRect(Rect.Left + 2, Rect.Top + h, Rect.Right - 2, Rect.Bottom - 2);
}

void TCustomGroupBox::WndProc(TMessage& Message) {
  // The class answers HTTRANSPARENT; clicks on the box itself still reach the control.
  if (Message.Msg == WM_NCHITTEST) {
    Message.Result = HTCLIENT;
    return;
  }
  if (Message.Msg == WM_ERASEBKGND) {
    Message.Result = 1;
    return;
  }
  TWinControl::WndProc(Message);
}

// ---- TCustomEdit ----

TCustomEdit::TCustomEdit(TComponent* AOwner) : TWinControl(AOwner) {
  ControlStyle = TControlStyle{csCaptureMouse, csClickEvents, csSetCaption, csDoubleClicks, csFixedHeight};
  FWidth = 121;
  FHeight = 21;
  FTabStop = true;
  FParentColor = false;
  FColor = clWindow;
}

void TCustomEdit::CreateParams(TCreateParams& Params) {
  TWinControl::CreateParams(Params);
  CreateSubClass(Params, "EDIT");
  Params.Style |= ES_AUTOHSCROLL;
  if (FReadOnly) Params.Style |= ES_READONLY;
  if (FCharCase == ecUpperCase) Params.Style |= ES_UPPERCASE;
  if (FCharCase == ecLowerCase) Params.Style |= ES_LOWERCASE;
  if (FBorderStyle == bsSingle) Params.ExStyle |= WS_EX_CLIENTEDGE;
}

void TCustomEdit::CreateHandleDone() {
  SendMessageW(FHandle, EM_LIMITTEXT, WPARAM(FMaxLength), 0);
  if (FPasswordChar) SendMessageW(FHandle, EM_SETPASSWORDCHAR, WPARAM(uint8_t(FPasswordChar)), 0);
}

void TCustomEdit::SetReadOnly(bool Value) {
  FReadOnly = Value;
  if (FHandle) SendMessageW(FHandle, EM_SETREADONLY, Value ? TRUE : FALSE, 0);
}

void TCustomEdit::SetMaxLength(int Value) {
  FMaxLength = std::max(0, Value);
  if (FHandle) SendMessageW(FHandle, EM_LIMITTEXT, WPARAM(FMaxLength), 0);
}

void TCustomEdit::SetPasswordChar(char Value) {
  if (Value == FPasswordChar) return;
  FPasswordChar = Value;
  if (FHandle) {
    SendMessageW(FHandle, EM_SETPASSWORDCHAR, WPARAM(uint8_t(Value)), 0);
    Invalidate();
  }
}

void TCustomEdit::SetCharCase(TEditCharCase Value) {
  if (Value == FCharCase) return;
  FCharCase = Value;
  RecreateWnd();
}

void TCustomEdit::SetBorderStyle(TFormBorderStyle Value) {
  if (Value == FBorderStyle) return;
  FBorderStyle = Value;
  RecreateWnd();
}

bool TCustomEdit::Modified() { return FHandle && SendMessageW(FHandle, EM_GETMODIFY, 0, 0) != 0; }

void TCustomEdit::SetModified(bool Value) {
  if (FHandle) SendMessageW(FHandle, EM_SETMODIFY, Value ? TRUE : FALSE, 0);
}

int TCustomEdit::SelStart() {
  DWORD start = 0, end = 0;
  SendMessageW(Handle(), EM_GETSEL, WPARAM(&start), LPARAM(&end));
  return int(start);
}

void TCustomEdit::SetSelStart(int Value) { SendMessageW(Handle(), EM_SETSEL, WPARAM(Value), LPARAM(Value)); }

int TCustomEdit::SelLength() {
  DWORD start = 0, end = 0;
  SendMessageW(Handle(), EM_GETSEL, WPARAM(&start), LPARAM(&end));
  return int(end) - int(start);
}

void TCustomEdit::SetSelLength(int Value) {
  const int start = SelStart();
  SendMessageW(Handle(), EM_SETSEL, WPARAM(start), LPARAM(start + Value));
}

String TCustomEdit::SelText() {
  const std::u16string all = UTF8ToUTF16(Text());
  const int start = std::clamp(SelStart(), 0, int(all.size()));
  const int len = std::clamp(SelLength(), 0, int(all.size()) - start);
  return UTF16ToUTF8(all.substr(size_t(start), size_t(len)));
}

void TCustomEdit::SetSelText(const String& Value) {
  SendMessageW(Handle(), EM_REPLACESEL, 0, LPARAM(Value.c_str()));
}

void TCustomEdit::SelectAll() {
  if (FHandle) SendMessageW(FHandle, EM_SETSEL, 0, -1);
}

void TCustomEdit::Change() {
  if (OnChange) OnChange(this);
}

void TCustomEdit::WndProc(TMessage& Message) {
  switch (Message.Msg) {
    case CN_COMMAND:
      if (HIWORD(Message.WParam) == EN_CHANGE) Change();
      Message.Result = 0;
      return;
    case CM_TEXTCHANGED:
      // With a window the edit itself reports the change (EN_CHANGE).
      if (!FHandle) Change();
      return;
  }
  TWinControl::WndProc(Message);
}

// ---- TMemoStrings ----

std::vector<String> TMemoStrings::Split() const {
  std::vector<String> lines;
  const String text = FMemo->Text();
  size_t start = 0;
  while (start < text.size()) {
    size_t end = text.find_first_of("\r\n", start);
    if (end == String::npos) {
      lines.push_back(text.substr(start));
      break;
    }
    lines.push_back(text.substr(start, end - start));
    start = end + ((text[end] == '\r' && end + 1 < text.size() && text[end + 1] == '\n') ? 2 : 1);
  }
  FCount = int(lines.size());
  return lines;
}

void TMemoStrings::Join(const std::vector<String>& Lines) {
  String text;
  for (const String& l : Lines) text += l + "\r\n";
  FMemo->SetTextValue(text);
  FCount = int(Lines.size());
}

int TMemoStrings::Count() const {
  if (FCount < 0) Split();
  return FCount;
}

String TMemoStrings::Get(int Index) const {
  std::vector<String> lines = Split();
  CheckIndex(Index, int(lines.size()));
  return lines[size_t(Index)];
}

int TMemoStrings::Add(const String& S) {
  const int index = Count();
  if (!FMemo->Parent()) {
    Insert(index, S);
    return index;
  }
  // The end of the window's text: append there, with a line break first when the last line is open.
  HWND h = FMemo->Handle();
  const LRESULT lines = SendMessageW(h, EM_GETLINECOUNT, 0, 0);
  const LRESULT lastStart = SendMessageW(h, EM_LINEINDEX, WPARAM(lines - 1), 0);
  const bool open = SendMessageW(h, EM_LINELENGTH, WPARAM(lastStart), 0) > 0;
  const String piece = (open ? "\r\n" : "") + S + "\r\n";
  FMemo->FAppending = true;
  try {
    SendMessageW(h, EM_SETSEL, WPARAM(0x7FFFFFFF), LPARAM(0x7FFFFFFF));
    SendMessageW(h, EM_REPLACESEL, FALSE, LPARAM(piece.c_str()));
  } catch (...) {
    FMemo->FAppending = false;
    FCount = -1;
    throw;
  }
  FMemo->FAppending = false;
  FCount = index + 1;
  return index;
}

void TMemoStrings::Insert(int Index, const String& S) {
  std::vector<String> lines = Split();
  CheckIndex(Index, int(lines.size()) + 1);
  lines.insert(lines.begin() + Index, S);
  Join(lines);
}

void TMemoStrings::Put(int Index, const String& S) {
  std::vector<String> lines = Split();
  CheckIndex(Index, int(lines.size()));
  lines[size_t(Index)] = S;
  Join(lines);
}

void TMemoStrings::Delete(int Index) {
  std::vector<String> lines = Split();
  CheckIndex(Index, int(lines.size()));
  lines.erase(lines.begin() + Index);
  Join(lines);
}

void TMemoStrings::Clear() {
  FMemo->SetTextValue(String());
  FCount = 0;
}

void TMemoStrings::SetText(std::string_view Value) {
  FMemo->SetTextValue(String(Value));
  FCount = -1;
}

// ---- TCustomMemo ----

TCustomMemo::TCustomMemo(TComponent* AOwner) : TCustomEdit(AOwner) {
  ControlStyle.Exclude(csFixedHeight);
  FWidth = 185;
  FHeight = 89;
}

void TCustomMemo::CreateParams(TCreateParams& Params) {
  TCustomEdit::CreateParams(Params);
  Params.Style &= ~DWORD(ES_AUTOHSCROLL);
  Params.Style |= ES_MULTILINE | ES_AUTOVSCROLL | AlignmentToDrawText(FAlignment);
  if (FWantReturns) Params.Style |= ES_WANTRETURN;
  if (!FWordWrap || FScrollBars == ssHorizontal || FScrollBars == ssBoth) Params.Style |= ES_AUTOHSCROLL;
  if (FScrollBars == ssVertical || FScrollBars == ssBoth) Params.Style |= WS_VSCROLL;
  if (FScrollBars == ssHorizontal || FScrollBars == ssBoth) Params.Style |= WS_HSCROLL;
}

void TCustomMemo::SetScrollBars(TScrollStyle Value) {
  if (Value == FScrollBars) return;
  FScrollBars = Value;
  RecreateWnd();
}

void TCustomMemo::SetWordWrap(bool Value) {
  if (Value == FWordWrap) return;
  FWordWrap = Value;
  RecreateWnd();
}

void TCustomMemo::SetAlignment(TAlignment Value) {
  if (Value == FAlignment) return;
  FAlignment = Value;
  RecreateWnd();
}

void TCustomMemo::Change() {
  if (!FAppending) FLines.FCount = -1;
  TCustomEdit::Change();
}

void TCustomMemo::WndProc(TMessage& Message) {
  if (Message.Msg == WM_GETDLGCODE) {
    TCustomEdit::WndProc(Message);
    // Enter and Tab go to the form unless the memo wants them.
    if (!FWantReturns) Message.Result &= ~DLGC_WANTALLKEYS;
    if (FWantTabs) Message.Result |= DLGC_WANTTAB;
    else Message.Result &= ~DLGC_WANTTAB;
    return;
  }
  if (Message.Msg == WM_CHAR && ((Message.WParam == '\r' && !FWantReturns) || (Message.WParam == '\t' && !FWantTabs)))
    return;
  TCustomEdit::WndProc(Message);
}

// ---- TItemStrings ----

int TItemStrings::InsertAt(int Index, const String& S) {
  FItems.insert(FItems.begin() + Index, Item{S, nullptr});
  if (FControl->HandleAllocated()) SendMessageW(FControl->Handle(), FMsgs.Insert, WPARAM(Index), LPARAM(S.c_str()));
  return Index;
}

int TItemStrings::Add(const String& S) {
  int at = int(FItems.size());
  if (FSorted) {
    at = 0;
    while (at < int(FItems.size()) && CompareStrings(FItems[size_t(at)].Str, S) <= 0) ++at;
  }
  return InsertAt(at, S);
}

void TItemStrings::Insert(int Index, const String& S) {
  CheckIndex(Index, int(FItems.size()) + 1);
  InsertAt(Index, S);
}

void TItemStrings::Delete(int Index) {
  CheckIndex(Index, int(FItems.size()));
  FItems.erase(FItems.begin() + Index);
  if (FControl->HandleAllocated()) SendMessageW(FControl->Handle(), FMsgs.Delete, WPARAM(Index), 0);
}

void TItemStrings::Clear() {
  FItems.clear();
  if (FControl->HandleAllocated()) SendMessageW(FControl->Handle(), FMsgs.Reset, 0, 0);
}

String TItemStrings::Get(int Index) const {
  CheckIndex(Index, int(FItems.size()));
  return FItems[size_t(Index)].Str;
}

void TItemStrings::Put(int Index, const String& S) {
  CheckIndex(Index, int(FItems.size()));
  TObject* obj = FItems[size_t(Index)].Obj;
  Delete(Index);
  InsertAt(Index, S);
  FItems[size_t(Index)].Obj = obj;
}

TObject* TItemStrings::GetObject(int Index) const {
  CheckIndex(Index, int(FItems.size()));
  return FItems[size_t(Index)].Obj;
}

void TItemStrings::PutObject(int Index, TObject* AObject) {
  CheckIndex(Index, int(FItems.size()));
  FItems[size_t(Index)].Obj = AObject;
}

void TItemStrings::SetSorted(bool Value) {
  if (Value == FSorted) return;
  FSorted = Value;
  if (!Value) return;
  std::vector<Item> all = std::move(FItems);
  Clear();
  for (const Item& item : all) PutObject(Add(item.Str), item.Obj);
}

void TItemStrings::Fill(HWND Handle) {
  SendMessageW(Handle, FMsgs.Reset, 0, 0);
  for (size_t i = 0; i < FItems.size(); ++i) SendMessageW(Handle, FMsgs.Insert, WPARAM(i), LPARAM(FItems[i].Str.c_str()));
}

// ---- TCustomComboBox ----

TCustomComboBox::TCustomComboBox(TComponent* AOwner)
    : TWinControl(AOwner),
      FItems(this, TItemStrings::Messages{CB_ADDSTRING, CB_INSERTSTRING, CB_DELETESTRING, CB_RESETCONTENT,
                                           CB_SETITEMDATA, UINT(CB_ERR)}) {
  ControlStyle = TControlStyle{csCaptureMouse, csSetCaption, csDoubleClicks, csFixedHeight};
  FWidth = 145;
  FHeight = 21;
  FTabStop = true;
  FParentColor = false;
  FColor = clWindow;
}

void TCustomComboBox::CreateParams(TCreateParams& Params) {
  TWinControl::CreateParams(Params);
  CreateSubClass(Params, "COMBOBOX");
  static const DWORD styles[] = {CBS_DROPDOWN, CBS_SIMPLE, CBS_DROPDOWNLIST, CBS_DROPDOWNLIST | CBS_OWNERDRAWFIXED,
                                 CBS_DROPDOWNLIST | CBS_OWNERDRAWVARIABLE};
  Params.Style |= styles[FStyle] | CBS_AUTOHSCROLL | WS_VSCROLL | CBS_HASSTRINGS;
}

void TCustomComboBox::CreateHandleDone() {
  FItems.Fill(FHandle);
  SendMessageW(FHandle, CB_SETMINVISIBLE, WPARAM(FDropDownCount), 0);
  if (FMaxLength) SendMessageW(FHandle, CB_LIMITTEXT, WPARAM(FMaxLength), 0);
  if (FItemIndex >= 0) SendMessageW(FHandle, CB_SETCURSEL, WPARAM(FItemIndex), 0);
  else if (FStyle == csDropDown || FStyle == csSimple) SetWindowTextW(FHandle, FText.c_str());
}

void TCustomComboBox::DestroyWnd() {
  if (FHandle) {
    FItemIndex = int(SendMessageW(FHandle, CB_GETCURSEL, 0, 0));
    FText = GetText();
  }
  TWinControl::DestroyWnd();
}

int TCustomComboBox::ItemIndex() {
  if (FHandle) return int(SendMessageW(FHandle, CB_GETCURSEL, 0, 0));
  return FItemIndex;
}

void TCustomComboBox::SetItemIndex(int Value) {
  if (Value < -1 || Value >= FItems.Count()) Value = -1;
  FItemIndex = Value;
  if (FHandle) SendMessageW(FHandle, CB_SETCURSEL, WPARAM(Value), 0);
  else if (Value >= 0) FText = FItems[Value];
}

void TCustomComboBox::SetStyle(TComboBoxStyle Value) {
  if (Value == FStyle) return;
  FStyle = Value;
  RecreateWnd();
}

bool TCustomComboBox::DroppedDown() { return FHandle && SendMessageW(FHandle, CB_GETDROPPEDSTATE, 0, 0) != 0; }

void TCustomComboBox::SetDroppedDown(bool Value) { SendMessageW(Handle(), CB_SHOWDROPDOWN, Value ? TRUE : FALSE, 0); }

void TCustomComboBox::SetDropDownCount(int Value) {
  FDropDownCount = std::max(1, Value);
  if (FHandle) SendMessageW(FHandle, CB_SETMINVISIBLE, WPARAM(FDropDownCount), 0);
}

void TCustomComboBox::SetMaxLength(int Value) {
  FMaxLength = std::max(0, Value);
  if (FHandle) SendMessageW(FHandle, CB_LIMITTEXT, WPARAM(FMaxLength), 0);
}

void TCustomComboBox::Clear() {
  FItems.Clear();
  FItemIndex = -1;
  SetText(String());
}

String TCustomComboBox::GetText() {
  if (!FHandle) {
    if (FStyle != csDropDown && FStyle != csSimple) return FItemIndex >= 0 ? FItems[FItemIndex] : String();
    return FText;
  }
  return TWinControl::GetText();
}

void TCustomComboBox::SetText(const String& Value) {
  if (FStyle != csDropDown && FStyle != csSimple) {
    // A drop-down list shows only its items: the text selects one.
    SetItemIndex(FItems.IndexOf(Value));
    return;
  }
  TWinControl::SetText(Value);
}

void TCustomComboBox::Change() {
  if (OnChange) OnChange(this);
}

void TCustomComboBox::WndProc(TMessage& Message) {
  if (Message.Msg == CN_COMMAND) {
    switch (HIWORD(Message.WParam)) {
      case CBN_SELCHANGE:
        FItemIndex = int(SendMessageW(FHandle, CB_GETCURSEL, 0, 0));
        Change();
        if (OnSelect) OnSelect(this);
        break;
      case CBN_EDITCHANGE: Change(); break;
      case CBN_DROPDOWN:
        if (OnDropDown) OnDropDown(this);
        break;
      case CBN_CLOSEUP:
        if (OnCloseUp) OnCloseUp(this);
        break;
    }
    Message.Result = 0;
    return;
  }
  TWinControl::WndProc(Message);
}

// ---- TCustomListBox ----

TCustomListBox::TCustomListBox(TComponent* AOwner)
    : TWinControl(AOwner),
      FItems(this, TItemStrings::Messages{LB_ADDSTRING, LB_INSERTSTRING, LB_DELETESTRING, LB_RESETCONTENT,
                                           LB_SETITEMDATA, UINT(LB_ERR)}) {
  ControlStyle = TControlStyle{csSetCaption, csDoubleClicks};
  FWidth = 121;
  FHeight = 97;
  FTabStop = true;
  FParentColor = false;
  FColor = clWindow;
}

void TCustomListBox::CreateParams(TCreateParams& Params) {
  TWinControl::CreateParams(Params);
  CreateSubClass(Params, "LISTBOX");
  Params.Style |= LBS_NOTIFY | LBS_HASSTRINGS | WS_VSCROLL | LBS_NOINTEGRALHEIGHT;
  if (FMultiSelect) Params.Style |= LBS_EXTENDEDSEL;
  Params.ExStyle |= WS_EX_CLIENTEDGE;
}

void TCustomListBox::CreateHandleDone() {
  FItems.Fill(FHandle);
  SendMessageW(FHandle, LB_SETITEMHEIGHT, 0, FItemHeight);
  if (FMultiSelect) {
    for (size_t i = 0; i < FSelected.size() && int(i) < FItems.Count(); ++i)
      if (FSelected[i]) SendMessageW(FHandle, LB_SETSEL, TRUE, LPARAM(i));
  }
  if (FItemIndex >= 0) SetItemIndex(FItemIndex);
}

void TCustomListBox::DestroyWnd() {
  if (FHandle) {
    FItemIndex = ItemIndex();
    FSelected.assign(size_t(FItems.Count()), false);
    if (FMultiSelect)
      for (int i = 0; i < FItems.Count(); ++i) FSelected[size_t(i)] = Selected(i);
  }
  TWinControl::DestroyWnd();
}

int TCustomListBox::ItemIndex() {
  if (!FHandle) return FItemIndex;
  return int(SendMessageW(FHandle, FMultiSelect ? LB_GETCARETINDEX : LB_GETCURSEL, 0, 0));
}

void TCustomListBox::SetItemIndex(int Value) {
  if (Value < -1 || Value >= FItems.Count()) Value = -1;
  FItemIndex = Value;
  if (!FHandle) return;
  if (FMultiSelect) SendMessageW(FHandle, LB_SETCARETINDEX, WPARAM(Value), FALSE);
  else SendMessageW(FHandle, LB_SETCURSEL, WPARAM(Value), 0);
}

void TCustomListBox::SetMultiSelect(bool Value) {
  if (Value == FMultiSelect) return;
  FMultiSelect = Value;
  RecreateWnd();
}

bool TCustomListBox::Selected(int Index) {
  if (Index < 0 || Index >= FItems.Count()) throw EListError(Format("List index out of bounds (%d)", {Index}));
  if (!FHandle) return FMultiSelect ? (size_t(Index) < FSelected.size() && FSelected[size_t(Index)]) : Index == FItemIndex;
  return SendMessageW(FHandle, LB_GETSEL, WPARAM(Index), 0) > 0;
}

void TCustomListBox::SetSelected(int Index, bool Value) {
  if (Index < 0 || Index >= FItems.Count()) throw EListError(Format("List index out of bounds (%d)", {Index}));
  if (!FMultiSelect) {
    if (Value) SetItemIndex(Index);
    else if (ItemIndex() == Index) SetItemIndex(-1);
    return;
  }
  if (FHandle) {
    SendMessageW(FHandle, LB_SETSEL, Value ? TRUE : FALSE, LPARAM(Index));
  } else {
    FSelected.resize(size_t(FItems.Count()), false);
    FSelected[size_t(Index)] = Value;
  }
}

int TCustomListBox::SelCount() {
  if (!FMultiSelect) return -1;
  if (FHandle) return int(SendMessageW(FHandle, LB_GETSELCOUNT, 0, 0));
  return int(std::count(FSelected.begin(), FSelected.end(), true));
}

void TCustomListBox::SetItemHeight(int Value) {
  FItemHeight = std::max(1, Value);
  if (FHandle) SendMessageW(FHandle, LB_SETITEMHEIGHT, 0, FItemHeight);
}

int TCustomListBox::TopIndex() { return FHandle ? int(SendMessageW(FHandle, LB_GETTOPINDEX, 0, 0)) : 0; }

void TCustomListBox::SetTopIndex(int Value) {
  if (FHandle) SendMessageW(FHandle, LB_SETTOPINDEX, WPARAM(Value), 0);
}

void TCustomListBox::Clear() {
  FItems.Clear();
  FItemIndex = -1;
  FSelected.clear();
}

void TCustomListBox::WndProc(TMessage& Message) {
  if (Message.Msg == CN_COMMAND) {
    switch (HIWORD(Message.WParam)) {
      case LBN_SELCHANGE:
        FItemIndex = ItemIndex();
        Click();
        break;
      case LBN_DBLCLK:
        if (OnDblClick) OnDblClick(this);
        break;
    }
    Message.Result = 0;
    return;
  }
  TWinControl::WndProc(Message);
}

// ---- Published properties ----

namespace {
const std::vector<String> kAlignments{"taLeftJustify", "taRightJustify", "taCenter"};
}  // namespace

void RegisterStdCtrlsClasses() {
  RegisterPropertyClass<TCustomLabel, TGraphicControl>(
      "TCustomLabel",
      {EnumProp<TCustomLabel, TAlignment>("Alignment", kAlignments, [](TCustomLabel* c) { return c->Alignment(); },
                                          [](TCustomLabel* c, TAlignment v) { c->SetAlignment(v); }),
       BoolProp<TCustomLabel>("AutoSize", [](TCustomLabel* c) { return c->AutoSize(); },
                              [](TCustomLabel* c, bool v) { c->SetAutoSize(v); }),
       EnumProp<TCustomLabel, TTextLayout>("Layout", {"tlTop", "tlCenter", "tlBottom"},
                                           [](TCustomLabel* c) { return c->Layout(); },
                                           [](TCustomLabel* c, TTextLayout v) { c->SetLayout(v); }),
       BoolProp<TCustomLabel>("WordWrap", [](TCustomLabel* c) { return c->WordWrap(); },
                              [](TCustomLabel* c, bool v) { c->SetWordWrap(v); }),
       BoolProp<TCustomLabel>("Transparent", [](TCustomLabel* c) { return c->Transparent(); },
                              [](TCustomLabel* c, bool v) { c->SetTransparent(v); }),
       BoolProp<TCustomLabel>("ShowAccelChar", [](TCustomLabel* c) { return c->ShowAccelChar(); },
                              [](TCustomLabel* c, bool v) { c->SetShowAccelChar(v); }),
       ComponentProp<TCustomLabel>("FocusControl", [](TCustomLabel* c) { return c->FocusControl(); },
                                   [](TCustomLabel* c, TComponent* v) { c->SetFocusControl(dynamic_cast<TWinControl*>(v)); })});
  RegisterPropertyClass<TLabel, TCustomLabel>("TLabel", {});
  RegisterPropertyClass<TButtonControl, TWinControl>(
      "TButtonControl", {BoolProp<TButtonControl>("WordWrap", [](TButtonControl* c) { return c->WordWrap(); },
                                                  [](TButtonControl* c, bool v) { c->SetWordWrap(v); })});
  RegisterPropertyClass<TButton, TButtonControl>(
      "TButton", {BoolProp<TButton>("Default", [](TButton* c) { return c->Default(); }, [](TButton* c, bool v) { c->SetDefault(v); }),
                  BoolProp<TButton>("Cancel", [](TButton* c) { return c->Cancel(); }, [](TButton* c, bool v) { c->SetCancel(v); }),
                  IntProp<TButton>("ModalResult", [](TButton* c) { return c->ModalResult(); },
                                   [](TButton* c, int v) { c->SetModalResult(v); }),
                  ComponentProp<TButton>("Images", [](TButton* c) { return c->Images(); },
                                         [](TButton* c, TComponent* v) { c->SetImages(dynamic_cast<TCustomImageList*>(v)); }),
                  IntProp<TButton>("ImageIndex", [](TButton* c) { return c->ImageIndex(); },
                                   [](TButton* c, int v) { c->SetImageIndex(v); }),
                  IntProp<TButton>("HotImageIndex", [](TButton* c) { return c->HotImageIndex(); },
                                   [](TButton* c, int v) { c->SetHotImageIndex(v); }),
                  IntProp<TButton>("PressedImageIndex", [](TButton* c) { return c->PressedImageIndex(); },
                                   [](TButton* c, int v) { c->SetPressedImageIndex(v); }),
                  IntProp<TButton>("DisabledImageIndex", [](TButton* c) { return c->DisabledImageIndex(); },
                                   [](TButton* c, int v) { c->SetDisabledImageIndex(v); }),
                  IntProp<TButton>("SelectedImageIndex", [](TButton* c) { return c->SelectedImageIndex(); },
                                   [](TButton* c, int v) { c->SetSelectedImageIndex(v); }),
                  EnumProp<TButton, TImageAlignment>("ImageAlignment", {"iaLeft", "iaRight", "iaTop", "iaBottom", "iaCenter"},
                                                     [](TButton* c) { return c->ImageAlignment(); },
                                                     [](TButton* c, TImageAlignment v) { c->SetImageAlignment(v); }),
                  ObjectProp<TButton>("ImageMargins", pkClass, [](TButton* c) { return c->ImageMargins(); })});
  RegisterPropertyClass<TImageMargins>(
      "TImageMargins",
      {IntProp<TImageMargins>("Left", [](TImageMargins* m) { return m->Left(); }, [](TImageMargins* m, int v) { m->SetLeft(v); }),
       IntProp<TImageMargins>("Top", [](TImageMargins* m) { return m->Top(); }, [](TImageMargins* m, int v) { m->SetTop(v); }),
       IntProp<TImageMargins>("Right", [](TImageMargins* m) { return m->Right(); },
                              [](TImageMargins* m, int v) { m->SetRight(v); }),
       IntProp<TImageMargins>("Bottom", [](TImageMargins* m) { return m->Bottom(); },
                              [](TImageMargins* m, int v) { m->SetBottom(v); })});
  RegisterPropertyClass<TCustomCheckBox, TButtonControl>(
      "TCustomCheckBox",
      {BoolProp<TCustomCheckBox>("AllowGrayed", [](TCustomCheckBox* c) { return c->AllowGrayed(); },
                                 [](TCustomCheckBox* c, bool v) { c->SetAllowGrayed(v); }),
       EnumProp<TCustomCheckBox, TCheckBoxState>("State", {"cbUnchecked", "cbChecked", "cbGrayed"},
                                                 [](TCustomCheckBox* c) { return c->State(); },
                                                 [](TCustomCheckBox* c, TCheckBoxState v) { c->SetState(v); }),
       NotStored(BoolProp<TCustomCheckBox>("Checked", [](TCustomCheckBox* c) { return c->Checked(); },
                                           [](TCustomCheckBox* c, bool v) { c->SetChecked(v); })),
       EnumProp<TCustomCheckBox, TAlignment>("Alignment", kAlignments, [](TCustomCheckBox* c) { return c->Alignment(); },
                                             [](TCustomCheckBox* c, TAlignment v) { c->SetAlignment(v); })});
  RegisterPropertyClass<TCheckBox, TCustomCheckBox>("TCheckBox", {});
  RegisterPropertyClass<TRadioButton, TButtonControl>(
      "TRadioButton",
      {BoolProp<TRadioButton>("Checked", [](TRadioButton* c) { return c->Checked(); },
                              [](TRadioButton* c, bool v) { c->SetChecked(v); }),
       EnumProp<TRadioButton, TAlignment>("Alignment", kAlignments, [](TRadioButton* c) { return c->Alignment(); },
                                          [](TRadioButton* c, TAlignment v) { c->SetAlignment(v); })});
  RegisterPropertyClass<TCustomGroupBox, TWinControl>("TCustomGroupBox", {});
  RegisterPropertyClass<TGroupBox, TCustomGroupBox>("TGroupBox", {});
  RegisterPropertyClass<TCustomEdit, TWinControl>(
      "TCustomEdit",
      {BoolProp<TCustomEdit>("ReadOnly", [](TCustomEdit* c) { return c->ReadOnly(); },
                             [](TCustomEdit* c, bool v) { c->SetReadOnly(v); }),
       IntProp<TCustomEdit>("MaxLength", [](TCustomEdit* c) { return c->MaxLength(); },
                            [](TCustomEdit* c, int v) { c->SetMaxLength(v); }),
       IntProp<TCustomEdit>("PasswordChar", [](TCustomEdit* c) { return int(uint8_t(c->PasswordChar())); },
                            [](TCustomEdit* c, int v) { c->SetPasswordChar(char(v)); }),
       EnumProp<TCustomEdit, TEditCharCase>("CharCase", {"ecNormal", "ecUpperCase", "ecLowerCase"},
                                            [](TCustomEdit* c) { return c->CharCase(); },
                                            [](TCustomEdit* c, TEditCharCase v) { c->SetCharCase(v); }),
       EnumProp<TCustomEdit, TFormBorderStyle>("BorderStyle", {"bsNone", "bsSingle"},
                                               [](TCustomEdit* c) { return c->BorderStyle(); },
                                               [](TCustomEdit* c, TFormBorderStyle v) { c->SetBorderStyle(v); }),
       StrProp<TCustomEdit>("Text", [](TCustomEdit* c) { return c->Text(); },
                            [](TCustomEdit* c, const String& v) { c->SetTextValue(v); }),
       EventProp<TCustomEdit>("OnChange", &TCustomEdit::OnChange)});
  RegisterPropertyClass<TEdit, TCustomEdit>("TEdit", {});
  RegisterPropertyClass<TCustomMemo, TCustomEdit>(
      "TCustomMemo",
      {ObjectProp<TCustomMemo>("Lines", pkStrings, [](TCustomMemo* c) { return c->Lines(); }),
       NotStored(StrProp<TCustomMemo>("Text", [](TCustomMemo* c) { return c->Text(); },
                                      [](TCustomMemo* c, const String& v) { c->SetTextValue(v); })),
       EnumProp<TCustomMemo, TScrollStyle>("ScrollBars", {"ssNone", "ssHorizontal", "ssVertical", "ssBoth"},
                                           [](TCustomMemo* c) { return c->ScrollBars(); },
                                           [](TCustomMemo* c, TScrollStyle v) { c->SetScrollBars(v); }),
       BoolProp<TCustomMemo>("WordWrap", [](TCustomMemo* c) { return c->WordWrap(); },
                             [](TCustomMemo* c, bool v) { c->SetWordWrap(v); }),
       BoolProp<TCustomMemo>("WantReturns", [](TCustomMemo* c) { return c->WantReturns(); },
                             [](TCustomMemo* c, bool v) { c->SetWantReturns(v); }),
       BoolProp<TCustomMemo>("WantTabs", [](TCustomMemo* c) { return c->WantTabs(); },
                             [](TCustomMemo* c, bool v) { c->SetWantTabs(v); }),
       EnumProp<TCustomMemo, TAlignment>("Alignment", kAlignments, [](TCustomMemo* c) { return c->Alignment(); },
                                         [](TCustomMemo* c, TAlignment v) { c->SetAlignment(v); })});
  RegisterPropertyClass<TMemo, TCustomMemo>("TMemo", {});
  RegisterPropertyClass<TCustomComboBox, TWinControl>(
      "TCustomComboBox",
      {EnumProp<TCustomComboBox, TComboBoxStyle>(
           "Style", {"csDropDown", "csSimple", "csDropDownList", "csOwnerDrawFixed", "csOwnerDrawVariable"},
           [](TCustomComboBox* c) { return c->Style(); }, [](TCustomComboBox* c, TComboBoxStyle v) { c->SetStyle(v); }),
       BoolProp<TCustomComboBox>("Sorted", [](TCustomComboBox* c) { return c->Sorted(); },
                                 [](TCustomComboBox* c, bool v) { c->SetSorted(v); }),
       ObjectProp<TCustomComboBox>("Items", pkStrings, [](TCustomComboBox* c) { return c->Items(); }),
       IntProp<TCustomComboBox>("ItemIndex", [](TCustomComboBox* c) { return c->ItemIndex(); },
                                [](TCustomComboBox* c, int v) { c->SetItemIndex(v); }),
       IntProp<TCustomComboBox>("DropDownCount", [](TCustomComboBox* c) { return c->DropDownCount(); },
                                [](TCustomComboBox* c, int v) { c->SetDropDownCount(v); }),
       IntProp<TCustomComboBox>("MaxLength", [](TCustomComboBox* c) { return c->MaxLength(); },
                                [](TCustomComboBox* c, int v) { c->SetMaxLength(v); }),
       IntProp<TCustomComboBox>("ItemHeight", [](TCustomComboBox* c) { return c->ItemHeight(); },
                                [](TCustomComboBox* c, int v) { c->SetItemHeight(v); }),
       StrProp<TCustomComboBox>("Text", [](TCustomComboBox* c) { return c->Text(); },
                                [](TCustomComboBox* c, const String& v) { c->SetTextValue(v); }),
       EventProp<TCustomComboBox>("OnChange", &TCustomComboBox::OnChange),
       EventProp<TCustomComboBox>("OnSelect", &TCustomComboBox::OnSelect),
       EventProp<TCustomComboBox>("OnDropDown", &TCustomComboBox::OnDropDown),
       EventProp<TCustomComboBox>("OnCloseUp", &TCustomComboBox::OnCloseUp)});
  RegisterPropertyClass<TComboBox, TCustomComboBox>("TComboBox", {});
  RegisterPropertyClass<TCustomListBox, TWinControl>(
      "TCustomListBox",
      {ObjectProp<TCustomListBox>("Items", pkStrings, [](TCustomListBox* c) { return c->Items(); }),
       IntProp<TCustomListBox>("ItemIndex", [](TCustomListBox* c) { return c->ItemIndex(); },
                               [](TCustomListBox* c, int v) { c->SetItemIndex(v); }),
       BoolProp<TCustomListBox>("MultiSelect", [](TCustomListBox* c) { return c->MultiSelect(); },
                                [](TCustomListBox* c, bool v) { c->SetMultiSelect(v); }),
       BoolProp<TCustomListBox>("Sorted", [](TCustomListBox* c) { return c->Sorted(); },
                                [](TCustomListBox* c, bool v) { c->SetSorted(v); }),
       IntProp<TCustomListBox>("ItemHeight", [](TCustomListBox* c) { return c->ItemHeight(); },
                               [](TCustomListBox* c, int v) { c->SetItemHeight(v); })});
  RegisterPropertyClass<TListBox, TCustomListBox>("TListBox", {});
}
