#include <gtest/gtest.h>

#include <cstdio>

#include "platform/ProfileFile.h"
#include "tests/support/TempFolder.h"

using testsupport::CTempFolder;

namespace {

std::string Velmor() { return testsupport::BuildFolder() + "/tools/velmor"; }

std::string Capture(const std::string& command, int* status = nullptr) {
    testsupport::CommandResult result = testsupport::RunCommand(command);
    if (status) *status = result.status;
    return result.output;
}

int RunQuiet(const std::string& command) { return testsupport::RunShell(command + " >/dev/null 2>&1"); }

// A game folder with loose files and a pack made from `packed`.
void MakeGame(const CTempFolder& base, const std::string& name,
              const std::vector<std::pair<std::string, std::string>>& packed,
              const std::vector<std::pair<std::string, std::string>>& loose) {
    std::string source = base / (name + "-src");
    for (const auto& [path, bytes] : packed) testsupport::WriteFile(source + "/" + path, bytes);
    testsupport::RunShell("mkdir -p " + base / name);
    ASSERT_EQ(RunQuiet(Velmor() + " mkpack --from " + source + " --folder " + base / name + " --stamp 5"), 0);
    for (const auto& [path, bytes] : loose) testsupport::WriteFile(base / name + "/" + path, bytes);
}

std::string PackFile(const std::string& folder, const std::string& path) {
    return Capture(Velmor() + " pack cat '" + path + "' --folder " + folder);
}

}  // namespace

TEST(Mkpatch, CarriesChangedLooseFilesPackChangesAndDeletions) {
    CTempFolder base;
    MakeGame(base, "old", {{"maps/a.bin", "old a"}, {"maps/same.bin", "same"}, {"gone.bin", "bye"}},
             {{"Game.exe", "game 1"}, {"docs/readme.txt", "same text"}, {"Version.ini", "[Version]\n"}});
    MakeGame(base, "new", {{"maps/a.bin", "new a!"}, {"maps/same.bin", "same"}, {"maps/new.bin", "fresh"}},
             {{"Game.exe", "game 2"}, {"docs/readme.txt", "same text"}, {"Version.ini", "[Version]\nx=1\n"},
              {"updater.uif", "uif"}, {"extra/new.txt", "n"}});
    int status = 0;
    std::string output = Capture(Velmor() + " mkpatch --old " + base / "old" + " --new " + base / "new" +
                                     " --number 12 --out " + base / "root",
                                 &status);
    ASSERT_EQ(status, 0) << output;
    std::string listing = Capture("unzip -Z1 " + base / "root/velmor/patch/pv0012.patch");
    EXPECT_EQ(listing, "Game.exe\nextra/new.txt\nupdate.vah\nupdate.vaf\ndelete.lst\n");
    EXPECT_EQ(Capture("unzip -p " + base / "root/velmor/patch/pv0012.patch delete.lst"), "gone.bin\r\n");
    std::string list = base / "root/velmor/UpdateVersion.ini";
    EXPECT_EQ(platform::GetProfileString(list, "Version", "CheckVersion"), "2");
    EXPECT_EQ(platform::GetProfileString(list, "Version", "UpdaterVersion"), "9");
    EXPECT_EQ(platform::GetProfileString(list, "Version", "PatchFileVersion"), "12");

    // The update pack holds exactly the new and changed entries.
    std::string unpacked = base / "unpacked";
    ASSERT_EQ(RunQuiet("mkdir -p " + unpacked + " && cd " + unpacked + " && unzip -qo " +
                  base / "root/velmor/patch/pv0012.patch update.vah update.vaf && mv update.vah data.vah && mv update.vaf data.vaf"),
              0);
    EXPECT_EQ(PackFile(unpacked, "maps\\a.bin"), "new a!");
    EXPECT_EQ(PackFile(unpacked, "maps\\new.bin"), "fresh");
    EXPECT_NE(RunQuiet(Velmor() + " pack cat 'maps\\same.bin' --folder " + unpacked), 0);
}

TEST(Mkpatch, UpdatesAnExistingListAndKeepsItsOtherKeys) {
    CTempFolder base;
    MakeGame(base, "old", {{"a.bin", "1"}}, {});
    MakeGame(base, "new", {{"a.bin", "2"}}, {});
    testsupport::WriteFile(base / "root/velmor/UpdateVersion.ini", "[Version]\r\nCheckVersion=2\r\nUpdaterVersion=10\r\nPatchFileVersion=3\r\n");
    ASSERT_EQ(RunQuiet(Velmor() + " mkpatch --old " + base / "old" + " --new " + base / "new" + " --number 4 --out " +
                  base / "root"),
              0);
    EXPECT_TRUE(testsupport::Exists(base / "root/velmor/patch/pv0004.patch"));
    EXPECT_EQ(testsupport::ReadFile(base / "root/velmor/UpdateVersion.ini"),
              "[Version]\r\nCheckVersion=2\r\nUpdaterVersion=10\r\nPatchFileVersion=4\r\n");
}

TEST(Mkpatch, RefusesBadArguments) {
    CTempFolder base;
    for (const std::string& args : {std::string("--old x --new y --number 1 --out z"),
                                    "--old " + base.Path() + " --new " + base.Path() + " --number 0 --out " + base.Path(),
                                    "--old " + base.Path() + " --new " + base.Path() + " --number -3 --out " + base.Path(),
                                    std::string("--old a --new b")}) {
        EXPECT_EQ(RunQuiet(Velmor() + " mkpatch " + args), 1) << args;
    }
}
