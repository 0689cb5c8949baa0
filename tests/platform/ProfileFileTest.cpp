#include <gtest/gtest.h>

#include "platform/ProfileFile.h"
#include "tests/support/TempFolder.h"

using namespace platform;
using testsupport::CTempFolder;

TEST(ProfileFile, NamesIgnoreCaseAndEmptyEqualsAbsent) {
    CTempFolder folder(true);
    testsupport::WriteFile(folder / "Version.ini",
                           "; comment\r\n[Other]\r\nCurrentVersion=9\r\n[VERSION]\r\n currentversion = 12 \r\nStartUpdate=\r\n");
    EXPECT_EQ(GetProfileString(".\\version.ini", "Version", "CurrentVersion"), "12");
    EXPECT_EQ(GetProfileString("Version.ini", "version", "StartUpdate"), "");
    EXPECT_EQ(GetProfileString("Version.ini", "Version", "Missing"), "");
    EXPECT_EQ(GetProfileString("Nothing.ini", "Version", "CurrentVersion"), "");
}

TEST(ProfileFile, WriteReplacesAddsAndCreates) {
    CTempFolder folder(true);
    ASSERT_TRUE(WriteProfileString("Version.ini", "Version", "CurrentVersion", "0"));
    EXPECT_EQ(testsupport::ReadFile(folder / "Version.ini"), "[Version]\r\nCurrentVersion=0\r\n");
    ASSERT_TRUE(WriteProfileString("version.INI", "VERSION", "currentversion", "7"));
    ASSERT_TRUE(WriteProfileString("Version.ini", "Version", "StartUpdate", "EXTRACT_START"));
    EXPECT_EQ(testsupport::ReadFile(folder / "Version.ini"),
              "[Version]\r\ncurrentversion=7\r\nStartUpdate=EXTRACT_START\r\n");
}

TEST(ProfileFile, WriteKeepsOtherSectionsAndLineStyle) {
    CTempFolder folder(true);
    testsupport::WriteFile(folder / "a.ini", "[A]\nx=1\n\n[Version]\nCheckVersion=2\n\n[B]\ny=2\n");
    ASSERT_TRUE(WriteProfileString("a.ini", "Version", "CurrentVersion", "3"));
    EXPECT_EQ(testsupport::ReadFile(folder / "a.ini"),
              "[A]\nx=1\n\n[Version]\nCheckVersion=2\nCurrentVersion=3\n\n[B]\ny=2\n");
}

TEST(ProfileFile, LongValuesAreCutAndGarbageReadsAsAbsent) {
    CTempFolder folder(true);
    testsupport::WriteFile(folder / "long.ini", "[Version]\nK=" + std::string(1000, '7') + "\n");
    EXPECT_EQ(GetProfileString("long.ini", "Version", "K"), std::string(kProfileValueMax, '7'));
    std::string garbage(300000, '\0');
    for (size_t i = 0; i < garbage.size(); ++i) garbage[i] = static_cast<char>(i * 7919 % 251);
    testsupport::WriteFile(folder / "bad.ini", garbage);
    EXPECT_EQ(GetProfileString("bad.ini", "Version", "CurrentVersion"), "");
    EXPECT_TRUE(WriteProfileString("bad.ini", "Version", "CurrentVersion", "1"));
    EXPECT_EQ(GetProfileString("bad.ini", "Version", "CurrentVersion"), "1");
}
