// The user's named mutex and the folder lock. A lock is held per open file, so a
// second take within this process meets the first as another process would.
#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <optional>
#include <string>

#include "platform/NamedMutex.h"
#include "tests/support/TempFolder.h"

using namespace platform;
using testsupport::CTempFolder;

namespace {

mode_t ModeOf(const std::string& path) {
    struct stat info {};
    return lstat(path.c_str(), &info) == 0 ? info.st_mode & 07777 : 0;
}

// XDG_RUNTIME_DIR as a test sets it, put back afterwards.
class CRuntimeFolder {
public:
    explicit CRuntimeFolder(const char* value) {
        if (const char* old = std::getenv("XDG_RUNTIME_DIR")) m_old = old;
        if (value) setenv("XDG_RUNTIME_DIR", value, 1); else unsetenv("XDG_RUNTIME_DIR");
    }
    ~CRuntimeFolder() {
        if (m_old) setenv("XDG_RUNTIME_DIR", m_old->c_str(), 1); else unsetenv("XDG_RUNTIME_DIR");
    }

private:
    std::optional<std::string> m_old;
};

}  // namespace

TEST(NamedMutex, IsHeldOnceAndItsFileIsTheUsersAlone) {
    CTempFolder runtime;
    CRuntimeFolder use(runtime.Path().c_str());
    EXPECT_EQ(CreateNamedMutex("Velmor Updater"), NamedMutexResult::Created);
    EXPECT_EQ(CreateNamedMutex("Velmor Updater"), NamedMutexResult::AlreadyExists);
    EXPECT_EQ(NamedMutexPath("Velmor Updater"), runtime / "Velmor Updater.lock");
    EXPECT_EQ(ModeOf(runtime / "Velmor Updater.lock"), 0600u);
    EXPECT_EQ(CreateNamedMutex("a/b"), NamedMutexResult::Created) << "a slash makes no folder";
    EXPECT_TRUE(testsupport::Exists(runtime / "a_b.lock"));
}

TEST(NamedMutex, APlantedLinkIsNeverFollowed) {
    CTempFolder runtime;
    CRuntimeFolder use(runtime.Path().c_str());
    testsupport::WriteFile(runtime / "victim", "kept");
    std::filesystem::create_symlink(runtime / "victim", runtime / "Planted.lock");
    std::filesystem::create_symlink(runtime / "nowhere", runtime / "Dangling.lock");
    EXPECT_EQ(CreateNamedMutex("Planted"), NamedMutexResult::Failed);
    EXPECT_EQ(CreateNamedMutex("Dangling"), NamedMutexResult::Failed);
    EXPECT_EQ(testsupport::ReadFile(runtime / "victim"), "kept");
    EXPECT_FALSE(testsupport::Exists(runtime / "nowhere"));
}

TEST(NamedMutex, WithoutARuntimeFolderTheLockLiesInTheUsersOwnFolderBelowTmp) {
    CRuntimeFolder use(nullptr);
    std::string own = "/tmp/velmor-" + std::to_string(geteuid());
    EXPECT_EQ(NamedMutexPath("Velmor Updater"), own + "/Velmor Updater.lock");
    EXPECT_EQ(ModeOf(own), 0700u);
}

TEST(PrivateFolder, IsMadeForTheUserAndRefusedWhenItIsNotTheirs) {
    CTempFolder base;
    std::string own = base / ("velmor-" + std::to_string(geteuid()));
    EXPECT_EQ(PrivateFolderBelow(base.Path()), own);
    EXPECT_EQ(ModeOf(own), 0700u);
    chmod(own.c_str(), 0777);
    EXPECT_EQ(PrivateFolderBelow(base.Path()), own) << "the user's own folder is closed again";
    EXPECT_EQ(ModeOf(own), 0700u);

    std::filesystem::remove(own);
    std::filesystem::create_directory(base / "elsewhere");
    std::filesystem::create_symlink(base / "elsewhere", own);
    EXPECT_EQ(PrivateFolderBelow(base.Path()), std::nullopt) << "a link in its place";

    std::filesystem::remove(own);
    testsupport::WriteFile(own, "a file");
    EXPECT_EQ(PrivateFolderBelow(base.Path()), std::nullopt) << "a file in its place";

    if (geteuid() != 0) GTEST_SKIP() << "only root can give the folder to another user";
    std::filesystem::remove(own);
    std::filesystem::create_directory(own);
    chmod(own.c_str(), 0700);
    ASSERT_EQ(chown(own.c_str(), 65534, 65534), 0);
    EXPECT_EQ(PrivateFolderBelow(base.Path()), std::nullopt) << "someone else's folder";
}

TEST(FolderLock, IsHeldOnceAndNeedsTheFolder) {
    CTempFolder folder;
    EXPECT_EQ(LockFolder(folder.Path()), NamedMutexResult::Created);
    EXPECT_EQ(LockFolder(folder.Path() + "/."), NamedMutexResult::AlreadyExists);
    EXPECT_EQ(LockFolder(folder / "missing"), NamedMutexResult::Failed);
}
