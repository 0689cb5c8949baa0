#pragma once
// An owned byte buffer that knows its size. The bytes are left uninitialised on
// purpose: the large write buffer is never touched when reading and costs no memory.
#include <cstddef>
#include <memory>
#include <string_view>

class CZipAutoBuffer {
public:
    CZipAutoBuffer() = default;
    explicit CZipAutoBuffer(size_t size) { Allocate(size); }
    virtual ~CZipAutoBuffer() = default;
    CZipAutoBuffer(const CZipAutoBuffer& other);
    CZipAutoBuffer& operator=(const CZipAutoBuffer& other);
    CZipAutoBuffer(CZipAutoBuffer&& other) noexcept;
    CZipAutoBuffer& operator=(CZipAutoBuffer&& other) noexcept;

    void Allocate(size_t size);
    void Release();
    // Replaces the contents by a copy of `bytes`.
    void Assign(std::string_view bytes);

    char* Data() { return m_pBuffer.get(); }
    const char* Data() const { return m_pBuffer.get(); }
    size_t Size() const { return m_nSize; }
    bool IsAllocated() const { return m_pBuffer != nullptr; }
    std::string_view View() const { return {m_pBuffer.get(), m_nSize}; }

private:
    std::unique_ptr<char[]> m_pBuffer;
    size_t m_nSize = 0;
};
