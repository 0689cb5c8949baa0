// velmor-launcher: brings the game in the current folder up to date and starts it
// against the server the player picks in the skinned window.
#include <cstdio>
#include <cstdlib>

#include "launcher/KestrunApp.h"
#include "launcher/KestrunDlg.h"

int main(int argc, char** argv) {
    int exitCode = 0;
    {
        CKestrunApp application;
        exitCode = application.InitInstance(argc, argv);
    }
    // Nobody waits for the latency probe; while it still measures a server, the
    // process must not tear down the server list under it.
    if (CKestrunDlg::LatencyProbeRunning()) {
        std::fflush(nullptr);
        std::_Exit(exitCode);
    }
    return exitCode;
}
