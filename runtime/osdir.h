// Folders by library path, at the operating-system boundary (see ostext.h):
// creating and removing them, and listing a folder's names (converted to
// Latin-1) that match a pattern.
#pragma once
#include "runtime/slice.h"

namespace vk {

// Creates one folder: 0 or kFailed.
[[nodiscard]] u16 OsDirCreate(StrSlice path);
// Removes one empty folder: 0 or kFailed.
[[nodiscard]] u16 OsDirRemove(StrSlice path);

// True when name matches pattern: '*' any run, '?' any one character,
// everything else literal and case-sensitive; "*.*" matches every name.
bool OsMatch(StrSlice pattern, StrSlice name);

// Calls visit(name, ctx) for every entry of the pattern's folder whose name
// matches the pattern's last component ("." and ".." included when they
// match), in ascending byte order of the Latin-1 names. A last component
// without wildcards is one stat of the whole path ("dir\." finds the folder
// as "."). visit returns false to stop. Result: 0 when something matched,
// kErrFileNotFound when nothing did, kErrOutOfMemory when the names could not
// be gathered, or visit's stop code (kOsStopped).
constexpr u16 kOsStopped = 0xFFFE;
using OsVisit = bool (*)(StrSlice name, void* ctx);
[[nodiscard]] u16 OsList(StrSlice pattern, OsVisit visit, void* ctx);

}  // namespace vk
