#include <gtest/gtest.h>

#include <string>

#include "saver/run_mode.h"

TEST(RunMode, CharacterAfterFirstDashElseFirstSlashOfTheArguments) {
  struct Line {
    const char* commandLine;
    char mode;
    RunModeKind kind;
    std::uintptr_t hostWindow;
  };
  using enum RunModeKind;
  const Line lines[] = {
      {"cellarium.scr /c", 'c', kOptions, 0},
      {"cellarium.scr -c", 'c', kOptions, 0},
      {"cellarium.scr /C", 'c', kOptions, 0},
      {"cellarium.scr -C", 'c', kOptions, 0},
      {"cellarium.scr /c:1234", 'c', kOptions, 1234},
      {"cellarium.scr /c  \t987654", 'c', kOptions, 987654},
      {"cellarium.scr /c:", 'c', kOptions, 0},
      {"cellarium.scr /c:99999999999999999999999", 'c', kOptions, 0},
      {"cellarium.scr /p 123", 'p', kPreview, 123},
      {"cellarium.scr /s", 's', kSaver, 0},
      {"cellarium.scr /R", 'r', kSaver, 0},
      {"cellarium.scr /7", '7', kSaver, 0},
      {"cellarium.scr x/s-7", '7', kSaver, 0},  // a '-' among the arguments wins
      {"cellarium.scr", 0, kOptions, 0},          // the shell's "Configure"
      {"", 0, kOptions, 0},
      {"cellarium.scr   ", 0, kOptions, 0},
      {"cellarium.scr -", 0, kOptions, 0},
      {"cellarium.scr /", 0, kOptions, 0},
      // The program's path never counts, quoted or not, with '-' or '/'.
      {"C:\\Users\\jean-luc\\cellarium.scr /p 4242", 'p', kPreview, 4242},
      {"D:\\x-ray\\cellarium.scr /s", 's', kSaver, 0},
      {"\"C:\\x-ray\\Saver Files\\cellarium.scr\" /c:77", 'c', kOptions, 77},
      {"\"C:/Saver Files/x-ray.scr\"/s", 's', kSaver, 0},
      {"\"C:/Saver-Files/cellarium.scr\"", 0, kOptions, 0},
      {"C:/x-ray/cellarium.scr", 0, kOptions, 0},
      {"\"C:/unclosed-quote /s", 0, kOptions, 0},
  };
  for (const Line& line : lines) {
    std::string text = line.commandLine;
    const char mode = ReadRunMode(text.data());
    EXPECT_EQ(mode, line.mode) << line.commandLine;
    EXPECT_EQ(KindOfRunMode(mode), line.kind) << line.commandLine;
    EXPECT_EQ(ReadHostWindowNumber(text.c_str()), line.hostWindow) << line.commandLine;
  }
  EXPECT_EQ(ReadRunMode(nullptr), 0);
  EXPECT_EQ(ReadHostWindowNumber(nullptr), 0u);
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
