#pragma once
#include <array>
#include <cstdint>
#include <cstdio>
#include <string>

struct LifeWorld;

// The two diagnostic files, written into the Windows directory: the log of
// the timing bits that feed the generator (RandBits.txt, run mode 'r') and
// a 1-bit bitmap file of the final world (LifeDump.bmp, when the S key ended
// the saver). Neither is ever read back. A normal user cannot create files
// in the Windows directory since Vista, so a file that cannot be created
// there goes to the per-user folder instead (%LOCALAPPDATA%\Cellarium); no
// folder known or usable, no file. The log holds one character '0' or '1'
// per timing bit, nothing else.

inline constexpr const char* kRandBitsFileName = "RandBits.txt";
inline constexpr const char* kLifeDumpFileName = "LifeDump.bmp";

// Where the Windows directory comes from: the directory without a trailing
// separator, or an empty string when it cannot be found. On Windows
// InstallWindowsStore() installs GetWindowsDirectoryA; tests install a
// temporary folder. Null restores the default, which knows no directory.
using WindowsDirectorySource = std::string (*)();
WindowsDirectorySource SetWindowsDirectorySource(WindowsDirectorySource source);

// The per-user folder the files fall back to, made when missing, or an empty
// string. On Windows InstallWindowsStore() installs %LOCALAPPDATA%\Cellarium;
// null restores the default, which knows no folder.
WindowsDirectorySource SetUserDirectorySource(WindowsDirectorySource source);

// The directory, one backslash, the name. Empty when the directory is
// unknown, so that no file is created somewhere unintended.
std::string DiagnosticFilePath(const char* fileName);
// The same in the per-user folder.
std::string UserDiagnosticFilePath(const char* fileName);

// Opens fileName with the fopen mode: in the Windows directory, else, when
// it cannot be created there, in the per-user folder. Null when neither can.
std::FILE* CreateDiagnosticFile(const char* fileName, const char* mode);

// Opens the random-bit log for writing in text mode, replacing an earlier
// file. Null when the path is empty or the file cannot be created.
std::FILE* OpenRandBitsLog(const std::string& path);
// The same for RandBits.txt where CreateDiagnosticFile puts it.
std::FILE* OpenRandBitsLog();
// Closes the log if it is open and forgets it.
void CloseRandBitsLog(std::FILE*& file);

// LifeDump.bmp layout, all fields little-endian:
//    0  2  "BM"                     14  4  core header size: 12
//    2  4  file size: 32 + pixels   18  2  width:  worldCols
//    6  4  reserved: 0              20  2  height: worldRows (bottom-up)
//   10  4  pixel offset: 32         22  2  planes: 1
//                                   24  2  bits per pixel: 1
//   26  3  colour 0 (blue, green, red): black
//   29  3  colour 1 (blue, green, red): from colour (COLORREF 0x00BBGGRR)
//   32  ... the world's rows of worldCols / 8 bytes, as they lie in memory
inline constexpr int kDumpHeaderBytes = 32;
using DumpHeader = std::array<std::uint8_t, kDumpHeaderBytes>;

// False when the world cannot be described by the format: a size outside
// 1..65535 or not a whole number of 32-bit words per row, or a file size
// beyond signed 32 bits.
bool DumpWorldFits(std::int32_t worldCols, std::int32_t worldRows);

// The 32 bytes before the pixels; only meaningful when DumpWorldFits.
DumpHeader BuildDumpHeader(std::int32_t worldCols, std::int32_t worldRows,
                           std::uint32_t colour);

// Writes the bitmap file at path, opened "wb" (replacing an earlier file).
// Writes nothing when the path is empty, the file cannot be created, bits is
// null or the world does not fit the format. Write errors are ignored.
void DumpWorld(std::int32_t worldCols, std::int32_t worldRows, const std::uint8_t* bits,
               std::uint32_t colour, const std::string& path);

// The saver's dump: world.currentBits into LifeDump.bmp where
// CreateDiagnosticFile puts it.
void DumpWorld(const LifeWorld& world, std::uint32_t colour);
