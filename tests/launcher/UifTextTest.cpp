// The editable text of updater.uif, in process and through `velmor uif`.
#include <gtest/gtest.h>

#include "launcher/core/UifText.h"
#include "tests/launcher/UifBytes.h"
#include "tests/support/GbkText.h"
#include "tests/support/TempFolder.h"

using testsupport::CUifBytes;
using testsupport::Gbk;

namespace {

const char* const kText =
    "# updater.uif as text: `velmor uif build TEXT FILE` writes it back.\n"
    "magic: yes\n"
    "header-value: -5\n"
    "\n"
    "group: 电信区\n"
    "  server: 电信一服\n"
    "    patch-host: patch.example.com\n"
    "    game-address: 10.0.0.1\n"
    "  server: \" padded \"\n"
    "    patch-host:\n"
    "    game-address: \"tab\\there\\x01\\\"q\\\\\"\n"
    "\n"
    "group: empty\n"
    "\n"
    "group:\n"
    "  server: 网通\n"
    "    patch-host: 192.168.1.2:8080\n"
    "    game-address: game.example.com\n"
    "\n"
    "# links in order: 0 large news page, 1 small news page, 2 to 7 the link buttons\n"
    "link: http://news.example.com/big.html?a=1#top\n"
    "link:\n"
    "link: http://home.example.com/\n";

TEST(UifText, ParsesWhatItFormats) {
    UifContent content;
    std::string error;
    ASSERT_TRUE(ParseUifText(kText, content, error)) << error;
    EXPECT_TRUE(content.HasMagic);
    EXPECT_EQ(content.HeaderValue, -5);
    ASSERT_EQ(content.Groups.size(), 3u);
    ASSERT_EQ(content.Groups[0].Servers.size(), 2u);
    EXPECT_EQ(content.Groups[0].Servers[1].Name, " padded ");
    EXPECT_EQ(content.Groups[0].Servers[1].PatchHost, "");
    EXPECT_EQ(content.Groups[0].Servers[1].GameAddress, "tab\there\x01\"q\\");
    EXPECT_EQ(content.Groups[2].Name, "");
    EXPECT_EQ(content.Groups[2].Servers.at(0).PatchHost, "192.168.1.2:8080");
    EXPECT_EQ(content.Links, (std::vector<std::string>{"http://news.example.com/big.html?a=1#top", "",
                                                       "http://home.example.com/"}));
    EXPECT_EQ(FormatUifText(content), kText);
}

TEST(UifText, HandWrittenTextNeedsNoIndentation) {
    UifContent content;
    std::string error;
    ASSERT_TRUE(ParseUifText("magic: no\r\ngroup : A\r\nserver:a\r\npatch-host:   h   \r\n", content, error)) << error;
    EXPECT_FALSE(content.HasMagic);
    ASSERT_EQ(content.Groups.at(0).Servers.size(), 1u);
    EXPECT_EQ(content.Groups[0].Servers[0].PatchHost, "h");
    EXPECT_EQ(FormatUifText(content), "# updater.uif as text: `velmor uif build TEXT FILE` writes it back.\n"
                                      "magic: no\n\ngroup: A\n  server: a\n    patch-host: h\n");
}

TEST(UifText, ErrorsNameTheLine) {
    const std::pair<const char*, const char*> cases[] = {
        {"group: A\n", "the text must say 'magic: yes' or 'magic: no'"},
        {"magic: maybe\n", "line 1: magic is 'yes' or 'no'"},
        {"magic: yes\ngroup: A\nmagic: yes\n", "line 3: 'magic' comes once, before the first group"},
        {"magic: no\nheader-value: 3\n", "line 2: header-value needs 'magic: yes' before it"},
        {"magic: yes\nheader-value: 3000000000\n", "line 2: header-value is a signed 32-bit number"},
        {"magic: yes\nserver: a\n", "line 2: a server needs a group line before it"},
        {"magic: yes\ngroup: A\npatch-host: h\n", "line 3: patch-host needs a server line before it"},
        {"magic: yes\ngroup: A\nserver: a\npatch-host: h\npatch-host: i\n",
         "line 5: a second patch-host for the same server"},
        {"magic: no\ngroup: A\nserver: a\ngame-address: g\n",
         "line 4: game-address needs 'magic: yes' before it (a file without the magic has none)"},
        {"magic: yes\nport: 80\n", "line 2: unknown setting 'port'"},
        {"magic: yes\njust words\n", "line 2: expected 'name: value'"},
        {"magic: yes\nlink: \"open\n", "line 2: the quoted value has no closing '\"'"},
        {"magic: yes\nlink: \"a\" b\n", "line 2: text after the closing '\"'"},
        {"magic: yes\nlink: \"\\q\"\n", "line 2: unknown escape \\q"},
        {"magic: yes\nlink: \"\\x4\"\n", "line 2: \\x needs two hex digits"},
        {"magic: yes\nlink: \"\\x00\"\n", "line 2: a value cannot hold a zero byte"},
        {"magic: yes\ngroup: 电信\xED\x95\x9C区\n",
         "line 2: '\xED\x95\x9C' cannot be written in GBK, the code page of updater.uif"},
        {"magic: yes\ngroup: \"\\x41한\"\n", "line 2: '한' cannot be written in GBK, the code page of updater.uif"},
        {"magic: yes\ngroup: \xB5\xE7\n", "line 2: the line is not UTF-8"},
    };
    for (const auto& [text, message] : cases) {
        UifContent content;
        std::string error;
        EXPECT_FALSE(ParseUifText(text, content, error)) << text;
        EXPECT_EQ(error, message) << text;
    }
    UifContent content;
    std::string error;
    EXPECT_FALSE(ParseUifText("magic: yes\ngroup: " + std::string(256, 'g') + "\n", content, error));
    EXPECT_EQ(error, "line 2: the value is 256 bytes long in GBK; at most 255 fit");
    EXPECT_TRUE(ParseUifText("magic: yes\ngroup: " + std::string(255, 'g') + "\n", content, error)) << error;
    // The limit counts GBK bytes: 127 characters of three UTF-8 bytes fit.
    std::string plums;
    for (int i = 0; i < 127; ++i) plums += "梅";
    EXPECT_TRUE(ParseUifText("magic: yes\ngroup: " + plums + "\n", content, error)) << error;
    EXPECT_EQ(content.Groups.at(0).Name.size(), 254u);
}

// The text is UTF-8 and the file GBK: names go over converted, and bytes of the
// file that are no GBK characters come back as \xHH, so nothing is lost.
TEST(UifText, ConvertsTextsAndEscapesBytesThatAreNotGbk) {
    UifContent content;
    content.HasMagic = false;
    for (const std::string& name : {Gbk("庐山1"), Gbk("梅"), std::string("a\xFF" "b"), Gbk("淺") + "\x81"})
        content.Groups.push_back(ServerGroup{name, {}});
    std::string text = FormatUifText(content);
    EXPECT_NE(text.find("group: 庐山1\n\ngroup: 梅\n\ngroup: \"a\\xFFb\"\n\ngroup: \"淺\\x81\"\n"),
              std::string::npos)
        << text;
    UifContent parsed;
    std::string error;
    ASSERT_TRUE(ParseUifText(text, parsed, error)) << error;
    ASSERT_EQ(parsed.Groups.size(), content.Groups.size());
    for (size_t i = 0; i < content.Groups.size(); ++i) EXPECT_EQ(parsed.Groups[i].Name, content.Groups[i].Name);
}

class VelmorUifTool : public ::testing::Test {
protected:
    int Run(const std::string& arguments) {
        return testsupport::RunShell(testsupport::BuildFolder() + "/tools/velmor uif " + arguments + " >" +
                                     (m_folder / "out") + " 2>" + (m_folder / "err"));
    }
    std::string Out() { return testsupport::ReadFile(m_folder / "out"); }
    std::string Err() { return testsupport::ReadFile(m_folder / "err"); }
    testsupport::CTempFolder m_folder;
};

TEST_F(VelmorUifTool, BuildThenDumpGivesTheTextBack) {
    testsupport::WriteFile(m_folder / "servers.txt", kText);
    ASSERT_EQ(Run("build " + (m_folder / "servers.txt") + " " + (m_folder / "updater.uif")), 0) << Err();
    EXPECT_EQ(Out(), m_folder / "updater.uif" + ": 3 groups, 3 servers, 3 links, with the magic\n");
    std::string bytes = testsupport::ReadFile(m_folder / "updater.uif");
    EXPECT_EQ(bytes.size(), 7 + 4 + 3 * 260 + 3 * 2304 + 4 + 3 * 1024u);
    EXPECT_EQ(bytes.substr(0, 11), std::string("UIF\xfb\xff\xff\xff\x03\0\0\0", 11));
    // The first group's name, as GBK and zero-padded.
    std::string name = Gbk("电信区");
    EXPECT_EQ(bytes.substr(11, name.size() + 1), name + std::string(1, '\0'));
    ASSERT_EQ(Run("dump " + (m_folder / "updater.uif")), 0) << Err();
    EXPECT_EQ(Out(), kText);
}

TEST_F(VelmorUifTool, DumpThenBuildGivesTheFileBack) {
    const std::string file = CUifBytes().Int(2).Group(Gbk("庐山"), 1).Server(Gbk("某服"), "patch.a").Group("B\xFF", 0)
                                 .Int(1).Link("http://x").Bytes();
    testsupport::WriteFile(m_folder / "updater.uif", file);
    ASSERT_EQ(Run("dump " + (m_folder / "updater.uif")), 0) << Err();
    testsupport::WriteFile(m_folder / "text", Out());
    ASSERT_EQ(Run("build " + (m_folder / "text") + " " + (m_folder / "rebuilt.uif")), 0) << Err();
    EXPECT_EQ(testsupport::ReadFile(m_folder / "rebuilt.uif"), file);
}

TEST_F(VelmorUifTool, DamagedFilesAndBadTextAreReported) {
    testsupport::WriteFile(m_folder / "cut.uif", CUifBytes().Int(3).Group("A", 1).Server("a", "h").Bytes());
    EXPECT_EQ(Run("dump " + (m_folder / "cut.uif")), 2);
    EXPECT_NE(Out().find("group: A\n  server: a\n    patch-host: h\n"), std::string::npos);
    EXPECT_NE(Err().find("warning: the file ends inside the name of group 1 (3 groups announced)"), std::string::npos)
        << Err();

    EXPECT_EQ(Run("dump " + (m_folder / "missing.uif")), 1);
    EXPECT_NE(Err().find("no such file"), std::string::npos);

    testsupport::WriteFile(m_folder / "bad.txt", "magic: yes\ngroup: A\nhost: h\n");
    EXPECT_EQ(Run("build " + (m_folder / "bad.txt") + " " + (m_folder / "out.uif")), 1);
    EXPECT_NE(Err().find("line 3: unknown setting 'host'"), std::string::npos) << Err();
    EXPECT_FALSE(testsupport::Exists(m_folder / "out.uif"));

    EXPECT_EQ(Run("--help"), 0);
    EXPECT_NE(Out().find("usage: velmor uif dump FILE"), std::string::npos);
    EXPECT_EQ(Run("frobnicate"), 1);
}

}  // namespace
