#include "tests/support/RecordingWindow.h"

namespace testsupport {

void CRecordingWindow::SetControlText(int controlId, const std::string& text) {
    std::lock_guard<std::mutex> lock(m_mutex);
    WindowCall call(WindowCall::Text);
    call.id = controlId;
    call.text = text;
    m_calls.push_back(call);
    m_texts[controlId] = text;
}

void CRecordingWindow::MoveControl(int controlId, int x, int y, int width, int height) {
    std::lock_guard<std::mutex> lock(m_mutex);
    WindowCall call(WindowCall::Move);
    call.id = controlId;
    call.x = x;
    call.y = y;
    call.width = width;
    call.height = height;
    m_calls.push_back(call);
}

void CRecordingWindow::EnableControl(int controlId, bool enabled) {
    std::lock_guard<std::mutex> lock(m_mutex);
    WindowCall call(WindowCall::Enable);
    call.id = controlId;
    call.enabled = enabled;
    m_calls.push_back(call);
    m_enabled[controlId] = enabled;
}

bool CRecordingWindow::GetBitmapSize(int bitmapId, int& width, int& height) {
    std::lock_guard<std::mutex> lock(m_mutex);
    auto found = m_bitmapSizes.find(bitmapId);
    width = found == m_bitmapSizes.end() ? kDefaultBitmapWidth : found->second.first;
    height = found == m_bitmapSizes.end() ? kDefaultBitmapHeight : found->second.second;
    return true;
}

void CRecordingWindow::DrawBitmapPart(int bitmapId, int x, int y, int width, int height) {
    std::lock_guard<std::mutex> lock(m_mutex);
    WindowCall call(WindowCall::Draw);
    call.id = bitmapId;
    call.x = x;
    call.y = y;
    call.width = width;
    call.height = height;
    m_calls.push_back(call);
}

void CRecordingWindow::PostCloseRequest() {
    std::lock_guard<std::mutex> lock(m_mutex);
    m_calls.push_back(WindowCall(WindowCall::Close));
}

int CRecordingWindow::ShowMessageBox(const std::string& text, const std::string& caption, unsigned) {
    std::lock_guard<std::mutex> lock(m_mutex);
    WindowCall call(WindowCall::MessageBox);
    call.text = text;
    call.caption = caption;
    m_calls.push_back(call);
    return 1;
}

void CRecordingWindow::SetBitmapSize(int bitmapId, int width, int height) {
    std::lock_guard<std::mutex> lock(m_mutex);
    m_bitmapSizes[bitmapId] = {width, height};
}

std::vector<WindowCall> CRecordingWindow::Calls() const {
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_calls;
}

void CRecordingWindow::ClearCalls() {
    std::lock_guard<std::mutex> lock(m_mutex);
    m_calls.clear();
}

std::string CRecordingWindow::Text(int controlId) const {
    std::lock_guard<std::mutex> lock(m_mutex);
    auto found = m_texts.find(controlId);
    return found == m_texts.end() ? std::string() : found->second;
}

std::vector<std::string> CRecordingWindow::Texts(int controlId) const {
    std::vector<std::string> texts;
    for (const WindowCall& call : Calls())
        if (call.kind == WindowCall::Text && call.id == controlId) texts.push_back(call.text);
    return texts;
}

std::vector<std::string> CRecordingWindow::MessageBoxTexts() const {
    std::vector<std::string> texts;
    for (const WindowCall& call : Calls())
        if (call.kind == WindowCall::MessageBox) texts.push_back(call.text);
    return texts;
}

std::vector<std::string> CRecordingWindow::MessageBoxCaptions() const {
    std::vector<std::string> captions;
    for (const WindowCall& call : Calls())
        if (call.kind == WindowCall::MessageBox) captions.push_back(call.caption);
    return captions;
}

std::vector<WindowCall> CRecordingWindow::Draws() const {
    std::vector<WindowCall> draws;
    for (const WindowCall& call : Calls())
        if (call.kind == WindowCall::Draw) draws.push_back(call);
    return draws;
}

int CRecordingWindow::CloseRequests() const {
    int count = 0;
    for (const WindowCall& call : Calls()) count += call.kind == WindowCall::Close;
    return count;
}

bool CRecordingWindow::IsEnabled(int controlId) const {
    std::lock_guard<std::mutex> lock(m_mutex);
    auto found = m_enabled.find(controlId);
    return found == m_enabled.end() || found->second;
}

}  // namespace testsupport
