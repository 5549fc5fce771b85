#include "runtime/osfile.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "runtime/error.h"
#include "runtime/osnative.h"

namespace vk {

using namespace osnative;

namespace {

i64 StampOf(const struct statx_timestamp& t) { return static_cast<i64>(t.tv_sec); }

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

std::FILE* OsFileOpen(StrSlice path, const char* mode) {
  // A mode that may write changes the file (or makes it).
  if (mode && std::strpbrk(mode, "wa+") && !MayChange()) return nullptr;
  Settle(path, false);
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
  if (!MayChange()) return kFailed;
  Settle(path, false);
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
  // unlink never removes a folder. The removal is flushed with the run.
  return OnName(path, [](const char* name) {
    SyncNoteParent(name);
    return unlink(name);
  });
}

u16 OsFileRename(StrSlice from, StrSlice to) {
  if (!MayChange()) return kFailed;
  Settle(from, false);
  Settle(to, false);
  AppendClose();
  NativePath a, b;
  ToNative(from, &a);
  ToNative(to, &b);
  if (!a.ok || !b.ok) return kFailed;
  SyncNoteParent(b.text);
  return Outcome(std::rename(a.text, b.text));
}

void OsAppendEnd() { AppendClose(); }

u16 OsFileAppend(StrSlice path, const void* data, u32 len) {
  if (!MayChange()) return kFailed;
  if (!IsAppendName(path)) {
    Settle(path, false);
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
  // A content that waits to be put in place is what the file holds.
  if (Pending(path, true, data, size)) {
    if (*size <= max) return 0;
    std::free(*data);
    *data = nullptr;
    *size = 0;
    return kOsTooLarge;
  }
  Settle(path, false);
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

bool OsStatPath(StrSlice path, OsStat* out) {
  Settle(path, false);
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

bool OsIsLink(StrSlice path) {
  // A content that waits to be put in place at the name will be a file of
  // its own (one for the file a link leads to leaves the link).
  if (Pending(path, false, nullptr, nullptr)) return false;
  NativePath p;
  ToNative(path, &p);
  struct stat st;
  return p.ok && lstat(p.text, &st) == 0 && S_ISLNK(st.st_mode);
}

bool OsFileIdOf(StrSlice path, u64* device, u64* inode) {
  NativePath p;
  ToNative(path.len ? path : StrMake(".", 1), &p);
  struct stat st;
  if (!p.ok || stat(p.text, &st) != 0) return false;
  *device = static_cast<u64>(st.st_dev);
  *inode = static_cast<u64>(st.st_ino);
  return true;
}

u32 OsLinkTarget(StrSlice path, char* out, u32 cap) {
  NativePath p;
  ToNative(path, &p);
  char target[kOsPathMax];
  const ssize_t n = p.ok ? readlink(p.text, target, sizeof target) : -1;
  if (n <= 0 || static_cast<size_t>(n) >= sizeof target) return 0;
  const u32 len = OsFromUtf8(target, static_cast<u32>(n), true, out, cap, nullptr);
  return len == kOsTooLong ? 0 : len;
}

bool OsSameFile(StrSlice a, StrSlice b) {
  Settle(a, false);
  Settle(b, false);
  NativePath pa;
  NativePath pb;
  ToNative(a, &pa);
  ToNative(b, &pb);
  struct stat sa;
  struct stat sb;
  if (!pa.ok || !pb.ok || stat(pa.text, &sa) != 0 || stat(pb.text, &sb) != 0) return false;
  return sa.st_dev == sb.st_dev && sa.st_ino == sb.st_ino;
}

}  // namespace vk
