// The launcher with its two news pages contacts nothing but the pages' host and
// the game servers it measures: every network call of the program and of the web
// engine's processes is traced while it starts and shows the pages.
#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <regex>
#include <sstream>
#include <thread>

#include "tests/startup/window/LauncherFolderTest.h"
#include "tests/support/NginxServer.h"

namespace startuptest {
namespace {

class QuietWebEngineTest : public CLauncherFolderTest {
protected:
    QuietWebEngineTest() {
        std::filesystem::create_directories(m_site.Path());
        testsupport::WriteFile(m_site / "large.html", "<!DOCTYPE html><html><body>news</body></html>");
        testsupport::WriteFile(m_site / "small.html", "<!DOCTYPE html><html><body>status</body></html>");
        std::string base = "http://127.0.0.1:" + std::to_string(m_server.Port()) + "/";
        WriteConfig({base + "large.html", base + "small.html"});
    }

    // The addresses of every traced connect and sendto, as "family address port".
    std::vector<std::string> TracedDestinations() const {
        std::vector<std::string> destinations;
        std::istringstream trace(ReadIfAny(m_folder / "trace.log"));
        static const std::regex inet(R"re(sa_family=(AF_INET6?), sin6?_port=htons\((\d+)\), (?:sin_addr=inet_addr\("([^"]*)"\)|sin6_flowinfo=[^,]*, inet_pton\(AF_INET6, "([^"]*)"))re");
        for (std::string line; std::getline(trace, line);) {
            std::smatch match;
            if (std::regex_search(line, match, inet))
                destinations.push_back(match[1].str() + " " + match[3].str() + match[4].str() + " " + match[2].str());
        }
        return destinations;
    }

    size_t ContactsOfThePagesHost() const {
        size_t count = 0;
        for (const std::string& destination : TracedDestinations())
            count += destination == "AF_INET 127.0.0.1 " + std::to_string(m_server.Port());
        return count;
    }

    testsupport::CTempFolder m_site;
    testsupport::CNginxServer m_server{m_site.Path()};
};

TEST_F(QuietWebEngineTest, OnlyThePagesAndTheGameServersAreContacted) {
    if (std::system("/usr/bin/strace -f -qq -o /dev/null /bin/true >/dev/null 2>&1") != 0)
        GTEST_SKIP() << "strace cannot trace here (no ptrace permission)";
    std::unique_ptr<CChildProcess> launcher =
        Start(Environment(), "launcher.err",
              {"/usr/bin/strace", "-f", "-qq", "-e", "trace=connect,sendto,sendmsg", "-e", "signal=none", "-o",
               m_folder / "trace.log"});
    // The traced launcher is the tracer's child: its window is found by its title.
    std::optional<SXWindow> window = WaitForWindow(0, IsMainWindow, 30000);
    ASSERT_TRUE(window) << ReadIfAny(m_folder / "launcher.err");
    // Both pages may come over one connection.
    for (int i = 0; i < 200 && ContactsOfThePagesHost() == 0; ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    EXPECT_GE(ContactsOfThePagesHost(), 1u) << "the pages are loaded";
    // Time for what an engine does in the background right after it has started.
    std::this_thread::sleep_for(std::chrono::seconds(3));
    ASSERT_TRUE(PressKey(*window, "Escape"));
    EXPECT_TRUE(launcher->WaitForExit(15000));

    std::vector<std::string> destinations = TracedDestinations();
    // The trace sees the program's own traffic: the echo to the first server.
    EXPECT_NE(std::find(destinations.begin(), destinations.end(), "AF_INET 127.0.0.1 0"), destinations.end());
    static const std::regex allowed(R"(AF_INET 127\.\d+\.\d+\.\d+ \d+|AF_INET6 ::1 \d+)");
    for (const std::string& destination : destinations) {
        EXPECT_TRUE(std::regex_match(destination, allowed)) << destination;
        EXPECT_FALSE(destination.size() > 3 && destination.compare(destination.size() - 3, 3, " 53") == 0)
            << "no name server is asked: " << destination;
    }
}

}  // namespace
}  // namespace startuptest
