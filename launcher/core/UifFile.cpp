#include "launcher/core/UifFile.h"

#include <cstring>

namespace {

constexpr char kMagic[] = {'U', 'I', 'F'};

// Reads the fields of the file in order; a read past the end fails and moves nothing.
class CUifReader {
public:
    explicit CUifReader(std::string_view bytes) : m_bytes(bytes) {}

    bool ReadInt(int32_t& value) {
        if (Left() < 4) return false;
        uint32_t raw = 0;
        for (int i = 3; i >= 0; --i) raw = (raw << 8) | static_cast<unsigned char>(m_bytes[m_position + i]);
        value = static_cast<int32_t>(raw);
        m_position += 4;
        return true;
    }

    bool ReadText(size_t width, std::string& text) {
        if (Left() < width) return false;
        std::string_view field = m_bytes.substr(m_position, width);
        m_position += width;
        size_t end = field.find('\0');
        text = field.substr(0, end == std::string_view::npos ? width - 1 : end);
        return true;
    }

    bool SkipMagic() {
        if (Left() < sizeof kMagic || std::memcmp(m_bytes.data(), kMagic, sizeof kMagic) != 0) return false;
        m_position += sizeof kMagic;
        return true;
    }

    size_t Left() const { return m_bytes.size() - m_position; }

private:
    std::string_view m_bytes;
    size_t m_position = 0;
};

// Places are named by index from 0, as the stored choice counts them.
std::string GroupPlace(size_t group) { return "group " + std::to_string(group); }

std::string ServerPlace(size_t group, size_t server) {
    return "server " + std::to_string(server) + " of " + GroupPlace(group);
}

enum class GroupRead { Complete, CutInHeader, CutInServers };

// Reads one group; when the file ends inside it, `truncation` says where, and the
// servers read completely before that point stay in `group`.
GroupRead ReadGroup(CUifReader& reader, bool hasMagic, size_t index, ServerGroup& group, std::string& truncation) {
    int32_t serverCount = 0;
    if (!reader.ReadText(kUifNameWidth, group.Name)) {
        truncation = "the file ends inside the name of " + GroupPlace(index);
        return GroupRead::CutInHeader;
    }
    if (!reader.ReadInt(serverCount)) {
        truncation = "the file ends inside the server count of " + GroupPlace(index);
        return GroupRead::CutInHeader;
    }
    for (int32_t i = 0; i < serverCount; ++i) {
        ServerEntry server;
        bool complete = reader.ReadText(kUifNameWidth, server.Name) &&
                        reader.ReadText(kUifHostWidth, server.PatchHost) &&
                        (!hasMagic || reader.ReadText(kUifHostWidth, server.GameAddress));
        if (!complete) {
            truncation = "the file ends inside " + ServerPlace(index, static_cast<size_t>(i)) + " (" +
                         std::to_string(serverCount) + " servers announced)";
            return GroupRead::CutInServers;
        }
        group.Servers.push_back(server);
    }
    return GroupRead::Complete;
}

void ReadLinks(CUifReader& reader, UifContent& content) {
    int32_t linkCount = 0;
    if (!reader.ReadInt(linkCount)) {
        content.Truncation = "the file ends before the link count";
        return;
    }
    for (int32_t i = 0; i < linkCount; ++i) {
        std::string link;
        if (!reader.ReadText(kUifLinkWidth, link)) {
            content.Truncation = "the file ends inside link " + std::to_string(i) + " (" +
                                 std::to_string(linkCount) + " links announced)";
            return;
        }
        content.Links.push_back(std::move(link));
    }
}

void PutInt(std::string& bytes, int32_t value) {
    auto raw = static_cast<uint32_t>(value);
    for (int i = 0; i < 4; ++i) bytes.push_back(static_cast<char>((raw >> (8 * i)) & 0xFF));
}

bool PutText(std::string& bytes, const std::string& text, size_t width, const std::string& what,
             std::string& error) {
    if (text.size() >= width) {
        error = what + " is " + std::to_string(text.size()) + " bytes long; at most " + std::to_string(width - 1) +
                " fit";
        return false;
    }
    if (text.find('\0') != std::string::npos) {
        error = what + " holds a zero byte";
        return false;
    }
    bytes += text;
    bytes.append(width - text.size(), '\0');
    return true;
}

bool PutCount(std::string& bytes, size_t count, const std::string& what, std::string& error) {
    if (count > INT32_MAX) {
        error = "too many " + what;
        return false;
    }
    PutInt(bytes, static_cast<int32_t>(count));
    return true;
}

}  // namespace

UifContent ReadUifFile(std::string_view bytes) {
    UifContent content;
    CUifReader reader(bytes);
    if (reader.SkipMagic()) {
        content.HasMagic = true;
        if (!reader.ReadInt(content.HeaderValue)) {
            content.Truncation = "the file ends inside the header value";
            return content;
        }
    }
    int32_t groupCount = 0;
    if (!reader.ReadInt(groupCount)) {
        content.Truncation = "the file ends before the group count";
        return content;
    }
    for (int32_t i = 0; i < groupCount; ++i) {
        ServerGroup group;
        GroupRead read = ReadGroup(reader, content.HasMagic, static_cast<size_t>(i), group, content.Truncation);
        // A group whose name and count were read is kept with its complete servers.
        if (read != GroupRead::CutInHeader) content.Groups.push_back(std::move(group));
        if (read != GroupRead::Complete) {
            content.Truncation += " (" + std::to_string(groupCount) + " groups announced)";
            return content;
        }
    }
    ReadLinks(reader, content);
    if (content.Truncation.empty()) content.TrailingBytes = reader.Left();
    return content;
}

bool WriteUifFile(const UifContent& content, std::string& bytes, std::string& error) {
    bytes.clear();
    if (content.HasMagic) {
        bytes.append(kMagic, sizeof kMagic);
        PutInt(bytes, content.HeaderValue);
    }
    if (!PutCount(bytes, content.Groups.size(), "groups", error)) return false;
    for (size_t g = 0; g < content.Groups.size(); ++g) {
        const ServerGroup& group = content.Groups[g];
        if (!PutText(bytes, group.Name, kUifNameWidth, "the name of " + GroupPlace(g), error)) return false;
        if (!PutCount(bytes, group.Servers.size(), "servers", error)) return false;
        for (size_t s = 0; s < group.Servers.size(); ++s) {
            const ServerEntry& server = group.Servers[s];
            std::string place = ServerPlace(g, s);
            if (!PutText(bytes, server.Name, kUifNameWidth, "the name of " + place, error) ||
                !PutText(bytes, server.PatchHost, kUifHostWidth, "the patch host of " + place, error)) {
                return false;
            }
            if (content.HasMagic) {
                if (!PutText(bytes, server.GameAddress, kUifHostWidth, "the game address of " + place, error)) {
                    return false;
                }
            } else if (!server.GameAddress.empty()) {
                error = "the game address of " + place + " needs the magic (a file without it has none)";
                return false;
            }
        }
    }
    if (!PutCount(bytes, content.Links.size(), "links", error)) return false;
    for (size_t i = 0; i < content.Links.size(); ++i) {
        if (!PutText(bytes, content.Links[i], kUifLinkWidth, "link " + std::to_string(i), error)) return false;
    }
    return true;
}
