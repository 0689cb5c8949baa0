// The published list and a file download against a real nginx on loopback.
#include <malloc.h>

#include <algorithm>

#include "engine/PatchHost.h"
#include "engine/SharedState.h"
#include "tests/engine/EngineTest.h"
#include "tests/support/NginxServer.h"

namespace enginetest {
namespace {

class NginxTest : public CEngineTest {
protected:
    void SetUp() override {
        ASSERT_TRUE(testsupport::CNginxServer::IsAvailable()) << "scripts/install-deps installs nginx-light";
        m_pNginx = std::make_unique<testsupport::CNginxServer>(m_hostFolder.Path());
        SetSharedText(CurrentPatchHost, m_pNginx->Host());
    }
    std::unique_ptr<testsupport::CNginxServer> m_pNginx;
};

TEST_F(NginxTest, PublishedListIsFetchedAndRead) {
    PublishList("[Version]\r\nCheckVersion=2\r\nUpdaterVersion=9\r\nPatchFileVersion=31\r\n");
    m_pPatcher->m_baseVersion = m_pPatcher->m_currentVersion = 30;
    ASSERT_TRUE(m_pPatcher->FetchVersionList(false)) << StatusText();
    EXPECT_EQ(m_pPatcher->m_targetVersion, 31u);
    EXPECT_TRUE(m_pPatcher->IsPatchingPublished());
    EXPECT_FALSE(testsupport::Exists(m_folder / "UpdateVersion.ini"));
}

TEST_F(NginxTest, PatchIsDownloadedWhole) {
    std::string content(3 * 1024 * 1024 + 17, '\0');
    for (size_t i = 0; i < content.size(); ++i) content[i] = static_cast<char>(i * 131 >> 3);
    Publish("/velmor/patch/pv0031.patch", content);
    m_pPatcher->m_currentVersion = 30;
    m_pPatcher->m_targetVersion = 31;
    ASSERT_TRUE(m_pPatcher->PreparePatchDownloads());
    ASSERT_TRUE(m_pPatcher->BeginNextPatch()) << StatusText();
    DownloadStepResult step = DownloadContinue;
    for (int i = 0; i < 100000 && step == DownloadContinue; ++i) step = m_pPatcher->DownloadStep();
    EXPECT_EQ(step, DownloadComplete) << StatusText();
    EXPECT_EQ(testsupport::ReadFile(m_folder / "pv0031.patch"), content);
    EXPECT_EQ(m_pPatcher->m_totalReceived, static_cast<int64_t>(content.size()));
}

// Bytes the process holds on its heap, mapped blocks included.
size_t HeapInUse() {
    struct mallinfo2 info = mallinfo2();
    return info.uordblks + info.hblkhd;
}

TEST_F(NginxTest, FastDownloadHoldsLittleMemory) {
    // Loopback delivers many socket reads within one pump of the client; taking
    // them all at once would hold megabytes while the steps write 2048 bytes each.
    std::string content(48 * 1024 * 1024, '\0');
    for (size_t i = 0; i < content.size(); ++i) content[i] = static_cast<char>(i * 7 >> 2);
    Publish("/velmor/patch/pv0031.patch", content);
    m_pPatcher->m_currentVersion = 30;
    m_pPatcher->m_targetVersion = 31;
    size_t before = HeapInUse();
    size_t peak = before;
    ASSERT_TRUE(m_pPatcher->BeginNextPatch()) << StatusText();
    DownloadStepResult step = DownloadContinue;
    for (int i = 0; step == DownloadContinue; ++i) {
        step = m_pPatcher->DownloadStep();
        if (i % 64 == 0) peak = std::max(peak, HeapInUse());
    }
    ASSERT_EQ(step, DownloadComplete) << StatusText();
    EXPECT_LT(peak - before, 4u * 1024 * 1024);
    EXPECT_TRUE(testsupport::ReadFile(m_folder / "pv0031.patch") == content);
}

TEST_F(NginxTest, MissingFileIsNotTheErrorPage) {
    // nginx answers a missing file with a 404 page and its length: no file.
    EXPECT_FALSE(m_pPatcher->OpenDownload(VersionListUrl(CurrentPatchHost), kVersionListFile));
    EXPECT_EQ(StatusText(), "下载失败: 无法打开服务器文件.c30");
    EXPECT_FALSE(testsupport::Exists(m_folder / "UpdateVersion.ini"));
}

}  // namespace
}  // namespace enginetest
