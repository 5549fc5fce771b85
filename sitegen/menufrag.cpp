#include "sitegen/menufrag.h"

#include <cstdlib>
#include <cstring>
#include <string>

#include "runtime/error.h"
#include "runtime/file.h"
#include "runtime/linelist.h"
#include "runtime/list.h"
#include "runtime/osfile.h"
#include "runtime/osproc.h"
#include "runtime/ostemp.h"
#include "runtime/ostext.h"
#include "runtime/path.h"
#include "runtime/scratch.h"
#include "runtime/str.h"
#include "runtime/varstore.h"
#include "script/eval.h"
#include "sitegen/dispatch.h"
#include "sitegen/pagetree.h"
#include "sitegen/sitetext.h"

namespace vk {

namespace {

struct MenuFile {
  const char* base;
  const char* opening;
  const char* closing;
};

constexpr MenuFile kMenuFiles[] = {
    {kMenuHorizontalFile, "<ul id=\"navbar\">\r\n", "</ul>\r\n"},
    {kMenuVerticalFile, "<div id=\"menuwrapper\">\r\n<ul>\r\n", "</ul>\r\n</div>"},
};

constexpr char kRelPathVar[] = "RELPATH$";
constexpr char kAvoidVar[] = "MNUAVOID$";
constexpr char kAvoidDefault[] = "pagenotfound,sitemap";

constexpr char kLinkItem[] = "%s<li><a href=\"%s\">%s</a>";
constexpr char kPageItem[] = "%s<li><a href=\"/%s%s%s%s\">%s</a>";
constexpr char kItemEnd[] = "</li>\r\n";
constexpr char kListOpen[] = "\r\n%s\t<ul>\r\n";
constexpr char kListClose[] = "%s\t</ul>\r\n%s</li>\r\n";
// What a folder page's menu path takes on: its folder's index page.
constexpr char kIndexInFolder[] = "/index";
constexpr char kPageExt[] = ".html";

// Room of every formatted text beyond what its variable parts need.
constexpr u16 kRoom = 384;

constexpr char kTypeMapNew[] = "URI: index\n\n";
constexpr char kTypeMapEntry[] = "URI: %s_%s.html\nContent-type: text/html\nContent-language: %s\n\n";
constexpr char kEntryPattern[] = "%s.html";
// A language's old entry: the line naming its page and the three after it.
constexpr u16 kEntryLines = 4;
constexpr u16 kAnyLine = 0;  // line layout and code that take every line


u16 RoomFor(u32 variable) {
  const u32 room = variable + kRoom;
  return room > kMaxText ? static_cast<u16>(kMaxText) : static_cast<u16>(room);
}

// The value of a text variable; an unusable value reads as the empty text,
// as for the keywords, but a scratch stack that ran out stays an error.
StrSlice VarText(const char* name) {
  u16 status = 0;
  const StrSlice v = SiteKwValue(ExprEvalStr(StrC(name)), &status);
  return status ? StrErrorSlice(status) : v;
}

// tabs TAB characters, NUL-terminated, on the scratch stack.
const char* Indent(u16 tabs) { return StrToC(StrRepeat(StrMake("\t", 1), tabs)); }

u16 Put(u16 handle, StrSlice text) { return FileWriteAt(handle, kFileAtEnd, text); }

u16 PutClose(u16 handle, const char* indent) {
  const WorkMarkId mark = WorkMark(kMarkQuery);
  const u16 rc = Put(handle, StrFormatV(kRoom, kListClose, indent, indent));
  WorkMark(mark);
  return rc;
}

// A failure of 128 or more is recorded, with the file's name (when given)
// in the detail, followed by the system's reason err (0 for none).
u16 Fail(u16 code, StrSlice name, int err = 0) {
  if (code < kFirstError) return code;
  if (name.ptr && name.len) {
    const WorkMarkId mark = WorkMark(kMarkQuery);
    ErrMsgAppend(code, FileShown(name, err), true);
    WorkMark(mark);
  }
  return ErrSet(kErrFirst, kWhereFileStream, code, code);
}

// Puts a file in place at once: the default way for the fragments and the
// type map outside a run.
u16 PutAtOnce(StrSlice file, char* data, u32 len, u8 /*kind*/) {
  const u16 rc = OsFilePut(file, data, len);
  OsMemFree(data);
  return rc;
}

SiteFilePut g_file_put = PutAtOnce;

// The lines of the old type map held in the line queue from entry first on,
// without the lines of the language's entry, each followed by LF, then the
// new entry: one new scratch entry, or the error slice 146 / 145.
StrSlice MergeTypeMap(u16 first, u16 count, StrSlice pattern, StrSlice entry) {
  return StrBuild([&](auto put) {
    u16 skip = 0;
    for (u16 k = 0; k < count; ++k) {
      const StrSlice line = StoreGet(kGroupLineQueue, static_cast<u16>(first + k));
      if (skip == 0 && StrFind(line, pattern, kPlain) != kNotFound) skip = kEntryLines;
      if (skip) {
        --skip;
        continue;
      }
      put(line.ptr, line.len);
      put("\n", 1);
    }
    put(entry.ptr, entry.len);
  });
}

}  // namespace

u16 SiteGenWriteMenus() {
  u16 rc = 0;
  for (const MenuFile& m : kMenuFiles) {
    const WorkMarkId mark = WorkMark(kMarkQuery);
    rc = SiteGenWriteMenuTree(LangFileName(StrC(m.base), SiteGenLangIndex()), StrC(m.opening), StrC(m.closing));
    WorkMark(mark);
    if (rc) break;
  }
  return rc;
}

u16 SiteGenWriteMenuTree(StrSlice file, StrSlice opening, StrSlice closing) {
  const WorkMarkId mark = WorkMark(kMarkQuery);
  StrSlice menu_path = StrDup(VarText(kRelPathVar));
  // The fragment is made in memory and put in its file whole, so a page
  // that includes it never meets half a menu.
  char* data = nullptr;
  size_t size = 0;
  const i16 slot = FileOpenMemory(&data, &size);
  if (FileOpenFailed(slot)) {
    const u16 rc = Fail(static_cast<u16>(slot), file);  // no slot free, or no memory
    WorkMark(mark);
    return rc;
  }
  const u16 h = static_cast<u16>(slot);
  u16 rc = FileWriteAt(h, 0, opening);
  SiteCursor* cursor = SiteCursorGet();
  *cursor = SiteTreeAt(SiteTreeRoot());
  u16 open = 0;       // lists opened and not closed yet
  u16 last_tabs = 0;  // the indent of the item written last
  if (StrError(menu_path)) rc = StrError(menu_path);

  while (rc == 0 && cursor->index != kSiteNone) {
    const StrSlice name = StrTrim(ListItem(cursor->record->text, ',', 1), kTrimBoth);
    if (SiteGenMenuAvoided(name)) break;
    last_tabs = StrError(menu_path) ? 0 : PathComponentCount(menu_path);
    const char* indent = Indent(last_tabs);
    rc = SiteGenWriteMenuItem(h, name, menu_path, indent);
    if (rc) break;
    if (cursor->record->first_child == kSiteNone) {
      rc = Put(h, StrC(kItemEnd));
    } else {
      rc = Put(h, StrFormatV(kRoom, kListOpen, indent));
      if (rc == 0) {
        menu_path = PathJoin(menu_path, name);
        ++open;
      }
    }
    *cursor = SiteTreeNext(cursor->index, 1);
    for (i32 d = cursor->depth_change; rc == 0 && d < 0; ++d) {
      rc = PutClose(h, indent);
      menu_path = PathPart(menu_path, kPartFolder);
      if (open) --open;
    }
    // Only the menu path outlives the node.
    menu_path = WorkReturn(mark, menu_path);
    if (rc == 0) rc = StrError(menu_path);
  }

  // A walk cut short at an avoided page still closes what it opened, so the
  // fragment stays well-formed wherever it is included.
  if (rc == 0 && open) {
    const char* indent = Indent(last_tabs);
    for (; rc == 0 && open; --open) rc = PutClose(h, indent);
  }
  if (rc == 0) rc = Put(h, closing);
  if (FileClose(h) != h && rc == 0) rc = kErrOutOfMemory;
  if (rc == 0) {
    const u16 put = g_file_put(file, data, static_cast<u32>(size), kSiteFileMenu);
    data = nullptr;  // the put took it
    if (put) rc = SiteGenFileFailed(file, kSiteFileMenu, put, OsLastError());
  } else {
    rc = Fail(rc, file);
  }
  OsMemFree(data);
  WorkMark(mark);
  return rc;
}

u16 SiteGenWriteMenuItem(u16 handle, StrSlice name, StrSlice menu_path, const char* indent) {
  const WorkMarkId mark = WorkMark(kMarkQuery);
  const SiteCursor* cursor = SiteCursorGet();
  const StrSlice text = SiteGenTranslate(name, 0);
  const StrSlice link = SiteNodeOption(kOptLink);
  const u32 text_len = StrError(text) ? 0 : text.len;
  StrSlice item;
  if (link.len) {
    item = StrFormatV(RoomFor(link.len + text_len), kLinkItem, indent, link, text);
  } else {
    const bool parent = cursor->record && cursor->record->first_child != kSiteNone;
    const StrSlice path = StrTranslate(PathJoin(menu_path, name), "\\", "/");
    item = StrError(path) ? path
                          : StrFormatV(RoomFor(u32{path.len} + text_len), kPageItem, indent, path, parent ? kIndexInFolder : "",
                                       SiteGenLangSuffix(SiteGenLangIndex()), kPageExt, text);
  }
  if (StrError(text)) item = text;
  const u16 rc = FileWriteAt(handle, kFileAtEnd, item);
  WorkMark(mark);
  return rc;
}

u8 SiteGenMenuAvoided(StrSlice name) {
  const WorkMarkId mark = WorkMark(kMarkQuery);
  StrSlice list = VarText(kAvoidVar);
  if (StrError(list) || list.len == 0) list = StrC(kAvoidDefault);
  const StrSlice lower = StrCase(name, kLower);
  const u8 hit = !StrError(lower) && ListFind(list, lower, ',') != 0;
  WorkMark(mark);
  return hit;
}

u16 SiteGenWriteTypeMap(StrSlice root, StrSlice base, u16 index) {
  const WorkMarkId mark = WorkMark(kMarkQuery);
  // Without a language there is no entry, and the empty suffix would match
  // every page line of the map.
  const StrSlice suffix = SiteGenLangSuffix(index);
  if (suffix.len < 2) return kErrData;
  if (u16 err = StrError(base)) return err;
  const StrSlice code = StrMake(suffix.ptr + 1, suffix.len - 1u);
  const StrSlice path = PathJoin(root, StrC(kTypeMapFile));
  const StrSlice pattern = StrFormatV(kRoom, kEntryPattern, suffix);
  // The server reads the URI line as a file name: it names the page as it
  // is on the disk, where names are UTF-8 and folders are separated by '/'.
  char disk_name[kOsPathMax];
  const u32 disk_len = OsToUtf8(base, true, disk_name, sizeof disk_name);
  const StrSlice on_disk = disk_len == kOsTooLong || disk_len > kMaxText ? StrErrorSlice(kErrStringTooLong)
                                                                         : StrMake(disk_name, disk_len);
  const StrSlice entry = StrError(on_disk) ? on_disk : StrFormatV(kRoom, kTypeMapEntry, on_disk, code, code);
  u16 rc = StrError(path) ? StrError(path) : StrError(pattern) ? StrError(pattern) : StrError(entry);

  StrSlice content{nullptr, 0};
  if (rc == 0) {
    // A link in the map's place is not read through (its lines may come
    // from anywhere): it is replaced by a new map, as a page would be. A
    // map the run has not put in place yet reads as it will be.
    const bool link = OsIsLink(path);
    const u16 queued = StoreCount(kGroupLineQueue);
    const u16 lines = link ? kLineLoadFailed : LineListLoad(path, kAnyLine, kAnyLine);
    OsStat st;
    const bool none = lines == kLineLoadFailed && (!OsStatPath(path, &st) || (!st.is_dir && st.size == 0));
    if (link || lines == 0 || none) {
      content = StrConcat(StrC(kTypeMapNew), entry);
    } else if (lines == kLineLoadFailed) {
      rc = kErrDiskIO;
    } else {
      content = MergeTypeMap(queued, lines, pattern, entry);
    }
    (void)LineQueueTrim(queued);  // this call's lines leave the queue (which needs no room)
  }
  if (rc == 0) rc = StrError(content);
  // The new map replaces the old one whole; a failed replacement names the
  // file in the error detail.
  if (rc == 0) {
    char* data = static_cast<char*>(std::malloc(content.len ? content.len : 1u));
    if (!data) {
      rc = Fail(kErrOutOfMemory, path);
    } else {
      std::memcpy(data, content.ptr, content.len);
      const u16 put = g_file_put(path, data, content.len, kSiteFileTypeMap);
      rc = put ? SiteGenFileFailed(path, kSiteFileTypeMap, put, OsLastError()) : 0;
    }
    WorkMark(mark);
    return rc;
  }
  rc = Fail(rc, StrError(path) ? StrSlice{nullptr, 0} : path);
  WorkMark(mark);
  return rc;
}

void SiteGenSetFilePut(SiteFilePut put) { g_file_put = put ? put : PutAtOnce; }

u16 SiteGenFileFailed(StrSlice file, u8 kind, u16 rc, int err) {
  if (kind == kSiteFileTypeMap) {
    // As a failed replacement through the file layer reports it: the file
    // named for 164, then the map's own 130.
    (void)Fail(kErrFileNotFound, file, err);
    return Fail(kErrDiskIO, StrSlice{nullptr, 0});
  }
  // A fragment's name that cannot take a file (a folder there, no write
  // access) fails as an open would; anything else is a failed write.
  return Fail(rc == kOsOpenFailed ? u16{kErrFileNotFound} : u16{kFailed}, file, err);
}

}  // namespace vk
