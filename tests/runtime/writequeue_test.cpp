#include "runtime/writequeue.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "runtime/osdir.h"
#include "runtime/osfault.h"
#include "runtime/osfile.h"
#include "runtime/osproc.h"
#include "runtime_fixture.h"
#include "size_limit.h"
#include "temp_dir.h"

using namespace vk;

namespace {

constexpr time_t kOld = 1000000000;  // 2001: a time no test run writes

// Every case runs with the boundary as it is and with its fallbacks forced
// on (on top of VK_OS_FALLBACK). Writer threads, once started, serve the
// rest of the process, so a run without threads is one where none started
// before it: as under ctest, a process a test.
struct WriteQueueTest : InTempDir<RuntimeTest>, ::testing::WithParamInterface<u32> {
  using Base = InTempDir<RuntimeTest>;
  u32 saved = 0;

  void SetUp() override {
    saved = OsFallbacks();
    OsSetFallbacks(saved | GetParam());
    Base::SetUp();
    WriteQueueBegin();
  }
  void TearDown() override {
    // What a failed test left is settled and taken, the old files removed.
    WriteQueueBegin();
    (void)Taken();
    Base::TearDown();
    OsSetFallbacks(saved);
  }

  void Put(const std::string& name, const std::string& text) {
    char* data = static_cast<char*>(std::malloc(text.size() + 1));
    std::memcpy(data, text.data(), text.size());
    const std::string path = Lib(name);
    WriteQueuePut(Sl(path), data, static_cast<u32>(text.size()));
  }
  // An outcome as "rc/err", for readable comparisons.
  static std::string Done(u16 rc = 0, int err = 0) { return std::to_string(rc) + "/" + std::to_string(err); }
  // The outcomes settled and not taken yet, taken in order.
  static std::vector<std::string> Taken() {
    std::vector<std::string> all;
    for (WriteDone d; WriteQueueTake(&d);) all.push_back(Done(d.rc, d.err));
    return all;
  }
  static struct stat Lstat(const std::string& name) {
    struct stat st {};
    lstat(name.c_str(), &st);
    return st;
  }
  static void Age(const std::string& name) {
    const timespec times[2] = {{kOld, 0}, {kOld, 0}};
    ASSERT_EQ(utimensat(AT_FDCWD, name.c_str(), times, AT_SYMLINK_NOFOLLOW), 0) << name;
  }
  // Temporaries anywhere in the folder, once the old files are removed.
  int Temps() {
    StrSlice failed{};
    EXPECT_EQ(WriteQueueSync(Sl(Lib()), &failed), 0);
    int n = 0;
    for (const auto& e : std::filesystem::recursive_directory_iterator(dir))
      n += e.path().filename().string().rfind(".vellumcraft-", 0) == 0;
    return n;
  }
};

// Files take their place only when settled, one after another in the order
// handed over: a placement that fails (the k-th) leaves the files as one
// writer stopping there would have left them.
TEST_P(WriteQueueTest, FilesTakeTheirPlaceInOrderOnlyWhenSettled) {
  const std::pair<const char*, const char*> olds[] = {
      {"changed.txt", "old"}, {"emptied.txt", "old"}, {"same.txt", "same"}, {"twice.txt", "T0"}};
  // twice.txt back to its old content after T1: compared with the pending
  // T1, not with the file, so it is written; the third is kept.
  const std::pair<const char*, const char*> puts[] = {
      {"new.txt", "one"},  {"twice.txt", "T1"}, {"changed.txt", "new"}, {"twice.txt", "T0"},
      {"emptied.txt", ""}, {"same.txt", "same"}, {"twice.txt", "T0"},
  };
  // The puts in whose turn a file takes its place by a rename: twice.txt's
  // last content goes in at the turn of its first, never T1.
  const size_t renamed_at[] = {0, 1, 2, 4};
  for (size_t k = 0; k <= std::size(renamed_at); ++k) {
    SCOPED_TRACE("the rename that fails: " + std::to_string(k));
    WriteQueueBegin();
    for (const auto& e : std::filesystem::directory_iterator(dir)) std::filesystem::remove(e.path());
    for (const auto& [name, old] : olds) {
      Write(name, old);
      Age(name);
    }
    const ino_t same = Lstat("same.txt").st_ino;
    for (const auto& [name, text] : puts) Put(name, text);
    EXPECT_EQ(WriteQueueCount(), std::size(puts));
    EXPECT_EQ(Taken(), std::vector<std::string>{});
    EXPECT_FALSE(Exists("new.txt"));
    for (const auto& [name, old] : olds) {
      EXPECT_EQ(Read(name), old) << name;
      EXPECT_EQ(Lstat(name).st_mtime, kOld) << name;
    }

    if (k < std::size(renamed_at)) OsFaultSet(kOsFaultPlace, EIO, static_cast<u32>(k), 1);
    WriteQueueSettle();
    OsFaultClear();
    // One writer, stopping at the put whose rename failed.
    const size_t stop = k < std::size(renamed_at) ? renamed_at[k] : std::size(puts);
    std::vector<std::string> want;
    std::map<std::string, std::string> now(std::begin(olds), std::end(olds));
    for (size_t i = 0; i < std::size(puts); ++i) {
      want.push_back(i < stop ? Done() : i == stop ? Done(kOsOpenFailed, EIO) : Done(kWriteDropped));
      if (i < stop) now[puts[i].first] = puts[i].second;
    }
    EXPECT_EQ(Taken(), want);
    EXPECT_EQ(WriteQueueCount(), 0u);
    EXPECT_EQ(Exists("new.txt"), stop > 0);
    for (const auto& [name, text] : now) {
      if (name == "new.txt") continue;
      EXPECT_EQ(Read(name), text) << name;
      const bool reached = std::any_of(puts, puts + stop, [&](const auto& p) { return name == p.first; });
      EXPECT_EQ(Lstat(name).st_mtime > kOld, reached) << name;
    }
    EXPECT_EQ(Lstat("same.txt").st_ino, same);
    EXPECT_EQ(Temps(), 0);
  }
}

TEST_P(WriteQueueTest, AFailureDropsThatFileAndEveryLaterOne) {
  // A folder at the name, or a size limit the content passes.
  const struct { const char* what; bool folder; u16 rc; int err; } cases[] = {
      {"folder", true, kOsOpenFailed, EISDIR}, {"limit", false, kFailed, EFBIG}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    const std::string p = std::string(c.what) + "-";
    WriteQueueBegin();  // a new run: the last one's failure is forgotten
    Write(p + "earlier", "old");
    for (const char* name : {"aged", "kept"}) {
      Write(p + name, name);
      Age(p + name);
    }
    if (c.folder) {
      ASSERT_EQ(mkdir((p + "bad").c_str(), 0777), 0);
    }
    {
      std::optional<SizeLimit> limit;
      if (!c.folder) limit.emplace(1024);
      Put(p + "earlier", "new");
      Put(p + "first", "1");
      Put(p + "bad", std::string(c.folder ? 1 : 4096, 'b'));
      Put(p + "later", "2");
      Put(p + "aged", "new");
      Put(p + "kept", "kept");
      WriteQueueSettle();
    }
    Put(p + "after", "3");  // dropped at once, no settle needed
    std::vector<std::string> want = {Done(), Done(), Done(c.rc, c.err)};
    want.resize(7, Done(kWriteDropped));
    EXPECT_EQ(Taken(), want);
    EXPECT_EQ(WriteQueueCount(), 0u);
    EXPECT_EQ(Read(p + "earlier"), "new");
    EXPECT_EQ(Read(p + "first"), "1");
    EXPECT_EQ(Exists(p + "bad"), c.folder);
    EXPECT_EQ(IsDir(p + "bad"), c.folder);
    EXPECT_FALSE(Exists(p + "later") || Exists(p + "after"));
    for (const char* name : {"aged", "kept"}) {
      EXPECT_EQ(Read(p + name), name);
      EXPECT_EQ(Lstat(p + name).st_mtime, kOld) << name;
    }
    EXPECT_EQ(Temps(), 0);
  }
}

// A boundary call that names a file not in place yet (or lists its folder)
// sees it in place, however the path is spelt; one that names another file
// settles nothing.
TEST_P(WriteQueueTest, TheBoundarySettlesForAPendingName) {
  ASSERT_EQ(mkdir("sub", 0777), 0);
  ASSERT_EQ(symlink(".", "here"), 0);
  // How the call spells the file's folder, and whether it names the file
  // through a symbolic link of its own ("to-<name>"), made before the file.
  const struct {
    const char* what;
    std::string folder;
    bool link;
  } spellings[] = {
      {"absolute", Lib(), false},       {"relative", "", false},          {"with steps", ".\\sub\\..", false},
      {"with '/'", dir, false},         {"a linked folder", "here", false}, {"a linked file", Lib(), true},
  };
  // Each call gets the path and its folder: true when it saw the new file.
  using Call = bool (*)(const std::string& path, const std::string& folder);
  const struct {
    const char* name;
    Call call;
    bool gone = false;  // the call removed it
  } cases[] = {
      {"stat.txt", [](const std::string& path, const std::string&) {
         OsStat st{};
         return OsStatPath(Sl(path), &st) && st.size == 3;
       }},
      {"list.txt", [](const std::string&, const std::string& folder) {
         const std::string pattern = folder.empty() ? "l*.txt" : folder + "\\l*.txt";
         std::vector<std::string> seen;
         auto visit = [](StrSlice name, void* ctx) {
           static_cast<std::vector<std::string>*>(ctx)->push_back(S(name));
           return true;
         };
         return OsList(Sl(pattern), visit, &seen) == 0 && seen == std::vector<std::string>{"list.txt"};
       }},
      {"open.txt", [](const std::string& path, const std::string&) {
         std::FILE* f = OsFileOpen(Sl(path), "rb");
         char buf[8];
         const u32 n = f ? OsFileRead(f, buf, sizeof buf) : 0;
         return f && OsFileClose(f) == 0 && std::string(buf, n) == "new";
       }},
      // The new file is what goes (a link, the link): its content went in
      // first, as one writer's would have.
      {"remove.txt", [](const std::string& path, const std::string&) { return OsFileRemove(Sl(path)) == 0; }, true},
  };
  const std::string other = Lib("other.txt");
  for (const auto& sp : spellings)
    for (const auto& c : cases) {
      SCOPED_TRACE(std::string(sp.what) + ", " + c.name);
      const std::string link = std::string("to-") + c.name;
      std::filesystem::remove(c.name);
      std::filesystem::remove(link);
      if (sp.link) {
        ASSERT_EQ(symlink(c.name, link.c_str()), 0);
      }
      Put(c.name, "new");
      OsStat st{};
      EXPECT_FALSE(OsStatPath(Sl(other), &st));
      EXPECT_EQ(Taken(), std::vector<std::string>{});
      const std::string file = sp.link ? link : c.name;
      EXPECT_TRUE(c.call(sp.folder.empty() ? file : sp.folder + "\\" + file, sp.folder));
      EXPECT_EQ(Taken(), std::vector<std::string>{Done()});
      const bool gone = c.gone && !sp.link;
      EXPECT_EQ(Read(c.name), gone ? "" : "new");
      EXPECT_EQ(Exists(c.name), !gone);
    }
  EXPECT_EQ(Temps(), 0);
}

// A link at the name is replaced, never written through, even when what it
// reaches holds the content; so is a file with a second name, whose twin
// keeps its content and time.
TEST_P(WriteQueueTest, LinksAreReplacedNotWrittenThrough) {
  Write("target.txt", "same");
  Age("target.txt");
  ASSERT_EQ(symlink("target.txt", "link.txt"), 0);
  Write("one.txt", "same");
  Age("one.txt");
  ASSERT_EQ(link("one.txt", "two.txt"), 0);
  Put("link.txt", "same");
  Put("one.txt", "same");
  WriteQueueSettle();
  EXPECT_EQ(Taken(), (std::vector<std::string>{Done(), Done()}));
  EXPECT_TRUE(S_ISREG(Lstat("link.txt").st_mode));
  EXPECT_NE(Lstat("one.txt").st_ino, Lstat("two.txt").st_ino);
  const struct { const char* name; bool untouched; } files[] = {
      {"link.txt", false}, {"target.txt", true}, {"one.txt", false}, {"two.txt", true}};
  for (const auto& f : files) {
    EXPECT_EQ(Read(f.name), "same") << f.name;
    EXPECT_EQ(Lstat(f.name).st_mtime == kOld, f.untouched) << f.name;
  }
  EXPECT_EQ(Temps(), 0);
  EXPECT_EQ(Lstat("two.txt").st_nlink, 1u);  // the swapped-out name is gone too
}

INSTANTIATE_TEST_SUITE_P(Fallbacks, WriteQueueTest, ::testing::Values(0u, u32{kOsNoThreads | kOsNoExchange}),
                         [](const auto& p) { return p.param ? "NoThreadsNoExchange" : "AsTheSystemIs"; });

}  // namespace
