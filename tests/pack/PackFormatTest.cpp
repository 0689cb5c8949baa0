// Reading and writing headers: round trip, sorted rest space, damaged headers.
#include <gtest/gtest.h>

#include <stdexcept>

#include "pack/PackUpdater.h"
#include "tests/pack/PackFixture.h"
#include "tests/support/TempFolder.h"

using namespace packtest;
using testsupport::CTempFolder;
using testsupport::ReadFile;
using testsupport::WriteFile;

namespace {

std::string Saved(CPackUpdater& pack) { return pack.BuildGameHeader(pack.GameStamp(), pack.GameFileCount(), pack.HeaderBlock()); }

std::string FileRecord(const std::string& name, uint64_t offset, uint32_t size, uint32_t extra = 0) {
    return Name(name) + U64(offset) + U32(size) + U32(extra);
}

// Fixed header fields with the given root record and tail.
std::string HeaderWith(const std::string& rootAndRest) { return "VAH" + U32(9) + U32(1) + std::string(40, 'H') + rootAndRest; }

}  // namespace

TEST(PackFormat, UnchangedHeaderRoundTripsByteForByte) {
    CTempFolder folder;
    CPackBuilder builder;
    builder.File("a.bin", "alpha", 11).File("maps\\town.bin", "town").File("maps\\deep\\x", "").Gap(3).Gap(5).Gap(9);
    builder.Stamp(0xDEADBEEF).Wasted(1234).RootName("data");
    builder.Write(folder.Path());
    CRecordingHost host;
    CPackUpdater pack(host, folder.Path());
    ASSERT_TRUE(pack.LoadGameHeader());
    EXPECT_EQ(Saved(pack), builder.Header());
}

TEST(PackFormat, RestSpaceIsSortedBySizeWithEqualSizesReversed) {
    CTempFolder folder;
    CPackBuilder builder;
    builder.Gap(5, "first5").Gap(3, "three").Gap(5, "second5").Write(folder.Path());
    CRecordingHost host;
    CPackUpdater pack(host, folder.Path());
    ASSERT_TRUE(pack.LoadGameHeader());
    std::vector<std::string> names;
    pack.RestSpace().ForEach([&](const PackFileEntry& entry) { names.push_back(entry.Name); });
    EXPECT_EQ(names, (std::vector<std::string>{"three", "second5", "first5"}));
    // Saved in that order; every other byte as before.
    std::string header = Saved(pack);
    size_t rest = header.find(Name("three"));
    ASSERT_NE(rest, std::string::npos);
    EXPECT_LT(rest, header.find(Name("second5")));
    EXPECT_LT(header.find(Name("second5")), header.find(Name("first5")));
    EXPECT_EQ(header.size(), builder.Header().size());
}

TEST(PackFormat, NameLengthIsRewrittenAsLengthPlusOneAndShortTailReadsAsNoWaste) {
    CTempFolder folder;
    // A NameLength of 8 for "ab" (zero padded), and no WastedBytes at the end.
    std::string padded = U32(8) + std::string("ab\0\0\0\0\0\0", 8);
    WriteFile(folder / "data.vah", HeaderWith(Name("r") + U32(1) + padded + U64(0) + U32(2) + U32(0) + U32(0) + U32(0)));
    WriteFile(folder / "data.vaf", std::string("xy\0", 3));
    CRecordingHost host;
    CPackUpdater pack(host, folder.Path());
    ASSERT_TRUE(pack.LoadGameHeader());
    EXPECT_EQ(pack.WastedBytes(), 0u);
    EXPECT_EQ(Saved(pack), HeaderWith(Name("r") + U32(1) + FileRecord("ab", 0, 2) + U32(0) + U32(0) + U32(0)));
}

struct DamagedCase {
    const char* what;
    std::string tree;  // root folder record onwards
    // An update header is read only up to the end of its tree.
    bool afterTree = false;
};

class DamagedHeader : public testing::TestWithParam<DamagedCase> {};

TEST_P(DamagedHeader, IsRefusedByEveryReaderAndLeavesDataVahAlone) {
    const DamagedCase& damaged = GetParam();
    std::string header = HeaderWith(damaged.tree);
    CTempFolder folder;
    WriteFile(folder / "data.vah", header);
    WriteFile(folder / "data.vaf", std::string(64, '\0'));
    WriteFile(folder / "delete.lst", "a.bin\n");
    {
        CRecordingHost host;
        CPackUpdater pack(host, folder.Path());
        EXPECT_FALSE(pack.LoadGameHeader()) << damaged.what;
        EXPECT_FALSE(pack.ApplyDeleteList()) << damaged.what;
        EXPECT_FALSE(pack.SaveDataHeader()) << damaged.what;
    }
    EXPECT_EQ(ReadFile(folder / "data.vah"), header);
    EXPECT_TRUE(testsupport::Exists(folder / "delete.lst"));

    // As the game header of a merge: c43; as the update header: c44.
    CPackBuilder().File("a.bin", "new").Write(folder.Path(), "update");
    {
        CRecordingHost host;
        CPackUpdater pack(host, folder.Path());
        EXPECT_FALSE(pack.MergeUpdatePack());
        EXPECT_EQ(host.status, std::vector<std::string>{"更新错误: data header file errorc43"}) << damaged.what;
    }
    EXPECT_EQ(ReadFile(folder / "data.vah"), header);
    if (damaged.afterTree) return;
    CPackBuilder().File("a.bin", "old").Write(folder.Path());
    WriteFile(folder / "update.vah", header);
    std::string before = ReadFile(folder / "data.vah");
    {
        CRecordingHost host;
        CPackUpdater pack(host, folder.Path());
        EXPECT_FALSE(pack.MergeUpdatePack());
        EXPECT_EQ(host.status, std::vector<std::string>{"更新错误: update header file errorc44"}) << damaged.what;
        EXPECT_TRUE(host.markers.empty());
    }
    EXPECT_EQ(ReadFile(folder / "data.vah"), before);
}

std::string DeepTree(int depth) {
    std::string tree;
    for (int i = 0; i < depth; ++i) tree += Name("d") + U32(0) + U32(1);
    tree += Name("d") + U32(0) + U32(0);
    return Name("r") + U32(0) + U32(1) + tree + U32(0) + U32(0);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, DamagedHeader,
    testing::Values(
        DamagedCase{"NameLength 0", U32(0) + U32(0) + U32(0) + U32(0) + U32(0)},
        DamagedCase{"NameLength 257", U32(257) + std::string(257, 'n') + U32(0) + U32(0) + U32(0) + U32(0)},
        DamagedCase{"name without its zero", U32(2) + "ab" + U32(0) + U32(0) + U32(0) + U32(0)},
        DamagedCase{"negative FileCount", Name("r") + U32(0xFFFFFFFF) + U32(0) + U32(0) + U32(0)},
        DamagedCase{"negative FolderCount", Name("r") + U32(0) + U32(0x80000000) + U32(0) + U32(0)},
        DamagedCase{"FileCount beyond the bytes left", Name("r") + U32(1000000) + FileRecord("a.bin", 0, 1) + U32(0)},
        DamagedCase{"FolderCount beyond the bytes left", Name("r") + U32(0) + U32(50) + U32(0) + U32(0)},
        DamagedCase{"RestSpaceCount beyond the bytes left", Name("r") + U32(0) + U32(0) + U32(4000000) + U32(0), true},
        DamagedCase{"ends inside a file record", Name("r") + U32(1) + Name("a.bin") + U32(3)},
        DamagedCase{"ends inside the magic", std::string()},
        DamagedCase{"WastedBytes cut short", Name("r") + U32(0) + U32(0) + U32(0) + std::string(2, '\1'), true},
        DamagedCase{"folders nested beyond any path", DeepTree(kMaxFolderDepth + 1)}),
    [](const testing::TestParamInfo<DamagedCase>& param) { return "case" + std::to_string(param.index); });

TEST(PackFormat, ReadsAFolderTreeAsDeepAsAnyPath) {
    CTempFolder folder;
    WriteFile(folder / "data.vah", HeaderWith(DeepTree(kMaxFolderDepth - 1)));
    WriteFile(folder / "data.vaf", "");
    CRecordingHost host;
    CPackUpdater pack(host, folder.Path());
    EXPECT_TRUE(pack.LoadGameHeader());
}

TEST(PackFormat, OnlyOnePackObjectLivesAtATime) {
    CRecordingHost host;
    {
        CPackUpdater first(host);
        EXPECT_THROW(CPackUpdater second(host), std::logic_error);
    }
    EXPECT_NO_THROW(CPackUpdater again(host));
}
