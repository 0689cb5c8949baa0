#include "launcher/core/ServerListLogic.h"

#include <algorithm>
#include <cmath>

using namespace listgeometry;

namespace listgeometry {

int TabLeft(int groupCount, int j) {
    static constexpr int kLefts[4] = {282, 236, 190, 144};
    int k = std::min(groupCount - 1, 3);
    int index = k - j;
    return (index >= 0 && index < 4) ? kLefts[index] : kLefts[0];
}

}  // namespace listgeometry

namespace {

// Both ends included, as every hit area of the list is.
bool Inside(int x, int y, int left, int top, int right, int bottom) {
    return x >= left && x <= right && y >= top && y <= bottom;
}

bool InUpArrow(int x, int y) {
    return Inside(x, y, kScrollX, kUpArrowY, kScrollX + kScrollWidth, kUpArrowY + kArrowHeight);
}
bool InDownArrow(int x, int y) {
    return Inside(x, y, kScrollX, kDownArrowY, kScrollX + kScrollWidth, kDownArrowY + kArrowHeight);
}
bool InTrack(int x, int y) { return Inside(x, y, kScrollX, kTrackTop, kScrollX + kScrollWidth, kTrackBottom); }
bool InScrollColumn(int x, int y) { return Inside(x, y, kScrollX, 340, kScrollX + kScrollWidth, 447); }
bool InWheelArea(int x, int y) { return Inside(x, y, 31, 303, 330, 451); }
bool InLinkArea(int x, int y) { return Inside(x, y, 593, 319, 639, 331); }
bool InNoDragStrip(int x, int y) { return Inside(x, y, 45, 444, 301, 460); }
bool InGroupArrow(int x, int y, int left) {
    return Inside(x, y, left, kTabTop, left + kGroupArrowWidth, kTabTop + kTabHeight);
}

// The wheel's factor is the single-precision -0.01, widened.
const double kWheelFactor = static_cast<double>(-0.01f);

}  // namespace

CServerListLogic::CServerListLogic(IServerListCanvas& canvas, LauncherConfig& config)
    : m_canvas(canvas), m_config(config) {}

int CServerListLogic::VisibleTabCount() const {
    int groups = static_cast<int>(m_config.Groups.size());
    int limit = m_config.ManyGroups ? 3 : 4;
    return std::clamp(groups - m_config.FirstVisibleGroup, 0, limit);
}

int CServerListLogic::VisibleRowCount() const {
    int servers = static_cast<int>(m_config.ServerCountOfSelectedGroup());
    return std::clamp(servers - m_config.FirstVisibleServer, 0, kVisibleRows);
}

int CServerListLogic::RowAt(int x, int y) const {
    if (!m_config.HasValidGroup())
        return -1;
    for (int r = 0; r < VisibleRowCount(); ++r) {
        int top = 348 + kRowHeight * r;
        if (Inside(x, y, 45, top, 301, top + kRowHeight))
            return r;
    }
    return -1;
}

int CServerListLogic::TabAt(int x, int y) const {
    int groups = static_cast<int>(m_config.Groups.size());
    for (int j = 0; j < VisibleTabCount(); ++j) {
        int left = TabLeft(groups, j);
        if (Inside(x, y, left, kTabTop, left + kTabWidth, kTabTop + kTabHeight))
            return j;
    }
    return -1;
}

std::vector<SListRow> CServerListLogic::VisibleRows() const {
    std::vector<SListRow> rows;
    if (!m_config.HasValidGroup())
        return rows;
    const auto& servers = m_config.Groups[m_config.SelectedGroup].Servers;
    for (int r = 0; r < VisibleRowCount(); ++r) {
        int index = m_config.FirstVisibleServer + r;
        SRgb colour = kOtherRow;
        if (static_cast<uint32_t>(index) == m_config.SelectedServer)
            colour = kChosenRow;
        else if (index == m_nHoverServer)
            colour = kHoverRow;
        rows.push_back({servers[static_cast<size_t>(index)].Name, colour});
    }
    return rows;
}

void CServerListLogic::DrawServerList(bool listOnly) {
    if (!listOnly) {
        int groups = static_cast<int>(m_config.Groups.size());
        for (int j = 0; j < VisibleTabCount(); ++j) {
            int group = m_config.FirstVisibleGroup + j;
            int left = TabLeft(groups, j);
            bool chosen = static_cast<uint32_t>(group) == m_config.SelectedGroup;
            m_canvas.DrawBitmap(chosen ? listbitmap::kTabChosen : listbitmap::kTabNormal, left, kTabTop);
            m_canvas.DrawTabText(left, m_config.Groups[static_cast<size_t>(group)].Name);
        }
        if (m_config.ManyGroups) {
            m_canvas.DrawBitmap(listbitmap::kGroupsPrevious, kPreviousArrowX, kTabTop);
            m_canvas.DrawBitmap(listbitmap::kGroupsNext, kNextArrowX, kTabTop);
        }
    }
    m_canvas.DrawListImage(VisibleRows());
}

void CServerListLogic::UpdateScrollMetrics() {
    int servers = static_cast<int>(m_config.ServerCountOfSelectedGroup());
    m_bScrollActive = m_bUpEnabled = m_bDownEnabled = servers > kVisibleRows;
    m_nMaxScroll = std::max(0, servers - kVisibleRows);
    m_nThumbLength = std::max(kMinThumbLength, kTrackLength - static_cast<int>(std::trunc(m_nMaxScroll * 4.0)));
    DrawScrollThumb();
}

void CServerListLogic::UpdateThumbPosition() {
    if (m_nMaxScroll == 0) {
        m_nThumbTop = kTrackTop;
        return;
    }
    double top = kTrackTop + static_cast<double>(m_config.FirstVisibleServer) * (kTrackLength - m_nThumbLength) /
                                 m_nMaxScroll;
    m_nThumbTop = static_cast<int32_t>(std::trunc(top));
}

void CServerListLogic::DrawScrollThumb() {
    m_canvas.FillBlack(kScrollX, kTrackTop, kScrollX + kScrollWidth, kTrackBottom + 1);
    m_canvas.DrawBitmapPart(listbitmap::kThumbTop, kScrollX, m_nThumbTop, kScrollWidth, kThumbTopCap);
    m_canvas.DrawBitmapPart(listbitmap::kThumbMiddle, kScrollX, m_nThumbTop + kThumbTopCap, kScrollWidth,
                            m_nThumbLength - kThumbTopCap - kThumbBottomCap);
    m_canvas.DrawBitmapPart(listbitmap::kThumbBottom, kScrollX, m_nThumbTop + m_nThumbLength - kThumbBottomCap,
                            kScrollWidth, kThumbBottomCap);
}

EArrowState CServerListLogic::ArrowState(bool enabled, bool pressed, bool hover) const {
    if (!enabled)
        return EArrowState::Disabled;
    if (pressed)
        return EArrowState::Pressed;
    return hover ? EArrowState::Hover : EArrowState::Normal;
}

void CServerListLogic::DrawUpArrow(bool force) {
    EArrowState state = ArrowState(m_bUpEnabled, m_bUpPressed, m_bUpHover);
    if (!force && state == m_eUpDrawn)
        return;
    int bitmap = state == EArrowState::Hover    ? listbitmap::kUpHover
                 : state == EArrowState::Normal ? listbitmap::kUpNormal
                                                : listbitmap::kUpPressedOrDisabled;
    m_canvas.DrawBitmap(bitmap, kScrollX, kUpArrowY);
    m_eUpDrawn = state;
}

void CServerListLogic::DrawDownArrow(bool force) {
    EArrowState state = ArrowState(m_bDownEnabled, m_bDownPressed, m_bDownHover);
    if (!force && state == m_eDownDrawn)
        return;
    int bitmap = state == EArrowState::Hover    ? listbitmap::kDownHover
                 : state == EArrowState::Normal ? listbitmap::kDownNormal
                                                : listbitmap::kDownPressedOrDisabled;
    m_canvas.DrawBitmap(bitmap, kScrollX, kDownArrowY);
    m_eDownDrawn = state;
}

void CServerListLogic::EraseBackground() {
    m_canvas.DrawSkin();
    DrawServerList(false);
    DrawUpArrow(true);
    DrawDownArrow(true);
    DrawScrollThumb();
    m_canvas.DrawProgressBars();
}

void CServerListLogic::RedrawAfterScroll() {
    if (m_config.FirstVisibleServer == m_config.LastDrawnFirstServer)
        return;
    DrawServerList(false);
    UpdateThumbPosition();
    DrawScrollThumb();
}

void CServerListLogic::OnMouseMove(int x, int y, bool leftButtonDown) {
    if (leftButtonDown && m_bDragging)
        m_canvas.MoveWindowBy(x - m_nDragAnchorX, y - m_nDragAnchorY);
    m_bHandCursor = TabAt(x, y) >= 0;

    int row = RowAt(x, y);
    if (row >= 0) {
        m_bHandCursor = true;
        int server = m_config.FirstVisibleServer + row;
        if (m_nHoverServer != server) {
            m_nHoverServer = server;
            DrawServerList(true);
        }
    }

    if (!m_bScrollActive)
        return;
    m_bUpHover = InUpArrow(x, y);
    m_bDownHover = InDownArrow(x, y);
    DrawUpArrow(false);
    DrawDownArrow(false);
    if (!m_bThumbDragging)
        return;
    m_nThumbTop = std::clamp(m_nThumbTop + (y - m_nLastPointerY), kTrackTop, 428 - m_nThumbLength);
    double first = static_cast<double>(m_nThumbTop - kTrackTop) / (kTrackLength - m_nThumbLength) * m_nMaxScroll;
    m_config.FirstVisibleServer = std::clamp(static_cast<int32_t>(std::trunc(first)), 0, m_nMaxScroll);
    if (m_config.FirstVisibleServer != m_config.LastDrawnFirstServer) {
        DrawServerList(false);
        m_config.LastDrawnFirstServer = m_config.FirstVisibleServer;
    }
    m_nLastPointerX = x;
    m_nLastPointerY = y;
    DrawScrollThumb();
}

void CServerListLogic::OnLeftButtonDown(int x, int y) {
    bool handled = false;
    if (InLinkArea(x, y)) {
        m_canvas.OpenLink(2);
        handled = true;
    }

    if (m_bScrollActive) {
        int servers = static_cast<int>(m_config.ServerCountOfSelectedGroup());
        int& first = m_config.FirstVisibleServer;
        m_bUpPressed = InUpArrow(x, y);
        if (m_bUpPressed) {
            first = std::max(0, first - 1);
            RedrawAfterScroll();
        }
        m_bDownPressed = InDownArrow(x, y);
        if (m_bDownPressed && first + 7 <= servers) {
            ++first;
            RedrawAfterScroll();
        }
        if (Inside(x, y, kScrollX, m_nThumbTop, kScrollX + kScrollWidth, m_nThumbTop + m_nThumbLength)) {
            m_bThumbDragging = true;
            m_nLastPointerX = x;
            m_nLastPointerY = y;
        } else if (InTrack(x, y)) {
            int step = std::max(2, static_cast<int>(std::trunc(m_nMaxScroll * 0.25)));
            if (y < m_nThumbTop) {
                first = std::max(0, first - step);
                RedrawAfterScroll();
            } else if (y > m_nThumbTop + m_nThumbLength) {
                first = std::min(m_nMaxScroll, first + step);
                RedrawAfterScroll();
            }
        }
        m_config.LastDrawnFirstServer = first;
        DrawUpArrow(false);
        DrawDownArrow(false);
    }

    if (InScrollColumn(x, y))
        handled = true;

    int tab = TabAt(x, y);
    if (tab >= 0) {
        m_config.SelectedGroup = static_cast<uint32_t>(m_config.FirstVisibleGroup + tab);
        m_config.FirstVisibleServer = 0;
        m_config.SelectedServer = 0;
        m_nThumbTop = kTrackTop;
        UpdateScrollMetrics();
        DrawServerList(false);
        handled = true;
    }

    m_canvas.UpdateStartButton();

    if (m_config.ManyGroups) {
        if (InGroupArrow(x, y, kPreviousArrowX)) {
            m_config.FirstVisibleGroup = std::max(0, m_config.FirstVisibleGroup - 1);
            DrawServerList(false);
            handled = true;
        } else if (InGroupArrow(x, y, kNextArrowX)) {
            if (m_config.FirstVisibleGroup + 3 < static_cast<int>(m_config.Groups.size())) {
                ++m_config.FirstVisibleGroup;
                DrawServerList(false);
            }
            handled = true;
        }
    }

    int row = RowAt(x, y);
    if (row >= 0) {
        m_config.SelectedServer = static_cast<uint32_t>(m_config.FirstVisibleServer + row);
        DrawServerList(false);
        handled = true;
    }

    if (!InNoDragStrip(x, y) && !handled) {
        m_bDragging = true;
        m_nDragAnchorX = x;
        m_nDragAnchorY = y;
        m_canvas.CaptureMouse();
    }
}

void CServerListLogic::OnLeftButtonUp() {
    m_canvas.ReleaseMouse();
    m_bDragging = false;
    m_bThumbDragging = false;
    m_bUpPressed = false;
    m_bDownPressed = false;
    DrawUpArrow(false);
    DrawDownArrow(false);
}

void CServerListLogic::OnMouseWheel(int16_t distance, int x, int y) {
    if (!m_bScrollActive || !InWheelArea(x, y))
        return;
    int step = static_cast<int>(std::trunc(distance * kWheelFactor));
    m_config.FirstVisibleServer = std::clamp(m_config.FirstVisibleServer + step, 0, m_nMaxScroll);
    RedrawAfterScroll();
    m_config.LastDrawnFirstServer = m_config.FirstVisibleServer;
}
