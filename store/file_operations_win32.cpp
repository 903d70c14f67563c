// The only caller of the Win32 file functions the diagnostic files use, and
// of the UTF-8 and UTF-16 conversions of their paths.
#include <windows.h>

#include <fcntl.h>
#include <io.h>

#include "store/diagnostic_files.h"
#include "store/store_win32.h"

std::wstring WideFromUtf8(const std::string& text) {
  if (text.empty()) return std::wstring();
  const int size = static_cast<int>(text.size());
  const int length = MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, text.data(), size,
                                         nullptr, 0);
  if (length <= 0) return std::wstring();
  std::wstring wide(static_cast<std::size_t>(length), L'\0');
  MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, text.data(), size, wide.data(), length);
  return wide;
}

std::string Utf8FromWide(const std::wstring& text) {
  if (text.empty()) return std::string();
  const int size = static_cast<int>(text.size());
  const int length =
      WideCharToMultiByte(CP_UTF8, 0, text.data(), size, nullptr, 0, nullptr, nullptr);
  if (length <= 0) return std::string();
  std::string narrow(static_cast<std::size_t>(length), '\0');
  WideCharToMultiByte(CP_UTF8, 0, text.data(), size, narrow.data(), length, nullptr, nullptr);
  return narrow;
}

namespace {

// CREATE_NEW fails when the file exists: two savers never share a name.
std::FILE* CreateNew(const std::string& path) {
  const std::wstring wide = WideFromUtf8(path);
  if (wide.empty()) return nullptr;
  HANDLE handle = CreateFileW(wide.c_str(), GENERIC_WRITE, FILE_SHARE_READ, nullptr, CREATE_NEW,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
  if (handle == INVALID_HANDLE_VALUE) return nullptr;
  const int descriptor = _open_osfhandle(reinterpret_cast<intptr_t>(handle), _O_WRONLY | _O_BINARY);
  if (descriptor == -1) {
    CloseHandle(handle);
    return nullptr;
  }
  std::FILE* file = _fdopen(descriptor, "wb");
  if (file == nullptr) _close(descriptor);  // closes the handle too
  return file;
}

// Opening for writing without changing anything asks the same questions a
// replacement does: a folder, a read-only file, a refused one all fail.
bool MayReplace(const std::string& path) {
  const std::wstring wide = WideFromUtf8(path);
  if (wide.empty()) return false;
  constexpr DWORD kShareAll = FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE;
  HANDLE handle = CreateFileW(wide.c_str(), GENERIC_WRITE, kShareAll, nullptr, OPEN_EXISTING,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
  if (handle != INVALID_HANDLE_VALUE) {
    CloseHandle(handle);
    return true;
  }
  return GetLastError() == ERROR_FILE_NOT_FOUND;
}

bool Replace(const std::string& from, const std::string& to) {
  const std::wstring source = WideFromUtf8(from), target = WideFromUtf8(to);
  return !source.empty() && !target.empty() &&
         MoveFileExW(source.c_str(), target.c_str(),
                     MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH) != 0;
}

// Fails for a file another process holds open without FILE_SHARE_DELETE,
// as a saver holds the temporary file it writes (CreateNew).
bool Remove(const std::string& path) {
  const std::wstring wide = WideFromUtf8(path);
  return !wide.empty() && DeleteFileW(wide.c_str()) != 0;
}

bool MakeFolder(const std::string& path) {
  const std::wstring wide = WideFromUtf8(path);
  if (wide.empty()) return false;
  if (CreateDirectoryW(wide.c_str(), nullptr)) return true;
  const DWORD attributes = GetFileAttributesW(wide.c_str());
  return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
}

}  // namespace

FileOperations WindowsFileOperations() {
  return {&CreateNew, &MayReplace, &Replace, &Remove, &MakeFolder};
}
