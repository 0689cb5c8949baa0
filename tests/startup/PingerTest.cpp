#include <gtest/gtest.h>

#include <unistd.h>

#include <cstdio>

#include "launcher/core/Pinger.h"
#include "tests/support/TempFolder.h"

namespace {

std::string Velmor() { return testsupport::BuildFolder() + "/tools/velmor"; }

}  // namespace

TEST(Pinger, ChecksumMatchesKnownVectors) {
    const uint8_t rfcExample[] = {0x00, 0x01, 0xf2, 0x03, 0xf4, 0xf5, 0xf6, 0xf7};
    EXPECT_EQ(Checksum(rfcExample, sizeof rfcExample), 0x0d22);  // stored as 22 0d
    const uint8_t odd[] = {0x01};
    EXPECT_EQ(Checksum(odd, 1), 0xfffe);
    const uint8_t carries[] = {0xff, 0xff, 0xff, 0xff, 0x01};
    EXPECT_EQ(Checksum(carries, sizeof carries), 0xfffe);
}

TEST(Pinger, EchoRequestLayoutAndSharedCounters) {
    uint16_t first = CPinger::NextEchoCounter();
    EchoRequest request = CPinger::BuildEchoRequest(0x11223344);
    EchoRequest next = CPinger::BuildEchoRequest(5);
    EXPECT_EQ(request[0], 8);
    EXPECT_EQ(request[1], 0);
    EXPECT_EQ(request[4] | request[5] << 8, first);
    EXPECT_EQ(request[6] | request[7] << 8, first);
    EXPECT_EQ(next[4] | next[5] << 8, first + 1);
    EXPECT_EQ(next[6] | next[7] << 8, first + 1);
    EXPECT_EQ(request[8], 0);
    EXPECT_EQ(request[9], 0x44);
    EXPECT_EQ(request[12], 0x11);
    for (size_t k = 0; k < 32; ++k) EXPECT_EQ(request[13 + k], 0x20 + k);
    // A correct checksum makes the whole message sum to zero.
    EXPECT_EQ(Checksum(request.data(), request.size()), 0);
}

TEST(Pinger, FreshProcessCountsFromOneAndEchoesOnLoopback) {
    std::string output = testsupport::RunCommand(Velmor() + " ping --count 2 127.0.0.1").output;
    EXPECT_NE(output.find("127.0.0.1: "), std::string::npos) << output;
    EXPECT_NE(output.find(" ms (requests 1 to 2)"), std::string::npos) << output;
}

TEST(Pinger, UnresolvableNameKeepsMinusOneAndDrawsNothing) {
    LauncherConfig config;
    config.Groups.resize(1);
    config.Groups[0].Servers.resize(2);
    config.Groups[0].Servers[0].GameAddress = "";
    config.Groups[0].Servers[1].GameAddress = std::string(300, 'x');  // longer than any host name
    CPinger pinger;
    int redraws = 0;
    std::atomic<bool> cancelled{false};
    LatencyProbeThread(config, pinger, [&] { ++redraws; }, cancelled);
    EXPECT_EQ(config.Groups[0].Servers[0].PingTime, -1);
    EXPECT_EQ(config.Groups[0].Servers[1].PingTime, -1);
    EXPECT_EQ(redraws, 0);
}

TEST(Pinger, ProbeStoresTimeAndRedrawsPerMeasuredServer) {
    LauncherConfig config;
    config.Groups.resize(2);
    config.Groups[1].Servers.resize(1);
    config.Groups[1].Servers[0].GameAddress = "127.0.0.1";
    CPinger pinger;
    int redraws = 0;
    std::atomic<bool> cancelled{false};
    LatencyProbeThread(config, pinger, [&] { ++redraws; }, cancelled);
    EXPECT_GE(config.Groups[1].Servers[0].PingTime, 0);
    EXPECT_EQ(redraws, 1);
}

TEST(Pinger, NoAnswerWithinASecondStoresZero) {
    std::string name = "velmor-noecho-" + std::to_string(getpid());
    if (testsupport::RunShell("ip netns add " + name + " 2>/dev/null") != 0) {
        GTEST_SKIP() << "cannot create a network namespace here";
    }
    std::string in = "ip netns exec " + name + " ";
    testsupport::RunShell(in + "ip link set lo up");
    testsupport::RunShell(in + "sysctl -qw net.ipv4.icmp_echo_ignore_all=1");
    std::string output = testsupport::RunCommand(in + Velmor() + " ping 127.0.0.1").output;
    testsupport::RunShell("ip netns del " + name);
    EXPECT_EQ(output, "127.0.0.1: no answer (requests 1 to 1)\n");
}
