#include "store/diagnostic_files.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
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

// The directories the sources below hand out.
std::string testDirectory;
std::string TestDirectory() { return testDirectory; }
std::string userDirectory;
std::string UserDirectory() { return userDirectory; }

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
    SetFileOperations(DefaultFileOperations());
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
  // Folders "win" and "user" as the Windows directory and the user folder.
  void UseWindowsAndUserFolders() {
    fs::create_directories(folder / "win");
    fs::create_directories(folder / "user");
    testDirectory = (folder / "win").string();
    userDirectory = (folder / "user").string();
    SetWindowsDirectorySource(&TestDirectory);
    SetUserDirectorySource(&UserDirectory);
  }
  // A file of one of them. The path rule joins with a backslash: a separator
  // on Windows, part of the file name elsewhere.
  fs::path At(const char* dir, const char* name) const {
#if defined(_WIN32)
    return folder / dir / name;
#else
    return folder / (std::string(dir) + "\\" + name);
#endif
  }
  // Every name in the folder, to see that no temporary file is left.
  std::vector<std::string> Names(const fs::path& where) const {
    std::vector<std::string> names;
    for (const auto& entry : fs::directory_iterator(where))
      names.push_back(entry.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
  }
  // Every file of the two folders as "win\\name" or "user\\name".
  std::vector<std::string> Files() const {
    std::vector<std::string> files;
    for (const auto& entry : fs::recursive_directory_iterator(folder))
      if (entry.is_regular_file()) files.push_back(fs::relative(entry.path(), folder).string());
    std::sort(files.begin(), files.end());
    return files;
  }

  fs::path folder;
};

Bytes Pattern(std::size_t n) {
  Bytes b(n);
  for (std::size_t i = 0; i < n; ++i) b[i] = static_cast<std::uint8_t>(i * 7 + (i >> 8));
  return b;
}

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
  EXPECT_TRUE(DumpWorld(32, 2, pixels.data(), kDefaultPixelColor, path.string()));
  EXPECT_EQ(ReadAll(path).size(), 40u);
  EXPECT_EQ(Names(folder), std::vector<std::string>{"LifeDump.bmp"});
}

TEST_F(DiagnosticFiles, NothingIsWrittenWhenTheDumpCannotBeMade) {
  const Bytes pixels = Pattern(8);
  // A folder that does not exist: the file cannot be created.
  EXPECT_FALSE(
      DumpWorld(32, 2, pixels.data(), kDefaultPixelColor, (folder / "missing" / "x.bmp").string()));
  EXPECT_FALSE(fs::exists(folder / "missing"));
  const fs::path path = folder / "LifeDump.bmp";
  EXPECT_FALSE(DumpWorld(32, 2, nullptr, kDefaultPixelColor, path.string()));
  EXPECT_FALSE(DumpWorld(48, 2, pixels.data(), kDefaultPixelColor, path.string()));
  EXPECT_TRUE(fs::is_empty(folder));
  EXPECT_FALSE(DumpWorld(32, 2, pixels.data(), kDefaultPixelColor, ""));
}

TEST_F(DiagnosticFiles, PathIsTheDirectoryABackslashAndTheName) {
  EXPECT_EQ(DiagnosticFilePath(kLifeDumpFileName), "");  // no directory known
  SetWindowsDirectorySource(&WindowsLikeDirectory);
  EXPECT_EQ(DiagnosticFilePath(kLifeDumpFileName), "C:\\WINDOWS\\LifeDump.bmp");
  EXPECT_EQ(DiagnosticFilePath(kRandBitsFileName), "C:\\WINDOWS\\RandBits.txt");
  SetWindowsDirectorySource(&NoDirectory);  // a failed look-up
  EXPECT_EQ(DiagnosticFilePath(kRandBitsFileName), "");
  PendingFile log;
  EXPECT_FALSE(log.Create(DiagnosticFilePath(kRandBitsFileName)));
}

TEST_F(DiagnosticFiles, WorldDumpGoesWhereThePathRuleSays) {
  UseWindowsAndUserFolders();
  const fs::path where = At("win", "LifeDump.bmp");
  Bytes pixels = Pattern(416 / 8 * 300);
  LifeWorld world;
  world.worldCols = 416;
  world.worldRows = 300;
  world.currentBits = pixels.data();
  EXPECT_TRUE(DumpWorld(world, 0x001E140Au));
  const Bytes file = ReadAll(where);
  ASSERT_EQ(file.size(), 15632u);
  EXPECT_EQ(file[29], 0x1E);
  EXPECT_EQ(file[31], 0x0A);
  EXPECT_TRUE(std::equal(pixels.begin(), pixels.end(), file.begin() + 32));
}

// The log is written beside the earlier file, which stays whole until the
// new one is complete: a run killed meanwhile leaves the earlier log and
// its own, flushed, in the temporary file.
TEST_F(DiagnosticFiles, RandomBitLogReplacesAnEarlierFileOnlyWhenComplete) {
  const fs::path path = folder / "RandBits.txt";
  WriteAll(path, "0101010101\n");
  PendingFile log;
  ASSERT_TRUE(log.Create(path.string()));
  for (int bit : {1, 1, 0}) std::fprintf(log.Stream(), "%d", bit);
  std::fflush(log.Stream());
  EXPECT_EQ(ReadAll(path).size(), 11u);
  EXPECT_EQ(ReadAll(folder / "RandBits.txt.0.tmp"), (Bytes{'1', '1', '0'}));
  EXPECT_TRUE(log.Commit());
  EXPECT_EQ(log.Stream(), nullptr);
  EXPECT_FALSE(log.Commit());  // nothing left to commit
  EXPECT_EQ(ReadAll(path), (Bytes{'1', '1', '0'}));
  EXPECT_EQ(Names(folder), std::vector<std::string>{"RandBits.txt"});
  EXPECT_FALSE(log.Create((folder / "missing" / "RandBits.txt").string()));
}

// ---- a failure at each step of writing a file

std::string failingFolder;  // operations on paths inside it fail
bool InFailingFolder(const std::string& path) { return path.rfind(failingFolder, 0) == 0; }
// A stream that takes no write, as on a full disk.
std::FILE* CreateNewTakingNoWrite(const std::string& path) {
  std::FILE* made = DefaultFileOperations().createNew(path);
  if (made == nullptr || !InFailingFolder(path)) return made;
  std::fclose(made);
  return std::fopen(path.c_str(), "rb");
}
std::FILE* CreateNewFailing(const std::string& path) {
  return InFailingFolder(path) ? nullptr : DefaultFileOperations().createNew(path);
}
bool MayReplaceFailing(const std::string& path) {
  return !InFailingFolder(path) && DefaultFileOperations().mayReplace(path);
}
bool ReplaceFailing(const std::string& from, const std::string& to) {
  return !InFailingFolder(to) && DefaultFileOperations().replace(from, to);
}
bool MakeFolderFailing(const std::string&) { return false; }

TEST_F(DiagnosticFiles, AFailedWriteLeavesTheEarlierFileAndFallsBackToTheUserFolder) {
  UseWindowsAndUserFolders();
  failingFolder = testDirectory;
  struct Case {
    const char* what;
    FileOperations operations;
  } cases[] = {
      {"writes fail (a full disk)", {&CreateNewTakingNoWrite, nullptr, nullptr, nullptr, nullptr}},
      {"the replacement fails", {nullptr, nullptr, &ReplaceFailing, nullptr, nullptr}},
      {"no temporary file", {&CreateNewFailing, nullptr, nullptr, nullptr, nullptr}},
      {"the target may not be replaced", {nullptr, &MayReplaceFailing, nullptr, nullptr, nullptr}},
  };
  Bytes pixels = Pattern(32 / 8 * 2);
  LifeWorld world;
  world.worldCols = 32;
  world.worldRows = 2;
  world.currentBits = pixels.data();
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    fs::remove_all(folder / "user");
    fs::create_directories(folder / "user");
    WriteAll(At("win", kLifeDumpFileName), "earlier dump");
    WriteAll(At("win", kRandBitsFileName), "0110");
    SetFileOperations(c.operations);

    EXPECT_TRUE(DumpWorld(world, kDefaultPixelColor));
    PendingFile log;
    const bool opened = OpenRandBitsLog(log);
    if (opened) std::fputc('1', log.Stream());
    const bool kept = log.Commit();

    EXPECT_EQ(ReadAll(At("win", kLifeDumpFileName)).size(), 12u) << "the earlier dump stays";
    EXPECT_EQ(ReadAll(At("win", kRandBitsFileName)), (Bytes{'0', '1', '1', '0'}));
    EXPECT_EQ(ReadAll(At("user", kLifeDumpFileName)).size(), 40u) << "the dump falls back";
    // A log that cannot start in the Windows directory starts in the user
    // folder; one that fails on the way is lost, but never the earlier one.
    const bool failsLate = c.operations.createNew == &CreateNewTakingNoWrite ||
                           c.operations.replace == &ReplaceFailing;
    EXPECT_TRUE(opened);
    EXPECT_EQ(kept, !failsLate);
    EXPECT_EQ(ReadAll(At("user", kRandBitsFileName)), failsLate ? Bytes{} : Bytes{'1'});
  }
  // Nothing temporary is left anywhere.
  for (const auto& entry : fs::recursive_directory_iterator(folder)) {
    EXPECT_EQ(entry.path().string().find(".tmp"), std::string::npos) << entry.path();
  }
}

TEST_F(DiagnosticFiles, AFileTheWindowsDirectoryRefusesGoesToTheUserFolder) {
  UseWindowsAndUserFolders();
  Bytes pixels = Pattern(32 / 8 * 2);
  LifeWorld world;
  world.worldCols = 32;
  world.worldRows = 2;
  world.currentBits = pixels.data();

  // Where the Windows directory takes the files, the user folder is not made.
  fs::remove(folder / "user");
  EXPECT_TRUE(DumpWorld(world, kDefaultPixelColor));
  PendingFile log;
  ASSERT_TRUE(OpenRandBitsLog(log));
  EXPECT_TRUE(log.Commit());
  EXPECT_EQ(ReadAll(At("win", kLifeDumpFileName)).size(), 40u);
  EXPECT_TRUE(fs::exists(At("win", kRandBitsFileName)));
  EXPECT_FALSE(fs::exists(folder / "user"));

  // A folder in each file's place: both are made in the user folder, which
  // is made for them.
  for (const char* name : {kLifeDumpFileName, kRandBitsFileName}) {
    fs::remove(At("win", name));
    fs::create_directories(At("win", name));
  }
  EXPECT_TRUE(DumpWorld(world, kDefaultPixelColor));
  ASSERT_TRUE(OpenRandBitsLog(log));
  std::fprintf(log.Stream(), "%d", 1);
  EXPECT_TRUE(log.Commit());
  EXPECT_EQ(ReadAll(At("user", kLifeDumpFileName)).size(), 40u);
  EXPECT_EQ(ReadAll(At("user", kRandBitsFileName)), Bytes{'1'});

  // Neither place (no user folder known, or it cannot be made): nothing,
  // silently.
  fs::remove_all(folder / "user");
  SetFileOperations({nullptr, nullptr, nullptr, nullptr, &MakeFolderFailing});
  EXPECT_FALSE(OpenRandBitsLog(log));
  EXPECT_FALSE(DumpWorld(world, kDefaultPixelColor));
  EXPECT_FALSE(fs::exists(folder / "user"));
  SetUserDirectorySource(&NoDirectory);
  SetFileOperations(DefaultFileOperations());
  EXPECT_FALSE(OpenRandBitsLog(log));
  EXPECT_FALSE(DumpWorld(world, kDefaultPixelColor));
}

// ---- what runs ended by force leave

std::vector<std::string> heldFiles;  // "win\\name" or "user\\name": open in a running saver
// Windows refuses to delete a file another process holds open.
bool RemoveUnlessHeld(const std::string& path) {
  for (const std::string& held : heldFiles) {
    if (path.size() >= held.size() && path.compare(path.size() - held.size(), held.size(), held) == 0)
      return false;
  }
  return DefaultFileOperations().remove(path);
}

// Every temporary name of both files in both folders is taken by a killed
// run's leftover. Those no running saver holds are removed before a file
// is written; when all are held, nothing is written and nothing claims it.
TEST_F(DiagnosticFiles, LeftoversOfKilledRunsGoUnlessARunningSaverHoldsThem) {
  UseWindowsAndUserFolders();
  Bytes pixels = Pattern(32 / 8 * 2);
  LifeWorld world;
  world.worldCols = 32;
  world.worldRows = 2;
  world.currentBits = pixels.data();
  std::vector<std::string> leftovers;
  for (const char* dir : {"user", "win"})
    for (const char* name : {kLifeDumpFileName, kRandBitsFileName})
      for (int n = 0; n < 100; ++n)
        leftovers.push_back(std::string(dir) + "\\" + name + "." + std::to_string(n) + ".tmp");
  // Names this program never makes, and the earlier log.
  const std::vector<std::string> others = {"user\\notes.0.tmp", "win\\RandBits.txt",
                                           "win\\RandBits.txt.tmp"};
  struct Case {
    const char* what;
    std::vector<std::string> held;
    bool written;  // both files, in the Windows directory
  } cases[] = {
      {"some held", {"user\\RandBits.txt.5.tmp", "win\\LifeDump.bmp.0.tmp", "win\\RandBits.txt.0.tmp"},
       true},
      {"all held", leftovers, false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    for (const std::string& name : leftovers) WriteAll(folder / name, "stale");
    for (const std::string& name : others) WriteAll(folder / name, "0110");
    heldFiles = c.held;
    SetFileOperations({nullptr, nullptr, nullptr, &RemoveUnlessHeld, nullptr});

    PendingFile log;
    if (OpenRandBitsLog(log)) std::fputc('1', log.Stream());
    EXPECT_EQ(log.Commit(), c.written);
    EXPECT_EQ(DumpWorld(world, kDefaultPixelColor), c.written);

    std::vector<std::string> want = c.held;
    want.insert(want.end(), others.begin(), others.end());
    if (c.written) want.push_back("win\\LifeDump.bmp");
    std::sort(want.begin(), want.end());
    EXPECT_EQ(Files(), want);
    const Bytes logged = c.written ? Bytes{'1'} : Bytes{'0', '1', '1', '0'};
    EXPECT_EQ(ReadAll(folder / "win\\RandBits.txt"), logged);
    fs::remove_all(folder);
    UseWindowsAndUserFolders();
  }
}
