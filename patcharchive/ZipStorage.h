#pragma once
// The archive file as the reader sees it: one file, or the volumes of a split
// archive found beside it, read as one sequence that crosses from volume to volume.
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "patcharchive/ZipAutoBuffer.h"
#include "platform/File.h"

class CZipStorage {
public:
    enum class VolumeState { Unsettled, SingleVolume, SplitVolumes };

    virtual ~CZipStorage() = default;

    // Opens an existing archive; raises CFileError when it cannot be opened.
    void Open(std::string_view path, size_t writeBufferSize);
    void Close();
    bool IsOpen() const { return m_file.IsOpen(); }
    const std::string& GetPath() const { return m_path; }

    // Settles single volume or split volumes from the end record's disk number
    // (the last volume). Raises cause 12 for a split archive on a removable drive.
    void SettleVolumes(uint16_t lastVolume);
    VolumeState GetVolumeState() const { return m_volumeState; }
    bool IsSplit() const { return m_volumeState == VolumeState::SplitVolumes; }
    // Makes a volume current (no-op for single volumes); raises CFileError when missing.
    void ChangeVolume(uint16_t volume);

    // Reads up to `count` bytes, going on in the next volume at the end of one.
    size_t Read(void* buffer, size_t count);
    // Reads exactly `count` bytes or raises cause 10.
    void ReadExact(void* buffer, size_t count);
    // Position inside the current volume; raises cause 10 when it cannot be reached.
    void Seek(uint64_t position);
    // Moves forward, crossing into later volumes as reading would.
    void Skip(uint64_t count);
    void StepBack(uint32_t count);
    uint64_t GetLength();

    [[noreturn]] void ThrowDamaged() const;

private:
    enum class VolumeNaming { Numbered, InfoZip };
    std::string VolumePath(uint16_t volume, VolumeNaming naming) const;

    platform::CFile m_file;
    std::string m_path;
    CZipAutoBuffer m_writeBuffer;
    VolumeState m_volumeState = VolumeState::Unsettled;
    uint16_t m_uCurrentVolume = 0;
    uint16_t m_uLastVolume = 0;
};
