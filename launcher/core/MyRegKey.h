#pragma once
// The launcher's settings key: holds one opened key of the store (none at first)
// and closes it when it goes. Results are registry error codes, 0 for success.
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

#include "platform/KeyStore.h"

// Size of the buffer a value is read into, terminating zero included.
constexpr size_t kRegValueBufferSize = 260;

class CMyRegKey {
public:
    CMyRegKey() = default;
    virtual ~CMyRegKey();
    CMyRegKey(const CMyRegKey&) = delete;
    CMyRegKey& operator=(const CMyRegKey&) = delete;

    // Creates or opens `path` below `parent`. On success the key held so far is
    // closed and the new one held; on failure the old one stays. Class, options,
    // access and security have no meaning for the store and are ignored.
    long Create(const platform::CStoreKey& parent, std::string_view path, const char* keyClass = nullptr,
                uint32_t options = 0, uint32_t access = 0xF003F, const void* security = nullptr,
                uint32_t* disposition = nullptr);
    long Close();

    // Reads the named value's bytes as text, whatever its type. A value that does
    // not fit the buffer with a terminating zero is an error (kRegMoreData); the
    // buffer is always zero-terminated.
    long QueryValue(char (&buffer)[kRegValueBufferSize], std::string_view name);
    long QueryValue(std::string& text, std::string_view name);
    // Writes a string value whose size counts the terminating zero.
    long SetValue(const char* text, std::string_view name);

    bool IsOpen() const { return m_hKey != nullptr; }
    const platform::CStoreKey* Key() const { return m_hKey.get(); }

private:
    std::unique_ptr<platform::CStoreKey> m_hKey;
};
