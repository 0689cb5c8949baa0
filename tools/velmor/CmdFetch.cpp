// `velmor fetch`: one download through the worker's transfer layer, as a run
// makes it, for checking what a patch host hands out.
#include <csignal>
#include <cstdio>

#include "engine/HttpPatcher.h"
#include "engine/UpdateSurface.h"
#include "tools/velmor/Command.h"
#include "tools/velmor/HeadlessWindow.h"

namespace {

volatile std::sig_atomic_t g_bInterrupted = 0;

void OnInterrupt(int) {
    g_bInterrupted = 1;
}

int RunFetch(const std::vector<std::string>& args) {
    if (WantsHelp(args) || args.size() != 2) {
        std::fprintf(WantsHelp(args) ? stdout : stderr,
                     "usage: velmor fetch URL FILE\n\n"
                     "Downloads URL into FILE exactly as the launcher fetches a patch: the size is\n"
                     "asked first (the answer must carry a non-zero Content-Length), then the body\n"
                     "is read in pieces of 2048 bytes, each written at once. Status texts and\n"
                     "error messages are printed as lines, progress as a bar on a terminal.\n"
                     "An answer longer or shorter than announced is an error. Ctrl-C stops.\n"
                     "Exit 0 when the file is complete, 1 otherwise.\n");
        return WantsHelp(args) ? 0 : 1;
    }
    const std::string& url = args[0];
    const std::string& file = args[1];
    CTerminalProgress progress;
    CHeadlessWindow window(progress);
    CUpdateSurface surface(window);
    window.SetupBars(surface);
    CHttpPatcher patcher(surface);
    patcher.Internet().SetTimeouts(CHttpClient::kDefaultTimeoutMs, CHttpClient::kDefaultTimeoutMs);

    std::signal(SIGINT, &OnInterrupt);
    if (!patcher.OpenDownload(url, file)) {
        progress.Finish();
        return 1;
    }
    DownloadStepResult step = DownloadContinue;
    while (step == DownloadContinue && !g_bInterrupted) step = patcher.DownloadStep();
    if (step == DownloadContinue) patcher.CloseTransfer();
    progress.Finish();
    if (step != DownloadComplete) {
        if (g_bInterrupted) std::fprintf(stderr, "velmor fetch: stopped\n");
        return 1;
    }
    std::printf("%s: %lld bytes\n", file.c_str(), static_cast<long long>(patcher.m_receivedSize));
    return 0;
}

CCommandRegistration registration("fetch", "download one file from a patch host as the launcher does", &RunFetch);

}  // namespace
