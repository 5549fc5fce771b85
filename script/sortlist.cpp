#include "script/sortlist.h"

#include <cstring>

#include "runtime/error.h"
#include "runtime/list.h"
#include "runtime/memory.h"
#include "runtime/moveword.h"
#include "runtime/scratch.h"
#include "runtime/str.h"
#include "script/valtable.h"

namespace vk {

namespace {

// The true state of one list. A record is valid only while it agrees with
// its slot on everything but the cursor and the error field.
struct SortSlot {
  u8* block;  // null = free slot
  u32 serial;
  u16 used;
  u16 capacity;
  u16 key_len;
  u16 width;
  u16 count;
  u8 flags;
};

SortSlot g_slots[kSortListSlots];
// Serial numbers are never reused within a process, so a handle from a
// freed list cannot match a later list that takes the same slot.
u32 g_serial = 0;

u32 NextSerial() {
  if (++g_serial == 0) ++g_serial;
  return g_serial;
}

// The slot of a valid record, or null. The block must still be a tracked
// block of the sorted-list owner: after a forced memory release the table
// may remember blocks that are gone.
SortSlot* SlotOf(const SortList* rec) {
  if (!rec || rec->serial == 0 || rec->slot >= kSortListSlots) return nullptr;
  SortSlot* s = &g_slots[rec->slot];
  if (!s->block || s->serial != rec->serial || s->used != rec->used || s->capacity != rec->capacity ||
      s->key_len != rec->key_len || s->width != rec->width || s->count != rec->count ||
      s->flags != rec->flags) {
    return nullptr;
  }
  u16 err = 0;
  u16 h = MemFindHandle(s->block);
  MemEntry* e = h == kNotFound ? nullptr : MemEntryGet(h, &err);
  if (!e || e->owner != kOwnerSortedList) {
    *s = SortSlot{};
    return nullptr;
  }
  return s;
}

void SlotToRecord(const SortSlot& s, SortList* rec) {
  rec->serial = s.serial;
  rec->used = s.used;
  rec->capacity = s.capacity;
  rec->key_len = s.key_len;
  rec->width = s.width;
  rec->count = s.count;
  rec->flags = s.flags;
}

StrSlice ItemAt(const SortSlot& s, u16 i) {
  return StrMake(reinterpret_cast<const char*>(s.block) + u32{i} * s.width, s.width);
}

// The low byte of the move code for a MOVE direction word, by the word's
// number among the record-move words; only first, previous, next and last
// move a list's cursor, every other word gives 255 (no move).
constexpr u8 kNoMove = 0xFF;
constexpr u8 kMoveCodes[] = {kNoMove, kSortMoveFirst, kSortMovePrev, kNoMove, kSortMoveNext, kSortMoveLast};

u16 MoveCodeOf(StrSlice word) {
  const u16 k = DataFileMoveWord(word);
  return k >= 1 && k <= sizeof(kMoveCodes) ? kMoveCodes[k - 1] : kNoMove;
}

constexpr const char* kCommands = "NEW,ADD,MOVE,GET,KILL";

bool IsText(const SortArgs& a, u16 n) { return a.types[n - 1] == 1; }

// The handle's bytes as the text a script holds.
StrSlice HandleText(const SortList* rec) { return StrMake(reinterpret_cast<const char*>(rec), kSortHandleLen); }

}  // namespace

SortList SortListNew(u16 width, u16 key_len, u8 flags) {
  SortList rec{};
  rec.flags = flags;
  rec.key_len = width < key_len ? width : key_len;
  rec.width = width < key_len ? key_len : width;
  u16 slot = 0;
  while (slot < kSortListSlots && g_slots[slot].block) ++slot;
  if (slot == kSortListSlots) {
    rec.error = kErrOutOfMemory;
    return rec;
  }
  u32 capacity = u32{width} * kSortInitialItems;
  if (capacity > kMaxText) capacity = kMaxText;
  if (capacity < 4) capacity = 4;  // never ask for an empty block
  u8* block = static_cast<u8*>(MemAlloc(kOwnerSortedList, capacity));
  if (!block) {
    rec.error = kErrOutOfMemory;
    return rec;
  }
  SortSlot& s = g_slots[slot];
  s = SortSlot{block, NextSerial(), 0, static_cast<u16>(capacity), rec.key_len, rec.width, 0, flags};
  rec.slot = slot;
  SlotToRecord(s, &rec);
  return rec;
}

u16 SortListInsert(StrSlice item, SortList* rec) {
  SortSlot* s = SlotOf(rec);
  if (!s) return kErrSyntax;
  if (!item.ptr || item.len > s->width) return kErrData;
  const u32 need = (u32{s->count} + 1) * s->width;
  if (s->count == 0xFFFF || need > kMaxText) return kErrStringTooLong;

  WorkMarkId m = WorkMark(kMarkQuery);
  // The item left-justified and blank-filled to the width.
  char* padded = WorkAllocRaw(s->width, ' ');
  if (!padded && s->width) {
    WorkMark(m);
    return kErrOutOfMemory;
  }
  if (item.len) std::memcpy(padded, item.ptr, item.len);
  const StrSlice key = StrMake(padded ? padded : "", s->key_len);

  // Walk while the items sort before the new one; an equal key stops the
  // walk and the new item goes right after the item that stopped it.
  const int direction = (s->flags & kSortDescending) ? 1 : -1;
  u16 at = 0;
  int cmp = direction;
  while (at < s->count) {
    cmp = StrCompare(StrMake(ItemAt(*s, at).ptr, s->key_len), key);
    if (cmp != direction) break;
    ++at;
  }
  if (at < s->count && cmp == 0) {
    if (s->flags & kSortUnique) {
      WorkMark(m);
      return kSortDuplicate;
    }
    ++at;
  }

  if (need > s->capacity) {
    u32 grown = need * 2;
    if (grown > kMaxText) grown = kMaxText;
    u8* block = static_cast<u8*>(MemRealloc(kOwnerSortedList, s->block, s->used, grown));
    if (!block) {
      WorkMark(m);
      rec->error = kErrOutOfMemory;
      return kErrOutOfMemory;
    }
    s->block = block;
    s->capacity = static_cast<u16>(grown);
  }
  const u32 offset = u32{at} * s->width;
  if (s->used > offset) std::memmove(s->block + offset + s->width, s->block + offset, s->used - offset);
  if (s->width) std::memcpy(s->block + offset, padded, s->width);
  s->count = static_cast<u16>(s->count + 1);
  s->used = static_cast<u16>(need);
  s->serial = NextSerial();
  WorkMark(m);
  SlotToRecord(*s, rec);
  rec->error = 0;
  return 0;
}

u16 SortListMove(u16 code, SortList* rec) {
  const SortSlot* s = SlotOf(rec);
  if (!s) return kErrSyntax;
  u16 cursor = rec->cursor;
  switch (code & kSortMoveMask) {
    case kSortMoveNext: cursor = static_cast<u16>(cursor + 1); break;
    case kSortMovePrev: cursor = static_cast<u16>(cursor - 1); break;
    case kSortMoveLast: cursor = static_cast<u16>(s->count - 1); break;
    case kSortMoveFirst: cursor = 0; break;
    default: break;
  }
  // Unsigned: moving back from the first item counts as outside too.
  if (cursor >= s->count) {
    rec->cursor = s->count ? static_cast<u16>(s->count - 1) : 0;
    return kSortOutside;
  }
  rec->cursor = cursor;
  return 0;
}

StrSlice SortListGet(u16 code, SortList* rec) {
  u16 st = SortListMove(code, rec);
  if (st == kErrSyntax) return StrErrorSlice(kErrSyntax);
  if (st == kSortOutside) return WorkReturn(WorkMark(kMarkQuery), "", 0);
  return StrDup(ItemAt(g_slots[rec->slot], rec->cursor));
}

u16 SortListFree(SortList* rec) {
  SortSlot* s = SlotOf(rec);
  if (!s) return kErrSyntax;
  u16 st = MemFree(kOwnerSortedList, s->block);
  *s = SortSlot{};
  return st;
}

u16 SortListFreeAll() {
  u16 first = 0;
  for (SortSlot& s : g_slots) {
    if (!s.block) continue;
    // Only blocks that are still tracked lists are freed.
    u16 h = MemFindHandle(s.block);
    u16 err = 0;
    MemEntry* e = h == kNotFound ? nullptr : MemEntryGet(h, &err);
    if (e && e->owner == kOwnerSortedList) {
      u16 st = MemFree(kOwnerSortedList, s.block);
      if (st && !first) first = st;
    }
    s = SortSlot{};
  }
  return first;
}

StrSlice SortListSortText(StrSlice text, u8 flags) {
  if (!text.ptr) return text;
  const char sep = (flags & kSortNulSep) ? '\0' : ',';
  const u16 items = ListCount(text, sep);
  WorkMarkId m = WorkMark(kMarkQuery);

  // Items are inserted as they stand, quotes included, so the width counts
  // the quotes too: every item fits.
  u16 width = 0;
  StrSlice rest = text;
  for (u16 k = 1; k <= items; ++k) {
    const u16 len = ListItemLen(rest, sep);
    if (len > width) width = len;
    rest = ListNext(rest, sep);
  }
  SortList rec = SortListNew(width, width, flags);
  if (rec.error) return WorkReturn(m, StrErrorSlice(rec.error));

  u16 st = 0;
  rest = text;
  for (u16 k = 1; k <= items && st < kFirstError; ++k) {
    st = SortListInsert(StrSlice{rest.ptr, ListItemLen(rest, sep)}, &rec);
    rest = ListNext(rest, sep);
  }

  StrSlice out = StrErrorSlice(st);
  if (st < kFirstError) {
    // Empty items are left out, so the separator only stands between two
    // non-empty items; the joined length is known before it is built.
    const SortSlot& s = g_slots[rec.slot];
    u32 total = 0;
    u16 parts = 0;
    for (u16 i = 0; i < s.count; ++i) {
      StrSlice it = ItemAt(s, i);
      if (flags & kSortTrimItems) it = StrTrimSet(it, kTrimRight, StrMake(" ", 1));
      if (it.len == 0) continue;
      total += it.len + (parts ? 1u : 0u);
      ++parts;
    }
    char* buf = total > kMaxText ? nullptr : WorkAllocRaw(static_cast<u16>(total), kNoFill);
    if (total > kMaxText) {
      out = StrErrorSlice(kErrStringTooLong);
    } else if (!buf && total) {
      out = StrErrorSlice(kErrOutOfMemory);
    } else {
      // Walk with the cursor, first item to the last.
      u32 pos = 0;
      for (u16 mv = SortListMove(kSortMoveFirst, &rec); mv == 0; mv = SortListMove(kSortMoveNext, &rec)) {
        StrSlice it = ItemAt(s, rec.cursor);
        if (flags & kSortTrimItems) it = StrTrimSet(it, kTrimRight, StrMake(" ", 1));
        if (it.len == 0) continue;
        if (pos) buf[pos++] = sep;
        std::memcpy(buf + pos, it.ptr, it.len);
        pos += it.len;
      }
      out = StrMake(buf ? buf : "", total);
    }
  }
  (void)SortListFree(&rec);  // made above: its record is valid and its block its own
  return WorkReturn(m, out);
}

namespace {

// The SORT$ commands. Each takes the arguments and, for a command on a
// list, its handle in *rec; it sets *out to its result (the empty text
// unless it has one) and returns the status.

// A text to sort, with the sort flags as argument 2.
u16 CmdSortText(const SortArgs& a, SortList*, StrSlice* out) {
  u8 flags = 0;
  if (a.count == 2) {
    if (IsText(a, 2)) return kErrSyntax;
    flags = static_cast<u8>(a.numbers[1]);
  }
  const StrSlice sorted = SortListSortText(a.texts[0], flags);
  if (StrError(sorted)) return StrError(sorted);
  *out = sorted;
  return 0;
}

// NEW: width, key length and flags, all numbers.
u16 CmdNew(const SortArgs& a, SortList* rec, StrSlice* out) {
  for (u16 n = 2; n <= a.count; ++n) {
    if (IsText(a, n)) return kErrSyntax;
  }
  const u16 width = static_cast<u16>(a.numbers[1]);
  const u16 key = a.count >= 3 ? static_cast<u16>(a.numbers[2]) : 0;
  const u8 flags = a.count >= 4 ? static_cast<u8>(a.numbers[3]) : 0;
  *rec = SortListNew(width, key, flags);
  if (rec->error) return rec->error;
  *out = HandleText(rec);
  return 0;
}

// ADD: the item; the handle comes back with the insert's status.
u16 CmdAdd(const SortArgs& a, SortList* rec, StrSlice* out) {
  if (!IsText(a, 3)) return kErrSyntax;
  const SortList before = *rec;
  const u16 st = SortListInsert(a.texts[2], rec);
  if (st == kErrSyntax) return st;
  // A refused item leaves the handle as it was (a memory failure keeps its
  // error code in it).
  if (st != 0 && st != kErrOutOfMemory) *rec = before;
  *out = HandleText(rec);
  return st;
}

// MOVE: a direction word or a move code; the move's status goes to _IER.
u16 CmdMove(const SortArgs& a, SortList* rec, StrSlice* out) {
  const u16 code = IsText(a, 3) ? MoveCodeOf(a.texts[2]) : static_cast<u16>(a.numbers[2] & 0xFF);
  const u16 mv = SortListMove(code, rec);
  if (mv == kErrSyntax) return mv;
  SysVarSet(kSysIer, mv);
  *out = HandleText(rec);
  return 0;
}

// GET: the item at the cursor.
u16 CmdGet(const SortArgs&, SortList* rec, StrSlice* out) {
  const StrSlice item = SortListGet(kSortMoveNone, rec);
  if (StrError(item)) return StrError(item);
  *out = item;
  return 0;
}

// KILL: the status of freeing the list.
u16 CmdKill(const SortArgs&, SortList* rec, StrSlice*) { return SortListFree(rec); }

struct SortCommand {
  u16 min;       // argument counts, the command itself included
  u16 max;
  bool on_list;  // argument 2 is a list's handle
  u16 (*run)(const SortArgs& a, SortList* rec, StrSlice* out);
};

// Indexed by the command's position in kCommands; 0 is a text to sort.
constexpr SortCommand kSortCommands[] = {
    {1, 2, false, CmdSortText}, {2, 4, false, CmdNew}, {3, 3, true, CmdAdd},
    {3, 3, true, CmdMove},      {2, 2, true, CmdGet},  {2, 2, true, CmdKill},
};

u16 SortCommandRun(const SortArgs& a, SortList* rec, StrSlice* out) {
  if (a.count == 0 || a.count > kSortMaxArgs || !IsText(a, 1)) return kErrSyntax;
  const SortCommand& c = kSortCommands[ListFind(StrC(kCommands), a.texts[0], ',')];
  if (a.count < c.min || a.count > c.max) return kErrSyntax;
  if (c.on_list) {
    // The handle is copied, since its text need not be aligned.
    if (!IsText(a, 2) || a.texts[1].len != kSortHandleLen || !a.texts[1].ptr) return kErrSyntax;
    std::memcpy(rec, a.texts[1].ptr, kSortHandleLen);
  }
  return c.run(a, rec, out);
}

}  // namespace

u16 FnSort(const SortArgs& a) {
  const WorkMarkId m = WorkMark(kMarkQuery);
  SortList rec{};
  StrSlice out = kStrEmpty;
  const u16 st = SortCommandRun(a, &rec, &out);
  WorkReturn(m, out);
  return st;
}

}  // namespace vk
