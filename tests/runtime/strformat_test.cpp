#include <string>

#include "runtime/error.h"
#include "runtime/scratch.h"
#include "runtime/str.h"
#include "runtime_fixture.h"

namespace vk {
namespace {

using StrFormatTest = RuntimeTest;

u32 Recorded(i16 where, u16 code) { return (static_cast<u32>(static_cast<u16>(where)) << 16) | code; }

TEST_F(StrFormatTest, Conversions) {
  EXPECT_EQ(S(StrFormatV(384, "%d|%i|%u", -5, 7, 9u)), "-5|7|9");
  EXPECT_EQ(S(StrFormatV(384, "%02d:%04d:%-4d|%+d", 5, -5, 12, 3)), "05:-005:12  |+3");
  EXPECT_EQ(S(StrFormatV(384, "%5s|%-5s|%.2s", "ab", "cd", "xyz")), "   ab|cd   |xy");
  EXPECT_EQ(S(StrFormatV(384, "%x %X %04x %c%%", 255, 255, 10, 'q')), "ff FF 000a q%");
  EXPECT_EQ(S(StrFormatV(384, "%lld %ld %u", i64{-9000000000}, i64{1} << 40, -1)),
            "-9000000000 1099511627776 4294967295");
  EXPECT_EQ(S(StrFormatV(384, "%hd %.0d|%.3d", 70000, 0, 7)), "4464 |007");
  EXPECT_EQ(S(StrFormatV(384, "<%s>", StrMake("a\0b", 3))).size(), 5u);
  EXPECT_EQ(S(StrFormatV(384, "%s.html", StrMake("index", 5))), "index.html");
}

TEST_F(StrFormatTest, TakesDataFormatsLiterally) {
  // Unknown conversions and conversions without an argument stay as written.
  EXPECT_EQ(S(StrFormatV(384, "%n %f %p %s", "x")), "%n %f %p x");
  EXPECT_EQ(S(StrFormatV(384, "/fail%s?l=%s", "fr")), "/failfr?l=%s");
  EXPECT_EQ(S(StrFormatV(384, "100% sure, 50%")), "100% sure, 50%");
  EXPECT_EQ(S(StrFormatV(384, "%*d", 5)), "%*d");
  EXPECT_EQ(S(StrFormatV(384, "%s", StrErrorSlice(145))), "");
}

TEST_F(StrFormatTest, RefusesTooLongResult) {
  WorkMarkId before = WorkMark(kMarkQuery);
  EXPECT_EQ(StrError(StrFormatV(3, "%d", 1234)), kErrStringTooLong);
  EXPECT_EQ(WorkMark(kMarkQuery), before);
  EXPECT_EQ(ErrGet(), Recorded(kWhereFormat, kErrStringTooLong));
  EXPECT_EQ(S(StrFormatV(4, "%d", 1234)), "1234");
  // Huge widths are measured, not written.
  EXPECT_EQ(StrError(StrFormatV(384, "%99999999d", 1)), kErrStringTooLong);
  EXPECT_EQ(StrFormatV(0xFFFF, "%65535d", 1).len, 65535);
  EXPECT_EQ(StrError(StrFormatV(0xFFFF, "x%65535d", 1)), kErrStringTooLong);
}

}  // namespace
}  // namespace vk
