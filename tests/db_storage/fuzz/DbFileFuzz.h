#pragma once
// What the database file fuzz target and its seed writer share: the password
// they use and the opening of a file through a disk database.

#include "db/storage/VelqorimDiskDatabase.h"
#include "db/storage/VelqorimLocalEngine.h"
#include "db/support/DAZExcept.h"

constexpr const char* FuzzPassword = "fuzz";

// Opens the file as a session would, walks its catalogue and closes it again.
// Engine errors are expected outcomes; anything else escapes.
inline void OpenAndWalk(const String& File, bool MultiUser) {
  TVelqorimDiskDatabaseData d;
  d.DatabaseName = File;
  d.Password()->Password = FuzzPassword;
  TVelqorimLocalSession s;
  s.MultiUser = MultiUser;
  try {
    d.ConnectSession(&s);
  } catch (const EABSException&) {
    return;
  }
  try {
    TStringList names;
    d.GetTablesList(names);
    for (int i = 0; i < names.Count(); ++i) {
      int32_t id = 0, meta = 0, most = 0, locks = 0;
      d.OpenTableFromList(names[i], id, meta, most, locks);
    }
    (void)d.GetDBFileConnectionsCount();
    (void)d.GetNewObjectId();
  } catch (const EABSException&) {
  }
  try {
    d.DisconnectSession(&s);
  } catch (const EABSException&) {
  }
}
