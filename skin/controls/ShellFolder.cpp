#include "skin/controls/ShellFolder.h"

#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <filesystem>

bool DirExists(const String& Dir) {
  struct stat st {};
  if (::stat(Dir.c_str(), &st) == 0) return S_ISDIR(st.st_mode);
  // Only answers that say the path names nothing are "no"; anything else
  // (a folder we may not look into) is taken as existing.
  switch (errno) {
    case ENOENT:
    case ENOTDIR:
    case ENAMETOOLONG:
    case ELOOP:
    case EINVAL:
      return false;
    default:
      return true;
  }
}

// ---- The shell-folder object ----

namespace {

namespace fs = std::filesystem;

bool HasZipExtension(const String& Name) {
  return !Name.empty() && LowerCase(fs::path(Name).extension().string()) == ".zip";
}

}  // namespace

TacShellFolder::TacShellFolder(TacShellFolder* AParent, const String& Name) : FParent(AParent), FName(Name) {
  // The ancestors of the parent.
  for (TacShellFolder* p = AParent; p && p->FParent; p = p->FParent) ++FLevel;
}

String TacShellFolder::PathName() const {
  return FParent ? (fs::path(FParent->PathName()) / FName).string() : FName;
}

String TacShellFolder::DisplayName(TacShowExtension ShowExt) const {
  const fs::path p(FParent ? FName : fs::path(FName).filename().string());
  String name = p.string().empty() ? FName : p.string();
  if (ShowExt == seHide && !IsFolder() && p.has_extension()) name = p.stem().string();
  return name;
}

bool TacShellFolder::IsFolder(const String& Name, bool OpenZipFiles) const {
  if (!OpenZipFiles && HasZipExtension(Name)) return false;
  return DirExists(PathName());
}

bool TacShellFolder::IsFile(const String& Name, bool OpenZipFiles) const {
  if (!OpenZipFiles && HasZipExtension(Name)) return true;
  std::error_code ec;
  return fs::is_regular_file(fs::symlink_status(PathName(), ec));
}

bool TacShellFolder::IsFileFolder() const {
  std::error_code ec;
  return fs::is_directory(fs::symlink_status(PathName(), ec));
}

bool TacShellFolder::IsReadOnly() const {
  std::error_code ec;
  return fs::exists(PathName(), ec) && ::access(PathName().c_str(), W_OK) != 0;
}

bool TacShellFolder::SubFolders() const {
  std::error_code ec;
  for (fs::directory_iterator it(PathName(), ec), end; !ec && it != end; it.increment(ec))
    if (it->is_directory(ec)) return true;
  return false;
}

TacShellFolderCapabilities TacShellFolder::Capabilities() const {
  std::error_code ec;
  if (!fs::exists(fs::symlink_status(PathName(), ec))) return 0;
  TacShellFolderCapabilities c = (1u << fcCanCopy) | (1u << fcCanLink);
  // Moving, renaming and deleting change the folder the item lies in.
  const String folder = FParent ? FParent->PathName() : fs::path(PathName()).parent_path().string();
  if (::access(folder.c_str(), W_OK) == 0) c |= (1u << fcCanMove) | (1u << fcCanRename) | (1u << fcCanDelete);
  if (IsFolder() && !IsReadOnly()) c |= 1u << fcDropTarget;
  return c;
}

TacShellFolderProperties TacShellFolder::Properties() const {
  std::error_code ec;
  const fs::file_status s = fs::symlink_status(PathName(), ec);
  if (!fs::exists(s)) return 0;
  TacShellFolderProperties p = (1u << fpFileSystem) | (1u << fpFileSystemAncestor);
  if (fs::is_symlink(s)) p |= 1u << fpIsLink;
  if (IsReadOnly()) p |= 1u << fpReadOnly;
  return p;
}

bool TacShellFolder::Rename(const String& NewName) {
  if (!(Capabilities() & (1u << fcCanRename))) return false;
  const fs::path from(PathName());
  const fs::path to = from.parent_path() / NewName;
  std::error_code ec;
  if (NewName.empty() || NewName.find('/') != String::npos || fs::exists(fs::symlink_status(to, ec)))
    throw Exception("Rename to " + NewName + " failed");
  fs::rename(from, to, ec);
  if (ec) throw Exception("Rename to " + NewName + " failed");
  FName = FParent ? NewName : to.string();
  return true;
}

std::vector<std::unique_ptr<TacShellFolder>> TacShellFolder::Children() {
  std::vector<std::pair<bool, String>> items;  // (is not a folder, name)
  std::error_code ec;
  for (fs::directory_iterator it(PathName(), ec), end; !ec && it != end; it.increment(ec))
    items.emplace_back(!it->is_directory(ec), it->path().filename().string());
  std::sort(items.begin(), items.end());
  std::vector<std::unique_ptr<TacShellFolder>> out;
  for (const auto& [isFile, name] : items) out.push_back(std::make_unique<TacShellFolder>(this, name));
  return out;
}

String TacShellFolder::GetDetails(int Index) const {
  if (FDetails.empty()) throw Exception(DisplayName(seSystem) + ": Missing call to LoadColumnDetails");
  if (Index < 1 || Index > int(FDetails.size())) throw Exception("List index out of bounds (" + std::to_string(Index) + ")");
  return FDetails[size_t(Index - 1)];
}

void TacShellFolder::SetDetails(int Index, const String& Value) {
  const int count = int(FDetails.size());
  if (Index >= 1 && Index <= count)
    FDetails[size_t(Index - 1)] = Value;
  else if (Index == count + 1)
    FDetails.push_back(Value);
  else
    throw Exception("List index out of bounds (" + std::to_string(Index) + ")");
}
