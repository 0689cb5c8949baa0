#include "tests/engine/EngineTest.h"

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <thread>

#include "engine/SharedState.h"

namespace enginetest {
namespace {

// No test may reach beyond loopback: the built-in default host is replaced by a
// dead loopback port, proxies are ignored, and the timeouts are short.
class CLoopbackOnly : public ::testing::Environment {
public:
    void SetUp() override {
        for (const char* name : {"http_proxy", "HTTP_PROXY", "https_proxy", "HTTPS_PROXY", "all_proxy", "ALL_PROXY"})
            unsetenv(name);
        setenv("VELMOR_DEFAULT_PATCH_HOST", DeadHost().c_str(), 1);
        setenv("VELMOR_HTTP_TIMEOUT_MS", "1500", 1);
    }
};

[[maybe_unused]] ::testing::Environment* const g_loopbackOnly =
    ::testing::AddGlobalTestEnvironment(new CLoopbackOnly);

}  // namespace

std::string DeadHost() {
    static const std::string host = "127.0.0.1:" + std::to_string(testsupport::CScriptedHttpServer::UnusedPort());
    return host;
}

CEngineTest::CEngineTest() {
    m_pServer = std::make_unique<testsupport::CScriptedHttpServer>(m_hostFolder.Path());
    m_pPatcher = std::make_unique<CHttpPatcher>(m_surface);
    m_surface.FileProgressBar().Setup(20, 483, kBarBackground, kFileBarFill);
    m_surface.TotalProgressBar().Setup(20, 495, kBarBackground, kTotalBarFill);
    SetSharedText(CurrentPatchHost, m_pServer->Host());
    CurrentGameAddress.clear();
    HasUifMagic = false;
}

CEngineTest::~CEngineTest() {
    m_pPatcher.reset();
    m_pServer.reset();
}

void CEngineTest::Publish(const std::string& path, const std::string& content) {
    testsupport::WriteFile(m_hostFolder.Path() + path, content);
}

void CEngineTest::WriteLocalRecord(const std::string& content) {
    testsupport::WriteFile(m_folder / "Version.ini", content);
}

void CEngineTest::InstallRecordingGame() {
    std::string game = m_folder / "Game.exe";
    testsupport::WriteFile(game, "#!/bin/sh\necho \"$@\" > \"$(dirname \"$0\")/game-arguments.tmp\"\n"
                                 "mv \"$(dirname \"$0\")/game-arguments.tmp\" \"$(dirname \"$0\")/game-arguments\"\n");
    std::filesystem::permissions(game, std::filesystem::perms::owner_all);
}

std::string CEngineTest::GameArguments() const {
    std::string file = m_folder / "game-arguments";
    auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(5);
    while (!testsupport::Exists(file) && std::chrono::steady_clock::now() < deadline)
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    if (!testsupport::Exists(file)) return "<not started>";
    std::string arguments = testsupport::ReadFile(file);
    while (!arguments.empty() && arguments.back() == '\n') arguments.pop_back();
    return arguments;
}

}  // namespace enginetest
