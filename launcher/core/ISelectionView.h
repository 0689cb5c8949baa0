#pragma once
// What the server selection needs from the window: the drawing of the tab strip,
// the list and its scroll bar (the window owns their geometry and bitmaps), the
// start button, and the report when updater.uif is missing. The Qt window
// implements it; tests implement it with a recorder. Every call comes from the
// window thread.
#include <string>

class ISelectionView {
public:
    virtual ~ISelectionView() = default;

    // Scroll bar and list, drawn from the selection state of TheLauncherConfig().
    virtual void UpdateScrollMetrics() = 0;
    virtual void UpdateThumbPosition() = 0;
    virtual void DrawScrollThumb() = 0;
    virtual void DrawServerList(bool listOnly) = 0;

    // The start button (control 1); false while it has no window yet.
    virtual bool HasStartButton() const = 0;
    virtual void EnableStartButton(bool enabled) = 0;
    // Keyboard focus to the settings tool button (1000) once patching started.
    virtual void FocusSettingsButton() = 0;

    // A modal message box with an OK button, shown before the window is.
    virtual void ShowMessageBox(const std::string& text) = 0;
    // The status line's error text (ShowStatusError of the progress surface).
    virtual void ShowStatusError(const std::string& text) = 0;
};
