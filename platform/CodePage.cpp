#include "platform/CodePage.h"

#include <iconv.h>

#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <stdexcept>

namespace {

constexpr const char* kGameCodePage = "GBK";

// One iconv descriptor per direction and thread: a descriptor keeps state and must
// not be shared, and opening one per text would cost more than converting it.
class CConverter {
public:
    CConverter(const char* to, const char* from) : m_handle(iconv_open(to, from)) {
        if (m_handle == reinterpret_cast<iconv_t>(-1)) {
            throw std::runtime_error(std::string("iconv cannot convert from ") + from + " to " + to);
        }
    }
    ~CConverter() { iconv_close(m_handle); }
    CConverter(const CConverter&) = delete;
    CConverter& operator=(const CConverter&) = delete;

    // Converts as far as it can. Returns the bytes consumed; `output` gets what
    // they gave. Stops early at a sequence that cannot be converted.
    size_t Convert(std::string_view input, std::string& output) {
        iconv(m_handle, nullptr, nullptr, nullptr, nullptr);
        char* in = const_cast<char*>(input.data());
        size_t inLeft = input.size();
        char buffer[1024];
        while (inLeft > 0) {
            char* out = buffer;
            size_t outLeft = sizeof buffer;
            size_t status = iconv(m_handle, &in, &inLeft, &out, &outLeft);
            output.append(buffer, sizeof buffer - outLeft);
            if (status == static_cast<size_t>(-1) && errno != E2BIG) break;
        }
        return input.size() - inLeft;
    }

private:
    iconv_t m_handle;
};

CConverter& GbkDecoder() {
    thread_local CConverter converter("UTF-8", kGameCodePage);
    return converter;
}

CConverter& GbkEncoder() {
    thread_local CConverter converter(kGameCodePage, "UTF-8");
    return converter;
}

}  // namespace

namespace platform {

bool IsValidUtf8(std::string_view text) {
    size_t i = 0;
    while (i < text.size()) {
        auto byte = static_cast<unsigned char>(text[i]);
        size_t length = byte < 0x80 ? 1 : (byte >> 5) == 0x6 ? 2 : (byte >> 4) == 0xE ? 3 : (byte >> 3) == 0x1E ? 4 : 0;
        if (length == 0 || i + length > text.size()) return false;
        uint32_t code = length == 1 ? byte : byte & (0x7F >> length);
        for (size_t k = 1; k < length; ++k) {
            auto trail = static_cast<unsigned char>(text[i + k]);
            if ((trail & 0xC0) != 0x80) return false;
            code = (code << 6) | (trail & 0x3F);
        }
        static constexpr uint32_t kSmallest[] = {0, 0, 0x80, 0x800, 0x10000};
        if (code < kSmallest[length] || code > 0x10FFFF || (code >= 0xD800 && code <= 0xDFFF)) return false;
        i += length;
    }
    return true;
}

void DecodeGbk(std::string_view gbk, const std::function<void(std::string_view utf8)>& characters,
               const std::function<void(unsigned char byte)>& stray) {
    std::string utf8;
    while (!gbk.empty()) {
        utf8.clear();
        size_t used = GbkDecoder().Convert(gbk, utf8);
        if (!utf8.empty()) characters(utf8);
        gbk.remove_prefix(used);
        if (gbk.empty()) break;
        // The byte where decoding stopped starts no GBK character; the next may.
        stray(static_cast<unsigned char>(gbk.front()));
        gbk.remove_prefix(1);
    }
}

bool IsGbk(std::string_view text) {
    std::string ignored;
    return GbkDecoder().Convert(text, ignored) == text.size();
}

std::string GbkToUtf8(std::string_view gbk) {
    std::string result;
    DecodeGbk(
        gbk, [&](std::string_view utf8) { result += utf8; },
        [&](unsigned char byte) {
            char escape[5];
            std::snprintf(escape, sizeof escape, "\\x%02X", byte);
            result += escape;
        });
    return result;
}

std::optional<std::string> Utf8ToGbk(std::string_view utf8, size_t* failedAt) {
    std::string gbk;
    size_t used = GbkEncoder().Convert(utf8, gbk);
    if (used == utf8.size()) return gbk;
    if (failedAt) *failedAt = used;
    return std::nullopt;
}

size_t FindCharacter(std::string_view text, size_t from, char ch) {
    size_t i = from;
    while (i < text.size()) {
        if (text[i] == ch) return i;
        auto byte = static_cast<unsigned char>(text[i]);
        i += (byte >= 0x81 && byte <= 0xFE && i + 1 < text.size()) ? 2 : 1;
    }
    return std::string_view::npos;
}

}  // namespace platform
