#include "runtime/list.h"

#include <string>
#include <vector>

#include "runtime/error.h"
#include "runtime/scratch.h"
#include "runtime_fixture.h"

using namespace vk;

namespace {

struct ListTest : RuntimeTest {
  // ListItemSet's result as a string; the stack must have grown by one entry.
  std::string Set(const char* list, const char* item, i16 k) {
    const WorkMarkId before = WorkMark(kMarkQuery);
    const u16 rc = ListItemSet(L(list), L(item), ',', k);
    if (rc != 0) return "<" + std::to_string(rc) + ">";
    EXPECT_EQ(WorkMark(kMarkQuery), before + 1);
    return S(WorkTop());
  }
};

TEST_F(ListTest, CountsAndItems) {
  EXPECT_EQ(ListCount(L(""), ','), 0);
  EXPECT_EQ(ListCount(L("a"), ','), 1);
  EXPECT_EQ(ListCount(L("a,"), ','), 2);
  EXPECT_EQ(ListCount(L(","), ','), 2);
  EXPECT_EQ(ListCount(L("'x,y',z"), ','), 2);
  EXPECT_EQ(S(ListItem(L("'x,y',z"), ',', 1)), "'x,y'");
  EXPECT_EQ(S(ListItem(L("a,,c"), ',', 2)), "");
  EXPECT_EQ(S(ListItem(L("a,,c"), ',', 3)), "c");
  u16 off = 0, len = 0;
  ListItemLocate(L("a,,c"), ',', 4, &off, &len);
  EXPECT_EQ(off, 4);
  EXPECT_EQ(len, 0);
  // With the NUL separator quotes mean nothing.
  const StrSlice nul{"'a\0b'", 5};
  EXPECT_EQ(ListCount(nul, '\0'), 2);
  EXPECT_EQ(S(ListItem(nul, '\0', 2)), "b'");
}

TEST_F(ListTest, FindMatchesWholeItemsExactly) {
  EXPECT_EQ(ListFind(L("EN,ES,FR,DE,IT"), L("ES"), ','), 2);
  EXPECT_EQ(ListFind(L("EN,ES,FR,DE,IT"), L("es"), ','), 0);
  EXPECT_EQ(ListFind(L("EN,ES,FR,DE,IT"), L("E"), ','), 0);
  EXPECT_EQ(ListFind(L("YES,SI,Y,S,ON"), L("Y"), ','), 3);
  // Empty items are found where they are, and only there.
  EXPECT_EQ(ListFind(L("a,,b"), L(""), ','), 2);
  EXPECT_EQ(ListFind(L("a,"), L(""), ','), 2);
  EXPECT_EQ(ListFind(L(""), L(""), ','), 0);
}

TEST_F(ListTest, ItemSetReplacesAppendsAndDeletes) {
  EXPECT_EQ(Set("a,b,c", "XY", 2), "a,XY,c");
  EXPECT_EQ(Set("a", "z", 5), "a,,,,z");
  EXPECT_EQ(Set("a,b", "z", 0), "a,b,z");
  EXPECT_EQ(Set("", "z", 0), "z");
  EXPECT_EQ(Set("", "z", 2), ",z");
  EXPECT_EQ(Set("a,b,c", "ignored", -2), "a,c");
  EXPECT_EQ(Set("a,b,c", "", -1), "b,c");
  EXPECT_EQ(Set("a,b,c", "", -3), "a,b");
  EXPECT_EQ(Set("a", "", -1), "");
  EXPECT_EQ(Set("a,b", "", -5), "a,b");
}

TEST_F(ListTest, ItemSetIsSafeWithReleasedSourcesAndRefusesOverlongLists) {
  // The list was released just before the call: its bytes lie exactly where
  // the result goes.
  const WorkMarkId mark = WorkMark(kMarkQuery);
  ASSERT_EQ(WorkPush("a,b,c", 5), 0);
  const StrSlice released = WorkTop();
  WorkMark(mark);
  ASSERT_EQ(ListItemSet(released, L("longer item"), ',', 1), 0);
  EXPECT_EQ(S(WorkTop()), "longer item,b,c");
  EXPECT_EQ(WorkMark(kMarkQuery), mark + 1);
  WorkMark(mark);

  const std::string big(65000, 'x');
  EXPECT_EQ(ListItemSet(L(big.c_str()), L("y"), ',', 1000), kErrStringTooLong);
  EXPECT_EQ(WorkMark(kMarkQuery), mark);
}

TEST_F(ListTest, WidthValueAndRanges) {
  EXPECT_EQ(ListItemWidth(L("'abc',de,f"), ',', kWidthLongest), 3);
  EXPECT_EQ(ListItemWidth(L("'abc',de,f"), ',', kWidthShortest), 1);
  EXPECT_EQ(ListItemValue(L("x, 12 ,on"), ',', 2), 12);
  EXPECT_EQ(ListItemValue(L("x, 12 ,on"), ',', 3), 1);
  const WorkMarkId mark = WorkMark(kMarkQuery);
  EXPECT_TRUE(ListRangeHas(L("10-20"), 10));
  EXPECT_TRUE(ListRangeHas(L("10-20"), 20));
  EXPECT_FALSE(ListRangeHas(L("10-20"), 21));
  EXPECT_TRUE(ListRangeHas(L("7"), 7));
  EXPECT_FALSE(ListRangeHas(L("7"), 8));
  EXPECT_EQ(ListFindRange(L("1-5,10-20,30"), 15), 2);
  EXPECT_EQ(ListFindRange(L("1-5,10-20,30"), 6), 0);
  EXPECT_EQ(WorkMark(kMarkQuery), mark);
}

TEST_F(ListTest, JoinPutsTheSeparatorOnlyBetweenTwoTexts) {
  EXPECT_EQ(S(StrJoin(L("a"), L(", "), L("b"))), "a, b");
  EXPECT_EQ(S(StrJoin(L(""), L(", "), L("b"))), "b");
  EXPECT_EQ(S(StrKeyJoin(L("k"), L("v"))), "k=v");
  EXPECT_EQ(StrError(StrKeyJoin(L("k"), L(""))), kErrData);
}

TEST_F(ListTest, ParametersAreFoundAtKeyBoundaries) {
  const StrSlice page = L("TITLE='My page' X=1");
  EXPECT_EQ(S(StrGetParam(page, L("TITLE"))), "My page");
  EXPECT_EQ(S(StrGetParam(page, L("X"))), "1");
  EXPECT_EQ(S(StrGetParam(page, L("Z"))), "");
  EXPECT_EQ(S(StrGetParam(L("lang=es&x=1"), L("lang"))), "ES");
  EXPECT_EQ(S(StrGetParam(L("A=1 A:2"), L("A"))), "2");
  const StrSlice text = L("X=1 NAME='a b' Y:2");
  EXPECT_EQ(S(StrGetParamEx(text, L("NAME"), kParamAsIs)), "'a b'");
  EXPECT_EQ(S(StrGetParamEx(text, L("NAME"), kParamUnquote)), "a b");
  EXPECT_EQ(S(StrGetParam(text, L("AME"))), "");
  u16 off = 0, len = 0;
  StrKeyFind(L("P=/x"), L("P"), kParamAsIs, &off, &len);
  EXPECT_EQ(off, 2);
  EXPECT_EQ(len, 0);
  // NUL mode: only a NUL separates pairs, and blanks belong to the value.
  const StrSlice nul{"A=x y\0B='b c'\0", 14};
  EXPECT_EQ(S(StrGetParamEx(nul, L("A"), kParamNul)), "x y");
  EXPECT_EQ(S(StrGetParamEx(nul, L("B"), kParamNul | kParamUnquote)), "b c");
  EXPECT_EQ(S(StrGetParamEx(L("Q=1 B=2"), L("B"), kParamNul)), "");
}

// The key index must answer every look-up exactly as the scan does: the
// first place, ':' pairs before '=' pairs, key boundaries, quoted stretches
// (also unclosed ones), letter case and quotes of the value. Checked on
// chosen texts and on many small texts over the bytes that matter.
TEST_F(ListTest, KeyIndexAnswersAsTheScan) {
  std::vector<std::string> texts = {
      "USER=ann:ROLE:admin", "a=1 a:2", "xa:1 a=2", "'a:1' a:2", "\"a:'\" a:3", "a:'b c' b=\"q\"",
      "a='x", "k:v/a:w&b=z", "p0=\"Page 0 en\":s0ss1=\"Sub 1\"", "A:up a:low", ":=:a", "a=:b=c:"};
  u32 seed = 12345;
  const char alphabet[] = "ab:= '\"&/A";
  for (int i = 0; i < 400; ++i) {
    std::string t;
    seed = seed * 1103515245u + 12345u;
    const u32 n = (seed >> 16) % 20;
    for (u32 k = 0; k < n; ++k) {
      seed = seed * 1103515245u + 12345u;
      t += alphabet[(seed >> 16) % (sizeof alphabet - 1)];
    }
    texts.push_back(t);
  }
  const char* keys[] = {"", "a", "b", "ab", "ba", "A", "aa", "'a", "a:", "ROLE", "USER", "p0", "s0ss1", "x"};
  for (const std::string& t : texts) {
    const StrSlice text{t.data(), static_cast<u16>(t.size())};
    StrKeyIndexBuild(text);
    for (const char* key : keys) {
      for (const u16 flags : {kParamAsIs, kParamUnquote, kParamNormalize}) {
        const WorkMarkId m = WorkMark(kMarkQuery);
        const std::string want = S(StrGetParamEx(text, L(key), flags));
        EXPECT_EQ(S(StrKeyIndexGet(text, L(key), flags)), want) << "text [" << t << "] key [" << key << "]";
        WorkMark(m);
      }
    }
  }
}

TEST_F(ListTest, KeyValuePushUnquotesUnlessTheKeyHasAPercent) {
  EXPECT_EQ(StrKeyValuePush(L("K='v w' %P%='q'"), L("K")), 0);
  EXPECT_EQ(S(WorkTop()), "v w");
  EXPECT_EQ(StrKeyValuePush(L("K='v w' %P%='q'"), L("%P%")), 0);
  EXPECT_EQ(S(WorkTop()), "'q'");
  EXPECT_EQ(StrKeyValuePush(L("K=1"), L("J")), kNotFound);
}

}  // namespace
