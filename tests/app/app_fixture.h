// Fixtures for the application's tests: the library started as the program
// starts it, a fresh temporary folder as the current directory, a copy of
// the bundled example site, and small file helpers.
#pragma once
#include <gtest/gtest.h>
#include <utime.h>

#include <ctime>
#include <filesystem>
#include <string>
#include <vector>

#include "app/application.h"
#include "app/maindlg.h"
#include "script/interp_fixture.h"
#include "sitegen/page_fixture.h"
#include "temp_dir.h"

namespace fs = std::filesystem;

// The library started with the program's limits, and shut down again.
struct AppLibTest : LibManualStartTest {
  void SetUp() override {
    const char* argv[] = {"vellumcraft", nullptr};
    ASSERT_TRUE(LibStarted(vk::AppLibraryStart(1, argv)));
  }
};

// The library started with the program's limits, in a temporary folder.
struct AppTest : InTempDir<AppLibTest> {
  void TearDown() override {
    SiteStateReset();
    InTempDir::TearDown();
  }
  // The example site copied to dir/site; returns that folder.
  std::string CopyExample() {
    const std::string site = dir + "/site";
    fs::copy(VK_EXAMPLES_DIR "/bilingual", site, fs::copy_options::recursive);
    return site;
  }
  // Sets a file's stamps minutes into the past.
  static void Age(const std::string& path, int minutes) {
    const time_t t = time(nullptr) - minutes * 60;
    utimbuf times{t, t};
    ASSERT_EQ(utime(path.c_str(), &times), 0) << path;
  }
};

// The twenty pages the example writes for English and Spanish, relative to
// its root.
inline std::vector<std::string> ExamplePages() {
  const char* names[] = {"index",         "about/index",   "about/history",          "about/team",
                         "products/index", "products/tools", "products/widgets/index", "products/widgets/gadget",
                         "contact",       "sitemap"};
  std::vector<std::string> out;
  for (const char* lang : {"_en", "_es"}) {
    for (const char* n : names) out.push_back(std::string(n) + lang + ".html");
  }
  return out;
}

inline std::string Field(const vk::DlgField& f) { return std::string(f.bytes, f.len); }
inline void SetField(vk::DlgField* f, const std::string& text) {
  vk::DlgSetText(f, vk::StrSlice{text.data(), static_cast<vk::u16>(text.size())});
}
