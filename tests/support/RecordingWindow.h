#pragma once
// A window of the test suite: implements the window primitives by recording
// every call, in order, and answers message boxes with OK at once.
#include <map>
#include <mutex>
#include <string>
#include <vector>

#include "engine/IWindowPrimitives.h"

namespace testsupport {

struct WindowCall {
    enum Kind { Text, Move, Enable, Draw, Close, MessageBox };
    explicit WindowCall(Kind callKind) : kind(callKind) {}
    Kind kind;
    int id = 0;            // control or bitmap id
    std::string text;      // control text, or message box text
    std::string caption;   // message box caption
    int x = 0, y = 0, width = 0, height = 0;
    bool enabled = false;
};

class CRecordingWindow : public IWindowPrimitives {
public:
    // Every bitmap has this size unless SetBitmapSize says otherwise.
    static constexpr int kDefaultBitmapWidth = 453;
    static constexpr int kDefaultBitmapHeight = 8;

    void SetControlText(int controlId, const std::string& text) override;
    void MoveControl(int controlId, int x, int y, int width, int height) override;
    void EnableControl(int controlId, bool enabled) override;
    bool GetBitmapSize(int bitmapId, int& width, int& height) override;
    void DrawBitmapPart(int bitmapId, int x, int y, int width, int height) override;
    void PostCloseRequest() override;
    int ShowMessageBox(const std::string& text, const std::string& caption, unsigned style) override;

    void SetBitmapSize(int bitmapId, int width, int height);

    std::vector<WindowCall> Calls() const;
    void ClearCalls();
    // The current text of a control (empty when never set).
    std::string Text(int controlId) const;
    // Every text a control was given, in order.
    std::vector<std::string> Texts(int controlId) const;
    std::vector<std::string> MessageBoxTexts() const;
    std::vector<std::string> MessageBoxCaptions() const;
    std::vector<WindowCall> Draws() const;
    int CloseRequests() const;
    // Controls are enabled until disabled.
    bool IsEnabled(int controlId) const;

private:
    mutable std::mutex m_mutex;
    std::vector<WindowCall> m_calls;
    std::map<int, std::string> m_texts;
    std::map<int, bool> m_enabled;
    std::map<int, std::pair<int, int>> m_bitmapSizes;
};

}  // namespace testsupport
