// The Life window in the process, against the real registry and Windows
// directory of the Wine prefix: what its construction builds, what an
// allocation failure leaves behind (nothing), and a whole run with the
// simulation thread, the stop handshake and the teardown's seeds, rate,
// log and dump.
#include <gtest/gtest.h>
#include <windows.h>
#include <tlhelp32.h>
#include <wtsapi32.h>

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "saver/scrnsav_app.h"
#include "engine/life_settings.h"
#include "program/life_window.h"
#include "engine/soup.h"
#include "engine/world_geometry.h"
#include "framework/choose_color.h"
#include "framework/exceptions.h"
#include "framework/fault_injection.h"
#include "support/command_line.h"
#include "support/known_worlds.h"
#include "support/saver_module.h"
#include "support/window_test_support.h"
#include "store/diagnostic_files.h"
#include "store/registry_key.h"
#include "store/store_win32.h"
#include "ui/options_dialog.h"

namespace {

// A saver application with nothing to make: the window under test is made
// by the test itself. It gives the window a run mode to read.
class TTestSaverApp : public TScrnSavApp {
 public:
  explicit TTestSaverApp(char mode) : TScrnSavApp("Cellarium.Test.Saver") {
    runMode = mode;
    SetPriorityClass(GetCurrentProcess(), NORMAL_PRIORITY_CLASS);  // the tests' own
  }

 protected:
  void MakeSaverWindow() override {}
  void MakeOptionsDialog() override {}
};

void DeleteSettingsKey() { RegDeleteKeyA(HKEY_CURRENT_USER, kSettingsKeyPath); }

void StoreDword(const char* name, DWORD value) {
  HKEY key = nullptr;
  ASSERT_EQ(RegCreateKeyExA(HKEY_CURRENT_USER, kSettingsKeyPath, 0, nullptr, 0, KEY_ALL_ACCESS,
                            nullptr, &key, nullptr),
            ERROR_SUCCESS);
  RegSetValueExA(key, name, 0, REG_DWORD, reinterpret_cast<const BYTE*>(&value), sizeof value);
  RegCloseKey(key);
}

// The stored value's bytes, or nothing when it is missing.
std::vector<std::uint8_t> StoredValue(const char* name) {
  std::uint8_t buffer[256];
  DWORD size = sizeof buffer;
  if (RegGetValueA(HKEY_CURRENT_USER, kSettingsKeyPath, name, RRF_RT_ANY, nullptr, buffer, &size) !=
      ERROR_SUCCESS)
    return {};
  return std::vector<std::uint8_t>(buffer, buffer + size);
}

std::string FileContents(const std::string& path) {
  std::string contents;
  if (std::FILE* file = std::fopen(path.c_str(), "rb")) {
    char chunk[4096];
    std::size_t got = 0;
    while ((got = std::fread(chunk, 1, sizeof chunk, file)) > 0) contents.append(chunk, got);
    std::fclose(file);
  }
  return contents;
}

bool RowIsDead(const std::uint8_t* bits, std::int32_t cols, std::int32_t row) {
  const std::int32_t bytes = cols / 8;
  for (std::int32_t k = 0; k < bytes; ++k)
    if (bits[row * bytes + k] != 0) return false;
  return true;
}

class LifeWindow : public ::testing::Test {
 protected:
  void SetUp() override {
    InstallWindowsStore();
    DeleteSettingsKey();
    lifeSettings = LifeSettings();
    std::remove(DiagnosticFilePath(kLifeDumpFileName).c_str());
    std::remove(DiagnosticFilePath(kRandBitsFileName).c_str());
  }
  void TearDown() override {
    TDib::SetAllocator(nullptr, nullptr);
    DeleteSettingsKey();
  }
};

TEST_F(LifeWindow, ConstructionBuildsTheWorldOfThisScreenWithASoupInTheBandOnly) {
  TLifeWindow window(nullptr, "ScreenSaver.Cellarium", nullptr);
  const LifeWorld& world = window.World();
  const int screenWidth = GetSystemMetrics(SM_CXSCREEN), screenHeight = GetSystemMetrics(SM_CYSCREEN);
  const support::KnownWorld* known = support::KnownDefaultWorld(screenWidth, screenHeight);
  ASSERT_NE(known, nullptr) << "no known world for a " << screenWidth << "x" << screenHeight
                            << " screen: add it to tests/support/known_worlds.h";
  const WorldGeometry& expected = known->want;
  EXPECT_EQ(world.worldCols, expected.worldCols);
  EXPECT_EQ(world.worldRows, expected.worldRows);
  EXPECT_EQ(world.displayWidth, expected.displayWidth);
  EXPECT_EQ(world.displayHeight, expected.displayHeight);
  EXPECT_EQ(world.mutationCountdown, 4);
  EXPECT_EQ(world.stopFlag.load(), 1);  // nothing to wait for yet
  ASSERT_NE(world.currentBits, nullptr);
  ASSERT_NE(world.nextBits, nullptr);
  EXPECT_NE(world.displayBits, nullptr);  // zoomed by default
  EXPECT_EQ(world.currentBits, world.worldBitsA);
  EXPECT_EQ(world.bitsSwapped, 0);

  const SoupBand& band = known->band;
  bool anyLive = false;
  for (std::int32_t row = 0; row < world.worldRows; ++row) {
    const bool inBand = row >= band.firstRow && row < band.endRow;
    if (!inBand) {
      EXPECT_TRUE(RowIsDead(world.currentBits, world.worldCols, row)) << row;
    }
    if (inBand && !RowIsDead(world.currentBits, world.worldCols, row)) anyLive = true;
    EXPECT_TRUE(RowIsDead(world.nextBits, world.worldCols, row)) << "second buffer, row " << row;
  }
  EXPECT_TRUE(anyLive);
}

TEST_F(LifeWindow, AnUnmagnifiedFullSizeWorldHasNoDisplayBitmap) {
  StoreDword("ZoomFactor", 0);
  StoreDword("WorldSize", 0);
  TLifeWindow window(nullptr, "ScreenSaver.Cellarium", nullptr);
  EXPECT_EQ(window.World().displayBits, nullptr);
  EXPECT_EQ(window.World().worldCols, window.World().displayWidth);
  EXPECT_EQ(window.World().worldRows, window.World().displayHeight);
}

// ---- a bitmap that cannot be allocated

int allocationsLeft = 0;
int outstanding = 0;
void* FailingAllocate(std::size_t bytes) {
  if (allocationsLeft-- <= 0) return nullptr;
  ++outstanding;
  return ::operator new(bytes);
}
void CountedRelease(void* memory) {
  --outstanding;
  ::operator delete(memory);
}

TEST_F(LifeWindow, ABitmapThatCannotBeAllocatedEndsConstructionLeavingNothingBehind) {
  TTestSaverApp app('r');
  // Each of the three bitmaps in turn (the defaults need all three).
  for (int succeeding = 0; succeeding < 3; ++succeeding) {
    allocationsLeft = succeeding;
    outstanding = 0;
    TDib::SetAllocator(&FailingAllocate, &CountedRelease);
    const int cursor = CursorDisplayCount();
    EXPECT_THROW(TLifeWindow(nullptr, "ScreenSaver.Cellarium", nullptr), TXOutOfMemory)
        << succeeding << " bitmaps allocated";
    EXPECT_EQ(outstanding, 0) << "bitmaps made before the failure are released";
    EXPECT_EQ(CursorDisplayCount(), cursor) << "the cursor is shown again";
  }
  EXPECT_TRUE(StoredValue("Seed1").empty());
  EXPECT_TRUE(StoredValue("LastRate").empty());
  EXPECT_TRUE(FileContents(DiagnosticFilePath(kRandBitsFileName)).empty());
}

// The whole way out of the program with a saver window of type Window: from
// the application's start-up through Run to the process start, which turns an
// exception into a failure status once the application is gone.
template <class Window>
class TTestLifeApp : public TScrnSavApp {
 public:
  TTestLifeApp() : TScrnSavApp("Cellarium.Test.Saver") {}

 protected:
  void MakeSaverWindow() override {
    saverWindow = new Window(nullptr, "ScreenSaver.Cellarium", nullptr);
  }
  void MakeOptionsDialog() override {}
};

template <class Window>
int RunSaverWith() {
  TTestLifeApp<Window> app;
  return app.Run();
}

bool FailEveryBitmapObject(FaultPoint point) { return point == FaultPoint::kBitmapObject; }

// The second world bitmap's pixels, then the first bitmap's object.
TEST_F(LifeWindow, TheProgramEndsWithAFailureStatusWhenTheWorldCannotBeAllocated) {
  for (bool objectFails : {false, true}) {
    SCOPED_TRACE(objectFails ? "object" : "pixels");
    allocationsLeft = objectFails ? 3 : 1;
    outstanding = 0;
    TDib::SetAllocator(&FailingAllocate, &CountedRelease);
    const int cursor = CursorDisplayCount();
    {
      const CommandLine line("cellarium.scr /s");
      const FaultHook previousHook =
          SetFaultHook(objectFails ? &FailEveryBitmapObject : nullptr);
      EXPECT_EQ(RunProgram(&RunSaverWith<TLifeWindow>), kExitFailure);
      SetFaultHook(previousHook);
    }
    SetPriorityClass(GetCurrentProcess(), NORMAL_PRIORITY_CLASS);
    EXPECT_EQ(TApplication::Current(), nullptr);
    EXPECT_EQ(outstanding, 0);
    EXPECT_EQ(CursorDisplayCount(), cursor);
    EXPECT_TRUE(StoredValue("Seed1").empty());
    EXPECT_TRUE(StoredValue("LastRate").empty());
  }
}

// A saver whose window closes itself as soon as it is shown: the program's
// whole way out after a fault that the run survives.
class TSelfClosingLifeWindow : public TLifeWindow {
 public:
  using TLifeWindow::TLifeWindow;
  void PrepareWindow() override {
    TLifeWindow::PrepareWindow();
    PostMessageA(Handle(), WM_CLOSE, 0, 0);
  }
};

bool FailThreadStart(FaultPoint point) { return point == FaultPoint::kThreadStart; }

TEST_F(LifeWindow, TheProgramEndsWithStatusZeroWhenItsThreadCannotStart) {
  if (!CanCreateWindows()) GTEST_SKIP() << "no display: no window can be created here";
  const int cursor = CursorDisplayCount();
  {
    const CommandLine line("cellarium.scr /s");
    const FaultHook previousHook = SetFaultHook(&FailThreadStart);
    EXPECT_EQ(RunProgram(&RunSaverWith<TSelfClosingLifeWindow>), 0);
    SetFaultHook(previousHook);
  }
  SetPriorityClass(GetCurrentProcess(), NORMAL_PRIORITY_CLASS);
  EXPECT_EQ(CursorDisplayCount(), cursor);
  EXPECT_EQ(StoredValue("Seed1").size(), 4u);
}

TEST_F(LifeWindow, AWindowClosedBeforeItsThreadRanStoresSeedsButNoRate) {
  StoreDword("Seed1", 1);
  StoreDword("Seed2", 2);
  {
    TLifeWindow window(nullptr, "ScreenSaver.Cellarium", nullptr);
    EXPECT_TRUE(window.ConfirmClose());  // returns at once: no thread to wait for
  }
  const std::vector<std::uint8_t> seed1 = StoredValue("Seed1");
  ASSERT_EQ(seed1.size(), 4u);
  EXPECT_NE(seed1, (std::vector<std::uint8_t>{1, 0, 0, 0}));
  EXPECT_TRUE(StoredValue("LastRate").empty());
  EXPECT_TRUE(FileContents(DiagnosticFilePath(kLifeDumpFileName)).empty());
}

// ---- whole runs with the simulation thread (need a window)

class LifeWindowRun : public LifeWindow {
 protected:
  void SetUp() override {
    if (!CanCreateWindows()) GTEST_SKIP() << "no display: no window can be created here";
    LifeWindow::SetUp();
  }
};

TEST_F(LifeWindowRun, TheClassHasTheSaverNameAndABlackBackground) {
  TLifeWindow window(nullptr, "ScreenSaver.Cellarium", nullptr);
  ASSERT_TRUE(window.Create());
  WNDCLASSA registered{};
  ASSERT_TRUE(GetClassInfoA(GetModuleHandleA(nullptr), "ScreenSaver.Cellarium", &registered));
  EXPECT_EQ(registered.hbrBackground, GetStockObject(BLACK_BRUSH));
  EXPECT_EQ(registered.style, static_cast<UINT>(CS_DBLCLKS | CS_SAVEBITS));
  SendMessageA(window.Handle(), WM_CLOSE, 0, 0);
}

TEST_F(LifeWindowRun, ARunEndedWithTheSKeyStoresSeedsRateLogAndDump) {
  TTestSaverApp app('r');
  StoreDword("Seed1", 1);
  StoreDword("Seed2", 2);
  std::int32_t cols = 0, rows = 0;
  {
    TLifeWindow window(nullptr, "ScreenSaver.Cellarium", nullptr);
    EXPECT_EQ(app.IdleStepMode(), -1);
    cols = window.World().worldCols;
    rows = window.World().worldRows;
    ASSERT_TRUE(window.Create());
    EXPECT_EQ(window.World().stopFlag.load(), 0);  // the thread runs
    // Drawing starts once the window is shown and answers its thread, so
    // show it and serve sent messages (only those: posted input stays
    // queued) for at least one whole second of the calendar clock.
    ShowWindow(window.Handle(), SW_SHOWNA);
    for (const DWORD start = GetTickCount(); GetTickCount() - start < 2100;) {
      MSG message;
      PeekMessageA(&message, nullptr, 0, 0, PM_NOREMOVE | PM_QS_SENDMESSAGE);
      Sleep(10);
    }
    SendMessageA(window.Handle(), WM_KEYDOWN, 0x53, 0);
    SendMessageA(window.Handle(), WM_CLOSE, 0, 0);  // the handshake, then destroyed
    EXPECT_EQ(window.Handle(), nullptr);
    EXPECT_EQ(window.World().stopFlag.load(), 1);
    EXPECT_GT(window.World().generationCount, 0);
  }
  EXPECT_EQ(StoredValue("Seed1").size(), 4u);
  EXPECT_NE(StoredValue("Seed1"), (std::vector<std::uint8_t>{1, 0, 0, 0}));
  EXPECT_NE(StoredValue("Seed2"), (std::vector<std::uint8_t>{2, 0, 0, 0}));

  const std::vector<std::uint8_t> rate = StoredValue("LastRate");
  ASSERT_FALSE(rate.empty());
  const std::string text(rate.begin(), rate.end() - 1);
  double value = 0;
  char unit[32] = {};
  EXPECT_EQ(std::sscanf(text.c_str(), "%lf %31s", &value, unit), 2) << text;
  EXPECT_GT(value, 0.0) << text;
  EXPECT_STREQ(unit, "updates/sec");

  const std::string bits = FileContents(DiagnosticFilePath(kRandBitsFileName));
  EXPECT_EQ(bits.find_first_not_of("01"), std::string::npos) << bits;

  const std::string dump = FileContents(DiagnosticFilePath(kLifeDumpFileName));
  ASSERT_EQ(dump.size(), static_cast<std::size_t>(32 + cols * rows / 8));
  EXPECT_EQ(dump.substr(0, 2), "BM");
}

// The process may be ended as soon as WM_ENDSESSION returns: by then the
// thread has stopped and the run is saved, once; the close that follows, if
// the process lives on, saves nothing more.
TEST_F(LifeWindowRun, TheEndOfTheSessionSavesTheRunBeforeItReturnsAndOnce) {
  TTestSaverApp app('r');
  StoreDword("Seed1", 1);
  StoreDword("Seed2", 2);
  {
    TLifeWindow window(nullptr, "ScreenSaver.Cellarium", nullptr);
    ASSERT_TRUE(window.Create());
    // Shown and answering its thread for a whole second of the calendar
    // clock and a few samples.
    ShowWindow(window.Handle(), SW_SHOWNA);
    for (const DWORD start = GetTickCount(); GetTickCount() - start < 2100;) {
      MSG message;
      PeekMessageA(&message, nullptr, 0, 0, PM_NOREMOVE | PM_QS_SENDMESSAGE);
      Sleep(10);
    }
    EXPECT_EQ(SendMessageA(window.Handle(), WM_QUERYENDSESSION, 0, static_cast<LPARAM>(ENDSESSION_LOGOFF)), TRUE);
    SendMessageA(window.Handle(), WM_ENDSESSION, TRUE, static_cast<LPARAM>(ENDSESSION_LOGOFF));
    EXPECT_EQ(window.World().stopFlag.load(), 1);
    const std::vector<std::uint8_t> seed1 = StoredValue("Seed1");
    EXPECT_NE(seed1, (std::vector<std::uint8_t>{1, 0, 0, 0}));
    EXPECT_FALSE(StoredValue("LastRate").empty());
    const std::string bits = FileContents(DiagnosticFilePath(kRandBitsFileName));
    EXPECT_FALSE(bits.empty());
    EXPECT_EQ(bits.find_first_not_of("01"), std::string::npos) << bits;
    StoreDword("Seed1", 1);
    SendMessageA(window.Handle(), WM_CLOSE, 0, 0);
    EXPECT_EQ(window.Handle(), nullptr);
  }
  EXPECT_EQ(StoredValue("Seed1"), (std::vector<std::uint8_t>{1, 0, 0, 0})) << "saved twice";
}

// Serves sent messages only (posted input stays queued) for ms milliseconds.
void ServeSentMessages(DWORD ms) {
  for (const DWORD start = GetTickCount(); GetTickCount() - start < ms;) {
    MSG message;
    PeekMessageA(&message, nullptr, 0, 0, PM_NOREMOVE | PM_QS_SENDMESSAGE);
    Sleep(10);
  }
}

// The display-state and session notifications, as the system sends them:
// while the display is off or the session away the thread steps nothing;
// on again, it carries on with the same world. A display change lays the
// world out again and the same run carries on.
TEST_F(LifeWindowRun, NoGenerationsWhileNoOneCanSeeItAndTheSameRunAfterADisplayChange) {
  TTestSaverApp app('s');
  TLifeWindow window(nullptr, "ScreenSaver.Cellarium", nullptr);
  ASSERT_TRUE(window.Create());
  ShowWindow(window.Handle(), SW_SHOWNA);
  ServeSentMessages(300);
  const std::uint8_t* worldBits = window.World().worldBitsA;

  struct {
    POWERBROADCAST_SETTING setting;
    DWORD rest;  // the setting's data is one DWORD; the header declares one byte
  } display{};
  display.setting.PowerSetting = {0x2b84c20e, 0xad23, 0x4ddf, {0x93, 0xdb, 0x05, 0xff, 0xbd, 0x7e, 0xfc, 0xa5}};
  display.setting.DataLength = sizeof(DWORD);
  auto sendDisplay = [&](DWORD state) {
    std::memcpy(display.setting.Data, &state, sizeof state);
    EXPECT_EQ(SendMessageA(window.Handle(), WM_POWERBROADCAST, PBT_POWERSETTINGCHANGE,
                           reinterpret_cast<LPARAM>(&display.setting)), TRUE);
  };
  struct Pause {
    const char* name;
    UINT message;
    WPARAM off, on;
  } pauses[] = {{"display off", WM_POWERBROADCAST, 0, 1},
                {"console disconnected", WM_WTSSESSION_CHANGE, WTS_CONSOLE_DISCONNECT, WTS_CONSOLE_CONNECT},
                {"remote disconnected", WM_WTSSESSION_CHANGE, WTS_REMOTE_DISCONNECT, WTS_REMOTE_CONNECT}};
  for (const Pause& p : pauses) {
    SCOPED_TRACE(p.name);
    if (p.message == WM_POWERBROADCAST) {
      sendDisplay(static_cast<DWORD>(p.off));
    } else {
      SendMessageA(window.Handle(), p.message, p.off, 0);
    }
    ServeSentMessages(200);  // the generation under way ends
    const std::int64_t paused = window.World().generationCount;
    ServeSentMessages(300);
    EXPECT_EQ(window.World().generationCount, paused);
    EXPECT_EQ(window.World().stopFlag.load(), 0);  // paused, not stopped
    if (p.message == WM_POWERBROADCAST) {
      sendDisplay(static_cast<DWORD>(p.on));
    } else {
      SendMessageA(window.Handle(), p.message, p.on, 0);
    }
    ServeSentMessages(300);
    EXPECT_GT(window.World().generationCount, paused);
  }
  sendDisplay(2);  // dimmed still shows
  ServeSentMessages(200);
  const std::int64_t before = window.World().generationCount;
  SendMessageA(window.Handle(), WM_DISPLAYCHANGE, 32, MAKELPARAM(GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN)));
  EXPECT_EQ(window.World().worldBitsA, worldBits);  // the same size: the same world
  ServeSentMessages(300);
  EXPECT_GT(window.World().generationCount, before);  // counted on, not from 0
  EXPECT_EQ(window.World().stopFlag.load(), 0);
  EXPECT_FALSE(TakePostedClose(window.Handle())) << "the change itself closed the saver";
  SendMessageA(window.Handle(), WM_CLOSE, 0, 0);
  EXPECT_EQ(window.Handle(), nullptr);
}

TEST_F(LifeWindowRun, AWindowNeverShownStillRunsAfterAboutTwoSeconds) {
  TTestSaverApp app('r');
  {
    TLifeWindow window(nullptr, "ScreenSaver.Cellarium", nullptr);
    ASSERT_TRUE(window.Create());  // never shown, no message served
    Sleep(4500);
    SendMessageA(window.Handle(), WM_CLOSE, 0, 0);
    EXPECT_GT(window.World().generationCount, 0);
  }
  const std::string bits = FileContents(DiagnosticFilePath(kRandBitsFileName));
  EXPECT_FALSE(bits.empty()) << "no entropy gathered";
  EXPECT_EQ(bits.find_first_not_of("01"), std::string::npos) << bits;
}

TEST_F(LifeWindowRun, DeletingARunningWindowStopsItsThreadFirst) {
  TTestSaverApp app('s');
  {
    TLifeWindow window(nullptr, "ScreenSaver.Cellarium", nullptr);
    ASSERT_TRUE(window.Create());
    Sleep(200);
  }  // no WM_CLOSE: the destructor's own handshake
  EXPECT_EQ(StoredValue("Seed1").size(), 4u);
  EXPECT_TRUE(FileContents(DiagnosticFilePath(kLifeDumpFileName)).empty());
  EXPECT_TRUE(FileContents(DiagnosticFilePath(kRandBitsFileName)).empty());
}

// Live threads of this process, from a toolhelp snapshot.
int ThreadCount() {
  HANDLE snapshot = CreateToolhelp32Snapshot(TH32CS_SNAPTHREAD, 0);
  if (snapshot == INVALID_HANDLE_VALUE) return -1;
  int count = 0;
  THREADENTRY32 entry{};
  entry.dwSize = sizeof entry;
  for (BOOL more = Thread32First(snapshot, &entry); more; more = Thread32Next(snapshot, &entry)) {
    if (entry.th32OwnerProcessID == GetCurrentProcessId()) ++count;
  }
  CloseHandle(snapshot);
  return count;
}

// A thousand windows started and closed in turn, each after serving its
// messages for a different few milliseconds: closed before its thread
// draws, while it waits to be shown, or while it draws. Every close must
// return with the thread stopped, and no thread may outlive its window.
TEST_F(LifeWindowRun, AThousandStartsAndClosesLeaveNoThreadBehind) {
  TTestSaverApp app('s');
  int whileRunning = 0;
  auto cycle = [&whileRunning](int i) {
    TLifeWindow window(nullptr, "ScreenSaver.Cellarium", nullptr);
    if (!window.Create()) return false;
    if (i == 0) whileRunning = ThreadCount();
    if (i % 2 == 1) ShowWindow(window.Handle(), SW_SHOWNA);
    for (const DWORD start = GetTickCount(); GetTickCount() - start < static_cast<DWORD>(i % 7);) {
      MSG message;
      PeekMessageA(&message, nullptr, 0, 0, PM_NOREMOVE | PM_QS_SENDMESSAGE);
    }
    SendMessageA(window.Handle(), WM_CLOSE, 0, 0);
    return window.Handle() == nullptr && window.World().stopFlag.load() == 1;
  };
  ASSERT_TRUE(cycle(1));  // Wine starts its own helper threads on first use
  const int threads = ThreadCount();
  ASSERT_TRUE(cycle(0));
  ASSERT_EQ(whileRunning, threads + 1) << "the count sees the simulation thread";
  const int cursor = CursorDisplayCount();
  int closed = 0;
  DWORD slowest = 0;
  for (int i = 0; i < 1000; ++i) {
    const DWORD start = GetTickCount();
    if (cycle(i)) ++closed;
    slowest = std::max(slowest, GetTickCount() - start);
  }
  EXPECT_EQ(closed, 1000);
  EXPECT_EQ(ThreadCount(), threads);
  EXPECT_EQ(CursorDisplayCount(), cursor);
  std::printf("1000 start/close cycles: %d closed cleanly, slowest %lu ms, threads %d before and %d after\n",
              closed, static_cast<unsigned long>(slowest), threads, ThreadCount());
}

// ---- every resource failing in turn

// Fails the given point from its nth use on (0: the first).
FaultPoint faultAt = FaultPoint::kBitmapObject;
std::atomic<int> usesBeforeFault{0};
bool FailFromNthUse(FaultPoint point) { return point == faultAt && usesBeforeFault-- <= 0; }

// The real registry, except that the key cannot be opened for one access.
class KeyFailingFor final : public RegistryBackend {
 public:
  explicit KeyFailingFor(KeyAccess failing) : access(failing) {}
  std::unique_ptr<RegistryKey> OpenSettingsKey(KeyAccess wanted) override {
    return wanted == access ? nullptr : WindowsRegistry().OpenSettingsKey(wanted);
  }

 private:
  KeyAccess access;
};

struct FaultCase {
  const char* name;
  FaultPoint point;      // with uses, when hooked
  int uses;              // -1: no hook
  int keyFails;          // -1 none, else a KeyAccess
  const char* blocked;   // a diagnostic file made unwritable, or null
  bool built;            // construction succeeds
  bool seedsStored;      // both new, else both untouched
  bool dumped;
};

// The window runs in /r mode (the random-bit log) for a moment, is shown,
// and closes with the S key (the dump). Each case says what must be left.
TEST_F(LifeWindowRun, EveryResourceFailingInTurnEndsCleanly) {
  constexpr int kNoHook = -1, kNoKey = -1;
  const int kRead = static_cast<int>(KeyAccess::kRead), kWrite = static_cast<int>(KeyAccess::kWrite);
  const FaultCase cases[] = {
      {"first world bitmap object", FaultPoint::kBitmapObject, 0, kNoKey, nullptr, false, false, false},
      {"second world bitmap object", FaultPoint::kBitmapObject, 1, kNoKey, nullptr, false, false, false},
      {"display bitmap object", FaultPoint::kBitmapObject, 2, kNoKey, nullptr, false, false, false},
      {"device context", FaultPoint::kDeviceContext, 0, kNoKey, nullptr, true, true, true},
      {"palette", FaultPoint::kPalette, 0, kNoKey, nullptr, true, true, true},
      {"thread start", FaultPoint::kThreadStart, 0, kNoKey, nullptr, true, true, true},
      {"key on load", FaultPoint::kDialog, kNoHook, kRead, nullptr, true, true, true},
      {"key on save", FaultPoint::kDialog, kNoHook, kWrite, nullptr, true, false, true},
      {"random-bit log", FaultPoint::kDialog, kNoHook, kNoKey, kRandBitsFileName, true, true, true},
      {"world dump", FaultPoint::kDialog, kNoHook, kNoKey, kLifeDumpFileName, true, true, false},
  };
  for (const FaultCase& c : cases) {
    SCOPED_TRACE(c.name);
    DeleteSettingsKey();
    StoreDword("Seed1", 1);
    StoreDword("Seed2", 2);
    for (const char* file : {kRandBitsFileName, kLifeDumpFileName}) {
      std::remove(DiagnosticFilePath(file).c_str());
      RemoveDirectoryA(DiagnosticFilePath(file).c_str());
    }
    if (c.blocked != nullptr) {
      ASSERT_TRUE(CreateDirectoryA(DiagnosticFilePath(c.blocked).c_str(), nullptr));
    }
    lifeSettings = LifeSettings();
    TTestSaverApp app('r');
    const int cursor = CursorDisplayCount();
    faultAt = c.point;
    usesBeforeFault = c.uses;
    const FaultHook previousHook = SetFaultHook(c.uses >= 0 ? &FailFromNthUse : nullptr);
    KeyFailingFor failing(static_cast<KeyAccess>(c.keyFails));
    RegistryBackend* previousBackend =
        c.keyFails >= 0 ? SetRegistryBackend(&failing) : CurrentRegistryBackend();

    bool built = false, closed = false;
    try {
      TLifeWindow window(nullptr, "ScreenSaver.Cellarium", nullptr);
      built = true;
      if (window.Create()) {
        ShowWindow(window.Handle(), SW_SHOWNA);
        for (const DWORD start = GetTickCount(); GetTickCount() - start < 300;) {
          MSG message;
          PeekMessageA(&message, nullptr, 0, 0, PM_NOREMOVE | PM_QS_SENDMESSAGE);
          Sleep(1);
        }
        SendMessageA(window.Handle(), WM_KEYDOWN, 0x53, 0);
        SendMessageA(window.Handle(), WM_CLOSE, 0, 0);
        closed = window.Handle() == nullptr && window.World().stopFlag.load() == 1;
      }
    } catch (const TXOutOfMemory&) {
    }
    SetFaultHook(previousHook);
    SetRegistryBackend(previousBackend);
    if (c.uses >= 0) {
      EXPECT_LT(usesBeforeFault.load(), 0) << "the point was reached and failed";
    }

    EXPECT_EQ(built, c.built);
    EXPECT_EQ(closed, c.built);
    EXPECT_EQ(CursorDisplayCount(), cursor) << "the cursor is shown again";
    const std::vector<std::uint8_t> seed1 = StoredValue("Seed1"), seed2 = StoredValue("Seed2");
    ASSERT_EQ(seed1.size(), 4u);
    ASSERT_EQ(seed2.size(), 4u);
    const bool old1 = seed1 == std::vector<std::uint8_t>{1, 0, 0, 0};
    const bool old2 = seed2 == std::vector<std::uint8_t>{2, 0, 0, 0};
    EXPECT_EQ(!old1 && !old2, c.seedsStored) << "seeds stored whole";
    EXPECT_EQ(old1 && old2, !c.seedsStored) << "seeds left untouched";
    const std::string dump = FileContents(DiagnosticFilePath(kLifeDumpFileName));
    EXPECT_EQ(!dump.empty(), c.dumped);
    if (!dump.empty()) {
      EXPECT_EQ(dump.substr(0, 2), "BM");
    }
    if (c.blocked != nullptr) RemoveDirectoryA(DiagnosticFilePath(c.blocked).c_str());
  }
}

// The options dialog that cannot be made, and a colour chooser that cannot
// open, change nothing stored.
TEST_F(LifeWindowRun, DialogsThatCannotOpenStoreNothing) {
  faultAt = FaultPoint::kDialog;
  usesBeforeFault = 0;
  const FaultHook previous = SetFaultHook(&FailFromNthUse);
  {
    TLifeDlg dialog(nullptr);
    EXPECT_EQ(dialog.Execute(), -1);
  }
  faultAt = FaultPoint::kColourChooser;
  usesBeforeFault = 0;
  TChooseColorDialog::TData data{};
  data.Color = RGB(1, 2, 3);
  TChooseColorDialog chooser(nullptr, data, "Colour");
  EXPECT_EQ(chooser.Execute(), IDCANCEL);
  EXPECT_EQ(data.Color, RGB(1, 2, 3));
  SetFaultHook(previous);
  EXPECT_LT(usesBeforeFault.load(), 0);
  EXPECT_TRUE(StoredValue("WorldSize").empty());
  EXPECT_TRUE(StoredValue("PixelColor").empty());
}

// ---- the options dialog opened and closed many times

TLifeDlg* openDialog = nullptr;
int closingWay = 0;
void CALLBACK CloseOpenDialog(HWND, UINT, UINT_PTR, DWORD) {
  HWND dialog = openDialog != nullptr ? openDialog->Handle() : nullptr;
  if (dialog == nullptr) return;
  switch (closingWay % 3) {
    case 0: PostMessageA(dialog, WM_COMMAND, IDOK, 0); break;
    case 1: PostMessageA(dialog, WM_COMMAND, IDCANCEL, 0); break;
    default: PostMessageA(dialog, WM_KEYDOWN, VK_ESCAPE, 0); break;  // IsDialogMessage: Cancel
  }
}

// What the process holds, as far as the system counts it (Wine counts no
// GDI or USER objects and reports them as 0).
struct Holdings {
  long long handles, gdi, user, threads, windows;
  bool operator==(const Holdings&) const = default;
};
BOOL CALLBACK CountWindow(HWND, LPARAM count) {
  ++*reinterpret_cast<long long*>(count);
  return TRUE;
}
Holdings CountHoldings() {
  DWORD handles = 0;
  GetProcessHandleCount(GetCurrentProcess(), &handles);
  long long windows = 0;
  EnumThreadWindows(GetCurrentThreadId(), CountWindow, reinterpret_cast<LPARAM>(&windows));
  return {handles, GetGuiResources(GetCurrentProcess(), GR_GDIOBJECTS),
          GetGuiResources(GetCurrentProcess(), GR_USEROBJECTS), ThreadCount(), windows};
}

// The dialog templates are the program's resources: the application's
// module is the built cellarium.scr, loaded as data.
TEST_F(LifeWindowRun, TheOptionsDialogOpenedAndClosedTwoHundredTimesKeepsTheCounts) {
  const std::string saver = support::SaverPath();
  HMODULE resources = LoadLibraryExA(saver.c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE);
  ASSERT_NE(resources, nullptr) << saver;
  TApplication app("Cellarium.Test.Dialog", resources);
  auto openAndClose = [](int way) {
    TLifeDlg dialog(nullptr);
    openDialog = &dialog;
    closingWay = way;
    const UINT_PTR timer = SetTimer(nullptr, 0, 10, &CloseOpenDialog);
    const INT_PTR result = dialog.Execute();
    KillTimer(nullptr, timer);
    openDialog = nullptr;
    return result == (way % 3 == 0 ? IDOK : IDCANCEL);
  };
  ASSERT_TRUE(openAndClose(0));  // the first opening loads the common controls
  const Holdings before = CountHoldings();
  int closedAsAsked = 0;
  for (int i = 0; i < 200; ++i) closedAsAsked += openAndClose(i) ? 1 : 0;
  const Holdings after = CountHoldings();
  EXPECT_EQ(closedAsAsked, 200);
  EXPECT_EQ(after, before);
  FreeLibrary(resources);
  std::printf("200 openings: handles %lld/%lld, GDI %lld/%lld, USER %lld/%lld, threads %lld/%lld, "
              "windows %lld/%lld (before/after)\n",
              before.handles, after.handles, before.gdi, after.gdi, before.user, after.user,
              before.threads, after.threads, before.windows, after.windows);
}

}  // namespace
