// The start-up and news page tests need a real X server (xvfb-run starts one) and
// the web engine set up as the launcher sets it up. No test reaches beyond loopback.
#include <gtest/gtest.h>

#include <QApplication>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "launcher/MyHtmlView.h"
#include "tests/support/ScriptedHttpServer.h"

int main(int argc, char** argv) {
    if (!std::getenv("DISPLAY")) {
        std::fprintf(stderr, "test_startup_window needs an X server: run it under xvfb-run\n");
        return 1;
    }
    setenv("QT_QPA_PLATFORM", "xcb", 1);
    for (const char* name : {"http_proxy", "HTTP_PROXY", "https_proxy", "HTTPS_PROXY", "all_proxy", "ALL_PROXY"})
        unsetenv(name);
    std::string deadHost = "127.0.0.1:" + std::to_string(testsupport::CScriptedHttpServer::UnusedPort());
    setenv("VELMOR_DEFAULT_PATCH_HOST", deadHost.c_str(), 1);
    CMyHtmlView::PrepareWebEngine();
    QApplication application(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
