// Shared start-up of the fuzz targets. Every input runs against a library
// started afresh (memory, value tables, system variables, no open files, no
// page tree, no language module), in a private temporary folder that is the
// current directory, with page output going to /dev/null.
#pragma once
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>

#include "runtime/slice.h"

namespace vkfuzz {

// Restarts the library for the next input; the first call also makes the
// temporary folder and the null sink.
void Fresh();
// Writes bytes to name in the temporary folder; the library's form of its
// path ('\' separators).
std::string Put(const char* name, const uint8_t* data, size_t size);
// At most 65535 bytes of the input, as the library's texts hold.
inline vk::StrSlice Text(const uint8_t* data, size_t size) {
  return vk::StrSlice{reinterpret_cast<const char*>(data), static_cast<vk::u16>(size > 0xFFFF ? 0xFFFF : size)};
}
// Splits an input text at its first NUL: *text keeps what comes before it,
// the rest after it is returned (the empty text without a NUL).
inline vk::StrSlice SplitAtNul(vk::StrSlice* text) {
  const void* nul = std::memchr(text->ptr, 0, text->len);
  if (!nul) return vk::kStrEmpty;
  const vk::u16 at = static_cast<vk::u16>(static_cast<const char*>(nul) - text->ptr);
  const vk::StrSlice rest{text->ptr + at + 1, static_cast<vk::u16>(text->len - at - 1)};
  text->len = at;
  return rest;
}
inline vk::StrSlice Sl(const std::string& s) { return vk::StrSlice{s.data(), static_cast<vk::u16>(s.size())}; }

}  // namespace vkfuzz
