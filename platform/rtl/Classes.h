#pragma once
// Components, string lists and streams.

#include <cstdint>
#include <functional>
#include <mutex>
#include <new>
#include <vector>

#include "platform/rtl/SysUtils.h"

using TBytes = std::vector<uint8_t>;

// Root of the component and stream classes; lets a pointer to any of them be
// passed as an event's Sender.
class TObject {
 public:
  virtual ~TObject() = default;
  // The dynamic class's name ("TStringList"), for messages and look-ups.
  String ClassName() const;
};

using TNotifyEvent = std::function<void(TObject* Sender)>;

class EListError : public Exception {
 public:
  using Exception::Exception;
};
class EStringListError : public EListError {
 public:
  using EListError::EListError;
};
class EComponentError : public Exception {
 public:
  using Exception::Exception;
};
class EStreamError : public Exception {
 public:
  using Exception::Exception;
};
class EFileStreamError : public EStreamError {
 public:
  using EStreamError::EStreamError;
};
class EFOpenError : public EFileStreamError {
 public:
  using EFileStreamError::EFileStreamError;
};
class EFCreateError : public EFileStreamError {
 public:
  using EFileStreamError::EFileStreamError;
};
class EReadError : public EStreamError {
 public:
  using EStreamError::EStreamError;
};
class EWriteError : public EStreamError {
 public:
  using EStreamError::EStreamError;
};

// ---------------------------------------------------------------------------
// Persistent objects: copying state between objects of related classes

class TPersistent : public TObject {
 public:
  // Copies Source's state into this object. The base asks Source to do it
  // (AssignTo); when neither side knows how, raises EConvertError
  // "Cannot assign a <Source class> to a <this class>".
  virtual void Assign(TPersistent* Source);
  // A dotted path naming the object within its owners ("Form1.Items").
  virtual String GetNamePath();

 protected:
  virtual void AssignTo(TPersistent* Dest);
  virtual TPersistent* GetOwner() { return nullptr; }
  [[noreturn]] void AssignError(TPersistent* Source);
};

// ---------------------------------------------------------------------------
// Pointer lists

enum TListNotification { lnAdded, lnExtracted, lnDeleted };
enum TDuplicates { dupIgnore, dupAccept, dupError };

// A list of untyped pointers; Notify lets a derived list act on additions and removals.
class TList : public TObject {
 public:
  TList() = default;
  TList(const TList&) = delete;
  TList& operator=(const TList&) = delete;
  ~TList() override;

  int Count() const { return static_cast<int>(FList.size()); }
  void SetCount(int NewCount);  // grows with nullptr, shrinks with Delete
  void* Items(int Index) const;  // EListError "List index out of bounds (%d)"
  void SetItems(int Index, void* Item);
  void* operator[](int Index) const { return Items(Index); }
  void* First() const { return Items(0); }
  void* Last() const { return Items(Count() - 1); }

  int Add(void* Item);
  void Insert(int Index, void* Item);
  void Delete(int Index);
  // Removes the first occurrence; returns its former index or -1.
  int Remove(void* Item);
  // Removes the first occurrence without the lnDeleted notification; returns Item or nullptr.
  void* Extract(void* Item);
  virtual void Clear();
  int IndexOf(const void* Item) const;
  void Exchange(int Index1, int Index2);
  void Move(int CurIndex, int NewIndex);
  void Pack();  // drops nullptr entries
  // Stable sort; Compare returns <0, 0, >0.
  void Sort(const std::function<int(void* Item1, void* Item2)>& Compare);

 protected:
  virtual void Notify(void* Ptr, TListNotification Action);

 private:
  std::vector<void*> FList;
};

// A list of TObjects that, when OwnsObjects, frees what is deleted from it.
class TObjectList : public TList {
 public:
  explicit TObjectList(bool AOwnsObjects = true) : OwnsObjects(AOwnsObjects) {}
  ~TObjectList() override { Clear(); }
  TObject* Items(int Index) const { return static_cast<TObject*>(TList::Items(Index)); }
  TObject* operator[](int Index) const { return Items(Index); }
  int Add(TObject* AObject) { return TList::Add(AObject); }
  bool OwnsObjects;

 protected:
  void Notify(void* Ptr, TListNotification Action) override;
};

// A TList behind a recursive lock; LockList must be paired with UnlockList.
class TThreadList {
 public:
  TThreadList() = default;
  TThreadList(const TThreadList&) = delete;
  TThreadList& operator=(const TThreadList&) = delete;

  // Adds unless present (dupIgnore, the default), raises (dupError) or always adds (dupAccept).
  void Add(void* Item);
  void Remove(void* Item);
  void Clear();
  TList* LockList();
  void UnlockList();
  TDuplicates Duplicates = dupIgnore;

 private:
  std::recursive_mutex FLock;
  TList FList;
};

// A growable array of bits.
class TBits : public TObject {
 public:
  int Size() const { return static_cast<int>(FBits.size()); }
  void SetSize(int Value);  // EListError when negative
  bool Bits(int Index) const;  // EListError when out of range
  // Setting past the end grows the array.
  void SetBits(int Index, bool Value);
  // The first false bit (Size() when all are set).
  int OpenBit() const;

 private:
  std::vector<bool> FBits;
};

// ---------------------------------------------------------------------------
// Components

enum TOperation { opInsert, opRemove };

enum TComponentStateFlag : unsigned { csLoading = 1, csDestroying = 2, csDesigning = 4 };

// A component owns the components created with it as their owner and frees
// them when it is freed (last created first). The owner, and every component
// it owns, hear through Notification when one of them is removed or freed.
class TComponent : public TPersistent {
 public:
  explicit TComponent(TComponent* AOwner);
  ~TComponent() override;
  TComponent(const TComponent&) = delete;
  TComponent& operator=(const TComponent&) = delete;
  // Freeing through delete runs BeforeDestruction first, while the whole
  // object (derived parts included) is still alive; an object that goes out
  // of scope skips it.
  void operator delete(TComponent* Self, std::destroying_delete_t);
  // The allocation that pairs with that release (both go to the global heap),
  // and the release of a block whose construction raised.
  static void* operator new(std::size_t Size);
  static void operator delete(void* Block);
  virtual void BeforeDestruction() {}

  TComponent* Owner() const { return FOwner; }

  const String& GetName() const { return FName; }
  // Raises EComponentError for a name that is not an identifier or that
  // another component of the same owner already has (compared ignoring case).
  virtual void SetName(const String& NewName);

  intptr_t Tag = 0;

  int ComponentCount() const { return static_cast<int>(FComponents.size()); }
  TComponent* Components(int Index) const;  // EListError when out of range
  int ComponentIndex() const;                // position in the owner's list, -1 without owner
  TComponent* FindComponent(const String& AName) const;

  // Takes ownership (removing it from a previous owner first).
  void InsertComponent(TComponent* AComponent);
  // Gives up ownership without freeing; the caller owns it afterwards.
  void RemoveComponent(TComponent* AComponent);
  // Frees every owned component, last first.
  void DestroyComponents();

  // Asks to be told (through Notification opRemove) when AComponent is freed,
  // whoever owns it; both sides are told of each other's end.
  void FreeNotification(TComponent* AComponent);
  void RemoveFreeNotification(TComponent* AComponent);

  String GetNamePath() override { return FName; }

  // The component this one belongs under besides its owner (a menu item's
  // parent item or menu); window definitions nest it there. None by default.
  virtual TComponent* GetParentComponent() const { return nullptr; }
  virtual void SetParentComponent(TComponent*) {}

  unsigned ComponentState() const { return FComponentState; }
  // Marks the component as being destroyed; derived destructors call it
  // first so that handlers can tell (the base destructor calls it too).
  void Destroying();

 protected:
  // Broadcast to the owned components by default; overrides call the base.
  virtual void Notification(TComponent* AComponent, TOperation Operation);
  void SetComponentState(unsigned state) { FComponentState = state; }
  TPersistent* GetOwner() override { return FOwner; }

 private:
  void Insert(TComponent* AComponent);
  void Remove(TComponent* AComponent);
  void ValidateName(const String& NewName) const;
  static void RemoveFrom(std::vector<TComponent*>& list, TComponent* c);

  TComponent* FOwner = nullptr;
  String FName;
  std::vector<TComponent*> FComponents;
  std::vector<TComponent*> FFreeNotifies;
  unsigned FComponentState = 0;
};

// ---------------------------------------------------------------------------
// Collections: owned lists of items of one class, each item knowing its list

class TCollection;

class TCollectionItem : public TPersistent {
 public:
  // Joins Collection (when given) at its end.
  explicit TCollectionItem(TCollection* Collection);
  ~TCollectionItem() override;  // leaves its collection
  TCollectionItem(const TCollectionItem&) = delete;
  TCollectionItem& operator=(const TCollectionItem&) = delete;

  TCollection* Collection() const { return FCollection; }
  // Moves the item to another collection (or none: the caller then owns it).
  void SetCollection(TCollection* Value);
  // Unique within the collection for its lifetime, unlike Index.
  int ID() const { return FID; }
  int Index() const;
  void SetIndex(int Value);
  // The class name unless a derived item says better.
  virtual String GetDisplayName();
  virtual void SetDisplayName(const String& Value);
  String GetNamePath() override;

 protected:
  // Tells the collection that this item (or, with AllItems, every item) changed.
  void Changed(bool AllItems);
  TPersistent* GetOwner() override;

 private:
  friend class TCollection;
  TCollection* FCollection = nullptr;
  int FID = 0;
};

// Makes the items of a collection: TCollection::ItemClassOf<TMyItem>().
using TCollectionItemClass = std::function<TCollectionItem*(TCollection* Collection)>;

enum TCollectionNotification { cnAdded, cnExtracting, cnDeleting };

class TCollection : public TPersistent {
 public:
  explicit TCollection(TCollectionItemClass ItemClass);
  ~TCollection() override;  // frees the items
  TCollection(const TCollection&) = delete;
  TCollection& operator=(const TCollection&) = delete;

  template <class T>
  static TCollectionItemClass ItemClassOf() {
    return [](TCollection* c) -> TCollectionItem* { return new T(c); };
  }

  int Count() const { return static_cast<int>(FItems.size()); }
  TCollectionItem* Items(int Index) const;  // EListError when out of range
  // Copies Value's state into the item at Index.
  void SetItems(int Index, TCollectionItem* Value) { Items(Index)->Assign(Value); }
  TCollectionItem* Add();
  TCollectionItem* Insert(int Index);
  void Delete(int Index);
  void Clear();
  TCollectionItem* FindItemID(int ID) const;

  // Update(nullptr) runs once at the outermost EndUpdate.
  void BeginUpdate();
  void EndUpdate();
  int UpdateCount() const { return FUpdateCount; }

  // From another collection: the same number of items, each assigned in turn.
  void Assign(TPersistent* Source) override;
  String GetNamePath() override;

 protected:
  // An item changed (nullptr: the whole collection). Not called while updating.
  virtual void Update(TCollectionItem* Item);
  virtual void Notify(TCollectionItem* Item, TCollectionNotification Action);
  void Changed();

 private:
  friend class TCollectionItem;
  void InsertItem(TCollectionItem* Item);
  void RemoveItem(TCollectionItem* Item);

  TCollectionItemClass FItemClass;
  std::vector<TCollectionItem*> FItems;
  int FNextID = 0;
  int FUpdateCount = 0;
};

// ---------------------------------------------------------------------------
// Streams

enum TSeekOrigin { soBeginning = 0, soCurrent = 1, soEnd = 2 };
constexpr TSeekOrigin soFromBeginning = soBeginning;
constexpr TSeekOrigin soFromCurrent = soCurrent;
constexpr TSeekOrigin soFromEnd = soEnd;

class TStream : public TObject {
 public:
  // Read/Write return the number of bytes moved (0 at the end or on error).
  virtual int64_t Read(void* Buffer, int64_t Count) = 0;
  virtual int64_t Write(const void* Buffer, int64_t Count) = 0;
  // Returns the new position.
  virtual int64_t Seek(int64_t Offset, TSeekOrigin Origin) = 0;

  int64_t Position() { return Seek(0, soCurrent); }
  void SetPosition(int64_t Pos) { Seek(Pos, soBeginning); }
  virtual int64_t Size();
  virtual void SetSize(int64_t NewSize);

  // EReadError / EWriteError unless exactly Count bytes moved.
  void ReadBuffer(void* Buffer, int64_t Count);
  void WriteBuffer(const void* Buffer, int64_t Count);
  // Copies Count bytes from Source's position; Count 0 (or less) copies all
  // of Source from its beginning. Returns the bytes copied.
  int64_t CopyFrom(TStream& Source, int64_t Count);
  // Up to Count bytes from the position (fewer at the end).
  TBytes ReadBytes(int64_t Count);
  void WriteString(std::string_view Text) { WriteBuffer(Text.data(), static_cast<int64_t>(Text.size())); }
};

// Open modes and (accepted, not enforced) share flags.
constexpr uint16_t fmOpenRead = 0x0000;
constexpr uint16_t fmOpenWrite = 0x0001;
constexpr uint16_t fmOpenReadWrite = 0x0002;
constexpr uint16_t fmShareCompat = 0x0000;
constexpr uint16_t fmShareExclusive = 0x0010;
constexpr uint16_t fmShareDenyWrite = 0x0020;
constexpr uint16_t fmShareDenyRead = 0x0030;
constexpr uint16_t fmShareDenyNone = 0x0040;
constexpr uint16_t fmCreate = 0xFF00;

// A stream over a file descriptor that the caller keeps owning.
class THandleStream : public TStream {
 public:
  explicit THandleStream(int AHandle) : FHandle(AHandle) {}
  int Handle() const { return FHandle; }

  int64_t Read(void* Buffer, int64_t Count) override;
  int64_t Write(const void* Buffer, int64_t Count) override;
  int64_t Seek(int64_t Offset, TSeekOrigin Origin) override;
  int64_t Size() override;
  void SetSize(int64_t NewSize) override;  // EStreamError on failure

 protected:
  int FHandle = -1;
};

// Opens or creates a file; raises EFOpenError "Cannot open file "<name>". <reason>"
// or EFCreateError "Cannot create file "<name>". <reason>". Folders are refused.
class TFileStream : public THandleStream {
 public:
  TFileStream(const String& AFileName, uint16_t Mode);
  ~TFileStream() override;
  const String& FileName() const { return FFileName; }

 private:
  String FFileName;
};

class TMemoryStream : public TStream {
 public:
  TMemoryStream() = default;

  int64_t Read(void* Buffer, int64_t Count) override;
  int64_t Write(const void* Buffer, int64_t Count) override;
  int64_t Seek(int64_t Offset, TSeekOrigin Origin) override;
  int64_t Size() override { return static_cast<int64_t>(FData.size()); }
  void SetSize(int64_t NewSize) override;

  // The bytes; valid until the size changes. nullptr when empty.
  uint8_t* Memory() { return FData.empty() ? nullptr : FData.data(); }
  const TBytes& Bytes() const { return FData; }
  void Clear();
  // Replace the contents (position 0 afterwards).
  void LoadFromStream(TStream& Stream);
  void LoadFromFile(const String& FileName);
  // Write the whole contents regardless of the position.
  void SaveToStream(TStream& Stream);
  void SaveToFile(const String& FileName);

 protected:
  TBytes FData;
  int64_t FPosition = 0;
};

class TStringStream : public TMemoryStream {
 public:
  explicit TStringStream(std::string_view AString = {});
  String DataString() const { return String(FData.begin(), FData.end()); }
  // Up to Count bytes from the position.
  String ReadString(int64_t Count);
};

// ---------------------------------------------------------------------------
// String lists

// A list of strings, each with an attached object (Objects) that the list
// does not own (but see TStringList::OwnsObjects). Strings compare through
// CompareStrings (case-insensitively unless a derived list says otherwise).
class TStrings : public TPersistent {
 public:
  TStrings() = default;
  TStrings(const TStrings&) = delete;
  TStrings& operator=(const TStrings&) = delete;

  virtual int Count() const = 0;
  String Strings(int Index) const { return Get(Index); }
  void SetStrings(int Index, const String& S) { Put(Index, S); }
  String operator[](int Index) const { return Get(Index); }
  TObject* Objects(int Index) const { return GetObject(Index); }
  void SetObjects(int Index, TObject* AObject) { PutObject(Index, AObject); }

  virtual int Add(const String& S);
  virtual int AddObject(const String& S, TObject* AObject);
  void AddStrings(const TStrings& Strings);
  void Append(const String& S) { Add(S); }
  virtual void Insert(int Index, const String& S) = 0;
  virtual void InsertObject(int Index, const String& S, TObject* AObject);
  virtual void Delete(int Index) = 0;
  virtual void Clear() = 0;
  virtual void Exchange(int Index1, int Index2);
  virtual void Move(int CurIndex, int NewIndex);
  // Copies strings and objects (and the separators) from another list.
  void Assign(TPersistent* Source) override;
  void Assign(const TStrings& Source);
  bool Equals(const TStrings& Other) const;

  virtual int IndexOf(const String& S) const;
  int IndexOfName(const String& Name) const;
  int IndexOfObject(const TObject* AObject) const;

  // name=value pairs.
  String Names(int Index) const;
  String GetValue(const String& Name) const;
  // An empty value deletes the pair; otherwise replaces or appends it.
  void SetValue(const String& Name, const String& Value);
  String Values(const String& Name) const { return GetValue(Name); }
  void SetValues(const String& Name, const String& Value) { SetValue(Name, Value); }
  String ValueFromIndex(int Index) const;
  void SetValueFromIndex(int Index, const String& Value);
  char NameValueSeparator = '=';

  // Each string followed by LineBreak; setting splits at CR LF, LF or CR.
  String Text() const;
  virtual void SetText(std::string_view Value);
  String LineBreak = "\n";

  // Items separated by Delimiter; items with spaces, control characters, the
  // delimiter or QuoteChar (and empty items) are quoted, quotes doubled.
  // Reading splits at the delimiter and, unless StrictDelimiter, at spaces.
  String DelimitedText() const;
  void SetDelimitedText(std::string_view Value);
  char Delimiter = ',';
  char QuoteChar = '"';
  bool StrictDelimiter = false;
  // DelimitedText with ',' and '"' and non-strict splitting.
  String CommaText() const;
  void SetCommaText(std::string_view Value);

  // Files and streams hold UTF-8 text. Loading drops a UTF-8 byte-order mark
  // (and converts UTF-16 text marked by its own) and sets WriteBOM to whether
  // one was there; saving writes the UTF-8 mark when WriteBOM is set.
  void LoadFromFile(const String& FileName);
  void SaveToFile(const String& FileName) const;
  virtual void LoadFromStream(TStream& Stream);
  void SaveToStream(TStream& Stream) const;
  bool WriteBOM = false;

  // Nested; OnChange handlers of derived lists fire once at the outermost EndUpdate.
  void BeginUpdate();
  void EndUpdate();
  int UpdateCount() const { return FUpdateCount; }

  // <0, 0, >0; case-insensitive Unicode collation here.
  virtual int CompareStrings(const String& S1, const String& S2) const;

 protected:
  virtual String Get(int Index) const = 0;
  virtual void Put(int Index, const String& S);
  virtual TObject* GetObject(int Index) const;
  virtual void PutObject(int Index, TObject* AObject);
  // Called with true when the first BeginUpdate starts and false when the last EndUpdate ends.
  virtual void SetUpdateState(bool Updating);
  void CheckIndex(int Index, int Limit) const;  // EStringListError "List index out of bounds (%d)"

 private:
  int FUpdateCount = 0;
};

class TStringList : public TStrings {
 public:
  explicit TStringList(bool AOwnsObjects = false) : OwnsObjects(AOwnsObjects) {}
  ~TStringList() override;
  // When set, Delete, Clear and the destructor free the attached objects.
  bool OwnsObjects;

  int Count() const override { return static_cast<int>(FList.size()); }
  // On a sorted list Add finds the position and applies Duplicates
  // (dupIgnore returns the existing index, dupError raises EStringListError).
  int Add(const String& S) override;
  int AddObject(const String& S, TObject* AObject) override;
  // Raises EStringListError on a sorted list.
  void Insert(int Index, const String& S) override;
  void InsertObject(int Index, const String& S, TObject* AObject) override;
  void Delete(int Index) override;
  void Clear() override;
  void Exchange(int Index1, int Index2) override;
  // Keeps the object with its string; EStringListError on a sorted list.
  void Move(int CurIndex, int NewIndex) override;

  int IndexOf(const String& S) const override;
  // Binary search of a sorted list: true when found, Index = first match or
  // the insertion point.
  virtual bool Find(const String& S, int& Index) const;
  // Stable sort by CompareStrings.
  virtual void Sort();
  using TStringListSortCompare = std::function<int(const TStringList& List, int Index1, int Index2)>;
  virtual void CustomSort(const TStringListSortCompare& Compare);

  bool Sorted() const { return FSorted; }
  void SetSorted(bool Value);
  TDuplicates Duplicates = dupIgnore;
  bool CaseSensitive() const { return FCaseSensitive; }
  void SetCaseSensitive(bool Value);  // re-sorts a sorted list

  int CompareStrings(const String& S1, const String& S2) const override;

  TNotifyEvent OnChange;
  TNotifyEvent OnChanging;

 protected:
  String Get(int Index) const override;
  void Put(int Index, const String& S) override;  // EStringListError on a sorted list
  TObject* GetObject(int Index) const override;
  void PutObject(int Index, TObject* AObject) override;
  void SetUpdateState(bool Updating) override;
  virtual void Changed();
  virtual void Changing();

 private:
  struct Item {
    String Str;
    TObject* Obj = nullptr;
  };
  void InsertItem(int Index, const String& S, TObject* AObject);

  std::vector<Item> FList;
  bool FSorted = false;
  bool FCaseSensitive = false;
};
