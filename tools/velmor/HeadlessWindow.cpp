#include "tools/velmor/HeadlessWindow.h"

#include "engine/UpdateSurface.h"

namespace {

// The bars are "drawn" on bitmaps this many pixels wide, so the drawn width is
// the fraction in thousandths.
constexpr int kBarResolution = 1000;
constexpr int kBackgroundBitmap = 1;
constexpr int kFileFillBitmap = 2;
constexpr int kTotalFillBitmap = 3;

}  // namespace

void CHeadlessWindow::SetupBars(CUpdateSurface& surface) {
    surface.FileProgressBar().Setup(0, 0, kBackgroundBitmap, kFileFillBitmap);
    surface.TotalProgressBar().Setup(0, 1, kBackgroundBitmap, kTotalFillBitmap);
    std::lock_guard<std::mutex> lock(m_mutex);
    m_pFileBar = &surface.FileProgressBar();
    m_pTotalBar = &surface.TotalProgressBar();
}

void CHeadlessWindow::ShowBar(const char* label, const ProgressBar* bar, int drawnWidth) {
    if (bar && bar->Maximum() > bar->Minimum()) {
        m_progress.Update(label, bar->Position() - bar->Minimum(), bar->Maximum() - bar->Minimum());
    } else {
        m_progress.Update(label, static_cast<uint64_t>(drawnWidth), kBarResolution);
    }
}

void CHeadlessWindow::SetControlText(int controlId, const std::string& text) {
    std::lock_guard<std::mutex> lock(m_mutex);
    std::string& current = m_texts[controlId];
    bool changed = current != text;
    current = text;
    if (controlId == kStatusControl && changed && !text.empty()) m_progress.PrintLine(text);
}

bool CHeadlessWindow::GetBitmapSize(int bitmapId, int& width, int& height) {
    if (bitmapId < kBackgroundBitmap || bitmapId > kTotalFillBitmap) return false;
    width = kBarResolution;
    height = 1;
    return true;
}

void CHeadlessWindow::DrawBitmapPart(int bitmapId, int, int, int width, int) {
    std::lock_guard<std::mutex> lock(m_mutex);
    if (bitmapId == kFileFillBitmap) ShowBar("file", m_pFileBar, width);
    if (bitmapId == kTotalFillBitmap) ShowBar("total", m_pTotalBar, width);
}

void CHeadlessWindow::PostCloseRequest() {
    std::lock_guard<std::mutex> lock(m_mutex);
    m_bCloseRequested = true;
}

int CHeadlessWindow::ShowMessageBox(const std::string& text, const std::string& caption, unsigned) {
    std::lock_guard<std::mutex> lock(m_mutex);
    m_progress.PrintLine(caption + ": " + text);
    return kMessageBoxAnswerOk;
}

std::string CHeadlessWindow::Text(int controlId) const {
    std::lock_guard<std::mutex> lock(m_mutex);
    auto found = m_texts.find(controlId);
    return found == m_texts.end() ? std::string() : found->second;
}

bool CHeadlessWindow::CloseRequested() const {
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_bCloseRequested;
}
