#include "pack/PackVerify.h"

#include <algorithm>
#include <vector>

#include "platform/CodePage.h"

namespace {

struct Region {
    std::string label;
    uint64_t offset;
    uint64_t length;
};

void VisitFolder(const PackFolder& folder, const std::string& prefix,
                 const std::function<void(const std::string&, const PackFileEntry&)>& visit) {
    for (const PackFileEntry& entry : folder.Files()) visit(prefix + entry.Name, entry);
    for (const auto& child : folder.Folders()) VisitFolder(*child, prefix + child->Name() + "\\", visit);
}

// Labels hold GBK pack names; the description is for a person, in UTF-8.
std::string Describe(const Region& region) {
    return platform::GbkToUtf8(region.label) + " [" + std::to_string(region.offset) + ", +" +
           std::to_string(region.length) + ")";
}

}  // namespace

void ForEachPackFile(const PackFolder& root,
                     const std::function<void(const std::string&, const PackFileEntry&)>& visit) {
    VisitFolder(root, std::string(), visit);
}

std::optional<std::string> FindPackConflict(const CPackUpdater& pack, uint64_t dataFileSize) {
    std::vector<Region> regions;
    ForEachPackFile(pack.GameRoot(), [&](const std::string& path, const PackFileEntry& entry) {
        regions.push_back({path, entry.Offset, RegionLength(entry)});
    });
    size_t index = 0;
    pack.RestSpace().ForEach([&](const PackFileEntry& entry) {
        regions.push_back({"rest space #" + std::to_string(index++) + " \"" + entry.Name + "\"", entry.Offset,
                           RegionLength(entry)});
    });
    for (const Region& region : regions) {
        if (region.offset > dataFileSize || region.length > dataFileSize - region.offset) {
            return Describe(region) + " lies outside data.vaf (" + std::to_string(dataFileSize) + " bytes)";
        }
    }
    std::vector<size_t> order(regions.size());
    for (size_t i = 0; i < order.size(); ++i) order[i] = i;
    std::sort(order.begin(), order.end(), [&](size_t a, size_t b) {
        return regions[a].offset != regions[b].offset ? regions[a].offset < regions[b].offset : a < b;
    });
    // The region reaching furthest so far; any later start before its end overlaps it.
    const Region* furthest = nullptr;
    for (size_t i : order) {
        const Region& region = regions[i];
        if (furthest && region.offset < furthest->offset + furthest->length) {
            return Describe(*furthest) + " overlaps " + Describe(region);
        }
        if (!furthest || region.offset + region.length > furthest->offset + furthest->length) furthest = &region;
    }
    return std::nullopt;
}
