#include "tests/e2e/GameFolder.h"

#include <sys/wait.h>

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <random>
#include <stdexcept>

#include "pack/PackUpdater.h"
#include "pack/PackVerify.h"
#include "platform/FileSystem.h"
#include "platform/ProfileFile.h"
#include "tests/support/GbkText.h"
#include "tests/support/TempFolder.h"

namespace fs = std::filesystem;

namespace e2e {
namespace {

// The pack is only read here: nothing to show, no marker to write.
class CReadOnlyPackHost : public IPackHost {
public:
    void ShowStatusError(const std::string&) override {}
    void SetFileProgressRange(uint64_t, uint64_t) override {}
    void SetFileProgressPos(uint64_t) override {}
    bool WriteStartUpdate(const std::string&) override { return false; }
};

bool IsRecordOrPack(const std::string& relative) {
    std::string lower = relative;
    std::transform(lower.begin(), lower.end(), lower.begin(), [](unsigned char c) { return std::tolower(c); });
    return lower == "version.ini" || lower == "data.vah" || lower == "data.vaf";
}

std::string Quoted(const std::string& text) { return "'" + text + "'"; }

// Pack paths are found without regard to the case of A-Z, so their spelling is
// not part of what a folder holds. Names are GBK: only A-Z are folded, and only
// the separators put between names become '/' (a trail byte 0x5C stays).
std::string PackKey(std::string path) {
    for (char& c : path) {
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    }
    return path;
}

void CollectPacked(const PackFolder& folder, const std::string& prefix, const std::string& data, FileSet& packed) {
    for (const PackFileEntry& entry : folder.Files())
        packed[PackKey(prefix + entry.Name)] = data.substr(static_cast<size_t>(entry.Offset), entry.Size);
    for (const auto& child : folder.Folders()) CollectPacked(*child, prefix + child->Name() + "/", data, packed);
}

}  // namespace

std::string Velmor() { return testsupport::BuildFolder() + "/tools/velmor"; }

std::string NoiseBytes(size_t count, uint32_t seed) {
    std::mt19937 generator(seed);
    std::string bytes(count, '\0');
    for (char& byte : bytes) byte = static_cast<char>(generator() >> 24);
    return bytes;
}

void MakeGameFolder(const std::string& folder, const GameVersion& version, const std::string& scratch) {
    std::error_code ignored;
    fs::remove_all(scratch, ignored);
    fs::create_directories(scratch);
    fs::create_directories(folder);
    for (const auto& [path, bytes] : version.packed) testsupport::WriteFile(scratch + "/" + path, bytes);
    CommandResult packed = RunCommand(Velmor() + " mkpack --from " + Quoted(scratch) + " --folder " + Quoted(folder));
    if (packed.status != 0) throw std::runtime_error("velmor mkpack failed: " + packed.output);
    for (const auto& [path, bytes] : version.loose) testsupport::WriteFile(folder + "/" + path, bytes);
    if (version.loose.count("Game.exe")) fs::permissions(folder + "/Game.exe", fs::perms::owner_all | fs::perms::group_read);
}

void WriteLocalRecord(const std::string& folder, uint32_t currentVersion, const std::string& marker) {
    std::string record = "[Version]\r\nCheckVersion=2\r\nCurrentVersion=" + std::to_string(currentVersion) + "\r\n";
    if (!marker.empty()) record += "StartUpdate=" + marker + "\r\n";
    testsupport::WriteFile(folder + "/Version.ini", record);
}

GameContent ReadGameContent(const std::string& folder) {
    GameContent content;
    std::error_code error;
    for (auto it = fs::recursive_directory_iterator(folder, error); !error && it != fs::recursive_directory_iterator();
         it.increment(error)) {
        if (!it->is_regular_file()) continue;
        std::string relative = fs::relative(it->path(), folder).generic_string();
        if (!IsRecordOrPack(relative)) content.loose[relative] = testsupport::ReadFile(it->path().string());
    }

    CReadOnlyPackHost host;
    CPackUpdater pack(host, folder);
    if (!pack.LoadGameHeader()) {
        content.error = "data.vah cannot be read";
        return content;
    }
    std::string data = testsupport::Exists(folder + "/data.vaf") ? testsupport::ReadFile(folder + "/data.vaf") : "";
    if (auto conflict = FindPackConflict(pack, data.size())) {
        content.error = *conflict;
        return content;
    }
    CollectPacked(pack.GameRoot(), "", data, content.packed);
    return content;
}

GameContent ExpectedContent(const GameVersion& version) {
    GameContent content;
    // The pack holds its names in GBK, as iconv writes them.
    for (const auto& [path, bytes] : version.packed) content.packed[PackKey(testsupport::Gbk(path))] = bytes;
    content.loose = version.loose;
    return content;
}

std::string RecordValue(const std::string& folder, const std::string& key) {
    return platform::GetProfileString(folder + "/Version.ini", "Version", key);
}

std::string RecordingGameScript(const std::string& record) {
    return "#!/bin/sh\necho \"$@\" > '" + record + ".tmp'\nmv '" + record + ".tmp' '" + record + "'\n";
}

void CopyFolder(const std::string& from, const std::string& to) {
    std::error_code ignored;
    fs::remove_all(to, ignored);
    fs::copy(from, to, fs::copy_options::recursive);
}

std::string DescribeDifference(const FileSet& expected, const FileSet& actual) {
    std::string report;
    for (const auto& [path, bytes] : expected) {
        auto found = actual.find(path);
        if (found == actual.end())
            report += "missing " + path + "\n";
        else if (found->second != bytes)
            report += "differs " + path + " (" + std::to_string(found->second.size()) + " bytes, expected " +
                      std::to_string(bytes.size()) + ")\n";
    }
    for (const auto& [path, bytes] : actual)
        if (!expected.count(path)) report += "extra " + path + "\n";
    return report;
}

}  // namespace e2e
