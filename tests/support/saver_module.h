#pragma once
#include <gtest/gtest.h>
#include <windows.h>

#include <string>

namespace support {

// The built cellarium.scr: tests/ and program/ are siblings in a Windows tree.
inline std::string SaverPath() {
  char path[MAX_PATH] = {};
  GetModuleFileNameA(nullptr, path, MAX_PATH);
  std::string folder(path);
  folder.erase(folder.find_last_of("\\/") + 1);  // .../tests/
  return folder + "..\\program\\cellarium.scr";
}

// Loads the saver as data, for reading its resources; released after each test.
class SaverModuleTest : public ::testing::Test {
 protected:
  void SetUp() override {
    module = LoadLibraryExA(SaverPath().c_str(), nullptr,
                            LOAD_LIBRARY_AS_DATAFILE | LOAD_LIBRARY_AS_IMAGE_RESOURCE);
    ASSERT_NE(module, nullptr) << SaverPath();
  }
  void TearDown() override {
    if (module != nullptr) FreeLibrary(module);
  }

  HMODULE module = nullptr;
};

}  // namespace support
