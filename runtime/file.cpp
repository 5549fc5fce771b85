#include "runtime/file.h"

#include <cstring>

#include "runtime/error.h"
#include "runtime/number.h"
#include "runtime/osdir.h"
#include "runtime/osfile.h"
#include "runtime/osproc.h"
#include "runtime/ostemp.h"
#include "runtime/ostext.h"
#include "runtime/path.h"
#include "runtime/scratch.h"
#include "runtime/str.h"

namespace vk {

namespace {

constexpr u8 kCtrlZ = 26;
// The longest line FileReadRecord returns, so that a length never reads as
// kReadTooLong or kReadEnd.
constexpr u16 kLineMax = 0xFFFD;

std::FILE* g_slots[kFileSlots];
bool g_table_ready = false;

// What the table knows of a user slot's stream without asking the system:
// its position and (once asked) its size. Every read and write of the slot
// goes through this module, so both stay right; a stream opened for
// appending writes wherever the end is and is not followed.
struct SlotState {
  bool tracked;     // pos is the stream's position
  bool size_known;  // size is the file's size (bytes still buffered included)
  bool writing;     // the last operation was a write: a read must seek first
  u32 pos;
  u32 size;
};
SlotState g_state[kFileSlots];
// A file opened only for reading is read whole into memory when it is no
// larger than this (one open, one read, one close), and its slot reads
// from there; the bytes are released when the slot is closed.
constexpr u32 kWholeReadMax = 0x10000;
char* g_whole[kFileSlots];

void TableInit() {
  if (g_table_ready) return;
  g_slots[kSlotStdin] = stdin;
  g_slots[kSlotStdout] = stdout;
  g_slots[kSlotStderr] = stderr;
  for (u16 i = kFileFirstUserSlot; i < kFileSlots; ++i) g_slots[i] = nullptr;
  g_table_ready = true;
}

// The stream written last: a read from it must seek first, as the stream
// may still be in write mode. Reads of other streams go on from where the
// stream stands without a seek, which keeps their read buffer.
std::FILE* g_last_written = nullptr;

std::FILE* SlotStream(u16 slot) {
  TableInit();
  return slot < kFileSlots ? g_slots[slot] : nullptr;
}

bool IsStandard(u16 slot) { return slot < kFileFirstUserSlot; }

struct ModeEntry {
  u16 flags;  // flags & (kOpenWrite | kOpenAppend | kOpenNoUpdate)
  const char* mode;
};
// Write wins over append; without kOpenNoUpdate the stream is for update.
constexpr ModeEntry kModes[] = {
    {0x00, "rb+"}, {0x02, "wb+"}, {0x04, "ab+"}, {0x06, "wb+"},
    {0x08, "rb"},  {0x0A, "wb"},  {0x0C, "ab"},  {0x0E, "wb"},
};

const char* ModeOf(u16 flags) {
  u16 key = flags & (kOpenWrite | kOpenAppend | kOpenNoUpdate);
  for (const ModeEntry& m : kModes) {
    if (m.flags == key) return m.mode;
  }
  return "rb";
}

bool IsConsole(StrSlice name) { return name.len == 3 && std::memcmp(name.ptr, kConsoleName, 3) == 0; }

// The name as it joins the error detail, with the reason err (0: none).
void NameToDetail(StrSlice name, u16 code, int err) {
  const WorkMarkId mark = WorkMark(kMarkQuery);
  ErrMsgAppend(code, FileShown(name.ptr ? name : StrMake("", 0), err), true);
  WorkMark(mark);
}

// The failure of a named-file operation: quiet returns the code; otherwise
// the name (with the system's reason err, 0 for none) joins the error
// detail, the code is recorded (first error only) and the result is -1.
i16 OpenFailure(StrSlice name, u16 flags, u16 code, int err = 0) {
  if (flags & kOpenQuiet) return static_cast<i16>(code);
  NameToDetail(name, code, err);
  return static_cast<i16>(ErrSet(kErrFirst, kWhereFileStream, code, kFailed));
}

void RecordWithName(StrSlice name, u16 code, int err = 0) {
  NameToDetail(name, code, err);
  ErrSet(kErrFirst, kWhereFileStream, code, code);
}

// What ReadRecord gives besides a length.
constexpr i32 kGotEnd = -1;
constexpr i32 kGotTooLong = -2;

// The size of a slot's stream: known, or asked once and kept.
u32 StateSize(SlotState* st, std::FILE* f) {
  if (st && st->size_known) return st->size;
  const u32 size = OsFileSizeOf(f);
  if (st && size != kOsTooLong) {
    st->size = size;
    st->size_known = true;
  }
  return size;
}

// One line of a file stream (not the console) from byte pos (from_here:
// the current position), as ReadRecord reads it, with the slot's state
// kept: the line is read up to its terminator and no further, so the
// stream stands right after it and nothing needs a seek.
i32 ReadLineAt(std::FILE* f, SlotState* st, bool from_here, u32 pos, char* buf, u16 capacity) {
  const u32 size = StateSize(st, f);
  if (size == kOsTooLong) return kGotEnd;
  const bool known = st && st->tracked;
  const u32 here = known ? st->pos : OsFileTell(f);
  if (from_here) pos = here;
  if (pos == kOsTooLong) return kGotEnd;
  // Seeking also makes reading after a write on an update stream valid.
  const bool after_write = (st && st->writing) || f == g_last_written;
  if ((pos != here || after_write || here == kOsTooLong) && OsFileSeek(f, pos) != 0) return kGotEnd;
  if (f == g_last_written) g_last_written = nullptr;
  if (st) {
    st->tracked = false;  // until the read below ends where it should
    st->writing = false;
  }
  auto done = [&](u32 at, i32 result) {
    if (st) {
      st->pos = at;
      st->tracked = true;
    }
    return result;
  };
  if (pos >= size) return done(pos, kGotEnd);
  const u32 left = size - pos;
  const u32 take = left < capacity ? left : capacity;
  const u32 n = OsFileReadToLineEnd(f, buf, take);
  if (n < take && (n == 0 || (buf[n - 1] != '\n' && buf[n - 1] != '\r'))) {
    return kGotEnd;  // read short: the position is the system's to tell
  }
  // A lone Ctrl-Z as the rest of the file is its end.
  if (n == 1 && left == 1 && static_cast<u8>(buf[0]) == kCtrlZ) return done(pos + 1, kGotEnd);
  u32 line_len = n;
  char last = n ? buf[n - 1] : 0;
  u32 used = n;
  if (last == '\n' || last == '\r') {
    line_len = n - 1;
  } else if (n == left) {
    return done(size, static_cast<i32>(n));  // the last line, without terminator
  } else {
    // The buffer is full: the line fits only when its end comes next.
    if (OsFileRead(f, &last, 1) != 1 || (last != '\n' && last != '\r')) {
      if (st) st->tracked = false;
      // A stream that cannot go back to the line's start stands nowhere known.
      if (OsFileSeek(f, pos) != 0) return kGotEnd;
      return done(pos, kGotTooLong);
    }
    ++used;
  }
  if (last == '\r' && pos + used < size) {
    char next = 0;
    if (OsFileRead(f, &next, 1) == 1) {
      if (next == '\n') {
        ++used;
      } else if (OsFileUnread(f, static_cast<u8>(next)) != 0 && OsFileSeek(f, pos + used) != 0) {
        return kGotEnd;  // the next line's first byte is lost: the stream stands nowhere known
      }
    }
  }
  return done(pos + used, static_cast<i32>(line_len));
}

// The line reader and record reader over one stream. from_here takes the
// current position instead of pos; console streams cannot seek and are read
// a byte at a time. The length read, kGotEnd or kGotTooLong.
i32 ReadRecord(std::FILE* f, SlotState* st, bool console, bool from_here, u32 pos, u32 reclen, bool line,
               char* buf, u16 capacity) {
  if (!f || !buf) return kGotEnd;
  u32 size = kOsTooLong;
  if (!console) {
    size = StateSize(st, f);
    if (size == kOsTooLong) return kGotEnd;
    if (from_here) pos = OsFileTell(f);
    if (pos == kOsTooLong) return kGotEnd;
    // Seeking also makes reading after a write on an update stream valid.
    if ((!from_here || f == g_last_written) && OsFileSeek(f, pos) != 0) return kGotEnd;
    if (f == g_last_written) g_last_written = nullptr;
  } else {
    pos = 0;
  }
  if (!line && reclen == 0) return 0;
  if (!line && reclen > capacity) return kGotTooLong;
  u32 room = line ? capacity : reclen;
  auto left = [&](u32 so_far) { return console ? kOsTooLong : size - pos - so_far; };

  u32 got = 0;
  bool end = false, too_long = false;
  u32 line_len = 0, term = 0;
  bool terminated = false;
  // A CR as the last byte read: its LF, if any, is the next byte of the file.
  auto cr_term = [&](u32 read_so_far) -> u32 {
    if (left(read_so_far) == 0) return 1;
    char next = 0;
    if (OsFileRead(f, &next, 1) != 1) return 1;
    if (next == '\n') return 2;
    // The console cannot seek: a byte it does not take back is lost either way.
    if (console) (void)OsFileUnread(f, static_cast<u8>(next));
    return 1;
  };
  while (!end && (console || pos + got < size)) {
    u32 want = console ? 1 : kFilePiece;
    if (want > room - got) want = room - got;
    if (want > left(got)) want = left(got);
    if (want == 0) {
      // The buffer is full: the line fits only when its end comes next.
      char next = 0;
      if (line && OsFileRead(f, &next, 1) == 1 && (next == '\n' || next == '\r')) {
        line_len = got;
        term = next == '\n' ? 1 : cr_term(got + 1);
        terminated = true;
      } else {
        too_long = true;
      }
      break;
    }
    u32 n = OsFileRead(f, buf + got, want);
    if (n == 0) break;
    if (line && got == 0 && n == 1 && !console && left(0) == 1 && static_cast<u8>(buf[0]) == kCtrlZ) {
      return kGotEnd;  // a lone Ctrl-Z ends the file
    }
    if (line) {
      for (u32 i = got; i < got + n; ++i) {
        if (buf[i] != '\n' && buf[i] != '\r') continue;
        line_len = i;
        term = 1;
        if (buf[i] == '\r') {
          if (i + 1 < got + n) {
            if (buf[i + 1] == '\n') term = 2;
          } else {
            term = cr_term(got + n);
          }
        }
        terminated = true;
        break;
      }
    }
    got += n;
    if (terminated) break;
    if (line) {
      if (!console && pos + got == size) end = true;  // last line, no terminator
    } else {
      end = got == reclen || (!console && pos + got == size);
    }
    if (n < want) break;
  }

  // A stream that cannot be put where the next read starts stands nowhere
  // known: the reading ends there.
  if (terminated) {
    if (!console && OsFileSeek(f, pos + line_len + term) != 0) return kGotEnd;
    return static_cast<i32>(line_len);
  }
  if (too_long) {
    if (!console && OsFileSeek(f, pos) != 0) return kGotEnd;
    return kGotTooLong;
  }
  if (end) return static_cast<i32>(got);
  // The console's last line may end with the input itself.
  if (console && got > 0) return static_cast<i32>(got);
  return kGotEnd;
}

// Writes len bytes of data at pos (kFileAtEnd: the end) in 512-byte pieces.
// A slot's state (st) saves the seek when the stream already stands where
// the write goes and its last operation was a write.
bool WriteStream(std::FILE* f, SlotState* st, bool standard, u32 pos, const void* data, u32 len) {
  if (!f || !data) return false;
  bool at_end = pos == kFileAtEnd || pos == kOsSeekEnd;
  const bool known = st && st->tracked && (!at_end || StateSize(st, f) != kOsTooLong);
  const u32 target = !known ? 0 : at_end ? st->size : pos;
  if (st) st->tracked = false;  // until the write has gone through
  // Standard streams may be pipes or terminals: writing at the end needs no
  // seek there.
  const bool in_place = known && st->writing && st->pos == target;
  if (!(standard && at_end) && !in_place && OsFileSeek(f, at_end ? kOsSeekEnd : pos) != 0) return false;
  g_last_written = f;
  if (st) st->writing = true;
  const char* p = static_cast<const char*>(data);
  for (u32 done = 0; done < len;) {
    u32 piece = len - done < kFilePiece ? len - done : kFilePiece;
    if (OsFileWrite(f, p + done, piece) != piece) return false;
    done += piece;
  }
  if (known) {
    st->pos = target + len;
    if (st->pos > st->size) st->size = st->pos;
    st->tracked = true;
  } else if (st) {
    st->size_known = false;
  }
  return true;
}

// The state of a user slot; null for the standard slots, whose streams the
// module does not follow.
SlotState* StateOf(u16 slot) { return slot >= kFileFirstUserSlot && slot < kFileSlots ? &g_state[slot] : nullptr; }

// Closes a user slot; false when the stream reported an error on closing
// (its buffered bytes did not reach the file).
bool CloseSlot(u16 slot) {
  std::FILE* f = SlotStream(slot);
  if (!f || IsStandard(slot)) return true;
  g_slots[slot] = nullptr;
  g_state[slot] = SlotState{};
  if (g_last_written == f) g_last_written = nullptr;
  if (g_whole[slot]) {
    const bool ok = OsFileClose(f) == 0;
    OsMemFree(g_whole[slot]);
    g_whole[slot] = nullptr;
    return ok;
  }
  return OsFileClose(f) == 0;
}

// The count read from a named file, or kGotEnd when it cannot be opened or
// the range does not fit.
i32 ReadRange(StrSlice name, u32 offset, u32 length, bool to_end, char* buffer, u16 capacity) {
  i16 slot = FileOpen(name, kOpenNoUpdate);
  if (FileOpenFailed(slot)) return kGotEnd;
  std::FILE* f = SlotStream(static_cast<u16>(slot));
  SlotState* st = StateOf(static_cast<u16>(slot));
  if (to_end) {
    u32 size = StateSize(st, f);
    length = size != kOsTooLong && size > offset ? size - offset : 0;
  }
  i32 n = length > capacity ? kGotTooLong
                             : ReadRecord(f, st, false, false, offset, length, false, buffer, capacity);
  CloseSlot(static_cast<u16>(slot));
  return n < 0 ? kGotEnd : n;
}

// The whole content of name becomes data: written to a new temporary file
// in the same folder, which is then renamed over name.
bool ReplaceFile(StrSlice name, const void* data, u16 len) {
  if (!name.ptr || name.len == 0 || name.len >= kFileNameMax) {
    OpenFailure(name, 0, kErrData);
    return false;
  }
  if (!data) return false;
  // The name may be the log, which the append path keeps open.
  OsAppendEnd();
  const bool ok = OsFileReplace(name, data, len) == 0;
  if (!ok) RecordWithName(name, kErrFileNotFound, OsLastError());
  return ok;
}

bool WriteRange(StrSlice name, i32 pos, const void* data, u16 len) {
  if (pos == kWriteReplace) {
    if (len == 0) {
      // Nothing is written, so the result is a failure whatever the delete does.
      (void)FileDelete(name);
      return false;
    }
    return ReplaceFile(name, data, len);
  }
  if (len == 0) return false;
  // Appending (a log written line by line) keeps the file open between
  // calls; when it cannot be opened that way the stream path below opens
  // it and records why.
  if (pos == kWriteAppend && name.ptr && name.len > 0 && name.len < kFileNameMax && data) {
    const u16 rc = OsFileAppend(name, data, len);
    if (rc != kOsOpenFailed) return rc == 0;
  }
  i16 slot = FileOpen(name, kOpenPlain);
  if (FileOpenFailed(slot)) return false;
  u32 at = pos == kWriteAppend ? kFileAtEnd : static_cast<u32>(pos);
  bool ok = WriteStream(SlotStream(static_cast<u16>(slot)), nullptr, false, at, data, len);
  return CloseSlot(static_cast<u16>(slot)) && ok;
}

FileStamp StampOf(i64 t) { return FileStamp{DateFromTime(t), TimeFromTime(t)}; }

void RecordOf(const OsStat& st, FileInfoRecord* out) {
  out->error = 0;
  out->size = st.size > 0xFFFFFFFFu ? 0xFFFFFFFFu : static_cast<u32>(st.size);
  out->created = StampOf(st.created);
  out->accessed = StampOf(st.accessed);
  out->written = StampOf(st.written);
}

// Collects the first match of a listing.
struct FirstMatch {
  char name[kOsPathMax];
  u16 len;
};

bool TakeFirst(StrSlice name, void* ctx) {
  auto* m = static_cast<FirstMatch*>(ctx);
  m->len = name.len < sizeof m->name ? name.len : static_cast<u16>(sizeof m->name);
  std::memcpy(m->name, name.ptr, m->len);
  return false;
}

// DirList's gathering: names and their NULs written straight into the free
// room above the scratch stack's top, which then becomes the entry.
struct ListBuffer {
  char* at;
  u32 used;
  u32 cap;
  bool full;
};

bool AppendName(StrSlice name, void* ctx) {
  auto* b = static_cast<ListBuffer*>(ctx);
  if (b->used + name.len + 1u > b->cap) {
    b->full = true;
    return false;
  }
  std::memcpy(b->at + b->used, name.ptr, name.len);
  b->at[b->used + name.len] = 0;
  b->used += name.len + 1u;
  return true;
}

}  // namespace

// ---- Streams -----------------------------------------------------------------

i16 FileOpen(StrSlice name, u16 flags) {
  TableInit();
  if (!name.ptr || name.len == 0 || name.len >= kFileNameMax) return OpenFailure(name, flags, kErrData);
  const char* mode = ModeOf(flags);
  u16 slot = kFileFirstUserSlot;
  while (slot < kFileSlots && g_slots[slot]) ++slot;
  if (slot == kFileSlots) return OpenFailure(name, flags, kErrDataOutBound);
  if (IsConsole(name)) {
    u16 s = (flags & 0x1F) == kOpenWrite ? kSlotStdout : kSlotStdin;
    return g_slots[s] ? static_cast<i16>(s) : OpenFailure(name, flags, kErrFileNotFound);
  }
  std::FILE* f = nullptr;
  if (std::strcmp(mode, "rb") == 0) {
    char* whole = nullptr;
    u32 size = 0;
    const u16 rc = OsFileSlurp(name, kWholeReadMax, &whole, &size);
    if (rc == kOsOpenFailed) return OpenFailure(name, flags, kErrFileNotFound, OsLastError());
    f = rc == 0 ? OsMemReadOpen(whole, size) : nullptr;
    if (f) {
      g_slots[slot] = f;
      g_whole[slot] = whole;
      g_state[slot] = SlotState{true, true, false, 0, size};
      return static_cast<i16>(slot);
    }
    OsMemFree(whole);  // empty or too large: read as a stream
  }
  f = OsFileOpen(name, mode);
  if (!f && !(flags & kOpenNoUpdate)) {
    // Create the file only when nothing of that name exists: a file that
    // failed to open for another reason keeps its content.
    if (OsFileCreateNew(name) == 0) f = OsFileOpen(name, mode);
  }
  if (!f) return OpenFailure(name, flags, kErrFileNotFound, OsLastError());
  g_slots[slot] = f;
  // A new stream stands at its start, and one opened for writing is empty;
  // one for appending is not followed.
  const bool append = (flags & (kOpenWrite | kOpenAppend)) == kOpenAppend;
  g_state[slot] = SlotState{!append, mode[0] == 'w', false, 0, 0};
  return static_cast<i16>(slot);
}

i16 FileOpenMemory(char** data, size_t* size) {
  TableInit();
  *data = nullptr;
  *size = 0;
  u16 slot = kFileFirstUserSlot;
  while (slot < kFileSlots && g_slots[slot]) ++slot;
  if (slot == kFileSlots) return OpenFailure(StrMake("", 0), kOpenQuiet, kErrDataOutBound);
  std::FILE* f = OsMemStreamOpen(data, size);
  if (!f) return static_cast<i16>(kErrOutOfMemory);
  g_slots[slot] = f;
  g_state[slot] = SlotState{true, true, false, 0, 0};
  return static_cast<i16>(slot);
}

u16 FileClose(u16 slot) {
  if (IsStandard(slot)) return slot;
  if (!SlotStream(slot)) return 0;
  return CloseSlot(slot) ? slot : u16{kErrFileIO};
}

u32 FileLength(u16 slot) {
  if (IsStandard(slot)) return kFileLengthStandard;
  std::FILE* f = SlotStream(slot);
  u32 size = f ? StateSize(StateOf(slot), f) : 0;
  return size == kOsTooLong ? 0 : size;
}

u32 FileTell(u16 slot) {
  if (slot == kSlotStdin) return 0;
  std::FILE* f = SlotStream(slot);
  const SlotState* st = StateOf(slot);
  if (f && st && st->tracked) return st->pos;
  u32 pos = f ? OsFileTell(f) : 0;
  return pos == kOsTooLong ? 0 : pos;
}

bool FileEof(u16 slot) { return FileTell(slot) >= FileLength(slot); }

u16 FileReadRecord(u16 slot, u32 pos, u16 reclen, char* buffer, u16 capacity) {
  bool here = pos == kFileHere || pos == kOsSeekEnd;
  bool line = reclen == kReadLine;
  // A record never reaches the two result codes; a line is kept below them.
  if (line && capacity > kLineMax) capacity = kLineMax;
  if (!line && reclen > kLineMax) return kReadTooLong;
  std::FILE* f = SlotStream(slot);
  SlotState* st = StateOf(slot);
  i32 n = 0;
  if (line && slot != kSlotStdin && f && buffer) {
    n = ReadLineAt(f, st, here, pos, buffer, capacity);
  } else {
    if (st && st->writing) g_last_written = f;
    n = ReadRecord(f, st, slot == kSlotStdin, here, pos, reclen, line, buffer, capacity);
    if (st) {
      st->tracked = false;
      st->writing = false;
    }
  }
  return n == kGotEnd ? kReadEnd : n == kGotTooLong ? kReadTooLong : static_cast<u16>(n);
}

StrSlice FileReadLine(u16 slot, u32 pos, u16 reclen) {
  StrSlice room = WorkFreeSlice();
  if (!room.ptr) return StrErrorSlice(kErrOutOfMemory);
  u16 n = FileReadRecord(slot, pos, reclen, const_cast<char*>(room.ptr), room.len);
  if (n == kReadEnd) return StrErrorSlice(kErrDiskIO);
  if (n == kReadTooLong) {
    return StrErrorSlice(ErrSet(kErrFirst, kWhereFileStream, kErrOutOfMemory, kErrOutOfMemory));
  }
  // The new entry starts at the old top, where the bytes already are.
  return WorkAllocSlice(n, kNoFill);
}

u16 FileWriteBlock(u16 slot, u32 pos, const void* data, u16 len) {
  return WriteStream(SlotStream(slot), StateOf(slot), IsStandard(slot), pos, data, len) ? len : kFailed;
}

u16 FileWriteAt(u16 slot, u32 pos, StrSlice text) {
  if (u16 err = StrError(text)) return err;
  return WriteStream(SlotStream(slot), StateOf(slot), IsStandard(slot), pos, text.ptr, text.len) ? 0 : kFailed;
}

std::FILE* FileStream(u16 slot) { return SlotStream(slot); }

void FileSetStandard(u16 slot, std::FILE* f) {
  TableInit();
  if (IsStandard(slot)) g_slots[slot] = f;
}

// ---- Named files -----------------------------------------------------------

u16 FileReadRange(StrSlice name, u32 offset, u16 length, char* buffer, u16 capacity) {
  i32 n = ReadRange(name, offset, length, length == kReadToEnd, buffer, capacity);
  return n < 0 ? kFailed : static_cast<u16>(n);
}

StrSlice FileReadAll(StrSlice name, u32 offset, u16 length) {
  WorkMarkId mark = WorkMark(kMarkQuery);
  u32 want = length;
  if (length == kReadToEnd) {
    u32 size = FileSize(name);
    want = size > offset ? size - offset : 0;
  }
  // Refused before anything is allocated, never cut to 16 bits.
  u16 refuse = want > kMaxText ? kErrStringTooLong : want > WorkRoomLeft() ? kErrOutOfMemory : 0;
  if (refuse) {
    RecordWithName(name, refuse);
    return StrErrorSlice(refuse);
  }
  StrSlice buf = WorkAllocSlice(static_cast<u16>(want), kNoFill);
  if (!buf.ptr || want == 0) return buf;
  i32 n = ReadRange(name, offset, want, false, const_cast<char*>(buf.ptr), buf.len);
  if (n != static_cast<i32>(want)) {
    WorkMark(mark);
    return StrErrorSlice(kFailed);
  }
  return buf;
}

StrSlice FileReadText(StrSlice name, StrSlice separator) {
  if (u16 err = StrError(separator)) return StrErrorSlice(err);
  WorkMarkId mark = WorkMark(kMarkQuery);
  StrSlice all = FileReadAll(name, 0, kReadToEnd);
  if (!all.ptr) {
    WorkMark(mark);
    return all;
  }
  // One pass: a CR LF or a lone LF becomes the separator, a lone CR stays.
  // (A separator holding LF is not replaced again.)
  u32 out_len = 0;
  for (u16 i = 0; i < all.len; ++i) {
    if (all.ptr[i] == '\r' && i + 1 < all.len && all.ptr[i + 1] == '\n') {
      out_len += separator.len;
      ++i;
    } else {
      out_len += all.ptr[i] == '\n' ? separator.len : 1u;
    }
  }
  if (out_len > kMaxText) {
    WorkMark(mark);
    return StrErrorSlice(kErrStringTooLong);
  }
  char* out = WorkAllocRaw(static_cast<u16>(out_len), kNoFill);
  if (!out) {
    WorkMark(mark);
    return StrErrorSlice(kErrOutOfMemory);
  }
  u32 at = 0;
  for (u16 i = 0; i < all.len; ++i) {
    bool crlf = all.ptr[i] == '\r' && i + 1 < all.len && all.ptr[i + 1] == '\n';
    if (crlf || all.ptr[i] == '\n') {
      std::memcpy(out + at, separator.ptr, separator.len);
      at += separator.len;
      if (crlf) ++i;
    } else {
      out[at++] = all.ptr[i];
    }
  }
  return WorkReturn(mark, out, static_cast<u16>(out_len));
}

u32 FileSize(StrSlice name) {
  i16 slot = FileOpen(name, kOpenNoUpdate);
  if (FileOpenFailed(slot)) return 0;
  u32 size = FileLength(static_cast<u16>(slot));
  (void)FileClose(static_cast<u16>(slot));  // only read: nothing to lose on closing
  return size;
}

u16 FileWriteRange(StrSlice name, i32 pos, const void* data, u16 len) {
  return WriteRange(name, pos, data, len) ? len : kFailed;
}

u16 FileWrite(StrSlice name, i32 pos, const void* data, u16 len) {
  return WriteRange(name, pos, data, len) ? 0 : kErrFileIO;
}

u16 FileDelete(StrSlice name) { return OsFileRemove(name); }

StrSlice FileShown(StrSlice name, int err) {
  const WorkMarkId mark = WorkMark(kMarkQuery);
  const StrSlice shown = PathShown(name);
  if (err == 0 || StrError(shown)) return WorkReturn(mark, shown);
  const StrSlice parts[] = {shown, OsErrorText(err)};
  return WorkReturn(mark, StrFormatTexts(StrC("%s (%s)"), parts, 2));
}

u16 FileFindInfo(StrSlice name, FileInfoRecord* out) {
  if (out) *out = FileInfoRecord{kErrFileNotFound, 0, {}, {}, {}};
  if (!name.ptr || name.len == 0) return kErrFileNotFound;
  // A name without wildcards is its own first match: one look at it.
  if (!std::memchr(name.ptr, '*', name.len) && !std::memchr(name.ptr, '?', name.len)) {
    const char last = name.ptr[name.len - 1];
    if (last == '\\' || last == '/') return kErrFileNotFound;  // no name to match
    OsStat st;
    if (!OsStatPath(name, &st)) return kErrFileNotFound;
    if (out) RecordOf(st, out);
    return 0;
  }
  static FirstMatch match;
  match.len = 0;
  u16 r = OsList(name, TakeFirst, &match);
  if (r != 0 && r != kOsStopped) return kErrFileNotFound;
  if (!out) return 0;
  // The match's own path: the pattern's folder part and the name found.
  u16 cut = 0;
  for (u16 i = 0; i < name.len; ++i) {
    if (name.ptr[i] == '\\' || name.ptr[i] == '/') cut = static_cast<u16>(i + 1);
  }
  WorkMarkId mark = WorkMark(kMarkQuery);
  u32 total = u32{cut} + match.len;
  char* path = total <= kMaxText ? WorkAllocRaw(static_cast<u16>(total), kNoFill) : nullptr;
  OsStat st;
  bool found = false;
  if (path) {
    std::memcpy(path, name.ptr, cut);
    std::memcpy(path + cut, match.name, match.len);
    found = OsStatPath(StrMake(path, total), &st);
  }
  WorkMark(mark);
  if (!found) return kErrFileNotFound;
  RecordOf(st, out);
  return 0;
}

FileInfoRecord FileInfo(StrSlice name) {
  FileInfoRecord info;
  (void)FileFindInfo(name, &info);  // the record carries the code as its error
  return info;
}

u32 FileTime(StrSlice name, u16 which, u16 unit) {
  FileInfoRecord info = FileInfo(name);
  if (info.error) return 0;
  const FileStamp* stamps[] = {&info.created, &info.accessed, &info.written};
  if (which > kTimeWritten) return 0;
  return unit == kTimeUnitDate ? stamps[which]->date : stamps[which]->time;
}

// ---- Folders and environment ----------------------------------------------

u16 DirList(StrSlice pattern) {
  WorkMarkId mark = WorkMark(kMarkQuery);
  StrSlice room = WorkFreeSlice();
  if (!room.ptr) return kErrOutOfMemory;
  ListBuffer buf{const_cast<char*>(room.ptr), 0, room.len, false};
  u16 r = OsList(pattern, AppendName, &buf);
  if (buf.full || r == kErrOutOfMemory) {
    WorkMark(mark);
    return kErrOutOfMemory;
  }
  if (r != 0) return kErrFileNotFound;
  // The entry ends before the last NUL, which stays just behind it.
  StrSlice s = WorkAllocSlice(static_cast<u16>(buf.used - 1), kNoFill);
  if (!s.ptr) {
    WorkMark(mark);
    return kErrOutOfMemory;
  }
  return 0;
}

u16 DirChange(StrSlice path) { return OsDirChange(path); }

StrSlice DirCurrent() {
  WorkMarkId mark = WorkMark(kMarkQuery);
  StrSlice cwd = OsDirCurrent();
  if (!cwd.ptr || cwd.len > kDirCurrentMax) return WorkReturn(mark, "", 0);
  return cwd;
}

u16 DirCreate(StrSlice path) { return OsDirCreate(path); }

u16 DirCreatePath(StrSlice path) {
  WorkMarkId mark = WorkMark(kMarkQuery);
  if (path.ptr) path = PathToNative(path);
  StrSlice folder_name = PathPart(path, kPartFolderName);
  if (!folder_name.ptr || folder_name.len == 0) {
    ErrMsgAppend(kErrData, path.ptr ? PathShown(path) : StrMake("", 0), false);
    WorkMark(mark);
    return kErrData;
  }
  auto exists = [&]() {
    WorkMarkId here = WorkMark(kMarkQuery);
    StrSlice probe = PathJoin(path, StrMake(".", 1));
    bool found = probe.ptr && DirList(probe) == 0;
    WorkMark(here);
    return found;
  };
  u16 result = 0;
  if (!exists() && DirCreate(path) != 0) {
    StrSlice parent = PathPart(path, kPartParent);
    if (!parent.ptr || parent.len >= path.len) {
      result = kFailed;  // nothing above left to create
    } else {
      result = DirCreatePath(parent);
      if (result == 0 && DirCreate(path) != 0 && !exists()) result = kFailed;
    }
  }
  WorkMark(mark);
  return result;
}

StrSlice EnvGet(StrSlice name) { return OsEnvGet(name); }

}  // namespace vk
