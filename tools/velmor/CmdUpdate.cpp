// `velmor update`: the launcher's update run without its window.
#include <unistd.h>

#include <csignal>
#include <cstdio>

#include "engine/HttpPatcher.h"
#include "engine/SharedState.h"
#include "engine/StringTable.h"
#include "engine/UpdateSurface.h"
#include "launcher/core/ISelectionView.h"
#include "launcher/core/MyRegKey.h"
#include "launcher/core/ServerSelection.h"
#include "launcher/core/UpdaterLock.h"
#include "platform/Clock.h"
#include "platform/FileSystem.h"
#include "tools/velmor/Command.h"
#include "tools/velmor/HeadlessWindow.h"

namespace {

volatile std::sig_atomic_t g_bInterrupted = 0;

void OnInterrupt(int) { g_bInterrupted = 1; }

struct UpdateOptions {
    std::string folder = ".";
    std::string host;
    std::string gameAddress;
    bool hasGameAddress = false;
    bool noStart = false;
};

// The selection without a window: nothing to draw, reports go to the terminal.
class CQuietSelectionView : public ISelectionView {
public:
    void UpdateScrollMetrics() override {}
    void UpdateThumbPosition() override {}
    void DrawScrollThumb() override {}
    void DrawServerList(bool) override {}
    bool HasStartButton() const override { return false; }
    void EnableStartButton(bool) override {}
    void FocusSettingsButton() override {}
    void ShowMessageBox(const std::string& text) override { std::fprintf(stderr, "%s\n", text.c_str()); }
    void ShowStatusError(const std::string&) override {}
};

void PrintUsage(FILE* out) {
    std::fprintf(out,
                 "usage: velmor update [--folder DIR] [--host HOST] [--game-address ADDR] [--no-start]\n\n"
                 "Runs the launcher's update in the game folder DIR (default: the current folder)\n"
                 "without its window: reads Version.ini, fetches the published list from the\n"
                 "patch host, downloads, extracts and merges every pending patch, applies\n"
                 "delete.lst, and starts the game as the launcher would.\n\n"
                 "  --host HOST          the patch host (default: the server the window would\n"
                 "                       choose, from DIR/updater.uif and the stored choice)\n"
                 "  --game-address ADDR  the game server the game is started with (default:\n"
                 "                       that server's game address)\n"
                 "  --no-start           do not start Game.exe; print its command line instead\n\n"
                 "Status texts and message boxes are printed as lines, progress as bars on a\n"
                 "terminal. Ctrl-C stops the run as closing the window would. A launcher or\n"
                 "another run working on DIR, or another launcher of the user, refuses the run.\n"
                 "Exit 0 when the run finished and the game (or a newer launcher) started,\n"
                 "1 otherwise.\n");
}

bool ParseOptions(const std::vector<std::string>& args, UpdateOptions& options) {
    for (size_t i = 0; i < args.size(); ++i) {
        const std::string& option = args[i];
        bool hasValue = i + 1 < args.size();
        if (option == "--no-start") {
            options.noStart = true;
        } else if (option == "--folder" && hasValue) {
            options.folder = args[++i];
        } else if (option == "--host" && hasValue) {
            options.host = args[++i];
        } else if (option == "--game-address" && hasValue) {
            options.gameAddress = args[++i];
            options.hasGameAddress = true;
        } else {
            std::fprintf(stderr, "velmor update: unknown option or missing value: %s\n", option.c_str());
            return false;
        }
    }
    return true;
}

// The server the window would restore; false with a message when there is none.
bool ChooseServer(const UpdateOptions& options) {
    bool haveConfig = platform::RegularFileExists(kLauncherConfigFile);
    if (haveConfig) {
        CQuietSelectionView view;
        CMyRegKey settings;
        settings.Create(platform::CStoreKey::LocalMachine(), "SOFTWARE\\TALVE\\Velmor");
        CServerSelection selection(view, settings, [] {});
        if (!selection.LoadLauncherConfig()) return false;
        const LauncherConfig& config = TheLauncherConfig();
        if (config.HasValidGroup() && config.SelectedServer < config.ServerCountOfSelectedGroup()) {
            const ServerEntry& server = config.Groups[config.SelectedGroup].Servers[config.SelectedServer];
            TakeServerAddresses(server);
        } else if (options.host.empty()) {
            std::fprintf(stderr, "velmor update: updater.uif offers no server to choose; give --host\n");
            return false;
        }
    } else if (options.host.empty()) {
        std::fprintf(stderr, "velmor update: %s; give --host\n", kConfigMissingText);
        return false;
    }
    if (!options.host.empty()) SetSharedText(CurrentPatchHost, options.host);
    if (options.hasGameAddress) {
        SetSharedText(CurrentGameAddress, options.gameAddress);
        HasUifMagic = true;
    }
    return true;
}

int RunUpdate(const std::vector<std::string>& args) {
    UpdateOptions options;
    if (WantsHelp(args)) {
        PrintUsage(stdout);
        return 0;
    }
    if (!ParseOptions(args, options)) {
        PrintUsage(stderr);
        return 1;
    }
    if (chdir(platform::ToNativePath(options.folder).c_str()) != 0) {
        std::fprintf(stderr, "velmor update: cannot enter %s\n", options.folder.c_str());
        return 1;
    }
    WorkingFolder = platform::CurrentFolder();
    // Held until the program ends: the window, or another run, would write the
    // same archives and pack.
    if (!TakeUpdaterLock(".")) {
        std::fprintf(stderr, "velmor update: %s%s\n", LoadStringText(kUpdaterRunningMessage).c_str(),
                     kUpdaterRunningCode);
        return 1;
    }
    if (!ChooseServer(options)) return 1;

    CTerminalProgress progress;
    CHeadlessWindow window(progress);
    CUpdateSurface surface(window);
    window.SetupBars(surface);
    if (options.noStart) {
        surface.SetProgramRunner([&progress](const std::string& commandLine) {
            progress.PrintLine("not started: " + commandLine);
            return platform::ProgramStart{};
        });
    }
    CHttpPatcher patcher(surface);
    g_pHttpPatcher = &patcher;
    std::signal(SIGINT, &OnInterrupt);
    std::signal(SIGTERM, &OnInterrupt);
    progress.PrintLine("patch host: " + CurrentPatchHost);
    if (!patcher.StartUpdateWorker()) {
        progress.Finish();
        return 1;
    }
    while (!patcher.WaitForThreadEnd(50)) {
        if (g_bInterrupted) patcher.RequestStop();
    }
    g_pHttpPatcher = nullptr;
    progress.Finish();
    if (window.CloseRequested() && !g_bInterrupted) return 0;
    std::string status = window.Text(kStatusControl);
    if (!status.empty() && !patcher.m_strExtractFailure.empty()) status += ": " + patcher.m_strExtractFailure;
    std::fprintf(stderr, "velmor update: %s\n", g_bInterrupted ? "stopped" : status.empty() ? "the run did not finish" : status.c_str());
    return 1;
}

CCommandRegistration registration("update", "run the launcher's update in a game folder without the window", &RunUpdate);

}  // namespace
