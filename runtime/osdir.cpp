#include "runtime/osdir.h"

#include <dirent.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <cstring>

#include "runtime/error.h"
#include "runtime/osfile.h"
#include "runtime/oslock.h"
#include "runtime/osnative.h"
#include "runtime/ostext.h"

namespace vk {

using namespace osnative;

namespace {

bool HasWildcard(StrSlice s) {
  for (u16 i = 0; i < s.len; ++i) {
    if (s.ptr[i] == '*' || s.ptr[i] == '?') return true;
  }
  return false;
}

// Names gathered from one folder: Latin-1 bytes back to back (each followed
// by a NUL) and their offsets, in malloc'd buffers of their own so that the
// visitor is free to use the scratch stack.
struct NameBag {
  char* bytes;
  u32 used;
  u32 cap;
  u32* offsets;
  u32 count;
  u32 slots;
};

bool BagAdd(NameBag* bag, const char* name, u32 len) {
  if (bag->used + len + 1 > bag->cap) {
    u32 cap = bag->cap ? bag->cap * 2 : 4096;
    while (cap < bag->used + len + 1) cap *= 2;
    char* p = static_cast<char*>(std::realloc(bag->bytes, cap));
    if (!p) return false;
    bag->bytes = p;
    bag->cap = cap;
  }
  if (bag->count == bag->slots) {
    u32 slots = bag->slots ? bag->slots * 2 : 256;
    u32* p = static_cast<u32*>(std::realloc(bag->offsets, slots * sizeof(u32)));
    if (!p) return false;
    bag->offsets = p;
    bag->slots = slots;
  }
  bag->offsets[bag->count++] = bag->used;
  std::memcpy(bag->bytes + bag->used, name, len);
  bag->bytes[bag->used + len] = 0;
  bag->used += len + 1;
  return true;
}

const char* g_sort_bytes;  // the bag being sorted (qsort has no context)

int CompareNames(const void* a, const void* b) {
  const char* x = g_sort_bytes + *static_cast<const u32*>(a);
  const char* y = g_sort_bytes + *static_cast<const u32*>(b);
  // strcmp compares as unsigned char: plain byte order of Latin-1.
  return std::strcmp(x, y);
}

}  // namespace

u16 OsDirCreate(StrSlice path) {
  // Made and removed folders are flushed with the run.
  return OnName(path, [](const char* name) {
    SyncNoteParent(name);
    return mkdir(name, 0777);
  });
}

u16 OsDirRemove(StrSlice path) {
  OsAppendEnd();
  return OnName(path, [](const char* name) {
    SyncNoteParent(name);
    return rmdir(name);
  });
}

bool OsMatch(StrSlice pattern, StrSlice name) {
  if (pattern.len == 3 && std::memcmp(pattern.ptr, "*.*", 3) == 0) return true;
  // Greedy matching with one backtrack point: the last '*' seen.
  u16 p = 0, n = 0;
  u16 star = kNotFound, star_n = 0;
  while (n < name.len) {
    char c = p < pattern.len ? pattern.ptr[p] : 0;
    if (p < pattern.len && c == '*') {
      star = p++;
      star_n = n;
    } else if (p < pattern.len && (c == '?' || c == name.ptr[n])) {
      ++p;
      ++n;
    } else if (star != kNotFound) {
      p = static_cast<u16>(star + 1);
      n = ++star_n;
    } else {
      return false;
    }
  }
  while (p < pattern.len && pattern.ptr[p] == '*') ++p;
  return p == pattern.len;
}

u16 OsList(StrSlice pattern, OsVisit visit, void* ctx) {
  if (!pattern.ptr || pattern.len == 0) return kErrFileNotFound;
  // Split at the last separator: folder part and the name pattern.
  u16 cut = kNotFound;
  for (u16 i = 0; i < pattern.len; ++i) {
    if (pattern.ptr[i] == '\\' || pattern.ptr[i] == '/') cut = i;
  }
  StrSlice last = cut == kNotFound ? pattern : StrMake(pattern.ptr + cut + 1, pattern.len - cut - 1u);
  if (last.len == 0) return kErrFileNotFound;

  if (!HasWildcard(last)) {
    OsStat st;
    if (!OsStatPath(pattern, &st)) return kErrFileNotFound;
    return visit(last, ctx) ? 0 : kOsStopped;
  }

  Settle(cut == kNotFound ? StrMake("", 0) : StrMake(pattern.ptr, cut), true);
  NativePath dir;
  if (cut == kNotFound) {
    std::strcpy(dir.text, ".");
  } else if (cut == 0) {
    std::strcpy(dir.text, "/");
  } else {
    ToNative(StrMake(pattern.ptr, cut), &dir);
    if (!dir.ok) return kErrFileNotFound;
  }
  DIR* d = opendir(dir.text);
  if (!d) return kErrFileNotFound;
  NameBag bag{};
  bool failed = false;
  char name[kOsPathMax];
  while (struct dirent* e = readdir(d)) {
    // A run's lock file is there only while the run goes on: no template
    // sees it.
    if (std::strcmp(e->d_name, kOsLockName) == 0) continue;
    u32 n = OsFromUtf8(e->d_name, static_cast<u32>(std::strlen(e->d_name)), false, name,
                       sizeof name, nullptr);
    if (n == kOsTooLong || n > kMaxText) continue;
    if (!OsMatch(last, StrMake(name, n))) continue;
    if (!BagAdd(&bag, name, n)) {
      failed = true;
      break;
    }
  }
  closedir(d);
  u16 result = failed ? kErrOutOfMemory : bag.count ? 0 : kErrFileNotFound;
  if (!failed && bag.count) {
    g_sort_bytes = bag.bytes;
    std::qsort(bag.offsets, bag.count, sizeof(u32), CompareNames);
    for (u32 i = 0; i < bag.count; ++i) {
      const char* s = bag.bytes + bag.offsets[i];
      if (!visit(StrMake(s, static_cast<u32>(std::strlen(s))), ctx)) {
        result = kOsStopped;
        break;
      }
    }
  }
  std::free(bag.bytes);
  std::free(bag.offsets);
  return result;
}

}  // namespace vk
