#include "platform/MappedFileWriter.h"

#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <string>
#include <utility>

namespace platform {

namespace {

// Large enough that remapping costs nothing next to the copying, small enough
// that a window never pins much address space.
constexpr uint64_t kWindowBytes = 8u << 20;

}  // namespace

CMappedFileWriter::~CMappedFileWriter() { Close(); }

bool CMappedFileWriter::Open(std::string_view path) {
    Close();
    m_written = 0;
    m_expected = 0;
    m_reserved = 0;
    m_mappable = 0;
    m_bSeekBeforePlainWrite = false;
    m_nLastError = 0;
    if (m_file.Open(path, CFile::Mode::Create)) return true;
    m_nLastError = m_file.LastError();
    return false;
}

bool CMappedFileWriter::OpenView() {
    // Only a regular file is mapped. The file itself stays opened write-only, as
    // any download target is: a pipe or device opened for reading too would keep
    // its own reader alive and never report a vanished one.
    struct stat info {};
    if (fstat(m_file.Descriptor(), &info) != 0 || !S_ISREG(info.st_mode)) return false;
    // A second descriptor of the same file, not of whatever its name means now.
    std::string self = "/proc/self/fd/" + std::to_string(m_file.Descriptor());
    do {
        m_nViewDescriptor = open(self.c_str(), O_RDWR | O_CLOEXEC);
    } while (m_nViewDescriptor < 0 && errno == EINTR);
    return m_nViewDescriptor >= 0;
}

bool CMappedFileWriter::Reserve(uint64_t size) {
    if (size > static_cast<uint64_t>(INT64_MAX) || !OpenView()) return false;
    // Blocks allocated up front: a store into a mapped page can then never
    // meet a full disk, which would end the process instead of failing a write.
    int result;
    do {
        result = fallocate(m_file.Descriptor(), 0, 0, static_cast<off_t>(size));
    } while (result != 0 && errno == EINTR);
    if (result != 0) {
        // A reservation that ran out of room may have allocated part of it.
        if (errno == ENOSPC || errno == EFBIG) {
            int ignored = ftruncate(m_file.Descriptor(), 0);
            static_cast<void>(ignored);
        }
        return false;
    }
    m_reserved = size;
    m_mappable = size;
    return true;
}

bool CMappedFileWriter::Write(const void* bytes, size_t count) {
    if (!m_file.IsOpen()) return Fail(EBADF);
    if (m_expected != 0) Reserve(std::exchange(m_expected, 0));
    auto* next = static_cast<const unsigned char*>(bytes);
    WriteMapped(next, count);
    return count == 0 || WritePlain(next, count);
}

void CMappedFileWriter::WriteMapped(const unsigned char*& bytes, size_t& count) {
    while (count > 0 && m_written < m_mappable) {
        if (!m_pWindow || m_written >= m_windowStart + m_windowLength) {
            if (!MapWindowAt(m_written)) {
                // Nothing is lost by giving up the mapping: the rest goes
                // through plain writes at the same position.
                m_mappable = m_written;
                break;
            }
        }
        size_t offset = static_cast<size_t>(m_written - m_windowStart);
        size_t piece = std::min(count, m_windowLength - offset);
        std::memcpy(m_pWindow + offset, bytes, piece);
        bytes += piece;
        count -= piece;
        m_written += piece;
    }
}

bool CMappedFileWriter::WritePlain(const void* bytes, size_t count) {
    // The descriptor's own position stays at 0 while the mapping is used;
    // plain descriptors (pipes, devices) never had a mapping and need no seek.
    if (m_bSeekBeforePlainWrite) {
        if (lseek(m_file.Descriptor(), static_cast<off_t>(m_written), SEEK_SET) < 0) return Fail(errno);
        m_bSeekBeforePlainWrite = false;
    }
    if (!m_file.Write(bytes, count)) return Fail(m_file.LastError());
    m_written += count;
    return true;
}

bool CMappedFileWriter::MapWindowAt(uint64_t position) {
    UnmapWindow();
    uint64_t start = position - position % kWindowBytes;
    size_t length = static_cast<size_t>(std::min(kWindowBytes, m_mappable - start));
    void* window = mmap(nullptr, length, PROT_READ | PROT_WRITE, MAP_SHARED, m_nViewDescriptor,
                        static_cast<off_t>(start));
    if (window == MAP_FAILED) return false;
    m_pWindow = static_cast<unsigned char*>(window);
    m_bSeekBeforePlainWrite = true;
    m_windowStart = start;
    m_windowLength = length;
    return true;
}

void CMappedFileWriter::UnmapWindow() {
    if (m_pWindow) munmap(m_pWindow, m_windowLength);
    m_pWindow = nullptr;
    m_windowLength = 0;
}

bool CMappedFileWriter::Settle() {
    UnmapWindow();
    m_expected = 0;
    m_mappable = m_written;
    bool ok = true;
    if (m_reserved > m_written && ftruncate(m_file.Descriptor(), static_cast<off_t>(m_written)) != 0) ok = Fail(errno);
    m_reserved = m_written;
    return ok;
}

bool CMappedFileWriter::Close() {
    if (!m_file.IsOpen()) return true;
    bool ok = Settle();
    if (m_nViewDescriptor >= 0) close(m_nViewDescriptor);
    m_nViewDescriptor = -1;
    m_reserved = 0;
    m_mappable = 0;
    if (!m_file.Close() && ok) ok = Fail(m_file.LastError());
    return ok;
}

bool CMappedFileWriter::Fail(int error) {
    m_nLastError = error;
    return false;
}

}  // namespace platform
