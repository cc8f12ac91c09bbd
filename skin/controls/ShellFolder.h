#pragma once
// Folders of the file system as the skinned controls and dialogs see them.

#include <memory>
#include <vector>

#include "platform/rtl/SysUtils.h"

// True when Dir names an existing folder (a link to a folder counts); a
// folder whose attributes cannot be read counts as existing. Never raises.
bool DirExists(const String& Dir);

enum TacShellFolderCapability { fcCanCopy, fcCanDelete, fcCanLink, fcCanMove, fcCanRename, fcDropTarget, fcHasPropSheet };
enum TacShellFolderProperty { fpCut, fpIsLink, fpReadOnly, fpShared, fpFileSystem, fpFileSystemAncestor, fpRemovable,
                              fpValidate };
enum TacShowExtension { seSystem, seShow, seHide };
using TacShellFolderCapabilities = unsigned;  // bits of TacShellFolderCapability
using TacShellFolderProperties = unsigned;    // bits of TacShellFolderProperty

// One item (folder or file) of the file system, named relative to its parent
// folder object; an object without a parent names an absolute path.
class TacShellFolder {
 public:
  TacShellFolder(TacShellFolder* AParent, const String& Name);

  TacShellFolder* Parent() const { return FParent; }
  int Level() const { return FLevel; }
  const String& RelativeID() const { return FName; }
  String PathName() const;
  // The name in its folder; seHide cuts a file's extension, seSystem and seShow keep it.
  String DisplayName(TacShowExtension ShowExt = seSystem) const;
  // Answers about this item; Name is only looked at for a ".zip" extension,
  // which (unless OpenZipFiles) makes the item a file, never a folder.
  bool IsFolder(const String& Name = "", bool OpenZipFiles = false) const;
  bool IsFile(const String& Name = "", bool OpenZipFiles = false) const;
  bool IsFileFolder() const;  // a real folder, not a link to one
  bool IsReadOnly() const;
  bool SubFolders() const;
  TacShellFolderCapabilities Capabilities() const;
  TacShellFolderProperties Properties() const;
  // Renames the item in its folder; raises "Rename to <name> failed".
  bool Rename(const String& NewName);
  // The items of this folder, folders first, each group by name.
  std::vector<std::unique_ptr<TacShellFolder>> Children();

  // Column texts, 1-based. GetDetails raises until texts were stored;
  // SetDetails replaces 1..Count and appends at Count + 1 (else raises).
  String GetDetails(int Index) const;
  void SetDetails(int Index, const String& Value);

 private:
  TacShellFolder* FParent = nullptr;
  String FName;
  int FLevel = 0;
  std::vector<String> FDetails;
};
