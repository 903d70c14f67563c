#include "store/diagnostic_files.h"

#include <cerrno>
#include <cstddef>
#include <cstdio>
#include <filesystem>
#include <system_error>

#include "engine/life_world.h"

namespace {

std::string NoDirectory() { return std::string(); }

FolderSource directorySource = &NoDirectory;
FolderSource userDirectorySource = &NoDirectory;

// The default file operations. POSIX rename replaces its target in one
// step. On Windows, where only the core's tests use these (the program
// installs the Win32 ones), the C library can neither create exclusively
// nor rename over a file, so both take two steps there.
std::FILE* CreateNewWithTheCLibrary(const std::string& path) {
#if defined(_WIN32)
  if (std::FILE* existing = std::fopen(path.c_str(), "rb")) {
    std::fclose(existing);
    return nullptr;
  }
  return std::fopen(path.c_str(), "wb");
#else
  return std::fopen(path.c_str(), "wbx");
#endif
}

bool MayReplaceWithTheCLibrary(const std::string& path) {
  errno = 0;
  if (std::FILE* existing = std::fopen(path.c_str(), "r+b")) {
    std::fclose(existing);
    return true;
  }
  return errno == ENOENT;
}

bool ReplaceWithTheCLibrary(const std::string& from, const std::string& to) {
#if defined(_WIN32)
  std::remove(to.c_str());
#endif
  return std::rename(from.c_str(), to.c_str()) == 0;
}

bool RemoveWithTheCLibrary(const std::string& path) { return std::remove(path.c_str()) == 0; }

bool MakeFolderWithTheCLibrary(const std::string& path) {
  std::error_code ignored;
  std::filesystem::create_directory(path, ignored);
  return std::filesystem::is_directory(path, ignored);
}

FileOperations fileOperations = DefaultFileOperations();

// Temporary names tried beside a target: "<target>.0.tmp" to ".99.tmp".
// Taken are only those of savers writing that file now and the leftovers
// of killed runs that remain held; then the per-user folder takes the file.
constexpr int kTemporaryNames = 100;

std::string TemporaryName(const std::string& target, int n) {
  return target + "." + std::to_string(n) + ".tmp";
}

std::string JoinPath(std::string directory, const char* fileName) {
  if (directory.empty()) return directory;
  directory += '\\';
  directory += fileName;
  return directory;
}

// Deletes every temporary name of the target that can be deleted. A saver
// writing one holds it open, and Windows refuses to delete that; only in the
// moment between such a saver's close and its replacement is its file
// unheld, and a removal then fails that replacement as a full disk would:
// its Commit is false and the target stays as it was.
void RemoveLeftovers(const std::string& target) {
  if (target.empty()) return;
  for (int n = 0; n < kTemporaryNames; ++n) fileOperations.remove(TemporaryName(target, n));
}

void RemoveLeftoversInBothFolders(const char* fileName) {
  RemoveLeftovers(DiagnosticFilePath(fileName));
  RemoveLeftovers(UserDiagnosticFilePath(fileName));
}

// The file's path in the per-user folder, made for it, or empty.
std::string UserTarget(const char* fileName) {
  const std::string folder = userDirectorySource();
  if (folder.empty() || !fileOperations.makeFolder(folder)) return std::string();
  return JoinPath(folder, fileName);
}

void PutLittleEndian(std::uint8_t* p, std::uint32_t value, int bytes) {
  for (int i = 0; i < bytes; ++i) p[i] = static_cast<std::uint8_t>(value >> (8 * i));
}

constexpr std::int64_t kMaxDumpSide = 65535;  // 16-bit width and height

std::int64_t PixelBytes(std::int32_t worldCols, std::int32_t worldRows) {
  return std::int64_t{worldCols} / 8 * worldRows;
}

}  // namespace

FolderSource SetWindowsDirectorySource(FolderSource source) {
  FolderSource previous = directorySource;
  directorySource = source != nullptr ? source : &NoDirectory;
  return previous;
}

FolderSource SetUserDirectorySource(FolderSource source) {
  FolderSource previous = userDirectorySource;
  userDirectorySource = source != nullptr ? source : &NoDirectory;
  return previous;
}

FileOperations DefaultFileOperations() {
  return {&CreateNewWithTheCLibrary, &MayReplaceWithTheCLibrary, &ReplaceWithTheCLibrary,
          &RemoveWithTheCLibrary, &MakeFolderWithTheCLibrary};
}

FileOperations SetFileOperations(const FileOperations& operations) {
  const FileOperations previous = fileOperations;
  const FileOperations fallback = DefaultFileOperations();
  fileOperations = {
      operations.createNew != nullptr ? operations.createNew : fallback.createNew,
      operations.mayReplace != nullptr ? operations.mayReplace : fallback.mayReplace,
      operations.replace != nullptr ? operations.replace : fallback.replace,
      operations.remove != nullptr ? operations.remove : fallback.remove,
      operations.makeFolder != nullptr ? operations.makeFolder : fallback.makeFolder};
  return previous;
}

std::string DiagnosticFilePath(const char* fileName) {
  return JoinPath(directorySource(), fileName);
}

std::string UserDiagnosticFilePath(const char* fileName) {
  return JoinPath(userDirectorySource(), fileName);
}

bool PendingFile::Create(const std::string& targetPath) {
  Abandon();
  if (targetPath.empty() || !fileOperations.mayReplace(targetPath)) return false;
  for (int n = 0; n < kTemporaryNames && file == nullptr; ++n) {
    temporary = TemporaryName(targetPath, n);
    file = fileOperations.createNew(temporary);
  }
  if (file == nullptr) return false;
  target = targetPath;
  return true;
}

bool PendingFile::Commit() {
  if (file == nullptr) return false;
  // A write error is sticky in the stream; the flush and the close report
  // what the buffer could not put on the disk.
  bool written = std::fflush(file) == 0 && std::ferror(file) == 0;
  written = std::fclose(file) == 0 && written;
  file = nullptr;
  if (written && fileOperations.replace(temporary, target)) return true;
  fileOperations.remove(temporary);
  return false;
}

void PendingFile::Abandon() {
  if (file == nullptr) return;
  std::fclose(file);
  file = nullptr;
  fileOperations.remove(temporary);
}

bool OpenRandBitsLog(PendingFile& log) {
  RemoveLeftoversInBothFolders(kRandBitsFileName);
  return log.Create(DiagnosticFilePath(kRandBitsFileName)) ||
         log.Create(UserTarget(kRandBitsFileName));
}

bool DumpWorldFits(std::int32_t worldCols, std::int32_t worldRows) {
  if (worldCols < 1 || worldCols > kMaxDumpSide || worldCols % 32 != 0) return false;
  if (worldRows < 1 || worldRows > kMaxDumpSide) return false;
  return kDumpHeaderBytes + PixelBytes(worldCols, worldRows) <= INT32_MAX;
}

DumpHeader BuildDumpHeader(std::int32_t worldCols, std::int32_t worldRows,
                           std::uint32_t colour) {
  DumpHeader h{};
  // File header.
  h[0] = 'B';
  h[1] = 'M';
  const auto fileSize =
      static_cast<std::int32_t>(kDumpHeaderBytes + PixelBytes(worldCols, worldRows));
  PutLittleEndian(&h[2], static_cast<std::uint32_t>(fileSize), 4);
  PutLittleEndian(&h[10], kDumpHeaderBytes, 4);
  // Core header.
  PutLittleEndian(&h[14], 12, 4);
  PutLittleEndian(&h[18], static_cast<std::uint32_t>(worldCols), 2);
  PutLittleEndian(&h[20], static_cast<std::uint32_t>(worldRows), 2);
  PutLittleEndian(&h[22], 1, 2);
  PutLittleEndian(&h[24], 1, 2);
  // Colour 0 stays black; colour 1 is blue, green, red of 0x00BBGGRR.
  h[29] = static_cast<std::uint8_t>(colour >> 16);
  h[30] = static_cast<std::uint8_t>(colour >> 8);
  h[31] = static_cast<std::uint8_t>(colour);
  return h;
}

bool DumpWorld(std::int32_t worldCols, std::int32_t worldRows, const std::uint8_t* bits,
               std::uint32_t colour, const std::string& path) {
  if (bits == nullptr || !DumpWorldFits(worldCols, worldRows)) return false;
  PendingFile dump;
  if (!dump.Create(path)) return false;
  const DumpHeader header = BuildDumpHeader(worldCols, worldRows, colour);
  const auto pixelBytes = static_cast<std::size_t>(PixelBytes(worldCols, worldRows));
  if (std::fwrite(header.data(), 1, header.size(), dump.Stream()) != header.size() ||
      std::fwrite(bits, 1, pixelBytes, dump.Stream()) != pixelBytes) {
    return false;  // abandoned as it goes
  }
  return dump.Commit();
}

bool DumpWorld(const LifeWorld& world, std::uint32_t colour) {
  const auto dump = [&](const std::string& path) {
    return DumpWorld(world.worldCols, world.worldRows, world.currentBits, colour, path);
  };
  RemoveLeftoversInBothFolders(kLifeDumpFileName);
  return dump(DiagnosticFilePath(kLifeDumpFileName)) || dump(UserTarget(kLifeDumpFileName));
}
