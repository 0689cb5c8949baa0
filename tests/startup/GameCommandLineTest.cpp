// The game's command lines as FinishUpdate hands them to the program runner, byte
// for byte, after the close request has been posted.
#include <gtest/gtest.h>

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

TEST(GameCommandLine, FinishUpdateStartsTheLaunchTablesLineAfterTheCloseRequest) {
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
            return true;
        });
        HasUifMagic = c.Magic;
        CurrentGameAddress = c.Address;
        surface.FinishUpdate(true);
        ASSERT_EQ(lines.size(), 1u) << c.Label;
        EXPECT_EQ(lines[0], c.Expected) << c.Label;
        EXPECT_LE(lines[0].size(), 1023u) << c.Label;
        EXPECT_EQ(closesBeforeStart, 1) << c.Label;
    }
}

TEST(GameCommandLine, FinishingWithoutTheGameStartsNothing) {
    testsupport::CRecordingWindow window;
    CUpdateSurface surface(window);
    int started = 0;
    surface.SetProgramRunner([&](const std::string&) { return ++started, true; });
    HasUifMagic = true;
    CurrentGameAddress = "127.0.0.1";
    surface.FinishUpdate(false);
    EXPECT_EQ(started, 0);
    EXPECT_EQ(window.CloseRequests(), 0);
}

}  // namespace
