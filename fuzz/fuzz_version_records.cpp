// The version records as a run meets them: a local Version.ini, a downloaded
// UpdateVersion.ini and a test-channel file, all from the input (parts split at
// the first two "\0\0"), plus the Content-Length reading of the whole input.
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <string>
#include <string_view>

#include "engine/HttpClient.h"
#include "engine/HttpPatcher.h"
#include "engine/IWindowPrimitives.h"
#include "engine/UpdateSurface.h"
#include "platform/FileSystem.h"

namespace {

class CQuietWindow : public IWindowPrimitives {
public:
    void SetControlText(int, const std::string&) override {}
    void MoveControl(int, int, int, int, int) override {}
    void EnableControl(int, bool) override {}
    bool GetBitmapSize(int, int& width, int& height) override {
        width = 453;
        height = 8;
        return true;
    }
    void DrawBitmapPart(int, int, int, int, int) override {}
    void PostCloseRequest() override {}
    int ShowMessageBox(const std::string&, const std::string&, unsigned) override { return 1; }
};

void Place(const char* name, std::string_view content, bool present) {
    if (present) {
        std::ofstream(name, std::ios::binary | std::ios::trunc).write(content.data(), static_cast<std::streamsize>(content.size()));
    } else {
        platform::RemoveFile(name);
    }
}

void RunRecords(const uint8_t* data, size_t size);

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    // The records are named relative to the current folder; the fuzzer's own
    // paths are relative too, so the folder is entered only for the run.
    static const std::string folder = [] {
        // In memory where possible: the record writes are flushed to disk each time.
        char name[] = "/dev/shm/velmor-fuzz-records-XXXXXX";
        if (mkdtemp(name)) return std::string(name);
        std::snprintf(name, sizeof name, "/tmp/velmor-fuzz-records-XXXXXX");
        return std::string(mkdtemp(name) ? name : "");
    }();
    static const std::string home = platform::CurrentFolder();

    if (folder.empty() || chdir(folder.c_str()) != 0) return 0;
    RunRecords(data, size);
    if (chdir(home.c_str()) != 0) std::abort();
    return 0;
}

namespace {

void RunRecords(const uint8_t* data, size_t size) {
    std::string_view input(reinterpret_cast<const char*>(data), size);
    ParseContentLength(input);

    size_t first = input.find(std::string_view("\0\0", 2));
    size_t second = first == std::string_view::npos ? first : input.find(std::string_view("\0\0", 2), first + 2);
    std::string_view local = input.substr(0, first);
    std::string_view published = first == std::string_view::npos ? std::string_view() : input.substr(first + 2, second - first - 2);
    std::string_view channel = second == std::string_view::npos ? std::string_view() : input.substr(second + 2);
    Place("Version.ini", local, true);
    Place("UpdateVersion.ini", published, first != std::string_view::npos);
    Place("UpdateVersion-qrx-.ini", channel, second != std::string_view::npos);

    CQuietWindow window;
    CUpdateSurface surface(window);
    CHttpPatcher patcher(surface);
    if (patcher.HasValidLocalRecord()) {
        patcher.ReadLocalVersion();
        if (patcher.ReadVersionList() && patcher.m_baseVersion > patcher.m_targetVersion) std::abort();
    }
}

}  // namespace
