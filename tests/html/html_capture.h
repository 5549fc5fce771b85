// A fixture for HTML writer tests: starts the memory manager and the value
// tables (for _AUXSTAT) and installs a temporary file as the output sink;
// Taken() gives the bytes written since the last call.
#pragma once
#include <cstdio>
#include <string>

#include "html/output.h"
#include "runtime_fixture.h"
#include "script/valtable.h"

struct HtmlCaptureTest : RuntimeTest {
  std::FILE* sink = nullptr;
  long taken = 0;

  void SetUp() override {
    RuntimeTest::SetUp();
    ASSERT_EQ(vk::ValTabInit(), 0);
    sink = std::tmpfile();
    ASSERT_NE(sink, nullptr);
    vk::HtmlSinkSet(sink);
  }
  void TearDown() override {
    vk::HtmlSinkSet(nullptr);
    if (sink) std::fclose(sink);
  }
  std::string Taken() {
    std::fflush(sink);
    std::fseek(sink, 0, SEEK_END);
    const long end = std::ftell(sink);
    std::string out(static_cast<size_t>(end - taken), '\0');
    std::fseek(sink, taken, SEEK_SET);
    if (!out.empty()) {
      EXPECT_EQ(std::fread(out.data(), 1, out.size(), sink), out.size());
    }
    taken = end;
    std::fseek(sink, 0, SEEK_END);
    return out;
  }
};
