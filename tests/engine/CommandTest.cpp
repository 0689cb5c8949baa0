// `velmor fetch` and `velmor host-check` run as operators run them.
#include "tests/engine/EngineTest.h"

namespace enginetest {
namespace {

using testsupport::HttpFault;

class CommandTest : public CEngineTest {
protected:
    // Runs the program with the arguments; returns its exit status, output in m_output.
    int Velmor(const std::string& arguments) {
        std::string out = m_folder / "output.txt";
        int status = testsupport::RunShell(testsupport::BuildFolder() + "/tools/velmor " + arguments + " >" + out +
                                           " 2>&1");
        m_output = testsupport::ReadFile(out);
        return status;
    }
    bool Printed(const std::string& text) const { return m_output.find(text) != std::string::npos; }
    static std::string Zip(size_t size) { return "PK\x03\x04" + std::string(size, 'z'); }
    void PublishHost(const std::string& list) {
        PublishList(list);
        Publish("/velmor/patch/pv0001.patch", Zip(5000));
        Publish("/velmor/patch/pv0002.patch", Zip(70000));
    }

    std::string m_output;
};

TEST_F(CommandTest, FetchDownloadsTheFileAndPrintsTheStatus) {
    std::string content(200000, 'c');
    Publish("/velmor/patch/pv0001.patch", content);
    EXPECT_EQ(Velmor("fetch " + m_pServer->Url("/velmor/patch/pv0001.patch") + " got.patch"), 0) << m_output;
    EXPECT_EQ(testsupport::ReadFile(m_folder / "got.patch"), content);
    EXPECT_TRUE(Printed("正在接受文件中")) << m_output;
    EXPECT_TRUE(Printed("got.patch: 200000 bytes")) << m_output;
}

TEST_F(CommandTest, FetchFailuresPrintTheLaunchersTexts) {
    Publish("/short", std::string(10000, 's'));
    m_pServer->SetFault("/short", HttpFault::Truncated);
    EXPECT_EQ(Velmor("fetch " + m_pServer->Url("/short") + " short"), 1);
    EXPECT_TRUE(Printed("Velmor Updater: The server closed the connection after 5000 of 10000 bytes")) << m_output;
    EXPECT_TRUE(Printed("下载失败Ex: ,18,0 c23-1")) << m_output;

    Publish("/nolength", "x");
    m_pServer->SetFault("/nolength", HttpFault::NoContentLength);
    EXPECT_EQ(Velmor("fetch " + m_pServer->Url("/nolength") + " nolength"), 1);
    EXPECT_TRUE(Printed("下载失败: 无法得到文件信息.c25")) << m_output;

    EXPECT_EQ(Velmor("fetch http://" + DeadHost() + "/x x"), 1);
    EXPECT_TRUE(Printed("Velmor Updater: ")) << m_output;
}

TEST_F(CommandTest, FetchOfAFileTheHostHasNotGotFailsAndStoresNothing) {
    EXPECT_EQ(Velmor("fetch " + m_pServer->Url("/velmor/patch/pv0009.patch") + " got.patch"), 1);
    EXPECT_TRUE(Printed("下载失败: 无法打开服务器文件.c30")) << m_output;
    EXPECT_FALSE(testsupport::Exists(m_folder / "got.patch"));
}

// An answer longer than announced is the launcher's FILE_SIZE_ERR, but only a run
// in a game folder records it: fetch touches no Version.ini, there or absent.
TEST_F(CommandTest, FetchTouchesNoInstallationRecord) {
    Publish("/long", std::string(5000, 'l'));
    m_pServer->SetFault("/long", HttpFault::OneByteMore);
    const std::string record = "[Version]\nCheckVersion=2\nCurrentVersion=3\n";
    for (bool installed : {false, true}) {
        SCOPED_TRACE(installed ? "with Version.ini" : "without Version.ini");
        if (installed) WriteLocalRecord(record);
        EXPECT_EQ(Velmor("fetch " + m_pServer->Url("/long") + " long"), 1);
        EXPECT_TRUE(Printed("下载失败Ov: ,0,0,5001/5000 c34")) << m_output;
        EXPECT_EQ(testsupport::Exists(m_folder / "Version.ini"), installed);
        if (installed) {
            EXPECT_EQ(testsupport::ReadFile(m_folder / "Version.ini"), record);
        }
    }
}

TEST_F(CommandTest, FetchUsage) {
    EXPECT_EQ(Velmor("fetch --help"), 0);
    EXPECT_TRUE(Printed("usage: velmor fetch URL FILE"));
    EXPECT_EQ(Velmor("fetch only-one-argument"), 1);
}

TEST_F(CommandTest, HostCheckPassesAHostThatKeepsTheContract) {
    PublishHost("[Version]\nCheckVersion=2\nUpdaterVersion=10\nPatchFileVersion=2\n");
    Publish("/velmor/new_updater.exe", "MZ launcher");
    EXPECT_EQ(Velmor("host-check " + m_pServer->Host()), 0) << m_output;
    EXPECT_TRUE(Printed("ok   " + m_pServer->Url("/velmor/patch/pv0002.patch") + ": 70004 bytes")) << m_output;
    EXPECT_TRUE(Printed("ok   " + m_pServer->Url("/velmor/new_updater.exe"))) << m_output;
    EXPECT_TRUE(Printed("note " + m_pServer->Url("/velmor/test_updater.exe"))) << m_output;
    EXPECT_TRUE(Printed("0 problems found"));
}

TEST_F(CommandTest, HostCheckFindsEveryBrokenRule) {
    PublishHost("[Version]\nCheckVersion=2\nUpdaterVersion=10\nPatchFileVersion=5\n");
    Publish("/velmor/patch/pv0003.patch", "not a zip");
    Publish("/velmor/patch/pv0004.patch", Zip(3000));
    Publish("/velmor/patch/pv0005.patch", Zip(3000));
    m_pServer->SetFault("/velmor/patch/pv0001.patch", HttpFault::NoContentLength);
    m_pServer->SetFault("/velmor/patch/pv0002.patch", HttpFault::Truncated);
    m_pServer->SetFault("/velmor/patch/pv0004.patch", HttpFault::OneByteMore);
    m_pServer->SetFault("/velmor/patch/pv0005.patch", HttpFault::ZeroContentLength);
    EXPECT_EQ(Velmor("host-check " + m_pServer->Host()), 1);
    EXPECT_TRUE(Printed("FAIL " + m_pServer->Url("/velmor/patch/pv0001.patch") + ": no Content-Length")) << m_output;
    EXPECT_TRUE(Printed("pv0002.patch: Content-Length 70004 but the body has 35002 bytes")) << m_output;
    EXPECT_TRUE(Printed("pv0003.patch: not a ZIP archive")) << m_output;
    EXPECT_TRUE(Printed("pv0004.patch: Content-Length 3004 but the body has more bytes")) << m_output;
    EXPECT_TRUE(Printed("pv0005.patch: Content-Length is 0")) << m_output;
    EXPECT_TRUE(Printed("new_updater.exe: status 404")) << m_output;
    EXPECT_TRUE(Printed("6 problems found")) << m_output;
}

TEST_F(CommandTest, HostCheckOfAListWithoutItsKeys) {
    PublishList("[Version]\nCheckVersion=1\nPatchFileVersion=1\n");
    EXPECT_EQ(Velmor("host-check " + m_pServer->Host()), 1);
    EXPECT_TRUE(Printed("no UpdaterVersion in section [Version]")) << m_output;
    EXPECT_EQ(m_pServer->RequestCount("/velmor/patch/pv0001.patch"), 0);

    PublishList("[Version]\nUpdaterVersion=9\nPatchFileVersion=0\n");
    EXPECT_EQ(Velmor("host-check " + m_pServer->Host()), 0) << m_output;
    EXPECT_TRUE(Printed("CheckVersion is absent: patching is not published")) << m_output;
}

TEST_F(CommandTest, HostCheckOfAnUnreachableHost) {
    EXPECT_EQ(Velmor("host-check " + DeadHost()), 1);
    EXPECT_TRUE(Printed("FAIL http://" + DeadHost() + "/velmor/UpdateVersion.ini: no answer")) << m_output;
    EXPECT_EQ(Velmor("host-check"), 1);
    EXPECT_EQ(Velmor("host-check --help"), 0);
}

}  // namespace
}  // namespace enginetest
