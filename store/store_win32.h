#pragma once
#include <string>

#include "store/diagnostic_files.h"
#include "store/registry_key.h"

// The store's Windows back ends. Once InstallWindowsStore() has run,
// LoadSettings, SaveSettings, SaveSeeds and SaveRate use the real registry
// under HKEY_CURRENT_USER, and the diagnostic files the directory
// GetWindowsDirectoryW reports, with %LOCALAPPDATA%\Cellarium as their
// per-user fallback, written through the wide-character file functions;
// before, they behave as with a key that cannot be opened and no known
// folder.

// The registry key under HKEY_CURRENT_USER; lives as long as the process.
RegistryBackend& WindowsRegistry();

// The Windows directory (UTF-8), or an empty string when it cannot be found.
std::string WindowsDirectory();

// %LOCALAPPDATA%\Cellarium (UTF-8), not made here, or an empty string when
// LOCALAPPDATA is unset.
std::string UserDiagnosticDirectory();

// Temporary files made with CREATE_NEW and held without FILE_SHARE_DELETE,
// replaced with MoveFileExW (MOVEFILE_REPLACE_EXISTING), deleted with
// DeleteFileW, folders made with CreateDirectoryW, every path converted
// from UTF-8.
FileOperations WindowsFileOperations();

// UTF-8 to UTF-16 and back; empty for text that is not valid.
std::wstring WideFromUtf8(const std::string& text);
std::string Utf8FromWide(const std::wstring& text);

// Installs all of the above.
void InstallWindowsStore();
