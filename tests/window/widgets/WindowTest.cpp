// The window under the offscreen platform: its shell, shape, button faces, list
// painting and input, with real mouse and wheel events and the pixels it shows.
#include <QDir>
#include <QGuiApplication>
#include <QLabel>
#include <QMenu>
#include <QMessageBox>
#include <QTimer>
#include <QScreen>
#include <QWheelEvent>
#include <thread>

#include "engine/SharedState.h"
#include "launcher/BitmapToRegion.h"
#include "launcher/HoverButton.h"
#include "platform/KeyStore.h"
#include "tests/window/widgets/WindowFixture.h"

namespace windowtest {
namespace {

constexpr QRgb kKey = 0x0000F3;

void SendWheel(QWidget& window, QPoint at, int distance) {
    QWheelEvent wheel(QPointF(at), QPointF(window.mapToGlobal(at)), QPoint(), QPoint(0, distance), Qt::NoButton,
                      Qt::NoModifier, Qt::NoScrollPhase, false);
    QCoreApplication::sendEvent(&window, &wheel);
}

std::string StoredValue(CMyRegKey& key, const char* name) {
    std::string text;
    return key.QueryValue(text, name) == 0 ? text : "<missing>";
}

using WindowTest = CWindowTest;

TEST_F(WindowTest, ShellHasTheSkinsSizeTitleAndShape) {
    CKestrunDlg& window = Open({3});
    EXPECT_EQ(window.size(), QSize(664, 585));
    EXPECT_EQ(window.windowTitle(), "Velmor Updater");
    EXPECT_TRUE(window.windowFlags() & Qt::FramelessWindowHint);
    EXPECT_FALSE(window.windowIcon().isNull());
    QRect screen = QGuiApplication::primaryScreen()->availableGeometry();
    EXPECT_LE(std::abs(window.frameGeometry().center().x() - screen.center().x()), 1);
    EXPECT_LE(std::abs(window.frameGeometry().center().y() - screen.center().y()), 1);

    // Every key-coloured pixel of the skin is cut out, every other one kept.
    const QImage skin = window.Bitmaps().Image(CKestrunDlg::kSkinBitmap);
    const QRegion mask = window.mask();
    int cutOut = 0;
    for (int y = 0; y < skin.height(); ++y)
        for (int x = 0; x < skin.width(); ++x) {
            bool key = (skin.pixel(x, y) & 0xFFFFFFu) == kKey;
            cutOut += key;
            ASSERT_EQ(mask.contains(QPoint(x, y)), !key) << x << "," << y;
        }
    EXPECT_GT(cutOut, 100);
    EXPECT_EQ(skin.pixel(0, 0) & 0xFFFFFFu, kKey) << "the corners are cut out";
    EXPECT_EQ(skin.pixel(0, 584) & 0xFFFFFFu, kKey);
    EXPECT_EQ(skin.pixel(663, 584) & 0xFFFFFFu, kKey);
}

TEST_F(WindowTest, RegionKeepsOnlyRowsOfWholeGroupsOfFour) {
    QImage bitmap(7, 2, QImage::Format_RGB32);
    bitmap.fill(Qt::white);
    bitmap.setPixel(1, 0, kKey | 0xFF000000u);
    bitmap.setPixel(2, 1, qRgb(0, 0, 242));  // near the key colour is not the key colour
    auto region = BitmapToRegion(bitmap, 0, 0, 243);
    ASSERT_TRUE(region);
    EXPECT_FALSE(region->contains(QPoint(1, 0)));
    EXPECT_TRUE(region->contains(QPoint(2, 1)));
    EXPECT_TRUE(region->contains(QPoint(3, 1)));
    EXPECT_FALSE(region->contains(QPoint(4, 0))) << "columns beyond the last multiple of 4 are left out";
    EXPECT_FALSE(BitmapToRegion(QImage(), 0, 0, 243));
}

TEST_F(WindowTest, ControlsSitInTheirPlaces) {
    CKestrunDlg& window = Open({3});
    struct Place {
        int id;
        QRect rect;
    };
    for (const Place& p : {Place{1, {502, 469, 143, 48}}, Place{1019, {638, 0, 26, 24}},
                           Place{1000, {576, 517, 69, 28}}, Place{1022, {502, 517, 69, 28}},
                           Place{1001, {71, 267, 73, 24}}, Place{1008, {473, 267, 47, 24}},
                           Place{1009, {544, 267, 47, 24}}}) {
        ASSERT_NE(window.Button(p.id), nullptr);
        EXPECT_EQ(window.Button(p.id)->geometry(), p.rect) << p.id;
    }
    EXPECT_EQ(window.Label(1012)->geometry(), QRect(17, 520, 250, 13));
    EXPECT_EQ(window.Label(1006)->geometry(), QRect(210, 520, 191, 13));
    EXPECT_EQ(window.Label(1007)->geometry(), QRect(402, 520, 73, 13));
    EXPECT_TRUE(window.Label(1006)->alignment() & Qt::AlignRight);
    EXPECT_EQ(window.Label(1012)->palette().color(QPalette::WindowText), QColor(215, 215, 205));
    EXPECT_EQ(window.Label(1012)->font().pixelSize(), 12);
}

TEST_F(WindowTest, StartButtonIsEnabledOnlyForAValidChoice) {
    EXPECT_TRUE(Open({3}).Button(1)->isEnabled());
    m_pWindow.reset();
    EXPECT_FALSE(Open({0, 2}).Button(1)->isEnabled()) << "group 0 has no servers";
    // Choosing the second group's tab makes the choice valid.
    QTest::mouseClick(m_pWindow.get(), Qt::LeftButton, {}, QPoint(300, 320));
    EXPECT_EQ(TheLauncherConfig().SelectedGroup, 1u);
    EXPECT_TRUE(m_pWindow->Button(1)->isEnabled());
}

TEST_F(WindowTest, ButtonFacesFollowPressedDisabledHoverNormal) {
    CKestrunDlg& window = Open({3});
    CHoverButton* link = window.Button(1002);
    const CBitmapStore& bitmaps = window.Bitmaps();
    auto shows = [&](int id) { return link->grab().toImage().convertToFormat(QImage::Format_RGB32) == bitmaps.Image(id); };
    EXPECT_TRUE(shows(219));

    QTest::mouseMove(&window, QPoint(190, 275));
    ASSERT_TRUE(WaitFor([&] { return link->HoverFlag(); }));
    EXPECT_TRUE(shows(220));
    QTest::mousePress(link, Qt::LeftButton, {}, QPoint(10, 10));
    EXPECT_TRUE(shows(221)) << "hovered and held down shows pressed";
    QTest::mouseRelease(link, Qt::LeftButton, {}, QPoint(10, 10));
    EXPECT_EQ(m_openedUrls, std::vector<std::string>{"http://127.0.0.1/link3"});
    link->setEnabled(false);
    EXPECT_TRUE(shows(221)) << "disabled under the pointer shows the disabled face";
    link->setEnabled(true);

    QTest::mouseMove(&window, QPoint(600, 40));
    ASSERT_TRUE(WaitFor([&] { return !link->HoverFlag(); }));
    EXPECT_TRUE(shows(219));
}

TEST_F(WindowTest, LeavingBeforeTheHoverNoticeShowsTheNormalFace) {
    CKestrunDlg& window = Open({3});
    CHoverButton* tool = window.Button(1000);
    QTest::mouseMove(&window, QPoint(600, 530));
    QTest::mouseMove(&window, QPoint(600, 40));  // left within the same millisecond
    QTest::qWait(20);
    EXPECT_FALSE(tool->HoverFlag());
    EXPECT_FALSE(tool->TrackingFlag());
    EXPECT_EQ(tool->grab().toImage().convertToFormat(QImage::Format_RGB32), window.Bitmaps().Image(205));
}

TEST_F(WindowTest, ToolButtonsStartTheirPrograms) {
    CKestrunDlg& window = Open({3});
    QTest::mouseClick(window.Button(1022), Qt::LeftButton);
    QTest::mouseClick(window.Button(1022), Qt::LeftButton);
    QTest::mouseClick(window.Button(1000), Qt::LeftButton);
    EXPECT_EQ(m_programs, (std::vector<std::string>{"dxdiag.exe", "dxdiag.exe", "Config.exe"}));
}

TEST_F(WindowTest, RowsAreDrawnInTheirColours) {
    CKestrunDlg& window = Open({4});
    auto rowHas = [&](int row, QRgb colour) {
        for (int y = 348 + 16 * row + 1; y < 364 + 16 * row; ++y)
            for (int x = 45; x < 200; ++x)
                if (Pixel(x, y) == colour)
                    return true;
        return false;
    };
    QTest::mouseMove(&window, QPoint(100, 370));  // row 1
    EXPECT_TRUE(rowHas(0, 0xFFFFFF)) << "the chosen server is white";
    EXPECT_TRUE(rowHas(1, 0xAAAAAA));
    EXPECT_TRUE(rowHas(2, 0x828078));
    EXPECT_FALSE(rowHas(2, 0xAAAAAA));
    EXPECT_FALSE(rowHas(4, 0x828078)) << "there is no fifth server";
    EXPECT_EQ(window.cursor().shape(), Qt::PointingHandCursor);

    QTest::mouseClick(&window, Qt::LeftButton, {}, QPoint(100, 390));  // row 2
    EXPECT_EQ(TheLauncherConfig().SelectedServer, 2u);
    EXPECT_TRUE(rowHas(2, 0xFFFFFF));
    EXPECT_TRUE(rowHas(0, 0x828078));
    QTest::mouseMove(&window, QPoint(500, 100));
    EXPECT_NE(window.cursor().shape(), Qt::PointingHandCursor);
}

TEST_F(WindowTest, ArrowsShowTheirStatesAndTheWheelScrolls) {
    CKestrunDlg& window = Open({20, 6});
    const QRect up(316, 340, 11, 19), down(316, 428, 11, 19);
    EXPECT_TRUE(RegionShows(up, 210));
    EXPECT_TRUE(RegionShows(down, 213));
    QTest::mouseMove(&window, QPoint(320, 435));
    EXPECT_TRUE(RegionShows(down, 214));
    QTest::mousePress(&window, Qt::LeftButton, {}, QPoint(320, 435));
    EXPECT_TRUE(RegionShows(down, 215));
    EXPECT_EQ(TheLauncherConfig().FirstVisibleServer, 1);
    QTest::mouseRelease(&window, Qt::LeftButton, {}, QPoint(320, 435));
    EXPECT_TRUE(RegionShows(down, 214));

    SendWheel(window, QPoint(100, 400), -240);
    EXPECT_EQ(TheLauncherConfig().FirstVisibleServer, 3);
    SendWheel(window, QPoint(100, 400), 100);
    EXPECT_EQ(TheLauncherConfig().FirstVisibleServer, 3);
    SendWheel(window, QPoint(500, 400), -120);  // outside the wheel area
    EXPECT_EQ(TheLauncherConfig().FirstVisibleServer, 3);
    EXPECT_EQ(window.ListLogic().ThumbTop(), 359 + 3 * 49 / 14);
    EXPECT_TRUE(RegionShows(QRect(316, window.ListLogic().ThumbTop(), 11, 5), 236));

    // A group of six: no scrolling, both arrows disabled, the thumb fills the track.
    QTest::mouseClick(&window, Qt::LeftButton, {}, QPoint(300, 320));
    EXPECT_EQ(TheLauncherConfig().SelectedGroup, 1u);
    window.ListLogic().EraseBackground();
    EXPECT_TRUE(RegionShows(up, 212));
    EXPECT_TRUE(RegionShows(down, 215));
    EXPECT_TRUE(RegionShows(QRect(316, 359, 11, 5), 236));
    EXPECT_TRUE(RegionShows(QRect(316, 359 + 69 - 8, 11, 8), 234));
}

TEST_F(WindowTest, TabsAreDrawnAtTheirPlaces) {
    CKestrunDlg& window = Open({1, 1, 1, 1, 1});
    EXPECT_TRUE(RegionShows(QRect(144, 316, 44, 3), 208)) << "the chosen group's tab";
    EXPECT_TRUE(RegionShows(QRect(190, 316, 44, 3), 209));
    EXPECT_TRUE(RegionShows(QRect(291, 316, 16, 17), 238));
    EXPECT_TRUE(RegionShows(QRect(311, 316, 16, 17), 237));
    QTest::mouseClick(&window, Qt::LeftButton, {}, QPoint(315, 320));
    EXPECT_EQ(TheLauncherConfig().FirstVisibleGroup, 1);
    EXPECT_TRUE(RegionShows(QRect(144, 316, 44, 3), 209)) << "group 1 on the first tab";
}

TEST_F(WindowTest, DraggingBareSkinMovesTheWindowButTheNoDragStripDoesNot) {
    CKestrunDlg& window = Open({3});
    const QPoint start = window.pos();
    QTest::mousePress(&window, Qt::LeftButton, {}, QPoint(100, 450));
    QTest::mouseMove(&window, QPoint(120, 470));
    QTest::mouseRelease(&window, Qt::LeftButton, {}, QPoint(120, 470));
    EXPECT_EQ(window.pos(), start);

    QTest::mousePress(&window, Qt::LeftButton, {}, QPoint(400, 40));
    EXPECT_TRUE(window.ListLogic().Dragging());
    QMouseEvent move(QEvent::MouseMove, QPointF(430, 20), QPointF(window.mapToGlobal(QPoint(430, 20))),
                     Qt::NoButton, Qt::LeftButton, Qt::NoModifier);
    QCoreApplication::sendEvent(&window, &move);
    EXPECT_EQ(window.pos(), start + QPoint(30, -20));
    QTest::mouseRelease(&window, Qt::LeftButton, {}, QPoint(400, 40));
    EXPECT_FALSE(window.ListLogic().Dragging());
}

TEST_F(WindowTest, StatusLineWidensAfterAnErrorFromTheWorkerThread) {
    CKestrunDlg& window = Open({3});
    std::thread worker([&] {
        window.Surface().SetControlText(1006, "10 / 20");
        window.Surface().ShowStatusError("下载失败c07");
    });
    while (window.Label(1012)->text().isEmpty())
        QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
    worker.join();
    EXPECT_EQ(window.Label(1012)->geometry(), QRect(17, 520, 462, 13));
    EXPECT_EQ(window.Label(1012)->text(), QStringLiteral("下载失败c07"));
    EXPECT_TRUE(window.Label(1006)->text().isEmpty());
    EXPECT_TRUE(window.Label(1007)->text().isEmpty());
}

TEST_F(WindowTest, BarsDrawnFromTheWorkerReachTheFace) {
    CKestrunDlg& window = Open({3});
    ProgressBar& bar = window.Surface().FileProgressBar();
    std::thread worker([&] {
        bar.SetRange(0, 100);
        for (uint64_t p = 0; p <= 50; ++p)
            bar.SetPos(p);
    });
    worker.join();
    ASSERT_TRUE(WaitFor([&] { return RegionShows(QRect(20, 483, 226, 8), 195); }));
    EXPECT_FALSE(RegionShows(QRect(246, 483, 1, 8), 195));
    // Shrinking draws the background again first.
    std::thread shrink([&] { bar.SetPos(10); });
    shrink.join();
    ASSERT_TRUE(WaitFor([&] { return !RegionShows(QRect(20, 483, 100, 8), 195); }));
    EXPECT_TRUE(RegionShows(QRect(20, 483, 45, 8), 195));
}

TEST_F(WindowTest, EnterStartsNothingWithoutAValidChoiceAndEscapeCloses) {
    CKestrunDlg& window = Open({0});
    QTest::keyClick(&window, Qt::Key_Return);
    EXPECT_FALSE(window.Worker().IsThreadRunning());
    EXPECT_TRUE(window.isVisible());
    QTest::keyClick(&window, Qt::Key_Escape);
    EXPECT_FALSE(window.isVisible());
}

TEST_F(WindowTest, CloseSavesTheChoiceShownAndRemovesTheTestChannelFile) {
    testsupport::WriteFile(m_folder / "UpdateVersion-qrx-.ini", "[Version]\nCheckVersion=2\n");
    CKestrunDlg& window = Open({2, 5});
    QTest::mouseClick(&window, Qt::LeftButton, {}, QPoint(300, 320));  // group 1
    QTest::mouseClick(&window, Qt::LeftButton, {}, QPoint(100, 390));  // server 2
    QTest::mouseClick(window.Button(1019), Qt::LeftButton);
    ASSERT_TRUE(WaitFor([&] { return !window.isVisible(); }));
    EXPECT_FALSE(testsupport::Exists(m_folder / "UpdateVersion-qrx-.ini"));
    CMyRegKey key;
    ASSERT_EQ(key.Create(platform::CStoreKey::LocalMachine(), "SOFTWARE\\TALVE\\Velmor"), 0);
    EXPECT_EQ(StoredValue(key, "PATCH_GROUP"), "1");
    EXPECT_EQ(StoredValue(key, "PATCH_SERVER"), "2");

    // The next window restores it.
    m_pWindow.reset();
    OpenWindow();
    EXPECT_EQ(TheLauncherConfig().SelectedGroup, 1u);
    EXPECT_EQ(TheLauncherConfig().SelectedServer, 2u);
}

// Answers the next modal box or dialog that opens, from inside its own loop.
void AnswerNextModal(std::vector<QString>& seen) {
    QTimer::singleShot(20, [&seen] {
        QWidget* modal = QApplication::activeModalWidget();
        if (!modal) {
            AnswerNextModal(seen);
            return;
        }
        seen.push_back(modal->metaObject()->className());
        if (auto* box = qobject_cast<QMessageBox*>(modal))
            seen.push_back(box->text());
        static_cast<QDialog*>(modal)->accept();
    });
}

TEST_F(WindowTest, AboutEntryIsOfferedOnTheBareSkinAndOnAltSpace) {
    CKestrunDlg& window = Open({3});
    ASSERT_NE(window.SystemMenu(), nullptr);
    QList<QAction*> actions = window.SystemMenu()->actions();
    ASSERT_EQ(actions.size(), 2);
    EXPECT_TRUE(actions[0]->isSeparator());
    EXPECT_TRUE(actions[1]->text().startsWith("Kestrun"));

    QContextMenuEvent onSkin(QContextMenuEvent::Mouse, QPoint(400, 40), window.mapToGlobal(QPoint(400, 40)));
    QCoreApplication::sendEvent(&window, &onSkin);
    EXPECT_TRUE(WaitFor([&] { return window.SystemMenu()->isVisible(); }));
    window.SystemMenu()->hide();
    QTest::keyClick(&window, Qt::Key_Space, Qt::AltModifier);
    EXPECT_TRUE(WaitFor([&] { return window.SystemMenu()->isVisible(); }));
    window.SystemMenu()->hide();

    std::vector<QString> seen;
    AnswerNextModal(seen);
    actions[1]->trigger();
    EXPECT_EQ(seen, std::vector<QString>{"CAboutDlg"});
}

TEST_F(WindowTest, WithoutUpdaterUifTheWindowIsNeverShown) {
    std::vector<QString> seen;
    AnswerNextModal(seen);
    {
        CKestrunDlg window;
        EXPECT_FALSE(window.Initialise());
        EXPECT_FALSE(window.isVisible());
        EXPECT_EQ(seen, (std::vector<QString>{"QMessageBox", "Error: updater.uif File Not Found!"}));
        EXPECT_EQ(window.Label(1012)->text(), "Error: updater.uif File Not Found!");
    }
    CMyRegKey key;
    ASSERT_EQ(key.Create(platform::CStoreKey::LocalMachine(), "SOFTWARE\\TALVE\\Velmor"), 0);
    EXPECT_EQ(StoredValue(key, "PATCH_GROUP"), "<missing>") << "nothing is written without a configuration";
}

TEST_F(WindowTest, ListRedrawAskedFromAnotherThreadHappensOnTheWindowThread) {
    CKestrunDlg& window = Open({3});
    window.FillBlack(24, 337, 313, 451);
    QImage blank = window.Face().copy(24, 337, 289, 114);
    std::thread probe([] { CKestrunDlg::RequestServerListRedraw(); });
    probe.join();
    EXPECT_EQ(window.Face().copy(24, 337, 289, 114), blank) << "nothing is drawn from the other thread";
    EXPECT_TRUE(WaitFor([&] { return window.Face().copy(24, 337, 289, 114) != blank; }));
    m_pWindow.reset();
    std::thread late([] { CKestrunDlg::RequestServerListRedraw(); });  // after the window is gone
    late.join();
    QCoreApplication::processEvents();
}

TEST_F(WindowTest, SkinFolderReplacesABuiltInBitmap) {
    QImage replacement(44, 17, QImage::Format_RGB32);
    replacement.fill(qRgb(10, 200, 30));
    QDir().mkpath(QString::fromStdString(m_folder / "skin"));
    ASSERT_TRUE(replacement.save(QString::fromStdString(m_folder / "skin/208.bmp"), "BMP"));
    Open({3});
    EXPECT_EQ(Pixel(282 + 3, 316 + 1), 0x0AC81Eu);
    EXPECT_EQ(m_pWindow->Bitmaps().Image(209).size(), QSize(44, 17)) << "the others stay built in";
}

}  // namespace
}  // namespace windowtest
