#include "html/request.h"

#include <string>

#include "html/render.h"
#include "runtime/appenv.h"
#include "runtime/error.h"
#include "runtime/varstore.h"
#include "html_capture.h"

using namespace vk;

namespace {

struct RequestTest : HtmlCaptureTest {
  static void CmdLine(const char* line) { ASSERT_EQ(StoreSet(kGroupIdentity, kIdCommandLine, L(line)), 0); }
  static void Id(u16 entry, const char* text) { ASSERT_EQ(StoreSet(kGroupIdentity, entry, L(text)), 0); }
  static std::string Param(const char* name) { return S(CmdLineParam(L(name))); }
  static std::string Cgi(const char* name) { return S(CgiParam(L(name))); }
};

TEST_F(RequestTest, QuotedAndUnquotedValues) {
  CmdLine("\\bin\\vk user='Ann' name=bob x=a/b blank=' a b ' n:7");
  EXPECT_EQ(Param("user"), "Ann");    // quoted: case kept
  EXPECT_EQ(Param("name"), "BOB");    // unquoted: upper-cased
  EXPECT_EQ(Param("x"), "A");         // an unquoted value ends at '/'
  EXPECT_EQ(Param("blank"), " a b "); // the quotes keep the blanks
  EXPECT_EQ(Param("n"), "7");
  EXPECT_EQ(Param(""), "");
}

TEST_F(RequestTest, RetryInTheOtherLetterCase) {
  CmdLine("prog USER=x low=y Mixed=m \xE9t=1");
  EXPECT_EQ(Param("user"), "X");   // lower-case name finds the upper-case key
  EXPECT_EQ(Param("LOW"), "Y");    // and the other way round
  EXPECT_EQ(Param("mixed"), "");   // retried as MIXED only
  EXPECT_EQ(Param("MIXED"), "");   // retried as mixed only
  // A first byte of 0x80 or more counts as below 'a': the retry lowers.
  EXPECT_EQ(Param("\xE9T"), "1");
}

TEST_F(RequestTest, SlashesTurnedForPageAndPathNames) {
  CmdLine("prog failpage='a/b/c.html' other='a/b' htmlpath='x/y' Page='p/q'");
  EXPECT_EQ(Cgi("failpage"), "a\\b\\c.html");
  EXPECT_EQ(Cgi("htmlpath"), "x\\y");
  EXPECT_EQ(Cgi("other"), "a/b");
  EXPECT_EQ(Param("failpage"), "a/b/c.html");  // only CgiParam turns them
  EXPECT_EQ(Cgi("Page"), "p/q");               // the test is case-sensitive
}

TEST_F(RequestTest, PageAndDocumentPaths) {
  CmdLine("prog");
  EXPECT_EQ(S(CgiHtmlPath(L("p.html"))), "p.html");  // empty base
  Id(kIdDefaultFolder, "\\srv\\site");
  Id(kIdDocsFolder, "docs");
  EXPECT_EQ(S(CgiHtmlPath(L("p.html"))), "\\srv\\site\\docs\\p.html");
  EXPECT_EQ(S(CgiHtmlPath(L("\\abs\\p.html"))), "\\abs\\p.html");
  CmdLine("prog htmlpath='../pub/html'");
  EXPECT_EQ(S(CgiHtmlPath(L("p.html"))), "\\srv\\pub\\html\\p.html");
  EXPECT_EQ(S(CgiDocPath(L("a\\b.txt"))), "\\srv\\site\\a\\b.txt");
}

// The echo flag is read once per process; each test runs in its own.
TEST_F(RequestTest, EchoOneWritesTheLine) {
  CmdLine("prog echo=1");
  EXPECT_EQ(HtmlEchoFlag(), kEchoUnread);
  EXPECT_EQ(HtmlEcho(L("abc")), 1);
  EXPECT_EQ(HtmlEcho(L("")), 1);
  EXPECT_EQ(Taken(), "<--abc--><br>\n<----><br>\n");
}

TEST_F(RequestTest, EchoTwoWritesNothing) {
  CmdLine("prog echo=2");
  EXPECT_EQ(HtmlEcho(L("abc")), 2);
  EXPECT_EQ(Taken(), "");
}

TEST_F(RequestTest, EchoIsReadOnce) {
  CmdLine("prog");
  EXPECT_EQ(HtmlEcho(L("abc")), 0);
  EXPECT_EQ(HtmlEchoFlag(), 0);
  CmdLine("prog echo=1");
  EXPECT_EQ(HtmlEcho(L("abc")), 0);
  EXPECT_EQ(Taken(), "");
}

TEST_F(RequestTest, MacroContextWithAKeywordList) {
  const StrSlice macros = L("TITLE=Home:LANG=en");
  const StrSlice words = L("MENU,LANG,CURBRANCH");
  MacroContext c{};
  const MacroContext r = MacroContextInit(&c, macros, words, nullptr);
  EXPECT_EQ(S(MacroContextMacros(c)), "TITLE=Home:LANG=en");
  EXPECT_EQ(S(MacroContextKeywords(r)), "MENU,LANG,CURBRANCH");

  MacroKeyword k = MacroKeywordOf(words, L("LANG (a,b)"));
  EXPECT_EQ(k.index, 2);
  EXPECT_EQ(k.status, 0);
  EXPECT_EQ(S(k.args), "a,b");
  k = MacroKeywordOf(words, L("lang(a)"));  // names match case-sensitively
  EXPECT_EQ(k.index, 0);
  k = MacroKeywordOf(L("f"), L("f(a(b)c)"));  // first '(' to last ')'
  EXPECT_EQ(k.index, 1);
  EXPECT_EQ(S(k.args), "a(b)c");
  k = MacroKeywordOf(words, L("MENU(x"));
  EXPECT_EQ(k.index, 1);
  EXPECT_EQ(k.status, kErrSyntax);
  EXPECT_EQ(S(k.args), "x");
  EXPECT_EQ(MacroKeywordOf(L("a,,b"), L("")).index, 0);  // no empty name
  EXPECT_EQ(MacroKeywordOf(L("a,,b"), L(" (x)")).index, 0);
}

TEST_F(RequestTest, MacroContextWithCharacterCodes) {
  const StrSlice codes = L("\xC7" "ab");
  const MacroContext r = MacroContextInit(nullptr, L(""), codes, nullptr);
  EXPECT_EQ(r.keywords_len, 3u);
  MacroKeyword k = MacroKeywordOf(codes, L("bxyz"));
  EXPECT_EQ(k.index, 2);
  EXPECT_EQ(S(k.args), "xyz");
  EXPECT_EQ(MacroKeywordOf(codes, L("zq")).index, 0);
  // Without the marker the same letters are a comma list of one name.
  EXPECT_EQ(MacroKeywordOf(L("ab"), L("bxyz")).index, 0);
}

}  // namespace
