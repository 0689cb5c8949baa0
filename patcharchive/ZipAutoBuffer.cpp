#include "patcharchive/ZipAutoBuffer.h"

#include <cstring>
#include <utility>

CZipAutoBuffer::CZipAutoBuffer(const CZipAutoBuffer& other) { Assign(other.View()); }

CZipAutoBuffer& CZipAutoBuffer::operator=(const CZipAutoBuffer& other) {
    if (this != &other) Assign(other.View());
    return *this;
}

CZipAutoBuffer::CZipAutoBuffer(CZipAutoBuffer&& other) noexcept
    : m_pBuffer(std::move(other.m_pBuffer)), m_nSize(std::exchange(other.m_nSize, 0)) {}

CZipAutoBuffer& CZipAutoBuffer::operator=(CZipAutoBuffer&& other) noexcept {
    m_pBuffer = std::move(other.m_pBuffer);
    m_nSize = std::exchange(other.m_nSize, 0);
    return *this;
}

void CZipAutoBuffer::Allocate(size_t size) {
    m_pBuffer.reset(size ? new char[size] : nullptr);
    m_nSize = size;
}

void CZipAutoBuffer::Release() {
    m_pBuffer.reset();
    m_nSize = 0;
}

void CZipAutoBuffer::Assign(std::string_view bytes) {
    Allocate(bytes.size());
    if (!bytes.empty()) std::memcpy(m_pBuffer.get(), bytes.data(), bytes.size());
}
