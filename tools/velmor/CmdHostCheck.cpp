// `velmor host-check`: checks a patch host against what the launcher relies on:
// the published list with its keys, every numbered patch, and the launcher files
// when a newer launcher is published.
#include <cstdio>
#include <filesystem>
#include <memory>
#include <random>
#include <string>
#include <vector>

#include "engine/HttpClient.h"
#include "engine/HttpPatcher.h"
#include "engine/PatchHost.h"
#include "engine/VersionRecord.h"
#include "platform/FileSystem.h"
#include "platform/ProfileFile.h"
#include "tools/velmor/Command.h"

namespace {

// After this many broken patches in a row the rest are not asked for.
constexpr int kMaxBrokenInARow = 10;
// The published list is small; more than this is not kept for reading.
constexpr size_t kListLimit = 1 << 20;

struct Answer {
    bool bReached = false;
    std::string error;
    long status = 0;
    bool bHasLength = false;
    int64_t length = 0;
    int64_t bodyBytes = 0;
    std::string head;  // the first bytes of the body (all of it up to kListLimit)
};

Answer Get(const CHttpClient& client, const std::string& url) {
    Answer answer;
    std::unique_ptr<CHttpRequest> request = client.Open(url, answer.error);
    if (!request) return answer;
    answer.bReached = true;
    answer.status = request->StatusCode();
    answer.bHasLength = request->HasContentLength();
    answer.length = request->ContentLength();
    char buffer[64 * 1024];
    for (;;) {
        int64_t count = request->Read(buffer, sizeof buffer, answer.error);
        if (count <= 0) break;
        if (answer.head.size() < kListLimit) answer.head.append(buffer, static_cast<size_t>(count));
        answer.bodyBytes += count;
        // A body longer than announced is known to break the contract as soon as seen.
        if (answer.bHasLength && answer.bodyBytes > answer.length) break;
    }
    return answer;
}

class CHostChecker {
public:
    explicit CHostChecker(std::string host) : m_host(std::move(host)) {
        m_client.SetTimeouts(CHttpClient::kDefaultTimeoutMs, CHttpClient::kDefaultTimeoutMs);
    }

    int Run(uint32_t firstPatch) {
        std::string list;
        if (!CheckFile(VersionListUrl(m_host), &list, false)) {
            Fail(VersionListUrl(m_host), "without the published list the launcher cannot update");
            return 1;
        }
        uint32_t updaterVersion = 0, patchVersion = 0;
        if (ReadList(list, updaterVersion, patchVersion)) {
            CheckPatches(firstPatch, patchVersion);
            if (updaterVersion > kOwnUpdaterVersion) CheckLaunchers();
        }
        std::printf("%s: %d problem%s found\n", m_host.c_str(), m_problems, m_problems == 1 ? "" : "s");
        return m_problems == 0 ? 0 : 1;
    }

private:
    void Fail(const std::string& what, const std::string& why) {
        ++m_problems;
        std::printf("FAIL %s: %s\n", what.c_str(), why.c_str());
    }
    static void Note(const std::string& what, const std::string& text) {
        std::printf("note %s: %s\n", what.c_str(), text.c_str());
    }

    // One GET; a finding for each broken rule. `zip` asks for the ZIP signature.
    bool CheckFile(const std::string& url, std::string* body, bool zip, bool required = true) {
        Answer answer = Get(m_client, url);
        std::string problem;
        if (!answer.bReached) {
            problem = "no answer: " + answer.error;
        } else if (!answer.bHasLength) {
            problem = "no Content-Length";
        } else if (answer.length == 0) {
            problem = "Content-Length is 0";
        } else if (answer.bodyBytes != answer.length) {
            problem = "Content-Length " + std::to_string(answer.length) + " but the body has " +
                      (answer.bodyBytes > answer.length ? "more" : std::to_string(answer.bodyBytes)) + " bytes";
        } else if (answer.status != 200) {
            problem = "status " + std::to_string(answer.status) + ": the launcher would store this page as the file";
        } else if (zip && answer.head.compare(0, 4, "PK\x03\x04") != 0) {
            problem = "not a ZIP archive";
        }
        if (!problem.empty()) {
            if (required) {
                Fail(url, problem);
            } else {
                Note(url, problem + " (only the test channel asks for it)");
            }
            return false;
        }
        std::printf("ok   %s: %lld bytes\n", url.c_str(), static_cast<long long>(answer.length));
        if (body) *body = answer.head;
        return true;
    }

    bool ReadList(const std::string& list, uint32_t& updaterVersion, uint32_t& patchVersion) {
        std::string what = VersionListUrl(m_host);
        std::filesystem::path file = std::filesystem::temp_directory_path() /
                                     ("velmor-host-check-" + std::to_string(std::random_device{}()) + ".ini");
        if (!platform::WriteFileAtomically(file.string(), list)) {
            Fail(what, "cannot keep a copy in " + file.parent_path().string());
            return false;
        }
        auto key = [&file](const char* name) { return platform::GetProfileString(file.string(), kVersionSection, name); };
        std::string check = key("CheckVersion"), updater = key("UpdaterVersion"), patch = key("PatchFileVersion");
        std::filesystem::remove(file);
        if (updater.empty()) Fail(what, "no UpdaterVersion in section [Version]");
        if (patch.empty()) Fail(what, "no PatchFileVersion in section [Version]");
        if (updater.empty() || patch.empty()) return false;
        updaterVersion = ParseRecordNumber(updater);
        patchVersion = ParseRecordNumber(patch);
        if (ParseRecordNumber(check) != 2 || check.empty())
            Note(what, "CheckVersion is " + (check.empty() ? std::string("absent") : check) +
                           ": patching is not published, launchers start the game as it is");
        std::printf("ok   %s: UpdaterVersion %u, PatchFileVersion %u\n", what.c_str(), updaterVersion, patchVersion);
        return true;
    }

    void CheckPatches(uint32_t first, uint32_t last) {
        int brokenInARow = 0;
        for (uint32_t patch = first < 1 ? 1 : first; patch <= last && patch != 0; ++patch) {
            brokenInARow = CheckFile(PatchUrl(m_host, patch), nullptr, true) ? 0 : brokenInARow + 1;
            if (brokenInARow == kMaxBrokenInARow && patch < last) {
                Fail(PatchUrl(m_host, patch + 1), "not asked: " + std::to_string(kMaxBrokenInARow) +
                                                      " broken patches in a row");
                return;
            }
        }
    }

    void CheckLaunchers() {
        CheckFile(UpdaterUrl(m_host, false), nullptr, false);
        CheckFile(UpdaterUrl(m_host, true), nullptr, false, false);
    }

    std::string m_host;
    CHttpClient m_client;
    int m_problems = 0;
};

int RunHostCheck(const std::vector<std::string>& args) {
    std::string host;
    uint32_t first = 1;
    bool valid = true;
    for (size_t i = 0; i < args.size(); ++i) {
        if (args[i] == "--from" && i + 1 < args.size()) {
            first = ParseRecordNumber(args[++i]);
        } else if (host.empty() && !args[i].empty() && args[i][0] != '-') {
            host = args[i];
        } else {
            valid = false;
        }
    }
    if (WantsHelp(args) || !valid || host.empty()) {
        std::fprintf(WantsHelp(args) ? stdout : stderr,
                     "usage: velmor host-check [--from N] HOST\n\n"
                     "Checks the patch host HOST (a host name, optionally with :port) against what\n"
                     "the launcher relies on: http://HOST/velmor/UpdateVersion.ini with section\n"
                     "[Version] and the keys UpdaterVersion and PatchFileVersion (CheckVersion 2\n"
                     "publishes patching); every patch http://HOST/velmor/patch/pvNNNN.patch from\n"
                     "1 (or N) to PatchFileVersion as a ZIP archive; and, when UpdaterVersion is\n"
                     "above 9, new_updater.exe (test_updater.exe is noted when missing). Every\n"
                     "answer must have status 200 and a non-zero Content-Length equal to the length\n"
                     "of its body. Prints one line per finding; exit 1 when anything breaks.\n");
        return WantsHelp(args) ? 0 : 1;
    }
    return CHostChecker(host).Run(first);
}

CCommandRegistration registration("host-check", "check a patch host against what the launcher relies on",
                                  &RunHostCheck);

}  // namespace
