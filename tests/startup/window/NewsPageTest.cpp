// The news pages in the live window on a real X server, loading pages that nginx
// serves on loopback: no scroll bars however large the page, no context menu, and
// an empty or missing address still navigates.
#include <QApplication>
#include <QMenu>
#include <QScreen>
#include <QWebEnginePage>
#include <cstdlib>
#include <filesystem>

#include "launcher/MyHtmlView.h"
#include "tests/support/NginxServer.h"
#include "tests/window/widgets/WindowFixture.h"

namespace windowtest {
namespace {

constexpr QRgb kPageColour = 0x00FF00;

class NewsPageTest : public CWindowTest {
protected:
    NewsPageTest() {
        m_bNewsPages = true;
        std::filesystem::create_directories(m_site.Path());
        // Far taller and wider than either rectangle, in one plain colour.
        testsupport::WriteFile(m_site / "tall.html",
                               "<!DOCTYPE html><html><body style=\"margin:0;background:#00ff00\">"
                               "<div style=\"width:3000px;height:5000px\"></div><script>"
                               "document.addEventListener('contextmenu', function() { document.title = 'asked'; });"
                               "</script></body></html>");
    }

    CKestrunDlg& OpenWithLinks(const std::vector<std::string>& links) {
        UifContent content = MakeContent({2});
        content.Links = links;
        WriteConfig(content);
        return OpenWindow();
    }

    static bool WaitForLoad(CMyHtmlView* view) {
        return WaitFor([view] { return view->LoadFinished(); }, 20000);
    }

    // The page has been drawn on the screen, not only loaded.
    static bool WaitForPageOnScreen(QWidget* view) {
        return WaitFor([view] { return (OnScreen(view).pixel(view->width() / 2, view->height() / 2) & 0xFFFFFFu) == kPageColour; },
                       20000);
    }

    // What the X server shows of a widget.
    static QImage OnScreen(QWidget* widget) {
        QPoint origin = widget->mapToGlobal(QPoint(0, 0));
        return widget->screen()
            ->grabWindow(0, origin.x(), origin.y(), widget->width(), widget->height())
            .toImage()
            .convertToFormat(QImage::Format_RGB32);
    }

    static int PixelsNotPageColoured(const QImage& image, const QRect& strip) {
        int count = 0;
        for (int y = strip.top(); y <= strip.bottom(); ++y)
            for (int x = strip.left(); x <= strip.right(); ++x)
                count += (image.pixel(x, y) & 0xFFFFFFu) != kPageColour;
        return count;
    }

    std::string Url(const std::string& page) const {
        return "http://127.0.0.1:" + std::to_string(m_server.Port()) + "/" + page;
    }

    testsupport::CTempFolder m_site;
    testsupport::CNginxServer m_server{m_site.Path()};
};

TEST_F(NewsPageTest, PagesSitInTheirRectanglesWithoutScrollBars) {
    CKestrunDlg& window = OpenWithLinks({Url("tall.html"), Url("tall.html")});
    CMyHtmlView* large = window.LargeNewsPage();
    CMyHtmlView* small = window.SmallNewsPage();
    ASSERT_TRUE(large && small);
    EXPECT_EQ(large->geometry(), QRect(8, 64, 648, 190));
    EXPECT_EQ(small->geometry(), QRect(376, 336, 263, 113));
    ASSERT_TRUE(WaitForPageOnScreen(large));
    ASSERT_TRUE(WaitForPageOnScreen(small));
    QTest::qWait(1500);
    for (CMyHtmlView* view : {large, small}) {
        // The page's layout keeps no room for bars.
        QVariant room;
        view->page()->runJavaScript(
            "(window.innerWidth - document.documentElement.clientWidth) + (window.innerHeight - "
            "document.documentElement.clientHeight)",
            [&room](const QVariant& result) { room = result; });
        ASSERT_TRUE(WaitFor([&room] { return room.isValid(); }));
        EXPECT_EQ(room.toInt(), 0);
        QImage shown = OnScreen(view);
        const int w = shown.width(), h = shown.height();
        // Where scroll bars would be: the right edge and the bottom edge.
        EXPECT_EQ(PixelsNotPageColoured(shown, QRect(w - 20, 0, 20, h)), 0) << "right edge of " << w << "x" << h;
        EXPECT_EQ(PixelsNotPageColoured(shown, QRect(0, h - 20, w, 20)), 0) << "bottom edge of " << w << "x" << h;
    }
}

TEST_F(NewsPageTest, ARightClickInAPageOpensNoMenu) {
    CKestrunDlg& window = OpenWithLinks({Url("tall.html"), Url("tall.html")});
    CMyHtmlView* large = window.LargeNewsPage();
    ASSERT_TRUE(large);
    ASSERT_TRUE(WaitForPageOnScreen(large));
    // Real clicks of the X server's pointer, as the player's, until the page has
    // seen one: the page's own handler names it in the title.
    QPoint at = large->mapToGlobal(QPoint(200, 100));
    std::string click = "xdotool mousemove " + std::to_string(at.x()) + " " + std::to_string(at.y()) + " click 3";
    bool seen = false;
    for (int attempt = 0; attempt < 10 && !seen; ++attempt) {
        ASSERT_EQ(std::system(click.c_str()), 0);
        seen = WaitFor([large] { return large->title() == QLatin1String("asked"); }, 1000);
    }
    ASSERT_TRUE(seen) << "the right click reached the page";
    QTest::qWait(500);
    EXPECT_EQ(QApplication::activePopupWidget(), nullptr);
    for (QWidget* top : QApplication::topLevelWidgets())
        EXPECT_FALSE(qobject_cast<QMenu*>(top) && top->isVisible()) << "a menu is shown";
}

TEST_F(NewsPageTest, AnEmptyOrMissingAddressStillNavigates) {
    CKestrunDlg& window = OpenWithLinks({Url("tall.html"), ""});
    ASSERT_TRUE(WaitForLoad(window.SmallNewsPage()));
    EXPECT_EQ(window.SmallNewsPage()->url(), QUrl("about:blank"));
    ASSERT_TRUE(WaitForLoad(window.LargeNewsPage()));
    EXPECT_EQ(window.LargeNewsPage()->url(), QUrl(QString::fromStdString(Url("tall.html"))));
    m_pWindow.reset();

    // A file with no links at all: both pages are there, blank.
    CKestrunDlg& bare = OpenWithLinks({});
    for (CMyHtmlView* view : {bare.LargeNewsPage(), bare.SmallNewsPage()}) {
        ASSERT_TRUE(view);
        ASSERT_TRUE(WaitForLoad(view));
        EXPECT_EQ(view->url(), QUrl("about:blank"));
    }
}

}  // namespace
}  // namespace windowtest
