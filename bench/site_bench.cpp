// Generation speed: builds a synthetic site as large as the page tree
// accepts (nested three deep), generates it in all five languages with the
// console backend, then writes the same files with the same bytes through
// plain stdio as the floor. Prints pages per second, the ratio to the floor
// and the peak memory of the process.
#include <stdlib.h>
#include <sys/resource.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "bench/bench_support.h"
#include "html/request.h"
#include "platform/console_backend.h"
#include "runtime/memory.h"
#include "runtime/scratch.h"
#include "script/variables.h"
#include "sitegen/dispatch.h"
#include "sitegen/genrun.h"
#include "sitegen/pagetree.h"

using namespace vk;
using namespace vkbench;
namespace fs = std::filesystem;

namespace {

constexpr u16 kLanguages = 5;
constexpr int kFrameLines = 60;
constexpr int kExpressions = 20;

std::string Lib(const fs::path& p) {
  std::string s = p.string();
  for (char& c : s)
    if (c == '/') c = '\\';
  return s;
}
StrSlice Sl(const std::string& s) { return StrSlice{s.data(), static_cast<u16>(s.size())}; }

// A tree of n nodes: groups of one top page, four children and three
// grandchildren under each child.
std::string TreeText(int n) {
  std::string t;
  for (int i = 0; i < n; ++i) {
    const int k = i % 16;
    const size_t depth = k == 0 ? 0 : (k % 4 == 1 ? 1 : 2);
    t += std::string(depth, '\t') + "p" + std::to_string(i) + "\n";
  }
  return t;
}

std::string FrameText() {
  std::string f = "<html><head><title>[LANG('p0')]</title></head><body>\n";
  for (int i = 0; i < kFrameLines - 2; ++i) {
    if (i < kExpressions)
      f += "<p>Value [" + std::to_string(i) + "*3+1] of [LANG_ID]</p>\n";
    else
      f += "<p>Plain text line " + std::to_string(i) + " with some words in it.</p>\n";
  }
  return f + "</body></html>\n";
}

// The largest tree the loader accepts.
int Capacity(const fs::path& tree) {
  int lo = 1, hi = kSiteMaxNodes;
  while (lo < hi) {
    const int mid = (lo + hi + 1) / 2;
    std::ofstream(tree, std::ios::binary) << TreeText(mid);
    const WorkMarkId m = WorkMark(kMarkQuery);
    const bool ok = SiteTreeLoad(Sl(Lib(tree)), kSiteTextWidth) == 0;
    SiteTreeFree();
    WorkMark(m);
    (ok ? lo : hi) = ok ? mid : mid - 1;
  }
  return lo;
}

}  // namespace

int main() {
  if (!LibStart()) return 1;
  ConsoleUiInstall();
  char templ[] = "/tmp/vkbenchXXXXXX";
  if (!mkdtemp(templ)) return 1;
  const fs::path dir = templ;
  const fs::path site = dir / "site" / "a" / "b";
  fs::create_directories(site);
  fs::current_path(site);
  std::ofstream(site / "frame.html", std::ios::binary) << FrameText();
  for (const char* s : {"_en", "_es", "_fr", "_de", "_it"})
    std::ofstream(site / (std::string("tree") + s + ".txt"), std::ios::binary) << "p0='Home'\n";

  int nodes = Capacity(site / "tree.txt");

  MacroContext context{};
  MacroContextInit(&context, kStrEmpty, Lit(kSiteKeywordList), SiteKwDispatch);
  u16 written = 0, avoids = 0;
  auto generate = [&](const fs::path& out, double* seconds) {
    fs::create_directories(out);
    written = avoids = 0;
    const OverwriteRule rule = SiteGenOverwriteRule(true, false, -1, &written, &avoids);
    const auto t0 = std::chrono::steady_clock::now();
    const u16 rc = SiteGenRun(Sl(Lib(site / "frame.html")), Sl(Lib(site / "tree.txt")), Sl(Lib(out)), context,
                              kLangMaskAll, rule, kRunTypeMap);
    *seconds = Seconds(t0);
    return rc;
  };

  // A first run finds a tree that also leaves the run its scratch room and
  // gives the bytes of the floor.
  double run_s = 0;
  u16 rc = 0;
  for (;;) {
    std::ofstream(site / "tree.txt", std::ios::binary) << TreeText(nodes);
    rc = generate(dir / "first", &run_s);
    if (rc == 0 || nodes < 20) break;
    nodes -= nodes / 20;
  }
  if (rc != 0) {
    std::fprintf(stderr, "run failed with %u\n", rc);
    return 1;
  }

  // The floor: the same files, the same bytes, straight through stdio.
  std::vector<std::pair<fs::path, std::string>> files;
  for (const auto& e : fs::recursive_directory_iterator(dir / "first")) {
    if (!e.is_regular_file()) continue;
    std::ifstream in(e.path(), std::ios::binary);
    std::stringstream ss;
    ss << in.rdbuf();
    files.emplace_back(dir / "floor" / fs::relative(e.path(), dir / "first"), ss.str());
  }
  for (const auto& f : files) fs::create_directories(f.first.parent_path());
  const auto t1 = std::chrono::steady_clock::now();
  for (const auto& f : files) {
    std::FILE* fp = std::fopen(f.first.c_str(), "wb");
    if (!fp) return 1;
    std::fwrite(f.second.data(), 1, f.second.size(), fp);
    std::fclose(fp);
  }
  const double floor_s = Seconds(t1);

  // The measured run, into fresh folders like the floor's.
  rc = generate(dir / "out", &run_s);
  if (rc != 0) {
    std::fprintf(stderr, "run failed with %u\n", rc);
    return 1;
  }

  rusage ru{};
  getrusage(RUSAGE_SELF, &ru);
  std::printf("nodes %d, languages %u, pages written %u\n", nodes, kLanguages, written);
  std::printf("run %.3f s: %.0f pages/s\n", run_s, written / run_s);
  std::printf("floor %.3f s: %.0f pages/s; ratio %.2f\n", floor_s, written / floor_s, run_s / floor_s);
  std::printf("peak memory %.1f MB\n", static_cast<double>(ru.ru_maxrss) / 1024.0);
  fs::current_path("/");
  fs::remove_all(dir);
  return 0;
}
