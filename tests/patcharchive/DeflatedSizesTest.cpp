// Deflated entries of the sizes where chunk and buffer edges fall (65535 is the
// extraction's chunk), written by Python's zipfile at several levels: every byte
// comes out, through the extraction and through reads of ever-changing sizes.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "patcharchive/PatchExtraction.h"
#include "patcharchive/ZipArchive.h"
#include "tests/patcharchive/ZipFixture.h"
#include "tests/support/TempFolder.h"

using namespace ziptest;
using testsupport::CTempFolder;
using testsupport::ReadFile;
namespace fs = std::filesystem;

namespace {

// Writes src/KIND-SIZE.bin for every content and size, and one archive of them all
// per level; "streamed6.zip" is written as to a pipe, with data descriptors.
constexpr const char* kWriter = R"(
import io, os, random, sys, zipfile
root = sys.argv[1]
sizes = [65535, 65536, 65615, 131070, 131071, 5 * 1024 * 1024]
def text(size):
    out = io.StringIO()
    i = 0
    while out.tell() < size:
        out.write(f'line {i} of the patch notes: {"velmor " * (i % 7)}fixed {i * 7919 % 1000} things\n')
        i += 1
    return out.getvalue().encode()[:size]
rng = random.Random(22)
contents = {}
for size in sizes:
    contents[f'zeros-{size}.bin'] = bytes(size)
    contents[f'text-{size}.bin'] = text(size)
    contents[f'random-{size}.bin'] = rng.randbytes(size)
os.makedirs(f'{root}/src')
for name, data in contents.items():
    open(f'{root}/src/{name}', 'wb').write(data)
class Unseekable(io.RawIOBase):
    def __init__(self): self.data = bytearray()
    def writable(self): return True
    def write(self, b): self.data += b; return len(b)
for archive, level, stream in (('level1.zip', 1, io.BytesIO()), ('level6.zip', 6, io.BytesIO()),
                               ('level9.zip', 9, io.BytesIO()), ('streamed6.zip', 6, Unseekable())):
    with zipfile.ZipFile(stream, 'w', zipfile.ZIP_DEFLATED, compresslevel=level) as z:
        for name, data in contents.items():
            z.writestr(name, data)
    data = stream.getvalue() if isinstance(stream, io.BytesIO) else bytes(stream.data)
    open(f'{root}/{archive}', 'wb').write(data)
)";

class DeflatedSizesTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        s_pWork = new CTempFolder();
        ASSERT_TRUE(RunPython(kWriter, s_pWork->Path()));
    }
    static void TearDownTestSuite() {
        delete s_pWork;
        s_pWork = nullptr;
    }
    static std::vector<std::string> Archives() { return {"level1.zip", "level6.zip", "level9.zip", "streamed6.zip"}; }
    static std::string Source(const std::string& name) { return ReadFile(*s_pWork / ("src/" + name)); }

    static CTempFolder* s_pWork;
};

CTempFolder* DeflatedSizesTest::s_pWork = nullptr;

TEST_F(DeflatedSizesTest, ExtractionWritesEveryByte) {
    for (const std::string& archive : Archives()) {
        SCOPED_TRACE(archive);
        CTempFolder out;
        CRecordingHost host;
        std::string failure;
        ASSERT_EQ(ExtractPatchArchive(*s_pWork / archive, out.Path(), host, &failure), kExtractDone) << failure;
        int files = 0;
        for (const auto& item : fs::directory_iterator(*s_pWork / "src")) {
            std::string name = item.path().filename().string();
            EXPECT_TRUE(ReadFile(out / name) == Source(name)) << name;
            ++files;
        }
        EXPECT_EQ(files, 18);
    }
}

TEST_F(DeflatedSizesTest, ReadsOfEverySizeDeliverEveryByte) {
    // Request sizes that stay the same, and a turn of sizes that moves the edges of
    // the requests everywhere relative to zlib's own.
    const std::vector<std::vector<uint32_t>> patterns = {
        {1000}, {4093}, {65536}, {200000}, {1, 100, 4093, 65535, 65536, 200000, 7}};
    std::string buffer(200000, '\0');
    for (const std::string& archive : Archives()) {
        CZipArchive zip;
        zip.Open(*s_pWork / archive);
        for (const std::vector<uint32_t>& requests : patterns) {
            for (int index = 0; index < zip.GetEntryCount(); ++index) {
                CZipFileHeader header;
                ASSERT_TRUE(zip.GetEntryInfo(header, index));
                SCOPED_TRACE(archive + " " + header.GetFileName() + " by " + std::to_string(requests[0]));
                ASSERT_TRUE(zip.OpenEntry(index));
                std::string got;
                for (size_t turn = 0;; ++turn) {
                    uint32_t request = requests[turn % requests.size()];
                    uint32_t count = zip.ReadEntry(buffer.data(), request);
                    got.append(buffer, 0, count);
                    if (count < request) break;
                }
                EXPECT_EQ(zip.CloseEntry(), CZipArchive::kEntryComplete);
                EXPECT_TRUE(got == Source(header.GetFileName())) << got.size() << " bytes";
            }
        }
    }
}

}  // namespace
