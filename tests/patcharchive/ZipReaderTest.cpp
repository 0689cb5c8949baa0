// The ZIP reader against archives built byte by byte: what no writer produces.
#include <gtest/gtest.h>

#include <string>

#include "patcharchive/FileError.h"
#include "patcharchive/ZipArchive.h"
#include "patcharchive/ZipException.h"
#include "tests/patcharchive/ZipFixture.h"
#include "tests/support/TempFolder.h"

using namespace ziptest;
using testsupport::CTempFolder;
using testsupport::WriteFile;

namespace {

class ZipReaderTest : public ::testing::Test {
protected:
    // Writes the bytes as an archive and opens it.
    void OpenBytes(const std::string& bytes, int searchBuffer = 32768) {
        WriteFile(m_path, bytes);
        m_archive.SetBufferSizes(1500000, 16384, searchBuffer);
        m_archive.Open(m_path);
    }
    int CauseOfOpen(const std::string& bytes) {
        try {
            OpenBytes(bytes);
        } catch (const CZipException& error) {
            return error.GetCause();
        }
        return 0;
    }
    // Reads the whole entry in chunks of `chunk` bytes.
    std::string ReadAll(int index, uint32_t chunk = 65535) {
        EXPECT_TRUE(m_archive.OpenEntry(index));
        std::string out;
        std::string buffer(chunk, '\0');
        for (;;) {
            uint32_t count = m_archive.ReadEntry(buffer.data(), chunk);
            out.append(buffer.data(), count);
            if (count < chunk) break;
        }
        return out;
    }
    static std::string Bytes(size_t count, unsigned seed = 1) {
        std::string out(count, '\0');
        for (size_t i = 0; i < count; ++i) {
            seed = seed * 1103515245u + 12345u;
            out[i] = static_cast<char>((seed >> 16) % 7 == 0 ? seed >> 8 : 'a' + (i % 13));
        }
        return out;
    }

    CTempFolder m_folder;
    std::string m_path = m_folder / "archive.zip";
    CZipArchive m_archive;
};

TEST_F(ZipReaderTest, StoredAndDeflatedEntriesAreDeliveredByteForByteWithTheirCrcChecked) {
    std::string big = Bytes(200000);
    OpenBytes(BuildArchive({{.name = "stored.bin", .data = big, .method = 0},
                            {.name = "deflated.bin", .data = big, .method = 8},
                            {.name = "empty", .data = "", .method = 8}}));
    ASSERT_EQ(m_archive.GetEntryCount(), 3);
    for (uint32_t chunk : {1u, 1000u, 65535u, 300000u}) {
        SCOPED_TRACE(chunk);
        EXPECT_EQ(ReadAll(0, chunk), big);
        EXPECT_EQ(m_archive.CloseEntry(), 1);
        EXPECT_EQ(ReadAll(1, chunk), big);
        EXPECT_EQ(m_archive.CloseEntry(), 1);
    }
    EXPECT_EQ(ReadAll(2), "");
    EXPECT_EQ(m_archive.CloseEntry(), 1);
}

TEST_F(ZipReaderTest, EmptyArchiveOpensWithNoEntries) {
    OpenBytes(EndRecord(0, 0, 0, ""));
    EXPECT_EQ(m_archive.GetEntryCount(), 0);
    EXPECT_FALSE(m_archive.OpenEntry(0));
    EXPECT_FALSE(m_archive.IsDirectoryEntry(0));
}

TEST_F(ZipReaderTest, BytesBeforeTheArchiveShiftEveryOffset) {
    std::string stub = "MZ" + std::string(5000, '\x90');
    OpenBytes(BuildArchive({{.name = "a.txt", .data = "first"}, {.name = "b.txt", .data = "second", .method = 0}},
                           "", stub));
    EXPECT_EQ(ReadAll(1), "second");
    EXPECT_EQ(m_archive.CloseEntry(), 1);
    EXPECT_EQ(ReadAll(0), "first");
    EXPECT_EQ(m_archive.CloseEntry(), 1);
}

TEST_F(ZipReaderTest, EndRecordIsFoundBehindTheLongestCommentButNotOneByteFurther) {
    std::vector<FixtureEntry> entries = {{.name = "a.txt", .data = "content"}};
    OpenBytes(BuildArchive(entries, std::string(65535, 'c')));
    EXPECT_EQ(m_archive.GetEntryCount(), 1);
    m_archive.Close();

    // The record's comment length cannot say 65536; extra bytes after it hide it all the same.
    std::string hidden = BuildArchive(entries, std::string(65535, 'c')) + "x";
    EXPECT_EQ(CauseOfOpen(hidden), CZipException::CentralDirNotFound);
}

TEST_F(ZipReaderTest, EndRecordNearestTheEndIsTaken) {
    // The comment holds a second, empty end record at the very end of the file.
    std::string archive = BuildArchive({{.name = "a.txt", .data = "content"}}, EndRecord(0, 0, 0, ""));
    OpenBytes(archive);
    EXPECT_EQ(m_archive.GetEntryCount(), 0);
}

TEST_F(ZipReaderTest, SignatureAcrossTwoSearchBlocksIsFound) {
    std::string base = BuildArchive({{.name = "a.txt", .data = "content"}});
    // With 1024-byte blocks read from the end, the signature at each of these distances
    // from the end of the file is cut by a block edge in one of the ways possible.
    for (size_t cut = 1; cut <= 3; ++cut) {
        SCOPED_TRACE(cut);
        size_t commentSize = 1024 - 22 + cut;
        std::string archive = base.substr(0, base.size() - 2);
        archive += static_cast<char>(commentSize & 0xFF);
        archive += static_cast<char>(commentSize >> 8);
        archive += std::string(commentSize, 'c');
        m_archive.Close();
        OpenBytes(archive, 1024);
        EXPECT_EQ(m_archive.GetEntryCount(), 1);
    }
}

TEST_F(ZipReaderTest, DamagedDirectoriesAreRefusedWithTheirCause) {
    std::string good = BuildArchive({{.name = "a.txt", .data = "content"}, {.name = "b.txt", .data = "more"}});
    std::string centralBroken = good;
    size_t centralSize = static_cast<unsigned char>(good[good.size() - 10]);
    centralBroken[good.size() - 22 - centralSize + 2] = 'X';  // first central signature
    std::string entriesWithoutSize = good.substr(0, good.size() - 22) + EndRecord(2, 0, 0, "");
    std::string sizeWithoutEntries = good.substr(0, good.size() - 22) + EndRecord(0, 10, 0, "");
    struct Case {
        const char* what;
        std::string bytes;
        int cause;
    } cases[] = {
        {"not an archive", std::string(5000, 'z'), CZipException::CentralDirNotFound},
        {"empty file", "", CZipException::CentralDirNotFound},
        {"signature without a record", "PK\x05\x06", CZipException::BadArchive},
        {"comment longer than the file", good.substr(0, good.size() - 2) + "\xff\x00", CZipException::BadArchive},
        {"directory beyond the end record", good.substr(0, good.size() - 22) + EndRecord(2, 1000000, 0, ""),
         CZipException::BadArchive},
        {"central header signature", centralBroken, CZipException::BadArchive},
        {"front cut off", good.substr(40), CZipException::BadArchive},
        {"entries without size", entriesWithoutSize, CZipException::BadArchive},
        {"size without entries", sizeWithoutEntries, CZipException::BadArchive},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        m_archive.Close();
        EXPECT_EQ(CauseOfOpen(c.bytes), c.cause);
        EXPECT_TRUE(m_archive.IsClosed());
    }
}

TEST_F(ZipReaderTest, MissingArchiveRaisesTheFileError) {
    EXPECT_THROW(m_archive.Open(m_folder / "missing.zip"), CFileError);
}

TEST_F(ZipReaderTest, DataDescriptorsWithAndWithoutSignatureAreCompared) {
    std::string data = Bytes(70000);
    for (bool signature : {true, false}) {
        for (uint16_t method : {uint16_t(0), uint16_t(8)}) {
            SCOPED_TRACE(std::to_string(signature) + "/" + std::to_string(method));
            m_archive.Close();
            OpenBytes(BuildArchive({{.name = "d.bin", .data = data, .method = method, .descriptor = true,
                                     .descriptorSignature = signature},
                                    {.name = "next.txt", .data = "after"}}));
            EXPECT_EQ(ReadAll(0), data);
            EXPECT_EQ(m_archive.CloseEntry(), 1);
            EXPECT_EQ(ReadAll(1), "after");
            EXPECT_EQ(m_archive.CloseEntry(), 1);
        }
    }
    m_archive.Close();
    OpenBytes(BuildArchive({{.name = "d.bin", .data = data, .descriptor = true, .descriptorCrc = 1234}}));
    EXPECT_EQ(ReadAll(0), data);
    try {
        m_archive.CloseEntry();
        ADD_FAILURE() << "a descriptor that disagrees must be refused";
    } catch (const CZipException& error) {
        EXPECT_EQ(error.GetCause(), CZipException::BadArchive);
    }
    // The entry is closed all the same: the next one opens.
    EXPECT_EQ(ReadAll(0), data);
}

TEST_F(ZipReaderTest, WrongCrcIsRaisedOnlyAfterEveryByteWasDelivered) {
    std::string data = Bytes(100000);
    OpenBytes(BuildArchive({{.name = "a.bin", .data = data, .crc = Crc32(data) ^ 1}}));
    EXPECT_EQ(ReadAll(0), data);
    try {
        m_archive.CloseEntry();
        ADD_FAILURE() << "no CRC error";
    } catch (const CZipException& error) {
        EXPECT_EQ(error.GetCause(), CZipException::BadCrc);
        EXPECT_EQ(error.GetArchivePath(), m_path);
    }
}

TEST_F(ZipReaderTest, LocalHeaderThatDisagreesIsRefused) {
    std::string data = "some content";
    struct Case {
        const char* what;
        FixtureEntry entry;
    } cases[] = {
        {"method", {.name = "a", .data = data, .localMethod = 0}},
        {"crc", {.name = "a", .data = data, .localCrc = 7}},
        {"encryption bit", {.name = "a", .data = data, .flag = 0x0001, .localFlag = 0}},
        {"descriptor bit", {.name = "a", .data = data, .flag = 0x0008, .localFlag = 0}},
        {"descriptor bit, local only", {.name = "a", .data = data, .localFlag = 0x0008}},
        {"UTF-8 bit", {.name = "a", .data = data, .flag = 0x0800, .localFlag = 0}},
        {"UTF-8 bit, local only", {.name = "a", .data = data, .localFlag = 0x0800}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        m_archive.Close();
        OpenBytes(BuildArchive({c.entry}));
        try {
            m_archive.OpenEntry(0);
            ADD_FAILURE() << "opened";
        } catch (const CZipException& error) {
            EXPECT_EQ(error.GetCause(), CZipException::BadArchive);
        }
        EXPECT_FALSE(m_archive.OpenEntry(5));
    }
}

TEST_F(ZipReaderTest, FlagBitsThatAreOnlyHintsMayDiffer) {
    // Bits 1 and 2 tell the compression level; some writers set them in one header only.
    const std::string data = Bytes(1000);
    const std::pair<uint16_t, uint16_t> flags[] = {{0x0002, 0}, {0x0004, 0}, {0x0006, 0},      {0, 0x0006},
                                                   {0x0802, 0x0800}, {0x0804, 0x0802}, {0x0010, 0}, {0, 0x8000}};
    for (auto [central, local] : flags) {
        SCOPED_TRACE(std::to_string(central) + "/" + std::to_string(local));
        m_archive.Close();
        OpenBytes(BuildArchive({{.name = "a", .data = data, .flag = central, .localFlag = local}}));
        EXPECT_EQ(ReadAll(0), data);
        EXPECT_EQ(m_archive.CloseEntry(), 1);
    }
}

TEST_F(ZipReaderTest, DeflateStreamEndingEarlyClosesShort) {
    std::string data = Bytes(50000);
    OpenBytes(BuildArchive({{.name = "a.bin", .data = data, .uncompressedSize = 80000}}));
    EXPECT_EQ(ReadAll(0), data);
    EXPECT_EQ(m_archive.CloseEntry(), -1);
}

TEST_F(ZipReaderTest, TruncatedCompressedDataNeverHangs) {
    std::string data = Bytes(50000);
    std::string deflated = RawDeflate(data);
    // The stream is cut, and the sizes say so: what zlib can decode comes out, then
    // the entry is damaged.
    OpenBytes(BuildArchive({{.name = "a.bin", .data = data, .payload = deflated.substr(0, deflated.size() / 2)}}));
    EXPECT_TRUE(m_archive.OpenEntry(0));
    std::string got;
    std::string buffer(4096, '\0');
    try {
        for (uint32_t count; (count = m_archive.ReadEntry(buffer.data(), 4096)) > 0;) got.append(buffer, 0, count);
        ADD_FAILURE() << "a stream cut short must raise";
    } catch (const CZipException& error) {
        EXPECT_EQ(error.GetCause(), CZipException::ZlibBufferError);
    }
    EXPECT_GT(got.size(), 0u);
    EXPECT_LT(got.size(), data.size());
    EXPECT_EQ(got, data.substr(0, got.size()));
    m_archive.Close();
    // The sizes promise more compressed bytes than the file holds.
    std::string archive = BuildArchive({{.name = "a.bin", .data = data, .compressedSize = 900000}});
    OpenBytes(archive.substr(0, archive.size()));
    EXPECT_TRUE(m_archive.OpenEntry(0));
    try {
        while (m_archive.ReadEntry(buffer.data(), 4096) == 4096) {
        }
        ADD_FAILURE() << "a short read must raise";
    } catch (const CZipException& error) {
        EXPECT_EQ(error.GetCause(), CZipException::BadArchive);
    }
}

TEST_F(ZipReaderTest, StreamHoldingMoreThanAnnouncedIsDamaged) {
    // The announced size ends on a chunk boundary, so the next read finds output left.
    std::string data = Bytes(65535 + 100);
    OpenBytes(BuildArchive({{.name = "a.bin", .data = data, .uncompressedSize = 65535}}));
    EXPECT_TRUE(m_archive.OpenEntry(0));
    std::string buffer(65535, '\0');
    EXPECT_EQ(m_archive.ReadEntry(buffer.data(), 65535), 65535u);
    try {
        m_archive.ReadEntry(buffer.data(), 65535);
        ADD_FAILURE() << "output beyond the announced size must raise";
    } catch (const CZipException& error) {
        EXPECT_EQ(error.GetCause(), CZipException::ZlibBufferError);
    }
}

TEST_F(ZipReaderTest, GarbageInsteadOfDeflateDataRaisesTheZlibCause) {
    OpenBytes(BuildArchive({{.name = "a.bin", .data = "xyz", .payload = std::string(40, '\xff')}}));
    EXPECT_TRUE(m_archive.OpenEntry(0));
    char buffer[100];
    try {
        m_archive.ReadEntry(buffer, sizeof buffer);
        ADD_FAILURE() << "no error";
    } catch (const CZipException& error) {
        EXPECT_EQ(error.GetCause(), CZipException::ZlibDataError);
    }
}

TEST_F(ZipReaderTest, StoredEntryWithCompressedButNoUncompressedBytesIsDamaged) {
    OpenBytes(BuildArchive({{.name = "a.bin", .data = "", .method = 0, .compressedSize = 100,
                             .payload = std::string(100, 'x')}}));
    try {
        m_archive.OpenEntry(0);
        ADD_FAILURE() << "opened";
    } catch (const CZipException& error) {
        EXPECT_EQ(error.GetCause(), CZipException::BadArchive);
    }
}

TEST_F(ZipReaderTest, EncryptedAndAlreadyOpenEntriesAreRefused) {
    OpenBytes(BuildArchive({{.name = "secret", .data = "x", .method = 0, .flag = 1}, {.name = "plain", .data = "y"}}));
    EXPECT_FALSE(m_archive.OpenEntry(0));
    EXPECT_TRUE(m_archive.OpenEntry(1));
    EXPECT_FALSE(m_archive.OpenEntry(1));
    EXPECT_EQ(m_archive.CloseEntry(), -1) << "nothing read yet: fewer bytes than announced";
    EXPECT_EQ(m_archive.CloseEntry(), 0) << "no entry open";
}

TEST_F(ZipReaderTest, NamesAreConvertedAndUseBackslashes) {
    const std::string gbk = "\xb8\xfc\xd0\xc2/\xce\xc4\xbc\xfe.txt";  // 更新/文件.txt in GBK
    const std::string utf8 = "\xe6\x9b\xb4\xe6\x96\xb0/\xe6\x96\x87\xe4\xbb\xb6.txt";
    std::string unicodeExtra = "\x75\x70";
    unicodeExtra += static_cast<char>(5 + utf8.size());
    unicodeExtra += '\0';
    unicodeExtra += '\x01';
    uint32_t crc = Crc32("x/y.txt");
    for (int shift = 0; shift < 32; shift += 8) unicodeExtra += static_cast<char>((crc >> shift) & 0xFF);
    unicodeExtra += utf8;
    OpenBytes(BuildArchive({{.name = "maps/sub/a.bin", .data = "1"},
                            {.name = gbk, .data = "2"},
                            {.name = utf8, .data = "3", .flag = 0x800},
                            {.name = "x/y.txt", .data = "4", .centralExtra = unicodeExtra}}));
    std::string expected = "\xe6\x9b\xb4\xe6\x96\xb0\\\xe6\x96\x87\xe4\xbb\xb6.txt";
    const char* names[] = {"maps\\sub\\a.bin", expected.c_str(), expected.c_str(), expected.c_str()};
    for (int i = 0; i < 4; ++i) {
        CZipFileHeader header;
        ASSERT_TRUE(m_archive.GetEntryInfo(header, i));
        EXPECT_EQ(header.GetFileName(), names[i]) << i;
        EXPECT_EQ(ReadAll(i), std::to_string(i + 1)) << "the local name length is the stored one";
        EXPECT_EQ(m_archive.CloseEntry(), 1);
    }
    CZipFileHeader header;
    EXPECT_FALSE(m_archive.GetEntryInfo(header, 4));
}

}  // namespace
