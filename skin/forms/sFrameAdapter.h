#pragma once
// The frame adapter: a component dropped on a frame that skins the frame's
// background from its skin section (the skin's "TRANSPARENT" unless
// SkinSection names another) and gives the frame's children the background
// they ask for, wherever the frame is placed.

#include <memory>

#include "platform/vcl/ExtCtrls.h"
#include "skin/core/sCommonData.h"

class TsFrameAdapter : public TComponent {
 public:
  // Only on a frame: any other owner raises "TsFrameAdapter adapter must be placed on the handled frame".
  explicit TsFrameAdapter(TComponent* AOwner);
  ~TsFrameAdapter() override;
  void Loaded();

  TsScrollWndData* SkinData() const { return FCommonData.get(); }
  void NewWndProc(TMessage& Message);
  // The frame's section painted over its parent's background into the cache; false when that is not ready.
  bool PrepareCache();
  void PaintFrame(HDC DC);

  TCustomFrame* Frame = nullptr;
  TWndMethod OldWndProc;

 private:
  void CallOld(TMessage& Message) {
    if (OldWndProc) OldWndProc(Message);
  }
  bool SkinCommand(TMessage& Message);
  TColor BgColor();
  std::unique_ptr<TsScrollWndData> FCommonData;
  bool FReplaced = false;
};
