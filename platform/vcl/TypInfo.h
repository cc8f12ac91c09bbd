#pragma once
// Published properties: each component class registers descriptors of the
// properties it exposes by name (kind, identifiers, getter and setter), and
// inherits those of its registered ancestors. Skins and window definitions
// read and set properties through them, by name or as text.

#include <any>
#include <functional>
#include <memory>
#include <type_traits>
#include <vector>

#include "platform/rtl/Classes.h"
#include "platform/vcl/Types.h"

class EPropertyError : public Exception {
 public:
  using Exception::Exception;
};

enum TPropKind {
  pkInteger,
  pkBoolean,
  pkString,
  pkEnumeration,  // an identifier from Idents, stored as its ordinal
  pkSet,          // identifiers from Idents, stored as bits
  pkColor,
  pkClass,        // a sub-object with properties of its own (Font)
  pkStrings,      // a TStrings
  pkCollection,   // a TCollection whose items have registered properties
  pkPicture,      // a TPicture, or a TGraphic held alone (a button glyph)
  pkComponent,    // a reference to another component, by name
  pkEvent,        // a handler, bound by name when definitions are loaded
  pkDefined,      // a value the class reads and writes itself (binary data, its own lists)
};

struct TDefValue;

struct TPropInfo {
  String Name;
  TPropKind Kind = pkInteger;
  std::vector<String> Idents;
  // False for properties derived from others (ClientWidth): the writer leaves them out.
  bool Stored = true;
  // Integer, boolean, enumeration, set and colour.
  std::function<int64_t(TObject*)> GetOrd;
  std::function<void(TObject*, int64_t)> SetOrd;
  std::function<String(TObject*)> GetStr;
  std::function<void(TObject*, const String&)> SetStr;
  // Class, strings, collection and picture: the owned object.
  std::function<TPersistent*(TObject*)> GetObject;
  std::function<TComponent*(TObject*)> GetComponent;
  std::function<void(TObject*, TComponent*)> SetComponent;
  // The handler's function object in a std::any; std::bad_any_cast on a wrong type.
  std::function<void(TObject*, const std::any&)> SetEvent;
  // Defined: takes the value of a window definition; fills one, false when nothing is to be stored.
  std::function<void(TObject*, const TDefValue&)> ReadDefined;
  std::function<bool(TObject*, TDefValue&)> WriteDefined;
};

// A registered class: its properties, its ancestor and, for components that
// can be made from an owner alone, a factory.
struct TRegisteredClass {
  String ClassName;
  const TRegisteredClass* Parent = nullptr;
  std::function<bool(TObject*)> Is;
  std::vector<TPropInfo> Properties;
  std::function<TComponent*(TComponent* Owner)> Create;
  int Depth = 0;
};

const TRegisteredClass* RegisterClassInfo(std::unique_ptr<TRegisteredClass> Class);
// Registers the framework's own classes (once), so that others can derive from them.
void EnsureStandardClasses();

namespace typinfo_detail {
template <class T>
const TRegisteredClass*& Slot() {
  static const TRegisteredClass* cls = nullptr;
  return cls;
}
}  // namespace typinfo_detail

// Registers T under ClassName with Props, below Parent (void for a root).
// Registering T again replaces nothing and returns the first record.
template <class T, class Parent = void>
const TRegisteredClass* RegisterPropertyClass(const String& ClassName, std::vector<TPropInfo> Props) {
  auto& slot = typinfo_detail::Slot<T>();
  if (slot) return slot;
  auto cls = std::make_unique<TRegisteredClass>();
  cls->ClassName = ClassName;
  if constexpr (!std::is_void_v<Parent>) {
    if (!typinfo_detail::Slot<Parent>()) EnsureStandardClasses();
    cls->Parent = typinfo_detail::Slot<Parent>();
  }
  cls->Is = [](TObject* o) { return dynamic_cast<T*>(o) != nullptr; };
  cls->Properties = std::move(Props);
  if constexpr (std::is_base_of_v<TComponent, T> && std::is_constructible_v<T, TComponent*> &&
                !std::is_abstract_v<T>)
    cls->Create = [](TComponent* Owner) -> TComponent* { return new T(Owner); };
  slot = RegisterClassInfo(std::move(cls));
  return slot;
}

// The most derived registered class Instance belongs to, or nullptr.
const TRegisteredClass* FindClassInfo(TObject* Instance);
// By class name (ignoring case), or nullptr.
const TRegisteredClass* FindClassInfo(const String& ClassName);

// A property of Instance's class or its ancestors (a derived class's
// descriptor hides its ancestor's), by name ignoring case; nullptr if none.
const TPropInfo* GetPropInfo(TObject* Instance, const String& Name);
// Every property, ancestors' first.
std::vector<const TPropInfo*> GetPropList(TObject* Instance);

// Dotted paths reach sub-object properties ("Font.Name"). Unknown names
// raise EPropertyError naming the property and the class.
struct TPropTarget {
  TObject* Instance;
  const TPropInfo* Info;
};
TPropTarget ResolvePropPath(TObject* Instance, const String& Path);

// Values as text: integers in decimal, booleans True/False, enumerations by
// identifier, sets as "[a,b]", colours by name or number, string lists as
// their Text, components by name. EPropertyError for a value the kind rejects.
String GetPropValue(TObject* Instance, const String& Path);
void SetPropValue(TObject* Instance, const String& Path, const String& Value);

int64_t GetOrdProp(TObject* Instance, const String& Path);
void SetOrdProp(TObject* Instance, const String& Path, int64_t Value);
String GetStrProp(TObject* Instance, const String& Path);
void SetStrProp(TObject* Instance, const String& Path, const String& Value);
TPersistent* GetObjectProp(TObject* Instance, const String& Path);

// Identifier <-> ordinal for enumerations and sets (EPropertyError when unknown).
int64_t IdentToOrd(const TPropInfo& Info, const String& Ident);
String SetToString(const TPropInfo& Info, int64_t Bits);
int64_t StringToSet(const TPropInfo& Info, const String& Text);

// ---- Descriptor builders over typed getters and setters ----

template <class T, class G, class S>
TPropInfo OrdProp(const String& Name, TPropKind Kind, G Get, S Set, std::vector<String> Idents = {}) {
  TPropInfo p;
  p.Name = Name;
  p.Kind = Kind;
  p.Idents = std::move(Idents);
  p.GetOrd = [Get](TObject* o) { return static_cast<int64_t>(Get(static_cast<T*>(o))); };
  p.SetOrd = [Set](TObject* o, int64_t v) { Set(static_cast<T*>(o), v); };
  return p;
}

// The descriptor with Stored cleared.
inline TPropInfo NotStored(TPropInfo Info) {
  Info.Stored = false;
  return Info;
}

template <class T, class G, class S>
TPropInfo IntProp(const String& Name, G Get, S Set) {
  return OrdProp<T>(Name, pkInteger, Get, [Set](T* o, int64_t v) { Set(o, static_cast<int>(v)); });
}
template <class T, class G, class S>
TPropInfo BoolProp(const String& Name, G Get, S Set) {
  return OrdProp<T>(Name, pkBoolean, Get, [Set](T* o, int64_t v) { Set(o, v != 0); });
}
template <class T, class G, class S>
TPropInfo ColorProp(const String& Name, G Get, S Set) {
  return OrdProp<T>(Name, pkColor, Get, [Set](T* o, int64_t v) { Set(o, static_cast<int32_t>(v)); });
}
template <class T, class E, class G, class S>
TPropInfo EnumProp(const String& Name, std::vector<String> Idents, G Get, S Set) {
  return OrdProp<T>(Name, pkEnumeration, Get, [Set](T* o, int64_t v) { Set(o, static_cast<E>(v)); }, std::move(Idents));
}
template <class T, class E, class G, class S>
TPropInfo SetProp(const String& Name, std::vector<String> Idents, G Get, S Set) {
  return OrdProp<T>(
      Name, pkSet, [Get](T* o) { return Get(o).Bits(); },
      [Set](T* o, int64_t v) { Set(o, TSet<E>::FromBits(static_cast<uint32_t>(v))); }, std::move(Idents));
}
template <class T, class G, class S>
TPropInfo StrProp(const String& Name, G Get, S Set) {
  TPropInfo p;
  p.Name = Name;
  p.Kind = pkString;
  p.GetStr = [Get](TObject* o) { return String(Get(static_cast<T*>(o))); };
  p.SetStr = [Set](TObject* o, const String& v) { Set(static_cast<T*>(o), v); };
  return p;
}
// Class, strings, collection or picture: the getter returns the owned object.
template <class T, class G>
TPropInfo ObjectProp(const String& Name, TPropKind Kind, G Get) {
  TPropInfo p;
  p.Name = Name;
  p.Kind = Kind;
  p.GetObject = [Get](TObject* o) -> TPersistent* { return Get(static_cast<T*>(o)); };
  return p;
}
template <class T, class G, class S>
TPropInfo ComponentProp(const String& Name, G Get, S Set) {
  TPropInfo p;
  p.Name = Name;
  p.Kind = pkComponent;
  p.GetComponent = [Get](TObject* o) -> TComponent* { return Get(static_cast<T*>(o)); };
  p.SetComponent = [Set](TObject* o, TComponent* c) { Set(static_cast<T*>(o), c); };
  return p;
}
// A property the class streams itself (the hook for extra stored properties):
// Read(T*, const TDefValue&) takes the value; Write(T*, TDefValue&) fills it
// and answers whether it is to be stored.
template <class T, class R, class W>
TPropInfo DefinedProp(const String& Name, R Read, W Write) {
  TPropInfo p;
  p.Name = Name;
  p.Kind = pkDefined;
  p.ReadDefined = [Read](TObject* o, const TDefValue& v) { Read(static_cast<T*>(o), v); };
  p.WriteDefined = [Write](TObject* o, TDefValue& v) -> bool { return Write(static_cast<T*>(o), v); };
  return p;
}
template <class T, class Ev>
TPropInfo EventProp(const String& Name, Ev T::*Member) {
  TPropInfo p;
  p.Name = Name;
  p.Kind = pkEvent;
  p.SetEvent = [Member](TObject* o, const std::any& h) { static_cast<T*>(o)->*Member = std::any_cast<Ev>(h); };
  return p;
}
