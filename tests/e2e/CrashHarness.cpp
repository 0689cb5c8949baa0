#include "tests/e2e/CrashHarness.h"

#include <algorithm>
#include <filesystem>
#include <regex>
#include <sstream>
#include <stdexcept>

#include "tests/support/TempFolder.h"

namespace e2e {
namespace {

constexpr const char* kReinstallStatus = "请重新安装客户端.c05";
constexpr const char* kReinstallMessage = "因为强行结束更新等引起的文件破损.请重新安装客户端.c22";
constexpr int kKilledStatus = 128 + 9;

std::string Lower(std::string text) {
    std::transform(text.begin(), text.end(), text.begin(), [](unsigned char c) { return std::tolower(c); });
    return text;
}

bool StartsWith(const std::string& text, const std::string& prefix) { return text.rfind(prefix, 0) == 0; }

bool IsPatchArchive(const std::string& path) {
    static const std::regex archive("pv[0-9]{4,}\\.patch");
    return std::regex_match(path, archive);
}

bool IsRecordCopy(const std::string& path) { return path == "version.ini.partial"; }

// What a crash may leave behind that is no part of the game: a copy of
// Version.ini that was never renamed into place.
bool IsHarmlessLeftover(const std::string& relative) { return IsRecordCopy(Lower(relative)); }

std::string Phase(const std::string& operation, const std::string& lowerPath, bool deleting) {
    bool isWrite = operation != "rename" && operation != "unlink";
    if (lowerPath == "version.ini" || IsRecordCopy(lowerPath)) return "record";
    if (lowerPath == "updateversion.ini") return "download";
    if (IsPatchArchive(lowerPath)) return isWrite ? "download" : "record";
    if (StartsWith(lowerPath, "data.va")) return deleting ? "final" : "merge";
    if (!isWrite && StartsWith(lowerPath, "update.")) return "merge";
    if (!isWrite && lowerPath == "delete.lst") return "final";
    return isWrite ? "extraction" : "other";
}

// The preloaded shim, dying before change `point` (0: never), tracing into `trace`.
std::string ShimEnvironment(const std::string& game, unsigned long point, const std::string& trace) {
    return std::string("env LD_PRELOAD=") + VELMOR_CRASH_SHIM + " VELMOR_CRASH_FOLDER='" + game +
           "' VELMOR_CRASH_AT=" + std::to_string(point) + " VELMOR_CRASH_TRACE='" + trace + "'";
}

}  // namespace

std::vector<TracedChange> ParseTrace(const std::string& text) {
    static const std::regex line("([0-9]+) ([a-z]+) (.*)");
    std::vector<TracedChange> changes;
    bool deleting = false;
    std::istringstream in(text);
    std::string raw;
    std::smatch match;
    while (std::getline(in, raw)) {
        if (!std::regex_match(raw, match, line)) continue;
        TracedChange change;
        change.index = std::stoul(match[1]);
        change.operation = match[2];
        change.path = match[3];
        std::string lower = Lower(change.path);
        if (change.operation == "unlink" && lower == "delete.lst") deleting = true;
        if (change.operation == "rename" && lower == "version.ini") deleting = false;
        change.phase = Phase(change.operation, lower, deleting);
        changes.push_back(change);
    }
    return changes;
}

CCrashHarness::CCrashHarness(std::string installation, std::string host, GameVersion target, uint32_t targetVersion,
                             std::string workFolder)
    : m_installation(std::move(installation)),
      m_host(std::move(host)),
      m_expected(ExpectedContent(target)),
      m_targetVersion(targetVersion),
      m_work(std::move(workFolder)),
      m_game(m_work + "/game") {}

CommandResult CCrashHarness::RunUpdate(const std::string& environment) {
    return RunCommand(environment + " " + Velmor() + " update --no-start --folder '" + m_game + "' --host " + m_host);
}

std::vector<TracedChange> CCrashHarness::TraceCleanRun() {
    CopyFolder(m_installation, m_game);
    std::string trace = m_work + "/trace-clean";
    std::filesystem::remove(trace);
    CommandResult run = RunUpdate(ShimEnvironment(m_game, 0, trace));
    if (run.status != 0) throw std::runtime_error("the traced run failed: " + run.output);
    m_cleanData = testsupport::ReadFile(m_game + "/data.vaf");
    return ParseTrace(testsupport::ReadFile(trace));
}

std::vector<unsigned long> CCrashHarness::SpreadPoints(const std::vector<TracedChange>& trace, size_t count) {
    std::vector<unsigned long> points;
    if (count >= trace.size()) {
        for (const TracedChange& change : trace) points.push_back(change.index);
        return points;
    }
    // Every rename and unlink moves the installation from one state to the next:
    // all of them are taken. The writes fill the rest, spread evenly over the
    // phases and evenly within each.
    std::map<std::string, std::vector<unsigned long>> writes;
    for (const TracedChange& change : trace) {
        if (change.operation == "rename" || change.operation == "unlink")
            points.push_back(change.index);
        else
            writes[change.phase].push_back(change.index);
    }
    size_t wanted = count > points.size() ? count - points.size() : 0;
    std::map<std::string, size_t> quota;
    for (bool more = true; wanted > 0 && more;) {
        more = false;
        for (auto& [phase, indices] : writes) {
            if (wanted == 0 || quota[phase] >= indices.size()) continue;
            ++quota[phase];
            --wanted;
            more = true;
        }
    }
    for (auto& [phase, indices] : writes) {
        size_t take = quota[phase];
        for (size_t i = 0; i < take; ++i) {
            size_t at = take == 1 ? indices.size() / 2 : i * (indices.size() - 1) / (take - 1);
            points.push_back(indices[at]);
        }
    }
    std::sort(points.begin(), points.end());
    points.erase(std::unique(points.begin(), points.end()), points.end());
    return points;
}

CrashCase CCrashHarness::RunCase(unsigned long point) {
    CrashCase result;
    result.point = point;
    CopyFolder(m_installation, m_game);
    std::string trace = m_work + "/trace-case";
    std::filesystem::remove(trace);
    CommandResult first = RunUpdate(ShimEnvironment(m_game, point, trace));
    result.killed = first.status == kKilledStatus;
    std::vector<TracedChange> changes = ParseTrace(testsupport::ReadFile(trace));
    if (!changes.empty() && changes.back().index == point) {
        result.phase = changes.back().phase;
        result.change = changes.back().operation + " " + changes.back().path;
    } else {
        result.phase = "not reached";
    }
    if (!result.killed && first.status != 0) {
        result.outcome = "wrong";
        result.detail = "the faulted run ended with " + std::to_string(first.status) + ": " + first.output;
        return result;
    }
    Judge(result, RunUpdate(""));
    return result;
}

void CCrashHarness::Judge(CrashCase& result, const CommandResult& second) {
    std::string marker = Lower(RecordValue(m_game, "StartUpdate"));
    if (second.status == 1 && marker == "update_start") {
        bool texts = second.output.find(kReinstallStatus) != std::string::npos &&
                     second.output.find(kReinstallMessage) != std::string::npos;
        result.outcome = texts ? "reinstall" : "wrong";
        if (!texts) result.detail = "UPDATE_START without the reinstall texts: " + second.output;
        return;
    }
    GameContent actual = ReadGameContent(m_game);
    FileSet loose;
    std::string leftovers;
    for (const auto& [path, bytes] : actual.loose) {
        if (IsHarmlessLeftover(path) && !m_expected.loose.count(path))
            leftovers += (leftovers.empty() ? "" : " ") + path;
        else
            loose[path] = bytes;
    }
    std::string difference = actual.error + DescribeDifference(m_expected.packed, actual.packed) +
                             DescribeDifference(m_expected.loose, loose);
    std::string version = RecordValue(m_game, "CurrentVersion");
    bool clean = marker.empty() || marker == "update_end";
    // The same release must also be the same data.vaf: every region where the
    // unkilled run put it, and nothing past its end.
    std::string data = testsupport::ReadFile(m_game + "/data.vaf");
    if (data.size() > m_cleanData.size()) result.orphanedBytes = data.size() - m_cleanData.size();
    if (data.compare(0, m_cleanData.size(), m_cleanData) != 0)
        difference += "data.vaf differs from the unkilled run's within its " + std::to_string(m_cleanData.size()) +
                      " bytes\n";
    if (second.status == 0 && difference.empty() && version == std::to_string(m_targetVersion) && clean) {
        result.outcome = "completed";
        if (!leftovers.empty()) result.detail = "left behind: " + leftovers;
        if (result.orphanedBytes)
            result.detail += std::string(result.detail.empty() ? "" : "; ") + "data.vaf holds " +
                             std::to_string(result.orphanedBytes) + " orphaned bytes";
        return;
    }
    result.outcome = "wrong";
    result.detail = "exit " + std::to_string(second.status) + ", CurrentVersion " + version + ", StartUpdate " +
                    marker + "\n" + difference + second.output;
}

std::string CCrashHarness::Summary(const std::vector<CrashCase>& cases) {
    std::map<std::string, std::map<std::string, int>> byPhase;
    std::map<std::string, int> totals;
    int leftovers = 0;
    int killed = 0;
    int orphaned = 0;
    for (const CrashCase& c : cases) {
        ++byPhase[c.phase][c.outcome];
        ++totals[c.outcome];
        leftovers += c.detail.rfind("left behind", 0) == 0;
        killed += c.killed;
        orphaned += c.orphanedBytes != 0;
    }
    std::ostringstream out;
    out << "crash recovery: " << cases.size() << " points, " << killed << " killed: completed " << totals["completed"]
        << ", reinstall requested " << totals["reinstall"] << ", wrong " << totals["wrong"] << " (completed with "
        << leftovers << " left-behind copy of Version.ini); " << orphaned << " with orphaned bytes in data.vaf\n";
    for (const auto& [phase, outcomes] : byPhase) {
        out << "  " << phase << ":";
        for (const auto& [outcome, n] : outcomes) out << " " << outcome << " " << n;
        out << "\n";
    }
    return out.str();
}

}  // namespace e2e
