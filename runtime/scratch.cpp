#include "runtime/scratch.h"

#include <cstdint>
#include <cstring>

#include "runtime/error.h"

namespace vk {

namespace {

constexpr u32 kBytesPerKB = 1024;
// The top never reaches the area's end, so the last aligned slot stays free.
constexpr u32 kTopReserve = 4;

u8* BlockOf(u16 handle) {
  MemEntry* e = MemEntryGet(handle, nullptr);
  return e ? e->block : nullptr;
}

u8* AreaOf(const WorkStack* w) { return w && w->marks ? BlockOf(w->area_handle) : nullptr; }

StrSlice* MarksOf(const WorkStack* w) {
  return w && w->marks ? reinterpret_cast<StrSlice*>(BlockOf(w->marks_handle)) : nullptr;
}

void Reset(WorkStack* w) {
  *w = WorkStack{};
  w->area_handle = kNotFound;
  w->marks_handle = kNotFound;
}

// Moves the top to offset bytes from the area start, which must lie strictly
// before the area's end; keeps the high-water values.
u16 SetTop(WorkStack* w, u8* area, u32 offset) {
  if (offset >= w->area_bytes) return kErrOutOfMemory;
  w->top = area + offset;
  if (offset > w->high_bytes) w->high_bytes = offset;
  if (w->current > w->high_marks) w->high_marks = w->current;
  return 0;
}

void Release(WorkStack* w, WorkMarkId mark) {
  u8* area = AreaOf(w);
  StrSlice* marks = MarksOf(w);
  if (!area || !marks) return;
  StrSlice s = marks[mark];
  u32 offset = static_cast<u32>(reinterpret_cast<const u8*>(s.ptr) - area);
  w->current = mark;
  SetTop(w, area, offset + MemRound4(s.len));
}

bool Overlaps(StrSlice src, const char* dest, u32 len) {
  auto s = reinterpret_cast<uintptr_t>(src.ptr);
  auto d = reinterpret_cast<uintptr_t>(dest);
  return s < d + len && d < s + src.len;
}

}  // namespace

u16 WorkInit(u16 kb, WorkStack* work) {
  if (!work) return kWorkInitFailed;
  Reset(work);
  if (kb == 0) return kWorkInitFailed;
  u32 area_bytes = u32{kb} * kBytesPerKB;
  u16 ah = MemSlotAlloc(kOwnerLibrary, area_bytes, kNoFill);
  if (ah == kNoSlot || !BlockOf(ah)) return kWorkInitFailed;
  u16 mh = MemSlotAlloc(kOwnerLibrary, u32{kb} * sizeof(StrSlice), kNoFill);
  if (mh == kNoSlot || !BlockOf(mh)) {
    (void)MemFreeHandle(ah);  // allocated just above: the failure is the one reported
    return kWorkInitFailed;
  }
  work->area_handle = ah;
  work->marks_handle = mh;
  work->marks = kb;
  work->area_bytes = area_bytes;
  u8* area = BlockOf(ah);
  SetTop(work, area, 0);
  MarksOf(work)[0] = StrSlice{reinterpret_cast<const char*>(area), 0};
  return 0;
}

u16 WorkFree() {
  MemControl* ctl = MemControlGet();
  WorkStack* w = &ctl->work;
  u16 first = 0;
  auto note = [&first](u16 err) {
    if (err && !first) first = err;
  };
  if (w->area_handle != kNotFound) note(MemFreeHandle(w->area_handle));
  if (w->marks_handle != kNotFound) note(MemFreeHandle(w->marks_handle));
  if (ctl->library_block) {
    u16 err = MemFree(kOwnerLibrary, ctl->library_block);
    if (!err) ctl->library_block = nullptr;
    note(err);
  }
  Reset(w);
  return first;
}

WorkMarkId WorkMark(WorkMarkId mark) {
  WorkStack* w = &MemControlGet()->work;
  // Marks above the current one hold stale entries: releasing to one would
  // move the top to a meaningless place.
  if (mark != kMarkQuery && mark < w->marks && mark <= w->current) Release(w, mark);
  return w->current;
}

u16 WorkAlloc(u16 count, StrSlice* out, WorkStack* work) {
  u8* area = AreaOf(work);
  StrSlice* marks = MarksOf(work);
  // Both limits are checked before anything moves, so a refusal leaves the
  // stack as it was.
  u16 err = kErrOutOfMemory;
  if (area && marks && u32{work->current} + 1 < work->marks) {
    u32 offset = static_cast<u32>(work->top - area);
    err = SetTop(work, area, offset + MemRound4(count));
    if (!err) {
      StrSlice s{reinterpret_cast<const char*>(area + offset), count};
      marks[++work->current] = s;
      if (out) *out = s;
      return 0;
    }
  }
  if (out) *out = StrErrorSlice(err);
  return err;
}

u16 WorkAllocFill(u16 count, u8 fill) {
  return StrError(WorkAllocSlice(count, fill));
}

char* WorkAllocRaw(u16 count, u8 fill) {
  StrSlice s = WorkAllocSlice(count, fill);
  return const_cast<char*>(s.ptr);
}

StrSlice WorkAllocSlice(u16 count, u8 fill) {
  StrSlice s;
  if (WorkAlloc(count, &s, &MemControlGet()->work)) return s;
  if (fill != kNoFill) std::memset(const_cast<char*>(s.ptr), fill, count);
  return s;
}

StrSlice WorkAllocText(u32 n) {
  if (n > kMaxText) return StrErrorSlice(kErrStringTooLong);
  return WorkAllocSlice(static_cast<u16>(n), kNoFill);
}

u16 WorkStackPush(WorkStack* work, const char* p, u16 len) {
  if (!p) return StrError(StrSlice{p, len});
  StrSlice s;
  u16 err = WorkAlloc(len, &s, work);
  if (err) return err;
  return MemWriteAt(const_cast<char*>(s.ptr), len, 0, p, len);
}

u16 WorkPush(const char* p, u16 len) { return WorkStackPush(&MemControlGet()->work, p, len); }

u16 WorkPushPieces(const WorkPiece* pieces, u16 count) {
  u32 total = 0;
  for (u16 i = 0; i < count; ++i) total += pieces[i].len;
  if (total > kMaxText) return kErrStringTooLong;
  StrSlice s;
  if (const u16 err = WorkAlloc(static_cast<u16>(total), &s, &MemControlGet()->work)) return err;
  char* const d = const_cast<char*>(s.ptr);
  bool covered = false;
  for (u16 i = 0; i < count && !covered; ++i) {
    covered = pieces[i].ptr && Overlaps(StrMake(pieces[i].ptr, pieces[i].len), d, total);
  }
  // A source that the new entry covers is read before anything is written:
  // everything is gathered first.
  static char gather[kMaxText];
  char* at = covered ? gather : d;
  for (u16 i = 0; i < count; ++i) {
    if (pieces[i].ptr) {
      if (pieces[i].len) std::memcpy(at, pieces[i].ptr, pieces[i].len);
    } else {
      std::memset(at, pieces[i].fill, pieces[i].len);
    }
    at += pieces[i].len;
  }
  if (covered) std::memcpy(d, gather, total);
  return 0;
}

u16 WorkPushTexts(const StrSlice* texts, u16 count) {
  constexpr u16 kMaxTexts = 8;
  if (count > kMaxTexts) return kErrSyntax;
  WorkPiece pieces[kMaxTexts];
  for (u16 i = 0; i < count; ++i) {
    if (const u16 err = StrError(texts[i])) return err;
    pieces[i] = WorkPiece{texts[i].ptr, texts[i].len, 0};
  }
  return WorkPushPieces(pieces, count);
}

u16 WorkPushConcat(StrSlice a, StrSlice b) {
  const StrSlice texts[] = {a, b};
  return WorkPushTexts(texts, 2);
}

StrSlice WorkReturn(WorkMarkId mark, const char* p, u16 len) {
  WorkMark(mark);
  if (!p) return StrSlice{p, len};
  u16 err = WorkPush(p, len);
  if (err) return StrErrorSlice(err);
  return WorkTop();
}

StrSlice WorkTop() {
  const WorkStack* w = &MemControlGet()->work;
  StrSlice* marks = MarksOf(w);
  if (!marks) return StrSlice{nullptr, 0};
  return marks[w->current];
}

u32 WorkRoomLeft() {
  const WorkStack* w = &MemControlGet()->work;
  u8* area = AreaOf(w);
  if (!area) return kMaxText;
  return w->area_bytes - static_cast<u32>(w->top - area) - kTopReserve;
}

StrSlice WorkFreeSlice() {
  const WorkStack* w = &MemControlGet()->work;
  if (!AreaOf(w)) return StrSlice{nullptr, 0};
  u32 room = WorkRoomLeft();
  return StrMake(reinterpret_cast<const char*>(w->top), room > kMaxText ? kMaxText : room);
}

}  // namespace vk
