// The list's geometry and state: tab places, scroll metrics, track and wheel
// steps, hit areas and the window drag, through a canvas that records the draws.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "launcher/core/ServerListLogic.h"

namespace {

struct SDraw {
    std::string What;
    int Id = 0, X = 0, Y = 0, W = 0, H = 0;
};

class CRecordingCanvas : public IServerListCanvas {
public:
    void DrawSkin() override { Draws.push_back({"skin"}); }
    void DrawBitmap(int id, int x, int y) override { Draws.push_back({"bitmap", id, x, y}); }
    void DrawBitmapPart(int id, int x, int y, int w, int h) override { Draws.push_back({"part", id, x, y, w, h}); }
    void FillBlack(int l, int t, int r, int b) override { Draws.push_back({"black", 0, l, t, r, b}); }
    void DrawTabText(int left, const std::string& name) override {
        Draws.push_back({"tabtext:" + name, 0, left});
    }
    void DrawListImage(const std::vector<SListRow>& rows) override {
        Lists.push_back(rows);
        Draws.push_back({"list"});
    }
    void DrawProgressBars() override { Draws.push_back({"bars"}); }
    void MoveWindowBy(int dx, int dy) override { Moves.push_back({dx, dy}); }
    void CaptureMouse() override { ++Captures; }
    void ReleaseMouse() override { ++Releases; }
    void OpenLink(int index) override { Links.push_back(index); }
    void UpdateStartButton() override { ++StartButtonUpdates; }

    std::vector<int> TabLefts() const {
        std::vector<int> lefts;
        for (const auto& d : Draws)
            if (d.What == "bitmap" && (d.Id == 208 || d.Id == 209))
                lefts.push_back(d.X);
        return lefts;
    }
    int Count(const std::string& what, int id = -1) const {
        int n = 0;
        for (const auto& d : Draws)
            n += d.What == what && (id < 0 || d.Id == id);
        return n;
    }

    std::vector<SDraw> Draws;
    std::vector<std::vector<SListRow>> Lists;
    std::vector<std::pair<int, int>> Moves;
    std::vector<int> Links;
    int Captures = 0, Releases = 0, StartButtonUpdates = 0;
};

LauncherConfig MakeConfig(int groups, int serversPerGroup) {
    LauncherConfig config;
    for (int g = 0; g < groups; ++g) {
        ServerGroup group;
        group.Name = "G" + std::to_string(g);
        for (int s = 0; s < serversPerGroup; ++s) {
            ServerEntry entry;
            entry.Name = "S" + std::to_string(s);
            group.Servers.push_back(entry);
        }
        config.Groups.push_back(group);
    }
    config.ManyGroups = groups > 4;
    return config;
}

class ServerListLogicTest : public ::testing::Test {
protected:
    void Load(int groups, int servers) {
        config = MakeConfig(groups, servers);
        logic = std::make_unique<CServerListLogic>(canvas, config);
        logic->UpdateScrollMetrics();
        logic->UpdateThumbPosition();
        logic->DrawScrollThumb();
        logic->DrawServerList(false);
        canvas.Draws.clear();
        canvas.Lists.clear();
    }

    CRecordingCanvas canvas;
    LauncherConfig config;
    std::unique_ptr<CServerListLogic> logic;
};

TEST_F(ServerListLogicTest, TabsEndFlushAtTheRightAndGiveWayToTheGroupArrows) {
    struct Case {
        int groups;
        std::vector<int> lefts;
        bool arrows;
    };
    for (const Case& c : {Case{1, {282}, false}, Case{2, {236, 282}, false}, Case{3, {190, 236, 282}, false},
                          Case{4, {144, 190, 236, 282}, false}, Case{5, {144, 190, 236}, true},
                          Case{9, {144, 190, 236}, true}}) {
        SCOPED_TRACE(c.groups);
        Load(c.groups, 3);
        logic->DrawServerList(false);
        EXPECT_EQ(canvas.TabLefts(), c.lefts);
        EXPECT_EQ(canvas.Count("bitmap", 238), c.arrows ? 1 : 0);
        EXPECT_EQ(canvas.Count("bitmap", 237), c.arrows ? 1 : 0);
        EXPECT_EQ(canvas.Draws.front().Id, 208) << "group 0 is chosen and drawn first";
    }
}

TEST_F(ServerListLogicTest, ListOnlyDrawsNoTabs) {
    Load(3, 3);
    logic->DrawServerList(true);
    EXPECT_TRUE(canvas.TabLefts().empty());
    EXPECT_EQ(canvas.Count("list"), 1);
}

TEST_F(ServerListLogicTest, ScrollMetricsFollowTheServerCount) {
    struct Case {
        int servers, maxScroll, thumbLength;
        bool active;
    };
    for (const Case& c : {Case{0, 0, 69, false}, Case{6, 0, 69, false}, Case{7, 1, 65, true},
                          Case{10, 4, 53, true}, Case{19, 13, 20, true}, Case{200, 194, 20, true}}) {
        SCOPED_TRACE(c.servers);
        Load(1, c.servers);
        EXPECT_EQ(logic->MaxScroll(), c.maxScroll);
        EXPECT_EQ(logic->ThumbLength(), c.thumbLength);
        EXPECT_EQ(logic->ScrollActive(), c.active);
        EXPECT_EQ(logic->UpEnabled(), c.active);
        EXPECT_EQ(logic->DownEnabled(), c.active);
        EXPECT_EQ(logic->ThumbTop(), 359);
    }
}

TEST_F(ServerListLogicTest, ThumbIsDrawnInThreePiecesAfterClearingTheTrack) {
    Load(1, 6);
    logic->DrawScrollThumb();
    ASSERT_EQ(canvas.Draws.size(), 4u);
    EXPECT_EQ(canvas.Draws[0].What, "black");
    EXPECT_EQ(canvas.Draws[0].X, 316);
    EXPECT_EQ(canvas.Draws[0].Y, 359);
    EXPECT_EQ(canvas.Draws[0].W, 327);
    EXPECT_EQ(canvas.Draws[0].H, 428);
    EXPECT_EQ(canvas.Draws[1].Id, 236);
    EXPECT_EQ(canvas.Draws[1].Y, 359);
    EXPECT_EQ(canvas.Draws[2].Id, 235);
    EXPECT_EQ(canvas.Draws[2].Y, 364);
    EXPECT_EQ(canvas.Draws[2].H, 56);
    EXPECT_EQ(canvas.Draws[3].Id, 234);
    EXPECT_EQ(canvas.Draws[3].Y, 359 + 69 - 8);
}

TEST_F(ServerListLogicTest, ThumbPositionFollowsTheFirstRow) {
    Load(1, 19);  // MaxScroll 13, ThumbLength 20
    config.FirstVisibleServer = 13;
    logic->UpdateThumbPosition();
    EXPECT_EQ(logic->ThumbTop(), 359 + 49);
    config.FirstVisibleServer = 5;
    logic->UpdateThumbPosition();
    EXPECT_EQ(logic->ThumbTop(), 359 + 18);  // trunc(5 * 49 / 13) = 18
}

TEST_F(ServerListLogicTest, TrackClicksPageByAQuarterButAtLeastTwoRows) {
    struct Case {
        int servers, step;
    };
    for (const Case& c : {Case{19, 3}, Case{11, 2}, Case{60, 13}}) {
        SCOPED_TRACE(c.servers);
        Load(1, c.servers);
        logic->OnLeftButtonDown(320, 420);  // below the thumb
        EXPECT_EQ(config.FirstVisibleServer, c.step);
        EXPECT_EQ(config.LastDrawnFirstServer, c.step);
        logic->OnLeftButtonUp();
        logic->OnLeftButtonDown(320, 362);  // above the moved thumb
        EXPECT_EQ(config.FirstVisibleServer, 0);
        logic->OnLeftButtonUp();
    }
    Load(1, 11);  // MaxScroll 5: two steps of 2, then the end
    for (int expected : {2, 4, 5, 5}) {
        logic->OnLeftButtonDown(320, 426);
        logic->OnLeftButtonUp();
        EXPECT_EQ(config.FirstVisibleServer, expected);
    }
}

TEST_F(ServerListLogicTest, WheelStepsUseTheSinglePrecisionFactor) {
    struct Case {
        int start;
        int16_t distance;
        int expected;
    };
    for (const Case& c : {Case{5, 120, 4}, Case{5, -120, 6}, Case{5, 240, 3}, Case{5, 100, 5}, Case{5, -100, 5},
                          Case{0, 120, 0}, Case{13, -360, 13}, Case{5, 1200, 0}}) {
        SCOPED_TRACE(c.distance);
        Load(1, 19);
        config.FirstVisibleServer = config.LastDrawnFirstServer = c.start;
        logic->OnMouseWheel(c.distance, 100, 400);
        EXPECT_EQ(config.FirstVisibleServer, c.expected);
        EXPECT_EQ(config.LastDrawnFirstServer, c.expected);
        EXPECT_EQ(canvas.Count("list"), c.start == c.expected ? 0 : 1);
    }
}

TEST_F(ServerListLogicTest, WheelOutsideItsAreaOrWithoutScrollingChangesNothing) {
    Load(1, 19);
    config.FirstVisibleServer = config.LastDrawnFirstServer = 5;
    for (auto [x, y] : {std::pair{30, 400}, {331, 400}, {100, 302}, {100, 452}, {500, 400}})
        logic->OnMouseWheel(120, x, y);
    EXPECT_EQ(config.FirstVisibleServer, 5);
    Load(1, 6);
    logic->OnMouseWheel(-120, 100, 400);
    EXPECT_EQ(config.FirstVisibleServer, 0);
    EXPECT_TRUE(canvas.Draws.empty());
}

TEST_F(ServerListLogicTest, BorderPixelOfTwoRowsBelongsToTheUpperRow) {
    Load(1, 10);
    logic->OnMouseMove(100, 364, false);
    EXPECT_EQ(logic->HoverServer(), 0);
    EXPECT_TRUE(logic->HandCursor());
    logic->OnMouseMove(100, 365, false);
    EXPECT_EQ(logic->HoverServer(), 1);
    logic->OnLeftButtonDown(301, 348 + 16 * 5 + 16);
    EXPECT_EQ(config.SelectedServer, 5u);
    logic->OnMouseMove(44, 350, false);
    EXPECT_FALSE(logic->HandCursor());
}

TEST_F(ServerListLogicTest, HoverRedrawsOnlyTheRowsAndOnlyOnChange) {
    Load(2, 10);
    logic->OnMouseMove(100, 370, false);
    logic->OnMouseMove(110, 372, false);
    EXPECT_EQ(canvas.Count("list"), 1);
    EXPECT_TRUE(canvas.TabLefts().empty());
    // Leaving the list keeps the grey row until another row is hovered.
    logic->OnMouseMove(500, 100, false);
    EXPECT_EQ(logic->HoverServer(), 1);
    auto rows = logic->VisibleRows();
    ASSERT_EQ(rows.size(), 6u);
    EXPECT_EQ(rows[0].Colour, listgeometry::kChosenRow);
    EXPECT_EQ(rows[1].Colour, listgeometry::kHoverRow);
    EXPECT_EQ(rows[2].Colour, listgeometry::kOtherRow);
    // The chosen row stays white under the pointer.
    logic->OnMouseMove(100, 350, false);
    EXPECT_EQ(logic->VisibleRows()[0].Colour, listgeometry::kChosenRow);
}

TEST_F(ServerListLogicTest, RowsShowTheVisibleSliceOfTheChosenGroup) {
    Load(1, 10);
    config.FirstVisibleServer = 4;
    auto rows = logic->VisibleRows();
    ASSERT_EQ(rows.size(), 6u);
    EXPECT_EQ(rows.front().Name, "S4");
    EXPECT_EQ(rows.back().Name, "S9");
    config.SelectedGroup = 3;  // no such group: an empty list
    EXPECT_TRUE(logic->VisibleRows().empty());
}

TEST_F(ServerListLogicTest, ClickOnTheChosenTabStillResetsServerAndScroll) {
    Load(2, 19);
    config.SelectedGroup = 1;
    config.SelectedServer = 9;
    config.FirstVisibleServer = config.LastDrawnFirstServer = 7;
    logic->UpdateThumbPosition();
    logic->OnLeftButtonDown(300, 320);  // tab of group 1 at 282
    EXPECT_EQ(config.SelectedGroup, 1u);
    EXPECT_EQ(config.SelectedServer, 0u);
    EXPECT_EQ(config.FirstVisibleServer, 0);
    EXPECT_EQ(logic->ThumbTop(), 359);
    EXPECT_FALSE(logic->Dragging());
    EXPECT_EQ(canvas.StartButtonUpdates, 1);
    logic->OnLeftButtonDown(236, 333);  // tab of group 0, corner pixel
    EXPECT_EQ(config.SelectedGroup, 0u);
}

TEST_F(ServerListLogicTest, GroupArrowsMoveTheTabsAndCountAsHandled) {
    Load(5, 2);
    config.FirstVisibleGroup = 2;
    logic->OnLeftButtonDown(315, 320);  // next: 2 + 3 is not below 5
    EXPECT_EQ(config.FirstVisibleGroup, 2);
    EXPECT_TRUE(canvas.TabLefts().empty());
    EXPECT_FALSE(logic->Dragging());
    logic->OnLeftButtonUp();
    config.FirstVisibleGroup = 0;
    logic->OnLeftButtonDown(295, 320);  // previous at 0: redraws, stays 0
    EXPECT_EQ(config.FirstVisibleGroup, 0);
    EXPECT_EQ(canvas.TabLefts(), (std::vector<int>{144, 190, 236}));
    EXPECT_FALSE(logic->Dragging());
    canvas.Draws.clear();
    logic->OnLeftButtonDown(315, 320);
    EXPECT_EQ(config.FirstVisibleGroup, 1);
    logic->DrawServerList(false);
    ASSERT_FALSE(canvas.Draws.empty());
    EXPECT_EQ(canvas.Draws.front().Id, 209) << "group 0 is no longer shown";
}

TEST_F(ServerListLogicTest, NoDragStripAndBareSkinDecideTheWindowDrag) {
    Load(1, 3);
    logic->OnLeftButtonDown(100, 450);
    EXPECT_FALSE(logic->Dragging());
    EXPECT_EQ(config.SelectedServer, 0u);
    EXPECT_EQ(canvas.Captures, 0);
    logic->OnLeftButtonUp();

    logic->OnLeftButtonDown(600, 40);
    EXPECT_TRUE(logic->Dragging());
    EXPECT_EQ(canvas.Captures, 1);
    logic->OnMouseMove(610, 35, true);
    logic->OnMouseMove(600, 40, false);  // button no longer down: no move
    logic->OnLeftButtonUp();
    logic->OnMouseMove(700, 70, true);
    EXPECT_EQ(canvas.Moves, (std::vector<std::pair<int, int>>{{10, -5}}));
    EXPECT_FALSE(logic->Dragging());
    EXPECT_EQ(canvas.Releases, 2);
}

TEST_F(ServerListLogicTest, ScrollColumnAndLinkAreaNeverStartADrag) {
    Load(1, 3);  // not scrolling: the column still counts as handled
    logic->OnLeftButtonDown(320, 400);
    EXPECT_FALSE(logic->Dragging());
    logic->OnLeftButtonDown(600, 325);
    EXPECT_FALSE(logic->Dragging());
    EXPECT_EQ(canvas.Links, std::vector<int>{2});
}

TEST_F(ServerListLogicTest, ArrowsScrollOneRowAndShowTheirStates) {
    Load(1, 8);  // MaxScroll 2
    logic->EraseBackground();
    EXPECT_EQ(logic->UpDrawnState(), EArrowState::Normal);
    logic->OnMouseMove(320, 345, false);
    EXPECT_EQ(logic->UpDrawnState(), EArrowState::Hover);
    EXPECT_EQ(canvas.Count("bitmap", 211), 1);
    logic->OnMouseMove(321, 346, false);
    EXPECT_EQ(canvas.Count("bitmap", 211), 1) << "unchanged state is not redrawn";
    for (int expected : {1, 2, 2}) {
        logic->OnLeftButtonDown(320, 440);
        EXPECT_EQ(logic->DownDrawnState(), EArrowState::Pressed);
        logic->OnLeftButtonUp();
        EXPECT_EQ(config.FirstVisibleServer, expected);
    }
    EXPECT_EQ(logic->DownDrawnState(), EArrowState::Normal);
    logic->OnLeftButtonDown(320, 341);
    EXPECT_EQ(config.FirstVisibleServer, 1);
    logic->OnLeftButtonUp();

    Load(1, 6);
    logic->EraseBackground();
    EXPECT_EQ(logic->UpDrawnState(), EArrowState::Disabled);
    EXPECT_EQ(logic->DownDrawnState(), EArrowState::Disabled);
    EXPECT_EQ(canvas.Count("bitmap", 212), 1);
    EXPECT_EQ(canvas.Count("bitmap", 215), 1);
}

TEST_F(ServerListLogicTest, DraggingTheThumbScrollsTheList) {
    Load(1, 19);  // ThumbLength 20, track travel 49 for 13 rows
    logic->OnLeftButtonDown(320, 365);
    ASSERT_TRUE(logic->ThumbDragging());
    EXPECT_FALSE(logic->Dragging());
    logic->OnMouseMove(320, 390, true);
    EXPECT_EQ(logic->ThumbTop(), 384);
    EXPECT_EQ(config.FirstVisibleServer, 6);  // trunc(25 / 49 * 13)
    logic->OnMouseMove(320, 500, true);
    EXPECT_EQ(logic->ThumbTop(), 408);
    EXPECT_EQ(config.FirstVisibleServer, 13);
    logic->OnLeftButtonUp();
    logic->OnMouseMove(320, 300, true);
    EXPECT_EQ(config.FirstVisibleServer, 13);
}

TEST_F(ServerListLogicTest, EraseDrawsInItsOrder) {
    Load(1, 3);
    logic->EraseBackground();
    ASSERT_GE(canvas.Draws.size(), 4u);
    EXPECT_EQ(canvas.Draws.front().What, "skin");
    EXPECT_EQ(canvas.Draws.back().What, "bars");
    EXPECT_EQ(canvas.Count("list"), 1);
    EXPECT_EQ(canvas.Count("black"), 1);
}

TEST_F(ServerListLogicTest, EmptyConfigurationDrawsNothingButTheList) {
    Load(0, 0);
    logic->EraseBackground();
    EXPECT_TRUE(canvas.TabLefts().empty());
    ASSERT_EQ(canvas.Lists.size(), 1u);
    EXPECT_TRUE(canvas.Lists[0].empty());
    logic->OnLeftButtonDown(100, 350);
    logic->OnMouseMove(100, 350, false);
    EXPECT_EQ(config.SelectedServer, 0u);
    EXPECT_EQ(logic->HoverServer(), -1);
}

}  // namespace
