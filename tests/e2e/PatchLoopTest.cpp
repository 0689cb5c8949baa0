// The patch loop of the update worker over a recording window and the scripted
// patch host: what each failure shows, the marker it leaves, and what the next
// start of the launcher does with it; the edge cases of patch application.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <functional>

#include "engine/PatchHost.h"
#include "platform/ProfileFile.h"
#include "tests/e2e/PatchBench.h"

namespace e2e {
namespace {

using testsupport::HttpFault;

const FileSet kInstalledPack = {{"maps/a.bin", "old a"}, {"maps/b.bin", "bytes of b"}, {"sound/s.wav", "old s"}};
const FileSet kUpdate = {{"maps/a.bin", "new a, longer"}, {"maps/c.bin", "fresh c"}};

FileSet Merged(FileSet base, const FileSet& update) {
    for (const auto& [path, bytes] : update) base[path] = bytes;
    return base;
}

// A patch 3 with a loose file and an update pack, for an installation at 2.
PatchContent PlainPatch() {
    PatchContent patch;
    patch.loose = {{"docs/news.txt", "patch 3 notes"}};
    patch.update = kUpdate;
    return patch;
}

void ExpectPatch3Applied(CPatchBench& bench) {
    EXPECT_EQ(bench.Record("CurrentVersion"), "3");
    GameContent content = bench.Content();
    EXPECT_EQ(content.error, "");
    EXPECT_EQ(DescribeDifference(ExpectedContent({Merged(kInstalledPack, kUpdate), {}}).packed, content.packed), "");
    EXPECT_EQ(content.loose.count("docs/news.txt"), 1u);
    EXPECT_FALSE(bench.Exists("pv0003.patch"));
}

void ExpectReinstallRequest(CPatchBench& bench) {
    EXPECT_EQ(bench.Status(), "请重新安装客户端.c05");
    EXPECT_EQ(bench.Window().MessageBoxTexts(),
              std::vector<std::string>{"因为强行结束更新等引起的文件破损.请重新安装客户端.c22"});
    EXPECT_FALSE(bench.Window().IsEnabled(1)) << "the start button is disabled";
    EXPECT_TRUE(bench.Started().empty());
}

void ExpectWindowOpen(CPatchBench& bench) {
    EXPECT_EQ(bench.Window().CloseRequests(), 0);
    EXPECT_TRUE(bench.Started().empty());
}

bool Chattr(const std::string& flag, const std::string& path) {
    return RunCommand("chattr " + flag + " '" + path + "'").status == 0;
}

// Each failure of the patch loop: the status line, StartUpdate afterwards, and
// the next start, once the cause is gone.
TEST(PatchLoop, EachFailureLeavesItsMarkerAndTheNextRunRepeatsOrRefuses) {
    enum class Next { SamePatchAgain, Reinstall };
    struct Row {
        const char* name;
        std::function<void(CPatchBench&)> arrange;  // after installing at 2 and publishing patch 3
        std::string status;                         // empty: checked by `statusCheck`
        std::function<bool(const std::string&)> statusCheck;
        std::string marker;
        Next next;
        std::function<void(CPatchBench&)> mend;  // before the next run
    };
    auto compressible = [] {
        PatchContent patch = PlainPatch();
        patch.update = FileSet{{"maps/a.bin", std::string(400000, 'z')}};
        return patch;
    };
    const Row rows[] = {
        {"archive download cannot begin",
         [](CPatchBench& b) { b.Server().SetFault("/velmor/patch/pv0003.patch", HttpFault::FailAfterFirst); }, "",
         [](const std::string& s) {
             std::string code = s.size() > 3 ? s.substr(s.size() - 3) : "";
             return code == "c25" || code == "c30" || code == "c32";
         },
         "UPDATE_END",
         Next::SamePatchAgain, [](CPatchBench& b) { b.Server().SetFault("/velmor/patch/pv0003.patch", HttpFault::None); }},
        {"not enough space to download", [](CPatchBench& b) { b.SetFreeSpace(b.PublishedSize(3)); },
         "您的磁盘空间不足.c33", nullptr, "UPDATE_END", Next::SamePatchAgain, [](CPatchBench& b) { b.SetFreeSpace(std::nullopt); }},
        {"exactly 3x the archive to extract", [](CPatchBench& b) { b.SetFreeSpace(3 * b.PublishedSize(3)); },
         "解压缩的磁盘空间不足.c11", nullptr, "", Next::SamePatchAgain, [](CPatchBench& b) { b.SetFreeSpace(std::nullopt); }},
        {"the host has not got the patch (its 404 page is never the archive)",
         [](CPatchBench& b) { b.Server().SetFault("/velmor/patch/pv0003.patch", HttpFault::NotFound); },
         "下载失败: 无法打开服务器文件.c30", nullptr, "UPDATE_END", Next::SamePatchAgain,
         [](CPatchBench& b) { b.Server().SetFault("/velmor/patch/pv0003.patch", HttpFault::None); }},
        {"extraction failed (an archive that is no ZIP)",
         [](CPatchBench& b) { b.PublishFile("velmor/patch/pv0003.patch", "this is not a zip archive"); },
         "解压缩失败c12", nullptr, "EXTRACT_START", Next::SamePatchAgain,
         [](CPatchBench& b) { b.PublishPatch(3, PlainPatch()); }},
        {"exactly 2x update.vaf to merge",
         [&](CPatchBench& b) {
             b.PublishPatch(3, compressible());
             b.SetFreeSpace(2 * (400000 + 1));
         },
         "更新需要的磁盘空间不足.c13", nullptr, "EXTRACT_END", Next::SamePatchAgain,
         [](CPatchBench& b) {
             b.SetFreeSpace(std::nullopt);
             b.PublishPatch(3, PlainPatch());
         }},
        {"merge failed, update header damaged",
         [](CPatchBench& b) {
             PatchContent patch = PlainPatch();
             patch.update.reset();
             patch.loose["update.vah"] = "not a pack header";
             patch.loose["update.vaf"] = "bytes";
             b.PublishPatch(3, patch);
         },
         "更新错误: update header file errorc44", nullptr, "EXTRACT_END", Next::SamePatchAgain,
         [](CPatchBench& b) { b.PublishPatch(3, PlainPatch()); }},
        {"merge failed, game pack missing", [](CPatchBench& b) { std::filesystem::remove(b.Folder() + "/data.vah"); },
         "data 找不到文件.c39", nullptr, "UPDATE_START", Next::Reinstall, nullptr},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        CPatchBench bench;
        bench.Install(kInstalledPack, 2, "UPDATE_END");
        bench.PublishList(3);
        bench.PublishPatch(3, PlainPatch());
        row.arrange(bench);

        EXPECT_FALSE(bench.Run());
        if (row.statusCheck)
            EXPECT_TRUE(row.statusCheck(bench.Status())) << bench.Status();
        else
            EXPECT_EQ(bench.Status(), row.status);
        EXPECT_EQ(bench.Record("StartUpdate"), row.marker);
        EXPECT_EQ(bench.Record("CurrentVersion"), "2");
        ExpectWindowOpen(bench);

        if (row.mend) row.mend(bench);
        if (row.next == Next::SamePatchAgain) {
            EXPECT_TRUE(bench.Run()) << bench.Status();
            ExpectPatch3Applied(bench);
            EXPECT_EQ(bench.Status(), "更新完毕");
        } else {
            EXPECT_FALSE(bench.Run());
            ExpectReinstallRequest(bench);
        }
    }
}

TEST(PatchLoop, CurrentVersionThatCannotBeWrittenEndsTheRunAndThePatchIsDoneAgain) {
    CPatchBench bench;
    bench.Install(kInstalledPack, 2);
    bench.PublishList(3);
    bench.PublishPatch(3, PlainPatch());
    std::string record = bench.Folder() + "/Version.ini";
    if (!Chattr("+i", record)) GTEST_SKIP() << "the file system has no immutable flag";
    bool ran = bench.Run();
    Chattr("-i", record);
    EXPECT_FALSE(ran);
    EXPECT_EQ(bench.Status(), "SaveLocalVersion Error");
    EXPECT_EQ(bench.Record("CurrentVersion"), "2");
    ExpectWindowOpen(bench);
    EXPECT_TRUE(bench.Run()) << bench.Status();
    ExpectPatch3Applied(bench);
}

// A deletion list that cannot be applied (here the patch overwrote data.vah with
// junk) leaves UPDATE_START: the run ends with the window open and the patch
// unrecorded, and the next start asks for a reinstallation.
TEST(PatchLoop, FailedDeletionStepLeavesUpdateStartForTheNextRun) {
    CPatchBench bench;
    bench.Install(kInstalledPack, 2);
    bench.PublishList(3);
    PatchContent patch;
    patch.loose = {{"data.vah", "a damaged header"}};
    patch.deleteList = "maps\\b.bin\r\n";
    bench.PublishPatch(3, patch);
    EXPECT_FALSE(bench.Run());
    EXPECT_EQ(bench.Status(), "更新错误: delete listc47");
    EXPECT_EQ(bench.Record("CurrentVersion"), "2");
    EXPECT_EQ(bench.Record("StartUpdate"), "UPDATE_START");
    ExpectWindowOpen(bench);
    EXPECT_FALSE(bench.Run());
    ExpectReinstallRequest(bench);
}

// The final step runs after a patch that could not be begun; should it fail too,
// the text that says why the loop ended stays (the marker asks for a reinstall).
TEST(PatchLoop, FailedFinalStepKeepsTheTextOfThePatchThatCouldNotBegin) {
    CPatchBench bench;
    bench.Install(kInstalledPack, 2);
    bench.PublishList(4);
    bench.PublishPatch(3, PlainPatch());
    PatchContent large;
    large.loose = {{"movies/big.bik", NoiseBytes(200000, 2)}};
    bench.PublishPatch(4, large);
    bench.SetFreeSpace(3 * bench.PublishedSize(3) + 1000);
    bench.Window().onStatus = [&bench](const std::string& text) {
        if (text == "您的磁盘空间不足.c33") testsupport::WriteFile(bench.Folder() + "/data.vah", "damaged");
    };
    EXPECT_FALSE(bench.Run());
    EXPECT_EQ(bench.Status(), "您的磁盘空间不足.c33");
    EXPECT_EQ(bench.Record("CurrentVersion"), "3");
    EXPECT_EQ(bench.Record("StartUpdate"), "UPDATE_START") << "the final step did fail";
    ExpectWindowOpen(bench);
}

// A run that ended after a patch's merge (UPDATE_END) but before it was recorded
// does the patch again without merging its pack a second time: the pack, data.vaf
// byte for byte, stays as that merge left it.
TEST(PatchLoop, PatchWhoseMergeWentThroughIsNotMergedAgain) {
    CPatchBench bench;
    bench.Install(kInstalledPack, 2);
    bench.PublishList(3);
    // A second merge would put the new file elsewhere: the first took b.bin's
    // freed region, the second would take the remainder left behind it.
    PatchContent patch;
    patch.update = FileSet{{"maps/0.bin", "new"}, {"maps/b.bin", "new bytes!"}};
    bench.PublishPatch(3, patch);
    ASSERT_TRUE(bench.Run()) << bench.Status();
    EXPECT_EQ(bench.Record("MergeVersion"), "3");
    std::string merged = testsupport::ReadFile(bench.Folder() + "/data.vaf");
    WriteLocalRecord(bench.Folder(), 2, "UPDATE_END");
    platform::WriteProfileString(bench.Folder() + "/Version.ini", "Version", "MergeVersion", "3");

    EXPECT_TRUE(bench.Run()) << bench.Status();
    EXPECT_EQ(bench.Record("CurrentVersion"), "3");
    GameContent content = bench.Content();
    EXPECT_EQ(content.error + DescribeDifference(ExpectedContent({Merged(kInstalledPack, *patch.update), {}}).packed,
                                                 content.packed),
              "");
    EXPECT_EQ(testsupport::ReadFile(bench.Folder() + "/data.vaf"), merged);
    EXPECT_FALSE(bench.Exists("update.vaf"));
    EXPECT_FALSE(bench.Exists("update.vah"));
}

TEST(PatchLoop, StopDuringExtractionEmptiesTheMarkerAndTheNextRunDoesThePatchAgain) {
    CPatchBench bench;
    bench.Install(kInstalledPack, 2, "UPDATE_END");
    bench.PublishList(3);
    PatchContent patch = PlainPatch();
    patch.loose["movies/big.bik"] = NoiseBytes(300000, 1);  // several chunks: the stop is seen inside
    bench.PublishPatch(3, patch);
    bench.Window().onStatus = [&bench](const std::string& text) {
        if (text == "正在解压缩.") bench.Patcher().RequestStop();
    };
    EXPECT_FALSE(bench.Run());
    EXPECT_EQ(bench.Record("StartUpdate"), "");
    EXPECT_EQ(bench.Record("CurrentVersion"), "2");
    EXPECT_TRUE(bench.Exists("pv0003.patch")) << "the archive stays";
    ExpectWindowOpen(bench);

    int requestsBefore = bench.Server().RequestCount("/velmor/patch/pv0003.patch");
    EXPECT_TRUE(bench.Run()) << bench.Status();
    EXPECT_GT(bench.Server().RequestCount("/velmor/patch/pv0003.patch"), requestsBefore) << "downloaded again";
    ExpectPatch3Applied(bench);
    EXPECT_EQ(testsupport::ReadFile(bench.Folder() + "/movies/big.bik"), patch.loose["movies/big.bik"]);
}

// From CurrentVersion 1 to 4: patches 2, 3 and 4 in that order; patch 3 carries
// no update pack and is not merged; the deletion list of the last patch is
// applied; the run ends with "更新完毕" and the game started with the address.
TEST(PatchLoop, AllPatchesAppliedInOrderThenTheGameStarts) {
    CPatchBench bench;
    bench.Install(kInstalledPack, 1);
    bench.PublishList(4);
    bench.PublishPatch(2, PatchContent{{{"docs/2.txt", "two"}}, FileSet{{"maps/a.bin", "a of 2"}}, std::nullopt});
    bench.PublishPatch(3, PatchContent{{{"docs/3.txt", "three"}}, std::nullopt, std::nullopt});
    bench.PublishPatch(4, PatchContent{{}, FileSet{{"maps/d.bin", "d of 4"}}, std::string("maps\\b.bin\r\nsound/s.wav\tgone\r\n")});
    std::string headerAfter2;
    bench.Window().onStatus = [&](const std::string& text) {
        if (text.find("(2/3)") != std::string::npos) headerAfter2 = testsupport::ReadFile(bench.Folder() + "/data.vah");
        if (text.find("(3/3)") != std::string::npos) {
            EXPECT_EQ(testsupport::ReadFile(bench.Folder() + "/data.vah"), headerAfter2) << "patch 3 is not merged";
            EXPECT_FALSE(bench.Exists("pv0003.patch"));
        }
    };

    EXPECT_TRUE(bench.Run()) << bench.Status();
    std::vector<std::string> archives;
    for (const auto& request : bench.Server().Requests())
        if (archives.empty() || archives.back() != request.path) archives.push_back(request.path);
    archives.erase(std::remove(archives.begin(), archives.end(), "/velmor/UpdateVersion.ini"), archives.end());
    EXPECT_EQ(archives, (std::vector<std::string>{"/velmor/patch/pv0002.patch", "/velmor/patch/pv0003.patch",
                                                  "/velmor/patch/pv0004.patch", "/velmor/patch/pv0002.patch",
                                                  "/velmor/patch/pv0003.patch", "/velmor/patch/pv0004.patch"}))
        << "the sizes first, then each download; never patch 1";
    EXPECT_EQ(bench.Record("CurrentVersion"), "4");
    EXPECT_EQ(bench.Record("StartUpdate"), "UPDATE_END");
    GameContent content = bench.Content();
    EXPECT_EQ(DescribeDifference(ExpectedContent({{{"maps/a.bin", "a of 2"}, {"maps/d.bin", "d of 4"}}, {}}).packed,
                                 content.packed),
              "");
    EXPECT_EQ(content.loose, (FileSet{{"docs/2.txt", "two"}, {"docs/3.txt", "three"}}));
    EXPECT_EQ(bench.Status(), "更新完毕");
    EXPECT_EQ(bench.Window().CloseRequests(), 1);
    EXPECT_EQ(bench.Started(), std::vector<std::string>{"Game.exe start game 10.0.0.7:7100"});
}

// A delete.lst without any update pack in the run still goes through the final
// step: the entries leave the pack and the header is saved.
TEST(PatchLoop, DeleteListWithoutAnyMergeStillFinalizes) {
    CPatchBench bench;
    bench.Install(kInstalledPack, 2);
    bench.PublishList(3);
    bench.PublishPatch(3, PatchContent{{{"docs/3.txt", "three"}}, std::nullopt, std::string("maps\\b.bin\r\n")});
    EXPECT_TRUE(bench.Run()) << bench.Status();
    EXPECT_FALSE(bench.Patcher().m_bPackChanged);
    EXPECT_EQ(bench.Record("StartUpdate"), "UPDATE_END");
    GameContent content = bench.Content();
    EXPECT_EQ(content.packed.count("maps/b.bin"), 0u);
    EXPECT_EQ(content.packed.size(), kInstalledPack.size() - 1);
    EXPECT_FALSE(bench.Exists("delete.lst"));
}

// Closing the window while the newer launcher downloads: the run ends, nothing
// is started and nothing of the installation changes.
TEST(PatchLoop, StopDuringTheLauncherDownloadStartsNothing) {
    CPatchBench bench;
    bench.Install(kInstalledPack, 2, "UPDATE_END");
    bench.PublishList(3, 10);
    bench.PublishPatch(3, PlainPatch());
    bench.PublishFile("velmor/new_updater.exe", NoiseBytes(64 * 1024, 1));
    bench.Server().SetFault("/velmor/new_updater.exe", HttpFault::Trickle);
    testsupport::WriteFile(bench.Folder() + "/Game.exe", "the game");
    bench.Window().onStatus = [&bench](const std::string& text) {
        if (text == "更新中") bench.Patcher().RequestStop();
    };
    EXPECT_FALSE(bench.Run());
    ExpectWindowOpen(bench);
    EXPECT_LT(std::filesystem::file_size(bench.Folder() + "/new_updater.exe"), 64u * 1024);
    EXPECT_EQ(bench.Record("CurrentVersion"), "2");
    EXPECT_EQ(bench.Record("StartUpdate"), "UPDATE_END");
    EXPECT_EQ(bench.Server().RequestCount("/velmor/patch/pv0003.patch"), 0);
}

// A launcher killed between recording patch 3 and deleting its archive: the
// next run deletes the archive, which nothing reads any more; a partial
// download of the next patch stays for that patch's download to replace.
TEST(PatchLoop, ArchiveOfTheRecordedPatchLeftByACrashIsDeletedByTheNextRun) {
    CPatchBench bench;
    bench.Install(kInstalledPack, 3);
    bench.PublishList(3);
    testsupport::WriteFile(bench.Folder() + "/pv0003.patch", "the whole archive of patch 3");
    testsupport::WriteFile(bench.Folder() + "/pv0004.patch", "part of patch 4");
    EXPECT_TRUE(bench.Run()) << bench.Status();
    EXPECT_FALSE(bench.Exists("pv0003.patch"));
    EXPECT_TRUE(bench.Exists("pv0004.patch"));
}

// Every patch's deletion list counts, in the order of the patches, however many
// patches one run applies: the same installation must not end differently for
// a player who skipped a release.
TEST(PatchLoop, DeleteListsOfEveryPatchOfOneRunAreAppliedInOrder) {
    struct Row {
        const char* name;
        PatchContent second;
        PatchContent third;
        FileSet expected;
    };
    const Row rows[] = {
        {"each patch deletes an entry",
         PatchContent{{}, std::nullopt, std::string("maps\\b.bin\r\n")},
         PatchContent{{}, std::nullopt, std::string("sound\\s.wav\r\n")},
         {{"maps/a.bin", "old a"}}},
        {"a later patch brings a deleted entry back",
         PatchContent{{}, std::nullopt, std::string("maps\\b.bin\r\n")},
         PatchContent{{}, FileSet{{"maps/b.bin", "b is back"}}, std::nullopt},
         {{"maps/a.bin", "old a"}, {"maps/b.bin", "b is back"}, {"sound/s.wav", "old s"}}},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        CPatchBench bench;
        bench.Install(kInstalledPack, 1);
        bench.PublishList(3);
        bench.PublishPatch(2, row.second);
        bench.PublishPatch(3, row.third);
        EXPECT_TRUE(bench.Run()) << bench.Status();
        EXPECT_EQ(bench.Record("CurrentVersion"), "3");
        EXPECT_EQ(DescribeDifference(ExpectedContent({row.expected, {}}).packed, bench.Content().packed), "");
        EXPECT_FALSE(bench.Exists("delete.lst"));
    }
}

}  // namespace
}  // namespace e2e
