// Text-template expansion. The first two bytes are the flags; the rest is
// the text, and after its first NUL byte the default text (macro values).
#include <cstring>

#include "fuzz_support.h"
#include "runtime/scratch.h"
#include "script/template.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 2) return 0;
  vkfuzz::Fresh();
  const vk::u16 flags = static_cast<vk::u16>(data[0] | data[1] << 8);
  vk::StrSlice text = vkfuzz::Text(data + 2, size - 2);
  const vk::StrSlice defaults = vkfuzz::SplitAtNul(&text);
  const vk::WorkMarkId mark = vk::WorkMark(vk::kMarkQuery);
  vk::TplExpandFields(text, flags, defaults);
  vk::WorkMark(mark);
  vk::TplExpandWith(text, defaults);
  vk::WorkMark(mark);
  vk::TplUnescape(text, flags);
  vk::WorkMark(mark);
  return 0;
}
