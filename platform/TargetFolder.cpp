#include "platform/TargetFolder.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

#include "platform/FileSystem.h"

namespace platform {
namespace {

bool IsSeparator(char c) { return c == '\\' || c == '/'; }

std::string Folded(std::string_view name) {
    std::string folded(name);
    for (char& c : folded) {
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    }
    return folded;
}

std::string Join(const std::string& folder, std::string_view name) {
    std::string path = folder;
    if (path.empty() || path.back() != '/') path += '/';
    path += name;
    return path;
}

// Splits a native path below `root` into its folder and last name.
bool SplitLast(const std::string& path, std::string& folder, std::string& name) {
    size_t slash = path.find_last_of('/');
    if (slash == std::string::npos) return false;
    folder = slash == 0 ? "/" : path.substr(0, slash);
    name = path.substr(slash + 1);
    return !name.empty();
}

}  // namespace

COutputFile::~COutputFile() { Close(); }

bool COutputFile::Write(const void* buffer, size_t count) {
    const auto* bytes = static_cast<const char*>(buffer);
    while (count > 0) {
        ssize_t written = write(m_nDescriptor, bytes, count);
        if (written < 0 && errno == EINTR) continue;
        if (written <= 0) {
            m_nLastError = written < 0 ? errno : ENOSPC;
            return false;
        }
        bytes += written;
        count -= static_cast<size_t>(written);
    }
    return true;
}

bool COutputFile::Close() {
    if (m_nDescriptor < 0) return true;
    bool ok = close(m_nDescriptor) == 0;
    if (!ok) m_nLastError = errno;
    m_nDescriptor = -1;
    return ok;
}

CTargetFolder::CTargetFolder(std::string_view root) : m_root(root), m_nativeRoot(ToNativePath(root)) {}

CTargetFolder::Listing* CTargetFolder::ListingOf(const std::string& nativeFolder) {
    auto found = m_listings.find(nativeFolder);
    if (found != m_listings.end()) return &found->second;
    DIR* dir = opendir(nativeFolder.c_str());
    if (!dir) return nullptr;
    Listing& listing = m_listings[nativeFolder];
    while (dirent* entry = readdir(dir)) {
        std::string name = entry->d_name;
        if (name == "." || name == "..") continue;
        Kind kind = entry->d_type == DT_DIR ? Kind::Folder : entry->d_type == DT_LNK ? Kind::Link : Kind::Other;
        if (entry->d_type == DT_UNKNOWN) {
            struct stat info {};
            if (lstat(Join(nativeFolder, name).c_str(), &info) == 0) {
                kind = S_ISDIR(info.st_mode) ? Kind::Folder : S_ISLNK(info.st_mode) ? Kind::Link : Kind::Other;
            }
        }
        listing.folded.emplace(Folded(name), name);
        listing.names.emplace(std::move(name), kind);
    }
    closedir(dir);
    return &listing;
}

void CTargetFolder::Remember(const std::string& nativeFolder, const std::string& name, Kind kind) {
    Listing* listing = ListingOf(nativeFolder);
    if (!listing) return;
    listing->names[name] = kind;
    listing->folded.emplace(Folded(name), name);
    if (kind == Kind::Folder) m_listings.try_emplace(Join(nativeFolder, name));
}

CTargetFolder::Resolved CTargetFolder::Resolve(std::string_view relative) {
    Resolved resolved{m_nativeRoot, false};
    bool existing = true;
    size_t start = 0;
    while (start < relative.size()) {
        size_t end = start;
        while (end < relative.size() && !IsSeparator(relative[end])) ++end;
        std::string_view component = relative.substr(start, end - start);
        start = end + 1;
        if (component.empty()) continue;
        std::string spelling(component);
        Listing* listing = existing ? ListingOf(resolved.native) : nullptr;
        existing = false;
        if (listing) {
            auto exact = listing->names.find(spelling);
            if (exact == listing->names.end()) {
                auto folded = listing->folded.find(Folded(spelling));
                if (folded != listing->folded.end()) {
                    spelling = folded->second;
                    exact = listing->names.find(spelling);
                }
            }
            if (exact != listing->names.end()) {
                existing = true;
                if (exact->second == Kind::Link) resolved.crossesLink = true;
            }
        }
        resolved.native = Join(resolved.native, spelling);
    }
    return resolved;
}

bool CTargetFolder::MakeRoot() {
    if (ListingOf(m_nativeRoot)) return true;
    // The root and its parents, resolved and made the ordinary way once.
    std::string path;
    for (size_t at = 0; at <= m_nativeRoot.size(); ++at) {
        if (at != m_nativeRoot.size() && m_nativeRoot[at] != '/') continue;
        path = m_nativeRoot.substr(0, at);
        if (path.empty()) continue;
        struct stat info {};
        if (stat(path.c_str(), &info) == 0) {
            if (!S_ISDIR(info.st_mode)) return false;
        } else if (mkdir(path.c_str(), 0777) != 0 && errno != EEXIST) {
            return false;
        }
    }
    return ListingOf(m_nativeRoot) != nullptr;
}

bool CTargetFolder::MakeFolders(const std::string& nativeFolder) {
    if (!MakeRoot()) return false;
    if (nativeFolder.compare(0, m_nativeRoot.size(), m_nativeRoot) != 0) return false;
    std::string folder = m_nativeRoot;
    size_t start = m_nativeRoot.size();
    while (start < nativeFolder.size()) {
        while (start < nativeFolder.size() && nativeFolder[start] == '/') ++start;
        size_t end = nativeFolder.find('/', start);
        if (end == std::string::npos) end = nativeFolder.size();
        if (end == start) break;
        std::string name = nativeFolder.substr(start, end - start);
        start = end;
        Listing* listing = ListingOf(folder);
        if (!listing) return false;
        auto found = listing->names.find(name);
        std::string path = Join(folder, name);
        if (found == listing->names.end()) {
            if (mkdir(path.c_str(), 0777) != 0) {
                struct stat info {};
                if (errno != EEXIST || lstat(path.c_str(), &info) != 0 || !S_ISDIR(info.st_mode)) return false;
            }
            Remember(folder, name, Kind::Folder);
        } else if (found->second != Kind::Folder) {
            return false;
        }
        folder = path;
    }
    return true;
}

bool CTargetFolder::CreateFile(COutputFile& file, const std::string& nativePath) {
    file.Close();
    constexpr int kFlags = O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC | O_NOFOLLOW;
    file.m_nDescriptor = open(nativePath.c_str(), kFlags, 0666);
    if (file.m_nDescriptor < 0 && errno == EACCES) {
        struct stat info {};
        if (lstat(nativePath.c_str(), &info) == 0 && S_ISREG(info.st_mode) && chmod(nativePath.c_str(), (info.st_mode & 07777) | S_IWUSR) == 0) {
            file.m_nDescriptor = open(nativePath.c_str(), kFlags, 0666);
        } else {
            errno = EACCES;
        }
    }
    if (file.m_nDescriptor < 0) {
        file.m_nLastError = errno;
        return false;
    }
    std::string folder, name;
    if (SplitLast(nativePath, folder, name)) Remember(folder, name, Kind::Other);
    return true;
}

bool CTargetFolder::SetWriteTime(const std::string& nativePath, std::time_t lastWrite) {
    timespec times[2];
    times[0].tv_sec = 0;
    times[0].tv_nsec = UTIME_NOW;
    times[1].tv_sec = lastWrite;
    times[1].tv_nsec = 0;
    return utimensat(AT_FDCWD, nativePath.c_str(), times, AT_SYMLINK_NOFOLLOW) == 0;
}

bool CTargetFolder::SetAttributes(const std::string& nativePath, uint32_t attributes) {
    struct stat info {};
    if (lstat(nativePath.c_str(), &info) != 0 || S_ISLNK(info.st_mode)) return false;
    mode_t mode = info.st_mode & 07777;
    mode_t wanted = (attributes & kAttributeReadOnly) ? mode & static_cast<mode_t>(~(S_IWUSR | S_IWGRP | S_IWOTH))
                                                      : mode | S_IWUSR;
    return wanted == mode || chmod(nativePath.c_str(), wanted) == 0;
}

}  // namespace platform
