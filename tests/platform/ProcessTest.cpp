#include <gtest/gtest.h>

#include <sys/stat.h>

#include <cerrno>
#include <cstdlib>

#include "platform/Clock.h"
#include "platform/Process.h"
#include "tests/support/TempFolder.h"

using namespace platform;
using testsupport::CTempFolder;

namespace {

void WriteScript(const std::string& path, const std::string& body) {
    testsupport::WriteFile(path, "#!/bin/sh\n" + body);
    chmod(path.c_str(), 0755);
}

// The started program writes its file some time after RunProgram returns.
std::string AwaitFile(const std::string& path) {
    for (int i = 0; i < 500 && !testsupport::Exists(path); ++i) SleepMilliseconds(10);
    SleepMilliseconds(20);
    return testsupport::Exists(path) ? testsupport::ReadFile(path) : "";
}

}  // namespace

TEST(Process, SplitsByTheWindowsRules) {
    struct Case {
        const char* line;
        std::vector<std::string> args;
    } cases[] = {
        {"Game.exe start game 127.0.0.1", {"Game.exe", "start", "game", "127.0.0.1"}},
        {"Game.exe start game ", {"Game.exe", "start", "game"}},
        {"\"C:\\Program Files\\a.exe\" x", {"C:\\Program Files\\a.exe", "x"}},
        {"a.exe \"two words\" \\\"q\\\" c:\\dir\\", {"a.exe", "two words", "\"q\"", "c:\\dir\\"}},
        {"a.exe \\\\\"x y\" a\\\\\\\"b", {"a.exe", "\\x y", "a\\\"b"}},
        {"a.exe \"a\"\"b\"", {"a.exe", "a\"b"}},
        {"", {}},
    };
    for (const Case& c : cases) EXPECT_EQ(SplitCommandLine(c.line), c.args) << c.line;
}

TEST(Process, FindsTheProgramWithoutRegardToCaseAndPassesArguments) {
    CTempFolder folder(true);
    WriteScript(folder / "Game.exe", "printf '%s|' \"$@\" > args.txt\n");
    ASSERT_TRUE(RunProgram("game.exe start game 10.0.0.1:5000"));
    EXPECT_EQ(AwaitFile(folder / "args.txt"), "start|game|10.0.0.1:5000|");
    EXPECT_FALSE(RunProgram("NoSuchProgram.exe"));
    EXPECT_FALSE(RunProgram(""));
}

TEST(Process, StartsWindowsProgramsThroughWine) {
    CTempFolder folder(true);
    CTempFolder bin;
    WriteScript(bin / "wine", "printf '%s|' \"$@\" > \"$(dirname \"$1\")/wine.txt\"\n");
    testsupport::WriteFile(folder / "Config.exe", std::string("MZ\x90\0", 4));
    std::string oldPath = std::getenv("PATH");
    setenv("PATH", (bin.Path() + ":" + oldPath).c_str(), 1);
    bool started = static_cast<bool>(RunProgram("config.exe /quiet"));
    setenv("PATH", oldPath.c_str(), 1);
    ASSERT_TRUE(started);
    EXPECT_EQ(AwaitFile(folder / "wine.txt"), folder.Path() + "/Config.exe|/quiet|");
}

TEST(Process, SaysWhyAProgramDidNotStart) {
    CTempFolder folder(true);
    CTempFolder bin;  // PATH without wine
    testsupport::WriteFile(folder / "Windows.exe", std::string("MZ\x90\0", 4));
    testsupport::WriteFile(folder / "Plain.exe", "not a program and not executable");
    struct Case {
        const char* line;
        ProgramStartError error;
        int systemError;
    } cases[] = {
        {"Missing.exe start game", ProgramStartError::NotFound, 0},
        {"Windows.exe start game", ProgramStartError::NeedsWine, 0},
        {"Plain.exe", ProgramStartError::SpawnFailed, EACCES},
    };
    std::string oldPath = std::getenv("PATH");
    setenv("PATH", bin.Path().c_str(), 1);
    for (const Case& c : cases) {
        ProgramStart start = RunProgram(c.line);
        EXPECT_FALSE(start) << c.line;
        EXPECT_EQ(start.Error, c.error) << c.line;
        EXPECT_EQ(start.SystemError, c.systemError) << c.line;
    }
    setenv("PATH", oldPath.c_str(), 1);
}

TEST(Process, SystemFolderIsTheWinePrefixs) {
    const char* old = std::getenv("WINEPREFIX");
    setenv("WINEPREFIX", "/opt/prefix", 1);
    EXPECT_EQ(SystemFolder(), "/opt/prefix/drive_c/windows/system32");
    setenv("WINEPREFIX", std::string(300, 'p').c_str(), 1);
    EXPECT_EQ(SystemFolder(), "");
    if (old) setenv("WINEPREFIX", old, 1); else unsetenv("WINEPREFIX");
}
