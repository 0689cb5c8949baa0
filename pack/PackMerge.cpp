// Merging an update pack into the game pack. File bytes go only into free regions
// and at the logical end of data.vaf while data.vah still describes the old pack;
// the header is replaced once, after every copy is on disk.
#include <algorithm>

#include "pack/PackMessages.h"
#include "pack/PackUpdater.h"
#include "platform/CodePage.h"
#include "platform/FileSystem.h"
#include "platform/FileWriteback.h"

using platform::CFile;

bool CPackUpdater::MergeUpdatePack() {
    if (!platform::PathExists(m_strDataHeader) || !platform::PathExists(m_strDataFile)) {
        m_host.WriteStartUpdate("UPDATE_START");
        m_host.ShowStatusError(packmsg::DataMissing());
        return false;
    }
    if (!platform::PathExists(m_strUpdateHeader) || !platform::PathExists(m_strUpdateFile)) {
        m_host.ShowStatusError(packmsg::UpdateMissing());
        return false;
    }
    if (!m_headerFile.Open(m_strDataHeader, CFile::Mode::Read)) {
        m_host.ShowStatusError(packmsg::CannotOpenDataHeader(m_strDataHeader));
        return false;
    }
    if (!m_updateHeaderFile.Open(m_strUpdateHeader, CFile::Mode::Read)) {
        m_headerFile.Close();
        m_host.ShowStatusError(packmsg::CannotOpenUpdateHeader(m_strUpdateHeader));
        return false;
    }
    CHeaderReader game(m_headerFile);
    CHeaderReader update(m_updateHeaderFile);
    bool merged = ApplyUpdatePack(game, update);
    CloseAll();
    return merged;
}

bool CPackUpdater::ApplyUpdatePack(CHeaderReader& game, CHeaderReader& update) {
    // The game's own block is replaced by the update's in the new header.
    std::array<char, kHeaderBlockSize> gameBlock{};
    bool gameRead = ReadGameHeader(game, true, gameBlock);
    m_headerFile.Close();
    if (!gameRead) {
        m_host.ShowStatusError(packmsg::DataHeaderError());
        return false;
    }
    // Taken from the header as it stands on disk, before any of its files moves.
    m_uDataEnd = LogicalEnd();
    // From here until the new header is written the object is no saveable pack:
    // the block is the update's and the tree lacks the files being moved.
    m_bLoaded = false;
    bool updateRead = ReadUpdateHeader(update);
    m_updateHeaderFile.Close();
    if (!updateRead) {
        m_host.ShowStatusError(packmsg::UpdateHeaderError());
        return false;
    }

    m_pending.clear();
    m_updateFolders.assign(1, UpdateFolderLink{0, {}, m_pGameRoot.get()});
    CollectUpdateFiles(*m_pUpdateRoot, 0);
    m_host.SetFileProgressRange(0, m_uUpdateFileCount);
    m_host.SetFileProgressPos(0);
    m_uCopyCount = 0;

    // The header about to name the copied bytes may only reach the disk after them.
    if (!CopyUpdateFiles() || (m_dataFile.IsOpen() && !m_dataFile.Sync())) {
        m_host.ShowStatusError(packmsg::CopyFailed());
        return false;
    }
    CloseAll();

    m_host.WriteStartUpdate("UPDATE_START");
    uint32_t fileCount = m_uUpdateFileCount + m_uGameFileCount;
    if (!WriteGameHeader(m_uUpdateStamp, fileCount)) {
        m_host.ShowStatusError(packmsg::SaveHeaderFailed());
        return false;
    }
    // The object now describes the header on disk.
    m_uGameFileCount = fileCount;
    m_uGameStamp = m_uUpdateStamp;
    m_bLoaded = true;
    m_host.WriteStartUpdate("UPDATE_END");
    platform::RemoveFile(m_strUpdateFile);
    platform::RemoveFile(m_strUpdateHeader);
    platform::RemoveFile(m_strUpdateLog);
    return true;
}

bool CPackUpdater::ReadUpdateHeader(CHeaderReader& reader) {
    char magic[3];
    if (!reader.ReadBytes(magic, sizeof magic) || std::string_view(magic, 3) != "VAH") return false;
    if (!reader.ReadU32(m_uUpdateStamp) || !reader.ReadU32(m_uUpdateFileCount) ||
        !reader.ReadBytes(m_headerBlock.data(), m_headerBlock.size())) {
        return false;
    }
    m_pUpdateRoot = std::make_unique<PackFolder>();
    // Nothing after the update's folder tree is read.
    return ReadFolder(reader, *m_pUpdateRoot) && CheckUpdateNames(*m_pUpdateRoot);
}

// Update names are bare names. One that holds a separator would be split into
// folders on insertion but looked up differently on removal, leaving two versions
// of a file in the pack; such a header is refused as damaged.
bool CPackUpdater::CheckUpdateNames(const PackFolder& folder) const {
    auto bare = [](const std::string& name) {
        return platform::FindCharacter(name, 0, '\\') == std::string::npos &&
               platform::FindCharacter(name, 0, '/') == std::string::npos;
    };
    for (const PackFileEntry& entry : folder.Files()) {
        if (!bare(entry.Name)) return false;
    }
    for (const auto& child : folder.Folders()) {
        if (!bare(child->Name()) || !CheckUpdateNames(*child)) return false;
    }
    return true;
}

// The game's version of each update file is taken out now; folders are found but
// not yet made, so that an update folder without files adds nothing.
void CPackUpdater::CollectUpdateFiles(PackFolder& folder, size_t link) {
    for (PackFileEntry& entry : folder.TakeAllFiles()) {
        if (PackFolder* game = m_updateFolders[link].Game) RemoveFile(*game, entry.Name);
        m_pending.push_back({link, std::move(entry)});
    }
    for (const auto& child : folder.Folders()) {
        PackFolder* game = m_updateFolders[link].Game;
        m_updateFolders.push_back({link, child->Name(), game ? game->FindFolder(child->Name()) : nullptr});
        CollectUpdateFiles(*child, m_updateFolders.size() - 1);
    }
}

// A folder missing from the game pack is appended to its parent when its first
// file arrives, or found if an update folder of the same name made it already.
PackFolder& CPackUpdater::MakeGameFolder(size_t link) {
    UpdateFolderLink& folder = m_updateFolders[link];
    if (!folder.Game) {
        PackFolder& parent = MakeGameFolder(folder.Parent);
        PackFolder* found = parent.FindFolder(folder.Name);
        folder.Game = found ? found : &parent.AppendFolder(std::string(folder.Name));
    }
    return *folder.Game;
}

bool CPackUpdater::CopyUpdateFiles() {
    if (m_pending.empty()) return true;
    if (!OpenCopyFiles() || !CutOrphanedTail()) return false;
    m_pBatch = std::make_unique<CDataFileBatch>(m_dataFile, CopyBuffer(), kCopyBufferSize);
    m_pUpdateWindow = std::make_unique<CFileWindow>(m_updateDataFile);
    m_uWrittenAtWriteback = 0;
    for (UpdatePathEntry& pending : m_pending) {
        uint64_t offset = 0;
        bool copied = AllocateRestSpace(pending.Entry.Size, offset) ? CopyIntoRestSpace(pending.Entry, offset)
                                                                    : AppendToDataFile(pending.Entry);
        if (!copied) return false;
        MakeGameFolder(pending.Folder).AppendFile(std::move(pending.Entry));
    }
    return m_pBatch->Flush();
}

bool CPackUpdater::AllocateRestSpace(uint32_t size, uint64_t& offset) {
    size_t position = m_restSpace.FindFirstFit(size);
    if (position == CRestSpaceList::npos) return false;
    PackFileEntry chosen = m_restSpace.Take(position);
    offset = chosen.Offset;
    // The file takes size + 1 bytes; a remainder of one byte is not worth an entry.
    uint32_t rest = chosen.Size - size;
    if (rest > 1) m_restSpace.Append({"rest space", chosen.Offset + size + 1, rest - 1, 0});
    return true;
}

bool CPackUpdater::OpenCopyFiles() {
    // Both stay open for the whole merge: reopening them per file buys nothing.
    if (!m_dataFile.IsOpen() && !m_dataFile.Open(m_strDataFile, CFile::Mode::ReadWrite)) return false;
    if (!m_updateDataFile.IsOpen() && !m_updateDataFile.Open(m_strUpdateFile, CFile::Mode::Read)) return false;
    return true;
}

bool CPackUpdater::CopyIntoRestSpace(PackFileEntry& entry, uint64_t offset) {
    return OpenCopyFiles() && CopyEntryBytes(entry, offset);
}

// Bytes past the logical end belong to no file: the copies of a merge that died
// before its header was written (or failed). The old header names none of them,
// so they can go; kept, they would stay unused for good, and every repeat of the
// merge would append after them.
bool CPackUpdater::CutOrphanedTail() {
    std::optional<uint64_t> size = m_dataFile.Size();
    if (!size) return false;
    return *size <= m_uDataEnd || m_dataFile.Truncate(m_uDataEnd);
}

bool CPackUpdater::AppendToDataFile(PackFileEntry& entry) {
    return OpenCopyFiles() && CopyEntryBytes(entry, m_uDataEnd);
}

// The flush before the header is rewritten would otherwise write a whole large
// merge at once; starting the write-back as the copy goes overlaps the two.
void CPackUpdater::StartWritebackEvery16MiB() {
    constexpr uint64_t kWritebackStep = 16u << 20;
    if (m_pBatch->Written() - m_uWrittenAtWriteback < kWritebackStep) return;
    platform::StartWriteback(m_dataFile, 0, 0);
    m_uWrittenAtWriteback = m_pBatch->Written();
}

bool CPackUpdater::CopyEntryBytes(PackFileEntry& entry, uint64_t target) {
    // Its bytes and the zero that follows every file.
    size_t length = size_t{entry.Size} + 1;
    char* place = nullptr;
    if (!m_pBatch->Reserve(target, length, place)) return false;
    // An update file that ends early is a broken pack, not a shorter file.
    if (place) {
        if (!m_pUpdateWindow->Read(place, entry.Size, entry.Offset)) return false;
        place[entry.Size] = '\0';
    } else if (!CopyLargeEntry(entry, target)) {
        return false;
    }
    m_uDataEnd = std::max(m_uDataEnd, target + length);
    StartWritebackEvery16MiB();
    entry.Offset = target;
    ++m_uCopyCount;
    m_host.SetFileProgressPos(m_uCopyCount);
    return true;
}

// A file larger than the copy buffer goes straight through it, chunk by chunk.
bool CPackUpdater::CopyLargeEntry(const PackFileEntry& entry, uint64_t target) {
    char* buffer = CopyBuffer();
    for (uint64_t done = 0; done < entry.Size;) {
        size_t chunk = static_cast<size_t>(std::min<uint64_t>(entry.Size - done, kCopyBufferSize));
        if (m_updateDataFile.ReadAt(buffer, chunk, entry.Offset + done) != chunk) return false;
        if (!m_pBatch->WriteDirect(buffer, chunk, target + done)) return false;
        done += chunk;
    }
    return m_pBatch->WriteDirect("", 1, target + entry.Size);
}
