// Fixtures for the application's tests: the library started as the program
// starts it, a fresh temporary folder as the current directory, a copy of
// the bundled example site, and small file helpers.
#pragma once
#include <gtest/gtest.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <unistd.h>
#include <utime.h>

#include <climits>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "app/application.h"
#include "app/maindlg.h"

namespace fs = std::filesystem;

// The library started with the program's limits, in a temporary folder.
struct AppTest : ::testing::Test {
  std::string dir;
  char old_cwd[PATH_MAX] = "/";

  void SetUp() override {
    char tmpl[] = "/tmp/vk_app_XXXXXX";
    ASSERT_NE(mkdtemp(tmpl), nullptr);
    dir = tmpl;
    ASSERT_NE(getcwd(old_cwd, sizeof old_cwd), nullptr);
    ASSERT_EQ(chdir(dir.c_str()), 0);
    const char* argv[] = {"vellumcraft", nullptr};
    ASSERT_EQ(vk::AppLibraryStart(1, argv), 0);
  }
  void TearDown() override {
    EXPECT_EQ(chdir(old_cwd), 0);
    std::error_code ec;
    fs::remove_all(dir, ec);
  }

  // The example site copied to dir/site; returns that folder.
  std::string CopyExample() {
    const std::string site = dir + "/site";
    fs::copy(VK_EXAMPLES_DIR "/bilingual", site, fs::copy_options::recursive);
    return site;
  }
  static std::string Read(const std::string& path) {
    std::ifstream f(path, std::ios::binary);
    std::stringstream s;
    s << f.rdbuf();
    return s.str();
  }
  static void Write(const std::string& path, const std::string& bytes) {
    std::ofstream f(path, std::ios::binary | std::ios::trunc);
    f << bytes;
  }
  static bool Exists(const std::string& path) { return fs::exists(path); }
  static std::string Cwd() {
    char buf[PATH_MAX];
    return getcwd(buf, sizeof buf) ? buf : "";
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
