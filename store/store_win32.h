#pragma once
#include <string>

#include "store/registry_key.h"

// The store's Windows back ends. Once InstallWindowsStore() has run,
// LoadSettings, SaveSettings, SaveSeeds and SaveRate use the real registry
// under HKEY_CURRENT_USER, and the diagnostic files the directory
// GetWindowsDirectoryA reports, with %LOCALAPPDATA%\Cellarium as their
// per-user fallback; before, they behave as with a key that cannot be opened
// and no known folder.

// The registry key under HKEY_CURRENT_USER; lives as long as the process.
RegistryBackend& WindowsRegistry();

// The Windows directory, or an empty string when it cannot be found.
std::string WindowsDirectory();

// %LOCALAPPDATA%\Cellarium, made when missing, or an empty string when
// LOCALAPPDATA is unset or the folder cannot be made.
std::string UserDiagnosticDirectory();

// Installs all of the above.
void InstallWindowsStore();
