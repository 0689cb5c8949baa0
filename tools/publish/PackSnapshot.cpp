#include "tools/publish/PackSnapshot.h"

#include "pack/PackName.h"
#include "pack/QuietPackHost.h"
#include "platform/CodePage.h"
#include "platform/FileSystem.h"

namespace {

// Paths are how a patch names pack files (update.vah is built from them, delete.lst
// lists them), so a name that no path can carry is refused instead of sent under
// another path. `bad` gets the first such path.
bool Collect(const PackFolder& folder, const std::string& prefix, std::vector<PackSnapshotFile>& files,
             std::string& bad) {
    auto join = [&](const std::string& name) { return prefix.empty() ? name : prefix + "\\" + name; };
    for (const PackFileEntry& entry : folder.Files()) {
        files.push_back({join(entry.Name), entry});
        if (!pack::IsPathComponent(entry.Name)) {
            bad = files.back().path;
            return false;
        }
    }
    for (const auto& sub : folder.Folders()) {
        if (!pack::IsPathComponent(sub->Name())) {
            bad = join(sub->Name());
            return false;
        }
        if (!Collect(*sub, join(sub->Name()), files, bad)) return false;
    }
    return true;
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
    std::string bad;
    if (!Collect(pack.GameRoot(), "", snapshot.files, bad)) {
        error = folder + "/data.vah holds a name that no pack path can carry: " + platform::GbkToUtf8(bad);
        return snapshot;
    }
    snapshot.present = true;
    snapshot.stamp = pack.GameStamp();
    snapshot.headerBlock = pack.HeaderBlock();
    snapshot.dataFile = platform::ToNativePath(folder + "/data.vaf");
    return snapshot;
}
