#include "platform/KeyStore.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "platform/File.h"
#include "platform/FileSystem.h"

namespace platform {
namespace {

constexpr const char* kDefaultMachineRoot = "/var/lib/velmor/registry";
constexpr const char* kValueSuffix = ".value";
constexpr size_t kMaxKeyNameLength = 255;
// File names hold at most 255 bytes, the suffix included.
constexpr size_t kMaxValueNameLength = 255 - 6;
// The type line is short; anything longer is not a value file of this store.
constexpr size_t kMaxTypeLineLength = 32;

struct TypeName {
    uint32_t type;
    const char* name;
};
constexpr TypeName kTypeNames[] = {
    {kRegNone, "REG_NONE"},     {kRegSz, "REG_SZ"},         {kRegExpandSz, "REG_EXPAND_SZ"},
    {kRegBinary, "REG_BINARY"}, {kRegDword, "REG_DWORD"},   {5, "REG_DWORD_BIG_ENDIAN"},
    {6, "REG_LINK"},            {kRegMultiSz, "REG_MULTI_SZ"}, {kRegQword, "REG_QWORD"},
};

std::string FormatType(uint32_t type) {
    for (const TypeName& entry : kTypeNames) {
        if (entry.type == type) return entry.name;
    }
    return std::to_string(type);
}

bool ParseType(std::string_view text, uint32_t& type) {
    for (const TypeName& entry : kTypeNames) {
        if (text == entry.name) {
            type = entry.type;
            return true;
        }
    }
    if (text.empty() || text.size() > 10) return false;
    uint64_t value = 0;
    for (char c : text) {
        if (c < '0' || c > '9') return false;
        value = value * 10 + static_cast<uint64_t>(c - '0');
    }
    if (value > UINT32_MAX) return false;
    type = static_cast<uint32_t>(value);
    return true;
}

long ErrorFromErrno(int error) {
    switch (error) {
    case ENOENT:
    case ENOTDIR:
        return kRegFileNotFound;
    case EACCES:
    case EPERM:
    case EROFS:
        return kRegAccessDenied;
    case ENOSPC:
    case EDQUOT:
        return kRegDiskFull;
    case ENAMETOOLONG:
        return kRegBadPathName;
    default:
        return kRegIoFailed;
    }
}

// A name that stays one entry of its folder: no separators, no "." or "..", no zero byte.
bool IsPlainName(std::string_view name) {
    if (name == "." || name == "..") return false;
    return name.find_first_of(std::string_view("/\\\0", 3)) == std::string_view::npos;
}

// Splits a key path at '\'; empty components and names that could leave the key's
// folder are refused.
long SplitKeyPath(std::string_view path, std::vector<std::string>& components) {
    if (path.empty()) return kRegSuccess;
    size_t start = 0;
    while (true) {
        size_t end = path.find('\\', start);
        std::string_view component = path.substr(start, end == std::string_view::npos ? end : end - start);
        if (component.empty()) return kRegBadPathName;
        if (component.size() > kMaxKeyNameLength || !IsPlainName(component) ||
            component.find('/') != std::string_view::npos) {
            return kRegInvalidParameter;
        }
        components.emplace_back(component);
        if (end == std::string_view::npos) return kRegSuccess;
        start = end + 1;
    }
}

std::string EnvironmentValue(const char* name) {
    const char* value = std::getenv(name);
    return value ? value : "";
}

bool IsFolder(const std::string& path) {
    struct stat info {};
    errno = 0;
    if (stat(path.c_str(), &info) != 0) return false;
    if (!S_ISDIR(info.st_mode)) errno = ENOTDIR;
    return S_ISDIR(info.st_mode);
}

// Creates every missing folder of `path`; 0 or the errno of the failure.
int MakeFolders(const std::string& path) {
    if (IsFolder(path)) return 0;
    size_t slash = path.find_last_of('/');
    if (slash != std::string::npos && slash > 0) {
        if (int error = MakeFolders(path.substr(0, slash))) return error;
    }
    if (mkdir(path.c_str(), 0755) == 0 || (errno == EEXIST && IsFolder(path))) return 0;
    return errno == EEXIST ? ENOTDIR : errno;
}

// 0 when the folder exists and may be written, otherwise the errno that says why not.
int FolderWriteError(const std::string& path) {
    if (!IsFolder(path)) return errno ? errno : ENOTDIR;
    return access(path.c_str(), W_OK) == 0 ? 0 : errno;
}

std::string ValuePath(const std::string& folder, std::string_view name) {
    return ToNativePath(folder + "/" + std::string(name) + kValueSuffix);
}

bool IsValidValueName(std::string_view name) { return name.size() <= kMaxValueNameLength && IsPlainName(name); }

// Reads a value file; kRegFileNotFound when it does not exist.
long ReadValueFile(const std::string& path, uint32_t& type, std::string& data) {
    CFile file;
    if (!file.Open(path, CFile::Mode::Read)) return ErrorFromErrno(file.LastError());
    std::optional<uint64_t> size = file.Size();
    if (!size) return kRegIoFailed;
    if (*size > kRegMaxValueSize + kMaxTypeLineLength + 1) return kRegCorrupt;
    std::string content(static_cast<size_t>(*size), '\0');
    if (!file.ReadExact(content.data(), content.size())) return kRegIoFailed;
    size_t newline = content.find('\n');
    if (newline == std::string::npos || newline > kMaxTypeLineLength) return kRegCorrupt;
    if (!ParseType(std::string_view(content).substr(0, newline), type)) return kRegCorrupt;
    data = content.substr(newline + 1);
    return kRegSuccess;
}

}  // namespace

std::string MachineStoreRoot() {
    std::string root = EnvironmentValue("VELMOR_REGISTRY_ROOT");
    return root.empty() ? kDefaultMachineRoot : root;
}

std::string VirtualStoreRoot() {
    std::string state = EnvironmentValue("XDG_STATE_HOME");
    if (state.empty()) {
        std::string home = EnvironmentValue("HOME");
        if (home.empty()) return "";
        state = home + "/.local/state";
    }
    return state + "/velmor/VirtualStore";
}

CStoreKey::CStoreKey(std::string relativePath, std::string machineFolder, std::string virtualFolder)
    : m_relativePath(std::move(relativePath)),
      m_machineFolder(std::move(machineFolder)),
      m_virtualFolder(std::move(virtualFolder)) {}

const CStoreKey& CStoreKey::LocalMachine() {
    static const CStoreKey root("", "", "");
    return root;
}

long CStoreKey::Create(const CStoreKey& parent, std::string_view path, std::unique_ptr<CStoreKey>& result,
                       uint32_t* disposition) {
    std::vector<std::string> components;
    if (long error = SplitKeyPath(path, components)) return error;
    std::string relative = parent.m_relativePath;
    for (const std::string& component : components) relative += (relative.empty() ? "" : "/") + component;

    std::string machine = ToNativePath(MachineStoreRoot() + "/" + relative);
    std::string virtualRoot = VirtualStoreRoot();
    std::string shadow = virtualRoot.empty() ? "" : ToNativePath(virtualRoot + "/" + relative);
    bool existed = IsFolder(machine) || (!shadow.empty() && IsFolder(shadow));

    int error = MakeFolders(machine);
    if (error == 0) error = FolderWriteError(machine);
    if (error == 0) {
        result.reset(new CStoreKey(relative, machine, ""));
    } else {
        // The machine store is out of reach: keep the key in the user's virtual store.
        if (shadow.empty()) return ErrorFromErrno(error);
        if (int shadowError = MakeFolders(shadow)) return ErrorFromErrno(shadowError);
        result.reset(new CStoreKey(relative, machine, shadow));
    }
    if (disposition) *disposition = existed ? kRegOpenedExistingKey : kRegCreatedNewKey;
    return kRegSuccess;
}

long CStoreKey::QueryValue(std::string_view name, uint32_t* type, void* data, uint32_t* size) const {
    if (!IsValidValueName(name) || (data && !size)) return kRegInvalidParameter;
    if (m_machineFolder.empty()) return kRegFileNotFound;  // values of the root itself are not kept
    uint32_t valueType = kRegNone;
    std::string bytes;
    long error = kRegFileNotFound;
    if (IsVirtualised()) error = ReadValueFile(ValuePath(m_virtualFolder, name), valueType, bytes);
    if (error == kRegFileNotFound) error = ReadValueFile(ValuePath(m_machineFolder, name), valueType, bytes);
    if (error) return error;

    if (type) *type = valueType;
    uint32_t length = static_cast<uint32_t>(bytes.size());
    if (!size) return kRegSuccess;
    if (data && *size < length) {
        *size = length;
        return kRegMoreData;
    }
    if (data && length) std::memcpy(data, bytes.data(), length);
    *size = length;
    return kRegSuccess;
}

long CStoreKey::SetValue(std::string_view name, uint32_t type, const void* data, uint32_t size) {
    if (!IsValidValueName(name) || size > kRegMaxValueSize || (size && !data)) return kRegInvalidParameter;
    if (m_machineFolder.empty()) return kRegAccessDenied;
    int machineError = IsVirtualised() ? 0 : FolderWriteError(m_machineFolder);
    if (machineError) {
        // Rights were lost since the key was opened: go on in the virtual store.
        std::string virtualRoot = VirtualStoreRoot();
        if (virtualRoot.empty() || ErrorFromErrno(machineError) != kRegAccessDenied) {
            return ErrorFromErrno(machineError);
        }
        std::string shadow = ToNativePath(virtualRoot + "/" + m_relativePath);
        if (int error = MakeFolders(shadow)) return ErrorFromErrno(error);
        m_virtualFolder = shadow;
    }
    std::string content = FormatType(type) + "\n";
    if (size) content.append(static_cast<const char*>(data), size);
    const std::string& folder = IsVirtualised() ? m_virtualFolder : m_machineFolder;
    errno = 0;
    if (!WriteFileAtomically(ValuePath(folder, name), content)) return ErrorFromErrno(errno);
    return kRegSuccess;
}

}  // namespace platform
