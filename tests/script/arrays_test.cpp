#include "script/arrays.h"

#include "interp_fixture.h"
#include "runtime/varstore.h"

using namespace vk;

namespace {

using ArrayTest = InterpTest;

// Reading a text array that does not exist creates it from the text in its
// index list, whose trailing numbers are the bounds; the text must still be
// on the argument group when the array is made, and the enclosing call's
// arguments must stay its own.
TEST_F(ArrayTest, TextArraysAreCreatedFromTheirIndexList) {
  const u16 args = StoreCount(kGroupFuncArgs);
  const struct {
    const char* expr;
    const char* text;
  } steps[] = {
      {"TX$(\"hello\",3)", "hello"},  // element size 5, every element "hello"
      {"TX$(0,1)=\"ab\"", "ab"},
      {"TX$(0,1)", "abllo"},
      {"TX$(0,3)", "hello"},
      {"FN$CHNG(\"abcabc\",\"a\",TY$(\"zz\",1))", "zzbczzbc"},
      {"FN$CHNG(\"abcabc\",\"a\",TY$(\"no\",1))", "zzbczzbc"},  // exists now: the text is no element
  };
  for (const auto& s : steps) {
    EXPECT_EQ(Text(s.expr), s.text) << s.expr;
    EXPECT_EQ(StoreCount(kGroupFuncArgs), args) << s.expr;
  }
}

}  // namespace
