#include "platform/vcl/TypInfo.h"

#include <mutex>

#include "platform/vcl/Forms.h"
#include "platform/vcl/ControlClasses.h"
#include "platform/vcl/Menus.h"

namespace {

std::mutex& RegistryLock() {
  static std::mutex m;
  return m;
}
std::vector<std::unique_ptr<TRegisteredClass>>& Registry() {
  static std::vector<std::unique_ptr<TRegisteredClass>> r;
  return r;
}

void RegisterStandardClasses();

const TPropInfo* FindOwnProp(const TRegisteredClass* cls, const String& Name) {
  for (; cls; cls = cls->Parent)
    for (const TPropInfo& p : cls->Properties)
      if (SameText(p.Name, Name)) return &p;
  return nullptr;
}

[[noreturn]] void NoProperty(TObject* Instance, const String& Name) {
  throw EPropertyError(Format("Property %s does not exist in %s", {Name, Instance->ClassName()}));
}

[[noreturn]] void BadValue(const TPropInfo& Info, const String& Value) {
  throw EPropertyError(Format("Invalid value '%s' for property %s", {Value, Info.Name}));
}

}  // namespace

void EnsureStandardClasses() {
  static std::once_flag once;
  std::call_once(once, RegisterStandardClasses);
}

const TRegisteredClass* RegisterClassInfo(std::unique_ptr<TRegisteredClass> Class) {
  std::lock_guard lock(RegistryLock());
  Class->Depth = Class->Parent ? Class->Parent->Depth + 1 : 0;
  Registry().push_back(std::move(Class));
  return Registry().back().get();
}

const TRegisteredClass* FindClassInfo(TObject* Instance) {
  EnsureStandardClasses();
  std::lock_guard lock(RegistryLock());
  const TRegisteredClass* best = nullptr;
  for (const auto& cls : Registry())
    if ((!best || cls->Depth > best->Depth) && cls->Is(Instance)) best = cls.get();
  return best;
}

const TRegisteredClass* FindClassInfo(const String& ClassName) {
  EnsureStandardClasses();
  std::lock_guard lock(RegistryLock());
  for (const auto& cls : Registry())
    if (SameText(cls->ClassName, ClassName)) return cls.get();
  return nullptr;
}

const TPropInfo* GetPropInfo(TObject* Instance, const String& Name) {
  return Instance ? FindOwnProp(FindClassInfo(Instance), Name) : nullptr;
}

std::vector<const TPropInfo*> GetPropList(TObject* Instance) {
  std::vector<const TRegisteredClass*> chain;
  for (const TRegisteredClass* cls = FindClassInfo(Instance); cls; cls = cls->Parent) chain.insert(chain.begin(), cls);
  std::vector<const TPropInfo*> list;
  for (const TRegisteredClass* cls : chain)
    for (const TPropInfo& p : cls->Properties) {
      bool replaced = false;
      for (auto& q : list)
        if (SameText(q->Name, p.Name)) {
          q = &p;
          replaced = true;
        }
      if (!replaced) list.push_back(&p);
    }
  return list;
}

TPropTarget ResolvePropPath(TObject* Instance, const String& Path) {
  TObject* obj = Instance;
  size_t start = 0;
  for (;;) {
    size_t dot = Path.find('.', start);
    String name = Path.substr(start, dot == String::npos ? String::npos : dot - start);
    const TPropInfo* info = GetPropInfo(obj, name);
    if (!info) NoProperty(obj ? obj : Instance, name);
    if (dot == String::npos) return {obj, info};
    if (!info->GetObject) throw EPropertyError(Format("Property %s has no sub-properties", {name}));
    obj = info->GetObject(obj);
    if (!obj) throw EPropertyError(Format("Property %s is not assigned", {name}));
    start = dot + 1;
  }
}

int64_t IdentToOrd(const TPropInfo& Info, const String& Ident) {
  for (size_t i = 0; i < Info.Idents.size(); ++i)
    if (SameText(Info.Idents[i], Ident)) return static_cast<int64_t>(i);
  BadValue(Info, Ident);
}

String SetToString(const TPropInfo& Info, int64_t Bits) {
  String s = "[";
  for (size_t i = 0; i < Info.Idents.size() && i < 32; ++i)
    if (Bits & (int64_t(1) << i)) {
      if (s.size() > 1) s += ", ";
      s += Info.Idents[i];
    }
  return s + "]";
}

int64_t StringToSet(const TPropInfo& Info, const String& Text) {
  String t = Trim(Text);
  if (t.size() < 2 || t.front() != '[' || t.back() != ']') BadValue(Info, Text);
  int64_t bits = 0;
  size_t pos = 1;
  while (pos < t.size() - 1) {
    size_t comma = t.find(',', pos);
    if (comma == String::npos || comma > t.size() - 1) comma = t.size() - 1;
    String ident = Trim(t.substr(pos, comma - pos));
    if (!ident.empty()) bits |= int64_t(1) << IdentToOrd(Info, ident);
    else if (comma != t.size() - 1) BadValue(Info, Text);
    pos = comma + 1;
  }
  return bits;
}

String GetPropValue(TObject* Instance, const String& Path) {
  TPropTarget t = ResolvePropPath(Instance, Path);
  const TPropInfo& p = *t.Info;
  switch (p.Kind) {
    case pkInteger: return IntToStr(p.GetOrd(t.Instance));
    case pkBoolean: return p.GetOrd(t.Instance) ? "True" : "False";
    case pkEnumeration: {
      int64_t v = p.GetOrd(t.Instance);
      return v >= 0 && size_t(v) < p.Idents.size() ? p.Idents[size_t(v)] : IntToStr(v);
    }
    case pkSet: return SetToString(p, p.GetOrd(t.Instance));
    case pkColor: return ColorToString(static_cast<TColor>(p.GetOrd(t.Instance)));
    case pkString: return p.GetStr(t.Instance);
    case pkStrings: return static_cast<TStrings*>(p.GetObject(t.Instance))->Text();
    case pkComponent: {
      TComponent* c = p.GetComponent(t.Instance);
      return c ? c->GetName() : String();
    }
    default: throw EPropertyError(Format("Property %s has no text form", {p.Name}));
  }
}

void SetPropValue(TObject* Instance, const String& Path, const String& Value) {
  TPropTarget t = ResolvePropPath(Instance, Path);
  const TPropInfo& p = *t.Info;
  switch (p.Kind) {
    case pkInteger: {
      int64_t v = 0;
      if (!TryStrToInt64(Trim(Value), v)) BadValue(p, Value);
      p.SetOrd(t.Instance, v);
      return;
    }
    case pkBoolean:
      if (SameText(Trim(Value), "True")) p.SetOrd(t.Instance, 1);
      else if (SameText(Trim(Value), "False")) p.SetOrd(t.Instance, 0);
      else BadValue(p, Value);
      return;
    case pkEnumeration: p.SetOrd(t.Instance, IdentToOrd(p, Trim(Value))); return;
    case pkSet: p.SetOrd(t.Instance, StringToSet(p, Value)); return;
    case pkColor: {
      TColor c = 0;
      try {
        c = StringToColor(Trim(Value));
      } catch (const EConvertError&) {
        BadValue(p, Value);
      }
      p.SetOrd(t.Instance, c);
      return;
    }
    case pkString: p.SetStr(t.Instance, Value); return;
    case pkStrings: static_cast<TStrings*>(p.GetObject(t.Instance))->SetText(Value); return;
    case pkComponent: {
      if (Trim(Value).empty()) {
        p.SetComponent(t.Instance, nullptr);
        return;
      }
      // Names are looked up among the components of the instance's owner, then its own.
      auto* self = dynamic_cast<TComponent*>(t.Instance);
      TComponent* found = nullptr;
      if (self && self->Owner()) found = self->Owner()->FindComponent(Trim(Value));
      if (!found && self) found = self->FindComponent(Trim(Value));
      if (!found) BadValue(p, Value);
      p.SetComponent(t.Instance, found);
      return;
    }
    default: throw EPropertyError(Format("Property %s has no text form", {p.Name}));
  }
}

int64_t GetOrdProp(TObject* Instance, const String& Path) {
  TPropTarget t = ResolvePropPath(Instance, Path);
  if (!t.Info->GetOrd) throw EPropertyError(Format("Property %s is not ordinal", {t.Info->Name}));
  return t.Info->GetOrd(t.Instance);
}

void SetOrdProp(TObject* Instance, const String& Path, int64_t Value) {
  TPropTarget t = ResolvePropPath(Instance, Path);
  if (!t.Info->SetOrd) throw EPropertyError(Format("Property %s is not ordinal", {t.Info->Name}));
  t.Info->SetOrd(t.Instance, Value);
}

String GetStrProp(TObject* Instance, const String& Path) {
  TPropTarget t = ResolvePropPath(Instance, Path);
  if (!t.Info->GetStr) throw EPropertyError(Format("Property %s is not a string", {t.Info->Name}));
  return t.Info->GetStr(t.Instance);
}

void SetStrProp(TObject* Instance, const String& Path, const String& Value) {
  TPropTarget t = ResolvePropPath(Instance, Path);
  if (!t.Info->SetStr) throw EPropertyError(Format("Property %s is not a string", {t.Info->Name}));
  t.Info->SetStr(t.Instance, Value);
}

TPersistent* GetObjectProp(TObject* Instance, const String& Path) {
  TPropTarget t = ResolvePropPath(Instance, Path);
  if (!t.Info->GetObject) throw EPropertyError(Format("Property %s is not an object", {t.Info->Name}));
  return t.Info->GetObject(t.Instance);
}

namespace {

void RegisterStandardClasses() {
  RegisterPropertyClass<TFont>(
      "TFont", {StrProp<TFont>("Name", [](TFont* f) { return f->Name(); }, [](TFont* f, const String& v) { f->SetName(v); }),
                IntProp<TFont>("Height", [](TFont* f) { return f->Height(); }, [](TFont* f, int v) { f->SetHeight(v); }),
                NotStored(IntProp<TFont>("Size", [](TFont* f) { return f->Size(); }, [](TFont* f, int v) { f->SetSize(v); })),
                ColorProp<TFont>("Color", [](TFont* f) { return f->Color(); }, [](TFont* f, TColor v) { f->SetColor(v); }),
                SetProp<TFont, TFontStyle>(
                    "Style", {"fsBold", "fsItalic", "fsUnderline", "fsStrikeOut"}, [](TFont* f) { return f->Style(); },
                    [](TFont* f, TFontStyles v) { f->SetStyle(v); }),
                IntProp<TFont>("Charset", [](TFont* f) { return f->Charset(); },
                               [](TFont* f, int v) { f->SetCharset(static_cast<TFontCharset>(v)); }),
                EnumProp<TFont, TFontPitch>("Pitch", {"fpDefault", "fpVariable", "fpFixed"},
                                            [](TFont* f) { return f->Pitch(); }, [](TFont* f, TFontPitch v) { f->SetPitch(v); })});
  RegisterPropertyClass<TComponent>(
      "TComponent",
      {StrProp<TComponent>("Name", [](TComponent* c) { return c->GetName(); },
                           [](TComponent* c, const String& v) { c->SetName(v); }),
       IntProp<TComponent>("Tag", [](TComponent* c) { return static_cast<int>(c->Tag); },
                           [](TComponent* c, int v) { c->Tag = v; })});
  RegisterPropertyClass<TControl, TComponent>(
      "TControl",
      {IntProp<TControl>("Left", [](TControl* c) { return c->Left(); }, [](TControl* c, int v) { c->SetLeft(v); }),
       IntProp<TControl>("Top", [](TControl* c) { return c->Top(); }, [](TControl* c, int v) { c->SetTop(v); }),
       IntProp<TControl>("Width", [](TControl* c) { return c->Width(); }, [](TControl* c, int v) { c->SetWidth(v); }),
       IntProp<TControl>("Height", [](TControl* c) { return c->Height(); }, [](TControl* c, int v) { c->SetHeight(v); }),
       NotStored(IntProp<TControl>("ClientWidth", [](TControl* c) { return c->ClientWidth(); },
                         [](TControl* c, int v) { c->SetClientWidth(v); })),
       NotStored(IntProp<TControl>("ClientHeight", [](TControl* c) { return c->ClientHeight(); },
                         [](TControl* c, int v) { c->SetClientHeight(v); })),
       StrProp<TControl>("Caption", [](TControl* c) { return c->Caption(); },
                         [](TControl* c, const String& v) { c->SetCaption(v); }),
       NotStored(StrProp<TControl>("Text", [](TControl* c) { return c->Text(); },
                         [](TControl* c, const String& v) { c->SetTextValue(v); })),
       BoolProp<TControl>("Visible", [](TControl* c) { return c->Visible(); }, [](TControl* c, bool v) { c->SetVisible(v); }),
       BoolProp<TControl>("Enabled", [](TControl* c) { return c->Enabled(); }, [](TControl* c, bool v) { c->SetEnabled(v); }),
       ColorProp<TControl>("Color", [](TControl* c) { return c->Color(); }, [](TControl* c, TColor v) { c->SetColor(v); }),
       ObjectProp<TControl>("Font", pkClass, [](TControl* c) { return c->Font(); }),
       ComponentProp<TControl>("PopupMenu", [](TControl* c) { return c->PopupMenu(); },
                               [](TControl* c, TComponent* v) { c->SetPopupMenu(CheckedPopupMenu(v)); }),
       EventProp<TControl>("OnClick", &TControl::OnClick), EventProp<TControl>("OnMouseDown", &TControl::OnMouseDown),
       EventProp<TControl>("OnMouseUp", &TControl::OnMouseUp), EventProp<TControl>("OnMouseMove", &TControl::OnMouseMove),
       // Layout, hints and the parent's font and colour.
       EnumProp<TControl, TAlign>("Align", {"alNone", "alTop", "alBottom", "alLeft", "alRight", "alClient", "alCustom"},
                                  [](TControl* c) { return c->Align(); }, [](TControl* c, TAlign v) { c->SetAlign(v); }),
       SetProp<TControl, TAnchorKind>("Anchors", {"akLeft", "akTop", "akRight", "akBottom"},
                                      [](TControl* c) { return c->Anchors(); }, [](TControl* c, TAnchors v) { c->SetAnchors(v); }),
       ObjectProp<TControl>("Constraints", pkClass, [](TControl* c) { return c->Constraints(); }),
       StrProp<TControl>("Hint", [](TControl* c) { return c->Hint; }, [](TControl* c, const String& v) { c->Hint = v; }),
       BoolProp<TControl>("ShowHint", [](TControl* c) { return c->ShowHint(); }, [](TControl* c, bool v) { c->SetShowHint(v); }),
       BoolProp<TControl>("ParentShowHint", [](TControl* c) { return c->ParentShowHint(); },
                          [](TControl* c, bool v) { c->SetParentShowHint(v); }),
       BoolProp<TControl>("ParentFont", [](TControl* c) { return c->ParentFont(); },
                          [](TControl* c, bool v) { c->SetParentFont(v); }),
       BoolProp<TControl>("ParentColor", [](TControl* c) { return c->ParentColor(); },
                          [](TControl* c, bool v) { c->SetParentColor(v); }),
       EventProp<TControl>("OnDblClick", &TControl::OnDblClick),
       EventProp<TControl>("OnMouseEnter", &TControl::OnMouseEnter),
       EventProp<TControl>("OnMouseLeave", &TControl::OnMouseLeave)});
  RegisterPropertyClass<TSizeConstraints>(
      "TSizeConstraints",
      {IntProp<TSizeConstraints>("MaxHeight", [](TSizeConstraints* c) { return c->MaxHeight(); },
                                 [](TSizeConstraints* c, int v) { c->SetMaxHeight(v); }),
       IntProp<TSizeConstraints>("MaxWidth", [](TSizeConstraints* c) { return c->MaxWidth(); },
                                 [](TSizeConstraints* c, int v) { c->SetMaxWidth(v); }),
       IntProp<TSizeConstraints>("MinHeight", [](TSizeConstraints* c) { return c->MinHeight(); },
                                 [](TSizeConstraints* c, int v) { c->SetMinHeight(v); }),
       IntProp<TSizeConstraints>("MinWidth", [](TSizeConstraints* c) { return c->MinWidth(); },
                                 [](TSizeConstraints* c, int v) { c->SetMinWidth(v); })});
  RegisterPropertyClass<TWinControl, TControl>(
      "TWinControl",
      {IntProp<TWinControl>("TabOrder", [](TWinControl* c) { return c->TabOrder(); },
                            [](TWinControl* c, int v) { c->SetTabOrder(v); }),
       BoolProp<TWinControl>("TabStop", [](TWinControl* c) { return c->TabStop(); },
                             [](TWinControl* c, bool v) { c->SetTabStop(v); }),
       EventProp<TWinControl>("OnKeyDown", &TWinControl::OnKeyDown), EventProp<TWinControl>("OnKeyUp", &TWinControl::OnKeyUp),
       EventProp<TWinControl>("OnKeyPress", &TWinControl::OnKeyPress), EventProp<TWinControl>("OnEnter", &TWinControl::OnEnter),
       EventProp<TWinControl>("OnExit", &TWinControl::OnExit)});
  RegisterPropertyClass<TGraphicControl, TControl>("TGraphicControl", {});
  RegisterPropertyClass<TCustomControl, TWinControl>("TCustomControl", {});
  RegisterPropertyClass<TCustomForm, TWinControl>(
      "TCustomForm",
      {ComponentProp<TCustomForm>("Menu", [](TCustomForm* f) { return f->Menu(); },
                                  [](TCustomForm* f, TComponent* v) { f->SetMenu(CheckedMainMenu(v)); }),
       EnumProp<TCustomForm, TFormBorderStyle>(
           "BorderStyle", {"bsNone", "bsSingle", "bsSizeable", "bsDialog", "bsToolWindow", "bsSizeToolWin"},
           [](TCustomForm* f) { return f->BorderStyle(); }, [](TCustomForm* f, TFormBorderStyle v) { f->SetBorderStyle(v); }),
       SetProp<TCustomForm, TBorderIcon>(
           "BorderIcons", {"biSystemMenu", "biMinimize", "biMaximize", "biHelp"},
           [](TCustomForm* f) { return f->BorderIcons(); }, [](TCustomForm* f, TBorderIcons v) { f->SetBorderIcons(v); }),
       EnumProp<TCustomForm, TFormStyle>("FormStyle", {"fsNormal", "fsMDIChild", "fsMDIForm", "fsStayOnTop"},
                                        [](TCustomForm* f) { return f->FormStyle(); },
                                        [](TCustomForm* f, TFormStyle v) { f->SetFormStyle(v); }),
       EnumProp<TCustomForm, TPosition>(
           "Position",
           {"poDesigned", "poDefault", "poDefaultPosOnly", "poDefaultSizeOnly", "poScreenCenter", "poDesktopCenter",
            "poMainFormCenter", "poOwnerFormCenter"},
           [](TCustomForm* f) { return f->Position(); }, [](TCustomForm* f, TPosition v) { f->SetPosition(v); }),
       EventProp<TCustomForm>("OnCreate", &TCustomForm::OnCreate), EventProp<TCustomForm>("OnShow", &TCustomForm::OnShow),
       EventProp<TCustomForm>("OnHide", &TCustomForm::OnHide), EventProp<TCustomForm>("OnActivate", &TCustomForm::OnActivate),
       EventProp<TCustomForm>("OnDeactivate", &TCustomForm::OnDeactivate),
       EventProp<TCustomForm>("OnPaint", &TCustomForm::OnPaint), EventProp<TCustomForm>("OnResize", &TCustomForm::OnResize),
       EventProp<TCustomForm>("OnCloseQuery", &TCustomForm::OnCloseQuery),
       EventProp<TCustomForm>("OnClose", &TCustomForm::OnClose), EventProp<TCustomForm>("OnDestroy", &TCustomForm::OnDestroy),
       BoolProp<TCustomForm>("KeyPreview", [](TCustomForm* f) { return f->KeyPreview; },
                             [](TCustomForm* f, bool v) { f->KeyPreview = v; }),
       ComponentProp<TCustomForm>("ActiveControl", [](TCustomForm* f) { return f->ActiveControl(); },
                                  [](TCustomForm* f, TComponent* v) { f->SetActiveControl(dynamic_cast<TWinControl*>(v)); })});
  RegisterPropertyClass<TForm, TCustomForm>("TForm", {});
  RegisterControlClasses();
  RegisterMenuClasses();
}

}  // namespace
