// Update runs against the scripted patch host while the window is up: the texts
// arrive in order on the window, a close during the download stops the worker
// first, and the choice shown at close is what the registry keeps.
#include <QLabel>
#include <QMessageBox>
#include <chrono>
#include <filesystem>
#include <thread>

#include "engine/SharedState.h"
#include "launcher/HoverButton.h"
#include "platform/KeyStore.h"
#include "tests/support/ScriptedHttpServer.h"
#include "tests/window/widgets/WindowFixture.h"

namespace windowtest {
namespace {

class WorkerRunTest : public CWindowTest {
protected:
    WorkerRunTest() : m_server(m_hostFolder.Path()) {}

    void Publish(const std::string& path, const std::string& content) {
        std::filesystem::create_directories(std::filesystem::path(m_hostFolder / path.substr(1)).parent_path());
        testsupport::WriteFile(m_hostFolder / path.substr(1), content);
    }

    // Two servers in one group, both published by the scripted host.
    CKestrunDlg& OpenOnHost() {
        UifContent content = MakeContent({3});
        for (ServerEntry& server : content.Groups[0].Servers)
            server.PatchHost = m_server.Host();
        WriteConfig(content);
        return OpenWindow();
    }

    std::vector<std::string> TextsOf(int controlId) const {
        std::vector<std::string> texts;
        for (const auto& [id, text] : m_texts)
            if (id == controlId)
                texts.push_back(text);
        return texts;
    }

    std::string Stored(const char* name) {
        CMyRegKey key;
        key.Create(platform::CStoreKey::LocalMachine(), "SOFTWARE\\TALVE\\Velmor");
        std::string text;
        return key.QueryValue(text, name) == 0 ? text : "<missing>";
    }

    void InstallRecordingGame() {
        std::string game = m_folder / "Game.exe";
        testsupport::WriteFile(game, "#!/bin/sh\necho \"$@\" > game-arguments.tmp && mv game-arguments.tmp game-arguments\n");
        std::filesystem::permissions(game, std::filesystem::perms::owner_all);
    }

    // The box the worker shows beside the window, once it is up.
    static QMessageBox* WaitForMessageBox(const CKestrunDlg& window, int milliseconds = 5000) {
        QMessageBox* box = nullptr;
        WaitFor([&] {
            for (QWidget* widget : QApplication::topLevelWidgets())
                if (widget != &window && widget->isVisible() && widget->inherits("QMessageBox"))
                    box = static_cast<QMessageBox*>(widget);
            return box != nullptr;
        }, milliseconds);
        return box;
    }

    testsupport::CTempFolder m_hostFolder;
    testsupport::CScriptedHttpServer m_server;
};

TEST_F(WorkerRunTest, EveryCloseDuringTheDownloadStopsTheWorkerThenClosesAndSavesTheChoiceShown) {
    testsupport::WriteFile(m_folder / "Version.ini", "[Version]\nCheckVersion=2\nCurrentVersion=1\n");
    Publish("/velmor/UpdateVersion.ini", "[Version]\nCheckVersion=2\nPatchFileVersion=2\nUpdaterVersion=1\n");
    Publish("/velmor/patch/pv0002.patch", std::string(256 * 1024, 'p'));
    m_server.SetFault("/velmor/patch/pv0002.patch", testsupport::HttpFault::Trickle);

    enum class Route { CloseButton, Escape, CloseRequest };
    for (Route route : {Route::CloseButton, Route::Escape, Route::CloseRequest}) {
        SCOPED_TRACE(static_cast<int>(route));
        m_texts.clear();
        CKestrunDlg& window = OpenOnHost();
        QTest::mouseClick(&window, Qt::LeftButton, {}, QPoint(100, 370));  // server 1
        QTest::mouseClick(window.Button(1), Qt::LeftButton);
        EXPECT_FALSE(window.Button(1)->isEnabled());
        ASSERT_TRUE(WaitFor([&] { return !TextsOf(1006).empty() && !TextsOf(1006).back().empty(); }, 20000));
        EXPECT_TRUE(window.Worker().IsThreadRunning());
        EXPECT_EQ(CurrentPatchHost, m_server.Host());

        EXPECT_EQ(TextsOf(1012), (std::vector<std::string>{"正在接受文件中", "正在下载中", "正在接受文件中 (1/1)"}));
        EXPECT_EQ(window.Label(1012)->text(), QStringLiteral("正在接受文件中 (1/1)"));
        EXPECT_EQ(TextsOf(1007).back(), "(Kb/s)");

        // The window stays usable while the worker downloads: the choice moves on.
        QTest::mouseClick(&window, Qt::LeftButton, {}, QPoint(100, 390));  // server 2
        EXPECT_EQ(TheLauncherConfig().SelectedServer, 2u);

        if (route == Route::CloseButton) {
            QTest::mouseClick(window.Button(1019), Qt::LeftButton);
            EXPECT_FALSE(window.Worker().IsThreadRunning()) << "the close button waits for the worker";
        } else if (route == Route::Escape) {
            QTest::keyClick(&window, Qt::Key_Escape);
        } else {
            window.close();
        }
        EXPECT_FALSE(window.Button(1019)->isEnabled());
        ASSERT_TRUE(WaitFor([&] { return !window.isVisible(); }));
        EXPECT_FALSE(window.Worker().IsThreadRunning());
        EXPECT_EQ(Stored("PATCH_GROUP"), "0");
        EXPECT_EQ(Stored("PATCH_SERVER"), "2");
        EXPECT_LT(testsupport::ReadFile(m_folder / "pv0002.patch").size(), 256u * 1024)
            << "the download did not run to its end";
    }
}

TEST_F(WorkerRunTest, RunWithNothingToPatchClosesTheWindowAndStartsTheGame) {
    testsupport::WriteFile(m_folder / "Version.ini", "[Version]\nCheckVersion=2\nCurrentVersion=4\n");
    Publish("/velmor/UpdateVersion.ini", "[Version]\nCheckVersion=2\nPatchFileVersion=4\nUpdaterVersion=1\n");
    InstallRecordingGame();

    CKestrunDlg& window = OpenOnHost();
    QTest::mouseClick(window.Button(1), Qt::LeftButton);
    ASSERT_TRUE(WaitFor([&] { return !window.isVisible(); }, 20000));
    EXPECT_FALSE(window.Worker().IsThreadRunning());
    EXPECT_EQ(TextsOf(1012), (std::vector<std::string>{"正在接受文件中", "正在下载中", "完毕"}));
    EXPECT_EQ(window.Label(1012)->text(), QStringLiteral("完毕"));
    ASSERT_TRUE(WaitFor([&] { return testsupport::Exists(m_folder / "game-arguments"); }));
    EXPECT_EQ(testsupport::ReadFile(m_folder / "game-arguments"), "start game 127.0.0.1\n");
    EXPECT_EQ(Stored("PATCH_SERVER"), "0");
}

// A game that cannot start is no finished run: a box names it and the reason,
// and the window stays open with that text.
TEST_F(WorkerRunTest, GameThatCannotStartIsShownAndTheWindowStaysOpen) {
    testsupport::WriteFile(m_folder / "Version.ini", "[Version]\nCheckVersion=2\nCurrentVersion=4\n");
    Publish("/velmor/UpdateVersion.ini", "[Version]\nCheckVersion=2\nPatchFileVersion=4\nUpdaterVersion=1\n");
    setenv("WINEPREFIX", (m_folder / "wine").c_str(), 1);  // no Game.exe in its system folder either

    CKestrunDlg& window = OpenOnHost();
    QTest::mouseClick(window.Button(1), Qt::LeftButton);
    QMessageBox* box = WaitForMessageBox(window, 20000);
    ASSERT_NE(box, nullptr);
    const QString text = QStringLiteral("无法启动 Game.exe: 找不到文件.c48");
    EXPECT_EQ(box->text(), text);
    EXPECT_EQ(box->windowTitle(), QStringLiteral("Velmor Updater"));
    QTest::keyClick(box, Qt::Key_Return);
    ASSERT_TRUE(WaitFor([&] { return !window.Worker().IsThreadRunning(); }));
    QTest::qWait(100);
    EXPECT_TRUE(window.isVisible());
    EXPECT_EQ(window.Label(1012)->text(), text);
    unsetenv("WINEPREFIX");
}

TEST_F(WorkerRunTest, MessageBoxOfTheWorkerLeavesTheWindowUsable) {
    testsupport::WriteFile(m_folder / "Version.ini", "[Version]\nCheckVersion=1\n");  // not a valid record
    CKestrunDlg& window = OpenOnHost();
    QTest::mouseClick(window.Button(1), Qt::LeftButton);
    QMessageBox* box = WaitForMessageBox(window);
    ASSERT_NE(box, nullptr);
    EXPECT_TRUE(window.Worker().IsThreadRunning()) << "the worker waits for the answer";
    QTest::mouseClick(&window, Qt::LeftButton, {}, QPoint(100, 390));
    EXPECT_EQ(TheLauncherConfig().SelectedServer, 2u) << "the window answers meanwhile";
    QTest::keyClick(box, Qt::Key_Return);
    ASSERT_TRUE(WaitFor([&] { return !window.Worker().IsThreadRunning(); }));
    EXPECT_EQ(window.Label(1012)->text(), QStringLiteral("请安装新的客户端.c20"));
    EXPECT_TRUE(window.isVisible());
}

}  // namespace
}  // namespace windowtest
