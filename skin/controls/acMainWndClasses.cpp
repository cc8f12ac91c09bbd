// The handler class of each kind of control the skin manager lists by class
// name; kinds whose handler is not written yet have no factory.

#include "skin/controls/acContainerWnd.h"
#include "skin/controls/acEditWnd.h"
#include "skin/controls/acGridTreeWnd.h"
#include "skin/controls/acComboWnd.h"
#include "skin/controls/acListViewWnd.h"
#include "skin/controls/acMainWnd.h"
#include "skin/controls/acBtnWnd.h"
#include "skin/controls/acCheckBoxWnd.h"
#include "skin/controls/acSBWnd.h"
#include "skin/controls/acSpinWnd.h"
#include "skin/controls/acStatusBarWnd.h"
#include "skin/controls/acTabControlWnd.h"
#include "skin/controls/acTrackWnd.h"
#include "skin/controls/acToolBarWnd.h"

const std::array<TacHandlerClass, kThirdPartyKinds> ThirdPartyHandlerClasses{{
    {"TacEditWnd", MakeHandlerOf<TacEditWnd>},
    {"TacButtonWnd", MakeHandlerOf<TacButtonWnd>},
    {"TacBitBtnWnd", MakeHandlerOf<TacBitBtnWnd>},
    {"TacCheckBoxWnd", MakeHandlerOf<TacCheckBoxWnd>},
    {"TacComboBoxWnd", MakeHandlerOf<TacComboBoxWnd>},
    {"TacGridWnd", MakeHandlerOf<TacGridWnd>},
    {"TacGroupBoxWnd", MakeHandlerOf<TacGroupBoxWnd>},
    {"TacListViewWnd", MakeHandlerOf<TacListViewWnd>},
    {"TacPanelWnd", MakeHandlerOf<TacPanelWnd>},
    {"TacTreeViewWnd", MakeHandlerOf<TacTreeViewWnd>},
    {"TacWWComboBoxWnd", MakeHandlerOf<TacWWComboBoxWnd>},
    {"TacGridEhWnd", MakeHandlerOf<TacGridEhWnd>},
    {"TacVirtualTreeViewWnd", nullptr},
    {"TacPageControlWnd", MakeHandlerOf<TacPageControlWnd>},
    {"TacTabControlWnd", MakeHandlerOf<TacTabControlWnd>},
    {"TacToolBarVCLWnd", MakeHandlerOf<TacToolBarVCLWnd>},
    {"TacStatusBarWnd", MakeHandlerOf<TacStatusBarWnd>},
    {"TacEditWnd", MakeHandlerOf<TacEditWnd>},  // a windowed control listed with the speed buttons
    {"TacScrollBoxWnd", MakeHandlerOf<TacScrollBoxWnd>},
    {"TacSpinWnd", MakeHandlerOf<TacSpinWnd>},
    {"TacSBWnd", MakeHandlerOf<TacSBWnd>},
    {"TacStaticTextWnd", MakeHandlerOf<TacStaticTextWnd>},
    {"TacNativePaint", MakeHandlerOf<TacNativePaint>},
}};

// ---- Children of standard dialogs ----

#include <cstring>

#include "platform/win/CommCtrl.h"
#include "platform/win/Controls.h"
#include "skin/controls/acStaticWnd.h"

TacDlgCtrlChoice ChooseDialogControlHandler(const String& C, DWORD S, DWORD ExStyle, bool Visible, int Height) {
  using C_ = TacDlgCtrlChoice;
  if (C == "static") {
    if ((S & 3) == 3 || (S & 0x0E) == 0x0E)
      return (ExStyle & WS_EX_STATICEDGE) ? C_{"TacEdgeWnd", "EDIT", 0} : C_{"TacIconWnd", "", 0};
    if ((S & 0x0D) == 0x0D || (S & 0x1F) == 5 || (S & 0x1F) == 6) return C_{};
    return C_{"TacStaticWnd", "", 0};
  }
  if (C == "#32770" || C == "shbrowseforfolder") return C_{"TacTransPanelWnd", "", 0};
  if (C == "tpanel") return C_{"TacPanelWnd", "TRANSPARENT", 0};
  if (C == "tsilentpaintpanel") return C_{"TacPanelWnd", "GROUPBOX", 0};
  if (C == "edit")
    return Visible ? C_{"TacEditWnd", "EDIT", dcRepaintFromCache | dcDlgMode | dcAllowPaint} : C_{nullptr, "", dcAllowPaint};
  if ((C == "button" && (S & 0x0B) != 0x0B) || C == "tbutton") {
    switch (S & 0x0F) {
      case BS_CHECKBOX: case BS_AUTOCHECKBOX: case BS_RADIOBUTTON: case BS_3STATE: case BS_AUTO3STATE:
      case BS_AUTORADIOBUTTON:
        return C_{"TacCheckBoxWnd", "", 0};
      case BS_GROUPBOX: return C_{"TacGroupBoxWnd", "GROUPBOX", 0};
      case 12: case 13: case 14: case 15: return C_{"TacSplitBtnWnd", "", 0};
      default: return C_{"TacBtnWnd", "", 0};
    }
  }
  if (C == "combobox") return C_{"TacComboBoxWnd", "COMBOBOX", dcRepaintFromCache | dcDlgMode | dcAllowPaint};
  if (C == "combolbox") return C_{"TacEditWnd", "COMBOBOX", dcAllowPaint};
  if (C == "comboboxex32") return C_{"TacComboBoxWnd", "COMBOBOX", dcAllowPaint};
  if (C == "scrollbar") return (S & SBS_SIZEGRIP) ? C_{"TacSizerWnd", "", 0} : C_{};
  if (C == "systabcontrol32") return (S & TCS_OWNERDRAWFIXED) ? C_{} : C_{"TacTabControlWnd", "PAGECONTROL", 0};
  if (C == "syslistview32") return C_{"TacListViewWnd", "EDIT", dcDlgMode};
  if (C == "msctls_updown32") return C_{"TacSpinWnd", "SPEEDBUTTON_SMALL", dcSpinOffset};
  if (C == "msctls_trackbar32") return C_{"TacTrackWnd", "TRACKBAR", 0};
  if (C == "listbox") return C_{"TacEditWnd", "EDIT", dcDlgMode | dcAllowPaint};
  if (C == "link window" || C == "syslink") return C_{"TacLinkWnd", "", 0};
  if (C == "toolbarwindow32") return C_{"TacToolBarWnd", (S & 0x200) ? "BAR" : "TRANSPARENT", 0};
  for (const char* box : {"rebarwindow32", "msctls_progress32", "universalsearchband", "address band root", "workerw",
                          "search box", "travelband", "breadcrumb parent"})
    if (C == box) return Visible ? C_{"TacContainerWnd", "", 0} : C_{};
  if (C == "directuihwnd" && Height == 24) return C_{"TacSearchWnd", "", 0};
  return C_{};
}

TacHandlerFactory HandlerFactoryOf(const char* Name) {
  static const std::pair<const char*, TacHandlerFactory> kFactories[] = {
      {"TacEdgeWnd", MakeHandlerOf<TacEdgeWnd>},         {"TacIconWnd", MakeHandlerOf<TacIconWnd>},
      {"TacStaticWnd", MakeHandlerOf<TacStaticWnd>},     {"TacEditWnd", MakeHandlerOf<TacEditWnd>},
      {"TacCheckBoxWnd", MakeHandlerOf<TacCheckBoxWnd>}, {"TacGroupBoxWnd", MakeHandlerOf<TacGroupBoxWnd>},
      {"TacSplitBtnWnd", MakeHandlerOf<TacSplitBtnWnd>}, {"TacBtnWnd", MakeHandlerOf<TacBtnWnd>},
      {"TacSpinWnd", MakeHandlerOf<TacSpinWnd>},         {"TacLinkWnd", MakeHandlerOf<TacLinkWnd>},
      {"TacContainerWnd", MakeHandlerOf<TacContainerWnd>}, {"TacSearchWnd", MakeHandlerOf<TacSearchWnd>},
      {"TacComboBoxWnd", MakeHandlerOf<TacComboBoxWnd>},   {"TacListViewWnd", MakeHandlerOf<TacListViewWnd>},
      {"TacTabControlWnd", MakeHandlerOf<TacTabControlWnd>}, {"TacTrackWnd", MakeHandlerOf<TacTrackWnd>},
      {"TacPanelWnd", MakeHandlerOf<TacPanelWnd>},         {"TacTransPanelWnd", MakeHandlerOf<TacTransPanelWnd>},
      {"TacSizerWnd", MakeHandlerOf<TacSizerWnd>},
  };
  if (!Name) return nullptr;
  for (const auto& [n, f] : kFactories)
    if (std::strcmp(n, Name) == 0) return f;
  return nullptr;
}
