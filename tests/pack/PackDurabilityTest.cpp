// The order in which a merge and a deletion step reach the disk, observed on the
// real program's system calls: copied bytes flushed before the header that names
// them, the UPDATE_START marker before the new header, the header (and its folder
// entry) before UPDATE_END, the update files deleted last, and no flush per file.
#include <gtest/gtest.h>

#include <sstream>

#include "tests/pack/PackFixture.h"
#include "tests/support/TempFolder.h"

using namespace packtest;
using testsupport::BuildFolder;
using testsupport::CTempFolder;
using testsupport::ReadFile;
using testsupport::RunShell;

namespace {

// Each traced call as "fsync data.vaf", "rename data.vah", "fsync <folder>", ...
std::vector<std::string> TraceVelmor(const CTempFolder& folder, const std::string& verb) {
    std::string log = folder / "trace";
    int status = RunShell("strace -f -y -e trace=fsync,fdatasync,rename,renameat,renameat2,unlink,unlinkat -o '" + log +
                          "' " + BuildFolder() + "/tools/velmor pack " + verb + " --folder '" + folder.Path() +
                          "' >/dev/null 2>&1");
    EXPECT_EQ(status, 0) << verb;
    std::vector<std::string> events;
    std::istringstream lines(ReadFile(log));
    for (std::string line; std::getline(lines, line);) {
        size_t call = line.find_first_not_of("0123456789 ");
        size_t open = line.find('(', call);
        if (call == std::string::npos || open == std::string::npos) continue;
        std::string name = line.substr(call, open - call);
        if (name.rfind("rename", 0) == 0) name = "rename";
        if (name.rfind("unlink", 0) == 0) name = "unlink";
        // The file: the fd's path for a flush, the last path argument otherwise.
        size_t end = name == "fsync" || name == "fdatasync" ? line.find('>', open) : line.rfind('"');
        size_t begin = name == "fsync" || name == "fdatasync" ? line.find('<', open) + 1 : line.rfind('"', end - 1) + 1;
        if (end == std::string::npos || begin == 0 || begin > end) continue;
        std::string path = line.substr(begin, end - begin);
        std::string file = path == folder.Path() ? "<folder>" : path.substr(path.rfind('/') + 1);
        events.push_back(name + " " + file);
    }
    return events;
}

size_t Nth(const std::vector<std::string>& events, const std::string& event, int n = 1, size_t from = 0) {
    for (size_t i = from; i < events.size(); ++i) {
        if (events[i] == event && --n == 0) return i;
    }
    ADD_FAILURE() << "no " << event;
    return events.size();
}

std::string Joined(const std::vector<std::string>& events) {
    std::string text;
    for (const std::string& event : events) text += event + "\n";
    return text;
}

bool CanTrace() { return RunShell("strace -o /dev/null true >/dev/null 2>&1") == 0; }

}  // namespace

TEST(PackDurability, MergeFlushesEachStepBeforeTheNextOneReliesOnIt) {
    if (!CanTrace()) GTEST_SKIP() << "strace cannot trace here";
    CTempFolder folder;
    CPackBuilder game;
    for (int i = 0; i < 20; ++i) game.File("d\\f" + std::to_string(i), std::string(30, 'g'));
    game.Write(folder.Path());
    CPackBuilder update;
    for (int i = 0; i < 40; ++i) update.File("d\\f" + std::to_string(i), std::string(20 + i, 'u'));
    update.Write(folder.Path(), "update");
    std::vector<std::string> events = TraceVelmor(folder, "merge");
    SCOPED_TRACE(Joined(events));

    size_t copied = Nth(events, "fsync data.vaf");
    size_t started = Nth(events, "rename Version.ini");
    size_t headerFlushed = Nth(events, "fsync data.vah.partial");
    size_t header = Nth(events, "rename data.vah");
    size_t headerEntry = Nth(events, "fsync <folder>", 1, header);
    size_t ended = Nth(events, "rename Version.ini", 2);
    size_t removed = Nth(events, "unlink update.vaf");
    EXPECT_LT(copied, started);
    EXPECT_LT(started, headerFlushed);
    EXPECT_LT(headerFlushed, header);
    EXPECT_LT(headerEntry, ended);
    EXPECT_LT(ended, removed);
    EXPECT_EQ(std::count(events.begin(), events.end(), "fsync data.vaf"), 1) << "one flush, not one per file";
    ExpectPack(folder.Path(), [] {
        std::map<std::string, std::string> content;
        for (int i = 0; i < 40; ++i) content["d\\f" + std::to_string(i)] = std::string(20 + i, 'u');
        return content;
    }());
}

TEST(PackDurability, DeletionStepWritesTheHeaderBetweenTheMarkers) {
    if (!CanTrace()) GTEST_SKIP() << "strace cannot trace here";
    CTempFolder folder;
    CPackBuilder().File("a.bin", "a").File("b.bin", "b").Write(folder.Path());
    testsupport::WriteFile(folder / "delete.lst", "a.bin\n");
    std::vector<std::string> events = TraceVelmor(folder, "delete");
    SCOPED_TRACE(Joined(events));
    size_t started = Nth(events, "rename Version.ini");
    size_t header = Nth(events, "rename data.vah");
    size_t headerEntry = Nth(events, "fsync <folder>", 1, header);
    size_t ended = Nth(events, "rename Version.ini", 2);
    EXPECT_LT(started, header);
    EXPECT_LT(headerEntry, ended);
    ExpectPack(folder.Path(), {{"b.bin", "b"}});
}
