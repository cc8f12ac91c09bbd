#pragma once
// The handler of a speed button, a control without a window of its own: it
// takes the button's WindowProc over, so every paint, mouse enter and leave
// and skin command reaches it first, and paints the whole button (section,
// border, caption, glyph, disabled fading) into the skin record's cache,
// copied to the paint DC at once. The record belongs to the handler's maker.

#include <memory>

#include "platform/vcl/Buttons.h"
#include "skin/core/sCommonData.h"

class TacSpeedButtonHandler {
 public:
  // Takes Btn over; the record gets SkinSection when it has none. ASkinManager
  // nullptr: the record's manager. Repaint is not used.
  TacSpeedButtonHandler(TControl* Btn, TsCommonData* ASkinData, const TacSkinRecords* ASkinManager,
                        const String& SkinSection, bool Repaint);
  // Gives the button its WindowProc back, when the button still exists.
  ~TacSpeedButtonHandler();
  TacSpeedButtonHandler(const TacSpeedButtonHandler&) = delete;
  TacSpeedButtonHandler& operator=(const TacSpeedButtonHandler&) = delete;

  LRESULT CallPrevWndProc(UINT Msg, WPARAM WParam, LPARAM& LParam);
  void acWndProc(TMessage& Message);

  String Caption() const;
  int GlyphWidth() const;
  int GlyphHeight() const;
  // 2 while down or exclusive, else the record's (1 hot, 0 normal).
  int CurrentState() const;
  TSize TextRectSize();
  TRect ImgRect();
  TRect CaptionRect();
  void PrepareCache();

  TControl* Ctrl = nullptr;
  bool Destroyed = false;  // the button has its WindowProc back
  TWndMethod OldWndProc;
  TsCommonData* SkinData = nullptr;  // borrowed
  const TacSkinRecords* SkinManager = nullptr;

 private:
  class Watch;
  TSpeedButton* Button() const { return dynamic_cast<TSpeedButton*>(Ctrl); }
  // Content moves by (1, 1) while pressed: always unskinned, by the option when skinned.
  bool Shifted() const;
  void GiveBack();
  void DrawCaption();
  void DrawGlyph();
  void DoDrawText(const TRect& R, UINT Flags);
  void AC_WMPaint(TMessage& Message);
  void Repaint();
  std::unique_ptr<Watch> FWatch;  // forgets the button when it is freed
};
