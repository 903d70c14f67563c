#pragma once
#include <cstdint>

// The host starts the saver with a switch: the character after the first '-'
// of the whole command line, or, when the line holds no '-', after the first
// '/'. The program's own path is part of the line, so a '-' in it wins.

// Lower-cases A..Z of commandLine in place (nothing else changes) and returns
// the mode character: 0 when there is no switch, when it ends the line, or
// when commandLine is null.
char ReadRunMode(char* commandLine);

enum class RunModeKind { kOptions, kPreview, kSaver };

// 'c' options dialog, 'p' preview (nothing shown), anything else the saver.
RunModeKind KindOfRunMode(char runMode);

// Run mode 'r' keeps the random-bit log.
bool WantsRandBitsLog(char runMode);

// The application's idle hook: whether the saver window's IdleStep is due.
// idleStepMode -1 never, 0 after more than 50 ms, 1 after more than 10 ms,
// 2 on every idle pass; elapsed is the unsigned tick difference since the
// last step (a wrap of the counter gives the right value).
bool IdleStepDue(std::int32_t idleStepMode, std::uint32_t elapsed);
