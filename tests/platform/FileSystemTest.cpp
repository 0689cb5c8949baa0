#include <gtest/gtest.h>

#include <sys/stat.h>

#include <filesystem>

#include "platform/File.h"
#include "platform/FileSystem.h"
#include "tests/support/TempFolder.h"

using namespace platform;
using testsupport::CTempFolder;

TEST(FileSystem, ResolvesEveryComponentWithoutRegardToCase) {
    CTempFolder folder(true);
    testsupport::WriteFile(folder / "Data/Maps/Town.bin", "x");
    EXPECT_EQ(ToNativePath("data\\maps\\TOWN.BIN"), "Data/Maps/Town.bin");
    EXPECT_EQ(ToNativePath(".\\DATA/maps\\town.bin"), "./Data/Maps/Town.bin");
    // A new entry keeps its spelling; only existing parents are matched.
    EXPECT_EQ(ToNativePath("DATA\\New\\File.TXT"), "Data/New/File.TXT");
    EXPECT_EQ(ToNativePath(folder.Path() + "\\data\\maps"), folder.Path() + "/Data/Maps");
    EXPECT_TRUE(RegularFileExists("data\\maps\\town.bin"));
    EXPECT_TRUE(FolderExists("DATA"));
    EXPECT_FALSE(RegularFileExists("data"));
}

TEST(FileSystem, ExactSpellingWinsOverAnotherCase) {
    CTempFolder folder(true);
    testsupport::WriteFile(folder / "game.exe", "a");
    testsupport::WriteFile(folder / "Game.exe", "b");
    EXPECT_EQ(ToNativePath("Game.exe"), "Game.exe");
    EXPECT_EQ(ToNativePath("game.exe"), "game.exe");
}

TEST(FileSystem, ReadOnlyAttributeMapsToWriteBits) {
    CTempFolder folder(true);
    testsupport::WriteFile(folder / "f.txt", "x");
    ASSERT_TRUE(SetFileAttributes("F.TXT", kAttributeReadOnly));
    struct stat info {};
    ASSERT_EQ(stat((folder / "f.txt").c_str(), &info), 0);
    EXPECT_EQ(info.st_mode & 0222, 0u);
    ASSERT_TRUE(SetFileAttributes("f.txt", 0x20));
    ASSERT_EQ(stat((folder / "f.txt").c_str(), &info), 0);
    EXPECT_NE(info.st_mode & S_IWUSR, 0u);
}

TEST(FileSystem, AtomicWriteLeavesOnlyTheNewFile) {
    CTempFolder folder(true);
    testsupport::WriteFile(folder / "v.ini", "old");
    ASSERT_TRUE(WriteFileAtomically("V.INI", "new content"));
    EXPECT_EQ(testsupport::ReadFile(folder / "v.ini"), "new content");
    int entries = 0;
    for ([[maybe_unused]] auto& entry : std::filesystem::directory_iterator(folder.Path())) ++entries;
    EXPECT_EQ(entries, 1);
}

TEST(File, ReadsWritesSeeksAndAppends) {
    CTempFolder folder(true);
    CFile file;
    ASSERT_TRUE(file.Open("a.bin", CFile::Mode::CreateReadWrite));
    ASSERT_TRUE(file.Write("hello", 5));
    ASSERT_TRUE(file.Seek(1));
    char buffer[8] = {};
    EXPECT_EQ(file.Read(buffer, 8), 4u);
    EXPECT_STREQ(buffer, "ello");
    file.Close();
    ASSERT_TRUE(file.Open("A.BIN", CFile::Mode::Append));
    ASSERT_TRUE(file.Write("!", 1));
    EXPECT_EQ(file.Size().value_or(0), 6u);
    EXPECT_FALSE(CFile().Open("missing.bin", CFile::Mode::Read));
    EXPECT_FALSE(CFile().Open(".", CFile::Mode::Read));
}
