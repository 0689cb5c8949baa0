#pragma once
// Pack files for the tests, written and read by code of their own (not the pack
// library's), so that a fault in the library's format code cannot hide itself.
#include <cstdint>
#include <map>
#include <string>
#include <vector>

#include "pack/IPackHost.h"

namespace packtest {

struct FileSpec {
    std::string path;  // '\' between components
    std::string bytes;
    uint32_t extra = 0;
};

struct RestSpec {
    std::string name;
    uint64_t offset;
    uint32_t size;
};

// A header laid out by hand: folders in order of first appearance, files in the
// order given, the data file holding each file's bytes and a zero back to back.
class CPackBuilder {
public:
    CPackBuilder& File(const std::string& path, const std::string& bytes, uint32_t extra = 0);
    // A free region of `size` (+1) bytes at the current end of the data file.
    CPackBuilder& Gap(uint32_t size, const std::string& name = "old");
    // A file record that names no bytes of its own (for headers built to be wrong).
    CPackBuilder& Record(const std::string& path, uint64_t offset, uint32_t size);
    CPackBuilder& Stamp(uint32_t stamp) { m_stamp = stamp; return *this; }
    CPackBuilder& Count(uint32_t fileCount) { m_count = fileCount; m_countSet = true; return *this; }
    CPackBuilder& Block(char fill) { m_block = std::string(40, fill); return *this; }
    CPackBuilder& Wasted(uint32_t wasted) { m_wasted = wasted; return *this; }
    CPackBuilder& RootName(const std::string& name) { m_root = name; return *this; }
    // The separator of the paths given to File (for names whose bytes hold a '\\').
    CPackBuilder& Separator(char separator) { m_separator = separator; return *this; }

    std::string Header() const;
    const std::string& Data() const { return m_data; }
    // Writes <stem>.vah and <stem>.vaf into the folder.
    void Write(const std::string& folder, const std::string& stem = "data") const;

private:
    struct Node {
        std::string name;
        std::vector<RestSpec> files;  // name, offset, size (extra kept beside)
        std::vector<uint32_t> extras;
        std::vector<Node> folders;
    };
    Node& FolderOf(const std::string& path, std::string& name);
    static void WriteNode(std::string& out, const Node& node);

    Node m_tree;
    std::vector<RestSpec> m_rest;
    std::string m_data;
    std::string m_root = "root";
    std::string m_block = std::string(40, 'B');
    uint32_t m_stamp = 7;
    uint32_t m_count = 0;
    bool m_countSet = false;
    uint32_t m_files = 0;
    uint32_t m_wasted = 0;
    char m_separator = '\\';
};

struct PackImage {
    uint32_t stamp = 0;
    uint32_t fileCount = 0;
    std::string block;
    std::string rootName;
    // Every live file's path and bytes, in header order.
    std::vector<std::pair<std::string, std::string>> files;
    std::vector<RestSpec> rest;
    uint32_t wasted = 0;
    std::map<std::string, std::string> Content() const;
};

// Reads data.vah/data.vaf of a folder; throws on anything malformed.
PackImage ReadPack(const std::string& folder);
// Expects the library's verify invariant to hold and the content to be exactly `expected`.
void ExpectPack(const std::string& folder, const std::map<std::string, std::string>& expected);

// Records what the pack code reports.
class CRecordingHost : public IPackHost {
public:
    void ShowStatusError(const std::string& text) override { status.push_back(text); }
    void SetFileProgressRange(uint64_t minimum, uint64_t maximum) override {
        events.push_back("range " + std::to_string(minimum) + ".." + std::to_string(maximum));
    }
    void SetFileProgressPos(uint64_t position) override { events.push_back("pos " + std::to_string(position)); }
    bool WriteStartUpdate(const std::string& marker) override {
        markers.push_back(marker);
        return true;
    }
    std::vector<std::string> status;
    std::vector<std::string> events;
    std::vector<std::string> markers;
};

std::string U32(uint32_t value);
std::string U64(uint64_t value);
std::string Name(const std::string& name);

}  // namespace packtest
