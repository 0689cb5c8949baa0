#include "tools/publish/PackSnapshot.h"

#include "platform/FileSystem.h"

namespace {

class CSilentHost : public IPackHost {
public:
    void ShowStatusError(const std::string& text) override { m_last = text; }
    void SetFileProgressRange(uint64_t, uint64_t) override {}
    void SetFileProgressPos(uint64_t) override {}
    bool WriteStartUpdate(const std::string&) override { return true; }
    std::string m_last;
};

void Collect(const PackFolder& folder, const std::string& prefix, std::vector<PackSnapshotFile>& files) {
    for (const PackFileEntry& entry : folder.Files()) {
        files.push_back({prefix.empty() ? entry.Name : prefix + "\\" + entry.Name, entry});
    }
    for (const auto& sub : folder.Folders()) {
        Collect(*sub, prefix.empty() ? sub->Name() : prefix + "\\" + sub->Name(), files);
    }
}

}  // namespace

PackSnapshot ReadPackSnapshot(const std::string& folder, std::string& error) {
    PackSnapshot snapshot;
    if (!platform::RegularFileExists(folder + "/data.vah")) return snapshot;
    CSilentHost host;
    CPackUpdater pack(host, folder);
    if (!pack.LoadGameHeader()) {
        error = folder + "/data.vah cannot be read or is damaged";
        return snapshot;
    }
    snapshot.present = true;
    snapshot.stamp = pack.GameStamp();
    snapshot.headerBlock = pack.HeaderBlock();
    snapshot.dataFile = platform::ToNativePath(folder + "/data.vaf");
    Collect(pack.GameRoot(), "", snapshot.files);
    return snapshot;
}
