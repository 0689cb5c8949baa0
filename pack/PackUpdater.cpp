#include "pack/PackUpdater.h"

#include <algorithm>
#include <cstring>
#include <stdexcept>
#include <utility>

#include "platform/CodePage.h"
#include "platform/FileSystem.h"

namespace {

// The copy buffer of the process; its presence marks the one live CPackUpdater.
std::unique_ptr<char[]> g_copyBuffer;

constexpr char kMagic[3] = {'V', 'A', 'H'};
// Smallest records a count can announce: a one-byte name and the fixed fields.
constexpr uint64_t kMinFileRecord = 4 + 1 + 8 + 4 + 4;
constexpr uint64_t kMinFolderRecord = 4 + 1 + 4 + 4;

// Next separator at or after `from`. Pack names are GBK: the trail byte of a
// double-byte character is never taken for one.
size_t NextSeparator(std::string_view path, size_t from, bool slashToo) {
    size_t backslash = platform::FindCharacter(path, from, '\\');
    if (!slashToo) return backslash;
    return std::min(backslash, platform::FindCharacter(path, from, '/'));
}

void ExtendToRegionsOf(const PackFolder& folder, uint64_t& end) {
    for (const PackFileEntry& entry : folder.Files()) end = std::max(end, entry.Offset + RegionLength(entry));
    for (const auto& child : folder.Folders()) ExtendToRegionsOf(*child, end);
}

bool CountFits(int32_t count, uint64_t recordSize, const CHeaderReader& reader) {
    return count >= 0 && static_cast<uint64_t>(count) * recordSize <= reader.Remaining();
}

}  // namespace

char* CPackUpdater::CopyBuffer() { return g_copyBuffer.get(); }

CPackUpdater::CPackUpdater(IPackHost& host, std::string folder)
    : m_host(host),
      m_strFolder(std::move(folder)),
      m_pGameRoot(std::make_unique<PackFolder>()),
      m_pUpdateRoot(std::make_unique<PackFolder>()) {
    if (g_copyBuffer) throw std::logic_error("a second CPackUpdater while one exists");
    m_strDataHeader = InFolder("data.vah");
    m_strUpdateHeader = InFolder("update.vah");
    // The data files and the log are named after their headers.
    m_strDataFile = m_strDataHeader.substr(0, m_strDataHeader.size() - 1) + "f";
    m_strUpdateFile = m_strUpdateHeader.substr(0, m_strUpdateHeader.size() - 1) + "f";
    m_strUpdateLog = m_strUpdateHeader.substr(0, m_strUpdateHeader.size() - 3) + "log";
    g_copyBuffer.reset(new char[kCopyBufferSize]);  // no need to clear what every copy overwrites
}

CPackUpdater::~CPackUpdater() {
    CloseAll();
    g_copyBuffer.reset();
}

std::string CPackUpdater::InFolder(std::string_view name) const {
    if (m_strFolder.empty()) return std::string(name);
    return m_strFolder + "/" + std::string(name);
}

void CPackUpdater::CloseAll() {
    m_pBatch.reset();
    m_pUpdateWindow.reset();
    m_dataFile.Close();
    m_headerFile.Close();
    m_updateDataFile.Close();
    m_updateHeaderFile.Close();
}

bool CPackUpdater::ReadFolder(CHeaderReader& reader, PackFolder& folder) {
    std::string name;
    if (!reader.ReadName(name)) return false;
    folder.SetName(std::move(name));
    return ReadFolderBody(reader, folder, 0);
}

bool CPackUpdater::ReadFolderBody(CHeaderReader& reader, PackFolder& folder, int depth) {
    int32_t fileCount = 0;
    if (!reader.ReadI32(fileCount) || !CountFits(fileCount, kMinFileRecord, reader)) return false;
    for (int32_t i = 0; i < fileCount; ++i) {
        PackFileEntry entry;
        if (!reader.ReadName(entry.Name) || !reader.ReadU64(entry.Offset) || !reader.ReadU32(entry.Size) ||
            !reader.ReadU32(entry.Extra)) {
            return false;
        }
        folder.AppendFile(std::move(entry));
    }
    int32_t folderCount = 0;
    if (!reader.ReadI32(folderCount) || !CountFits(folderCount, kMinFolderRecord, reader)) return false;
    if (folderCount > 0 && depth >= kMaxFolderDepth) return false;
    for (int32_t i = 0; i < folderCount; ++i) {
        std::string name;
        if (!reader.ReadName(name)) return false;
        if (!ReadFolderBody(reader, folder.AppendFolder(std::move(name)), depth + 1)) return false;
    }
    return true;
}

void CPackUpdater::WriteFolder(CHeaderWriter& writer, const PackFolder& folder) const {
    writer.WriteName(folder.Name());
    writer.WriteI32(static_cast<int32_t>(folder.Files().size()));
    for (const PackFileEntry& entry : folder.Files()) {
        writer.WriteName(entry.Name);
        writer.WriteU64(entry.Offset);
        writer.WriteU32(entry.Size);
        writer.WriteU32(entry.Extra);
    }
    writer.WriteI32(static_cast<int32_t>(folder.Folders().size()));
    for (const auto& child : folder.Folders()) WriteFolder(writer, *child);
}

bool CPackUpdater::ReadRestSpace(CHeaderReader& reader) {
    uint32_t count = 0;
    if (!reader.ReadU32(count) || uint64_t{count} * kMinFileRecord > reader.Remaining()) return false;
    std::vector<PackFileEntry> entries(count);
    for (PackFileEntry& entry : entries) {
        if (!reader.ReadName(entry.Name) || !reader.ReadU64(entry.Offset) || !reader.ReadU32(entry.Size) ||
            !reader.ReadU32(entry.Extra)) {
            return false;
        }
    }
    m_restSpace.LoadSorted(std::move(entries));
    return true;
}

void CPackUpdater::WriteRestSpace(CHeaderWriter& writer) const {
    writer.WriteU32(static_cast<uint32_t>(m_restSpace.Count()));
    m_restSpace.ForEach([&](const PackFileEntry& entry) {
        writer.WriteName(entry.Name);
        writer.WriteU64(entry.Offset);
        writer.WriteU32(entry.Size);
        writer.WriteU32(entry.Extra);
    });
}

bool CPackUpdater::ReadGameHeader(CHeaderReader& reader, bool compareMagic,
                                  std::array<char, kHeaderBlockSize>& block) {
    m_bLoaded = false;
    m_pGameRoot = std::make_unique<PackFolder>();
    m_restSpace.Clear();
    char magic[sizeof kMagic];
    if (!reader.ReadBytes(magic, sizeof magic)) return false;
    if (compareMagic && std::memcmp(magic, kMagic, sizeof kMagic) != 0) return false;
    if (!reader.ReadU32(m_uGameStamp) || !reader.ReadU32(m_uGameFileCount) ||
        !reader.ReadBytes(block.data(), block.size())) {
        return false;
    }
    if (!ReadFolder(reader, *m_pGameRoot) || !ReadRestSpace(reader)) return false;
    // A header may end right after the rest space list; a field cut short is damage.
    m_uWastedBytes = 0;
    if (!reader.AtEnd() && !reader.ReadU32(m_uWastedBytes)) return false;
    m_bLoaded = true;
    return true;
}

bool CPackUpdater::LoadGameHeader() {
    if (!m_headerFile.Open(m_strDataHeader, platform::CFile::Mode::Read)) return false;
    CHeaderReader reader(m_headerFile);
    bool ok = ReadGameHeader(reader, true, m_headerBlock);
    m_headerFile.Close();
    return ok;
}

uint64_t CPackUpdater::LogicalEnd() const {
    uint64_t end = 0;
    ExtendToRegionsOf(*m_pGameRoot, end);
    m_restSpace.ForEach(
        [&end](const PackFileEntry& entry) { end = std::max(end, entry.Offset + RegionLength(entry)); });
    return end;
}

std::string CPackUpdater::BuildGameHeader(uint32_t stamp, uint32_t fileCount,
                                          const std::array<char, kHeaderBlockSize>& block) const {
    CHeaderWriter writer;
    writer.WriteBytes(kMagic, sizeof kMagic);
    writer.WriteU32(stamp);
    writer.WriteU32(fileCount);
    writer.WriteBytes(block.data(), block.size());
    WriteFolder(writer, *m_pGameRoot);
    WriteRestSpace(writer);
    writer.WriteU32(m_uWastedBytes);
    return writer.Bytes();
}

bool CPackUpdater::WriteGameHeader(uint32_t stamp, uint32_t fileCount) {
    // A new file flushed and renamed over the old one: a crash or a full disk
    // leaves the previous header whole instead of a cut-off one.
    return platform::WriteFileAtomically(m_strDataHeader, BuildGameHeader(stamp, fileCount, m_headerBlock));
}

void CPackUpdater::RemovePath(std::string_view path) {
    PackFolder* folder = m_pGameRoot.get();
    size_t start = 0;
    for (size_t separator; (separator = NextSeparator(path, start, true)) != std::string_view::npos;
         start = separator + 1) {
        folder = folder->FindFolder(path.substr(start, separator - start));
        if (!folder) return;
    }
    RemoveFile(*folder, path.substr(start));
}

void CPackUpdater::RemoveFile(PackFolder& folder, std::string_view name) {
    PackFileEntry taken;
    if (name.empty() || !folder.TakeFile(name, taken)) return;
    // A file of Size 0 owns a single byte; that byte is not worth a list entry.
    if (taken.Size != 0) m_restSpace.Append(std::move(taken));
    --m_uGameFileCount;
}

const PackFileEntry* CPackUpdater::FindPath(std::string_view path) const {
    const PackFolder* folder = m_pGameRoot.get();
    size_t start = 0;
    for (size_t separator; (separator = NextSeparator(path, start, true)) != std::string_view::npos;
         start = separator + 1) {
        folder = folder->FindFolder(path.substr(start, separator - start));
        if (!folder) return nullptr;
    }
    std::string_view name = path.substr(start);
    return name.empty() ? nullptr : folder->FindFile(name);
}

void CPackUpdater::InsertPath(std::string_view path, PackFileEntry entry) {
    PackFolder* folder = m_pGameRoot.get();
    size_t start = 0;
    for (size_t separator; (separator = NextSeparator(path, start, false)) != std::string_view::npos;
         start = separator + 1) {
        std::string_view name = path.substr(start, separator - start);
        PackFolder* next = folder->FindFolder(name);
        folder = next ? next : &folder->AppendFolder(std::string(name));
    }
    folder->AppendFile(std::move(entry));
}
