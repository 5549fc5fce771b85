#include "runtime/path.h"

#include <cstring>

#include "runtime/error.h"
#include "runtime/file.h"
#include "runtime/list.h"
#include "runtime/scratch.h"
#include "runtime/varstore.h"

namespace vk {

namespace {

constexpr char kSep = '\\';
constexpr const char* kLangCodes[kLangCount] = {"EN", "ES", "FR", "DE", "IT"};
constexpr const char* kLangSuffixes[kLangCount] = {"_en", "_es", "_fr", "_de", "_it"};

StrSlice Sub(StrSlice s, u16 from, u16 to) { return StrMake(s.ptr + from, to > from ? to - from : 0u); }

// The parts joined as the one entry above mark (they may lie in what is
// released); the error slice 146 when they pass 65535 bytes, 145 when the
// stack is full.
StrSlice Build(WorkMarkId mark, const StrSlice* parts, u16 n) {
  WorkMark(mark);
  const u16 err = WorkPushTexts(parts, n);
  return err ? StrErrorSlice(err) : WorkTop();
}

StrSlice Build1(WorkMarkId mark, StrSlice a) { return Build(mark, &a, 1); }

// A copy of path with every separator `from` made `to`.
StrSlice Separated(StrSlice path, char from, char to) {
  if (u16 err = StrError(path)) return StrErrorSlice(err);
  WorkMarkId mark = WorkMark(kMarkQuery);
  StrSlice copy = Build1(mark, path);
  if (!copy.ptr) return copy;
  char* p = const_cast<char*>(copy.ptr);
  for (u16 i = 0; i < copy.len; ++i) {
    if (p[i] == from) p[i] = to;
  }
  return copy;
}

u16 FirstOf(StrSlice s, char c) {
  for (u16 i = 0; i < s.len; ++i) {
    if (s.ptr[i] == c) return i;
  }
  return kNotFound;
}

u16 LastOf(StrSlice s, char c) {
  for (u16 i = s.len; i-- > 0;) {
    if (s.ptr[i] == c) return i;
  }
  return kNotFound;
}

bool EndsWith(StrSlice s, char c) { return s.len > 0 && s.ptr[s.len - 1] == c; }

// Where the parts of a path lie.
struct PathMarks {
  u16 colon;  // first ':' or kNotFound
  u16 slash;  // last '\' or kNotFound
  u16 dot;    // last '.' after the last '\', or kNotFound
};

PathMarks Locate(StrSlice p) {
  PathMarks m{FirstOf(p, ':'), LastOf(p, kSep), LastOf(p, '.')};
  if (m.dot != kNotFound && m.slash != kNotFound && m.dot < m.slash) m.dot = kNotFound;
  return m;
}

}  // namespace

StrSlice PathToNative(StrSlice path) { return Separated(path, '/', kSep); }

StrSlice PathShown(StrSlice path) { return Separated(path, kSep, '/'); }

StrSlice PathPart(StrSlice path, u16 parts) {
  if (u16 err = StrError(path)) return StrErrorSlice(err);
  WorkMarkId mark = WorkMark(kMarkQuery);
  PathMarks m = Locate(path);
  u16 after_drive = m.colon == kNotFound ? 0 : static_cast<u16>(m.colon + 1);
  StrSlice pieces[6];
  u16 n = 0;
  u32 len = 0;  // length of what is built so far
  char last = 0;
  bool root = false;
  auto add = [&](StrSlice s) {
    if (s.len == 0) return;
    pieces[n++] = s;
    len += s.len;
    last = s.ptr[s.len - 1];
  };
  if ((parts & kPartDrive) && m.colon != kNotFound) add(Sub(path, 0, after_drive));
  if ((parts & kPartFolder) && m.slash != kNotFound && m.slash >= after_drive) {
    // The root folder is its '\' (C:\f.txt lies in C:\), so a parent of a
    // file at the root stays absolute.
    if (m.slash == after_drive) {
      add(Sub(path, m.slash, m.slash + 1u));
      root = true;
    } else {
      add(Sub(path, after_drive, m.slash));
    }
  }
  if (parts & kPartName) {
    if (len > 0 && last != ':' && !root) add(StrMake("\\", 1));
    u16 start = m.slash != kNotFound ? static_cast<u16>(m.slash + 1) : after_drive;
    u16 end = m.dot != kNotFound && m.dot >= start ? m.dot : path.len;
    if (m.dot != kNotFound && m.dot < start) end = start;  // a '.' before a drive's ':'
    add(Sub(path, start, end));
  }
  if ((parts & kPartExt) && m.dot != kNotFound) {
    StrSlice ext = Sub(path, static_cast<u16>(m.dot + 1), path.len);
    if (len > 0 && ext.len > 0) add(StrMake(".", 1));
    add(ext);
  }
  return Build(mark, pieces, n);
}

StrSlice PathJoin(StrSlice dir, StrSlice name) {
  if (u16 err = StrError(dir)) return StrErrorSlice(err);
  if (u16 err = StrError(name)) return StrErrorSlice(err);
  WorkMarkId mark = WorkMark(kMarkQuery);
  StrSlice d = PathToNative(dir);
  StrSlice f = PathToNative(name);
  if (!d.ptr || !f.ptr) {
    WorkMark(mark);
    return StrErrorSlice(kErrOutOfMemory);
  }
  bool sep = d.len > 0 && !EndsWith(d, kSep) && f.len > 0 && f.ptr[0] != kSep;
  StrSlice parts[3] = {d, StrMake("\\", sep ? 1 : 0), f};
  return Build(mark, parts, 3);
}

bool PathIsPlainName(StrSlice name) {
  if (StrError(name)) return false;
  if (name.len == 2 && name.ptr[0] == '.' && name.ptr[1] == '.') return false;
  for (u16 i = 0; i < name.len; ++i) {
    const char c = name.ptr[i];
    if (c == '\\' || c == '/' || c == ':') return false;
  }
  return true;
}

StrSlice PathAddExt(StrSlice name, StrSlice ext) {
  if (u16 err = StrError(name)) return StrErrorSlice(err);
  if (u16 err = StrError(ext)) return StrErrorSlice(err);
  WorkMarkId mark = WorkMark(kMarkQuery);
  StrSlice parts[3] = {name, StrMake(".", name.len && ext.len ? 1 : 0), ext};
  return Build(mark, parts, 3);
}

StrSlice PathCombine(StrSlice base, StrSlice relative) {
  if (u16 err = StrError(base)) return StrErrorSlice(err);
  if (u16 err = StrError(relative)) return StrErrorSlice(err);
  WorkMarkId mark = WorkMark(kMarkQuery);
  StrSlice rel = PathToNative(relative);
  if (!rel.ptr) return rel;
  // Each leading ".." item climbs one level; "." stops the climb like any
  // other item.
  u16 k = 0;
  for (;;) {
    u32 at = u32{k} * 3;
    bool dots = at + 2 <= rel.len && rel.ptr[at] == '.' && rel.ptr[at + 1] == '.' &&
                (at + 2 == rel.len || rel.ptr[at + 2] == kSep);
    if (!dots) break;
    base = PathPart(base, kPartParent);
    if (!base.ptr) {
      WorkMark(mark);
      return base;
    }
    ++k;
  }
  u32 skip = u32{k} * 3;
  StrSlice rest = skip >= rel.len ? StrMake(rel.ptr, 0) : Sub(rel, static_cast<u16>(skip), rel.len);
  StrSlice joined = PathJoin(base, rest);
  if (!joined.ptr) {
    WorkMark(mark);
    return joined;
  }
  // "\.\" becomes "\"; the remaining '\' is kept for the next match, so
  // "\.\.\" collapses too.
  char* p = const_cast<char*>(joined.ptr);
  u16 out = 0;
  for (u16 i = 0; i < joined.len;) {
    if (i + 2 < joined.len && p[i] == kSep && p[i + 1] == '.' && p[i + 2] == kSep) {
      i = static_cast<u16>(i + 2);
      continue;
    }
    p[out++] = p[i++];
  }
  return WorkReturn(mark, p, out);
}

StrSlice PathResolve(StrSlice base, StrSlice relative) {
  if (u16 err = StrError(base)) return StrErrorSlice(err);
  if (u16 err = StrError(relative)) return StrErrorSlice(err);
  WorkMarkId mark = WorkMark(kMarkQuery);
  StrSlice rel = PathToNative(relative);
  if (!rel.ptr) return rel;
  if (rel.len > 0 && rel.ptr[0] == kSep) return WorkReturn(mark, rel);
  StrSlice b = PathToNative(base);
  if (!b.ptr) {
    WorkMark(mark);
    return b;
  }
  StrSlice r = PathCombine(b, rel);
  return WorkReturn(mark, r);
}

u16 LangIndex() {
  StrSlice code = StoreGet(kGroupIdentity, 4);
  for (u16 i = 0; code.ptr && i < kLangCount; ++i) {
    if (code.len == 2 && std::memcmp(code.ptr, kLangCodes[i], 2) == 0) return static_cast<u16>(i + 1);
  }
  return 0;
}

StrSlice LangFileName(StrSlice name, u16 k) {
  if (u16 err = StrError(name)) return StrErrorSlice(err);
  WorkMarkId mark = WorkMark(kMarkQuery);
  if (k == kLangCurrent) k = LangIndex();
  if (k == 0) return Build1(mark, name);
  StrSlice ext = PathPart(name, kPartExt);
  StrSlice rest = PathPart(name, kPartNoExt);
  if (!ext.ptr || !rest.ptr) {
    WorkMark(mark);
    return StrErrorSlice(kErrOutOfMemory);
  }
  if (Locate(rest).dot != kNotFound) {
    // A double extension: the suffix goes before the first one.
    rest = LangFileName(rest, k);
  } else if (k <= kLangCount) {
    StrSlice parts[2] = {rest, StrMake(kLangSuffixes[k - 1], 3)};
    rest = Build(WorkMark(kMarkQuery), parts, 2);
  }
  if (!rest.ptr) {
    WorkMark(mark);
    return rest;
  }
  StrSlice r = PathAddExt(rest, ext);
  return WorkReturn(mark, r);
}

StrSlice PathSearch(StrSlice folders, StrSlice name) {
  if (u16 err = StrError(name)) return StrErrorSlice(err);
  WorkMarkId mark = WorkMark(kMarkQuery);
  if (DirList(name) == 0) return Build1(mark, name);
  WorkMark(mark);
  u16 count = ListCount(folders, ',');
  for (u16 i = 1; i <= count; ++i) {
    StrSlice path = PathJoin(ListItem(folders, ',', i), name);
    if (!path.ptr) break;
    WorkMarkId here = WorkMark(kMarkQuery);
    if (DirList(path) == 0) return WorkReturn(mark, path);
    WorkMark(here);
    WorkMark(mark);
  }
  return WorkReturn(mark, "", 0);
}

u32 PathComponentEnd(StrSlice path, u16 k) {
  u32 pos = 0;
  for (u16 i = 1; i <= k && pos < path.len; ++i) {
    const void* hit = std::memchr(path.ptr + pos, kSep, path.len - pos);
    if (!hit) return path.len;
    const u32 end = static_cast<u32>(static_cast<const char*>(hit) - path.ptr);
    if (i == k) return end;
    pos = end + 1;
  }
  return path.len;
}

u16 PathComponentCount(StrSlice path) {
  if (path.len == 0) return 0;
  u32 n = 1;
  for (u32 i = 0; i < path.len; ++i) n += path.ptr[i] == kSep;
  return static_cast<u16>(n > 0xFFFF ? 0xFFFF : n);
}

StrSlice PathComponent(StrSlice path, u16 k) {
  if (k == 0) return kStrEmpty;
  const u32 start = k == 1 ? 0 : PathComponentEnd(path, static_cast<u16>(k - 1)) + 1;
  if (start > path.len) return StrSlice{path.ptr + path.len, 0};
  return StrMake(path.ptr + start, PathComponentEnd(path, k) - start);
}

}  // namespace vk
