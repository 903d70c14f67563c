#include <gtest/gtest.h>

#include "program/dump_key.h"
#include "saver/input_rules.h"
#include "saver/visibility_rules.h"

TEST(InputRules, OnlyAJumpOfMoreThanTwentyOnBothAxesCloses) {
  struct Move {
    MousePosition to;
    bool closes;
  };
  const Move moves[] = {
      {{500, 400}, false},  // where the cursor was when the window was prepared
      {{521, 421}, true},   {{479, 379}, true}, {{520, 420}, false},
      {{541, 440}, false},  // 21 and 20 from the last remembered position
      {{520, 419}, true},   // measured from the last remembered position, not the first
  };
  MousePosition last{500, 400};
  MousePosition remembered = last;
  for (const Move& m : moves) {
    EXPECT_EQ(MouseMoveCloses(last, m.to), m.closes) << m.to.x << "," << m.to.y;
    if (!m.closes) remembered = m.to;
    EXPECT_EQ(last.x, remembered.x);
    EXPECT_EQ(last.y, remembered.y);
  }
}

TEST(InputRules, SlowMovementAcrossTheScreenNeverCloses) {
  MousePosition last{0, 0};
  for (int step = 1; step <= 200; ++step) EXPECT_FALSE(MouseMoveCloses(last, {step * 10, step * 20}));
  MousePosition far{-2147483647 - 1, 2147483647};
  EXPECT_TRUE(MouseMoveCloses(far, {2147483647, -2147483647 - 1}));  // no overflow
}

TEST(InputRules, MessageParametersDecoded) {
  const MousePosition p = MousePositionFromParam(static_cast<std::intptr_t>(0xFFF6'0014));
  EXPECT_EQ(p.x, 20);
  EXPECT_EQ(p.y, -10);
  const MousePosition q = MousePositionFromParam(static_cast<std::intptr_t>(0x0258'FFFF));
  EXPECT_EQ(q.x, -1);
  EXPECT_EQ(q.y, 600);
  for (std::uintptr_t low = 0; low < 16; ++low) EXPECT_TRUE(IsScreenSaveCommand(0xF140 + low));
  EXPECT_FALSE(IsScreenSaveCommand(0xF060));  // SC_CLOSE takes the default path
  EXPECT_FALSE(IsScreenSaveCommand(0xF150));
  EXPECT_TRUE(ActivateCloses(0x0001'0000));   // WA_INACTIVE, minimised
  EXPECT_FALSE(ActivateCloses(1));            // WA_ACTIVE
  EXPECT_FALSE(ActivateCloses(2));            // WA_CLICKACTIVE
  EXPECT_TRUE(ActivateAppCloses(0));
  EXPECT_FALSE(ActivateAppCloses(1));
  EXPECT_TRUE(KeyWritesDump(RecordedKey(0x53)));
  EXPECT_FALSE(KeyWritesDump(RecordedKey(0x73)));  // 's' is not a key code
}

// Display states and session changes in turn: the saver is visible only
// while its display is on or dimmed and its session connected.
TEST(VisibilityRules, PausedWhileTheDisplayIsOffOrTheSessionOffScreen) {
  enum Event { kDisplay, kSession };
  struct Step {
    Event event;
    std::uint32_t value;
    bool changed, visible;
  } steps[] = {
      {kDisplay, 1, false, true},   // on: as at start
      {kDisplay, 2, false, true},   // dimmed still shows
      {kDisplay, 0, true, false},   // off
      {kSession, 2, false, false},  // console switched away as well
      {kDisplay, 1, false, false},  // on again, the session still away
      {kSession, 5, false, false},  // a log-on elsewhere changes nothing
      {kSession, 1, true, true},    // console connected
      {kSession, 4, true, false},   // remote disconnect
      {kSession, 3, true, true},    // remote connect
      {kSession, 7, false, true},   // a lock changes nothing
  };
  SaverVisibility visibility;
  for (const Step& s : steps) {
    const bool changed = s.event == kDisplay ? visibility.DisplayState(s.value)
                                             : visibility.SessionChange(s.value);
    EXPECT_EQ(changed, s.changed) << s.event << " " << s.value;
    EXPECT_EQ(visibility.Visible(), s.visible) << s.event << " " << s.value;
  }
}
