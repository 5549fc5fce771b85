// Fixtures for the site generator's tests.
#pragma once
#include <gtest/gtest.h>

#include <cstdio>
#include <string>

#include "html/output.h"
#include "html/render.h"
#include "runtime/appenv.h"
#include "runtime/linelist.h"
#include "runtime/scratch.h"
#include "runtime/varstore.h"
#include "runtime_fixture.h"
#include "script/eval.h"
#include "script/interp_fixture.h"
#include "script/valtable.h"
#include "script/variables.h"
#include "sink_capture.h"
#include "sitegen/dispatch.h"
#include "sitegen/pagetree.h"
#include "sitegen/sitetext.h"
#include "sitegen/trail.h"
#include "temp_dir.h"

// What a test of the generator leaves beside the library's memory: the
// page writer's state, the page tree and the run's language. Reset at the
// test's end, so that the next test in the process starts as in a fresh
// one.
inline void SiteStateReset() {
  HtmlStateReset();
  vk::SiteTreeFree();
  vk::SiteGenLangSet(vk::kSiteLangNone);
}

// The library started as the application starts it, in a temporary folder
// that is the current directory.
struct SiteLibTest : InTempDir<LibTest> {
  void TearDown() override {
    SiteStateReset();
    InTempDir::TearDown();
  }
};

// The site keywords as a template author meets them: a page tree loaded
// from a temporary tree file, the per-page values that a generation run
// leaves in variable group 9, the current node and language, and a small
// template rendered with the generator's keyword list and handler into a
// capture file. Lines end in LF, as during a run.
struct SitePageTest : WithSink<SiteLibTest> {
  std::string keep;

  void SetUp() override {
    WithSink::SetUp();
    if (HasFatalFailure()) return;
    ASSERT_EQ(vk::StoreSet(vk::kGroupIdentity, vk::kIdCommandLine, L("prog")), 0);
    vk::SysVarFlags(vk::kSysSystemCompat, vk::kCompatLf, 1);
  }

  // A file in the temporary folder with these bytes; its path in library
  // form.
  std::string File(const std::string& name, const std::string& bytes) {
    Write(name, bytes);
    return Lib(name);
  }

  // Loads the tree (lines, depth by TABs) in place of any tree held.
  void Tree(const std::string& lines) {
    vk::SiteTreeFree();
    keep = File("tree.txt", lines);
    ASSERT_EQ(vk::SiteTreeLoad(Sl(keep), vk::kSiteTextWidth), 0);
  }
  // Makes language index current with these key=value lines as its texts.
  void Language(vk::u16 index, const std::string& texts = "") {
    vk::SiteGenLangSet(index);
    ASSERT_EQ(vk::StoreSet(vk::kGroupRun, vk::kRunLangTexts, vk::SiteGenLangSuffix(index)), 0);
    if (!texts.empty()) {
      const std::string file = File("texts.txt", texts);
      ASSERT_EQ(vk::ParamListLoad(Sl(file), 0, 0), 0);
    }
  }
  // The page of node `node` as the run names it: its path (folder and
  // name joined by '\') and its folder (',' for '\'; the page path itself
  // for a node with children); then the trail is built.
  static void Page(vk::u16 node, const char* path, const char* folder) {
    *vk::SiteCursorGet() = vk::SiteTreeAt(node);
    ASSERT_NE(vk::SiteCursorGet()->record, nullptr);
    ASSERT_EQ(vk::StoreSet(vk::kGroupRun, vk::kRunPagePath, L(path)), 0);
    ASSERT_EQ(vk::StoreSet(vk::kGroupRun, vk::kRunPageFolder, L(folder)), 0);
    ASSERT_EQ(vk::SiteGenBuildTrail(), 0);
  }
  static void PageMode(bool on) { vk::SysVarFlags(vk::kSysAuxstat, vk::kAuxRunFlag, on ? 1 : 0); }
  // Runs a statement of the tree's variable script.
  static void Script(const std::string& statement) {
    const vk::WorkMarkId mark = vk::WorkMark(vk::kMarkQuery);
    EXPECT_LT(vk::ExprEval(Sl(statement)), 128u) << statement;
    vk::WorkMark(mark);
  }

  // The template rendered as a page of the site: the bytes it wrote. The
  // scratch stack must be as it was found.
  std::string Render(const std::string& tpl) {
    const std::string file = File("page.html", tpl);
    vk::MacroContext context{};
    vk::MacroContextInit(&context, L(""), L(vk::kSiteKeywordList), vk::SiteKwDispatch);
    const vk::WorkMarkId mark = vk::WorkMark(vk::kMarkQuery);
    EXPECT_EQ(vk::HtmlPageRender(Sl(file), context), 0);
    EXPECT_EQ(vk::WorkMark(vk::kMarkQuery), mark);
    return Taken();
  }
};
