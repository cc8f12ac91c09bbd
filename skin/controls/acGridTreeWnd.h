#pragma once
// Grid and tree handlers on top of the edit handler. A grid, framework or
// not, is reached through its published properties by name: the handler saves
// the grid's own colours, writes the skin's into the same properties while
// skinned and writes the saved ones back when it lets go; a property the grid
// does not publish is left alone. The tree-view handler keeps the tree's
// colours in step with its section through tree-view messages.

#include "skin/controls/acEditWnd.h"

class TacGridWnd : public TacEditWnd {
 public:
  void acWndProc(TMessage& Message) override;

  TColor IndColor = clNone, FixedColor = clNone, TitleColor = clNone, EvenRowColor = clNone, OddRowColor = clNone,
         FooterColor = clNone, GridLineColor = clNone, TitleFontColor = clNone, SelectionColor = clNone,
         FooterCellColor = clNone, SelectionTextColor = clNone, GridFixedLineColor = clNone,
         FixedGradientMirrorTo = clNone, FixedGradientMirrorFrom = clNone, FixedGradientFrom = clNone,
         FixedGradientTo = clNone;

 protected:
  void SaveStdParams() override;
  void RestoreStdParams() override;
  void SetSkinParams() override;
};

// An extended grid: the grid's colours plus its row, line, indicator, title,
// grouping, category and detail-panel colours, its indicator and title line
// and fill styles.
class TacGridEhWnd : public TacGridWnd {
 public:
  void acWndProc(TMessage& Message) override;

  bool Fixed3D = false;
  TColor DarkColor = clNone, BrightColor = clNone, DataHorzColor = clNone, DataVertColor = clNone,
         DataGroupColor = clNone, CategoriesColor = clNone, CategoriesFontColor = clNone, RowDetailColor = clNone;
  // Styles and line flags, kept as the properties' ordinal values.
  TColor IndHorzLines = 0, IndVertLines = 0, InfFillStyle = 0, TitleHorzLines = 0, TitleFillStyle = 0;

 protected:
  void SaveStdParams() override;
  void RestoreStdParams() override;
  void SetSkinParams() override;
};

class TacTreeViewWnd : public TacEditWnd {
 public:
  void acWndProc(TMessage& Message) override;
  bool SkipBG = false;

 protected:
  void SaveStdParams() override;
  void RestoreStdParams() override;
  void SetSkinParams() override;

 private:
  // The colour and font colour the tree shows in its section's current state.
  void SkinColors(TColor& Color, TColor& FontColor);
};

// The object a dotted property path ("ControlLook.FixedGradientFrom") names
// the last part of, and that part; nullptr when a sub-object is missing.
TObject* PropPathOwner(TObject* Obj, const String& Path, String& Name);
