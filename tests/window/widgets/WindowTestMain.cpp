// The window tests need one application object for the whole run; without a
// display they use the offscreen platform. No test may reach beyond loopback.
#include <gtest/gtest.h>

#include <QApplication>
#include <cstdlib>
#include <string>

#include "tests/support/ScriptedHttpServer.h"

int main(int argc, char** argv) {
    if (!std::getenv("QT_QPA_PLATFORM"))
        setenv("QT_QPA_PLATFORM", "offscreen", 1);
    for (const char* name : {"http_proxy", "HTTP_PROXY", "https_proxy", "HTTPS_PROXY", "all_proxy", "ALL_PROXY"})
        unsetenv(name);
    std::string deadHost = "127.0.0.1:" + std::to_string(testsupport::CScriptedHttpServer::UnusedPort());
    setenv("VELMOR_DEFAULT_PATCH_HOST", deadHost.c_str(), 1);
    setenv("VELMOR_HTTP_TIMEOUT_MS", "3000", 1);
    QApplication application(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
