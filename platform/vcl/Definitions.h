#pragma once
// Window definitions: the text form of a form's components and properties.
//
//   object MainForm: TMainForm
//     Caption = 'Convert'#13#10'files'
//     Font.Style = [fsBold]
//     Lines.Strings = ( 'one' 'two' )
//     Columns = < item Width = 40 end >
//     Picture.Data = { 0754426974...}      (hex of the picture's stored form)
//     OnClick = btnStartClick
//     object btnStart: TButton ... end
//     inline Preview1: TPreviewFrame ... end   (a frame with its own definition)
//   end
//
// The reader parses the text into a tree; the loader builds components from
// the tree by registered class, sets their properties through the published
// property descriptors and binds events to handlers registered by name.
// Unknown classes, properties and handlers raise EReadError naming them.

#include <any>
#include <map>
#include <vector>

#include "platform/rtl/Classes.h"

struct TDefItem;

struct TDefValue {
  enum TKind { vInteger, vString, vIdent, vSet, vList, vCollection, vBinary };
  TKind Kind = vInteger;
  int64_t Int = 0;
  String Str;                   // string, identifier
  std::vector<String> List;     // set identifiers, string list lines
  std::vector<TDefItem> Items;  // collection items
  TBytes Binary;
  bool operator==(const TDefValue&) const;
};

struct TDefProperty {
  String Name;  // may be dotted ("Font.Name")
  TDefValue Value;
  int Line = 0;
  bool operator==(const TDefProperty& o) const { return Name == o.Name && Value == o.Value; }
};

struct TDefItem {
  std::vector<TDefProperty> Properties;
  bool operator==(const TDefItem&) const = default;
};

struct TDefObject {
  String Name;
  String ClassName;
  int Line = 0;
  bool Inline = false;  // written "inline": the component brings its own definition
  std::vector<TDefProperty> Properties;
  std::vector<TDefObject> Children;
  bool operator==(const TDefObject& o) const {
    return Name == o.Name && ClassName == o.ClassName && Inline == o.Inline && Properties == o.Properties &&
           Children == o.Children;
  }
};

// A component with a window definition of its own (a frame). Placed in another
// definition by an "inline" block, it loads its own definition first; then the
// block's properties apply, and the block's children change the components of
// the same name that it owns (others join it).
class TDefinitionHost {
 public:
  virtual ~TDefinitionHost() = default;
  virtual bool HasOwnDefinition() const = 0;
  virtual void LoadOwnDefinition() = 0;
};

// EReadError "Line <n>: <what went wrong>" for malformed text.
TDefObject ParseDefinition(std::string_view Text);
String WriteDefinition(const TDefObject& Object);

// Handlers a form offers to its definition, by name. Binding remembers which
// handler went to which event, so that the writer can name it again.
class THandlerRegistry {
 public:
  template <class Ev>
  void Register(const String& Name, Ev Handler) {
    FHandlers[UpperCase(Name)] = {Name, std::any(std::move(Handler))};
  }
  const std::any* Find(const String& Name) const;
  void Bound(TObject* Instance, const String& Event, const String& Handler) {
    FBound[{Instance, UpperCase(Event)}] = Handler;
  }
  String BoundName(TObject* Instance, const String& Event) const;

 private:
  std::map<String, std::pair<String, std::any>> FHandlers;
  std::map<std::pair<TObject*, String>, String> FBound;
};

// Builds Object's children into Root (owned by Root; controls parented to the
// control of the enclosing block) and sets Root's and their properties.
// Handlers may be nullptr when the definition binds no events.
void LoadDefinition(TComponent* Root, const TDefObject& Object, THandlerRegistry* Handlers);
void LoadDefinition(TComponent* Root, std::string_view Text, THandlerRegistry* Handlers);

// The definition of Root and the components it owns, for round trips.
TDefObject DescribeComponent(TComponent* Root, const THandlerRegistry* Handlers);

// Definitions embedded in the executable, looked up by their root's class name.
void RegisterWindowDefinition(const char* Text);
// nullptr when none is registered for ClassName.
const char* FindWindowDefinition(const String& ClassName);
