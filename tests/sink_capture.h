// Reads what a test's temporary sink file received since the last read.
#pragma once
#include <gtest/gtest.h>
#include <cstdio>
#include <string>

// The bytes written to sink after offset *taken; *taken moves to the end.
inline std::string SinkTakeSince(std::FILE* sink, long* taken) {
  std::fflush(sink);
  std::fseek(sink, 0, SEEK_END);
  const long end = std::ftell(sink);
  std::string out(static_cast<size_t>(end - *taken), '\0');
  std::fseek(sink, *taken, SEEK_SET);
  if (!out.empty()) {
    EXPECT_EQ(std::fread(out.data(), 1, out.size(), sink), out.size());
  }
  std::fseek(sink, 0, SEEK_END);
  *taken = end;
  return out;
}
