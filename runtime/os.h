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
// Changes the current directory to a library path: 0 or kFailed.
[[nodiscard]] u16 OsDirChange(StrSlice path);

// ---- Files and folders (library paths) -----------------------------------

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

// ---- Whole-file writes ------------------------------------------------------
// A file is replaced whole: its new content goes to a temporary file in the
// same folder, which is then renamed over it. At every moment the name holds
// the old file or the whole new one, also when the process is killed or the
// disk fills; a link at the name is replaced, never written through, and a
// hard-linked twin keeps the old content. A temporary is the file's name
// followed by ".~" and digits; one that a killed process left behind is
// removed by OsTempSweep.
//
// These three are safe to call from any thread; they never close the file
// that OsFileAppend keeps open (see OsAppendEnd).

// 0 when the name is a file of its own (not a link) that holds exactly the
// len bytes of data; its modification time is then set to now, as a rewrite
// would have set it. kOsDiffers for anything else (different content, a
// link, a folder, no file, a time that cannot be set).
constexpr u16 kOsDiffers = 0xFFFD;
[[nodiscard]] u16 OsFileKeepSame(StrSlice path, const void* data, u32 len);
// Replaces the file with len bytes of data (a missing file is created): 0;
// kOsOpenFailed when the temporary cannot be created or renamed over the
// name (a folder there, no write access to the folder); kFailed when writing
// it failed (a full disk, a size limit). A failure leaves the old file as it
// was and no temporary; OsLastError tells why.
[[nodiscard]] u16 OsFileReplace(StrSlice path, const void* data, u32 len);
// Creates a new empty temporary beside path, for a caller that writes it
// through a stream and then renames it over path (OsFileRename), or removes
// it when that fails: its library path as one new scratch entry, or an
// error slice (kOsOpenFailed when it cannot be created, 145 when the
// scratch stack is full).
StrSlice OsFileCreateTemp(StrSlice path);
// OsFileKeepSame, else OsFileReplace.
[[nodiscard]] u16 OsFilePut(StrSlice path, const void* data, u32 len);
// Removes the temporaries that a killed writer left in a folder (regular
// files and links named like one, nothing else): 0, or kFailed when the
// folder cannot be read.
[[nodiscard]] u16 OsTempSweep(StrSlice folder);
// The system's error number of the latest failed call on this thread that
// says so (0 when none did). The calls on files and folders note it when
// they fail; the inquiries (OsStatPath, OsSameFile, OsList, OsFileKeepSame,
// OsDirLock) need not.
int OsLastError();
// The system's reason for error number err ("No space left on device"),
// in English whatever the process's locale: one new scratch entry.
StrSlice OsErrorText(int err);

// One process at a time per folder: an advisory lock on the folder that the
// system drops when the process ends, however it ends. OsDirLock gives a
// handle (0 or more), kOsLockBusy when another process holds the folder, or
// kOsLockNone when the folder cannot be opened (nothing to guard then).
constexpr i32 kOsLockBusy = -2;
constexpr i32 kOsLockNone = -1;
i32 OsDirLock(StrSlice folder);
void OsDirUnlock(i32 handle);

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
// Creates one folder: 0 or kFailed.
[[nodiscard]] u16 OsDirCreate(StrSlice path);
// Removes one empty folder: 0 or kFailed.
[[nodiscard]] u16 OsDirRemove(StrSlice path);

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
[[nodiscard]] u16 OsList(StrSlice pattern, OsVisit visit, void* ctx);

}  // namespace vk
