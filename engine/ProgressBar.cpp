#include "engine/ProgressBar.h"

#include <cmath>

#include "engine/IWindowPrimitives.h"

void ProgressBar::Setup(int x, int y, int backgroundBitmapId, int fillBitmapId) {
    m_x = x;
    m_y = y;
    m_backgroundId = backgroundBitmapId;
    m_fillId = fillBitmapId;
    int width = 0, height = 0;
    if (m_pWindow && m_pWindow->GetBitmapSize(backgroundBitmapId, width, height)) {
        m_width = width;
        m_height = height;
    }
    m_drawnFillWidth = -1;
}

void ProgressBar::SetRange(uint64_t minimum, uint64_t maximum) {
    m_minimum.store(minimum, std::memory_order_relaxed);
    m_maximum.store(maximum, std::memory_order_relaxed);
}

// An empty range shows an empty bar; a position beyond the range a full one.
float ProgressBar::ComputeFraction(uint64_t position) const {
    uint64_t minimum = Minimum(), maximum = Maximum();
    if (maximum <= minimum || position <= minimum) return 0.0f;
    if (position >= maximum) return 1.0f;
    return static_cast<float>(static_cast<double>(position - minimum) / static_cast<double>(maximum - minimum));
}

void ProgressBar::SetPos(uint64_t position) {
    float newFraction = ComputeFraction(position);
    m_position.store(position, std::memory_order_relaxed);
    bool shrinks = Fraction() > newFraction;
    if (!shrinks && FillWidth(newFraction) == m_drawnFillWidth.load(std::memory_order_relaxed)) {
        m_fraction.store(newFraction, std::memory_order_relaxed);
        return;
    }
    Draw(shrinks);
}

int ProgressBar::FillWidth(float fraction) const {
    return static_cast<int>(std::trunc(static_cast<float>(m_width) * fraction));
}

void ProgressBar::Draw(bool full) {
    float fraction = ComputeFraction(Position());
    m_fraction.store(fraction, std::memory_order_relaxed);
    if (!m_pWindow) return;
    int fillWidth = FillWidth(fraction);
    if (full) m_pWindow->DrawBitmapPart(m_backgroundId, m_x, m_y, m_width, m_height);
    m_drawnFillWidth.store(fillWidth, std::memory_order_relaxed);
    m_pWindow->DrawBitmapPart(m_fillId, m_x, m_y, fillWidth, m_height);
}
