// Scale of the pack code: read and write a header of N files in N/100 folders and
// merge N/10 replacing files into it, for N and 2N; prints the times and how much
// they grow when the sizes double (linear work grows by about 2).
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <string>

#include "pack/PackUpdater.h"
#include "platform/File.h"
#include "platform/FileSystem.h"

namespace {

class CQuietHost : public IPackHost {
public:
    void ShowStatusError(const std::string& text) override { std::fprintf(stderr, "bench: %s\n", text.c_str()); }
    void SetFileProgressRange(uint64_t, uint64_t) override {}
    void SetFileProgressPos(uint64_t) override {}
    bool WriteStartUpdate(const std::string&) override { return true; }
};

constexpr uint32_t kFileSize = 8;

// A hundred consecutive files to a folder.
std::string PathOf(size_t file) {
    return "folder" + std::to_string(file / 100) + "\\file-" + std::to_string(file) + ".bin";
}

// Writes <stem>.vah/<stem>.vaf with the given files, each kFileSize bytes.
void WritePack(const std::string& dir, const std::string& stem, size_t first, size_t count, size_t step) {
    CQuietHost host;
    CPackUpdater pack(host, dir + "/scratch");
    std::string data;
    for (size_t i = 0; i < count; ++i) {
        size_t file = first + i * step;
        PackFileEntry entry;
        std::string path = PathOf(file);
        entry.Name = path.substr(path.find('\\') + 1);
        entry.Offset = data.size();
        entry.Size = kFileSize;
        pack.InsertPath(path, entry);
        data.append(kFileSize, static_cast<char>('a' + file % 26));
        data.push_back('\0');
    }
    std::array<char, kHeaderBlockSize> block{};
    if (!platform::WriteFileAtomically(dir + "/" + stem + ".vah", pack.BuildGameHeader(1, uint32_t(count), block)) ||
        !platform::WriteFileAtomically(dir + "/" + stem + ".vaf", data)) {
        std::fprintf(stderr, "bench: cannot write the fixture\n");
        std::exit(1);
    }
}

double Seconds(std::chrono::steady_clock::time_point start) {
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

struct Times {
    double read = 1e9, write = 1e9, merge = 1e9, mergeCpu = 1e9;
};

double CpuSeconds() { return static_cast<double>(std::clock()) / CLOCKS_PER_SEC; }

Times Measure(const std::string& dir, size_t files) {
    size_t replaced = files / 10;
    std::filesystem::create_directories(dir);
    WritePack(dir, "data", 0, files, 1);
    Times best;
    for (int repeat = 0; repeat < 5; ++repeat) {
        CQuietHost host;
        {
            CPackUpdater pack(host, dir);
            auto start = std::chrono::steady_clock::now();
            if (!pack.LoadGameHeader()) std::exit(1);
            best.read = std::min(best.read, Seconds(start));
            start = std::chrono::steady_clock::now();
            std::string header = pack.BuildGameHeader(pack.GameStamp(), pack.GameFileCount(), pack.HeaderBlock());
            if (!platform::WriteFileAtomically(dir + "/data.vah", header)) std::exit(1);
            best.write = std::min(best.write, Seconds(start));
        }
        // Every tenth file, ten in each folder, replaced by one of the same size.
        WritePack(dir, "update", static_cast<size_t>(repeat), replaced, 10);
        CPackUpdater pack(host, dir);
        auto start = std::chrono::steady_clock::now();
        double cpu = CpuSeconds();
        if (!pack.MergeUpdatePack()) std::exit(1);
        best.merge = std::min(best.merge, Seconds(start));
        best.mergeCpu = std::min(best.mergeCpu, CpuSeconds() - cpu);
    }
    return best;
}

}  // namespace

int main(int argc, char** argv) {
    std::string root = argc > 1 ? argv[1] : "bench-pack-scale";
    size_t files = argc > 2 ? std::strtoul(argv[2], nullptr, 10) : 200000;
    Times small = Measure(root + "/small", files);
    Times large = Measure(root + "/large", 2 * files);
    std::filesystem::remove_all(root);
    auto line = [](const char* what, double a, double b) {
        std::printf("pack scale: %-28s %8.3f s -> %8.3f s  growth %.2f\n", what, a, b, b / a);
    };
    std::printf("pack scale: %zu files in %zu folders, %zu replaced; then doubled (best of 5)\n", files, files / 100,
                files / 10);
    line("read header", small.read, large.read);
    line("write header", small.write, large.write);
    line("merge", small.merge, large.merge);
    line("merge, processor time only", small.mergeCpu, large.mergeCpu);
    double a = small.read + small.write + small.merge, b = large.read + large.write + large.merge;
    line("total", a, b);
    std::printf("pack scale: growth %.2f (goal at most 2.3): %s\n", b / a, b / a <= 2.3 ? "met" : "missed");
    return 0;
}
