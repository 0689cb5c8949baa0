#pragma once
// Writes patch archives: a plain single-volume ZIP with deflated (or stored, when
// deflating does not help) entries and UTF-8 names (general-purpose bit 11).
#include <cstdint>
#include <ctime>
#include <string>
#include <vector>

#include "platform/File.h"

class CZipWriter {
public:
    bool Create(const std::string& path);
    // `name` uses '/' between components; `content` is the whole entry.
    bool AddFile(const std::string& name, const std::string& content, std::time_t modified);
    // Streams a file from disk without holding it in memory.
    bool AddFileFromDisk(const std::string& name, const std::string& sourcePath, std::time_t modified);
    bool AddFolder(const std::string& name, std::time_t modified);
    // Writes the central directory and the end record, and flushes the archive.
    bool Finish();

private:
    struct Entry {
        std::string name;
        uint16_t method = 0;
        uint16_t dosTime = 0;
        uint16_t dosDate = 0;
        uint32_t crc = 0;
        uint32_t compressedSize = 0;
        uint32_t size = 0;
        uint32_t attributes = 0;
        uint32_t localOffset = 0;
    };
    bool WriteEntry(Entry entry, const std::string& content);
    bool WriteLocalHeader(const Entry& entry);
    bool StreamDeflated(platform::CFile& source, Entry& entry);
    bool Fail() {
        m_bFailed = true;
        return false;
    }

    platform::CFile m_file;
    std::vector<Entry> m_entries;
    uint64_t m_position = 0;
    bool m_bFailed = false;
};
