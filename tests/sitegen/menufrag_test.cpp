#include "sitegen/menufrag.h"

#include <stdlib.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <iterator>
#include <string>

#include "page_fixture.h"
#include "runtime/error.h"
#include "runtime/scratch.h"
#include "runtime/varstore.h"
#include "runtime_fixture.h"
#include "size_limit.h"
#include "script/eval.h"
#include "script/variables.h"
#include "sitegen/pagetree.h"
#include "sitegen/sitetext.h"

using namespace vk;

namespace {

const std::string kProductsTree = "home\nproducts\n\twidget\ncontact\n";
const char* kEnglish = "home:'Home':products:'Products':widget:'Widget':contact:'Contact'";

// The library started in a temporary folder, which is the current directory
// (menus and the run log "log.txt" land there) and the output root.
struct MenuFragTest : SiteLibTest {
  std::string lib_dir;

  void SetUp() override {
    SiteLibTest::SetUp();
    lib_dir = Lib();
  }
  void TearDown() override {
    chmod(dir.c_str(), 0700);  // a test may leave the folder read-only
    SiteLibTest::TearDown();
  }
  StrSlice Root() const { return L(lib_dir.c_str()); }
  static void Tree(const std::string& lines) {
    Write("tree.txt", lines);
    ASSERT_EQ(SiteTreeLoad(L("tree.txt"), kSiteTextWidth), 0);
  }
  // Language i as the run makes it current, with its texts when given.
  static void Language(u16 i, const char* texts) {
    SiteGenLangSet(i);
    ASSERT_EQ(StoreSet(kGroupRun, kRunLangTexts, SiteGenLangSuffix(i)), 0);
    if (texts) {
      ASSERT_EQ(StorePush(kGroupParamLists, L(texts)), 0);
    }
  }
  static void Assign(const std::string& statement) { ASSERT_LE(ExprEval(L(statement.c_str())), kResultText); }
  // Writes both menus and checks that the vertical one has the same body.
  static std::string Body(const char* hmenu, const char* vmenu) {
    const WorkMarkId mark = WorkMark(kMarkQuery);
    EXPECT_EQ(SiteGenWriteMenus(), 0);
    EXPECT_EQ(WorkMark(kMarkQuery), mark);
    const std::string h = Read(hmenu), v = Read(vmenu);
    const std::string h_open = "<ul id=\"navbar\">\r\n", v_open = "<div id=\"menuwrapper\">\r\n<ul>\r\n";
    EXPECT_EQ(h.substr(0, h_open.size()), h_open);
    const std::string body = h.substr(h_open.size(), h.size() - h_open.size() - 7);
    EXPECT_EQ(h, h_open + body + "</ul>\r\n");
    EXPECT_EQ(v, v_open + body + "</ul>\r\n</div>");
    return body;
  }
  static std::string Item(const std::string& indent, const std::string& href, const std::string& text) {
    return indent + "<li><a href=\"" + href + "\">" + text + "</a>";
  }
};

TEST_F(MenuFragTest, EnglishMenusNestTheTree) {
  Tree(kProductsTree);
  Language(1, kEnglish);
  EXPECT_EQ(Body("Vellumcraft_hmenu_en.txt", "Vellumcraft_vmenu_en.txt"),
            Item("", "/home_en.html", "Home") + "</li>\r\n" +
                Item("", "/products/index_en.html", "Products") + "\r\n\t<ul>\r\n" +
                Item("\t", "/products/widget_en.html", "Widget") + "</li>\r\n" +
                "\t\t</ul>\r\n\t</li>\r\n" +
                Item("", "/contact_en.html", "Contact") + "</li>\r\n");
  EXPECT_FALSE(std::filesystem::exists("Vellumcraft_hmenu.txt"));
  EXPECT_EQ(Read("log.txt"), "");
}

TEST_F(MenuFragTest, RelPathAndLinkOptionsAndClimbs) {
  // RELPATH$ leads every generated address and counts as a level of indent;
  // a link option is written as it is. Climbing several levels at once
  // closes each with the indent of the item written last.
  Tree("home\nproducts\n\twidget,/shop/widget.cgi;2\n\ttools\n\t\tsaw\ncontact\n");
  Language(2, "home:'Inicio':products:'Productos':widget:'Pieza':tools:'Herramientas':saw:'Sierra':contact:'Contacto'");
  Assign("RELPATH$='site'");
  EXPECT_EQ(Body("Vellumcraft_hmenu_es.txt", "Vellumcraft_vmenu_es.txt"),
            Item("\t", "/site/home_es.html", "Inicio") + "</li>\r\n" +
                Item("\t", "/site/products/index_es.html", "Productos") + "\r\n\t\t<ul>\r\n" +
                Item("\t\t", "/shop/widget.cgi", "Pieza") + "</li>\r\n" +
                Item("\t\t", "/site/products/tools/index_es.html", "Herramientas") + "\r\n\t\t\t<ul>\r\n" +
                Item("\t\t\t", "/site/products/tools/saw_es.html", "Sierra") + "</li>\r\n" +
                "\t\t\t\t</ul>\r\n\t\t\t</li>\r\n\t\t\t\t</ul>\r\n\t\t\t</li>\r\n" +
                Item("\t", "/site/contact_es.html", "Contacto") + "</li>\r\n");
}

TEST_F(MenuFragTest, AvoidedPageEndsTheMenuWithListsClosed) {
  Tree("home\nproducts\n\twidget\n\tSiteMap\n\tgadget\ncontact\n");
  Language(1, kEnglish);
  const std::string head = Item("", "/home_en.html", "Home") + "</li>\r\n" +
                           Item("", "/products/index_en.html", "Products") + "\r\n\t<ul>\r\n";
  const std::string widget = Item("\t", "/products/widget_en.html", "Widget") + "</li>\r\n";
  EXPECT_EQ(Body("Vellumcraft_hmenu_en.txt", "Vellumcraft_vmenu_en.txt"), head + widget + "\t\t</ul>\r\n\t</li>\r\n");

  // MNUAVOID$ replaces the default list; its items must be lower case.
  Assign("MNUAVOID$='x,widget'");
  EXPECT_EQ(Body("Vellumcraft_hmenu_en.txt", "Vellumcraft_vmenu_en.txt"), head + "\t</ul>\r\n</li>\r\n");
  Assign("MNUAVOID$='HOME'");
  EXPECT_EQ(SiteGenMenuAvoided(L("home")), 0);
  Assign("MNUAVOID$='home'");
  EXPECT_EQ(SiteGenMenuAvoided(L("Home")), 1);
  EXPECT_EQ(Body("Vellumcraft_hmenu_en.txt", "Vellumcraft_vmenu_en.txt"), "");
}

TEST_F(MenuFragTest, NoLanguagePassShowsPlainNames) {
  Tree("home\nabout_us\n\tour_team\n");
  Language(0, nullptr);
  EXPECT_EQ(Body("Vellumcraft_hmenu.txt", "Vellumcraft_vmenu.txt"),
            Item("", "/home.html", "home") + "</li>\r\n" + Item("", "/about_us/index.html", "about us") +
                "\r\n\t<ul>\r\n" + Item("\t", "/about_us/our_team.html", "our team") + "</li>\r\n" +
                "\t\t</ul>\r\n\t</li>\r\n");
  const std::string fails = "\r\n--- Fail LangCode home\r\n\r\n--- Fail LangCode about_us\r\n"
                            "\r\n--- Fail LangCode our_team\r\n";
  EXPECT_EQ(Read("log.txt"), fails + fails);  // once per item of each file
}

TEST_F(MenuFragTest, MenuFailuresStopBeforeTheClosingText) {
  Tree(kProductsTree);
  Language(1, kEnglish);
  // A folder in the horizontal menu's place: 164 and no vertical menu.
  std::filesystem::create_directory("Vellumcraft_hmenu_en.txt");
  EXPECT_EQ(SiteGenWriteMenus(), kErrFileNotFound);
  EXPECT_FALSE(std::filesystem::exists("Vellumcraft_vmenu_en.txt"));
  EXPECT_NE(S(ErrDetail()).find("Vellumcraft_hmenu_en.txt"), std::string::npos);

  // Bytes that never reach the disk are a failed write, not a menu: the
  // old menu stays whole, and nothing else is left.
  Write("m.txt", "old menu");
  {
    SizeLimit limit(16);
    EXPECT_EQ(SiteGenWriteMenuTree(L("m.txt"), L("<ul>"), L("</ul>")), kFailed);
  }
  EXPECT_EQ(Read("m.txt"), "old menu");
  for (const auto& e : std::filesystem::directory_iterator("."))
    EXPECT_NE(e.path().filename().string().rfind(".vellumcraft-", 0), 0u) << e.path();

  // A long address is room enough for its item: the menu is whole.
  Assign("RELPATH$='" + std::string(1000, 'x') + "'");
  EXPECT_EQ(SiteGenWriteMenuTree(L("m.txt"), L("<ul>"), L("</ul>")), 0);
  EXPECT_NE(Read("m.txt").find("<a href=\"/" + std::string(1000, 'x') + "/products/widget_en.html\">Widget</a>"),
            std::string::npos);
  EXPECT_EQ(Read("m.txt").substr(Read("m.txt").size() - 5), "</ul>");
}

struct TypeMapTest : MenuFragTest {
  static std::string Entry(const std::string& base, const std::string& code) {
    return "URI: " + base + "_" + code + ".html\nContent-type: text/html\nContent-language: " + code + "\n\n";
  }
  u16 Map(const char* base, u16 i) { return SiteGenWriteTypeMap(Root(), L(base), i); }
};

TEST_F(TypeMapTest, EachLanguageKeepsOneEntryAtItsLatestPlace) {
  ASSERT_EQ(StorePush(kGroupLineQueue, L("queued before")), 0);
  const WorkMarkId mark = WorkMark(kMarkQuery);
  EXPECT_EQ(Map("index", 1), 0);
  EXPECT_EQ(Map("index", 2), 0);
  EXPECT_EQ(Read("index.html.var"), "URI: index\n\n" + Entry("index", "en") + Entry("index", "es"));
  EXPECT_EQ(Map("index", 1), 0);
  EXPECT_EQ(Read("index.html.var"), "URI: index\n\n" + Entry("index", "es") + Entry("index", "en"));
  EXPECT_EQ(Map("home", 1), 0);
  EXPECT_EQ(Read("index.html.var"), "URI: index\n\n" + Entry("index", "es") + Entry("home", "en"));
  EXPECT_EQ(WorkMark(kMarkQuery), mark);
  // Other lines of the queue stay; nothing but the map is left in the folder.
  EXPECT_EQ(StoreCount(kGroupLineQueue), 1);
  EXPECT_EQ(S(StoreGet(kGroupLineQueue, 0)), "queued before");
  EXPECT_EQ(std::distance(std::filesystem::directory_iterator("."), {}), 1);
}

TEST_F(TypeMapTest, OldEntriesMatchByPatternAndEmptyMapsStartAnew) {
  Write("index.html.var", "URI: index\n\n# see about_en.html\na\nb\nc\nkept\r\nURI: x_de.html\n");
  EXPECT_EQ(Map("index", 1), 0);
  EXPECT_EQ(Read("index.html.var"), "URI: index\n\nkept\nURI: x_de.html\n" + Entry("index", "en"));

  Write("index.html.var", "");
  EXPECT_EQ(Map("index", 5), 0);
  EXPECT_EQ(Read("index.html.var"), "URI: index\n\n" + Entry("index", "it"));

  // No language: no entry, and the map is not touched.
  EXPECT_EQ(Map("index", 0), kErrData);
  EXPECT_EQ(Read("index.html.var"), "URI: index\n\n" + Entry("index", "it"));

  // The URI names the page as it is on the disk, in UTF-8, as the server
  // looks it up: "men\xFA" of the tree is "men\xC3\xBA" there.
  Write("index.html.var", "");
  EXPECT_EQ(Map("men\xFA", 1), 0);
  EXPECT_EQ(Read("index.html.var"), "URI: index\n\n" + Entry("men\xC3\xBA", "en"));
}

TEST_F(TypeMapTest, FailuresKeepTheOldMap) {
  const std::string old = "URI: index\n\n" + Entry("index", "en");
  Write("index.html.var", old);
  // A folder the map cannot be replaced in. The call runs in a child process
  // without privileges, since permissions do not hold back the super-user.
  ASSERT_EQ(chmod(dir.c_str(), 0555), 0);
  const pid_t pid = fork();
  ASSERT_GE(pid, 0);
  if (pid == 0) {
    if (geteuid() == 0 && setuid(65534) != 0) _exit(100);
    _exit(Map("index", 2) == kErrDiskIO ? 0 : 1);
  }
  int status = 0;
  ASSERT_EQ(waitpid(pid, &status, 0), pid);
  ASSERT_TRUE(WIFEXITED(status));
  if (WEXITSTATUS(status) == 100) GTEST_SKIP() << "cannot drop privileges";
  EXPECT_EQ(WEXITSTATUS(status), 0);
  ASSERT_EQ(chmod(dir.c_str(), 0700), 0);
  EXPECT_EQ(Read("index.html.var"), old);

  // A map that cannot be read: 130, and it stays.
  std::filesystem::remove("index.html.var");
  std::filesystem::create_directory("index.html.var");
  EXPECT_EQ(Map("index", 1), kErrDiskIO);
  EXPECT_TRUE(std::filesystem::is_directory("index.html.var"));
}

}  // namespace
