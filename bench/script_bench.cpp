// Interpreter speed on long texts: look-ups in a parameter text of 15,000
// pairs, SORT$ of 2,000 items and a script file of 6,000 assignments
// V0=0 ... V5999=5999. Prints the seconds each takes.
#include <stdlib.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>

#include "bench/bench_support.h"
#include "runtime/list.h"
#include "runtime/memory.h"
#include "runtime/scratch.h"
#include "runtime/str.h"
#include "script/eval.h"
#include "script/script.h"
#include "script/variables.h"

using namespace vk;
using namespace vkbench;
namespace fs = std::filesystem;

namespace {


StrSlice Sl(const std::string& s) { return StrSlice{s.data(), static_cast<u16>(s.size())}; }

}  // namespace

int main() {
  if (!LibStart()) return 1;
  char templ[] = "/tmp/vkscriptXXXXXX";
  if (!mkdtemp(templ)) return 1;
  const fs::path dir = templ;
  fs::current_path(dir);

  // A parameter text of 15,000 pairs; the key looked up is the last one,
  // and every pair before it starts with the key's first letter.
  std::string params;
  for (int i = 0; i < 14999; ++i) params += "a=1 ";
  params += "aZ='z'";
  WorkMarkId m = WorkMark(kMarkQuery);
  auto t0 = std::chrono::steady_clock::now();
  u32 found = 0;
  for (int i = 0; i < 10; ++i) found += StrGetParam(Sl(params), StrC("aZ")).len;
  const double param_s = Seconds(t0);
  std::printf("10 look-ups in a parameter text of %zu bytes: %.3f s (%u)\n", params.size(), param_s, found);
  WorkMark(m);

  // SORT$ of 2,000 items, in reverse order.
  std::string items;
  for (int i = 1999; i >= 0; --i) items += (items.empty() ? "" : ",") + std::string("item") + std::to_string(i);
  m = WorkMark(kMarkQuery);
  u16 rc = VarAssignText(StrC("X$"), Sl(items), 1);
  t0 = std::chrono::steady_clock::now();
  const u16 type = ExprEval(StrC("SORT$(X$)"));
  const StrSlice sorted = type == 1 ? WorkTop() : kStrEmpty;
  const double sort_s = Seconds(t0);
  std::printf("SORT$ of 2000 items: %.3f s (assign %u, type %u, %u bytes out, first %.6s)\n", sort_s, rc, type,
              sorted.ptr ? sorted.len : 0u, sorted.ptr ? sorted.ptr : "");
  WorkMark(m);

  // 6,000 assignments, one a line (last: they fill the variable store).
  {
    std::ofstream out("assign.txt", std::ios::binary);
    for (int i = 0; i < 6000; ++i) out << "V" << i << "=" << i << "\n";
  }
  t0 = std::chrono::steady_clock::now();
  rc = ScriptRunFile(StrC("assign.txt"), kScriptReportMissing);
  const double assign_s = Seconds(t0);
  const i16 last = ExprEvalInt(StrC("V5999"));
  std::printf("6000 assignments: %.3f s (result %u, V5999=%d)\n", assign_s, rc, last);

  fs::current_path("/");
  fs::remove_all(dir);
  return 0;
}
