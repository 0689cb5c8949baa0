// The echo probe of the live window: times are measured for servers on loopback
// and the list is drawn again after each; a window closed while the probe runs
// stops it after the server it is at, without waiting for it and without a crash.
#include <QElapsedTimer>
#include <thread>

#include "tests/window/widgets/WindowFixture.h"

namespace windowtest {
namespace {

class LiveProbeTest : public CWindowTest {
protected:
    LiveProbeTest() { m_bLatencyProbe = true; }

    ~LiveProbeTest() override {
        m_pWindow.reset();
        // The next test loads its own server list; this one's probe must be done.
        WaitFor([] { return !CKestrunDlg::LatencyProbeRunning(); }, 10000);
    }

    CKestrunDlg& OpenOnLoopback(int servers) {
        UifContent content = MakeContent({servers});
        for (int s = 0; s < servers; ++s)
            content.Groups[0].Servers[s].GameAddress = "127.0.0." + std::to_string(s + 1);
        WriteConfig(content);
        return OpenWindow();
    }

    const ServerEntry& Server(size_t index) const { return TheLauncherConfig().Groups[0].Servers[index]; }

    bool ListShowsSomething() const {
        for (int y = 340; y < 450; ++y)
            for (int x = 30; x < 300; ++x)
                if (Pixel(x, y) != 0)
                    return true;
        return false;
    }
};

TEST_F(LiveProbeTest, EchoTimesOfLoopbackServersAreMeasuredAndTheListRedrawn) {
    CKestrunDlg& window = OpenOnLoopback(2);
    ASSERT_TRUE(WaitFor([&] { return ListShowsSomething(); }));
    // Blank the list: only the probe's redraw brings the rows back.
    window.FillBlack(24, 337, 313, 451);
    ASSERT_FALSE(ListShowsSomething());
    ASSERT_TRUE(WaitFor([&] { return Server(0).PingTime != -1; }, 3000));
    EXPECT_GE(Server(0).PingTime, 0);
    EXPECT_LT(Server(0).PingTime, 1000);
    EXPECT_TRUE(WaitFor([&] { return ListShowsSomething(); }, 2000)) << "the list is drawn again";
    ASSERT_TRUE(WaitFor([&] { return Server(1).PingTime != -1; }, 4000));
    EXPECT_LT(Server(1).PingTime, 1000);
    EXPECT_TRUE(WaitFor([] { return !CKestrunDlg::LatencyProbeRunning(); }, 3000)) << "the probe ends by itself";
}

TEST_F(LiveProbeTest, ClosingTheWindowStopsTheProbeWithoutWaitingForIt) {
    CKestrunDlg& window = OpenOnLoopback(6);
    ASSERT_TRUE(WaitFor([&] { return Server(0).PingTime != -1; }, 3000));
    QElapsedTimer timer;
    timer.start();
    window.close();
    m_pWindow.reset();
    EXPECT_LT(timer.elapsed(), 500) << "the close does not wait for the probe";
    EXPECT_TRUE(CKestrunDlg::LatencyProbeRunning()) << "it is still pausing after its first echo";
    // Redraw requests still queued or sent now find no window.
    EXPECT_TRUE(WaitFor([] { return !CKestrunDlg::LatencyProbeRunning(); }, 3000));
    QTest::qWait(100);
    int measured = 0;
    for (size_t s = 0; s < 6; ++s)
        measured += Server(s).PingTime != -1;
    EXPECT_LE(measured, 2) << "the servers after the one it was at are left alone";
}

}  // namespace
}  // namespace windowtest
