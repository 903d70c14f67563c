// The only caller of GetWindowsDirectoryA, and of the per-user folder's look-up.
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

std::string UserDiagnosticDirectory() {
  char buffer[MAX_PATH];
  const DWORD length = GetEnvironmentVariableA("LOCALAPPDATA", buffer, MAX_PATH);
  if (length == 0 || length >= MAX_PATH) return std::string();
  std::string folder(buffer, length);
  folder += "\\Cellarium";
  if (!CreateDirectoryA(folder.c_str(), nullptr) && GetLastError() != ERROR_ALREADY_EXISTS)
    return std::string();
  return folder;
}

void InstallWindowsStore() {
  SetRegistryBackend(&WindowsRegistry());
  SetWindowsDirectorySource(&WindowsDirectory);
  SetUserDirectorySource(&UserDiagnosticDirectory);
}
