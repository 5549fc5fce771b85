// The operating-system boundary. This is the only module of the library that
// calls the system for files, folders, the current directory, the
// environment and the executable's path, and the only place that converts
// between the two worlds of text:
//  - inside, every text is 8-bit (Latin-1 / windows-1252) and paths use '\';
//  - outside, names are UTF-8 and paths use '/'.
// Library -> system: '\' becomes '/', each Latin-1 byte becomes its UTF-8
// form. System -> library: '/' becomes '\' (paths only), UTF-8 becomes
// Latin-1, and a character outside Latin-1 becomes '?'. File contents are
// bytes and pass through unconverted.
//
// Texts returned as StrSlice are one new scratch entry (or an error slice
// when the scratch stack is full). Streams are C streams, always binary.
#pragma once
#include <cstdio>
#include "runtime/slice.h"

namespace vk {

// Longest system path the boundary builds (bytes, with the final NUL).
constexpr u32 kOsPathMax = 4096;

// ---- Text conversion ------------------------------------------------------

// Latin-1 bytes of text as NUL-terminated UTF-8 in out; with path, '\'
// becomes '/'. Returns the UTF-8 length, or kOsTooLong when it (with the NUL)
// does not fit cap.
constexpr u32 kOsTooLong = 0xFFFFFFFF;
u32 OsToUtf8(StrSlice text, bool path, char* out, u32 cap);
// UTF-8 bytes [s, s+n) as Latin-1 in out (at most cap bytes); with path, '/'
// becomes '\'. A character outside Latin-1 (or a malformed sequence) gives
// '?' and sets *lossy when lossy is given. Returns the length written, or
// kOsTooLong when the result does not fit cap.
u32 OsFromUtf8(const char* s, u32 n, bool path, char* out, u32 cap, bool* lossy);
// The same onto the scratch stack: one new entry, or the error slice 146
// when the result passes 65535 bytes, 145 when the scratch stack is full.
StrSlice OsTextFromUtf8(const char* z, bool* lossy = nullptr);  // argv, values
StrSlice OsPathFromUtf8(const char* z, bool* lossy = nullptr);  // system paths

// ---- Environment, process -------------------------------------------------

// The value of the environment variable name, as Latin-1: looked up by the
// exact name first, then among the environment without regard to ASCII case
// (the first such name in environment order). The empty text when unset or
// when name is empty. *found (when given) tells unset from set-but-empty.
StrSlice OsEnvGet(StrSlice name, bool* found = nullptr);
// The running executable (/proc/self/exe) in library form; empty on failure.
StrSlice OsExePath();
// The current directory in library form; empty on failure.
StrSlice OsDirCurrent();
// Changes the current directory to a library path: 0 or 0xFFFF.
u16 OsDirChange(StrSlice path);

// ---- Files and folders (library paths) -----------------------------------

// Opens a library path with a C stream mode ("rb", "rb+", "wb+", ...);
// null when it cannot be opened or the path is unusable.
std::FILE* OsFileOpen(StrSlice path, const char* mode);
// Creates the file only when nothing of that name exists (never truncates):
// 0 created, kErrFileExists when something is there, 0xFFFF on failure.
u16 OsFileCreateNew(StrSlice path);
u16 OsFileClose(std::FILE* f);  // 0 or 0xFFFF
// Reads or writes up to n bytes; returns the count moved.
u32 OsFileRead(std::FILE* f, void* buf, u32 n);
u32 OsFileWrite(std::FILE* f, const void* buf, u32 n);
// Reads up to n bytes, stopping just after the first LF or CR read (kept in
// buf); returns the count moved. Reads come from the stream's buffer, so a
// line costs no system call of its own.
u32 OsFileReadToLineEnd(std::FILE* f, char* buf, u32 n);
// Seeks to an absolute position, or to the end with kOsSeekEnd: 0 or 0xFFFF.
constexpr u32 kOsSeekEnd = 0xFFFFFFFF;
u16 OsFileSeek(std::FILE* f, u32 pos);
// The current position, or kOsTooLong on failure.
u32 OsFileTell(std::FILE* f);
// The size of an open stream without moving it, or kOsTooLong on failure.
u32 OsFileSizeOf(std::FILE* f);
u16 OsFileFlush(std::FILE* f);  // 0 or 0xFFFF
// Pushes one byte back onto a stream that cannot seek (the console): 0 or
// 0xFFFF.
u16 OsFileUnread(std::FILE* f, u8 c);

// Removes a file; never a folder: 0 or 0xFFFF.
u16 OsFileRemove(StrSlice path);
// Renames a file over another in one step (replacing it): 0 or 0xFFFF.
u16 OsFileRename(StrSlice from, StrSlice to);
// Rewriting a file in place, in two steps so that its content can be made
// in between: OsFileRewriteOpen opens the file for writing without
// truncating it, creating it only when it is missing (0, or kOsOpenFailed).
// OsFileRewriteEnd then writes len bytes of data from the file's start and
// cuts the file to len, or, with null data, leaves the file as it was
// (a file the open created is removed again); it closes the file in both
// cases: 0, or 0xFFFF when writing, cutting or closing failed. Neither a
// rename nor a truncation to zero is involved, so closing the file does not
// make the system flush it to disk.
constexpr u16 kOsOpenFailed = 0xFFFE;
struct OsRewrite {
  int fd;
  bool created;
};
u16 OsFileRewriteOpen(StrSlice path, OsRewrite* w);
u16 OsFileRewriteEnd(OsRewrite* w, StrSlice path, const void* data, u32 len);
// Appends len bytes at the end of a file in one write, creating the file
// when missing. The file stays open for the next append to the same name
// (removing or renaming a file, or changing folder, closes it), so a log
// written line by line costs one system call a line. 0, kOsOpenFailed, or
// 0xFFFF when the write fell short.
u16 OsFileAppend(StrSlice path, const void* data, u32 len);
// Reads a whole file of at most max bytes into memory (released with
// OsMemFree): one open, one read and one close. 0 with *data and *size set;
// kOsOpenFailed when it cannot be opened or is a folder; 0xFFFF when it is
// larger than max (nothing is kept).
u16 OsFileSlurp(StrSlice path, u32 max, char** data, u32* size);
// A read-only stream over size bytes of data (size above 0; the data must
// outlive the stream). Null on failure.
std::FILE* OsMemReadOpen(char* data, u32 size);
// A stream that writes into memory (grown as needed); after OsFileClose,
// *data (to be released with OsMemFree) holds *size bytes. Null on failure.
std::FILE* OsMemStreamOpen(char** data, size_t* size);
void OsMemFree(void* data);
// Creates one folder: 0 or 0xFFFF.
u16 OsDirCreate(StrSlice path);
// Removes one empty folder: 0 or 0xFFFF.
u16 OsDirRemove(StrSlice path);

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
// True when both paths name one existing file (the same device and inode),
// however each is spelt: "..", links and repeated separators included.
bool OsSameFile(StrSlice a, StrSlice b);

// ---- Listing ---------------------------------------------------------------

// True when name matches pattern: '*' any run, '?' any one character,
// everything else literal and case-sensitive; "*.*" matches every name.
bool OsMatch(StrSlice pattern, StrSlice name);

// Calls visit(name, ctx) for every entry of the pattern's folder whose name
// matches the pattern's last component ("." and ".." included when they
// match), in ascending byte order of the Latin-1 names. A last component
// without wildcards is one stat of the whole path ("dir\." finds the folder
// as "."). visit returns false to stop. Result: 0 when something matched,
// kErrFileNotFound when nothing did, kErrOutOfMemory when the names could not
// be gathered, or visit's stop code (kOsStopped).
constexpr u16 kOsStopped = 0xFFFE;
using OsVisit = bool (*)(StrSlice name, void* ctx);
u16 OsList(StrSlice pattern, OsVisit visit, void* ctx);

}  // namespace vk
