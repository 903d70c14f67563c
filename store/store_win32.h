#pragma once
#include <string>

#include "store/registry_key.h"

// The store's Windows back ends. Once InstallWindowsStore() has run,
// LoadSettings, SaveSettings, SaveSeeds and SaveRate use the real registry
// under HKEY_CURRENT_USER, and DiagnosticFilePath the directory
// GetWindowsDirectoryA reports; before, they behave as with a key that
// cannot be opened and an unknown directory.

// The registry key under HKEY_CURRENT_USER; lives as long as the process.
RegistryBackend& WindowsRegistry();

// The Windows directory, or an empty string when it cannot be found.
std::string WindowsDirectory();

// Installs both of the above.
void InstallWindowsStore();
