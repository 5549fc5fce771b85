#include "sitegen/genrun.h"

#include <fcntl.h>
#include <sched.h>
#include <stdlib.h>
#include <sys/file.h>
#include <linux/fs.h>
#include <sys/ioctl.h>
#include <sys/mount.h>
#include <sys/wait.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cctype>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <filesystem>
#include <functional>
#include <fstream>
#include <map>
#include <optional>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "html/output.h"
#include "page_fixture.h"
#include "runtime/error.h"
#include "runtime/memory.h"
#include "runtime/osfault.h"
#include "runtime/ossignal.h"
#include "runtime/oslock.h"
#include "runtime/osproc.h"
#include "runtime/writequeue.h"
#include "runtime/linelist.h"
#include "runtime/progress.h"
#include "runtime/str.h"
#include "runtime/uibackend.h"
#include "runtime/varstore.h"
#include "script/valtable.h"
#include "script/variables.h"
#include "sitegen/dispatch.h"
#include "sitegen/pagetree.h"
#include "sitegen/sitetext.h"
#include "runtime_fixture.h"
#include "size_limit.h"

using namespace vk;
namespace fs = std::filesystem;

namespace {

// A backend that makes every window and remembers the last message box.
std::string g_box;
UiWindow g_next_window = 0;
bool Yes(void*, const char*) { return true; }
bool Register(void*, const char*, UiWndProc) { return true; }
UiWindow Create(const UiCreate*) { return ++g_next_window; }
bool IsWindow(UiWindow) { return true; }
u16 Box(UiWindow, const u16* text, const u16*, u16) {
  g_box.clear();
  for (const u16* p = text; p && *p; ++p) g_box += static_cast<char>(*p);
  return 1;
}

// A small site in a temporary folder that is the current directory (the
// log lands there): tree, variable script, two language files, a frame page
// and the output root "out".
struct GenRunTest : SiteLibTest {
  u16 written = 0;
  u16 avoids = 0;

  void SetUp() override {
    SiteLibTest::SetUp();
    if (HasFatalFailure()) return;
    UiBackend ui{};
    ui.name = "test";
    ui.class_registered = Yes;
    ui.register_class = Register;
    ui.create_window = Create;
    ui.is_window = IsWindow;
    ui.message_box = Box;
    UiSetBackend(&ui);
    g_box.clear();
    MakeSite();
  }
  // The site afresh, in place of anything in the folder.
  static void MakeSite() {
    std::error_code ec;
    fs::permissions("out", fs::perms::owner_all, ec);
    for (const auto& e : fs::directory_iterator(".")) fs::remove_all(e.path());
    fs::create_directory("out");
    Write("tree.txt", "home\nproducts\n\twidget\ncontact\n");
    Write("treeVars.txt", "RELPATH$=\"rel\"\n");
    Write("tree_en.txt", "home='Home'\nproducts='Products'\n");
    Write("tree_es.txt", "home='Inicio'\nproducts='Productos'\n");
    Write("frame.html", "<h1>[LANG('home')]</h1>[LANG_ID]|[1+2]|[RELPATH$]\n");
  }
  void TearDown() override {
    UiSetBackend(nullptr);
    SiteLibTest::TearDown();
  }
  std::string Shown(const std::string& rel) const { return std::string(dir) + "/" + rel; }

  u16 Run(u16 mask, OverwriteRule rule, u8 flags = kRunTypeMap, HtmlTagHandler handler = SiteKwDispatch,
          const char* tree = "tree.txt") {
    static MacroContext context;
    MacroContextInit(&context, L(""), L(kSiteKeywordList), handler);
    const std::string frame = Lib("frame.html");
    const std::string tree_path = Lib(tree);
    const std::string root = Lib("out");
    return SiteGenRun(StrSlice{frame.data(), static_cast<u16>(frame.size())},
                      StrSlice{tree_path.data(), static_cast<u16>(tree_path.size())},
                      StrSlice{root.data(), static_cast<u16>(root.size())}, context, mask, rule, flags);
  }
  OverwriteRule All() { return SiteGenOverwriteRule(true, false, -1, &written, &avoids); }
};

TEST_F(GenRunTest, TwoLanguagesWriteEveryPageWithItsTexts) {
  EXPECT_EQ(Run(0x03, All()), 0);
  EXPECT_EQ(written, 8);
  EXPECT_EQ(avoids, 0);
  EXPECT_EQ(Read("out/home_en.html"), "<h1>Home</h1>_en|3|rel\n");
  EXPECT_EQ(Read("out/home_es.html"), "<h1>Inicio</h1>_es|3|rel\n");
  EXPECT_TRUE(fs::exists("out/products/index_en.html"));
  EXPECT_TRUE(fs::exists("out/products/widget_es.html"));
  EXPECT_TRUE(fs::exists("out/contact_es.html"));
  EXPECT_FALSE(fs::exists("out/products_en.html"));
  // Each language gets its menu fragments and its entry in the type map.
  EXPECT_EQ(Read("out/index.html.var"),
            "URI: index\n\n"
            "URI: home_en.html\nContent-type: text/html\nContent-language: en\n\n"
            "URI: home_es.html\nContent-type: text/html\nContent-language: es\n\n");
  EXPECT_NE(Read("Vellumcraft_hmenu_es.txt").find("<a href=\"/rel/products/widget_es.html\">"), std::string::npos);
  EXPECT_NE(Read("Vellumcraft_vmenu_en.txt").find("<a href=\"/rel/contact_en.html\">"), std::string::npos);
  // Line ends are LF only during the run.
  EXPECT_FALSE(SysVarTest(kSysSystemCompat, kCompatLf));

  const std::string log = Read(kSiteLogName);
  EXPECT_NE(log.find("Creating File:" + Shown("out/home_en.html") + "\r\n...OK\r\n\r\n"), std::string::npos) << log;
  EXPECT_NE(log.find("Creating File:" + Shown("out/products/index_en.html") + "\r\n...OK\r\n\r\n"),
            std::string::npos);
}

// The type map names the first node's page where the run writes it: a
// section's page is the index page in its folder, and "/" between folders.
TEST_F(GenRunTest, TheTypeMapNamesTheFirstPageWhereTheRunWritesIt) {
  struct Case {
    const char* what;
    const char* tree;
    const char* page;  // the URI, without suffix and extension
  } const cases[] = {
      {"first node a page", "home\nabout\n\tteam\n", "home"},
      {"first node a section", "about\n\tteam\ncontact\n", "about/index"},
      {"a section in a section", "about\n\tteam\n\t\tlead\ncontact\n", "about/index"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    MakeSite();
    Write("tree.txt", c.tree);
    EXPECT_EQ(Run(0x03, All()), 0);
    std::string expected = "URI: index\n\n";
    for (const char* code : {"en", "es"}) {
      const std::string uri = std::string(c.page) + "_" + code + ".html";
      expected += "URI: " + uri + "\nContent-type: text/html\nContent-language: " + code + "\n\n";
      EXPECT_TRUE(fs::is_regular_file("out/" + uri)) << uri;
    }
    EXPECT_EQ(Read("out/index.html.var"), expected);
  }
}

// The run marks itself in _SYSCOMPAT alone; _COMPAT is the script's own.
TEST_F(GenRunTest, TheRunSetsOnlyItsOwnCompatibilityBit) {
  Write("treeVars.txt", "_COMPAT=5\n");
  Write("frame.html", "[_SYSCOMPAT]|[_COMPAT]\n");
  EXPECT_EQ(Run(0x01, All()), 0);
  EXPECT_EQ(Read("out/home_en.html"), "2|5\n");
  EXPECT_FALSE(SysVarTest(kSysSystemCompat, kCompatLf));
  EXPECT_EQ(SysVarGet(kSysScriptCompat), 5);
}

TEST_F(GenRunTest, NoLanguagePassWritesPlainNames) {
  Write("frame.html", "[LANG('my_text')]|[LANG_ID]|\n");
  EXPECT_EQ(Run(0, All()), 0);
  EXPECT_EQ(written, 4);
  EXPECT_EQ(Read("out/home.html"), "my text||\n");
  EXPECT_TRUE(fs::exists("out/products/widget.html"));
  EXPECT_FALSE(fs::exists("out/index.html.var"));  // no type map without languages
}

TEST_F(GenRunTest, RefusedPagesAreLoggedAndCounted) {
  Write("out/home_en.html", "kept");
  EXPECT_EQ(Run(0x01, SiteGenOverwriteRule(false, false, -1, &written, &avoids)), 0);
  EXPECT_EQ(Read("out/home_en.html"), "kept");
  EXPECT_EQ(written, 3);
  EXPECT_EQ(avoids, 1);
  EXPECT_NE(Read(kSiteLogName).find("Skipping File:" + Shown("out/home_en.html") + " (Overwrite Off)\r\n\r\n"),
            std::string::npos);
}

TEST_F(GenRunTest, DeletionModeRemovesExistingPagesOnly) {
  Write("out/home_en.html", "old");
  EXPECT_EQ(Run(0x01, SiteGenOverwriteRule(true, true, -1, &written, &avoids), kRunTypeMap | kRunDelete), 0);
  EXPECT_FALSE(fs::exists("out/home_en.html"));
  EXPECT_FALSE(fs::exists("out/contact_en.html"));
  EXPECT_TRUE(fs::is_directory("out/products"));  // folders are made even when deleting
  EXPECT_EQ(written, 1);
  EXPECT_EQ(avoids, 3);
}

TEST_F(GenRunTest, MissingTemplateSpoilsOnePageAndNamesIt) {
  Write("tree.txt", "home, nosuch.html\nabout\n");
  EXPECT_EQ(Run(0x01, All()), kErrFileNotFound);
  EXPECT_TRUE(fs::exists("out/about_en.html"));  // the run went on
  EXPECT_FALSE(fs::exists("out/home_en.html"));
  // The message names the page that failed, not the last one named.
  EXPECT_NE(g_box.find(Shown("out/home_en.html")), std::string::npos) << g_box;
  EXPECT_EQ(g_box.find("about"), std::string::npos) << g_box;
  const std::string log = Read(kSiteLogName);
  EXPECT_EQ(log.find("Creating File:" + Shown("out/home_en.html") + "\r\n...OK"), std::string::npos) << log;
}

// Paths in the final message are named whole, however deep the page lies.
TEST_F(GenRunTest, TheFailedPageIsNamedWhole) {
  std::string tree, path = "out";
  for (size_t depth = 0; depth < 6; ++depth) {
    const std::string name(180, static_cast<char>('a' + depth));
    tree += std::string(depth, '\t') + name + (depth == 5 ? ", nosuch.html" : "") + "\n";
    path += "/" + (depth == 5 ? name + "_en.html" : name);
  }
  Write("tree.txt", tree);
  EXPECT_EQ(Run(0x01, All()), kErrFileNotFound);
  EXPECT_NE(g_box.find(Shown(path)), std::string::npos) << g_box;
}

TEST_F(GenRunTest, UnnamedNodesWriteNothingButTheirChildren) {
  Write("tree.txt", "a\n\n\tb\nc\n");
  EXPECT_EQ(Run(0, All()), 0);
  EXPECT_TRUE(fs::exists("out/a.html"));
  EXPECT_TRUE(fs::exists("out/b.html"));
  EXPECT_TRUE(fs::exists("out/c.html"));
  EXPECT_EQ(written, 3);
}

// Names that would lead outside the output root are refused node by node
// (with their subtrees); every other page is written and the run reports
// the refusal at its end.
TEST_F(GenRunTest, NamesLeadingOutsideTheRootAreRefused) {
  Write("tree.txt", "home\n../../escaped\n..\\..\\escaped2\nc:drive\n/top\n..\n\tkid\nparent\n\tchild\ncontact\n");
  EXPECT_EQ(Run(0x01, All()), kErrData);
  for (const char* page : {"out/home_en.html", "out/parent/index_en.html", "out/parent/child_en.html",
                           "out/contact_en.html"})
    EXPECT_TRUE(fs::exists(page)) << page;
  // Nothing lands above the output folder or at the top of the disk.
  for (const fs::path& name : {fs::path("/tmp/escaped_en.html"), fs::path("/tmp/escaped2_en.html"),
                               fs::path("/top_en.html"), fs::path("kid_en.html"), fs::path("out/kid_en.html"),
                               fs::path("out/c:drive_en.html")})
    EXPECT_FALSE(fs::exists(name)) << name;
  EXPECT_EQ(written, 4);
  const std::string log = Read(kSiteLogName);
  EXPECT_NE(log.find("Refused Page Name:" + Shown("out/../../escaped")), std::string::npos) << log;
  EXPECT_NE(log.find("Refused Page Name:" + Shown("out/../../escaped2")), std::string::npos) << log;
  EXPECT_NE(g_box.find("outside the output folder"), std::string::npos) << g_box;
}

// Files that are there but over the 65535-byte limit stop their part of the
// run with a message naming them, instead of being passed over.
TEST_F(GenRunTest, OversizedScriptAndLanguageFilesAreErrors) {
  Write("treeVars.txt", "RELPATH$=\"rel\"\n" + std::string(70000, ' ') + "\n");
  EXPECT_EQ(Run(0x01, All()), kErrStringTooLong);
  EXPECT_FALSE(fs::exists("out/home_en.html"));
  EXPECT_NE(g_box.find(Shown("treeVars.txt") + ": the file is over 65535 bytes"), std::string::npos) << g_box;

  // A language file with one line too long: that language is not written
  // (its pages would show raw keys), the others are.
  Write("treeVars.txt", "RELPATH$=\"rel\"\n");
  Write("tree_en.txt", "home='Home'\nlong='" + std::string(70000, 'x') + "'\n");
  EXPECT_EQ(Run(0x03, All()), kErrStringTooLong);
  EXPECT_FALSE(fs::exists("out/home_en.html"));
  EXPECT_EQ(Read("out/home_es.html"), "<h1>Inicio</h1>_es|3|rel\n");
  EXPECT_NE(g_box.find("does not fit in the variable store (2047 lines and 61360 bytes"), std::string::npos) << g_box;
  EXPECT_NE(g_box.find(Shown("tree_en.txt")), std::string::npos) << g_box;
  EXPECT_NE(Read(kSiteLogName).find("Skipping Language:" + Shown("tree_en.txt")), std::string::npos);

  // An empty language file is a language without texts, as a missing one.
  Write("tree_en.txt", "");
  EXPECT_EQ(Run(0x01, All()), 0);
  EXPECT_EQ(Read("out/home_en.html"), "<h1>home</h1>_en|3|rel\n");
}

// A page whose values the store cannot take would show the previous page's:
// the run ends at it with the store's error, naming it.
TEST_F(GenRunTest, AFullStoreEndsTheRunAtThePageWhoseValuesDoNotFit) {
  // The second page's breadcrumb (its name in the language) takes as many
  // bytes as its text among the language's, and both together pass the
  // store's room.
  Write("tree.txt", "home\nbig\n");
  Write("tree_en.txt", "home='Home'\nbig='" + std::string(31000, 'b') + "'\n");
  Write("frame.html", "[CURBRANCH]\n");
  EXPECT_EQ(Run(0x01, All()), kErrStrOutBound);
  EXPECT_EQ(Read("out/home_en.html"), "Home\n");
  EXPECT_FALSE(fs::exists("out/big_en.html"));
  EXPECT_EQ(written, 1);
  EXPECT_NE(g_box.find(Shown("out/big_en.html")), std::string::npos) << g_box;
}

// Asks for a cancel while the first Spanish page is rendered.
HtmlTagState CancelOnSpanish(HtmlTagState s, StrSlice macros) {
  if (SiteGenLangIndex() == 2) ProgressWndProc(ProgressStateGet()->window, kUiMsgCommand, kProgressCancelId);
  return SiteKwDispatch(s, macros);
}

TEST_F(GenRunTest, CancelKeepsThePagesWritten) {
  EXPECT_EQ(Run(0x03, All(), kRunTypeMap, CancelOnSpanish), kErrCancelled);
  EXPECT_TRUE(fs::exists("out/contact_en.html"));
  EXPECT_TRUE(fs::exists("out/home_es.html"));  // the page being written when asked
  EXPECT_FALSE(fs::exists("out/products/index_es.html"));
  EXPECT_FALSE(g_box.empty());
}

// A frame that fails part-way through every page: the pages of the run
// before stay byte for byte (the type map is no page and is written again),
// and no temporary file is left beside them.
TEST_F(GenRunTest, AFailingRenderKeepsTheOldPages) {
  ASSERT_EQ(Run(0x03, All()), 0);
  std::vector<std::pair<fs::path, std::string>> before;
  for (const auto& e : fs::recursive_directory_iterator("out"))
    if (e.path().extension() == ".html") before.emplace_back(e.path(), Read(e.path().string()));
  ASSERT_FALSE(before.empty());
  Write("frame.html", "<p>[LANG_ID]</p>\n<h1>[FN$MIDS()]</h1>\n");
  EXPECT_NE(Run(0x03, All()), 0);
  for (const auto& [path, bytes] : before) EXPECT_EQ(Read(path.string()), bytes) << path;
  for (const auto& e : fs::recursive_directory_iterator("."))
    EXPECT_EQ(e.path().string().find("~part"), std::string::npos) << e.path();
}

// A run that ends with an error says why in one message, paths in the
// system's form ('/') and the system's reason after a file it refused; its
// log ends with the same text, also when the run could not start (the
// previous run's log is gone then, and the reason is all it holds). A run
// that ends well adds nothing to its log.
TEST_F(GenRunTest, ARunThatEndsWithAnErrorSaysWhyInItsMessageAndItsLog) {
  const struct {
    const char* what;
    void (*arrange)();
    const char* tree;
    u8 flags;
    rlim_t size_limit;  // 0 for none
    u16 code;
    std::string message;  // found in the message
    bool started;         // pages were walked (else the log is the reason alone)
  } cases[] = {
      {"nothing wrong", [] {}, "tree.txt", kRunTypeMap, 0, 0, "", true},
      {"tree file missing", [] {}, "none.txt", kRunTypeMap, 0, 0xFFFF,
       "Error Indefinido: Tree file " + Shown("none.txt") + ": not found", false},
      {"tree file is a folder", [] { fs::create_directory("treedir"); }, "treedir", kRunTypeMap, 0, 0xFFFF,
       "Tree file " + Shown("treedir") + ": cannot be opened (Is a directory)", false},
      {"variable script error", [] { Write("treeVars.txt", "RELPATH$=(\n"); }, "tree.txt", kRunTypeMap, 0, kErrLoop,
       "RELPATH$=(", false},
      {"frame page missing", [] { fs::remove("frame.html"); }, "tree.txt", kRunTypeMap, 0, kErrFileNotFound,
       "filename:" + Shown("frame.html") + " htmlpage:" + Shown("frame.html") + " DocRoot: DocRootFileNm:" +
           Shown("frame.html") + " (No such file or directory)\r\n" + Shown("out/contact_en.html"),
       true},
      // A page's message holds what failed in it alone, whatever the pages
      // before it left; a missing template the run went past keeps its own.
      {"a syntax error after a missing template",
       [] {
         Write("tree.txt", "home, nosuch.html\nabout, bad.html\ncontact\n");
         Write("bad.html", "[1+]\n");
       },
       "tree.txt", kRunTypeMap, 0, kErrSyntax, "Error SINTAXERROR(ExpExec): 1+\r\n" + Shown("out/about_en.html"), true},
      {"a syntax error after a page looked for a missing file",
       [] {
         Write("tree.txt", "home\nabout, bad.html\n");
         Write("frame.html", "[FN#FLEN('nofile.txt')]\n");
         Write("bad.html", "[1+]\n");
       },
       "tree.txt", kRunTypeMap, 0, kErrSyntax, "Error SINTAXERROR(ExpExec): 1+\r\n" + Shown("out/about_en.html"), true},
      {"a missing template, then a page that looked for a missing file",
       [] {
         Write("tree.txt", "home, nosuch.html\nabout\n");
         Write("frame.html", "[FN#FLEN('nofile.txt')]\n");
       },
       "tree.txt", kRunTypeMap, 0, kErrFileNotFound,
       "Error Fichero no encontrado: filename:nosuch.html htmlpage:nosuch.html DocRoot: DocRootFileNm:nosuch.html "
       "(No such file or directory)\r\n" + Shown("out/home_en.html"),
       true},
      {"a keyword whose parenthesis is not closed", [] { Write("frame.html", "<p>[LANG('a']</p>\n"); }, "tree.txt",
       kRunTypeMap, 0, kErrSyntax, "Error SINTAXERROR: LANG('a'\r\n" + Shown("out/home_en.html"), true},
      {"page path is a folder", [] { fs::create_directory("out/home_en.html"); }, "tree.txt", kRunTypeMap, 0, 0xFFFF,
       "Error Indefinido: " + Shown("out/home_en.html") + " (Is a directory)", true},
      {"output folder read-only",
       [] { fs::permissions("out", fs::perms::owner_read | fs::perms::owner_exec); }, "tree.txt", 0, 0, 0xFFFF,
       "Error Indefinido: " + Shown("out/home_en.html") + " (Permission denied)", true},
      {"file-size limit", [] { Write("frame.html", std::string(3000, 'x') + "[LANG_ID]\n"); }, "tree.txt",
       kRunTypeMap, 2048, kErrFileIO, "Error Fichero I/O: " + Shown("out/home_en.html") + " (File too large)", true},
      {"menu fragment is a folder", [] { fs::create_directory("Vellumcraft_hmenu_en.txt"); }, "tree.txt",
       kRunTypeMap, 0, kErrFileNotFound, "Vellumcraft_hmenu_en.txt (Is a directory)", true},
      {"type map is a folder", [] { fs::create_directory("out/index.html.var"); }, "tree.txt", kRunTypeMap, 0,
       kErrDiskIO, ": " + Shown("out/index.html.var"), true},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    if (std::string(c.what) == "output folder read-only" && geteuid() == 0) continue;  // root writes anywhere
    MakeSite();
    Write(kSiteLogName, "the previous run's log\r\n");
    c.arrange();
    g_box.clear();
    {
      std::optional<SizeLimit> limit;
      if (c.size_limit) limit.emplace(c.size_limit);
      EXPECT_EQ(Run(0x01, All(), c.flags, SiteKwDispatch, c.tree), c.code);
    }
    const std::string log = Read(kSiteLogName);
    if (c.code == 0) {
      EXPECT_EQ(g_box, "");
      EXPECT_EQ(log.find("Run Ended:"), std::string::npos) << log;
      continue;
    }
    EXPECT_NE(g_box.find(c.message), std::string::npos) << g_box;
    EXPECT_EQ(g_box.find('\\'), std::string::npos) << g_box;
    const std::string last = "Run Ended:" + g_box + "\r\n";
    if (c.started) {
      ASSERT_GE(log.size(), last.size()) << log;
      EXPECT_EQ(log.substr(log.size() - last.size()), last) << log;
    } else {
      EXPECT_EQ(log, last);
      EXPECT_TRUE(fs::is_empty("out"));
    }
    EXPECT_FALSE(SysVarTest(kSysSystemCompat, kCompatLf));
  }
}

TEST_F(GenRunTest, OverwriteRuleFromTheDialog) {
  OverwriteRule r = SiteGenOverwriteRule(true, false, 4, &written, &avoids);
  EXPECT_EQ(r.flags, 0x2Bu);
  EXPECT_EQ(r.ref_time, 60u);
  r = SiteGenOverwriteRule(true, true, 0, &written, &avoids);
  EXPECT_EQ(r.flags, 0x01u);
  EXPECT_EQ(r.ref_time, 0u);
  r = SiteGenOverwriteRule(false, false, 10, &written, &avoids);
  EXPECT_EQ(r.flags, 0x02u);
  EXPECT_EQ(r.written, &written);
  EXPECT_EQ(S(SiteGenTimeWindowItem(1)), "All Files");
  EXPECT_EQ(S(SiteGenTimeWindowItem(3)), "10 Min");
  EXPECT_EQ(S(SiteGenTimeWindowItem(11)), "7 Days");
  EXPECT_EQ(S(SiteGenTimeWindowItem(12)), "");
}

TEST_F(GenRunTest, LanguagesAndVariableScripts) {
  EXPECT_EQ(SiteGenSetLanguage(L("tree.txt"), 0), kErrData);
  EXPECT_EQ(SiteGenSetLanguage(L(""), 0), 0);
  EXPECT_EQ(SiteGenSetLanguage(L("tree.txt"), 4), kLineLoadFailed);  // no German file: not loaded
  EXPECT_EQ(S(StoreGet(kGroupRun, kRunLangTexts)), "_de");
  EXPECT_EQ(SiteGenLangIndex(), 4);
  EXPECT_EQ(SiteGenLoadVars(L("missing.txt")), 0);
}

}  // namespace

namespace {

// The keywords that depend on the page being written, through a whole run:
// the breadcrumb, the site map and a sub-template found up the folder chain.
TEST_F(GenRunTest, KeywordsFollowThePageBeingWritten) {
  Write("frame.html", "<b>[CURBRANCH]</b>\n[SITEMAP]\n[INCLUDE]\n");
  Write("products.sub.html", "<i>products part</i>\n");
  EXPECT_EQ(Run(0x01, All()), 0);
  const std::string widget = Read("out/products/widget_en.html");
  // A leaf in products: its folder's index is beside it.
  EXPECT_NE(widget.find("index_en.html"), std::string::npos) << widget;
  EXPECT_EQ(widget.find("../index_en.html"), std::string::npos) << widget;
  EXPECT_NE(widget.find("Products"), std::string::npos) << widget;
  EXPECT_NE(widget.find("<i>products part</i>"), std::string::npos) << widget;
  // The site map lists every page relative to the output root.
  const std::string home = Read("out/home_en.html");
  EXPECT_NE(home.find("products/widget_en.html"), std::string::npos) << home;
  EXPECT_NE(home.find("contact_en.html"), std::string::npos) << home;
  EXPECT_EQ(home.find("products part"), std::string::npos) << home;
}

}  // namespace

namespace {

// Whole runs with the application's scratch stack (512 KB, 512 marks),
// where the node texts of a large tree fill most of it.
struct AppScratchRunTest : GenRunTest {
  static constexpr u16 kAppScratchKb = 512;
  // The largest tree a run started at the bottom of the stack loads.
  static constexpr int kMaxNodes = kAppScratchKb - 1 - kSitePageMarks;

  void SetUp() override {
    MemSetLimits(kAppScratchKb, kKeepLimit, kKeepLimit);
    GenRunTest::SetUp();
  }
  // A tree of n nodes whose first is the one named page "home"; the others
  // are unnamed, so a run writes a single page whose site map has n lines.
  static void BigTree(int n) { Write("tree.txt", "home\n" + std::string(static_cast<size_t>(n - 1), '\n')); }
  static int Lines(const std::string& text, const std::string& what) {
    int count = 0;
    for (size_t p = text.find(what); p != std::string::npos; p = text.find(what, p + 1)) ++count;
    return count;
  }
};

TEST_F(AppScratchRunTest, ATreeThatLeavesNoRoomForAPageIsRefusedAtLoad) {
  for (const int n : {kMaxNodes + 1, 700}) {
    SCOPED_TRACE(n);
    BigTree(n);
    g_box.clear();
    EXPECT_EQ(Run(0x01, All()), kErrOutOfMemory);
    EXPECT_NE(g_box.find("line " + std::to_string(kMaxNodes + 1) + ": more nodes than the scratch stack holds"),
              std::string::npos)
        << g_box;
    EXPECT_TRUE(fs::is_empty("out"));  // no menu, no type map, no page
  }
  // The largest tree renders a page full of fields and keywords whole.
  BigTree(kMaxNodes);
  Write("home_en.txt", "text [1+1]");
  Write("frame.html", "<h1>[LANG('home')]</h1>[1+2]|[TEXT('home')]|[CURBRANCH()]|[LANG_SEL(1,2)]\n[SITEMAP()]\n");
  EXPECT_EQ(Run(0x01, All()), 0) << g_box;
  const std::string page = Read("out/home_en.html");
  EXPECT_EQ(page.rfind("<h1>Home</h1>3|text 2|Home|", 0), 0u) << page.substr(0, 200);
  EXPECT_EQ(Lines(page, "<br>"), kMaxNodes);
  EXPECT_EQ(Lines(page, "<a  href=\"home_en.html\">Home</a><br>"), 1);
}

TEST_F(AppScratchRunTest, AKeywordThatRunsOutOfRoomEndsTheRunWithTheError) {
  // Each level of nested sub-templates takes some of the page's room; the
  // site map at the bottom comes out whole until the room is gone, and then
  // the run stops with 145 naming the page, never with a site map short of
  // lines or links.
  BigTree(kMaxNodes);
  Write("frame.html", "[INCLUDE('c0')]\n");
  u16 rc = 0;
  int depth = 0;
  for (; depth < 40 && rc == 0; ++depth) {
    for (int k = 0; k <= depth; ++k) {
      const std::string next = k < depth ? "[INCLUDE('c" + std::to_string(k + 1) + "')]\n" : "[SITEMAP()]\n";
      Write("c" + std::to_string(k) + ".sub.html", next);
    }
    g_box.clear();
    rc = Run(0x01, All());
    if (rc == 0) {
      const std::string page = Read("out/home_en.html");
      ASSERT_EQ(Lines(page, "<br>"), kMaxNodes) << depth;
      ASSERT_EQ(Lines(page, "\">Home</a><br>"), 1) << depth;
    }
  }
  EXPECT_EQ(rc, kErrOutOfMemory);
  EXPECT_NE(g_box.find("OUTOFMEMORY"), std::string::npos) << g_box;
  EXPECT_NE(g_box.find(Shown("out/home_en.html")), std::string::npos) << g_box;
  EXPECT_GT(depth, 2);  // an ordinary page had its room
}

}  // namespace

namespace {

// Every file name below a folder, with its bytes (links as "-> target").
std::map<std::string, std::string> Snapshot(const std::string& root) {
  std::map<std::string, std::string> files;
  for (const auto& e : fs::recursive_directory_iterator(root)) {
    if (e.is_symlink()) {
      files[e.path().string()] = "-> " + fs::read_symlink(e.path()).string();
    } else if (e.is_regular_file()) {
      std::ifstream in(e.path(), std::ios::binary);
      std::stringstream ss;
      ss << in.rdbuf();
      files[e.path().string()] = ss.str();
    }
  }
  return files;
}

// The program's temporaries are ".vellumcraft-<boot>-<pid>-<n>.tmp".
bool IsTemporary(const std::string& name) { return name.rfind(".vellumcraft-", 0) == 0; }

bool HasTemporary(const std::string& root) {
  for (const auto& e : fs::recursive_directory_iterator(root))
    if (IsTemporary(e.path().filename().string())) return true;
  return false;
}

// A modification time well in the past, and a file's own (-1 when it is not
// there).
constexpr time_t kLongAgo = 1000000000;
time_t MTime(const std::string& path) {
  struct stat st {};
  return stat(path.c_str(), &st) == 0 ? st.st_mtime : -1;
}
void SetLongAgo(const std::string& path) {
  const timespec times[2] = {{kLongAgo, 0}, {kLongAgo, 0}};
  ASSERT_EQ(utimensat(AT_FDCWD, path.c_str(), times, 0), 0) << path;
}

}  // namespace

// A write that fails part-way (a full disk, a size limit) leaves every page
// whole: the old pages as they were, a new page not there at all, no
// temporary beside them. The run ends at the first page that failed, named,
// with the counters and the log as they stood after it. Log lines that
// meet the limit are left out whole, never cut.
TEST_F(GenRunTest, APageThatCannotBeWrittenWholeLeavesTheOldOne) {
  std::string tree;
  for (int i = 0; i < 40; ++i) tree += "p" + std::to_string(i) + "\n";
  Write("tree.txt", tree);
  ASSERT_EQ(Run(0x01, All(), 0), 0);
  const auto before = Snapshot("out");
  ASSERT_GT(Read(kSiteLogName).size(), 2048u);

  {
    SizeLimit limit(2048);
    // The log passes the limit: the line that meets it is left out whole,
    // and the run says so at its end, naming the log and why.
    g_box.clear();
    ASSERT_EQ(Run(0x01, All(), 0), kErrFileIO);
    EXPECT_NE(g_box.find(Shown(kSiteLogName) + " (File too large)"), std::string::npos) << g_box;
    const std::string log = Read(kSiteLogName);
    EXPECT_LE(log.size(), 2048u);
    EXPECT_EQ(log.substr(log.size() - 2), "\r\n");
    for (size_t at = log.find("Creating File:"); at != std::string::npos; at = log.find("Creating File:", at + 1)) {
      const size_t end = log.find("\r\n", at);
      ASSERT_NE(end, std::string::npos);
      EXPECT_EQ(log.substr(end - 5, 5), ".html") << log.substr(at);
    }

    // Every page grows past the limit; "extra" is new and first.
    Write("tree.txt", "extra\n" + tree);
    Write("frame.html", std::string(3000, 'x') + "[LANG_ID]\n");
    written = avoids = 0;
    g_box.clear();
    EXPECT_EQ(Run(0x01, All(), 0), kErrFileIO);
  }
  EXPECT_EQ(Snapshot("out"), before);
  EXPECT_FALSE(fs::exists("out/extra_en.html"));
  EXPECT_FALSE(HasTemporary("."));
  EXPECT_NE(g_box.find(Shown("out/extra_en.html")), std::string::npos) << g_box;
  EXPECT_EQ(written, 1);
  const std::string log = Read(kSiteLogName);
  EXPECT_EQ(log.find("Creating File:"), log.rfind("Creating File:")) << log;
  EXPECT_EQ(log.find("...OK"), std::string::npos) << log;
}

// A name that is a link is replaced by the page; what it pointed to, a
// hard-linked twin and a read-only page are all handled without writing
// through them. A page that holds its content already is not written again,
// only stamped with the time of the run.
TEST_F(GenRunTest, PagesReplaceLinksAndUnchangedPagesAreOnlyStamped) {
  ASSERT_EQ(Run(0x01, All()), 0);
  const std::string home = Read("out/home_en.html");
  Write("target.txt", "outside");
  fs::remove("out/home_en.html");
  fs::create_symlink("../target.txt", "out/home_en.html");
  fs::remove("out/contact_en.html");
  fs::create_symlink("nowhere/at/all", "out/contact_en.html");
  Write("out/products/widget_en.html", "old widget");
  fs::create_hard_link("out/products/widget_en.html", "twin.html");
  fs::permissions("out/products/index_en.html", fs::perms::owner_read);

  ASSERT_EQ(Run(0x01, All()), 0) << g_box;
  EXPECT_EQ(Read("target.txt"), "outside");
  EXPECT_FALSE(fs::is_symlink("out/home_en.html"));
  EXPECT_EQ(Read("out/home_en.html"), home);
  EXPECT_FALSE(fs::is_symlink("out/contact_en.html"));
  EXPECT_EQ(Read("twin.html"), "old widget");
  EXPECT_NE(Read("out/products/widget_en.html"), "old widget");
  EXPECT_EQ(fs::hard_link_count("out/products/widget_en.html"), 1u);
  EXPECT_NE(Read("out/products/index_en.html"), "");

  // Unchanged: the same file (no new inode), stamped now.
  struct stat st_before {};
  ASSERT_EQ(stat("out/home_en.html", &st_before), 0);
  const timespec old_times[2] = {{1000000000, 0}, {1000000000, 0}};
  ASSERT_EQ(utimensat(AT_FDCWD, "out/home_en.html", old_times, 0), 0);
  const time_t start = time(nullptr);
  ASSERT_EQ(Run(0x01, All()), 0);
  struct stat st {};
  ASSERT_EQ(stat("out/home_en.html", &st), 0);
  EXPECT_EQ(st.st_ino, st_before.st_ino);
  EXPECT_GE(st.st_mtime, start);
  // Changed: a new file in its place.
  Write("frame.html", "changed\n");
  ASSERT_EQ(Run(0x01, All()), 0);
  EXPECT_EQ(Read("out/home_en.html"), "changed\n");
  ASSERT_EQ(stat("out/home_en.html", &st), 0);
  EXPECT_NE(st.st_ino, st_before.st_ino);

  // An unchanged page with a second name outside the site becomes a file of
  // its own to be stamped: the other name keeps its time. A type map that is
  // a link to an outside file is replaced, not read or written through.
  fs::create_hard_link("out/home_en.html", "outside.html");
  SetLongAgo("outside.html");
  const std::string outside_map = "URI: index\n\nURI: extra.html\nContent-language: xx\n\n";
  Write("outside.var", outside_map);
  fs::remove("out/index.html.var");
  fs::create_symlink("../outside.var", "out/index.html.var");
  const time_t again = time(nullptr);
  ASSERT_EQ(Run(0x01, All()), 0) << g_box;
  EXPECT_EQ(Read("outside.html"), "changed\n");
  EXPECT_EQ(MTime("outside.html"), kLongAgo);
  EXPECT_EQ(Read("out/home_en.html"), "changed\n");
  EXPECT_EQ(fs::hard_link_count("out/home_en.html"), 1u);
  EXPECT_GE(MTime("out/home_en.html"), again);
  EXPECT_FALSE(fs::is_symlink("out/index.html.var"));
  EXPECT_EQ(Read("out/index.html.var"),
            "URI: index\n\nURI: home_en.html\nContent-type: text/html\nContent-language: en\n\n");
  EXPECT_EQ(Read("outside.var"), outside_map);
}

// Temporaries that a killed run left (of pages and of the type map), however
// many, are removed by the next run; nothing else is: not a live process's
// temporary, not a user's file named like one (any name not exactly of the
// program's form: a boot that is not 8 lower-case hex digits or "0", a
// number with a sign or a leading zero, a field too many or empty), not a
// file or folder with the name of an older version's temporaries, nothing
// reached through a folder that is a link.
TEST_F(GenRunTest, AKilledRunsTemporariesAreRemovedByTheNext) {
  ASSERT_EQ(Run(0x01, All()), 0);
  // No process has this id (it is above any system's limit).
  const std::string gone = ".vellumcraft-2147483646-";
  for (int i = 1; i <= 150; ++i) Write("out/" + gone + std::to_string(i) + ".tmp", "stale");
  Write("out/products/" + gone + "9.tmp", "<html>half");
  fs::create_symlink("nowhere", "out/" + gone + "151.tmp");
  const std::vector<std::string> kept = {"out/.vellumcraft-1-5.tmp", "out/" + gone + "x.tmp", "out/" + gone + "7.tmp.bak",
                                         "out/notes.~1", "out/home_en.html.~7", "out/keep.txt", "elsewhere/" + gone + "3.tmp"};
  // A folder of the site that is a link: the pages go there, its files stay.
  fs::create_directory("elsewhere");
  for (const std::string& name : kept) Write(name, "mine");
  fs::create_directory("out/" + gone + "152.tmp");
  fs::create_directory_symlink("../elsewhere", "out/linked");
  Write("tree.txt", "home\nproducts\n\twidget\ncontact\nlinked\n\tinside\n");

  // A process of an earlier boot is gone whatever process has its id now;
  // one that ended and was not collected yet writes nothing more.
  std::string boot(8, '0');
  std::ifstream("/proc/sys/kernel/random/boot_id").read(boot.data(), 8);
  const pid_t ended = fork();
  if (ended == 0) _exit(0);
  siginfo_t info{};
  ASSERT_EQ(waitid(P_PID, static_cast<id_t>(ended), &info, WEXITED | WNOWAIT), 0);
  const std::string other_boot = std::string(boot[0] == 'f' ? "0" : "f") + boot.substr(1);
  const std::string pid = std::to_string(ended);
  const std::string swept[] = {".vellumcraft-" + other_boot + "-1-5.tmp", ".vellumcraft-" + boot + "-" + pid + "-5.tmp",
                               ".vellumcraft-0-" + pid + "-0.tmp", ".vellumcraft-" + pid + "-4294967295.tmp"};
  for (const std::string& name : swept) Write("out/" + name, "stale");
  std::string upper = other_boot;
  for (char& ch : upper) ch = static_cast<char>(std::toupper(static_cast<unsigned char>(ch)));
  const std::string mine[] = {
      // Live processes: this boot's, and one whose boot is not told.
      ".vellumcraft-" + boot + "-1-5.tmp", ".vellumcraft-0-1-5.tmp",
      // Not the program's form, of any boot.
      ".vellumcraft-ZZZZZZZZ-1-5.tmp", ".vellumcraft-backup-2024-01.tmp", ".vellumcraft-notes-1-2.tmp",
      ".vellumcraft-" + upper + "-1-5.tmp", ".vellumcraft-" + other_boot.substr(1) + "-1-5.tmp",
      ".vellumcraft-" + other_boot + "-01-5.tmp", ".vellumcraft-" + other_boot + "-1-05.tmp",
      ".vellumcraft-" + other_boot + "-+1-5.tmp", ".vellumcraft-" + other_boot + "-1--5.tmp",
      ".vellumcraft-" + other_boot + "-1-5-6.tmp", ".vellumcraft-" + other_boot + "-0-5.tmp",
      ".vellumcraft-" + other_boot + "-1-4294967296.tmp", ".vellumcraft-" + pid + "-5-.tmp",
      ".vellumcraft-2147483648-5.tmp", ".vellumcraft-" + pid + "-5 .tmp"};
  for (const std::string& name : mine) Write("out/" + name, "mine");

  EXPECT_EQ(Run(0x03, All()), 0) << g_box;
  waitpid(ended, nullptr, 0);
  for (const std::string& name : swept) EXPECT_FALSE(fs::exists("out/" + name)) << name;
  for (const std::string& name : mine) EXPECT_EQ(Read("out/" + name), "mine") << name;
  EXPECT_TRUE(fs::exists("out/index.html.var"));
  EXPECT_TRUE(fs::exists("elsewhere/inside_en.html"));
  for (const auto& e : fs::recursive_directory_iterator("out")) {
    const std::string name = e.path().filename().string();
    EXPECT_TRUE(name.rfind(gone, 0) != 0 || e.is_directory() || name == gone + "x.tmp" || name == gone + "7.tmp.bak")
        << e.path();
  }
  for (const std::string& name : kept) EXPECT_EQ(Read(name), "mine") << name;
  EXPECT_TRUE(fs::is_directory("out/" + gone + "152.tmp"));
}

// Runs body in a child process of its own, inside a mount namespace of its
// own (the writer threads of this process keep this process's mounts): the
// child's failures fail the test. False when mounts cannot be made here.
bool InOwnMounts(const std::function<void()>& body) {
  fflush(nullptr);
  const pid_t child = fork();
  if (child == 0) {
    if (unshare(CLONE_NEWNS) != 0 || mount("none", "/", nullptr, MS_REC | MS_PRIVATE, nullptr) != 0) _exit(77);
    body();
    fflush(nullptr);
    _exit(::testing::Test::HasFailure() ? 1 : 0);
  }
  int status = 0;
  EXPECT_EQ(waitpid(child, &status, 0), child);
  if (WIFEXITED(status) && WEXITSTATUS(status) == 77) return false;
  EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << "the child's failures are above; status " << status;
  return true;
}

// A disk too full to hold every new page beside its old one, in blocks or
// in inodes, as the writers' temporaries would need it: at the first
// refusal for want of room the rest of the run goes one page at a time (a
// temporary, flushed, renamed), and finishes as such a writer would. A
// disk with no room at all still lets a run remove pages.
TEST_F(GenRunTest, AFullDiskHasTheRoomAWriterInTurnWouldFind) {
  const struct {
    const char* what;
    int pages;
    size_t size;           // of each page
    const char* options;   // of the file system
  } cases[] = {
      // Room for eleven blocks: the eight pages and the type map, and two more.
      {"blocks", 8, 3000, "size=45056"},
      // Inodes for the folder, the ten pages and the type map, and two more.
      {"inodes", 10, 10, "nr_inodes=14"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    MakeSite();
    std::string tree;
    for (int i = 0; i < c.pages; ++i) tree += "p" + std::to_string(i) + "\n";
    Write("tree.txt", tree);
    const bool mounted = InOwnMounts([&] {
      ASSERT_EQ(mount("vktest", "out", "tmpfs", 0, c.options), 0) << std::strerror(errno);
      for (const char fill : {'a', 'b'}) {
        Write("frame.html", std::string(c.size, fill) + "[LANG_ID]\n");
        EXPECT_EQ(Run(0x01, All()), 0) << g_box;
      }
      for (int i = 0; i < c.pages; ++i)
        EXPECT_EQ(Read("out/p" + std::to_string(i) + "_en.html"), std::string(c.size, 'b') + "_en\n");
      EXPECT_FALSE(HasTemporary("out"));
      // With no room left at all, a run that removes pages to make room
      // goes on: it needs none (not even for its lock file).
      const std::string block(4096, 'f');
      for (int i = 0;; ++i) {
        const int fd = open(("out/fill" + std::to_string(i)).c_str(), O_WRONLY | O_CREAT | O_EXCL, 0644);
        if (fd < 0) break;
        const bool full = write(fd, block.data(), block.size()) != static_cast<ssize_t>(block.size());
        close(fd);
        if (full) break;
      }
      written = 0;
      EXPECT_EQ(Run(0x01, SiteGenOverwriteRule(true, true, -1, &written, &avoids), kRunDelete), 0) << g_box;
      EXPECT_EQ(written, c.pages);
      EXPECT_FALSE(fs::exists("out/p0_en.html"));
    });
    if (!mounted) GTEST_SKIP() << "a small file system of its own needs the right to mount one";
  }
}

// Pages removed on another file system mounted inside the site are flushed
// with the run: a flush of that file system that fails is said, naming it.
TEST_F(GenRunTest, RemovalsOnAnotherMountAreFlushedWithTheRun) {
  const bool mounted = InOwnMounts([&] {
    ASSERT_EQ(Run(0x01, All()), 0) << g_box;
    ASSERT_EQ(mount("vktest", "out/products", "tmpfs", 0, "size=65536"), 0) << std::strerror(errno);
    ASSERT_EQ(Run(0x01, All()), 0) << g_box;
    // Its fragments and type map are kept: the start folder's file system
    // is flushed first, then the mount's.
    OsFaultSet(kOsFaultSync, EIO, 1, 1);
    EXPECT_EQ(Run(0x01, SiteGenOverwriteRule(true, true, -1, &written, &avoids), kRunTypeMap | kRunDelete),
              kErrFileIO);
    OsFaultClear();
    EXPECT_NE(g_box.find(Shown("out/products") + " (Input/output error)"), std::string::npos) << g_box;
    EXPECT_FALSE(fs::exists("out/products/widget_en.html"));
  });
  if (!mounted) GTEST_SKIP() << "a file system of its own needs the right to mount one";
}

// Runs body in a child process as the user uid (and its group of the same
// number): the child's failures fail the test.
void AsUser(uid_t uid, const std::function<void()>& body) {
  fflush(nullptr);
  const pid_t child = fork();
  if (child == 0) {
    if (setgid(uid) != 0 || setuid(uid) != 0) _exit(100);
    body();
    fflush(nullptr);
    _exit(::testing::Test::HasFailure() ? 1 : 0);
  }
  int status = 0;
  EXPECT_EQ(waitpid(child, &status, 0), child);
  EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << "the child's failures are above; status " << status;
}

// True when /tmp holds a file of the name an older version locked a folder
// through (by the folder's file system and inode).
bool LockedThroughTmp(const char* folder) {
  struct stat st {};
  if (stat(folder, &st) != 0) return false;
  char name[96];
  std::snprintf(name, sizeof name, "/tmp/.vellumcraft-lock-%llx-%llx", static_cast<unsigned long long>(st.st_dev),
                static_cast<unsigned long long>(st.st_ino));
  return fs::exists(fs::symlink_status(name));
}

// Two runs into one site exclude each other whoever starts them: the
// super-user's run, which may read the output folder, and an ordinary
// user's, which may only write into it (mode 0300), each keeps the other
// out. A folder that may be written but not read takes every run's pages;
// a lock file there that the run may not use refuses the run; and nothing
// is left in the site or outside it.
TEST_F(GenRunTest, TwoUsersRunsIntoOneSiteExcludeEachOther) {
  if (geteuid() != 0) GTEST_SKIP() << "runs of two users need the super-user to start them";
  constexpr uid_t kUser = 65534, kOtherUser = 65533;
  // One an older version left for a folder that had these folders' inodes.
  const bool stale_out = LockedThroughTmp("out"), stale_here = LockedThroughTmp(".");
  ASSERT_EQ(chmod(".", 0777), 0);
  for (const auto& e : fs::recursive_directory_iterator(".")) ASSERT_EQ(lchown(e.path().c_str(), kUser, kUser), 0);
  ASSERT_EQ(chmod("out", 0300), 0);
  const std::string out = Lib("out");
  const auto refused = [&] {
    g_box.clear();
    EXPECT_EQ(Run(0x01, All()), kErrFileOpen);
    EXPECT_NE(g_box.find("Another run is writing into this site"), std::string::npos) << g_box;
  };

  // The super-user's run holds the site; the user's is refused.
  OsDirLockHeld held;
  ASSERT_EQ(OsDirLock(L(out.c_str()), &held), 0);
  AsUser(kUser, refused);
  OsDirUnlock(&held);
  EXPECT_TRUE(fs::is_empty("out"));

  // The user's run holds it; the super-user's is refused.
  int ready[2], done[2];
  ASSERT_EQ(pipe(ready), 0);
  ASSERT_EQ(pipe(done), 0);
  fflush(nullptr);
  const pid_t holder = fork();
  if (holder == 0) {
    char c = 0;
    OsDirLockHeld mine;
    const bool ok = setgid(kUser) == 0 && setuid(kUser) == 0 && OsDirLock(L(out.c_str()), &mine) == 0;
    if (write(ready[1], ok ? "y" : "n", 1) != 1 || read(done[0], &c, 1) != 1) _exit(1);
    OsDirUnlock(&mine);
    _exit(ok ? 0 : 1);
  }
  char c = 0;
  ASSERT_EQ(read(ready[0], &c, 1), 1);
  EXPECT_EQ(c, 'y');
  refused();
  ASSERT_EQ(write(done[1], "x", 1), 1);
  int status = 0;
  ASSERT_EQ(waitpid(holder, &status, 0), holder);
  EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << status;
  for (int fd : {ready[0], ready[1], done[0], done[1]}) close(fd);
  EXPECT_TRUE(fs::is_empty("out"));

  // Free again: each run writes its pages, into the folder it may not read.
  for (const char* frame : {"one [LANG_ID]\n", "two [LANG_ID]\n"}) {
    Write("frame.html", frame);
    ASSERT_EQ(lchown("frame.html", kUser, kUser), 0);
    AsUser(kUser, [&] { EXPECT_EQ(Run(0x03, All()), 0) << g_box; });
  }
  EXPECT_EQ(Read("out/products/widget_es.html"), "two _es\n");

  // Another user's private file at the lock file's name, in a site that
  // user may write too: the run cannot lock with it, and is refused.
  ASSERT_EQ(chmod("out", 01777), 0);
  Write("out/.vellumcraft.lock", "");
  ASSERT_EQ(chown("out/.vellumcraft.lock", kOtherUser, kOtherUser), 0);
  ASSERT_EQ(chmod("out/.vellumcraft.lock", 0600), 0);
  AsUser(kUser, [&] {
    g_box.clear();
    EXPECT_EQ(Run(0x01, All()), kErrFileOpen);
    EXPECT_NE(g_box.find("cannot be locked against a second run"), std::string::npos) << g_box;
    EXPECT_NE(g_box.find(Shown("out/.vellumcraft.lock") + " (Permission denied)"), std::string::npos) << g_box;
  });
  fs::remove("out/.vellumcraft.lock");

  for (const char* folder : {"out", "."}) {
    for (const auto& e : fs::recursive_directory_iterator(folder))
      EXPECT_NE(e.path().filename().string(), ".vellumcraft.lock") << e.path();
  }
  EXPECT_EQ(LockedThroughTmp("out"), stale_out);
  EXPECT_EQ(LockedThroughTmp("."), stale_here);
}

// Something other than a lock file at the lock file's name (which only
// those who may write the folder can put there): the run is refused at
// once, without following a link or waiting on a FIFO, touches nothing and
// leaves what is there as it was.
TEST_F(GenRunTest, ARunIsRefusedWhatIsPlantedAtItsLockFilesName) {
  const struct {
    const char* what;
    std::function<void(const std::string&)> plant;
    fs::file_type type;
  } cases[] = {
      {"a link to a file", [](const std::string& p) { fs::create_symlink(fs::absolute("target"), p); },
       fs::file_type::symlink},
      {"a link to nothing", [](const std::string& p) { fs::create_symlink("nowhere", p); }, fs::file_type::symlink},
      {"a FIFO", [](const std::string& p) { ASSERT_EQ(mkfifo(p.c_str(), 0666), 0); }, fs::file_type::fifo},
      {"a folder", [](const std::string& p) { fs::create_directory(p); }, fs::file_type::directory},
  };
  for (const char* folder : {"out", "."}) {
    for (const auto& c : cases) {
      SCOPED_TRACE(std::string(folder) + ": " + c.what);
      MakeSite();
      Write("target", "mine");
      Write(kSiteLogName, "the previous run's log\r\n");
      const std::string planted = std::string(folder) + "/.vellumcraft.lock";
      c.plant(planted);
      g_box.clear();
      EXPECT_EQ(Run(0x01, All()), kErrFileOpen);
      EXPECT_NE(g_box.find("cannot be locked against a second run"), std::string::npos) << g_box;
      EXPECT_NE(g_box.find(Shown(std::string(folder) == "." ? ".vellumcraft.lock" : planted)), std::string::npos)
          << g_box;
      EXPECT_EQ(fs::symlink_status(planted).type(), c.type);
      EXPECT_EQ(Read("target"), "mine");
      EXPECT_EQ(Read(kSiteLogName), "the previous run's log\r\n");
      EXPECT_FALSE(fs::exists("out/home_en.html"));
    }
  }
}

// A failure the system gives at the boundary (injected there) ends the run
// at the file it hits, as one writer meeting it would: the files before it
// are new, it and every later file are as they were, and the message names
// it with the system's reason. A flush that fails after every file is in
// place is said too, naming the folder.
TEST_F(GenRunTest, InjectedFailuresEndTheRunAtTheFileTheyHit) {
  const struct {
    const char* what;
    OsFaultCall call;
    int err;
    u32 skip, times;
    u16 code;
    std::string named;  // in the message; empty for none
    int pages_new;      // of home, products/index, products/widget, contact (in that order)
    const char* only = nullptr;  // the one file it hits, if one
  } cases[] = {
      {"no room once", kOsFaultWrite, ENOSPC, 3, 1, 0, "", 4},
      {"quota once", kOsFaultCreate, EDQUOT, 4, 1, 0, "", 4},
      {"no room for good", kOsFaultWrite, ENOSPC, 0, 0, 0xFFFF, "Vellumcraft_hmenu_en.txt (No space left", 0},
      {"I/O error on write", kOsFaultWrite, EIO, 0, 0, 0xFFFF, "Vellumcraft_hmenu_en.txt (Input/output", 0},
      {"a rename in the middle", kOsFaultPlace, EACCES, 2, 1, 0xFFFF,
       Shown("out/products/index_en.html") + " (Permission denied)", 1},
      {"the flush before placing", kOsFaultSync, EIO, 0, 1, 0xFFFF, "Vellumcraft_hmenu_en.txt (Input/output", 0},
      {"the flush at the end", kOsFaultSync, EIO, 1, 1, kErrFileIO,
       "Error Fichero I/O(Streams): " + std::string(dir) + " (Input/output error)", 4},
      // A page that cannot be made for want of an inode fails as a file that
      // cannot be opened; one that cannot be written for want of blocks, as
      // a failed write.
      {"no inode for a page", kOsFaultCreate, ENOSPC, 0, 0, 0xFFFF,
       "Error Indefinido: " + Shown("out/products/index_en.html") + " (No space left", 1, "products/index_en.html"},
      {"no block for a page", kOsFaultWrite, ENOSPC, 0, 0, kErrFileIO,
       "Error Fichero I/O: " + Shown("out/products/index_en.html") + " (No space left", 1, "products/index_en.html"},
  };
  const char* pages[] = {"out/home_en.html", "out/products/index_en.html", "out/products/widget_en.html",
                         "out/contact_en.html"};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    MakeSite();
    Write("frame.html", "old [LANG_ID]\n");
    ASSERT_EQ(Run(0x01, All()), 0) << g_box;
    fs::remove_all("Vellumcraft_hmenu_en.txt");
    Write("frame.html", "new [LANG_ID]\n");
    OsFaultSet(c.call, c.err, c.skip, c.times, c.only);
    g_box.clear();
    EXPECT_EQ(Run(0x01, All()), c.code) << g_box;
    OsFaultClear();
    if (!c.named.empty()) {
      EXPECT_NE(g_box.find(c.named), std::string::npos) << g_box;
    } else {
      EXPECT_EQ(g_box, "");
    }
    for (int i = 0; i < 4; ++i) EXPECT_EQ(Read(pages[i]), i < c.pages_new ? "new _en\n" : "old _en\n") << pages[i];
    EXPECT_FALSE(HasTemporary("."));
  }
}

// A stop signal at the run's end: one raised while the last page is
// rendered (after that page asked for stops) came before the end, and the
// run is a stopped one, reported as such; one raised as the progress
// window closes (the pages settled and flushed) came after it, and the run
// finished. Either way every page handed over is placed and the report
// agrees with the result: never a failure without its message and log
// line, nor a message on a run that succeeded.
void RaiseTerm() { std::raise(SIGTERM); }
HtmlTagState RaiseOnTheLastPage(HtmlTagState s, StrSlice macros) {
  const SiteCursor* at = SiteCursorGet();
  if (at->record && StrEqual(SiteNodeField(at->record->text, kNodeFieldName), L("contact"))) RaiseTerm();
  return SiteKwDispatch(s, macros);
}
void RaiseOnClose(UiWindow) { RaiseTerm(); }

TEST_F(GenRunTest, AStopSignalAtTheRunsEndFindsItStoppedOrFinished) {
  const struct {
    const char* what;
    HtmlTagHandler handler;
    void (*destroy)(UiWindow);
    u16 code;
  } cases[] = {
      {"during the last page", RaiseOnTheLastPage, nullptr, kErrCancelled},
      {"as the window closes", SiteKwDispatch, RaiseOnClose, 0},
  };
  const char* pages[] = {"out/home_en.html", "out/products/index_en.html", "out/products/widget_en.html",
                         "out/contact_en.html"};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    // Ignored outside the watch: a signal not caught fails the test
    // instead of ending the test program.
    std::signal(SIGTERM, SIG_IGN);
    MakeSite();
    Write("frame.html", "new [LANG_ID]\n");
    UiBackend ui = *UiBackendGet();
    if (c.destroy) ui.destroy_window = c.destroy;
    UiSetBackend(&ui);
    g_box.clear();
    written = 0;
    EXPECT_EQ(Run(0x01, All(), kRunTypeMap, c.handler), c.code);
    EXPECT_EQ(OsStopRequested(), SIGTERM);
    EXPECT_EQ(OsStopStopped(), c.code ? SIGTERM : 0);
    OsStopWatchEnd();
    std::signal(SIGTERM, SIG_DFL);
    for (const char* page : pages) EXPECT_EQ(Read(page), "new _en\n") << page;
    EXPECT_EQ(written, 4);
    EXPECT_FALSE(HasTemporary("."));
    const std::string log = Read(kSiteLogName);
    if (c.code == 0) {
      EXPECT_EQ(g_box, "");
      EXPECT_EQ(log.find("Run Ended:"), std::string::npos) << log;
    } else {
      EXPECT_NE(g_box.find("Cancelado por el usuario"), std::string::npos) << g_box;
      EXPECT_TRUE(log.ends_with("Run Ended:" + g_box + " (stopped by SIGTERM)\r\n")) << log;
    }
  }
}

// A name handed over twice, or a page that cannot be made, before a file
// that cannot be put in place: the run ends at that file as one writer
// would, with its counts, its message, and a log that ends at the file's
// "Creating File:" line (none of its making); nothing after it is made, and
// a later page's template changes nothing outside its page.
TEST_F(GenRunTest, ARunEndsAtTheFirstFileThatCannotBePutInPlace) {
  const struct {
    const char* what;
    const char* tree;
    const char* frame;
    const char* at;  // the page that cannot be put in place
    // Its name refuses the file (EPERM at the rename, as a folder with the
    // sticky bit refuses another user's file), where a folder is not there.
    bool refused;
    u16 written;
    const char* absent[2];
    std::string later = "";           // the template w.html, which a page after it uses
    const char* holds[2] = {nullptr};  // a file and what it holds after the run
  } cases[] = {
      {"a page name twice, then a section of that name", "history, missing.html\nhistory\n\tabout\nlast\n",
       "[LANG_ID]\n", "out/history_en.html", false, 1, {"out/history", "out/last_en.html"}},
      {"a page name twice around another", "home, a.html\nx\nhome, b.html\n", "[LANG_ID]\n", "out/home_en.html", false,
       1, {"out/x_en.html", nullptr}},
      {"a page whose making logs lines", "p1\np2\np3\n", "[LANG('nokey')][LANG_ID]\n", "out/p2_en.html", false, 2,
       {"out/p3_en.html", nullptr}},
      {"two page names twice, the second refused", "w, a.html\nx, a.html\nx, b.html\nw, b.html\n", "[LANG_ID]\n",
       "out/x_en.html", true, 2, {}, "", {"out/w_en.html", "A _en\n"}},
      {"a later template replaces a file", "x\ny, w.html\n", "[LANG_ID]\n", "out/x_en.html", false, 1,
       {"side.txt", nullptr}, "[WRITE('side.txt',-3,'made')]\n"},
      {"a later template appends to a file", "x\ny, w.html\n", "[LANG_ID]\n", "out/x_en.html", false, 1,
       {"side.txt", nullptr}, "[WRITE('side.txt',-1,'made')]\n"},
      {"a later template writes into a file", "x\ny, w.html\n", "[LANG_ID]\n", "out/x_en.html", false, 1,
       {"side.txt", nullptr}, "[WRITE('side.txt',0,'made')]\n"},
      {"a later template removes a file", "x\ny, w.html\n", "[LANG_ID]\n", "out/x_en.html", false, 1, {},
       "[WRITE('keep.txt',-3,'')]\n", {"keep.txt", "kept\n"}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    MakeSite();
    Write("tree.txt", c.tree);
    Write("frame.html", c.frame);
    Write("a.html", "A [LANG_ID]\n");
    Write("b.html", "B [LANG_ID]\n");
    Write("w.html", c.later);
    Write("keep.txt", "kept\n");
    if (c.refused) {
      OsFaultSet(kOsFaultPlace, EPERM, 0, 0, fs::path(c.at).filename().c_str());
    } else {
      fs::create_directory(c.at);
    }
    written = avoids = 0;
    g_box.clear();
    EXPECT_EQ(Run(0x01, All()), 0xFFFF);
    OsFaultClear();
    EXPECT_EQ(written, c.written);
    const char* reason = c.refused ? " (Operation not permitted)" : " (Is a directory)";
    EXPECT_NE(g_box.find(Shown(c.at) + reason), std::string::npos) << g_box;
    const std::string log = Read(kSiteLogName);
    const std::string tail = "Creating File:" + Shown(c.at) + "\r\nRun Ended:" + g_box + "\r\n";
    EXPECT_TRUE(log.ends_with(tail)) << log;
    for (const char* absent : c.absent)
      EXPECT_TRUE(!absent || !fs::exists(absent)) << absent;
    if (c.holds[0]) {
      EXPECT_EQ(Read(c.holds[0]), c.holds[1]) << c.holds[0];
    }
    EXPECT_FALSE(HasTemporary("."));
  }
}

// A type map that may not be replaced (immutable) ends the run before the
// pages that follow it, in an edited site as on a fresh one.
TEST_F(GenRunTest, ATypeMapThatMayNotBeReplacedStopsTheRunBeforeThePages) {
  Write("frame.html", "old [LANG_ID]\n");
  ASSERT_EQ(Run(0x03, All()), 0) << g_box;
  const int fd = open("out/index.html.var", O_RDONLY);
  int flags = 0;
  if (fd < 0 || ioctl(fd, FS_IOC_GETFLAGS, &flags) != 0 ||
      (flags |= FS_IMMUTABLE_FL, ioctl(fd, FS_IOC_SETFLAGS, &flags) != 0)) {
    if (fd >= 0) close(fd);
    GTEST_SKIP() << "this file system or user cannot make a file immutable";
  }
  Write("frame.html", "new [LANG_ID]\n");
  written = avoids = 0;
  const u16 rc = Run(0x03, All());
  flags &= ~FS_IMMUTABLE_FL;
  EXPECT_EQ(ioctl(fd, FS_IOC_SETFLAGS, &flags), 0);
  close(fd);
  EXPECT_EQ(rc, kErrDiskIO);
  EXPECT_EQ(written, 0);
  EXPECT_NE(g_box.find(Shown("out/index.html.var") + " (Operation not permitted)"), std::string::npos) << g_box;
  for (const auto& e : fs::recursive_directory_iterator("out"))
    EXPECT_TRUE(e.path().extension() != ".html" || Read(e.path().string()).starts_with("old ")) << e.path();
}

// A type map that refuses its new content ends the run before the pages
// that follow it, whether they would be written or removed.
TEST_F(GenRunTest, ARefusedTypeMapLeavesThePagesAfterItAsTheyWere) {
  for (const u8 flags : {u8{kRunTypeMap}, u8{kRunTypeMap | kRunDelete}}) {
    SCOPED_TRACE(flags);
    MakeSite();
    Write("frame.html", "old [LANG_ID]\n");
    ASSERT_EQ(Run(0x01, All()), 0) << g_box;
    Write("frame.html", "new [LANG_ID]\n");
    Write("out/index.html.var", "a type map of another site\n");
    OsFaultSet(kOsFaultPlace, EPERM, 0, 0, "index.html.var");
    written = avoids = 0;
    EXPECT_NE(Run(0x01, SiteGenOverwriteRule(true, flags & kRunDelete, -1, &written, &avoids), flags), 0);
    OsFaultClear();
    EXPECT_EQ(written, 0);
    EXPECT_NE(g_box.find(Shown("out/index.html.var") + " (Operation not permitted)"), std::string::npos) << g_box;
    EXPECT_EQ(Read("out/home_en.html"), "old _en\n");
    EXPECT_EQ(Read(kSiteLogName).find("Error Deleting File"), std::string::npos);
  }
}

// A page the run made earlier is read by a later page's template as it is
// now, however the template spells its path: through a symbolic link to it
// or to its folder too (made before the page is, it leads nowhere at
// first). A second name of the old page (a hard link) is another file once
// the page is replaced, and reads as it then holds: the old content.
TEST_F(GenRunTest, APageMadeEarlierIsReadNewHoweverItsPathIsSpelt) {
  const struct {
    std::string spelt;
    const char* holds = "out/home_en.html";  // what the spelling reads after the run
    const char* link = nullptr;              // a symbolic link made before the runs
    const char* to = nullptr;
  } spellings[] = {
      {"out\\\\home_en.html"},
      {"out/home_en.html"},
      {"./out/../out/home_en.html"},
      {std::string(dir) + "/out/home_en.html"},
      {"out/alias.html", "out/alias.html", "out/alias.html", "home_en.html"},
      {"site/home_en.html", "site/home_en.html", "site", "out"},
      {"out/twin.html", "out/twin.html"},
  };
  for (const auto& s : spellings) {
    SCOPED_TRACE(s.spelt);
    MakeSite();
    if (s.link) {
      ASSERT_EQ(symlink(s.to, s.link), 0);
    }
    Write("tree.txt", "home\nreader, reader.html\n");
    Write("reader.html", "[READ$('" + s.spelt + "')]\n");
    for (const char* frame : {"old [LANG_ID]\n", "new [LANG_ID]\n"}) {
      Write("frame.html", frame);
      EXPECT_EQ(Run(0x01, All()), 0) << g_box;
      EXPECT_EQ(Read("out/reader_en.html"), Read(s.holds) + "\n");
      if (s.spelt == "out/twin.html" && !fs::exists("out/twin.html")) {
        ASSERT_EQ(link("out/home_en.html", "out/twin.html"), 0);
      }
    }
  }
}

// A page replaced keeps its permissions (and its group where the run may
// give it); a new page gets what the umask gives.
TEST_F(GenRunTest, AReplacedPageKeepsItsPermissions) {
  const mode_t modes[] = {0600, 0640, 0604, 0755};
  const char* pages[] = {"out/home_en.html", "out/products/index_en.html", "out/products/widget_en.html",
                         "out/contact_en.html"};
  const mode_t mask = umask(022);
  Write("frame.html", "old [LANG_ID]\n");
  ASSERT_EQ(Run(0x01, All()), 0) << g_box;
  for (int i = 0; i < 4; ++i) ASSERT_EQ(chmod(pages[i], modes[i]), 0);
  Write("tree.txt", "home\nproducts\n\twidget\ncontact\nfresh\n");
  Write("frame.html", "new [LANG_ID]\n");
  EXPECT_EQ(Run(0x01, All()), 0) << g_box;
  umask(mask);
  for (int i = 0; i < 4; ++i) {
    struct stat st {};
    EXPECT_EQ(stat(pages[i], &st), 0);
    EXPECT_EQ(st.st_mode & 07777, modes[i]) << pages[i];
    EXPECT_EQ(Read(pages[i]), "new _en\n");
  }
  struct stat st {};
  EXPECT_EQ(stat("out/fresh_en.html", &st), 0);
  EXPECT_EQ(st.st_mode & 07777, 0644u);
}

// While another run writes into the site, a run is refused at once and
// touches nothing: not the pages, not the other run's log.
TEST_F(GenRunTest, ASecondRunIntoTheSameSiteIsRefused) {
  Write(kSiteLogName, "the other run's log\r\n");
  for (const char* folder : {"out", "."}) {
    SCOPED_TRACE(folder);
    OsDirLockHeld other;
    ASSERT_EQ(OsDirLock(L(Lib(folder).c_str()), &other), 0);
    g_box.clear();
    EXPECT_EQ(Run(0x01, All()), kErrFileOpen);
    OsDirUnlock(&other);
    EXPECT_NE(g_box.find("Another run is writing into this site"), std::string::npos) << g_box;
    EXPECT_EQ(Read(kSiteLogName), "the other run's log\r\n");
    EXPECT_TRUE(fs::is_empty("out"));
  }
  EXPECT_EQ(Run(0x01, All()), 0);
  EXPECT_TRUE(fs::exists("out/home_en.html"));
  // The run's lock files go with it.
  EXPECT_FALSE(fs::exists("out/.vellumcraft.lock"));
  EXPECT_FALSE(fs::exists(".vellumcraft.lock"));
}


// Two nodes of one page name make one page, decided in turn as one writer
// would: the second node's check sees the first node's page in place
// (created, replaced or deleted), and its content is compared with the
// first node's, not with the file of the run before.
TEST_F(GenRunTest, TwoNodesOfOnePageNameAreDecidedInTurn) {
  Write("a.html", "A [LANG_ID]\n");
  Write("b.html", "B [LANG_ID]\n");
  const struct {
    const char* tree;
    const char* page;  // before the suffix
  } trees[] = {{"home, a.html\nhome, b.html\n", "out/home"}, {"sec, a.html\n\tindex, b.html\n", "out/sec/index"}};
  const struct {
    const char* what;
    bool overwrite, deletion;
    i16 window;
    bool existing;        // over the site of a run before (its page holds B)
    u16 written, avoids;  // both languages
    const char* content;  // the page's, before the suffix; null when gone
  } rules[] = {
      {"create only", false, false, -1, false, 2, 2, "A"},
      {"overwrite all", true, false, -1, false, 4, 0, "B"},
      {"overwrite all, existing site", true, false, -1, true, 4, 0, "B"},
      {"younger than 2 Min.", true, false, 1, false, 4, 0, "B"},
      {"deletion, existing site", true, true, -1, true, 2, 2, nullptr},
  };
  for (const auto& t : trees)
    for (const auto& r : rules)
      for (int round = 0; round < 3; ++round) {  // however the writers were scheduled
        SCOPED_TRACE(std::string(t.page) + ", " + r.what);
        Write("tree.txt", t.tree);
        fs::remove_all("out");
        fs::create_directory("out");
        if (r.existing) {
          ASSERT_EQ(Run(0x03, All(), 0), 0) << g_box;
        }
        written = avoids = 0;
        EXPECT_EQ(Run(0x03, SiteGenOverwriteRule(r.overwrite, r.deletion, r.window, &written, &avoids),
                      r.deletion ? kRunDelete : 0),
                  0)
            << g_box;
        EXPECT_EQ(written, r.written);
        EXPECT_EQ(avoids, r.avoids);
        const std::string log = Read(kSiteLogName);
        for (const std::string lang : {"_en", "_es"}) {
          const std::string page = t.page + lang + ".html";
          if (r.content) {
            EXPECT_EQ(Read(page), r.content + (" " + lang) + "\n");
          } else {
            EXPECT_FALSE(fs::exists(page));
          }
          EXPECT_EQ(log.find("Skipping File:" + Shown(page)) != std::string::npos, r.avoids > 0) << log;
        }
        EXPECT_FALSE(HasTemporary("."));
      }
}

// A page that cannot be written in the middle of a run ends the run there,
// as one writer stopping at it: the pages before it are new; nothing after
// it is created, replaced or stamped (the folder of a later section is
// removed again; the next language's pages, fragments and type map entry
// are not written); the log, the counters and the message stop at it.
TEST_F(GenRunTest, APageThatCannotBeWrittenMidRunEndsTheRunThere) {
  for (const bool size_limit : {false, true})
    for (const bool edited : {false, true}) {
      SCOPED_TRACE(std::string(size_limit ? "size limit" : "folder at the name") + (edited ? ", edited" : ", fresh"));
      MakeSite();
      if (edited) {
        Write("tree.txt", "p1\np2\np3\np4\np5\n");
        Write("frame.html", "old [LANG_ID]\n");
        ASSERT_EQ(Run(0x03, All()), 0) << g_box;
      }
      Write("tree.txt", "p1\np2\np3, big.html\np4\nsec\n\tchild\np5\n");
      Write("frame.html", "new [LANG_ID]\n");
      Write("big.html", std::string(3000, 'x') + "[LANG_ID]\n");
      if (!size_limit) {
        fs::remove("out/p3_en.html");
        fs::create_directory("out/p3_en.html");
      }
      for (const auto& e : fs::recursive_directory_iterator("."))
        if (e.is_regular_file()) SetLongAgo(e.path().string());
      const auto before = Snapshot(".");
      written = avoids = 0;
      g_box.clear();
      {
        std::optional<SizeLimit> limit;
        if (size_limit) limit.emplace(2048);
        EXPECT_EQ(Run(0x03, All()), size_limit ? kErrFileIO : 0xFFFF);
      }
      EXPECT_NE(g_box.find(Shown("out/p3_en.html")), std::string::npos) << g_box;
      EXPECT_EQ(written, 3);
      EXPECT_EQ(avoids, 0);
      EXPECT_EQ(Read("out/p1_en.html"), "new _en\n");
      EXPECT_EQ(Read("out/p2_en.html"), "new _en\n");
      // Only the files before p3 were written; the rest are as they were,
      // to their times.
      const std::set<std::string> changed = {"./out/p1_en.html", "./out/p2_en.html", "./out/index.html.var",
                                             "./Vellumcraft_hmenu_en.txt", "./Vellumcraft_vmenu_en.txt",
                                             std::string("./") + kSiteLogName};
      const auto after = Snapshot(".");
      for (const auto& [name, bytes] : after) {
        EXPECT_TRUE(changed.count(name) || before.count(name)) << name;
      }
      for (const auto& [name, bytes] : before) {
        if (changed.count(name)) continue;
        EXPECT_EQ(after.count(name) ? after.at(name) : std::string("<gone>"), bytes) << name;
        EXPECT_EQ(MTime(name), kLongAgo) << name;
      }
      EXPECT_FALSE(fs::exists("out/sec"));
      EXPECT_EQ(fs::is_directory("out/p3_en.html"), !size_limit);
      const std::string map = Read("out/index.html.var");
      EXPECT_EQ(map.find("Content-language: es") != std::string::npos, edited) << map;
      EXPECT_TRUE(map.ends_with("Content-language: en\n\n")) << map;
      const std::string log = Read(kSiteLogName);
      EXPECT_NE(log.find("Creating File:" + Shown("out/p2_en.html") + "\r\n...OK\r\n"), std::string::npos) << log;
      const std::string p3 = "Creating File:" + Shown("out/p3_en.html") + "\r\n";
      const size_t at = log.find(p3);
      ASSERT_NE(at, std::string::npos) << log;
      EXPECT_EQ(log.substr(at), p3 + "Run Ended:" + g_box + "\r\n");
      EXPECT_FALSE(HasTemporary("."));
    }
}

// Without writer threads and without swapping names (what a system may
// lack), runs leave the same files, byte for byte, and the same counts.
TEST_F(GenRunTest, RunsWithoutThreadsOrNameSwapsLeaveTheSameSite) {
  const u32 saved = OsFallbacks();
  std::map<std::string, std::string> site[2];
  u16 counts[2][2] = {};
  for (int k = 0; k < 2; ++k) {
    OsSetFallbacks(k ? saved | kOsNoThreads | kOsNoExchange | kOsNoUnnamed : saved);
    MakeSite();
    Write("a.html", "A [LANG_ID]\n");
    Write("tree.txt", "home, a.html\nhome\nproducts\n\twidget\n\tindex\ncontact\n");
    written = avoids = 0;
    u32 thread_jobs = 0;
    EXPECT_EQ(Run(0x03, All()), 0) << g_box;  // new pages
    thread_jobs += WriteQueueThreadJobs();
    EXPECT_EQ(Run(0x03, All()), 0) << g_box;  // unchanged: stamped
    thread_jobs += WriteQueueThreadJobs();
    Write("frame.html", "changed [LANG_ID]\n");
    EXPECT_EQ(Run(0x03, All()), 0) << g_box;  // replaced
    thread_jobs += WriteQueueThreadJobs();
    EXPECT_FALSE(HasTemporary("."));
    // The pass without threads has none write for it; the other has writer
    // threads write (where threads are used and it may run on more than one
    // CPU).
    if (k == 1) {
      EXPECT_EQ(thread_jobs, 0u);
    } else if (!(saved & kOsNoThreads) && OsCpuCount() > 1) {
      EXPECT_GT(thread_jobs, 0u);
    }
    site[k] = Snapshot(".");
    counts[k][0] = written;
    counts[k][1] = avoids;
  }
  OsSetFallbacks(saved);
  EXPECT_EQ(site[1], site[0]);
  EXPECT_EQ(counts[1][0], counts[0][0]);
  EXPECT_EQ(counts[1][1], counts[0][1]);
  EXPECT_EQ(counts[0][0], 3 * 12);
}
