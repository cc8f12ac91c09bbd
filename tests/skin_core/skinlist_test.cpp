#include <gtest/gtest.h>

#include <filesystem>

#include "SkinFixtures.h"
#include "skin/core/acSkinList.h"

using namespace skintest;

namespace {

// A control that counts the skin commands it is given.
struct ListControl : TControl {
  ListControl() : TControl(nullptr) {
    WindowProc = [this](TMessage& m) {
      if (m.Msg == WM_SKINCOMMAND) commands.push_back(int(m.WParam >> 16));
    };
  }
  std::vector<int> commands;
};

Bytes Preview() { return EncodePng(2, 2, std::vector<uint32_t>(4, 0xFF00FF00)); }

std::vector<std::string> Names(const TacSkinListController& c) {
  std::vector<std::string> n;
  for (const TacSkinListData& d : c.SkinList) n.push_back(d.skName);
  return n;
}

}  // namespace

TEST(SkinList, StoredSkinsThenArchivesWithTheirPreviews) {
  TempFolder dir;
  WriteFile(dir.Path() + "Blue.asz", MinimalSkin().Archive(true, Preview()));
  WriteFile(dir.Path() + "Plain.asz", MinimalSkin().Archive());
  WriteFile(dir.Path() + "Upper.ASZ", MinimalSkin().Archive());  // the extension is compared exactly
  WriteFile(dir.Path() + ".hidden.asz", MinimalSkin().Archive());
  WriteFile(dir.Path() + "Broken.asz", Bytes{'p', 'r', 'e', 'v', 'i', 'e', 'w', 'i', 'm', 'g', 3, 0, 0, 0, 1, 2, 3});
  std::filesystem::create_directory(dir.Path() + "Folder.asz");
  TsStoredSkins stored;
  stored.Items.push_back({"Inside", "Inside", std::make_shared<TMemoryStream>()});
  const Bytes inner = MinimalSkin().Archive(true, Preview());
  stored.Items[0].PackedData->WriteBuffer(inner.data(), int64_t(inner.size()));
  TacSkinListOwner owner;
  owner.FullSkinDirectory = dir.Path();
  owner.InternalSkins = &stored;
  TacSkinListController list(&owner);
  EXPECT_EQ(list.ImgList->Width(), 140);
  ListControl a, b;
  list.AddControl(&a);  // the first control builds the list
  list.AddControl(&b);
  list.AddControl(&a);
  EXPECT_EQ(list.Controls.size(), 2u);
  EXPECT_EQ(Names(list), (std::vector<std::string>{"Inside", "Blue", "Broken", "Plain"}));
  EXPECT_EQ(list.SkinList[0].skSkinMode, smInternal);
  EXPECT_EQ(list.SkinList[1].skSkinMode, smExtPacked);
  EXPECT_EQ(list.SkinList[0].skImageIndex, 0);
  EXPECT_EQ(list.SkinList[1].skImageIndex, 1);
  EXPECT_EQ(list.SkinList[2].skImageIndex, -1);  // a picture that is no PNG
  EXPECT_EQ(list.SkinList[3].skImageIndex, -1);  // no picture
  EXPECT_EQ(list.ImgList->Count(), 2);
  EXPECT_EQ(a.commands, std::vector<int>{SKC_SKINLISTCHANGED});

  // The filter leaves out either kind; the controls hear of every rebuild.
  owner.SkinsFilter = TacSkinsFilter{sfiInternal};
  list.UpdateData();
  EXPECT_EQ(Names(list), std::vector<std::string>{"Inside"});
  EXPECT_EQ(a.commands.size(), 2u);
  EXPECT_EQ(b.commands.size(), 1u);
  list.DelControl(&a);
  EXPECT_EQ(list.CtrlIndex(&a), -1);
  EXPECT_EQ(list.CtrlIndex(&b), 1);
  list.SendSkinChanged();
  EXPECT_EQ(b.commands.back(), SKC_LISTSKINCHANGED);
  EXPECT_EQ(a.commands.size(), 2u);

  // A manager busy loading leaves the list alone.
  owner.Busy = true;
  owner.SkinsFilter = TacSkinsFilter{sfiInternal, sfiExternal};
  list.UpdateData();
  EXPECT_EQ(list.SkinList.size(), 1u);
}

TEST(SkinList, AnotherManagerOnTheSameFolderCopiesTheDefaultList) {
  TempFolder dir;
  WriteFile(dir.Path() + "Blue.asz", MinimalSkin().Archive(true, Preview()));
  TacSkinListOwner first;
  first.FullSkinDirectory = dir.Path();
  TacSkinListController defaultList(&first);
  defaultList.UpdateData();
  std::filesystem::remove(dir.Path() + "Blue.asz");  // the copy must not read the folder
  TacSkinListOwner second = first;
  second.DefaultList = &defaultList;
  TacSkinListController other(&second);
  other.UpdateData();
  EXPECT_EQ(Names(other), std::vector<std::string>{"Blue"});
  ASSERT_EQ(other.ImgList->Count(), 1);
  EXPECT_EQ(other.ImgList->Items()->Items(0)->OrigWidth, 2);
  // Another folder is read for itself.
  second.FullSkinDirectory = dir.Path() + "elsewhere";
  other.UpdateData();
  EXPECT_TRUE(other.SkinList.empty());
}

TEST(SkinList, EditorPreviewBufferFields) {
  TacSkinData d;
  d.Magic = TacSkinData::kMagic;
  d.SkinName = "Fr\u00e9d";   // a Latin-1 letter
  d.SkinDir = std::string(600, 'd');  // longer than its field: cut, NUL kept
  d.Data = "[GLOBALINFO]\r\nVERSION=10";
  const std::vector<uint8_t> bytes = d.Encode();
  ASSERT_EQ(bytes.size(), 30645u);
  EXPECT_EQ(bytes[0], 0x00);
  EXPECT_EQ(bytes[1], 0xA4);
  EXPECT_EQ(bytes[4 + 2], 0xE9);
  TacSkinData back;
  ASSERT_TRUE(back.DecodeFrom(bytes.data(), bytes.size()));
  EXPECT_EQ(back.Magic, 0xA400);
  EXPECT_EQ(back.SkinName, d.SkinName);
  EXPECT_EQ(back.SkinDir, std::string(511, 'd'));
  EXPECT_EQ(back.Data, d.Data);
  TacSkinData shortOne;
  EXPECT_FALSE(shortOne.DecodeFrom(bytes.data(), bytes.size() - 1));
  EXPECT_EQ(shortOne.Magic, 0);
}
