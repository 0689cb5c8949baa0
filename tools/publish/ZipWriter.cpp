#include "tools/publish/ZipWriter.h"

#include <zlib.h>

#include <cstring>
#include <optional>
#include <vector>

#include "platform/FileSystem.h"

namespace {

constexpr uint16_t kUtf8Names = 1u << 11;
constexpr uint16_t kVersion = 20;
constexpr uint32_t kDirectoryAttribute = 0x10;
constexpr uint32_t kArchiveAttribute = 0x20;
constexpr uint64_t kZip32Limit = 0xFFFFFFFFu;

void Put16(std::string& out, uint16_t value) {
    out.push_back(static_cast<char>(value & 0xFF));
    out.push_back(static_cast<char>(value >> 8));
}

void Put32(std::string& out, uint32_t value) {
    for (int shift = 0; shift < 32; shift += 8) out.push_back(static_cast<char>((value >> shift) & 0xFF));
}

void DosTime(std::time_t when, uint16_t& time, uint16_t& date) {
    std::tm local {};
    localtime_r(&when, &local);
    if (local.tm_year < 80) {
        local = {};
        local.tm_year = 80;
        local.tm_mday = 1;
    }
    time = static_cast<uint16_t>(local.tm_hour << 11 | local.tm_min << 5 | local.tm_sec / 2);
    date = static_cast<uint16_t>((local.tm_year - 80) << 9 | (local.tm_mon + 1) << 5 | local.tm_mday);
}

// Raw deflate of the whole content; empty when it does not get smaller.
std::string Deflate(const std::string& content) {
    z_stream stream {};
    if (deflateInit2(&stream, Z_DEFAULT_COMPRESSION, Z_DEFLATED, -MAX_WBITS, 8, Z_DEFAULT_STRATEGY) != Z_OK) return {};
    std::string out(deflateBound(&stream, static_cast<uLong>(content.size())), '\0');
    stream.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(content.data()));
    stream.avail_in = static_cast<uInt>(content.size());
    stream.next_out = reinterpret_cast<Bytef*>(out.data());
    stream.avail_out = static_cast<uInt>(out.size());
    int status = deflate(&stream, Z_FINISH);
    out.resize(stream.total_out);
    deflateEnd(&stream);
    if (status != Z_STREAM_END || out.size() >= content.size()) return {};
    return out;
}

}  // namespace

bool CZipWriter::Create(const std::string& path) {
    m_entries.clear();
    m_position = 0;
    m_bFailed = !m_file.Open(path, platform::CFile::Mode::Create);
    return !m_bFailed;
}

bool CZipWriter::WriteLocalHeader(const Entry& entry) {
    std::string header;
    Put32(header, 0x04034b50);
    Put16(header, kVersion);
    Put16(header, kUtf8Names);
    Put16(header, entry.method);
    Put16(header, entry.dosTime);
    Put16(header, entry.dosDate);
    Put32(header, entry.crc);
    Put32(header, entry.compressedSize);
    Put32(header, entry.size);
    Put16(header, static_cast<uint16_t>(entry.name.size()));
    Put16(header, 0);
    header += entry.name;
    m_position += header.size();
    return m_file.Write(header.data(), header.size());
}

bool CZipWriter::WriteEntry(Entry entry, const std::string& content) {
    if (m_bFailed || entry.name.size() > 0xFFFF || content.size() > kZip32Limit || m_position > kZip32Limit ||
        m_entries.size() >= 0xFFFF) {
        m_bFailed = true;
        return false;
    }
    std::string deflated = Deflate(content);
    const std::string& stored = deflated.empty() ? content : deflated;
    entry.method = deflated.empty() ? 0 : 8;
    entry.crc = static_cast<uint32_t>(crc32(0, reinterpret_cast<const Bytef*>(content.data()),
                                            static_cast<uInt>(content.size())));
    entry.size = static_cast<uint32_t>(content.size());
    entry.compressedSize = static_cast<uint32_t>(stored.size());
    entry.localOffset = static_cast<uint32_t>(m_position);
    if (!WriteLocalHeader(entry) || !m_file.Write(stored.data(), stored.size())) {
        m_bFailed = true;
        return false;
    }
    m_position += stored.size();
    m_entries.push_back(std::move(entry));
    return true;
}

bool CZipWriter::AddFile(const std::string& name, const std::string& content, std::time_t modified) {
    Entry entry;
    entry.name = name;
    entry.attributes = kArchiveAttribute;
    DosTime(modified, entry.dosTime, entry.dosDate);
    return WriteEntry(std::move(entry), content);
}

bool CZipWriter::AddFileFromDisk(const std::string& name, const std::string& sourcePath, std::time_t modified) {
    platform::CFile source;
    if (m_bFailed || !source.Open(sourcePath, platform::CFile::Mode::Read)) return Fail();
    std::optional<uint64_t> size = source.Size();
    if (!size || *size > kZip32Limit || m_position > kZip32Limit || name.size() > 0xFFFF) return Fail();
    Entry entry;
    entry.name = name;
    entry.attributes = kArchiveAttribute;
    entry.method = 8;
    entry.localOffset = static_cast<uint32_t>(m_position);
    DosTime(modified, entry.dosTime, entry.dosDate);
    // The sizes and the CRC are known only at the end: write the header now, mend it then.
    if (!WriteLocalHeader(entry) || !StreamDeflated(source, entry)) return Fail();
    uint64_t end = m_position;
    if (!m_file.Seek(entry.localOffset) || !WriteLocalHeader(entry) || !m_file.Seek(end)) return Fail();
    m_position = end;
    m_entries.push_back(std::move(entry));
    return true;
}

bool CZipWriter::StreamDeflated(platform::CFile& source, Entry& entry) {
    z_stream stream {};
    if (deflateInit2(&stream, Z_DEFAULT_COMPRESSION, Z_DEFLATED, -MAX_WBITS, 8, Z_DEFAULT_STRATEGY) != Z_OK) return false;
    std::vector<char> in(1 << 18), out(1 << 18);
    uLong crc = crc32(0, nullptr, 0);
    uint64_t total = 0, written = 0;
    int status = Z_OK;
    bool ok = true;
    while (ok && status != Z_STREAM_END) {
        size_t n = source.Read(in.data(), in.size());
        total += n;
        crc = crc32(crc, reinterpret_cast<const Bytef*>(in.data()), static_cast<uInt>(n));
        stream.next_in = reinterpret_cast<Bytef*>(in.data());
        stream.avail_in = static_cast<uInt>(n);
        int flush = n < in.size() ? Z_FINISH : Z_NO_FLUSH;
        do {
            stream.next_out = reinterpret_cast<Bytef*>(out.data());
            stream.avail_out = static_cast<uInt>(out.size());
            status = deflate(&stream, flush);
            size_t produced = out.size() - stream.avail_out;
            ok = status != Z_STREAM_ERROR && m_file.Write(out.data(), produced);
            written += produced;
        } while (ok && stream.avail_out == 0);
        if (flush == Z_FINISH && status != Z_STREAM_END) ok = false;
    }
    deflateEnd(&stream);
    if (!ok || total > kZip32Limit || written > kZip32Limit) return false;
    entry.crc = static_cast<uint32_t>(crc);
    entry.size = static_cast<uint32_t>(total);
    entry.compressedSize = static_cast<uint32_t>(written);
    m_position += written;
    return true;
}

bool CZipWriter::AddFolder(const std::string& name, std::time_t modified) {
    Entry entry;
    entry.name = name.empty() || name.back() == '/' ? name : name + "/";
    entry.attributes = kDirectoryAttribute;
    DosTime(modified, entry.dosTime, entry.dosDate);
    return WriteEntry(std::move(entry), std::string());
}

bool CZipWriter::Finish() {
    if (m_bFailed) return false;
    std::string directory;
    for (const Entry& entry : m_entries) {
        Put32(directory, 0x02014b50);
        Put16(directory, kVersion);  // made by: DOS attributes
        Put16(directory, kVersion);
        Put16(directory, kUtf8Names);
        Put16(directory, entry.method);
        Put16(directory, entry.dosTime);
        Put16(directory, entry.dosDate);
        Put32(directory, entry.crc);
        Put32(directory, entry.compressedSize);
        Put32(directory, entry.size);
        Put16(directory, static_cast<uint16_t>(entry.name.size()));
        Put16(directory, 0);
        Put16(directory, 0);
        Put16(directory, 0);
        Put16(directory, 0);
        Put32(directory, entry.attributes);
        Put32(directory, entry.localOffset);
        directory += entry.name;
    }
    if (m_position + directory.size() > kZip32Limit) return false;
    std::string end;
    Put32(end, 0x06054b50);
    Put16(end, 0);
    Put16(end, 0);
    Put16(end, static_cast<uint16_t>(m_entries.size()));
    Put16(end, static_cast<uint16_t>(m_entries.size()));
    Put32(end, static_cast<uint32_t>(directory.size()));
    Put32(end, static_cast<uint32_t>(m_position));
    Put16(end, 0);
    bool ok = m_file.Write(directory.data(), directory.size()) && m_file.Write(end.data(), end.size()) &&
              m_file.Sync() && m_file.Close();
    m_bFailed = !ok;
    return ok;
}
