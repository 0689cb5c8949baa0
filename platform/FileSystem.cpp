#include "platform/FileSystem.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <algorithm>
#include <climits>
#include <cstdlib>
#include <vector>

#include "platform/File.h"

namespace platform {
namespace {

bool IsSeparator(char c) { return c == '\\' || c == '/'; }

bool EqualIgnoringAsciiCase(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) return false;
    for (size_t i = 0; i < a.size(); ++i) {
        char x = a[i], y = b[i];
        if (x >= 'A' && x <= 'Z') x = static_cast<char>(x - 'A' + 'a');
        if (y >= 'A' && y <= 'Z') y = static_cast<char>(y - 'A' + 'a');
        if (x != y) return false;
    }
    return true;
}

bool EntryExists(const std::string& path) {
    struct stat info {};
    return lstat(path.c_str(), &info) == 0;
}

// The spelling on disk of `name` inside `folder`, or nothing when absent.
std::optional<std::string> FindEntry(const std::string& folder, const std::string& name) {
    std::string candidate = folder.empty() ? name : folder + "/" + name;
    if (folder == "/") candidate = "/" + name;
    if (EntryExists(candidate)) return name;
    DIR* dir = opendir(folder.empty() ? "." : folder.c_str());
    if (!dir) return std::nullopt;
    std::optional<std::string> found;
    while (dirent* entry = readdir(dir)) {
        if (EqualIgnoringAsciiCase(entry->d_name, name)) {
            found = entry->d_name;
            break;
        }
    }
    closedir(dir);
    return found;
}

// The file creation mask, read without changing it: umask() itself would set it for
// every thread of the process for a moment.
mode_t ProcessUmask() {
    static const mode_t mask = [] {
        std::optional<std::string> status = ReadWholeFile("/proc/self/status", 1 << 16);
        size_t at = status ? status->find("Umask:") : std::string::npos;
        if (at == std::string::npos) return static_cast<mode_t>(022);
        return static_cast<mode_t>(std::strtoul(status->c_str() + at + 6, nullptr, 8));
    }();
    return mask;
}

std::string Join(const std::string& folder, const std::string& name) {
    if (folder.empty()) return name;
    if (folder == "/") return "/" + name;
    return folder + "/" + name;
}

}  // namespace

std::string ToNativePath(std::string_view path) {
    std::string result;
    bool absolute = !path.empty() && IsSeparator(path.front());
    if (absolute) result = "/";
    bool parentExists = true;
    size_t start = 0;
    while (start <= path.size()) {
        size_t end = start;
        while (end < path.size() && !IsSeparator(path[end])) ++end;
        std::string component(path.substr(start, end - start));
        start = end + 1;
        if (component.empty()) {
            if (end >= path.size()) break;
            continue;
        }
        if (component == "." || component == "..") {
            result = Join(result, component);
        } else if (parentExists) {
            std::optional<std::string> found = FindEntry(result, component);
            parentExists = found.has_value();
            result = Join(result, found ? *found : component);
        } else {
            result = Join(result, component);
        }
        if (end >= path.size()) break;
    }
    if (result.empty()) result = ".";
    return result;
}

bool PathExists(std::string_view path) {
    struct stat info {};
    return stat(ToNativePath(path).c_str(), &info) == 0;
}

bool FolderExists(std::string_view path) {
    struct stat info {};
    return stat(ToNativePath(path).c_str(), &info) == 0 && S_ISDIR(info.st_mode);
}

bool RegularFileExists(std::string_view path) {
    struct stat info {};
    return stat(ToNativePath(path).c_str(), &info) == 0 && S_ISREG(info.st_mode);
}

std::optional<uint64_t> FileSize(std::string_view path) {
    struct stat info {};
    if (stat(ToNativePath(path).c_str(), &info) != 0 || !S_ISREG(info.st_mode)) return std::nullopt;
    return static_cast<uint64_t>(info.st_size);
}

bool RemoveFile(std::string_view path) { return unlink(ToNativePath(path).c_str()) == 0; }

bool MakeFolder(std::string_view path) { return mkdir(ToNativePath(path).c_str(), 0777) == 0; }

bool SetFileAttributes(std::string_view path, uint32_t attributes) {
    std::string native = ToNativePath(path);
    struct stat info {};
    if (stat(native.c_str(), &info) != 0) return false;
    mode_t mode = info.st_mode & 07777;
    if (attributes & kAttributeReadOnly) {
        mode &= static_cast<mode_t>(~(S_IWUSR | S_IWGRP | S_IWOTH));
    } else {
        mode |= static_cast<mode_t>((S_IWUSR | S_IWGRP | S_IWOTH) & ~ProcessUmask()) | S_IWUSR;
    }
    return chmod(native.c_str(), mode) == 0;
}

bool SetFileWriteTime(std::string_view path, std::time_t lastWrite) {
    timespec times[2];
    times[0].tv_sec = 0;
    times[0].tv_nsec = UTIME_NOW;
    times[1].tv_sec = lastWrite;
    times[1].tv_nsec = 0;
    return utimensat(AT_FDCWD, ToNativePath(path).c_str(), times, 0) == 0;
}

bool SyncFolder(std::string_view folder) {
    int fd = open(ToNativePath(folder.empty() ? "." : folder).c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0) return false;
    bool ok = fsync(fd) == 0;
    close(fd);
    return ok;
}

std::string ParentFolder(std::string_view nativePath) {
    size_t slash = nativePath.find_last_of('/');
    if (slash == std::string_view::npos) return ".";
    if (slash == 0) return "/";
    return std::string(nativePath.substr(0, slash));
}

bool WriteFileAtomically(std::string_view path, std::string_view content) {
    std::string native = ToNativePath(path);
    std::string folder = ParentFolder(native);
    // One fixed name: a copy that a crash left behind is simply overwritten next time.
    std::string temporary = native + ".partial";
    struct stat old {};
    mode_t mode = stat(native.c_str(), &old) == 0 ? (old.st_mode & 07777) : 0644;
    int fd = open(temporary.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC | O_NOFOLLOW, mode);
    if (fd < 0) return false;
    fchmod(fd, mode);
    size_t written = 0;
    while (written < content.size()) {
        ssize_t n = write(fd, content.data() + written, content.size() - written);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) break;
        written += static_cast<size_t>(n);
    }
    bool ok = written == content.size() && fsync(fd) == 0;
    ok = close(fd) == 0 && ok;
    if (ok) ok = rename(temporary.c_str(), native.c_str()) == 0;
    if (!ok) {
        unlink(temporary.c_str());
        return false;
    }
    SyncFolder(folder);
    return true;
}

std::optional<std::string> ReadWholeFile(std::string_view path, uint64_t limit) {
    CFile file;
    if (!file.Open(path, CFile::Mode::Read)) return std::nullopt;
    std::string content;
    char buffer[65536];
    while (content.size() < limit) {
        size_t want = static_cast<size_t>(std::min<uint64_t>(sizeof buffer, limit - content.size()));
        size_t n = file.Read(buffer, want);
        content.append(buffer, n);
        if (n < want) break;
    }
    return content;
}

std::string CurrentFolder() {
    std::vector<char> buffer(PATH_MAX);
    if (!getcwd(buffer.data(), buffer.size())) return ".";
    return buffer.data();
}

std::string ExecutableFolder() {
    std::vector<char> buffer(PATH_MAX);
    ssize_t n = readlink("/proc/self/exe", buffer.data(), buffer.size() - 1);
    if (n <= 0) return ".";
    return ParentFolder(std::string_view(buffer.data(), static_cast<size_t>(n)));
}

}  // namespace platform
