// Version.ini, the published list and the test-channel file as the worker reads them.
#include "engine/VersionRecord.h"

#include "platform/ProfileFile.h"
#include "tests/engine/EngineTest.h"

namespace enginetest {
namespace {

using testsupport::Exists;
using testsupport::ReadFile;
using testsupport::WriteFile;

class VersionRecordTest : public CEngineTest {
protected:
    std::string LocalValue(const char* key) const {
        return platform::GetProfileString(m_folder / "Version.ini", "Version", key);
    }
    void DownloadedList(const std::string& content) { WriteFile(m_folder / "UpdateVersion.ini", content); }
};

TEST(ParseRecordNumberTest, ReadsLikeAtoi) {
    struct Case {
        const char* text;
        uint32_t value;
    } cases[] = {
        {"2", 2},          {"  17", 17},        {"\t+5", 5},        {"12abc", 12},     {"abc", 0},
        {"", 0},           {"-1", 0xFFFFFFFFu}, {"4294967295", 4294967295u},           {"4294967296", 0},
        {"99999999999999999999999", 0xFFFFFFFFu}, {"- 3", 0},       {"0x10", 0},
    };
    for (const Case& c : cases) EXPECT_EQ(ParseRecordNumber(c.text), c.value) << c.text;
}

TEST_F(VersionRecordTest, LocalRecordIsValidOnlyWithCheckVersion2) {
    struct Case {
        const char* content;
        bool valid;
    } cases[] = {
        {nullptr, false},
        {"[Version]\nCurrentVersion=3\n", false},
        {"[Version]\nCheckVersion=\n", false},
        {"[Version]\nCheckVersion=2\n", true},
        {"[version]\ncheckversion=2abc\n", true},
        {"[Version]\nCheckVersion=3\n", false},
        {"[Other]\nCheckVersion=2\n", false},
        {"\x7f" "ELF\x01\x02\x00\x00garbage\xff\xfe", false},
    };
    for (const Case& c : cases) {
        std::remove((m_folder / "Version.ini").c_str());
        if (c.content) WriteLocalRecord(c.content);
        EXPECT_EQ(m_pPatcher->HasValidLocalRecord(), c.valid) << (c.content ? c.content : "(no file)");
    }
}

TEST_F(VersionRecordTest, MissingCurrentVersionIsWrittenAsZero) {
    WriteLocalRecord("[Version]\nCheckVersion=2\nStartUpdate=UPDATE_START\n");
    m_pPatcher->m_baseVersion = m_pPatcher->m_currentVersion = 7;
    EXPECT_TRUE(m_pPatcher->ReadLocalVersion());
    EXPECT_EQ(m_pPatcher->m_baseVersion, 0u);
    EXPECT_EQ(m_pPatcher->m_currentVersion, 0u);
    EXPECT_EQ(LocalValue("CurrentVersion"), "0");
    EXPECT_EQ(LocalValue("StartUpdate"), "UPDATE_START");
}

TEST_F(VersionRecordTest, EveryRecoveryMarkerAsTheNextRunMeetsIt) {
    struct Case {
        const char* marker;
        uint32_t version;        // the local version the run continues from
        const char* markerAfter; // StartUpdate afterwards
    } cases[] = {
        {"", 5, ""},
        {"EXTRACT_START", 5, ""},
        {"extract_start", 5, ""},
        {"FILE_SIZE_ERR", 5, ""},
        {"EXTRACT_END", 5, "EXTRACT_END"},
        {"UPDATE_START", 0, "UPDATE_START"},
        {"update_start", 0, "update_start"},
        {"UPDATE_END", 5, "UPDATE_END"},
        {"SOMETHING_ELSE", 5, "SOMETHING_ELSE"},
    };
    for (const Case& c : cases) {
        std::string record = std::string("[Version]\nCheckVersion=2\nCurrentVersion=5\nStartUpdate=") + c.marker + "\n";
        WriteLocalRecord(record);
        m_pPatcher->ReadLocalVersion();
        EXPECT_EQ(m_pPatcher->m_baseVersion, c.version) << c.marker;
        EXPECT_EQ(m_pPatcher->m_currentVersion, c.version) << c.marker;
        EXPECT_EQ(LocalValue("StartUpdate"), c.markerAfter) << c.marker;
        EXPECT_EQ(LocalValue("CurrentVersion"), "5") << c.marker;
        if (std::string(c.marker) == "update_start") {
            EXPECT_EQ(ReadFile(m_folder / "Version.ini"), record);
        }
    }
}

TEST_F(VersionRecordTest, PublishedListIsReadAndDeleted) {
    DownloadedList("[Version]\nCheckVersion=2\nUpdaterVersion=9\nPatchFileVersion=12\n");
    m_pPatcher->m_baseVersion = m_pPatcher->m_currentVersion = 4;
    ASSERT_TRUE(m_pPatcher->ReadVersionList());
    EXPECT_EQ(m_pPatcher->m_publishedCheckVersion, 2u);
    EXPECT_TRUE(m_pPatcher->IsPatchingPublished());
    EXPECT_EQ(m_pPatcher->m_updaterVersion, 9u);
    EXPECT_FALSE(m_pPatcher->m_bUpdaterOutdated) << "9 is this launcher's own version";
    EXPECT_EQ(m_pPatcher->m_targetVersion, 12u);
    EXPECT_EQ(m_pPatcher->m_baseVersion, 4u);
    EXPECT_FALSE(Exists(m_folder / "UpdateVersion.ini"));
}

TEST_F(VersionRecordTest, NewerUpdaterComparesUnsigned) {
    for (auto [text, outdated] : {std::pair{"10", true}, {"-1", true}, {"9", false}, {"0", false}}) {
        m_pPatcher->m_bUpdaterOutdated = false;
        DownloadedList(std::string("[Version]\nUpdaterVersion=") + text + "\nPatchFileVersion=1\n");
        ASSERT_TRUE(m_pPatcher->ReadVersionList());
        EXPECT_EQ(m_pPatcher->m_bUpdaterOutdated, outdated) << text;
    }
}

TEST_F(VersionRecordTest, ListWithoutUpdaterOrPatchVersionIsRejectedAndDeleted) {
    for (const char* content : {"[Version]\nPatchFileVersion=3\n", "[Version]\nUpdaterVersion=3\n",
                                "[Version]\nUpdaterVersion=\nPatchFileVersion=3\n", "<html>404</html>",
                                "\x00\x01\x02\xff\xfe binary", ""}) {
        DownloadedList(content);
        EXPECT_FALSE(m_pPatcher->ReadVersionList()) << content;
        EXPECT_FALSE(Exists(m_folder / "UpdateVersion.ini"));
    }
}

TEST_F(VersionRecordTest, ListWithoutCheckVersionMeansPatchingIsNotPublished) {
    m_pPatcher->m_publishedCheckVersion = 2;
    DownloadedList("[Version]\nUpdaterVersion=9\nPatchFileVersion=3\n");
    ASSERT_TRUE(m_pPatcher->ReadVersionList());
    EXPECT_EQ(m_pPatcher->m_publishedCheckVersion, 0u);
    EXPECT_FALSE(m_pPatcher->IsPatchingPublished());
}

TEST_F(VersionRecordTest, LocalRecordAheadOfTheServerIsBroughtDownWithoutRewritingIt) {
    WriteLocalRecord("[Version]\nCheckVersion=2\nCurrentVersion=15\n");
    m_pPatcher->ReadLocalVersion();
    DownloadedList("[Version]\nCheckVersion=2\nUpdaterVersion=9\nPatchFileVersion=12\n");
    ASSERT_TRUE(m_pPatcher->ReadVersionList());
    EXPECT_EQ(m_pPatcher->m_baseVersion, 12u);
    EXPECT_EQ(m_pPatcher->m_currentVersion, 12u);
    EXPECT_EQ(LocalValue("CurrentVersion"), "15");
}

TEST_F(VersionRecordTest, TestChannelFileOverridesOnlyTheKeysItHolds) {
    WriteFile(m_folder / "UpdateVersion-qrx-.ini", "[Version]\nPatchFileVersion=3\n");
    DownloadedList("[Version]\nCheckVersion=2\nUpdaterVersion=11\nPatchFileVersion=12\n");
    ASSERT_TRUE(m_pPatcher->ReadVersionList());
    EXPECT_EQ(m_pPatcher->m_targetVersion, 3u);
    EXPECT_EQ(m_pPatcher->m_updaterVersion, 11u);
    EXPECT_EQ(m_pPatcher->m_publishedCheckVersion, 2u);

    WriteFile(m_folder / "UpdateVersion-qrx-.ini", "[version]\ncheckversion=1\nupdaterversion=4\n");
    m_pPatcher->m_bUpdaterOutdated = false;
    DownloadedList("[Version]\nCheckVersion=2\nUpdaterVersion=11\nPatchFileVersion=12\n");
    ASSERT_TRUE(m_pPatcher->ReadVersionList());
    EXPECT_EQ(m_pPatcher->m_publishedCheckVersion, 1u);
    EXPECT_EQ(m_pPatcher->m_updaterVersion, 4u);
    EXPECT_FALSE(m_pPatcher->m_bUpdaterOutdated);
    EXPECT_EQ(m_pPatcher->m_targetVersion, 12u);
}

TEST_F(VersionRecordTest, HugeAndOddListsNeverOverrunAValue) {
    std::string huge = "[Version]\nUpdaterVersion=" + std::string(100000, '7') + "\nPatchFileVersion=" +
                       std::string(300, '1') + "\n";
    for (int i = 0; i < 20000; ++i) huge += "Key" + std::to_string(i) + "=value\n";
    DownloadedList(huge);
    ASSERT_TRUE(m_pPatcher->ReadVersionList());
    EXPECT_EQ(m_pPatcher->m_updaterVersion, 0xFFFFFFFFu);  // saturated, then its low 32 bits
    EXPECT_TRUE(m_pPatcher->m_bUpdaterOutdated);
}

TEST_F(VersionRecordTest, SaveCurrentVersionAndMarkersKeepTheOtherKeys) {
    WriteLocalRecord("[Version]\nCheckVersion=2\nCurrentVersion=1\n");
    m_pPatcher->m_currentVersion = 4000000000u;
    EXPECT_TRUE(m_pPatcher->SaveCurrentVersion());
    EXPECT_TRUE(WriteStartUpdate(kMarkerExtractStart));
    EXPECT_EQ(LocalValue("CurrentVersion"), "4000000000");
    EXPECT_EQ(LocalValue("StartUpdate"), "EXTRACT_START");
    EXPECT_EQ(LocalValue("CheckVersion"), "2");
}

}  // namespace
}  // namespace enginetest
