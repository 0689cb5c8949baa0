#include "platform/NamedMutex.h"

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>

namespace platform {

std::string NamedMutexPath(const std::string& name) {
    const char* runtime = std::getenv("XDG_RUNTIME_DIR");
    std::string folder = runtime && *runtime ? runtime : "/tmp";
    std::string file = name;
    for (char& c : file) {
        if (c == '/') c = '_';
    }
    return folder + "/" + file + ".lock";
}

NamedMutexResult CreateNamedMutex(const std::string& name) {
    int fd = open(NamedMutexPath(name).c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0666);
    if (fd < 0) return NamedMutexResult::Failed;
    if (flock(fd, LOCK_EX | LOCK_NB) != 0) {
        int error = errno;
        close(fd);
        return error == EWOULDBLOCK ? NamedMutexResult::AlreadyExists : NamedMutexResult::Failed;
    }
    // The descriptor stays open: the lock lasts as long as the process.
    return NamedMutexResult::Created;
}

}  // namespace platform
