#pragma once
// The folder that an extraction fills. Paths below it are resolved the way
// ToNativePath resolves them (each component without regard to the case of A-Z,
// new components keep their spelling), but each folder is listed at most once for
// the whole extraction and nothing is ever followed through a symbolic link. So a
// patch of thousands of files costs a handful of calls per file instead of a walk
// over every component for every call.
#include <cstddef>
#include <cstdint>
#include <ctime>
#include <string>
#include <string_view>
#include <unordered_map>

namespace platform {

// A file opened for writing by CTargetFolder; closed when the object goes.
class COutputFile {
public:
    COutputFile() = default;
    ~COutputFile();
    COutputFile(const COutputFile&) = delete;
    COutputFile& operator=(const COutputFile&) = delete;

    bool Write(const void* buffer, size_t count);
    bool Close();
    int LastError() const { return m_nLastError; }

private:
    friend class CTargetFolder;
    int m_nDescriptor = -1;
    int m_nLastError = 0;
};

class CTargetFolder {
public:
    struct Resolved {
        std::string native;
        bool crossesLink = false;  // an existing component on the way is a symbolic link
    };

    // `root` is a program path; it need not exist yet.
    explicit CTargetFolder(std::string_view root);
    const std::string& Root() const { return m_root; }

    // `relative` holds components separated by '\' or '/'.
    Resolved Resolve(std::string_view relative);
    // Creates a resolved folder and its missing parents, the root included; fails
    // when a file or a link stands in the way.
    bool MakeFolders(const std::string& nativeFolder);
    // Creates or truncates a resolved file, never through a link. A read-only file
    // is made writable first.
    bool CreateFile(COutputFile& file, const std::string& nativePath);

    // Last access becomes now, last write the given time.
    static bool SetWriteTime(const std::string& nativePath, std::time_t lastWrite);
    // Read-only clears the write permissions; otherwise the owner may write.
    static bool SetAttributes(const std::string& nativePath, uint32_t attributes);

private:
    enum class Kind : char { Folder, Link, Other };
    struct Listing {
        std::unordered_map<std::string, Kind> names;
        std::unordered_map<std::string, std::string> folded;  // lower case to the first spelling
    };

    Listing* ListingOf(const std::string& nativeFolder);
    void Remember(const std::string& nativeFolder, const std::string& name, Kind kind);
    bool MakeRoot();

    std::string m_root;
    std::string m_nativeRoot;
    std::unordered_map<std::string, Listing> m_listings;
};

}  // namespace platform
