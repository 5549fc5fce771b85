// A fixture mix-in: the test runs in a fresh temporary folder of its own
// (the current directory during the test), removed with all it holds
// afterwards. Base is the fixture that starts the library.
#pragma once
#include <gtest/gtest.h>
#include <stdlib.h>
#include <unistd.h>

#include <climits>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

template <class Base>
struct InTempDir : Base {
  char dir[32] = "/tmp/vk_dir_XXXXXX";
  char old_cwd[PATH_MAX] = "/";

  void SetUp() override {
    Base::SetUp();
    ASSERT_NE(getcwd(old_cwd, sizeof old_cwd), nullptr);
    ASSERT_NE(mkdtemp(dir), nullptr);
    ASSERT_EQ(chdir(dir), 0);
  }
  void TearDown() override {
    EXPECT_EQ(chdir(old_cwd), 0);
    std::error_code ec;
    std::filesystem::remove_all(dir, ec);
  }
  static void Write(const std::string& name, const std::string& bytes) {
    std::ofstream(name, std::ios::binary) << bytes;
  }
  static std::string Read(const std::string& name) {
    std::ifstream f(name, std::ios::binary);
    std::stringstream s;
    s << f.rdbuf();
    return s.str();
  }
  // A path below the folder in library form ('\' as separator).
  std::string Lib(const std::string& sub) const {
    std::string p = std::string(dir) + "/" + sub;
    for (char& c : p)
      if (c == '/') c = '\\';
    return p;
  }
};
