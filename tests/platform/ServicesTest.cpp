#include <gtest/gtest.h>

#include <atomic>

#include "platform/Clock.h"
#include "platform/CodePage.h"
#include "platform/DiskSpace.h"
#include "platform/Event.h"
#include "platform/Thread.h"

using namespace platform;

TEST(Event, StaysSetOnceSetAndWakesWaiters) {
    CManualResetEvent event;
    EXPECT_FALSE(event.Wait(0));
    std::atomic<bool> ended{false};
    ASSERT_TRUE(StartThread([&] {
        event.Wait(10000);
        ended = true;
    }));
    SleepMilliseconds(20);
    EXPECT_FALSE(ended);
    event.Set();
    for (int i = 0; i < 500 && !ended; ++i) SleepMilliseconds(2);
    EXPECT_TRUE(ended);
    EXPECT_TRUE(event.Wait(0));
    EXPECT_TRUE(event.IsSet());
}

TEST(Clock, CountsForward) {
    int64_t start = PerformanceCounter();
    uint32_t tick = TickCount();
    SleepMilliseconds(15);
    EXPECT_GE(PerformanceCounter() - start, PerformanceFrequency() / 100);
    EXPECT_GE(static_cast<uint32_t>(TickCount() - tick), 10u);
}

TEST(CodePage, ConvertsGbkAndNeverSplitsATrailByte) {
    EXPECT_TRUE(IsValidUtf8("maps\\\xE4\xB8\xAD.bin"));
    EXPECT_FALSE(IsValidUtf8("\xD6\xD0"));
    EXPECT_FALSE(IsValidUtf8("\xC0\x80"));  // overlong
    EXPECT_EQ(GbkToUtf8("\xD6\xD0\xCE\xC4.txt"), "\xE4\xB8\xAD\xE6\x96\x87.txt");
    EXPECT_EQ(GbkToUtf8("a\xFF" "b"), "a?b");
    // 0xB1 0x5C is one GBK character whose trail byte looks like a backslash.
    std::string path = "a\xB1\\b\\c";
    EXPECT_EQ(FindCharacter(path, 0, '\\'), 4u);
    EXPECT_EQ(FindCharacter("x\\y", 0, '\\'), 1u);
    EXPECT_EQ(FindCharacter("xy", 0, '\\'), std::string::npos);
}

TEST(DiskSpace, ReportsTheCurrentDisk) {
    auto free = FreeDiskSpace(".");
    ASSERT_TRUE(free.has_value());
    EXPECT_GT(*free, 0u);
    EXPECT_FALSE(FreeDiskSpace("/no/such/folder").has_value());
}
