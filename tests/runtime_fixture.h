// A test fixture that starts the memory manager (handle table, scratch stack,
// variable store) and shuts it down again.
//
// The library starts once per process: a second start answers 124 until the
// library has been shut down. Under ctest every test runs in a process of
// its own; a test program run directly runs all its tests in one process,
// so every fixture that starts the library also shuts it down, and puts the
// memory limits back to their defaults. A test that leaves blocks in use
// keeps the library running, and the next test's set-up then fails, saying
// so.
#pragma once
#include <gtest/gtest.h>
#include <string>
#include "runtime/error.h"
#include "runtime/file.h"
#include "runtime/memory.h"
#include "runtime/message.h"
#include "runtime/progress.h"
#include "runtime/slice.h"
#include "runtime/varstore.h"
#include "runtime/window.h"

// The bytes of a slice as a std::string (for readable assertions).
inline std::string S(vk::StrSlice s) { return s.ptr ? std::string(s.ptr, s.len) : std::string("<error>"); }
inline vk::StrSlice L(const char* z) { return vk::StrSlice{z, static_cast<vk::u16>(std::char_traits<char>::length(z))}; }
// A slice over a std::string (kept alive by the caller).
inline vk::StrSlice Sl(const std::string& s) { return vk::StrSlice{s.data(), static_cast<vk::u16>(s.size())}; }

// Success when the library's start answered 0; otherwise a failure that
// gives the start's code and why it failed.
inline ::testing::AssertionResult LibStarted(vk::u16 rc) {
  if (rc == 0) return ::testing::AssertionSuccess();
  const vk::StrSlice name = vk::ErrCodeName(rc);
  ::testing::AssertionResult failure = ::testing::AssertionFailure();
  failure << "the library did not start: code " << rc << " (" << std::string(name.ptr, name.ptr ? name.len : 0) << ")";
  if (rc == vk::kWarnUndefined) {
    failure << ": it still runs, because a test before this one in the same process left blocks in use;"
               " run this test alone (ctest -R, or --gtest_filter)";
  }
  return failure;
}

// After the shut-down: the next start in the process gets the default
// scratch stack, handle table and store layout, whatever this test asked
// for. Nothing changes under a library that is still running.
inline void LibLimitsReset() {
  if (vk::MemIsInit()) return;
  vk::MemSetLimits(vk::kDefaultScratchKB, vk::kKeepLimit, vk::kDefaultTableEntries);
  vk::StoreSetLayout(vk::kStoreGroups, vk::kStoreEntries, static_cast<vk::u16>(vk::kStoreBlockSize));
}

// What a test leaves in the process besides the library's memory: the
// progress window and the window stack, open files, the log file kept open
// for appending, the language module read, the recorded error. Closed and
// forgotten at the test's end, so that the next test in the process starts
// as it would in a fresh one.
inline void LibProcessReset() {
  vk::ProgressClose();
  vk::WinStackReset();
  for (vk::u16 slot = 0; slot < vk::kFileSlots; ++slot) (void)vk::FileClose(slot);
  // A change of folder through the library closes the kept log file; the
  // fixtures change folders behind the library's back.
  (void)vk::DirChange(L("."));
  vk::MsgCatalogReset();
  (void)vk::ErrSet(vk::kErrForce, vk::kWhereNone, vk::kOk, 0);
}

// The end of a test: what it left in the process, then the library through
// shutdown (MemShutdown, or VarShutdown once the value tables run). A
// refused shut-down shows as the next set-up's failure.
inline void LibEnd(vk::u16 (*shutdown)()) {
  LibProcessReset();
  (void)shutdown();
  LibLimitsReset();
}

// A test that starts the memory manager itself (after choosing its limits
// or store layout): the fixture only shuts it down.
struct MemManualStartTest : ::testing::Test {
  void TearDown() override { LibEnd(vk::MemShutdown); }
};

struct RuntimeTest : MemManualStartTest {
  void SetUp() override { ASSERT_TRUE(LibStarted(vk::MemInit())); }
};
