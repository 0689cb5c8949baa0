// Applying a downloaded patch: extraction into the working folder, the merge of
// its update pack, the new CurrentVersion; and the final deletion list.
#include <new>

#include "engine/HttpPatcher.h"
#include "engine/PatchHost.h"
#include "engine/PatchHosts.h"
#include "engine/SharedState.h"
#include "engine/StringTable.h"
#include "engine/UpdateSurface.h"
#include "engine/VersionRecord.h"
#include "pack/PackUpdater.h"
#include "patcharchive/PatchExtraction.h"
#include "platform/FileSystem.h"

namespace {

constexpr const char* kUpdateHeader = "update.vah";
constexpr const char* kUpdateData = "update.vaf";
constexpr const char* kUpdateLog = "update.log";
constexpr const char* kDeleteList = "delete.lst";

// The pack object together with the host it reports through, so that the host
// lives exactly as long as the pack that holds a reference to it.
struct PackWithHost {
    explicit PackWithHost(CUpdateSurface& surface) : host(surface), pack(host) {}
    CSurfacePackHost host;
    CPackUpdater pack;
};

}  // namespace

bool CHttpPatcher::CreatePackUpdater() {
    // Only one pack object may exist at a time: the old one goes first.
    m_pPackUpdater.reset();
    try {
        auto holder = std::make_shared<PackWithHost>(m_surface);
        m_pPackUpdater = std::shared_ptr<CPackUpdater>(holder, &holder->pack);
        return true;
    } catch (const std::bad_alloc&) {
        return false;
    }
}

bool CHttpPatcher::ApplyPatch() {
    WriteStartUpdate(kMarkerExtractStart);
    uint64_t archiveSize = static_cast<uint64_t>(m_expectedSize);
    if (!m_surface.HasFreeDiskSpace(3 * archiveSize)) {
        m_surface.ShowStatusError(LoadStringText(107) + "c11");
        WriteStartUpdate("");
        return false;
    }
    m_surface.SetStatusText(LoadStringText(108));
    std::string archive = PatchFileName(m_currentVersion);
    std::string destination = WorkingFolder.empty() ? "." : WorkingFolder;
    m_surface.SetControlText(kByteCounterControl, "");
    m_surface.SetControlText(kRateControl, "");

    CWorkerExtractionHost extraction(m_surface, *this);
    m_strExtractFailure.clear();
    int extracted = ExtractPatchArchive(archive, destination, extraction, &m_strExtractFailure);
    if (extracted == kExtractFailed) {
        m_surface.ShowStatusError(LoadStringText(109) + "c12");
        return false;
    }
    if (extracted == kExtractStopped) {
        WriteStartUpdate("");
        return false;
    }
    WriteStartUpdate(kMarkerExtractEnd);

    if (m_currentVersion == m_mergedVersion) {
        // The pack holds this patch's files already; a second merge would lay
        // them out anew and leave data.vaf unlike that of a run never cut off.
        m_bPackChanged = true;
        for (const char* name : {kUpdateData, kUpdateHeader, kUpdateLog}) platform::RemoveFile(name);
    } else if (platform::RegularFileExists(kUpdateHeader) && platform::RegularFileExists(kUpdateData)) {
        uint64_t packSize = platform::FileSize(kUpdateData).value_or(0);
        if (!m_surface.HasFreeDiskSpace(2 * packSize)) {
            m_surface.ShowStatusError(LoadStringText(110) + "c13");
            return false;
        }
        m_surface.SetStatusText(LoadStringText(111));
        m_surface.SetControlText(kByteCounterControl, "");
        if (!CreatePackUpdater()) {
            m_surface.ShowStatusError(LoadStringText(126) + ": " + LoadStringText(112) + "c14");
            return false;
        }
        m_bPackChanged = true;
        SaveMergeVersion();
        if (!m_pPackUpdater->MergeUpdatePack()) return false;
    }
    // Each patch's deletion list is applied with its patch, before the patch is
    // recorded: a later patch of the same run would overwrite the file or bring
    // a deleted entry back, and a run ending after the record would lose it.
    if (platform::RegularFileExists(kDeleteList) && !FinalizePatches()) {
        ShowDeleteListError();
        return false;
    }
    if (!SaveCurrentVersion()) {
        m_surface.ShowStatusError("SaveLocalVersion Error");
        return false;
    }
    platform::RemoveFile(archive);
    return !IsStopRequested();
}

void CHttpPatcher::ShowDeleteListError() {
    m_surface.ShowStatusError(LoadStringText(126) + ": delete list" + "c47");
}

bool CHttpPatcher::FinalizePatches() {
    if (!m_bPackChanged && !platform::RegularFileExists(kDeleteList)) return true;
    if (!CreatePackUpdater()) return false;
    WriteStartUpdate(kMarkerUpdateStart);
    if (!m_pPackUpdater->ApplyDeleteList()) return false;
    if (!m_pPackUpdater->SaveDataHeader()) return false;
    WriteStartUpdate(kMarkerUpdateEnd);
    return true;
}
