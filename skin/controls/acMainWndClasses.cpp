// The handler class of each kind of control the skin manager lists by class
// name; kinds whose handler is not written yet have no factory.

#include "skin/controls/acContainerWnd.h"
#include "skin/controls/acEditWnd.h"
#include "skin/controls/acMainWnd.h"
#include "skin/controls/acBtnWnd.h"
#include "skin/controls/acCheckBoxWnd.h"
#include "skin/controls/acSBWnd.h"
#include "skin/controls/acSpinWnd.h"
#include "skin/controls/acStatusBarWnd.h"

const std::array<TacHandlerClass, kThirdPartyKinds> ThirdPartyHandlerClasses{{
    {"TacEditWnd", MakeHandlerOf<TacEditWnd>},
    {"TacButtonWnd", MakeHandlerOf<TacButtonWnd>},
    {"TacBitBtnWnd", MakeHandlerOf<TacBitBtnWnd>},
    {"TacCheckBoxWnd", MakeHandlerOf<TacCheckBoxWnd>},
    {"TacComboBoxWnd", nullptr},
    {"TacGridWnd", nullptr},
    {"TacGroupBoxWnd", MakeHandlerOf<TacGroupBoxWnd>},
    {"TacListViewWnd", nullptr},
    {"TacPanelWnd", MakeHandlerOf<TacPanelWnd>},
    {"TacTreeViewWnd", nullptr},
    {"TacWWComboBoxWnd", nullptr},
    {"TacGridEhWnd", nullptr},
    {"TacVirtualTreeViewWnd", nullptr},
    {"TacPageControlWnd", nullptr},
    {"TacTabControlWnd", nullptr},
    {"TacToolBarVCLWnd", nullptr},
    {"TacStatusBarWnd", MakeHandlerOf<TacStatusBarWnd>},
    {"TacEditWnd", MakeHandlerOf<TacEditWnd>},  // a windowed control listed with the speed buttons
    {"TacScrollBoxWnd", MakeHandlerOf<TacScrollBoxWnd>},
    {"TacSpinWnd", MakeHandlerOf<TacSpinWnd>},
    {"TacSBWnd", MakeHandlerOf<TacSBWnd>},
    {"TacStaticTextWnd", MakeHandlerOf<TacStaticTextWnd>},
    {"TacNativePaint", MakeHandlerOf<TacNativePaint>},
}};
