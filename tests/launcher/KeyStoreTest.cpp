// The settings key over the file key store: creation, values, names, the virtual
// store fallback.
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstring>
#include <filesystem>
#include <gtest/gtest.h>

#include "launcher/core/MyRegKey.h"
#include "platform/KeyStore.h"
#include "tests/launcher/TestRegistry.h"

using namespace platform;
using testsupport::CScopedEnvironment;
using testsupport::CTestRegistry;

namespace {

constexpr const char* kKeyPath = "SOFTWARE\\TALVE\\Velmor";

std::string ValueFile(const std::string& root, const char* name) {
    return root + "/SOFTWARE/TALVE/Velmor/" + name + ".value";
}

TEST(KeyStore, FirstRunCreatesTheKeyAndReadsNothing) {
    CTestRegistry registry;
    CMyRegKey key;
    uint32_t disposition = 0;
    ASSERT_EQ(key.Create(CStoreKey::LocalMachine(), kKeyPath, nullptr, 0, 0xF003F, nullptr, &disposition), 0);
    EXPECT_EQ(disposition, kRegCreatedNewKey);
    EXPECT_TRUE(std::filesystem::is_directory(registry.MachineRoot() + "/SOFTWARE/TALVE/Velmor"));
    EXPECT_FALSE(key.Key()->IsVirtualised());

    char buffer[kRegValueBufferSize];
    EXPECT_EQ(key.QueryValue(buffer, "PATCH_GROUP"), kRegFileNotFound);
    EXPECT_STREQ(buffer, "");

    CMyRegKey again;
    ASSERT_EQ(again.Create(CStoreKey::LocalMachine(), kKeyPath, nullptr, 0, 0xF003F, nullptr, &disposition), 0);
    EXPECT_EQ(disposition, kRegOpenedExistingKey);
}

TEST(KeyStore, StringValuesKeepTheirTerminatingZeroAndSurviveReopening) {
    CTestRegistry registry;
    {
        CMyRegKey key;
        ASSERT_EQ(key.Create(CStoreKey::LocalMachine(), kKeyPath), 0);
        ASSERT_EQ(key.SetValue("12", "PATCH_GROUP"), 0);
        ASSERT_EQ(key.SetValue("0", "PATCH_GROUP"), 0);  // replaces
        EXPECT_EQ(key.Close(), 0);
        EXPECT_FALSE(key.IsOpen());
        EXPECT_EQ(key.Close(), 0);
        EXPECT_EQ(key.SetValue("1", "PATCH_GROUP"), kRegInvalidHandle);
    }
    EXPECT_EQ(testsupport::ReadFile(ValueFile(registry.MachineRoot(), "PATCH_GROUP")), std::string("REG_SZ\n0\0", 9));
    // Only the value file is left behind by the atomic replacement.
    size_t entries = 0;
    for (auto& entry : std::filesystem::directory_iterator(registry.MachineRoot() + "/SOFTWARE/TALVE/Velmor")) {
        (void)entry;
        ++entries;
    }
    EXPECT_EQ(entries, 1u);

    CMyRegKey key;
    ASSERT_EQ(key.Create(CStoreKey::LocalMachine(), "software\\talve\\VELMOR"), 0);  // names without case
    std::string text;
    EXPECT_EQ(key.QueryValue(text, "patch_group"), 0);
    EXPECT_EQ(text, "0");
    uint32_t type = 0, size = 0;
    EXPECT_EQ(key.Key()->QueryValue("PATCH_GROUP", &type, nullptr, &size), 0);
    EXPECT_EQ(type, kRegSz);
    EXPECT_EQ(size, 2u);
}

TEST(KeyStore, ValuesOfAnyTypeReadAsTextAndLongOnesAreErrors) {
    CTestRegistry registry;
    CMyRegKey key;
    ASSERT_EQ(key.Create(CStoreKey::LocalMachine(), kKeyPath), 0);
    CStoreKey& store = const_cast<CStoreKey&>(*key.Key());

    struct Case {
        const char* name;
        uint32_t type;
        std::string bytes;
        long result;
        std::string text;
    };
    const std::string fits(kRegValueBufferSize - 1, '7');
    const Case cases[] = {
        {"dword three", kRegDword, std::string("\x03\0\0\0", 4), 0, "\x03"},
        {"dword digit", kRegDword, std::string("7\0\0\0", 4), 0, "7"},
        {"binary no zero", kRegBinary, "42", 0, "42"},
        {"empty", kRegSz, "", 0, ""},
        {"fits with zero", kRegSz, fits + '\0', 0, fits},
        {"fills buffer without zero", kRegSz, fits + '7', kRegMoreData, ""},
        {"longer than buffer", kRegSz, fits + "77" + '\0', kRegMoreData, ""},
        {"type 99", 99, std::string("5\0", 2), 0, "5"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        ASSERT_EQ(store.SetValue(c.name, c.type, c.bytes.data(), static_cast<uint32_t>(c.bytes.size())), 0);
        char buffer[kRegValueBufferSize];
        std::memset(buffer, 'x', sizeof buffer);
        EXPECT_EQ(key.QueryValue(buffer, c.name), c.result);
        EXPECT_EQ(std::string(buffer), c.text);
        EXPECT_EQ(buffer[sizeof buffer - 1], '\0');
    }
}

TEST(KeyStore, DamagedValueFilesAreErrorsNotCrashes) {
    CTestRegistry registry;
    CMyRegKey key;
    ASSERT_EQ(key.Create(CStoreKey::LocalMachine(), kKeyPath), 0);
    const std::string folder = registry.MachineRoot() + "/SOFTWARE/TALVE/Velmor/";
    testsupport::WriteFile(folder + "NoType.value", "7");
    testsupport::WriteFile(folder + "BadType.value", "REG_WHATEVER\n7");
    testsupport::WriteFile(folder + "Huge.value", "REG_SZ\n" + std::string(kRegMaxValueSize + 100, '1'));
    std::filesystem::create_directory(folder + "Folder.value");
    std::string text = "old";
    EXPECT_EQ(key.QueryValue(text, "NoType"), kRegCorrupt);
    EXPECT_EQ(text, "");
    EXPECT_EQ(key.QueryValue(text, "BadType"), kRegCorrupt);
    EXPECT_EQ(key.QueryValue(text, "Huge"), kRegCorrupt);
    EXPECT_NE(key.QueryValue(text, "Folder"), 0);
}

TEST(KeyStore, NamesThatWouldLeaveTheKeyAreRefused) {
    CTestRegistry registry;
    CMyRegKey key;
    ASSERT_EQ(key.Create(CStoreKey::LocalMachine(), kKeyPath), 0);
    for (const char* path : {"..\\..\\escape", "SOFTWARE\\..", "a/b", "\\SOFTWARE", "SOFTWARE\\\\X", "SOFTWARE\\"}) {
        SCOPED_TRACE(path);
        CMyRegKey other;
        EXPECT_NE(other.Create(CStoreKey::LocalMachine(), path), 0);
        EXPECT_FALSE(other.IsOpen());
    }
    for (const char* name : {"../escape", "a\\b", ".."}) {
        SCOPED_TRACE(name);
        EXPECT_EQ(key.SetValue("1", name), kRegInvalidParameter);
    }
    EXPECT_EQ(key.SetValue("1", std::string(300, 'n')), kRegInvalidParameter);
    EXPECT_FALSE(testsupport::Exists(registry.Folder() / "escape"));
    EXPECT_FALSE(testsupport::Exists(registry.Folder() / "escape.value"));
}

TEST(KeyStore, UncreatableMachineStoreFallsBackToTheVirtualStore) {
    CTestRegistry registry;
    // A file where the machine store's folder should be: creating it fails even for root.
    testsupport::WriteFile(registry.Folder() / "blocked", "");
    CScopedEnvironment machine("VELMOR_REGISTRY_ROOT", registry.Folder() / "blocked/registry");

    CMyRegKey key;
    ASSERT_EQ(key.Create(CStoreKey::LocalMachine(), kKeyPath), 0);
    EXPECT_TRUE(key.Key()->IsVirtualised());
    ASSERT_EQ(key.SetValue("3", "PATCH_SERVER"), 0);
    EXPECT_EQ(testsupport::ReadFile(ValueFile(registry.VirtualRoot(), "PATCH_SERVER")),
              std::string("REG_SZ\n3\0", 9));
    std::string text;
    EXPECT_EQ(key.QueryValue(text, "PATCH_SERVER"), 0);
    EXPECT_EQ(text, "3");

    // Without a user state folder either, Create fails and the key held so far stays.
    CScopedEnvironment state("XDG_STATE_HOME", std::nullopt);
    CScopedEnvironment home("HOME", std::nullopt);
    EXPECT_NE(key.Create(CStoreKey::LocalMachine(), kKeyPath), 0);
    EXPECT_TRUE(key.IsOpen());
    EXPECT_EQ(key.QueryValue(text, "PATCH_SERVER"), 0);
    EXPECT_EQ(text, "3");

    CMyRegKey none;
    EXPECT_NE(none.Create(CStoreKey::LocalMachine(), kKeyPath), 0);
    EXPECT_FALSE(none.IsOpen());
    EXPECT_EQ(none.QueryValue(text, "PATCH_SERVER"), kRegInvalidHandle);
}

// A user without write rights to the machine store, as a player without
// administrator rights: the machine's values show through, writes go to the
// user's virtual store, the machine store stays as it was.
TEST(KeyStore, ReadOnlyMachineStoreIsShadowedByTheVirtualStore) {
    CTestRegistry registry;
    {
        CMyRegKey admin;
        ASSERT_EQ(admin.Create(CStoreKey::LocalMachine(), kKeyPath), 0);
        ASSERT_EQ(admin.SetValue("2", "PATCH_GROUP"), 0);
        ASSERT_EQ(admin.SetValue("5", "PATCH_SERVER"), 0);
    }
    std::filesystem::permissions(registry.Folder().Path(), std::filesystem::perms::all);
    std::filesystem::create_directories(registry.StateHome());
    const uid_t user = getuid() == 0 ? 65534 : getuid();
    if (getuid() == 0) {
        ASSERT_EQ(chown(registry.StateHome().c_str(), user, user), 0);
    } else {
        std::filesystem::permissions(registry.MachineRoot() + "/SOFTWARE/TALVE/Velmor",
                                     std::filesystem::perms::owner_write, std::filesystem::perm_options::remove);
    }

    pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        if (getuid() == 0 && (setgid(user) != 0 || setuid(user) != 0)) _exit(10);
        CMyRegKey key;
        if (key.Create(CStoreKey::LocalMachine(), kKeyPath) != 0) _exit(11);
        if (!key.Key()->IsVirtualised()) _exit(12);
        std::string text;
        if (key.QueryValue(text, "PATCH_GROUP") != 0 || text != "2") _exit(13);
        if (key.SetValue("4", "PATCH_GROUP") != 0) _exit(14);
        if (key.QueryValue(text, "PATCH_GROUP") != 0 || text != "4") _exit(15);
        if (key.QueryValue(text, "PATCH_SERVER") != 0 || text != "5") _exit(16);
        _exit(0);
    }
    int status = 0;
    ASSERT_EQ(waitpid(child, &status, 0), child);
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 0);
    EXPECT_EQ(testsupport::ReadFile(ValueFile(registry.MachineRoot(), "PATCH_GROUP")), std::string("REG_SZ\n2\0", 9));
    EXPECT_EQ(testsupport::ReadFile(ValueFile(registry.VirtualRoot(), "PATCH_GROUP")), std::string("REG_SZ\n4\0", 9));
    std::filesystem::permissions(registry.MachineRoot() + "/SOFTWARE/TALVE/Velmor", std::filesystem::perms::owner_all,
                                 std::filesystem::perm_options::add);
}

}  // namespace
