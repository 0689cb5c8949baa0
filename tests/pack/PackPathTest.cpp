// RemovePath and InsertPath on the game tree: case, separators, first match.
#include <gtest/gtest.h>

#include "pack/PackUpdater.h"
#include "pack/PackVerify.h"
#include "tests/pack/PackFixture.h"
#include "tests/support/TempFolder.h"

using namespace packtest;
using testsupport::CTempFolder;

namespace {

std::vector<std::string> Paths(const CPackUpdater& pack) {
    std::vector<std::string> paths;
    ForEachPackFile(pack.GameRoot(), [&](const std::string& path, const PackFileEntry& entry) {
        paths.push_back(path + "@" + std::to_string(entry.Offset));
    });
    return paths;
}

std::vector<std::string> RestNames(const CPackUpdater& pack) {
    std::vector<std::string> names;
    pack.RestSpace().ForEach([&](const PackFileEntry& entry) { names.push_back(entry.Name); });
    return names;
}

struct RemoveCase {
    const char* path;
    bool removes;
};

class RemovePathCase : public testing::TestWithParam<RemoveCase> {};

TEST_P(RemovePathCase, FindsFilesByComponentWithoutRegardToCase) {
    CTempFolder folder;
    CPackBuilder().File("maps\\town.bin", "town").File("maps\\a.bin", "a").File("top.bin", "t").Write(folder.Path());
    CRecordingHost host;
    CPackUpdater pack(host, folder.Path());
    ASSERT_TRUE(pack.LoadGameHeader());
    pack.RemovePath(GetParam().path);
    EXPECT_EQ(pack.GameFileCount(), GetParam().removes ? 2u : 3u) << GetParam().path;
    EXPECT_EQ(pack.RestSpace().Count(), GetParam().removes ? 1u : 0u) << GetParam().path;
}

INSTANTIATE_TEST_SUITE_P(Cases, RemovePathCase,
                         testing::Values(RemoveCase{"Maps\\Town.bin", true}, RemoveCase{"MAPS/A.BIN", true},
                                         RemoveCase{"maps/a.bin", true}, RemoveCase{"TOP.bin", true},
                                         RemoveCase{"map\\a.bin", false}, RemoveCase{"maps\\a", false},
                                         RemoveCase{"maps", false}, RemoveCase{"maps\\", false},
                                         RemoveCase{"", false}, RemoveCase{"\\top.bin", false},
                                         RemoveCase{"maps\\a.bin\\", false}, RemoveCase{"maps\\town.bin2", false}));

}  // namespace

TEST(PackPath, RemovedFileRegionGoesToTheEndOfTheRestSpaceButSizeZeroIsDropped) {
    CTempFolder folder;
    CPackBuilder().Gap(50, "big").File("e.bin", "").File("f.bin", "12345").Write(folder.Path());
    CRecordingHost host;
    CPackUpdater pack(host, folder.Path());
    ASSERT_TRUE(pack.LoadGameHeader());
    pack.RemovePath("e.bin");
    EXPECT_EQ(pack.GameFileCount(), 1u);
    EXPECT_EQ(RestNames(pack), std::vector<std::string>{"big"});
    pack.RemovePath("f.bin");
    EXPECT_EQ(RestNames(pack), (std::vector<std::string>{"big", "f.bin"}));
    EXPECT_EQ(pack.GameFileCount(), 0u);
}

TEST(PackPath, TheFirstOfEqualNamesGoesFirstInSmallAndIndexedFolders) {
    for (int others : {0, 40}) {
        CTempFolder folder;
        CPackBuilder builder;
        for (int i = 0; i < others; ++i) builder.File("d\\f" + std::to_string(i), "x");
        builder.File("d\\Same.bin", "one").File("d\\mid", "m").File("d\\SAME.BIN", "two").File("d\\same.bin", "three");
        builder.Write(folder.Path());
        CRecordingHost host;
        CPackUpdater pack(host, folder.Path());
        ASSERT_TRUE(pack.LoadGameHeader());
        for (const char* expected : {"one", "two", "three"}) {
            const PackFileEntry* found = pack.FindPath("d\\same.bin");
            ASSERT_NE(found, nullptr);
            EXPECT_EQ(found->Size, std::string(expected).size()) << expected << " with " << others;
            pack.RemovePath("D/same.BIN");
        }
        EXPECT_EQ(pack.FindPath("d\\same.bin"), nullptr);
        EXPECT_NE(pack.FindPath("d\\mid"), nullptr);
        // An inserted file of that name is found again, behind the others.
        pack.InsertPath("d\\same.bin", PackFileEntry{"same.bin", 999, 1, 0});
        ASSERT_NE(pack.FindPath("d\\SAME.bin"), nullptr);
        EXPECT_EQ(pack.FindPath("d\\SAME.bin")->Offset, 999u);
    }
}

TEST(PackPath, InsertCreatesMissingFoldersAtTheEndAndReusesExistingOnes) {
    CTempFolder folder;
    CPackBuilder().File("z\\old.bin", "o").File("Maps\\m.bin", "m").Write(folder.Path());
    CRecordingHost host;
    CPackUpdater pack(host, folder.Path());
    ASSERT_TRUE(pack.LoadGameHeader());
    pack.InsertPath("a\\b\\c.bin", PackFileEntry{"c.bin", 100, 1, 0});
    pack.InsertPath("MAPS\\n.bin", PackFileEntry{"n.bin", 200, 1, 0});
    pack.InsertPath("root.bin", PackFileEntry{"root.bin", 300, 1, 0});
    EXPECT_EQ(Paths(pack), (std::vector<std::string>{"root.bin@300", "z\\old.bin@0", "Maps\\m.bin@2",
                                                     "Maps\\n.bin@200", "a\\b\\c.bin@100"}));
}

TEST(PackPath, GbkTrailByteBackslashIsNoSeparator) {
    // 0x95 0x5C is one GBK character whose trail byte is '\'.
    const std::string gbkFolder = "\x95\x5C";
    CTempFolder folder;
    CPackBuilder().Write(folder.Path());
    CRecordingHost host;
    CPackUpdater pack(host, folder.Path());
    ASSERT_TRUE(pack.LoadGameHeader());
    pack.InsertPath(gbkFolder + "\\x.bin", PackFileEntry{"x.bin", 5, 1, 0});
    ASSERT_EQ(pack.GameRoot().Folders().size(), 1u);
    EXPECT_EQ(pack.GameRoot().Folders()[0]->Name(), gbkFolder);
    EXPECT_NE(pack.FindPath(gbkFolder + "/x.bin"), nullptr);
    pack.RemovePath(gbkFolder + "\\x.bin");
    EXPECT_EQ(pack.FindPath(gbkFolder + "\\x.bin"), nullptr);
    EXPECT_EQ(pack.RestSpace().Count(), 1u);
}
