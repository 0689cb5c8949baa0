#include "engine/LocalFile.h"

bool LocalFile::Open(std::string_view name) {
    m_file.Close();
    return m_file.Open(name, platform::CFile::Mode::Create);
}

bool LocalFile::Write(const void* bytes, size_t count) {
    return m_file.IsOpen() && m_file.Write(bytes, count);
}

void LocalFile::Close() {
    m_file.Close();
}
