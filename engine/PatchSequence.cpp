#include "engine/HttpPatcher.h"
#include "engine/PatchHost.h"
#include "engine/SharedState.h"
#include "engine/StringTable.h"
#include "engine/UpdateSurface.h"
#include "platform/FileSystem.h"

bool CHttpPatcher::DownloadNewUpdater() {
    bool testChannel = platform::RegularFileExists(kTestChannelFile);
    if (!OpenDownload(UpdaterUrl(CurrentPatchHost, testChannel), kNewUpdaterFile)) return false;
    if (!m_surface.HasFreeDiskSpace(static_cast<uint64_t>(m_expectedSize))) {
        m_surface.ShowStatusError(LoadStringText(102) + "c09");
        return false;
    }
    m_surface.SetPatchCount(1);
    m_surface.SetStatusText(LoadStringText(105));
    m_surface.RateStopwatch().Restart();
    while (!IsStopRequested()) {
        switch (DownloadStep()) {
            case DownloadFailed:
                m_surface.ShowStatusError(LoadStringText(103) + ": ReadFile new updater" + "c10");
                return false;
            case DownloadComplete:
                m_surface.AdvancePatchIndex();
                m_bDone = true;
                FinishRun(true);
                return true;
            case DownloadContinue:
                break;
        }
    }
    return false;
}

bool CHttpPatcher::BeginNextPatch() {
    if (m_currentVersion == m_targetVersion) {
        m_bDone = true;
        return false;
    }
    ++m_currentVersion;
    if (!OpenDownload(PatchUrl(CurrentPatchHost, m_currentVersion), PatchFileName(m_currentVersion))) return false;
    if (!m_surface.HasFreeDiskSpace(static_cast<uint64_t>(m_expectedSize))) {
        m_surface.ShowStatusError(LoadStringText(102) + "c33");
        return false;
    }
    return true;
}
