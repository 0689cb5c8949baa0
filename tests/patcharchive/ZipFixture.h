#pragma once
// Fixtures for the archive tests: archives built byte by byte for what no writer
// produces, and an extraction host that records what the extraction reports.
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "patcharchive/IExtractionHost.h"

namespace ziptest {

struct FixtureEntry {
    std::string name{};
    std::string data{};  // the uncompressed bytes
    uint16_t method = 8;
    uint16_t flag = 0;
    uint32_t externalAttr = 0;
    bool descriptor = false;  // bit 3: zeros in the local header, a descriptor after the data
    bool descriptorSignature = true;
    // Values that disagree with the data, for damaged archives.
    std::optional<uint32_t> crc{};
    std::optional<uint32_t> compressedSize{};
    std::optional<uint32_t> uncompressedSize{};
    std::optional<std::string> payload{};  // replaces the compressed bytes
    std::optional<uint16_t> localMethod{};
    std::optional<uint32_t> localCrc{};
    std::optional<uint32_t> descriptorCrc{};
    std::string centralExtra{};
};

std::string RawDeflate(const std::string& data);
// An entry of `size` zero bytes, deflated without holding them all.
FixtureEntry ZeroEntry(const std::string& name, uint64_t size);
uint32_t Crc32(const std::string& data);
// A whole archive: `prefix` before it (a program stub), `comment` after the end record.
std::string BuildArchive(const std::vector<FixtureEntry>& entries, const std::string& comment = {},
                         const std::string& prefix = {});
// Just an end record with the given fields.
std::string EndRecord(uint16_t entries, uint32_t size, uint32_t offset, const std::string& comment,
                      uint16_t disk = 0);

// Runs a Python script (zipfile) with the given arguments; true when it exits with 0.
bool RunPython(const std::string& script, const std::string& arguments);

class CRecordingHost : public IExtractionHost {
public:
    void SetFileProgressRange(uint64_t minimum, uint64_t maximum) override {
        rangeMinimum = minimum;
        rangeMaximum = maximum;
    }
    void SetFileProgressPos(uint64_t position) override {
        positions.push_back(position);
        ++chunks;
    }
    void SetExtractedBytes(uint32_t count) override { counter = count; }
    bool IsStopRequested() override {
        ++stopTests;
        return stopAtTest != 0 && stopTests >= stopAtTest;
    }

    uint64_t rangeMinimum = 1;
    uint64_t rangeMaximum = 0;
    std::vector<uint64_t> positions;
    uint32_t counter = 0xFFFFFFFF;
    int chunks = 0;
    int stopTests = 0;
    int stopAtTest = 0;  // the stop test that first answers yes (0: never)
};

}  // namespace ziptest
