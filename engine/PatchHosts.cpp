#include "engine/PatchHosts.h"

#include "engine/HttpPatcher.h"
#include "engine/UpdateSurface.h"
#include "engine/VersionRecord.h"

void CSurfacePackHost::ShowStatusError(const std::string& text) { m_surface.ShowStatusError(text); }

void CSurfacePackHost::SetFileProgressRange(uint64_t minimum, uint64_t maximum) {
    m_surface.FileProgressBar().SetRange(minimum, maximum);
}

void CSurfacePackHost::SetFileProgressPos(uint64_t position) { m_surface.FileProgressBar().SetPos(position); }

bool CSurfacePackHost::WriteStartUpdate(const std::string& marker) { return ::WriteStartUpdate(marker); }

void CWorkerExtractionHost::SetFileProgressRange(uint64_t minimum, uint64_t maximum) {
    m_surface.FileProgressBar().SetRange(minimum, maximum);
}

void CWorkerExtractionHost::SetFileProgressPos(uint64_t position) { m_surface.FileProgressBar().SetPos(position); }

void CWorkerExtractionHost::SetExtractedBytes(uint32_t count) { m_surface.ExtractedBytes() = count; }

bool CWorkerExtractionHost::IsStopRequested() { return m_worker.IsStopRequested(); }
