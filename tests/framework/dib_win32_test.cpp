// The framework's 1-bit and 32-bit bitmaps: the header and colour table as
// GDI reads them, the pixel layout GDI gives them, and allocation failure.
#include <gtest/gtest.h>
#include <windows.h>

#include <cstring>
#include <vector>

#include "framework/dib.h"
#include "framework/exceptions.h"

namespace {

TEST(Dib, HeaderDescribesABottomUpOneBitImageWithTwoColours) {
  TDib dib(416, 300, TDib::ColorUse::Rgb);
  const BITMAPINFOHEADER& h = dib.Info()->bmiHeader;
  EXPECT_EQ(h.biSize, 40u);
  EXPECT_EQ(h.biWidth, 416);
  EXPECT_EQ(h.biHeight, 300);  // positive: bottom-up
  EXPECT_EQ(h.biPlanes, 1);
  EXPECT_EQ(h.biBitCount, 1);
  EXPECT_EQ(h.biCompression, static_cast<DWORD>(BI_RGB));
  EXPECT_EQ(h.biSizeImage, 416u * 300u / 8u);
  EXPECT_EQ(h.biXPelsPerMeter, 0);
  EXPECT_EQ(h.biYPelsPerMeter, 0);
  EXPECT_EQ(h.biClrUsed, 2u);
  EXPECT_EQ(h.biClrImportant, 0u);
  EXPECT_EQ(dib.ImageSize(), 15600u);
  EXPECT_NE(dib.Bits(), nullptr);
  EXPECT_EQ(dib.Usage(), static_cast<UINT>(DIB_RGB_COLORS));
}

TEST(Dib, ColourTablesFollowTheHeaderAsGdiExpectsThem) {
  TDib world(32, 2, TDib::ColorUse::Rgb);
  world.SetColor(0, RGB(0, 0, 0));
  world.SetColor(1, 0x00FFFF30);  // red 48, green 255, blue 255
  const auto* bytes = reinterpret_cast<const std::uint8_t*>(world.Info()) + 40;
  const std::uint8_t rgb[8] = {0, 0, 0, 0, 0xFF, 0xFF, 0x30, 0};  // blue, green, red, 0
  EXPECT_EQ(std::memcmp(bytes, rgb, 8), 0);
  EXPECT_EQ(world.GetColor(1), 0x00FFFF30u);

  TDib display(64, 4, TDib::ColorUse::PaletteIndices);
  display.SetIndex(0, 0);
  display.SetIndex(1, 1);
  const auto* indices = reinterpret_cast<const std::uint8_t*>(display.Info()) + 40;
  const std::uint8_t words[4] = {0, 0, 1, 0};  // two little-endian 16-bit indices
  EXPECT_EQ(std::memcmp(indices, words, 4), 0);
  EXPECT_EQ(display.Usage(), static_cast<UINT>(DIB_PAL_COLORS));

  // The 32-bit form: no table, rows of 4 bytes a pixel, any width.
  TDib pixels(803, 3);
  const BITMAPINFOHEADER& h = pixels.Info()->bmiHeader;
  EXPECT_EQ(h.biBitCount, 32);
  EXPECT_EQ(h.biClrUsed, 0u);
  EXPECT_EQ(h.biHeight, 3);
  EXPECT_EQ(pixels.ImageSize(), 803u * 4u * 3u);
  EXPECT_EQ(pixels.Usage(), static_cast<UINT>(DIB_RGB_COLORS));
}

// Reads the picture GDI makes of a bitmap's memory: bit 7 of byte 0 is the
// leftmost pixel of the bottom line, and a set bit has colour 1.
TEST(Dib, GdiShowsTheMemoryBottomUpWithTheMostSignificantBitLeftmost) {
  TDib dib(32, 2, TDib::ColorUse::Rgb);
  dib.SetColor(0, RGB(0, 0, 0));
  dib.SetColor(1, RGB(10, 20, 30));
  std::memset(dib.Bits(), 0, dib.ImageSize());
  dib.Bits()[0] = 0x80;  // memory row 0, column 0
  dib.Bits()[7] = 0x01;  // memory row 1, column 31

  HDC dc = CreateCompatibleDC(nullptr);
  ASSERT_NE(dc, nullptr);
  void* sectionBits = nullptr;
  HBITMAP section = CreateDIBSection(dc, dib.Info(), DIB_RGB_COLORS, &sectionBits, nullptr, 0);
  ASSERT_NE(section, nullptr);
  std::memcpy(sectionBits, dib.Bits(), dib.ImageSize());
  HGDIOBJ previous = SelectObject(dc, section);

  EXPECT_EQ(GetPixel(dc, 0, 1), RGB(10, 20, 30));  // bottom line, left
  EXPECT_EQ(GetPixel(dc, 31, 0), RGB(10, 20, 30));  // top line, right
  EXPECT_EQ(GetPixel(dc, 0, 0), RGB(0, 0, 0));
  EXPECT_EQ(GetPixel(dc, 1, 1), RGB(0, 0, 0));

  SelectObject(dc, previous);
  DeleteObject(section);

  // A 32-bit pixel is 0x00RRGGBB, bottom line first.
  TDib pixels(3, 2);
  const std::uint32_t image[6] = {0x000A141E, 0, 0, 0, 0, 0x00FFFF30};
  std::memcpy(pixels.Bits(), image, sizeof image);
  section = CreateDIBSection(dc, pixels.Info(), DIB_RGB_COLORS, &sectionBits, nullptr, 0);
  ASSERT_NE(section, nullptr);
  std::memcpy(sectionBits, pixels.Bits(), pixels.ImageSize());
  previous = SelectObject(dc, section);
  EXPECT_EQ(GetPixel(dc, 0, 1), RGB(10, 20, 30));  // bottom line, left
  EXPECT_EQ(GetPixel(dc, 2, 0), RGB(255, 255, 48));  // top line, right
  EXPECT_EQ(GetPixel(dc, 1, 1), RGB(0, 0, 0));

  SelectObject(dc, previous);
  DeleteObject(section);
  DeleteDC(dc);
}

std::vector<std::size_t> requests;
int allocationsLeft = 0;
int releases = 0;

void* CountingAllocate(std::size_t bytes) {
  requests.push_back(bytes);
  if (allocationsLeft-- <= 0) return nullptr;
  return ::operator new(bytes);
}
void CountingRelease(void* memory) {
  ++releases;
  ::operator delete(memory);
}

class DibAllocation : public ::testing::Test {
 protected:
  void SetUp() override {
    requests.clear();
    releases = 0;
    TDib::SetAllocator(&CountingAllocate, &CountingRelease);
  }
  void TearDown() override { TDib::SetAllocator(nullptr, nullptr); }
};

TEST_F(DibAllocation, PixelMemoryIsAllocatedOnceAndReleasedWithTheBitmap) {
  allocationsLeft = 1;
  {
    TDib dib(1024, 768, TDib::ColorUse::PaletteIndices);
    ASSERT_EQ(requests.size(), 1u);
    EXPECT_EQ(requests[0], 1024u * 768u / 8u);
    EXPECT_EQ(releases, 0);
  }
  EXPECT_EQ(releases, 1);
}

TEST_F(DibAllocation, MemoryThatCannotBeHadIsTheOutOfMemoryException) {
  allocationsLeft = 0;
  EXPECT_THROW(TDib(512, 384, TDib::ColorUse::Rgb), TXOutOfMemory);
  EXPECT_EQ(releases, 0);
}

TEST_F(DibAllocation, GeometryNoMemoryCouldHoldIsRefusedBeforeAllocating) {
  allocationsLeft = 100;
  EXPECT_THROW(TDib(0, 10, TDib::ColorUse::Rgb), TXOutOfMemory);
  EXPECT_THROW(TDib(32, -2, TDib::ColorUse::Rgb), TXOutOfMemory);
  EXPECT_THROW(TDib(40, 10, TDib::ColorUse::Rgb), TXOutOfMemory);  // rows would need padding
  EXPECT_THROW(TDib(1 << 20, 1 << 20, TDib::ColorUse::Rgb), TXOutOfMemory);  // 2^37 bytes
  EXPECT_THROW(TDib(0, 10), TXOutOfMemory);
  EXPECT_THROW(TDib(1 << 15, 1 << 15), TXOutOfMemory);  // 2^32 bytes
  EXPECT_TRUE(requests.empty());
}

}  // namespace
