#pragma once
// A folder of the pack tree: its files and subfolders in the order the header
// stores them. Lookups by name find the first match in list order; large folders
// keep a name index so that a lookup does not walk the whole list.
#include <cstddef>
#include <list>
#include <memory>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "pack/PackFileEntry.h"
#include "pack/PackName.h"

class PackFolder {
public:
    using FileList = std::list<PackFileEntry>;
    using FolderList = std::vector<std::unique_ptr<PackFolder>>;

    explicit PackFolder(std::string name = {}) : m_strName(std::move(name)) {}
    PackFolder(const PackFolder&) = delete;
    PackFolder& operator=(const PackFolder&) = delete;

    const std::string& Name() const { return m_strName; }
    // Only for a folder that is nobody's subfolder (a root being read).
    void SetName(std::string name) { m_strName = std::move(name); }
    const FileList& Files() const { return m_files; }
    const FolderList& Folders() const { return m_folders; }

    void AppendFile(PackFileEntry entry);
    PackFolder& AppendFolder(std::string name);

    // The first file in list order whose name equals `name` (A-Z case ignored), or null.
    const PackFileEntry* FindFile(std::string_view name) const;
    // Takes that first file out of the list; false when there is none.
    bool TakeFile(std::string_view name, PackFileEntry& taken);
    // Moves every file out, in list order, leaving the folder without files.
    FileList TakeAllFiles();
    PackFolder* FindFolder(std::string_view name) const;

    // Frees the subtree and every entry.
    void Clear();

private:
    struct FileSlot {
        FileList::iterator first;
        size_t count;
    };
    using FileIndex = std::unordered_map<std::string_view, FileSlot, pack::NameHash, pack::NameEqual>;
    using FolderIndex = std::unordered_map<std::string_view, PackFolder*, pack::NameHash, pack::NameEqual>;

    // Below this many entries a scan is cheaper than an index.
    static constexpr size_t kIndexThreshold = 8;

    void IndexFiles() const;
    void IndexFolders() const;
    FileList::iterator FirstFile(std::string_view name) const;

    std::string m_strName;
    FileList m_files;
    FolderList m_folders;
    // Built on the first lookup in a large folder, kept up to date afterwards.
    mutable std::unique_ptr<FileIndex> m_pFileIndex;
    mutable std::unique_ptr<FolderIndex> m_pFolderIndex;
};
