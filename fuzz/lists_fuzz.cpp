// Separated lists and parameter texts. Byte 0 is the separator, byte 1 the
// item number; the rest up to the first NUL is the list or parameter text,
// after it the key or item.
#include <cstring>

#include "fuzz_support.h"
#include "runtime/list.h"
#include "runtime/scratch.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 2) return 0;
  vkfuzz::Fresh();
  const char sep = static_cast<char>(data[0]);
  const vk::u16 k = data[1];
  vk::StrSlice text = vkfuzz::Text(data + 2, size - 2);
  const vk::StrSlice key = vkfuzz::SplitAtNul(&text);
  const vk::WorkMarkId mark = vk::WorkMark(vk::kMarkQuery);
  const vk::u16 count = vk::ListCount(text, sep);
  vk::u32 total = 0;
  for (vk::u16 i = 1; i <= count; ++i) {
    const vk::StrSlice item = vk::ListItem(text, sep, i);
    if (item.ptr < text.ptr || item.ptr + item.len > text.ptr + text.len) __builtin_trap();
    total += item.len;
  }
  if (total > text.len) __builtin_trap();  // items never overlap
  vk::u16 offset = 0, len = 0;
  vk::ListItemLocate(text, sep, k, &offset, &len);
  if (vk::u32{offset} + len > text.len) __builtin_trap();
  vk::ListNext(text, sep);
  vk::ListFind(text, key, sep);
  vk::ListItemValue(text, sep, k);
  vk::ListItemWidth(text, sep, vk::kWidthLongest);
  vk::ListItemWidth(text, sep, vk::kWidthShortest);
  // Only that nothing breaks counts: results are not looked at (also below).
  (void)vk::ListItemSet(text, key, sep, static_cast<vk::i16>(k));
  vk::WorkMark(mark);
  (void)vk::ListItemSet(text, key, sep, static_cast<vk::i16>(-static_cast<int>(k)));
  vk::WorkMark(mark);
  vk::ListFindRange(text, k);
  for (vk::u16 flags : {vk::kParamAsIs, vk::kParamUnquote, vk::kParamNormalize, vk::kParamNul}) {
    vk::StrKeyFind(text, key, flags, &offset, &len);
    vk::StrGetParamEx(text, key, flags);
    vk::WorkMark(mark);
  }
  (void)vk::StrKeyValuePush(text, key);
  vk::WorkMark(mark);
  return 0;
}
