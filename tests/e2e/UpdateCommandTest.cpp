// `velmor update` as a process: the exit status and the last status text of a
// run that does not finish, and Ctrl-C in the middle of a download.
#include <fcntl.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <thread>

#include "tests/e2e/GameFolder.h"
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

TEST(UpdateCommand, CtrlCDuringADownloadStopsTheRunAsClosingTheWindowWould) {
    Installation installation;
    testsupport::WriteFile(installation.host / "velmor/patch/pv0002.patch", NoiseBytes(64 * 1024, 1));
    CScriptedHttpServer host(installation.host.Path());
    host.SetFault("/velmor/patch/pv0002.patch", HttpFault::Trickle);
    std::string log = installation.host / "update.log";

    pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        int out = open(log.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        dup2(out, 1);
        dup2(out, 2);
        std::string velmor = Velmor();
        std::string folder = installation.game.Path();
        std::string patchHost = host.Host();
        execl(velmor.c_str(), velmor.c_str(), "update", "--folder", folder.c_str(), "--host", patchHost.c_str(),
              static_cast<char*>(nullptr));
        _exit(127);
    }
    // Interrupted once the archive has begun to arrive.
    std::string archive = installation.game / "pv0002.patch";
    auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(20);
    std::error_code error;
    while (std::chrono::steady_clock::now() < deadline &&
           !(std::filesystem::exists(archive) && std::filesystem::file_size(archive, error) > 0))
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    kill(child, SIGINT);
    int status = 0;
    for (int i = 0; i < 1000 && waitpid(child, &status, WNOHANG) == 0; ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    if (waitpid(child, &status, WNOHANG) == 0) {
        kill(child, SIGKILL);
        waitpid(child, &status, 0);
        FAIL() << "velmor update did not end within 10 s of Ctrl-C";
    }
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 1);
    std::string output = testsupport::ReadFile(log);
    EXPECT_NE(output.find("velmor update: stopped"), std::string::npos) << output;
    EXPECT_LT(std::filesystem::file_size(archive), 64u * 1024) << "the partial archive stays";
    EXPECT_EQ(RecordValue(installation.game.Path(), "CurrentVersion"), "1");
    EXPECT_EQ(RecordValue(installation.game.Path(), "StartUpdate"), "");
    EXPECT_FALSE(testsupport::Exists(installation.record)) << "the game is not started";
}

}  // namespace
}  // namespace e2e
