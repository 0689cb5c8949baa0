#pragma once
// The update worker: one run on a thread of its own brings the installation in
// the working folder up to the newest published patch, then starts the game or
// hands over to a newer launcher. It reports only through the surface.
#include <array>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>

#include "engine/HttpClient.h"
#include "engine/LocalFile.h"
#include "engine/SThread.h"
#include "platform/Event.h"

class CPackUpdater;
class CUpdateSurface;

enum DownloadStepResult { DownloadContinue = 0, DownloadFailed = 1, DownloadComplete = 2 };

// What the host's answer to a size query said of a file.
struct RemoteFileAnswer {
    bool bReached = false;  // the host answered
    bool bIsFile = false;   // with the file itself, not an error page
    int64_t size = 0;       // the file's announced size; 0 when absent
};

// The launcher's own updater version: a published UpdaterVersion above it is newer.
constexpr uint32_t kOwnUpdaterVersion = 9;
constexpr size_t kTransferBufferSize = 2048;

class CHttpPatcher : public SThread {
public:
    explicit CHttpPatcher(CUpdateSurface& surface);
    ~CHttpPatcher() override;

    // The run sequence, on the worker thread. Its result is not used.
    bool Run() override;

    // Window thread: sets the timeouts and starts the run; shows "start thread
    // error" when no thread could be started.
    bool StartUpdateWorker();
    // Window thread: disables the close button, signals the stop event and waits
    // for the run to end, calling `dispatchPendingEvents` (the window's event pump;
    // empty on the command line) all the while, since the run's text changes wait
    // for the window.
    void StopUpdateWorker(const std::function<void()>& dispatchPendingEvents = {});
    // Signals the stop event (it is never reset).
    void RequestStop() { m_hStopEvent.Set(); }
    bool IsStopRequested() const { return m_hStopEvent.IsSet(); }

    // End of a successful run: the handover or FinishUpdate, when m_bDone is set.
    void FinishRun(bool startGame);
    // Downloads and reads the published list; `quiet` hides OpenDownload's failure.
    bool FetchVersionList(bool quiet);

    // Version records.
    bool HasValidLocalRecord() const;
    bool ReadLocalVersion();
    bool ReadVersionList();
    bool IsPatchingPublished() const { return m_publishedCheckVersion == 2; }
    bool SaveCurrentVersion() const;
    // Records, before a merge begins, the patch whose update pack it takes in.
    bool SaveMergeVersion() const;

    // HTTP transfer. The size is that of a file answer; 0 for anything else.
    RemoteFileAnswer QueryRemoteFile(const std::string& url);
    int64_t QueryRemoteSize(const std::string& url) { return QueryRemoteFile(url).size; }
    bool OpenDownload(const std::string& url, const std::string& localName);
    DownloadStepResult DownloadStep();
    void CloseTransfer();
    bool PreparePatchDownloads();

    // Self-replacement and the patch sequence.
    bool DownloadNewUpdater();
    bool BeginNextPatch();
    bool ApplyPatch();
    bool FinalizePatches();

    CUpdateSurface& Surface() { return m_surface; }
    CHttpClient& Internet() { return m_internet; }
    const platform::CManualResetEvent& StopEvent() const { return m_hStopEvent; }

    // Fields, as the rest of the launcher reads them.
    std::shared_ptr<CPackUpdater> m_pPackUpdater;
    int64_t m_expectedSize = 0;
    int64_t m_receivedSize = 0;
    bool m_bPatchMode = false;
    bool m_bUpdaterOutdated = false;
    bool m_bDone = false;
    bool m_bCountTotal = false;
    int64_t m_totalReceived = 0;
    uint32_t m_baseVersion = 0;
    uint32_t m_targetVersion = 0;
    uint32_t m_currentVersion = 0;
    uint32_t m_updaterVersion = 0;
    uint32_t m_publishedCheckVersion = 0;
    bool m_bPackChanged = false;
    // Why the last extraction failed (the entry and the cause), for the command
    // line's report after the c12 text, which the window shows as it is.
    std::string m_strExtractFailure;
    // The pending patch whose update pack the game pack already holds: a run
    // ended after that merge but before the patch was recorded. 0 for none.
    uint32_t m_mergedVersion = 0;

private:
    // Shows the client's error description in a message box.
    void ShowClientError(const std::string& error);
    // The host has not got the file, or its request failed: c30.
    void ShowServerFileError();
    bool RunSequence();
    bool RunPatchLoop();
    // A deletion list, or the pack's final save, failed: c47.
    void ShowDeleteListError();
    // Replaces m_pPackUpdater by a fresh pack object; false when memory runs out.
    bool CreatePackUpdater();

    CUpdateSurface& m_surface;
    // Set when a run starts: only a run works in a game folder and keeps its
    // Version.ini; a bare download (velmor fetch) leaves every record alone.
    bool m_bRunsInGameFolder = false;
    platform::CManualResetEvent m_hStopEvent;
    CHttpClient m_internet;
    std::unique_ptr<CHttpRequest> m_pHttpFile;
    LocalFile m_localFile;
    std::array<char, kTransferBufferSize> m_transferBuffer{};
};

// The worker of the window, reached by the extraction and the window's stop
// handling; set by the window's initialisation.
extern CHttpPatcher* g_pHttpPatcher;
