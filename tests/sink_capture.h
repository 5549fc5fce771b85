// A temporary file as the HTML output sink of one test, and what it
// received since the last read.
#pragma once
#include <gtest/gtest.h>
#include <cstdio>
#include <string>

#include "html/output.h"
#include "html/request.h"
#include "html/tags.h"

// The end of a test that wrote pages: the tags it left open and the echo
// flag it read are forgotten, so that the next test in the process starts
// as in a fresh one, and no sink is installed.
inline void HtmlStateReset() {
  vk::HtmlTagForget(0);
  vk::HtmlEchoReset();
  vk::HtmlSinkSet(nullptr);
}

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

// A fixture mix-in: a fresh temporary file is the sink during the test, and
// Taken() gives the bytes written to it since the last call. Base is the
// fixture that starts the library: set up first, torn down last.
template <class Base>
struct WithSink : Base {
  std::FILE* sink = nullptr;
  long taken = 0;

  void SetUp() override {
    Base::SetUp();
    if (this->HasFatalFailure()) return;
    sink = std::tmpfile();
    ASSERT_NE(sink, nullptr);
    vk::HtmlSinkSet(sink);
  }
  void TearDown() override {
    HtmlStateReset();
    if (sink) std::fclose(sink);
    sink = nullptr;
    Base::TearDown();
  }
  std::string Taken() { return SinkTakeSince(sink, &taken); }
};
