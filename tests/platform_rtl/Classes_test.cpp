#include "platform/rtl/Classes.h"

#include <gtest/gtest.h>

#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <map>
#include <memory>

namespace {

namespace fs = std::filesystem;

// A fresh folder per test, removed afterwards.
class TempDir {
 public:
  TempDir() {
    String pattern = (fs::temp_directory_path() / "rtl-XXXXXX").string();
    path_ = mkdtemp(pattern.data());
  }
  ~TempDir() { fs::remove_all(path_); }
  String File(const char* name) const { return path_ + "/" + name; }

 private:
  String path_;
};

String ReadAll(const String& path) {
  std::ifstream in(path, std::ios::binary);
  return String(std::istreambuf_iterator<char>(in), {});
}

// ---------------------------------------------------------------------------
// Components

// Records what it is told and reports its own end. A component being freed
// is only good for comparing its address, so the log names it by address.
class Probe : public TComponent {
 public:
  Probe(TComponent* owner, std::vector<String>* log, String tag) : TComponent(owner), log_(log), tag_(std::move(tag)) {
    names()[this] = tag_;
  }
  ~Probe() override { log_->push_back("free " + tag_); }

 protected:
  void Notification(TComponent* c, TOperation op) override {
    TComponent::Notification(c, op);
    log_->push_back(tag_ + (op == opInsert ? " +" : " -") + names()[c]);
  }

 private:
  static std::map<const TComponent*, String>& names() {
    static std::map<const TComponent*, String> map;
    return map;
  }
  std::vector<String>* log_;
  String tag_;
};

TEST(RtlComponent, OwnerFreesChildrenAndHearsRemovals) {
  std::vector<String> log;
  auto* form = new Probe(nullptr, &log, "form");
  auto* a = new Probe(form, &log, "a");
  auto* b = new Probe(form, &log, "b");
  EXPECT_EQ(form->ComponentCount(), 2);
  EXPECT_EQ(form->Components(1), b);
  EXPECT_EQ(a->Owner(), form);
  EXPECT_THROW(form->Components(2), EListError);

  log.clear();
  delete a;  // an owned component freed on its own leaves its owner's list
  EXPECT_EQ(form->ComponentCount(), 1);
  EXPECT_EQ(log, (std::vector<String>{"free a", "b -a", "form -a"}));

  log.clear();
  delete form;  // children go with their owner, without notifying a dying owner
  EXPECT_EQ(log, (std::vector<String>{"free form", "free b"}));
}

TEST(RtlComponent, NamesTagAndOwnershipTransfer) {
  std::vector<String> log;
  TComponent owner(nullptr);
  auto* a = new TComponent(&owner);
  auto* b = new TComponent(&owner);
  a->SetName("PlayButton");
  a->Tag = 7;
  EXPECT_EQ(owner.FindComponent("playbutton"), a);
  EXPECT_THROW(b->SetName("PLAYBUTTON"), EComponentError);
  EXPECT_THROW(b->SetName("1st"), EComponentError);
  EXPECT_THROW(b->SetName("has space"), EComponentError);
  b->SetName("Other");
  EXPECT_EQ(b->GetName(), "Other");

  TComponent second(nullptr);
  second.InsertComponent(a);
  EXPECT_EQ(a->Owner(), &second);
  EXPECT_EQ(owner.ComponentCount(), 1);
  owner.RemoveComponent(b);
  EXPECT_EQ(b->Owner(), nullptr);
  delete b;  // no longer owned: ours to free
  EXPECT_EQ(owner.ComponentCount(), 0);
}

TEST(RtlComponent, FreeNotificationAcrossOwners) {
  std::vector<String> log;
  Probe watcher(nullptr, &log, "watcher");
  auto* target = new Probe(nullptr, &log, "target");
  watcher.FreeNotification(target);
  delete target;
  EXPECT_EQ(log, (std::vector<String>{"free target", "watcher -target"}));
}

// ---------------------------------------------------------------------------
// Lists, bits and collections

// Counts its live instances so that ownership can be checked.
struct Counted : TObject {
  explicit Counted(int* live) : live_(live) { ++*live_; }
  ~Counted() override { --*live_; }
  int* live_;
};

TEST(RtlLists, OwningListsFreeWhatTheyDeleteNotWhatTheyExtract) {
  int live = 0;
  auto* list = new TObjectList();
  auto* kept = new Counted(&live);
  list->Add(new Counted(&live));
  list->Add(kept);
  list->Add(new Counted(&live));
  list->Delete(0);
  EXPECT_EQ(live, 2);
  EXPECT_EQ(list->Extract(kept), kept);
  EXPECT_EQ(list->Count(), 1);
  delete list;
  EXPECT_EQ(live, 1);  // only the extracted one survives
  delete kept;
  EXPECT_EQ(live, 0);

  {
    TStringList sections(true);  // owns its objects
    sections.AddObject("a", new Counted(&live));
    sections.AddObject("b", new Counted(&live));
    sections.AddObject("c", new Counted(&live));
    sections.Delete(1);
    EXPECT_EQ(live, 2);
    TObject* moved = sections.Objects(0);
    sections.Move(0, 1);  // moving keeps the object alive and with its string
    EXPECT_EQ(live, 2);
    EXPECT_EQ(sections.Objects(1), moved);
    EXPECT_EQ(sections[1], "a");
    sections.SetSorted(true);
    EXPECT_EQ(live, 2);  // sorting moves objects, never frees them
  }
  EXPECT_EQ(live, 0);

  TList plain;
  int a = 1, b = 2, c = 3;
  plain.Add(&c);
  plain.Add(nullptr);
  plain.Add(&a);
  plain.Insert(0, &b);
  plain.Pack();
  plain.Sort([](void* x, void* y) { return *static_cast<int*>(x) - *static_cast<int*>(y); });
  EXPECT_EQ(plain.First(), &a);
  EXPECT_EQ(plain.Last(), &c);
  EXPECT_EQ(plain.Remove(&b), 1);
  EXPECT_EQ(plain.IndexOf(&b), -1);
  EXPECT_THROW(plain.Items(2), EListError);

  TThreadList shared;
  shared.Add(&a);
  shared.Add(&a);  // ignored
  EXPECT_EQ(shared.LockList()->Count(), 1);
  shared.UnlockList();
  shared.Duplicates = dupError;
  EXPECT_THROW(shared.Add(&a), EListError);

  TBits bits;
  bits.SetBits(0, true);
  bits.SetBits(2, true);
  EXPECT_EQ(bits.Size(), 3);
  EXPECT_EQ(bits.OpenBit(), 1);
  bits.SetBits(1, true);
  EXPECT_EQ(bits.OpenBit(), 3);
  EXPECT_THROW(bits.Bits(3), EListError);
}

class NamedItem : public TCollectionItem {
 public:
  using TCollectionItem::TCollectionItem;
  String Text;
  void Assign(TPersistent* Source) override {
    if (auto* other = dynamic_cast<NamedItem*>(Source))
      Text = other->Text;
    else
      TCollectionItem::Assign(Source);
  }
  String GetDisplayName() override { return Text; }
};

class CountingCollection : public TCollection {
 public:
  CountingCollection() : TCollection(ItemClassOf<NamedItem>()) {}
  NamedItem* Item(int i) const { return static_cast<NamedItem*>(Items(i)); }
  int updates = 0;
  std::vector<String> events;

 protected:
  void Update(TCollectionItem*) override { ++updates; }
  void Notify(TCollectionItem* item, TCollectionNotification action) override {
    events.push_back((action == cnAdded ? "+" : action == cnDeleting ? "-" : "x") + std::to_string(item->ID()));
  }
};

TEST(RtlLists, CollectionItemsIdsAndAssign) {
  CountingCollection items;
  static_cast<NamedItem*>(items.Add())->Text = "a";
  static_cast<NamedItem*>(items.Add())->Text = "b";
  static_cast<NamedItem*>(items.Insert(0))->Text = "first";
  EXPECT_EQ(items.Item(0)->Text, "first");
  EXPECT_EQ(items.Item(0)->ID(), 2);
  EXPECT_EQ(items.Item(2)->Index(), 2);
  EXPECT_EQ(items.FindItemID(1), items.Item(2));
  items.Delete(1);  // "a"
  EXPECT_EQ(items.events, (std::vector<String>{"+0", "+1", "+2", "-0", "x0"}));
  EXPECT_EQ(items.Add()->ID(), 3);  // IDs are never reused

  CountingCollection copy;
  copy.updates = 0;
  copy.Assign(&items);  // one Update for the whole copy
  EXPECT_EQ(copy.updates, 1);
  ASSERT_EQ(copy.Count(), 3);
  EXPECT_EQ(copy.Item(1)->GetDisplayName(), "b");

  auto* moved = copy.Item(0);
  moved->SetCollection(&items);
  EXPECT_EQ(copy.Count(), 2);
  EXPECT_EQ(items.Item(items.Count() - 1), moved);

  TStringList notACollection;
  try {
    copy.Assign(&notACollection);
    FAIL();
  } catch (const EConvertError& e) {
    EXPECT_EQ(e.Message, "Cannot assign a TStringList to a CountingCollection");
  }
}

TEST(RtlLists, CollectionTellsOfAnAddedItemOnceItIsWhole) {
  // An Update that reads its items as what they are (a status bar's panels,
  // a list view's columns) must not meet one still inside its base constructor.
  struct Checking : CountingCollection {
    int whole = 0, partial = 0;
    void Update(TCollectionItem* item) override {
      CountingCollection::Update(item);
      for (int i = 0; i < Count(); ++i) (dynamic_cast<NamedItem*>(Items(i)) ? whole : partial)++;
    }
  } items;
  items.Add();
  items.Insert(0);
  EXPECT_EQ(items.partial, 0);
  EXPECT_EQ(items.updates, 3);  // one for each item added, one for the move to the front
  EXPECT_EQ(items.whole, 1 + 2 + 2);
}

// ---------------------------------------------------------------------------
// Streams

TEST(RtlStream, MemoryStreamSeekReadWriteAndSize) {
  TMemoryStream m;
  m.WriteString("hello");
  EXPECT_EQ(m.Size(), 5);
  EXPECT_EQ(m.Seek(-2, soFromEnd), 3);
  m.WriteString("p!!");  // overwrites and extends
  EXPECT_EQ(String(reinterpret_cast<char*>(m.Memory()), 6), "help!!");
  m.SetPosition(10);
  m.WriteString("x");  // writing past the end fills the gap with zeros
  EXPECT_EQ(m.Size(), 11);
  EXPECT_EQ(m.Memory()[8], 0);
  m.SetPosition(0);
  char buf[4] = {};
  m.ReadBuffer(buf, 4);
  EXPECT_EQ(String(buf, 4), "help");
  m.SetPosition(9);
  EXPECT_THROW(m.ReadBuffer(buf, 4), EReadError);
  m.SetSize(2);
  EXPECT_EQ(m.Position(), 2);
  m.Clear();
  EXPECT_EQ(m.Size(), 0);
  EXPECT_EQ(m.Memory(), nullptr);
}

TEST(RtlStream, FileStreamModesErrorsAndCopy) {
  TempDir dir;
  String path = dir.File("data.bin");
  {
    TFileStream f(path, fmCreate | fmShareDenyWrite);
    TStringStream src("0123456789");
    EXPECT_EQ(f.CopyFrom(src, 0), 10);
    EXPECT_EQ(f.Size(), 10);
  }
  {
    TFileStream f(path, fmOpenReadWrite);
    f.Seek(4, soFromBeginning);
    f.WriteString("ab");
    f.SetSize(8);
  }
  EXPECT_EQ(ReadAll(path), "0123ab67");
  {
    TFileStream f(path, fmOpenRead | fmShareDenyNone);
    TStringStream dst;
    f.Seek(2, soBeginning);
    EXPECT_EQ(dst.CopyFrom(f, 3), 3);
    EXPECT_EQ(dst.DataString(), "23a");
    EXPECT_THROW(dst.CopyFrom(f, 100), EReadError);
  }
  try {
    TFileStream f(dir.File("missing.bin"), fmOpenRead);
    FAIL();
  } catch (const EFOpenError& e) {
    EXPECT_EQ(e.Message, "Cannot open file \"" + dir.File("missing.bin") + "\". No such file or directory");
  }
  EXPECT_THROW(TFileStream(dir.File("no/such/dir.bin"), fmCreate), EFCreateError);
  EXPECT_THROW(TFileStream(dir.File(""), fmOpenRead), EFOpenError);  // a folder is not a file

  TMemoryStream m;
  m.LoadFromFile(path);
  EXPECT_EQ(m.Size(), 8);
  m.SaveToFile(dir.File("copy.bin"));
  EXPECT_EQ(ReadAll(dir.File("copy.bin")), "0123ab67");
}

// ---------------------------------------------------------------------------
// String lists

TEST(RtlStringList, SortedDuplicatesAndCase) {
  struct Row {
    TDuplicates dup;
    bool caseSensitive;
    const char* expected;  // CommaText after adding b, A, a, c, B
  };
  const Row rows[] = {
      {dupIgnore, false, "A,b,c"},
      {dupAccept, false, "A,a,b,B,c"},
      {dupIgnore, true, "a,A,b,B,c"},
      {dupAccept, true, "a,A,b,B,c"},
  };
  for (const Row& r : rows) {
    TStringList list;
    list.Duplicates = r.dup;
    list.SetCaseSensitive(r.caseSensitive);
    list.SetSorted(true);
    for (const char* s : {"b", "A", "a", "c", "B"}) list.Add(s);
    EXPECT_EQ(list.CommaText(), r.expected) << r.dup << r.caseSensitive;
  }

  TStringList list;
  list.SetSorted(true);
  list.Duplicates = dupError;
  list.Add("x");
  EXPECT_THROW(list.Add("X"), EStringListError);
  EXPECT_THROW(list.Insert(0, "a"), EStringListError);
  list.Add("y");
  EXPECT_THROW(list.Move(0, 1), EStringListError);
  EXPECT_EQ(list.CommaText(), "x,y");  // nothing lost to the refused move
  list.Delete(1);
  EXPECT_EQ(list.Add("\xC3\xA9t\xC3\xA9"), 0);  // collated: before "x"
  int index = -1;
  EXPECT_TRUE(list.Find("X", index));
  EXPECT_EQ(index, 1);
  EXPECT_FALSE(list.Find("y", index));
  EXPECT_EQ(index, 2);
  EXPECT_EQ(list.IndexOf("\xC3\x89T\xC3\x89"), 0);
}

TEST(RtlStringList, UnsortedEditingObjectsAndEvents) {
  TStringList list;
  int changes = 0;
  list.OnChange = [&](TObject* sender) {
    EXPECT_EQ(sender, &list);
    ++changes;
  };
  TObject payloadObject;
  TObject* payload = &payloadObject;
  list.Add("one");
  list.AddObject("two", payload);
  list.Insert(0, "zero");
  EXPECT_EQ(changes, 3);
  EXPECT_EQ(list.Objects(2), payload);
  EXPECT_EQ(list.IndexOfObject(payload), 2);
  list.SetStrings(1, "uno");
  EXPECT_EQ(list[1], "uno");
  EXPECT_EQ(list.IndexOf("UNO"), 1);
  list.SetCaseSensitive(true);
  EXPECT_EQ(list.IndexOf("UNO"), -1);
  list.Delete(0);
  EXPECT_THROW(list.Delete(5), EStringListError);
  EXPECT_THROW(list.Strings(-1), EStringListError);

  changes = 0;
  list.BeginUpdate();
  list.Add("a");
  list.Add("b");
  list.EndUpdate();
  EXPECT_EQ(changes, 1);

  list.Sort();
  EXPECT_EQ(list.CommaText(), "a,b,two,uno");
  list.Exchange(0, 3);
  list.Move(0, 1);
  EXPECT_EQ(list.CommaText(), "b,uno,two,a");
  list.Clear();
  EXPECT_EQ(list.Count(), 0);
}

TEST(RtlStringList, CommaAndDelimitedText) {
  TStringList list;
  struct Row {
    const char* input;
    const char* items;  // joined with '|'
  };
  const Row commaRows[] = {
      {"a,b,c", "a|b|c"},
      {"a b,c", "a|b|c"},  // space separates too
      {"\"a b\",\"say \"\"hi\"\"\"", "a b|say \"hi\""},
      {" a , b ", "a|b"},
      {"a,,b", "a||b"},
      {"a,", "a|"},
      {"", ""},
  };
  auto joined = [&]() {
    String out;
    for (int i = 0; i < list.Count(); ++i) out += (i ? "|" : "") + list[i];
    return out;
  };
  for (const Row& r : commaRows) {
    list.SetCommaText(r.input);
    EXPECT_EQ(joined(), r.items) << r.input;
  }

  list.Clear();
  for (const char* s : {"plain", "with space", "with,comma", "", "q\"uote"}) list.Add(s);
  EXPECT_EQ(list.CommaText(), "plain,\"with space\",\"with,comma\",\"\",\"q\"\"uote\"");
  TStringList back;
  back.SetCommaText(list.CommaText());
  EXPECT_TRUE(back.Equals(list));

  list.Clear();
  list.Delimiter = ';';
  list.StrictDelimiter = true;
  list.SetDelimitedText("a b; c;;d");
  EXPECT_EQ(joined(), "a b| c||d");
  EXPECT_EQ(list.DelimitedText(), "a b; c;;d");
  EXPECT_EQ(list.Delimiter, ';');  // CommaText leaves the list's own settings alone
  list.CommaText();
  EXPECT_EQ(list.Delimiter, ';');
}

TEST(RtlStringList, NamesAndValues) {
  TStringList list;
  list.SetText("Codec=h264\r\nBitrate=800k\nnovalue\rEmpty=");
  ASSERT_EQ(list.Count(), 4);
  EXPECT_EQ(list.Names(0), "Codec");
  EXPECT_EQ(list.Names(2), "");
  EXPECT_EQ(list.Values("bitrate"), "800k");
  EXPECT_EQ(list.ValueFromIndex(0), "h264");
  list.SetValue("Bitrate", "1M");
  list.SetValue("Size", "640x480");
  list.SetValue("Codec", "");  // empty value removes the pair
  EXPECT_EQ(list.IndexOfName("codec"), -1);
  EXPECT_EQ(list.Text(), "Bitrate=1M\nnovalue\nEmpty=\nSize=640x480\n");
  list.NameValueSeparator = ':';
  list.Add("k:v=1");
  EXPECT_EQ(list.Values("k"), "v=1");
}

TEST(RtlStringList, FilesWithAndWithoutByteOrderMark) {
  TempDir dir;
  String withBom = dir.File("bom.txt");
  {
    std::ofstream out(withBom, std::ios::binary);
    out << "\xEF\xBB\xBF" "caf\xC3\xA9\r\nline two\r\n";
  }
  TStringList list;
  list.LoadFromFile(withBom);
  ASSERT_EQ(list.Count(), 2);
  EXPECT_EQ(list[0], "caf\xC3\xA9");  // the mark is not part of the first line
  EXPECT_TRUE(list.WriteBOM);
  list.SaveToFile(dir.File("out.txt"));
  EXPECT_EQ(ReadAll(dir.File("out.txt")), "\xEF\xBB\xBF" "caf\xC3\xA9\nline two\n");

  list.WriteBOM = false;
  list.SaveToFile(dir.File("plain.txt"));
  TStringList plain;
  plain.LoadFromFile(dir.File("plain.txt"));
  EXPECT_FALSE(plain.WriteBOM);
  EXPECT_TRUE(plain.Equals(list));

  {
    std::ofstream out(dir.File("wide.txt"), std::ios::binary);
    out.write("\xFF\xFE" "h\0i\0\n\0<\xD8\xAC\xDF", 12);  // UTF-16LE "hi\n" and U+1F3AC
  }
  TStringList wide;
  wide.LoadFromFile(dir.File("wide.txt"));
  EXPECT_EQ(wide.CommaText(), "hi,\xF0\x9F\x8E\xAC");
  EXPECT_THROW(wide.LoadFromFile(dir.File("missing.txt")), EFOpenError);
}

}  // namespace
