// No test of this program may reach beyond loopback: the built-in default patch
// host is replaced by a loopback port where nothing listens, proxies are ignored,
// and the HTTP timeouts are short. The programs the tests start inherit this.
#include <gtest/gtest.h>

#include <cstdlib>
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
    }
};

[[maybe_unused]] ::testing::Environment* const g_loopbackOnly =
    ::testing::AddGlobalTestEnvironment(new CLoopbackOnly);

}  // namespace
}  // namespace e2e
