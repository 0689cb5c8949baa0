// No test of this program may reach beyond loopback: the built-in default patch
// host is replaced by a loopback port where nothing listens, proxies are ignored,
// and the HTTP timeouts are short. Nor may its runs of `velmor update` meet
// another program's launchers: the user's lock folder is one of this process.
// The programs the tests start inherit this.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <string>

#include "tests/support/ScriptedHttpServer.h"

namespace e2e {
namespace {

class CLoopbackOnly : public ::testing::Environment {
public:
    void SetUp() override {
        for (const char* name : {"http_proxy", "HTTP_PROXY", "https_proxy", "HTTPS_PROXY", "all_proxy", "ALL_PROXY"})
            unsetenv(name);
        std::string deadHost = "127.0.0.1:" + std::to_string(testsupport::CScriptedHttpServer::UnusedPort());
        setenv("VELMOR_DEFAULT_PATCH_HOST", deadHost.c_str(), 1);
        setenv("VELMOR_HTTP_TIMEOUT_MS", "3000", 1);
        char folder[] = "/tmp/velmor-e2e-locks-XXXXXX";
        if (mkdtemp(folder)) {
            m_lockFolder = folder;
            setenv("XDG_RUNTIME_DIR", folder, 1);
        }
    }
    void TearDown() override {
        std::error_code ignored;
        if (!m_lockFolder.empty()) std::filesystem::remove_all(m_lockFolder, ignored);
    }

private:
    std::string m_lockFolder;
};

[[maybe_unused]] ::testing::Environment* const g_loopbackOnly =
    ::testing::AddGlobalTestEnvironment(new CLoopbackOnly);

}  // namespace
}  // namespace e2e
