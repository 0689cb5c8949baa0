#pragma once
// What the pack code reports while it works: the status line, the file progress
// bar and the recovery marker of Version.ini. The engine implements it on its
// progress surface; `velmor pack` and the tests implement it themselves.
#include <cstdint>
#include <string>

class IPackHost {
public:
    virtual ~IPackHost() = default;

    // A finished text for the status line (the merge's failure messages).
    virtual void ShowStatusError(const std::string& text) = 0;
    virtual void SetFileProgressRange(uint64_t minimum, uint64_t maximum) = 0;
    virtual void SetFileProgressPos(uint64_t position) = 0;
    // Writes the StartUpdate marker ("UPDATE_START", "UPDATE_END"); callers ignore
    // the result, as with every marker write.
    virtual bool WriteStartUpdate(const std::string& marker) = 0;
};
