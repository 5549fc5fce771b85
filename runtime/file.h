// Files and folders by library path: a table of 40 numbered stream slots
// (0-2 standard input, output and error, never closed here), opening with
// flag bits, reading lines and fixed-length records, whole-file reads onto
// the scratch stack, writes at a position, file information, folder listing
// and creation, and the environment.
//
// Streams are always binary: bytes reach the disk as written. Every system
// call goes through the boundary modules (runtime/os*.h). Text results are
// one new scratch entry or an error slice.
#pragma once
#include <cstddef>
#include <cstdio>
#include "runtime/slice.h"

namespace vk {

constexpr u16 kFileSlots = 40;
constexpr u16 kFileFirstUserSlot = 3;
enum : u16 { kSlotStdin = 0, kSlotStdout = 1, kSlotStderr = 2 };
// A name this long or longer is refused (163).
constexpr u16 kFileNameMax = 384;
// Reads and writes move at most this many bytes at a time.
constexpr u16 kFilePiece = 512;
// DirCurrent gives at most this many bytes.
constexpr u16 kDirCurrentMax = 383;

// FileOpen flags.
enum : u16 {
  kOpenPlain = 0x01,     // no effect of its own; counts in the "CON" rule
  kOpenWrite = 0x02,     // "w"
  kOpenAppend = 0x04,    // "a" (when kOpenWrite is not set)
  kOpenNoUpdate = 0x08,  // no "+" and no creation of a missing file
  kOpenQuiet = 0x80,     // a failure is returned as its code, not recorded
};
// The console name: standard output or standard input, nothing is opened.
constexpr const char* kConsoleName = "CON";

// Positions: the current position (reads) and the end of the file (writes).
constexpr u32 kFileHere = 0xFFFF;
constexpr u32 kFileAtEnd = 0xFFFF;
// FileReadRecord: reclen for "one line"; results for the end of the file and
// for a line or record that does not fit the buffer.
constexpr u16 kReadLine = 0xFFFF;
constexpr u16 kReadEnd = 0xFFFF;
constexpr u16 kReadTooLong = 0xFFFE;
// FileReadRange and FileReadAll: a length that reads to the end of the file.
constexpr u16 kReadToEnd = 0xFFFF;
// FileLength of a standard slot 0-2, whose length is not known.
constexpr u32 kFileLengthStandard = 0xFFFF;
// FileWriteRange positions.
constexpr i32 kWriteReplace = -2;  // the file's whole content becomes the data
constexpr i32 kWriteAppend = -1;

// FileTime stamps and units.
enum : u16 { kTimeCreated = 0, kTimeAccessed = 1, kTimeWritten = 2 };
enum : u16 { kTimeUnitMs = 0, kTimeUnitDate = 1 };

struct FileStamp {
  u32 date;  // YYYYMMDD, UTC
  u32 time;  // ms since midnight, UTC
};

// The file information record, as FileInfo gives it.
struct FileInfoRecord {
  u16 error;  // 0, or 164 when nothing was found
  u32 size;
  FileStamp created;
  FileStamp accessed;
  FileStamp written;
};

// ---- Streams ---------------------------------------------------------------

// The slot of the opened file; with kOpenQuiet a failure returns its code
// (163, 164, 168; 164 when the system refused, with OsLastError telling
// why); without, the name (FileShown, with the system's reason) is
// appended to the error detail, the code recorded in module 17 and the
// result is -1.
[[nodiscard]] i16 FileOpen(StrSlice name, u16 flags);
// True when a FileOpen result is a failure (-1, or a quiet open's code),
// false when it is a slot.
inline bool FileOpenFailed(i16 result) { return static_cast<u16>(result) >= kFileSlots; }
// A slot whose stream writes into memory: after FileClose, *data (released
// with OsMemFree) holds the *size bytes written. The slot, or 168 (no slot
// free) or 145 (no memory); nothing is recorded.
[[nodiscard]] i16 FileOpenMemory(char** data, size_t* size);
// Slots 0-2 return their number untouched; an empty slot 0; otherwise the
// stream is closed, the slot emptied and its number returned; 131
// (kErrFileIO) when the stream reported an error on closing, so bytes it
// still held may not have reached the file (the slot is emptied all the same).
[[nodiscard]] u16 FileClose(u16 slot);
u32 FileLength(u16 slot);  // kFileLengthStandard for slots 0-2, 0 for an empty slot
u32 FileTell(u16 slot);    // 0 for slot 0
bool FileEof(u16 slot);
// One line (reclen kReadLine) or one record of reclen bytes from byte pos
// (kFileHere: the current position) into buffer. Lines end at CR LF, LF or
// CR, also when the CR and LF come in separate pieces; the terminator is not
// part of the line and the stream is left just after it. A lone Ctrl-Z as
// the rest of the file is the end of the file. Returns the length read,
// kReadEnd at the end of the file, kReadTooLong when the line or record does
// not fit capacity (nothing is consumed then).
u16 FileReadRecord(u16 slot, u32 pos, u16 reclen, char* buffer, u16 capacity);
// FileReadRecord into the scratch stack's free room, kept as a new entry;
// the error slice 130 at the end of the file, 145 (recorded) when the line
// is longer than the free room.
StrSlice FileReadLine(u16 slot, u32 pos, u16 reclen);
// Writes len bytes at pos (kFileAtEnd: at the end); len, or kFailed when a
// piece is written short or data is null.
[[nodiscard]] u16 FileWriteBlock(u16 slot, u32 pos, const void* data, u16 len);
// An error slice returns its code; else 0 when all of text was written,
// else kFailed.
[[nodiscard]] u16 FileWriteAt(u16 slot, u32 pos, StrSlice text);
// The stream of a slot (null when empty or out of range); and replacing the
// stream of a standard slot 0-2 (the HTML sink installs its file as slot 1).
std::FILE* FileStream(u16 slot);
void FileSetStandard(u16 slot, std::FILE* f);

// ---- Named files -----------------------------------------------------------

// length bytes (kReadToEnd: to the end) from offset into buffer; the count
// read, or kFailed when the file cannot be opened or the range does not fit.
u16 FileReadRange(StrSlice name, u32 offset, u16 length, char* buffer, u16 capacity);
// length bytes (kReadToEnd: the rest of the file) from offset as a new entry.
// 146 when the rest of the file passes 65535 bytes, 145 when the scratch
// stack's room is smaller; the error slice kFailed when the read falls short.
StrSlice FileReadAll(StrSlice name, u32 offset, u16 length);
// The whole file with every CR LF, then every LF, replaced by separator.
StrSlice FileReadText(StrSlice name, StrSlice separator);
// The size; 0 (with 164 recorded) when the file cannot be opened.
u32 FileSize(StrSlice name);
// pos kWriteReplace: the file's content becomes data (written to a
// temporary file beside it and renamed over it, so a failure leaves the old
// file intact; with len 0 the file is deleted); kWriteAppend appends; any
// other pos writes over the file from that byte on without truncating it,
// creating the file when missing. len, or kFailed (at once for len 0).
[[nodiscard]] u16 FileWriteRange(StrSlice name, i32 pos, const void* data, u16 len);
// 0 when FileWriteRange wrote all len bytes, else 131 (so also for len 0).
[[nodiscard]] u16 FileWrite(StrSlice name, i32 pos, const void* data, u16 len);
// Deletes a file, never a folder: 0 or kFailed.
[[nodiscard]] u16 FileDelete(StrSlice name);
// A file named in a failure as the user reads it: PathShown(name), then,
// when err (a system error number, OsLastError) is not 0, the system's
// reason in parentheses: "/site/index_en.html (Is a directory)".
StrSlice FileShown(StrSlice name, int err);
// Size and stamps of the first match of name (a name or a pattern).
FileInfoRecord FileInfo(StrSlice name);
// One stamp (kTime...) as ms (kTimeUnitMs) or YYYYMMDD (kTimeUnitDate); 0
// when nothing is found.
u32 FileTime(StrSlice name, u16 which, u16 unit);
// 164 when nothing matches name, else 0 with the first match's record in
// *out (when given).
[[nodiscard]] u16 FileFindInfo(StrSlice name, FileInfoRecord* out = nullptr);

// ---- Folders and environment ----------------------------------------------

// Every name matching the pattern (folders, "." and ".." when they match),
// sorted, each followed by a NUL, in one new scratch entry; the slice
// (also WorkTop) ends before the last NUL. 0, 164 when nothing matches, 145
// when the scratch stack runs out (nothing is left on it then).
[[nodiscard]] u16 DirList(StrSlice pattern);
[[nodiscard]] u16 DirChange(StrSlice path);   // 0 or kFailed
StrSlice DirCurrent();          // at most 383 bytes; empty on failure
[[nodiscard]] u16 DirCreate(StrSlice path);   // one folder: 0 or kFailed
// Creates the folder and every missing folder above it, from the top down.
// 163 (the path becomes the error detail) when the path has no folder or
// name; 0 when it exists or was created; else the failure code.
[[nodiscard]] u16 DirCreatePath(StrSlice path);
// The environment variable's value (exact name first, then regardless of
// case); empty when unset or the name is empty.
StrSlice EnvGet(StrSlice name);

}  // namespace vk
