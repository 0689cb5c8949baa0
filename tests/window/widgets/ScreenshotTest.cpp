// The window on a real X server (run under xvfb-run): what the screen shows is
// grabbed, checked for the skin's size, its shape and a few known pixels, and
// saved as screenshot-window.png in the build folder.
#include <QGuiApplication>
#include <QLabel>
#include <QScreen>

#include "launcher/HoverButton.h"
#include "tests/window/widgets/WindowFixture.h"

namespace windowtest {
namespace {

using ScreenshotTest = CWindowTest;

UifContent ShowcaseContent() {
    UifContent content = MakeContent({9, 4, 3, 6, 2});
    const char* groups[] = {"一区", "二区", "三区", "新手", "测试"};
    const char* servers[] = {"风暴之巅", "银月城", "北境王冠", "龙息峡谷", "灰烬要塞", "星辰神殿", "白霜平原",
                             "赤焰山脉", "暮光森林"};
    for (size_t g = 0; g < content.Groups.size(); ++g) {
        content.Groups[g].Name = testsupport::Gbk(groups[g]);
        for (size_t s = 0; s < content.Groups[g].Servers.size(); ++s)
            content.Groups[g].Servers[s].Name = testsupport::Gbk(servers[s]);
    }
    return content;
}

TEST_F(ScreenshotTest, WindowOnTheScreenHasTheSkinsSizeShapeAndFace) {
    if (QGuiApplication::platformName() != QLatin1String("xcb"))
        GTEST_SKIP() << "needs an X server: run under xvfb-run with QT_QPA_PLATFORM=xcb";
    WriteConfig(ShowcaseContent());
    CKestrunDlg& window = OpenWindow();
    QTest::mouseClick(&window, Qt::LeftButton, {}, QPoint(100, 370));
    QTest::mouseMove(&window, QPoint(100, 402));
    window.Surface().SetStatusText("正在接受文件中 (2/3)");
    window.SetControlText(1006, "1887436 / 4194304");
    window.SetControlText(1007, "(812 Kb/s)");
    window.Surface().FileProgressBar().SetRange(0, 100);
    window.Surface().FileProgressBar().SetPos(45);
    window.Surface().TotalProgressBar().SetRange(0, 100);
    window.Surface().TotalProgressBar().SetPos(62);
    QTest::qWait(300);

    const QRect frame = window.geometry();
    QImage shot = window.screen()->grabWindow(0, frame.x(), frame.y(), frame.width(), frame.height()).toImage();
    shot = shot.convertToFormat(QImage::Format_RGB32);
    ASSERT_EQ(shot.size(), QSize(664, 585));
    ASSERT_TRUE(shot.save(QString::fromStdString(testsupport::BuildFolder() + "/screenshot-window.png")));

    auto rgb = [&](int x, int y) { return shot.pixel(x, y) & 0xFFFFFFu; };
    EXPECT_NE(rgb(0, 0), 0x0000F3u) << "the cut-out corner shows what lies behind the window";
    EXPECT_NE(rgb(663, 584), 0x0000F3u);
    EXPECT_EQ(rgb(320, 200), window.Face().pixel(320, 200) & 0xFFFFFFu) << "the skin itself";
    const QImage start = window.Bitmaps().Image(202);
    EXPECT_EQ(rgb(502 + 5, 469 + 24), start.pixel(5, 24) & 0xFFFFFFu) << "the start button's normal face";
    EXPECT_EQ(rgb(20 + 2, 483 + 3), window.Bitmaps().Image(195).pixel(2, 3) & 0xFFFFFFu) << "the file bar's fill";
    EXPECT_EQ(rgb(144 + 2, 316 + 1), window.Bitmaps().Image(208).pixel(2, 1) & 0xFFFFFFu) << "the chosen tab";
    bool white = false;
    for (int y = 366; y < 380 && !white; ++y)
        for (int x = 45; x < 200 && !white; ++x)
            white = rgb(x, y) == 0xFFFFFFu;
    EXPECT_TRUE(white) << "the chosen row is drawn white";
}

}  // namespace
}  // namespace windowtest
