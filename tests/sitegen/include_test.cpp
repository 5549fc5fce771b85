#include "sitegen/include.h"

#include <cstdio>
#include <filesystem>
#include <string>

#include "html/output.h"
#include "html/render.h"
#include "page_fixture.h"
#include "runtime/appenv.h"
#include "runtime/error.h"
#include "runtime/file.h"
#include "runtime/scratch.h"
#include "runtime/varstore.h"
#include "script/valtable.h"
#include "sink_capture.h"
#include "sitegen/dispatch.h"
#include "sitegen/sitetext.h"

using namespace vk;

namespace {

// The library started as the application starts it, the current folder a
// temporary one (as the frame page's folder is during a run), a capture
// file as the sink and LF line ends as in a run.
struct IncludeTest : WithSink<SiteLibTest> {
  void SetUp() override {
    WithSink::SetUp();
    if (HasFatalFailure()) return;
    ASSERT_EQ(StoreSet(kGroupIdentity, kIdCommandLine, L("prog")), 0);
    SysVarSet(kSysSystemCompat, kCompatLf);
  }

  static void Remove(const char* name) { std::filesystem::remove(name); }
  // The page being written and the language of the pass.
  static void Page(const char* path) { ASSERT_EQ(StoreSet(kGroupRun, kRunPagePath, L(path)), 0); }
  static void Lang(u16 index) {
    SiteGenLangSet(index);
    ASSERT_EQ(StoreSet(kGroupRun, kRunLangTexts, SiteGenLangSuffix(index)), 0);
  }
  // Renders a frame page with these bytes as the generator does.
  static u16 Render(const std::string& tpl, const char* macros = "") {
    Write("frame.html", tpl);
    MacroContext c{};
    MacroContextInit(&c, L(macros), L(kSiteKeywordList), SiteKwDispatch);
    return HtmlPageRender(L("frame.html"), c);
  }

  static std::string Branch(const char* arg) {
    const WorkMarkId mark = WorkMark(kMarkQuery);
    const std::string s = S(SiteGenBranchLevel(L(arg)));
    WorkMark(mark);
    return s;
  }
  static std::string Found(const char* arg) {
    const WorkMarkId mark = WorkMark(kMarkQuery);
    const std::string s = S(SiteGenFindSubTemplate(L(arg), L("sub.html")));
    WorkMark(mark);
    return s;
  }
  // The slot the next opened file gets.
  static i16 NextSlot() {
    Write("probe", "x");
    const i16 slot = FileOpen(L("probe"), kOpenNoUpdate | kOpenQuiet);
    EXPECT_EQ(FileClose(static_cast<u16>(slot)), static_cast<u16>(slot));
    return slot;
  }
};

TEST_F(IncludeTest, BranchNamesFromLevels) {
  Page("products\\tools\\hammer");
  EXPECT_EQ(Branch(""), "products_tools_hammer");
  EXPECT_EQ(Branch(" "), "products_tools_hammer");
  EXPECT_EQ(Branch("''"), "products_tools_hammer");
  EXPECT_EQ(Branch("'BRANCHLEVEL=1'"), "products");
  EXPECT_EQ(Branch("'BRANCHLEVEL=2'"), "products_tools");
  EXPECT_EQ(Branch("'BRANCHLEVEL=3'"), "products_tools_hammer");
  // A plain name, level 0 and a level deeper than the page are the value.
  EXPECT_EQ(Branch("'footer'"), "footer");
  EXPECT_EQ(Branch("'BRANCHLEVEL=0'"), "BRANCHLEVEL=0");
  EXPECT_EQ(Branch("'BRANCHLEVEL=4'"), "BRANCHLEVEL=4");
  EXPECT_EQ(Branch("1+"), "<error>");

  // An apostrophe in a page name does not hide the separators after it.
  Page("l'offre\\tarifs\\2024");
  EXPECT_EQ(Branch("'BRANCHLEVEL=2'"), "l'offre_tarifs");
  Page("");
  EXPECT_EQ(Branch(""), "");
}

TEST_F(IncludeTest, SubTemplateSearchClimbsThePagePath) {
  Page("products\\tools\\hammer");
  Write("products.sub.html", "");
  Write("products_tools.sub.html", "");
  EXPECT_EQ(Found(""), "products_tools");
  Remove("products_tools.sub.html");
  EXPECT_EQ(Found(""), "products");
  Remove("products.sub.html");
  EXPECT_EQ(Found(""), "products_tools_hammer");
  // No search with a level or a name.
  Write("products_tools.sub.html", "");
  EXPECT_EQ(Found("'BRANCHLEVEL=1'"), "products");
  EXPECT_EQ(Found("'footer'"), "footer");
}

TEST_F(IncludeTest, IncludeRendersTheNearestSubTemplateWithThePageValues) {
  Page("products\\tools\\hammer");
  Lang(3);
  Write("products.sub.html", "P[X]\n");
  Write("products_tools.sub.html", "T[X] [LANG_ID]\n");
  Write("footer.sub.html", "F\n");
  const std::string tpl = "a[INCLUDE()]b\n[INCLUDE('BRANCHLEVEL=1')]\n[INCLUDE('footer')]\n";
  EXPECT_EQ(Render(tpl, "X=1"), 0);
  EXPECT_EQ(Taken(), "aT1 _fr\nb\nP1\n\nF\n\n");

  // Missing sub-templates write nothing and leave the page going.
  Remove("products.sub.html");
  Remove("footer.sub.html");
  EXPECT_EQ(Render(tpl, "X=1"), 0);
  EXPECT_EQ(Taken(), "aT1 _fr\nb\n\n\n");
}

TEST_F(IncludeTest, SelfIncludeFallsBackToIndexOnce) {
  Page("products\\tools\\hammer");
  Write("products_tools.sub.html", "<[INCLUDE()]>\n");
  EXPECT_EQ(Render("[INCLUDE()]\n"), 0);
  EXPECT_EQ(Taken(), "<>\n\n");

  // The index sub-template including itself again stops there, even when
  // a further index sub-template exists.
  Write("products_tools_index.sub.html", "i[INCLUDE()]\n");
  Write("products_tools_index_index.sub.html", "!\n");
  EXPECT_EQ(Render("[INCLUDE()]\n"), 0);
  EXPECT_EQ(Taken(), "<i\n>\n\n");
  // The list of enclosing includes is empty again for the next page.
  EXPECT_EQ(Render("[INCLUDE()]\n"), 0);
  EXPECT_EQ(Taken(), "<i\n>\n\n");

  // Two sub-templates including each other: each name gets one extra level.
  Page("a");
  Write("a.sub.html", "A[INCLUDE('b')]\n");
  Write("b.sub.html", "B[INCLUDE('a')]\n");
  EXPECT_EQ(Render("[INCLUDE()]\n"), 0);
  EXPECT_EQ(Taken(), "AB\n\n\n");
}

TEST_F(IncludeTest, EmptyOrFailingSubTemplatesLeakNothing) {
  Page("news");
  Write("empty.sub.html", "");
  Write("fails.sub.html", "x[1+]y\n");
  const i16 slot = NextSlot();

  EXPECT_EQ(Render("a[INCLUDE('empty')]b\n"), 0);
  EXPECT_EQ(Taken(), "ab\n");
  EXPECT_EQ(StoreCount(kGroupTemplateLines), 0);

  // The sub-template's error ends the page; its text stops at the field.
  const u16 rc = Render("a[INCLUDE('fails')]b\nc\n");
  EXPECT_GE(rc, kFirstError);
  EXPECT_NE(rc, kErrDiskIO);
  EXPECT_EQ(Taken(), "a");
  EXPECT_EQ(StoreCount(kGroupTemplateLines), 0);
  EXPECT_EQ(NextSlot(), slot);

  // More failing and empty includes than there are file slots.
  for (int i = 0; i < 50; ++i) {
    ASSERT_EQ(Render("[INCLUDE('empty')][INCLUDE('empty')]\n"), 0);
    ASSERT_GE(Render("[INCLUDE('fails')]\n"), kFirstError);
  }
  EXPECT_EQ(NextSlot(), slot);
  EXPECT_EQ(StoreCount(kGroupTemplateLines), 0);

  // An argument that cannot be evaluated ends the page too.
  Taken();
  EXPECT_GE(Render("a[INCLUDE(1+)]b\n"), kFirstError);
  EXPECT_GE(Render("a[INCLUDE('empty',1+)]b\n"), kFirstError);
  EXPECT_EQ(Taken(), "aa");
}

TEST_F(IncludeTest, OwnKeywordListsActByPosition) {
  Page("news");
  Lang(3);
  Write("kw.sub.html", "[Z(x)]|[LANG_ID]\n");
  EXPECT_EQ(Render("[INCLUDE('kw','A,B,C,D,E,Z')][LANG_ID]\n", "LANG_ID='plain'"), 0);
  EXPECT_EQ(Taken(), "_fr|plain\n_fr\n");

  // A prefix of the list leaves the later keywords as ordinary fields.
  Write("kw.sub.html", "[LANG('x')]|[LANG_ID]\n");
  EXPECT_EQ(Render("[INCLUDE('kw','MENU,LANG')]\n", "LANG_ID='plain'"), 0);
  EXPECT_EQ(Taken(), "x|plain\n\n");
}

TEST_F(IncludeTest, TextPicksTheLanguageVariantAndTheFallback) {
  Page("news");
  Lang(2);
  Write("news_es.txt", "Hola\r\n");
  Write("news_es.htm", "<b>x</b>");
  Write("news.txt", "plain");
  Write("common_es.txt", "com\xFAn");
  EXPECT_EQ(Render("[TEXT()]|[TEXT(,'htm')]|[TEXT(,,'common')]\n"), 0);
  EXPECT_EQ(Taken(), "Hola<br>|<b>x</b>|Hola<br>\n");

  Remove("news_es.txt");
  EXPECT_EQ(Render("[TEXT(,,'common')]|[TEXT()]|[TEXT(,'doc','common')]\n"), 0);
  EXPECT_EQ(Taken(), "com&uacute;n||\n");

  // Inside a sub-template, for an ancestor's branch.
  Page("news\\today");
  Write("news_today.sub.html", "<[TEXT('BRANCHLEVEL=1','htm')]>\n");
  EXPECT_EQ(Render("[INCLUDE()]\n"), 0);
  EXPECT_EQ(Taken(), "<<b>x</b>>\n\n");

  // Without a language the plain name; a .tab file is a table.
  Page("news");
  Lang(0);
  Write("news.tab", "a\tb\r\nc");
  EXPECT_EQ(Render("[TEXT()]|[TEXT(,'tab')]\n"), 0);
  EXPECT_EQ(Taken(), "plain|a</td><td>b</td></tr>\r\n<tr><td align=\"right\" valign=\"top\">c\n");
}

TEST_F(IncludeTest, TextFieldsAreExpressionsAndTheTextBecomesHtml) {
  Page("news");
  Write("news.txt", "[1+2] \\{x\\} [X]|[\"q\"]  two\tend\r\n\xE9");
  EXPECT_EQ(Render("[TEXT()]\n", "X='macro'"), 0);
  EXPECT_EQ(Taken(), "3 [x] 0|q&nbsp;&nbsp;two&nbsp;&nbsp;&nbsp;&nbsp;end<br>&eacute;\n");
  EXPECT_EQ(Render("[TEXT(,,,UCASE)]\n", "X='macro'"), 0);
  EXPECT_EQ(Taken(), "3 [X] 0|Q&nbsp;&nbsp;TWO&nbsp;&nbsp;&nbsp;&nbsp;END<br>&Eacute;\n");

  Write("empty.txt", "");
  EXPECT_EQ(Render("a[TEXT('empty')]b\n"), 0);
  EXPECT_EQ(Taken(), "ab\n");
}

TEST_F(IncludeTest, TextErrorsEndThePageWritingNothing) {
  Page("news");
  Write("news.txt", "good [1+] text");
  EXPECT_GE(Render("a[TEXT()]b\n"), kFirstError);
  EXPECT_EQ(Taken(), "a");
  Write("news.txt", "good");
  EXPECT_GE(Render("a[TEXT(,1+)]b\n"), kFirstError);
  EXPECT_GE(Render("a[TEXT('nosuch',,1+)]b\n"), kFirstError);
  EXPECT_EQ(Taken(), "aa");
  EXPECT_EQ(StoreCount(kGroupTemplateLines), 0);
}

}  // namespace
