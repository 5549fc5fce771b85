#include "sitegen/branch.h"

#include <string>

#include "page_fixture.h"

using namespace vk;

namespace {

// home, products (widget, tools (saw), gadget), sitemap, contact.
constexpr char kShopTree[] = "home\nproducts\n\twidget\n\ttools\n\t\tsaw\n\tgadget\nsitemap\ncontact\n";
enum : u16 { kHome, kProducts, kWidget, kTools, kSaw, kGadget };

// products (tools (hammer)).
constexpr char kToolTree[] = "products\n\ttools\n\t\thammer\n";
constexpr char kFrench[] = "products='Produits'\ntools='Outils'\nhammer='Marteau'\n";

std::string Nbsp(int levels) {
  std::string s;
  for (int i = 0; i < levels * 4; ++i) s += "&nbsp;";
  return s;
}
std::string MapLine(int levels, const std::string& href, const std::string& text) {
  return Nbsp(levels) + "<a  href=\"" + href + "\">" + text + "</a><br>\r\n";
}

using BranchTest = SitePageTest;

TEST_F(BranchTest, RelativeLinksClimbByDepth) {
  Tree(kToolTree);
  Language(3, kFrench);

  // A leaf lies in its parent's folder: products is one level up.
  Page(2, "products\\tools\\hammer", "products,tools");
  EXPECT_EQ(Render("[CURBRANCH()]\n"),
            "<a  href=\"../index_fr.html\">Produits</a> | <a  href=\"index_fr.html\">Outils</a> | Marteau\n");

  // A folder page lies in its own folder: the same depth, one more "../".
  Page(1, "products\\tools", "products,tools");
  EXPECT_EQ(Render("[CURBRANCH()]\n"), "<a  href=\"../index_fr.html\">Produits</a> | Outils\n");

  // A top-level page shows only its own name.
  Page(0, "products", "products");
  EXPECT_EQ(Render("<p>[CURBRANCH()]</p>\n"), "<p>Produits</p>\n");
}

TEST_F(BranchTest, RunWithoutLanguagesLinksPlainIndex) {
  Tree(kToolTree);
  Language(0);
  Page(2, "products\\tools\\hammer", "products,tools");
  EXPECT_EQ(Render("[CURBRANCH()]\n"),
            "<a  href=\"../index.html\">products</a> | <a  href=\"index.html\">tools</a> | hammer\n");
}

TEST_F(BranchTest, LinkCountAndSeparator) {
  Tree(kToolTree);
  Language(3, kFrench);
  Page(2, "products\\tools\\hammer", "products,tools");
  // One linked component, one separator, then the page.
  EXPECT_EQ(Render("[CURBRANCH(,1)]\n"), "<a  href=\"../index_fr.html\">Produits</a> | Marteau\n");
  EXPECT_EQ(Render("[CURBRANCH(' / ',2)]\n"),
            "<a  href=\"../index_fr.html\">Produits</a> / <a  href=\"index_fr.html\">Outils</a> / Marteau\n");
  // A count beyond the components links them all; the page is never linked.
  EXPECT_EQ(Render("[CURBRANCH('-',9)]\n"),
            "<a  href=\"../index_fr.html\">Produits</a>-<a  href=\"index_fr.html\">Outils</a>-Marteau\n");
  // The separator is an expression.
  EXPECT_EQ(Render("[CURBRANCH('&'+'gt;',1)]\n"), "<a  href=\"../index_fr.html\">Produits</a>&gt;Marteau\n");
}

TEST_F(BranchTest, AbsoluteLinksAndLinkStyle) {
  Tree(kToolTree);
  Language(3, kFrench);
  Page(2, "products\\tools\\hammer", "products,tools");
  EXPECT_EQ(Render("[CURBRANCH(,,,1)]\n"),
            "<a  href=\"/products/index_fr.html\">Produits</a> | "
            "<a  href=\"/products/tools/index_fr.html\">Outils</a> | Marteau\n");
  Script("LS$='LINKSTYLE=\"_P_STYLE='+\"'color:red'\"+'\"'");
  EXPECT_EQ(Render("[CURBRANCH(,1,LS$,1)]\n"),
            "<a  style=\"color:red\" href=\"/products/index_fr.html\">Produits</a> | Marteau\n");

  const WorkMarkId mark = WorkMark(kMarkQuery);
  EXPECT_EQ(S(SiteGenUpPath(L("products\\tools\\hammer"), 2)), "/products/tools/");
  EXPECT_EQ(S(SiteGenUpPath(L("products\\tools\\hammer"), 9)), "/products/tools/hammer/");
  EXPECT_EQ(S(SiteGenUpPath(L("products"), 0)), "/");
  EXPECT_EQ(S(SiteGenUpPath(L(""), 3)), "/");
  WorkMark(mark);
}

TEST_F(BranchTest, PageModeLinksThroughBranchTargets) {
  Tree(kToolTree);
  Language(3, kFrench);
  Page(2, "products\\tools\\hammer", "products,tools");
  Script("BRANCHIDS$='shop,tools'");
  Script("BRANCHTARS$='/shop.html,/cgi/list?n=[1+1]'");
  PageMode(true);
  // products is not listed: its name without a link; tools' target has its
  // fields expanded. Absolute links do not apply in page mode.
  EXPECT_EQ(Render("[CURBRANCH()]\n"), "Produits | <a  href=\"/cgi/list?n=2\">Outils</a> | Marteau\n");
  EXPECT_EQ(Render("[CURBRANCH(,,,1)]\n"), "Produits | <a  href=\"/cgi/list?n=2\">Outils</a> | Marteau\n");

  // A listed component without a target item links to an empty target.
  Script("BRANCHIDS$='products'");
  Script("BRANCHTARS$=''");
  EXPECT_EQ(Render("[CURBRANCH(,1)]\n"), "<a  href=\"\">Produits</a> | Marteau\n");

  PageMode(false);
  EXPECT_EQ(Render("[CURBRANCH(,1)]\n"), "<a  href=\"../index_fr.html\">Produits</a> | Marteau\n");
}

TEST_F(BranchTest, CommaInATranslatedNameShiftsNoLink) {
  Tree(kToolTree);
  Language(3, "products='Produits, outils'\ntools='Outils'\nhammer='Marteau'\n");
  Page(2, "products\\tools\\hammer", "products,tools");
  EXPECT_EQ(Render("[CURBRANCH()]\n"),
            "<a  href=\"../index_fr.html\">Produits&#44; outils</a> | <a  href=\"index_fr.html\">Outils</a> | Marteau\n");

  // Even a trail whose items do not match the path components leaves the
  // links and the leaf test to the path and folder: the folder page
  // products\tools stays one level below products.
  Page(1, "products\\tools", "products,tools");
  ASSERT_EQ(StoreSet(kGroupRun, kRunTrail, L("A,B,C")), 0);
  EXPECT_EQ(Render("[CURBRANCH()]\n"), "<a  href=\"../index_fr.html\">A</a> | B\n");
  ASSERT_EQ(StoreSet(kGroupRun, kRunTrail, L("A")), 0);
  EXPECT_EQ(Render("[CURBRANCH()]\n"), "<a  href=\"../index_fr.html\">A</a> | \n");
}

TEST_F(BranchTest, SitemapListsTheTreeIndentedByLevel) {
  Tree(kShopTree);
  Language(1, "home='Home'\nproducts='Our products'\n");
  Page(kHome, "home", "");
  // The list ends at sitemap, the first avoided page: contact is not shown.
  EXPECT_EQ(Render("[SITEMAP()]\n"), MapLine(0, "home_en.html", "Home") +
                                         MapLine(0, "products/index_en.html", "Our products") +
                                         MapLine(1, "products/widget_en.html", "widget") +
                                         MapLine(1, "products/tools/index_en.html", "tools") +
                                         MapLine(2, "products/tools/saw_en.html", "saw") +
                                         MapLine(1, "products/gadget_en.html", "gadget") + "\n");

  // The avoid list of the menus stops it too.
  Script("MNUAVOID$='tools'");
  EXPECT_EQ(Render("[SITEMAP()]\n"), MapLine(0, "home_en.html", "Home") +
                                         MapLine(0, "products/index_en.html", "Our products") +
                                         MapLine(1, "products/widget_en.html", "widget") + "\n");
}

TEST_F(BranchTest, SitemapSubLevelListsBelowTheCurrentFolderPage) {
  Tree(kShopTree);
  Language(0);
  Page(kProducts, "products", "products");
  EXPECT_EQ(Render("[SITEMAP(SUBLEVEL=1)]\n"), MapLine(1, "widget.html", "widget") +
                                                   MapLine(1, "tools/index.html", "tools") +
                                                   MapLine(2, "tools/saw.html", "saw") +
                                                   MapLine(1, "gadget.html", "gadget") + "\n");
  // The level is an expression.
  Page(kTools, "products\\tools", "products,tools");
  EXPECT_EQ(Render("[SITEMAP(SUBLEVEL=1+1)]\n"), MapLine(2, "saw.html", "saw") + "\n");

  // A page without children, or at another depth, lists nothing.
  Page(kHome, "home", "");
  EXPECT_EQ(Render("[SITEMAP(SUBLEVEL=1)]\n"), "\n");
  Page(kTools, "products\\tools", "products,tools");
  EXPECT_EQ(Render("[SITEMAP(SUBLEVEL=1)]\n"), "\n");
}

TEST_F(BranchTest, SitemapExcludesNamesAndOptions) {
  Tree("home\nproducts\n\twidget,news.html\n\ttools,2\n\t\tsaw\n\tgadget,2\nsitemap\n");
  Language(0);
  Page(kHome, "home", "");
  const std::string all_products = MapLine(0, "products/index.html", "products") +
                                   MapLine(1, "products/widget.html", "widget") +
                                   MapLine(1, "products/tools/index.html", "tools") +
                                   MapLine(2, "products/tools/saw.html", "saw");

  // Unquoted, the value is upper-cased and matches no page name.
  const std::string full = MapLine(0, "home.html", "home") + all_products + MapLine(1, "products/gadget.html", "gadget");
  EXPECT_EQ(Render("[SITEMAP(EXCLUDELIST=gadget)]\n"), full + "\n");
  EXPECT_EQ(Render("[SITEMAP(EXCLUDELIST='gadget')]\n"), MapLine(0, "home.html", "home") + all_products + "\n");

  // An excluded folder page still holds its children's folder.
  EXPECT_EQ(Render("[SITEMAP(EXCLUDELIST='home,tools')]\n"),
            MapLine(0, "products/index.html", "products") + MapLine(1, "products/widget.html", "widget") +
                MapLine(2, "products/tools/saw.html", "saw") + MapLine(1, "products/gadget.html", "gadget") +
                "\n");

  // Options compare whole; a page without options has the option " ".
  EXPECT_EQ(Render("[SITEMAP(EXCLUDETEMPLATES='news.html,2')]\n"),
            MapLine(0, "home.html", "home") + MapLine(0, "products/index.html", "products") +
                MapLine(2, "products/tools/saw.html", "saw") + "\n");
  EXPECT_EQ(Render("[SITEMAP(EXCLUDETEMPLATES=' ')]\n"),
            MapLine(1, "products/widget.html", "widget") + MapLine(1, "products/tools/index.html", "tools") +
                MapLine(1, "products/gadget.html", "gadget") + "\n");
}

}  // namespace
