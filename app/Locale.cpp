#include "app/Locale.h"

#include "app/FormLocal.h"
#include "platform/os/System.h"
#include "platform/vcl/Forms.h"
#include "platform/vcl/StdCtrls.h"

TLocaleStringRecord Tlocalestrings;

namespace {
std::vector<TLocale>& Table() {
  static std::vector<TLocale> table;
  return table;
}
}  // namespace

void RegisterLocale(const String& Name, proc Func, int LangID, uint8_t Charset) {
  Table().push_back({Name, Func, LangID, Charset});
}

const std::vector<TLocale>& Locales() {
  return Table();
}

void ClearLocales() {
  Table().clear();
  Tlocalestrings = {};
}

void SelectLocale(int Index) {
  const std::vector<TLocale>& table = Table();
  if (Index == -1) {
    const int language = PrimaryLangID(GetUserDefaultLCID());
    Index = 0;
    for (size_t i = 0; i < table.size(); ++i) {
      if (table[i].LangID == language) {
        Index = int(i);
        break;
      }
    }
  }
  if (Index < 0 || size_t(Index) >= table.size() || !table[size_t(Index)].Func) return;
  table[size_t(Index)].Func();
  if (Application) Application->SetTitle(Tlocalestrings.Title);
  TCustomForm* mainForm = Application ? Application->MainForm() : nullptr;
  if (auto* main = dynamic_cast<TFormlocal*>(mainForm)) main->DoLocalize();
  if (!Screen) return;
  for (int i = 0; i < Screen->FormCount(); ++i) {
    TCustomForm* form = Screen->Forms(i);
    if (form == mainForm) continue;
    if (auto* local = dynamic_cast<TFormlocal*>(form)) local->NotifyLocalize();
  }
}

void SetComboItemKeepIndex(TCustomComboBox* Combo, int Index, const String& Text) {
  if (!Combo || Index < 0 || Index >= Combo->Items()->Count()) return;
  const int selected = Combo->ItemIndex();
  Combo->Items()->SetStrings(Index, Text);
  Combo->SetItemIndex(selected);
}
