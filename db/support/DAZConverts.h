#pragma once
// Conversion of values between storage types. Values are in their stored
// layout (text zero-terminated, fixed-size types in their size); results are
// new blocks of the engine memory manager owned by the caller.

#include "db/support/DAZTypes.h"

// Whether ConvertValue supports the pair at all (otherwise it raises 30052).
bool IsConversionSupported(TABSBaseFieldType SourceType, TABSBaseFieldType DestType);

// Source in SourceType's layout (SourceSize bytes; 0 or less when unknown, then
// text ends at its zero). Returns a new block of DestSize bytes holding the value
// as DestType. 30052 "Cannot cast from '%s' to '%s'" for an unsupported pair,
// 30051 with the same text when the value does not convert (bad text, an
// impossible date, a number out of range).
void* ConvertValue(const void* Source, int SourceSize, TABSBaseFieldType SourceType, int& DestSize,
                   TABSBaseFieldType DestType);

// A new block holding Value as DataType: for the 8-bit string types Value is
// zero-terminated 8-bit text, for the 16-bit ones zero-terminated 16-bit text,
// else the value's bytes. Null (Size 0) for a type without a size or when the
// memory manager refuses the block.
void* CopyValueToNewBuffer(TABSBaseFieldType DataType, const void* Value, int& Size);
