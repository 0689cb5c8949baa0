#pragma once
// How the pack code and the extraction reach the window while a patch is applied:
// the status line, the file progress bar, the recovery marker, the extracted
// bytes counter and the worker's stop event.
#include "pack/IPackHost.h"
#include "patcharchive/IExtractionHost.h"

class CHttpPatcher;
class CUpdateSurface;

class CSurfacePackHost : public IPackHost {
public:
    explicit CSurfacePackHost(CUpdateSurface& surface) : m_surface(surface) {}

    void ShowStatusError(const std::string& text) override;
    void SetFileProgressRange(uint64_t minimum, uint64_t maximum) override;
    void SetFileProgressPos(uint64_t position) override;
    bool WriteStartUpdate(const std::string& marker) override;

private:
    CUpdateSurface& m_surface;
};

class CWorkerExtractionHost : public IExtractionHost {
public:
    CWorkerExtractionHost(CUpdateSurface& surface, const CHttpPatcher& worker)
        : m_surface(surface), m_worker(worker) {}

    void SetFileProgressRange(uint64_t minimum, uint64_t maximum) override;
    void SetFileProgressPos(uint64_t position) override;
    void SetExtractedBytes(uint32_t count) override;
    bool IsStopRequested() override;

private:
    CUpdateSurface& m_surface;
    const CHttpPatcher& m_worker;
};
