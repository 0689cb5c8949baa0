#pragma once
// Little-endian fields of the ZIP records.
#include <cstdint>

inline uint16_t ZipU16(const unsigned char* p) { return static_cast<uint16_t>(p[0] | (p[1] << 8)); }

inline uint32_t ZipU32(const unsigned char* p) {
    return static_cast<uint32_t>(p[0]) | (static_cast<uint32_t>(p[1]) << 8) | (static_cast<uint32_t>(p[2]) << 16) |
           (static_cast<uint32_t>(p[3]) << 24);
}

inline uint64_t ZipU64(const unsigned char* p) { return ZipU32(p) | (static_cast<uint64_t>(ZipU32(p + 4)) << 32); }

inline bool ZipSignature(const unsigned char* p, unsigned char third, unsigned char fourth) {
    return p[0] == 'P' && p[1] == 'K' && p[2] == third && p[3] == fourth;
}
