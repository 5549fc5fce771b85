#include "html/access.h"

#include <stdlib.h>

#include <filesystem>
#include <string>

#include "html/render.h"
#include "html_capture.h"
#include "runtime/appenv.h"
#include "runtime/error.h"
#include "runtime/varstore.h"
#include "script/valtable.h"
#include "temp_dir.h"

using namespace vk;

namespace {

// A document folder of its own (identity entry 5) with a protected
// sub-folder "sec"; the users file lies in the document folder.
struct AccessTest : InTempDir<HtmlCaptureTest> {
  void SetUp() override {
    InTempDir::SetUp();
    if (HasFatalFailure()) return;
    std::filesystem::create_directory(dir + "/sec");
    ASSERT_EQ(StoreSet(kGroupIdentity, kIdDefaultFolder, L(Lib().c_str())), 0);
    unsetenv("REMOTE_USER");
    CmdLine("prog");
  }
  static void CmdLine(const char* line) { ASSERT_EQ(StoreSet(kGroupIdentity, kIdCommandLine, L(line)), 0); }
  static void Safe(i64 bits) { SysVarSet(kSysSafe, bits); }
  void Protect() {
    Write("sec/.htsafety", "title=x\r\nusers='users.txt'\r\n");
    Write("users.txt", "ANN:SECRET\r\nBOB='MiXed'\nQ:\"a b:c\"\n");
  }
  static u16 Page() { return WebPageAccess(L("sec\\page.html"), L("PAGETITLE='Login'")); }
  static bool IsLoginForm(const std::string& out) {
    return out.find("<form method=") != std::string::npos && out.find("name=\"passw\"") != std::string::npos &&
           out.find("value=\"Aceptar\"") != std::string::npos;
  }
};

TEST_F(AccessTest, SafeZeroPassesEverythingAndRemoteUserOnlyNeedsAName) {
  CmdLine("prog user=nobody passw=x");
  EXPECT_EQ(Page(), 0);
  EXPECT_EQ(WebAccessCheck(L("\\no\\such\\folder")), 0);
  EXPECT_EQ(Taken(), "");

  Safe(kSafeRemoteUser);
  EXPECT_EQ(Page(), kErrPermission);
  const std::string out = Taken();
  EXPECT_TRUE(IsLoginForm(out)) << out;
  EXPECT_NE(out.find("Login"), std::string::npos);  // styled by the page's macro values
  setenv("REMOTE_USER", "ann", 1);
  EXPECT_EQ(Page(), 0);
  EXPECT_EQ(Taken(), "");
}

TEST_F(AccessTest, MissingProtectionFile) {
  Safe(kSafeAccessFile);
  CmdLine("prog user=ann passw=secret");
  EXPECT_EQ(Page(), kErrFileNotFound);
  EXPECT_EQ(S(ErrDetail()), std::string(dir) + "/sec/.htsafety");  // as the user reads it
  EXPECT_TRUE(IsLoginForm(Taken()));
  EXPECT_EQ(StoreCount(kGroupParamLists), 0);
}

TEST_F(AccessTest, UserCheckedAgainstTheUsersFile) {
  Safe(kSafeAccessFile);
  Protect();
  const u16 lists = StoreCount(kGroupParamLists);
  const struct {
    const char* line;
    u16 result;
  } cases[] = {
      {"prog user=ann passw=secret", 0},        // unquoted on both sides: any case
      {"prog user=ann passw=Secret", 0},
      {"prog user=ann passw=wrong", kErrPermission},
      {"prog user=bob passw='MiXed'", 0},       // quoted: the case counts
      {"prog user=bob passw='mixed'", kErrPermission},
      {"prog user=bob passw=MiXed", kErrPermission},
      {"prog user=q passw='a b:c'", 0},
      {"prog user=carol passw=x", kErrPermission},  // not listed
      {"prog user=ann", kErrPermission},            // no password
      {"prog passw=secret", kErrPermission},        // no user name: refused, never passed
  };
  for (const auto& c : cases) {
    CmdLine(c.line);
    EXPECT_EQ(Page(), c.result) << c.line;
    const std::string out = Taken();
    EXPECT_EQ(IsLoginForm(out), c.result != 0) << c.line;
    EXPECT_EQ(StoreCount(kGroupParamLists), lists) << c.line;  // the protection file is popped
  }
}

TEST_F(AccessTest, TheNameCheckedIsTheOneTaken) {
  Safe(kSafeAccessFile | kSafeRemoteUser);
  Protect();
  // The web server names bob; the request's "user" must not stand in, and
  // a request naming another user is refused.
  setenv("REMOTE_USER", "BOB", 1);
  CmdLine("prog user=bob passw='MiXed'");
  EXPECT_EQ(Page(), 0);
  CmdLine("prog user=ann passw='MiXed'");
  EXPECT_EQ(Page(), kErrPermission);
  CmdLine("prog user=ann passw=secret");
  EXPECT_EQ(Page(), kErrPermission);
  Taken();
  // With REMOTE_USER unset there is no user name, whatever the request says.
  unsetenv("REMOTE_USER");
  CmdLine("prog user=ann passw=secret");
  EXPECT_EQ(Page(), kErrPermission);
  EXPECT_TRUE(IsLoginForm(Taken()));
}

TEST_F(AccessTest, MissingUsersFileRefusesWithoutRecordingAnError) {
  Safe(kSafeAccessFile);
  Write("sec/.htsafety", "users=nosuch.txt\n");
  CmdLine("prog user=ann passw=secret");
  EXPECT_EQ(Page(), kErrPermission);
  EXPECT_EQ(ErrGet() & 0xFFFF, 0u);
}

TEST_F(AccessTest, LoginFormNeverEchoesThePassword) {
  Safe(kSafeRemoteUser);
  CmdLine("prog user=ann passw='topsecret'");
  EXPECT_EQ(Page(), kErrPermission);
  std::string out = Taken();
  EXPECT_NE(out.find("<input name=\"user\" align=\"left\" size=\"30\" type=\"text\" value=\"ANN\">"), std::string::npos)
      << out;
  EXPECT_NE(out.find("<input name=\"passw\" align=\"left\" size=\"30\" type=\"password\">"), std::string::npos) << out;
  EXPECT_EQ(out.find("topsecret"), std::string::npos);

  // A name that would break out of the field list or the attribute is not
  // written back at all.
  for (const char* line : {"prog user='x\"><script>'", "prog user='a;b;script'", "prog user='a&amp;b'"}) {
    CmdLine(line);
    EXPECT_EQ(Page(), kErrPermission);
    out = Taken();
    EXPECT_NE(out.find("<input name=\"user\" align=\"left\" size=\"30\" type=\"text\">"), std::string::npos)
        << line << "\n" << out;
    EXPECT_EQ(out.find("script"), std::string::npos) << line;
  }
}

// A fail page renderer that records what it was asked for.
std::string g_fail_page;
std::string g_fail_macros;
u16 g_fail_keywords = 0xFFFF;
u16 FakeRender(StrSlice page, MacroContext c) {
  g_fail_page = S(page);
  g_fail_macros = S(MacroContextMacros(c));
  g_fail_keywords = static_cast<u16>(c.keywords_len);
  HtmlOut(L("denied"));
  return kErrFileNotFound;  // its own failure does not change the result
}

TEST_F(AccessTest, FailPageStandsInForTheRefusedPage) {
  Safe(kSafeAccessFile);
  Protect();
  const WebPageRenderFn renderer = WebFailPageRender;
  WebFailPageRender = FakeRender;
  CmdLine("prog user=ann passw=wrong failpage='err/denied.html'");
  EXPECT_EQ(Page(), kErrPermission);
  EXPECT_EQ(Taken(), "denied");
  EXPECT_EQ(g_fail_page, "err\\denied.html");
  EXPECT_EQ(g_fail_macros, "PAGETITLE='Login'");
  EXPECT_EQ(g_fail_keywords, 0);

  // Without a fail page the login form is written.
  CmdLine("prog user=ann passw=wrong");
  EXPECT_EQ(Page(), kErrPermission);
  EXPECT_TRUE(IsLoginForm(Taken()));
  WebFailPageRender = renderer;
}

// A site rendered through the page renderer: the document folder admits
// GUEST; sec and sec/sub admit ADMIN and OPS; eve's users file holds a
// password that reads like a user name; pub and open hold no protection
// file. Every page shows only its own marker.
struct SiteTest : AccessTest {
  void SetUp() override {
    AccessTest::SetUp();
    if (HasFatalFailure()) return;
    for (const char* d : {"sec/sub", "pub", "open", "eve"}) std::filesystem::create_directories(dir + "/" + d);
    Write(".htsafety", "users=root.txt\n");
    Write("root.txt", "GUEST:guest\n");
    Write("sec/.htsafety", "users='sec.txt'\n");
    Write("sec/sub/.htsafety", "users='sec.txt'\n");
    Write("sec.txt", "ADMIN:'Adm1n'\nOPS:letmein\n");
    Write("eve/.htsafety", "users='eve.txt'\n");
    Write("eve.txt", "EVE:ADMIN\r\nADMIN:'Adm1n'\r\nT&X:tx\r\n");
    Write("page.html", "@root\n");
    Write("denied.html", "@denied\n");
    Write("sec/page.html", "@sec\n");
    Write("sec/other.html", "@other\n");
    Write("sec/sub/page.html", "@sub\n");
    Write("eve/page.html", "@eve\n");
    Write("open/denied.html", "@open\n");
  }
  static u16 Render(const char* page) {
    return HtmlPageRender(L(page), MacroContextInit(nullptr, L("PAGETITLE='Login'"), L(""), nullptr));
  }
};

constexpr const char* kLogin = "login";

TEST_F(SiteTest, OnlyTheOpenedFolderAdmits) {
  const struct {
    i64 safe;
    const char* remote_user;  // REMOTE_USER, unset when null
    const char* line;
    const char* page;
    u16 result;
    const char* shows;  // the page's output, or kLogin for the login form
  } cases[] = {
      // A fail page is spared the check only when it stands in for a
      // refused page, never when it is the refused page or its folder
      // refuses the request.
      {1, nullptr, "prog failpage='sec/page.html'", "sec\\page.html", kErrPermission, kLogin},
      {1, nullptr, "prog user=GUEST passw=guest failpage='sec/page.html'", "sec\\page.html", kErrPermission, kLogin},
      {1, nullptr, "prog user=GUEST passw=guest failpage='pub/../sec/page.html'", "sec\\page.html", kErrPermission,
       kLogin},
      {1, nullptr, "prog user=GUEST passw=guest failpage='sec/other.html'", "sec\\page.html", kErrPermission, kLogin},
      {1, nullptr, "prog failpage='open/denied.html'", "open\\denied.html", kErrFileNotFound, kLogin},
      {2, nullptr, "prog failpage='sec/page.html'", "sec\\page.html", kErrPermission, kLogin},
      {1, nullptr, "prog failpage='denied.html'", "sec\\page.html", kErrPermission, kLogin},
      // The protection file is the one beside the template as it is opened.
      {1, nullptr, "prog user=GUEST passw=guest htmlpath='sec'", "page.html", kErrPermission, kLogin},
      {1, nullptr, "prog user=GUEST passw=guest htmlpath='sec/sub'", "page.html", kErrPermission, kLogin},
      {1, nullptr, "prog user=GUEST passw=guest htmlpath='pub/../sec'", "page.html", kErrPermission, kLogin},
      {1, nullptr, "prog user=GUEST passw=guest", "sec/page.html", kErrPermission, kLogin},
      {1, nullptr, "prog user=GUEST passw=guest", "sec/sub/page.html", kErrPermission, kLogin},
      {1, nullptr, "prog user=GUEST passw=guest", "pub/../sec/page.html", kErrPermission, kLogin},
      // Only a line's name field names a user.
      {1, nullptr, "prog user='letmein'", "sec\\page.html", kErrPermission, kLogin},
      {1, nullptr, "prog user='OPS:letmein'", "sec\\page.html", kErrPermission, kLogin},
      {3, "letmein", "prog", "sec\\page.html", kErrPermission, kLogin},
      {1, nullptr, "prog user=ADMIN", "eve\\page.html", kErrPermission, kLogin},
      {1, nullptr, "prog user='T&X' passw=tx", "eve\\page.html", kErrPermission, kLogin},
      // A fail page name is a file name, never an expression.
      {1, nullptr, "prog user=GUEST passw=guest failpage='(\"sec/page.html\")'", "sec\\page.html", kErrPermission, ""},

      // What must keep working.
      {0, nullptr, "prog", "sec\\page.html", 0, "@sec"},
      {1, nullptr, "prog user=ADMIN passw='Adm1n'", "sec\\page.html", 0, "@sec"},
      {1, nullptr, "prog user=ADMIN passw='Adm1n'", "sec/sub/page.html", 0, "@sub"},
      {1, nullptr, "prog user=ADMIN passw='Adm1n' htmlpath='sec'", "page.html", 0, "@sec"},
      {1, nullptr, "prog user=ADMIN passw='Adm1n'", "eve\\page.html", 0, "@eve"},
      {1, nullptr, "prog user=OPS passw=LetMeIn", "sec\\page.html", 0, "@sec"},
      {1, nullptr, "prog user=GUEST passw=guest", "page.html", 0, "@root"},
      {1, nullptr, "prog user=ADMIN passw='adm1n'", "sec\\page.html", kErrPermission, kLogin},
      {1, nullptr, "prog user=NOBODY passw=x", "sec\\page.html", kErrPermission, kLogin},
      {1, nullptr, "prog user=GUEST passw=guest", "sec\\page.html", kErrPermission, kLogin},
      {1, nullptr, "prog passw='Adm1n'", "sec\\page.html", kErrPermission, kLogin},
      {2, "anyone", "prog", "sec\\page.html", 0, "@sec"},
      {3, "ADMIN", "prog user=ADMIN passw='Adm1n'", "sec\\page.html", 0, "@sec"},
      {3, "ADMIN", "prog passw='Adm1n'", "sec\\page.html", 0, "@sec"},
      {3, "OPS", "prog user=ADMIN passw='Adm1n'", "sec\\page.html", kErrPermission, kLogin},
      {1, nullptr, "prog user=GUEST passw=guest failpage='denied.html'", "sec\\page.html", kErrPermission, "@denied"},
      {1, nullptr, "prog failpage='open/denied.html'", "sec\\page.html", kErrPermission, "@open"},
  };
  for (const auto& c : cases) {
    const std::string what = std::to_string(c.safe) + " " + c.line + " -> " + c.page;
    Safe(c.safe);
    if (c.remote_user) {
      setenv("REMOTE_USER", c.remote_user, 1);
    } else {
      unsetenv("REMOTE_USER");
    }
    CmdLine(c.line);
    EXPECT_EQ(Render(c.page), c.result) << what;
    const std::string out = Taken();
    if (c.shows == kLogin) {
      EXPECT_TRUE(IsLoginForm(out)) << what << "\n" << out;
      EXPECT_EQ(out.find('@'), std::string::npos) << what << "\n" << out;
    } else {
      EXPECT_EQ(out, c.shows[0] ? std::string(c.shows) + "\r\n" : "") << what;
    }
  }
}

TEST_F(SiteTest, UsersFileLineEnds) {
  Safe(kSafeAccessFile);
  for (const char* eol : {"\n", "\r", "\r\n"}) {
    for (const bool last_eol : {false, true}) {
      Write("sec.txt", std::string("ADMIN:'Adm1n'") + eol + "Q:'a b:c&d'" + (last_eol ? eol : ""));
      const struct {
        const char* line;
        u16 result;
      } cases[] = {
          {"prog user=ADMIN passw='Adm1n'", 0},
          {"prog user=Q passw='a b:c&d'", 0},
          {"prog user=Q passw='a b'", kErrPermission},
          {"prog user=Q", kErrPermission},
      };
      for (const auto& c : cases) {
        CmdLine(c.line);
        EXPECT_EQ(Render("sec\\page.html"), c.result) << c.line << " eol " << int(eol[0]) << " " << last_eol;
        Taken();
      }
    }
  }
}

}  // namespace
