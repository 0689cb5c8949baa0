#include "platform/File.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <string>
#include <utility>

#include "platform/FileSystem.h"

namespace platform {

CFile::~CFile() { Close(); }

CFile::CFile(CFile&& other) noexcept
    : m_nDescriptor(std::exchange(other.m_nDescriptor, -1)), m_nLastError(other.m_nLastError) {}

CFile& CFile::operator=(CFile&& other) noexcept {
    if (this != &other) {
        Close();
        m_nDescriptor = std::exchange(other.m_nDescriptor, -1);
        m_nLastError = other.m_nLastError;
    }
    return *this;
}

bool CFile::Open(std::string_view path, Mode mode) {
    Close();
    int flags = O_CLOEXEC;
    switch (mode) {
        case Mode::Read: flags |= O_RDONLY; break;
        case Mode::ReadWrite: flags |= O_RDWR; break;
        case Mode::Create: flags |= O_WRONLY | O_CREAT | O_TRUNC; break;
        case Mode::CreateReadWrite: flags |= O_RDWR | O_CREAT | O_TRUNC; break;
        case Mode::Append: flags |= O_RDWR | O_APPEND; break;
    }
    std::string native = ToNativePath(path);
    do {
        m_nDescriptor = open(native.c_str(), flags, 0666);
    } while (m_nDescriptor < 0 && errno == EINTR);
    if (m_nDescriptor < 0) {
        m_nLastError = errno;
        return false;
    }
    struct stat info {};
    if (fstat(m_nDescriptor, &info) == 0 && S_ISDIR(info.st_mode)) {
        Close();
        m_nLastError = EISDIR;
        return false;
    }
    return true;
}

bool CFile::Close() {
    if (m_nDescriptor < 0) return true;
    bool ok = close(m_nDescriptor) == 0;
    if (!ok) m_nLastError = errno;
    m_nDescriptor = -1;
    return ok;
}

namespace {

// Repeats `step` (one call for what is left after `done` bytes) until `count`
// bytes are through, the call fails, or it moves nothing; a call that moves
// nothing is an error only where `nothingMoved` names one (a write's full disk).
template <typename Step>
size_t Repeat(size_t count, int nothingMoved, int& lastError, Step step) {
    size_t done = 0;
    while (done < count) {
        ssize_t n = step(done);
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) lastError = errno;
        if (n == 0 && nothingMoved != 0) lastError = nothingMoved;
        if (n <= 0) break;
        done += static_cast<size_t>(n);
    }
    return done;
}

}  // namespace

size_t CFile::Read(void* buffer, size_t count) {
    auto* bytes = static_cast<char*>(buffer);
    return Repeat(count, 0, m_nLastError,
                  [&](size_t done) { return read(m_nDescriptor, bytes + done, count - done); });
}

bool CFile::Write(const void* buffer, size_t count) {
    const auto* bytes = static_cast<const char*>(buffer);
    return Repeat(count, ENOSPC, m_nLastError,
                  [&](size_t done) { return write(m_nDescriptor, bytes + done, count - done); }) == count;
}

size_t CFile::ReadAt(void* buffer, size_t count, uint64_t position) {
    auto* bytes = static_cast<char*>(buffer);
    return Repeat(count, 0, m_nLastError, [&](size_t done) {
        return pread(m_nDescriptor, bytes + done, count - done, static_cast<off_t>(position + done));
    });
}

bool CFile::WriteAt(const void* buffer, size_t count, uint64_t position) {
    const auto* bytes = static_cast<const char*>(buffer);
    return Repeat(count, ENOSPC, m_nLastError, [&](size_t done) {
               return pwrite(m_nDescriptor, bytes + done, count - done, static_cast<off_t>(position + done));
           }) == count;
}

bool CFile::Seek(uint64_t position) {
    if (position > static_cast<uint64_t>(INT64_MAX) ||
        lseek(m_nDescriptor, static_cast<off_t>(position), SEEK_SET) < 0) {
        m_nLastError = errno ? errno : EINVAL;
        return false;
    }
    return true;
}

bool CFile::SeekRelative(int64_t delta) {
    if (lseek(m_nDescriptor, static_cast<off_t>(delta), SEEK_CUR) < 0) {
        m_nLastError = errno;
        return false;
    }
    return true;
}

std::optional<uint64_t> CFile::SeekToEnd() {
    off_t end = lseek(m_nDescriptor, 0, SEEK_END);
    if (end < 0) {
        m_nLastError = errno;
        return std::nullopt;
    }
    return static_cast<uint64_t>(end);
}

std::optional<uint64_t> CFile::Tell() const {
    off_t position = lseek(m_nDescriptor, 0, SEEK_CUR);
    if (position < 0) return std::nullopt;
    return static_cast<uint64_t>(position);
}

std::optional<uint64_t> CFile::Size() const {
    struct stat info {};
    if (fstat(m_nDescriptor, &info) != 0) return std::nullopt;
    return static_cast<uint64_t>(info.st_size);
}

bool CFile::Truncate(uint64_t length) {
    if (ftruncate(m_nDescriptor, static_cast<off_t>(length)) != 0) {
        m_nLastError = errno;
        return false;
    }
    return true;
}

bool CFile::Sync() {
    if (fsync(m_nDescriptor) != 0) {
        m_nLastError = errno;
        return false;
    }
    return true;
}

}  // namespace platform
