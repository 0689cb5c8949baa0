#include "tests/patcharchive/ZipBuilder.h"

#include <zlib.h>

#include <algorithm>
#include <stdexcept>

namespace ziptest {
namespace {

void Put16(std::string& out, uint32_t value) {
    out.push_back(static_cast<char>(value & 0xFF));
    out.push_back(static_cast<char>((value >> 8) & 0xFF));
}

void Put32(std::string& out, uint32_t value) {
    Put16(out, value & 0xFFFF);
    Put16(out, value >> 16);
}

constexpr uint16_t kDosTime = (13 << 11) | (45 << 5) | (30 / 2);          // 13:45:30
constexpr uint16_t kDosDate = ((2024 - 1980) << 9) | (3 << 5) | 17;      // 2024-03-17

}  // namespace

std::string RawDeflate(const std::string& data, const DeflateOptions& options) {
    z_stream stream{};
    if (deflateInit2(&stream, options.level, Z_DEFLATED, -options.windowBits, options.memoryLevel, options.strategy) !=
        Z_OK) {
        throw std::runtime_error("deflateInit2");
    }
    std::string out(deflateBound(&stream, data.size()) + 16, '\0');
    stream.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(data.data()));
    stream.avail_in = static_cast<uInt>(data.size());
    stream.next_out = reinterpret_cast<Bytef*>(out.data());
    stream.avail_out = static_cast<uInt>(out.size());
    if (deflate(&stream, Z_FINISH) != Z_STREAM_END) throw std::runtime_error("deflate");
    out.resize(stream.total_out);
    deflateEnd(&stream);
    return out;
}

FixtureEntry ZeroEntry(const std::string& name, uint64_t size) {
    z_stream stream{};
    if (deflateInit2(&stream, 1, Z_DEFLATED, -MAX_WBITS, 8, Z_DEFAULT_STRATEGY) != Z_OK) {
        throw std::runtime_error("deflateInit2");
    }
    std::string zeros(1 << 20, '\0');
    std::string out;
    char buffer[65536];
    uLong crc = crc32(0, nullptr, 0);
    uint64_t left = size;
    int flush = Z_NO_FLUSH;
    do {
        if (stream.avail_in == 0 && flush == Z_NO_FLUSH) {
            auto piece = static_cast<uInt>(std::min<uint64_t>(zeros.size(), left));
            left -= piece;
            crc = crc32(crc, reinterpret_cast<const Bytef*>(zeros.data()), piece);
            stream.next_in = reinterpret_cast<Bytef*>(zeros.data());
            stream.avail_in = piece;
            if (left == 0) flush = Z_FINISH;
        }
        stream.next_out = reinterpret_cast<Bytef*>(buffer);
        stream.avail_out = sizeof buffer;
        int result = deflate(&stream, flush);
        out.append(buffer, sizeof buffer - stream.avail_out);
        if (result == Z_STREAM_END) break;
    } while (true);
    deflateEnd(&stream);
    FixtureEntry entry;
    entry.name = name;
    entry.crc = static_cast<uint32_t>(crc);
    entry.uncompressedSize = static_cast<uint32_t>(size);
    entry.payload = out;
    return entry;
}

uint32_t Crc32(const std::string& data) {
    return static_cast<uint32_t>(crc32(0, reinterpret_cast<const Bytef*>(data.data()), static_cast<uInt>(data.size())));
}

std::string EndRecord(uint16_t entries, uint32_t size, uint32_t offset, const std::string& comment, uint16_t disk) {
    std::string out = "PK\x05\x06";
    Put16(out, disk);
    Put16(out, disk);
    Put16(out, entries);
    Put16(out, entries);
    Put32(out, size);
    Put32(out, offset);
    Put16(out, static_cast<uint32_t>(comment.size()));
    return out + comment;
}

std::string BuildArchive(const std::vector<FixtureEntry>& entries, const std::string& comment,
                         const std::string& prefix) {
    std::string body;
    std::string central;
    for (const FixtureEntry& entry : entries) {
        std::string payload = entry.payload ? *entry.payload : entry.method == 8 ? RawDeflate(entry.data) : entry.data;
        uint32_t crc = entry.crc.value_or(Crc32(entry.data));
        uint32_t compressed = entry.compressedSize.value_or(static_cast<uint32_t>(payload.size()));
        uint32_t uncompressed = entry.uncompressedSize.value_or(static_cast<uint32_t>(entry.data.size()));
        uint16_t flag = static_cast<uint16_t>(entry.flag | (entry.descriptor ? 0x08 : 0));
        auto offset = static_cast<uint32_t>(body.size());

        body += "PK\x03\x04";
        Put16(body, 20);
        Put16(body, entry.localFlag.value_or(flag));
        Put16(body, entry.localMethod.value_or(entry.method));
        Put16(body, kDosTime);
        Put16(body, kDosDate);
        Put32(body, entry.descriptor ? 0 : entry.localCrc.value_or(crc));
        Put32(body, entry.descriptor ? 0 : compressed);
        Put32(body, entry.descriptor ? 0 : uncompressed);
        Put16(body, static_cast<uint32_t>(entry.name.size()));
        Put16(body, static_cast<uint32_t>(entry.localExtra.size()));
        body += entry.name + entry.localExtra + payload;
        if (entry.descriptor) {
            if (entry.descriptorSignature) body += "PK\x07\x08";
            Put32(body, entry.descriptorCrc.value_or(crc));
            Put32(body, compressed);
            Put32(body, uncompressed);
        }

        central += "PK\x01\x02";
        Put16(central, entry.versionMadeBy);
        Put16(central, 20);
        Put16(central, flag);
        Put16(central, entry.method);
        Put16(central, kDosTime);
        Put16(central, kDosDate);
        Put32(central, crc);
        Put32(central, compressed);
        Put32(central, uncompressed);
        Put16(central, static_cast<uint32_t>(entry.name.size()));
        Put16(central, static_cast<uint32_t>(entry.centralExtra.size()));
        Put16(central, 0);
        Put16(central, 0);
        Put16(central, 0);
        Put32(central, entry.externalAttr);
        Put32(central, offset);
        central += entry.name + entry.centralExtra;
    }
    auto centralOffset = static_cast<uint32_t>(body.size());
    return prefix + body + central +
           EndRecord(static_cast<uint16_t>(entries.size()), static_cast<uint32_t>(central.size()), centralOffset,
                     comment);
}

}  // namespace ziptest
