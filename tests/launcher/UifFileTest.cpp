// Reading and writing updater.uif: both layouts, hostile files, texts.
#include <gtest/gtest.h>

#include "launcher/core/UifFile.h"
#include "tests/launcher/UifBytes.h"
#include "tests/support/GbkText.h"

using testsupport::CUifBytes;
using testsupport::Gbk;

namespace {

// Two groups (2 servers, none) and three links, with or without the magic.
std::string SampleFile(bool magic) {
    CUifBytes bytes;
    if (magic) bytes.Magic(7);
    bytes.Int(2).Group("North", 2);
    if (magic) {
        bytes.Server("N1", "patch1.example", "10.0.0.1").Server("N2", "patch2.example", "10.0.0.2");
    } else {
        bytes.Server("N1", "patch1.example").Server("N2", "patch2.example");
    }
    bytes.Group("Empty", 0).Int(3).Link("http://big").Link("http://small").Link("http://home");
    return bytes.Bytes();
}

TEST(UifFile, ReadsBothLayouts) {
    for (bool magic : {true, false}) {
        SCOPED_TRACE(magic ? "with magic" : "without magic");
        UifContent content = ReadUifFile(SampleFile(magic));
        EXPECT_EQ(content.HasMagic, magic);
        EXPECT_EQ(content.HeaderValue, magic ? 7 : 0);
        EXPECT_EQ(content.Truncation, "");
        ASSERT_EQ(content.Groups.size(), 2u);
        EXPECT_EQ(content.Groups[0].Name, "North");
        ASSERT_EQ(content.Groups[0].Servers.size(), 2u);
        const ServerEntry& second = content.Groups[0].Servers[1];
        EXPECT_EQ(second.Name, "N2");
        EXPECT_EQ(second.PatchHost, "patch2.example");
        EXPECT_EQ(second.GameAddress, magic ? "10.0.0.2" : "");
        EXPECT_EQ(second.PingTime.load(), -1);
        EXPECT_EQ(content.Groups[1].Name, "Empty");
        EXPECT_TRUE(content.Groups[1].Servers.empty());
        EXPECT_EQ(content.Links, (std::vector<std::string>{"http://big", "http://small", "http://home"}));
    }
}

TEST(UifFile, HeaderValueBytesChangeNothingButTheValue) {
    const std::string rest = SampleFile(true).substr(7);
    for (const std::string& header : {std::string("\0\0\0\0", 4), std::string("UIF\xff"), std::string("\xff\xff\xff\x7f")}) {
        UifContent content = ReadUifFile("UIF" + header + rest);
        EXPECT_TRUE(content.HasMagic);
        EXPECT_EQ(content.Truncation, "");
        ASSERT_EQ(content.Groups.size(), 2u);
        EXPECT_EQ(content.Groups[0].Servers.at(1).GameAddress, "10.0.0.2");
        EXPECT_EQ(content.Links.size(), 3u);
    }
}

// Every prefix of a file: nothing beyond it is read, and what is kept is exactly
// the records that lie complete inside it.
TEST(UifFile, FileCutAnywhereKeepsTheCompleteRecordsBeforeTheCut) {
    for (bool magic : {true, false}) {
        const std::string full = SampleFile(magic);
        const UifContent whole = ReadUifFile(full);
        const size_t header = magic ? 7 : 0, group = 260, server = magic ? 2304 : 1280;
        const size_t linksStart = header + 4 + group + 2 * server + group;
        for (size_t length = 0; length < full.size(); ++length) {
            SCOPED_TRACE(length);
            // A copy of exactly the prefix, so that a read beyond it would be caught by ASan.
            std::string prefix = full.substr(0, length);
            UifContent content = ReadUifFile(std::string_view(prefix));
            EXPECT_NE(content.Truncation, "");
            size_t expectedGroups = length < header + 4 + group ? 0 : length < linksStart ? 1 : 2;
            ASSERT_EQ(content.Groups.size(), expectedGroups);
            if (expectedGroups > 0) {
                size_t servers = length < header + 4 + group + server ? 0 : length < header + 4 + group + 2 * server ? 1 : 2;
                ASSERT_EQ(content.Groups[0].Servers.size(), servers);
                for (size_t s = 0; s < servers; ++s) {
                    EXPECT_EQ(content.Groups[0].Servers[s].PatchHost, whole.Groups[0].Servers[s].PatchHost);
                }
            }
            size_t links = length < linksStart + 4 ? 0 : (length - linksStart - 4) / 1024;
            EXPECT_EQ(content.Links.size(), links);
        }
    }
}

TEST(UifFile, CountsBeyondTheFileEndAtTheEnd) {
    struct Case {
        const char* name;
        std::string bytes;
        size_t groups;
        size_t servers;  // of the last group read
        size_t links;
    };
    const int32_t huge = INT32_MAX;
    const Case cases[] = {
        {"group count", CUifBytes().Int(huge).Group("A", 1).Server("a", "h").Bytes(), 1, 1, 0},
        {"server count", CUifBytes().Int(1).Group("A", huge).Server("a", "h").Server("b", "h").Bytes(), 1, 2, 0},
        {"link count", CUifBytes().Int(1).Group("A", 0).Int(huge).Link("x").Bytes(), 1, 0, 1},
        {"magic and counts", CUifBytes().Magic(0).Int(huge).Group("A", huge).Server("a", "h", "g").Bytes(), 1, 1, 0},
        {"negative counts", CUifBytes().Int(1).Group("A", -5).Int(INT32_MIN).Bytes(), 1, 0, 0},
        {"no groups", CUifBytes().Int(0).Int(1).Link("x").Bytes(), 0, 0, 1},
        {"empty file", "", 0, 0, 0},
        {"magic only", "UIF", 0, 0, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        UifContent content = ReadUifFile(c.bytes);
        ASSERT_EQ(content.Groups.size(), c.groups);
        if (c.groups) {
            EXPECT_EQ(content.Groups.back().Servers.size(), c.servers);
        }
        EXPECT_EQ(content.Links.size(), c.links);
    }
    EXPECT_EQ(ReadUifFile(cases[0].bytes).Truncation,
              "the file ends inside the name of group 1 (2147483647 groups announced)");
    EXPECT_EQ(ReadUifFile(cases[4].bytes).Truncation, "");
}

TEST(UifFile, TextsWithoutTheirZeroKeepTheFieldWidthLessOne) {
    const std::string name(256, 'N'), host(1024, 'h'), link(1024, 'l');
    UifContent content = ReadUifFile(CUifBytes().Magic(0).Int(1).Group(name, 1).Server(name, host, host)
                                         .Int(1).Link(link).Bytes());
    ASSERT_EQ(content.Groups.size(), 1u);
    EXPECT_EQ(content.Groups[0].Name, std::string(255, 'N'));
    const ServerEntry& server = content.Groups[0].Servers.at(0);
    EXPECT_EQ(server.Name, std::string(255, 'N'));
    EXPECT_EQ(server.PatchHost, std::string(1023, 'h'));
    EXPECT_EQ(server.GameAddress, std::string(1023, 'h'));
    EXPECT_EQ(content.Links.at(0), std::string(1023, 'l'));
    EXPECT_EQ(content.Truncation, "");
}

// Texts are GBK whatever their bytes look like: 庐 (C2 AE), 山 (C9 BD), 梅 (C3 B7)
// and 某 (C4 B3) are valid UTF-8 as well, and were once taken for it.
TEST(UifFile, TextsAreTheFileGbkBytesExactly) {
    const std::string names[] = {Gbk("庐山1"), Gbk("梅"), Gbk("某服 2"), Gbk("电信区"), Gbk("淺"), "a\xFF" "b"};
    CUifBytes file;
    file.Magic(0).Int(static_cast<int32_t>(std::size(names)));
    for (const std::string& name : names) file.Group(name, 1).Server(name, Gbk("补丁.example"), name);
    // Bytes after a terminating zero are not part of the text.
    file.Int(1).Text(Gbk("新闻") + std::string("\0junk", 5), 1024).Raw("trailing");
    UifContent content = ReadUifFile(file.Bytes());
    ASSERT_EQ(content.Groups.size(), std::size(names));
    for (size_t i = 0; i < std::size(names); ++i) {
        SCOPED_TRACE(i);
        EXPECT_EQ(content.Groups[i].Name, names[i]);
        ASSERT_EQ(content.Groups[i].Servers.size(), 1u);
        EXPECT_EQ(content.Groups[i].Servers[0].Name, names[i]);
        EXPECT_EQ(content.Groups[i].Servers[0].PatchHost, Gbk("补丁.example"));
        EXPECT_EQ(content.Groups[i].Servers[0].GameAddress, names[i]);
    }
    EXPECT_EQ(content.Links, std::vector<std::string>{Gbk("新闻")});
    EXPECT_EQ(content.TrailingBytes, 8u);

    // A text that fills its field keeps 255 bytes, even if that cuts a character.
    std::string longName;
    while (longName.size() < 256) longName += Gbk("梅");
    content = ReadUifFile(CUifBytes().Int(1).Group(longName, 0).Int(0).Bytes());
    ASSERT_EQ(content.Groups.size(), 1u);
    EXPECT_EQ(content.Groups[0].Name, longName.substr(0, 255));
}

TEST(UifFile, WriterMakesTheBytesTheReaderReads) {
    for (bool magic : {true, false}) {
        UifContent content = ReadUifFile(SampleFile(magic));
        std::string bytes, error;
        ASSERT_TRUE(WriteUifFile(content, bytes, error)) << error;
        EXPECT_EQ(bytes, SampleFile(magic));
    }
}

TEST(UifFile, WriterRefusesWhatTheFileCannotHold) {
    struct Case {
        const char* name;
        bool magic;
        std::string serverName, host, address, error;
    };
    const Case cases[] = {
        {"name", true, std::string(256, 'n'), "h", "", "the name of server 0 of group 0 is 256 bytes long; at most 255 fit"},
        {"host", true, "n", std::string(1024, 'h'), "", "the patch host of server 0 of group 0 is 1024 bytes long; at most 1023 fit"},
        {"zero byte", true, "n", std::string("a\0b", 3), "", "the patch host of server 0 of group 0 holds a zero byte"},
        {"address without magic", false, "n", "h", "g",
         "the game address of server 0 of group 0 needs the magic (a file without it has none)"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        UifContent content;
        content.HasMagic = c.magic;
        ServerEntry server;
        server.Name = c.serverName;
        server.PatchHost = c.host;
        server.GameAddress = c.address;
        content.Groups.push_back(ServerGroup{"G", {server}});
        std::string bytes, error;
        EXPECT_FALSE(WriteUifFile(content, bytes, error));
        EXPECT_EQ(error, c.error);
    }
}

}  // namespace
