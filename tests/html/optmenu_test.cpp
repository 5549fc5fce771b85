#include "html/optmenu.h"

#include <cstdio>
#include <cstdlib>
#include <initializer_list>
#include <string>

#include "html/output.h"
#include "runtime/appenv.h"
#include "runtime/scratch.h"
#include "runtime/varstore.h"
#include "script/eval.h"
#include "script/interp_fixture.h"
#include "script/script.h"
#include "script/variables.h"
#include "sink_capture.h"

using namespace vk;

namespace {

const std::string kOpen = "\n<table cellspacing=\"0\" cellpadding=\"0\">";
const std::string kClose = "</table>\n";
const std::string kRowEnd = "</td></tr>\n\r\n";

// The interpreter started (the menu reads and writes its variables), a
// temporary file as the output sink, and a script name for the links.
struct OptMenuTest : WithSink<LibTest> {
  void SetUp() override {
    WithSink::SetUp();
    if (HasFatalFailure()) return;
    setenv("SCRIPT_NAME", "/cgi/m", 1);
    CmdLine("prog");
  }
  static void CmdLine(const char* line) { ASSERT_EQ(StoreSet(kGroupIdentity, kIdCommandLine, L(line)), 0); }
  // Group 5: the image folder, then one entry per row.
  static void Menu(std::initializer_list<const char*> entries) {
    for (const char* e : entries) ASSERT_EQ(StorePush(kGroupOptionMenu, L(e)), 0);
  }
  static void SetText(const char* name, const char* value) { ASSERT_EQ(VarAssignText(L(name), L(value), 1), 0); }
  static std::string Text(const char* name) {
    const WorkMarkId mark = WorkMark(kMarkQuery);
    const std::string v = S(ExprEvalStr(L(name)));
    WorkMark(mark);
    return v;
  }
  // One text option as the menu links it.
  static std::string Opt(const std::string& code, const std::string& text, bool selected) {
    return "<a href=\"/cgi/m?opt=" + code + "\"><font color=\"" + (selected ? "#505050" : "#808080") + "\">" + text +
           "</font></a>";
  }
  static std::string Row(const std::string& bg, const std::string& cells) {
    return "<tr>\n<td bgcolor=\"" + bg + "\">" + cells + kRowEnd;
  }
  // Writes the menu and checks that it leaves the scratch stack as found.
  std::string Write() {
    const WorkMarkId mark = WorkMark(kMarkQuery);
    WebMenuWrite(L("ignored"));
    EXPECT_EQ(WorkMark(kMarkQuery), mark);
    return Taken();
  }
};

TEST_F(OptMenuTest, TextRowsFollowTheSelection) {
  Menu({"", "a,b,c", "x,y"});
  SetText("BGCOLOR$", "#FFFFCC");
  CmdLine("prog menuopt=21");
  EXPECT_EQ(Write(), kOpen +
                         Row("#FFFFCC", Opt("1", "a", false) + " | " + Opt("2", "b", true) + " | " +
                                            Opt("3", "c", false)) +
                         Row("#FFFFCC", Opt("21", "x", true) + " | " + Opt("22", "y", false)) + kClose);
  EXPECT_EQ(Text("OPTNAME$"), "x");
}

TEST_F(OptMenuTest, EmptySelectionSelectsNothingAndClearsOptName) {
  Menu({"", "a,b,c", "x,y"});
  SetText("OPTNAME$", "stale");
  // Without BGCOLOR$ the colour attribute stays, empty; row 2's prefix is
  // empty, so its codes are those of row 1.
  EXPECT_EQ(Write(), kOpen +
                         Row("", Opt("1", "a", false) + " | " + Opt("2", "b", false) + " | " +
                                     Opt("3", "c", false)) +
                         Row("", Opt("1", "x", false) + " | " + Opt("2", "y", false)) + kClose);
  EXPECT_EQ(Text("OPTNAME$"), "");
}

TEST_F(OptMenuTest, SelectionParameters) {
  Menu({"", "a,b"});
  // "opt" stands in when "menuopt" is empty ...
  CmdLine("prog opt=2");
  EXPECT_EQ(Write(), kOpen + Row("", Opt("1", "a", false) + " | " + Opt("2", "b", true)) + kClose);
  EXPECT_EQ(Text("OPTNAME$"), "b");
  // ... and "menuopt" wins when both are given.
  CmdLine("prog opt=2 menuopt=1");
  EXPECT_EQ(Write(), kOpen + Row("", Opt("1", "a", true) + " | " + Opt("2", "b", false)) + kClose);
  EXPECT_EQ(Text("OPTNAME$"), "a");
  // A digit beyond the row's items selects nothing in it.
  CmdLine("prog menuopt=5");
  EXPECT_EQ(Write(), kOpen + Row("", Opt("1", "a", false) + " | " + Opt("2", "b", false)) + kClose);
  EXPECT_EQ(Text("OPTNAME$"), "");
}

TEST_F(OptMenuTest, ImageRowsUseOnAndOffNames) {
  Menu({"img", "home[$].gif,news[$].gif"});
  CmdLine("prog menuopt=2");
  EXPECT_EQ(Write(), kOpen + Row("",
                                 "<a href=\"/cgi/m?opt=1\"><img border=\"0\" src=\"img\\homeoff.gif\" width=\"98\" "
                                 "height=\"20\"></a>"
                                 "<a href=\"/cgi/m?opt=2\"><img border=\"0\" src=\"img\\newson.gif\" width=\"98\" "
                                 "height=\"20\"></a>") +
                         kClose);
  EXPECT_EQ(Text("OPTNAME$"), "news[$].gif");
}

TEST_F(OptMenuTest, EmptyMenusAndRows) {
  // No group 5 at all, then only the image folder: the table tags alone.
  EXPECT_EQ(Write(), kOpen + kClose);
  Menu({""});
  EXPECT_EQ(Write(), kOpen + kClose);
  // A row without items is an empty cell.
  Menu({""});
  EXPECT_EQ(Write(), kOpen + Row("", "") + kClose);
}

TEST_F(OptMenuTest, QuotedItemsAreOneOptionEach) {
  Menu({"", "'a,b',c"});
  CmdLine("prog menuopt=1");
  EXPECT_EQ(Write(), kOpen + Row("", Opt("1", "'a,b'", true) + " | " + Opt("2", "c", false)) + kClose);
  EXPECT_EQ(Text("OPTNAME$"), "'a,b'");
}

TEST_F(OptMenuTest, RowCodesExtendTheSelectionPrefix) {
  Menu({"", "a,b", "a,b", "a,b"});
  // Row 3's prefix "31" gives the mask 310.
  WebMenuRows(L(""), L("312"));
  const std::string out = Taken();
  EXPECT_NE(out.find(Opt("31", "a", true)), std::string::npos);
  EXPECT_NE(out.find(Opt("311", "a", false) + " | " + Opt("312", "b", true)), std::string::npos);
  // A prefix of zeros has the value 0: row 2 gets the mask 0.
  WebMenuRows(L(""), L("01"));
  EXPECT_NE(Taken().find(Row("", Opt("1", "a", true) + " | " + Opt("2", "b", false))), std::string::npos);
}

TEST_F(OptMenuTest, DeepSelectionKeepsItsWholePrefix) {
  // Seven rows: row 7's prefix 999999 is beyond 16 bits and must not wrap.
  Menu({"", "a,b", "a,b", "a,b", "a,b", "a,b", "a,b", "a,b"});
  WebMenuRows(L(""), L("9999992"));
  const std::string out = Taken();
  EXPECT_NE(out.find(Row("", Opt("9999991", "a", false) + " | " + Opt("9999992", "b", true))), std::string::npos);
  EXPECT_EQ(Text("OPTNAME$"), "b");
}

// The links' script comes from the request or the environment; whatever
// it holds stays inside the href.
TEST_F(OptMenuTest, TheScriptNameIsEscapedWhereverItComesFrom) {
  const struct {
    const char* command_line;
    const char* env;  // null: SCRIPT_NAME unset
    const char* href;
  } cases[] = {
      {"prog", nullptr, "?opt=1"},
      {"prog", "/cgi/m", "/cgi/m?opt=1"},
      {"prog", "/x\"><script>alert(1)</script>", "/x&quot;><script>alert(1)</script>?opt=1"},
      {"prog SCRIPT_NAME='\"><script>alert(1)</script>' opt=1", "/cgi/m", "&quot;><script>alert(1)</script>?opt=1"},
      {"prog SCRIPT_NAME='/a\"b\"'", nullptr, "/a&quot;b&quot;?opt=1"},
  };
  Menu({"", "a"});
  for (const auto& c : cases) {
    CmdLine(c.command_line);
    if (c.env) {
      setenv("SCRIPT_NAME", c.env, 1);
    } else {
      unsetenv("SCRIPT_NAME");
    }
    const bool chosen = std::string(c.command_line).find("opt=1") != std::string::npos;
    EXPECT_EQ(Write(), kOpen + Row("", std::string("<a href=\"") + c.href + "\"><font color=\"" +
                                           (chosen ? "#505050" : "#808080") + "\">a</font></a>") +
                           kClose)
        << c.command_line;
  }
}

}  // namespace
