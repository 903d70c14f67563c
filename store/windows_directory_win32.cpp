// The only caller of GetWindowsDirectoryW, and of the per-user folder's
// look-up. Both are read as UTF-16 and handed on as UTF-8, so a user name
// outside the ANSI code page survives.
#include <windows.h>

#include "store/diagnostic_files.h"
#include "store/store_win32.h"

std::string WindowsDirectory() {
  wchar_t buffer[MAX_PATH];
  const UINT length = GetWindowsDirectoryW(buffer, MAX_PATH);
  // 0 is a failure; a length of MAX_PATH or more is the size the buffer
  // would have needed, and the buffer holds nothing usable.
  if (length == 0 || length >= MAX_PATH) return std::string();
  return Utf8FromWide(std::wstring(buffer, length));
}

std::string UserDiagnosticDirectory() {
  wchar_t buffer[MAX_PATH];
  const DWORD length = GetEnvironmentVariableW(L"LOCALAPPDATA", buffer, MAX_PATH);
  if (length == 0 || length >= MAX_PATH) return std::string();
  return Utf8FromWide(std::wstring(buffer, length) + L"\\Cellarium");
}

void InstallWindowsStore() {
  SetRegistryBackend(&WindowsRegistry());
  SetWindowsDirectorySource(&WindowsDirectory);
  SetUserDirectorySource(&UserDiagnosticDirectory);
  SetFileOperations(WindowsFileOperations());
}
