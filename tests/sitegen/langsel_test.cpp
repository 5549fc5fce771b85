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
std::string Login(const std::string& href) {
  return "<a href=\"" + href + "\" style=\"text-decoration:none\">login</a>&nbsp;";
}
std::string Logout(const std::string& fail_page, const std::string& lang, const std::string& confirm) {
  return "[REMOTE_USER] | <a href=\"/cgi-bin/leafmill?htmlpage=/var/www/html/logout.html&failpage=" + fail_page +
         "&lang=" + lang + "\" style=\"text-decoration:none\" onclick=\"return confirm ('" + confirm +
         "')\">logout</a>&nbsp;";
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

TEST_F(LangSelTest, LoginLinkFromTheFirstMatchingPair) {
  Language(4);
  Page(kNews, "news", "");
  EXPECT_EQ(Render("[LOGSTAT('/login.html','*')]\n"), Login("/login.html&lang=de") + "\n");
  // Only the first matching pair writes.
  EXPECT_EQ(Render("[LOGSTAT('/a.html','other','/b.html','*','/c.html','*')]\n"), Login("/b.html&lang=de") + "\n");
  // No matching pair, or a link without its condition: nothing.
  EXPECT_EQ(Render("<[LOGSTAT('/a.html','member\\*','/b.html')]>\n"), "<>\n");
  // A '(' without its ')' is a login link.
  EXPECT_EQ(Render("[LOGSTAT('(/bye.html','*')]\n"), Login("(/bye.html&lang=de") + "\n");
}

TEST_F(LangSelTest, ConditionsNameThePagePath) {
  Language(1);
  const char* tpl = "[LOGSTAT('/login?l=%s','public\\*','(/bye.html)','member\\*')]\n";
  Page(kMemberHome, "member\\home", "member");
  EXPECT_EQ(Render(tpl), Logout("/bye.html", "en", "Please, confirm logout") + "\n");
  Page(kPublicHome, "public\\home", "public");
  EXPECT_EQ(Render(tpl), Login("/login?l=en") + "\n");
  // A condition lists pages; '*' stands for the page's name in each.
  Page(kNews, "news", "");
  EXPECT_EQ(Render("[LOGSTAT('/in','member\\*,*','/out','*')]\n"), Login("/in&lang=en") + "\n");
  EXPECT_EQ(Render("[LOGSTAT('/in','member\\*,x*','/out','*')]\n"), Login("/out&lang=en") + "\n");
}

TEST_F(LangSelTest, LogoutFormPerLanguage) {
  Page(kMemberHome, "member\\home", "member");
  Language(2);
  EXPECT_EQ(Render("[LOGSTAT('','*')]\n"), Logout("/", "es", "Por favor, confirme la desconexi\xF3n") + "\n");
  Language(3);
  EXPECT_EQ(Render("[LOGSTAT('','*')]\n"), Logout("/", "fr", "Veuillez confirmer la connexion") + "\n");
  Language(4);
  EXPECT_EQ(Render("[LOGSTAT('()','*')]\n"), Logout("", "de", "Bitte best\xE4tigen Sie sich abmelden") + "\n");
  Language(5);
  EXPECT_EQ(Render("[LOGSTAT('(/x/(a).html)','*')]\n"),
            Logout("/x/(a).html", "it", "Si prega di confermare la disconnessione") + "\n");
}

TEST_F(LangSelTest, AuthorsLinksAreNoFormats) {
  Language(3);
  Page(kMemberHome, "member\\home", "member");
  // Every %s is the language code; an encoded %20 (even before a letter
  // that a format would read as a conversion) stays as it is.
  EXPECT_EQ(Render("[LOGSTAT('(/bye_%s.html?m=a%20day&x=%d%s)','*')]\n"),
            Logout("/bye_fr.html?m=a%20day&x=%dfr", "fr", "Veuillez confirmer la connexion") + "\n");
  EXPECT_EQ(Render("[LOGSTAT('/login?next=%2Fdocs%20dir&l=%s','*')]\n"), Login("/login?next=%2Fdocs%20dir&l=fr") + "\n");
  EXPECT_EQ(Render("[LOGSTAT('/login?q=%20x','*')]\n"), Login("/login?q=%20x&lang=fr") + "\n");
}

TEST_F(LangSelTest, RunWithoutLanguages) {
  Language(0);
  Page(kNews, "news", "");
  EXPECT_EQ(Render("[LOGSTAT('','*')]\n"), Logout("/", "", "") + "\n");
  EXPECT_EQ(Render("[LOGSTAT('/l?lang=%s','*')]\n"), Login("/l?lang=") + "\n");
  EXPECT_EQ(Render("[LOGSTAT('/l','*')]\n"), Login("/l&lang=") + "\n");
  // The selector still links the listed languages.
  EXPECT_EQ(Render("[LANG_SEL(1)]\n"), Linked("/news_en.html", "", "_en") + "\n");
}

TEST_F(LangSelTest, OverlongSnippetIsNotWritten) {
  Language(1);
  Page(kNews, "news", "");
  const std::string link(400, 'a');
  EXPECT_EQ(Render("<[LOGSTAT('/" + link + "','*')]>\n"), "<>\n");
}

}  // namespace
