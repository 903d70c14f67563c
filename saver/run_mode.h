#pragma once
#include <cstdint>

// The host starts the saver with a switch among the arguments that follow
// the program's path: the character after the first '-' of the arguments,
// or, when they hold no '-', after the first '/'. The path itself never
// counts, so a hyphenated folder cannot pick the mode.

// Where the arguments begin in a command line as Windows writes it: the
// program's path runs to the closing double quote when it opens with one,
// else to the first blank or tab; the blanks and tabs after it are skipped.
// The end of the line when there are no arguments.
const char* ArgumentsOf(const char* commandLine);

// Lower-cases A..Z of commandLine in place (nothing else changes) and returns
// the mode character read from its arguments: 0 when there is no switch,
// when it ends the line, or when commandLine is null.
char ReadRunMode(char* commandLine);

// The number the host writes after the switch letter, "/c:NNNN" or
// "/c NNNN", in decimal: its settings window. 0 when there is none, when it
// does not fit in a pointer, or when commandLine is null.
std::uintptr_t ReadHostWindowNumber(const char* commandLine);

enum class RunModeKind { kOptions, kPreview, kSaver };

// 'c' and no switch at all (the shell's "Configure" passes no arguments) the
// options dialog, 'p' preview (nothing shown), anything else the saver.
RunModeKind KindOfRunMode(char runMode);

// Run mode 'r' keeps the random-bit log.
bool WantsRandBitsLog(char runMode);

// The application's idle hook: whether the saver window's IdleStep is due.
// idleStepMode -1 never, 0 after more than 50 ms, 1 after more than 10 ms,
// 2 on every idle pass; elapsed is the unsigned tick difference since the
// last step (a wrap of the counter gives the right value).
bool IdleStepDue(std::int32_t idleStepMode, std::uint32_t elapsed);
