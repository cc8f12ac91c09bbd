#pragma once
// Combo box handlers. TacComboBoxWnd paints the combo's skinned frame and a
// skinned drop-down button with its arrow (pressed while the list is shown),
// and takes the drop-down list over the first time the list asks its colours:
// TacComboListWnd gives the list a one-pixel frame, the section's background
// and skinned scroll bars. The list's colour request is answered with one
// brush that the combo's handler keeps for its whole life.

#include <memory>

#include "skin/controls/acEditWnd.h"

class TacComboListWnd;
class TCustomListBox;

class TacComboBoxWnd : public TacEditWnd {
 public:
  ~TacComboBoxWnd() override;
  void acWndProc(TMessage& Message) override;

  // The drop-down button in window coordinates.
  virtual TRect ButtonRect();
  int ButtonHeight();
  // The button over the cached frame, into DC.
  void PaintButton(HDC DC);
  void RepaintButton();
  // The edit part's text into the cache.
  void PaintText();
  void PrepareSimple();
  void Invalidate();
  // The owner is a framework combo box.
  bool EasyComboBox() const;
  // The combo's drop-down list is shown.
  bool ListShown() const;
  // The brush answering the list's colour request: one per handler, remade only when the colour changes.
  HBRUSH ListBrush(TColor Color);
  // A framework combo's item (ODS_* state; ODS_COMBOBOXEDIT: the edit part)
  // on the skin: a selected item on the selection section, others on the
  // combo's colours; an index outside the items draws only the background.
  void DrawItem(int Index, const TRect& Rect, UINT State, HDC DC);
  void CNDrawItem(TMessage& Message);

  HWND FListHandle = nullptr;
  bool LBoxOpening = false;
  TacHandlerPtr<TacComboListWnd> ListSW;

 protected:
  void AfterCreation() override;
  void RestoreStdParams() override;

 private:
  LONG_PTR Style() const { return GetWindowLongPtrW(CtrlHandle, GWL_STYLE); }
  DWORD Kind() const { return DWORD(Style() & 3); }
  void CtlColorListBox(TMessage& Message);
  void FocusMessage(TMessage& Message);
  void ReleaseList(bool PlainBorder);
  HBRUSH FListBrush = nullptr;
  TColor FListBrushColor = clNone;
};

// The drop-down list of a combo box.
class TacComboListWnd : public TacEditWnd {
 public:
  static TacHandlerPtr<TacComboListWnd> CreateEx(HWND AHandle, TsCommonData* ASkinData,
                                                 const TacSkinRecords* ASkinManager, const String& SkinSection,
                                                 bool Repaint, bool Simply);
  void acWndProc(TMessage& Message) override;
  // The list's cached frame: the background colour outlined in the frame colour.
  void PrepareListCache();

  bool Showed = false;
  bool DBScroll = false;
  bool SimplyBox = false;

 protected:
  void AfterCreation() override;
  void SetSkinParams() override;

 private:
  void PaintFrame(HDC DC);
};

// A combo component outside the framework whose list is a child list box and
// whose button is the system's scroll-bar width: the list box gets an edit
// handler of its own when the component creates it; the list's colour request
// is the component's.
class TacWWComboBoxWnd : public TacComboBoxWnd {
 public:
  ~TacWWComboBoxWnd() override;
  void acWndProc(TMessage& Message) override;
  TRect ButtonRect() override;
  // False only for a framework combo box without a drop-down.
  static bool HasDropDownButton(TControl* Box);

  bool FShowButton = true;
  TCustomListBox* ListBox = nullptr;
  TacHandlerPtr<TacEditWnd> ListBoxSW;
  std::unique_ptr<TsScrollWndData> ListBoxSkinData;

 protected:
  void AfterCreation() override;
  void RestoreStdParams() override;

 private:
  void AdoptListBox();
  void ReleaseListBox();
};

