// Files and streams by library path, at the operating-system boundary (see
// ostext.h): the path is converted to the system's form, the contents are
// bytes and pass through unconverted. Streams are C streams, always binary.
// A failed call notes its reason for OsLastError (osproc.h). A call that
// changes the file system may be refused while the write queue's run is
// over (ECANCELED; see OsPendingHooks in ostemp.h).
#pragma once
#include <cstddef>
#include <cstdio>
#include "runtime/ostext.h"
#include "runtime/slice.h"

namespace vk {

// Opens a library path with a C stream mode ("rb", "rb+", "wb+", ...);
// null when it cannot be opened or the path is unusable.
std::FILE* OsFileOpen(StrSlice path, const char* mode);
// Creates the file only when nothing of that name exists (never truncates):
// 0 created, kErrFileExists when something is there, kFailed on failure.
[[nodiscard]] u16 OsFileCreateNew(StrSlice path);
[[nodiscard]] u16 OsFileClose(std::FILE* f);  // 0 or kFailed
// Reads or writes up to n bytes; returns the count moved.
u32 OsFileRead(std::FILE* f, void* buf, u32 n);
u32 OsFileWrite(std::FILE* f, const void* buf, u32 n);
// Reads up to n bytes, stopping just after the first LF or CR read (kept in
// buf); returns the count moved. Reads come from the stream's buffer, so a
// line costs no system call of its own.
u32 OsFileReadToLineEnd(std::FILE* f, char* buf, u32 n);
// Seeks to an absolute position, or to the end with kOsSeekEnd: 0 or kFailed.
constexpr u32 kOsSeekEnd = 0xFFFFFFFF;
[[nodiscard]] u16 OsFileSeek(std::FILE* f, u32 pos);
// The current position, or kOsTooLong on failure.
u32 OsFileTell(std::FILE* f);
// The size of an open stream without moving it, or kOsTooLong on failure.
u32 OsFileSizeOf(std::FILE* f);
[[nodiscard]] u16 OsFileFlush(std::FILE* f);  // 0 or kFailed
// Pushes one byte back onto a stream that cannot seek (the console): 0 or
// kFailed.
[[nodiscard]] u16 OsFileUnread(std::FILE* f, u8 c);

// Removes a file; never a folder: 0 or kFailed.
[[nodiscard]] u16 OsFileRemove(StrSlice path);
// Renames a file over another in one step (replacing it): 0 or kFailed.
[[nodiscard]] u16 OsFileRename(StrSlice from, StrSlice to);
// The result of a call that could not open (or create) its file.
constexpr u16 kOsOpenFailed = 0xFFFE;

// Appends len bytes at the end of a file in one write, creating the file
// when missing. The file stays open for the next append to the same name
// (removing or renaming a file, or changing folder, closes it), so a log
// written line by line costs one system call a line. The bytes go out whole
// or not at all: a write that falls short (a full disk) is cut back off the
// file. 0, kOsOpenFailed, or kFailed when the write failed.
[[nodiscard]] u16 OsFileAppend(StrSlice path, const void* data, u32 len);
// Closes the file that OsFileAppend keeps open; the next append opens it
// again. Call it before replacing a file that may be the one appended to.
void OsAppendEnd();
// Reads a whole file of at most max bytes into memory (released with
// OsMemFree): one open, one read and one close. 0 with *data and *size set;
// kOsOpenFailed when it cannot be opened or is a folder; kOsTooLarge when it
// is larger than max (nothing is kept).
constexpr u16 kOsTooLarge = 0xFFFF;
[[nodiscard]] u16 OsFileSlurp(StrSlice path, u32 max, char** data, u32* size);
// A read-only stream over size bytes of data (size above 0; the data must
// outlive the stream). Null on failure.
std::FILE* OsMemReadOpen(char* data, u32 size);
// A stream that writes into memory (grown as needed); after OsFileClose,
// *data (to be released with OsMemFree) holds *size bytes. Null on failure.
std::FILE* OsMemStreamOpen(char** data, size_t* size);
void OsMemFree(void* data);

// What the system knows of a name. Stamps are UTC seconds since 1970.
struct OsStat {
  bool exists;
  bool is_dir;
  u64 size;
  i64 created;   // birth time where the file system records it, else written
  i64 accessed;
  i64 written;
};
// Information on a library path (no wildcards). false when nothing is there.
bool OsStatPath(StrSlice path, OsStat* out);
// True when the name itself is a symbolic link (whatever it points at).
bool OsIsLink(StrSlice path);
// The identity (file system and inode) of what a library path names, or
// false when nothing is there. Unlike every other call here it does not
// let the write queue settle first: it is the queue's own inquiry.
bool OsFileIdOf(StrSlice path, u64* device, u64* inode);
// Where the symbolic link at path leads: its target as written in the
// link (relative to the link's own folder unless it begins with '\'), in
// library form in out (cap bytes), and its length; 0 when path is no
// link, or the answer does not fit. As OsFileIdOf, it is the write queue's
// own inquiry.
u32 OsLinkTarget(StrSlice path, char* out, u32 cap);
// True when both paths name one existing file (the same device and inode),
// however each is spelt: "..", links and repeated separators included.
bool OsSameFile(StrSlice a, StrSlice b);

}  // namespace vk
