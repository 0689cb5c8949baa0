#include "launcher/core/MyRegKey.h"

#include <cstring>

CMyRegKey::~CMyRegKey() { Close(); }

long CMyRegKey::Create(const platform::CStoreKey& parent, std::string_view path, const char* /*keyClass*/,
                       uint32_t /*options*/, uint32_t /*access*/, const void* /*security*/,
                       uint32_t* disposition) {
    std::unique_ptr<platform::CStoreKey> key;
    long error = platform::CStoreKey::Create(parent, path, key, disposition);
    if (error == platform::kRegSuccess) m_hKey = std::move(key);
    return error;
}

long CMyRegKey::Close() {
    m_hKey.reset();
    return platform::kRegSuccess;
}

long CMyRegKey::QueryValue(char (&buffer)[kRegValueBufferSize], std::string_view name) {
    std::memset(buffer, 0, sizeof buffer);
    if (!m_hKey) return platform::kRegInvalidHandle;
    uint32_t size = sizeof buffer;
    long error = m_hKey->QueryValue(name, nullptr, buffer, &size);
    if (error) return error;
    // The bytes are used as text, so a value that fills the buffer must end with its zero.
    if (size == sizeof buffer && buffer[sizeof buffer - 1] != '\0') {
        std::memset(buffer, 0, sizeof buffer);
        return platform::kRegMoreData;
    }
    return platform::kRegSuccess;
}

long CMyRegKey::QueryValue(std::string& text, std::string_view name) {
    char buffer[kRegValueBufferSize];
    long error = QueryValue(buffer, name);
    text = error ? "" : buffer;
    return error;
}

long CMyRegKey::SetValue(const char* text, std::string_view name) {
    if (!m_hKey) return platform::kRegInvalidHandle;
    if (!text) return platform::kRegInvalidParameter;
    return m_hKey->SetValue(name, platform::kRegSz, text, static_cast<uint32_t>(std::strlen(text) + 1));
}
