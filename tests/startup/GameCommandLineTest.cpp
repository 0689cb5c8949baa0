// The game's command lines as FinishUpdate hands them to the program runner, byte
// for byte; the window closes once the game has started, and stays open with the
// reason when it could not.
#include <gtest/gtest.h>

#include <cerrno>
#include <string>
#include <vector>

#include "engine/SharedState.h"
#include "engine/UpdateSurface.h"
#include "tests/support/RecordingWindow.h"

namespace {

struct SGameLineCase {
    const char* Label;
    bool Magic;
    std::string Address;
    std::string Expected;
};

TEST(GameCommandLine, FinishUpdateStartsTheLaunchTablesLineThenClosesTheWindow) {
    const std::string longAddress(1100, 'a');
    const std::vector<SGameLineCase> cases = {
        {"magic with an address", true, "10.1.2.3:7000", "Game.exe start game 10.1.2.3:7000"},
        {"magic, empty address: one trailing blank", true, "", "Game.exe start game "},
        {"no magic: the chosen server does not matter", false, "10.1.2.3:7000", "Game.exe start game"},
        {"an address too long for 1024 bytes is cut", true, longAddress,
         "Game.exe start game " + longAddress.substr(0, 1003)},
    };
    for (const SGameLineCase& c : cases) {
        testsupport::CRecordingWindow window;
        CUpdateSurface surface(window);
        std::vector<std::string> lines;
        int closesBeforeStart = -1;
        surface.SetProgramRunner([&](const std::string& line) {
            closesBeforeStart = window.CloseRequests();
            lines.push_back(line);
            return platform::ProgramStart{};
        });
        HasUifMagic = c.Magic;
        CurrentGameAddress = c.Address;
        surface.FinishUpdate(true);
        ASSERT_EQ(lines.size(), 1u) << c.Label;
        EXPECT_EQ(lines[0], c.Expected) << c.Label;
        EXPECT_LE(lines[0].size(), 1023u) << c.Label;
        EXPECT_EQ(closesBeforeStart, 0) << c.Label;
        EXPECT_EQ(window.CloseRequests(), 1) << c.Label;
    }
}

TEST(GameCommandLine, AGameThatCannotStartIsNamedWithTheReasonAndTheWindowStaysOpen) {
    using platform::ProgramStartError;
    struct Case {
        platform::ProgramStart start;
        const char* text;
    } cases[] = {
        {{ProgramStartError::NotFound, 0}, "无法启动 Game.exe: 找不到文件.c48"},
        {{ProgramStartError::NeedsWine, 0}, "无法启动 Game.exe: 这是 Windows 程序, 需要安装 wine.c48"},
        {{ProgramStartError::SpawnFailed, EACCES}, "无法启动 Game.exe: Permission denied.c48"},
    };
    for (const Case& c : cases) {
        testsupport::CRecordingWindow window;
        CUpdateSurface surface(window);
        surface.SetProgramRunner([&](const std::string&) { return c.start; });
        HasUifMagic = true;
        CurrentGameAddress = "10.1.2.3";
        surface.SetPatchesApplied(true);
        surface.FinishUpdate(true);
        EXPECT_EQ(window.MessageBoxTexts(), std::vector<std::string>{c.text});
        EXPECT_EQ(window.Text(kStatusControl), c.text) << "the reason replaces 更新完毕";
        EXPECT_EQ(window.CloseRequests(), 0) << c.text;
    }
}

TEST(GameCommandLine, FinishingWithoutTheGameStartsNothing) {
    testsupport::CRecordingWindow window;
    CUpdateSurface surface(window);
    int started = 0;
    surface.SetProgramRunner([&](const std::string&) { return ++started, platform::ProgramStart{}; });
    HasUifMagic = true;
    CurrentGameAddress = "127.0.0.1";
    surface.FinishUpdate(false);
    EXPECT_EQ(started, 0);
    EXPECT_EQ(window.CloseRequests(), 0);
}

}  // namespace
