#pragma once
// A bitmap progress bar drawn through the window primitives: the background
// bitmap is the empty bar, the left part of the fill bitmap shows the fraction.
// The worker moves it; the window may redraw it from its own thread, so the
// range and position are atomics.
#include <atomic>
#include <cstdint>

class IWindowPrimitives;

class ProgressBar {
public:
    // The window the bar draws into; set once by the surface that owns the bar.
    void AttachWindow(IWindowPrimitives* window) { m_pWindow = window; }

    // Places the bar and takes its size from the background bitmap.
    void Setup(int x, int y, int backgroundBitmapId, int fillBitmapId);
    // Stores the range; nothing is drawn.
    void SetRange(uint64_t minimum, uint64_t maximum);
    // Stores the position and draws at once; the background too when the bar shrinks.
    void SetPos(uint64_t position);
    // Draws the bar from its stored range and position; `full` first draws the background.
    void Draw(bool full);

    int X() const { return m_x; }
    int Y() const { return m_y; }
    int Width() const { return m_width; }
    int Height() const { return m_height; }
    int BackgroundBitmapId() const { return m_backgroundId; }
    int FillBitmapId() const { return m_fillId; }
    uint64_t Minimum() const { return m_minimum.load(std::memory_order_relaxed); }
    uint64_t Maximum() const { return m_maximum.load(std::memory_order_relaxed); }
    uint64_t Position() const { return m_position.load(std::memory_order_relaxed); }
    // The fraction last drawn, 0 to 1.
    float Fraction() const { return m_fraction.load(std::memory_order_relaxed); }

private:
    float ComputeFraction(uint64_t position) const;
    int FillWidth(float fraction) const;

    IWindowPrimitives* m_pWindow = nullptr;
    int m_x = 0;
    int m_y = 0;
    int m_width = 0;
    int m_height = 0;
    std::atomic<uint64_t> m_minimum{0};
    std::atomic<uint64_t> m_maximum{1};
    std::atomic<uint64_t> m_position{0};
    std::atomic<float> m_fraction{0.0f};
    // Width of the fill last drawn: SetPos does not draw a growing bar again while
    // its drawn width stays the same (the download moves it after every read).
    std::atomic<int> m_drawnFillWidth{-1};
    int m_backgroundId = 0;
    int m_fillId = 0;
};
