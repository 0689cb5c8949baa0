// Fuzzed update packs merged into a small sound game pack. Input: a 16-bit length,
// that many bytes of update.vah, the rest update.vaf. A merge either fails and
// leaves data.vah as it was, or leaves a pack whose regions are all inside
// data.vaf and pairwise apart.
#include <unistd.h>

#include <cstdint>
#include <filesystem>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "pack/PackUpdater.h"
#include "pack/QuietPackHost.h"
#include "pack/PackVerify.h"
#include "platform/FileSystem.h"

namespace {


std::string U32(uint32_t v) { return std::string{char(v), char(v >> 8), char(v >> 16), char(v >> 24)}; }
std::string Name(const std::string& n) { return U32(uint32_t(n.size() + 1)) + n + '\0'; }
std::string File(const std::string& n, uint32_t offset, uint32_t size) {
    return Name(n) + U32(offset) + U32(0) + U32(size) + U32(0);
}

// a.bin (5) and maps\b.bin (3), a free region of 10 bytes, then maps\c.bin (0).
const std::string kGameHeader = "VAH" + U32(1) + U32(3) + std::string(40, 'g') + Name("root") + U32(1) +
                                File("a.bin", 0, 5) + U32(1) + Name("maps") + U32(2) + File("b.bin", 6, 3) +
                                File("c.bin", 21, 0) + U32(0) + U32(1) + File("free", 10, 10) + U32(0);
const std::string kGameData = std::string("aaaaa\0bbb\0", 10) + std::string(11, '~') + std::string(1, '\0');

// Kept for the whole run (never destroyed), so the exit handler can still remove it.
const std::string& Folder() {
    static const std::string* folder = [] {
        std::string pattern = std::string(access("/dev/shm", W_OK) == 0 ? "/dev/shm" : "/tmp") + "/fuzz-pack-XXXXXX";
        if (!mkdtemp(pattern.data())) std::abort();
        auto* path = new std::string(pattern);
        std::atexit([] { std::filesystem::remove_all(Folder()); });
        return path;
    }();
    return *folder;
}

void Put(const std::string& path, const std::string& bytes) {
    FILE* file = std::fopen(path.c_str(), "wb");
    if (!file || std::fwrite(bytes.data(), 1, bytes.size(), file) != bytes.size() || std::fclose(file) != 0) std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 2) return 0;
    size_t headerLength = std::min<size_t>(data[0] | (size_t{data[1]} << 8), size - 2);
    const char* bytes = reinterpret_cast<const char*>(data) + 2;
    const std::string& folder = Folder();
    Put(folder + "/data.vah", kGameHeader);
    Put(folder + "/data.vaf", kGameData);
    Put(folder + "/update.vah", std::string(bytes, headerLength));
    Put(folder + "/update.vaf", std::string(bytes + headerLength, size - 2 - headerLength));
    CQuietPackHost host;
    bool merged = false;
    {
        CPackUpdater pack(host, folder);
        merged = pack.MergeUpdatePack();
    }
    std::optional<std::string> header = platform::ReadWholeFile(folder + "/data.vah");
    if (!merged) {
        if (header != kGameHeader) std::abort();
        return 0;
    }
    CPackUpdater pack(host, folder);
    if (!pack.LoadGameHeader()) std::abort();
    std::optional<uint64_t> dataSize = platform::FileSize(folder + "/data.vaf");
    if (!dataSize || FindPackConflict(pack, *dataSize)) std::abort();
    return 0;
}
