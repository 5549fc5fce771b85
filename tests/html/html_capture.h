// A fixture for HTML writer tests: starts the memory manager and the value
// tables (for _AUXSTAT) and installs a temporary file as the output sink;
// Taken() gives the bytes written since the last call. The end undoes it
// all.
#pragma once
#include <cstdio>
#include <string>

#include "html/output.h"
#include "runtime_fixture.h"
#include "sink_capture.h"
#include "script/valtable.h"

struct HtmlCaptureTest : RuntimeTest {
  std::FILE* sink = nullptr;
  long taken = 0;

  void SetUp() override {
    RuntimeTest::SetUp();
    if (HasFatalFailure()) return;
    ASSERT_EQ(vk::ValTabInit(), 0);
    sink = SinkStart();
    ASSERT_NE(sink, nullptr);
  }
  void TearDown() override {
    SinkEnd(&sink);
    vk::ValTabFreeAll();
    RuntimeTest::TearDown();
  }
  std::string Taken() { return SinkTakeSince(sink, &taken); }
};
