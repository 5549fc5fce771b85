// A test fixture that starts the memory manager (handle table, scratch stack,
// variable store). Each test runs in its own process, so state starts fresh.
#pragma once
#include <gtest/gtest.h>
#include <string>
#include "runtime/memory.h"
#include "runtime/slice.h"

struct RuntimeTest : ::testing::Test {
  void SetUp() override { ASSERT_EQ(vk::MemInit(), 0); }
};

// The bytes of a slice as a std::string (for readable assertions).
inline std::string S(vk::StrSlice s) { return s.ptr ? std::string(s.ptr, s.len) : std::string("<error>"); }
inline vk::StrSlice L(const char* z) { return vk::StrSlice{z, static_cast<vk::u16>(std::char_traits<char>::length(z))}; }
