// The progress and status surface as the window sees it through its primitives.
#include <chrono>
#include <thread>

#include "engine/SharedState.h"
#include "engine/StringTable.h"
#include "tests/engine/EngineTest.h"

namespace enginetest {
namespace {

using testsupport::WindowCall;

class SurfaceTest : public CEngineTest {};

TEST_F(SurfaceTest, StringTableHoldsTheExactTexts) {
    EXPECT_EQ(LoadStringText(103), "下载失败");
    EXPECT_EQ(LoadStringText(118), "无法得到文件信息.");
    EXPECT_EQ(LoadStringText(134), "请重新安装客户端.");
    EXPECT_EQ(LoadStringText(101), "Kestrun ?\?(&A)...");
    EXPECT_EQ(LoadStringText(117), "");
}

TEST_F(SurfaceTest, StatusErrorPrintsPercentSignsWidensTheLineAndEmptiesTheTransferTexts) {
    m_window.SetControlText(kByteCounterControl, "1 / 2");
    m_window.SetControlText(kRateControl, "(3 Kb/s)");
    m_window.ClearCalls();
    m_surface.ShowStatusError("100% %s %d %n done");
    std::vector<WindowCall> calls = m_window.Calls();
    ASSERT_EQ(calls.size(), 4u);
    EXPECT_EQ(calls[2].kind, WindowCall::Move);
    EXPECT_EQ(calls[2].id, kStatusControl);
    EXPECT_EQ(std::make_tuple(calls[2].x, calls[2].y, calls[2].width, calls[2].height), std::make_tuple(17, 520, 462, 13));
    EXPECT_EQ(StatusText(), "100% %s %d %n done");
    EXPECT_EQ(m_window.Text(kByteCounterControl), "");
    EXPECT_EQ(m_window.Text(kRateControl), "");

    m_surface.ShowStatusError("");
    EXPECT_EQ(StatusText(), "");
    EXPECT_EQ(m_surface.StatusBuffer(), "");
}

TEST_F(SurfaceTest, StatusTextLongerThanTheBufferIsCutAtACharacterBoundary) {
    std::string text;
    while (text.size() < 1200) text += "下载失败";
    m_surface.ShowStatusError(text);
    std::string shown = StatusText();
    EXPECT_LT(shown.size(), kStatusBufferSize);
    EXPECT_GE(shown.size(), kStatusBufferSize - 4);
    EXPECT_EQ(shown.size() % 3, 0u);  // whole three-byte characters only
    EXPECT_EQ(text.compare(0, shown.size(), shown), 0);
}

TEST_F(SurfaceTest, BeginFileProgressOutsidePatchModeShowsOnlyTheReceivingText) {
    m_window.SetControlText(kRateControl, "(7 Kb/s)");
    m_surface.BeginFileProgress(5000, 0);
    EXPECT_EQ(StatusText(), "正在接受文件中");
    EXPECT_EQ(m_window.Text(kRateControl), "(7 Kb/s)");
    EXPECT_EQ(m_surface.FileProgressBar().Maximum(), 5000u);
}

TEST_F(SurfaceTest, BeginFileProgressInPatchModeShowsThePatchCounters) {
    m_pPatcher->m_bPatchMode = true;
    m_surface.SetPatchCount(3);
    m_surface.AdvancePatchIndex();
    m_surface.BeginFileProgress(5000, 0);
    EXPECT_EQ(StatusText(), "正在接受文件中 (2/3)");
    EXPECT_EQ(m_window.Text(kRateControl), "(Kb/s)");
}

TEST_F(SurfaceTest, ByteCounterOnlyInPatchOrUpdaterModeAndThrottledUnlessForced) {
    m_surface.ShowTransferBytes(10, 100, true);
    EXPECT_TRUE(m_window.Texts(kByteCounterControl).empty()) << "the published list shows no byte counter";

    m_pPatcher->m_bUpdaterOutdated = true;
    m_surface.ShowTransferBytes(10, 100, true);
    EXPECT_EQ(m_window.Text(kByteCounterControl), "10 / 100");
    m_surface.ShowTransferBytes(20, 100, false);
    EXPECT_EQ(m_window.Text(kByteCounterControl), "10 / 100") << "within 0.2 s of the last display";
    std::this_thread::sleep_for(std::chrono::milliseconds(250));
    m_surface.ShowTransferBytes(3000000000LL, 5000000000LL, false);
    EXPECT_EQ(m_window.Text(kByteCounterControl), "3000000000 / 5000000000");
}

TEST_F(SurfaceTest, RateIsShownInWholeKilobytesPerSecond) {
    m_surface.ShowTransferRate(2500.0);
    EXPECT_EQ(m_window.Text(kRateControl), "(2 Kb/s)");
    m_surface.ShowTransferRate(999.9);
    EXPECT_EQ(m_window.Text(kRateControl), "(0 Kb/s)");
}

TEST_F(SurfaceTest, RateIsSampledOnlyAfterASecondAsTheMeanOfSamples) {
    m_surface.BeginFileProgress(1 << 20, 0);
    m_window.ClearCalls();
    m_surface.SampleTransferRate(5000);
    EXPECT_TRUE(m_window.Texts(kRateControl).empty()) << "no sample within the first second";
    std::this_thread::sleep_for(std::chrono::milliseconds(1100));
    m_surface.SampleTransferRate(110000);
    ASSERT_EQ(m_window.Texts(kRateControl).size(), 1u);
    // 110000 bytes in a little over 1.1 s: about 99 Kb/s, never more than 100.
    int shown = std::stoi(m_window.Text(kRateControl).substr(1));
    EXPECT_GE(shown, 80);
    EXPECT_LE(shown, 100);
}

TEST_F(SurfaceTest, FreeSpaceMustExceedTheCount) {
    m_surface.SetFreeSpaceQuery([] { return std::optional<uint64_t>(4096); });
    EXPECT_TRUE(m_surface.HasFreeDiskSpace(4095));
    EXPECT_FALSE(m_surface.HasFreeDiskSpace(4096));
    m_surface.SetFreeSpaceQuery([] { return std::optional<uint64_t>(); });
    EXPECT_TRUE(m_surface.HasFreeDiskSpace(UINT64_MAX)) << "unknown free space lets the write report";
}

TEST_F(SurfaceTest, FreeSpaceOfTheRealDisk) {
    CUpdateSurface surface(m_window);
    EXPECT_TRUE(surface.HasFreeDiskSpace(0));
    EXPECT_FALSE(surface.HasFreeDiskSpace(UINT64_MAX));
}

TEST_F(SurfaceTest, GameIsInstalledWhateverTheCaseOfItsName) {
    EXPECT_FALSE(m_surface.IsGameInstalled());
    testsupport::WriteFile(m_folder / "Game.exe", "MZ");
    EXPECT_TRUE(m_surface.IsGameInstalled());
}

TEST_F(SurfaceTest, ReinstallRequiredFillsBothBarsAndDisablesStart) {
    m_surface.ShowReinstallRequired();
    EXPECT_EQ(StatusText(), "请重新安装客户端.c05");
    EXPECT_FALSE(m_window.IsEnabled(kStartButtonControl));
    EXPECT_FLOAT_EQ(m_surface.FileProgressBar().Fraction(), 1.0f);
    EXPECT_FLOAT_EQ(m_surface.TotalProgressBar().Fraction(), 1.0f);
    EXPECT_EQ(m_window.Text(kByteCounterControl), "");
}

TEST_F(SurfaceTest, FinishUpdateWithoutStartingTheGame) {
    m_surface.FinishUpdate(false);
    EXPECT_EQ(StatusText(), "完毕");
    EXPECT_EQ(m_window.CloseRequests(), 0);
    m_surface.SetPatchesApplied(true);
    m_surface.FinishUpdate(false);
    EXPECT_EQ(StatusText(), "更新完毕");
    EXPECT_FLOAT_EQ(m_surface.FileProgressBar().Fraction(), 1.0f);
}

TEST_F(SurfaceTest, FinishUpdateStartsTheGameWithTheAddressOnlyWithTheMagic) {
    InstallRecordingGame();
    HasUifMagic = true;
    CurrentGameAddress = "10.1.2.3:7000";
    m_surface.FinishUpdate(true);
    EXPECT_EQ(m_window.CloseRequests(), 1);
    EXPECT_EQ(GameArguments(), "start game 10.1.2.3:7000");
}

TEST_F(SurfaceTest, FinishUpdateStartsTheGameWithoutAddressWithoutTheMagic) {
    InstallRecordingGame();
    CurrentGameAddress = "10.1.2.3:7000";
    m_surface.FinishUpdate(true);
    EXPECT_EQ(GameArguments(), "start game");
}

TEST_F(SurfaceTest, MessageBoxesCarryTheUpdaterCaption) {
    EXPECT_EQ(m_surface.ShowMessageBox("text"), kMessageBoxAnswerOk);
    EXPECT_EQ(m_window.MessageBoxCaptions(), std::vector<std::string>{"Velmor Updater"});
}

TEST_F(SurfaceTest, ProgressBarGrowsByItsFillAndShrinksOverItsBackground) {
    ProgressBar& bar = m_surface.FileProgressBar();
    EXPECT_EQ(bar.Width(), 453);
    bar.SetRange(0, 1000);
    m_window.ClearCalls();
    bar.SetPos(500);
    std::vector<WindowCall> draws = m_window.Draws();
    ASSERT_EQ(draws.size(), 1u);
    EXPECT_EQ(draws[0].id, kFileBarFill);
    EXPECT_EQ(draws[0].width, 226);  // trunc(453 * 0.5)
    EXPECT_EQ(std::make_pair(draws[0].x, draws[0].y), std::make_pair(20, 483));

    m_window.ClearCalls();
    bar.SetPos(100);
    draws = m_window.Draws();
    ASSERT_EQ(draws.size(), 2u);
    EXPECT_EQ(draws[0].id, kBarBackground);
    EXPECT_EQ(draws[0].width, 453);
    EXPECT_EQ(draws[1].id, kFileBarFill);
    EXPECT_EQ(draws[1].width, 45);
}

TEST_F(SurfaceTest, ProgressBarEdgeRanges) {
    ProgressBar& bar = m_surface.TotalProgressBar();
    bar.SetRange(0, 0);
    bar.SetPos(0);
    EXPECT_FLOAT_EQ(bar.Fraction(), 0.0f) << "an empty range draws an empty bar";
    bar.SetRange(0, 10);
    bar.SetPos(25);
    EXPECT_FLOAT_EQ(bar.Fraction(), 1.0f) << "never drawn beyond its end";
    EXPECT_EQ(m_window.Draws().back().width, 453);
    bar.SetRange(0, UINT64_MAX);
    bar.SetPos(UINT64_MAX / 4);
    EXPECT_NEAR(bar.Fraction(), 0.25f, 1e-6);
}

TEST_F(SurfaceTest, ProgressBarRedrawsFromStoredState) {
    ProgressBar& bar = m_surface.FileProgressBar();
    bar.SetRange(0, 4);
    bar.SetPos(3);
    m_window.ClearCalls();
    bar.SetPos(3);
    EXPECT_TRUE(m_window.Draws().empty()) << "an unchanged width is not drawn again";
    bar.Draw(false);  // the window's background erase
    std::vector<WindowCall> draws = m_window.Draws();
    ASSERT_EQ(draws.size(), 1u);
    EXPECT_EQ(draws[0].width, 339);  // trunc(453 * 0.75)
}

}  // namespace
}  // namespace enginetest
