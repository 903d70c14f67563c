#include "saver/run_mode.h"

#include <cstring>

char ReadRunMode(char* commandLine) {
  if (commandLine == nullptr) return 0;
  // A to Z only: the C library's tolower would follow the locale.
  for (char* c = commandLine; *c != 0; ++c)
    if (*c >= 'A' && *c <= 'Z') *c = static_cast<char>(*c - 'A' + 'a');
  const char* switchChar = std::strchr(commandLine, '-');
  if (switchChar == nullptr) switchChar = std::strchr(commandLine, '/');
  return switchChar != nullptr ? switchChar[1] : 0;
}

RunModeKind KindOfRunMode(char runMode) {
  if (runMode == 'c') return RunModeKind::kOptions;
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
