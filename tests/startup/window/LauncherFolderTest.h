#pragma once
// A game folder with updater.uif (four servers at 127.0.0.1 to 127.0.0.4), a Wine
// prefix with Direct3D 9, and every folder the launcher writes to kept in the test's
// own folder; the launcher is started there as a child process.
#include <gtest/gtest.h>

#include <filesystem>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "launcher/core/UifFile.h"
#include "tests/startup/window/LauncherProcess.h"
#include "tests/support/GbkText.h"
#include "tests/support/ScriptedHttpServer.h"
#include "tests/support/TempFolder.h"

namespace startuptest {

inline bool IsMainWindow(const SXWindow& window) { return window.Width == 664 && window.Height == 585; }

inline std::string ReadIfAny(const std::string& path) {
    return testsupport::Exists(path) ? testsupport::ReadFile(path) : std::string();
}

inline std::string Launcher() { return testsupport::BuildFolder() + "/launcher/velmor-launcher"; }

class CLauncherFolderTest : public ::testing::Test {
protected:
    CLauncherFolderTest() {
        WriteConfig({});
        InstallDirectX("wine", true);
    }

    void WriteConfig(const std::vector<std::string>& links) {
        UifContent content;
        content.Links = links;
        content.HasMagic = true;
        ServerGroup group;
        group.Name = testsupport::Gbk("一区");
        for (int s = 1; s <= 4; ++s) {
            ServerEntry entry;
            entry.Name = testsupport::Gbk("服务器 " + std::to_string(s));
            entry.PatchHost = "127.0.0.1:" + std::to_string(testsupport::CScriptedHttpServer::UnusedPort());
            entry.GameAddress = "127.0.0." + std::to_string(s);
            group.Servers.push_back(entry);
        }
        content.Groups.push_back(group);
        std::string bytes, error;
        EXPECT_TRUE(WriteUifFile(content, bytes, error)) << error;
        std::filesystem::create_directories(m_folder / "game");
        testsupport::WriteFile(m_folder / "game/updater.uif", bytes);
    }

    void InstallDirectX(const std::string& prefix, bool withD3d9) {
        std::string system = m_folder / (prefix + "/drive_c/windows/system32");
        std::filesystem::create_directories(system);
        testsupport::WriteFile(system + "/d3d8.dll", "MZ");
        testsupport::WriteFile(system + "/d3dx9_43.dll", "MZ");
        if (withD3d9)
            testsupport::WriteFile(system + "/d3d9.dll", "MZ");
    }

    std::map<std::string, std::string> Environment(const std::string& prefix = "wine") const {
        return {{"WINEPREFIX", m_folder / prefix},
                {"XDG_RUNTIME_DIR", m_folder.Path()},
                {"VELMOR_REGISTRY_ROOT", m_folder / "registry"},
                {"XDG_STATE_HOME", m_folder / "state"},
                {"XDG_CACHE_HOME", m_folder / "cache"},
                {"XDG_DATA_HOME", m_folder / "data"},
                {"XDG_CONFIG_HOME", m_folder / "config"},
                {"QT_QPA_PLATFORM", "xcb"}};
    }

    // The launcher, or `wrapper` (a program and its arguments) running it.
    std::unique_ptr<CChildProcess> Start(const std::map<std::string, std::string>& environment,
                                         const std::string& errorFile, std::vector<std::string> wrapper = {}) {
        if (wrapper.empty())
            return std::make_unique<CChildProcess>(Launcher(), std::vector<std::string>{}, m_folder / "game",
                                                   environment, m_folder / errorFile);
        std::string program = wrapper.front();
        wrapper.erase(wrapper.begin());
        wrapper.push_back(Launcher());
        return std::make_unique<CChildProcess>(program, wrapper, m_folder / "game", environment, m_folder / errorFile);
    }

    testsupport::CTempFolder m_folder;
};

}  // namespace startuptest
