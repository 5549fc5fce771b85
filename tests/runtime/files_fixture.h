// A fixture with a temporary folder of its own (removed afterwards), and
// helpers that reach the disk directly, without the library, to prepare and
// check files.
#pragma once
#include <stdlib.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>

#include "runtime_fixture.h"

struct FilesTest : RuntimeTest {
  std::string dir;  // system path, UTF-8, '/'

  void SetUp() override {
    RuntimeTest::SetUp();
    char templ[] = "/tmp/vkfilesXXXXXX";
    ASSERT_NE(mkdtemp(templ), nullptr);
    dir = templ;
  }
  void TearDown() override {
    std::error_code ec;
    std::filesystem::remove_all(dir, ec);
  }

  // The system path of a name inside the folder.
  std::string Sys(const std::string& name) const { return dir + "/" + name; }
  // The same path in library form ('\' separators; ASCII names only).
  std::string Lib(const std::string& name = "") const {
    std::string s = name.empty() ? dir : Sys(name);
    for (char& c : s) {
      if (c == '/') c = '\\';
    }
    return s;
  }

  void Put(const std::string& name, const std::string& bytes) const {
    std::ofstream(Sys(name), std::ios::binary) << bytes;
  }
  std::string Get(const std::string& name) const {
    std::ifstream in(Sys(name), std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
  }
  bool Exists(const std::string& name) const { return std::filesystem::exists(Sys(name)); }
  bool IsDir(const std::string& name) const { return std::filesystem::is_directory(Sys(name)); }
};

// A slice over a std::string (kept alive by the caller).
inline vk::StrSlice Sl(const std::string& s) {
  return vk::StrSlice{s.data(), static_cast<vk::u16>(s.size())};
}
