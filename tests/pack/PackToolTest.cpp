// velmor pack on real folders, and the merge's short-write handling under a file
// size limit (writes past it fail as on a full disk).
#include <gtest/gtest.h>

#include "platform/ProfileFile.h"
#include "tests/pack/PackFixture.h"
#include "tests/support/GbkText.h"
#include "tests/support/TempFolder.h"

using namespace packtest;
using testsupport::BuildFolder;
using testsupport::CTempFolder;
using testsupport::Gbk;
using testsupport::ReadFile;
using testsupport::RunShell;
using testsupport::WriteFile;

namespace {

// Runs `velmor pack ARGS --folder DIR`; stdout and stderr land in the folder.
int Velmor(const CTempFolder& folder, const std::string& args, const std::string& limit = "") {
    std::string command = BuildFolder() + "/tools/velmor pack " + args + " --folder '" + folder.Path() + "' >'" +
                          folder.Path() + "/out' 2>'" + folder.Path() + "/err'";
    if (!limit.empty()) command = "bash -c \"trap '' XFSZ; ulimit -f " + limit + "; " + command + "\"";
    return RunShell(command);
}

std::string Marker(const CTempFolder& folder) {
    return platform::GetProfileString(folder / "Version.ini", "Version", "StartUpdate");
}

}  // namespace

TEST(PackTool, ListVerifyAndCatReadThePack) {
    CTempFolder folder;
    CPackBuilder().File("Maps\\Town.bin", std::string("to\0wn", 5)).File("b.bin", "bee").Gap(4).Write(folder.Path());
    ASSERT_EQ(Velmor(folder, "list"), 0);
    std::string listing = ReadFile(folder / "out");
    EXPECT_NE(listing.find("Town.bin  offset 0  size 5"), std::string::npos) << listing;
    EXPECT_NE(listing.find("old  offset 10  size 4"), std::string::npos) << listing;
    ASSERT_EQ(Velmor(folder, "verify"), 0) << ReadFile(folder / "err");
    EXPECT_EQ(ReadFile(folder / "out"), "ok: 2 files, 1 rest space regions, data.vaf 15 bytes\n");
    ASSERT_EQ(Velmor(folder, "cat maps/town.BIN"), 0);
    EXPECT_EQ(ReadFile(folder / "out"), std::string("to\0wn", 5));
    EXPECT_EQ(Velmor(folder, "cat maps\\\\nothing"), 1);
    EXPECT_NE(ReadFile(folder / "err").find("no file"), std::string::npos);
}

// Pack names are GBK; the command line is UTF-8 both ways.
TEST(PackTool, ListAndCatSpeakUtf8ForGbkNames) {
    CTempFolder folder;
    CPackBuilder().File(Gbk("地图\\某城.bin"), "town").File("odd\xFF.bin", "odd").Write(folder.Path());
    ASSERT_EQ(Velmor(folder, "list"), 0);
    std::string listing = ReadFile(folder / "out");
    EXPECT_NE(listing.find("  地图/\n    某城.bin  offset 0"), std::string::npos) << listing;
    EXPECT_NE(listing.find("odd\\xFF.bin  offset"), std::string::npos) << listing;
    ASSERT_EQ(Velmor(folder, "cat '地图/某城.bin'"), 0) << ReadFile(folder / "err");
    EXPECT_EQ(ReadFile(folder / "out"), "town");
    EXPECT_EQ(Velmor(folder, "cat '\xED\x95\x9C.bin'"), 1);
    EXPECT_NE(ReadFile(folder / "err").find("cannot hold it"), std::string::npos) << ReadFile(folder / "err");
}

TEST(PackTool, VerifyNamesTheFirstConflict) {
    CTempFolder folder;
    CPackBuilder().File("a.bin", "12345").Record("b.bin", 2, 1).Write(folder.Path());
    EXPECT_EQ(Velmor(folder, "verify"), 1);
    EXPECT_EQ(ReadFile(folder / "err"), "velmor pack: a.bin [0, +6) overlaps b.bin [2, +2)\n");
    WriteFile(folder / "data.vah", "VAH");
    EXPECT_EQ(Velmor(folder, "verify"), 1);
    EXPECT_NE(ReadFile(folder / "err").find("missing or damaged"), std::string::npos);
}

TEST(PackTool, MergeAndDeleteKeepTheMarkerInVersionIni) {
    CTempFolder folder;
    CPackBuilder().File("a.bin", "old").File("b.bin", "bbb").Write(folder.Path());
    EXPECT_EQ(Velmor(folder, "merge"), 1);
    EXPECT_EQ(ReadFile(folder / "err"), "velmor pack: update 找不到文件.c40\n");
    CPackBuilder().File("A.BIN", "new!").Write(folder.Path(), "update");
    ASSERT_EQ(Velmor(folder, "merge"), 0) << ReadFile(folder / "err");
    EXPECT_EQ(Marker(folder), "UPDATE_END");
    ExpectPack(folder.Path(), {{"A.BIN", "new!"}, {"b.bin", "bbb"}});
    WriteFile(folder / "delete.lst", "b.bin\n");
    ASSERT_EQ(Velmor(folder, "delete"), 0) << ReadFile(folder / "err");
    EXPECT_EQ(Marker(folder), "UPDATE_END");
    ExpectPack(folder.Path(), {{"A.BIN", "new!"}});
    std::remove((folder / "data.vah").c_str());
    EXPECT_EQ(Velmor(folder, "merge"), 1);
    EXPECT_EQ(ReadFile(folder / "err"), "velmor pack: data 找不到文件.c39\n");
    EXPECT_EQ(Marker(folder), "UPDATE_START");
}

TEST(PackTool, AShortWriteDuringACopyIsAnUpdateFailure) {
    CTempFolder folder;
    CPackBuilder().File("a.bin", "a").Write(folder.Path());
    CPackBuilder().File("b.bin", "b").File("big.bin", std::string(200000, 'x')).Write(folder.Path(), "update");
    std::string header = ReadFile(folder / "data.vah");
    EXPECT_EQ(Velmor(folder, "merge", "64"), 1);
    EXPECT_EQ(ReadFile(folder / "err"), "velmor pack: 更新错误: update failc45\n");
    EXPECT_EQ(ReadFile(folder / "data.vah"), header);
    EXPECT_EQ(Marker(folder), "");
    EXPECT_TRUE(testsupport::Exists(folder / "update.vaf"));
}

TEST(PackTool, AShortWriteOfTheHeaderLeavesTheOldHeaderWhole) {
    CTempFolder folder;
    CPackBuilder game;
    for (int i = 0; i < 4000; ++i) game.File("files\\some-longer-name-" + std::to_string(i), "x");
    game.Write(folder.Path());
    CPackBuilder().File("files\\some-longer-name-7", "new").Write(folder.Path(), "update");
    std::string header = ReadFile(folder / "data.vah");
    ASSERT_GT(header.size(), 64u * 1024u);
    EXPECT_EQ(Velmor(folder, "merge", "64"), 1);
    EXPECT_EQ(ReadFile(folder / "err"), "velmor pack: 更新错误: saveheaderc46\n");
    EXPECT_EQ(ReadFile(folder / "data.vah"), header);
    EXPECT_EQ(Marker(folder), "UPDATE_START");
    EXPECT_TRUE(testsupport::Exists(folder / "update.vah"));
}
