#include "runtime/ostext.h"

#include <cstring>

#include "runtime/error.h"
#include "runtime/scratch.h"

namespace vk {

namespace {

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

}  // namespace

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

}  // namespace vk
