// Game headers from arbitrary bytes: a header that reads must write back to bytes
// that read again to the same header, and checking its regions must not fail.
// Each read puts rest space entries of equal Size in reverse order, so the
// written bytes come back unchanged after two further rounds.
#include <cstdint>
#include <cstdlib>
#include <string_view>

#include "pack/PackUpdater.h"
#include "pack/QuietPackHost.h"
#include "pack/PackVerify.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    CQuietPackHost host;
    std::string first;
    {
        CPackUpdater pack(host);
        CHeaderReader reader(std::string_view(reinterpret_cast<const char*>(data), size));
        if (!pack.LoadGameHeader(reader)) return 0;
        first = pack.BuildGameHeader(pack.GameStamp(), pack.GameFileCount(), pack.HeaderBlock());
        FindPackConflict(pack, size);
        // Take out the first file found, by its path, and put it back.
        std::string path;
        ForEachPackFile(pack.GameRoot(), [&](const std::string& p, const PackFileEntry&) {
            if (path.empty()) path = p;
        });
        if (const PackFileEntry* entry = pack.FindPath(path)) {
            PackFileEntry copy = *entry;
            pack.RemovePath(path);
            pack.InsertPath(path, copy);
        }
    }
    std::string written = first;
    for (int round = 0; round < 2; ++round) {
        CPackUpdater again(host);
        CHeaderReader reader(written);
        if (!again.LoadGameHeader(reader)) std::abort();
        std::string next = again.BuildGameHeader(again.GameStamp(), again.GameFileCount(), again.HeaderBlock());
        if (next.size() != first.size()) std::abort();
        written = next;
    }
    if (written != first) std::abort();
    return 0;
}
