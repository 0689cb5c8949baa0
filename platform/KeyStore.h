#pragma once
// The settings registry as a small store of files. The machine-wide store lives
// under /var/lib/velmor/registry (or $VELMOR_REGISTRY_ROOT); a key that cannot be
// created or written there is kept in the per-user virtual store under
// $XDG_STATE_HOME/velmor/VirtualStore (default ~/.local/state/...), which then
// shadows the machine store for reads, as Windows virtualises machine-wide writes
// of programs without administrator rights.
//
// On disk a key is a folder (names matched without regard to the case of A-Z) and
// a value is a file "<name>.value": a first line with the type ("REG_SZ",
// "REG_DWORD", ... or a decimal number), then the value's bytes. Every write
// replaces the file atomically.
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

namespace platform {

// Results as the Windows registry gives them.
constexpr long kRegSuccess = 0;
constexpr long kRegFileNotFound = 2;
constexpr long kRegAccessDenied = 5;
constexpr long kRegInvalidHandle = 6;
constexpr long kRegInvalidParameter = 87;
constexpr long kRegDiskFull = 112;
constexpr long kRegBadPathName = 161;
constexpr long kRegMoreData = 234;
constexpr long kRegCorrupt = 1015;
constexpr long kRegIoFailed = 1016;

constexpr uint32_t kRegNone = 0;
constexpr uint32_t kRegSz = 1;
constexpr uint32_t kRegExpandSz = 2;
constexpr uint32_t kRegBinary = 3;
constexpr uint32_t kRegDword = 4;
constexpr uint32_t kRegMultiSz = 7;
constexpr uint32_t kRegQword = 11;

// Dispositions reported by Create.
constexpr uint32_t kRegCreatedNewKey = 1;
constexpr uint32_t kRegOpenedExistingKey = 2;

// Largest value the store accepts.
constexpr uint32_t kRegMaxValueSize = 1u << 20;

// The root folders, from the environment at the time of the call.
std::string MachineStoreRoot();
std::string VirtualStoreRoot();  // empty when neither XDG_STATE_HOME nor HOME is set

class CStoreKey {
public:
    // The HKEY_LOCAL_MACHINE root.
    static const CStoreKey& LocalMachine();

    // Creates the key `path` ("SOFTWARE\\TALVE\\Velmor") below `parent`, or opens it.
    static long Create(const CStoreKey& parent, std::string_view path, std::unique_ptr<CStoreKey>& result,
                       uint32_t* disposition = nullptr);

    // Reads a value. `data` may be null to learn the size; with a buffer smaller
    // than the value, `size` becomes the value's size and the result kRegMoreData.
    long QueryValue(std::string_view name, uint32_t* type, void* data, uint32_t* size) const;
    long SetValue(std::string_view name, uint32_t type, const void* data, uint32_t size);

    // True when the key lives in the per-user virtual store.
    bool IsVirtualised() const { return !m_virtualFolder.empty(); }
    const std::string& MachineFolder() const { return m_machineFolder; }
    const std::string& VirtualFolder() const { return m_virtualFolder; }

private:
    CStoreKey(std::string relativePath, std::string machineFolder, std::string virtualFolder);

    std::string m_relativePath;   // path below the root, '/' separated, as found on disk
    std::string m_machineFolder;  // the key's folder in the machine store
    std::string m_virtualFolder;  // its folder in the virtual store, empty if not virtualised
};

}  // namespace platform
