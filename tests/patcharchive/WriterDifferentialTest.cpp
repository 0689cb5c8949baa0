// One tree archived by every writer the test machine has, with their usual
// options: each archive must extract to the tree again (bytes, names, the
// read-only flag, times to the two-second step of DOS times). And times across
// time zones, from the writers that record UTC.
#include <gtest/gtest.h>
#include <fcntl.h>
#include <sys/stat.h>

#include <cstdlib>
#include <filesystem>
#include <string>

#include "patcharchive/PatchExtraction.h"
#include "tests/patcharchive/ZipFixture.h"
#include "tests/support/TempFolder.h"

using namespace ziptest;
using testsupport::BuildFolder;
using testsupport::CTempFolder;
using testsupport::RunShell;
using testsupport::WriteFile;
namespace fs = std::filesystem;

namespace {

constexpr const char* kChineseFolder = "\xe6\x95\xb0\xe6\x8d\xae";                    // 数据
constexpr const char* kChineseFile = "\xe6\x9b\xb4\xe6\x96\xb0\xe8\xaf\xb4\xe6\x98\x8e.txt";  // 更新说明.txt

// Python's zipfile over the tree in the current folder: argv[1] the archive,
// argv[2] "deflated" or "stored". Non-ASCII names get bit 11.
constexpr const char* kPythonWriter = R"(
import os, sys, zipfile
method = zipfile.ZIP_DEFLATED if sys.argv[2] == 'deflated' else zipfile.ZIP_STORED
with zipfile.ZipFile(sys.argv[1], 'w', method) as z:
    for folder, folders, files in os.walk('.'):
        for name in sorted(folders) + sorted(files):
            path = os.path.join(folder, name)
            z.write(path, os.path.relpath(path, '.'))
)";

// Archive::Zip at level 9, its Unicode switch on so that names get bit 11. It sets
// flag bit 1 (maximum compression) in the central header only.
constexpr const char* kPerlWriter = R"(
use strict; use Archive::Zip qw(:ERROR_CODES);
$Archive::Zip::UNICODE = 1;
my $zip = Archive::Zip->new();
$zip->addTree({ root => '.', compressionLevel => 9 });
$zip->writeToFileNamed($ARGV[0]) == AZ_OK or die "cannot write $ARGV[0]";
)";

std::string Mixed(size_t size) {
    std::string out;
    out.reserve(size);
    unsigned seed = 22;
    while (out.size() < size / 2) {
        seed = seed * 1103515245u + 12345u;
        out += static_cast<char>(seed >> 16);
    }
    for (int line = 0; out.size() < size; ++line) out += "mixed line " + std::to_string(line * 31 % 977) + " velmor\n";
    out.resize(size);
    return out;
}

void SetTime(const std::string& path, std::time_t time) {
    timespec times[2] = {{time, 0}, {time, 0}};
    ASSERT_EQ(utimensat(AT_FDCWD, path.c_str(), times, 0), 0) << path;
}

std::time_t TimeOf(const std::string& path) {
    struct stat info {};
    return stat(path.c_str(), &info) == 0 ? info.st_mtime : -1;
}

bool IsReadOnly(const std::string& path) {
    return (fs::status(path).permissions() & fs::perms::owner_write) == fs::perms::none;
}

// The tree: an empty folder, an empty file, a read-only file, a few MB of mixed
// data, files on the edges of the 65535-byte chunk and, with `chinese`, Chinese
// names. Odd seconds, a few hours apart, so that rounding and zones would show.
void MakeTree(const std::string& root, bool chinese) {
    fs::create_directories(root + "/emptydir");
    WriteFile(root + "/empty.txt", "");
    WriteFile(root + "/readonly.txt", "read only\n");
    WriteFile(root + "/mixed.bin", Mixed(3 << 20));
    WriteFile(root + "/data/maps/zeros.bin", std::string(65536, '\0'));
    WriteFile(root + "/data/maps/text.txt", Mixed(131071).substr(65536));
    if (chinese) {
        WriteFile(root + "/" + kChineseFolder + "/" + kChineseFile, "patch notes\n");
        WriteFile(root + "/" + kChineseFolder + "/zeros.bin", std::string(131070, '\0'));
    }
    std::time_t time = 1710683131;  // 2024-03-17 13:45:31 UTC
    for (const auto& item : fs::recursive_directory_iterator(root)) {
        if (item.is_regular_file()) SetTime(item.path().string(), time += 3 * 3600 + 7);
    }
    fs::permissions(root + "/readonly.txt", fs::perms::owner_read | fs::perms::group_read | fs::perms::others_read);
}

class WriterDifferentialTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        s_pWork = new CTempFolder();
        MakeTree(*s_pWork / "full", true);
        MakeTree(*s_pWork / "ascii", false);
        WriteFile(*s_pWork / "writer.py", kPythonWriter);
        WriteFile(*s_pWork / "writer.pl", kPerlWriter);
    }
    static void TearDownTestSuite() {
        delete s_pWork;
        s_pWork = nullptr;
    }

    // The extracted tree equals the source: names, bytes, read-only, file times.
    static void ExpectSameTree(const std::string& source, const std::string& extracted) {
        std::map<std::string, std::string> expected = Tree(source);
        std::map<std::string, std::string> got = Tree(extracted);
        EXPECT_EQ(got, expected);
        for (const auto& [name, digest] : expected) {
            if (!got.count(name)) continue;
            SCOPED_TRACE(name);
            std::string from = source + "/" + name;
            std::string to = extracted + "/" + name;
            if (digest == "/") {
                EXPECT_FALSE(IsReadOnly(to)) << "folders stay writable";
                continue;
            }
            EXPECT_EQ(IsReadOnly(to), IsReadOnly(from));
            EXPECT_LE(std::abs(TimeOf(to) - TimeOf(from)), 2);
        }
    }

    static CTempFolder* s_pWork;
};

CTempFolder* WriterDifferentialTest::s_pWork = nullptr;

TEST_F(WriterDifferentialTest, EveryWriterExtractsToTheTree) {
    struct Row {
        const char* writer;
        std::string command;  // run inside the tree; $OUT is the archive
        // Info-ZIP zip 3.0 stores names as the file system spells them and marks
        // none as UTF-8 (no bit 11, no Unicode path field), not even with -UN=UTF8:
        // its archives get the ASCII tree, since a reader can only guess at them.
        bool marksUtf8Names;
    } rows[] = {
        {"Info-ZIP zip", "zip -q -r $OUT .", false},
        {"Info-ZIP zip -0", "zip -q -r -0 $OUT .", false},
        {"Info-ZIP zip -9", "zip -q -r -9 $OUT .", false},
        {"Info-ZIP zip to a pipe", "zip -q -r - . | cat >$OUT", false},
        {"bsdtar", "bsdtar --format zip -cf $OUT .", true},
        {"bsdtar store", "bsdtar --format zip --options zip:compression=store -cf $OUT .", true},
        {"7z", "7z a -tzip $OUT . >/dev/null", true},
        {"7z Copy", "7z a -tzip -mm=Copy $OUT . >/dev/null", true},
        {"Python zipfile deflated", "python3 ../writer.py $OUT deflated", true},
        {"Python zipfile stored", "python3 ../writer.py $OUT stored", true},
        {"Perl Archive::Zip level 9", "perl ../writer.pl $OUT", true},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.writer);
        std::string source = *s_pWork / (row.marksUtf8Names ? "full" : "ascii");
        CTempFolder work;
        std::string archive = work / "patch.zip";
        // bsdtar and 7z take the names' encoding from the locale.
        ASSERT_EQ(RunShell("cd " + source + " && export LC_ALL=C.UTF-8 OUT=" + archive + " && " + row.command), 0);
        CRecordingHost host;
        std::string failure;
        int result = ExtractPatchArchive(archive, work / "game", host, &failure);
        EXPECT_EQ(result, kExtractDone) << failure;
        if (result == kExtractDone) ExpectSameTree(source, work / "game");
    }
}

TEST_F(WriterDifferentialTest, UtcTimesSurviveAChangeOfTimeZone) {
    // Made in UTC+8, extracted in UTC: the DOS time alone would be 8 hours off.
    const std::string rows[] = {
        "zip -q -r $OUT .",                         // extended timestamp
        "bsdtar --format zip -cf $OUT .",           // extended timestamp
        "7z a -tzip $OUT . >/dev/null",             // NTFS times
    };
    for (const std::string& command : rows) {
        SCOPED_TRACE(command);
        std::string source = *s_pWork / "ascii";
        CTempFolder work;
        std::string archive = work / "patch.zip";
        ASSERT_EQ(RunShell("cd " + source + " && export TZ=Asia/Shanghai OUT=" + archive + " && " + command), 0);
        ASSERT_EQ(RunShell("TZ=UTC " + BuildFolder() + "/tools/velmor extract " + archive + " " + work / "game" +
                           " >/dev/null"),
                  0);
        for (const auto& [name, digest] : Tree(source)) {
            if (digest == "/") continue;
            SCOPED_TRACE(name);
            EXPECT_EQ(TimeOf(work / ("game/" + name)), TimeOf(source + "/" + name));
        }
    }
}

}  // namespace
