#include <gtest/gtest.h>

#include <cstdio>

#include "platform/ProfileFile.h"
#include "tests/support/GbkText.h"
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

// A name record of a pack header: its length with the zero, the bytes, the zero.
std::string NameRecord(const std::string& name) {
    std::string record;
    uint32_t length = static_cast<uint32_t>(name.size() + 1);
    for (int i = 0; i < 4; ++i) record += static_cast<char>((length >> (8 * i)) & 0xFF);
    return record + name + std::string(1, '\0');
}

bool Holds(const std::string& bytes, const std::string& part) { return bytes.find(part) != std::string::npos; }

}  // namespace

TEST(Mkpack, WritesNamesInGbkAndRefusesNamesGbkCannotHold) {
    CTempFolder base;
    testsupport::WriteFile(base / "src/地图/某城.bin", "town");
    testsupport::WriteFile(base / "src/淺.txt", "shallow");
    testsupport::WriteFile(base / "src/plain.bin", "plain");
    int status = 0;
    std::string output = Capture(Velmor() + " mkpack --from " + base / "src" + " --folder " + base.Path(), &status);
    ASSERT_EQ(status, 0) << output;
    std::string header = testsupport::ReadFile(base / "data.vah");
    for (const char* name : {"地图", "某城.bin", "淺.txt"}) {
        EXPECT_TRUE(Holds(header, NameRecord(testsupport::Gbk(name)))) << name;
        EXPECT_FALSE(Holds(header, name)) << name << " in UTF-8";
    }
    EXPECT_EQ(PackFile(base.Path(), "地图/某城.bin"), "town");

    struct Case {
        const char* what;
        std::string name;
        const char* reason;
    } cases[] = {
        {"outside GBK", "\xED\x95\x9C.bin", "GBK, the game's code page, cannot hold this name"},
        {"not UTF-8", testsupport::Gbk("表") + ".bin", "the name is not UTF-8"},
        {"a backslash", "a\\b.bin", "a pack name cannot hold '\\'"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        CTempFolder game;
        testsupport::WriteFile(game / "src/sub/ok.bin", "ok");
        testsupport::WriteFile(game / ("src/sub/" + c.name), "x");
        output = Capture(Velmor() + " mkpack --from " + game / "src" + " --folder " + game.Path(), &status);
        EXPECT_EQ(status, 1);
        EXPECT_TRUE(Holds(output, "sub/" + c.name + ": " + c.reason)) << output;
        EXPECT_FALSE(testsupport::Exists(game / "data.vah"));
        EXPECT_FALSE(testsupport::Exists(game / "data.vaf"));
    }
}

TEST(Mkpack, FollowsLinksToFilesInsideTheSourceAndRefusesOthers) {
    CTempFolder base;
    testsupport::WriteFile(base / "src/real.bin", "real bytes");
    testsupport::WriteFile(base / "outside.bin", "elsewhere");
    ASSERT_EQ(testsupport::RunShell("mkdir " + base / "src/maps" + " && ln -s ../real.bin " + base / "src/maps/alias.bin"),
              0);
    int status = 0;
    std::string output = Capture(Velmor() + " mkpack --from " + base / "src" + " --folder " + base.Path(), &status);
    ASSERT_EQ(status, 0) << output;
    EXPECT_TRUE(Holds(output, "followed the link maps/alias.bin to real.bin")) << output;
    EXPECT_EQ(PackFile(base.Path(), "maps/alias.bin"), "real bytes");
    EXPECT_EQ(PackFile(base.Path(), "real.bin"), "real bytes");

    struct Case {
        const char* what;
        const char* make;  // run in the source folder
        const char* reason;
    } cases[] = {
        {"outside", "ln -s ../outside.bin away.bin", "away.bin: a symbolic link to "},
        {"folder", "mkdir dir && ln -s dir dirlink", "dirlink: a symbolic link to something other than a file"},
        {"dangling", "ln -s nothing.bin gone.bin", "gone.bin: a symbolic link that leads nowhere"},
        {"fifo", "mkfifo pipe", "pipe: neither a file nor a folder"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        CTempFolder game;
        testsupport::WriteFile(game / "src/ok.bin", "ok");
        testsupport::WriteFile(game / "outside.bin", "elsewhere");
        ASSERT_EQ(testsupport::RunShell("cd " + game / "src" + " && " + c.make), 0);
        output = Capture(Velmor() + " mkpack --from " + game / "src" + " --folder " + game.Path(), &status);
        EXPECT_EQ(status, 1);
        EXPECT_TRUE(Holds(output, c.reason)) << output;
        EXPECT_FALSE(testsupport::Exists(game / "data.vah"));
    }
}

TEST(Mkpatch, KeepsPackNamesInGbkAndArchiveNamesInMarkedUtf8) {
    CTempFolder base;
    MakeGame(base, "old", {{"地图/某城.bin", "old town"}, {"旧/梅.bin", "gone"}}, {});
    MakeGame(base, "new", {{"地图/某城.bin", "new town"}, {"新/淺.bin", "new"}}, {{"说明/读我.txt", "read me"}});
    int status = 0;
    auto mkpatch = [&](const char* number) {
        return Capture(Velmor() + " mkpatch --old " + base / "old" + " --new " + base / "new" + " --number " + number +
                           " --out " + base / "root",
                       &status);
    };
    std::string output = mkpatch("2");
    ASSERT_EQ(status, 0) << output;
    std::string archive = base / "root/velmor/patch/pv0002.patch";
    // Python's zipfile lists each name with the archive's UTF-8 mark.
    const char* script =
        "import sys, zipfile\n"
        "for i in zipfile.ZipFile(sys.argv[1]).infolist(): print(i.filename, i.flag_bits & 0x800)\n";
    testsupport::WriteFile(base / "list.py", script);
    EXPECT_EQ(Capture("python3 " + base / "list.py" + " " + archive),
              "说明/读我.txt 2048\nupdate.vah 2048\nupdate.vaf 2048\ndelete.lst 2048\n");
    EXPECT_EQ(Capture("unzip -p " + archive + " delete.lst"), testsupport::Gbk("旧\\梅.bin") + "\r\n");
    std::string header = Capture("unzip -p " + archive + " update.vah");
    for (const char* name : {"地图", "某城.bin", "新", "淺.bin"})
        EXPECT_TRUE(Holds(header, NameRecord(testsupport::Gbk(name)))) << name;

    // A loose file whose name the game's code page cannot hold is refused.
    testsupport::WriteFile(base / "new/\xED\x95\x9C.txt", "x");
    output = mkpatch("3");
    EXPECT_EQ(status, 1);
    EXPECT_TRUE(Holds(output, "loose file \xED\x95\x9C.txt: GBK, the game's code page, cannot hold its name"))
        << output;
    EXPECT_FALSE(testsupport::Exists(base / "root/velmor/patch/pv0003.patch"));

    // A pack name ending in a GBK lead byte would take the separator after it in
    // delete.lst; such a pack is refused rather than patched under other paths.
    const std::string one("\x01\0\0\0", 4);
    const std::string zero(4, '\0');
    // Magic, stamp, file count, block; the root with one file (offset, size, extra),
    // no folders; no rest space, nothing wasted.
    std::string unpathable = "VAH" + zero + one + std::string(40, '\0') + NameRecord("root") + one +
                             NameRecord("x\xB1") + zero + zero + one + zero + zero + zero + zero;
    testsupport::WriteFile(base / "old/data.vah", unpathable);
    testsupport::WriteFile(base / "old/data.vaf", std::string("a\0", 2));
    std::remove((base / "new/\xED\x95\x9C.txt").c_str());
    output = mkpatch("3");
    EXPECT_EQ(status, 1);
    EXPECT_TRUE(Holds(output, "data.vah holds a name that no pack path can carry: x\\xB1")) << output;
    EXPECT_FALSE(testsupport::Exists(base / "root/velmor/patch/pv0003.patch"));
}

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
