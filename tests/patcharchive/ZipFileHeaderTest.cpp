// What an entry's central header says about the file to write: its read-only
// flag and its modification time.
#include <gtest/gtest.h>

#include <cstdlib>
#include <ctime>
#include <optional>
#include <string>

#include "patcharchive/ZipFileHeader.h"

namespace {

std::string Le(uint64_t value, int bytes) {
    std::string out;
    for (int i = 0; i < bytes; ++i) out += static_cast<char>((value >> (8 * i)) & 0xFF);
    return out;
}

std::string Block(uint16_t id, const std::string& data) { return Le(id, 2) + Le(data.size(), 2) + data; }

std::string TimestampBlock(uint8_t flags, uint32_t modified) {
    return Block(0x5455, std::string(1, static_cast<char>(flags)) + Le(modified, 4));
}

std::string NtfsBlock(uint64_t ticks) {
    return Block(0x000A, Le(0, 4) + Le(1, 2) + Le(24, 2) + Le(ticks, 8) + Le(ticks, 8) + Le(ticks, 8));
}

TEST(ZipFileHeaderTest, ReadOnlyComesFromTheDosBitOrAUnixModeWithoutOwnerWrite) {
    struct Row {
        unsigned host;
        uint32_t external;
        bool readOnly;
    } rows[] = {
        {0, 0x00000000, false},   // DOS, plain file
        {0, 0x00000001, true},    // DOS read-only bit
        {0, 0x00000021, true},    // archive + read-only
        {0, 0x81240000, false},   // a DOS entry's high half is no Unix mode
        {10, 0x81240000, false},  // nor is an NTFS one's
        {3, 0x81a40000, false},   // Unix 0644
        {3, 0x81240000, true},    // Unix 0444, DOS bits empty (bsdtar, Python, Perl)
        {3, 0x81240001, true},    // Unix 0444 with the DOS bit (Info-ZIP)
        {3, 0x81a40001, true},    // the DOS bit alone is enough
        {3, 0x81800000, false},   // Unix 0600
        {3, 0x80240000, true},    // Unix 0044: the owner cannot write
        {3, 0x00000000, false},   // no mode recorded
        {3, 0x41ed0010, false},   // Unix folder 0755
        {19, 0x81240000, true},   // Darwin keeps Unix modes too
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(std::to_string(row.host) + " " + std::to_string(row.external));
        CZipFileHeader header;
        header.m_uVersionMadeBy = static_cast<uint16_t>(row.host << 8 | 30);
        header.m_uExternalAttr = row.external;
        EXPECT_EQ((header.GetAttributes() & 0x01) != 0, row.readOnly);
        EXPECT_EQ(header.GetAttributes() & 0x10, row.external & 0x10) << "the folder bit stays";
    }
}

class ZipTimeTest : public ::testing::Test {
protected:
    // DOS times are local: read in a zone far from UTC, so that taking one for the other shows.
    void SetUp() override {
        const char* zone = std::getenv("TZ");
        m_previousZone = zone ? std::optional<std::string>(zone) : std::nullopt;
        setenv("TZ", "Asia/Shanghai", 1);
        tzset();
    }
    void TearDown() override {
        if (m_previousZone) setenv("TZ", m_previousZone->c_str(), 1);
        else unsetenv("TZ");
        tzset();
    }

    std::optional<std::string> m_previousZone;
};

TEST_F(ZipTimeTest, ExtraFieldTimesAreUtcAndWinOverTheDosTime) {
    constexpr std::time_t kUtc = 1710683130;  // 2024-03-17 13:45:30 UTC
    // 2024-03-17 13:45:30 as a DOS date and time, that is, Shanghai's local time.
    constexpr uint16_t kDosTime = (13 << 11) | (45 << 5) | (30 / 2);
    constexpr uint16_t kDosDate = ((2024 - 1980) << 9) | (3 << 5) | 17;
    constexpr std::time_t kDosAsShanghai = kUtc - 8 * 3600;
    constexpr uint64_t kNtfsTicks = (static_cast<uint64_t>(kUtc) + 11644473600ull) * 10000000ull + 1234567;
    struct Row {
        const char* what;
        std::string central;
        std::string local;
        std::time_t expected;
    } rows[] = {
        {"DOS only", "", "", kDosAsShanghai},
        {"extended timestamp", TimestampBlock(0x01, kUtc), "", kUtc},
        {"extended timestamp behind other blocks", Block(0x7875, "\x01\x04") + TimestampBlock(0x03, kUtc), "", kUtc},
        {"extended timestamp without a modification time", TimestampBlock(0x02, kUtc), "", kDosAsShanghai},
        {"extended timestamp cut short", Block(0x5455, "\x01\x02"), "", kDosAsShanghai},
        {"local extended timestamp", "", TimestampBlock(0x07, kUtc) + Le(1, 4) + Le(2, 4), kUtc},
        {"central wins over local", TimestampBlock(0x01, kUtc), TimestampBlock(0x01, 5), kUtc},
        {"NTFS times", NtfsBlock(kNtfsTicks), "", kUtc},
        {"NTFS before 1970", NtfsBlock(5), "", kDosAsShanghai},
        {"block running past the field", Le(0x5455, 2) + Le(200, 2) + "\x01", "", kDosAsShanghai},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.what);
        CZipFileHeader header;
        header.m_uModTime = kDosTime;
        header.m_uModDate = kDosDate;
        header.m_pExtraField.Assign(row.central);
        EXPECT_EQ(header.GetTime(row.local), row.expected);
    }
}

}  // namespace
