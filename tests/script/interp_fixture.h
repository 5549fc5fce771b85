// Fixtures that start the library as the application does (memory, value
// tables, system variables), or its memory and value tables only, and shut
// it down again (see runtime_fixture.h); and one with helpers that evaluate
// an expression and read back its value.
#pragma once
#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "runtime/scratch.h"
#include "runtime_fixture.h"
#include "runtime/slice.h"
#include "script/eval.h"
#include "script/valtable.h"
#include "script/variables.h"

// A test that starts the library itself (after choosing its limits or
// store layout): the fixture only shuts it down.
struct LibManualStartTest : ::testing::Test {
  void TearDown() override { LibEnd(vk::VarShutdown); }
};

struct LibTest : LibManualStartTest {
  void SetUp() override { ASSERT_TRUE(LibStarted(vk::SysVarInit())); }
};

// The memory manager and the value tables only, without the system
// variables.
struct ValTabLibTest : RuntimeTest {
  void SetUp() override {
    RuntimeTest::SetUp();
    if (HasFatalFailure()) return;
    ASSERT_EQ(vk::ValTabInit(), 0);
  }
  void TearDown() override { LibEnd(vk::VarShutdown); }
};

struct InterpTest : LibTest {
  // The result code of the expression and, in *raw, its number (raw,
  // scaled); the scratch stack is left as it was.
  static vk::u16 Eval(const std::string& expr, vk::i64* raw = nullptr, std::string* text = nullptr) {
    const vk::WorkMarkId mark = vk::WorkMark(vk::kMarkQuery);
    const vk::u16 rc = vk::ExprEval(vk::StrSlice{expr.data(), static_cast<vk::u16>(expr.size())});
    const vk::StrSlice top = vk::WorkTop();
    if (raw) *raw = vk::ValNumber(top);
    if (text) *text = std::string(top.ptr, top.len);
    vk::WorkMark(mark);
    return rc;
  }
  // The number the expression gives, raw; a failing test when it is no
  // number.
  static vk::i64 Num(const std::string& expr) {
    vk::i64 raw = 0;
    EXPECT_EQ(Eval(expr, &raw), 0) << expr;
    return raw;
  }
  static std::string Text(const std::string& expr) {
    std::string text;
    EXPECT_EQ(Eval(expr, nullptr, &text), 1) << expr;
    return text;
  }
};
