#pragma once
// The process-wide table of reserved words.
//
// The table is a general script object whose members are the reserved words and
// whose values are their integer token codes. It is reference counted: the first
// reference creates it empty, the last release destroys it. Engines hold a
// reference while they live and every lexer holds one for its own lifetime; the
// first lexer that finds the table unfilled fills it. Single-threaded, like the
// engine that uses it.

#include <cstdint>

#include "engine/values/nuv_string.h"

namespace NUV {

void NUVAddRefReservedWordTable();
void NUVReleaseReservedWordTable();

// Stores the reserved words unless the table is filled already. Requires a
// reference to be held.
void NUVFillReservedWordTable();

// The token code of a reserved word, or 0 when the word is not reserved (or no
// table exists). Uses and updates the word's lookup hint.
int32_t NUVLookupReservedWord(const tNUVString& word);

// Number of references held on the table (0 when it does not exist).
int32_t NUVReservedWordTableRefCount();

}  // namespace NUV
