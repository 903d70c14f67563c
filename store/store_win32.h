#pragma once
#include <string>

#include "store/registry_key.h"

// The store's Windows back ends. The Windows program calls
// InstallWindowsStore() once at start-up (before the saver window or the
// options dialog loads its settings); from then on LoadSettings, SaveSettings,
// SaveSeeds and SaveRate use the real registry under HKEY_CURRENT_USER, and
// DiagnosticFilePath the directory GetWindowsDirectoryA reports, with
// %LOCALAPPDATA%\Cellarium as the diagnostic files' per-user fallback.

// The registry key under HKEY_CURRENT_USER; lives as long as the process.
RegistryBackend& WindowsRegistry();

// The Windows directory, or an empty string when it cannot be found.
std::string WindowsDirectory();

// %LOCALAPPDATA%\Cellarium, made when missing, or an empty string when
// LOCALAPPDATA is unset or the folder cannot be made.
std::string UserDiagnosticDirectory();

// Installs all of the above.
void InstallWindowsStore();
