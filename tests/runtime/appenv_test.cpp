#include "runtime/appenv.h"

#include <string>

#include "runtime/varstore.h"
#include "runtime_fixture.h"
#include "temp_dir.h"

using namespace vk;

namespace {

struct AppEnvTest : InTempDir<RuntimeTest> {
  void SetUp() override {
    InTempDir::SetUp();
    for (const char* n : {"TEMP", "Temp", "temp"}) unsetenv(n);
  }
  static void Id(u16 entry, const char* text) { ASSERT_EQ(StoreSet(kGroupIdentity, entry, L(text)), 0); }
  static std::string Expand(const char* t) { return S(AppExpandPaths(L(t))); }
  static std::string Ident(const char* t) { return S(AppIdentityMacros(L(t))); }
};

TEST_F(AppEnvTest, EnvironmentAndUnknownMacros) {
  setenv("TEMP", "C:\\T", 1);
  Id(kIdCommandLine, "prog");
  EXPECT_EQ(Expand("%TEMP%\\x"), "C:\\T\\x");
  EXPECT_EQ(Expand("%Temp%\\x"), "C:\\T\\x");
  EXPECT_EQ(Expand("%NOSUCH%\\x"), "\\x");
  EXPECT_EQ(Expand("a%%TEMP%"), "a%%TEMP%");  // an empty macro ends it
  // The first macro in none of the lists hands the rest to the identity
  // expansion, where TEMP is no name.
  EXPECT_EQ(Expand("%NOSUCH%%TEMP%"), "");
  EXPECT_EQ(Expand("%TEMP%-%COMMANDLINE%-%TEMP%"), "C:\\T-prog-");
  // Exact spelling first, then any case.
  setenv("Temp", "mixed", 1);
  EXPECT_EQ(Expand("%Temp%|%TEMP%"), "mixed|C:\\T");
  unsetenv("TEMP");
  unsetenv("Temp");
  setenv("temp", "low", 1);
  EXPECT_EQ(Expand("%TEMP%"), "low");
}

TEST_F(AppEnvTest, ApplicationFolders) {
  char buf[PATH_MAX];
  const std::string cwd = ToLib(getcwd(buf, sizeof buf));
  EXPECT_EQ(Expand("%APPPATH_DOCS%\\a"), cwd + "\\a");
  EXPECT_EQ(Expand("%APPPATH_DATA%"), cwd.substr(0, cwd.rfind('\\')) + "\\data");
  EXPECT_EQ(Expand("%APPPATH_HELP%"), "Help");

  Id(kIdCommandLine, "\\opt\\vk\\bin\\vk --x");
  Id(kIdDefaultFolder, "D:\\app\\bin");
  Id(kIdDocsFolder, "D:\\docs");
  Id(kIdDatabase, " srv ,db,u,p");
  EXPECT_EQ(Expand("%APPPATH_RUNPATH%|%APPPATH_DEFAULT%"), "\\opt\\vk\\bin|D:\\app\\bin");
  EXPECT_EQ(Expand("%APPPATH_DOCS%|%APPPATH_DATA%"), "D:\\docs|D:\\data");
  EXPECT_EQ(Expand("%APPPATH_HELP%|%APPPATH_BACKUP%"), "D:\\app\\bin\\Help|D:\\docs\\Backups");
  // The trimmed host keeps its case; the untouched database name is upper-cased.
  EXPECT_EQ(Expand("%APPPATH_BACKREL%"), cwd + "\\Backups\\srv\\DB");

  // A run drive from F up (any lower-case letter) takes the data folder
  // beside the default folder.
  for (const char* line : {"c:\\x\\p.exe", "F:\\p.exe", "C:\\x\\p.exe"}) {
    Id(kIdCommandLine, line);
    bool high = line[0] != 'C';
    EXPECT_EQ(AppRunDriveHigh(), high) << line;
    EXPECT_EQ(S(AppPath(kAppPathData)), high ? "D:\\app\\data" : "D:\\data") << line;
  }
}

TEST_F(AppEnvTest, IdentityMacros) {
  Id(kIdCommandLine, "prog a=1");
  Id(kIdAppNames, "ABCD:x");
  Id(kIdHelpFolder, "D:\\help");
  Id(kIdDatabase, "host,'Base',  user ,pw");
  EXPECT_EQ(Ident("\"%COMMANDLINE%\" '%COMMANDLINE%'"), "\"prog a=1\" 'prog a=1'");
  EXPECT_EQ(Ident("it's %COMMANDLINE%"), "it's prog a=1");
  EXPECT_EQ(Ident("%APNAME%|%HELPPATH%"), "AB|D:\\help");
  EXPECT_EQ(Ident("%DATABASE_HOST%|%DATABASE_DBNAME%|%DATABASE_USER%"), "HOST|Base|user");
  EXPECT_EQ(Ident("<%TEMP%><%commandline%>"), "<><>");
}

TEST_F(AppEnvTest, ValuesHoldingMacrosAreNotExpandedAgain) {
  setenv("TEMP", "%TEMP%", 1);
  EXPECT_EQ(Expand("%TEMP%\\x%TEMP%"), "%TEMP%\\x%TEMP%");
  Id(kIdCommandLine, "prog %COMMANDLINE% %APNAME%");
  EXPECT_EQ(Ident("[%COMMANDLINE%]"), "[prog %COMMANDLINE% %APNAME%]");
  // A result past 65535 bytes is refused, not wrapped.
  std::string big(40000, 'v');
  setenv("TEMP", big.c_str(), 1);
  EXPECT_EQ(StrError(AppExpandPaths(L("%TEMP%%TEMP%"))), 146);
}

TEST_F(AppEnvTest, StartupStoresTheCommandLineRebuiltFromArguments) {
  char exe[PATH_MAX];
  ssize_t n = readlink("/proc/self/exe", exe, sizeof exe - 1);
  ASSERT_GT(n, 0);
  const std::string prog = ToLib(std::string(exe, static_cast<size_t>(n)));
  // The empty argument between two quoted ones gives quote-blank-blank-quote.
  // A request parameter keeps its name outside quotes: its value is quoted
  // when it holds a blank or leaves a quote open (an option never is).
  const char* argv[] = {"ignored",     "with blank",  "\"a\"",    "",           "\"b\"",   "caf\xC3\xA9",
                        "v=Ana Silva", "u='Ann Lee'", "w=Ana's", "--tree=a b", "p=x/y z"};
  const int argc = sizeof argv / sizeof argv[0];
  EXPECT_EQ(AppStartup(nullptr, argc, argv, [](void*) -> u16 { return 176; }), 176);
  EXPECT_EQ(StoreCount(kGroupIdentity), 0);

  static int instance;
  ASSERT_EQ(AppStartup(&instance, argc, argv, [](void* i) -> u16 { return i == &instance ? 0 : 7; }), 0);
  EXPECT_EQ(AppInstance(), &instance);
  EXPECT_EQ(S(StoreGet(kGroupIdentity, kIdCommandLine)),
            prog + " \"with blank\" \"a\" \"b\" caf\xE9 v=\"Ana Silva\" u='Ann Lee' w=\"Ana's\" \"--tree=a b\" p=\"x/y z\"");
  EXPECT_EQ(S(AppRunPath(0)), prog);
  const char* const values[][2] = {{"v", "Ana Silva"}, {"u", "Ann Lee"}, {"w", "Ana's"}, {"p", "x/y z"}};
  for (const auto& v : values) EXPECT_EQ(S(CmdLineParam(L(v[0]))), v[1]) << v[0];

  ASSERT_EQ(AppCommandLineStore(L("p \"x\"  \"y\"  \"z\"   \"r\"")), 0);
  EXPECT_EQ(S(StoreGet(kGroupIdentity, kIdCommandLine)), "p \"x\" \"y\" \"z\"   \"r\"");
}

TEST_F(AppEnvTest, RunPath) {
  Id(kIdCommandLine, "prog /x");
  EXPECT_EQ(S(AppRunPath(kRunPathArgument)), "");
  Id(kIdCommandLine, "prog \"C:\\d\\f.txt\"");
  EXPECT_EQ(S(AppRunPath(kRunPathArgument)), "C:\\d\\f.txt");
  EXPECT_EQ(S(AppRunPath(kRunPathArgument | kRunPathFolder)), "C:\\d");
  Id(kIdCommandLine, "\"C:\\Program Files\\p.exe\"\t a");
  EXPECT_EQ(S(AppRunPath(0)), "C:\\Program Files\\p.exe");
  EXPECT_EQ(S(AppRunPath(kRunPathFolder)), "C:\\Program Files");
  EXPECT_EQ(S(AppRunPath(kRunPathArgument)), "a");
}

}  // namespace
