#include "platform/vcl/Definitions.h"

#include <cctype>
#include <cstring>
#include <mutex>

#include "platform/vcl/Forms.h"
#include "platform/vcl/TypInfo.h"

bool TDefValue::operator==(const TDefValue& o) const {
  return Kind == o.Kind && Int == o.Int && Str == o.Str && List == o.List && Items == o.Items && Binary == o.Binary;
}

// ---------------------------------------------------------------------------
// Reading the text

namespace {

[[noreturn]] void Fail(int Line, const String& What) { throw EReadError(Format("Line %d: %s", {Line, What})); }

void AppendUtf8(String& s, uint32_t cp) {
  std::u16string units;
  if (cp < 0x10000) {
    units += char16_t(cp);
  } else {
    units += char16_t(0xD800 + ((cp - 0x10000) >> 10));
    units += char16_t(0xDC00 + ((cp - 0x10000) & 0x3FF));
  }
  s += UTF16ToUTF8(units);
}

int HexDigit(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

struct TToken {
  enum TKind { tEnd, tIdent, tInteger, tString, tSymbol, tBinary } Kind = tEnd;
  String Text;  // identifier, string contents, symbol
  int64_t Int = 0;
  TBytes Binary;
  int Line = 1;
};

class TParser {
 public:
  explicit TParser(std::string_view Text) : FText(Text) { Next(); }

  TDefObject ParseObject() {
    if (!IsIdent("object") && !IsIdent("inherited") && !IsIdent("inline")) Fail(FTok.Line, "'object' expected");
    TDefObject obj;
    obj.Line = FTok.Line;
    obj.Inline = IsIdent("inline");
    Next();
    obj.Name = ExpectIdent("component name");
    ExpectSymbol(":");
    obj.ClassName = ExpectIdent("class name");
    for (;;) {
      if (FTok.Kind == TToken::tEnd) Fail(FTok.Line, "'end' expected");
      if (IsIdent("end")) {
        Next();
        return obj;
      }
      if (IsIdent("object") || IsIdent("inherited") || IsIdent("inline")) {
        obj.Children.push_back(ParseObject());
        continue;
      }
      obj.Properties.push_back(ParseProperty());
    }
  }

  void ExpectEnd() {
    if (FTok.Kind != TToken::tEnd) Fail(FTok.Line, "Text after the last 'end'");
  }

 private:
  TDefProperty ParseProperty() {
    TDefProperty p;
    p.Line = FTok.Line;
    p.Name = ExpectIdent("property name");
    ExpectSymbol("=");
    p.Value = ParseValue();
    return p;
  }

  TDefValue ParseValue() {
    TDefValue v;
    switch (FTok.Kind) {
      case TToken::tInteger:
        v.Kind = TDefValue::vInteger;
        v.Int = FTok.Int;
        Next();
        return v;
      case TToken::tString:
        v.Kind = TDefValue::vString;
        v.Str = ParseString();
        return v;
      case TToken::tIdent:
        v.Kind = TDefValue::vIdent;
        v.Str = FTok.Text;
        Next();
        return v;
      case TToken::tBinary:
        v.Kind = TDefValue::vBinary;
        v.Binary = std::move(FTok.Binary);
        Next();
        return v;
      case TToken::tSymbol:
        if (FTok.Text == "[") {
          v.Kind = TDefValue::vSet;
          Next();
          while (!IsSymbol("]")) {
            if (!v.List.empty()) ExpectSymbol(",");
            v.List.push_back(ExpectIdent("set element"));
          }
          Next();
          return v;
        }
        if (FTok.Text == "(") {
          v.Kind = TDefValue::vList;
          Next();
          while (!IsSymbol(")")) {
            if (FTok.Kind != TToken::tString) Fail(FTok.Line, "String expected in list");
            v.List.push_back(ParseString());
          }
          Next();
          return v;
        }
        if (FTok.Text == "<") {
          v.Kind = TDefValue::vCollection;
          Next();
          while (!IsSymbol(">")) {
            if (!IsIdent("item")) Fail(FTok.Line, "'item' expected");
            Next();
            TDefItem item;
            while (!IsIdent("end")) {
              if (FTok.Kind == TToken::tEnd) Fail(FTok.Line, "'end' expected");
              item.Properties.push_back(ParseProperty());
            }
            Next();
            v.Items.push_back(std::move(item));
          }
          Next();
          return v;
        }
        break;
      case TToken::tEnd: break;
    }
    Fail(FTok.Line, "Property value expected");
  }

  // Pieces written together ('a'#13'b') are one token; '+' joins tokens
  // (long strings broken over lines). Tokens apart are list items.
  String ParseString() {
    String s = FTok.Text;
    Next();
    while (IsSymbol("+")) {
      Next();
      if (FTok.Kind != TToken::tString) Fail(FTok.Line, "String expected after '+'");
      s += FTok.Text;
      Next();
    }
    return s;
  }

  bool IsIdent(const char* Word) const { return FTok.Kind == TToken::tIdent && SameText(FTok.Text, Word); }
  bool IsSymbol(const char* Sym) const { return FTok.Kind == TToken::tSymbol && FTok.Text == Sym; }
  String ExpectIdent(const char* What) {
    if (FTok.Kind != TToken::tIdent) Fail(FTok.Line, Format("%s expected", {What}));
    String s = FTok.Text;
    Next();
    return s;
  }
  void ExpectSymbol(const char* Sym) {
    if (!IsSymbol(Sym)) Fail(FTok.Line, Format("'%s' expected", {Sym}));
    Next();
  }

  void Next() {
    SkipBlanks();
    FTok = TToken();
    FTok.Line = FLine;
    if (FPos >= FText.size()) return;
    char c = FText[FPos];
    if (std::isalpha(static_cast<unsigned char>(c)) || c == '_') {
      size_t start = FPos;
      while (FPos < FText.size() && (std::isalnum(static_cast<unsigned char>(FText[FPos])) || FText[FPos] == '_' ||
                                     FText[FPos] == '.'))
        ++FPos;
      FTok.Kind = TToken::tIdent;
      FTok.Text = String(FText.substr(start, FPos - start));
      return;
    }
    if (std::isdigit(static_cast<unsigned char>(c)) || c == '$' ||
        (c == '-' && FPos + 1 < FText.size() &&
         (std::isdigit(static_cast<unsigned char>(FText[FPos + 1])) || FText[FPos + 1] == '$'))) {
      size_t start = FPos++;
      while (FPos < FText.size() && std::isxdigit(static_cast<unsigned char>(FText[FPos]))) ++FPos;
      String text(FText.substr(start, FPos - start));
      String num = text;
      bool neg = !num.empty() && num[0] == '-';
      if (neg) num.erase(0, 1);
      int64_t v = 0;
      bool ok = !num.empty();
      if (ok && num[0] == '$') {
        ok = num.size() > 1 && num.size() <= 17;
        for (size_t i = 1; ok && i < num.size(); ++i) v = v * 16 + HexDigit(num[i]);
      } else {
        ok = ok && TryStrToInt64(num, v);
      }
      if (!ok) Fail(FLine, Format("Invalid number %s", {text}));
      FTok.Kind = TToken::tInteger;
      FTok.Int = neg ? -v : v;
      return;
    }
    if (c == '\'' || c == '#') {
      FTok.Kind = TToken::tString;
      while (FPos < FText.size() && (FText[FPos] == '\'' || FText[FPos] == '#')) {
        if (FText[FPos] == '#') {
          size_t start = ++FPos;
          uint32_t cp = 0;
          while (FPos < FText.size() && std::isdigit(static_cast<unsigned char>(FText[FPos])) && cp <= 0x10FFFF)
            cp = cp * 10 + uint32_t(FText[FPos++] - '0');
          if (FPos == start || cp > 0x10FFFF) Fail(FLine, "Invalid character code");
          AppendUtf8(FTok.Text, cp);
          continue;
        }
        ++FPos;
        for (;;) {
          if (FPos >= FText.size() || FText[FPos] == '\n') Fail(FLine, "Unterminated string");
          if (FText[FPos] == '\'') {
            if (FPos + 1 < FText.size() && FText[FPos + 1] == '\'') {
              FTok.Text += '\'';
              FPos += 2;
              continue;
            }
            ++FPos;
            break;
          }
          FTok.Text += FText[FPos++];
        }
      }
      return;
    }
    if (c == '{') {
      ++FPos;
      FTok.Kind = TToken::tBinary;
      int high = -1;
      for (;;) {
        if (FPos >= FText.size()) Fail(FTok.Line, "Unterminated binary data");
        char h = FText[FPos++];
        if (h == '}') break;
        if (h == '\n') ++FLine;
        if (std::isspace(static_cast<unsigned char>(h))) continue;
        int d = HexDigit(h);
        if (d < 0) Fail(FLine, "Invalid binary data");
        if (high < 0) {
          high = d;
        } else {
          FTok.Binary.push_back(uint8_t(high * 16 + d));
          high = -1;
        }
      }
      if (high >= 0) Fail(FLine, "Odd number of hex digits");
      return;
    }
    if (std::strchr("=:[](),<>+", c)) {
      FTok.Kind = TToken::tSymbol;
      FTok.Text = String(1, c);
      ++FPos;
      return;
    }
    Fail(FLine, Format("Unexpected character '%s'", {String(1, c)}));
  }

  void SkipBlanks() {
    while (FPos < FText.size()) {
      char c = FText[FPos];
      if (c == '\n') {
        ++FLine;
        ++FPos;
      } else if (std::isspace(static_cast<unsigned char>(c))) {
        ++FPos;
      } else if (c == '/' && FPos + 1 < FText.size() && FText[FPos + 1] == '/') {
        while (FPos < FText.size() && FText[FPos] != '\n') ++FPos;
      } else {
        return;
      }
    }
  }

  std::string_view FText;
  size_t FPos = 0;
  int FLine = 1;
  TToken FTok;
};

// ---------------------------------------------------------------------------
// Writing the text

String QuoteString(const String& S) {
  if (S.empty()) return "''";
  String out;
  bool inQuote = false;
  for (char c : S) {
    auto u = static_cast<unsigned char>(c);
    if (u < 32 || u == 127) {
      if (inQuote) out += '\'';
      inQuote = false;
      out += '#' + IntToStr(u);
    } else {
      if (!inQuote) out += '\'';
      inQuote = true;
      out += c;
      if (c == '\'') out += '\'';
    }
  }
  if (inQuote) out += '\'';
  return out;
}

void WriteValue(String& out, const TDefValue& v, const String& indent);

void WriteProperties(String& out, const std::vector<TDefProperty>& props, const String& indent) {
  for (const TDefProperty& p : props) {
    out += indent + p.Name + " = ";
    WriteValue(out, p.Value, indent);
    out += '\n';
  }
}

void WriteValue(String& out, const TDefValue& v, const String& indent) {
  switch (v.Kind) {
    case TDefValue::vInteger: out += IntToStr(v.Int); break;
    case TDefValue::vString: out += QuoteString(v.Str); break;
    case TDefValue::vIdent: out += v.Str; break;
    case TDefValue::vSet:
      out += '[';
      for (size_t i = 0; i < v.List.size(); ++i) out += (i ? ", " : "") + v.List[i];
      out += ']';
      break;
    case TDefValue::vList:
      out += '(';
      for (const String& s : v.List) out += '\n' + indent + "  " + QuoteString(s);
      out += ')';
      break;
    case TDefValue::vCollection:
      out += '<';
      for (const TDefItem& item : v.Items) {
        out += '\n' + indent + "  item\n";
        WriteProperties(out, item.Properties, indent + "    ");
        out += indent + "  end";
      }
      out += '>';
      break;
    case TDefValue::vBinary: {
      static const char digits[] = "0123456789ABCDEF";
      out += '{';
      for (size_t i = 0; i < v.Binary.size(); ++i) {
        if (i % 32 == 0) out += '\n' + indent + "  ";
        out += digits[v.Binary[i] >> 4];
        out += digits[v.Binary[i] & 15];
      }
      out += '}';
      break;
    }
  }
}

void WriteObject(String& out, const TDefObject& obj, const String& indent) {
  out += indent + (obj.Inline ? "inline " : "object ") + obj.Name + ": " + obj.ClassName + '\n';
  WriteProperties(out, obj.Properties, indent + "  ");
  for (const TDefObject& child : obj.Children) WriteObject(out, child, indent + "  ");
  out += indent + "end\n";
}

}  // namespace

TDefObject ParseDefinition(std::string_view Text) {
  TParser parser(Text);
  TDefObject obj = parser.ParseObject();
  parser.ExpectEnd();
  return obj;
}

String WriteDefinition(const TDefObject& Object) {
  String out;
  WriteObject(out, Object, "");
  return out;
}

// ---------------------------------------------------------------------------
// Handlers

const std::any* THandlerRegistry::Find(const String& Name) const {
  auto it = FHandlers.find(UpperCase(Name));
  return it == FHandlers.end() ? nullptr : &it->second.second;
}

String THandlerRegistry::BoundName(TObject* Instance, const String& Event) const {
  auto it = FBound.find({Instance, UpperCase(Event)});
  return it == FBound.end() ? String() : it->second;
}

// ---------------------------------------------------------------------------
// Loading into components

namespace {

struct TFixup {
  TObject* Instance;
  const TPropInfo* Info;
  String Name;
  int Line;
};

class TLoader {
 public:
  TLoader(TComponent* Root, THandlerRegistry* Handlers) : FRoot(Root), FHandlers(Handlers) {}

  void LoadObject(TComponent* Instance, const TDefObject& Def, TWinControl* ParentControl) {
    if (auto* control = dynamic_cast<TControl*>(Instance); control && ParentControl && control != ParentControl)
      control->SetParent(ParentControl);
    auto* asParent = dynamic_cast<TWinControl*>(Instance);
    // Children are laid out once, at their designed sizes, after everything is read.
    if (asParent) asParent->DisableAlign();
    for (const TDefProperty& p : Def.Properties) Apply(Instance, p);
    for (const TDefObject& child : Def.Children) {
      // A component the inline host's own definition made: the block changes it.
      if (Def.Inline && dynamic_cast<TDefinitionHost*>(Instance))
        if (TComponent* own = Instance->FindComponent(child.Name)) {
          LoadObject(own, child, nullptr);
          continue;
        }
      const TRegisteredClass* cls = FindClassInfo(child.ClassName);
      if (!cls || !cls->Create) Fail(child.Line, Format("Class %s not found", {child.ClassName}));
      TComponent* c = cls->Create(FRoot);
      Guard(child.Line, [&] { c->SetName(child.Name); });
      if (!dynamic_cast<TControl*>(c)) Guard(child.Line, [&] { c->SetParentComponent(Instance); });
      if (child.Inline) {
        auto* host = dynamic_cast<TDefinitionHost*>(c);
        if (!host || !host->HasOwnDefinition()) Fail(child.Line, Format("Class %s cannot be inline", {child.ClassName}));
        Guard(child.Line, [&] { host->LoadOwnDefinition(); });
      }
      LoadObject(c, child, asParent ? asParent : ParentControl);
    }
    if (asParent) asParent->EnableAlign();
  }

  void ResolveFixups() {
    for (const TFixup& f : FFixups) {
      TComponent* c = SameText(FRoot->GetName(), f.Name) ? FRoot : FRoot->FindComponent(f.Name);
      if (!c) Fail(f.Line, Format("Component %s not found for property %s", {f.Name, f.Info->Name}));
      Guard(f.Line, [&] { f.Info->SetComponent(f.Instance, c); });
    }
  }

 private:
  template <class F>
  static void Guard(int Line, F&& Action) {
    try {
      Action();
    } catch (const EReadError&) {
      throw;
    } catch (const Exception& e) {
      Fail(Line, e.Message);
    }
  }

  void Apply(TObject* Instance, const TDefProperty& p) {
    Guard(p.Line, [&] { ApplyValue(Instance, p); });
  }

  [[noreturn]] static void BadValue(const TDefProperty& p) {
    Fail(p.Line, Format("Invalid value for property %s", {p.Name}));
  }

  void ApplyValue(TObject* Instance, const TDefProperty& p) {
    const TDefValue& v = p.Value;
    TPropTarget t{nullptr, nullptr};
    // Pictures are stored under "<Picture>.Data" and string lists under "<Lines>.Strings".
    String path = p.Name;
    auto strip = [&path](std::string_view suffix) {
      if (path.size() > suffix.size() && SameText(std::string_view(path).substr(path.size() - suffix.size()), suffix))
        path.resize(path.size() - suffix.size());
    };
    if (v.Kind == TDefValue::vBinary) strip(".Data");
    if (v.Kind == TDefValue::vList) strip(".Strings");
    t = ResolvePropPath(Instance, path);
    const TPropInfo& info = *t.Info;
    switch (info.Kind) {
      case pkInteger:
        if (v.Kind != TDefValue::vInteger) BadValue(p);
        info.SetOrd(t.Instance, v.Int);
        return;
      case pkBoolean:
        if (v.Kind != TDefValue::vIdent || (!SameText(v.Str, "True") && !SameText(v.Str, "False"))) BadValue(p);
        info.SetOrd(t.Instance, SameText(v.Str, "True") ? 1 : 0);
        return;
      case pkEnumeration:
        if (v.Kind != TDefValue::vIdent) BadValue(p);
        info.SetOrd(t.Instance, IdentToOrd(info, v.Str));
        return;
      case pkSet: {
        if (v.Kind != TDefValue::vSet) BadValue(p);
        int64_t bits = 0;
        for (const String& ident : v.List) bits |= int64_t(1) << IdentToOrd(info, ident);
        info.SetOrd(t.Instance, bits);
        return;
      }
      case pkColor: {
        int32_t c = 0;
        if (v.Kind == TDefValue::vInteger) c = static_cast<int32_t>(v.Int);
        else if (v.Kind != TDefValue::vIdent || !IdentToColor(v.Str, c)) BadValue(p);
        info.SetOrd(t.Instance, c);
        return;
      }
      case pkString:
        if (v.Kind != TDefValue::vString) BadValue(p);
        info.SetStr(t.Instance, v.Str);
        return;
      case pkStrings: {
        if (v.Kind != TDefValue::vList) BadValue(p);
        auto* strings = static_cast<TStrings*>(info.GetObject(t.Instance));
        strings->Clear();
        for (const String& s : v.List) strings->Add(s);
        return;
      }
      case pkCollection: {
        if (v.Kind != TDefValue::vCollection) BadValue(p);
        auto* collection = static_cast<TCollection*>(info.GetObject(t.Instance));
        collection->Clear();
        for (const TDefItem& item : v.Items) {
          TCollectionItem* added = collection->Add();
          for (const TDefProperty& ip : item.Properties) Apply(added, ip);
        }
        return;
      }
      case pkPicture: {
        if (v.Kind != TDefValue::vBinary) BadValue(p);
        TMemoryStream stream;
        if (!v.Binary.empty()) stream.WriteBuffer(v.Binary.data(), static_cast<int64_t>(v.Binary.size()));
        stream.SetPosition(0);
        // A picture names its graphic's class; a bitmap property (a glyph) holds the bitmap alone.
        TPersistent* target = info.GetObject(t.Instance);
        if (auto* graphic = dynamic_cast<TGraphic*>(target)) graphic->ReadData(stream);
        else static_cast<TPicture*>(target)->ReadData(stream);
        return;
      }
      case pkComponent:
        if (v.Kind != TDefValue::vIdent) BadValue(p);
        // Resolved once every component exists: references may point forward.
        FFixups.push_back({t.Instance, &info, v.Str, p.Line});
        return;
      case pkEvent: {
        if (v.Kind != TDefValue::vIdent) BadValue(p);
        const std::any* handler = FHandlers ? FHandlers->Find(v.Str) : nullptr;
        if (!handler) Fail(p.Line, Format("Handler %s not found", {v.Str}));
        try {
          info.SetEvent(t.Instance, *handler);
        } catch (const std::bad_any_cast&) {
          Fail(p.Line, Format("Handler %s does not fit event %s", {v.Str, info.Name}));
        }
        FHandlers->Bound(t.Instance, info.Name, v.Str);
        return;
      }
      case pkDefined:
        info.ReadDefined(t.Instance, v);
        return;
      case pkClass: BadValue(p);
    }
  }

  TComponent* FRoot;
  THandlerRegistry* FHandlers;
  std::vector<TFixup> FFixups;
};

// Properties of Instance as definition entries; Prefix names a sub-object.
void DescribeProperties(TObject* Instance, const String& Prefix, const THandlerRegistry* Handlers,
                        std::vector<TDefProperty>& Out) {
  for (const TPropInfo* info : GetPropList(Instance)) {
    if (!info->Stored) continue;
    TDefProperty p;
    p.Name = Prefix + info->Name;
    TDefValue& v = p.Value;
    switch (info->Kind) {
      case pkInteger: v.Int = info->GetOrd(Instance); break;
      case pkBoolean:
        v.Kind = TDefValue::vIdent;
        v.Str = info->GetOrd(Instance) ? "True" : "False";
        break;
      case pkEnumeration: {
        int64_t ord = info->GetOrd(Instance);
        if (ord < 0 || size_t(ord) >= info->Idents.size()) continue;
        v.Kind = TDefValue::vIdent;
        v.Str = info->Idents[size_t(ord)];
        break;
      }
      case pkSet: {
        v.Kind = TDefValue::vSet;
        int64_t bits = info->GetOrd(Instance);
        for (size_t i = 0; i < info->Idents.size() && i < 32; ++i)
          if (bits & (int64_t(1) << i)) v.List.push_back(info->Idents[i]);
        break;
      }
      case pkColor: {
        auto c = static_cast<int32_t>(info->GetOrd(Instance));
        if (ColorToIdent(c, v.Str)) v.Kind = TDefValue::vIdent;
        else v.Int = c;
        break;
      }
      case pkString:
        v.Kind = TDefValue::vString;
        v.Str = info->GetStr(Instance);
        break;
      case pkClass:
        if (TPersistent* sub = info->GetObject(Instance)) DescribeProperties(sub, p.Name + ".", Handlers, Out);
        continue;
      case pkStrings: {
        auto* strings = static_cast<TStrings*>(info->GetObject(Instance));
        if (strings->Count() == 0) continue;
        v.Kind = TDefValue::vList;
        for (int i = 0; i < strings->Count(); ++i) v.List.push_back(strings->Strings(i));
        p.Name += ".Strings";
        break;
      }
      case pkCollection: {
        auto* collection = static_cast<TCollection*>(info->GetObject(Instance));
        if (collection->Count() == 0) continue;
        v.Kind = TDefValue::vCollection;
        for (int i = 0; i < collection->Count(); ++i) {
          TDefItem item;
          DescribeProperties(collection->Items(i), "", Handlers, item.Properties);
          v.Items.push_back(std::move(item));
        }
        break;
      }
      case pkPicture: {
        TPersistent* target = info->GetObject(Instance);
        TMemoryStream stream;
        if (auto* graphic = dynamic_cast<TGraphic*>(target)) {
          if (graphic->Empty()) continue;
          graphic->WriteData(stream);
        } else {
          auto* picture = static_cast<TPicture*>(target);
          if (!picture->Graphic() || picture->Graphic()->Empty()) continue;
          picture->WriteData(stream);
        }
        v.Kind = TDefValue::vBinary;
        v.Binary = stream.Bytes();
        p.Name += ".Data";
        break;
      }
      case pkComponent: {
        TComponent* c = info->GetComponent(Instance);
        if (!c) continue;
        v.Kind = TDefValue::vIdent;
        v.Str = c->GetName();
        break;
      }
      case pkEvent:
        if (!Handlers) continue;
        v.Str = Handlers->BoundName(Instance, info->Name);
        if (v.Str.empty()) continue;
        v.Kind = TDefValue::vIdent;
        break;
      case pkDefined:
        if (!info->WriteDefined(Instance, v)) continue;
        break;
    }
    Out.push_back(std::move(p));
  }
}

String BareClassName(TObject* Instance) {
  String name = Instance->ClassName();
  size_t colon = name.rfind("::");
  return colon == String::npos ? name : name.substr(colon + 2);
}

TDefObject DescribeOne(TComponent* Root, TComponent* C, const THandlerRegistry* Handlers) {
  TDefObject obj;
  obj.Name = C->GetName();
  const TRegisteredClass* cls = FindClassInfo(C);
  obj.ClassName = C == Root || !cls ? BareClassName(C) : cls->ClassName;
  if (auto* host = dynamic_cast<TDefinitionHost*>(C); host && C != Root) obj.Inline = host->HasOwnDefinition();
  std::vector<TDefProperty> props;
  DescribeProperties(C, "", Handlers, props);
  for (TDefProperty& p : props)
    if (!SameText(p.Name, "Name")) obj.Properties.push_back(std::move(p));  // the header carries it
  // Owned components nest under the control they sit on; others under the root.
  for (int i = 0; i < Root->ComponentCount(); ++i) {
    TComponent* owned = Root->Components(i);
    auto* control = dynamic_cast<TControl*>(owned);
    TComponent* container = control && control->Parent() ? control->Parent() : Root;
    if (!control && owned->GetParentComponent()) container = owned->GetParentComponent();
    if (container->Owner() != Root) container = Root;
    if (container == C) obj.Children.push_back(DescribeOne(Root, owned, Handlers));
  }
  return obj;
}

std::mutex& EmbeddedLock() {
  static std::mutex m;
  return m;
}
std::vector<const char*>& Embedded() {
  static std::vector<const char*> list;
  return list;
}

}  // namespace

void LoadDefinition(TComponent* Root, const TDefObject& Object, THandlerRegistry* Handlers) {
  TLoader loader(Root, Handlers);
  loader.LoadObject(Root, Object, nullptr);
  loader.ResolveFixups();
}

void LoadDefinition(TComponent* Root, std::string_view Text, THandlerRegistry* Handlers) {
  LoadDefinition(Root, ParseDefinition(Text), Handlers);
}

TDefObject DescribeComponent(TComponent* Root, const THandlerRegistry* Handlers) {
  return DescribeOne(Root, Root, Handlers);
}

void RegisterWindowDefinition(const char* Text) {
  std::lock_guard lock(EmbeddedLock());
  Embedded().push_back(Text);
}

const char* FindWindowDefinition(const String& ClassName) {
  std::lock_guard lock(EmbeddedLock());
  for (const char* text : Embedded()) {
    TDefObject def = ParseDefinition(text);
    if (SameText(def.ClassName, ClassName)) return text;
  }
  return nullptr;
}
