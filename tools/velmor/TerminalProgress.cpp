#include "tools/velmor/TerminalProgress.h"

#include <unistd.h>

#include <cstdio>

#include "platform/Clock.h"

CTerminalProgress::CTerminalProgress() : m_bTerminal(isatty(STDOUT_FILENO) == 1) {}

void CTerminalProgress::Update(const std::string& label, uint64_t position, uint64_t range) {
    Bar* bar = nullptr;
    for (Bar& candidate : m_bars) {
        if (candidate.label == label || candidate.label.empty()) {
            bar = &candidate;
            break;
        }
    }
    if (!bar) return;
    bar->label = label;
    bar->position = position;
    bar->range = range;
    int percent = range == 0 ? 100 : static_cast<int>(position >= range ? 100 : position * 100 / range);
    if (m_bTerminal) {
        // Redraw at most 20 times a second; the worker reports after every read.
        int64_t now = platform::PerformanceCounter();
        if (percent != 100 && now - m_lastDraw < platform::PerformanceFrequency() / 20) return;
        m_lastDraw = now;
        Redraw();
    } else if (percent / 25 != bar->lastPercent / 25 && percent != bar->lastPercent) {
        std::printf("%s: %d%% (%llu/%llu)\n", label.c_str(), percent, static_cast<unsigned long long>(position),
                    static_cast<unsigned long long>(range));
        std::fflush(stdout);
    }
    bar->lastPercent = percent;
}

void CTerminalProgress::Redraw() {
    std::string text = "\r";
    for (const Bar& bar : m_bars) {
        if (bar.label.empty()) continue;
        constexpr int kWidth = 30;
        int filled = bar.range == 0 ? kWidth
                                    : static_cast<int>((bar.position >= bar.range ? bar.range : bar.position) *
                                                       kWidth / bar.range);
        text += bar.label + " [" + std::string(filled, '#') + std::string(kWidth - filled, '.') + "] ";
    }
    text += "\x1b[K";
    std::fputs(text.c_str(), stdout);
    std::fflush(stdout);
    m_bDrawn = true;
}

void CTerminalProgress::PrintLine(const std::string& text) {
    if (m_bTerminal && m_bDrawn) std::fputs("\r\x1b[K", stdout);
    std::puts(text.c_str());
    if (m_bTerminal && m_bDrawn) Redraw();
    std::fflush(stdout);
}

void CTerminalProgress::Finish() {
    if (m_bTerminal && m_bDrawn) {
        Redraw();
        std::fputs("\n", stdout);
        m_bDrawn = false;
    }
    std::fflush(stdout);
}
