#include "platform/CodePage.h"

#include <iconv.h>

#include <cerrno>

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

std::string GbkToUtf8(std::string_view text) {
    iconv_t converter = iconv_open("UTF-8", "GBK");
    if (converter == reinterpret_cast<iconv_t>(-1)) return std::string(text);
    std::string result;
    std::string input(text);
    char* in = input.data();
    size_t inLeft = input.size();
    char buffer[1024];
    while (inLeft > 0) {
        char* out = buffer;
        size_t outLeft = sizeof buffer;
        size_t status = iconv(converter, &in, &inLeft, &out, &outLeft);
        result.append(buffer, sizeof buffer - outLeft);
        if (status == static_cast<size_t>(-1) && errno != E2BIG) {
            // An undecodable byte: mark it and go on with the next one.
            result.push_back('?');
            ++in;
            --inLeft;
            iconv(converter, nullptr, nullptr, nullptr, nullptr);
        }
    }
    iconv_close(converter);
    return result;
}

size_t FindCharacter(std::string_view text, size_t from, char ch) {
    bool gbk = !IsValidUtf8(text);
    size_t i = from;
    while (i < text.size()) {
        if (text[i] == ch) return i;
        auto byte = static_cast<unsigned char>(text[i]);
        // A GBK lead byte takes the next byte with it, whatever that byte is.
        i += (gbk && byte >= 0x81 && byte <= 0xFE && i + 1 < text.size()) ? 2 : 1;
    }
    return std::string_view::npos;
}

}  // namespace platform
