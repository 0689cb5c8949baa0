// Downloads against the scripted patch host: every failure of the transfer table
// and the edge cases of sizes that matter.
#include <filesystem>

#include "engine/PatchHost.h"
#include "engine/SharedState.h"
#include "platform/ProfileFile.h"
#include "tests/engine/EngineTest.h"

namespace enginetest {
namespace {

using testsupport::Exists;
using testsupport::HttpFault;
using testsupport::ReadFile;

class TransferTest : public CEngineTest {
protected:
    // Pumps DownloadStep until it stops returning Continue (bounded).
    DownloadStepResult DownloadToEnd(int* steps = nullptr) {
        DownloadStepResult result = DownloadContinue;
        int count = 0;
        while (result == DownloadContinue && count < 1000000) {
            result = m_pPatcher->DownloadStep();
            ++count;
        }
        if (steps) *steps = count;
        return result;
    }
    std::string Url(const std::string& path) const { return m_pServer->Url(path); }
    static std::string Patterned(size_t size) {
        std::string bytes(size, '\0');
        for (size_t i = 0; i < size; ++i) bytes[i] = static_cast<char>((i * 7 + i / 251) & 0xFF);
        return bytes;
    }
};

TEST_F(TransferTest, FileIsDownloadedByteForByteInReadsOf2048) {
    std::string content = Patterned(100000);
    Publish("/velmor/patch/pv0001.patch", content);
    ASSERT_TRUE(m_pPatcher->OpenDownload(Url("/velmor/patch/pv0001.patch"), "pv0001.patch"));
    EXPECT_EQ(m_pPatcher->m_expectedSize, 100000);
    EXPECT_EQ(StatusText(), "正在接受文件中");
    int steps = 0;
    EXPECT_EQ(DownloadToEnd(&steps), DownloadComplete);
    EXPECT_EQ(steps, 49);  // 48 full reads and the last 1696 bytes
    EXPECT_EQ(ReadFile(m_folder / "pv0001.patch"), content);
    EXPECT_FLOAT_EQ(m_surface.FileProgressBar().Fraction(), 1.0f);
    EXPECT_TRUE(m_window.MessageBoxTexts().empty());
    // Two requests: the size, then the body; both bypass caches.
    std::vector<testsupport::HttpRequestRecord> requests = m_pServer->Requests();
    ASSERT_EQ(requests.size(), 2u);
    for (const auto& request : requests) {
        EXPECT_EQ(request.rawHeader.rfind("GET /velmor/patch/pv0001.patch HTTP/1.1\r\n", 0), 0u);
        EXPECT_NE(request.rawHeader.find("Cache-Control: no-cache"), std::string::npos);
        EXPECT_NE(request.rawHeader.find("Pragma: no-cache"), std::string::npos);
    }
}

TEST_F(TransferTest, FileOfExactly2048BytesCompletesInOneStep) {
    Publish("/f", Patterned(2048));
    m_pPatcher->m_bPatchMode = true;
    ASSERT_TRUE(m_pPatcher->OpenDownload(Url("/f"), "f"));
    EXPECT_EQ(m_pPatcher->DownloadStep(), DownloadComplete);
    EXPECT_EQ(m_window.Text(kByteCounterControl), "2048 / 2048");
}

TEST_F(TransferTest, AnswerWithoutUsableContentLengthCannotBeOpened) {
    Publish("/f", "some bytes");
    struct Case {
        HttpFault fault;
        const char* lengthText;
    } cases[] = {
        {HttpFault::NoContentLength, nullptr}, {HttpFault::ZeroContentLength, nullptr},
        {HttpFault::None, "abc"},              {HttpFault::None, "-10"},
        {HttpFault::None, ""},
    };
    for (const Case& c : cases) {
        m_pServer->SetFault("/f", c.fault);
        if (c.lengthText) m_pServer->SetContentLengthText("/f", c.lengthText);
        EXPECT_FALSE(m_pPatcher->OpenDownload(Url("/f"), "f"));
        EXPECT_EQ(StatusText(), "下载失败: 无法得到文件信息.c25");
    }
    EXPECT_TRUE(m_window.MessageBoxTexts().empty()) << "the requests themselves went through";
}

TEST_F(TransferTest, RefusedConnectionShowsTheClientErrorThenTheSizeFailure) {
    std::string url = "http://" + DeadHost() + "/velmor/UpdateVersion.ini";
    EXPECT_EQ(m_pPatcher->QueryRemoteSize(url), 0);
    EXPECT_FALSE(m_pPatcher->OpenDownload(url, "UpdateVersion.ini"));
    std::vector<std::string> boxes = m_window.MessageBoxTexts();
    ASSERT_EQ(boxes.size(), 2u);
    EXPECT_NE(boxes[0].find("onnect"), std::string::npos) << boxes[0];
    EXPECT_EQ(StatusText(), "下载失败: 无法得到文件信息.c25");
}

TEST_F(TransferTest, SecondRequestFailing) {
    Publish("/f", Patterned(5000));
    m_pServer->SetFault("/f", HttpFault::FailAfterFirst);
    EXPECT_FALSE(m_pPatcher->OpenDownload(Url("/f"), "f"));
    EXPECT_EQ(m_window.MessageBoxTexts().size(), 1u);
    EXPECT_EQ(StatusText(), "下载失败: 无法打开服务器文件.c30");
}

TEST_F(TransferTest, LocalFileThatCannotBeCreated) {
    Publish("/f", Patterned(5000));
    std::filesystem::create_directory(m_folder / "taken");
    EXPECT_FALSE(m_pPatcher->OpenDownload(Url("/f"), "taken"));
    EXPECT_EQ(StatusText(), "下载失败: taken 无法打开文件.c32");
    EXPECT_TRUE(m_window.MessageBoxTexts().empty());
}

TEST_F(TransferTest, StallBeyondTheReceiveTimeoutIsAReadFailure) {
    Publish("/f", Patterned(50000));
    m_pServer->SetFault("/f", HttpFault::StallBody);
    m_pPatcher->m_currentVersion = 7;
    ASSERT_TRUE(m_pPatcher->OpenDownload(Url("/f"), "f"));
    EXPECT_EQ(DownloadToEnd(), DownloadFailed);
    std::vector<std::string> boxes = m_window.MessageBoxTexts();
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_NE(boxes[0].find("timed out"), std::string::npos) << boxes[0];
    EXPECT_EQ(StatusText(), "下载失败Ex: ,28,7 c23-1");
}

TEST_F(TransferTest, HeaderThatNeverComesFailsTheSizeQuery) {
    m_pServer->SetFault("/f", HttpFault::StallHeader);
    EXPECT_FALSE(m_pPatcher->OpenDownload(Url("/f"), "f"));
    EXPECT_EQ(m_window.MessageBoxTexts().size(), 1u);
    EXPECT_EQ(StatusText(), "下载失败: 无法得到文件信息.c25");
}

TEST_F(TransferTest, ConnectionEndingBeforeTheAnnouncedSizeIsAReadFailure) {
    Publish("/f", Patterned(10000));
    m_pServer->SetFault("/f", HttpFault::Truncated);
    m_pPatcher->m_currentVersion = 3;
    ASSERT_TRUE(m_pPatcher->OpenDownload(Url("/f"), "f"));
    EXPECT_EQ(DownloadToEnd(), DownloadFailed);
    std::vector<std::string> boxes = m_window.MessageBoxTexts();
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_NE(boxes[0].find("5000 of 10000"), std::string::npos) << boxes[0];
    EXPECT_EQ(StatusText(), "下载失败Ex: ,18,3 c23-1");
    EXPECT_EQ(m_pPatcher->m_receivedSize, 5000);
    // The file holds what arrived, not the announced length.
    EXPECT_EQ(ReadFile(m_folder / "f"), Patterned(10000).substr(0, 5000));
}

// The marker belongs to a run in a game folder (RunTest); a bare download, as
// velmor fetch makes it, leaves whatever Version.ini it finds alone.
TEST_F(TransferTest, OneByteMoreThanAnnouncedFailsAndLeavesTheRecordAlone) {
    const std::string record = "[Version]\nCheckVersion=2\nCurrentVersion=4\n";
    WriteLocalRecord(record);
    // Not a multiple of 2048, so the last read crosses the announced end.
    Publish("/f", Patterned(5000));
    m_pServer->SetFault("/f", HttpFault::OneByteMore);
    m_pPatcher->m_currentVersion = 5;
    ASSERT_TRUE(m_pPatcher->OpenDownload(Url("/f"), "f"));
    EXPECT_EQ(DownloadToEnd(), DownloadFailed);
    EXPECT_EQ(StatusText(), "下载失败Ov: ,0,5,5001/5000 c34");
    EXPECT_EQ(ReadFile(m_folder / "Version.ini"), record);
    EXPECT_TRUE(m_window.MessageBoxTexts().empty());
    EXPECT_EQ(ReadFile(m_folder / "f"), Patterned(5000) + "X");
}

TEST_F(TransferTest, LocalWriteFailure) {
    Publish("/f", Patterned(5000));
    m_pPatcher->m_currentVersion = 2;
    ASSERT_TRUE(m_pPatcher->OpenDownload(Url("/f"), "/dev/full"));
    EXPECT_EQ(m_pPatcher->DownloadStep(), DownloadFailed);
    EXPECT_EQ(StatusText(), "下载失败LWx: ,28,2 c23");  // 28: no space left on the device
}

// Only a 2xx answer is the file: an error page, with a length or without, is
// the host saying it has none, on the size query or on the body's request.
TEST_F(TransferTest, AnswerThatIsNoFileCannotBeOpenedAndIsNeverStored) {
    struct Case {
        const char* label;
        HttpFault fault;
        const char* status;
    } cases[] = {
        {"not-found", HttpFault::NotFound, nullptr},
        {"not-found-without-length", HttpFault::NoContentLength, "404 Not Found"},
        {"server-error", HttpFault::None, "500 Internal Server Error"},
        {"redirect-without-location", HttpFault::None, "302 Found"},
        {"not-found-for-the-body", HttpFault::NotFoundAfterFirst, nullptr},
    };
    for (const Case& c : cases) {
        std::string path = "/" + std::string(c.label);
        Publish(path, Patterned(5000));
        m_pServer->SetFault(path, c.fault);
        if (c.status) m_pServer->SetStatus(path, c.status);
        m_window.ClearCalls();
        EXPECT_FALSE(m_pPatcher->OpenDownload(Url(path), "f")) << c.label;
        EXPECT_EQ(StatusText(), "下载失败: 无法打开服务器文件.c30") << c.label;
        EXPECT_TRUE(m_window.MessageBoxTexts().empty()) << c.label;
        EXPECT_FALSE(Exists(m_folder / "f")) << c.label;
    }
}

TEST_F(TransferTest, SizesOf2GiBAndMoreAreRead) {
    Publish("/big", "x");
    m_pServer->SetContentLengthText("/big", "3000000000");
    EXPECT_EQ(m_pPatcher->QueryRemoteSize(Url("/big")), 3000000000LL);
    m_pServer->SetContentLengthText("/big", "  8589934592 ");
    EXPECT_EQ(m_pPatcher->QueryRemoteSize(Url("/big")), 8589934592LL);
}

TEST_F(TransferTest, PendingPatchSizesAreSummedUntilOneIsMissing) {
    for (uint32_t patch : {4u, 5u, 6u}) Publish("/velmor/patch/" + PatchFileName(patch), Patterned(1000 * patch));
    m_pServer->SetFault("/velmor/patch/pv0005.patch", HttpFault::NoContentLength);
    m_pPatcher->m_currentVersion = 3;
    m_pPatcher->m_targetVersion = 6;
    EXPECT_FALSE(m_pPatcher->PreparePatchDownloads());
    EXPECT_EQ(m_pServer->RequestCount("/velmor/patch/pv0004.patch"), 1);
    EXPECT_EQ(m_pServer->RequestCount("/velmor/patch/pv0005.patch"), 1);
    EXPECT_EQ(m_pServer->RequestCount("/velmor/patch/pv0006.patch"), 0);
    EXPECT_TRUE(m_pPatcher->m_bCountTotal);

    m_pServer->SetFault("/velmor/patch/pv0005.patch", HttpFault::None);
    EXPECT_TRUE(m_pPatcher->PreparePatchDownloads());
    EXPECT_EQ(m_surface.TotalProgressBar().Maximum(), 15000u);
    EXPECT_EQ(m_surface.TotalProgressBar().Position(), 0u);

    // A patch the host has not got is no size-less patch: the run goes on to it,
    // and its download says what it is (RunTest).
    m_pServer->SetFault("/velmor/patch/pv0005.patch", HttpFault::NotFound);
    EXPECT_TRUE(m_pPatcher->PreparePatchDownloads());
    EXPECT_EQ(m_surface.TotalProgressBar().Maximum(), 4000u);
    EXPECT_EQ(m_pServer->RequestCount("/velmor/patch/pv0006.patch"), 1) << "asked once, by the run without the fault";
}

TEST_F(TransferTest, PatchNamesHaveAtLeastFourDigits) {
    EXPECT_EQ(PatchFileName(1), "pv0001.patch");
    EXPECT_EQ(PatchFileName(12345), "pv12345.patch");
    EXPECT_EQ(PatchUrl("host:81", 2), "http://host:81/velmor/patch/pv0002.patch");
}

TEST_F(TransferTest, TotalBarFollowsEveryPatchDownload) {
    Publish("/velmor/patch/pv0001.patch", Patterned(3000));
    Publish("/velmor/patch/pv0002.patch", Patterned(1000));
    m_pPatcher->m_currentVersion = 0;
    m_pPatcher->m_targetVersion = 2;
    ASSERT_TRUE(m_pPatcher->PreparePatchDownloads());
    for (uint32_t patch : {1u, 2u}) {
        ASSERT_TRUE(m_pPatcher->OpenDownload(PatchUrl(CurrentPatchHost, patch), PatchFileName(patch)));
        EXPECT_EQ(DownloadToEnd(), DownloadComplete);
    }
    EXPECT_EQ(m_pPatcher->m_totalReceived, 4000);
    EXPECT_FLOAT_EQ(m_surface.TotalProgressBar().Fraction(), 1.0f);
}

TEST_F(TransferTest, OddPatchHostNamesFailCleanlyAndWriteNothingElsewhere) {
    // None of them may reach a name server: every test stays on loopback.
    std::string dead = DeadHost();
    std::string hosts[] = {"exa mple", "host\r\nX-Injected: 1", "", "/", "//", dead + "/../../b", "\xff\xfe",
                           "h:99999", "[::1", "%00", "user@", dead + "/?x=", dead + "#"};
    std::filesystem::path before = m_folder.Path();
    for (const std::string& host : hosts) {
        m_window.ClearCalls();
        CurrentPatchHost = host;
        EXPECT_FALSE(m_pPatcher->OpenDownload(VersionListUrl(CurrentPatchHost), kVersionListFile)) << host;
        EXPECT_EQ(StatusText(), "下载失败: 无法得到文件信息.c25") << host;
        EXPECT_EQ(m_window.MessageBoxTexts().size(), 1u) << host;
    }
    EXPECT_TRUE(std::filesystem::is_empty(before));
}

}  // namespace
}  // namespace enginetest
