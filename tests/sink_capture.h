// A temporary file as the HTML output sink of one test, and what it
// received since the last read.
#pragma once
#include <gtest/gtest.h>
#include <cstdio>
#include <string>

#include "html/output.h"
#include "html/request.h"
#include "html/tags.h"

// A fresh temporary file installed as the sink (null when none could be
// made, and nothing is installed).
inline std::FILE* SinkStart() {
  std::FILE* sink = std::tmpfile();
  if (sink) vk::HtmlSinkSet(sink);
  return sink;
}

// The end of a test that wrote pages: the tags it left open and the echo
// flag it read are forgotten, so that the next test in the process starts
// as in a fresh one, and no sink is installed.
inline void HtmlStateReset() {
  vk::HtmlTagForget(0);
  vk::HtmlEchoReset();
  vk::HtmlSinkSet(nullptr);
}

// HtmlStateReset, then the sink file is closed.
inline void SinkEnd(std::FILE** sink) {
  HtmlStateReset();
  if (*sink) std::fclose(*sink);
  *sink = nullptr;
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
