#include "engine/HttpPatcher.h"

#include "engine/PatchHost.h"
#include "engine/SharedState.h"
#include "engine/StringTable.h"
#include "engine/UpdateSurface.h"
#include "platform/Clock.h"
#include "platform/FileSystem.h"

CHttpPatcher* g_pHttpPatcher = nullptr;

CHttpPatcher::CHttpPatcher(CUpdateSurface& surface) : m_surface(surface) {
    m_surface.AttachWorker(this);
}

CHttpPatcher::~CHttpPatcher() {
    // The window stops the run before it goes; this only guards the object's life.
    if (IsThreadRunning()) {
        RequestStop();
        WaitUntilThreadEnded();
    }
    CloseTransfer();
    m_pPackUpdater.reset();
    m_surface.AttachWorker(nullptr);
    if (g_pHttpPatcher == this) g_pHttpPatcher = nullptr;
}

bool CHttpPatcher::StartUpdateWorker() {
    m_internet.SetTimeouts(CHttpClient::kDefaultTimeoutMs, CHttpClient::kDefaultTimeoutMs);
    if (Start()) return true;
    m_surface.ShowStatusError("start thread error");
    return false;
}

void CHttpPatcher::StopUpdateWorker(const std::function<void()>& dispatchPendingEvents) {
    m_surface.EnableControl(kCloseButtonControl, false);
    if (!IsThreadRunning()) return;
    RequestStop();
    for (;;) {
        if (dispatchPendingEvents) dispatchPendingEvents();
        if (!IsThreadRunning() || WaitForThreadEnd(1)) break;
    }
}

void CHttpPatcher::FinishRun(bool startGame) {
    if (!m_bDone) return;
    if (m_bUpdaterOutdated) {
        m_surface.HandOverTo("Game.exe new updater");
        return;
    }
    m_surface.FinishUpdate(startGame);
}

bool CHttpPatcher::FetchVersionList(bool quiet) {
    if (!OpenDownload(VersionListUrl(CurrentPatchHost), kVersionListFile)) {
        if (quiet) m_surface.ShowStatusError("");
        return false;
    }
    if (!m_surface.HasFreeDiskSpace(static_cast<uint64_t>(m_expectedSize))) {
        m_surface.ShowStatusError(LoadStringText(102) + "c06");
        return false;
    }
    m_surface.RateStopwatch().Restart();
    while (!IsStopRequested()) {
        switch (DownloadStep()) {
            case DownloadFailed:
                if (!quiet) m_surface.ShowStatusError(LoadStringText(103) + ": ReadFile UpdateVersion" + "c07");
                return false;
            case DownloadComplete:
                if (ReadVersionList()) return true;
                if (!quiet) m_surface.ShowStatusError(LoadStringText(103) + ": Read Profile" + "c08");
                return false;
            case DownloadContinue:
                platform::YieldThread();
                break;
        }
    }
    return false;
}

bool CHttpPatcher::Run() {
    m_bRunsInGameFolder = true;
    m_bCountTotal = false;
    return RunSequence();
}

bool CHttpPatcher::RunSequence() {
    if (IsStopRequested()) return false;
    if (!HasValidLocalRecord()) {
        m_surface.ShowMessageBox(LoadStringText(104) + "c20");
        m_surface.ShowStatusError(LoadStringText(106) + "c20");
        return false;
    }
    if (IsStopRequested()) return false;
    ReadLocalVersion();
    // A run that ended between recording a patch and deleting its archive left
    // the archive behind; nothing reads it any more.
    if (m_currentVersion != 0) platform::RemoveFile(PatchFileName(m_currentVersion));
    if (!FetchVersionList(true)) {
        SetSharedText(CurrentPatchHost, DefaultPatchHost());
        if (!FetchVersionList(false)) return false;
    }
    if (IsStopRequested()) return false;
    if (m_bUpdaterOutdated && m_surface.IsGameInstalled()) return DownloadNewUpdater();
    m_bUpdaterOutdated = false;
    if (IsStopRequested()) return false;

    if (!IsPatchingPublished()) {
        m_bDone = true;
        if (m_baseVersion != 0) {
            FinishRun(true);
            return true;
        }
        m_surface.ShowReinstallRequired();
        m_surface.ShowMessageBox(LoadStringText(115) + "c21");
        return false;
    }
    if (m_baseVersion == 0) {
        m_bDone = true;
        m_surface.ShowReinstallRequired();
        m_surface.ShowMessageBox(LoadStringText(115) + "c22");
        return false;
    }
    if (IsStopRequested()) return false;
    m_surface.SetStatusText(LoadStringText(116));
    if (!PreparePatchDownloads() || m_targetVersion == m_baseVersion) {
        m_bDone = true;
        FinishRun(true);
        return true;
    }
    m_surface.SetPatchCount(m_targetVersion - m_baseVersion);
    m_bPatchMode = true;
    if (BeginNextPatch()) {
        m_surface.SetPatchesApplied(true);
        m_surface.RateStopwatch().Restart();
        if (!RunPatchLoop()) return false;
    }
    // A final step that failed leaves the game pack marked as damaged: the run has
    // not finished, so the game is not started as if it had. Its text stands only
    // where no patch failed to begin: that failure's own text says more.
    if (!FinalizePatches()) {
        if (m_bDone) ShowDeleteListError();
        m_bDone = false;
    }
    FinishRun(true);
    return m_bDone;
}

// False when the run ends inside the loop (a stop or a failed step); true when
// no patch could be begun any more and the final step follows.
bool CHttpPatcher::RunPatchLoop() {
    for (;;) {
        if (IsStopRequested()) {
            CloseTransfer();
            return false;
        }
        DownloadStepResult step = DownloadStep();
        if (step == DownloadFailed) return false;
        if (step == DownloadContinue) continue;
        if (!ApplyPatch()) return false;
        m_surface.AdvancePatchIndex();
        if (!BeginNextPatch()) return true;
    }
}
