// The tool buttons start their programs through the real program search, once per
// click, and the link buttons open the entries of Links that exist.
#include <sys/stat.h>

#include <cstdlib>

#include "launcher/HoverButton.h"
#include "tests/window/widgets/WindowFixture.h"

namespace windowtest {
namespace {

class ExternalLaunchTest : public CWindowTest {
protected:
    ExternalLaunchTest() {
        // No tool of the same name in the Wine prefix's system folder.
        setenv("WINEPREFIX", (m_folder / "wine").c_str(), 1);
    }
    ~ExternalLaunchTest() override { unsetenv("WINEPREFIX"); }

    // A stand-in tool in the game folder that notes each start in a file.
    void InstallTool(const std::string& name) {
        std::string path = m_folder / name;
        testsupport::WriteFile(path, "#!/bin/sh\necho \"$0 $*\" >> \"" + m_folder / (name + ".runs") + "\"\n");
        chmod(path.c_str(), 0755);
    }

    std::string Runs(const std::string& name) const {
        std::string path = m_folder / (name + ".runs");
        return testsupport::Exists(path) ? testsupport::ReadFile(path) : std::string();
    }
};

TEST_F(ExternalLaunchTest, EachClickOnTheToolButtonsStartsTheToolAgain) {
    m_bRealPrograms = true;
    InstallTool("dxdiag.exe");
    InstallTool("Config.exe");
    CKestrunDlg& window = Open({2});
    QTest::mouseClick(window.Button(1022), Qt::LeftButton);
    QTest::mouseClick(window.Button(1022), Qt::LeftButton);
    QTest::mouseClick(window.Button(1000), Qt::LeftButton);
    const std::string dxdiag = m_folder / "dxdiag.exe";
    EXPECT_TRUE(WaitFor([&] { return Runs("dxdiag.exe") == dxdiag + " \n" + dxdiag + " \n"; }))
        << Runs("dxdiag.exe");
    const std::string config = m_folder / "Config.exe";
    EXPECT_TRUE(WaitFor([&] { return Runs("Config.exe") == config + " \n"; })) << Runs("Config.exe");
}

TEST_F(ExternalLaunchTest, LinkButtonsBeyondTheListedLinksDoNothing) {
    UifContent content = MakeContent({2});
    content.Links = {"http://127.0.0.1/large", "http://127.0.0.1/small", "http://127.0.0.1/home", ""};
    WriteConfig(content);
    CKestrunDlg& window = OpenWindow();
    for (int button : {1001, 1002, 1003, 1004, 1008, 1009})
        QTest::mouseClick(window.Button(button), Qt::LeftButton);
    QTest::mouseClick(&window, Qt::LeftButton, {}, QPoint(600, 325));  // the link area
    EXPECT_EQ(m_openedUrls, (std::vector<std::string>{"http://127.0.0.1/home", "http://127.0.0.1/home"}));
}

}  // namespace
}  // namespace windowtest
