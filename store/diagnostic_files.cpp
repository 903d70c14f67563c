#include "store/diagnostic_files.h"

#include <cstddef>

#include "engine/life_world.h"

namespace {

std::string NoDirectory() { return std::string(); }

WindowsDirectorySource directorySource = &NoDirectory;
WindowsDirectorySource userDirectorySource = &NoDirectory;

// Text and binary are one mode outside Windows.
#if defined(_WIN32)
constexpr const char* kTextWrite = "wt";
#else
constexpr const char* kTextWrite = "w";
#endif

std::string JoinPath(std::string directory, const char* fileName) {
  if (directory.empty()) return directory;
  directory += '\\';
  directory += fileName;
  return directory;
}

std::FILE* OpenPath(const std::string& path, const char* mode) {
  return path.empty() ? nullptr : std::fopen(path.c_str(), mode);
}

void PutLittleEndian(std::uint8_t* p, std::uint32_t value, int bytes) {
  for (int i = 0; i < bytes; ++i) p[i] = static_cast<std::uint8_t>(value >> (8 * i));
}

constexpr std::int64_t kMaxDumpSide = 65535;  // 16-bit width and height

std::int64_t PixelBytes(std::int32_t worldCols, std::int32_t worldRows) {
  return std::int64_t{worldCols} / 8 * worldRows;
}

}  // namespace

WindowsDirectorySource SetWindowsDirectorySource(WindowsDirectorySource source) {
  WindowsDirectorySource previous = directorySource;
  directorySource = source != nullptr ? source : &NoDirectory;
  return previous;
}

WindowsDirectorySource SetUserDirectorySource(WindowsDirectorySource source) {
  WindowsDirectorySource previous = userDirectorySource;
  userDirectorySource = source != nullptr ? source : &NoDirectory;
  return previous;
}

std::string DiagnosticFilePath(const char* fileName) {
  return JoinPath(directorySource(), fileName);
}

std::string UserDiagnosticFilePath(const char* fileName) {
  return JoinPath(userDirectorySource(), fileName);
}

std::FILE* CreateDiagnosticFile(const char* fileName, const char* mode) {
  std::FILE* file = OpenPath(DiagnosticFilePath(fileName), mode);
  if (file == nullptr) file = OpenPath(UserDiagnosticFilePath(fileName), mode);
  return file;
}

std::FILE* OpenRandBitsLog(const std::string& path) { return OpenPath(path, kTextWrite); }

std::FILE* OpenRandBitsLog() { return CreateDiagnosticFile(kRandBitsFileName, kTextWrite); }

void CloseRandBitsLog(std::FILE*& file) {
  if (file != nullptr) std::fclose(file);
  file = nullptr;
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

namespace {

// Writes the dump into file, opened by open once the world is known to fit.
template <typename Open>
void WriteDump(std::int32_t worldCols, std::int32_t worldRows, const std::uint8_t* bits,
               std::uint32_t colour, Open open) {
  if (bits == nullptr || !DumpWorldFits(worldCols, worldRows)) return;
  std::FILE* file = open();
  if (file == nullptr) return;
  const DumpHeader header = BuildDumpHeader(worldCols, worldRows, colour);
  std::fwrite(header.data(), 1, header.size(), file);
  std::fwrite(bits, 1, static_cast<std::size_t>(PixelBytes(worldCols, worldRows)), file);
  std::fclose(file);
}

}  // namespace

void DumpWorld(std::int32_t worldCols, std::int32_t worldRows, const std::uint8_t* bits,
               std::uint32_t colour, const std::string& path) {
  WriteDump(worldCols, worldRows, bits, colour, [&] { return OpenPath(path, "wb"); });
}

void DumpWorld(const LifeWorld& world, std::uint32_t colour) {
  WriteDump(world.worldCols, world.worldRows, world.currentBits, colour,
            [] { return CreateDiagnosticFile(kLifeDumpFileName, "wb"); });
}
