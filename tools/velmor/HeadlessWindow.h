#pragma once
// The window primitives for the command line: status texts and message boxes
// become lines, the file and total progress bars become terminal bars. Usable
// from a worker thread; a message box is answered with OK at once. The bars
// are redrawn whenever their drawn width (in thousandths) changes and show the
// bar's own position and range.
#include <mutex>
#include <map>
#include <string>

#include "engine/IWindowPrimitives.h"
#include "tools/velmor/TerminalProgress.h"

class CUpdateSurface;
class ProgressBar;

class CHeadlessWindow : public IWindowPrimitives {
public:
    explicit CHeadlessWindow(CTerminalProgress& progress) : m_progress(progress) {}

    // Lays out the surface's two bars on bitmaps this window knows.
    void SetupBars(CUpdateSurface& surface);

    void SetControlText(int controlId, const std::string& text) override;
    void MoveControl(int, int, int, int, int) override {}
    void EnableControl(int, bool) override {}
    bool GetBitmapSize(int bitmapId, int& width, int& height) override;
    void DrawBitmapPart(int bitmapId, int x, int y, int width, int height) override;
    void PostCloseRequest() override;
    int ShowMessageBox(const std::string& text, const std::string& caption, unsigned style) override;

    std::string Text(int controlId) const;
    bool CloseRequested() const;

private:
    void ShowBar(const char* label, const ProgressBar* bar, int drawnWidth);

    CTerminalProgress& m_progress;
    const ProgressBar* m_pFileBar = nullptr;
    const ProgressBar* m_pTotalBar = nullptr;
    mutable std::mutex m_mutex;
    std::map<int, std::string> m_texts;
    bool m_bCloseRequested = false;
};
