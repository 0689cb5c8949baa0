#include "platform/NamedMutex.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>

#include "platform/FileSystem.h"

namespace platform {
namespace {

constexpr const char* kSharedTemporaryFolder = "/tmp";

// Closes the descriptor unless it is released to live on.
class CDescriptor {
public:
    explicit CDescriptor(int fd) : m_fd(fd) {}
    ~CDescriptor() {
        if (m_fd >= 0) close(m_fd);
    }
    CDescriptor(const CDescriptor&) = delete;
    CDescriptor& operator=(const CDescriptor&) = delete;
    int Get() const { return m_fd; }
    void Release() { m_fd = -1; }

private:
    int m_fd;
};

std::string LockFileName(const std::string& name) {
    std::string file = name;
    for (char& c : file) {
        if (c == '/') c = '_';
    }
    return file + ".lock";
}

std::optional<std::string> LockFolderPath() {
    const char* runtime = std::getenv("XDG_RUNTIME_DIR");
    if (runtime && *runtime) return std::string(runtime);
    return PrivateFolderBelow(kSharedTemporaryFolder);
}

// Holds the lock on `fd` for the rest of the process's life.
NamedMutexResult HoldLock(CDescriptor& fd) {
    if (flock(fd.Get(), LOCK_EX | LOCK_NB) != 0)
        return errno == EWOULDBLOCK ? NamedMutexResult::AlreadyExists : NamedMutexResult::Failed;
    fd.Release();
    return NamedMutexResult::Created;
}

}  // namespace

std::optional<std::string> PrivateFolderBelow(const std::string& base) {
    std::string folder = base + "/velmor-" + std::to_string(geteuid());
    if (mkdir(folder.c_str(), 0700) != 0 && errno != EEXIST) return std::nullopt;
    CDescriptor fd(open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC));
    struct stat info {};
    if (fd.Get() < 0 || fstat(fd.Get(), &info) != 0 || info.st_uid != geteuid()) return std::nullopt;
    // Ours, so nobody else can rename it away in the sticky /tmp; nobody else may enter it either.
    if ((info.st_mode & 077) != 0 && fchmod(fd.Get(), 0700) != 0) return std::nullopt;
    return folder;
}

std::optional<std::string> NamedMutexPath(const std::string& name) {
    std::optional<std::string> folder = LockFolderPath();
    if (!folder) return std::nullopt;
    return *folder + "/" + LockFileName(name);
}

NamedMutexResult CreateNamedMutex(const std::string& name) {
    std::optional<std::string> path = NamedMutexPath(name);
    if (!path) return NamedMutexResult::Failed;
    CDescriptor fd(open(path->c_str(), O_RDWR | O_CREAT | O_NOFOLLOW | O_CLOEXEC, 0600));
    struct stat info {};
    if (fd.Get() < 0 || fstat(fd.Get(), &info) != 0 || !S_ISREG(info.st_mode)) return NamedMutexResult::Failed;
    return HoldLock(fd);
}

NamedMutexResult LockFolder(const std::string& folder) {
    CDescriptor fd(open(ToNativePath(folder).c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (fd.Get() < 0) return NamedMutexResult::Failed;
    return HoldLock(fd);
}

}  // namespace platform
