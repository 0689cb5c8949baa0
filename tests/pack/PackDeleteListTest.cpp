// delete.lst and the header save with its rest space trimming.
#include <gtest/gtest.h>

#include <sys/stat.h>

#include "pack/PackUpdater.h"
#include "tests/pack/PackFixture.h"
#include "tests/support/TempFolder.h"

using namespace packtest;
using testsupport::CTempFolder;
using testsupport::Exists;
using testsupport::ReadFile;
using testsupport::WriteFile;

namespace {

ino_t Inode(const std::string& path) {
    struct stat info {};
    return stat(path.c_str(), &info) == 0 ? info.st_ino : 0;
}

bool RunDeletionStep(const std::string& folder) {
    CRecordingHost host;
    CPackUpdater pack(host, folder);
    return pack.ApplyDeleteList() && pack.SaveDataHeader();
}

}  // namespace

TEST(PackDeleteList, RemovesListedFilesLineByLine) {
    CTempFolder folder;
    CPackBuilder()
        .File("maps\\a.bin", "aaa")
        .File("maps\\old\\tree.bin", "tree")
        .File("maps\\old\\rock.bin", "rock")
        .File("keep.bin", "keep")
        .File("empty.bin", "")
        .Count(5)
        .Write(folder.Path());
    WriteFile(folder / "delete.lst",
              "maps\\a.bin\tcomment here\r\n"
              "MAPS/OLD/TREE.BIN\r\n"
              "maps\\old\n"
              "\n"
              "maps\\old\\\n"
              "not\\there.bin\n"
              "empty.bin");
    ASSERT_TRUE(RunDeletionStep(folder.Path()));
    EXPECT_FALSE(Exists(folder / "delete.lst"));
    PackImage image = ReadPack(folder.Path());
    EXPECT_EQ(image.fileCount, 2u);
    // Regions of the removed files, in the order removed; the empty file leaves none.
    ASSERT_EQ(image.rest.size(), 2u);
    EXPECT_EQ(image.rest[0].name, "a.bin");
    EXPECT_EQ(image.rest[1].name, "tree.bin");
    ExpectPack(folder.Path(), {{"maps\\old\\rock.bin", "rock"}, {"keep.bin", "keep"}});
}

TEST(PackDeleteList, ALineLongerThanTheBufferArrivesInPieces) {
    CTempFolder folder;
    CPackBuilder().File("maps\\a.bin", "a").File("b.bin", "b").Write(folder.Path());
    // The first 2047 characters are one path, the rest of the line another; a line
    // of 2047 characters is one path.
    WriteFile(folder / "delete.lst", std::string(2047, 'x') + "maps\\a.bin\n" + std::string(2041, 'y') + "\\b.bin\n");
    ASSERT_TRUE(RunDeletionStep(folder.Path()));
    ExpectPack(folder.Path(), {{"b.bin", "b"}});
}

TEST(PackDeleteList, WithoutAListAndWithoutTrimmingDataVahIsNotTouched) {
    CTempFolder folder;
    CPackBuilder builder;
    for (int i = 0; i < 700; ++i) builder.Gap(1);
    builder.File("a.bin", "a").Write(folder.Path());
    ino_t before = Inode(folder / "data.vah");
    ASSERT_TRUE(RunDeletionStep(folder.Path()));
    EXPECT_EQ(Inode(folder / "data.vah"), before);
    EXPECT_EQ(ReadFile(folder / "data.vah"), builder.Header());
}

TEST(PackDeleteList, MoreThan700RestSpaceEntriesAreCutTo500SmallestFirst) {
    CTempFolder folder;
    CPackBuilder builder;
    // Sizes 1..701 read in descending order, a.bin's region appended: of 702 entries
    // the 202 smallest (1..202) are dropped.
    for (uint32_t size = 701; size >= 1; --size) builder.Gap(size, "g" + std::to_string(size));
    builder.File("a.bin", "a").Wasted(1000).Write(folder.Path());
    WriteFile(folder / "delete.lst", "a.bin\n");
    ASSERT_TRUE(RunDeletionStep(folder.Path()));
    PackImage image = ReadPack(folder.Path());
    ASSERT_EQ(image.rest.size(), 500u);
    EXPECT_EQ(image.rest.front().name, "g203");
    // The region freed by the list stands at the end and survives.
    EXPECT_EQ(image.rest.back().name, "a.bin");
    EXPECT_EQ(image.wasted, 1000u + 202u * 203u / 2u);
    ExpectPack(folder.Path(), {});
}

TEST(PackDeleteList, TrimmingAloneRewritesTheHeader) {
    CTempFolder folder;
    CPackBuilder builder;
    for (int i = 0; i < 701; ++i) builder.Gap(2);
    builder.File("a.bin", "a").Stamp(42).Block('z').Write(folder.Path());
    ASSERT_TRUE(RunDeletionStep(folder.Path()));
    PackImage image = ReadPack(folder.Path());
    EXPECT_EQ(image.rest.size(), 500u);
    EXPECT_EQ(image.wasted, 201u * 2u);
    EXPECT_EQ(image.stamp, 42u);
    EXPECT_EQ(image.block, std::string(40, 'z'));
    ExpectPack(folder.Path(), {{"a.bin", "a"}});
}

TEST(PackDeleteList, AMissingHeaderFailsAndKeepsTheList) {
    CTempFolder folder;
    WriteFile(folder / "delete.lst", "a.bin\n");
    CRecordingHost host;
    CPackUpdater pack(host, folder.Path());
    EXPECT_FALSE(pack.ApplyDeleteList());
    EXPECT_FALSE(pack.SaveDataHeader());
    EXPECT_TRUE(Exists(folder / "delete.lst"));
    EXPECT_FALSE(Exists(folder / "data.vah"));
}
