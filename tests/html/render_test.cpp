#include "html/render.h"

#include <filesystem>
#include <fstream>
#include <optional>
#include <sstream>
#include <string>

#include "html/output.h"
#include "runtime/appenv.h"
#include "runtime/error.h"
#include "runtime/file.h"
#include "runtime/scratch.h"
#include "runtime/varstore.h"
#include "script/interp_fixture.h"
#include "script/valtable.h"
#include "sink_capture.h"
#include "temp_dir.h"
#include "size_limit.h"

using namespace vk;

namespace {

// The interpreter started as the application starts it, a temporary
// folder for templates and pages, and a capture file as the sink.
struct RenderTest : WithSink<InTempDir<InterpTest>> {
  void SetUp() override {
    WithSink::SetUp();
    if (HasFatalFailure()) return;
    ASSERT_EQ(StoreSet(kGroupIdentity, kIdCommandLine, L("prog")), 0);
  }

  // A template file with these bytes; returns its name as the library
  // writes it ('\' separators).
  std::string Tpl(const std::string& name, const std::string& bytes) {
    Write(name, bytes);
    return Lib(name);
  }
  static void Compat(bool on) { SysVarSet(kSysSystemCompat, on ? kCompatLf : 0); }

  u16 Render(const std::string& page, const char* macros = "", const char* keywords = "",
             HtmlTagHandler handler = nullptr) {
    MacroContext c{};
    MacroContextInit(&c, L(macros), L(keywords), handler);
    return HtmlPageRender(Sl(page), c);
  }
};

// What the recording handler saw, one "index:args;" per call.
std::string g_calls;
HtmlTagState Record(HtmlTagState s, StrSlice) {
  g_calls += std::to_string(HtmlTagIndex(s)) + ":" + S(HtmlTagArgs(s)) + ";";
  HtmlOut(L("<K>"));
  return s;
}

TEST_F(RenderTest, OrdinaryFieldsAndLineEnds) {
  const std::string t = Tpl("a.html", "a [X] b\nc\\{word\\}d\n");
  EXPECT_EQ(Render(t, "X=1"), 0);
  EXPECT_EQ(Taken(), "a 1 b\r\nc[word]d\r\n");
  Compat(true);
  EXPECT_EQ(Render(t, "X=1"), 0);
  EXPECT_EQ(Taken(), "a 1 b\nc[word]d\n");
}

TEST_F(RenderTest, ScriptsChooseLineEndsThroughTheSystemBitOnly) {
  const std::string t = Tpl("a.html", "a\n");
  ASSERT_EQ(Eval("_COMPAT=2"), 0);
  EXPECT_EQ(Render(t), 0);
  EXPECT_EQ(Taken(), "a\r\n");
  ASSERT_EQ(Eval("_SYSCOMPAT=2"), 0);
  EXPECT_EQ(Render(t), 0);
  EXPECT_EQ(Taken(), "a\n");
}

TEST_F(RenderTest, InsertedValueRescannedOnlyOutsideCompat) {
  const std::string t = Tpl("a.html", "<[X]>");
  Compat(true);
  EXPECT_EQ(Render(t, "X='[Y]' Y=2"), 0);
  EXPECT_EQ(Taken(), "<[Y]>\n");
  Compat(false);
  EXPECT_EQ(Render(t, "X='[Y]' Y=2"), 0);
  EXPECT_EQ(Taken(), "<2>\r\n");
}

TEST_F(RenderTest, SelfReproducingValueEndsWithAnError) {
  const u16 lines = StoreCount(kGroupTemplateLines);
  EXPECT_EQ(Render(Tpl("a.html", "x[X]y\n"), "X='[X]'"), kErrLoop);
  EXPECT_EQ(StoreCount(kGroupTemplateLines), lines);
}

TEST_F(RenderTest, KeywordFieldsReachTheHandler) {
  g_calls.clear();
  const std::string t = Tpl("k.html", "1[ LANG (a,b) ]2[MENU]3\n[f(a(b)c)]\n");
  EXPECT_EQ(Render(t, "", "MENU,LANG,f", Record), 0);
  EXPECT_EQ(Taken(), "1<K>2<K>3\r\n<K>\r\n");
  EXPECT_EQ(g_calls, "2:a,b;1:;3:a(b)c;");

  // Names are compared case-sensitively: [lang] is an ordinary field.
  g_calls.clear();
  EXPECT_EQ(Render(Tpl("l.html", "x[lang]y\n"), "lang='v'", "MENU,LANG", Record), 0);
  EXPECT_EQ(Taken(), "xvy\r\n");
  EXPECT_EQ(g_calls, "");
}

TEST_F(RenderTest, CodeListAndDefaultHandler) {
  g_calls.clear();
  const std::string t = Tpl("c.html", "<[bxyz]|[a]>\n");
  EXPECT_EQ(Render(t, "", "\xC7" "ab", Record), 0);
  EXPECT_EQ(g_calls, "2:xyz;1:;");
  Taken();
  EXPECT_EQ(Render(t, "", "\xC7" "ab"), 0);  // keyword fields vanish
  EXPECT_EQ(Taken(), "<|>\r\n");
}

TEST_F(RenderTest, UnclosedArgumentsEndThePage) {
  g_calls.clear();
  EXPECT_EQ(Render(Tpl("u.html", "before[MENU(x]after\nnext\n"), "", "MENU", Record), kErrSyntax);
  EXPECT_EQ(Taken(), "before");
  EXPECT_EQ(g_calls, "");
}

TEST_F(RenderTest, PageNames) {
  Eval("PAGE$=\"\"");
  EXPECT_EQ(Render("(PAGE$)"), kErrFileNotFound);
  EXPECT_EQ(Render(""), kErrFileNotFound);

  EXPECT_EQ(Render(Lib("none.html")), kErrFileNotFound);

  ASSERT_EQ(StoreSet(kGroupRun, 2, L("_en")), 0);
  Tpl("home_fr.html", "x\n");
  EXPECT_EQ(Render(Lib("home_fr.html")), 0);
  EXPECT_EQ(S(StoreGet(kGroupRun, 2)), "_fr");
  Tpl("home.html", "x\n");
  EXPECT_EQ(Render(Lib("home.html")), 0);
  EXPECT_EQ(S(StoreGet(kGroupRun, 2)), "_fr");
}

TEST_F(RenderTest, LastLineAndEmptyTemplate) {
  EXPECT_EQ(Render(Tpl("two.html", "one\r\ntwo")), 0);
  EXPECT_EQ(Taken(), "one\r\ntwo\r\n");
  EXPECT_EQ(Render(Tpl("empty.html", "")), kErrDiskIO);
  EXPECT_EQ(Taken(), "");
}

TEST_F(RenderTest, MutedOutput) {
  SysVarSet(kSysAuxstat, static_cast<i16>(kAuxNoHtml));
  EXPECT_EQ(Render(Tpl("a.html", "a [X] b\n"), "X=1"), 0);
  SysVarSet(kSysAuxstat, 0);
  EXPECT_EQ(Taken(), "");
}

// A handler that renders a sub-template into the page from inside the call.
std::string g_inner;
HtmlTagState Nest(HtmlTagState s, StrSlice) {
  MacroContext c{};
  MacroContextInit(&c, L("Z=7"), L(""), nullptr);
  (void)HtmlPageRender(Sl(g_inner), c);
  return s;
}

TEST_F(RenderTest, NestedRenderKeepsTheOuterLine) {
  g_inner = Tpl("inner.html", "in[Z]\n");
  const u16 lines = StoreCount(kGroupTemplateLines);
  EXPECT_EQ(Render(Tpl("outer.html", "a[INC]b[X]c\nd\n"), "X=1", "INC", Nest), 0);
  EXPECT_EQ(Taken(), "ain7\r\nb1c\r\nd\r\n");
  EXPECT_EQ(StoreCount(kGroupTemplateLines), lines);
}

// A handler that renders the next template of a chain from inside the
// call and passes its error up.
u16 g_next = 0;
std::string g_chain_dir;
HtmlTagState Chain(HtmlTagState s, StrSlice) {
  MacroContext c{};
  MacroContextInit(&c, L(""), L("NEXT"), Chain);
  const std::string next = g_chain_dir + "\\t" + std::to_string(++g_next) + ".html";
  if (const u16 rc = HtmlPageRender(Sl(next), c)) s.status = rc;
  return s;
}

TEST_F(RenderTest, TooManyNestedTemplatesSaySo) {
  // 100 templates, each naming the next: they exist, but cannot all be open.
  for (int k = 0; k < 100; ++k) Tpl("t" + std::to_string(k) + ".html", "[NEXT]\n");
  g_chain_dir = Lib();
  g_next = 0;
  const u16 lines = StoreCount(kGroupTemplateLines);
  EXPECT_EQ(Render(Tpl("t0.html", "[NEXT]\n"), "", "NEXT", Chain), kErrDataOutBound);
  const std::string detail = S(ErrDetail());
  EXPECT_NE(detail.find("too many nested templates"), std::string::npos) << detail;
  EXPECT_NE(detail.find("t" + std::to_string(g_next) + ".html would be template " + std::to_string(g_next + 1) +
                        " deep"),
            std::string::npos)
      << detail;
  EXPECT_EQ(StoreCount(kGroupTemplateLines), lines);
}

// A handler that ends the page with an error.
HtmlTagState Fail(HtmlTagState s, StrSlice) {
  s.status = 200;
  return s;
}

TEST_F(RenderTest, EarlyEndsReleaseFileSlotsAndLines) {
  const std::string t = Tpl("f.html", "x[STOP]y\nz\n");
  const u16 lines = StoreCount(kGroupTemplateLines);
  for (int i = 0; i < 60; ++i) ASSERT_EQ(Render(t, "", "STOP", Fail), 200) << i;
  EXPECT_EQ(StoreCount(kGroupTemplateLines), lines);
  // Slots are still free: a whole page renders after them.
  EXPECT_EQ(Render(Tpl("ok.html", "fine\n")), 0);
  EXPECT_NE(Taken().find("fine\r\n"), std::string::npos);
}

TEST_F(RenderTest, PageToFileReplacesOnlyWhatItRendered) {
  const std::string home = dir;
  MacroContext c{};
  MacroContextInit(&c, L("X=1"), L(""), nullptr);
  const std::string out = Lib("page.html");
  std::ofstream(home + "/page.html", std::ios::binary) << "old page";

  EXPECT_EQ(HtmlPageToFile(Sl(Lib("none.html")), c, Sl(out)), kErrFileNotFound);
  EXPECT_EQ(Read("page.html"), "old page");

  Compat(true);
  EXPECT_EQ(HtmlPageToFile(Sl(Tpl("t.html", "v=[X]\n")), c, Sl(out)), 0);
  EXPECT_EQ(Read("page.html"), "v=1\n");
  EXPECT_FALSE(std::filesystem::exists(home + "/page.html~part"));
  EXPECT_EQ(HtmlSink(), nullptr);  // the null sink afterwards

  EXPECT_EQ(HtmlPageToFile(Sl(Lib("t.html")), c, Sl(Lib("no/such/page.html"))), kFailed);
}

// A template that cannot be opened and a page that cannot be written are
// named in the error detail as the user reads them ('/'), each with the
// system's reason after it.
TEST_F(RenderTest, FilesThatCannotBeUsedAreNamedWithTheSystemsReason) {
  const std::string home = dir;
  MacroContext c{};
  MacroContextInit(&c, L(""), L(""), nullptr);
  std::filesystem::create_directory(home + "/folder");
  std::filesystem::create_directory(home + "/locked");
  namespace fs = std::filesystem;
  fs::permissions(home + "/locked", fs::perms::owner_read | fs::perms::owner_exec);
  const std::string ok = Tpl("t.html", std::string(3000, 'x') + "\n");
  const struct {
    std::string tpl;
    std::string page;  // written with HtmlPageToFile; empty: rendered only
    rlim_t size_limit;  // 0 for none
    u16 code;
    std::string detail;
  } cases[] = {
      {Lib("none.html"), "", 0, kErrFileNotFound,
       "filename:" + home + "/none.html htmlpage:" + home + "/none.html DocRoot: DocRootFileNm:" + home +
           "/none.html (No such file or directory)"},
      {Lib("folder"), "", 0, kErrFileNotFound,
       "filename:" + home + "/folder htmlpage:" + home + "/folder DocRoot: DocRootFileNm:" + home +
           "/folder (Is a directory)"},
      {ok, "no/such/page.html", 0, 0xFFFF, home + "/no/such/page.html (No such file or directory)"},
      {ok, "folder", 0, 0xFFFF, home + "/folder (Is a directory)"},
      {ok, "locked/page.html", 0, 0xFFFF, home + "/locked/page.html (Permission denied)"},
      {ok, "big.html", 2048, kErrFileIO, home + "/big.html (File too large)"},
  };
  for (const auto& k : cases) {
    SCOPED_TRACE(k.detail);
    if (k.page.rfind("locked/", 0) == 0 && geteuid() == 0) continue;  // root writes anywhere
    ErrMsgAppend(0, L(""), false);
    if (k.page.empty()) {
      EXPECT_EQ(Render(k.tpl), k.code);
    } else {
      std::optional<SizeLimit> limit;
      if (k.size_limit) limit.emplace(k.size_limit);
      EXPECT_EQ(HtmlPageToFile(Sl(k.tpl), c, Sl(Lib(k.page))), k.code);
    }
    EXPECT_EQ(S(ErrDetail()), k.detail);
  }
  EXPECT_FALSE(std::filesystem::exists(home + "/big.html"));
  std::filesystem::permissions(home + "/locked", std::filesystem::perms::owner_all);
}

// A page reaches its file only from a whole render: a render that ends
// early (a failing field, a handler that stops) leaves an existing page
// byte for byte and creates no missing one; a whole render replaces the
// page exactly, shorter or longer than before. No temporary file is left.
TEST_F(RenderTest, PageToFileWritesOnlyWholeRenders) {
  struct Case {
    const char* what;
    const char* tpl;
    bool fails;
  };
  const Case cases[] = {
      {"field fails part-way", "kept\n<h1>[FN$MIDS()]</h1>\nafter\n", true},
      {"handler stops", "text before [STOP] after\n", true},
      {"shorter page", "v\n", false},
      {"longer page", "a page longer than the one it replaces\n", false},
  };
  const std::string old = "old page, 919 bytes in the report";
  Compat(true);
  for (const Case& k : cases) {
    for (const bool existed : {true, false}) {
      MacroContext c{};
      MacroContextInit(&c, L(""), L("STOP"), Fail);
      std::filesystem::remove(dir + "/page.html");
      if (existed) std::ofstream(dir + "/page.html", std::ios::binary) << old;
      const u16 rc = HtmlPageToFile(Sl(Tpl("t.html", k.tpl)), c, Sl(Lib("page.html")));
      EXPECT_EQ(rc != 0, k.fails) << k.what << " rc " << rc;
      if (k.fails) {
        EXPECT_EQ(std::filesystem::exists(dir + "/page.html"), existed) << k.what;
        if (existed) {
          EXPECT_EQ(Read("page.html"), old) << k.what;
        }
      } else {
        EXPECT_EQ(Read("page.html"), k.tpl) << k.what;
      }
      for (const auto& e : std::filesystem::directory_iterator(dir)) {
        EXPECT_EQ(e.path().string().find("~part"), std::string::npos) << k.what;
      }
    }
  }
}

}  // namespace

namespace {

// Fields whose evaluation changes the variable store (new variables of each
// kind, array elements, `_$`, the process's first built-in call, SORT$)
// moved the line being scanned under the splice. Several per line, at the
// start, middle and end; the first field is the process's first call. (A
// number 0 is written as the empty text.)
TEST_F(RenderTest, FieldsThatChangeTheStoreKeepTheirLine) {
  MacroContext c{};
  MacroContextInit(&c, L(""), L(""), nullptr);
  const std::string frame =
      "xx[FN#SLEN('abc')]yy\n"
      "C[FN$CHNG('xyz';'UCASE')]D\n"
      "aaaa[X$='value']bbbb\n"
      "aaaa[_$(3;4;'value')]bbbb\n"
      "L25=[a=1;b=2;a+b]\n"
      "L26=[x$='ab'+'cd']\n"
      "L33=[A=2.5;A]\n"
      "[N#=7]<[Q$='q'+Q$]>[R=N#*2]\n"
      "[TX$('hello',3)]|[TX$(0,1)='ab']|[TX$(0,1)]\n"
      "[NA(4)]:[NA(4)=9]+[NA(4)]=[NA(4)+NA(4)][U$='u']\n"
      "s=[SORT$('d,b,c,a')];[W$=SORT$('z,y')+X$]\n";
  Compat(true);
  const std::string out = Lib("page.html");
  EXPECT_EQ(HtmlPageToFile(Sl(Tpl("frame.html", frame)), c, Sl(out)), 0);
  EXPECT_EQ(Read("page.html"),
            "xx3yy\n"
            "CXYZD\n"
            "aaaavaluebbbb\n"
            "aaaavaluebbbb\n"
            "L25=3\n"
            "L26=abcd\n"
            "L33=3\n"
            "7<q>14\n"
            "hello|ab|abllo\n"
            ":9+9=18u\n"
            "s=a,b,c,d;y,zvalue\n");
}

}  // namespace
