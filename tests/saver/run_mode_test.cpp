#include <gtest/gtest.h>

#include <string>

#include "saver/run_mode.h"

TEST(RunMode, CharacterAfterFirstDashElseFirstSlash) {
  struct Line {
    const char* commandLine;
    char mode;
    RunModeKind kind;
  };
  using enum RunModeKind;
  const Line lines[] = {
      {"cellarium.scr /c", 'c', kOptions},
      {"cellarium.scr -c", 'c', kOptions},
      {"cellarium.scr /C", 'c', kOptions},
      {"cellarium.scr -C", 'c', kOptions},
      {"cellarium.scr /c:1234", 'c', kOptions},
      {"cellarium.scr /p 123", 'p', kPreview},
      {"cellarium.scr /s", 's', kSaver},
      {"cellarium.scr /R", 'r', kSaver},
      {"cellarium.scr /7", '7', kSaver},
      {"cellarium.scr", 0, kSaver},
      {"", 0, kSaver},
      {"cellarium.scr -", 0, kSaver},
      {"cellarium.scr /", 0, kSaver},
      {"C:\\Saver-Files\\cellarium.scr /c", 'f', kSaver},  // a '-' in the path wins
      {"\"C:/Saver Files/cellarium.scr\" /c", 's', kSaver},  // else the first '/' does
  };
  for (const Line& line : lines) {
    std::string text = line.commandLine;
    const char mode = ReadRunMode(text.data());
    EXPECT_EQ(mode, line.mode) << line.commandLine;
    EXPECT_EQ(KindOfRunMode(mode), line.kind) << line.commandLine;
  }
  EXPECT_EQ(ReadRunMode(nullptr), 0);
  EXPECT_TRUE(WantsRandBitsLog('r'));
  EXPECT_FALSE(WantsRandBitsLog('s'));
}

TEST(RunMode, LowerCasesTheLineInPlaceAndOnlyAToZ) {
  std::string text = "C:\\SAVER\\Life.SCR /S \xC4@[`{";
  ReadRunMode(text.data());
  EXPECT_EQ(text, "c:\\saver\\life.scr /s \xC4@[`{");
}

TEST(IdleHook, StepDueByModeAndElapsedTime) {
  struct Case {
    std::int32_t mode;
    std::uint32_t elapsed;
    bool due;
  };
  const Case cases[] = {
      {-1, 0, false}, {-1, 1000, false}, {0, 50, false}, {0, 51, true},
      {1, 10, false}, {1, 11, true},     {2, 0, true},   {3, 50, false}, {3, 51, true},
  };
  for (const Case& c : cases)
    EXPECT_EQ(IdleStepDue(c.mode, c.elapsed), c.due) << c.mode << " after " << c.elapsed;
}
