// velmor extract as publishers run it: exit status, reasons, Ctrl-C.
#include <gtest/gtest.h>

#include <string>

#include "tests/patcharchive/ZipFixture.h"
#include "tests/support/TempFolder.h"

using namespace ziptest;
using testsupport::BuildFolder;
using testsupport::CTempFolder;
using testsupport::ReadFile;
using testsupport::RunShell;
using testsupport::WriteFile;

namespace {

class CmdExtractTest : public ::testing::Test {
protected:
    int Run(const std::string& arguments) {
        return RunShell(BuildFolder() + "/tools/velmor extract " + arguments + " >" + m_work.Path() + "/out 2>" +
                        m_work.Path() + "/err");
    }
    std::string Out() { return ReadFile(m_work / "out"); }
    std::string Err() { return ReadFile(m_work / "err"); }

    CTempFolder m_work;
};

TEST_F(CmdExtractTest, ExtractsAndExitsWithZero) {
    WriteFile(m_work / "p.zip", BuildArchive({{.name = "data\\a.txt", .data = "alpha"}, {.name = "b", .data = ""}}));
    EXPECT_EQ(Run(m_work / "p.zip " + m_work / "game"), 0) << Err();
    EXPECT_EQ(ReadFile(m_work / "game/data/a.txt"), "alpha");
    EXPECT_NE(Out().find("extracted 5 bytes"), std::string::npos) << Out();
}

TEST_F(CmdExtractTest, FailureExitsWithOneAndTheReason) {
    WriteFile(m_work / "bad.zip", BuildArchive({{.name = "a", .data = "alpha", .crc = 1}}));
    EXPECT_EQ(Run(m_work / "bad.zip " + m_work / "game"), 1);
    EXPECT_NE(Err().find("CRC mismatch"), std::string::npos) << Err();
    WriteFile(m_work / "evil.zip", BuildArchive({{.name = "..\\a", .data = "alpha"}}));
    EXPECT_EQ(Run(m_work / "evil.zip " + m_work / "game"), 1);
    EXPECT_NE(Err().find("refused"), std::string::npos) << Err();
    WriteFile(m_work / "bzip2.zip",
              BuildArchive({{.name = "maps/a.bin", .data = "alpha", .method = 12, .payload = "x"}}));
    EXPECT_EQ(Run(m_work / "bzip2.zip " + m_work / "game"), 1);
    EXPECT_NE(Err().find("entry 'maps\\a.bin': unsupported compression method 12"), std::string::npos) << Err();
    EXPECT_EQ(Run(m_work / "bad.zip"), 1);
    EXPECT_NE(Err().find("usage"), std::string::npos) << Err();
    EXPECT_EQ(Run("--help"), 0);
    EXPECT_NE(Out().find("Exit status"), std::string::npos);
}

TEST_F(CmdExtractTest, CtrlCStopsWithTwo) {
    // Large enough that the extraction is still running when the interrupt arrives.
    WriteFile(m_work / "big.zip", BuildArchive({ZeroEntry("zeros.bin", 512u << 20), {.name = "last", .data = "x"}}));
    const char* script = R"(
import signal, subprocess, sys
child = subprocess.Popen([sys.argv[1], 'extract', sys.argv[2], sys.argv[3]], stdout=subprocess.PIPE,
                         stderr=subprocess.PIPE, text=True)
line = child.stdout.readline()   # the first progress line: the extraction runs
child.send_signal(signal.SIGINT)
out, err = child.communicate(timeout=60)
sys.exit(0 if child.returncode == 2 and 'stopped' in err and line.startswith('extract:') else 1)
)";
    EXPECT_TRUE(RunPython(script, BuildFolder() + "/tools/velmor " + m_work / "big.zip " + m_work / "game"));
    EXPECT_FALSE(testsupport::Exists(m_work / "game/last"));
}

}  // namespace
