// The merge's gathered writes and windowed reads against a plain model: whatever
// the order and spacing of the copies, the file ends up as if each had been
// written on its own, and the bytes between them are never lost.
#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

#include "pack/DataFileBatch.h"
#include "pack/FileWindow.h"
#include "platform/File.h"
#include "tests/support/TempFolder.h"

using platform::CFile;
using testsupport::CTempFolder;
using testsupport::ReadFile;
using testsupport::WriteFile;

namespace {

struct Copy {
    uint64_t offset;
    std::string bytes;
};

// What writing each copy on its own would leave: the file grown with zeros where
// a copy lies past its end.
std::string Model(std::string file, const std::vector<Copy>& copies) {
    for (const Copy& copy : copies) {
        if (file.size() < copy.offset + copy.bytes.size()) file.resize(copy.offset + copy.bytes.size(), '\0');
        file.replace(copy.offset, copy.bytes.size(), copy.bytes);
    }
    return file;
}

std::string Batched(const CTempFolder& folder, const std::string& original, const std::vector<Copy>& copies,
                    size_t capacity) {
    WriteFile(folder / "data.vaf", original);
    CFile file;
    EXPECT_TRUE(file.Open(folder / "data.vaf", CFile::Mode::ReadWrite));
    std::vector<char> buffer(capacity);
    CDataFileBatch batch(file, buffer.data(), buffer.size());
    for (const Copy& copy : copies) {
        char* place = nullptr;
        EXPECT_TRUE(batch.Reserve(copy.offset, copy.bytes.size(), place));
        if (place)
            copy.bytes.copy(place, copy.bytes.size());
        else
            EXPECT_TRUE(batch.WriteDirect(copy.bytes.data(), copy.bytes.size(), copy.offset));
    }
    EXPECT_TRUE(batch.Flush());
    file.Close();
    return ReadFile(folder / "data.vaf");
}

std::string Pattern(size_t size, unsigned seed) {
    std::string bytes(size, '\0');
    std::mt19937 random(seed);
    for (char& c : bytes) c = static_cast<char>('a' + random() % 26);
    return bytes;
}

}  // namespace

TEST(DataFileBatch, LeavesTheFileAsSeparateWritesWould) {
    const std::string original = Pattern(100000, 1);
    const size_t gap = CDataFileBatch::kMaxGap;
    struct Case {
        const char* name;
        std::vector<Copy> copies;
    } cases[] = {
        {"one after another", {{100, "aaaa"}, {104, "bbbb"}, {108, "cc"}}},
        {"small gaps, read back", {{100, "aaaa"}, {200, "bbbb"}, {5000, "cc"}}},
        {"a gap too long to read back", {{100, "aaaa"}, {100 + 4 + gap + 1, "bbbb"}}},
        {"the largest gap read back", {{100, "aaaa"}, {100 + 4 + gap, "bbbb"}}},
        {"backwards", {{5000, "aaaa"}, {100, "bbbb"}, {4000, "cc"}}},
        {"into the batch already gathered", {{100, "aaaaaaaa"}, {102, "bb"}}},
        {"on past the file's end", {{99990, "aaaaaaaa"}, {100010, "bbbb"}, {100020, "cc"}}},
        {"far past the file's end", {{200000, "aaaa"}}},
        {"larger than the buffer", {{100, "aa"}, {200, Pattern(5000, 2)}, {5300, "cc"}}},
        {"filling the buffer", {{0, Pattern(3000, 3)}, {3000, Pattern(1096, 4)}, {4096, "x"}}},
    };
    for (const Case& c : cases) {
        CTempFolder folder;
        EXPECT_EQ(Batched(folder, original, c.copies, 4096), Model(original, c.copies)) << c.name;
    }
}

TEST(DataFileBatch, RandomCopiesMatchTheModel) {
    std::mt19937 random(7);
    for (int round = 0; round < 40; ++round) {
        std::string original = Pattern(20000 + random() % 20000, round);
        std::vector<Copy> copies;
        uint64_t offset = random() % 1000;
        for (int i = 0; i < 300; ++i) {
            // Mostly onward and close, as a merge's copies are; now and then a jump.
            offset = random() % 8 == 0 ? random() % 45000 : offset + random() % 3000;
            copies.push_back({offset, Pattern(1 + random() % 700, round * 1000 + i)});
        }
        CTempFolder folder;
        ASSERT_EQ(Batched(folder, original, copies, 1500 + random() % 3000), Model(original, copies)) << round;
    }
}

TEST(DataFileBatch, BytesBetweenThatCannotBeReadFailTheCopyInsteadOfBecomingZeros) {
    CTempFolder folder;
    const std::string original = Pattern(10000, 5);
    CFile writeOnly;
    ASSERT_TRUE(writeOnly.Open(folder / "data.vaf", CFile::Mode::Create));
    ASSERT_TRUE(writeOnly.Write(original.data(), original.size()));
    std::vector<char> buffer(4096);
    CDataFileBatch batch(writeOnly, buffer.data(), buffer.size());
    char* place = nullptr;
    ASSERT_TRUE(batch.Reserve(100, 4, place));
    ASSERT_NE(place, nullptr);
    EXPECT_FALSE(batch.Reserve(200, 4, place)) << "the gap cannot be read from a file open for writing only";
    EXPECT_FALSE(batch.Reserve(UINT64_MAX - 2, 4, place)) << "no file reaches that far";
    writeOnly.Close();
    EXPECT_EQ(ReadFile(folder / "data.vaf"), original);
}

TEST(FileWindow, ReadsWhatTheFileHoldsInAnyOrder) {
    CTempFolder folder;
    const std::string content = Pattern(300000, 6);
    WriteFile(folder / "update.vaf", content);
    CFile file;
    ASSERT_TRUE(file.Open(folder / "update.vaf", CFile::Mode::Read));
    CFileWindow window(file);
    std::mt19937 random(8);
    uint64_t offset = 0;
    for (int i = 0; i < 3000; ++i) {
        size_t count = random() % 4 == 0 ? random() % 100000 : random() % 300;
        offset = random() % 5 == 0 ? random() % content.size() : offset + random() % 400;
        if (offset + count > content.size()) offset = content.size() - count;
        std::string read(count, '\0');
        ASSERT_TRUE(window.Read(read.data(), count, offset)) << offset << "+" << count;
        ASSERT_EQ(read, content.substr(offset, count)) << offset << "+" << count;
    }
    char byte = 0;
    EXPECT_FALSE(window.Read(&byte, 1, content.size())) << "past the end";
    std::string tail(10, '\0');
    EXPECT_FALSE(window.Read(tail.data(), 10, content.size() - 5)) << "across the end";
}
