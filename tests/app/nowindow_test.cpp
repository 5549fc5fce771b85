// The program without a window, run as a separate process on a copy of the
// bundled example site; and a library that fails to start.
#include <fcntl.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <csignal>
#include <cstdio>
#include <vector>

#include "app/application.h"
#include "app/options.h"
#include "app_fixture.h"
#include "runtime/memory.h"

using namespace vk;

namespace {

struct ProgramRun {
  int status;
  std::string out;
  std::string err;
};

struct NoWindowTest : InTempDir<::testing::Test> {
  void SetUp() override {
    InTempDir::SetUp();
    if (HasFatalFailure()) return;
    fs::copy(VK_EXAMPLES_DIR "/bilingual", dir + "/site", fs::copy_options::recursive);
  }
  // The program in folder with the arguments (already quoted for the
  // shell), without a display; with size_limit, the child may write no
  // file past that many bytes, and gets SIGXFSZ as the system sends it by
  // default (the test process's own limit and signal stay as they were).
  ProgramRun Program(const std::string& folder, const std::string& args, rlim_t size_limit = 0) {
    const std::string err = dir + "/stderr.txt";
    const std::string cmd = "cd '" + folder + "' && env -u DISPLAY -u WAYLAND_DISPLAY '" VK_APP_EXE "' " + args +
                            " 2>'" + err + "' </dev/null";
    ProgramRun r{-1, "", ""};
    rlimit old{};
    getrlimit(RLIMIT_FSIZE, &old);
    void (*old_signal)(int) = SIG_DFL;
    if (size_limit) {
      rlimit now = old;
      now.rlim_cur = size_limit;
      old_signal = std::signal(SIGXFSZ, SIG_DFL);
      setrlimit(RLIMIT_FSIZE, &now);
    }
    FILE* p = popen(cmd.c_str(), "r");
    if (size_limit) {
      setrlimit(RLIMIT_FSIZE, &old);
      std::signal(SIGXFSZ, old_signal);
    }
    if (!p) return r;
    char buf[512];
    for (size_t n; (n = fread(buf, 1, sizeof buf, p)) > 0;) r.out.append(buf, n);
    const int st = pclose(p);
    r.status = WIFEXITED(st) ? WEXITSTATUS(st) : -1;
    r.err = Read(err);
    return r;
  }
};

TEST_F(NoWindowTest, GeneratesTheExampleFromConfigAndPrintsTheCounts) {
  const std::string site = dir + "/site";
  ProgramRun r = Program(site, "--no-window --lang en,es --overwrite all");
  EXPECT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(r.out, "Written: 20\nAvoids: 0\n");
  for (const std::string& page : ExamplePages()) EXPECT_TRUE(fs::exists(site + "/" + page)) << page;
  EXPECT_TRUE(fs::exists(site + "/index.html.var"));
  EXPECT_TRUE(fs::exists(site + "/source/templates/Vellumkit.log"));
  // Every image a page shows from the site's root comes with the example.
  int images = 0;
  for (const std::string& page : ExamplePages()) {
    const std::string html = AppTest::Read(site + "/" + page);
    for (size_t at = 0; (at = html.find("src=\"/", at)) != std::string::npos; ++images) {
      at += 5;
      const std::string src = html.substr(at, html.find('"', at) - at);
      EXPECT_EQ(AppTest::Read(site + src).substr(0, 6), "GIF89a") << page << ": " << src;
    }
  }
  EXPECT_EQ(images, 40);

  // Without a display the window is not asked for; existing pages kept.
  r = Program(site, "--lang EN,ES --no-overwrite");
  EXPECT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(r.out, "Written: 0\nAvoids: 20\n");
}

// The largest tree the program takes, as its documentation names it: each
// node keeps one entry of the scratch stack and a page keeps its room.
TEST_F(NoWindowTest, TheLargestTreeAndOneNodeMore) {
  constexpr int kMaxNodes = 473;
  const std::string tree = dir + "/site/source/tree/big.txt";
  const std::string args = "--no-window --frame site/source/templates/frame.html --tree site/source/tree/big.txt";
  std::ofstream(tree, std::ios::binary) << "home\n" << std::string(kMaxNodes - 1, '\n');
  ProgramRun r = Program(dir, args);
  EXPECT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(r.out, "Written: 1\nAvoids: 0\n");

  std::ofstream(tree, std::ios::binary) << "home\n" << std::string(kMaxNodes, '\n');
  r = Program(dir, args);
  EXPECT_EQ(r.status, 1);
  EXPECT_EQ(r.out, "Written: 0\nAvoids: 0\n");
  EXPECT_NE(r.err.find("line " + std::to_string(kMaxNodes + 1) + ": more nodes than the scratch stack holds"),
            std::string::npos)
      << r.err;
}

TEST_F(NoWindowTest, PathOptionsAndFailures) {
  // From another folder, with the paths given as options and no language.
  ProgramRun r = Program(dir, "--no-window --frame site/source/templates/frame.html --tree=site/source/tree/tree.txt "
                       "--values site/source/macros.txt");
  EXPECT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(r.out, "Written: 10\nAvoids: 0\n");
  EXPECT_TRUE(fs::exists(dir + "/site/index.html"));
  EXPECT_EQ(Read(dir + "/config.txt"),
            "site/source/templates/frame.html\r\nsite/source/tree/tree.txt\r\nsite/source/macros.txt\r\n");

  // A missing tree file: the run reports it, status 1.
  r = Program(dir, "--no-window --tree site/source/tree/absent.txt --lang en");
  EXPECT_EQ(r.status, 1);
  EXPECT_EQ(r.out, "Written: 0\nAvoids: 0\n");
  EXPECT_FALSE(r.err.empty());

  // No paths at all: message 1001 on standard error, status 1.
  fs::create_directory(dir + "/empty");
  r = Program(dir + "/empty", "--no-window");
  EXPECT_EQ(r.status, 1);
  EXPECT_NE(r.err.find("Frame page and tree file are required"), std::string::npos);
  EXPECT_FALSE(fs::exists(dir + "/empty/config.txt"));

  r = Program(dir, "--help");
  EXPECT_EQ(r.status, 0);
  EXPECT_NE(r.out.find("--no-window"), std::string::npos);
}

// Every option the program refuses is said in one line, then the usage;
// nothing is run and the status is 2.
TEST_F(NoWindowTest, EveryUnusableOptionPrintsItsReasonAndTheUsage) {
  const struct {
    const char* args;
    const char* reason;
  } cases[] = {
      {"--frobnicate", "unknown option: --frobnicate"},
      {"--no-window --tree", "missing value: --tree"},
      {"--no-window --lang en,xx", "unknown language in: en,xx"},
      {"--no-window --overwrite=", "missing time window: --overwrite="},
      {"--no-window --overwrite 3Hours", "unknown time window: 3Hours"},
      {"--no-window --lang en --overwrite '3 Hours'", "unknown time window: 3 Hours"},
  };
  for (const auto& c : cases) {
    const ProgramRun r = Program(dir + "/site", c.args);
    EXPECT_EQ(r.status, 2) << c.args;
    EXPECT_EQ(r.out, "") << c.args;
    EXPECT_EQ(r.err, std::string("vellumcraft: ") + c.reason + "\n" + kAppUsage) << c.args;
  }
  EXPECT_FALSE(fs::exists(dir + "/site/index_en.html"));
}

// A language file shares the variable store with the run's other values:
// each line takes one of its 2047 entries while the file is read, and the
// text its bytes. About 2,000 lines and 60,000 bytes fit, as the guide
// says; a file that does not fit is refused with a message that says so.
TEST_F(NoWindowTest, TheLanguageFileFitsTheVariableStore) {
  const std::string site = dir + "/site";
  const struct {
    int lines;
    int value_bytes;  // of each line k<i>='<value>'
    bool fits;
  } cases[] = {
      {2000, 1, true},
      {2047, 1, false},   // as many lines as the store has entries
      {285, 200, true},   // 59,170 bytes
      {300, 200, false},  // 62,290 bytes: more than the store holds
  };
  for (const auto& c : cases) {
    std::ofstream f(site + "/source/tree/tree_en.txt", std::ios::binary | std::ios::trunc);
    for (int i = 0; i < c.lines; ++i) f << "k" << i << "='" << std::string(static_cast<size_t>(c.value_bytes), 'x') << "'\n";
    f.close();
    const ProgramRun r = Program(site, "--no-window --lang en --overwrite all");
    EXPECT_EQ(r.status, c.fits ? 0 : 1) << c.lines;
    EXPECT_EQ(r.out, c.fits ? "Written: 10\nAvoids: 0\n" : "Written: 0\nAvoids: 0\n") << c.lines;
    EXPECT_EQ(r.err.find("The language file does not fit in the variable store (2047 lines and 61360 bytes in all, "
                         "shared with the run's other values):\n" +
                         site + "/source/tree/tree_en.txt\n") != std::string::npos,
              !c.fits)
        << r.err;
  }
}

// A run that fails says why in one message on standard error, every path
// in the system's form and the system's reason after a file it refused,
// and ends its log with the same text. A file-size limit makes a page fail
// as a full disk would, instead of ending the program.
TEST_F(NoWindowTest, AFailedRunSaysWhyOnStandardErrorAndInItsLog) {
  const std::string site = dir + "/site";
  const struct {
    const char* args;
    rlim_t size_limit;  // 0 for none
    std::string message;
  } cases[] = {
      {"--no-window --frame source/templates/nope.html --lang en --overwrite all", 0,
       "Error Fichero no encontrado: filename:" + site + "/source/templates/nope.html htmlpage:" + site +
           "/source/templates/nope.html DocRoot: DocRootFileNm:" + site +
           "/source/templates/nope.html (No such file or directory)\n" + site + "/contact_en.html\n"},
      {"--no-window --tree source/tree/absent.txt --lang en", 0,
       "Error Indefinido: Tree file " + site + "/source/tree/absent.txt: not found\n"},
      {"--no-window --lang en --overwrite all", 4096,
       "Error Fichero I/O: " + site + "/index_en.html (File too large)\n"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.args);
    fs::remove_all(site);
    fs::copy(VK_EXAMPLES_DIR "/bilingual", site, fs::copy_options::recursive);
    // The first page grows past the limit; the menus and the log do not.
    std::ofstream(site + "/source/templates/frame.html", std::ios::app) << "<!--" << std::string(5000, 'x') << "-->\n";
    const ProgramRun r = Program(site, c.args, c.size_limit);
    EXPECT_EQ(r.status, 1) << r.err;
    const std::string title = "Alerta de Mensaje Fatal: ";
    const size_t at = r.err.find(title);
    ASSERT_NE(at, std::string::npos) << r.err;
    const std::string message = r.err.substr(at + title.size());
    EXPECT_EQ(message, c.message);
    EXPECT_EQ(r.err.find('\\'), std::string::npos) << r.err;
    std::string log = AppTest::Read(site + "/source/templates/Vellumkit.log");
    for (size_t cr; (cr = log.find('\r')) != std::string::npos;) log.erase(cr, 1);
    const std::string last = "Run Ended:" + message;
    ASSERT_GE(log.size(), last.size()) << log;
    EXPECT_EQ(log.substr(log.size() - last.size()), last);
  }
}

TEST_F(NoWindowTest, MacroValueFileOverTheLimitRefusesTheRun) {
  const std::string site = dir + "/site";
  std::ofstream(site + "/source/macros.txt", std::ios::binary) << "TITLE=x\n" << std::string(70000, 'm') << "\n";
  const ProgramRun r = Program(site, "--no-window --lang en --overwrite all");
  EXPECT_EQ(r.status, 1);
  EXPECT_NE(r.err.find("macros.txt cannot be used: it is over 65535 bytes"), std::string::npos) << r.err;
  EXPECT_EQ(r.out, "Written: 0\nAvoids: 0\n");
  for (const std::string& page : ExamplePages()) EXPECT_FALSE(fs::exists(site + "/" + page)) << page;
}

// The program on a fresh copy of the example site whose widgets page's
// sub-template is a FIFO: the program waits on it while it makes that page,
// the signals come then, and only then may it read the FIFO (empty). The
// child starts with `ignored` ignored (0 for none), as nohup or a
// background job starts it. The program's status as waitpid gives it, or
// -1 when it did not end.
struct SignalledRun : NoWindowTest {
  int Run(const std::vector<int>& signals, int ignored) {
    const std::string site = dir + "/site";
    const std::string fifo = site + "/source/templates/products_widgets.sub.html";
    fs::remove_all(site);
    fs::copy(VK_EXAMPLES_DIR "/bilingual", site, fs::copy_options::recursive);
    if (mkfifo(fifo.c_str(), 0600) != 0) return -1;
    const std::string cmd = "cd '" + site + "' && exec env -u DISPLAY -u WAYLAND_DISPLAY '" VK_APP_EXE
                            "' --no-window --lang en,es --overwrite all >'" + dir + "/out' 2>'" + dir +
                            "/err' </dev/null";
    const pid_t child = fork();
    if (child < 0) return -1;
    if (child == 0) {
      if (ignored) std::signal(ignored, SIG_IGN);
      execl("/bin/sh", "sh", "-c", cmd.c_str(), static_cast<char*>(nullptr));
      _exit(127);
    }
    // Each time the program opens the FIFO it finds a writer that closes at
    // once; the signals go before the first close, while it waits.
    bool sent = false;
    int status = 0;
    pid_t ended = 0;
    for (int ms = 0; ms < 30000 && ended == 0; ++ms) {
      const int fd = open(fifo.c_str(), O_WRONLY | O_NONBLOCK | O_CLOEXEC);
      if (fd >= 0 && !sent) {
        for (const int sig : signals) kill(child, sig);
        sent = true;
      }
      if (fd >= 0) close(fd);
      ended = waitpid(child, &status, WNOHANG);
      if (ended == 0) usleep(1000);
    }
    if (ended == 0) {
      kill(child, SIGKILL);
      waitpid(child, &status, 0);
      return -1;
    }
    EXPECT_TRUE(sent);
    return status;
  }
};

// TERM and HUP (kill, a logout, the terminal closed) stop a run as Ctrl-C
// does. The run ends at the next page, with every page before it in place,
// no temporary left, the log ending as after a cancel and status 1; a
// second signal changes nothing.
TEST_F(SignalledRun, TermAndHupStopTheRunAtTheNextPage) {
  const std::string site = dir + "/site";
  const std::vector<std::vector<int>> cases = {{SIGTERM}, {SIGHUP}, {SIGHUP, SIGTERM}};
  for (const std::vector<int>& signals : cases) {
    SCOPED_TRACE(strsignal(signals[0]) + std::string(signals.size() > 1 ? " and a repeat" : ""));
    const int status = Run(signals, 0);
    ASSERT_NE(status, -1) << "the program did not end";
    ASSERT_TRUE(WIFEXITED(status)) << "ended by signal " << WTERMSIG(status);
    EXPECT_EQ(WEXITSTATUS(status), 1);
    EXPECT_EQ(Read(dir + "/out"), "Written: 6\nAvoids: 0\n");
    const std::string err = Read(dir + "/err");
    EXPECT_NE(err.find("Cancelado por el usuario"), std::string::npos) << err;
    // The pages up to the one being written when the signals came, in the
    // tree's order.
    const std::vector<std::string> kept = {"index_en.html",          "about/index_en.html", "about/history_en.html",
                                           "about/team_en.html",     "products/index_en.html",
                                           "products/widgets/index_en.html"};
    for (const std::string& page : ExamplePages())
      EXPECT_EQ(fs::exists(site + "/" + page), std::find(kept.begin(), kept.end(), page) != kept.end()) << page;
    for (const auto& e : fs::recursive_directory_iterator(site))
      EXPECT_EQ(e.path().filename().string().find(".vellumcraft-"), std::string::npos) << e.path();
    std::string log = AppTest::Read(site + "/source/templates/Vellumkit.log");
    // Two signals sent together may reach the process's threads in either
    // order: the log names the one that came first.
    bool named = false;
    for (const int sig : signals) {
      const std::string last = std::string("Run Ended:Cancelado por el usuario (stopped by ") +
                               (sig == SIGTERM ? "SIGTERM" : "SIGHUP") + ")\r\n";
      named = named || log.ends_with(last);
    }
    EXPECT_TRUE(named) << log;
  }
}

// A signal ignored by whoever started the program (nohup ignores HUP, a
// background job of a script starts with INT and QUIT ignored) stays
// ignored: sent during the run, it changes nothing, and the run writes
// every page.
TEST_F(SignalledRun, ASignalIgnoredAtTheStartStaysIgnored) {
  const std::string site = dir + "/site";
  for (const int sig : {SIGHUP, SIGINT, SIGQUIT, SIGTERM}) {
    SCOPED_TRACE(strsignal(sig));
    const int status = Run({sig}, sig);
    ASSERT_NE(status, -1) << "the program did not end";
    ASSERT_TRUE(WIFEXITED(status)) << "ended by signal " << WTERMSIG(status);
    EXPECT_EQ(WEXITSTATUS(status), 0) << Read(dir + "/err");
    EXPECT_EQ(Read(dir + "/out"), "Written: 20\nAvoids: 0\n");
    for (const std::string& page : ExamplePages()) EXPECT_TRUE(fs::exists(site + "/" + page)) << page;
    const std::string log = AppTest::Read(site + "/source/templates/Vellumkit.log");
    EXPECT_EQ(log.find("Run Ended:"), std::string::npos) << log;
  }
}

using AppStartFailure = InTempDir<LibManualStartTest>;

TEST_F(AppStartFailure, NoDialogNoShutdownAndOneLineOnStandardError) {
  // The library already runs, so its start is refused.
  ASSERT_EQ(MemInit(), 0);
  const std::string out_name = dir + "/out", err_name = dir + "/err";
  std::fflush(stdout);
  std::fflush(stderr);
  const int saved_out = dup(1), saved_err = dup(2);
  const int out = open(out_name.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
  const int err = open(err_name.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
  dup2(out, 1);
  dup2(err, 2);
  char a0[] = "vellumcraft", a1[] = "--no-window";
  char* argv[] = {a0, a1, nullptr};
  const int status = InitInstance(2, argv, nullptr);
  std::fflush(stdout);
  std::fflush(stderr);
  dup2(saved_out, 1);
  dup2(saved_err, 2);
  close(out);
  close(err);
  EXPECT_NE(status, 0);
  EXPECT_EQ(Read(out_name), "");
  const std::string text = Read(err_name);
  ASSERT_FALSE(text.empty());
  EXPECT_EQ(text.find('\n'), text.size() - 1) << text;
  EXPECT_TRUE(MemIsInit());
}

}  // namespace
