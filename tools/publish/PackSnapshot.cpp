#include "tools/publish/PackSnapshot.h"

#include "pack/QuietPackHost.h"

#include "platform/FileSystem.h"

namespace {


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
    CQuietPackHost host;
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
