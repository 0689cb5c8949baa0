#include "patcharchive/ZipStorage.h"

#include <cerrno>
#include <cstdio>

#include "patcharchive/FileError.h"
#include "patcharchive/ZipException.h"
#include "platform/RemovableDrive.h"

void CZipStorage::Open(std::string_view path, size_t writeBufferSize) {
    Close();
    m_path = std::string(path);
    // The reader never writes, so the archive is opened for reading only; a patch on
    // read-only media or without write permission still opens.
    if (!m_file.Open(path, platform::CFile::Mode::Read)) {
        throw CFileError("cannot open archive", m_path, m_file.LastError());
    }
    m_writeBuffer.Allocate(writeBufferSize);
    m_volumeState = VolumeState::Unsettled;
    m_uCurrentVolume = 0;
    m_uLastVolume = 0;
}

void CZipStorage::Close() {
    m_file.Close();
    m_writeBuffer.Release();
    m_volumeState = VolumeState::Unsettled;
}

void CZipStorage::SettleVolumes(uint16_t lastVolume) {
    if (lastVolume == 0) {
        m_volumeState = VolumeState::SingleVolume;
        return;
    }
    // Nobody is there to change disks, so a spanned archive on removable media is refused.
    if (platform::IsOnRemovableDrive(m_path)) ThrowZipError(CZipException::RemovableMultiVolume, m_path);
    m_volumeState = VolumeState::SplitVolumes;
    m_uLastVolume = lastVolume;
    m_uCurrentVolume = lastVolume;  // the opened file holds the end record
}

std::string CZipStorage::VolumePath(uint16_t volume, VolumeNaming naming) const {
    // The last volume is the file that was opened; the others sit beside it under
    // its base name with the volume number counted from 0 (".000", ".001", ...),
    // or, as Info-ZIP names them, counted from 1 (".z01", ".z02", ...).
    if (volume == m_uLastVolume) return m_path;
    size_t slash = m_path.find_last_of("/\\");
    size_t dot = m_path.find_last_of('.');
    std::string base = (dot != std::string::npos && (slash == std::string::npos || dot > slash))
                           ? m_path.substr(0, dot)
                           : m_path;
    char extension[16];
    if (naming == VolumeNaming::Numbered) {
        std::snprintf(extension, sizeof extension, ".%.3d", static_cast<int>(volume));
    } else {
        std::snprintf(extension, sizeof extension, ".z%.2d", static_cast<int>(volume) + 1);
    }
    return base + extension;
}

void CZipStorage::ChangeVolume(uint16_t volume) {
    if (!IsSplit() || volume == m_uCurrentVolume) return;
    if (volume > m_uLastVolume) ThrowDamaged();
    std::string numbered = VolumePath(volume, VolumeNaming::Numbered);
    if (!m_file.Open(numbered, platform::CFile::Mode::Read)) {
        if (m_file.LastError() != ENOENT) throw CFileError("cannot open archive volume", numbered, m_file.LastError());
        std::string infoZip = VolumePath(volume, VolumeNaming::InfoZip);
        if (!m_file.Open(infoZip, platform::CFile::Mode::Read)) {
            throw CFileError("cannot open archive volume", numbered + " or " + infoZip, m_file.LastError());
        }
    }
    m_uCurrentVolume = volume;
}

size_t CZipStorage::Read(void* buffer, size_t count) {
    auto* bytes = static_cast<char*>(buffer);
    size_t done = m_file.Read(bytes, count);
    while (done < count && IsSplit() && m_uCurrentVolume < m_uLastVolume) {
        ChangeVolume(static_cast<uint16_t>(m_uCurrentVolume + 1));
        done += m_file.Read(bytes + done, count - done);
    }
    return done;
}

void CZipStorage::ReadExact(void* buffer, size_t count) {
    if (Read(buffer, count) != count) ThrowDamaged();
}

void CZipStorage::Seek(uint64_t position) {
    if (!m_file.Seek(position)) ThrowDamaged();
}

void CZipStorage::Skip(uint64_t count) {
    if (!IsSplit()) {
        if (count > static_cast<uint64_t>(INT64_MAX) || !m_file.SeekRelative(static_cast<int64_t>(count))) {
            ThrowDamaged();
        }
        return;
    }
    while (count > 0) {
        std::optional<uint64_t> position = m_file.Tell();
        std::optional<uint64_t> length = m_file.Size();
        if (!position || !length) ThrowDamaged();
        uint64_t inVolume = *length > *position ? *length - *position : 0;
        if (count <= inVolume || !IsSplit() || m_uCurrentVolume >= m_uLastVolume) {
            Seek(*position + count);
            return;
        }
        count -= inVolume;
        ChangeVolume(static_cast<uint16_t>(m_uCurrentVolume + 1));
        Seek(0);
    }
}

void CZipStorage::StepBack(uint32_t count) {
    if (!m_file.SeekRelative(-static_cast<int64_t>(count))) ThrowDamaged();
}

uint64_t CZipStorage::GetLength() {
    std::optional<uint64_t> length = m_file.Size();
    if (!length) ThrowDamaged();
    return *length;
}

void CZipStorage::ThrowDamaged() const { ThrowZipError(CZipException::BadArchive, m_path); }
