#pragma once
// The crash-recovery harness: runs `velmor update --no-start` on a fresh copy of
// an installation with the crash shim preloaded, which kills the process with
// SIGKILL just before its k-th change to a file of the game folder, then runs the
// update again without a fault and judges what the second run left:
//
//   completed  exit 0, CurrentVersion at the target, the expected logical content,
//              and data.vaf byte for byte that of a run never killed
//   reinstall  exit 1, StartUpdate "UPDATE_START", the reinstall texts shown
//   wrong      anything else, above all a different content reported as success
//
// A completed case whose data.vaf is longer than the unkilled run's kept bytes
// that no header names (orphaned bytes): disk space lost for good.
#include <cstdint>
#include <map>
#include <string>
#include <vector>

#include "tests/e2e/GameFolder.h"

namespace e2e {

// One change the shim saw, with the phase of the run it belongs to.
struct TracedChange {
    unsigned long index = 0;
    std::string operation;  // write, pwrite, writev, rename, unlink
    std::string path;       // below the game folder
    std::string phase;      // download, extraction, merge, final (delete.lst and its header save), record
};

struct CrashCase {
    unsigned long point = 0;
    std::string phase;     // of the change the process died at
    std::string change;    // "operation path" of that change
    bool killed = false;   // false when the run ended before reaching the point
    std::string outcome;   // completed, reinstall, wrong
    std::string detail;    // why a case is wrong, or the copies of Version.ini left behind
    uint64_t orphanedBytes = 0;  // data.vaf beyond the unkilled run's length
};

class CCrashHarness {
public:
    // `installation` is copied afresh for every case; `host` serves its patches.
    CCrashHarness(std::string installation, std::string host, GameVersion target, uint32_t targetVersion,
                  std::string workFolder);

    // A run without a fault, traced: every change with its phase.
    std::vector<TracedChange> TraceCleanRun();
    // Picks about `count` points spread over the phases (every point when
    // `count` is at least the number of changes).
    static std::vector<unsigned long> SpreadPoints(const std::vector<TracedChange>& trace, size_t count);
    CrashCase RunCase(unsigned long point);

    // "completed 40, reinstall 12, wrong 0", the cases with orphaned bytes, and a
    // line per phase.
    static std::string Summary(const std::vector<CrashCase>& cases);

private:
    CommandResult RunUpdate(const std::string& environment);
    void Judge(CrashCase& result, const CommandResult& second);

    std::string m_installation;
    std::string m_host;
    GameContent m_expected;
    std::string m_cleanData;  // data.vaf after the traced, unkilled run
    uint32_t m_targetVersion;
    std::string m_work;
    std::string m_game;
};

// Gives every change of a trace (the shim's lines, in order) its phase.
std::vector<TracedChange> ParseTrace(const std::string& text);

}  // namespace e2e
