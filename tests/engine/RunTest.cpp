// Whole runs of the worker against the scripted patch host: the outcomes of a
// run that end before a patch is applied, the fallback host, the handover and
// the stop.
#include <chrono>
#include <cstdlib>
#include <thread>

#include "engine/PatchHost.h"
#include "engine/SharedState.h"
#include "platform/ProfileFile.h"
#include "tests/engine/EngineTest.h"

namespace enginetest {
namespace {

using testsupport::Exists;
using testsupport::HttpFault;
using testsupport::ReadFile;

constexpr const char* kList = "/velmor/UpdateVersion.ini";

class RunTest : public CEngineTest {
protected:
    void Installed(uint32_t version, const std::string& marker = "") {
        std::string record = "[Version]\nCheckVersion=2\nCurrentVersion=" + std::to_string(version) + "\n";
        if (!marker.empty()) record += "StartUpdate=" + marker + "\n";
        WriteLocalRecord(record);
    }
    void Published(uint32_t check, uint32_t updater, uint32_t patch) {
        PublishList("[Version]\nCheckVersion=" + std::to_string(check) + "\nUpdaterVersion=" +
                    std::to_string(updater) + "\nPatchFileVersion=" + std::to_string(patch) + "\n");
    }
    void PublishPatch(uint32_t number, size_t size) {
        Publish("/velmor/patch/" + PatchFileName(number), std::string(size, static_cast<char>('a' + number)));
    }
    bool Contains(const std::vector<std::string>& texts, const std::string& text) const {
        return std::find(texts.begin(), texts.end(), text) != texts.end();
    }
    // Waits (bounded) until the host has seen `count` requests for a path.
    bool WaitForRequests(const std::string& path, int count) const {
        auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
        while (m_pServer->RequestCount(path) < count) {
            if (std::chrono::steady_clock::now() > deadline) return false;
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
        }
        return true;
    }
    void ExpectWindowStaysOpen() {
        EXPECT_EQ(m_window.CloseRequests(), 0);
        EXPECT_FALSE(Exists(m_folder / "game-arguments"));
    }
};

TEST_F(RunTest, InvalidLocalRecordAsksForANewClient) {
    EXPECT_FALSE(m_pPatcher->Run());
    EXPECT_EQ(m_window.MessageBoxTexts(),
              std::vector<std::string>{"版本有误.请在官方主页上下载新的客户端重新安装.c20"});
    EXPECT_EQ(StatusText(), "请安装新的客户端.c20");
    EXPECT_TRUE(m_pServer->Requests().empty());
    EXPECT_FALSE(Exists(m_folder / "Version.ini")) << "nothing is written";
    ExpectWindowStaysOpen();
}

TEST_F(RunTest, StopBeforeTheRunDoesNothing) {
    Installed(5);
    m_pPatcher->RequestStop();
    m_pPatcher->Run();
    EXPECT_TRUE(m_window.Calls().empty());
    EXPECT_TRUE(m_pServer->Requests().empty());
}

TEST_F(RunTest, NothingPublishedClosesAndStartsTheGame) {
    Installed(5);
    InstallRecordingGame();
    Published(1, 9, 8);
    EXPECT_TRUE(m_pPatcher->Run());
    EXPECT_EQ(StatusText(), "完毕");
    EXPECT_EQ(m_window.CloseRequests(), 1);
    EXPECT_EQ(GameArguments(), "start game");
    EXPECT_EQ(m_pServer->RequestCount("/velmor/patch/pv0006.patch"), 0);
    EXPECT_FALSE(Exists(m_folder / "UpdateVersion.ini"));
    EXPECT_FALSE(m_pPatcher->m_bCountTotal);
}

TEST_F(RunTest, ChosenHostUnreachableButTheDefaultHostAnswers) {
    Installed(5);
    InstallRecordingGame();
    Published(0, 9, 5);
    std::string serverHost = m_pServer->Host();
    setenv("VELMOR_DEFAULT_PATCH_HOST", serverHost.c_str(), 1);
    CurrentPatchHost = DeadHost();
    EXPECT_TRUE(m_pPatcher->Run());
    setenv("VELMOR_DEFAULT_PATCH_HOST", DeadHost().c_str(), 1);
    EXPECT_EQ(m_window.MessageBoxTexts().size(), 1u) << "the size query of the first attempt";
    EXPECT_EQ(CurrentPatchHost, serverHost);
    EXPECT_EQ(StatusText(), "完毕");
    std::vector<std::string> statuses = m_window.Texts(kStatusControl);
    auto failure = std::find(statuses.begin(), statuses.end(), "下载失败: 无法得到文件信息.c25");
    ASSERT_NE(failure, statuses.end());
    EXPECT_EQ(*(failure + 1), "") << "the quiet attempt clears its failure text";
    EXPECT_EQ(GameArguments(), "start game");
}

TEST_F(RunTest, BothHostsUnreachableLeavesTheSecondFailure) {
    Installed(5);
    CurrentPatchHost = DeadHost();
    EXPECT_FALSE(m_pPatcher->Run());
    EXPECT_EQ(StatusText(), "下载失败: 无法得到文件信息.c25");
    EXPECT_EQ(m_window.MessageBoxTexts().size(), 2u);
    EXPECT_EQ(CurrentPatchHost, DeadHost());
    ExpectWindowStaysOpen();
}

TEST_F(RunTest, ListDownloadFailingOnBothHosts) {
    Installed(5);
    Published(2, 9, 8);
    m_pServer->SetFault(kList, HttpFault::Truncated);
    setenv("VELMOR_DEFAULT_PATCH_HOST", m_pServer->Host().c_str(), 1);
    EXPECT_FALSE(m_pPatcher->Run());
    setenv("VELMOR_DEFAULT_PATCH_HOST", DeadHost().c_str(), 1);
    EXPECT_EQ(StatusText(), "下载失败: ReadFile UpdateVersionc07");
    EXPECT_EQ(m_pServer->RequestCount(kList), 4);
    ExpectWindowStaysOpen();
}

TEST_F(RunTest, ListWithoutItsKeysOnBothHosts) {
    Installed(5);
    PublishList("<html><body>maintenance</body></html>");
    setenv("VELMOR_DEFAULT_PATCH_HOST", m_pServer->Host().c_str(), 1);
    EXPECT_FALSE(m_pPatcher->Run());
    setenv("VELMOR_DEFAULT_PATCH_HOST", DeadHost().c_str(), 1);
    EXPECT_EQ(StatusText(), "下载失败: Read Profilec08");
    EXPECT_FALSE(Exists(m_folder / "UpdateVersion.ini"));
}

TEST_F(RunTest, NoSpaceForTheListIsShownEvenOnTheQuietAttempt) {
    Installed(5);
    Published(2, 9, 8);
    m_surface.SetFreeSpaceQuery([] { return std::optional<uint64_t>(10); });
    EXPECT_FALSE(m_pPatcher->Run());
    EXPECT_TRUE(Contains(m_window.Texts(kStatusControl), "您的磁盘空间不足.c06"));
}

TEST_F(RunTest, LocalVersionZeroAsksForReinstallation) {
    struct Case {
        uint32_t version;
        const char* marker;
        uint32_t publishedCheck;
        const char* box;
    } cases[] = {
        {0, "", 1, "因为强行结束更新等引起的文件破损.请重新安装客户端.c21"},
        {0, "", 2, "因为强行结束更新等引起的文件破损.请重新安装客户端.c22"},
        {5, "UPDATE_START", 2, "因为强行结束更新等引起的文件破损.请重新安装客户端.c22"},
        {5, "update_start", 0, "因为强行结束更新等引起的文件破损.请重新安装客户端.c21"},
    };
    for (const Case& c : cases) {
        CHttpPatcher patcher(m_surface);
        m_window.ClearCalls();
        Installed(c.version, c.marker);
        Published(c.publishedCheck, 9, 8);
        EXPECT_FALSE(patcher.Run());
        EXPECT_EQ(StatusText(), "请重新安装客户端.c05") << c.box;
        EXPECT_EQ(m_window.MessageBoxTexts(), std::vector<std::string>{c.box});
        EXPECT_FALSE(m_window.IsEnabled(kStartButtonControl));
        EXPECT_TRUE(patcher.m_bDone);
        ExpectWindowStaysOpen();
    }
    EXPECT_EQ(m_pServer->RequestCount("/velmor/patch/pv0001.patch"), 0);
    EXPECT_EQ(m_pServer->RequestCount("/velmor/patch/pv0006.patch"), 0);
}

TEST_F(RunTest, NewerLauncherWithTheGameInstalledIsHandedOver) {
    Installed(5);
    InstallRecordingGame();
    Published(2, 10, 8);
    Publish("/velmor/new_updater.exe", std::string(70000, 'U'));
    PublishPatch(6, 100);
    EXPECT_TRUE(m_pPatcher->Run());
    EXPECT_EQ(ReadFile(m_folder / "new_updater.exe"), std::string(70000, 'U'));
    EXPECT_EQ(m_window.CloseRequests(), 1);
    EXPECT_EQ(GameArguments(), "new updater");
    EXPECT_EQ(m_pServer->RequestCount("/velmor/patch/pv0006.patch"), 0);
    EXPECT_EQ(m_window.Text(kByteCounterControl), "70000 / 70000") << "the launcher download shows its bytes";
    EXPECT_EQ(m_surface.PatchIndex(), 1u);
    EXPECT_EQ(platform::GetProfileString(m_folder / "Version.ini", "Version", "CurrentVersion"), "5");
}

TEST_F(RunTest, TestChannelFetchesTheTestLauncherUnderTheSameName) {
    Installed(5);
    InstallRecordingGame();
    Published(2, 9, 8);
    testsupport::WriteFile(m_folder / "UpdateVersion-qrx-.ini", "[Version]\nUpdaterVersion=12\n");
    Publish("/velmor/test_updater.exe", "test launcher");
    EXPECT_TRUE(m_pPatcher->Run());
    EXPECT_EQ(m_pServer->RequestCount("/velmor/new_updater.exe"), 0);
    EXPECT_EQ(ReadFile(m_folder / "new_updater.exe"), "test launcher");
    EXPECT_EQ(GameArguments(), "new updater");
}

TEST_F(RunTest, NewerLauncherWithoutTheGameIsIgnored) {
    Installed(5);
    Published(0, 10, 8);
    Publish("/velmor/new_updater.exe", "launcher");
    EXPECT_TRUE(m_pPatcher->Run());
    EXPECT_EQ(m_pServer->RequestCount("/velmor/new_updater.exe"), 0);
    EXPECT_FALSE(m_pPatcher->m_bUpdaterOutdated);
    EXPECT_TRUE(Contains(m_window.Texts(kStatusControl), "完毕"));
    // And the game that is not there cannot be started either.
    EXPECT_EQ(StatusText(), "无法启动 Game.exe: 找不到文件.c48");
    ExpectWindowStaysOpen();
}

// The chosen host publishes a newer launcher in a list that is rejected (no
// PatchFileVersion): the default host's list is the one the run uses, and
// nothing of the rejected one, the outdated flag above all, stays.
TEST_F(RunTest, RejectedListLeavesNothingForTheDefaultHostsList) {
    Installed(5);
    InstallRecordingGame();
    PublishList("[Version]\nCheckVersion=2\nUpdaterVersion=10\n");
    testsupport::CTempFolder defaultRoot;
    testsupport::WriteFile(defaultRoot / "velmor/UpdateVersion.ini",
                           "[Version]\nCheckVersion=2\nUpdaterVersion=9\nPatchFileVersion=5\n");
    testsupport::CScriptedHttpServer defaultHost(defaultRoot.Path());
    setenv("VELMOR_DEFAULT_PATCH_HOST", defaultHost.Host().c_str(), 1);
    bool done = m_pPatcher->Run();
    setenv("VELMOR_DEFAULT_PATCH_HOST", DeadHost().c_str(), 1);
    EXPECT_TRUE(done);
    EXPECT_EQ(CurrentPatchHost, defaultHost.Host());
    EXPECT_FALSE(m_pPatcher->m_bUpdaterOutdated);
    EXPECT_EQ(m_pPatcher->m_updaterVersion, 9u);
    EXPECT_EQ(defaultHost.RequestCount("/velmor/new_updater.exe"), 0);
    EXPECT_FALSE(Exists(m_folder / "new_updater.exe"));
    EXPECT_EQ(StatusText(), "完毕");
    EXPECT_EQ(GameArguments(), "start game");
}

// A file the host has not got (its 404 page with a length) ends the run with
// c30, whichever file it is, and nothing of the page is stored or started.
TEST_F(RunTest, EachKindOfFileMissingOnTheHostEndsTheRunWithC30) {
    struct Row {
        const char* kind;
        uint32_t updaterVersion;
        const char* missing;
    } rows[] = {
        {"published list", 9, kList},
        {"patch", 9, "/velmor/patch/pv0006.patch"},
        {"launcher", 10, "/velmor/new_updater.exe"},
    };
    setenv("VELMOR_DEFAULT_PATCH_HOST", m_pServer->Host().c_str(), 1);
    for (const Row& row : rows) {
        SCOPED_TRACE(row.kind);
        CHttpPatcher patcher(m_surface);
        m_window.ClearCalls();
        Installed(5);
        InstallRecordingGame();
        Published(2, row.updaterVersion, 6);
        PublishPatch(6, 3000);
        Publish("/velmor/new_updater.exe", "launcher");
        m_pServer->SetFault(row.missing, HttpFault::NotFound);
        EXPECT_FALSE(patcher.Run());
        m_pServer->SetFault(row.missing, HttpFault::None);
        EXPECT_EQ(StatusText(), "下载失败: 无法打开服务器文件.c30");
        EXPECT_TRUE(m_window.MessageBoxTexts().empty());
        for (const char* file : {"UpdateVersion.ini", "pv0006.patch", "new_updater.exe"})
            EXPECT_FALSE(Exists(m_folder / file)) << file;
        EXPECT_EQ(platform::GetProfileString(m_folder / "Version.ini", "Version", "CurrentVersion"), "5");
        ExpectWindowStaysOpen();
    }
    setenv("VELMOR_DEFAULT_PATCH_HOST", DeadHost().c_str(), 1);
}

TEST_F(RunTest, FailedLauncherDownloadKeepsTheWindowOpen) {
    Installed(5);
    InstallRecordingGame();
    Published(2, 10, 8);
    Publish("/velmor/new_updater.exe", std::string(9000, 'U'));
    m_pServer->SetFault("/velmor/new_updater.exe", HttpFault::Truncated);
    EXPECT_FALSE(m_pPatcher->Run());
    EXPECT_EQ(StatusText(), "下载失败: ReadFile new updaterc10");
    ExpectWindowStaysOpen();
}

TEST_F(RunTest, InstallationAlreadyCurrent) {
    Installed(8);
    InstallRecordingGame();
    Published(2, 9, 8);
    EXPECT_TRUE(m_pPatcher->Run());
    EXPECT_TRUE(Contains(m_window.Texts(kStatusControl), "正在下载中"));
    EXPECT_EQ(StatusText(), "完毕");
    EXPECT_EQ(GameArguments(), "start game");
}

TEST_F(RunTest, LocalRecordAheadOfTheServerDownloadsNothing) {
    Installed(15);
    InstallRecordingGame();
    Published(2, 9, 12);
    EXPECT_TRUE(m_pPatcher->Run());
    EXPECT_EQ(m_pPatcher->m_baseVersion, 12u);
    EXPECT_EQ(m_pServer->Requests().size(), 2u) << "only the published list, twice";
    EXPECT_EQ(platform::GetProfileString(m_folder / "Version.ini", "Version", "CurrentVersion"), "15");
}

TEST_F(RunTest, PendingPatchWithoutSizeCountsAsCurrent) {
    Installed(5);
    InstallRecordingGame();
    Published(2, 9, 7);
    PublishPatch(6, 3000);
    PublishPatch(7, 3000);
    m_pServer->SetFault("/velmor/patch/pv0006.patch", HttpFault::ZeroContentLength);
    EXPECT_TRUE(m_pPatcher->Run());
    EXPECT_EQ(m_pServer->RequestCount("/velmor/patch/pv0006.patch"), 1);
    EXPECT_EQ(m_pServer->RequestCount("/velmor/patch/pv0007.patch"), 0);
    EXPECT_EQ(StatusText(), "完毕");
    EXPECT_EQ(GameArguments(), "start game");
}

TEST_F(RunTest, FailedPatchDownloadKeepsTheWindowOpenWithItsText) {
    Installed(5);
    Published(2, 9, 6);
    PublishPatch(6, 3000);
    m_pServer->SetFault("/velmor/patch/pv0006.patch", HttpFault::OneByteMore);
    EXPECT_FALSE(m_pPatcher->Run());
    EXPECT_EQ(StatusText(), "下载失败Ov: ,0,6,3001/3000 c34");
    EXPECT_EQ(platform::GetProfileString(m_folder / "Version.ini", "Version", "StartUpdate"), "FILE_SIZE_ERR");
    EXPECT_TRUE(m_pPatcher->m_bPatchMode);
    EXPECT_TRUE(m_surface.PatchesApplied());
    ExpectWindowStaysOpen();
}

TEST_F(RunTest, NoSpaceForTheNextPatchEndsTheRunWithTheWindowOpen) {
    Installed(5);
    Published(2, 9, 7);
    PublishPatch(6, 3000);
    PublishPatch(7, 3000);
    m_surface.SetFreeSpaceQuery([] { return std::optional<uint64_t>(3000); });
    EXPECT_FALSE(m_pPatcher->Run());
    EXPECT_EQ(StatusText(), "您的磁盘空间不足.c33");
    EXPECT_FALSE(m_pPatcher->m_bDone);
    EXPECT_EQ(m_surface.PatchTotal(), 2u);
    EXPECT_FALSE(m_surface.PatchesApplied());
    EXPECT_EQ(m_surface.TotalProgressBar().Maximum(), 6000u);
    ExpectWindowStaysOpen();
}

TEST_F(RunTest, SecondStartWhileARunIsActiveIsRefused) {
    Installed(5);
    Published(0, 9, 5);
    m_pServer->SetFault(kList, HttpFault::StallHeader);
    ASSERT_TRUE(m_pPatcher->StartUpdateWorker());
    ASSERT_TRUE(WaitForRequests(kList, 1));
    EXPECT_FALSE(m_pPatcher->StartUpdateWorker());
    EXPECT_TRUE(Contains(m_window.Texts(kStatusControl), "start thread error"));
    // A read is not interrupted: the stop is seen once the stalled request timed out.
    m_pPatcher->StopUpdateWorker();
    EXPECT_FALSE(m_pPatcher->IsThreadRunning());
    EXPECT_EQ(m_window.CloseRequests(), 0);
}

TEST_F(RunTest, ClosingDuringAPatchDownloadStopsAtTheNextTurn) {
    Installed(5);
    Published(2, 9, 6);
    PublishPatch(6, 400000);  // at 256 bytes every 20 ms this would take half a minute
    m_pServer->SetFault("/velmor/patch/pv0006.patch", HttpFault::Trickle);
    ASSERT_TRUE(m_pPatcher->StartUpdateWorker());
    ASSERT_TRUE(WaitForRequests("/velmor/patch/pv0006.patch", 3));
    std::this_thread::sleep_for(std::chrono::milliseconds(100));

    int pumped = 0;
    auto started = std::chrono::steady_clock::now();
    m_pPatcher->StopUpdateWorker([&pumped] { ++pumped; });
    auto took = std::chrono::steady_clock::now() - started;
    EXPECT_FALSE(m_pPatcher->IsThreadRunning());
    EXPECT_LT(took, std::chrono::seconds(3));
    EXPECT_GE(pumped, 1) << "the window's events keep flowing while it waits";
    EXPECT_FALSE(m_window.IsEnabled(kCloseButtonControl));
    EXPECT_EQ(m_window.CloseRequests(), 0);
    EXPECT_TRUE(Exists(m_folder / "pv0006.patch")) << "the partial archive stays";
    EXPECT_LT(testsupport::ReadFile(m_folder / "pv0006.patch").size(), 400000u);
    EXPECT_EQ(platform::GetProfileString(m_folder / "Version.ini", "Version", "CurrentVersion"), "5");

    // The stop event stays set: a later run ends at its first poll.
    m_window.ClearCalls();
    ASSERT_TRUE(m_pPatcher->StartUpdateWorker());
    EXPECT_TRUE(m_pPatcher->WaitForThreadEnd(5000));
    EXPECT_TRUE(m_window.Calls().empty());
}

TEST_F(RunTest, StopWithoutARunOnlyDisablesTheCloseButton) {
    m_pPatcher->StopUpdateWorker();
    EXPECT_FALSE(m_window.IsEnabled(kCloseButtonControl));
    EXPECT_FALSE(m_pPatcher->IsStopRequested());
}

}  // namespace
}  // namespace enginetest
