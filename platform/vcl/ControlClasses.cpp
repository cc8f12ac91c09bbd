#include "platform/vcl/ControlClasses.h"

#include "platform/vcl/Buttons.h"
#include "platform/vcl/ComCtrls.h"
#include "platform/vcl/ExtCtrls.h"
#include "platform/vcl/ListViews.h"
#include "platform/vcl/RangeControls.h"
#include "platform/vcl/StdCtrls.h"

void RegisterControlClasses() {
  RegisterStdCtrlsClasses();
  RegisterExtCtrlsClasses();
  RegisterRangeControlsClasses();
  RegisterButtonsClasses();
  RegisterComCtrlsClasses();
  RegisterListViewClasses();
}
