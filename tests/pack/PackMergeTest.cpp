// Merging update packs: placement, counts, header fields, failures.
#include <gtest/gtest.h>

#include <filesystem>
#include <functional>
#include <random>

#include "pack/PackUpdater.h"
#include "pack/PackVerify.h"
#include "tests/pack/PackFixture.h"
#include "tests/support/GbkText.h"
#include "tests/support/TempFolder.h"

using namespace packtest;
using testsupport::CTempFolder;
using testsupport::Exists;
using testsupport::Gbk;
using testsupport::ReadFile;
using testsupport::WriteFile;

namespace {

using Content = std::map<std::string, std::string>;

std::string Bytes(size_t size, char fill) { return std::string(size, fill); }

bool Merge(const std::string& folder, CRecordingHost& host) {
    CPackUpdater pack(host, folder);
    return pack.MergeUpdatePack();
}

bool Merge(const std::string& folder) {
    CRecordingHost host;
    bool merged = Merge(folder, host);
    EXPECT_TRUE(host.status.empty()) << host.status.front();
    EXPECT_EQ(host.markers, (std::vector<std::string>{"UPDATE_START", "UPDATE_END"}));
    return merged;
}

uint64_t OffsetOf(const std::string& folder, const std::string& path) {
    CRecordingHost host;
    CPackUpdater pack(host, folder);
    EXPECT_TRUE(pack.LoadGameHeader());
    const PackFileEntry* entry = pack.FindPath(path);
    EXPECT_NE(entry, nullptr) << path;
    return entry ? entry->Offset : ~0ull;
}

std::vector<std::string> Rest(const std::string& folder) {
    std::vector<std::string> rest;
    for (const RestSpec& entry : ReadPack(folder).rest) {
        rest.push_back(entry.name + "@" + std::to_string(entry.offset) + "+" + std::to_string(entry.size));
    }
    return rest;
}

}  // namespace

TEST(PackMerge, ReplacingByFilesNoLargerKeepsTheDataFileLength) {
    CTempFolder folder;
    CPackBuilder().File("a.bin", Bytes(10, 'a')).File("maps\\b.bin", Bytes(20, 'b')).File("c.bin", "c").Write(folder.Path());
    CPackBuilder().File("a.bin", Bytes(10, 'A')).File("MAPS\\B.bin", Bytes(15, 'B')).Write(folder.Path(), "update");
    WriteFile(folder / "update.log", "log");
    uint64_t before = ReadFile(folder / "data.vaf").size();
    ASSERT_TRUE(Merge(folder.Path()));
    EXPECT_EQ(ReadFile(folder / "data.vaf").size(), before);
    ExpectPack(folder.Path(), {{"a.bin", Bytes(10, 'A')}, {"maps\\B.bin", Bytes(15, 'B')}, {"c.bin", "c"}});
    // b's 21 bytes held 16 of the new file; the other 5 are one entry of Size 4.
    EXPECT_EQ(Rest(folder.Path()), std::vector<std::string>{"rest space@27+4"});
    for (const char* name : {"update.vah", "update.vaf", "update.log"}) EXPECT_FALSE(Exists(folder / name)) << name;
}

TEST(PackMerge, ARemainderOfMoreThanOneByteBecomesARestSpaceEntry) {
    struct Case {
        size_t size;
        std::vector<std::string> rest;
    };
    for (const Case& c : {Case{98, {"rest space@104+1"}}, Case{99, {}}, Case{100, {}}, Case{101, {}}}) {
        CTempFolder folder;
        CPackBuilder().File("k.bin", "keep").File("r.bin", Bytes(100, 'o')).Write(folder.Path());
        CPackBuilder().File("r.bin", Bytes(c.size, 'n')).Write(folder.Path(), "update");
        ASSERT_TRUE(Merge(folder.Path()));
        ExpectPack(folder.Path(), {{"k.bin", "keep"}, {"r.bin", Bytes(c.size, 'n')}});
        // A file that no longer fits goes to the end and leaves its old region free.
        std::vector<std::string> expected = c.size > 100 ? std::vector<std::string>{"r.bin@5+100"} : c.rest;
        EXPECT_EQ(Rest(folder.Path()), expected) << c.size;
        EXPECT_EQ(OffsetOf(folder.Path(), "r.bin"), c.size > 100 ? 106u : 5u) << c.size;
    }
}

// Bytes past the last region the header names (a free region at the end counts)
// are what a merge that died before its header left: the next merge cuts them off
// and appends where the first one did, so it leaves data.vaf byte for byte as a
// merge of the clean pack does, whether it appends or not.
TEST(PackMerge, AnOrphanedTailIsCutOffAndAppendsGoToTheLogicalEnd) {
    struct Case {
        const char* name;
        CPackBuilder game;
        CPackBuilder update;
    } cases[] = {
        {"appending a new file", CPackBuilder().File("a.bin", Bytes(10, 'a')),
         CPackBuilder().File("n.bin", Bytes(30, 'N'))},
        {"a free region at the end", CPackBuilder().File("a.bin", Bytes(10, 'a')).Gap(8, "end"),
         CPackBuilder().File("n.bin", Bytes(30, 'N'))},
        {"nothing appended", CPackBuilder().File("a.bin", Bytes(10, 'a')).File("b.bin", Bytes(20, 'b')),
         CPackBuilder().File("b.bin", Bytes(20, 'B'))},
        {"a file of size 0 last", CPackBuilder().File("a.bin", Bytes(10, 'a')).File("z.bin", ""),
         CPackBuilder().File("z.bin", Bytes(5, 'Z'))},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        CTempFolder clean, crashed;
        for (const CTempFolder* folder : {&clean, &crashed}) {
            c.game.Write(folder->Path());
            c.update.Write(folder->Path(), "update");
        }
        std::string data = ReadFile(crashed / "data.vaf");
        WriteFile(crashed / "data.vaf", data + Bytes(4500, 'x'));
        ASSERT_TRUE(Merge(clean.Path()));
        ASSERT_TRUE(Merge(crashed.Path()));
        EXPECT_EQ(ReadFile(crashed / "data.vaf"), ReadFile(clean / "data.vaf"));
        EXPECT_EQ(ReadFile(crashed / "data.vah"), ReadFile(clean / "data.vah"));
    }
}

TEST(PackMerge, AllRemovalsHappenBeforeTheFirstCopy) {
    CTempFolder folder;
    CPackBuilder().File("b.bin", Bytes(60, 'b')).Write(folder.Path());
    // a.bin is copied first, into the region that b.bin's replacement freed.
    CPackBuilder().File("a.bin", Bytes(50, 'A')).File("b.bin", Bytes(60, 'B')).Write(folder.Path(), "update");
    ASSERT_TRUE(Merge(folder.Path()));
    EXPECT_EQ(OffsetOf(folder.Path(), "a.bin"), 0u);
    EXPECT_EQ(OffsetOf(folder.Path(), "b.bin"), 61u);
    ExpectPack(folder.Path(), {{"a.bin", Bytes(50, 'A')}, {"b.bin", Bytes(60, 'B')}});
    EXPECT_EQ(Rest(folder.Path()), std::vector<std::string>{"rest space@51+9"});
}

TEST(PackMerge, FirstFitTakesTheSmallestReadRegionBeforeFreedOnes) {
    CTempFolder folder;
    CPackBuilder().Gap(30, "g30").Gap(10, "g10").Gap(20, "g20").File("r.bin", Bytes(15, 'r')).Write(folder.Path());
    // Offsets: g30 0..30, g10 31..41, g20 42..62, r.bin 63..78.
    CPackBuilder().File("x.bin", Bytes(12, 'X')).File("r.bin", Bytes(15, 'R')).Write(folder.Path(), "update");
    ASSERT_TRUE(Merge(folder.Path()));
    EXPECT_EQ(OffsetOf(folder.Path(), "x.bin"), 42u);
    EXPECT_EQ(OffsetOf(folder.Path(), "r.bin"), 0u);
    EXPECT_EQ(Rest(folder.Path()), (std::vector<std::string>{"g10@31+10", "r.bin@63+15", "rest space@55+7",
                                                            "rest space@16+14"}));
    ExpectPack(folder.Path(), {{"x.bin", Bytes(12, 'X')}, {"r.bin", Bytes(15, 'R')}});
}

TEST(PackMerge, AFileOfSizeZeroIsOneZeroByteInTheFirstRegion) {
    CTempFolder folder;
    CPackBuilder().File("k.bin", "k").Gap(5, "g5").Gap(0, "g0").Write(folder.Path());
    CPackBuilder().File("z.bin", "").Write(folder.Path(), "update");
    ASSERT_TRUE(Merge(folder.Path()));
    // g0 is the first entry (smallest), and Size 0 fits it exactly.
    EXPECT_EQ(OffsetOf(folder.Path(), "z.bin"), 8u);
    EXPECT_EQ(ReadFile(folder / "data.vaf")[8], '\0');
    EXPECT_EQ(Rest(folder.Path()), std::vector<std::string>{"g5@2+5"});
    ExpectPack(folder.Path(), {{"k.bin", "k"}, {"z.bin", ""}});
}

TEST(PackMerge, HeaderFieldsAndFileCountFollowTheUpdate) {
    CTempFolder folder;
    CPackBuilder().File("a.bin", "a").File("b.bin", "b").Count(10).Stamp(1).Block('g').Wasted(77).Write(folder.Path());
    CPackBuilder().File("b.bin", "B").File("n\\c.bin", "c").Count(7).Stamp(2).Block('u').Write(folder.Path(), "update");
    CRecordingHost host;
    ASSERT_TRUE(Merge(folder.Path(), host));
    PackImage image = ReadPack(folder.Path());
    EXPECT_EQ(image.fileCount, 10u - 1 + 7);
    EXPECT_EQ(image.stamp, 2u);
    EXPECT_EQ(image.block, std::string(40, 'u'));
    EXPECT_EQ(image.wasted, 77u);
    EXPECT_EQ(image.rootName, "root");
    EXPECT_EQ(host.events, (std::vector<std::string>{"range 0..7", "pos 0", "pos 1", "pos 2"}));
    ExpectPack(folder.Path(), {{"a.bin", "a"}, {"b.bin", "B"}, {"n\\c.bin", "c"}});
}

TEST(PackMerge, AnEmptyUpdateStillRewritesTheHeaderAndRemovesTheUpdate) {
    CTempFolder folder;
    CPackBuilder().File("a.bin", "a").Gap(3).Stamp(5).Write(folder.Path());
    CPackBuilder().Stamp(9).Block('e').Write(folder.Path(), "update");
    ASSERT_TRUE(Merge(folder.Path()));
    PackImage image = ReadPack(folder.Path());
    EXPECT_EQ(image.stamp, 9u);
    EXPECT_EQ(image.block, std::string(40, 'e'));
    EXPECT_EQ(image.fileCount, 1u);
    EXPECT_FALSE(Exists(folder / "update.vah"));
    EXPECT_FALSE(Exists(folder / "update.vaf"));
    ExpectPack(folder.Path(), {{"a.bin", "a"}});
}

TEST(PackMerge, AGbkNameWithATrailBackslashIsReplacedInPlace) {
    // 0x95 0x5C is one GBK character; its second byte is no separator.
    const std::string gbk = "\x95\x5C";
    CTempFolder folder;
    CPackBuilder().Separator('|').File(gbk + "|a.bin", "old").File(gbk + "|b.bin", "bbb").Write(folder.Path());
    CPackBuilder().Separator('|').File(gbk + "|a.bin", "new").Write(folder.Path(), "update");
    ASSERT_TRUE(Merge(folder.Path()));
    EXPECT_EQ(ReadPack(folder.Path()).fileCount, 2u);
    ExpectPack(folder.Path(), {{gbk + "\\a.bin", "new"}, {gbk + "\\b.bin", "bbb"}});
}

// Every file as "folder|...|name=bytes" in header order, read through the tree,
// so that a name holding the byte '\\' stays one name; the pack must verify.
std::vector<std::string> Layout(const std::string& folder) {
    CRecordingHost host;
    CPackUpdater pack(host, folder);
    EXPECT_TRUE(pack.LoadGameHeader());
    std::string data = ReadFile(folder + "/data.vaf");
    std::optional<std::string> conflict = FindPackConflict(pack, data.size());
    EXPECT_FALSE(conflict) << *conflict;
    std::vector<std::string> layout;
    std::function<void(const PackFolder&, const std::string&)> visit = [&](const PackFolder& at,
                                                                           const std::string& prefix) {
        for (const PackFileEntry& entry : at.Files())
            layout.push_back(prefix + entry.Name + "=" + data.substr(static_cast<size_t>(entry.Offset), entry.Size));
        for (const auto& child : at.Folders()) visit(*child, prefix + child->Name() + "|");
    };
    visit(pack.GameRoot(), "");
    return layout;
}

// Pack names are GBK, and a name is found by its GBK characters, never by how its
// bytes look. E4 B8 AD reads as "中" in UTF-8, but in a path its AD and the '\\'
// after it are one GBK character: "E4 B8 AD \\ a.bin" is valid UTF-8 and one name,
// "E4 B8 AD \\ 表.bin" is not UTF-8 and one name too. 淺 is 9C 5C; 某 (C4 B3)
// looks like UTF-8.
TEST(PackMerge, AndDeletionPlaceAndFindEveryNameByItsGbkCharacters) {
    const std::string utf8Folder = "\xE4\xB8\xAD";
    const std::string table = Gbk("表.bin");
    const std::string rootTable = utf8Folder + "\\" + table;
    const std::string rootAscii = utf8Folder + "\\a.bin";
    const std::string trail = Gbk("淺") + "|" + Gbk("擻.bin");
    const std::string ambiguous = Gbk("某") + "|a.bin";
    auto build = [&](const std::string& tag) {
        return CPackBuilder()
            .Separator('|')
            .File(utf8Folder + "|" + table, "folder table " + tag)
            .File(utf8Folder + "|a.bin", "folder ascii " + tag)
            .File(rootTable, "root table " + tag)
            .File(rootAscii, "root ascii " + tag)
            .File(trail, "trail " + tag)
            .File(ambiguous, "ambiguous " + tag);
    };
    CTempFolder folder;
    build("old").Write(folder.Path());
    build("new").Write(folder.Path(), "update");
    ASSERT_TRUE(Merge(folder.Path()));
    EXPECT_EQ(ReadPack(folder.Path()).fileCount, 6u);
    EXPECT_EQ(Layout(folder.Path()),
              (std::vector<std::string>{rootTable + "=root table new", rootAscii + "=root ascii new",
                                        utf8Folder + "|" + table + "=folder table new",
                                        utf8Folder + "|a.bin=folder ascii new", trail + "=trail new",
                                        ambiguous + "=ambiguous new"}));

    WriteFile(folder / "delete.lst", rootTable + "\r\n" + rootAscii + "\r\n" + Gbk("淺") + "\\" + Gbk("擻.bin") +
                                         "\r\n" + Gbk("某") + "/A.BIN\r\n");
    {
        CRecordingHost host;
        CPackUpdater pack(host, folder.Path());
        ASSERT_TRUE(pack.ApplyDeleteList() && pack.SaveDataHeader());
    }
    EXPECT_EQ(ReadPack(folder.Path()).fileCount, 2u);
    EXPECT_EQ(Layout(folder.Path()), (std::vector<std::string>{utf8Folder + "|" + table + "=folder table new",
                                                                utf8Folder + "|a.bin=folder ascii new"}));
}

struct FailureCase {
    const char* what;
    void (*spoil)(const CTempFolder&);
    const char* status;
    std::vector<std::string> markers;
};

class MergeFailure : public testing::TestWithParam<FailureCase> {};

TEST_P(MergeFailure, ShowsOneLineAndLeavesTheHeaderAndTheUpdate) {
    const FailureCase& failure = GetParam();
    CTempFolder folder;
    CPackBuilder().File("a.bin", "old-a").File("b.bin", Bytes(30, 'b')).Write(folder.Path());
    CPackBuilder().File("b.bin", Bytes(10, 'B')).File("c.bin", Bytes(40, 'C')).Write(folder.Path(), "update");
    failure.spoil(folder);
    auto snapshot = [&](const char* name) {
        return std::filesystem::is_regular_file(folder / name) ? ReadFile(folder / name) : "(none)";
    };
    std::string header = snapshot("data.vah"), update = snapshot("update.vah");
    CRecordingHost host;
    EXPECT_FALSE(Merge(folder.Path(), host));
    std::string status = failure.status;
    if (status.find("%s") != std::string::npos) status.replace(status.find("%s"), 2, folder.Path());
    EXPECT_EQ(host.status, std::vector<std::string>{status}) << failure.what;
    EXPECT_EQ(host.markers, failure.markers) << failure.what;
    EXPECT_EQ(snapshot("data.vah"), header) << failure.what;
    EXPECT_EQ(snapshot("update.vah"), update) << failure.what;
}

void MakeFolder(const std::string& path) { ASSERT_EQ(testsupport::RunShell("rm -f '" + path + "' && mkdir '" + path + "'"), 0); }

INSTANTIATE_TEST_SUITE_P(
    Cases, MergeFailure,
    testing::Values(
        FailureCase{"data.vaf missing", [](const CTempFolder& f) { std::remove((f / "data.vaf").c_str()); },
                    "data 找不到文件.c39", {"UPDATE_START"}},
        FailureCase{"data.vah missing", [](const CTempFolder& f) { std::remove((f / "data.vah").c_str()); },
                    "data 找不到文件.c39", {"UPDATE_START"}},
        FailureCase{"update.vaf missing", [](const CTempFolder& f) { std::remove((f / "update.vaf").c_str()); },
                    "update 找不到文件.c40", {}},
        FailureCase{"data.vah unreadable", [](const CTempFolder& f) { MakeFolder(f / "data.vah"); },
                    "%s/data.vah 无法打开文件.c41", {}},
        FailureCase{"update.vah unreadable", [](const CTempFolder& f) { MakeFolder(f / "update.vah"); },
                    "%s/update.vah 无法打开文件.c42", {}},
        FailureCase{"data magic", [](const CTempFolder& f) { WriteFile(f / "data.vah", "VAX" + ReadFile(f / "data.vah").substr(3)); },
                    "更新错误: data header file errorc43", {}},
        FailureCase{"update magic", [](const CTempFolder& f) { WriteFile(f / "update.vah", "vah" + ReadFile(f / "update.vah").substr(3)); },
                    "更新错误: update header file errorc44", {}},
        FailureCase{"update name with a separator",
                    [](const CTempFolder& f) { CPackBuilder().File("x/y.bin", "x").Write(f.Path(), "update"); },
                    "更新错误: update header file errorc44", {}},
        FailureCase{"update.vaf shorter than its header says",
                    [](const CTempFolder& f) { WriteFile(f / "update.vaf", ReadFile(f / "update.vaf").substr(0, 30)); },
                    "更新错误: update failc45", {}},
        FailureCase{"data.vaf cannot be opened for writing", [](const CTempFolder& f) { MakeFolder(f / "data.vaf"); },
                    "更新错误: update failc45", {}}),
    [](const testing::TestParamInfo<FailureCase>& param) { return "case" + std::to_string(param.index); });

// Random packs merged one after another, each checked against a plain model.
TEST(PackMerge, RandomMergesKeepTheInvariantAndTheContent) {
    std::mt19937 random(20261210);
    for (int round = 0; round < 6; ++round) {
        CTempFolder folder;
        Content model;
        CPackBuilder game;
        for (int i = 0; i < 40; ++i) {
            std::string path = "f" + std::to_string(random() % 5) + "\\n" + std::to_string(i);
            std::string bytes = Bytes(random() % 64, static_cast<char>('a' + i % 26));
            game.File(path, bytes);
            model[path] = bytes;
            if (random() % 4 == 0) game.Gap(random() % 50);
        }
        game.Write(folder.Path());
        for (int merge = 0; merge < 4; ++merge) {
            CPackBuilder update;
            std::map<std::string, int> used;
            for (int i = 0; i < 15; ++i) {
                std::string path = "f" + std::to_string(random() % 6) + "\\n" + std::to_string(random() % 60);
                if (used[path]++) continue;
                std::string bytes = Bytes(random() % 80, static_cast<char>('A' + random() % 26));
                update.File(path, bytes);
                model[path] = bytes;
            }
            update.Write(folder.Path(), "update");
            ASSERT_TRUE(Merge(folder.Path()));
            ExpectPack(folder.Path(), model);
        }
    }
}
