// The only caller of GetWindowsDirectoryA.
#include <windows.h>

#include "store/diagnostic_files.h"
#include "store/store_win32.h"

std::string WindowsDirectory() {
  char buffer[MAX_PATH];
  const UINT length = GetWindowsDirectoryA(buffer, MAX_PATH);
  // 0 is a failure; a length of MAX_PATH or more is the size the buffer
  // would have needed, and the buffer holds nothing usable.
  if (length == 0 || length >= MAX_PATH) return std::string();
  return std::string(buffer, length);
}

void InstallWindowsStore() {
  SetRegistryBackend(&WindowsRegistry());
  SetWindowsDirectorySource(&WindowsDirectory);
}
