// Archives that use what the reader does not implement, made by the writers that
// produce them: each is refused with words that tell the publisher what to change.
#include <gtest/gtest.h>

#include <string>

#include "patcharchive/PatchExtraction.h"
#include "patcharchive/ZipArchive.h"
#include "tests/patcharchive/ZipFixture.h"
#include "tests/support/TempFolder.h"

using namespace ziptest;
using testsupport::CTempFolder;
using testsupport::Exists;
using testsupport::RunShell;
using testsupport::WriteFile;

namespace {

std::string ManyEntriesArchive(size_t count) {
    std::vector<FixtureEntry> entries(count);
    for (size_t i = 0; i < count; ++i) entries[i] = {.name = "e" + std::to_string(i), .method = 0};
    return BuildArchive(entries);
}

TEST(UnsupportedFeatureTest, EachIsRefusedByName) {
    struct Row {
        const char* what;
        std::string command;  // run in a folder holding data.bin; writes a.zip
        std::string reason;
    } rows[] = {
        {"Deflate64 by 7z", "7z a -tzip -mm=Deflate64 a.zip data.bin",
         "entry 'data.bin': unsupported compression method 9"},
        {"bzip2 by Info-ZIP", "zip -q -Z bzip2 a.zip data.bin", "entry 'data.bin': unsupported compression method 12"},
        {"LZMA by 7z", "7z a -tzip -mm=LZMA a.zip data.bin", "entry 'data.bin': unsupported compression method 14"},
        {"AES by 7z", "7z a -tzip -psecret -mem=AES256 a.zip data.bin",
         "entry 'data.bin': AES encryption is not supported"},
        {"ZIP64 by Info-ZIP reading a pipe", "zip -q - - <data.bin >a.zip", "ZIP64 archives are not supported"},
        {"ZIP64 local header by Python",
         "python3 -c \"import zipfile; z = zipfile.ZipFile('a.zip', 'w'); "
         "f = z.open('data.bin', 'w', force_zip64=True); f.write(open('data.bin', 'rb').read()); f.close(); "
         "z.close()\"",
         "entry 'data.bin': ZIP64 archives are not supported"},
        {"65536 entries by Python",
         "python3 -c \"import zipfile; z = zipfile.ZipFile('a.zip', 'w'); "
         "[z.writestr(str(i), b'') for i in range(65536)]; z.close()\"",
         "more than 65535 entries"},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.what);
        CTempFolder work;
        std::string data;
        for (int i = 0; i < 4000; ++i) data += "patch line " + std::to_string(i) + "\n";
        WriteFile(work / "data.bin", data);
        ASSERT_EQ(RunShell("cd " + work.Path() + " && (" + row.command + ") >/dev/null"), 0);
        CRecordingHost host;
        std::string failure;
        EXPECT_EQ(ExtractPatchArchive(work / "a.zip", work / "out", host, &failure), kExtractFailed);
        EXPECT_NE(failure.find(row.reason), std::string::npos) << failure;
        EXPECT_FALSE(Exists(work / "out/data.bin"));
    }
}

TEST(UnsupportedFeatureTest, EntryCountsAboveTheLimitAreToldFromDamage) {
    // Without ZIP64 a writer stores the count modulo 65536: 65536 entries read as 0,
    // 65537 as 1. The headers behind the count give it away.
    struct Row {
        size_t entries;
        int result;
        const char* reason;
    } rows[] = {
        {65536, kExtractFailed, "more than 65535 entries"},
        {65537, kExtractFailed, "more than 65535 entries"},
        {2 * 65536 + 5, kExtractFailed, "more than 65535 entries"},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.entries);
        CTempFolder work;
        WriteFile(work / "a.zip", ManyEntriesArchive(row.entries));
        CRecordingHost host;
        std::string failure;
        EXPECT_EQ(ExtractPatchArchive(work / "a.zip", work / "out", host, &failure), row.result);
        EXPECT_NE(failure.find(row.reason), std::string::npos) << failure;
    }
    CTempFolder work;
    WriteFile(work / "limit.zip", ManyEntriesArchive(65535));
    CZipArchive limit;
    limit.Open(work / "limit.zip");
    EXPECT_EQ(limit.GetEntryCount(), 65535);
    // Fewer entries counted than the directory holds, but not that many: damage.
    std::string archive = ManyEntriesArchive(3);
    archive[archive.size() - 22 + 10] = 2;  // the total of the end record
    WriteFile(work / "a.zip", archive);
    CRecordingHost host;
    std::string failure;
    EXPECT_EQ(ExtractPatchArchive(work / "a.zip", work / "out", host, &failure), kExtractFailed);
    EXPECT_NE(failure.find("damaged"), std::string::npos) << failure;
}

}  // namespace
