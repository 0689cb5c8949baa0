#pragma once
// The group tabs, the six-row server list, its scroll bar and the window drag:
// where everything is, what the pointer and the wheel hit, and what is drawn when.
// Toolkit-free: the window forwards its mouse events here and draws what this
// asks for through IServerListCanvas. Runs on the window thread only.
#include <cstdint>
#include <string>
#include <vector>

#include "launcher/core/ServerConfig.h"

struct SRgb {
    uint8_t red, green, blue;
    bool operator==(const SRgb&) const = default;
};

struct SListRow {
    std::string Name;
    SRgb Colour;
};

// Bitmap resource ids of the list's pieces.
namespace listbitmap {
constexpr int kTabChosen = 208, kTabNormal = 209;
constexpr int kUpNormal = 210, kUpHover = 211, kUpPressedOrDisabled = 212;
constexpr int kDownNormal = 213, kDownHover = 214, kDownPressedOrDisabled = 215;
constexpr int kThumbBottom = 234, kThumbMiddle = 235, kThumbTop = 236;
constexpr int kGroupsNext = 237, kGroupsPrevious = 238;
}  // namespace listbitmap

namespace listgeometry {
constexpr int kTabTop = 316, kTabWidth = 44, kTabHeight = 17;
constexpr int kTabTextTop = 319, kTabTextBottom = 336;
constexpr int kPreviousArrowX = 291, kNextArrowX = 311, kGroupArrowWidth = 16;
constexpr int kListX = 24, kListY = 337, kListWidth = 289, kListHeight = 114;
constexpr int kVisibleRows = 6, kRowHeight = 16;
// Row r's text rectangle inside the list image: (21, 11 + 16r) to (277, 27 + 16r).
constexpr int kRowTextLeft = 21, kRowTextRight = 277, kRowTextTop = 11;
constexpr int kScrollX = 316, kScrollWidth = 11;
constexpr int kUpArrowY = 340, kDownArrowY = 428, kArrowHeight = 19;
constexpr int kTrackTop = 359, kTrackBottom = 427, kTrackLength = 69;
constexpr int kThumbTopCap = 5, kThumbBottomCap = 8, kMinThumbLength = 20;
constexpr SRgb kChosenRow{255, 255, 255}, kHoverRow{170, 170, 170}, kOtherRow{130, 128, 120};

// Left edge of the j-th tab drawn when the configuration has `groupCount` groups.
int TabLeft(int groupCount, int j);
}  // namespace listgeometry

// The drawing and window services the list logic needs. Drawing happens at once
// (into the window's face), never deferred to a later paint.
class IServerListCanvas {
public:
    virtual ~IServerListCanvas() = default;
    virtual void DrawSkin() = 0;
    virtual void DrawBitmap(int bitmapId, int x, int y) = 0;
    // The top-left width x height part of a bitmap at (x, y).
    virtual void DrawBitmapPart(int bitmapId, int x, int y, int width, int height) = 0;
    // Right and bottom edges excluded.
    virtual void FillBlack(int left, int top, int right, int bottom) = 0;
    // A group's name centred in (left, 319) to (left + 44, 336), white.
    virtual void DrawTabText(int left, const std::string& name) = 0;
    // Composes the 289 x 114 list image (black, rows at their text rectangles) off
    // screen and copies it to (24, 337) in one step.
    virtual void DrawListImage(const std::vector<SListRow>& rows) = 0;
    // Both progress bars from their stored state, without their background.
    virtual void DrawProgressBars() = 0;

    virtual void MoveWindowBy(int dx, int dy) = 0;
    virtual void CaptureMouse() = 0;
    virtual void ReleaseMouse() = 0;
    virtual void OpenLink(int index) = 0;
    virtual void UpdateStartButton() = 0;
};

// Last drawn state of a scroll arrow.
enum class EArrowState : int32_t { None = 0, Disabled = 1, Pressed = 2, Hover = 3, Normal = 4 };

class CServerListLogic {
public:
    CServerListLogic(IServerListCanvas& canvas, LauncherConfig& config = TheLauncherConfig());

    void DrawServerList(bool listOnly);
    void UpdateScrollMetrics();
    void UpdateThumbPosition();
    void DrawScrollThumb();
    void DrawUpArrow(bool force);
    void DrawDownArrow(bool force);
    // The background erase: skin, tabs and list, arrows, thumb, both bars.
    void EraseBackground();

    void OnMouseMove(int x, int y, bool leftButtonDown);
    void OnLeftButtonDown(int x, int y);
    void OnLeftButtonUp();
    // x, y in window coordinates.
    void OnMouseWheel(int16_t distance, int x, int y);

    // The rows and their colours as the list would draw them now.
    std::vector<SListRow> VisibleRows() const;

    bool HandCursor() const { return m_bHandCursor; }
    bool ScrollActive() const { return m_bScrollActive; }
    bool UpEnabled() const { return m_bUpEnabled; }
    bool DownEnabled() const { return m_bDownEnabled; }
    bool UpPressed() const { return m_bUpPressed; }
    bool DownPressed() const { return m_bDownPressed; }
    bool UpHover() const { return m_bUpHover; }
    bool DownHover() const { return m_bDownHover; }
    EArrowState UpDrawnState() const { return m_eUpDrawn; }
    EArrowState DownDrawnState() const { return m_eDownDrawn; }
    int32_t HoverServer() const { return m_nHoverServer; }
    int32_t MaxScroll() const { return m_nMaxScroll; }
    int32_t ThumbLength() const { return m_nThumbLength; }
    int32_t ThumbTop() const { return m_nThumbTop; }
    bool ThumbDragging() const { return m_bThumbDragging; }
    bool Dragging() const { return m_bDragging; }

private:
    int VisibleTabCount() const;
    int VisibleRowCount() const;
    // Index of the visible row under the pointer, or -1.
    int RowAt(int x, int y) const;
    int TabAt(int x, int y) const;
    void RedrawAfterScroll();
    EArrowState ArrowState(bool enabled, bool pressed, bool hover) const;

    IServerListCanvas& m_canvas;
    LauncherConfig& m_config;

    int32_t m_nHoverServer = -1;
    bool m_bHandCursor = false;
    bool m_bScrollActive = false;
    bool m_bUpEnabled = true;
    bool m_bDownEnabled = true;
    bool m_bUpPressed = false;
    bool m_bDownPressed = false;
    bool m_bUpHover = false;
    bool m_bDownHover = false;
    EArrowState m_eUpDrawn = EArrowState::None;
    EArrowState m_eDownDrawn = EArrowState::None;
    int32_t m_nMaxScroll = 0;
    int32_t m_nThumbLength = 20;
    int32_t m_nThumbTop = 0;
    bool m_bThumbDragging = false;
    int32_t m_nLastPointerX = 0;
    int32_t m_nLastPointerY = 0;
    bool m_bDragging = false;
    int32_t m_nDragAnchorX = 0;
    int32_t m_nDragAnchorY = 0;
};
