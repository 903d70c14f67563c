#include "saver/run_mode.h"

#include <cstring>

namespace {

bool IsBlank(char c) { return c == ' ' || c == '\t'; }

// The character after the switch's '-' or '/' within the arguments, or null.
const char* FindSwitch(const char* commandLine) {
  const char* arguments = ArgumentsOf(commandLine);
  const char* switchChar = std::strchr(arguments, '-');
  if (switchChar == nullptr) switchChar = std::strchr(arguments, '/');
  return switchChar != nullptr ? switchChar + 1 : nullptr;
}

}  // namespace

const char* ArgumentsOf(const char* commandLine) {
  const char* c = commandLine;
  if (*c == '"') {
    ++c;
    while (*c != 0 && *c != '"') ++c;
    if (*c == '"') ++c;
  } else {
    while (*c != 0 && !IsBlank(*c)) ++c;
  }
  while (IsBlank(*c)) ++c;
  return c;
}

char ReadRunMode(char* commandLine) {
  if (commandLine == nullptr) return 0;
  // A to Z only: the C library's tolower would follow the locale.
  for (char* c = commandLine; *c != 0; ++c)
    if (*c >= 'A' && *c <= 'Z') *c = static_cast<char>(*c - 'A' + 'a');
  const char* mode = FindSwitch(commandLine);
  return mode != nullptr ? *mode : 0;
}

std::uintptr_t ReadHostWindowNumber(const char* commandLine) {
  if (commandLine == nullptr) return 0;
  const char* c = FindSwitch(commandLine);
  if (c == nullptr || *c == 0) return 0;
  ++c;  // the mode letter
  if (*c == ':') {
    ++c;
  } else if (IsBlank(*c)) {
    while (IsBlank(*c)) ++c;
  }
  std::uintptr_t number = 0;
  for (; *c >= '0' && *c <= '9'; ++c) {
    const auto digit = static_cast<std::uintptr_t>(*c - '0');
    if (number > (UINTPTR_MAX - digit) / 10) return 0;  // no window has such a number
    number = number * 10 + digit;
  }
  return number;
}

RunModeKind KindOfRunMode(char runMode) {
  if (runMode == 'c' || runMode == 0) return RunModeKind::kOptions;
  if (runMode == 'p') return RunModeKind::kPreview;
  return RunModeKind::kSaver;
}

bool WantsRandBitsLog(char runMode) { return runMode == 'r'; }

bool IdleStepDue(std::int32_t idleStepMode, std::uint32_t elapsed) {
  if (idleStepMode < 0) return false;
  if (idleStepMode == 2) return true;
  if (idleStepMode == 1 && elapsed > 10) return true;
  return elapsed > 50;
}
