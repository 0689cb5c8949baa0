#include <gtest/gtest.h>

#include <cstdio>

#include "tests/support/TempFolder.h"

using testsupport::CTempFolder;

TEST(Package, DebianPackageInstallsAndRuns) {
    CTempFolder scratch;
    std::string build = testsupport::BuildFolder();
    ASSERT_EQ(testsupport::RunShell("cd " + build + " && cpack -G DEB -B " + scratch / "out" + " >" +
                                    scratch / "cpack.log" + " 2>&1"),
              0)
        << testsupport::ReadFile(scratch / "cpack.log");
    std::string deb = testsupport::RunCommand("ls " + scratch / "out" + "/*.deb").output;
    ASSERT_FALSE(deb.empty());
    deb.pop_back();
    std::string depends = testsupport::RunCommand("dpkg-deb -f " + deb + " Depends").output;
    EXPECT_NE(depends.find("libcurl4"), std::string::npos) << depends;
    EXPECT_NE(depends.find("zlib1g"), std::string::npos) << depends;
    EXPECT_NE(depends.find("libqt6widgets6"), std::string::npos) << depends;

    ASSERT_EQ(testsupport::RunShell("dpkg-deb -x " + deb + " " + scratch / "root"), 0);
    EXPECT_TRUE(testsupport::Exists(scratch / "root/usr/bin/velmor-launcher"));
    EXPECT_TRUE(testsupport::Exists(scratch / "root/usr/share/applications/velmor-launcher.desktop"));
    EXPECT_TRUE(testsupport::Exists(scratch / "root/usr/share/pixmaps/velmor-launcher.bmp"));
    std::string help = testsupport::RunCommand(scratch / "root/usr/bin/velmor --help").output;
    EXPECT_NE(help.find("mkpatch"), std::string::npos) << help;
    EXPECT_NE(help.find("extract"), std::string::npos) << help;
}
