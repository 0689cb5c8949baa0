#pragma once
// What the extraction needs from whoever runs it: the file progress bar, the
// window's extracted bytes counter and the stop test. The engine implements it
// with the main window's surface; the command line with a terminal progress bar.
#include <cstdint>
#include <optional>
#include <string>

#include "platform/TargetFolder.h"

class IExtractionHost {
public:
    virtual ~IExtractionHost() = default;

    virtual void SetFileProgressRange(uint64_t minimum, uint64_t maximum) = 0;
    virtual void SetFileProgressPos(uint64_t position) = 0;
    // The window's 32-bit counter of bytes extracted so far.
    virtual void SetExtractedBytes(uint32_t count) = 0;
    // Polled after every chunk and every entry; must not wait.
    virtual bool IsStopRequested() = 0;
};

// The state that one extraction carries from entry to entry.
struct ExtractionProgress {
    explicit ExtractionProgress(IExtractionHost& extractionHost) : host(extractionHost) {}

    void Reset();
    void Advance(uint32_t count);

    IExtractionHost& host;
    // The bar follows a 64-bit total, so that it never runs backwards when the
    // 32-bit counter wraps on more than 4 GiB of entries.
    uint64_t written = 0;
    uint32_t counter = 0;
    // Why the entry that failed failed, for the caller's report.
    std::string failure;
    // The entry being extracted, empty between entries: an error that the reader
    // raises is reported with its name.
    std::string entry;
    // The destination, with what is known of its folders.
    std::optional<platform::CTargetFolder> target;
};
