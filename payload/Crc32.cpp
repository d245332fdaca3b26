#include "payload/Crc32.h"

namespace {

// CRC of each 4-bit value: the checksum runs a nibble at a time to keep the table small.
const uint32_t kCrcNibble[16] = {
    0x00000000, 0x1DB71064, 0x3B6E20C8, 0x26D930AC, 0x76DC4190, 0x6B6B51F4, 0x4DB26158, 0x5005713C,
    0xEDB88320, 0xF00F9344, 0xD6D6A3E8, 0xCB61B38C, 0x9B64C2B0, 0x86D3D2D4, 0xA00AE278, 0xBDBDF21C,
};

} // namespace

uint32_t Crc32(uint32_t initial, const void* bytes, size_t length)
{
    if (!bytes)
        return 0;
    const unsigned char* p = (const unsigned char*)bytes;
    uint32_t crc = ~initial;
    for (size_t i = 0; i < length; ++i) {
        crc = (crc >> 4) ^ kCrcNibble[(crc ^ p[i]) & 0xF];
        crc = (crc >> 4) ^ kCrcNibble[(crc ^ (p[i] >> 4)) & 0xF];
    }
    return ~crc;
}
