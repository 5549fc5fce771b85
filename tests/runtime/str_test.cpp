#include "runtime/str.h"

#include <string>

#include "runtime/error.h"
#include "runtime/scratch.h"
#include "runtime_fixture.h"

namespace vk {
namespace {

using StrTest = RuntimeTest;

u32 Recorded(i16 where, u16 code) { return (static_cast<u32>(static_cast<u16>(where)) << 16) | code; }

TEST_F(StrTest, ErrorSlicesAndMaking) {
  EXPECT_EQ(StrError(StrSlice{nullptr, 0}), kFailed);
  EXPECT_EQ(StrError(StrSlice{nullptr, 146}), 146);
  EXPECT_EQ(StrError(L("")), 0);
  EXPECT_EQ(StrError(StrC(nullptr)), kErrData);
  // An error slice is not empty for StrOr; an empty text is.
  EXPECT_EQ(StrError(StrOr(StrErrorSlice(145), L("b"))), 145);
  EXPECT_EQ(S(StrOr(L(""), L("b"))), "b");
  EXPECT_EQ(S(StrChar('\xFF')), "\xFF");
  EXPECT_STREQ(StrToC(StrErrorSlice(145)), "");
  EXPECT_STREQ(StrToC(StrMake("abcdef", 3)), "abc");
}

TEST_F(StrTest, Compare) {
  EXPECT_EQ(StrCompare(L("AB"), L("ABC")), -1);
  EXPECT_EQ(StrCompare(L("abc"), L("ABC")), 1);
  EXPECT_EQ(StrCompare(L(""), L("")), 0);
  EXPECT_EQ(StrCompare(L("\xE9"), L("z")), 1);  // bytes compare unsigned
  EXPECT_EQ(StrCompare(StrErrorSlice(145), L("a")), kErrStrOutBound);
}

TEST_F(StrTest, MidCountsNegativeStartsFromTheEnd) {
  EXPECT_EQ(S(StrMid(L("abcdef"), -2, 1)), "ef");
  EXPECT_EQ(S(StrMid(L("abcdef"), -10, 2)), "abcdef");
  EXPECT_EQ(S(StrMid(L("abc"), 5, 2)), "");
  EXPECT_EQ(S(StrMid(L("abc"), 1, 0xFFFF)), "bc");
  EXPECT_EQ(S(StrMid(L("abc"), 1, 1)), "b");
  // 32768 read as a signed position counts from the end (floored at 0).
  EXPECT_EQ(S(StrMid(L("abc"), static_cast<i16>(0x8000), 1)), "abc");
  EXPECT_EQ(StrError(StrMid(StrErrorSlice(146), 0, 1)), 146);
}

TEST_F(StrTest, PlainAndQuoteAwareSearches) {
  StrSlice t = L("a'b,c',d");
  EXPECT_EQ(StrFindChar(t, ',', kQuoteAware), 6);
  EXPECT_EQ(StrFindChar(t, ',', kPlain), 3);
  EXPECT_EQ(StrFindChar(t, '\'', kQuoteAware), kNotFound);
  // The quote state counts from the start position.
  EXPECT_EQ(StrFindCharFrom(t, 2, ',', kQuoteAware), 3);
  // An unclosed quote hides the rest.
  EXPECT_EQ(StrFindChar(L("a\"b,c"), ',', kQuoteAware), kNotFound);
  EXPECT_EQ(StrFindChar(L("abc"), 'c', kPlain), 2);
  EXPECT_EQ(StrFindCharFrom(L("abc"), 3, 'c', kPlain), kNotFound);
  EXPECT_EQ(StrFindChar(StrErrorSlice(145), 'a', kPlain), kNotFound);

  EXPECT_EQ(StrFind(L("x'ab'ab"), L("ab"), kQuoteAware), 5);
  EXPECT_EQ(StrFind(L("x'ab'ab"), L("ab"), kPlain), 2);
  EXPECT_EQ(StrFind(L("aab"), L("ab"), kPlain), 1);
  EXPECT_EQ(StrFind(L("ab"), L("abc"), kPlain), kNotFound);
  EXPECT_EQ(StrFindAny(L("x;y,z"), L(",;"), kPlain), 1);
  EXPECT_EQ(StrFindAny(L("'a;'b,"), L(",;"), kQuoteAware), 5);

  EXPECT_EQ(StrFindLastChar(L("a,b,'c,'"), ',', kQuoteAware), 3);
  EXPECT_EQ(StrFindLastChar(L("a,b,'c,'"), ',', kPlain), 6);
  EXPECT_EQ(StrFindLastAny(L("a;b,c;d"), L(",;"), kPlain), 5);
  EXPECT_EQ(StrFindLast(L("abab'ab'"), L("ab"), kQuoteAware, kFindSubstr), 2);
  EXPECT_EQ(StrCount(L("aaaa"), L("aa"), kPlain), 2);
  EXPECT_EQ(StrCount(L("a,'a',a"), L("a"), kQuoteAware), 2);
}

TEST_F(StrTest, EmptyPatternIsNeverFound) {
  EXPECT_EQ(StrFind(L("abc"), L(""), kPlain), kNotFound);
  EXPECT_EQ(StrFind(L(""), L(""), kQuoteAware), kNotFound);
  EXPECT_EQ(StrCount(L("abc"), L(""), kPlain), 0);
  EXPECT_EQ(StrFindLast(L("abc"), L(""), kPlain, kFindSubstr), kNotFound);
  EXPECT_EQ(S(StrReplace(L("abc"), L(""), L("x"), kPlain)), "abc");
}

TEST_F(StrTest, BracketsAndPairs) {
  EXPECT_EQ(StrPartner('('), ')');
  EXPECT_EQ(StrPartner('%'), '%');
  EXPECT_TRUE(StrIsEnclosed(L("[x]"), '['));
  EXPECT_FALSE(StrIsEnclosed(L("["), '['));
  EXPECT_EQ(S(StrBetween(L("f(a(b)c)d"), '(', kPlain)), "a(b)c");
  EXPECT_EQ(S(StrBetween(L("%HOME%\\x"), '%', kPlain)), "HOME");
  EXPECT_EQ(S(StrBetween(L("%HOME"), '%', kPlain)), "");
  EXPECT_EQ(S(StrBetween(L("f(a(b"), '(', kPlain)), "");

  u16 off = 0, len = 0;
  StrFindPair(L("[a[b]c]"), kPlain, '[', ']', &off, &len);
  EXPECT_EQ(off, 3);
  EXPECT_EQ(len, 1);
  StrFindPair(L("a]b[cd]"), kPlain, '[', ']', &off, &len);
  EXPECT_EQ(off, 4);
  EXPECT_EQ(len, 2);
  StrFindPair(L("a]b"), kPlain, '[', ']', &off, &len);
  EXPECT_EQ(off, kNotFound);
}

TEST_F(StrTest, TrimUnquoteNormalize) {
  EXPECT_EQ(S(StrTrim(L(" \tab \t"), kTrimBoth)), "ab");
  EXPECT_EQ(S(StrTrim(L("  ab  "), kTrimLeft)), "ab  ");
  EXPECT_EQ(S(StrTrimSet(L("xxaxx"), kTrimRight, L("x"))), "xxa");
  EXPECT_EQ(S(StrUnquote(L("'ab'"))), "ab");
  EXPECT_EQ(S(StrUnquote(L("'ab\""))), "'ab\"");
  EXPECT_EQ(S(StrUnquote(L("'"))), "'");

  EXPECT_EQ(S(StrNormalize(L("abc"))), "ABC");
  EXPECT_EQ(S(StrNormalize(L(" x "))), "x");
  EXPECT_EQ(S(StrNormalize(L("'x'"))), "x");
  EXPECT_EQ(S(StrNormalize(L(" 'a b' "))), "a b");
  EXPECT_EQ(S(StrCase(L("aZ\xE9-1"), kLower)), "az\xE9-1");
}

TEST_F(StrTest, EncloseQuoteOverwritePutAt) {
  EXPECT_EQ(S(StrEnclose(L("x"), '(')), "(x)");
  EXPECT_EQ(S(StrQuote(L("abc"), '\'')), "'abc'");
  EXPECT_EQ(S(StrQuote(L("it's"), '\'')), "\"it's\"");
  EXPECT_EQ(S(StrQuote(L("say \"hi\""), '"')), "'say \"hi\"'");
  EXPECT_EQ(StrError(StrQuote(L("it's \"x\""), '\'')), kErrData);

  EXPECT_EQ(S(StrOverwrite(L("abcdef"), 4, L("XYZ"))), "abcdXY");
  EXPECT_EQ(S(StrOverwrite(L("abc"), 9, L("X"))), "abc");

  char buf[] = "abcdef";
  EXPECT_EQ(StrPutAt(StrMake(buf, 6), -2, L("XYZ")), 0);
  EXPECT_STREQ(buf, "abcdXY");
  EXPECT_EQ(StrPutAt(StrMake(buf, 6), -20, L("Q")), 0);
  EXPECT_STREQ(buf, "QbcdXY");
  char raw[8] = "ab";
  EXPECT_EQ(S(StrAppendRaw(L("cd"), raw, 2)), "abcd");
}

TEST_F(StrTest, ReplaceFamily) {
  EXPECT_EQ(S(StrReplace(L("aXa"), L("a"), L("bb"), kPlain)), "bbXbb");
  EXPECT_EQ(S(StrReplace(L("a'a'a"), L("a"), L("b"), kQuoteAware)), "b'a'b");
  EXPECT_EQ(S(StrReplace(L("aaa"), L("aa"), L(""), kPlain)), "a");
  // A quote pattern is always replaced plainly.
  EXPECT_EQ(S(StrReplace(L("it's"), L("'"), L("''"), kQuoteAware)), "it''s");

  WorkMarkId before = WorkMark(kMarkQuery);
  EXPECT_EQ(S(StrReplaceList(L("a-b-c"), L("a,b"), L("1,2"), ',')), "1-2-c");
  EXPECT_EQ(WorkMark(kMarkQuery), before + 1);

  EXPECT_EQ(S(StrSqueeze(L("a,,b,,,c"), ',', kPlain)), "a,b,c");
  EXPECT_EQ(S(StrSqueeze(L("a,,'x,,y',,b"), ',', kQuoteAware)), "a,'x,,y',b");
  EXPECT_EQ(S(StrKeepChars(L("a1b2c3"), L("0123456789"))), "123");
  EXPECT_EQ(S(StrTranslate(L("a-b_c"), "-_", "  ")), "a b c");
}

TEST_F(StrTest, MapChunksStaysInsideItsLists) {
  EXPECT_EQ(S(StrMapChunks(L("&lt;b&gt;"), L("&lt;&gt;"), L("<>"))), "<b>");
  // Width 2 with a table longer than 2 * 3 bytes: the spare "g" is no chunk.
  EXPECT_EQ(S(StrMapChunks(L("abcdefg"), L("abcdefg"), L("XYZ"))), "XYZg");
  // Width 0: nothing to replace, and no endless loop.
  EXPECT_EQ(S(StrMapChunks(L("abc"), L("a"), L("XY"))), "abc");
  EXPECT_EQ(S(StrMapChunks(L("abc"), L("ab"), L(""))), "abc");
}

TEST_F(StrTest, LongResultsAreRefusedNotWrapped) {
  std::string big(65535, 'x');
  StrSlice b = StrMake(big.data(), static_cast<u32>(big.size()));
  WorkMarkId before = WorkMark(kMarkQuery);
  EXPECT_EQ(StrReplacePush(b, L("x"), L("yy"), kPlain), kErrStringTooLong);
  EXPECT_EQ(ErrGet(), Recorded(kWhereReplace, kErrMemTest));
  EXPECT_EQ(StrError(StrRepeat(L("ab"), 40000)), kErrStringTooLong);
  EXPECT_EQ(StrError(StrConcat(b, b)), kErrStringTooLong);
  EXPECT_EQ(StrError(StrEnclose(StrMake(big.data(), 65534), '(')), kErrStringTooLong);
  EXPECT_EQ(WorkMark(kMarkQuery), before);  // nothing was pushed

  EXPECT_EQ(StrRepeat(L("ab"), 32767).len, 65534);
  WorkMark(before);
  EXPECT_EQ(StrEnclose(StrMake(big.data(), 65533), '(').len, 65535);
}

TEST_F(StrTest, ValuesAndYesWords) {
  WorkMarkId before = WorkMark(kMarkQuery);
  EXPECT_EQ(StrValue(L("on")), 1);
  EXPECT_EQ(StrValue(L("Si")), 1);
  EXPECT_EQ(StrValue(L(" yes")), 0);
  EXPECT_EQ(StrValue(L("12abc")), 12);
  EXPECT_EQ(StrValue(L(" \t-3")), 0xFFFD);
  EXPECT_EQ(StrValue(L("70000")), 4464);
  EXPECT_EQ(StrValue(L("")), 0);
  EXPECT_FALSE(StrIsYes(L("YE")));
  EXPECT_TRUE(StrIsYes(L("y")));
  EXPECT_EQ(WorkMark(kMarkQuery), before);
}

TEST_F(StrTest, ElementAccess) {
  const u16 words[] = {10, 20, 30};
  EXPECT_EQ(ArrBoundCheck(6, 2, 2), 0);
  EXPECT_EQ(ArrBoundCheck(6, 3, 2), kNotFound);
  EXPECT_EQ(ArrBoundCheck(5, 0, 2), kNotFound);
  EXPECT_EQ(ArrBoundCheck(4, 0, 0), kNotFound);
  EXPECT_EQ(ArrGetU16(words, 6, 1), 20);
  EXPECT_EQ(ArrGetU16(words, 6, 3), 0);
  const StrSlice slices[] = {L("a"), L("bc")};
  EXPECT_EQ(S(ArrGetSlice(slices, sizeof slices, 1)), "bc");
  EXPECT_EQ(StrError(ArrGetSlice(slices, sizeof slices, 2)), kFailed);

  const char recs[] = "aaabbbccc";
  EXPECT_EQ(MemFindRecord(recs, 3, "ccc", 3), 2);
  EXPECT_EQ(MemFindRecord(recs, 3, "abb", 3), kNotFound);
  int x = 0;
  void* slots[] = {&x, nullptr, &x};
  EXPECT_EQ(MemFindZero(slots, 3), 1);
  EXPECT_EQ(MemFindZero(slots, 1), kNotFound);
}

}  // namespace
}  // namespace vk
