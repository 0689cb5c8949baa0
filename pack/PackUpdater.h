#pragma once
// The game pack in memory (data.vah with its tree and free regions) and the three
// things done to it: merging an update pack, applying delete.lst, saving the header.
// Pack files are named relative to the game folder (the current folder unless a
// folder is given). At most one CPackUpdater exists at a time: they share the one
// copy buffer of the process.
#include <array>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "pack/DataFileBatch.h"
#include "pack/FileWindow.h"
#include "pack/HeaderStream.h"
#include "pack/IPackHost.h"
#include "pack/PackFileEntry.h"
#include "pack/PackFolder.h"
#include "pack/RestSpaceList.h"
#include "platform/File.h"

// A folder of the update pack and the game folder that its files go into: found
// before the copy starts, made when the first file is placed. Merged files are
// placed through these links, never by a path text split again, so whatever bytes
// a name holds, a file lands in the folder it came from.
struct UpdateFolderLink {
    size_t Parent;          // the root's link is its own parent
    std::string_view Name;  // the update folder's name; the update tree outlives the merge
    PackFolder* Game;       // null while the game pack has no such folder
};

// A file of the update pack waiting to be copied, with its update folder's link.
struct UpdatePathEntry {
    size_t Folder;
    PackFileEntry Entry;
};

constexpr size_t kHeaderBlockSize = 40;
constexpr size_t kCopyBufferSize = 500000;
// Deeper trees than this are taken as damage: no path of the game gets near it.
constexpr int kMaxFolderDepth = 1024;

class CPackUpdater {
public:
    // `folder` is the game folder; empty means the current folder.
    explicit CPackUpdater(IPackHost& host, std::string folder = {});
    ~CPackUpdater();
    CPackUpdater(const CPackUpdater&) = delete;
    CPackUpdater& operator=(const CPackUpdater&) = delete;

    // Merges update.vah/update.vaf into the game pack and deletes the update files.
    // False after one status line has been shown.
    bool MergeUpdatePack();
    // Loads data.vah and removes every path named in delete.lst; false when data.vah
    // cannot be read or is damaged (nothing is changed then).
    bool ApplyDeleteList();
    // Trims the rest space list and rewrites data.vah when anything changed.
    bool SaveDataHeader();

    // Reads data.vah alone (the magic compared); false when it is missing or damaged.
    bool LoadGameHeader();
    // The same from any reader.
    bool LoadGameHeader(CHeaderReader& reader) { return ReadGameHeader(reader, true, m_headerBlock); }

    // Header format.
    bool ReadFolder(CHeaderReader& reader, PackFolder& folder);
    void WriteFolder(CHeaderWriter& writer, const PackFolder& folder) const;
    bool ReadRestSpace(CHeaderReader& reader);
    void WriteRestSpace(CHeaderWriter& writer) const;
    // Where the last region that the tree or the rest space names ends (its
    // terminating byte included): the pack's logical end, where appends go.
    uint64_t LogicalEnd() const;
    // The header bytes that a save would write.
    std::string BuildGameHeader(uint32_t stamp, uint32_t fileCount, const std::array<char, kHeaderBlockSize>& block) const;

    // Path operations on the game tree.
    void RemovePath(std::string_view path);
    void InsertPath(std::string_view path, PackFileEntry entry);
    // The file at a path, found as RemovePath finds it; null when absent.
    const PackFileEntry* FindPath(std::string_view path) const;

    void FreeFolder(PackFolder& folder) { folder.Clear(); }
    void ClearRestSpace() { m_restSpace.Clear(); }

    const PackFolder& GameRoot() const { return *m_pGameRoot; }
    const CRestSpaceList& RestSpace() const { return m_restSpace; }
    uint32_t GameFileCount() const { return m_uGameFileCount; }
    uint32_t GameStamp() const { return m_uGameStamp; }
    uint32_t WastedBytes() const { return m_uWastedBytes; }
    const std::array<char, kHeaderBlockSize>& HeaderBlock() const { return m_headerBlock; }
    const std::string& DataFilePath() const { return m_strDataFile; }
    const std::string& DataHeaderPath() const { return m_strDataHeader; }

private:
    bool ApplyUpdatePack(CHeaderReader& game, CHeaderReader& update);
    bool ReadGameHeader(CHeaderReader& reader, bool compareMagic, std::array<char, kHeaderBlockSize>& block);
    bool ReadFolderBody(CHeaderReader& reader, PackFolder& folder, int depth);
    bool ReadUpdateHeader(CHeaderReader& reader);
    void CollectUpdateFiles(PackFolder& folder, size_t link);
    PackFolder& MakeGameFolder(size_t link);
    // Takes a file out of a game folder into the rest space list.
    void RemoveFile(PackFolder& folder, std::string_view name);
    bool CopyUpdateFiles();
    bool AllocateRestSpace(uint32_t size, uint64_t& offset);
    bool CopyIntoRestSpace(PackFileEntry& entry, uint64_t offset);
    bool AppendToDataFile(PackFileEntry& entry);
    bool OpenCopyFiles();
    bool CutOrphanedTail();
    bool CopyEntryBytes(PackFileEntry& entry, uint64_t target);
    bool CopyLargeEntry(const PackFileEntry& entry, uint64_t target);
    void StartWritebackEvery16MiB();
    bool WriteGameHeader(uint32_t stamp, uint32_t fileCount);
    void CloseAll();
    std::string InFolder(std::string_view name) const;
    bool CheckUpdateNames(const PackFolder& folder) const;
    static char* CopyBuffer();

    IPackHost& m_host;
    std::string m_strFolder;

    platform::CFile m_dataFile;
    platform::CFile m_headerFile;
    platform::CFile m_updateDataFile;
    platform::CFile m_updateHeaderFile;

    std::array<char, kHeaderBlockSize> m_headerBlock{};

    std::string m_strDataFile;
    std::string m_strDataHeader;
    std::string m_strUpdateFile;
    std::string m_strUpdateHeader;
    std::string m_strUpdateLog;

    std::unique_ptr<PackFolder> m_pGameRoot;
    std::unique_ptr<PackFolder> m_pUpdateRoot;
    std::vector<UpdateFolderLink> m_updateFolders;
    std::vector<UpdatePathEntry> m_pending;
    CRestSpaceList m_restSpace;

    uint32_t m_uGameFileCount = 0;
    uint32_t m_uUpdateFileCount = 0;
    uint32_t m_uGameStamp = 0;
    uint32_t m_uUpdateStamp = 0;
    uint32_t m_uCopyCount = 0;
    // While the copies run: their reads of update.vaf, their writes into
    // data.vaf, and how far those had come when its write-back last started.
    std::unique_ptr<CFileWindow> m_pUpdateWindow;
    std::unique_ptr<CDataFileBatch> m_pBatch;
    uint64_t m_uWrittenAtWriteback = 0;
    // The logical end of the pack being merged: where the next append goes.
    uint64_t m_uDataEnd = 0;
    uint32_t m_uWastedBytes = 0;
    bool m_bChanged = false;
    // data.vah was read completely; nothing half-read is ever saved.
    bool m_bLoaded = false;
};
