#pragma once
// Progress for the command line: a redrawn bar on a terminal, nothing but
// occasional plain lines when the output goes to a file or a pipe.
#include <cstdint>
#include <string>

class CTerminalProgress {
public:
    CTerminalProgress();
    bool IsTerminal() const { return m_bTerminal; }
    // Sets the bar named `label` (for example "file" or "total") to position/range.
    void Update(const std::string& label, uint64_t position, uint64_t range);
    // Prints a line of text, keeping the bar below it intact.
    void PrintLine(const std::string& text);
    void Finish();

private:
    void Redraw();
    bool m_bTerminal;
    struct Bar {
        std::string label;
        uint64_t position = 0;
        uint64_t range = 0;
        int lastPercent = -1;
    };
    Bar m_bars[2];
    bool m_bDrawn = false;
    int64_t m_lastDraw = 0;
};
