// velmor extract: unpacks a patch archive exactly as the launcher does, so that a
// publisher can check a patch before publishing it.
#include <cstdio>
#include <string>
#include <vector>

#include "patcharchive/PatchExtraction.h"
#include "platform/Event.h"
#include "platform/InterruptSignal.h"
#include "tools/velmor/Command.h"
#include "tools/velmor/TerminalProgress.h"

namespace {

class CTerminalExtractionHost : public IExtractionHost {
public:
    explicit CTerminalExtractionHost(const platform::CManualResetEvent& stop) : m_stop(stop) {}

    void SetFileProgressRange(uint64_t, uint64_t maximum) override { m_uRange = maximum; }
    void SetFileProgressPos(uint64_t position) override {
        m_uPosition = position;
        m_progress.Update("extract", position, m_uRange);
    }
    void SetExtractedBytes(uint32_t) override {}
    bool IsStopRequested() override { return m_stop.IsSet(); }

    void Finish() { m_progress.Finish(); }
    uint64_t Position() const { return m_uPosition; }
    uint64_t Range() const { return m_uRange; }

private:
    const platform::CManualResetEvent& m_stop;
    CTerminalProgress m_progress;
    uint64_t m_uRange = 0;
    uint64_t m_uPosition = 0;
};

void PrintHelp() {
    std::printf(
        "usage: velmor extract ARCHIVE FOLDER\n\n"
        "Extracts every entry of the patch archive ARCHIVE into FOLDER the way the\n"
        "launcher does: existing files are replaced, folders are made as needed,\n"
        "entries get their times and attributes, every CRC is checked. Entries that\n"
        "would leave FOLDER, encrypted entries, damaged archives and what the launcher\n"
        "does not read (methods other than stored and deflated, ZIP64, more than\n"
        "65535 entries) are refused, with the entry and the cause.\n\n"
        "Exit status: 0 done, 1 failed (the reason is printed), 2 stopped by Ctrl-C.\n");
}

int RunExtract(const std::vector<std::string>& args) {
    if (WantsHelp(args)) {
        PrintHelp();
        return 0;
    }
    if (args.size() != 2) {
        std::fprintf(stderr, "usage: velmor extract ARCHIVE FOLDER\n");
        return 1;
    }
    static platform::CManualResetEvent stop;
    platform::SetEventOnInterrupt(stop);
    CTerminalExtractionHost host(stop);
    std::string failure;
    int result = ExtractPatchArchive(args[0], args[1], host, &failure);
    host.Finish();
    switch (result) {
        case kExtractDone:
            std::printf("extracted %llu bytes into %s\n", static_cast<unsigned long long>(host.Range()),
                        args[1].c_str());
            return 0;
        case kExtractStopped:
            std::fprintf(stderr, "velmor extract: stopped after %llu of %llu bytes\n",
                         static_cast<unsigned long long>(host.Position()),
                         static_cast<unsigned long long>(host.Range()));
            return 2;
        default:
            std::fprintf(stderr, "velmor extract: %s: %s\n", args[0].c_str(), failure.c_str());
            return 1;
    }
}

CCommandRegistration registration("extract", "extract a patch archive into a folder as the launcher does",
                                  &RunExtract);

}  // namespace
