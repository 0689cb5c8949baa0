// A download's file written through its reserved mapping: exact bytes and
// length whatever the transfer did, and visible to readers as soon as written.
#include <gtest/gtest.h>

#include <unistd.h>

#include <cerrno>
#include <csignal>

#include <filesystem>
#include <string>

#include "platform/File.h"
#include "platform/MappedFileWriter.h"
#include "tests/support/TempFolder.h"

using platform::CMappedFileWriter;
using testsupport::CTempFolder;

namespace {

std::string Patterned(size_t size) {
    std::string bytes(size, '\0');
    for (size_t i = 0; i < size; ++i) bytes[i] = static_cast<char>((i * 13 + i / 4093) & 0xFF);
    return bytes;
}

// Writes in pieces of 2048 bytes, like a transfer's reads.
bool WriteInPieces(CMappedFileWriter& writer, const std::string& bytes) {
    for (size_t offset = 0; offset < bytes.size(); offset += 2048) {
        std::string piece = bytes.substr(offset, 2048);
        if (!writer.Write(piece.data(), piece.size())) return false;
    }
    return true;
}

}  // namespace

TEST(MappedFileWriter, StoredFileHoldsExactlyWhatWasWritten) {
    struct Case {
        const char* name;
        uint64_t reserved;  // announced size, 0: none
        size_t written;
    };
    // Across the 8 MiB window boundary; ending early; running past the
    // reservation; a reservation the disk can never hold; none at all.
    const Case cases[] = {
        {"exact", (8u << 20) + 5001, (8u << 20) + 5001},
        {"ends early", 20000, 9000},
        {"nothing written", 20000, 0},
        {"runs past", 5000, 5001 + 4096},
        {"impossible reservation", uint64_t{1} << 62, 7000},
        {"no reservation", 0, 30000},
    };
    CTempFolder folder(true);
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        std::string content = Patterned(c.written);
        CMappedFileWriter writer;
        ASSERT_TRUE(writer.Open("f.bin"));
        writer.ExpectSize(c.reserved);
        ASSERT_TRUE(WriteInPieces(writer, content));
        EXPECT_EQ(writer.Written(), c.written);
        ASSERT_TRUE(writer.Close());
        EXPECT_EQ(std::filesystem::file_size(folder / "f.bin"), c.written);
        EXPECT_EQ(testsupport::ReadFile(folder / "f.bin"), content);
    }
}

TEST(MappedFileWriter, FileHoldsWhatWasWrittenWhileItIsOpen) {
    CTempFolder folder(true);
    CMappedFileWriter writer;
    ASSERT_TRUE(writer.Open("f.bin"));
    writer.ExpectSize(1 << 20);
    // Nothing is taken from the disk before the first write.
    EXPECT_EQ(std::filesystem::file_size(folder / "f.bin"), 0u);
    ASSERT_TRUE(writer.Write("abcdef", 6));
    platform::CFile reader;
    ASSERT_TRUE(reader.Open("f.bin", platform::CFile::Mode::Read));
    char seen[6] = {};
    EXPECT_EQ(reader.Read(seen, sizeof seen), sizeof seen);
    EXPECT_EQ(std::string(seen, sizeof seen), "abcdef");
    // Settled after a failure, the open file has no reserved tail; later
    // writes still land behind what is there.
    ASSERT_TRUE(writer.Settle());
    EXPECT_EQ(testsupport::ReadFile(folder / "f.bin"), "abcdef");
    ASSERT_TRUE(writer.Write("gh", 2));
    EXPECT_EQ(testsupport::ReadFile(folder / "f.bin"), "abcdefgh");
}

TEST(MappedFileWriter, ReopeningTruncatesTheEarlierFile) {
    CTempFolder folder(true);
    CMappedFileWriter writer;
    ASSERT_TRUE(writer.Open("f.bin"));
    writer.ExpectSize(50000);
    ASSERT_TRUE(WriteInPieces(writer, Patterned(30000)));
    ASSERT_TRUE(writer.Open("f.bin"));
    ASSERT_TRUE(writer.Write("xy", 2));
    ASSERT_TRUE(writer.Close());
    EXPECT_EQ(testsupport::ReadFile(folder / "f.bin"), "xy");
}

TEST(MappedFileWriter, TargetsThatAreNoRegularFilesReportTheirWriteErrors) {
    CMappedFileWriter full;
    ASSERT_TRUE(full.Open("/dev/full"));
    full.ExpectSize(5000);
    EXPECT_FALSE(full.Write("x", 1));
    EXPECT_EQ(full.LastError(), ENOSPC);

    // A pipe whose reader is gone: the writer must not become a reader of its
    // own, which would leave it waiting forever once the pipe is full.
    int ends[2];
    ASSERT_EQ(pipe(ends), 0);
    close(ends[0]);
    sighandler_t previous = signal(SIGPIPE, SIG_IGN);
    CMappedFileWriter piped;
    ASSERT_TRUE(piped.Open("/proc/self/fd/" + std::to_string(ends[1])));
    piped.ExpectSize(5000);
    EXPECT_FALSE(piped.Write("x", 1));
    EXPECT_EQ(piped.LastError(), EPIPE);
    piped.Close();
    signal(SIGPIPE, previous);
    close(ends[1]);
}
