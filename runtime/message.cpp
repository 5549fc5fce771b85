// Numbered messages: the language module (found, read through the line
// queue, parsed into the text store and the end table) and the lookup that
// falls back to the request's default text and the built-in catalogue.
#include "runtime/message.h"

#include <cstring>

#include "runtime/appenv.h"
#include "runtime/catalog.h"
#include "runtime/error.h"
#include "runtime/file.h"
#include "runtime/linelist.h"
#include "runtime/path.h"
#include "runtime/scratch.h"
#include "runtime/str.h"
#include "runtime/varstore.h"

namespace vk {
namespace {

MsgCatalog g_cat;

// Removes up to n lines of the line queue from index start on; stops at the
// first removal that fails.
void DropQueued(u16 start, u16 n) {
  for (u16 i = 0; i < n; ++i) {
    if (StoreDelete(kGroupLineQueue, start) != 0) return;
  }
}

// Lines of the line queue from index start on.
u16 QueuedFrom(u16 start) {
  u16 count = StoreCount(kGroupLineQueue);
  return count > start ? static_cast<u16>(count - start) : 0;
}

// Copies line into out with every backslash-n made CR LF (same length);
// returns the length written.
u16 ExpandLineEnds(StrSlice line, char* out) {
  u16 len = 0;
  for (u16 j = 0; j < line.len; ++j) {
    if (line.ptr[j] == '\\' && j + 1 < line.len && line.ptr[j + 1] == 'n') {
      out[len++] = '\r';
      out[len++] = '\n';
      ++j;
    } else {
      out[len++] = line.ptr[j];
    }
  }
  return len;
}

// Parses n module lines of the line queue starting at index start and
// removes them. The new texts and offsets are built aside and kept only when
// the text store takes them, so a failure leaves the module as it was.
u16 ParseQueued(u16 start, u16 n) {
  const u16 take = n < QueuedFrom(start) ? n : QueuedFrom(start);
  if (n == 0 || n >= kMsgMaxTexts) {
    DropQueued(start, take);
    return 0;
  }
  if (g_cat.range_count >= kMsgMaxRanges) {
    DropQueued(start, take);
    return kErrDataOutBound;
  }

  const WorkMarkId mark = WorkMark(kMarkQuery);
  // Room for the old store and every line: expanding backslash-n never
  // lengthens a line. Past 65535 bytes the store could not hold it anyway.
  const StrSlice old = StoreGet(kMsgTextGroup, kMsgTextEntry);
  u32 need = old.len;
  for (u16 i = 0; i < take; ++i) need += StoreGet(kGroupLineQueue, static_cast<u16>(start + i)).len;
  const u16 cap = static_cast<u16>(need > kMaxText ? kMaxText : need);
  if (cap == 0) {  // only empty lines: nothing to index
    DropQueued(start, take);
    return 0;
  }
  char* buf = cap > WorkRoomLeft() ? nullptr : WorkAllocRaw(cap, kNoFill);
  if (buf == nullptr) {
    DropQueued(start, take);
    WorkMark(mark);
    return kErrOutOfMemory;
  }
  if (old.len != 0) std::memcpy(buf, old.ptr, old.len);
  u32 used = old.len;

  u16 ends[kMsgMaxTexts];
  std::memcpy(ends, g_cat.ends, sizeof ends);
  u16 count = g_cat.count;
  const u16 base = count;
  bool numbered = false;
  u16 first = 0;
  u16 last = 0;
  u16 code = 0;

  for (u16 i = 0; i < take; ++i) {
    const StrSlice line = StoreGet(kGroupLineQueue, start);
    if (code == 0 && used + line.len > cap) code = kErrStrOutBound;
    if (code == 0) {
      char* at = buf + used;
      const u16 len = ExpandLineEnds(line, at);
      const u16 number = StrValue(StrSlice{at, len < kMsgNumberWidth ? len : kMsgNumberWidth});
      if (number != 0) {
        if (!numbered) first = number;
        numbered = true;
        last = number;
        // A skipped number gets the empty text.
        const i32 wanted = i32{number} - i32{first};
        while (i32{count} - i32{base} < wanted && count < kMsgMaxTexts) ends[count++] = static_cast<u16>(used);
        if (count < kMsgMaxTexts) {
          const u16 text_len = len > kMsgTextStart ? static_cast<u16>(len - kMsgTextStart) : 0;
          std::memmove(at, at + kMsgTextStart, text_len);
          used += text_len;
          ends[count++] = static_cast<u16>(used);
        }
      }
    }
    const u16 removed = StoreDelete(kGroupLineQueue, start);
    if (removed != 0) {
      if (code == 0) code = removed;
      break;
    }
  }

  if (code == 0 && numbered) {
    code = StoreSet(kMsgTextGroup, kMsgTextEntry, StrSlice{buf, static_cast<u16>(used)});
    if (code == 0) {
      std::memcpy(g_cat.ends, ends, sizeof ends);
      g_cat.count = count;
      g_cat.ranges[g_cat.range_count++] = MsgRange{first, last, base};
      g_cat.state = kMsgLoaded;
    }
  }
  WorkMark(mark);
  return code;
}

// "KL_LANG_" + code + ".MSJ" as a new scratch entry, "*" standing for an
// empty code; the empty text when the code cannot make a module name (too
// long, or holding a folder separator).
StrSlice ModuleName() {
  StrSlice code = StoreGet(kGroupIdentity, kIdLanguage);
  if (code.len == 0) code = StrC(kMsgModuleAnyCode);
  const u32 prefix = std::strlen(kMsgModulePrefix);
  const u32 suffix = std::strlen(kMsgModuleSuffix);
  const u32 len = prefix + code.len + suffix;
  if (len > kMsgModuleNameMax) return kStrEmpty;
  if (std::memchr(code.ptr, '\\', code.len) || std::memchr(code.ptr, '/', code.len)) return kStrEmpty;
  char* out = WorkAllocRaw(static_cast<u16>(len), kNoFill);
  if (out == nullptr) return kStrEmpty;
  std::memcpy(out, kMsgModulePrefix, prefix);
  std::memcpy(out + prefix, code.ptr, code.len);
  std::memcpy(out + prefix + code.len, kMsgModuleSuffix, suffix);
  return StrSlice{out, static_cast<u16>(len)};
}

// Loads the first module matching name in folder into the line queue and
// parses it. False when no file matches there.
bool LoadFromFolder(StrSlice folder, StrSlice name, u16 before) {
  const WorkMarkId mark = WorkMark(kMarkQuery);
  const StrSlice pattern = PathJoin(folder, name);
  if (StrError(pattern) != 0 || DirList(pattern) != 0) {
    WorkMark(mark);
    return false;
  }
  const StrSlice names = WorkTop();
  const void* nul = std::memchr(names.ptr, '\0', names.len);
  const u16 first_len = static_cast<u16>(nul ? static_cast<const char*>(nul) - names.ptr : names.len);
  // The file found, in the folder where it was found.
  const StrSlice file = PathJoin(folder, StrSlice{names.ptr, first_len});
  const u16 count = StrError(file) != 0 ? kLineLoadFailed : LineListLoad(file, 0, 0);
  if (count == kLineLoadFailed || count == 0) {
    // Nothing usable was queued: take back anything the load left behind,
    // and nothing that was in the queue before.
    DropQueued(before, QueuedFrom(before));
  } else {
    ParseQueued(before, count);
  }
  WorkMark(mark);
  return true;
}

}  // namespace

const MsgCatalog* MsgCatalogGet() { return &g_cat; }

void MsgCatalogReset() { g_cat = MsgCatalog{}; }

u16 LangModuleLoad(LangModuleSource source, void* user) {
  if (g_cat.state != kMsgNotTried) return 0;
  g_cat.state = kMsgNoModule;

  const WorkMarkId mark = WorkMark(kMarkQuery);
  // The module's lines are queued behind whatever the queue already holds.
  const u16 before = StoreCount(kGroupLineQueue);
  bool found = false;
  const StrSlice name = ModuleName();
  if (name.len != 0) {
    // The default folder, or each folder of its comma list; with none, the
    // current directory. The copy outlives the loads that change the store.
    const StrSlice entry = StoreGet(kGroupIdentity, kIdDefaultFolder);
    StrSlice folders = kStrEmpty;
    if (WorkPush(entry.ptr, entry.len) == 0) folders = WorkTop();
    if (folders.len == 0) {
      found = LoadFromFolder(kStrEmpty, name, before);
    } else {
      u16 from = 0;
      while (!found && from <= folders.len) {
        const void* comma = std::memchr(folders.ptr + from, ',', folders.len - from);
        const u16 to = static_cast<u16>(comma ? static_cast<const char*>(comma) - folders.ptr : folders.len);
        if (to > from) found = LoadFromFolder(StrSlice{folders.ptr + from, static_cast<u16>(to - from)}, name, before);
        from = static_cast<u16>(to + 1);
        if (to == folders.len) break;
      }
    }
  }
  if (!found && source != nullptr) ParseQueued(before, source(user, 0, 0));
  WorkMark(mark);
  return 0;
}

u16 MsgModuleParse(u16 n) { return ParseQueued(0, n); }

StrSlice MsgModuleText(u16 number) {
  const WorkMarkId mark = WorkMark(kMarkQuery);
  const MsgRange* range = nullptr;
  for (u16 i = 0; i < g_cat.range_count; ++i) {
    if (g_cat.ranges[i].last >= number) {
      range = &g_cat.ranges[i];
      break;
    }
  }
  if (range == nullptr || number < range->first) return WorkReturn(mark, kStrEmpty);
  const u32 index = u32{range->base} + number - range->first;
  if (index >= g_cat.count) return WorkReturn(mark, kStrEmpty);

  // Clipped to the store as it is, so that a store changed behind the
  // module's back gives a shorter text, never a read outside it.
  const StrSlice store = StoreGet(kMsgTextGroup, kMsgTextEntry);
  u16 from = index == 0 ? 0 : g_cat.ends[index - 1];
  u16 to = g_cat.ends[index];
  if (to > store.len) to = store.len;
  if (from >= to) return WorkReturn(mark, kStrEmpty);
  return WorkReturn(mark, store.ptr + from, static_cast<u16>(to - from));
}

StrSlice MsgBuiltinText(StrSlice key) {
  if (key.ptr == nullptr || key.len != kMsgNumberWidth) return kStrEmpty;
  u16 block = 1;
  if (StrCompare(key, StrC(kMsgBlock3First)) >= 0) {
    block = 3;
  } else if (StrCompare(key, StrC(kMsgBlock2First)) >= 0) {
    block = 2;
  }
  const StrSlice text = MsgCatalogBlock(block);

  // Only an item's start can hold its number: the block's start or just
  // after a TAB, four digits and a blank. A TAB inside an item's text starts
  // no item, since nothing after one begins that way.
  u32 pos = 0;
  while (pos <= text.len) {
    const void* tab = std::memchr(text.ptr + pos, kMsgItemSeparator, text.len - pos);
    const u32 end = tab ? static_cast<u32>(static_cast<const char*>(tab) - text.ptr) : text.len;
    const char* item = text.ptr + pos;
    if (end - pos >= kMsgTextStart && item[kMsgNumberWidth] == ' ' &&
        std::memcmp(item, key.ptr, kMsgNumberWidth) == 0) {
      return StrSlice{item + kMsgTextStart, static_cast<u16>(end - pos - kMsgTextStart)};
    }
    pos = end + 1;
  }
  return kStrEmpty;
}

StrSlice MsgTextSlice(StrSlice request) {
  if (request.ptr == nullptr) request = kStrEmpty;
  const WorkMarkId mark = WorkMark(kMarkQuery);
  if (g_cat.state == kMsgNotTried) {
    // Loading changes the variable store, where the request may lie.
    if (WorkPush(request.ptr, request.len) == 0) request = WorkTop();
    (void)LangModuleLoad(nullptr, nullptr);  // always 0: without a module the built-in texts serve
  }

  const u16 number = StrValue(StrSlice{request.ptr, request.len < kMsgNumberWidth ? request.len : kMsgNumberWidth});
  StrSlice result = kStrEmpty;
  bool constant = false;
  if (number != 0 && g_cat.state == kMsgLoaded) {
    result = MsgModuleText(number);
    if (StrError(result) != 0) result = kStrEmpty;
  } else if (number != 0 && request.len > kMsgNumberWidth) {
    result = request.len > kMsgTextStart
                 ? StrSlice{request.ptr + kMsgTextStart, static_cast<u16>(request.len - kMsgTextStart)}
                 : kStrEmpty;
  } else {
    result = MsgBuiltinText(request);
    constant = true;
  }
  const StrSlice out = WorkReturn(mark, result);
  if (StrError(out) != 0) return constant ? result : kStrEmpty;
  return out;
}

StrSlice MsgText(const char* request) { return MsgTextSlice(request ? StrC(request) : kStrEmpty); }

}  // namespace vk
