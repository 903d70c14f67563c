#include "engine/soup.h"

#include <gtest/gtest.h>

#include <vector>

#include "random/combined_lcg.h"
#include "random/random_number_generator.h"
#include "support/loaded_settings.h"

namespace {

// Never 0, so a filled byte is told from a cleared one.
std::uint8_t Marker(std::size_t call) { return static_cast<std::uint8_t>(0x80 | (call & 0x7F)); }

// Records each FillBytes call and fills with a recognisable count of bytes.
class RecordingGenerator final : public RandomNumberGenerator {
 public:
  struct Call {
    const void* at;
    std::int32_t count;
  };
  std::vector<Call> calls;

  long double NextReal() override { return 0; }
  void FillBytes(void* buffer, std::int32_t count) override {
    calls.push_back({buffer, count});
    auto* p = static_cast<std::uint8_t*>(buffer);
    for (std::int32_t i = 0; i < count; ++i) p[i] = Marker(calls.size());
  }
};

}  // namespace

TEST(Soup, OneFillPerBandRowAtItsOffsetAndEveryOtherByteDead) {
  struct Case {
    int cols, rows, init;
    int firstRow, endRow, firstByte, byteCount;
  } cases[] = {
      {416, 300, 2, 113, 187, 19, 13},
      {512, 384, 2, 144, 240, 24, 16},
      {640, 480, 0, 0, 480, 0, 80},
      {224, 150, 1, 38, 112, 7, 14},
      {32, 2, 2, 1, 1, 1, 1},  // too small for a band: all dead
      {32, 2, 0, 0, 2, 0, 4},
  };
  for (const Case& c : cases) {
    const int rowBytes = c.cols / 8;
    std::vector<std::uint8_t> bits(static_cast<std::size_t>(rowBytes * c.rows), 0xFF);
    RecordingGenerator generator;
    FillSoup(bits.data(), c.cols, c.rows, c.init, generator);
    const auto where = ::testing::Message() << c.cols << "x" << c.rows << " I" << c.init;
    const int bandRows = c.endRow > c.firstRow ? c.endRow - c.firstRow : 0;
    ASSERT_EQ(generator.calls.size(), static_cast<std::size_t>(bandRows)) << where;
    for (int i = 0; i < bandRows; ++i) {
      const int row = c.firstRow + i;
      EXPECT_EQ(generator.calls[static_cast<std::size_t>(i)].at,
                bits.data() + (row * c.cols + c.firstByte * 8) / 8)
          << where << " row " << row;
      EXPECT_EQ(generator.calls[static_cast<std::size_t>(i)].count, c.byteCount) << where;
    }
    for (int row = 0; row < c.rows; ++row) {
      for (int k = 0; k < rowBytes; ++k) {
        const bool inBand = row >= c.firstRow && row < c.endRow && k >= c.firstByte &&
                            k < c.firstByte + c.byteCount;
        const std::uint8_t byte = bits[static_cast<std::size_t>(row * rowBytes + k)];
        if (inBand) {
          EXPECT_EQ(byte, Marker(static_cast<std::size_t>(row - c.firstRow + 1)))
              << where << " row " << row << " byte " << k;
        } else {
          EXPECT_EQ(byte, 0) << where << " row " << row << " byte " << k;
        }
      }
    }
  }
}

// InitSize as loaded: a stored size outside 0..2 counts as the nearer end.
TEST(Soup, MarginsFollowInitSizeAndStayInRange) {
  struct Case {
    int n, init, margin;
  } cases[] = {{300, 0, 0},   {300, 1, 75},  {300, 2, 113}, {416, 2, 156},
               {2, 2, 1},     {2, 1, 1},     {0, 2, 0},
               {300, -1, 0},  {300, 3, 113}, {300, 31, 113}, {300, 32, 113},
               {300, 0x7FFFFFFF, 113}, {300, INT32_MIN, 0}};
  for (const Case& c : cases) {
    const LifeSettings s = support::LoadedFrom({{"InitSize", static_cast<std::uint32_t>(c.init)}});
    EXPECT_EQ(SoupMargin(c.n, s.InitSize), c.margin) << c.n << " I" << c.init;
  }
}

TEST(Soup, NullWorldIsLeftAlone) {
  RecordingGenerator generator;
  FillSoup(nullptr, 416, 300, 2, generator);
  EXPECT_TRUE(generator.calls.empty());
}

TEST(Soup, GeneratorBytesLandInTheBand) {
  CombinedLCG generator;
  generator.Seed(12345, 67890);
  CombinedLCG reference;
  reference.Seed(12345, 67890);
  std::vector<std::uint8_t> bits(416 / 8 * 300, 0xFF);
  FillSoup(bits.data(), 416, 300, 2, generator);
  std::vector<std::uint8_t> row(13);
  for (int r = 113; r < 187; ++r) {
    reference.FillBytes(row.data(), 13);
    EXPECT_TRUE(std::equal(row.begin(), row.end(), bits.begin() + r * 52 + 19)) << r;
  }
  EXPECT_EQ(generator.State1(), reference.State1());
  EXPECT_EQ(generator.State2(), reference.State2());
}
