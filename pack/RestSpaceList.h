#pragma once
// The free regions of the data file, in list order. First fit asks for the first
// region in list order that is large enough; a max tree over the slots answers it
// in logarithmic time, so a merge of many files into a long list stays linear.
#include <cstddef>
#include <cstdint>
#include <vector>

#include "pack/PackFileEntry.h"

class CRestSpaceList {
public:
    static constexpr size_t npos = static_cast<size_t>(-1);

    // Replaces the list by entries in the order read from a header, each placed
    // before the first entry whose Size is at least its own: ascending Size, equal
    // Sizes in reverse order of reading.
    void LoadSorted(std::vector<PackFileEntry> entriesAsRead);
    void Append(PackFileEntry entry);
    void Clear();

    size_t Count() const { return m_nLive; }
    bool Empty() const { return m_nLive == 0; }

    // Position of the first entry in list order whose Size is at least `size`, or npos.
    size_t FindFirstFit(uint32_t size) const;
    const PackFileEntry& At(size_t position) const { return m_slots[position]; }
    PackFileEntry Take(size_t position);
    // Takes the entry at the front of the list.
    PackFileEntry TakeFront();

    template <typename Visit>
    void ForEach(Visit visit) const {
        for (size_t i = m_nFront; i < m_slots.size(); ++i) {
            if (m_alive[i]) visit(m_slots[i]);
        }
    }

private:
    void Rebuild(size_t capacity);
    void SetLeaf(size_t position, int64_t value);
    void Compact();

    std::vector<PackFileEntry> m_slots;
    std::vector<bool> m_alive;
    // Max of the Sizes below each node; a dead slot counts -1. Leaves start at m_nCapacity.
    std::vector<int64_t> m_tree;
    size_t m_nCapacity = 0;
    size_t m_nLive = 0;
    size_t m_nFront = 0;  // no live slot before this one
};
