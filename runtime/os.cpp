#include "runtime/os.h"

#include <dirent.h>
#include <fcntl.h>
#include <locale.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "runtime/error.h"
#include "runtime/scratch.h"

extern char** environ;

namespace vk {

namespace {

// A system path built from a library path, NUL-terminated; ok is false when
// the path is empty, too long or holds a NUL byte.
struct NativePath {
  char text[kOsPathMax];
  bool ok;
};

thread_local int t_last_error = 0;

// Remembers why the call that just failed failed, for OsLastError.
void NoteError() { t_last_error = errno; }

// The result of a call that answers 0 on success: 0, or kFailed with the
// reason noted.
u16 Outcome(int r) {
  if (r == 0) return 0;
  NoteError();
  return kFailed;
}

// An unusable path is noted as the system would have refused it.
void ToNative(StrSlice path, NativePath* out) {
  out->ok = false;
  out->text[0] = 0;
  if (!path.ptr || path.len == 0) {
    t_last_error = ENOENT;
    return;
  }
  out->ok = OsToUtf8(path, true, out->text, sizeof out->text) != kOsTooLong;
  if (!out->ok) t_last_error = std::memchr(path.ptr, 0, path.len) ? EINVAL : ENAMETOOLONG;
}

// Decodes one UTF-8 sequence at s (n bytes left): the code point, or -1 for
// a malformed sequence (then *used is 1, so decoding resynchronises).
i32 DecodeUtf8(const u8* s, u32 n, u32* used) {
  *used = 1;
  u8 b = s[0];
  if (b < 0x80) return b;
  u32 len;
  i32 cp;
  if ((b & 0xE0) == 0xC0) {
    len = 2;
    cp = b & 0x1F;
  } else if ((b & 0xF0) == 0xE0) {
    len = 3;
    cp = b & 0x0F;
  } else if ((b & 0xF8) == 0xF0) {
    len = 4;
    cp = b & 0x07;
  } else {
    return -1;
  }
  if (len > n) return -1;
  for (u32 i = 1; i < len; ++i) {
    if ((s[i] & 0xC0) != 0x80) return -1;
    cp = (cp << 6) | (s[i] & 0x3F);
  }
  // Overlong forms are malformed (a 2-byte form below 0x80 would smuggle
  // in a '/' or a NUL).
  static const i32 kMinOf[5] = {0, 0, 0x80, 0x800, 0x10000};
  if (cp < kMinOf[len]) return -1;
  *used = len;
  return cp;
}

StrSlice ScratchFromUtf8(const char* z, bool path, bool* lossy) {
  if (lossy) *lossy = false;
  WorkMarkId mark = WorkMark(kMarkQuery);
  if (!z) return WorkReturn(mark, "", 0);
  size_t n = std::strlen(z);
  // Latin-1 never needs more bytes than the UTF-8 it comes from.
  u32 cap = n > kMaxText ? kMaxText : static_cast<u32>(n);
  StrSlice room = WorkAllocSlice(static_cast<u16>(cap), kNoFill);
  if (!room.ptr) return room;
  char* out = const_cast<char*>(room.ptr);
  u32 len = OsFromUtf8(z, static_cast<u32>(n), path, out, cap, lossy);
  if (len == kOsTooLong) {
    WorkMark(mark);
    return StrErrorSlice(kErrStringTooLong);
  }
  return WorkReturn(mark, out, static_cast<u16>(len));
}

char AsciiLower(char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c + 32) : c; }

// True when the environment entry "NAME=value" has the name, compared with
// or without regard to ASCII case.
const char* EnvEntryValue(const char* entry, StrSlice name, bool fold) {
  for (u16 i = 0; i < name.len; ++i) {
    char a = entry[i];
    if (a == 0 || a == '=') return nullptr;
    char b = name.ptr[i];
    if (fold ? AsciiLower(a) != AsciiLower(b) : a != b) return nullptr;
  }
  return entry[name.len] == '=' ? entry + name.len + 1 : nullptr;
}

i64 StampOf(const struct statx_timestamp& t) { return static_cast<i64>(t.tv_sec); }

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

// ---- Text conversion ------------------------------------------------------

u32 OsToUtf8(StrSlice text, bool path, char* out, u32 cap) {
  if (!out || cap == 0) return kOsTooLong;
  u32 n = 0;
  for (u16 i = 0; text.ptr && i < text.len; ++i) {
    u8 c = static_cast<u8>(text.ptr[i]);
    if (c == 0) return kOsTooLong;  // a system name ends at a NUL
    if (path && c == '\\') c = '/';
    u32 need = c < 0x80 ? 1 : 2;
    if (n + need + 1 > cap) return kOsTooLong;
    if (c < 0x80) {
      out[n++] = static_cast<char>(c);
    } else {
      out[n++] = static_cast<char>(0xC0 | (c >> 6));
      out[n++] = static_cast<char>(0x80 | (c & 0x3F));
    }
  }
  out[n] = 0;
  return n;
}

u32 OsFromUtf8(const char* s, u32 n, bool path, char* out, u32 cap, bool* lossy) {
  u32 len = 0;
  const u8* p = reinterpret_cast<const u8*>(s);
  u32 i = 0;
  while (s && i < n) {
    u32 used;
    i32 cp = DecodeUtf8(p + i, n - i, &used);
    i += used;
    char c;
    if (cp < 0 || cp > 0xFF) {
      c = '?';
      if (lossy) *lossy = true;
    } else {
      c = static_cast<char>(cp);
      if (path && c == '/') c = '\\';
    }
    if (len >= cap) return kOsTooLong;
    out[len++] = c;
  }
  return len;
}

StrSlice OsTextFromUtf8(const char* z, bool* lossy) { return ScratchFromUtf8(z, false, lossy); }

StrSlice OsPathFromUtf8(const char* z, bool* lossy) { return ScratchFromUtf8(z, true, lossy); }

// ---- Environment, process -------------------------------------------------

StrSlice OsEnvGet(StrSlice name, bool* found) {
  if (found) *found = false;
  if (!name.ptr || name.len == 0) return OsTextFromUtf8(nullptr);
  // Environment names are plain bytes; compare the name as given.
  const char* value = nullptr;
  for (int pass = 0; pass < 2 && !value; ++pass) {
    for (char** e = environ; e && *e && !value; ++e) value = EnvEntryValue(*e, name, pass == 1);
  }
  if (found) *found = value != nullptr;
  return OsTextFromUtf8(value);
}

StrSlice OsExePath() {
  static char buf[kOsPathMax];
  ssize_t n = readlink("/proc/self/exe", buf, sizeof buf - 1);
  if (n <= 0) return OsPathFromUtf8(nullptr);
  buf[n] = 0;
  return OsPathFromUtf8(buf);
}

StrSlice OsDirCurrent() {
  static char buf[kOsPathMax];
  if (!getcwd(buf, sizeof buf)) return OsPathFromUtf8(nullptr);
  return OsPathFromUtf8(buf);
}

namespace {
// The file OsFileAppend keeps open, and its name as given.
int g_append_fd = -1;
char g_append_name[kOsPathMax];
u32 g_append_len = 0;

bool IsAppendName(StrSlice path) {
  return g_append_fd >= 0 && path.ptr && path.len == g_append_len &&
         std::memcmp(path.ptr, g_append_name, path.len) == 0;
}

void AppendClose() {
  if (g_append_fd >= 0) close(g_append_fd);
  g_append_fd = -1;
  g_append_len = 0;
}
}  // namespace

u16 OsDirChange(StrSlice path) {
  AppendClose();
  NativePath p;
  ToNative(path, &p);
  return p.ok ? Outcome(chdir(p.text)) : kFailed;
}

// ---- Files and folders ----------------------------------------------------

std::FILE* OsFileOpen(StrSlice path, const char* mode) {
  NativePath p;
  ToNative(path, &p);
  if (!p.ok) return nullptr;
  // A folder opens for reading on Linux; as a file it is unusable.
  struct stat st;
  if (stat(p.text, &st) == 0 && S_ISDIR(st.st_mode)) {
    t_last_error = EISDIR;
    return nullptr;
  }
  std::FILE* f = std::fopen(p.text, mode);
  if (!f) NoteError();
  return f;
}

u16 OsFileCreateNew(StrSlice path) {
  NativePath p;
  ToNative(path, &p);
  if (!p.ok) return kFailed;
  int fd = open(p.text, O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
  // A name that is taken is an answer, not a failure: the reason of the
  // caller's failed open, which comes before, stays noted.
  if (fd < 0 && errno == EEXIST) return kErrFileExists;
  if (fd < 0) {
    NoteError();
    return kFailed;
  }
  close(fd);
  return 0;
}

u16 OsFileClose(std::FILE* f) {
  return f ? Outcome(std::fclose(f)) : kFailed;
}

u32 OsFileRead(std::FILE* f, void* buf, u32 n) {
  if (!f || !buf || n == 0) return 0;
  return static_cast<u32>(std::fread(buf, 1, n, f));
}

u32 OsFileWrite(std::FILE* f, const void* buf, u32 n) {
  if (!f || !buf || n == 0) return 0;
  const u32 done = static_cast<u32>(std::fwrite(buf, 1, n, f));
  if (done < n) NoteError();
  return done;
}

u32 OsFileReadToLineEnd(std::FILE* f, char* buf, u32 n) {
  if (!f || !buf) return 0;
  u32 got = 0;
  while (got < n) {
    const int c = getc_unlocked(f);
    if (c == EOF) break;
    buf[got++] = static_cast<char>(c);
    if (c == '\n' || c == '\r') break;
  }
  return got;
}

u16 OsFileSeek(std::FILE* f, u32 pos) {
  if (!f) return kFailed;
  return Outcome(pos == kOsSeekEnd ? fseeko(f, 0, SEEK_END) : fseeko(f, static_cast<off_t>(pos), SEEK_SET));
}

u32 OsFileTell(std::FILE* f) {
  if (!f) return kOsTooLong;
  off_t pos = ftello(f);
  if (pos < 0 || pos >= static_cast<off_t>(kOsTooLong)) return kOsTooLong;
  return static_cast<u32>(pos);
}

u32 OsFileSizeOf(std::FILE* f) {
  if (!f) return kOsTooLong;
  // The size on disk, or more when bytes written at the end are still in
  // the stream's buffer: they end at the stream's position. Neither read
  // drops the stream's read buffer, as seeking to the end would.
  struct stat st {};
  const off_t here = ftello(f);
  if (here < 0 || fstat(fileno(f), &st) != 0) return kOsTooLong;
  const off_t end = st.st_size > here ? st.st_size : here;
  if (end >= static_cast<off_t>(kOsTooLong)) return kOsTooLong;
  return static_cast<u32>(end);
}

u16 OsFileFlush(std::FILE* f) {
  return f ? Outcome(std::fflush(f)) : kFailed;
}

u16 OsFileUnread(std::FILE* f, u8 c) { return f && std::ungetc(c, f) != EOF ? 0 : kFailed; }

u16 OsFileRemove(StrSlice path) {
  AppendClose();
  NativePath p;
  ToNative(path, &p);
  // unlink never removes a folder.
  return p.ok ? Outcome(unlink(p.text)) : kFailed;
}

u16 OsFileRename(StrSlice from, StrSlice to) {
  AppendClose();
  NativePath a, b;
  ToNative(from, &a);
  ToNative(to, &b);
  return a.ok && b.ok ? Outcome(std::rename(a.text, b.text)) : kFailed;
}

namespace {

// Writes all of data to fd: true, or false with the reason noted.
bool WriteAll(int fd, const char* at, u32 len) {
  while (len > 0) {
    const ssize_t n = write(fd, at, len);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) {
      if (n == 0) errno = ENOSPC;
      NoteError();
      return false;
    }
    at += n;
    len -= static_cast<u32>(n);
  }
  return true;
}

// The temporary's suffix: ".~" and digits. The number counts up across the
// process and starts from the process id, so two processes writing one
// name rarely meet; when they do, the exclusive create tells and the next
// number is tried.
constexpr char kTempMark[] = ".~";
constexpr u32 kTempTries = 64;
std::atomic<u32> g_temp_counter{0};

bool IsTempName(const char* name) {
  const char* mark = std::strrchr(name, '~');
  if (!mark || mark == name || mark[-1] != '.' || mark[1] == 0) return false;
  for (const char* c = mark + 1; *c; ++c)
    if (*c < '0' || *c > '9') return false;
  return true;
}

// Gives the open file fd a free temporary name beside path (into temp):
// with linked, fd is a file without a name and is linked there; else a new
// file is created there and *fd set. true, or false with the reason noted.
bool TempBeside(const char* path, char* temp, int* fd, bool linked) {
  const size_t base = std::strlen(path);
  if (base + sizeof kTempMark + 10 >= kOsPathMax) {
    t_last_error = ENAMETOOLONG;
    return false;
  }
  std::memcpy(temp, path, base);
  char self[32];
  std::snprintf(self, sizeof self, "/proc/self/fd/%d", *fd);
  for (u32 i = 0; i < kTempTries; ++i) {
    const u32 n = static_cast<u32>(getpid()) * 1000u + g_temp_counter.fetch_add(1);
    std::snprintf(temp + base, kOsPathMax - base, "%s%u", kTempMark, n);
    // Exclusive and without following a link: a name already taken (by
    // another process, or by anything planted there) is never written.
    if (linked ? linkat(AT_FDCWD, self, AT_FDCWD, temp, AT_SYMLINK_FOLLOW) == 0
               : (*fd = open(temp, O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0666)) >= 0) {
      return true;
    }
    if (errno != EEXIST) break;
  }
  NoteError();
  return false;
}

// The folder part of a system path ("." for a bare name).
void FolderOf(const char* path, char* out) {
  const char* cut = std::strrchr(path, '/');
  if (!cut) {
    std::strcpy(out, ".");
  } else if (cut == path) {
    std::strcpy(out, "/");
  } else {
    std::memcpy(out, path, static_cast<size_t>(cut - path));
    out[cut - path] = 0;
  }
}

// Renames the temporary over path: 0, or kOsOpenFailed (and the temporary
// is gone).
u16 RenameOver(const char* temp, const char* path) {
  if (rename(temp, path) == 0) return 0;
  NoteError();
  unlink(temp);
  return kOsOpenFailed;
}

// A file without a name is given one through its entry in /proc, which a
// system without /proc (a bare chroot) lacks.
bool CanLinkUnnamed() {
  static const bool can = access("/proc/self/fd", X_OK) == 0;
  return can;
}

// Puts the written file without a name, fd, in place at path. A name that
// is free gets the file at once. Anything else but a folder is swapped with
// it in one step (the file goes in, what was there comes out under a
// temporary name) and then removed: unlike renaming over it, swapping does
// not make the file system write the new file out at once, which costs
// far more than the swap. A folder is renamed over, which fails as it
// should. 0, or kOsOpenFailed.
u16 LinkInPlace(int fd, const char* path, char* temp) {
  char self[32];
  std::snprintf(self, sizeof self, "/proc/self/fd/%d", fd);
  struct stat st {};
  const bool there = fstatat(AT_FDCWD, path, &st, AT_SYMLINK_NOFOLLOW) == 0;
  if (!there) {
    if (linkat(AT_FDCWD, self, AT_FDCWD, path, AT_SYMLINK_FOLLOW) == 0) return 0;
    if (errno != EEXIST) {
      NoteError();
      return kOsOpenFailed;
    }
  }
  if (!TempBeside(path, temp, &fd, true)) return kOsOpenFailed;
  if (there && !S_ISDIR(st.st_mode) && renameat2(AT_FDCWD, temp, AT_FDCWD, path, RENAME_EXCHANGE) == 0) {
    unlink(temp);
    return 0;
  }
  // No swapping here (the name went away meanwhile, or the file system
  // cannot swap): an ordinary rename.
  return RenameOver(temp, path);
}

}  // namespace

int OsLastError() { return t_last_error; }

StrSlice OsErrorText(int err) {
  // The C locale's texts: a message in the program's own words never
  // switches language in mid-sentence with the user's locale.
  static const locale_t c_locale = newlocale(LC_ALL_MASK, "C", static_cast<locale_t>(0));
  if (c_locale) return OsTextFromUtf8(strerror_l(err, c_locale));
  char number[32];
  std::snprintf(number, sizeof number, "error %d", err);
  return OsTextFromUtf8(number);
}

u16 OsFileKeepSame(StrSlice path, const void* data, u32 len) {
  NativePath p;
  ToNative(path, &p);
  if (!p.ok) return kOsDiffers;
  // A link is never followed (it is to be replaced), and a FIFO never
  // blocks: it reads as empty.
  const int fd = open(p.text, O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC);
  if (fd < 0) return kOsDiffers;
  // One byte more than data tells a longer file; a regular file is read
  // short only at its end.
  char* buf = static_cast<char*>(std::malloc(len + 1u));
  bool same = false;
  if (buf) {
    ssize_t n;
    do n = read(fd, buf, len + 1u);
    while (n < 0 && errno == EINTR);
    same = n == static_cast<ssize_t>(len) && std::memcmp(buf, data, len) == 0;
    std::free(buf);
  }
  // Both stamps to now, which the owner or anyone who may write the file
  // may set (a time of one's choosing would need the owner).
  same = same && futimens(fd, nullptr) == 0;
  close(fd);
  return same ? 0 : kOsDiffers;
}

u16 OsFileReplace(StrSlice path, const void* data, u32 len) {
  NativePath p;
  ToNative(path, &p);
  if (!p.ok) return kOsOpenFailed;
  // The new content goes into a file without a name first: made outside
  // the folder's lock, so that writers in one folder do not wait for each
  // other, and gone by itself when the process dies before it is linked.
  // Where the file system has no such files, a named temporary takes its
  // place, closed before the rename so that a failure that only the close
  // reports keeps the old file.
  char folder[kOsPathMax];
  FolderOf(p.text, folder);
  char temp[kOsPathMax];
  int fd = CanLinkUnnamed() ? open(folder, O_TMPFILE | O_WRONLY | O_CLOEXEC, 0666) : -1;
  const bool unnamed = fd >= 0;
  if (!unnamed && CanLinkUnnamed() && errno != EOPNOTSUPP && errno != EISDIR && errno != EINVAL) {
    NoteError();
    return kOsOpenFailed;
  }
  if (!unnamed && !TempBeside(p.text, temp, &fd, false)) return kOsOpenFailed;
  u16 rc = WriteAll(fd, static_cast<const char*>(data), len) ? 0 : kFailed;
  if (unnamed) {
    if (rc == 0) rc = LinkInPlace(fd, p.text, temp);
    close(fd);
    return rc;
  }
  if (close(fd) != 0 && rc == 0) {
    NoteError();
    rc = kFailed;
  }
  if (rc != 0) {
    unlink(temp);
    return rc;
  }
  return RenameOver(temp, p.text);
}

StrSlice OsFileCreateTemp(StrSlice path) {
  NativePath p;
  ToNative(path, &p);
  char temp[kOsPathMax];
  int fd = -1;
  if (!p.ok || !TempBeside(p.text, temp, &fd, false)) return StrErrorSlice(kOsOpenFailed);
  close(fd);
  // The suffix is the same bytes in both forms.
  const size_t base = std::strlen(p.text);
  const u32 suffix = static_cast<u32>(std::strlen(temp + base));
  const WorkMarkId mark = WorkMark(kMarkQuery);
  const StrSlice room = path.len + suffix <= kMaxText ? WorkAllocSlice(static_cast<u16>(path.len + suffix), kNoFill)
                                                      : StrErrorSlice(kErrStringTooLong);
  if (!room.ptr) {
    unlink(temp);
    return room;
  }
  char* out = const_cast<char*>(room.ptr);
  std::memcpy(out, path.ptr, path.len);
  std::memcpy(out + path.len, temp + base, suffix);
  return WorkReturn(mark, room);
}

u16 OsFilePut(StrSlice path, const void* data, u32 len) {
  return OsFileKeepSame(path, data, len) == 0 ? 0 : OsFileReplace(path, data, len);
}

u16 OsTempSweep(StrSlice folder) {
  NativePath p;
  ToNative(folder, &p);
  const int dfd = p.ok ? open(p.text, O_RDONLY | O_DIRECTORY | O_CLOEXEC) : -1;
  DIR* d = dfd >= 0 ? fdopendir(dfd) : nullptr;
  if (!d) {
    if (p.ok) NoteError();
    if (dfd >= 0) close(dfd);
    return kFailed;
  }
  while (struct dirent* e = readdir(d)) {
    const bool file_or_link = e->d_type == DT_REG || e->d_type == DT_LNK || e->d_type == DT_UNKNOWN;
    // unlinkat without AT_REMOVEDIR never removes a folder.
    if (file_or_link && IsTempName(e->d_name)) unlinkat(dfd, e->d_name, 0);
  }
  closedir(d);
  return 0;
}

i32 OsDirLock(StrSlice folder) {
  NativePath p;
  ToNative(folder, &p);
  const int fd = p.ok ? open(p.text, O_RDONLY | O_DIRECTORY | O_CLOEXEC) : -1;
  if (fd < 0) return kOsLockNone;
  if (flock(fd, LOCK_EX | LOCK_NB) == 0) return fd;
  const bool busy = errno == EWOULDBLOCK;
  close(fd);
  return busy ? kOsLockBusy : kOsLockNone;
}

void OsDirUnlock(i32 handle) {
  if (handle >= 0) close(handle);
}

void OsAppendEnd() { AppendClose(); }

u16 OsFileAppend(StrSlice path, const void* data, u32 len) {
  if (!IsAppendName(path)) {
    AppendClose();
    NativePath p;
    ToNative(path, &p);
    if (!p.ok) return kOsOpenFailed;
    if (path.len > sizeof g_append_name) {
      t_last_error = ENAMETOOLONG;
      return kOsOpenFailed;
    }
    // A folder fails to open for writing, as it should.
    g_append_fd = open(p.text, O_WRONLY | O_APPEND | O_CREAT | O_CLOEXEC, 0666);
    if (g_append_fd < 0) {
      NoteError();
      return kOsOpenFailed;
    }
    std::memcpy(g_append_name, path.ptr, path.len);
    g_append_len = path.len;
  }
  const char* at = static_cast<const char*>(data);
  u32 done = 0;
  while (done < len) {
    const ssize_t n = write(g_append_fd, at + done, len - done);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) {
      NoteError();
      // What did go out is cut off again, so the file never ends in part
      // of a line. The file's end is where this write left its offset.
      const off_t end = lseek(g_append_fd, 0, SEEK_END);
      if (done > 0 && end >= static_cast<off_t>(done)) {
        if (ftruncate(g_append_fd, end - static_cast<off_t>(done)) != 0) NoteError();
      }
      return kFailed;
    }
    done += static_cast<u32>(n);
  }
  return 0;
}

u16 OsFileSlurp(StrSlice path, u32 max, char** data, u32* size) {
  *data = nullptr;
  *size = 0;
  NativePath p;
  ToNative(path, &p);
  if (!p.ok) return kOsOpenFailed;
  const int fd = open(p.text, O_RDONLY | O_CLOEXEC);
  if (fd < 0) {
    NoteError();
    return kOsOpenFailed;
  }
  // One byte more than max tells a file that is too large. A read that
  // gives less than it was asked for has met the end of the file (a
  // regular file is never read short otherwise), which saves the read
  // that would answer 0.
  char* buf = static_cast<char*>(std::malloc(max + 1u));
  u32 got = 0;
  u16 rc = 0;
  if (!buf) {
    t_last_error = ENOMEM;
    rc = kOsOpenFailed;
  }
  while (rc == 0) {
    const u32 want = max + 1u - got;
    const ssize_t n = read(fd, buf + got, want);
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) {
      NoteError();  // a folder, or unreadable
      rc = kOsOpenFailed;
    }
    if (n <= 0) break;
    got += static_cast<u32>(n);
    if (got > max) rc = kOsTooLarge;
    if (static_cast<u32>(n) < want) break;
  }
  close(fd);
  if (rc != 0) {
    std::free(buf);
    return rc;
  }
  *data = buf;
  *size = got;
  return 0;
}

std::FILE* OsMemReadOpen(char* data, u32 size) { return size ? fmemopen(data, size, "rb") : nullptr; }

std::FILE* OsMemStreamOpen(char** data, size_t* size) {
  *data = nullptr;
  *size = 0;
  return open_memstream(data, size);
}

void OsMemFree(void* data) { std::free(data); }

u16 OsDirCreate(StrSlice path) {
  NativePath p;
  ToNative(path, &p);
  return p.ok ? Outcome(mkdir(p.text, 0777)) : kFailed;
}

u16 OsDirRemove(StrSlice path) {
  AppendClose();
  NativePath p;
  ToNative(path, &p);
  return p.ok ? Outcome(rmdir(p.text)) : kFailed;
}

bool OsStatPath(StrSlice path, OsStat* out) {
  *out = OsStat{};
  NativePath p;
  ToNative(path, &p);
  if (!p.ok) return false;
  struct statx sx;
  if (statx(AT_FDCWD, p.text, 0, STATX_BASIC_STATS | STATX_BTIME, &sx) != 0) return false;
  out->exists = true;
  out->is_dir = S_ISDIR(sx.stx_mode);
  out->size = sx.stx_size;
  out->accessed = StampOf(sx.stx_atime);
  out->written = StampOf(sx.stx_mtime);
  out->created = (sx.stx_mask & STATX_BTIME) ? StampOf(sx.stx_btime) : out->written;
  return true;
}

bool OsSameFile(StrSlice a, StrSlice b) {
  NativePath pa;
  NativePath pb;
  ToNative(a, &pa);
  ToNative(b, &pb);
  struct stat sa;
  struct stat sb;
  if (!pa.ok || !pb.ok || stat(pa.text, &sa) != 0 || stat(pb.text, &sb) != 0) return false;
  return sa.st_dev == sb.st_dev && sa.st_ino == sb.st_ino;
}

// ---- Listing ----------------------------------------------------------------

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
