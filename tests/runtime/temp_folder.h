// A RuntimeTest that runs in a fresh temporary folder of its own (the
// current directory during the test), removed again afterwards together
// with the files and folders the test registered in `made`.
#pragma once
#include <stdlib.h>
#include <unistd.h>

#include <climits>
#include <cstdio>
#include <string>
#include <vector>

#include "runtime_fixture.h"

struct TempFolderTest : RuntimeTest {
  char dir[32] = "/tmp/vk_test_XXXXXX";
  char old_cwd[PATH_MAX] = "/";
  std::vector<std::string> made;  // newest last

  void SetUp() override {
    RuntimeTest::SetUp();
    ASSERT_NE(getcwd(old_cwd, sizeof old_cwd), nullptr);
    ASSERT_NE(mkdtemp(dir), nullptr);
    ASSERT_EQ(chdir(dir), 0);
  }
  void TearDown() override {
    for (auto it = made.rbegin(); it != made.rend(); ++it) std::remove(it->c_str());
    EXPECT_EQ(chdir(old_cwd), 0);
    rmdir(dir);
  }
  void Write(const std::string& name, const std::string& bytes) {
    FILE* f = std::fopen(name.c_str(), "wb");
    ASSERT_NE(f, nullptr);
    std::fwrite(bytes.data(), 1, bytes.size(), f);
    std::fclose(f);
    made.push_back(name);
  }
  // A system path in library form ('/' as '\').
  static std::string Lib(std::string p) {
    for (char& c : p) if (c == '/') c = '\\';
    return p;
  }
};
