#pragma once
// Files and folders as the launcher sees them: paths use '\' (or '/') inside the
// program and every component is matched against the disk without regard to the
// case of A-Z, the way the game's own platform does.
#include <cstdint>
#include <ctime>
#include <optional>
#include <string>
#include <string_view>

namespace platform {

// Windows file attribute bits that have a meaning here.
constexpr uint32_t kAttributeReadOnly = 0x01;
constexpr uint32_t kAttributeDirectory = 0x10;

// Turns a program path into the path to hand to the OS: separators become '/',
// each existing component takes the spelling found on disk, new ones keep theirs.
std::string ToNativePath(std::string_view path);

bool PathExists(std::string_view path);
bool FolderExists(std::string_view path);
bool RegularFileExists(std::string_view path);
std::optional<uint64_t> FileSize(std::string_view path);
bool RemoveFile(std::string_view path);
bool MakeFolder(std::string_view path);

// Read-only maps to the write permission bits; the other bits are ignored.
bool SetFileAttributes(std::string_view path, uint32_t attributes);
// Last access becomes now, last write the given time.
bool SetFileWriteTime(std::string_view path, std::time_t lastWrite);

// Flushes a folder's entries (after a rename or a new file in it).
bool SyncFolder(std::string_view folder);
// Replaces a file by a fully written, flushed copy; a crash leaves old or new.
bool WriteFileAtomically(std::string_view path, std::string_view content);
std::optional<std::string> ReadWholeFile(std::string_view path, uint64_t limit = UINT64_MAX);

std::string CurrentFolder();
std::string ExecutableFolder();
std::string ParentFolder(std::string_view nativePath);

}  // namespace platform
