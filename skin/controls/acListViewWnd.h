#pragma once
// The list view handler: the edit handler's border and bars around a list
// view, the list's colours kept in step with its section, thumb dragging that
// scrolls the list by rows (report view) or columns (list view), and, in report
// view, the column header painted from the skin: the header child window is
// taken over and every column drawn with the column-header section, its text,
// sort arrow and image, hot under the mouse and pressed under the button.

#include <memory>

#include "platform/vcl/ListViews.h"
#include "skin/controls/acEditWnd.h"

class TacListViewWnd : public TacEditWnd {
 public:
  ~TacListViewWnd() override;
  void acWndProc(TMessage& Message) override;

  TViewStyle ViewStyle();
  bool HotTrack() const { return true; }
  // The owner is a framework list view with an auto-sized column.
  bool AutoSizedCols();
  // The header rectangle of the column shown at display position Index.
  TRect GetHeaderColumnRect(int Index);
  // One header cell (cIndex: the header item, -2 the room right of the last
  // column) into DC at ControlRect; DC nullptr: the header's own DC.
  void ColumnSkinPaint(const TRect& ControlRect, int cIndex, HDC DC);
  // The whole header (report view only); DC nullptr: the header's own DC.
  void PaintHeader(HDC DC);
  // The header's window procedure while it is taken over.
  void HeaderWndProc(TMessage& Message);

  HWND FhWndHeader = nullptr;
  WNDPROC FhHeaderProc = nullptr;     // the procedure routing the header's messages here
  WNDPROC FhDefHeaderProc = nullptr;  // the header's previous procedure
  int FPressedColumn = -1;
  int HoverColIndex = -1;

 protected:
  void AfterCreation() override;
  void SaveStdParams() override;
  void RestoreStdParams() override;
  void SetSkinParams() override;

 private:
  struct HeaderLink {
    TacListViewWnd* Handler = nullptr;
    WNDPROC Old = nullptr;
  };
  void SubclassHeader(HWND Header);
  void UnsubclassHeader();
  // The display position under the message's screen point; -2 none.
  int ColumnAt(LPARAM ScreenPoint);
  LRESULT CallHeaderProc(TMessage& Message);
  void ResetHeaderStates();
  void ListScroll(TMessage& Message);
  std::shared_ptr<HeaderLink> FHeaderLink;
};

// Moves DC's origin past the handler's edges and clips it to the client less
// the visible skinned bars (a print of the window's client part); returns the
// DC's saved state for RestoreDC.
int PrintClientOrigin(TacEditWnd* Handler, HDC DC);
