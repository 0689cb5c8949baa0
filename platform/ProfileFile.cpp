#include "platform/ProfileFile.h"

#include <functional>
#include <optional>
#include <vector>

#include "platform/File.h"
#include "platform/FileSystem.h"

namespace platform {
namespace {

// A line longer than this is cut; no profile value of the launcher comes near it.
constexpr size_t kLineMax = 65536;

std::string_view Trim(std::string_view text) {
    size_t begin = 0, end = text.size();
    while (begin < end && (text[begin] == ' ' || text[begin] == '\t')) ++begin;
    while (end > begin && (text[end - 1] == ' ' || text[end - 1] == '\t' || text[end - 1] == '\r')) --end;
    return text.substr(begin, end - begin);
}

bool SameName(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) return false;
    for (size_t i = 0; i < a.size(); ++i) {
        auto lower = [](char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; };
        if (lower(a[i]) != lower(b[i])) return false;
    }
    return true;
}

// The section name of a "[name]" line.
std::optional<std::string_view> SectionOf(std::string_view line) {
    line = Trim(line);
    if (line.size() < 2 || line.front() != '[') return std::nullopt;
    size_t close = line.find(']');
    if (close == std::string_view::npos) return std::nullopt;
    return Trim(line.substr(1, close - 1));
}

struct KeyLine {
    std::string_view key;
    std::string_view value;
};

std::optional<KeyLine> KeyOf(std::string_view line) {
    std::string_view trimmed = Trim(line);
    if (trimmed.empty() || trimmed.front() == ';') return std::nullopt;
    size_t equals = trimmed.find('=');
    if (equals == std::string_view::npos) return std::nullopt;
    std::string_view value = Trim(trimmed.substr(equals + 1));
    if (value.size() >= 2 && (value.front() == '"' || value.front() == '\'') && value.back() == value.front()) {
        value = value.substr(1, value.size() - 2);
    }
    return KeyLine{Trim(trimmed.substr(0, equals)), value};
}

// Calls `visit` for every line of the file, reading it in pieces; stops when it returns false.
void ForEachLine(std::string_view path, const std::function<bool(std::string_view)>& visit) {
    CFile file;
    if (!file.Open(path, CFile::Mode::Read)) return;
    std::string line;
    char buffer[65536];
    bool going = true;
    while (going) {
        size_t n = file.Read(buffer, sizeof buffer);
        for (size_t i = 0; i < n && going; ++i) {
            if (buffer[i] == '\n') {
                going = visit(line);
                line.clear();
            } else if (line.size() < kLineMax) {
                line.push_back(buffer[i]);
            }
        }
        if (n < sizeof buffer) break;
    }
    if (going && !line.empty()) visit(line);
}

std::vector<std::string> SplitLines(const std::string& content) {
    std::vector<std::string> lines;
    size_t start = 0;
    while (start < content.size()) {
        size_t end = content.find('\n', start);
        if (end == std::string::npos) end = content.size();
        std::string line = content.substr(start, end - start);
        if (!line.empty() && line.back() == '\r') line.pop_back();
        lines.push_back(std::move(line));
        start = end + 1;
    }
    return lines;
}

}  // namespace

std::string GetProfileString(std::string_view file, std::string_view section, std::string_view key) {
    std::string result;
    bool inSection = false;
    ForEachLine(file, [&](std::string_view line) {
        if (auto name = SectionOf(line)) {
            inSection = SameName(*name, section);
            return true;
        }
        if (!inSection) return true;
        auto entry = KeyOf(line);
        if (!entry || !SameName(entry->key, key)) return true;
        result = std::string(entry->value.substr(0, kProfileValueMax));
        return false;
    });
    return result;
}

bool WriteProfileString(std::string_view file, std::string_view section, std::string_view key,
                        std::string_view value) {
    std::optional<std::string> old = ReadWholeFile(file);
    std::string content = old.value_or("");
    const char* newline = (!old || content.find("\r\n") != std::string::npos || content.empty()) ? "\r\n" : "\n";
    std::vector<std::string> lines = SplitLines(content);
    std::string entry = std::string(key) + "=" + std::string(value);

    std::optional<size_t> sectionLine, lastInSection, keyLine;
    bool inSection = false;
    for (size_t i = 0; i < lines.size(); ++i) {
        if (auto name = SectionOf(lines[i])) {
            if (inSection) break;
            inSection = SameName(*name, section);
            if (inSection) sectionLine = lastInSection = i;
            continue;
        }
        if (!inSection) continue;
        if (!Trim(lines[i]).empty()) lastInSection = i;
        auto found = KeyOf(lines[i]);
        if (found && SameName(found->key, key)) {
            keyLine = i;
            break;
        }
    }
    if (keyLine) {
        lines[*keyLine] = entry;
    } else if (sectionLine) {
        lines.insert(lines.begin() + static_cast<std::ptrdiff_t>(*lastInSection + 1), entry);
    } else {
        lines.push_back("[" + std::string(section) + "]");
        lines.push_back(entry);
    }
    std::string output;
    for (const std::string& line : lines) output += line + newline;
    return WriteFileAtomically(file, output);
}

}  // namespace platform
