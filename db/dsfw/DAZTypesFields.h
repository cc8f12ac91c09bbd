#pragma once
// Copying a field's value into a field of another dataset, for the
// components that copy rows between tables.

#include "db/dsfw/DB.h"

// Copies Source's current value into Dest, with large integers, counted
// bytes, 16-bit text and BLOB contents (dropping an 8-byte picture header)
// handled where a plain field assignment would lose them.
void AssignFieldValue(TField* Source, TField* Dest);
