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
// in the Windows directory since Vista, so a file that cannot be written
// there goes to the per-user folder instead (%LOCALAPPDATA%\Cellarium); no
// folder known or usable, no file. The log holds one character '0' or '1'
// per timing bit, nothing else.
//
// Neither file is ever written in place. Each is written to a new temporary
// file beside it ("<name>.<n>.tmp", n from 0 to 99), every write and the
// close checked, and only a complete file replaces the earlier one, in one
// step. On any failure the temporary file is removed and an earlier file
// stays as it was: a full disk never leaves a truncated dump or log behind.
// A run ended by force leaves its temporary file; the next run that writes
// that file removes such leftovers from both folders first, except those a
// running saver still holds open, so they never use up the names.
//
// Paths are UTF-8 throughout; the Windows back end opens them with the
// wide-character functions, so any user name works.

inline constexpr const char* kRandBitsFileName = "RandBits.txt";
inline constexpr const char* kLifeDumpFileName = "LifeDump.bmp";

// A folder's path without a trailing separator, or an empty string when it
// cannot be found: the Windows directory and the per-user folder each have
// one. The Windows directory's: on Windows InstallWindowsStore() installs
// GetWindowsDirectoryW; tests install a temporary folder. Null restores the
// default, which knows no directory.
using FolderSource = std::string (*)();
FolderSource SetWindowsDirectorySource(FolderSource source);

// The per-user folder the files fall back to, or an empty string. It need not
// exist: it is made (FileOperations::makeFolder) only when a file goes there.
// On Windows InstallWindowsStore() installs %LOCALAPPDATA%\Cellarium; null
// restores the default, which knows no folder.
FolderSource SetUserDirectorySource(FolderSource source);

// The file system as the files need it. The default, for the portable
// build and its tests, uses the C library (rename replaces in one step on
// POSIX systems); InstallWindowsStore() installs the wide-character Win32
// functions. Any member may be replaced by a test to make it fail.
struct FileOperations {
  // Creates the file, which must not exist yet, for binary writing. Null
  // when it exists already or cannot be created.
  std::FILE* (*createNew)(const std::string& path);
  // True when path names no file, or a file this process may overwrite
  // (not a folder, not read-only, not refused).
  bool (*mayReplace)(const std::string& path);
  // Puts the file from in place of the file to, in one step; false when
  // it cannot, and then both are as they were.
  bool (*replace)(const std::string& from, const std::string& to);
  // Deletes a file; false when it cannot. On Windows that includes a file
  // another process holds open (without FILE_SHARE_DELETE, as createNew
  // opens it); POSIX remove deletes an open file too.
  bool (*remove)(const std::string& path);
  // Makes the folder when it is missing; true when it exists afterwards.
  bool (*makeFolder)(const std::string& path);
};
// Installs operations (or the default, given null members) and returns the
// previous ones.
FileOperations SetFileOperations(const FileOperations& operations);
FileOperations DefaultFileOperations();

// The directory, one backslash, the name. Empty when the directory is
// unknown, so that no file is created somewhere unintended.
std::string DiagnosticFilePath(const char* fileName);
// The same in the per-user folder, which is not made here.
std::string UserDiagnosticFilePath(const char* fileName);

// A file being written: a temporary file beside its target that Commit puts
// in the target's place. Owns its stream; destroying it abandons the file.
class PendingFile {
 public:
  PendingFile() = default;
  ~PendingFile() { Abandon(); }
  PendingFile(const PendingFile&) = delete;
  PendingFile& operator=(const PendingFile&) = delete;

  // Starts writing target (a full path): false, with nothing created, when
  // the path is empty, the target cannot be replaced, or no temporary file
  // can be made beside it. A file already being written is abandoned first.
  bool Create(const std::string& target);
  // The temporary file's stream while it is open, else null.
  std::FILE* Stream() const { return file; }
  // Closes the stream; when every write, flush and the close succeeded,
  // replaces the target with it. True when the target now holds exactly
  // what was written; otherwise the temporary file is removed and the
  // target is as it was. Nothing to commit is a failure.
  bool Commit();
  // Closes and removes the temporary file; the target stays as it was.
  void Abandon();

 private:
  std::FILE* file = nullptr;
  std::string temporary;
  std::string target;
};

// Starts the random-bit log: RandBits.txt in the Windows directory, else in
// the per-user folder (made for it). First removes the leftovers of earlier
// runs that no process holds. False, with no log started, when neither
// folder can be written; the saver then runs without one. Written by the
// simulation loop through log.Stream(), made RandBits.txt by log.Commit().
bool OpenRandBitsLog(PendingFile& log);

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

// Writes the bitmap file at path through a PendingFile, so that it replaces
// an earlier file only when complete. False, with nothing changed, when the
// path is empty, bits is null, the world does not fit the format or the
// file cannot be written whole.
bool DumpWorld(std::int32_t worldCols, std::int32_t worldRows, const std::uint8_t* bits,
               std::uint32_t colour, const std::string& path);

// The saver's dump: world.currentBits into LifeDump.bmp in the Windows
// directory, else in the per-user folder (made for it), after removing the
// leftovers of earlier dumps as OpenRandBitsLog does. False when neither
// took it.
bool DumpWorld(const LifeWorld& world, std::uint32_t colour);
