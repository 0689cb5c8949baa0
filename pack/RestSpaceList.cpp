#include "pack/RestSpaceList.h"

#include <algorithm>
#include <bit>
#include <numeric>
#include <utility>

void CRestSpaceList::LoadSorted(std::vector<PackFileEntry> entriesAsRead) {
    std::vector<size_t> order(entriesAsRead.size());
    std::iota(order.begin(), order.end(), size_t{0});
    std::sort(order.begin(), order.end(), [&](size_t a, size_t b) {
        if (entriesAsRead[a].Size != entriesAsRead[b].Size) return entriesAsRead[a].Size < entriesAsRead[b].Size;
        return a > b;  // the later of two equal entries was inserted in front
    });
    Clear();
    m_slots.reserve(order.size());
    for (size_t index : order) m_slots.push_back(std::move(entriesAsRead[index]));
    m_alive.assign(m_slots.size(), true);
    m_nLive = m_slots.size();
    Rebuild(std::max<size_t>(16, std::bit_ceil(m_slots.size())));
}

void CRestSpaceList::Clear() {
    m_slots.clear();
    m_alive.clear();
    m_tree.clear();
    m_nCapacity = 0;
    m_nLive = 0;
    m_nFront = 0;
}

void CRestSpaceList::Rebuild(size_t capacity) {
    m_nCapacity = capacity;
    m_tree.assign(2 * capacity, -1);
    for (size_t i = 0; i < m_slots.size(); ++i) {
        if (m_alive[i]) m_tree[capacity + i] = m_slots[i].Size;
    }
    for (size_t node = capacity - 1; node > 0; --node) m_tree[node] = std::max(m_tree[2 * node], m_tree[2 * node + 1]);
}

void CRestSpaceList::SetLeaf(size_t position, int64_t value) {
    size_t node = m_nCapacity + position;
    m_tree[node] = value;
    for (node /= 2; node > 0; node /= 2) m_tree[node] = std::max(m_tree[2 * node], m_tree[2 * node + 1]);
}

void CRestSpaceList::Append(PackFileEntry entry) {
    if (m_slots.size() == m_nCapacity) {
        m_slots.push_back(std::move(entry));
        m_alive.push_back(true);
        ++m_nLive;
        Rebuild(std::max<size_t>(16, 2 * m_nCapacity));
        return;
    }
    uint32_t size = entry.Size;
    m_slots.push_back(std::move(entry));
    m_alive.push_back(true);
    ++m_nLive;
    SetLeaf(m_slots.size() - 1, size);
}

size_t CRestSpaceList::FindFirstFit(uint32_t size) const {
    if (m_nLive == 0 || m_tree[1] < static_cast<int64_t>(size)) return npos;
    size_t node = 1;
    while (node < m_nCapacity) {
        node *= 2;
        if (m_tree[node] < static_cast<int64_t>(size)) ++node;
    }
    return node - m_nCapacity;
}

PackFileEntry CRestSpaceList::Take(size_t position) {
    PackFileEntry entry = std::move(m_slots[position]);
    m_alive[position] = false;
    --m_nLive;
    SetLeaf(position, -1);
    while (m_nFront < m_slots.size() && !m_alive[m_nFront]) ++m_nFront;
    // Dead slots are only skipped; drop them once they outnumber the live ones.
    if (m_slots.size() > 64 && m_slots.size() - m_nLive > 2 * m_nLive) Compact();
    return entry;
}

PackFileEntry CRestSpaceList::TakeFront() { return Take(m_nFront); }

void CRestSpaceList::Compact() {
    size_t kept = 0;
    for (size_t i = 0; i < m_slots.size(); ++i) {
        if (!m_alive[i]) continue;
        if (kept != i) m_slots[kept] = std::move(m_slots[i]);
        ++kept;
    }
    m_slots.resize(kept);
    m_alive.assign(kept, true);
    m_nFront = 0;
    Rebuild(std::max<size_t>(16, std::bit_ceil(kept)));
}
