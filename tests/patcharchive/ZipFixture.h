#pragma once
// Fixtures for the archive tests: the byte-built archives, Python for writing
// archives with zipfile, and an extraction host that records what it is told.
#include <cstdint>
#include <map>
#include <string>
#include <vector>

#include "patcharchive/IExtractionHost.h"
#include "tests/patcharchive/ZipBuilder.h"

namespace ziptest {

// Runs a Python script (zipfile) with the given arguments; true when it exits with 0.
bool RunPython(const std::string& script, const std::string& arguments);

// A short stand-in for contents, so that a failed comparison stays readable.
std::string Digest(const std::string& content);
// Every file and folder below a root: relative path to digest of contents ("/" for folders).
std::map<std::string, std::string> Tree(const std::string& root);

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
