// `velmor update` as a process: the exit status and the last status text of a
// run that does not finish, Ctrl-C in the middle of a download, and a second run
// on the same folder.
#include <fcntl.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <optional>
#include <thread>

#include "tests/e2e/GameFolder.h"
#include "tests/e2e/PatchLadder.h"
#include "tests/support/ScriptedHttpServer.h"
#include "tests/support/TempFolder.h"

namespace e2e {
namespace {

using testsupport::CScriptedHttpServer;
using testsupport::CTempFolder;
using testsupport::HttpFault;

constexpr const char* kList = "[Version]\r\nCheckVersion=2\r\nUpdaterVersion=9\r\nPatchFileVersion=2\r\n";

struct Installation {
    CTempFolder game;
    CTempFolder host;
    std::string record = game / "arguments";
    explicit Installation(const std::string& marker = "") {
        MakeGameFolder(game.Path(), GameVersion{{{"a.bin", "a"}}, {{"Game.exe", RecordingGameScript(record)}}},
                       host / "scratch");
        WriteLocalRecord(game.Path(), 1, marker);
        testsupport::WriteFile(host / "velmor/UpdateVersion.ini", kList);
    }
};

// A patch that Info-ZIP compressed with bzip2, which the launcher does not read.
std::string Bzip2Patch() {
    CTempFolder work;
    testsupport::WriteFile(work / "maps/a.bin", std::string(1000, 'a'));
    EXPECT_EQ(testsupport::RunShell("cd " + work.Path() + " && zip -q -Z bzip2 patch.zip maps/a.bin"), 0);
    return testsupport::ReadFile(work / "patch.zip");
}

TEST(UpdateCommand, RunThatDoesNotFinishExitsOneWithItsLastText) {
    struct Row {
        const char* name;
        std::string marker;         // of the installation
        std::string patch;          // bytes published as patch 2
        std::string lastLine;       // what velmor update ends with
        std::string messageBox;     // a line the run printed before, if any
        std::string markerAfter;
    };
    const Row rows[] = {
        {"an archive that is no ZIP", "", "this is not a zip archive",
         "velmor update: 解压缩失败c12: the archive's central directory was not found (pv0002.patch)", "",
         "EXTRACT_START"},
        {"an archive of a method the launcher does not read", "", Bzip2Patch(),
         "velmor update: 解压缩失败c12: entry 'maps\\a.bin': unsupported compression method 12 (pv0002.patch)", "",
         "EXTRACT_START"},
        {"an interrupted pack change", "UPDATE_START", "never fetched", "velmor update: 请重新安装客户端.c05",
         "Velmor Updater: 因为强行结束更新等引起的文件破损.请重新安装客户端.c22", "UPDATE_START"},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        Installation installation(row.marker);
        testsupport::WriteFile(installation.host / "velmor/patch/pv0002.patch", row.patch);
        CScriptedHttpServer host(installation.host.Path());
        CommandResult run = RunCommand(Velmor() + " update --folder " + installation.game.Path() + " --host " +
                                       host.Host());
        EXPECT_EQ(run.status, 1);
        std::string output = run.output;
        while (!output.empty() && output.back() == '\n') output.pop_back();
        EXPECT_EQ(output.substr(output.rfind('\n') + 1), row.lastLine) << run.output;
        if (!row.messageBox.empty()) {
            EXPECT_NE(run.output.find(row.messageBox), std::string::npos) << run.output;
        }
        EXPECT_EQ(RecordValue(installation.game.Path(), "StartUpdate"), row.markerAfter);
        EXPECT_EQ(RecordValue(installation.game.Path(), "CurrentVersion"), "1");
        EXPECT_FALSE(testsupport::Exists(installation.record)) << "the game is not started";
    }
}

// A run with nothing to patch ends by starting the game; a game that cannot be
// started is no finished run: the reason is printed and the exit status is 1.
TEST(UpdateCommand, GameThatCannotStartIsPrintedWithItsReasonAndExitsOne) {
    struct Row {
        const char* name;
        std::optional<std::string> game;  // Game.exe's bytes; nothing: no Game.exe
        const char* reason;
    };
    const Row rows[] = {
        {"no Game.exe", std::nullopt, "找不到文件."},
        {"a Windows Game.exe and no wine", std::string("MZ\x90\0", 4), "这是 Windows 程序, 需要安装 wine."},
        {"a Game.exe that is no program", std::string("not a program"), "Permission denied."},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        Installation installation;
        testsupport::WriteFile(installation.host / "velmor/UpdateVersion.ini",
                               "[Version]\r\nCheckVersion=2\r\nUpdaterVersion=9\r\nPatchFileVersion=1\r\n");
        std::filesystem::remove(installation.game / "Game.exe");
        if (row.game) testsupport::WriteFile(installation.game / "Game.exe", *row.game);
        CScriptedHttpServer host(installation.host.Path());
        // No wine on PATH, no programs in the Wine prefix.
        CTempFolder bin;
        CommandResult run = RunCommand("env PATH='" + bin.Path() + "' WINEPREFIX='" + bin.Path() + "' " + Velmor() +
                                       " update --folder " + installation.game.Path() + " --host " + host.Host());
        std::string text = std::string("无法启动 Game.exe: ") + row.reason + "c48";
        EXPECT_EQ(run.status, 1) << run.output;
        EXPECT_NE(run.output.find("Velmor Updater: " + text + "\n"), std::string::npos) << run.output;
        EXPECT_NE(run.output.find("velmor update: " + text + "\n"), std::string::npos) << run.output;
    }
}

// Starts `velmor update --folder FOLDER --host HOST` (and `extra`) in the
// background, its output into `log`.
pid_t StartUpdate(const std::string& folder, const std::string& patchHost, const std::string& log,
                  const char* extra = nullptr) {
    pid_t child = fork();
    if (child == 0) {
        int out = open(log.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        dup2(out, 1);
        dup2(out, 2);
        std::string velmor = Velmor();
        execl(velmor.c_str(), velmor.c_str(), "update", "--folder", folder.c_str(), "--host", patchHost.c_str(),
              extra, static_cast<char*>(nullptr));
        _exit(127);
    }
    return child;
}

// The exit status of a child within ten seconds; nothing (and the child killed) after.
std::optional<int> AwaitExit(pid_t child) {
    int status = 0;
    for (int i = 0; i < 1000 && waitpid(child, &status, WNOHANG) == 0; ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    if (waitpid(child, &status, WNOHANG) == 0) {
        kill(child, SIGKILL);
        waitpid(child, &status, 0);
        return std::nullopt;
    }
    if (!WIFEXITED(status)) return 128 + WTERMSIG(status);
    return WEXITSTATUS(status);
}

TEST(UpdateCommand, CtrlCDuringADownloadStopsTheRunAsClosingTheWindowWould) {
    Installation installation;
    testsupport::WriteFile(installation.host / "velmor/patch/pv0002.patch", NoiseBytes(64 * 1024, 1));
    CScriptedHttpServer host(installation.host.Path());
    host.SetFault("/velmor/patch/pv0002.patch", HttpFault::Trickle);
    std::string log = installation.host / "update.log";

    pid_t child = StartUpdate(installation.game.Path(), host.Host(), log);
    ASSERT_GE(child, 0);
    // Interrupted once the archive has begun to arrive.
    std::string archive = installation.game / "pv0002.patch";
    auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(20);
    std::error_code error;
    while (std::chrono::steady_clock::now() < deadline &&
           !(std::filesystem::exists(archive) && std::filesystem::file_size(archive, error) > 0))
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    kill(child, SIGINT);
    std::optional<int> status = AwaitExit(child);
    ASSERT_TRUE(status) << "velmor update did not end within 10 s of Ctrl-C";
    EXPECT_EQ(*status, 1);
    std::string output = testsupport::ReadFile(log);
    EXPECT_NE(output.find("velmor update: stopped"), std::string::npos) << output;
    EXPECT_LT(std::filesystem::file_size(archive), 64u * 1024) << "the partial archive stays";
    EXPECT_EQ(RecordValue(installation.game.Path(), "CurrentVersion"), "1");
    EXPECT_EQ(RecordValue(installation.game.Path(), "StartUpdate"), "");
    EXPECT_FALSE(testsupport::Exists(installation.record)) << "the game is not started";
}

// One writer per game folder: a second run, of the same user or of another one
// (another lock folder of its own), is refused at once and changes nothing; the
// first brings the folder to the newest release.
TEST(UpdateCommand, ASecondRunOnTheSameFolderIsRefusedWhileTheFirstWorks) {
    CTempFolder work;
    CPatchLadder ladder(work / "game-arguments");
    CScriptedHttpServer host(ladder.HostRoot());
    const std::string list = "/velmor/UpdateVersion.ini";
    host.SetFault(list, HttpFault::Delayed);
    std::string game = work / "game";
    CopyFolder(ladder.Installation(), game);

    pid_t first = StartUpdate(game, host.Host(), work / "first.log", "--no-start");
    ASSERT_GE(first, 0);
    auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(20);
    while (host.RequestCount(list) == 0 && std::chrono::steady_clock::now() < deadline)
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    ASSERT_EQ(host.RequestCount(list), 1);

    CTempFolder otherUsersLocks;
    for (std::string environment : {std::string(), "env XDG_RUNTIME_DIR='" + otherUsersLocks.Path() + "' "}) {
        SCOPED_TRACE(environment.empty() ? "the same user" : "another user");
        CommandResult second =
            RunCommand(environment + Velmor() + " update --no-start --folder '" + game + "' --host " + host.Host());
        EXPECT_EQ(second.status, 1);
        EXPECT_EQ(second.output, "velmor update: 正在执行更新中.c01\n");
    }
    EXPECT_EQ(AwaitExit(first), std::optional<int>(0)) << testsupport::ReadFile(work / "first.log");
    EXPECT_EQ(host.RequestCount(list), 2) << "the refused runs asked for nothing";
    GameContent expected = ExpectedContent(ladder.Release(CPatchLadder::kLast));
    GameContent actual = ReadGameContent(game);
    EXPECT_EQ(actual.error + DescribeDifference(expected.packed, actual.packed) +
                  DescribeDifference(expected.loose, actual.loose),
              "");
    EXPECT_EQ(RecordValue(game, "CurrentVersion"), "4");
}

}  // namespace
}  // namespace e2e
