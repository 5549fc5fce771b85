// Keyed text-line lists and parameter lists.
#include "runtime/linelist.h"

#include <cstring>

#include "runtime/appenv.h"
#include "runtime/error.h"
#include "runtime/file.h"
#include "runtime/list.h"
#include "runtime/path.h"
#include "runtime/scratch.h"
#include "runtime/str.h"
#include "runtime/varstore.h"

namespace vk {

namespace {

constexpr LineLayout kLayouts[kLineLayouts] = {
    {0, 0, 0, 0},  // no key: every line has key 0, payload the whole line
    {0, 2, 3, 3},  // two-digit key, one separator, payload to the end
    {1, 2, 3, 4},  // one leading character, key, payload without the last byte
    {0, 4, 5, 5},  // four-digit key, one separator, payload to the end
    {0, 2, 2, 2},  // two-digit key directly followed by the payload
    {0, 0, 0, 0},  // as layout 0
    {0, 5, 0, 0},  // five-digit key; the payload is the whole line
};

constexpr char kFileKindExts[] = "PPN,PAN,STP,DAT,DAT,PDC,PRX,KLA,PMT,PDF,TXT,PDI,HLP,CFG";

// A bare name not found in the current directory is opened from the default
// folders: read-only, and then a failure is recorded.
constexpr u16 kOpenQuietRead = kOpenQuiet | kOpenNoUpdate | kOpenPlain;
constexpr u16 kOpenRead = kOpenNoUpdate | kOpenPlain;

StrSlice Payload(u16 layout, StrSlice line) {
  LineLayout l = LineLayoutGet(layout);
  i32 len = static_cast<i32>(line.len) - l.payload_trim;
  if (len < 0) len = 0;
  return StrMid(line, static_cast<i16>(l.payload_start), static_cast<u16>(len));
}

// Removes the entries of group above count `keep`, newest first (the newest
// are at the end of stacks and queues alike).
void TrimBack(u16 group, u16 keep) {
  while (StoreCount(group) > keep) {
    if (StoreDelete(group, static_cast<u16>(StoreCount(group) - 1))) break;
  }
}

// LineListJoin; with pairs, each line's open quote ended first
// (StrLineQuoteClose; an empty line is no item of the join).
StrSlice QueueJoin(u16 n, StrSlice separator, bool pairs) {
  WorkMarkId m = WorkMark(kMarkQuery);
  StrSlice acc = kStrEmpty;
  if (n == 0 || n == kNotFound) return WorkReturn(m, acc);
  bool bare = false;
  for (u16 i = 0; i < n; ++i) {
    const StrSlice line = StoreTop(kGroupLineQueue);
    acc = WorkReturn(m, StrJoin(acc, separator, pairs && line.len ? StrLineQuoteClose(line, &bare) : line));
    if (StrError(acc)) return acc;
    u16 r = StorePop(kGroupLineQueue);
    if (r) return WorkReturn(m, StrErrorSlice(r));
  }
  return acc;
}

u16 ParamListPush(StrSlice name, u16 layout, u16 code, StrSlice separator, bool pairs) {
  u16 n = LineListLoad(name, layout, code);
  if (n == kLineLoadFailed) return kLineLoadFailed;
  WorkMarkId m = WorkMark(kMarkQuery);
  u16 queued = StoreCount(kGroupLineQueue);
  StrSlice list = QueueJoin(n, separator, pairs);
  if (StrError(list)) {
    // The join stopped part-way: drop the rest of the loaded lines too, so
    // that no consumer of the queue finds them later.
    u16 taken = static_cast<u16>(queued - StoreCount(kGroupLineQueue));
    // (Removing an entry needs no room: it fails only without a store.)
    for (u16 i = taken; i < n && StoreCount(kGroupLineQueue); ++i) (void)StorePop(kGroupLineQueue);
  }
  u16 r = StorePush(kGroupParamLists, list);
  WorkMark(m);
  return r;
}

}  // namespace

LineLayout LineLayoutGet(u16 layout) {
  return kLayouts[layout < kLineLayouts ? layout : 0];
}

u16 LineKeyValue(u16 layout, StrSlice line) {
  if (StrError(line)) return 0;
  LineLayout l = LineLayoutGet(layout);
  StrSlice key = StrMid(line, static_cast<i16>(l.key_column), l.key_width);
  if (!key.len) return 0;
  WorkMarkId m = WorkMark(kMarkQuery);
  u16 value = StrValue(StrTranslate(key, " ", "0"));
  WorkMark(m);
  return value;
}

u16 LineListLoadInto(StrSlice name, u16 layout, u16 code, u16 group) {
  if (StrError(name) || !name.len) return kLineLoadFailed;
  WorkMarkId m = WorkMark(kMarkQuery);
  i16 slot = FileOpen(name, kOpenQuietRead);
  if (FileOpenFailed(slot) && PathPart(name, kPartParent).len == 0) {
    StrSlice found = PathSearch(StoreGet(kGroupIdentity, kIdDefaultFolder), name);
    if (!StrError(found) && found.len) slot = FileOpen(found, kOpenRead);
  }
  WorkMark(m);
  if (FileOpenFailed(slot)) return kLineLoadFailed;

  u16 before = StoreCount(group);
  u16 count = 0;
  bool failed = false;
  for (;;) {
    StrSlice line = FileReadLine(static_cast<u16>(slot), kFileHere, kReadLine);
    u16 err = StrError(line);
    if (err) {
      // The end of the file ends the list; any other read failure (a line
      // too long for the scratch stack) spoils it.
      failed = err != kErrDiskIO;
      break;
    }
    if (LineKeyValue(layout, line) == code) {
      if (StorePush(group, Payload(layout, line))) {
        failed = true;
        break;
      }
      ++count;
    }
    WorkMark(m);
  }
  WorkMark(m);
  (void)FileClose(static_cast<u16>(slot));  // only read: nothing to lose on closing
  if (failed) {
    TrimBack(group, before);
    return kLineLoadFailed;
  }
  return count ? count : kLineLoadFailed;
}

u16 LineListLoad(StrSlice name, u16 layout, u16 code) {
  return LineListLoadInto(name, layout, code, kGroupLineQueue);
}

u16 LineQueueTrim(u16 count) {
  while (StoreCount(kGroupLineQueue) > count) {
    if (const u16 rc = StoreDelete(kGroupLineQueue, static_cast<u16>(StoreCount(kGroupLineQueue) - 1))) return rc;
  }
  return 0;
}

StrSlice LineListJoin(u16 n, StrSlice separator) { return QueueJoin(n, separator, false); }

u16 ParamListLoadSep(StrSlice name, u16 layout, u16 code, StrSlice separator) {
  return ParamListPush(name, layout, code, separator, false);
}

u16 ParamListLoad(StrSlice name, u16 layout, u16 code) {
  return ParamListLoadSep(name, layout, code, Lit(":"));
}

u16 ParamListLoadPairs(StrSlice name) { return ParamListPush(name, 0, 0, Lit(":"), true); }

StrSlice ParamListLookup(StrSlice key) {
  WorkMarkId m = WorkMark(kMarkQuery);
  // The current list is indexed once and looked up through the index for
  // as long as the list group does not change.
  static u32 indexed_stamp = 0;
  const StrSlice list = StoreTop(kGroupParamLists);
  const u32 stamp = StoreGroupStamp(kGroupParamLists);
  if (stamp != indexed_stamp) {
    StrKeyIndexBuild(list);
    indexed_stamp = stamp;
  }
  return WorkReturn(m, StrKeyIndexGet(list, key, kParamNormalize));
}

u16 ParamListPop() { return StorePop(kGroupParamLists); }

StrSlice FileKindName(StrSlice name, u16 kind) {
  WorkMarkId m = WorkMark(kMarkQuery);
  StrSlice ext = kStrEmpty;
  if (kind >= 1 && kind <= kFileKinds) ext = ListItem(Lit(kFileKindExts), ',', kind);
  return WorkReturn(m, StrJoin(name, Lit("."), ext));
}

}  // namespace vk
