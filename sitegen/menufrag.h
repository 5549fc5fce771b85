// The menu fragments and the type map of one language of a run.
//
// Two fragment files in the current directory hold the whole page tree as
// nested lists of links, for the templates to include: "Vellumcraft_hmenu"
// (a horizontal bar) and "Vellumcraft_vmenu" (a vertical menu), each with
// the language suffix before ".txt". Their bodies are the same; only the
// wrapping differs. Items are the pages' names in the current language; the
// menu path starts at the interpreter variable RELPATH$, and the walk stops
// at the first page named in the avoid list (MNUAVOID$, or
// "pagenotfound,sitemap"), closing the lists still open.
//
// The type map "index.html.var" in the output root lists the language
// variants of the index page for the web server's content negotiation. Each
// call replaces the language's entry with a new one at the end. A link in
// the map's place is not read: it is replaced by a new map.
//
// Fragments and the type map are put in their files whole (see
// runtime/ostemp.h), so a failure leaves the old file as it was: at once by
// default, or, during a run, by the run's write queue in its turn (the run
// then reports a failure through SiteGenFileFailed).
//
// Every function releases its scratch results before it returns. The menu
// writer moves the shared tree cursor (SiteCursorGet).
#pragma once
#include "runtime/slice.h"

namespace vk {

// The two fragment file base names, for callers that read them back.
constexpr char kMenuHorizontalFile[] = "Vellumcraft_hmenu.txt";
constexpr char kMenuVerticalFile[] = "Vellumcraft_vmenu.txt";
constexpr char kTypeMapFile[] = "index.html.var";

// Both fragment files of the current language (SiteGenLangIndex), the
// vertical one only when the horizontal one was written: the first error,
// or 0.
[[nodiscard]] u16 SiteGenWriteMenus();
// One fragment file, replaced whole: 164 when the name cannot take a file,
// kFailed when writing it fails (the name joins the error detail, with the
// system's reason), 146 when an item does not fit its room, else 0. After a
// failure the file is not touched.
[[nodiscard]] u16 SiteGenWriteMenuTree(StrSlice file, StrSlice opening, StrSlice closing);
// Appends the item of the node under the shared cursor to the open file:
// its link option when it has one, else "/" + menu path + name (with
// "/index" for a node with children) + suffix + ".html", showing the name
// translated. Nothing closes the item. 0, kFailed, or 146.
[[nodiscard]] u16 SiteGenWriteMenuItem(u16 handle, StrSlice name, StrSlice menu_path, const char* indent);
// 1 when the lower-cased page name is an item of the avoid list.
u8 SiteGenMenuAvoided(StrSlice name);
// Merges language index's entry for base (the page's path under root,
// without suffix and extension: "home", "about\index") into the type map
// under root; its URI line names the page with '/' between folders. 0;
// 130 when the old type map cannot be read or the new one cannot be put in
// its place (the old file stays); 146 when an entry or the whole map does
// not fit; 163 for an index that names no language (nothing is touched).
// A missing or empty type map starts with "URI: index" and an empty line.
[[nodiscard]] u16 SiteGenWriteTypeMap(StrSlice root, StrSlice base, u16 index);

// How the fragments and the type map reach their files: put takes the
// content (allocated with malloc, which it releases) and answers 0, or the
// failure (OsFilePut's answer) with OsLastError telling why. Null restores
// the default, OsFilePut at once.
enum : u8 { kSiteFileMenu = 1, kSiteFileTypeMap = 2 };
using SiteFilePut = u16 (*)(StrSlice file, char* data, u32 len, u8 kind);
void SiteGenSetFilePut(SiteFilePut put);
// Records the failure of a fragment or type map file as its writer reports
// it (rc is the put's answer, err the system's reason): the code to return.
[[nodiscard]] u16 SiteGenFileFailed(StrSlice file, u8 kind, u16 rc, int err);

}  // namespace vk
