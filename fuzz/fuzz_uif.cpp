// updater.uif from arbitrary bytes: the reader must stay inside the input, and what
// it keeps must survive the writer and the editable text unchanged. The same bytes
// also go to the text reader of `velmor uif build`.
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include "launcher/core/UifFile.h"
#include "launcher/core/UifText.h"

namespace {

bool SameContent(const UifContent& a, const UifContent& b) {
    if (a.HasMagic != b.HasMagic || a.HeaderValue != b.HeaderValue || a.Links != b.Links ||
        a.Groups.size() != b.Groups.size()) {
        return false;
    }
    for (size_t g = 0; g < a.Groups.size(); ++g) {
        const ServerGroup& x = a.Groups[g];
        const ServerGroup& y = b.Groups[g];
        if (x.Name != y.Name || x.Servers.size() != y.Servers.size()) return false;
        for (size_t s = 0; s < x.Servers.size(); ++s) {
            if (x.Servers[s].Name != y.Servers[s].Name || x.Servers[s].PatchHost != y.Servers[s].PatchHost ||
                x.Servers[s].GameAddress != y.Servers[s].GameAddress) {
                return false;
            }
        }
    }
    return true;
}

// A text that parses must format back to itself and build a file that reads back
// the same: the file holds its texts in GBK, the text in UTF-8 with \xHH for
// bytes that are not GBK, and neither way loses a byte.
void CheckText(const std::string& input) {
    UifContent content;
    std::string error;
    if (!ParseUifText(input, content, error)) return;
    UifContent again;
    if (!ParseUifText(FormatUifText(content), again, error) || !SameContent(content, again)) std::abort();
    std::string bytes;
    if (!WriteUifFile(content, bytes, error)) std::abort();
    if (!SameContent(content, ReadUifFile(bytes))) std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    // Its own copy of exactly the input, so that any read past the end is caught.
    std::string input(reinterpret_cast<const char*>(data), size);
    UifContent content = ReadUifFile(input);

    std::string bytes, error;
    if (!WriteUifFile(content, bytes, error)) std::abort();
    if (!SameContent(content, ReadUifFile(bytes))) std::abort();

    UifContent parsed;
    if (!ParseUifText(FormatUifText(content), parsed, error)) std::abort();
    if (!SameContent(content, parsed)) std::abort();

    CheckText(input);
    return 0;
}
