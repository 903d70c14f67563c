#include "x11/module_options.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

// Parses the words as a command line after the program name.
std::string Parse(std::vector<std::string> words, ModuleOptions& options,
                  const char* screensaverWindow = nullptr) {
  std::vector<const char*> argv{"cellarium"};
  for (const std::string& w : words) argv.push_back(w.c_str());
  return ParseModuleOptions(static_cast<int>(argv.size()), argv.data(), screensaverWindow, options);
}

}  // namespace

TEST(ModuleOptions, DefaultsAreTheSaversAndDrawInAWindowOfItsOwn) {
  ModuleOptions o;
  ASSERT_EQ(Parse({}, o), "");
  const LifeSettings defaults;
  EXPECT_EQ(o.settings.WorldSize, defaults.WorldSize);
  EXPECT_EQ(o.settings.ZoomFactor, defaults.ZoomFactor);
  EXPECT_EQ(o.settings.WorldMutationRate, defaults.WorldMutationRate);
  EXPECT_EQ(o.settings.PixelColor, kDefaultPixelColor);
  EXPECT_EQ(o.target, TargetWindow::kOwnWindow);
  EXPECT_EQ(o.delayMicroseconds, 0u);
  EXPECT_FALSE(o.showRate);
}

TEST(ModuleOptions, SettingsOptionsFillTheRecordNormalised) {
  struct Case {
    std::vector<std::string> words;
    std::int32_t world, zoom, tiled, rate, steady, show, init, renew = 0, trails = 0;
  } cases[] = {
      {{"-world-size", "full", "-zoom", "1"}, 0, 0, 0, 4, 1, 0, 2},
      {{"--world-size", "quarter", "--zoom", "4", "-tiled"}, 2, 2, 0, 4, 1, 0, 2},  // equal: no tiling
      {{"-world-size", "quarter", "-zoom", "2", "-tiled"}, 2, 1, 1, 4, 1, 0, 2},
      {{"-zoom", "4"}, 1, 1, 0, 4, 1, 0, 2},  // never above the world size
      {{"-mutation-rate", "never", "-show-mutations"}, 1, 1, 0, 0, 1, 1, 2},
      {{"-mutation-rate", "rarely"}, 1, 1, 0, 8, 1, 0, 2},
      {{"-mutation-rate", "often", "-no-steady-state"}, 1, 1, 0, 4, 0, 0, 2},
      {{"-no-steady-state", "-mutation-rate", "rarely"}, 1, 1, 0, 64, 0, 0, 2},
      {{"-soup-size", "full", "-tiled", "-no-tiled"}, 1, 1, 0, 4, 1, 0, 0},
      {{"-renew", "-trails", "16"}, 1, 1, 0, 4, 1, 0, 2, 1, 16},
      {{"--renew", "-no-renew", "--trails", "64", "-trails", "0"}, 1, 1, 0, 4, 1, 0, 2, 0, 0},
      {{"-trails", "64"}, 1, 1, 0, 4, 1, 0, 2, 0, 64},
  };
  for (const Case& c : cases) {
    ModuleOptions o;
    ASSERT_EQ(Parse(c.words, o), "") << c.words[0];
    const LifeSettings& s = o.settings;
    EXPECT_EQ((std::vector<std::int32_t>{s.WorldSize, s.ZoomFactor, s.IsTiled, s.WorldMutationRate,
                                         s.MutateAtSteadyState, s.ShowMutations, s.InitSize,
                                         s.RenewWhenStalled, s.TrailLength}),
              (std::vector<std::int32_t>{c.world, c.zoom, c.tiled, c.rate, c.steady, c.show, c.init,
                                         c.renew, c.trails}))
        << c.words[0] << " " << c.words[1];
  }
}

TEST(ModuleOptions, WindowChoiceFollowsXscreensaversConventions) {
  struct Case {
    std::vector<std::string> words;
    const char* environment;
    TargetWindow target;
    std::uint64_t id;
  } cases[] = {
      {{}, nullptr, TargetWindow::kOwnWindow, 0},
      {{"-root"}, nullptr, TargetWindow::kRoot, 0},
      {{"-root"}, "0x2a", TargetWindow::kWindowId, 42},
      {{}, "1234", TargetWindow::kWindowId, 1234},
      {{"-window"}, "0x2a", TargetWindow::kOwnWindow, 0},
      {{"-window-id", "0x1E00003", "-root"}, "0x2a", TargetWindow::kWindowId, 0x1E00003},
      {{"-root"}, "", TargetWindow::kRoot, 0},
  };
  for (const Case& c : cases) {
    ModuleOptions o;
    ASSERT_EQ(Parse(c.words, o, c.environment), "");
    EXPECT_EQ(o.target, c.target) << (c.words.empty() ? "" : c.words[0]) << " " << c.environment;
    if (c.target == TargetWindow::kWindowId) {
      EXPECT_EQ(o.windowId, c.id);
    }
  }
}

TEST(ModuleOptions, ValuesAreTakenAtTheirWord) {
  ModuleOptions o;
  ASSERT_EQ(Parse({"-delay", "20000", "-fps", "-no-shm", "-color", "#fF8001", "-geometry",
                   "640x480", "-display", ":5"}, o), "");
  EXPECT_EQ(o.delayMicroseconds, 20000u);
  EXPECT_TRUE(o.showRate);
  EXPECT_FALSE(o.useShm);
  EXPECT_EQ(o.settings.PixelColor, 0x000180FFu);  // COLORREF: blue, green, red
  EXPECT_EQ(FormatColor(o.settings.PixelColor), "#FF8001");
  EXPECT_EQ(o.windowWidth, 640);
  EXPECT_EQ(o.windowHeight, 480);
  EXPECT_EQ(o.displayName, ":5");
}

TEST(ModuleOptions, BadOptionsAndValuesSayWhatIsWrong) {
  struct Case {
    std::vector<std::string> words;
    const char* environment;
    const char* mentions;
  } cases[] = {
      {{"-zoom", "3"}, nullptr, "-zoom 3: must be one of 1|2|4"},
      {{"-sparkle"}, nullptr, "unknown option -sparkle"},
      {{"-root", "extra"}, nullptr, "unknown option extra"},
      {{"-world-size"}, nullptr, "-world-size needs a value"},
      {{"-mutation-rate", "always"}, nullptr, "never|rarely|sometimes|often"},
      {{"-color", "30FFFF"}, nullptr, "#RRGGBB"},
      {{"-color", "#30FFF"}, nullptr, "#RRGGBB"},
      {{"-color", "#30FFFG"}, nullptr, "#RRGGBB"},
      {{"-delay", "-1"}, nullptr, "from 0 to 10000000"},
      {{"-delay", "10000001"}, nullptr, "from 0 to 10000000"},
      {{"-delay", "5ms"}, nullptr, "-delay 5ms"},
      {{"-window-id", "0"}, nullptr, "window id"},
      {{"-window-id", "0x100000000"}, nullptr, "window id"},
      {{"-window-id", "-5"}, nullptr, "window id"},
      {{"-geometry", "640x"}, nullptr, "WIDTHxHEIGHT"},
      {{"-trails", "65"}, nullptr, "-trails 65: must be a whole number from 0 to 64"},
      {{"-trails", "-1"}, nullptr, "from 0 to 64"},
      {{"-trails", "4x"}, nullptr, "from 0 to 64"},
      {{"-root"}, "junk", "XSCREENSAVER_WINDOW=junk"},
  };
  for (const Case& c : cases) {
    ModuleOptions o;
    const std::string problem = Parse(c.words, o, c.environment);
    EXPECT_NE(problem.find(c.mentions), std::string::npos) << problem;
  }
}
