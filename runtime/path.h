// Path texts in library form: 8-bit, '\' as the separator ('/' is accepted
// and turned into '\' by every joining operation), an optional drive "X:" at
// the front. Parts of a path, joining, climbing with "..", searching a
// folder list, and the language-specific variant of a file name. Every
// result is one new scratch entry (or an error slice passed through).
#pragma once
#include "runtime/slice.h"

namespace vk {

// PathPart bits.
enum : u16 {
  kPartDrive = 1,
  kPartFolder = 2,
  kPartName = 4,
  kPartExt = 8,
  kPartParent = kPartDrive | kPartFolder,            // 3
  kPartFolderName = kPartFolder | kPartName,         // 6
  kPartNoExt = kPartDrive | kPartFolder | kPartName, // 7
  kPartAll = 15,
};

constexpr u16 kLangCount = 5;
constexpr u16 kLangCurrent = 0xFFFF;  // LangFileName: the current language

// Every '/' replaced by '\'.
StrSlice PathToNative(StrSlice path);
// A path as the user reads it in messages, on the console and in the log:
// every '\' replaced by '/', the separators of the system's form.
StrSlice PathShown(StrSlice path);
// The parts of path selected by the kPart... bits. With c the first ':', s
// the last '\' and d the last '.' after s: drive up to and with c; folder
// from after c up to s; name after s (or c) up to d, preceded by a '\' when
// something not ending in ':' comes before it; extension after d, with "."
// when something comes before it.
StrSlice PathPart(StrSlice path, u16 parts);
// dir + '\' + name (both made native), the '\' only when dir is non-empty
// and does not end in '\' and name is non-empty and does not start with '\'.
StrSlice PathJoin(StrSlice dir, StrSlice name);
// True when name is one plain step inside a folder: not "..", and without
// a '\' or '/' (so it cannot start at the root) and without a drive ':'.
// The empty name is plain.
bool PathIsPlainName(StrSlice name);
// name + "." + ext, the "." only when both are non-empty.
StrSlice PathAddExt(StrSlice name, StrSlice ext);
// Each leading ".." item of relative climbs one level from base; the rest
// is joined and every "\.\" becomes "\".
StrSlice PathCombine(StrSlice base, StrSlice relative);
// relative made native; itself when it starts with '\', else combined with
// base.
StrSlice PathResolve(StrSlice base, StrSlice relative);
// 1-based position of the language code (identity entry 4) in
// "EN,ES,FR,DE,IT"; 0 when empty or not listed.
u16 LangIndex();
// name with the language suffix ("_en", "_es", ...) of language k before
// its first extension; k 0 the name unchanged, kLangCurrent the current
// language; k above 5 adds nothing.
StrSlice LangFileName(StrSlice name, u16 k);
// The first of name, then each folder of the comma list joined with name,
// that DirList finds; empty when none is found.
StrSlice PathSearch(StrSlice folders, StrSlice name);

// A path's components, split plainly at every '\' (a quote in a name is no
// quote). The count (0 for the empty path); component k (1-based; the empty
// text past the last), a slice into the path; and where component k ends
// (the path's length when it has fewer).
u16 PathComponentCount(StrSlice path);
StrSlice PathComponent(StrSlice path, u16 k);
u32 PathComponentEnd(StrSlice path, u16 k);

}  // namespace vk
