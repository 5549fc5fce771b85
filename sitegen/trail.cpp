#include "sitegen/trail.h"

#include <cstring>

#include "runtime/list.h"
#include "runtime/scratch.h"
#include "runtime/str.h"
#include "runtime/varstore.h"
#include "sitegen/sitetext.h"

namespace vk {

namespace {

// A comma and the quotes as character references, for trail items.
constexpr char kRefComma[] = "&#44;";
constexpr char kRefApos[] = "&#39;";
constexpr char kRefQuot[] = "&quot;";

u32 FindByte(StrSlice s, u32 from, char c) {
  const void* hit = from < s.len ? std::memchr(s.ptr + from, static_cast<u8>(c), s.len - from) : nullptr;
  return hit ? static_cast<u32>(static_cast<const char*>(hit) - s.ptr) : s.len;
}

// One trail item that the quote-aware comma split gives back whole: a comma
// outside a quote pair and a quote that no partner closes within the name
// are written as character references; quoted stretches stay as they are.
StrSlice TrailItem(StrSlice name) {
  if (StrError(name)) return name;
  return StrBuild([&](auto put) {
    for (u32 i = 0; i < name.len;) {
      const char c = name.ptr[i];
      if (StrIsQuote(c)) {
        const u32 close = FindByte(name, i + 1, c);
        if (close < name.len) {
          put(name.ptr + i, close + 1 - i);
          i = close + 1;
          continue;
        }
        put(c == '\'' ? kRefApos : kRefQuot, c == '\'' ? sizeof(kRefApos) - 1 : sizeof(kRefQuot) - 1);
      } else if (c == ',') {
        put(kRefComma, sizeof(kRefComma) - 1);
      } else {
        put(&c, 1);
      }
      ++i;
    }
  });
}

}  // namespace

u16 SiteGenBuildTrail() {
  const WorkMarkId mark = WorkMark(kMarkQuery);
  // The path is copied aside: translating logs, and the store may move.
  const StrSlice path = StrDup(StoreGet(kGroupRun, kRunPagePath));
  StrSlice trail = kStrEmpty;
  // A path is split plainly: a quote in a page name is no quote.
  for (u32 start = 0; !StrError(path) && start < path.len;) {
    const u32 end = FindByte(path, start, '\\');
    const StrSlice part = StrMake(path.ptr + start, end - start);
    trail = StrJoin(trail, Lit(","), TrailItem(SiteGenTranslate(part, 0)));
    if (StrError(trail)) break;
    start = end + 1;
  }
  const u16 rc = StrError(path) ? StrError(path) : StoreSet(kGroupRun, kRunTrail, trail);
  WorkMark(mark);
  return rc;
}

}  // namespace vk
