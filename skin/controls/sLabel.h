#pragma once
// Skinned labels: a plain label in the skin's label colour over an optional
// skin section (TsCustomLabel), one that may keep its own colour (TsLabel),
// one whose caption is HTML with clickable links (TsHTMLLabel), and the label
// an edit control owns (TsEditLabel). They are graphic controls: no window.

#include <functional>

#include "platform/vcl/StdCtrls.h"
#include "skin/controls/sHtml.h"
#include "skin/core/acntTypes.h"
#include "skin/core/sSkinRecords.h"

class TsCustomLabel : public TCustomLabel {
 public:
  explicit TsCustomLabel(TComponent* AOwner);

  const String& SkinSection() const { return FSkinSection; }
  void SetSkinSection(const String& Value);
  // The own manager, else the library's default one.
  const TacSkinRecords* SkinManager() const;
  void SetSkinManager(const TacSkinRecords* Value);
  // -1 without an active skin; the section is looked up again after every paint.
  int CurrentSkinIndex();
  // The parent's background under the label.
  TCacheInfo ParentBgCacheInfo();
  virtual TFont* GetCurrentFont() { return Font(); }
  virtual TColor GetCurrentColor();

  TNotifyEvent OnMouseEnter;
  TNotifyEvent OnMouseLeave;

 protected:
  void Paint() override;
  void DoDrawText(TRect& Rect, UINT Flags) override;
  void WndProc(TMessage& Message) override;
  // The manager's skin is applied.
  bool SkinActive() const;

  String FSkinSection;
  int FSkinIndex = -1;
  const TacSkinRecords* FSkinManager = nullptr;  // borrowed
  bool FSavedParentFont = false;
};

class TsLabel : public TsCustomLabel {
 public:
  explicit TsLabel(TComponent* AOwner) : TsCustomLabel(AOwner) {}
  TColor GetCurrentColor() override;
  bool UseSkinColor = true;
};

// The show commands a link is opened with (the platform's values).
enum TsWindowShowMode {
  soHide, soNormal, soShowMinimized, soMaximize, soShowNoActivate, soShow, soMinimize, soShowMinNoActive, soShowNA,
  soRestore, soDefault
};

// ALink may be changed; DefaultAction = false (or an empty ALink) opens nothing.
using TLinkClickEvent = std::function<void(TObject* Sender, String& ALink, bool& DefaultAction)>;

// Opens a clicked link; by default the platform's launcher. Tests put a recorder here.
inline std::function<void(const String& URL, TsWindowShowMode ShowMode)> LabelLinkOpener;

class TsHTMLLabel : public TsLabel {
 public:
  explicit TsHTMLLabel(TComponent* AOwner);

  bool UseHTML() const { return FUseHTML; }
  void SetUseHTML(bool Value);
  TsWindowShowMode ShowMode = soDefault;
  TLinkClickEvent OnLinkClick;
  // The caption without its tags.
  String PlainCaption() const;

  int HotLink = -1;      // the link under the mouse
  int PressedLink = -1;  // the link pressed and not yet released
  bool HandCursor = false;  // the pointer shows the link hand over a hot link
  TacLinks Links;        // where the last pass put the links

 protected:
  void DoDrawText(TRect& Rect, UINT Flags) override;
  void WndProc(TMessage& Message) override;
  void DoClick(int LinkIndex);
  int LinkAtCursor(const TPoint& P) const;

 private:
  void ForgetLinks();
  bool FUseHTML = true;
  bool LinkClicking = false;
};

// Told when the label it owns is destroyed.
class TacBoundLabelOwner {
 public:
  virtual ~TacBoundLabelOwner() = default;
  virtual void LabelDestroyed() = 0;
};

class TsEditLabel : public TsHTMLLabel {
 public:
  explicit TsEditLabel(TComponent* AOwner, TacBoundLabelOwner* Bound = nullptr)
      : TsHTMLLabel(AOwner), BoundLabel(Bound) {}
  ~TsEditLabel() override;
  TacBoundLabelOwner* BoundLabel;
};

// The caption colour of a skinned label in State: the colour of the section
// that shows behind it (asking its parent when its own section is missing or
// see-through), the palette's label colour when none, the font colour without
// a skin; a disabled label's colour is mixed with the parent's background.
TColor GetLabelTextColor(TsLabel* Label, int SkinIndex, const TacSkinRecords* Manager, int State);
// Registers the label classes for window definitions (done at start-up).
void RegisterLabelClasses();
