#pragma once
// Pack names are GBK. They compare without regard to the case of A-Z only; every
// other byte, including those of GBK characters, must match exactly.
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "platform/CodePage.h"

namespace pack {

inline char FoldAsciiCase(char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c; }

inline bool NamesEqual(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) return false;
    for (size_t i = 0; i < a.size(); ++i) {
        if (FoldAsciiCase(a[i]) != FoldAsciiCase(b[i])) return false;
    }
    return true;
}

// A name that a path text can carry: it holds no separator and no control
// character, and a separator put after it is still found there (a name that ends
// in a GBK lead byte would take it along).
inline bool IsPathComponent(std::string_view name) {
    for (char c : name) {
        if (static_cast<unsigned char>(c) < 0x20) return false;
    }
    std::string joined(name);
    joined += '\\';
    return !name.empty() && platform::FindCharacter(joined, 0, '\\') == name.size() &&
           platform::FindCharacter(name, 0, '/') == std::string_view::npos;
}

struct NameHash {
    size_t operator()(std::string_view name) const {
        uint64_t hash = 14695981039346656037ull;
        for (char c : name) hash = (hash ^ static_cast<unsigned char>(FoldAsciiCase(c))) * 1099511628211ull;
        return static_cast<size_t>(hash);
    }
};

struct NameEqual {
    bool operator()(std::string_view a, std::string_view b) const { return NamesEqual(a, b); }
};

}  // namespace pack
