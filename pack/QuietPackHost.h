#pragma once
// A pack host that reports nothing, for code that only reads or writes packs
// (the publishers' tools, the fuzz targets) and shows its own errors.
#include "pack/IPackHost.h"

class CQuietPackHost : public IPackHost {
public:
    void ShowStatusError(const std::string&) override {}
    void SetFileProgressRange(uint64_t, uint64_t) override {}
    void SetFileProgressPos(uint64_t) override {}
    bool WriteStartUpdate(const std::string&) override { return true; }
};
