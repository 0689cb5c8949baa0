#pragma once
// Writes updater.uif byte by byte, independently of the launcher's own writer, so
// that tests can also make the files no writer would: wrong counts, cut records,
// texts without their terminating zero.
#include <cstdint>
#include <string>

namespace testsupport {

class CUifBytes {
public:
    CUifBytes& Magic(int32_t headerValue) {
        m_bytes += "UIF";
        return Int(headerValue);
    }
    CUifBytes& Int(int32_t value) {
        auto raw = static_cast<uint32_t>(value);
        for (int i = 0; i < 4; ++i) m_bytes.push_back(static_cast<char>((raw >> (8 * i)) & 0xFF));
        return *this;
    }
    // `text` padded with zero bytes to `width`; a text of the full width has no zero.
    CUifBytes& Text(const std::string& text, size_t width) {
        m_bytes += text.substr(0, width);
        if (text.size() < width) m_bytes.append(width - text.size(), '\0');
        return *this;
    }
    CUifBytes& Group(const std::string& name, int32_t servers) { return Text(name, 256).Int(servers); }
    CUifBytes& Server(const std::string& name, const std::string& host) { return Text(name, 256).Text(host, 1024); }
    CUifBytes& Server(const std::string& name, const std::string& host, const std::string& address) {
        return Server(name, host).Text(address, 1024);
    }
    CUifBytes& Link(const std::string& link) { return Text(link, 1024); }
    CUifBytes& Raw(const std::string& bytes) {
        m_bytes += bytes;
        return *this;
    }
    const std::string& Bytes() const { return m_bytes; }

private:
    std::string m_bytes;
};

}  // namespace testsupport
