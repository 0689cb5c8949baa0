// The pack invariant: regions inside data.vaf, none overlapping.
#include <gtest/gtest.h>

#include "pack/PackUpdater.h"
#include "pack/PackVerify.h"
#include "tests/pack/PackFixture.h"
#include "tests/support/TempFolder.h"

using namespace packtest;
using testsupport::CTempFolder;

namespace {

std::optional<std::string> Conflict(const CPackBuilder& builder, uint64_t dataSize) {
    CTempFolder folder;
    builder.Write(folder.Path());
    CRecordingHost host;
    CPackUpdater pack(host, folder.Path());
    EXPECT_TRUE(pack.LoadGameHeader());
    return FindPackConflict(pack, dataSize);
}

}  // namespace

TEST(PackVerify, FindsTheFirstConflict) {
    struct Case {
        const char* what;
        CPackBuilder builder;
        uint64_t dataSize;
        const char* expected;  // part of the message, or null when sound
    };
    std::vector<Case> cases;
    cases.push_back({"sound", CPackBuilder().File("a", "12").Gap(3).File("d\\b", ""), 9, nullptr});
    cases.push_back({"file's zero byte past the end", CPackBuilder().File("a", "12"), 2, "a [0, +3) lies outside"});
    cases.push_back({"rest space past the end", CPackBuilder().File("a", "1").Gap(4), 6, "rest space #0"});
    cases.push_back({"two files", CPackBuilder().File("a", "1234").Record("d\\b", 3, 0), 5,
                     "a [0, +5) overlaps d\\b [3, +1)"});
    cases.push_back({"file in a free region", CPackBuilder().Gap(10).Record("x", 10, 2), 20,
                     "rest space #0 \"old\" [0, +11) overlaps x [10, +3)"});
    cases.push_back({"two empty files at one offset", CPackBuilder().Record("a", 4, 0).Record("b", 4, 0), 5,
                     "a [4, +1) overlaps b [4, +1)"});
    cases.push_back({"offset at the top of the range", CPackBuilder().Record("a", ~0ull, 5), 100, "lies outside"});
    for (const Case& c : cases) {
        std::optional<std::string> conflict = Conflict(c.builder, c.dataSize);
        if (!c.expected) {
            EXPECT_FALSE(conflict) << c.what << ": " << *conflict;
        } else {
            ASSERT_TRUE(conflict) << c.what;
            EXPECT_NE(conflict->find(c.expected), std::string::npos) << c.what << ": " << *conflict;
        }
    }
}
