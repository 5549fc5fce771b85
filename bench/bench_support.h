// What the benchmark programs share: the library started as the application
// starts it, and a stopwatch.
#pragma once
#include <chrono>
#include <cstdio>

#include "runtime/memory.h"
#include "script/variables.h"

namespace vkbench {

// What the application gives the scratch stack.
constexpr vk::u16 kAppScratchKb = 512;

// Starts the library with the application's scratch stack; false, after
// saying so, when it cannot start.
inline bool LibStart() {
  vk::MemSetLimits(kAppScratchKb, vk::kKeepLimit, vk::kKeepLimit);
  if (vk::SysVarInit() == 0) return true;
  std::fprintf(stderr, "library start failed\n");
  return false;
}

// Seconds since a point in time.
inline double Seconds(std::chrono::steady_clock::time_point since) {
  return std::chrono::duration<double>(std::chrono::steady_clock::now() - since).count();
}

}  // namespace vkbench
