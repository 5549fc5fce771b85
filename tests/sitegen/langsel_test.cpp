#include "sitegen/langsel.h"

#include <string>

#include "page_fixture.h"

using namespace vk;

namespace {

// news, products (tools (hammer)), member (home), public (home).
constexpr char kTree[] = "news\nproducts\n\ttools\n\t\thammer\nmember\n\thome\npublic\n\thome\n";
enum : u16 { kNews, kProducts, kTools, kHammer, kMember, kMemberHome, kPublic, kPublicHome };

std::string Flag(const std::string& rel, const std::string& suffix) {
  return "<img border=\"0\" src=\"" + rel + "/images/lang" + suffix + ".gif\" width=\"20\">";
}
std::string Linked(const std::string& href, const std::string& rel, const std::string& suffix) {
  return "<a href=\"" + href + "\">" + Flag(rel, suffix) + "</a>\r\n";
}
struct LangSelTest : SitePageTest {
  void SetUp() override {
    SitePageTest::SetUp();
    if (HasFatalFailure()) return;
    Tree(kTree);
  }
};

TEST_F(LangSelTest, FlagsLinkThePageInEachLanguage) {
  Language(1);
  Page(kNews, "news", "");
  EXPECT_EQ(Render("[LANG_SEL(1,3)]\n"),
            Linked("/news_en.html", "", "_en") + Linked("/news_fr.html", "", "_fr") + "\n");
  // Items that are no language are skipped.
  EXPECT_EQ(Render("[LANG_SEL(0,6,x, 2)]\n"), Linked("/news_es.html", "", "_es") + "\n");

  Script("RELPATH$='site'");
  Page(kHammer, "products\\tools\\hammer", "products,tools");
  EXPECT_EQ(Render("[LANG_SEL(5)]\n"), Linked("/site/products/tools/hammer_it.html", "/site", "_it") + "\n");

  // A folder page links to its index page.
  Page(kProducts, "products", "products");
  EXPECT_EQ(Render("[LANG_SEL(4)]\n"), Linked("/site/products/index_de.html", "/site", "_de") + "\n");
}

TEST_F(LangSelTest, AvoidedPagesGetFlagsWithoutLinks) {
  Language(2);
  Script("avoid_langlnk$='news,products\\tools'");
  Page(kNews, "news", "");
  EXPECT_EQ(Render("[LANG_SEL(1,3)]\n"), Flag("", "_en") + "\r\n" + Flag("", "_fr") + "\r\n\n");
  // The folder page products\tools is listed by its path, not as its index.
  Page(kTools, "products\\tools", "products,tools");
  EXPECT_EQ(Render("[LANG_SEL(2)]\n"), Flag("", "_es") + "\r\n\n");
  Page(kProducts, "products", "products");
  EXPECT_EQ(Render("[LANG_SEL(2)]\n"), Linked("/products/index_es.html", "", "_es") + "\n");
}

TEST_F(LangSelTest, PageModeTargets) {
  Language(1);
  Page(kNews, "news", "");
  PageMode(true);
  // A target ending in '=' takes the language code; items before the
  // first target link the page itself.
  EXPECT_EQ(Render("[LANG_SEL(1,'/cgi/switch?lang=',2,3)]\n"),
            Linked("/news_en.html", "", "_en") + Linked("/cgi/switch?lang=es", "", "_es") +
                Linked("/cgi/switch?lang=fr", "", "_fr") + "\n");
  // Any other target is used as it is, with '/' for '\'; a later text item
  // replaces it.
  EXPECT_EQ(Render("[LANG_SEL('\\cgi\\pick',1,'/other',4)]\n"),
            Linked("/cgi/pick", "", "_en") + Linked("/other", "", "_de") + "\n");

  // Outside page mode a text item is no language and sets nothing.
  PageMode(false);
  EXPECT_EQ(Render("[LANG_SEL('/cgi/switch?lang=',2)]\n"), Linked("/news_es.html", "", "_es") + "\n");
}

TEST_F(LangSelTest, RunWithoutLanguagesStillLinksTheListedOnes) {
  Language(0);
  Page(kNews, "news", "");
  EXPECT_EQ(Render("[LANG_SEL(1)]\n"), Linked("/news_en.html", "", "_en") + "\n");
}

}  // namespace
