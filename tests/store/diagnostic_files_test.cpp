#include "store/diagnostic_files.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "engine/life_settings.h"
#include "engine/life_world.h"

namespace fs = std::filesystem;

namespace {

using Bytes = std::vector<std::uint8_t>;

// A fresh folder per test, removed afterwards.
class DiagnosticFiles : public ::testing::Test {
 protected:
  void SetUp() override {
    const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
    folder = fs::temp_directory_path() / (std::string("cellarium-files-") + info->name());
    fs::remove_all(folder);
    fs::create_directories(folder);
  }
  void TearDown() override {
    SetWindowsDirectorySource(nullptr);
    SetUserDirectorySource(nullptr);
    std::error_code ignored;
    fs::remove_all(folder, ignored);
  }

  static Bytes ReadAll(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    return Bytes(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
  }
  static void WriteAll(const fs::path& path, const std::string& text) {
    std::ofstream(path, std::ios::binary) << text;
  }

  fs::path folder;
};

Bytes Pattern(std::size_t n) {
  Bytes b(n);
  for (std::size_t i = 0; i < n; ++i) b[i] = static_cast<std::uint8_t>(i * 7 + (i >> 8));
  return b;
}

std::string testDirectory;
std::string TestDirectory() { return testDirectory; }
std::string userDirectory;
std::string UserDirectory() { return userDirectory; }
std::string WindowsLikeDirectory() { return "C:\\WINDOWS"; }
std::string NoDirectory() { return std::string(); }

}  // namespace

TEST(DumpHeader, Of512By384WithTheDefaultColour) {
  const Bytes want = {0x42, 0x4D, 0x20, 0x60, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x20,
                      0x00, 0x00, 0x00, 0x0C, 0x00, 0x00, 0x00, 0x00, 0x02, 0x80, 0x01,
                      0x01, 0x00, 0x01, 0x00, 0x00, 0x00, 0x00, 0xFF, 0xFF, 0x30};
  const DumpHeader h = BuildDumpHeader(512, 384, kDefaultPixelColor);
  EXPECT_EQ(Bytes(h.begin(), h.end()), want);
}

TEST(DumpHeader, ColourEntryIsBlueGreenRed) {
  const DumpHeader h = BuildDumpHeader(32, 2, 0x001E140Au);
  EXPECT_EQ(Bytes(h.begin() + 26, h.end()), (Bytes{0, 0, 0, 0x1E, 0x14, 0x0A}));
  EXPECT_EQ(h[2], 32 + 8);  // 32 cells x 2 rows = 8 bytes of pixels
}

TEST(DumpHeader, OnlyWorldsTheFormatCanHold) {
  struct Case {
    std::int32_t cols, rows;
    bool fits;
  } cases[] = {{512, 384, true}, {32, 2, true},       {65504, 65535, true},
               {0, 2, false},    {-32, 2, false},     {48, 2, false},
               {32, 0, false},   {32, -2, false},     {65536, 2, false},
               {32, 65536, false}, {0x7FFFFFE0, 2, false}};
  for (const Case& c : cases) {
    EXPECT_EQ(DumpWorldFits(c.cols, c.rows), c.fits) << c.cols << "x" << c.rows;
  }
}

TEST_F(DiagnosticFiles, DumpIsHeaderThenPixelsAsTheyLie) {
  struct Case {
    std::int32_t cols, rows;
    std::size_t size;
  } cases[] = {{512, 384, 24608}, {416, 300, 15632}};
  for (const Case& c : cases) {
    const Bytes pixels = Pattern(static_cast<std::size_t>(c.cols / 8 * c.rows));
    const fs::path path = folder / "LifeDump.bmp";
    DumpWorld(c.cols, c.rows, pixels.data(), kDefaultPixelColor, path.string());
    const Bytes file = ReadAll(path);
    ASSERT_EQ(file.size(), c.size);
    const DumpHeader h = BuildDumpHeader(c.cols, c.rows, kDefaultPixelColor);
    EXPECT_TRUE(std::equal(h.begin(), h.end(), file.begin()));
    EXPECT_TRUE(std::equal(pixels.begin(), pixels.end(), file.begin() + 32));
    // The file size field agrees with the file.
    EXPECT_EQ(file[2] | file[3] << 8 | file[4] << 16 | file[5] << 24, static_cast<int>(c.size));
  }
}

TEST_F(DiagnosticFiles, DumpReplacesAnEarlierFile) {
  const fs::path path = folder / "LifeDump.bmp";
  WriteAll(path, std::string(30000, 'x'));
  const Bytes pixels = Pattern(8);
  DumpWorld(32, 2, pixels.data(), kDefaultPixelColor, path.string());
  EXPECT_EQ(ReadAll(path).size(), 40u);
}

TEST_F(DiagnosticFiles, NothingIsWrittenWhenTheDumpCannotBeMade) {
  const Bytes pixels = Pattern(8);
  // A folder that does not exist: the file cannot be created.
  DumpWorld(32, 2, pixels.data(), kDefaultPixelColor, (folder / "missing" / "x.bmp").string());
  EXPECT_FALSE(fs::exists(folder / "missing"));
  const fs::path path = folder / "LifeDump.bmp";
  DumpWorld(32, 2, nullptr, kDefaultPixelColor, path.string());
  DumpWorld(48, 2, pixels.data(), kDefaultPixelColor, path.string());
  EXPECT_FALSE(fs::exists(path));
  DumpWorld(32, 2, pixels.data(), kDefaultPixelColor, "");
}

TEST_F(DiagnosticFiles, PathIsTheDirectoryABackslashAndTheName) {
  EXPECT_EQ(DiagnosticFilePath(kLifeDumpFileName), "");  // no directory known
  SetWindowsDirectorySource(&WindowsLikeDirectory);
  EXPECT_EQ(DiagnosticFilePath(kLifeDumpFileName), "C:\\WINDOWS\\LifeDump.bmp");
  EXPECT_EQ(DiagnosticFilePath(kRandBitsFileName), "C:\\WINDOWS\\RandBits.txt");
  SetWindowsDirectorySource(&NoDirectory);  // a failed look-up
  EXPECT_EQ(DiagnosticFilePath(kRandBitsFileName), "");
  EXPECT_EQ(OpenRandBitsLog(DiagnosticFilePath(kRandBitsFileName)), nullptr);
}

TEST_F(DiagnosticFiles, WorldDumpGoesWhereThePathRuleSays) {
  // The rule joins with a backslash: a separator on Windows, part of the
  // file name elsewhere.
  fs::create_directories(folder / "win");
  testDirectory = (folder / "win").string();
  SetWindowsDirectorySource(&TestDirectory);
#if defined(_WIN32)
  const fs::path where = folder / "win" / "LifeDump.bmp";
#else
  const fs::path where = folder / "win\\LifeDump.bmp";
#endif
  Bytes pixels = Pattern(416 / 8 * 300);
  LifeWorld world;
  world.worldCols = 416;
  world.worldRows = 300;
  world.currentBits = pixels.data();
  DumpWorld(world, 0x001E140Au);
  const Bytes file = ReadAll(where);
  ASSERT_EQ(file.size(), 15632u);
  EXPECT_EQ(file[29], 0x1E);
  EXPECT_EQ(file[31], 0x0A);
  EXPECT_TRUE(std::equal(pixels.begin(), pixels.end(), file.begin() + 32));
}

TEST_F(DiagnosticFiles, RandomBitLogReplacesAnEarlierFile) {
  const fs::path path = folder / "RandBits.txt";
  WriteAll(path, "0101010101\n");
  std::FILE* log = OpenRandBitsLog(path.string());
  ASSERT_NE(log, nullptr);
  for (int bit : {1, 1, 0}) std::fprintf(log, "%d", bit);
  CloseRandBitsLog(log);
  EXPECT_EQ(log, nullptr);
  CloseRandBitsLog(log);  // closing twice is harmless
  EXPECT_EQ(ReadAll(path), (Bytes{'1', '1', '0'}));
  EXPECT_EQ(OpenRandBitsLog((folder / "missing" / "RandBits.txt").string()), nullptr);
}

TEST_F(DiagnosticFiles, AFileTheWindowsDirectoryRefusesGoesToTheUserFolder) {
  // The path rule joins with a backslash: a separator on Windows, part of the
  // file name elsewhere.
  auto at = [&](const char* dir, const char* name) {
#if defined(_WIN32)
    return folder / dir / name;
#else
    return folder / (std::string(dir) + "\\" + name);
#endif
  };
  fs::create_directories(folder / "win");
  fs::create_directories(folder / "user");
  testDirectory = (folder / "win").string();
  userDirectory = (folder / "user").string();
  SetWindowsDirectorySource(&TestDirectory);
  SetUserDirectorySource(&UserDirectory);
  Bytes pixels = Pattern(32 / 8 * 2);
  LifeWorld world;
  world.worldCols = 32;
  world.worldRows = 2;
  world.currentBits = pixels.data();

  // Where the Windows directory takes the files, the user folder stays empty.
  DumpWorld(world, kDefaultPixelColor);
  std::FILE* log = OpenRandBitsLog();
  ASSERT_NE(log, nullptr);
  CloseRandBitsLog(log);
  EXPECT_EQ(ReadAll(at("win", kLifeDumpFileName)).size(), 40u);
  EXPECT_TRUE(fs::exists(at("win", kRandBitsFileName)));
  EXPECT_TRUE(fs::is_empty(folder / "user"));

  // A folder in each file's place: both are made in the user folder instead.
  for (const char* name : {kLifeDumpFileName, kRandBitsFileName}) {
    fs::remove(at("win", name));
    fs::create_directories(at("win", name));
  }
  DumpWorld(world, kDefaultPixelColor);
  log = OpenRandBitsLog();
  ASSERT_NE(log, nullptr);
  std::fprintf(log, "%d", 1);
  CloseRandBitsLog(log);
  EXPECT_EQ(ReadAll(at("user", kLifeDumpFileName)).size(), 40u);
  EXPECT_EQ(ReadAll(at("user", kRandBitsFileName)), Bytes{'1'});

  // Neither place: nothing, silently.
  SetUserDirectorySource(&NoDirectory);
  EXPECT_EQ(OpenRandBitsLog(), nullptr);
  EXPECT_EQ(CreateDiagnosticFile(kLifeDumpFileName, "wb"), nullptr);
}
