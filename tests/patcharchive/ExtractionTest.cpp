// The patch extraction over archives of independent writers (Info-ZIP zip, Python's
// zipfile) and byte-built ones: what lands in the folder, progress, stop, refusals.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <filesystem>
#include <map>
#include <string>

#include "patcharchive/PatchExtraction.h"
#include "tests/patcharchive/ZipFixture.h"
#include "tests/support/GbkText.h"
#include "tests/support/TempFolder.h"

using namespace ziptest;
using testsupport::CTempFolder;
using testsupport::Exists;
using testsupport::Gbk;
using testsupport::ReadFile;
using testsupport::RunShell;
using testsupport::WriteFile;
namespace fs = std::filesystem;

namespace {

std::string Pattern(size_t count, unsigned seed) {
    std::string out(count, '\0');
    for (size_t i = 0; i < count; ++i) {
        seed = seed * 1664525u + 1013904223u;
        out[i] = static_cast<char>(i % 3 == 0 ? seed >> 24 : 'A' + (i % 29));
    }
    return out;
}

class ExtractionTest : public ::testing::Test {
protected:
    int Extract(const std::string& archive, std::string* failure = nullptr) {
        return ExtractPatchArchive(archive, m_destination, m_host, failure);
    }
    std::string WriteArchive(const std::vector<FixtureEntry>& entries, const std::string& name = "patch.zip") {
        std::string path = m_work / name;
        WriteFile(path, BuildArchive(entries));
        return path;
    }
    void MakeSourceTree() {
        WriteFile(m_source + "/data/big.bin", Pattern(300000, 7));
        WriteFile(m_source + "/data/maps/a.txt", std::string(200000, 'm') + "end");
        WriteFile(m_source + "/data/stored.bin", Pattern(70000, 9));
        WriteFile(m_source + "/empty.txt", "");
        fs::create_directories(m_source + "/emptydir");
    }

    CTempFolder m_work;
    std::string m_source = m_work / "source";
    std::string m_destination = m_work / "game";
    CRecordingHost m_host;
};

TEST_F(ExtractionTest, InfoZipArchiveIsWrittenWholeWithTimesAndProgress) {
    MakeSourceTree();
    std::map<std::string, std::string> expected = Tree(m_source);
    // Info-ZIP stores names as the disk has them, unmarked: here in GBK, as on a
    // Simplified-Chinese system. They are created under their UTF-8 names.
    WriteFile(m_source + "/" + Gbk("更新") + "/" + Gbk("某文件.txt"), "gbk name");
    expected["更新"] = "/";
    expected["更新/某文件.txt"] = Digest("gbk name");
    fs::create_directories(m_destination);
    // -n .bin stores the .bin files, the rest is deflated.
    ASSERT_EQ(RunShell("cd " + m_source + " && zip -q -r -n .bin " + m_work.Path() + "/infozip.zip ."), 0);
    std::string failure;
    ASSERT_EQ(Extract(m_work / "infozip.zip", &failure), 1) << failure;
    EXPECT_EQ(Tree(m_destination), expected);

    uint64_t total = 300000 + 200003 + 70000 + 8;
    EXPECT_EQ(m_host.rangeMinimum, 0u);
    EXPECT_EQ(m_host.rangeMaximum, total);
    EXPECT_EQ(m_host.counter, total);
    ASSERT_FALSE(m_host.positions.empty());
    EXPECT_EQ(m_host.positions.front(), 0u);
    EXPECT_EQ(m_host.positions.back(), total);
    EXPECT_TRUE(std::is_sorted(m_host.positions.begin(), m_host.positions.end()));

    // DOS times have two-second steps.
    auto source = fs::last_write_time(m_source + "/data/big.bin");
    auto written = fs::last_write_time(m_destination + "/data/big.bin");
    EXPECT_LE(std::chrono::abs(source - written), std::chrono::seconds(2));
}

TEST_F(ExtractionTest, PythonArchivesWithGbkNamesAndDataDescriptorsAreWritten) {
    const char* script = R"(
import io, sys, zipfile
class Unseekable(io.RawIOBase):
    # Written as to a pipe: zipfile then puts data descriptors after the entries.
    def __init__(self): self.data = bytearray()
    def writable(self): return True
    def write(self, b): self.data += b; return len(b)
out = io.BytesIO() if sys.argv[2] == 'seekable' else Unseekable()
with zipfile.ZipFile(out, 'w') as z:
    z.writestr(zipfile.ZipInfo('maps/'), b'')
    z.writestr('maps/stored.bin', bytes(range(256)) * 300, compress_type=zipfile.ZIP_STORED)
    z.writestr('maps/deflated.txt', b'velmor ' * 30000, compress_type=zipfile.ZIP_DEFLATED)
    z.writestr('empty.bin', b'', compress_type=zipfile.ZIP_DEFLATED)
    z.writestr('\u66f4\u65b0.txt', b'utf-8 flagged', compress_type=zipfile.ZIP_DEFLATED)
    z.writestr('@@@@.txt', b'gbk name', compress_type=zipfile.ZIP_DEFLATED)
data = bytes(out.getvalue() if isinstance(out, io.BytesIO) else out.data)
# zipfile writes every other name as UTF-8; GBK names come from other tools.
data = data.replace(b'@@@@.txt', '\u6587\u4ef6.txt'.encode('gbk'))
open(sys.argv[1], 'wb').write(data)
)";    ASSERT_TRUE(RunPython(script, m_work / "seekable.zip seekable"));
    ASSERT_TRUE(RunPython(script, m_work / "streamed.zip streamed"));
    for (const char* archive : {"seekable.zip", "streamed.zip"}) {
        SCOPED_TRACE(archive);
        fs::remove_all(m_destination);
        std::string failure;
        ASSERT_EQ(Extract(m_work.Path() + "/" + archive, &failure), 1) << failure;
        std::string stored;
        for (int i = 0; i < 300; ++i)
            for (int b = 0; b < 256; ++b) stored += static_cast<char>(b);
        std::string deflated;
        for (int i = 0; i < 30000; ++i) deflated += "velmor ";
        std::map<std::string, std::string> expected = {
            {"maps", "/"},
            {"maps/stored.bin", Digest(stored)},
            {"maps/deflated.txt", Digest(deflated)},
            {"empty.bin", Digest("")},
            {"\xe6\x9b\xb4\xe6\x96\xb0.txt", Digest("utf-8 flagged")},
            {"\xe6\x96\x87\xe4\xbb\xb6.txt", Digest("gbk name")},
        };
        EXPECT_EQ(Tree(m_destination), expected);
    }
}

// The archive decides a name's code page, never the bytes' look: many GBK names
// are valid UTF-8 too (某 is C4 B3, which UTF-8 reads as "ĳ").
TEST_F(ExtractionTest, EachEntryNameGivesTheFileNameTheArchiveMeans) {
    const char* script = R"(
import sys, struct, zipfile, zlib
class Stored(zipfile.ZipInfo):
    # An entry whose name bytes are written as given, unmarked, as GBK tools do.
    def __init__(self, name, extra=b''):
        super().__init__('placeholder')
        self.stored = name.encode('gbk')
        self.extra = extra
    def _encodeFilenameFlags(self):
        return self.stored, self.flag_bits
def unicode_path(stored_name, utf8_name, crc_delta=0):
    body = b'\x01' + struct.pack('<I', zlib.crc32(stored_name.encode('gbk')) ^ crc_delta) + utf8_name.encode()
    return struct.pack('<HH', 0x7075, len(body)) + body
with zipfile.ZipFile(sys.argv[1], 'w', zipfile.ZIP_DEFLATED) as z:
    for name in ['\u67d0.bin', '\u5e90\u5c711.txt', '\u6885/\u8def.bin', '\u66f4\u65b0/\u6587\u4ef6.txt',
                 '\u6dfa/\u64fb.bin', 'plain/ascii.txt']:
        z.writestr(Stored(name), name.encode())
    z.writestr('\u4e2d\u6587/\u6807\u8bb0.txt', b'bit 11')  # zipfile marks such names as UTF-8
    z.writestr(Stored('\u65e7\u540d.bin', unicode_path('\u65e7\u540d.bin', '\u65b0\u540d.bin')), b'field')
    z.writestr(Stored('\u65e7\u540d\u4e8c.bin', unicode_path('\u65e7\u540d\u4e8c.bin', '\u65b0\u540d\u4e8c.bin', 1)),
               b'wrong crc')
)";
    ASSERT_TRUE(RunPython(script, m_work / "names.zip"));
    std::string failure;
    ASSERT_EQ(Extract(m_work / "names.zip", &failure), 1) << failure;
    std::map<std::string, std::string> expected = {
        {"某.bin", Digest("某.bin")},                    // GBK that is valid UTF-8
        {"庐山1.txt", Digest("庐山1.txt")},              // likewise, beside an ASCII digit
        {"梅", "/"},
        {"梅/路.bin", Digest("梅/路.bin")},
        {"更新", "/"},                                   // GBK that is not valid UTF-8
        {"更新/文件.txt", Digest("更新/文件.txt")},
        {"淺", "/"},                                     // trail bytes 0x5C are no separators
        {"淺/擻.bin", Digest("淺/擻.bin")},
        {"plain", "/"},
        {"plain/ascii.txt", Digest("plain/ascii.txt")},
        {"中文", "/"},                                   // bit 11
        {"中文/标记.txt", Digest("bit 11")},
        {"新名.bin", Digest("field")},                   // a Unicode path field for these bytes
        {"旧名二.bin", Digest("wrong crc")},             // a field for other bytes is ignored
    };
    EXPECT_EQ(Tree(m_destination), expected);
}

// GBK names written by a tool of its own: bsdtar converts them with its hdrcharset
// option and leaves them unmarked, as Simplified-Chinese tools do.
TEST_F(ExtractionTest, GbkNamesFromBsdtarAreCreatedAsTheyWereOnDisk) {
    WriteFile(m_source + "/地图/某城.bin", "map");
    WriteFile(m_source + "/梅.txt", "plum");
    ASSERT_EQ(RunShell("cd " + m_source + " && LC_ALL=C.UTF-8 bsdtar --format zip --options zip:hdrcharset=GBK -cf " +
                       m_work / "gbk.zip" + " 地图 梅.txt"),
              0);
    std::string failure;
    ASSERT_EQ(Extract(m_work / "gbk.zip", &failure), 1) << failure;
    EXPECT_EQ(Tree(m_destination), Tree(m_source));
}

TEST_F(ExtractionTest, EncryptedEntryFailsAfterTheEntriesBeforeIt) {
    WriteFile(m_source + "/plain.txt", "plain");
    WriteFile(m_source + "/secret.txt", "secret");
    ASSERT_EQ(RunShell("cd " + m_source + " && zip -q ../enc.zip plain.txt && zip -q -P pw ../enc.zip secret.txt"), 0);
    std::string failure;
    EXPECT_EQ(Extract(m_work / "enc.zip", &failure), 0);
    EXPECT_NE(failure.find("encrypted"), std::string::npos) << failure;
    EXPECT_EQ(ReadFile(m_destination + "/plain.txt"), "plain");
    EXPECT_FALSE(Exists(m_destination + "/secret.txt"));
}

TEST_F(ExtractionTest, OnlyFoldersGiveAnEmptyRangeAndResultOne) {
    std::string archive = WriteArchive({{.name = "a/", .method = 0, .externalAttr = 0x10},
                                        {.name = "a/b/c/", .method = 0, .externalAttr = 0x11},
                                        {.name = "d/", .method = 0}});
    EXPECT_EQ(Extract(archive), 1);
    EXPECT_EQ(m_host.rangeMaximum, 0u);
    EXPECT_TRUE(fs::is_directory(m_destination + "/a/b/c"));
    EXPECT_TRUE(fs::is_directory(m_destination + "/d")) << "a name ending in / is a folder without the flag too";
    // The read-only flag must not keep the folder from taking files.
    EXPECT_NE(fs::status(m_destination + "/a/b/c").permissions() & fs::perms::owner_write, fs::perms::none);
}

TEST_F(ExtractionTest, RootsAndDriveLettersAreTakenOffTheName) {
    std::string archive = WriteArchive({{.name = "\\maps\\a.bin", .data = "one"},
                                        {.name = "C:\\maps\\b.bin", .data = "two"},
                                        {.name = "d:/maps/c.bin", .data = "three"},
                                        {.name = "/abs/d.bin", .data = "four"}});
    EXPECT_EQ(Extract(archive), 1);
    EXPECT_EQ(ReadFile(m_destination + "/maps/a.bin"), "one");
    EXPECT_EQ(ReadFile(m_destination + "/maps/b.bin"), "two");
    EXPECT_EQ(ReadFile(m_destination + "/maps/c.bin"), "three");
    EXPECT_EQ(ReadFile(m_destination + "/abs/d.bin"), "four");
}

TEST_F(ExtractionTest, ExistingFilesAreReplacedWhateverTheirCaseAndFlags) {
    WriteFile(m_destination + "/Data/Game.cfg", std::string(10000, 'o'));
    WriteFile(m_destination + "/readonly.dat", "old old old");
    chmod((m_destination + "/readonly.dat").c_str(), 0444);
    std::string archive = WriteArchive({{.name = "data/game.CFG", .data = "new"},
                                        {.name = "readonly.dat", .data = "new", .externalAttr = 0x01},
                                        {.name = "empty", .data = ""}});
    std::string failure;
    ASSERT_EQ(Extract(archive, &failure), 1) << failure;
    EXPECT_EQ(ReadFile(m_destination + "/Data/Game.cfg"), "new");
    EXPECT_FALSE(Exists(m_destination + "/data"));
    EXPECT_EQ(ReadFile(m_destination + "/readonly.dat"), "new");
    EXPECT_EQ(fs::status(m_destination + "/readonly.dat").permissions() & fs::perms::owner_write, fs::perms::none);
    EXPECT_EQ(fs::file_size(m_destination + "/empty"), 0u);
}

TEST_F(ExtractionTest, StopGivesTwoAtEveryPointUpToTheLastChunk) {
    // Entry one: 3 chunks (65535, 65535, 1); entry two: 1 chunk. Stop tests come after
    // every chunk and after every entry: 4 + 2 = 6 of them.
    std::string archive = WriteArchive({{.name = "a.bin", .data = Pattern(131071, 1)},
                                        {.name = "b.bin", .data = "last"}});
    for (int stopAt = 1; stopAt <= 6; ++stopAt) {
        SCOPED_TRACE(stopAt);
        fs::remove_all(m_destination);
        m_host = CRecordingHost();
        m_host.stopAtTest = stopAt;
        EXPECT_EQ(Extract(archive), 2);
        // A stop seen inside an entry is seen once more by the driver after it.
        bool afterEntry = stopAt == 4 || stopAt == 6;
        EXPECT_EQ(m_host.stopTests, afterEntry ? stopAt : stopAt + 1) << "the extraction ends at the first stop";
        EXPECT_EQ(Exists(m_destination + "/b.bin"), stopAt >= 5);
    }
    // The file cut short by a stop keeps what was written.
    fs::remove_all(m_destination);
    m_host = CRecordingHost();
    m_host.stopAtTest = 2;
    EXPECT_EQ(Extract(archive), 2);
    EXPECT_EQ(ReadFile(m_destination + "/a.bin"), Pattern(131071, 1).substr(0, 131070));
    m_host = CRecordingHost();
    EXPECT_EQ(Extract(archive), 1);
    EXPECT_EQ(m_host.stopTests, 6);
}

TEST_F(ExtractionTest, DamageEndsTheExtractionWithZeroAndAReason) {
    std::string data = Pattern(100000, 3);
    struct Case {
        const char* what;
        std::vector<FixtureEntry> entries;
        const char* reason;
    } cases[] = {
        {"crc", {{.name = "a", .data = data, .crc = 5}}, "CRC"},
        {"short", {{.name = "a", .data = data, .uncompressedSize = 100001}}, "fewer bytes"},
        {"stored sizes", {{.name = "a", .data = "", .method = 0, .compressedSize = 4, .payload = "abcd"}}, "damaged"},
        {"garbage stream", {{.name = "a", .data = data, .payload = std::string(300, '\xfe')}}, "damaged"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        std::string failure;
        EXPECT_EQ(Extract(WriteArchive(c.entries), &failure), 0);
        EXPECT_NE(failure.find(c.reason), std::string::npos) << failure;
    }
    std::string failure;
    WriteFile(m_work / "not.zip", "this is no archive");
    EXPECT_EQ(Extract(m_work / "not.zip", &failure), 0);
    EXPECT_NE(failure.find("central directory"), std::string::npos) << failure;
    EXPECT_EQ(Extract(m_work / "missing.zip", &failure), 0);
    EXPECT_NE(failure.find("missing.zip"), std::string::npos) << failure;
    // A file standing where a folder must go.
    WriteFile(m_destination + "/blocker", "x");
    EXPECT_EQ(Extract(WriteArchive({{.name = "blocker/a.txt", .data = "x"}}), &failure), 0);
    EXPECT_NE(failure.find("cannot create"), std::string::npos) << failure;
}

TEST_F(ExtractionTest, HostileNamesWriteNothingOutsideTheDestination) {
    CTempFolder outside;
    fs::create_directories(m_destination + "/deep/er");
    WriteFile(outside / "victim", "untouched");
    fs::create_symlink(outside.Path(), m_destination + "/link");
    fs::create_symlink(outside / "victim", m_destination + "/filelink");
    std::string outsideRelative = fs::relative(outside.Path(), m_destination + "/deep/er").string();
    struct Case {
        std::string name;
        bool folder;
        uint16_t flag = 0;
    } cases[] = {
        {"..\\x", false},
        {"a\\..\\..\\x", false},
        {"../x", false},
        {"deep/er/" + outsideRelative + "/x", false},
        {"C:..\\x", false},
        {"\\..\\x", false},
        {"..\\", true},
        {"link\\x", false},
        {"LINK/sub/x", false},
        {"link/", true},
        {"filelink", false},
        {std::string("ok\0/../../x", 11), false},
        // Names that are not what the archive says they are would be written under
        // names nobody meant.
        {"caf\x82.txt", false},
        {"\xB8\xFC.txt", false, 0x800},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        fs::remove_all(m_destination + "/first.txt");
        std::string failure;
        std::string archive = WriteArchive({{.name = "first.txt", .data = "written"},
                                            {.name = c.name, .data = c.folder ? "" : "evil", .flag = c.flag,
                                             .externalAttr = c.folder ? 0x10u : 0u},
                                            {.name = "after.txt", .data = "never"}});
        EXPECT_EQ(Extract(archive, &failure), 0);
        EXPECT_NE(failure.find("refused"), std::string::npos) << failure;
        EXPECT_EQ(ReadFile(m_destination + "/first.txt"), "written");
        EXPECT_FALSE(Exists(m_destination + "/after.txt"));
        EXPECT_FALSE(Exists(m_work.Path() + "/x"));
        EXPECT_FALSE(Exists(outside / "x"));
        EXPECT_FALSE(Exists(outside / "sub"));
        EXPECT_EQ(ReadFile(outside / "victim"), "untouched");
    }
    EXPECT_EQ(Tree(outside.Path()).size(), 1u);
}

}  // namespace
