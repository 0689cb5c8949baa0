// Whole update runs of `velmor update` against nginx on loopback: a release-1
// installation brought through three patches, the publisher's round trip from
// mkpatch to the launcher, and the hand-over to a newer launcher.
#include <gtest/gtest.h>

#include <chrono>
#include <thread>

#include "tests/e2e/GameFolder.h"
#include "tests/e2e/PatchLadder.h"
#include "tests/support/NginxServer.h"

namespace e2e {
namespace {

using testsupport::CNginxServer;
using testsupport::CTempFolder;

std::string WaitForRecord(const std::string& record) {
    auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    while (!testsupport::Exists(record) && std::chrono::steady_clock::now() < deadline)
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    if (!testsupport::Exists(record)) return "<not started>";
    std::string arguments = testsupport::ReadFile(record);
    while (!arguments.empty() && arguments.back() == '\n') arguments.pop_back();
    return arguments;
}

std::string Update(const std::string& folder, const CNginxServer& host, const std::string& more = "") {
    return Velmor() + " update --folder '" + folder + "' --host " + host.Host() + " " + more;
}

void ExpectContent(const std::string& folder, const GameVersion& version) {
    GameContent expected = ExpectedContent(version);
    GameContent actual = ReadGameContent(folder);
    EXPECT_EQ(actual.error, "");
    EXPECT_EQ(DescribeDifference(expected.packed, actual.packed), "") << "pack of " << folder;
    EXPECT_EQ(DescribeDifference(expected.loose, actual.loose), "") << "loose files of " << folder;
}

class EndToEnd : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(CNginxServer::IsAvailable()) << "scripts/install-deps installs nginx-light";
    }
    CTempFolder m_work;
    std::string m_record = m_work / "game-arguments";
};

TEST_F(EndToEnd, InstallationIsBroughtThroughEveryPatchAndTheGameStarts) {
    CPatchLadder ladder(m_record);
    CNginxServer host(ladder.HostRoot());
    std::string game = m_work / "game";
    CopyFolder(ladder.Installation(), game);

    CommandResult run = RunCommand(Update(game, host, "--game-address 10.1.2.3:7000"));
    ASSERT_EQ(run.status, 0) << run.output;
    EXPECT_NE(run.output.find("正在解压缩."), std::string::npos) << run.output;
    EXPECT_NE(run.output.find("文件更新中."), std::string::npos) << run.output;
    EXPECT_NE(run.output.find("更新完毕"), std::string::npos) << run.output;

    EXPECT_EQ(RecordValue(game, "CurrentVersion"), "4");
    EXPECT_EQ(RecordValue(game, "StartUpdate"), "UPDATE_END");
    // The loose files compared whole also prove that no archive, update pack
    // or delete.lst was left behind.
    ExpectContent(game, ladder.Release(CPatchLadder::kLast));
    EXPECT_EQ(WaitForRecord(m_record), "start game 10.1.2.3:7000");

    // The pack tool reads the same pack: sound, the new name there, the deleted one gone.
    EXPECT_EQ(RunCommand(Velmor() + " pack verify --folder '" + game + "'").status, 0);
    CommandResult chinese = RunCommand(Velmor() + " pack cat 'maps\\新地图.bin' --folder '" + game + "'");
    EXPECT_EQ(chinese.status, 0);
    EXPECT_EQ(chinese.output, ladder.Release(4).packed.at("maps/新地图.bin"));
    EXPECT_NE(RunCommand(Velmor() + " pack cat 'maps\\b.bin' --folder '" + game + "'").status, 0);

    // A second run finds nothing to do and starts the game again.
    testsupport::RunShell("rm -f '" + m_record + "'");
    CommandResult again = RunCommand(Update(game, host, "--game-address 10.1.2.3:7000"));
    EXPECT_EQ(again.status, 0) << again.output;
    EXPECT_NE(again.output.find("完毕"), std::string::npos);
    ExpectContent(game, ladder.Release(CPatchLadder::kLast));
    EXPECT_EQ(WaitForRecord(m_record), "start game 10.1.2.3:7000");
}

// What publishers rely on: mkpatch's patch of two releases, applied by the
// launcher to the old release, gives the new release, whatever the changes.
TEST_F(EndToEnd, MkpatchRoundTripGivesTheNewRelease) {
    GameVersion oldRelease;
    GameVersion newRelease;
    for (int i = 0; i < 24; ++i) {
        std::string name = "maps/area" + std::to_string(i / 6) + "/tile" + std::to_string(i) + ".dat";
        oldRelease.packed[name] = NoiseBytes(static_cast<size_t>(200 + 97 * i), static_cast<uint32_t>(100 + i));
        // Every third tile shrinks, every third grows, the rest stays.
        if (i % 3 == 0) newRelease.packed[name] = NoiseBytes(static_cast<size_t>(100 + 50 * i), static_cast<uint32_t>(200 + i));
        else if (i % 3 == 1) newRelease.packed[name] = NoiseBytes(static_cast<size_t>(400 + 150 * i), static_cast<uint32_t>(300 + i));
        else newRelease.packed[name] = oldRelease.packed[name];
    }
    oldRelease.packed["same-size.bin"] = std::string(512, 'a');
    newRelease.packed["same-size.bin"] = std::string(512, 'b');
    oldRelease.packed["was-empty.bin"] = "";
    newRelease.packed["was-empty.bin"] = "now it has bytes";
    oldRelease.packed["becomes-empty.bin"] = "these bytes go";
    newRelease.packed["becomes-empty.bin"] = "";
    oldRelease.packed["retired/old1.bin"] = NoiseBytes(4000, 1);
    oldRelease.packed["retired/old2.bin"] = NoiseBytes(6000, 2);
    newRelease.packed["fresh/new1.bin"] = NoiseBytes(3500, 3);
    // The pack finds names without regard to case: a name whose case changes
    // is the same entry, whether its bytes change or not.
    oldRelease.packed["Case/Renamed.bin"] = "same bytes";
    newRelease.packed["case/renamed.bin"] = "same bytes";
    oldRelease.packed["case/Changed.bin"] = "old bytes";
    newRelease.packed["case/CHANGED.bin"] = "new bytes!";
    // Chinese names travel in GBK inside the packs and delete.lst: GBK characters
    // that look like UTF-8 (某, 庐, 梅), ones with a trail byte 0x5C (淺, 擻).
    oldRelease.packed["地图/某城.bin"] = "old town";
    newRelease.packed["地图/某城.bin"] = "new town, larger than before";
    oldRelease.packed["旧/梅.bin"] = "retired";
    newRelease.packed["新/庐山.bin"] = NoiseBytes(900, 5);
    oldRelease.packed["淺/擻.bin"] = "shallow";
    newRelease.packed["淺/擻.bin"] = "deeper";
    oldRelease.loose = {{"docs/readme.txt", "old"}, {"Game.exe", RecordingGameScript(m_record)}};
    newRelease.loose = {{"docs/readme.txt", "new readme"}, {"Game.exe", RecordingGameScript(m_record)},
                        {"bin/new.dll", NoiseBytes(70000, 4)}, {"docs/empty.txt", ""}, {"说明/读我.txt", "读我"}};

    std::string oldFolder = m_work / "old";
    std::string newFolder = m_work / "new";
    MakeGameFolder(oldFolder, oldRelease, m_work / "scratch");
    MakeGameFolder(newFolder, newRelease, m_work / "scratch");
    WriteLocalRecord(oldFolder, 6);
    CommandResult built = RunCommand(Velmor() + " mkpatch --old " + oldFolder + " --new " + newFolder +
                                     " --number 7 --out " + m_work / "root");
    ASSERT_EQ(built.status, 0) << built.output;

    CNginxServer host(m_work / "root");
    CommandResult run = RunCommand(Update(oldFolder, host, "--no-start"));
    ASSERT_EQ(run.status, 0) << run.output;
    EXPECT_NE(run.output.find("not started: Game.exe start game"), std::string::npos) << run.output;
    EXPECT_EQ(RecordValue(oldFolder, "CurrentVersion"), "7");
    ExpectContent(oldFolder, newRelease);
    EXPECT_EQ(RunCommand(Velmor() + " pack verify --folder '" + oldFolder + "'").status, 0);
}

// A newer launcher with the game installed: only the launcher is fetched, as
// new_updater.exe, and Game.exe is started to put it in place; the test channel
// file makes it the test launcher under the same name.
TEST_F(EndToEnd, NewerLauncherIsFetchedAndHandedOverToTheGame) {
    struct Case {
        bool testChannel;
        const char* expected;
    };
    for (const Case& c : {Case{false, "new launcher"}, Case{true, "test launcher"}}) {
        SCOPED_TRACE(c.testChannel ? "test channel" : "published channel");
        CTempFolder root;
        testsupport::WriteFile(root / "velmor/UpdateVersion.ini",
                               "[Version]\r\nCheckVersion=2\r\nUpdaterVersion=10\r\nPatchFileVersion=3\r\n");
        testsupport::WriteFile(root / "velmor/patch/pv0002.patch", "never fetched");
        testsupport::WriteFile(root / "velmor/new_updater.exe", std::string("new launcher") + NoiseBytes(9000, 1));
        testsupport::WriteFile(root / "velmor/test_updater.exe", std::string("test launcher") + NoiseBytes(7000, 2));
        CNginxServer host(root.Path());

        CTempFolder game;
        WriteLocalRecord(game.Path(), 1);
        std::string record = game / "arguments";
        MakeGameFolder(game.Path(), GameVersion{{{"a.bin", "a"}}, {{"Game.exe", RecordingGameScript(record)}}},
                       game / "scratch");
        if (c.testChannel) testsupport::WriteFile(game / "UpdateVersion-qrx-.ini", "[Version]\r\n");

        CommandResult run = RunCommand(Update(game.Path(), host));
        EXPECT_EQ(run.status, 0) << run.output;
        EXPECT_EQ(WaitForRecord(record), "new updater");
        EXPECT_EQ(testsupport::ReadFile(game / "new_updater.exe").substr(0, std::string(c.expected).size()), c.expected);
        EXPECT_EQ(RecordValue(game.Path(), "CurrentVersion"), "1");
        EXPECT_FALSE(testsupport::Exists(game / "pv0002.patch"));
    }
}

}  // namespace
}  // namespace e2e
