#pragma once
// A launcher window on a real updater.uif in a fresh current folder, with its own
// registry root; links and tools are recorded instead of opened.
#include <gtest/gtest.h>

#include <QApplication>
#include <QElapsedTimer>
#include <QImage>
#include <QTest>
#include <cstdlib>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "launcher/KestrunDlg.h"
#include "launcher/core/UifFile.h"
#include "tests/support/GbkText.h"
#include "tests/support/TempFolder.h"

namespace windowtest {

// Keeps the window's events flowing until the condition holds or the time is up.
inline bool WaitFor(const std::function<bool()>& condition, int milliseconds = 5000) {
    QElapsedTimer timer;
    timer.start();
    while (!condition()) {
        if (timer.elapsed() > milliseconds)
            return false;
        QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
        QTest::qWait(1);
    }
    return true;
}

inline UifContent MakeContent(const std::vector<int>& serversPerGroup, bool magic = true) {
    UifContent content;
    content.HasMagic = magic;
    for (size_t g = 0; g < serversPerGroup.size(); ++g) {
        ServerGroup group;
        group.Name = testsupport::Gbk("区" + std::to_string(g + 1));
        for (int s = 0; s < serversPerGroup[g]; ++s) {
            ServerEntry entry;
            entry.Name = testsupport::Gbk("服务器 " + std::to_string(g + 1) + "-" + std::to_string(s + 1));
            entry.PatchHost = "127.0.0.1:9";
            entry.GameAddress = "127.0.0.1";
            group.Servers.push_back(entry);
        }
        content.Groups.push_back(group);
    }
    for (int i = 0; i < 8; ++i)
        content.Links.push_back("http://127.0.0.1/link" + std::to_string(i));
    return content;
}

class CWindowTest : public ::testing::Test {
protected:
    CWindowTest() {
        setenv("VELMOR_REGISTRY_ROOT", (m_folder / "registry").c_str(), 1);
        setenv("XDG_STATE_HOME", (m_folder / "state").c_str(), 1);
    }
    ~CWindowTest() override {
        m_pWindow.reset();
        unsetenv("VELMOR_REGISTRY_ROOT");
    }

    void WriteConfig(const UifContent& content) {
        std::string bytes, error;
        ASSERT_TRUE(WriteUifFile(content, bytes, error)) << error;
        testsupport::WriteFile(m_folder / "updater.uif", bytes);
    }

    // Opens, initialises and shows the window on the given configuration.
    CKestrunDlg& Open(const std::vector<int>& serversPerGroup) {
        WriteConfig(MakeContent(serversPerGroup));
        return OpenWindow();
    }

    CKestrunDlg& OpenWindow() {
        SWindowServices services;
        services.SkinFolder = QString::fromStdString(m_folder / "skin");
        services.OpenUrl = [this](const std::string& url) { m_openedUrls.push_back(url); };
        if (!m_bRealPrograms)
            services.RunProgram = [this](const std::string& line) { m_programs.push_back(line); };
        services.TextShown = [this](int id, const std::string& text) { m_texts.emplace_back(id, text); };
        services.NewsPages = m_bNewsPages;
        services.LatencyProbe = m_bLatencyProbe;
        m_pWindow = std::make_unique<CKestrunDlg>(services);
        EXPECT_TRUE(m_pWindow->Initialise());
        m_pWindow->show();
        EXPECT_TRUE(QTest::qWaitForWindowExposed(m_pWindow.get()));
        return *m_pWindow;
    }

    // The colour of one pixel of what the window shows.
    QRgb Pixel(int x, int y) const { return m_pWindow->Face().pixel(x, y) & 0xFFFFFFu; }
    bool RegionShows(const QRect& area, int bitmapId) const {
        QImage expected = m_pWindow->Bitmaps().Image(bitmapId).convertToFormat(QImage::Format_RGB32);
        QImage shown = m_pWindow->Face().copy(area).convertToFormat(QImage::Format_RGB32);
        return !expected.isNull() && shown == expected.copy(0, 0, area.width(), area.height());
    }

    testsupport::CTempFolder m_folder{true};
    // The news pages and the echo probe have tests of their own; elsewhere they
    // would only slow the window down and cover parts of the skin.
    bool m_bNewsPages = false;
    bool m_bLatencyProbe = false;
    // Tools started for real instead of recorded.
    bool m_bRealPrograms = false;
    std::unique_ptr<CKestrunDlg> m_pWindow;
    std::vector<std::string> m_openedUrls;
    std::vector<std::string> m_programs;
    std::vector<std::pair<int, std::string>> m_texts;
};

}  // namespace windowtest
