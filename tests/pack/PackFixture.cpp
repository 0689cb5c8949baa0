#include "tests/pack/PackFixture.h"

#include <gtest/gtest.h>

#include <stdexcept>

#include "pack/PackUpdater.h"
#include "pack/PackVerify.h"
#include "platform/FileSystem.h"
#include "tests/support/TempFolder.h"

namespace packtest {

std::string U32(uint32_t value) {
    std::string out;
    for (int i = 0; i < 4; ++i) out.push_back(static_cast<char>(value >> (8 * i)));
    return out;
}

std::string U64(uint64_t value) { return U32(static_cast<uint32_t>(value)) + U32(static_cast<uint32_t>(value >> 32)); }

std::string Name(const std::string& name) { return U32(static_cast<uint32_t>(name.size() + 1)) + name + '\0'; }

CPackBuilder::Node& CPackBuilder::FolderOf(const std::string& path, std::string& name) {
    Node* node = &m_tree;
    size_t start = 0;
    for (size_t sep; (sep = path.find(m_separator, start)) != std::string::npos; start = sep + 1) {
        std::string part = path.substr(start, sep - start);
        Node* found = nullptr;
        for (Node& child : node->folders) {
            if (child.name == part) found = &child;
        }
        if (!found) {
            node->folders.push_back(Node{part, {}, {}, {}});
            found = &node->folders.back();
        }
        node = found;
    }
    name = path.substr(start);
    return *node;
}

CPackBuilder& CPackBuilder::File(const std::string& path, const std::string& bytes, uint32_t extra) {
    std::string name;
    Node& folder = FolderOf(path, name);
    folder.files.push_back({name, m_data.size(), static_cast<uint32_t>(bytes.size())});
    folder.extras.push_back(extra);
    m_data += bytes;
    m_data.push_back('\0');
    ++m_files;
    return *this;
}

CPackBuilder& CPackBuilder::Gap(uint32_t size, const std::string& name) {
    m_rest.push_back({name, m_data.size(), size});
    m_data.append(size + 1, '~');
    return *this;
}

CPackBuilder& CPackBuilder::Record(const std::string& path, uint64_t offset, uint32_t size) {
    std::string name;
    Node& folder = FolderOf(path, name);
    folder.files.push_back({name, offset, size});
    folder.extras.push_back(0);
    ++m_files;
    return *this;
}

void CPackBuilder::WriteNode(std::string& out, const Node& node) {
    out += Name(node.name) + U32(static_cast<uint32_t>(node.files.size()));
    for (size_t i = 0; i < node.files.size(); ++i) {
        out += Name(node.files[i].name) + U64(node.files[i].offset) + U32(node.files[i].size) + U32(node.extras[i]);
    }
    out += U32(static_cast<uint32_t>(node.folders.size()));
    for (const Node& child : node.folders) WriteNode(out, child);
}

std::string CPackBuilder::Header() const {
    std::string out = "VAH" + U32(m_stamp) + U32(m_countSet ? m_count : m_files) + m_block;
    Node root = m_tree;
    root.name = m_root;
    WriteNode(out, root);
    out += U32(static_cast<uint32_t>(m_rest.size()));
    for (const RestSpec& rest : m_rest) out += Name(rest.name) + U64(rest.offset) + U32(rest.size) + U32(0);
    out += U32(m_wasted);
    return out;
}

void CPackBuilder::Write(const std::string& folder, const std::string& stem) const {
    testsupport::WriteFile(folder + "/" + stem + ".vah", Header());
    testsupport::WriteFile(folder + "/" + stem + ".vaf", m_data);
}

namespace {

class Cursor {
public:
    explicit Cursor(std::string bytes) : m_bytes(std::move(bytes)) {}
    std::string Take(size_t count) {
        if (m_at + count > m_bytes.size()) throw std::runtime_error("header ends early");
        std::string part = m_bytes.substr(m_at, count);
        m_at += count;
        return part;
    }
    uint32_t U32() {
        std::string b = Take(4);
        uint32_t v = 0;
        for (int i = 3; i >= 0; --i) v = (v << 8) | static_cast<unsigned char>(b[static_cast<size_t>(i)]);
        return v;
    }
    uint64_t U64() {
        uint64_t low = U32();
        return low | (uint64_t{U32()} << 32);
    }
    std::string Name() {
        uint32_t length = U32();
        std::string raw = Take(length);
        if (length == 0 || raw.back() != '\0' || raw.find('\0') != length - 1) {
            throw std::runtime_error("NameLength is not the name's length plus 1");
        }
        raw.pop_back();
        return raw;
    }
    bool AtEnd() const { return m_at == m_bytes.size(); }

private:
    std::string m_bytes;
    size_t m_at = 0;
};

void ReadNode(Cursor& in, const std::string& prefix, const std::string& data, PackImage& image) {
    uint32_t files = in.U32();
    for (uint32_t i = 0; i < files; ++i) {
        std::string name = in.Name();
        uint64_t offset = in.U64();
        uint32_t size = in.U32();
        in.U32();
        if (offset + size + 1 > data.size()) throw std::runtime_error(prefix + name + " lies outside data.vaf");
        if (data[offset + size] != '\0') throw std::runtime_error(prefix + name + " lacks its trailing zero");
        image.files.emplace_back(prefix + name, data.substr(offset, size));
    }
    uint32_t folders = in.U32();
    for (uint32_t i = 0; i < folders; ++i) {
        std::string name = in.Name();
        ReadNode(in, prefix + name + "\\", data, image);
    }
}

}  // namespace

std::map<std::string, std::string> PackImage::Content() const {
    std::map<std::string, std::string> content;
    for (const auto& [path, bytes] : files) {
        if (!content.emplace(path, bytes).second) throw std::runtime_error("two files at " + path);
    }
    return content;
}

PackImage ReadPack(const std::string& folder) {
    std::string data = testsupport::ReadFile(folder + "/data.vaf");
    Cursor in(testsupport::ReadFile(folder + "/data.vah"));
    PackImage image;
    if (in.Take(3) != "VAH") throw std::runtime_error("no magic");
    image.stamp = in.U32();
    image.fileCount = in.U32();
    image.block = in.Take(40);
    image.rootName = in.Name();
    ReadNode(in, "", data, image);
    uint32_t rest = in.U32();
    for (uint32_t i = 0; i < rest; ++i) {
        RestSpec entry;
        entry.name = in.Name();
        entry.offset = in.U64();
        entry.size = in.U32();
        in.U32();
        image.rest.push_back(entry);
    }
    image.wasted = in.U32();
    if (!in.AtEnd()) throw std::runtime_error("bytes after WastedBytes");
    return image;
}

void ExpectPack(const std::string& folder, const std::map<std::string, std::string>& expected) {
    CRecordingHost host;
    CPackUpdater pack(host, folder);
    ASSERT_TRUE(pack.LoadGameHeader()) << folder;
    std::optional<uint64_t> size = platform::FileSize(folder + "/data.vaf");
    ASSERT_TRUE(size);
    std::optional<std::string> conflict = FindPackConflict(pack, *size);
    EXPECT_FALSE(conflict) << *conflict;
    EXPECT_EQ(ReadPack(folder).Content(), expected);
}

}  // namespace packtest
