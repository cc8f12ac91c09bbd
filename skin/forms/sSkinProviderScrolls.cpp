#include "skin/forms/sSkinProviderScrolls.h"

#include <algorithm>

#include "skin/controls/acSBUtils.h"

TacScrollWnd* CreateFormScrolls(TCustomForm* Form, TsScrollWndData* Data, const TacSkinRecords* Skin) {
  TacSkinParams params;
  params.Control = Form;
  return CreateWndHandler<TacScrollWnd>(Form->Handle(), Data, Skin, params, true).release();
}

void FreeFormScrolls(TacScrollWnd* Handler) { TacHandlerPtr<TacScrollWnd> gone(Handler); }

bool FormScrollsDestroyed(const TacScrollWnd* Handler) { return Handler && Handler->Destroyed; }

int FormScrollsLeftEdge(const TacScrollWnd* Handler) { return Handler ? std::max(Handler->cxLeftEdge, 0) : 0; }
