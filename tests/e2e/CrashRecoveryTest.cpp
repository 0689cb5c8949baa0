// Killed at a change to the game folder and started again, the update must end
// with the newest release or with the reinstall request: never with anything
// else reported as success, nor with bytes in data.vaf that no header names.
// VELMOR_CRASH_POINTS sets how many points are tried (default 56; "all" tries
// every change of the run, as bench/crash.sh does).
// Points are counted changes: should a download arrive in other pieces than in
// the traced run, a late point may lie beyond the end of a run, which then
// finishes unkilled; the margin over 50 keeps at least 50 real kills.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <set>

#include "tests/e2e/CrashHarness.h"
#include "tests/e2e/PatchLadder.h"
#include "tests/support/NginxServer.h"

namespace e2e {
namespace {

size_t PointCount() {
    const char* configured = std::getenv("VELMOR_CRASH_POINTS");
    if (!configured || !*configured) return 56;
    if (std::string(configured) == "all") return static_cast<size_t>(-1);
    return std::strtoul(configured, nullptr, 10);
}

TEST(CrashRecovery, EveryKillEndsCompletedOrWithTheReinstallRequest) {
    ASSERT_TRUE(testsupport::CNginxServer::IsAvailable()) << "scripts/install-deps installs nginx-light";
    testsupport::CTempFolder work;
    CPatchLadder ladder(work / "game-arguments");
    testsupport::CNginxServer host(ladder.HostRoot());
    CCrashHarness harness(ladder.Installation(), host.Host(), ladder.Release(CPatchLadder::kLast), CPatchLadder::kLast,
                          work.Path());

    std::vector<TracedChange> trace = harness.TraceCleanRun();
    std::set<std::string> phases;
    for (const TracedChange& change : trace) phases.insert(change.phase);
    EXPECT_EQ(phases, (std::set<std::string>{"download", "extraction", "final", "merge", "record"}))
        << "the traced run must show every phase";

    std::vector<unsigned long> points = CCrashHarness::SpreadPoints(trace, PointCount());
    std::vector<CrashCase> cases;
    bool verbose = std::getenv("VELMOR_CRASH_VERBOSE") != nullptr;
    for (unsigned long point : points) {
        cases.push_back(harness.RunCase(point));
        const CrashCase& c = cases.back();
        if (verbose) std::printf("%5lu %-10s %-40s %s %s\n", c.point, c.phase.c_str(), c.change.c_str(), c.outcome.c_str(), c.detail.c_str());
    }

    std::string summary = CCrashHarness::Summary(cases);
    std::printf("%zu changes in a clean run\n%s", trace.size(), summary.c_str());
    RecordProperty("summary", summary);
    size_t killed = 0;
    for (const CrashCase& c : cases) {
        killed += c.killed;
        EXPECT_NE(c.outcome, "wrong") << "killed before change " << c.point << " (" << c.phase << ": " << c.change
                                      << ")\n" << c.detail;
        EXPECT_EQ(c.orphanedBytes, 0u) << "killed before change " << c.point << " (" << c.phase << ": " << c.change
                                       << ")";
    }
    EXPECT_GE(killed, std::min<size_t>(50, points.size()));
}

}  // namespace
}  // namespace e2e
