#include "pack/PackFolder.h"

#include <utility>

void PackFolder::AppendFile(PackFileEntry entry) {
    m_files.push_back(std::move(entry));
    if (!m_pFileIndex) return;
    auto last = std::prev(m_files.end());
    auto [slot, inserted] = m_pFileIndex->try_emplace(std::string_view(last->Name), FileSlot{last, 1});
    if (!inserted) ++slot->second.count;
}

PackFolder& PackFolder::AppendFolder(std::string name) {
    m_folders.push_back(std::make_unique<PackFolder>(std::move(name)));
    PackFolder& folder = *m_folders.back();
    if (m_pFolderIndex) m_pFolderIndex->try_emplace(std::string_view(folder.m_strName), &folder);
    return folder;
}

void PackFolder::IndexFiles() const {
    auto& files = const_cast<FileList&>(m_files);
    m_pFileIndex = std::make_unique<FileIndex>(files.size());
    for (auto it = files.begin(); it != files.end(); ++it) {
        auto [slot, inserted] = m_pFileIndex->try_emplace(std::string_view(it->Name), FileSlot{it, 1});
        if (!inserted) ++slot->second.count;
    }
}

void PackFolder::IndexFolders() const {
    m_pFolderIndex = std::make_unique<FolderIndex>(m_folders.size());
    for (const auto& folder : m_folders) m_pFolderIndex->try_emplace(std::string_view(folder->m_strName), folder.get());
}

PackFolder::FileList::iterator PackFolder::FirstFile(std::string_view name) const {
    auto& files = const_cast<FileList&>(m_files);
    if (!m_pFileIndex && files.size() >= kIndexThreshold) IndexFiles();
    if (m_pFileIndex) {
        auto slot = m_pFileIndex->find(name);
        return slot == m_pFileIndex->end() ? files.end() : slot->second.first;
    }
    for (auto it = files.begin(); it != files.end(); ++it) {
        if (pack::NamesEqual(it->Name, name)) return it;
    }
    return files.end();
}

const PackFileEntry* PackFolder::FindFile(std::string_view name) const {
    auto it = FirstFile(name);
    return it == m_files.end() ? nullptr : &*it;
}

bool PackFolder::TakeFile(std::string_view name, PackFileEntry& taken) {
    auto it = FirstFile(name);
    if (it == m_files.end()) return false;
    if (m_pFileIndex) {
        auto slot = m_pFileIndex->find(std::string_view(it->Name));
        size_t remaining = slot->second.count - 1;
        m_pFileIndex->erase(slot);
        if (remaining > 0) {
            // The next file of the same name in list order becomes the first match.
            auto next = std::next(it);
            while (!pack::NamesEqual(next->Name, it->Name)) ++next;
            m_pFileIndex->emplace(std::string_view(next->Name), FileSlot{next, remaining});
        }
    }
    taken = std::move(*it);
    m_files.erase(it);
    return true;
}

PackFolder::FileList PackFolder::TakeAllFiles() {
    m_pFileIndex.reset();
    return std::exchange(m_files, {});
}

PackFolder* PackFolder::FindFolder(std::string_view name) const {
    if (!m_pFolderIndex && m_folders.size() >= kIndexThreshold) IndexFolders();
    if (m_pFolderIndex) {
        auto found = m_pFolderIndex->find(name);
        return found == m_pFolderIndex->end() ? nullptr : found->second;
    }
    for (const auto& folder : m_folders) {
        if (pack::NamesEqual(folder->m_strName, name)) return folder.get();
    }
    return nullptr;
}

void PackFolder::Clear() {
    m_pFileIndex.reset();
    m_pFolderIndex.reset();
    m_files.clear();
    m_folders.clear();
}
