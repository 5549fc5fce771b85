#include "script/exprtables.h"

#include <cstring>

namespace vk {

namespace {

bool SameText(StrSlice s, const char* z) {
  const size_t n = std::strlen(z);
  return s.ptr && s.len == n && std::memcmp(s.ptr, z, n) == 0;
}

}  // namespace

u16 ExprOperatorFind(StrSlice text) {
  if (!text.ptr || text.len == 0) return kOpNone;
  for (u16 k = 1; k <= kOpCount; ++k) {
    if (SameText(text, kExprOperators[k].text)) return k;
  }
  return kOpNone;
}

bool ExprDotConstFind(StrSlice name, i16* value) {
  for (const ExprDotConst& c : kExprDotConsts) {
    if (SameText(name, c.name)) {
      if (value) *value = c.value;
      return true;
    }
  }
  return false;
}

}  // namespace vk
