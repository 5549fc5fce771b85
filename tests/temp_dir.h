// A fixture mix-in: the test runs in a fresh temporary folder of its own
// (the current directory during the test), removed with all it holds
// afterwards. Base is the fixture that starts the library (or
// ::testing::Test): it is set up inside the folder and torn down there too,
// before the folder goes. With enter false the folder is made but the test
// stays in the directory it was run from (to see something move into the
// folder, say).
#pragma once
#include <gtest/gtest.h>
#include <stdlib.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

template <class Base, bool enter = true>
struct InTempDir : Base {
  std::string dir;      // the folder, as the system writes it ('/')
  std::string old_cwd;  // the current directory before the test

  void SetUp() override {
    char cwd[PATH_MAX];
    ASSERT_NE(getcwd(cwd, sizeof cwd), nullptr) << std::strerror(errno);
    char templ[] = "/tmp/vk_test_XXXXXX";
    ASSERT_NE(mkdtemp(templ), nullptr) << std::strerror(errno);
    dir = templ;
    if (enter) {
      ASSERT_EQ(chdir(templ), 0) << std::strerror(errno);
    }
    old_cwd = cwd;
    Base::SetUp();
  }
  void TearDown() override {
    Base::TearDown();
    if (!old_cwd.empty()) {
      EXPECT_EQ(chdir(old_cwd.c_str()), 0) << std::strerror(errno);
    }
    if (!dir.empty()) {
      std::error_code ec;
      std::filesystem::remove_all(dir, ec);
    }
  }

  // A name below the folder as the system writes it.
  std::string Sys(const std::string& sub) const { return dir + "/" + sub; }
  // The folder, or a name below it, in library form ('\' as separator).
  std::string Lib(const std::string& sub = "") const { return ToLib(sub.empty() ? dir : Sys(sub)); }
  // Any system path in library form.
  static std::string ToLib(std::string path) {
    for (char& c : path)
      if (c == '/') c = '\\';
    return path;
  }
  // Whole files, by a path relative to the current directory or absolute.
  static void Write(const std::string& path, const std::string& bytes) {
    std::ofstream(path, std::ios::binary | std::ios::trunc) << bytes;
  }
  static std::string Read(const std::string& path) {
    std::ifstream f(path, std::ios::binary);
    std::stringstream s;
    s << f.rdbuf();
    return s.str();
  }
  static bool Exists(const std::string& path) { return std::filesystem::exists(path); }
  static bool IsDir(const std::string& path) { return std::filesystem::is_directory(path); }
  // The current directory as the system writes it.
  static std::string Cwd() {
    char buf[PATH_MAX];
    return getcwd(buf, sizeof buf) ? buf : "";
  }
};
