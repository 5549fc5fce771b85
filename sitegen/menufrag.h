// The menu fragments and the type map of one language of a run. Two
// fragment files in the current directory hold the whole page tree as
// nested lists of links (one for a horizontal bar, one for a vertical
// menu); the type map "index.html.var" in the output root lists the
// language variants of the index page for the web server.
#pragma once
#include "runtime/slice.h"

namespace vk {

// Both fragment files of the current language: the first error, or 0.
u16 SiteGenWriteMenus();
// One fragment file: 164 when it cannot be created, 0xFFFF when a write
// fails, else 0.
u16 SiteGenWriteMenuTree(StrSlice file, StrSlice opening, StrSlice closing);
// One item of the node under the shared cursor.
u16 SiteGenWriteMenuItem(u16 handle, StrSlice name, StrSlice menu_path, const char* indent);
// 1 when the lower-cased page name is in the avoid list.
u8 SiteGenMenuAvoided(StrSlice name);
// Merges language index's entry into the type map: 0, 130, or a write error.
u16 SiteGenWriteTypeMap(StrSlice root, StrSlice base, u16 index);

}  // namespace vk
