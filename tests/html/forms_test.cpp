#include "html/forms.h"

#include <cstdlib>

#include "html_capture.h"
#include "runtime/scratch.h"
#include "runtime/varstore.h"

using namespace vk;

namespace {

const std::string kMeta = "<meta http-equiv=\"Content-Type\" content=\"text/html; charset=windows-1252\">\n";

const std::string kUserRow =
    "<tr>\r\n"
    "<td align=\"right\">\r\n"
    "User:</td>\r\n"
    "<td align=\"left\">\r\n"
    "<input name=\"user\" align=\"left\" size=\"30\" type=\"text\" value=\"[user]\">\r\n"
    "</input>\r\n"
    "</td>\r\n"
    "</tr>\r\n";
const std::string kSubmitRow =
    "<tr>\r\n"
    "<td align=\"center\" colspan=\"2\">\r\n"
    "<input align=\"center\" type=\"submit\" value=\"Aceptar\">\r\n"
    "</input>\r\n"
    "</td>\r\n"
    "</tr>\r\n";

struct FormsTest : HtmlCaptureTest {
  void SetUp() override {
    HtmlCaptureTest::SetUp();
    if (HasFatalFailure()) return;
    setenv("SCRIPT_NAME", "/cgi/login", 1);
  }
  void CommandLine(const char* text) { ASSERT_EQ(StoreSet(kGroupIdentity, 1, L(text)), 0); }
  // The rows that the form table of style writes for fields.
  std::string Rows(const char* style, const char* fields) {
    const WorkMarkId mark = WorkMark(kMarkQuery);
    EXPECT_EQ(HtmlFormFields(HtmlAttrParse(L(style)), L(fields)), 0);
    WorkMark(mark);
    EXPECT_EQ(HtmlTagDepth(), 0);
    return Taken();
  }
};

TEST_F(FormsTest, DefaultStyleRowsAndSpanningSubmit) {
  EXPECT_EQ(Rows(kFormStyleDefault, "User:;user;30;[user];text,;;;Aceptar;submit"), kUserRow + kSubmitRow);
  // A submit field that is not the last one gets two cells like any other.
  EXPECT_EQ(Rows(kFormStyleDefault, ";;;Go;submit,User:;user;30;[user];text"),
            "<tr>\r\n<td align=\"right\">\r\n</td>\r\n<td align=\"left\">\r\n"
            "<input align=\"left\" type=\"submit\" value=\"Go\">\r\n</input>\r\n</td>\r\n</tr>\r\n" +
                kUserRow);
}

TEST_F(FormsTest, WholeFormPage) {
  HtmlFormPage(L(""), L("User:;user;30;[user];text,;;;Aceptar;submit"), 0);
  EXPECT_EQ(Taken(),
            "<html>\r\n<head>\r\n" + kMeta + "</head>\r\n<body>\r\n" +
                "<font size=\"4\">\r\n<p>\r\n<center><b></b></center></p>\r\n</font>\r\n"
                "<p>&nbsp;</p>\n<p>&nbsp;</p>\n"
                "<form method=\"POST\" name=\"\" action=\"/cgi/login\">\n"
                "<table align=\"center\" bgcolor=\"#C0C0C0\">\r\n" +
                kUserRow + kSubmitRow + "</table>\r\n</form>\n</body></html>\n");
  EXPECT_EQ(HtmlTagDepth(), 0);
}

TEST_F(FormsTest, FormPagesLeaveTheStackAsFound) {
  const u16 outer = HtmlTagOpen(kTagDiv, HtmlAttrsEmpty());
  // Many pages in one process: each still writes its whole table.
  for (int i = 0; i < 12; ++i) {
    HtmlFormPage(L("PAGETITLE='P' FORMTITLE='Sign in'"), L("A:;a;;;text"), kPageNoTitle);
    EXPECT_EQ(HtmlTagDepth(), 1);
  }
  const std::string page = Taken();
  const std::string last = page.substr(page.rfind("<html>"));
  EXPECT_EQ(last,
            "<html>\r\n<head>\r\n" + kMeta + "<title>\r\nP</title>\r\n</head>\r\n<body>\r\n" +
                "<p>&nbsp;</p>\n"
                "<font size=\"3\">\r\n<p align=\"center\">\r\nSign in</p>\r\n</font>\r\n"
                "<form method=\"POST\" name=\"\" action=\"/cgi/login\">\n"
                "<table align=\"center\" bgcolor=\"#C0C0C0\">\r\n"
                "<tr>\r\n<td align=\"right\">\r\nA:</td>\r\n<td align=\"left\">\r\n"
                "<input name=\"a\" align=\"left\" type=\"text\">\r\n</input>\r\n</td>\r\n</tr>\r\n"
                "</table>\r\n</form>\n</body></html>\n");
  HtmlTagPopTo(outer);
  EXPECT_EQ(Taken(), "</div>\r\n");
}

TEST_F(FormsTest, FullStackEndsTheFieldList) {
  for (int i = 0; i < 13; ++i) HtmlTagOpen(kTagDiv, HtmlAttrsEmpty());
  Taken();
  // html, body and table take the last three levels; the row's tr is bare.
  HtmlFormPage(L("FORMSTYLE=\"_P_COLS=2\""), L("A:;a;;;text,B:;b;;;text"), kPageNoTitle);
  const std::string page = Taken();
  EXPECT_NE(page.find("<table>\r\n<tr>\r\n</form>\n</body></html>\n"), std::string::npos) << page;
  EXPECT_EQ(HtmlTagDepth(), 13);
}

TEST_F(FormsTest, StyleWithoutColumnsWritesParagraphs) {
  EXPECT_EQ(Rows("_P_ALIGN='right' _P_CHECKED=1", "Name:;n;5;v;checkbox,;;;Ok;submit"),
            "<p align=\"right\">\r\nName:"
            "<input name=\"n\" align=\"right\" size=\"5\" type=\"checkbox\" value=\"v\" checked>\r\n"
            "</input>\r\n</p>\r\n"
            "<p align=\"right\">\r\n"
            "<input align=\"right\" type=\"submit\" value=\"Ok\" checked>\r\n</input>\r\n</p>\r\n");
}

TEST_F(FormsTest, ColspanFromTheStyle) {
  // Equal to the columns: one centred spanning cell holding label and control.
  EXPECT_EQ(Rows("_P_COLS=2 _P_COLSPAN=2", "L:;x;;;text"),
            "<tr>\r\n<td align=\"center\" colspan=\"2\">\r\nL:"
            "<input name=\"x\" align=\"center\" type=\"text\">\r\n</input>\r\n</td>\r\n</tr>\r\n");
  // Above the columns: right-aligned spanning cell, still no second cell.
  EXPECT_EQ(Rows("_P_COLS=2 _P_COLSPAN=3", "L:;x;;;text"),
            "<tr>\r\n<td align=\"right\" colspan=\"3\">\r\nL:"
            "<input name=\"x\" align=\"right\" type=\"text\">\r\n</input>\r\n</td>\r\n</tr>\r\n");
}

TEST_F(FormsTest, QuotesInValues) {
  // A double quote in a value is written as &quot;.
  EXPECT_NE(Rows("", "L;n;;'say \"hi\"';text").find("value=\"'say &quot;hi&quot;'\""), std::string::npos);
  // &quot; in a field first becomes a quote, which then protects the ';'.
  EXPECT_EQ(Rows("", "&quot;a;b&quot;;n;;v;text"),
            "<p>\r\n\"a;b\"<input name=\"n\" type=\"text\" value=\"v\">\r\n</input>\r\n</p>\r\n");
}

TEST_F(FormsTest, SelectOptions) {
  const std::string options =
      "<select name=\"c\">\r\n"
      "<option value=\"r\">\r\nRed</option>\r\n"
      "<option value=\"g\">\r\nGreen</option>\r\n"
      "</select>\r\n";
  EXPECT_EQ(Rows("", "Colour:;c;'Red,Green';'r,g';select"), "<p>\r\nColour:" + options + "</p>\r\n");
  // Lists in double quotes unquote as well.
  EXPECT_EQ(Rows("", "Colour:;c;\"Red,Green\";\"r,g\";select"), "<p>\r\nColour:" + options + "</p>\r\n");
  // A missing text is an empty option; texts beyond the values are ignored.
  EXPECT_EQ(Rows("", ";s;'A';'1,2';select,;t;'X,Y';'9';select"),
            "<p>\r\n<select name=\"s\">\r\n<option value=\"1\">\r\nA</option>\r\n"
            "<option value=\"2\">\r\n</option>\r\n</select>\r\n</p>\r\n"
            "<p>\r\n<select name=\"t\">\r\n<option value=\"9\">\r\nX</option>\r\n</select>\r\n</p>\r\n");
}

TEST_F(FormsTest, FormTagNameAndMethod) {
  HtmlFormBegin(L("Login"));
  EXPECT_EQ(Taken(), "<form method=\"POST\" name=\"Login\" action=\"/cgi/login\">\n");
  // An unquoted name in FORMSTYLE comes back upper-cased.
  HtmlFormPage(L("FORMSTYLE=\"_P_NAME=login\""), L(""), kPageNoTitle);
  EXPECT_NE(Taken().find("<form method=\"POST\" name=\"LOGIN\" "), std::string::npos);
  // A name whose field cannot be expanded still leaves a form tag.
  HtmlFormBegin(L("[1+]"));
  EXPECT_EQ(Taken(), "<form method=\"POST\" name=\"[1+]\" action=\"\">\n");
}

// The action comes from the request or the environment; whatever it holds
// stays inside the attribute.
TEST_F(FormsTest, TheActionIsTheEscapedScriptName) {
  const struct {
    const char* command_line;
    const char* env;  // null: SCRIPT_NAME unset
    const char* action;
  } cases[] = {
      {"prog", "/cgi/login", "/cgi/login"},
      {"prog", "/x\"><script>alert(1)</script>", "/x&quot;><script>alert(1)</script>"},
      {"prog SCRIPT_NAME='\"><script>alert(1)</script>'", "/cgi/login", "&quot;><script>alert(1)</script>"},
      {"prog SCRIPT_NAME='[1+1]\"'", nullptr, "[1+1]&quot;"},
  };
  for (const auto& c : cases) {
    CommandLine(c.command_line);
    if (c.env) {
      setenv("SCRIPT_NAME", c.env, 1);
    } else {
      unsetenv("SCRIPT_NAME");
    }
    HtmlFormBegin(L("f"));
    EXPECT_EQ(Taken(), std::string("<form method=\"POST\" name=\"f\" action=\"") + c.action + "\">\n")
        << c.command_line;
  }
}

TEST_F(FormsTest, EchoModeOneWritesTheEchoLine) {
  CommandLine("prog echo=1");
  HtmlFormBegin(L("f"));
  EXPECT_EQ(Taken(),
            "<----><br>\n"
            "<form method=\"GET\" name=\"f\" action=\"/cgi/login\">\n"
            "<input type=\"hidden\" name=\"echo\" value=\"1\">\n");
}

TEST_F(FormsTest, EchoModeTwoAndAnEscapedEchoValue) {
  CommandLine("prog echo='2\"><b'");
  HtmlFormBegin(L("f"));
  EXPECT_EQ(Taken(),
            "<form method=\"GET\" name=\"f\" action=\"/cgi/login\">\n"
            "<input type=\"hidden\" name=\"echo\" value=\"2&quot;><b\">\n");
}

TEST_F(FormsTest, Links) {
  const WorkMarkId mark = WorkMark(kMarkQuery);
  EXPECT_EQ(S(HtmlLink(L("x"), L("y"), L(""))), "<a  href=\"x\">y</a>");
  EXPECT_EQ(S(HtmlLink(L("p.html"), L("Page"), L("LINKSTYLE=\"_P_STYLE='color:red'\""))),
            "<a  style=\"color:red\" href=\"p.html\">Page</a>");
  EXPECT_EQ(Taken(), "");
  WorkMark(mark);
}

TEST_F(FormsTest, SmallWriters) {
  HtmlFontColor(L("warn"), L("#FF0000"));
  EXPECT_EQ(Taken(), "<font color=\"#FF0000\">warn</font>");
  HtmlBlankLines(0);
  EXPECT_EQ(Taken(), "");
  HtmlBlankLines(2);
  EXPECT_EQ(Taken(), "<p>&nbsp;</p>\n<p>&nbsp;</p>\n");
}

}  // namespace
