// The launcher refuses to start beside another launcher, beside the game's window
// and without Direct3D 9: each time one box captioned "Velmor Updater", the text on
// standard error, an exit code of its own, and never the main window.
#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <memory>
#include <string>
#include <thread>

#include "launcher/KestrunApp.h"
#include "tests/startup/window/LauncherFolderTest.h"
#include "tests/support/ScriptedHttpServer.h"
#include "tests/support/TempFolder.h"

namespace startuptest {
namespace {

bool IsAnyWindow(const SXWindow&) { return true; }


// The game's window, opened by a helper program on the same display.
class CGameWindow {
public:
    explicit CGameWindow(const testsupport::CTempFolder& folder, std::vector<std::string> titleClassInstance = {})
        : m_errorFile(folder / ("game-window-" + std::to_string(++s_count) + ".err")),
          m_helper(testsupport::BuildFolder() + "/tests/startup/velmor-test-game-window", titleClassInstance,
                   folder.Path(), {}, m_errorFile) {}
    bool WaitUntilShown() const {
        for (int i = 0; i < 200; ++i) {
            if (ReadIfAny(m_errorFile) == "ready\n")
                return true;
            std::this_thread::sleep_for(std::chrono::milliseconds(25));
        }
        return false;
    }

private:
    static inline int s_count = 0;
    std::string m_errorFile;
    CChildProcess m_helper;
};

class RefusalTest : public CLauncherFolderTest {
protected:
    // The refusal box is the launcher's only window; OK ends the launcher.
    void ExpectRefusal(const std::map<std::string, std::string>& environment, CKestrunApp::ERefusal refusal,
                       const std::string& label) {
        std::unique_ptr<CChildProcess> launcher = Start(environment, "refusal.err");
        std::optional<SXWindow> box = WaitForWindow(launcher->Pid(), IsAnyWindow, 15000);
        ASSERT_TRUE(box) << label << ": no box; " << ReadIfAny(m_folder / "refusal.err");
        EXPECT_EQ(box->Title, "Velmor Updater") << label;
        EXPECT_FALSE(IsMainWindow(*box)) << label;
        EXPECT_EQ(VisibleWindowsOf(launcher->Pid()).size(), 1u) << label << ": only the box is shown";
        EXPECT_FALSE(launcher->WaitForExit(300)) << label << ": the box waits for the player";
        ASSERT_TRUE(PressKey(*box, "Return")) << label;
        std::optional<int> code = launcher->WaitForExit(10000);
        ASSERT_TRUE(code) << label << ": still running after OK";
        EXPECT_EQ(*code, CKestrunApp::RefusalExitCode(refusal)) << label;
        EXPECT_EQ(ReadIfAny(m_folder / "refusal.err"), CKestrunApp::RefusalText(refusal) + "\n") << label;
    }
};

TEST(RefusalTexts, AreTheStringTablesTextsWithTheirCodes) {
    EXPECT_EQ(CKestrunApp::RefusalText(CKestrunApp::ERefusal::AlreadyRunning), "正在执行更新中.c01");
    EXPECT_EQ(CKestrunApp::RefusalText(CKestrunApp::ERefusal::GameRunning), "正在执行游戏中.请结束游戏后重新执行.c02");
    EXPECT_EQ(CKestrunApp::RefusalText(CKestrunApp::ERefusal::NoDirectX9),
              "没有安装DirectX9.请安装DirectX9以后再执行.c03");
}

TEST_F(RefusalTest, WithoutD3d9InTheWinePrefixTheLauncherRefusesWithC03) {
    InstallDirectX("bare", false);
    ExpectRefusal(Environment("bare"), CKestrunApp::ERefusal::NoDirectX9, "d3d8 and d3dx9 but no d3d9");
    // A prefix whose system folder cannot be named in 260 bytes counts as missing.
    std::string deep = "deep/" + std::string(120, 'p') + "/" + std::string(120, 'q');
    InstallDirectX(deep, true);
    ExpectRefusal(Environment(deep), CKestrunApp::ERefusal::NoDirectX9, "system folder too long");
    // Without WINEPREFIX the prefix is ~/.wine.
    auto home = Environment();
    home["WINEPREFIX"] = "";
    home["HOME"] = m_folder / "home";
    ExpectRefusal(home, CKestrunApp::ERefusal::NoDirectX9, "no ~/.wine");
}

TEST_F(RefusalTest, TheGamesWindowIsFoundBeforeDirectXIsAskedFor) {
    InstallDirectX("bare", false);
    {
        CGameWindow game(m_folder);
        ASSERT_TRUE(game.WaitUntilShown());
        ExpectRefusal(Environment("bare"), CKestrunApp::ERefusal::GameRunning, "class GAME, no d3d9");
    }
    // Wine names a Windows program's windows after its executable.
    CGameWindow wineGame(m_folder, {"Velmor", "Wine", "game.exe"});
    ASSERT_TRUE(wineGame.WaitUntilShown());
    ExpectRefusal(Environment(), CKestrunApp::ERefusal::GameRunning, "instance game.exe under Wine");
}

TEST_F(RefusalTest, AnotherProgramsWindowTitledVelmorIsNotTheGame) {
    CGameWindow other(m_folder, {"Velmor", "Browser", "browser"});
    ASSERT_TRUE(other.WaitUntilShown());
    std::unique_ptr<CChildProcess> launcher = Start(Environment(), "launcher.err");
    std::optional<SXWindow> window = WaitForWindow(launcher->Pid(), IsMainWindow, 30000);
    ASSERT_TRUE(window) << ReadIfAny(m_folder / "launcher.err");
    ASSERT_TRUE(PressKey(*window, "Escape"));
    EXPECT_EQ(launcher->WaitForExit(10000), std::optional<int>(0));
}

TEST_F(RefusalTest, ASecondLauncherIsRefusedEvenBesideTheGame) {
    std::unique_ptr<CChildProcess> first = Start(Environment(), "first.err");
    std::optional<SXWindow> window = WaitForWindow(first->Pid(), IsMainWindow, 30000);
    ASSERT_TRUE(window) << "the first launcher shows its window; " << ReadIfAny(m_folder / "first.err");
    EXPECT_EQ(window->Title, "Velmor Updater");
    {
        CGameWindow game(m_folder);
        ASSERT_TRUE(game.WaitUntilShown());
        ExpectRefusal(Environment(), CKestrunApp::ERefusal::AlreadyRunning, "launcher and game running");
    }
    // The first one goes on and closes normally, its echo probe still at work on
    // the four servers.
    EXPECT_FALSE(first->WaitForExit(0));
    ASSERT_TRUE(PressKey(*window, "Escape"));
    std::optional<int> code = first->WaitForExit(10000);
    ASSERT_TRUE(code);
    EXPECT_EQ(*code, 0) << ReadIfAny(m_folder / "first.err");
    EXPECT_FALSE(first->Signalled());
}

// While `velmor update` works on the game folder (here waiting for the host's
// list), the window refuses as beside another launcher: whether the run is the
// player's own or another user's, who has a lock folder of its own.
TEST_F(RefusalTest, TheWindowIsRefusedWhileVelmorUpdateWorksOnTheFolder) {
    testsupport::WriteFile(m_folder / "game/Version.ini", "[Version]\nCheckVersion=2\nCurrentVersion=1\n");
    testsupport::CTempFolder hostRoot;
    testsupport::CScriptedHttpServer host(hostRoot.Path());
    const std::string list = "/velmor/UpdateVersion.ini";
    host.SetFault(list, testsupport::HttpFault::StallHeader);
    testsupport::CTempFolder otherUsersLocks;
    auto otherUser = Environment();
    otherUser["XDG_RUNTIME_DIR"] = otherUsersLocks.Path();
    for (const auto& updaterEnvironment : {Environment(), otherUser}) {
        int asked = host.RequestCount(list);
        CChildProcess update(testsupport::BuildFolder() + "/tools/velmor",
                             {"update", "--no-start", "--host", host.Host()}, m_folder / "game", updaterEnvironment,
                             m_folder / "update.err");
        for (int i = 0; i < 1000 && host.RequestCount(list) == asked; ++i)
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        ASSERT_GT(host.RequestCount(list), asked) << ReadIfAny(m_folder / "update.err");
        ExpectRefusal(Environment(), CKestrunApp::ERefusal::AlreadyRunning,
                      updaterEnvironment == otherUser ? "another user's run" : "the player's own run");
    }
}

}  // namespace
}  // namespace startuptest
