// What the host reads from cellarium.scr without running it: a GUI program
// with the saver's name in string 1, one 32 x 32 16-colour icon, the
// manifest, and the dialog templates. Read from the executable built beside
// this test program.
#include <gtest/gtest.h>
#include <windows.h>

#include <cstring>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "cellarium_version.h"
#include "support/saver_module.h"

namespace {

class ProgramResources : public support::SaverModuleTest {
 protected:

  std::string Resource(LPCSTR name, LPCSTR type) const {
    HRSRC found = FindResourceA(module, name, type);
    if (found == nullptr) return {};
    HGLOBAL loaded = LoadResource(module, found);
    const auto* data = static_cast<const char*>(LockResource(loaded));
    return data != nullptr ? std::string(data, SizeofResource(module, found)) : std::string();
  }

};

TEST_F(ProgramResources, StringOneIsTheNameTheHostLists) {
  char text[64] = {};
  ASSERT_GT(LoadStringA(module, 1, text, sizeof text), 0);
  EXPECT_STREQ(text, "Cellarium");
}

TEST_F(ProgramResources, IconOneIsOneImageOf32By32In16Colours) {
  const std::string group = Resource(MAKEINTRESOURCEA(1), RT_GROUP_ICON);
  // Group header (reserved, type 1, count) then 14-byte entries: width,
  // height, colour count, reserved, planes, bit count, bytes, image id.
  ASSERT_EQ(group.size(), 6u + 14u);
  const auto* bytes = reinterpret_cast<const std::uint8_t*>(group.data());
  EXPECT_EQ(bytes[2], 1);  // an icon
  EXPECT_EQ(bytes[4], 1);  // one image
  EXPECT_EQ(bytes[6], 32);
  EXPECT_EQ(bytes[7], 32);
  EXPECT_EQ(bytes[8], 16);
  EXPECT_EQ(bytes[12], 4);  // 4 bits per pixel
}

TEST_F(ProgramResources, TheManifestAsksForDpiAwarenessAndTheVersion6Controls) {
  const std::string manifest = Resource(MAKEINTRESOURCEA(1), MAKEINTRESOURCEA(24));
  ASSERT_FALSE(manifest.empty());
  EXPECT_NE(manifest.find("name=\"Cellarium.ScreenSaver\" version=\"" CELLARIUM_VERSION_TEXT "\""),
            std::string::npos);
  EXPECT_NE(manifest.find(">true/pm</dpiAware>"), std::string::npos);
  EXPECT_NE(manifest.find(">PerMonitorV2, PerMonitor</dpiAwareness>"), std::string::npos);
  EXPECT_NE(manifest.find("Microsoft.Windows.Common-Controls"), std::string::npos);
  EXPECT_NE(manifest.find("version=\"6.0.0.0\""), std::string::npos);
  std::size_t systems = 0;
  for (std::size_t at = manifest.find("<supportedOS"); at != std::string::npos;
       at = manifest.find("<supportedOS", at + 1))
    ++systems;
  EXPECT_EQ(systems, 5u);  // Vista, 7, 8, 8.1, 10 and 11
}

TEST_F(ProgramResources, TheDialogTemplatesAreThere) {
  EXPECT_FALSE(Resource("IDD_CONFIGURE", RT_DIALOG).empty());
  EXPECT_FALSE(Resource("IDD_ABOUT", RT_DIALOG).empty());
}

TEST(ProgramImage, IsAGuiProgram) {
  std::ifstream file(support::SaverPath(), std::ios::binary);
  ASSERT_TRUE(file) << support::SaverPath();
  const std::vector<char> image((std::istreambuf_iterator<char>(file)),
                                std::istreambuf_iterator<char>());
  ASSERT_GT(image.size(), 0x200u);
  std::uint32_t peOffset = 0;
  std::memcpy(&peOffset, image.data() + 0x3C, 4);
  ASSERT_LT(peOffset + 0x60u, image.size());
  ASSERT_EQ(std::memcmp(image.data() + peOffset, "PE\0\0", 4), 0);
  // The subsystem field sits at offset 68 of the optional header in both
  // the 32-bit and the 64-bit layout.
  std::uint16_t subsystem = 0;
  std::memcpy(&subsystem, image.data() + peOffset + 24 + 68, 2);
  EXPECT_EQ(subsystem, IMAGE_SUBSYSTEM_WINDOWS_GUI);
}

}  // namespace
