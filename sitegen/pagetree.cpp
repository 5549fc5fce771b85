#include "sitegen/pagetree.h"

#include <cstring>

#include "runtime/error.h"
#include "runtime/file.h"
#include "runtime/linelist.h"
#include "runtime/list.h"
#include "runtime/memory.h"
#include "runtime/osproc.h"
#include "runtime/path.h"
#include "runtime/scratch.h"
#include "runtime/str.h"
#include "runtime/varstore.h"
#include "script/errtext.h"
#include "script/mask.h"
#include "script/valtable.h"

namespace vk {

namespace {

constexpr char kTextField = 'A';  // left-justified, blank-padded or cut
constexpr u16 kTreeLayout = 0;    // no key: every line of the file counts
constexpr u16 kTreeCode = 0;
constexpr u16 kDetailMax = 1024;
constexpr char kTrailingBlanks[] = " \t";

// Why a load stopped; each has its text in kReasons.
enum : u16 {
  kWhyNotFound,
  kWhyEmpty,
  kWhyNotOpened,
  kWhyLineQueue,
  kWhyScratch,
  kWhyTable,
  kWhyTextWidth,
};

constexpr const char* kReasons[] = {
    "not found",
    "no lines",
    "cannot be opened",
    "more lines or text than the line queue holds",
    "more nodes than the scratch stack holds",
    "more nodes than the node table holds",
    "node text too long for its width",
};

SiteCursor g_cursor{0, kSiteNone, nullptr};
u16 g_count = 0;             // nodes held; the index the next node gets
WorkMarkId g_text_mark = 0;  // the node texts lie above it (when g_count > 0)

const SiteNode* Record(u16 i) {
  if (i == kSiteNone || ValTabInfo(kTabNodes, kValTabSize) != sizeof(SiteNode)) return nullptr;
  return reinterpret_cast<const SiteNode*>(ValTabAt(kTabNodes, i));
}

bool NodeGet(u16 i, SiteNode* out) {
  const SiteNode* r = Record(i);
  if (!r) return false;
  std::memcpy(out, r, sizeof *out);
  return true;
}

void NodeSet(u16 i, const SiteNode& node) {
  if (u8* p = ValTabAt(kTabNodes, i)) std::memcpy(p, &node, sizeof node);
}

SiteCursor CursorOn(u16 i, i32 depth_change) {
  const SiteNode* r = Record(i);
  if (!r) return SiteCursor{depth_change, kSiteNone, nullptr};
  return SiteCursor{depth_change, i, r};
}

// Whether a node text of width bytes still leaves a page's room on the
// scratch stack, now at mark current. The current depth is what counts, not
// the deepest mark ever reached, which would keep refusing every later tree
// once one load had failed. An entry is possible while the current mark is
// below the last one.
bool RoomForNode(WorkMarkId current, u32 width) {
  const WorkStack& work = MemControlGet()->work;
  const u32 marks_after = u32{current} + 1 + kSitePageMarks;
  return marks_after < work.marks && WorkRoomLeft() >= MemRound4(width) + kSitePageBytes;
}

// SiteTreeAddNode that also tells why a node was refused (a kWhy... value)
// and with which code.
u16 AddNode(u16 link, StrSlice text, bool as_child, u16 width, u16* why, u16* code) {
  *code = kErrOutOfMemory;
  *why = kWhyTable;
  const u16 index = g_count;
  // The table's last possible element would need index kSiteNone.
  if (index >= kSiteMaxNodes) return kSiteNone;
  SiteNode linked{};
  if (link != kSiteNone && !NodeGet(link, &linked)) {
    *code = kErrData;
    return kSiteNone;
  }
  u32 w = width;
  if (width == kSiteWidthAuto) w = u32{text.len} + text.len / 2;
  if (StrError(text) || w > kMaxText) {
    *why = kWhyTextWidth;
    *code = kErrStringTooLong;
    return kSiteNone;
  }

  const WorkMarkId before = WorkMark(kMarkQuery);
  if (!RoomForNode(before, w)) {
    *why = kWhyScratch;
    return kSiteNone;
  }
  SiteNode node{FieldFormat(kTextField, text, static_cast<u16>(w)), kSiteNone, kSiteNone, kSiteNone,
                kSiteNone};
  if (u16 err = StrError(node.text)) {
    WorkMark(before);
    *why = err == kErrOutOfMemory ? kWhyScratch : kWhyTextWidth;
    *code = err;
    return kSiteNone;
  }
  if (link != kSiteNone) {
    if (as_child) {
      node.parent = link;
      linked.first_child = index;
    } else {
      node.parent = linked.parent;
      node.prev_sibling = link;
      linked.next_sibling = index;
    }
  }
  if (!ValTabPut(kTabNodes, index, &node, sizeof node)) {
    WorkMark(before);
    return kSiteNone;
  }
  if (link != kSiteNone) NodeSet(link, linked);
  // Every text of the tree lies above the mark taken before its first node,
  // so that one release frees them all, whatever was linked to what.
  if (index == 0) g_text_mark = before;
  g_count = static_cast<u16>(index + 1);
  return index;
}

u16 TabCount(StrSlice text) {
  u16 n = 0;
  for (u16 i = 0; i < text.len; ++i) n = static_cast<u16>(n + (text.ptr[i] == '\t'));
  return n;
}

// Why a tree file gave no lines; *sys_err the system's error number when
// it refused to open the file.
u16 ReadFailure(StrSlice path, int* sys_err) {
  FileInfoRecord info;
  if (FileFindInfo(path, &info)) return kWhyNotFound;
  if (info.size == 0) return kWhyEmpty;
  const i16 slot = FileOpen(path, kOpenQuiet | kOpenNoUpdate | kOpenPlain);
  if (slot == static_cast<i16>(kErrFileNotFound)) *sys_err = OsLastError();
  if (FileOpenFailed(slot)) return kWhyNotOpened;
  (void)FileClose(static_cast<u16>(slot));  // only read: nothing to lose on closing
  return kWhyLineQueue;
}

// Appends "Tree file <path>[, line <n>]: <reason>" to the error detail, the
// path shown with '/' and the system's reason (sys_err, 0 for none) in
// parentheses after the load's.
void ReportFailure(u16 code, StrSlice path, u16 line, u16 why, int sys_err) {
  const WorkMarkId m = WorkMark(kMarkQuery);
  const StrSlice shown = PathShown(path);
  const StrSlice reason = sys_err ? StrFormatV(kDetailMax, "%s (%s)", kReasons[why], OsErrorText(sys_err))
                                  : StrC(kReasons[why]);
  const StrSlice detail = line ? StrFormatV(kDetailMax, "Tree file %s, line %u: %s", shown, line, reason)
                               : StrFormatV(kDetailMax, "Tree file %s: %s", shown, reason);
  ErrMsgAppend(code, detail, true);
  WorkMark(m);
}

}  // namespace

SiteCursor* SiteCursorGet() { return &g_cursor; }

u16 SiteTreeAddNode(u16 link, StrSlice text, u8 as_child, u16 width) {
  u16 why;
  u16 code;
  return AddNode(link, text, as_child != 0, width, &why, &code);
}

u16 SiteTreeLoad(StrSlice path, u16 width) {
  const WorkMarkId start = WorkMark(kMarkQuery);
  const u16 queued = StoreCount(kGroupLineQueue);
  const u16 lines = LineListLoad(path, kTreeLayout, kTreeCode);
  u16 err = 0;
  u16 why = 0;
  int sys_err = 0;
  u16 failed_line = 0;

  if (lines == kLineLoadFailed) {
    err = kLineLoadFailed;
    why = ReadFailure(path, &sys_err);
  } else {
    // The last node added at each level of the current branch. A line is at
    // most one level deeper than the line before it (before the first line
    // there is none, so it is top-level); deeper indentation makes it the
    // first child of the line before it. Levels stop at the table's end.
    u16 last_at[kSiteMaxLevels];
    for (u16& entry : last_at) entry = kSiteNone;
    i32 prev = -1;
    for (u16 k = 0; k < lines; ++k) {
      // The lines are read in place; the store does not change until they
      // are all taken.
      const u16 at = static_cast<u16>(queued + k);
      if (at >= StoreCount(kGroupLineQueue)) break;
      const StrSlice line = StoreGet(kGroupLineQueue, at);
      const u16 tabs = TabCount(StrTrimSet(line, kTrimRight, StrC(kTrailingBlanks)));
      i32 level = tabs;
      if (level > prev + 1) level = prev + 1;
      if (level > kSiteMaxLevels - 1) level = kSiteMaxLevels - 1;
      const bool deeper = level > prev;
      const u16 link = deeper ? (level ? last_at[level - 1] : kSiteNone) : last_at[level];
      const StrSlice text{line.ptr + tabs, static_cast<u16>(line.len - tabs)};
      const u16 index = AddNode(link, text, deeper, width, &why, &err);
      if (index == kSiteNone) {
        failed_line = static_cast<u16>(k + 1);
        break;
      }
      err = 0;
      last_at[level] = index;
      prev = level;
    }
    // Take this load's lines out of the queue, also those left when the
    // load stopped early. (Removing lines needs no room: it fails only
    // without a store.)
    (void)LineQueueTrim(queued);
  }

  if (err) {
    // No node may outlive its text: the whole tree goes.
    WorkMark(start);
    SiteTreeFree();
    ReportFailure(err, path, failed_line, why, sys_err);
  }
  return err;
}

void SiteTreeFree() {
  if (g_count) WorkMark(g_text_mark);
  ValTabFreeSlot(kTabNodes);
  g_count = 0;
  g_cursor = SiteCursor{0, kSiteNone, nullptr};
}

u16 SiteTreeCount() { return g_count; }

u16 SiteTreeRoot() {
  SiteNode n;
  if (!NodeGet(0, &n)) return kSiteNone;
  u16 at = 0;
  // Bounded by the node count, so damaged links cannot loop.
  for (u16 steps = 0; steps < g_count; ++steps) {
    const u16 up = n.parent != kSiteNone ? n.parent : n.prev_sibling;
    if (up == kSiteNone || !NodeGet(up, &n)) break;
    at = up;
  }
  return at;
}

SiteCursor SiteTreeAt(u16 index) {
  if (index == kSiteNone) return SiteCursor{kSiteNone, kSiteNone, nullptr};
  return CursorOn(index, 0);
}

SiteCursor SiteTreeNext(u16 index, u8 descend) {
  SiteNode n;
  if (!NodeGet(index, &n)) return SiteCursor{0, kSiteNone, nullptr};
  if (descend && n.first_child != kSiteNone) return CursorOn(n.first_child, 1);
  i32 depth_change = 0;
  for (u16 steps = 0; steps <= g_count; ++steps) {
    if (n.next_sibling != kSiteNone) return CursorOn(n.next_sibling, depth_change);
    if (n.parent == kSiteNone || !NodeGet(n.parent, &n)) break;
    --depth_change;
  }
  return SiteCursor{depth_change, kSiteNone, nullptr};
}

StrSlice SiteNodeField(StrSlice text, u16 k) { return StrTrimSet(ListItem(text, ',', k), kTrimBoth, StrC(" \t")); }

StrSlice SiteNodeOption(u8 kind) {
  const SiteCursor* cursor = SiteCursorGet();
  if (!cursor || !cursor->record) return kStrEmpty;
  const StrSlice options = StrTrim(ListItem(cursor->record->text, ',', 2), kTrimBoth);
  StrSlice result = kStrEmpty;
  const u16 count = ListCount(options, ';');
  for (u16 k = 1; k <= count; ++k) {
    const StrSlice e = StrUnquote(ListItem(options, ';', k));
    // An empty entry (as after a trailing ';') names nothing.
    if (e.len == 0) continue;
    u8 cls = kOptTemplate;
    if (StrFindChar(e, '/', kPlain) != kNotFound) {
      cls = kOptLink;
    } else if (e.len == 1 && StrValue(e) > 0) {
      cls = kOptPageMode;
    }
    if (cls == kind) result = e;
  }
  return result;
}

}  // namespace vk
