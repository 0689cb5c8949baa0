#pragma once
// The handful of window operations on which the progress and status surface is
// built. The Qt window implements them; the command line and the tests implement
// them too. Every call comes from the worker thread unless noted.
#include <string>

class IWindowPrimitives {
public:
    virtual ~IWindowPrimitives() = default;

    // Sets a control's text. Returns once the window has taken it, so texts keep
    // the order in which the run made them.
    virtual void SetControlText(int controlId, const std::string& text) = 0;
    virtual void MoveControl(int controlId, int x, int y, int width, int height) = 0;
    virtual void EnableControl(int controlId, bool enabled) = 0;
    // Width and height of a bitmap resource; false when it does not exist.
    virtual bool GetBitmapSize(int bitmapId, int& width, int& height) = 0;
    // Copies the top-left width x height part of a bitmap to (x, y) of the window.
    virtual void DrawBitmapPart(int bitmapId, int x, int y, int width, int height) = 0;
    // Asks the window to close (queued, never waited for).
    virtual void PostCloseRequest() = 0;
    // A modal message box without owner; blocks the caller only.
    virtual int ShowMessageBox(const std::string& text, const std::string& caption, unsigned style) = 0;
};
