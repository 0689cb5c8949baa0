// velmor pack: inspect and repair a game folder's data pack (data.vah/data.vaf).
#include <cstdio>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "pack/PackUpdater.h"
#include "pack/PackVerify.h"
#include "platform/CodePage.h"
#include "platform/File.h"
#include "platform/FileSystem.h"
#include "platform/ProfileFile.h"
#include "tools/velmor/Command.h"
#include "tools/velmor/TerminalProgress.h"

namespace {

const char* const kUsage =
    "usage: velmor pack VERB [--folder DIR] [ARGS]\n"
    "\n"
    "Works on the game pack data.vah/data.vaf of the game folder DIR (default: the\n"
    "current folder).\n"
    "\n"
    "Verbs:\n"
    "  list       the folder tree with every file's offset and size, then the rest space\n"
    "             (names in UTF-8; a byte that is not GBK shows as \\xHH)\n"
    "  verify     check that every file and free region lies inside data.vaf and that no\n"
    "             two overlap; exit 1 with the first conflict otherwise\n"
    "  cat PATH   write the bytes of the file at PATH (UTF-8, \\ or /, case of A-Z\n"
    "             ignored) to standard output\n"
    "  merge      merge update.vah/update.vaf into the pack and delete them; the recovery\n"
    "             marker StartUpdate is kept in the folder's Version.ini\n"
    "  delete     remove the paths listed in delete.lst, trim the rest space list and\n"
    "             save data.vah; markers as for merge\n"
    "\n"
    "Exit status: 0 on success, 1 with a message otherwise.\n";

struct Options {
    std::string verb;
    std::string folder;
    std::vector<std::string> operands;
};

std::optional<Options> ParseOptions(const std::vector<std::string>& args) {
    Options options;
    for (size_t i = 0; i < args.size(); ++i) {
        const std::string& arg = args[i];
        if (arg == "--folder") {
            if (i + 1 >= args.size()) return std::nullopt;
            options.folder = args[++i];
        } else if (arg.rfind("--folder=", 0) == 0) {
            options.folder = arg.substr(9);
        } else if (arg.size() > 1 && arg[0] == '-') {
            return std::nullopt;
        } else if (options.verb.empty()) {
            options.verb = arg;
        } else {
            options.operands.push_back(arg);
        }
    }
    if (options.verb.empty()) return std::nullopt;
    return options;
}

int Fail(const std::string& message) {
    std::fprintf(stderr, "velmor pack: %s\n", message.c_str());
    return 1;
}

std::string InFolder(const Options& options, const std::string& name) {
    return options.folder.empty() ? name : options.folder + "/" + name;
}

// The status line goes to standard error, the file progress bar to the terminal,
// the recovery marker into the folder's Version.ini.
class CCommandLineHost : public IPackHost {
public:
    explicit CCommandLineHost(std::string versionFile) : m_strVersionFile(std::move(versionFile)) {}
    void ShowStatusError(const std::string& text) override {
        m_progress.Finish();
        std::fprintf(stderr, "velmor pack: %s\n", text.c_str());
    }
    void SetFileProgressRange(uint64_t, uint64_t maximum) override { m_uRange = maximum; }
    void SetFileProgressPos(uint64_t position) override { m_progress.Update("file", position, m_uRange); }
    bool WriteStartUpdate(const std::string& marker) override {
        return platform::WriteProfileString(m_strVersionFile, "Version", "StartUpdate", marker);
    }
    void Finish() { m_progress.Finish(); }

private:
    std::string m_strVersionFile;
    CTerminalProgress m_progress;
    uint64_t m_uRange = 0;
};

// Pack names are GBK; they are shown in UTF-8, bytes that are not GBK as \xHH.
std::string Shown(const std::string& name) { return platform::GbkToUtf8(name); }

void PrintFolder(const PackFolder& folder, int depth) {
    std::string indent(static_cast<size_t>(depth) * 2, ' ');
    std::printf("%s%s/\n", indent.c_str(), Shown(folder.Name()).c_str());
    for (const PackFileEntry& entry : folder.Files()) {
        std::printf("%s  %s  offset %llu  size %u  extra %u\n", indent.c_str(), Shown(entry.Name).c_str(),
                    static_cast<unsigned long long>(entry.Offset), entry.Size, entry.Extra);
    }
    for (const auto& child : folder.Folders()) PrintFolder(*child, depth + 1);
}

int RunList(CPackUpdater& pack) {
    size_t files = 0;
    ForEachPackFile(pack.GameRoot(), [&](const std::string&, const PackFileEntry&) { ++files; });
    std::printf("Stamp %u  FileCount %u (%zu in the tree)  WastedBytes %u\n", pack.GameStamp(),
                pack.GameFileCount(), files, pack.WastedBytes());
    PrintFolder(pack.GameRoot(), 0);
    std::printf("rest space (%zu):\n", pack.RestSpace().Count());
    pack.RestSpace().ForEach([](const PackFileEntry& entry) {
        std::printf("  %s  offset %llu  size %u\n", Shown(entry.Name).c_str(),
                    static_cast<unsigned long long>(entry.Offset), entry.Size);
    });
    return 0;
}

int RunVerify(CPackUpdater& pack) {
    std::optional<uint64_t> dataSize = platform::FileSize(pack.DataFilePath());
    if (!dataSize) return Fail(pack.DataFilePath() + " cannot be read");
    if (std::optional<std::string> conflict = FindPackConflict(pack, *dataSize)) return Fail(*conflict);
    size_t files = 0;
    ForEachPackFile(pack.GameRoot(), [&](const std::string&, const PackFileEntry&) { ++files; });
    std::printf("ok: %zu files, %zu rest space regions, data.vaf %llu bytes\n", files, pack.RestSpace().Count(),
                static_cast<unsigned long long>(*dataSize));
    return 0;
}

// `path` comes from the command line in UTF-8 and is looked up under its GBK name.
int RunCat(CPackUpdater& pack, const std::string& path) {
    std::optional<std::string> gbk = platform::Utf8ToGbk(path);
    if (!gbk) return Fail("no file " + path + " in the pack: GBK, the code page of pack names, cannot hold it");
    const PackFileEntry* entry = pack.FindPath(*gbk);
    if (!entry) return Fail("no file " + path + " in the pack");
    platform::CFile data;
    if (!data.Open(pack.DataFilePath(), platform::CFile::Mode::Read) || !data.Seek(entry->Offset)) {
        return Fail(pack.DataFilePath() + " cannot be read");
    }
    std::vector<char> buffer(1 << 16);
    uint64_t remaining = entry->Size;
    while (remaining > 0) {
        size_t chunk = static_cast<size_t>(std::min<uint64_t>(remaining, buffer.size()));
        if (data.Read(buffer.data(), chunk) != chunk) return Fail(path + " ends outside " + pack.DataFilePath());
        if (std::fwrite(buffer.data(), 1, chunk, stdout) != chunk) return Fail("standard output cannot be written");
        remaining -= chunk;
    }
    return std::fflush(stdout) == 0 ? 0 : Fail("standard output cannot be written");
}

int RunMerge(const Options& options) {
    CCommandLineHost host(InFolder(options, "Version.ini"));
    CPackUpdater pack(host, options.folder);
    bool merged = pack.MergeUpdatePack();
    host.Finish();
    if (!merged) return 1;
    std::printf("merged: %u files in the pack\n", pack.GameFileCount());
    return 0;
}

int RunDelete(const Options& options) {
    CCommandLineHost host(InFolder(options, "Version.ini"));
    CPackUpdater pack(host, options.folder);
    // As the launcher's final step: the pack counts as damaged until the header is saved.
    host.WriteStartUpdate("UPDATE_START");
    if (!pack.ApplyDeleteList()) return Fail(pack.DataHeaderPath() + " cannot be read or is damaged");
    if (!pack.SaveDataHeader()) return Fail(pack.DataHeaderPath() + " cannot be written");
    host.WriteStartUpdate("UPDATE_END");
    std::printf("done: %u files in the pack, %zu rest space regions\n", pack.GameFileCount(),
                pack.RestSpace().Count());
    return 0;
}

int RunPack(const std::vector<std::string>& args) {
    if (WantsHelp(args)) {
        std::fputs(kUsage, stdout);
        return 0;
    }
    std::optional<Options> options = ParseOptions(args);
    if (!options) {
        std::fputs(kUsage, stderr);
        return 1;
    }
    if (options->verb == "merge" && options->operands.empty()) return RunMerge(*options);
    if (options->verb == "delete" && options->operands.empty()) return RunDelete(*options);
    bool readOnly = options->verb == "list" || options->verb == "verify" || options->verb == "cat";
    size_t operands = options->verb == "cat" ? 1 : 0;
    if (!readOnly || options->operands.size() != operands) {
        std::fputs(kUsage, stderr);
        return 1;
    }
    CCommandLineHost host(InFolder(*options, "Version.ini"));
    CPackUpdater pack(host, options->folder);
    if (!pack.LoadGameHeader()) return Fail(pack.DataHeaderPath() + " is missing or damaged");
    if (options->verb == "list") return RunList(pack);
    if (options->verb == "verify") return RunVerify(pack);
    return RunCat(pack, options->operands[0]);
}

CCommandRegistration registration("pack", "inspect, verify, merge into and trim the game data pack", &RunPack);

}  // namespace
