// Loading updater.uif into the tables, restoring the stored choice, the start
// button's rule and action, and saving the choice.
#include <filesystem>

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "engine/SharedState.h"
#include "launcher/core/ISelectionView.h"
#include "launcher/core/MyRegKey.h"
#include "launcher/core/ServerSelection.h"
#include "tests/launcher/TestRegistry.h"
#include "tests/launcher/UifBytes.h"
#include "tests/support/GbkText.h"

using testsupport::CUifBytes;
using testsupport::Gbk;

namespace {

constexpr const char* kKeyPath = "SOFTWARE\\TALVE\\Velmor";

class CRecordingView : public ISelectionView {
public:
    void UpdateScrollMetrics() override { calls.push_back("UpdateScrollMetrics"); }
    void UpdateThumbPosition() override { calls.push_back("UpdateThumbPosition"); }
    void DrawScrollThumb() override { calls.push_back("DrawScrollThumb"); }
    void DrawServerList(bool listOnly) override { calls.push_back(listOnly ? "DrawServerList rows" : "DrawServerList full"); }
    bool HasStartButton() const override { return hasStartButton; }
    void EnableStartButton(bool enabled) override { calls.push_back(enabled ? "enable start" : "disable start"); }
    void FocusSettingsButton() override { calls.push_back("focus 1000"); }
    void ShowMessageBox(const std::string& text) override { calls.push_back("message box " + text); }
    void ShowStatusError(const std::string& text) override { calls.push_back("status error " + text); }

    std::vector<std::string> calls;
    bool hasStartButton = true;
};

// Group g has serverCounts[g] servers named "g.s" with hosts "host-g-s" and addresses "addr-g-s".
std::string ConfigFile(const std::vector<int>& serverCounts, bool magic = true, int links = 8) {
    CUifBytes bytes;
    if (magic) bytes.Magic(0);
    bytes.Int(static_cast<int32_t>(serverCounts.size()));
    for (size_t g = 0; g < serverCounts.size(); ++g) {
        bytes.Group("group " + std::to_string(g), serverCounts[g]);
        for (int s = 0; s < serverCounts[g]; ++s) {
            std::string id = std::to_string(g) + "-" + std::to_string(s);
            if (magic) {
                bytes.Server(std::to_string(g) + "." + std::to_string(s), "host-" + id, "addr-" + id);
            } else {
                bytes.Server(std::to_string(g) + "." + std::to_string(s), "host-" + id);
            }
        }
    }
    bytes.Int(links);
    for (int i = 0; i < links; ++i) bytes.Link("http://link/" + std::to_string(i));
    return bytes.Bytes();
}

class ServerSelectionTest : public ::testing::Test {
protected:
    ServerSelectionTest() : m_game(true) {
        EXPECT_EQ(m_key.Create(platform::CStoreKey::LocalMachine(), kKeyPath), 0);
        HasUifMagic = false;
        CurrentPatchHost.clear();
        CurrentGameAddress.clear();
    }

    void Store(const char* name, const std::string& text) { ASSERT_EQ(m_key.SetValue(text.c_str(), name), 0); }
    std::string Stored(const char* name) {
        std::string text;
        return m_key.QueryValue(text, name) == 0 ? text : "<none>";
    }
    bool Load(const std::string& file) {
        testsupport::WriteFile(m_game / "updater.uif", file);
        return m_selection.LoadLauncherConfig();
    }

    testsupport::CTestRegistry m_registry;
    testsupport::CTempFolder m_game;
    CMyRegKey m_key;
    CRecordingView m_view;
    LauncherConfig m_config;
    int m_nWorkerStarts = 0;
    CServerSelection m_selection{m_view, m_key, [this] { ++m_nWorkerStarts; }, m_config};
};

TEST_F(ServerSelectionTest, RestoresAndClampsTheStoredChoice) {
    struct Case {
        std::vector<int> groups;
        const char* storedGroup;   // nullptr: no value
        const char* storedServer;
        uint32_t group, server;
        int32_t firstGroup, firstServer;
    };
    const std::vector<int> five = {1, 1, 1, 1, 1};
    const Case cases[] = {
        {five, "4", "0", 4, 0, 2, 0},
        {five, "3", "0", 3, 0, 2, 0},
        {five, "2", "0", 2, 0, 0, 0},
        {{1, 1, 1, 1}, "3", "0", 3, 0, 0, 0},
        {{1, 1, 1, 1, 1, 1, 1, 1}, "4", "0", 4, 0, 4, 0},
        {{10}, "0", "6", 0, 6, 0, 4},
        {{20}, "0", "6", 0, 6, 0, 6},
        {{20}, "0", "5", 0, 5, 0, 0},
        {{10}, "0", "9", 0, 9, 0, 4},
        {{1, 1, 1}, "-1", "0", 0, 0, 0, 0},
        {{1, 1, 1}, "3", "0", 0, 0, 0, 0},
        {{1, 1, 1}, "2abc", "0", 2, 0, 0, 0},
        {{1, 1, 1}, "2", "0", 2, 0, 0, 0},
        {{1, 1}, "2", "0", 0, 0, 0, 0},
        {{1, 1, 1}, "99999999999", "0", 0, 0, 0, 0},
        {{1, 1, 1}, "", "0", 0, 0, 0, 0},
        {{4}, "0", " 3x", 0, 3, 0, 0},
        {{3}, "0", " 3x", 0, 0, 0, 0},
        {{1, 4}, "1", nullptr, 1, 0, 0, 0},
        {{2, 8}, nullptr, "1", 0, 1, 0, 0},
        {{2, 8}, nullptr, "7", 0, 0, 0, 0},
        {{2, 8}, "5", "7", 0, 0, 0, 0},  // the group falls back to 0, the server is checked against group 0
        {{0, 3}, "0", "2", 0, 0, 0, 0},
        {{}, "0", "0", 0, 0, 0, 0},
        {{}, "2", "3", 0, 0, 0, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.storedGroup ? c.storedGroup : "-") + "/" + (c.storedServer ? c.storedServer : "-") +
                     " over " + std::to_string(c.groups.size()) + " groups");
        CMyRegKey fresh;
        testsupport::CTestRegistry registry;
        ASSERT_EQ(fresh.Create(platform::CStoreKey::LocalMachine(), kKeyPath), 0);
        if (c.storedGroup) {
            ASSERT_EQ(fresh.SetValue(c.storedGroup, "PATCH_GROUP"), 0);
        }
        if (c.storedServer) {
            ASSERT_EQ(fresh.SetValue(c.storedServer, "PATCH_SERVER"), 0);
        }
        LauncherConfig config;
        config.FirstVisibleGroup = config.FirstVisibleServer = config.LastDrawnFirstServer = 77;
        CServerSelection selection(m_view, fresh, {}, config);
        testsupport::WriteFile(m_game / "updater.uif", ConfigFile(c.groups));
        ASSERT_TRUE(selection.LoadLauncherConfig());
        EXPECT_EQ(config.ManyGroups, c.groups.size() > 4);
        EXPECT_EQ(config.SelectedGroup, c.group);
        EXPECT_EQ(config.SelectedServer, c.server);
        EXPECT_EQ(config.FirstVisibleGroup, c.firstGroup);
        EXPECT_EQ(config.FirstVisibleServer, c.firstServer);
        EXPECT_EQ(config.LastDrawnFirstServer, c.firstServer);
    }
}

TEST_F(ServerSelectionTest, LoadFillsTheTablesAndDrawsInOrder) {
    ASSERT_TRUE(Load(ConfigFile({2, 0}, true, 3)));
    EXPECT_TRUE(HasUifMagic);
    ASSERT_EQ(m_config.Groups.size(), 2u);
    EXPECT_EQ(m_config.Groups[0].Servers[1].GameAddress, "addr-0-1");
    EXPECT_EQ(m_view.calls, (std::vector<std::string>{"UpdateScrollMetrics", "UpdateThumbPosition", "DrawScrollThumb",
                                                       "DrawServerList full"}));
    // Fewer than 8 links: the missing ones are empty texts.
    EXPECT_EQ(m_config.Link(2), "http://link/2");
    EXPECT_EQ(m_config.Link(3), "");
    EXPECT_EQ(m_config.Link(7), "");

    ASSERT_TRUE(Load(ConfigFile({2}, false)));
    EXPECT_FALSE(HasUifMagic);
    EXPECT_EQ(m_config.Groups.at(0).Servers.at(1).GameAddress, "");
    EXPECT_EQ(m_config.Groups.at(0).Servers.at(1).PatchHost, "host-0-1");
}

TEST_F(ServerSelectionTest, FileNameIsMatchedWithoutCase) {
    testsupport::WriteFile(m_game / "UPDATER.UIF", ConfigFile({1}));
    EXPECT_TRUE(m_selection.LoadLauncherConfig());
    EXPECT_EQ(m_config.Groups.size(), 1u);
}

TEST_F(ServerSelectionTest, MissingFileIsReportedAndNothingIsDrawn) {
    Store("PATCH_GROUP", "1");
    EXPECT_FALSE(m_selection.LoadLauncherConfig());
    EXPECT_EQ(m_view.calls, (std::vector<std::string>{"message box Error: updater.uif File Not Found!",
                                                       "status error Error: updater.uif File Not Found!"}));
    std::filesystem::create_directory(m_game / "updater.uif");  // a folder is no file either
    EXPECT_FALSE(m_selection.LoadLauncherConfig());
    EXPECT_EQ(Stored("PATCH_GROUP"), "1");
}

TEST_F(ServerSelectionTest, StartButtonFollowsTheChoice) {
    ASSERT_TRUE(Load(ConfigFile({2, 0})));
    m_view.calls.clear();
    m_selection.UpdateStartButton();
    m_config.SelectedGroup = 1;  // the empty group
    m_selection.UpdateStartButton();
    m_config.SelectedGroup = 0;
    m_config.SelectedServer = 2;  // past the end
    m_selection.UpdateStartButton();
    m_config.SelectedServer = 1;
    m_view.hasStartButton = false;
    m_selection.UpdateStartButton();
    EXPECT_EQ(m_view.calls, (std::vector<std::string>{"enable start", "disable start", "disable start"}));

    ASSERT_TRUE(Load(ConfigFile({})));
    m_view.hasStartButton = true;
    m_view.calls.clear();
    m_selection.UpdateStartButton();
    EXPECT_EQ(m_view.calls, (std::vector<std::string>{"disable start"}));
}

TEST_F(ServerSelectionTest, StartCopiesThePickOnceAndLaterClicksChangeOnlyTheSavedChoice) {
    ASSERT_TRUE(Load(ConfigFile({1, 3})));
    m_config.SelectedGroup = 1;
    m_config.SelectedServer = 2;
    m_view.calls.clear();
    m_selection.BeginPatching();
    EXPECT_TRUE(m_selection.PatchingStarted());
    EXPECT_EQ(CurrentPatchHost, "host-1-2");
    EXPECT_EQ(CurrentGameAddress, "addr-1-2");
    EXPECT_EQ(m_nWorkerStarts, 1);
    EXPECT_EQ(m_view.calls, (std::vector<std::string>{"disable start", "focus 1000"}));

    m_config.SelectedServer = 0;
    m_view.calls.clear();
    m_selection.UpdateStartButton();  // stays disabled for the rest of the run
    m_selection.BeginPatching();      // a second press (Enter) starts nothing
    EXPECT_TRUE(m_view.calls.empty());
    EXPECT_EQ(m_nWorkerStarts, 1);
    EXPECT_EQ(CurrentPatchHost, "host-1-2");

    m_selection.SaveChoice();
    EXPECT_EQ(Stored("PATCH_GROUP"), "1");
    EXPECT_EQ(Stored("PATCH_SERVER"), "0");
}

TEST_F(ServerSelectionTest, StartWithoutAValidChoiceDoesNothing) {
    ASSERT_TRUE(Load(ConfigFile({0})));
    m_selection.BeginPatching();
    EXPECT_FALSE(m_selection.PatchingStarted());
    EXPECT_EQ(m_nWorkerStarts, 0);
    EXPECT_EQ(CurrentPatchHost, "");
}

TEST_F(ServerSelectionTest, StartCopiesLongTextsWithinTheSharedLimit) {
    const std::string host(1023, 'h');
    ASSERT_TRUE(Load(CUifBytes().Int(1).Group("g", 1).Server("s", host).Int(0).Bytes()));
    m_selection.BeginPatching();
    EXPECT_EQ(CurrentPatchHost, host);
    EXPECT_EQ(CurrentGameAddress, "");
    EXPECT_FALSE(HasUifMagic);
}

TEST_F(ServerSelectionTest, StartHandsTheFileGbkTextsOnInUtf8) {
    ASSERT_TRUE(Load(CUifBytes().Magic(0).Int(1).Group(Gbk("电信"), 1)
                         .Server(Gbk("某服"), Gbk("补丁.example") + "\xFF", Gbk("游戏.example"))
                         .Int(0).Bytes()));
    m_selection.BeginPatching();
    EXPECT_EQ(CurrentPatchHost, "补丁.example\\xFF");
    EXPECT_EQ(CurrentGameAddress, "游戏.example");
}

TEST_F(ServerSelectionTest, FirstRunSavesZeroAndZero) {
    ASSERT_TRUE(Load(ConfigFile({2})));
    EXPECT_EQ(m_config.SelectedGroup, 0u);
    m_selection.SaveChoice();
    EXPECT_EQ(Stored("PATCH_GROUP"), "0");
    EXPECT_EQ(Stored("PATCH_SERVER"), "0");
    EXPECT_EQ(testsupport::ReadFile(m_registry.MachineRoot() + "/SOFTWARE/TALVE/Velmor/PATCH_SERVER.value"),
              std::string("REG_SZ\n0\0", 9));
}

TEST_F(ServerSelectionTest, FileWithoutGroupsKeepsTheStoredChoice) {
    Store("PATCH_GROUP", "3");
    Store("PATCH_SERVER", "4");
    ASSERT_TRUE(Load(ConfigFile({})));
    EXPECT_EQ(m_config.SelectedGroup, 0u);
    EXPECT_EQ(m_config.SelectedServer, 0u);
    m_selection.SaveChoice();
    EXPECT_EQ(Stored("PATCH_GROUP"), "3");
    EXPECT_EQ(Stored("PATCH_SERVER"), "4");
}

TEST_F(ServerSelectionTest, UnopenedKeyRestoresZeroAndSavesNothing) {
    CMyRegKey unopened;
    LauncherConfig config;
    CServerSelection selection(m_view, unopened, {}, config);
    testsupport::WriteFile(m_game / "updater.uif", ConfigFile({3, 3}));
    ASSERT_TRUE(selection.LoadLauncherConfig());
    EXPECT_EQ(config.SelectedGroup, 0u);
    config.SelectedGroup = 1;
    selection.SaveChoice();
    EXPECT_EQ(Stored("PATCH_GROUP"), "<none>");
}

TEST_F(ServerSelectionTest, NumberValueRestoresAsText) {
    CMyRegKey& key = m_key;
    auto& store = const_cast<platform::CStoreKey&>(*key.Key());
    uint32_t two = 2;
    ASSERT_EQ(store.SetValue("PATCH_GROUP", platform::kRegDword, &two, 4), 0);
    const char digit[] = {'1', 0, 0, 0};
    ASSERT_EQ(store.SetValue("PATCH_SERVER", platform::kRegDword, digit, 4), 0);
    ASSERT_TRUE(Load(ConfigFile({3, 3, 3})));
    EXPECT_EQ(m_config.SelectedGroup, 0u);   // byte 2 is no digit
    EXPECT_EQ(m_config.SelectedServer, 1u);  // byte '1' is
}

TEST(ParseSignedText, ConvertsLikeTheRegistryTextIsRead) {
    const std::pair<const char*, int32_t> cases[] = {
        {"0", 0}, {"42", 42}, {"  \t7", 7}, {"+5", 5}, {"-1", -1}, {"2abc", 2}, {"abc", 0}, {"", 0},
        {"-", 0}, {" - 3", 0}, {"2147483647", INT32_MAX}, {"2147483648", INT32_MAX}, {"-2147483648", INT32_MIN},
        {"-99999999999999999999", INT32_MIN}, {"\n12", 12},
    };
    for (const auto& [text, value] : cases) EXPECT_EQ(ParseSignedText(text), value) << text;
}

}  // namespace
