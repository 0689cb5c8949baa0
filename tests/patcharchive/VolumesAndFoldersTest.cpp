// Split archives found beside the opened one, the removable-drive test behind
// cause 12, and ForceFolder.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "patcharchive/ForceFolder.h"
#include "patcharchive/PatchExtraction.h"
#include "platform/RemovableDrive.h"
#include "tests/patcharchive/ZipFixture.h"
#include "tests/support/TempFolder.h"

using namespace ziptest;
using testsupport::CTempFolder;
using testsupport::Exists;
using testsupport::ReadFile;
using testsupport::RunShell;
using testsupport::WriteFile;
namespace fs = std::filesystem;

namespace {

TEST(SplitArchiveTest, VolumesBesideTheArchiveAreReadInTurnUnderEitherNaming) {
    std::string big(300000, '\0');
    for (size_t i = 0; i < big.size(); ++i) big[i] = static_cast<char>((i * 7919) ^ (i >> 5));
    // Info-ZIP names the volumes .z01, .z02, ...; others count from .000.
    for (bool renamed : {false, true}) {
        SCOPED_TRACE(renamed ? ".000" : ".z01");
        CTempFolder work;
        WriteFile(work / "src/big.bin", big);
        WriteFile(work / "src/small.txt", "small");
        ASSERT_EQ(RunShell("cd " + work.Path() + "/src && zip -q -s 64k -n .bin ../split.zip big.bin small.txt"), 0);
        int volumes = 0;
        for (; Exists(work / ("split.z0" + std::to_string(volumes + 1))); ++volumes) {
            if (!renamed) continue;
            std::string number = std::to_string(volumes);
            fs::rename(work / ("split.z0" + std::to_string(volumes + 1)), work / ("split.00" + number));
        }
        ASSERT_GE(volumes, 3) << "the entry must span volumes";
        CRecordingHost host;
        std::string failure;
        ASSERT_EQ(ExtractPatchArchive(work / "split.zip", work / "out", host, &failure), 1) << failure;
        EXPECT_EQ(ReadFile(work / "out/big.bin"), big);
        EXPECT_EQ(ReadFile(work / "out/small.txt"), "small");

        fs::remove(work / (renamed ? "split.001" : "split.z02"));
        EXPECT_EQ(ExtractPatchArchive(work / "split.zip", work / "out2", host, &failure), 0);
        EXPECT_NE(failure.find("split.001 or " + work / "split.z02"), std::string::npos) << failure;
    }
}

TEST(RemovableDriveTest, DeviceOrItsWholeDiskReportsRemovable) {
    CTempFolder sys;
    WriteFile(sys / "devices/usb/block/sdb/removable", "1\n");
    WriteFile(sys / "devices/usb/block/sdb/sdb1/partition", "1\n");
    WriteFile(sys / "devices/pci/block/vda/removable", "0\n");
    WriteFile(sys / "devices/pci/block/vda/vda1/partition", "1\n");
    fs::create_directories(sys / "dev/block");
    fs::create_directory_symlink("../../devices/usb/block/sdb", sys / "dev/block/8:16");
    fs::create_directory_symlink("../../devices/usb/block/sdb/sdb1", sys / "dev/block/8:17");
    fs::create_directory_symlink("../../devices/pci/block/vda/vda1", sys / "dev/block/253:1");
    EXPECT_TRUE(platform::IsRemovableBlockDevice(8, 16, sys.Path()));
    EXPECT_TRUE(platform::IsRemovableBlockDevice(8, 17, sys.Path()));
    EXPECT_FALSE(platform::IsRemovableBlockDevice(253, 1, sys.Path()));
    EXPECT_FALSE(platform::IsRemovableBlockDevice(1, 1, sys.Path())) << "unknown devices are fixed ones";
}

TEST(ForceFolderTest, MakesMissingParentsAndFailsOnAFileInTheWay) {
    CTempFolder work;
    EXPECT_TRUE(ForceFolder(work / "a\\b/c\\"));
    EXPECT_TRUE(fs::is_directory(work / "a/b/c"));
    EXPECT_TRUE(ForceFolder(work / "A\\B")) << "an existing folder in another case";
    EXPECT_FALSE(Exists(work / "A"));
    EXPECT_TRUE(ForceFolder("/"));
    WriteFile(work / "file", "x");
    EXPECT_FALSE(ForceFolder(work / "file"));
    EXPECT_FALSE(ForceFolder(work / "file/sub"));
}

}  // namespace
