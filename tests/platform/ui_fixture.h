// Fixtures for the user-interface tests: the runtime started, the fake
// backend installed, and readable forms of what the fake recorded.
#pragma once
#include <string>
#include <vector>

#include "platform/fake_backend.h"
#include "runtime/appenv.h"
#include "runtime/message.h"
#include "runtime/varstore.h"
#include "runtime_fixture.h"

inline std::string T(const vk::FakeText& t) { return std::string(t.bytes, t.len); }

// The name, pattern pairs of a recorded filter list, in order.
inline std::vector<std::string> FilterItems(const vk::FakeText& t) {
  std::vector<std::string> out;
  std::string cur;
  for (vk::u16 i = 0; i + 1 < t.len; ++i) {  // the last NUL closes the list
    if (t.bytes[i] == '\0') {
      out.push_back(cur);
      cur.clear();
    } else {
      cur += t.bytes[i];
    }
  }
  return out;
}

struct FakeUiTest : RuntimeTest {
  void SetUp() override {
    RuntimeTest::SetUp();
    if (HasFatalFailure()) return;
    vk::FakeUiInstall();
  }
  void TearDown() override {
    RuntimeTest::TearDown();
    vk::UiSetBackend(nullptr);
  }
  vk::FakeUi& ui() { return *vk::FakeUiGet(); }
};

// Lines a test hands to the message catalogue as its language module.
struct ModuleLines {
  std::vector<std::string> lines;
};

inline vk::u16 QueueModuleLines(void* user, vk::u16, vk::u16) {
  auto* m = static_cast<ModuleLines*>(user);
  for (const std::string& line : m->lines) {
    (void)vk::StorePush(vk::kGroupLineQueue, vk::StrSlice{line.data(), static_cast<vk::u16>(line.size())});
  }
  return static_cast<vk::u16>(m->lines.size());
}

// Loads the lines as the language module (before any message is asked).
// The default folder points at a folder without module files.
inline void LoadModule(std::vector<std::string> lines) {
  ASSERT_EQ(vk::StoreSet(vk::kGroupIdentity, vk::kIdDefaultFolder, L("\\nonexistent-folder")), 0);
  ModuleLines m{std::move(lines)};
  ASSERT_EQ(vk::LangModuleLoad(QueueModuleLines, &m), 0);
  ASSERT_EQ(vk::MsgCatalogGet()->state, vk::kMsgLoaded);
}
