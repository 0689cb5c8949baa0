#include "launcher/core/UifText.h"

#include <cstdio>
#include <optional>

#include "platform/CodePage.h"

namespace {

constexpr const char* kHeaderComment =
    "# updater.uif as text: `velmor uif build TEXT FILE` writes it back.\n";
constexpr const char* kLinkComment =
    "# links in order: 0 large news page, 1 small news page, 2 to 7 the link buttons\n";

bool IsBlank(char c) { return c == ' ' || c == '\t'; }
bool IsControl(unsigned char c) { return c < 0x20 || c == 0x7F; }

// `value` is GBK, as in the file.
bool NeedsQuotes(const std::string& value) {
    if (value.empty()) return false;
    if (IsBlank(value.front()) || IsBlank(value.back()) || value.front() == '"') return true;
    for (char c : value) {
        if (IsControl(static_cast<unsigned char>(c))) return true;
    }
    return !platform::IsGbk(value);
}

void AppendHex(std::string& text, unsigned char byte) {
    char escape[5];
    std::snprintf(escape, sizeof escape, "\\x%02X", byte);
    text += escape;
}

void AppendEscaped(std::string& text, char c) {
    if (c == '"' || c == '\\') {
        text += '\\';
        text += c;
    } else if (c == '\t') {
        text += "\\t";
    } else if (c == '\n') {
        text += "\\n";
    } else if (c == '\r') {
        text += "\\r";
    } else if (IsControl(static_cast<unsigned char>(c))) {
        AppendHex(text, static_cast<unsigned char>(c));
    } else {
        text += c;
    }
}

// GBK characters become UTF-8, bytes that are not GBK \xHH, so that the text
// builds the same bytes again.
std::string Quote(const std::string& value) {
    std::string quoted = "\"";
    platform::DecodeGbk(
        value,
        [&](std::string_view utf8) {
            for (char c : utf8) AppendEscaped(quoted, c);
        },
        [&](unsigned char byte) { AppendHex(quoted, byte); });
    return quoted + "\"";
}

void PutSetting(std::string& text, const char* indent, const char* name, const std::string& value) {
    text += indent;
    text += name;
    text += ':';
    if (!value.empty()) text += " " + (NeedsQuotes(value) ? Quote(value) : platform::GbkToUtf8(value));
    text += '\n';
}

int HexDigit(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

// Appends UTF-8 text in GBK; false with `error` naming the first character that
// GBK lacks.
bool AppendGbk(std::string_view utf8, std::string& gbk, std::string& error) {
    size_t failedAt = 0;
    std::optional<std::string> converted = platform::Utf8ToGbk(utf8, &failedAt);
    if (converted) {
        gbk += *converted;
        return true;
    }
    size_t length = 1;
    while (failedAt + length < utf8.size() && (static_cast<unsigned char>(utf8[failedAt + length]) & 0xC0) == 0x80) {
        ++length;
    }
    error = "'" + std::string(utf8.substr(failedAt, length)) +
            "' cannot be written in GBK, the code page of updater.uif";
    return false;
}

// Decodes a quoted value (`raw` starts with '"') into GBK; false with `error` set.
// Text is converted, while \xHH stands for that byte itself.
bool Unquote(std::string_view raw, std::string& value, std::string& error) {
    value.clear();
    std::string literal;
    auto flush = [&] {
        bool ok = AppendGbk(literal, value, error);
        literal.clear();
        return ok;
    };
    size_t i = 1;
    for (; i < raw.size() && raw[i] != '"'; ++i) {
        if (raw[i] != '\\') {
            literal += raw[i];
            continue;
        }
        if (++i >= raw.size()) break;
        switch (raw[i]) {
        case '"': case '\\': literal += raw[i]; break;
        case 't': literal += '\t'; break;
        case 'n': literal += '\n'; break;
        case 'r': literal += '\r'; break;
        case 'x': {
            int high = i + 1 < raw.size() ? HexDigit(raw[i + 1]) : -1;
            int low = i + 2 < raw.size() ? HexDigit(raw[i + 2]) : -1;
            if (high < 0 || low < 0) {
                error = "\\x needs two hex digits";
                return false;
            }
            if (!flush()) return false;
            value += static_cast<char>(high * 16 + low);
            i += 2;
            break;
        }
        default:
            error = std::string("unknown escape \\") + raw[i];
            return false;
        }
    }
    if (i >= raw.size()) {
        error = "the quoted value has no closing '\"'";
        return false;
    }
    if (i + 1 != raw.size()) {
        error = "text after the closing '\"'";
        return false;
    }
    return flush();
}

bool ParseInt(const std::string& value, int32_t& result) {
    if (value.empty()) return false;
    size_t i = value[0] == '-' || value[0] == '+' ? 1 : 0;
    if (i == value.size()) return false;
    int64_t number = 0;
    for (; i < value.size(); ++i) {
        if (value[i] < '0' || value[i] > '9') return false;
        number = number * 10 + (value[i] - '0');
        if (number > int64_t{INT32_MAX} + 1) return false;
    }
    if (value[0] == '-') number = -number;
    if (number < INT32_MIN || number > INT32_MAX) return false;
    result = static_cast<int32_t>(number);
    return true;
}

// Builds the content line by line, remembering what the next lines belong to.
class CUifTextParser {
public:
    explicit CUifTextParser(UifContent& content) : m_content(content) {}

    bool Line(std::string_view line, std::string& error) {
        if (!platform::IsValidUtf8(line)) {
            error = "the line is not UTF-8";
            return false;
        }
        while (!line.empty() && (IsBlank(line.back()) || line.back() == '\r')) line.remove_suffix(1);
        size_t start = 0;
        while (start < line.size() && IsBlank(line[start])) ++start;
        line.remove_prefix(start);
        if (line.empty() || line.front() == '#') return true;
        size_t colon = line.find(':');
        if (colon == std::string_view::npos) {
            error = "expected 'name: value'";
            return false;
        }
        std::string name(line.substr(0, colon));
        while (!name.empty() && IsBlank(name.back())) name.pop_back();
        std::string_view raw = line.substr(colon + 1);
        while (!raw.empty() && IsBlank(raw.front())) raw.remove_prefix(1);
        std::string value;
        if (!raw.empty() && raw.front() == '"') {
            if (!Unquote(raw, value, error)) return false;
        } else if (!AppendGbk(raw, value, error)) {
            return false;
        }
        if (value.find('\0') != std::string::npos) {
            error = "a value cannot hold a zero byte";
            return false;
        }
        return Setting(name, value, error);
    }

    bool Finish(std::string& error) {
        if (!m_bMagicSeen) {
            error = "the text must say 'magic: yes' or 'magic: no'";
            return false;
        }
        return true;
    }

private:
    bool Setting(const std::string& name, const std::string& value, std::string& error) {
        if (name == "magic") return Magic(value, error);
        if (name == "header-value") return HeaderValue(value, error);
        if (name == "group") return Text(value, kUifNameWidth, error) && NewGroup(value);
        if (name == "server") return Text(value, kUifNameWidth, error) && NewServer(value, error);
        if (name == "patch-host") return ServerField(&ServerEntry::PatchHost, m_bHostSeen, name, value, error);
        if (name == "game-address") {
            if (!m_bMagicSeen || !m_content.HasMagic) {
                error = "game-address needs 'magic: yes' before it (a file without the magic has none)";
                return false;
            }
            return ServerField(&ServerEntry::GameAddress, m_bAddressSeen, name, value, error);
        }
        if (name == "link") {
            if (!Text(value, kUifLinkWidth, error)) return false;
            m_content.Links.push_back(value);
            return true;
        }
        error = "unknown setting '" + name + "'";
        return false;
    }

    bool Magic(const std::string& value, std::string& error) {
        if (m_bMagicSeen || !m_content.Groups.empty()) {
            error = "'magic' comes once, before the first group";
            return false;
        }
        if (value != "yes" && value != "no") {
            error = "magic is 'yes' or 'no'";
            return false;
        }
        m_bMagicSeen = true;
        m_content.HasMagic = value == "yes";
        return true;
    }

    bool HeaderValue(const std::string& value, std::string& error) {
        if (!m_bMagicSeen || !m_content.HasMagic) {
            error = "header-value needs 'magic: yes' before it";
            return false;
        }
        if (!ParseInt(value, m_content.HeaderValue)) {
            error = "header-value is a signed 32-bit number";
            return false;
        }
        return true;
    }

    static bool Text(const std::string& value, size_t width, std::string& error) {
        if (value.size() < width) return true;
        error = "the value is " + std::to_string(value.size()) + " bytes long in GBK; at most " +
                std::to_string(width - 1) + " fit";
        return false;
    }

    bool NewGroup(const std::string& value) {
        m_content.Groups.push_back(ServerGroup{value, {}});
        m_bInServer = false;
        return true;
    }

    bool NewServer(const std::string& value, std::string& error) {
        if (m_content.Groups.empty()) {
            error = "a server needs a group line before it";
            return false;
        }
        ServerEntry server;
        server.Name = value;
        m_content.Groups.back().Servers.push_back(server);
        m_bInServer = true;
        m_bHostSeen = m_bAddressSeen = false;
        return true;
    }

    bool ServerField(std::string ServerEntry::*field, bool& seen, const std::string& name, const std::string& value,
                     std::string& error) {
        if (!m_bInServer) {
            error = name + " needs a server line before it";
            return false;
        }
        if (seen) {
            error = "a second " + name + " for the same server";
            return false;
        }
        if (!Text(value, kUifHostWidth, error)) return false;
        seen = true;
        m_content.Groups.back().Servers.back().*field = value;
        return true;
    }

    UifContent& m_content;
    bool m_bMagicSeen = false;
    bool m_bInServer = false;
    bool m_bHostSeen = false;
    bool m_bAddressSeen = false;
};

}  // namespace

std::string FormatUifText(const UifContent& content) {
    std::string text = kHeaderComment;
    text += content.HasMagic ? "magic: yes\n" : "magic: no\n";
    if (content.HasMagic) text += "header-value: " + std::to_string(content.HeaderValue) + "\n";
    for (const ServerGroup& group : content.Groups) {
        text += '\n';
        PutSetting(text, "", "group", group.Name);
        for (const ServerEntry& server : group.Servers) {
            PutSetting(text, "  ", "server", server.Name);
            PutSetting(text, "    ", "patch-host", server.PatchHost);
            if (content.HasMagic) PutSetting(text, "    ", "game-address", server.GameAddress);
        }
    }
    if (!content.Links.empty()) {
        text += '\n';
        text += kLinkComment;
        for (const std::string& link : content.Links) PutSetting(text, "", "link", link);
    }
    return text;
}

bool ParseUifText(std::string_view text, UifContent& content, std::string& error) {
    content = UifContent();
    CUifTextParser parser(content);
    size_t lineNumber = 0;
    size_t start = 0;
    while (start < text.size()) {
        size_t end = text.find('\n', start);
        if (end == std::string_view::npos) end = text.size();
        ++lineNumber;
        if (!parser.Line(text.substr(start, end - start), error)) {
            error = "line " + std::to_string(lineNumber) + ": " + error;
            return false;
        }
        start = end + 1;
    }
    return parser.Finish(error);
}
