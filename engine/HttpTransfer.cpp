#include <algorithm>
#include <cinttypes>
#include <cstdio>

#include "engine/HttpPatcher.h"
#include "engine/PatchHost.h"
#include "engine/SharedState.h"
#include "engine/StringTable.h"
#include "engine/UpdateSurface.h"
#include "engine/VersionRecord.h"

namespace {

// The client's description as the message box shows it: at most 1023 bytes.
constexpr size_t kClientErrorMax = 1023;

}  // namespace

void CHttpPatcher::ShowClientError(const std::string& error) {
    size_t length = std::min(error.size(), kClientErrorMax);
    // A cut never splits a UTF-8 character.
    while (length < error.size() && length > 0 && (static_cast<unsigned char>(error[length]) & 0xC0) == 0x80) --length;
    m_surface.ShowMessageBox(error.substr(0, length));
}

void CHttpPatcher::ShowServerFileError() {
    m_surface.ShowStatusError(LoadStringText(103) + ": " + LoadStringText(122) + "c30");
}

RemoteFileAnswer CHttpPatcher::QueryRemoteFile(const std::string& url) {
    std::string error;
    std::unique_ptr<CHttpRequest> request = m_internet.Open(url, error);
    if (!request) {
        ShowClientError(error);
        return {};
    }
    if (!request->IsFile()) return {true, false, 0};
    return {true, true, request->ContentLength()};
}

bool CHttpPatcher::OpenDownload(const std::string& url, const std::string& localName) {
    RemoteFileAnswer answer = QueryRemoteFile(url);
    m_expectedSize = answer.size;
    // An error page is never stored as the file: it would become the launcher,
    // or a patch that then fails to unpack.
    if (answer.bReached && !answer.bIsFile) {
        ShowServerFileError();
        return false;
    }
    if (m_expectedSize == 0) {
        m_surface.ShowStatusError(LoadStringText(103) + ": " + LoadStringText(118) + "c25");
        return false;
    }
    m_receivedSize = 0;
    m_surface.ShowTransferBytes(0, m_expectedSize, false);
    m_surface.SetControlText(kRateControl, "");

    std::string error;
    m_pHttpFile = m_internet.Open(url, error);
    if (!m_pHttpFile || !m_pHttpFile->IsFile()) {
        if (!m_pHttpFile) ShowClientError(error);
        m_pHttpFile.reset();
        ShowServerFileError();
        return false;
    }
    if (!m_localFile.Open(localName)) {
        m_surface.ShowStatusError(LoadStringText(103) + ": " + localName + " " + LoadStringText(120) + "c32");
        return false;
    }
    m_localFile.ExpectSize(m_expectedSize);
    m_surface.BeginFileProgress(m_expectedSize, 0);
    return true;
}

DownloadStepResult CHttpPatcher::DownloadStep() {
    char text[1024];
    std::string error;
    int64_t count = m_pHttpFile ? m_pHttpFile->Read(m_transferBuffer.data(), m_transferBuffer.size(), error) : -1;
    // An answer that ends before the announced size would otherwise never end.
    if (count == 0 && static_cast<uint64_t>(m_receivedSize) < static_cast<uint64_t>(m_expectedSize)) {
        error = "The server closed the connection after " + std::to_string(m_receivedSize) + " of " +
                std::to_string(m_expectedSize) + " bytes";
        count = -1;
    }
    if (count < 0) {
        if (error.empty()) error = "No download is open";
        ShowClientError(error);
        std::snprintf(text, sizeof text, "%sEx: %s,%d,%d c23-1", LoadStringText(103).c_str(), "",
                      m_pHttpFile ? m_pHttpFile->LastErrorCode() : 0, static_cast<int>(m_currentVersion));
        m_surface.ShowStatusError(text);
        m_localFile.Settle();
        return DownloadFailed;
    }
    m_receivedSize += count;
    if (!m_localFile.Write(m_transferBuffer.data(), static_cast<size_t>(count))) {
        std::snprintf(text, sizeof text, "%sLWx: %s,%d,%d c23", LoadStringText(103).c_str(), "",
                      m_localFile.LastError(), static_cast<int>(m_currentVersion));
        m_surface.ShowStatusError(text);
        m_localFile.Settle();
        return DownloadFailed;
    }
    m_surface.FileProgressBar().SetPos(static_cast<uint64_t>(m_receivedSize));
    if (m_bCountTotal) {
        m_totalReceived += count;
        m_surface.TotalProgressBar().SetPos(static_cast<uint64_t>(m_totalReceived));
    }
    m_surface.SampleTransferRate(static_cast<uint32_t>(m_receivedSize));
    m_surface.ShowTransferBytes(m_receivedSize, m_expectedSize, false);
    if (static_cast<uint64_t>(m_receivedSize) < static_cast<uint64_t>(m_expectedSize)) return DownloadContinue;

    CloseTransfer();
    m_surface.ShowTransferBytes(m_receivedSize, m_expectedSize, true);
    if (m_receivedSize == m_expectedSize) return DownloadComplete;
    std::snprintf(text, sizeof text, "%sOv: %s,%d,%d,%" PRId64 "/%" PRId64 " c34", LoadStringText(103).c_str(), "",
                  0, static_cast<int>(m_currentVersion), m_receivedSize, m_expectedSize);
    m_surface.ShowStatusError(text);
    if (m_bRunsInGameFolder) WriteStartUpdate(kMarkerFileSizeError);
    return DownloadFailed;
}

void CHttpPatcher::CloseTransfer() {
    m_localFile.Close();
    m_pHttpFile.reset();
}

bool CHttpPatcher::PreparePatchDownloads() {
    m_bCountTotal = true;
    m_totalReceived = 0;
    uint64_t total = 0;
    bool result = true;
    for (uint32_t patch = m_currentVersion + 1; patch <= m_targetVersion && patch != 0; ++patch) {
        RemoteFileAnswer answer = QueryRemoteFile(PatchUrl(CurrentPatchHost, patch));
        // A patch the host has not got ends the sum; the patches before it are
        // applied, and its own download then says that it is missing.
        if (answer.bReached && !answer.bIsFile) break;
        if (answer.size == 0) {
            result = false;
            break;
        }
        total += static_cast<uint64_t>(answer.size);
    }
    m_surface.TotalProgressBar().SetRange(0, total);
    m_surface.TotalProgressBar().SetPos(0);
    return result;
}
