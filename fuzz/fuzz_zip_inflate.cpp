// Deflates fuzzer-chosen bytes with fuzzer-chosen zlib parameters into an archive,
// then reads it back through the reader (with chosen buffer and request sizes)
// and through the extraction: both must return exactly those bytes.
//
// Input: level, strategy, window bits, memory level, repeat count (2 bytes),
// read buffer size (2), request size (2), options (bit 0: data descriptor), then
// the body, which is repeated to make the content (at most 1 MiB), so that short
// inputs reach the sizes where 65535-byte chunks and buffers end.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>

#include "fuzz/ExtractionFuzzing.h"
#include "patcharchive/PatchExtraction.h"
#include "patcharchive/ZipArchive.h"
#include "tests/patcharchive/ZipBuilder.h"

namespace {

constexpr size_t kHeaderSize = 11;
constexpr size_t kMaxContent = 1 << 20;

struct Choice {
    ziptest::DeflateOptions deflate;
    size_t repeat = 1;
    int readBuffer = 1024;
    uint32_t request = 1;
    bool descriptor = false;
};

uint16_t Take16(const uint8_t* p) { return static_cast<uint16_t>(p[0] | (p[1] << 8)); }

Choice Decode(const uint8_t* p) {
    const int strategies[] = {Z_DEFAULT_STRATEGY, Z_FILTERED, Z_HUFFMAN_ONLY, Z_RLE, Z_FIXED};
    Choice choice;
    choice.deflate.level = p[0] % 10;
    choice.deflate.strategy = strategies[p[1] % std::size(strategies)];
    choice.deflate.windowBits = 9 + p[2] % 7;  // a raw stream takes 9 to 15
    choice.deflate.memoryLevel = 1 + p[3] % 9;
    choice.repeat = 1 + Take16(p + 4) % 512;
    choice.readBuffer = 1024 + Take16(p + 6);
    choice.request = 1u + Take16(p + 8);
    choice.descriptor = (p[10] & 1) != 0;
    return choice;
}

const std::filesystem::path& WorkFolder() {
    static const std::filesystem::path folder = MakeScratchFolder("velmor-fuzz-inflate");
    return folder;
}

void Check(bool condition) {
    if (!condition) std::abort();
}

// The reader's own way through the entry, in requests of the chosen size.
std::string ReadThrough(const std::string& archive, const Choice& choice) {
    CZipArchive zip;
    zip.SetBufferSizes(1024, choice.readBuffer, 32768);
    zip.Open(archive);
    Check(zip.GetEntryCount() == 1 && zip.OpenEntry(0));
    std::string got;
    std::string buffer(choice.request, '\0');
    for (uint32_t count; (count = zip.ReadEntry(buffer.data(), choice.request)) > 0;) {
        got.append(buffer, 0, count);
        if (count < choice.request) break;
    }
    Check(zip.CloseEntry() == CZipArchive::kEntryComplete);
    return got;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < kHeaderSize) return 0;
    Choice choice = Decode(data);
    std::string body(reinterpret_cast<const char*>(data) + kHeaderSize, size - kHeaderSize);
    std::string content;
    for (size_t i = 0; i < choice.repeat && content.size() + body.size() <= kMaxContent; ++i) content += body;

    const std::filesystem::path& work = WorkFolder();
    std::string archive = (work / "input.zip").string();
    std::filesystem::path destination = work / "out";
    {
        std::ofstream out(archive, std::ios::binary | std::ios::trunc);
        out << ziptest::BuildArchive({{.name = "f.bin",
                                       .data = content,
                                       .descriptor = choice.descriptor,
                                       .payload = ziptest::RawDeflate(content, choice.deflate)}});
    }
    try {
        Check(ReadThrough(archive, choice) == content);
    } catch (...) {
        std::abort();  // a valid archive: any error is the reader's fault
    }

    CQuietHost host;
    std::string failure;
    Check(ExtractPatchArchive(archive, destination.string(), host, &failure) == kExtractDone);
    std::ifstream in(destination / "f.bin", std::ios::binary);
    Check(std::string(std::istreambuf_iterator<char>(in), {}) == content);
    std::error_code ignored;
    std::filesystem::remove_all(destination, ignored);
    return 0;
}
