// The library's text value: a pointer and a 16-bit length, passed by value.
// Texts are 8-bit bytes (windows-1252), not NUL-terminated, at most 65535
// bytes. A slice with a null pointer is an error slice whose length field
// carries the error code ({null, 0} reads as code kFailed).
#pragma once
#include <cstdint>

namespace vk {

using u8 = uint8_t;
using u16 = uint16_t;
using i16 = int16_t;
using u32 = uint32_t;
using i32 = int32_t;
using i64 = int64_t;
using u64 = uint64_t;
// Intermediate products of fixed-point arithmetic that may pass 64 bits.
__extension__ typedef __int128 i128;

// Positions and counts are 16-bit; this one means "not found" / "none".
constexpr u16 kNotFound = 0xFFFF;
// Largest length a slice or a scratch entry can have.
constexpr u32 kMaxText = 0xFFFF;
// A status of failure that carries no code of its own.
constexpr u16 kFailed = 0xFFFF;

struct StrSlice {
  const char* ptr;
  u16 len;
};

// The empty text (a valid pointer, length 0).
constexpr StrSlice kStrEmpty{"", 0};
// An error slice read as the empty text, where a missing value means none.
inline StrSlice StrOrEmpty(StrSlice s) { return s.ptr ? s : kStrEmpty; }

// The slice {p, n}; n is taken modulo 65536.
inline StrSlice StrMake(const char* p, u32 n) { return StrSlice{p, static_cast<u16>(n)}; }
// A string literal (or a char array holding one) as a slice, its length
// known when compiling.
template <unsigned N>
constexpr StrSlice Lit(const char (&z)[N]) {
  return StrSlice{z, static_cast<u16>(N - 1)};
}
// The error slice carrying code.
inline StrSlice StrErrorSlice(u16 code) { return StrSlice{nullptr, code}; }
// 0 for a valid slice, else its code (kFailed for {null, 0}).
inline u16 StrError(StrSlice s) { return s.ptr ? 0 : (s.len ? s.len : kFailed); }

}  // namespace vk
