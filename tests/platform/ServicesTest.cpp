#include <gtest/gtest.h>

#include <atomic>

#include "platform/Clock.h"
#include "platform/CodePage.h"
#include "platform/DiskSpace.h"
#include "platform/Event.h"
#include "platform/Thread.h"
#include "tests/support/GbkText.h"

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

TEST(CodePage, ConvertsAsIconvDoesAndEscapesWhatIsNotGbk) {
    // 某 and 梅 are GBK characters whose bytes also form valid UTF-8; 淺 has a trail 0x5C.
    for (const std::string utf8 : {"maps\\某.bin", "庐山1", "梅", "更新\\淺.bin", "plain ascii", "€"}) {
        std::string gbk = testsupport::Gbk(utf8);
        EXPECT_EQ(Utf8ToGbk(utf8), gbk) << utf8;
        EXPECT_TRUE(IsGbk(gbk)) << utf8;
        EXPECT_EQ(GbkToUtf8(gbk), utf8);
    }
    EXPECT_EQ(GbkToUtf8("a\xFF" "b\x81"), "a\\xFFb\\x81");
    EXPECT_FALSE(IsGbk("a\xFF"));
    size_t failedAt = 0;
    EXPECT_EQ(Utf8ToGbk("ab\xED\x95\x9C.txt", &failedAt), std::nullopt);  // a Hangul syllable
    EXPECT_EQ(failedAt, 2u);
    EXPECT_EQ(Utf8ToGbk("\xC0\x80"), std::nullopt);  // not UTF-8 (overlong)
    EXPECT_FALSE(IsValidUtf8("\xC0\x80"));
    EXPECT_TRUE(IsValidUtf8("maps\\\xE4\xB8\xAD.bin"));
}

TEST(CodePage, TheSeparatorScanAlwaysFollowsTheGbkLeadByteRule) {
    // E4 B8 AD 5C is valid UTF-8 ("中\"), but in GBK two characters: no separator.
    std::string mixed = "\xE4\xB8\xAD\\\xB1\xED.bin\\x";
    EXPECT_EQ(FindCharacter(mixed, 0, '\\'), 10u);
    EXPECT_EQ(FindCharacter("a\xB1\\b\\c", 0, '\\'), 4u);
    EXPECT_EQ(FindCharacter("x\\y", 0, '\\'), 1u);
    EXPECT_EQ(FindCharacter("xy\x81", 0, '\\'), std::string::npos);
}

TEST(DiskSpace, ReportsTheCurrentDisk) {
    auto free = FreeDiskSpace(".");
    ASSERT_TRUE(free.has_value());
    EXPECT_GT(*free, 0u);
    EXPECT_FALSE(FreeDiskSpace("/no/such/folder").has_value());
}
